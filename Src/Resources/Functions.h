// PDF functions: sampled (type 0), exponential (2), stitching (3) and calculator programs (4),
// parsed once into a tree and evaluated as often as tint transforms and shadings need.
// Every part the file supplies is checked against the limits of Pdf/Limits.h while parsing.
// Stitching functions may share their parts, so a tree of a few objects can have more paths
// than any walk could take: what a whole tree is (linear or not) is worked out once per
// object while parsing, and the walks that follow paths spend from the conversion's budget.
#ifndef VARDEX_RESOURCES_FUNCTIONS_H
#define VARDEX_RESOURCES_FUNCTIONS_H

#include <cstdint>
#include <memory>
#include <vector>

#include "Pdf/Limits.h"
#include "Resources/ResData.h"

class PdfObj;
class PdfPageTree;
struct PdfFunction;

using FunctionRef = std::shared_ptr<const PdfFunction>;

// One instruction of a compiled calculator program.
struct PsInstr {
    int op;        // a PsOp code (Functions.cpp)
    double value;  // the number pushed, or the jump distance
    bool isInt;    // a pushed number is an integer
};

// What evaluating and walking functions may still spend in one conversion: calculator
// instructions, sample lookups and the pieces the walks visit, FUNCTION_MAX_WORK steps in all.
// The conversion's page tree holds it and every walk is handed it; once spent, evaluations
// give their zeros at once and walks stop where they are.
struct FunctionWork {
    uint64_t left = FUNCTION_MAX_WORK;
    // Takes `steps`; false, and nothing left, when they are not there.
    bool Spend(uint64_t steps);
};

struct PdfFunction {
    int type = 0;
    int inputs = 0;
    int outputs = 0;
    std::vector<double> domain;  // 2 x inputs
    std::vector<double> range;   // 2 x outputs, or empty when the function has no Range
    // Sampled.
    std::vector<int> size;
    int bitsPerSample = 0;
    std::vector<double> encode;  // also the stitching function's
    std::vector<double> decode;
    std::vector<uint8_t> samples;  // as decoded from the stream; missing samples read 0
    // Exponential.
    std::vector<double> c0, c1;
    double exponent = 1;
    // Stitching.
    std::vector<FunctionRef> parts;
    std::vector<double> bounds;
    // Calculator.
    std::vector<PsInstr> program;
    // Linear in its input between its breaks, parts included.
    bool linear = false;
};

// A parsed function kept in the XrefEntry of its object for the rest of the conversion.
class FunctionInfo : public ResData {
public:
    FunctionRef function;
};

// The function `value` names: a dictionary, a stream or a reference to either; null when it
// is malformed, exceeds a limit or refers to itself. Functions held by object number are
// parsed once and then taken from their entry.
FunctionRef LoadFunction(PdfPageTree* pages, PdfObj* value);

// Evaluates f at `in` (f.inputs values) into `out` (room for f.outputs values), clipping to
// Domain and Range, spending from `work` (null: nothing to spend). Returns the number of
// outputs, or -1 when a calculator program fails (stack overflow or underflow, a wrong or
// out-of-range operand) or the budget is spent; `out` then holds zeros clipped to Range.
int EvalFunction(const PdfFunction& f, const double* in, double* out, FunctionWork* work);

// True when f is linear in its input between the points that FunctionBreaks lists.
bool FunctionIsLinear(const PdfFunction& f);

// Appends the inputs inside (lo, hi) at which a one-input f changes piece: the bounds of its
// stitching functions that an input in (lo, hi) reaches, mapped back to f's own input. At most
// `room` are appended; each stitching function visited spends its pieces from `work`.
void FunctionBreaks(const PdfFunction& f, double lo, double hi, std::vector<double>* out,
                    size_t room, FunctionWork* work);

#endif
