// PDF functions: sampled (type 0), exponential (2), stitching (3) and calculator programs (4),
// parsed once into a tree and evaluated as often as tint transforms and shadings need.
// Every part the file supplies is checked against the limits of Pdf/Limits.h while parsing;
// evaluation then runs in time bounded by the parsed tree.
#ifndef VARDEX_RESOURCES_FUNCTIONS_H
#define VARDEX_RESOURCES_FUNCTIONS_H

#include <cstdint>
#include <memory>
#include <vector>

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
// Domain and Range. Returns the number of outputs, or -1 when a calculator program fails
// (stack overflow or underflow, a wrong operand) or the conversion's evaluation budget is
// spent; `out` then holds zeros clipped to Range.
int EvalFunction(const PdfFunction& f, const double* in, double* out);

// Starts the evaluation budget of a conversion afresh: FUNCTION_MAX_WORK steps, or `steps`.
void ResetFunctionWork(uint64_t steps);
void ResetFunctionWork();

// True when f is linear in its input between the points that FunctionBreaks lists.
bool FunctionIsLinear(const PdfFunction& f);

// Appends the inputs inside (lo, hi) at which a one-input f changes piece: the bounds of its
// stitching functions, mapped back to f's own input. At most `room` are appended.
void FunctionBreaks(const PdfFunction& f, double lo, double hi, std::vector<double>* out,
                    size_t room);

#endif
