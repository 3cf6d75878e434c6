#include "Resources/Functions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

namespace {

enum {
    FN_SAMPLED = 0,
    FN_EXPONENTIAL = 2,
    FN_STITCHING = 3,
    FN_CALCULATOR = 4
};

// Calculator operators. PS_NUMBER pushes `value`; PS_JUMP_FALSE pops a boolean and skips
// `value` instructions when it is false; PS_JUMP skips `value` instructions.
enum PsOp {
    PS_NUMBER, PS_JUMP_FALSE, PS_JUMP,
    PS_ABS, PS_ADD, PS_ATAN, PS_CEILING, PS_COS, PS_CVI, PS_CVR, PS_DIV, PS_EXP, PS_FLOOR,
    PS_IDIV, PS_LN, PS_LOG, PS_MOD, PS_MUL, PS_NEG, PS_ROUND, PS_SIN, PS_SQRT, PS_SUB,
    PS_TRUNCATE,
    PS_AND, PS_BITSHIFT, PS_EQ, PS_FALSE, PS_GE, PS_GT, PS_LE, PS_LT, PS_NE, PS_NOT, PS_OR,
    PS_TRUE, PS_XOR,
    PS_COPY, PS_DUP, PS_EXCH, PS_INDEX, PS_POP, PS_ROLL,
    PS_IF, PS_IFELSE  // only while compiling
};

const struct {
    const char* name;
    PsOp op;
} kPsOps[] = {
    {"abs", PS_ABS},     {"add", PS_ADD},     {"atan", PS_ATAN},       {"ceiling", PS_CEILING},
    {"cos", PS_COS},     {"cvi", PS_CVI},     {"cvr", PS_CVR},         {"div", PS_DIV},
    {"exp", PS_EXP},     {"floor", PS_FLOOR}, {"idiv", PS_IDIV},       {"ln", PS_LN},
    {"log", PS_LOG},     {"mod", PS_MOD},     {"mul", PS_MUL},         {"neg", PS_NEG},
    {"round", PS_ROUND}, {"sin", PS_SIN},     {"sqrt", PS_SQRT},       {"sub", PS_SUB},
    {"truncate", PS_TRUNCATE},
    {"and", PS_AND},     {"bitshift", PS_BITSHIFT}, {"eq", PS_EQ},     {"false", PS_FALSE},
    {"ge", PS_GE},       {"gt", PS_GT},       {"le", PS_LE},           {"lt", PS_LT},
    {"ne", PS_NE},       {"not", PS_NOT},     {"or", PS_OR},           {"true", PS_TRUE},
    {"xor", PS_XOR},
    {"copy", PS_COPY},   {"dup", PS_DUP},     {"exch", PS_EXCH},       {"index", PS_INDEX},
    {"pop", PS_POP},     {"roll", PS_ROLL},
    {"if", PS_IF},       {"ifelse", PS_IFELSE},
};

double Finite(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

double Clip(double v, double lo, double hi)
{
    if (!(v >= lo))
        return lo;
    return v > hi ? hi : v;
}

// x in [x0, x1] mapped linearly onto [y0, y1]; y0 when the source interval is empty.
double Interpolate(double x, double x0, double x1, double y0, double y1)
{
    if (x1 == x0)
        return y0;
    return Finite(y0 + (x - x0) * (y1 - y0) / (x1 - x0));
}

// The numbers of `key` (a reference is followed); false when absent, not an array of numbers,
// or longer than `most`.
bool Numbers(PdfPageTree* pages, PdfObj* dict, const char* key, std::vector<double>* out,
             size_t most)
{
    out->clear();
    PdfArray arr;
    PdfKey k(key);
    if (pages->GetArray(arr, &k, dict) != 0 || arr.count < 0 || (size_t)arr.count > most)
        return false;
    for (int i = 0; i < arr.count; i++) {
        double v;
        if (OperandNumber(arr.items[i], &v) != 0 || !std::isfinite(v))
            return false;
        out->push_back(v);
    }
    return true;
}

// Intervals are pairs of numbers, each a lower bound not above its upper bound.
bool Pairs(const std::vector<double>& v)
{
    if (v.empty() || v.size() % 2)
        return false;
    for (size_t i = 0; i < v.size(); i += 2)
        if (v[i] > v[i + 1])
            return false;
    return true;
}

// ---- Calculator programs.

struct PsScanner {
    const char* p;
    const char* end;
    size_t tokens = 0;
};

// The next token: "{", "}" or a word (number or operator). False at the end.
bool NextToken(PsScanner* s, std::string* tok)
{
    while (s->p < s->end) {
        char c = *s->p;
        if (c == '%') {
            while (s->p < s->end && *s->p != '\n' && *s->p != '\r')
                s->p++;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0) {
            s->p++;
        } else {
            break;
        }
    }
    if (s->p >= s->end)
        return false;
    if (*s->p == '{' || *s->p == '}') {
        *tok = std::string(1, *s->p++);
    } else {
        const char* start = s->p;
        while (s->p < s->end && !strchr(" \t\r\n\f{}%", *s->p) && *s->p != 0)
            s->p++;
        tok->assign(start, s->p);
    }
    s->tokens++;
    return true;
}

// The calculator's integers are those of 32 bits, as in PostScript: an integer token or
// result beyond them is a real, and an operator that needs an integer takes nothing else.
bool FitsInt(double v)
{
    return v >= -2147483648.0 && v <= 2147483647.0;  // false for NaN
}

bool ParseNumberToken(const std::string& tok, PsInstr* in)
{
    char* endp = nullptr;
    double v = strtod(tok.c_str(), &endp);
    if (!endp || *endp || tok.empty() || !std::isfinite(v))
        return false;
    in->op = PS_NUMBER;
    in->value = v;
    in->isInt = tok.find_first_of(".eE") == std::string::npos && FitsInt(v) && v == std::trunc(v);
    return true;
}

// Compiles the procedure whose "{" has been read, up to its "}". Procedures as operands of
// if and ifelse become forward jumps, so a program runs straight through at most once.
bool CompileBlock(PsScanner* s, int depth, std::vector<PsInstr>* code)
{
    if (depth > FUNCTION_MAX_DEPTH)
        return false;
    std::vector<std::vector<PsInstr>> pending;  // procedures waiting for if/ifelse
    std::string tok;
    while (NextToken(s, &tok)) {
        if (s->tokens > FUNCTION_MAX_PROGRAM || code->size() > FUNCTION_MAX_PROGRAM)
            return false;
        if (tok == "}")
            return pending.empty();
        if (tok == "{") {
            pending.emplace_back();
            if (!CompileBlock(s, depth + 1, &pending.back()))
                return false;
            continue;
        }
        PsInstr in = {PS_NUMBER, 0, false};
        if (ParseNumberToken(tok, &in)) {
            if (!pending.empty())
                return false;
            code->push_back(in);
            continue;
        }
        int op = -1;
        for (const auto& o : kPsOps)
            if (tok == o.name)
                op = o.op;
        if (op < 0)
            return false;
        if (op == PS_IF) {
            if (pending.size() != 1)
                return false;
            code->push_back({PS_JUMP_FALSE, (double)pending[0].size(), false});
            code->insert(code->end(), pending[0].begin(), pending[0].end());
            pending.clear();
        } else if (op == PS_IFELSE) {
            if (pending.size() != 2)
                return false;
            code->push_back({PS_JUMP_FALSE, (double)pending[0].size() + 1, false});
            code->insert(code->end(), pending[0].begin(), pending[0].end());
            code->push_back({PS_JUMP, (double)pending[1].size(), false});
            code->insert(code->end(), pending[1].begin(), pending[1].end());
            pending.clear();
        } else {
            if (!pending.empty())
                return false;
            code->push_back({op, 0, false});
        }
    }
    return false;  // no closing brace
}

bool CompileProgram(const uint8_t* data, size_t size, std::vector<PsInstr>* code)
{
    PsScanner s = {(const char*)data, (const char*)data + size};
    std::string tok;
    if (!NextToken(&s, &tok) || tok != "{")
        return false;
    return CompileBlock(&s, 0, code);
}

struct PsValue {
    double v;
    char kind;  // 'i' integer, 'r' real, 'b' boolean
};

// The integer an operator takes: false for a real, a boolean or a number beyond the
// calculator's integers, which the operator refuses as PostScript's rangecheck would.
bool IntOperand(const PsValue& v, int32_t* out)
{
    if (v.kind != 'i' || !FitsInt(v.v) || v.v != std::trunc(v.v))
        return false;
    *out = (int32_t)v.v;
    return true;
}

bool RunProgram(const std::vector<PsInstr>& code, PsValue* stack, int* depth)
{
    int& n = *depth;
    auto need = [&](int k) { return n >= k; };
    auto push = [&](double v, char kind) {
        if (n >= FUNCTION_MAX_STACK)
            return false;
        stack[n++] = {v, kind};
        return true;
    };
    for (size_t pc = 0; pc < code.size(); pc++) {
        const PsInstr& in = code[pc];
        PsValue* top = n > 0 ? &stack[n - 1] : nullptr;
        switch (in.op) {
        case PS_NUMBER:
            if (!push(in.value, in.isInt ? 'i' : 'r'))
                return false;
            break;
        case PS_JUMP_FALSE:
            if (!need(1) || top->kind != 'b')
                return false;
            n--;
            if (top->v == 0)
                pc += (size_t)in.value;
            break;
        case PS_JUMP:
            pc += (size_t)in.value;
            break;
        case PS_TRUE:
        case PS_FALSE:
            if (!push(in.op == PS_TRUE, 'b'))
                return false;
            break;
        case PS_DUP:
            if (!need(1) || !push(top->v, top->kind))
                return false;
            break;
        case PS_POP:
            if (!need(1))
                return false;
            n--;
            break;
        case PS_EXCH:
            if (!need(2))
                return false;
            std::swap(stack[n - 1], stack[n - 2]);
            break;
        case PS_COPY:
        case PS_INDEX: {
            int32_t k;
            if (!need(1) || !IntOperand(*top, &k))
                return false;
            n--;
            if (in.op == PS_COPY) {
                if (k < 0 || k > n || n + k > FUNCTION_MAX_STACK)
                    return false;
                for (int i = 0; i < k; i++)
                    stack[n + i] = stack[n - k + i];
                n += k;
            } else {
                if (k < 0 || k >= n)
                    return false;
                stack[n] = stack[n - 1 - k];
                n++;
            }
            break;
        }
        case PS_ROLL: {
            int32_t j, k;
            if (!need(2) || !IntOperand(stack[n - 1], &j) || !IntOperand(stack[n - 2], &k))
                return false;
            n -= 2;
            if (k < 0 || k > n)
                return false;
            if (k > 0) {
                j %= k;
                if (j < 0)
                    j += k;
                std::rotate(stack + n - k, stack + n - j, stack + n);
            }
            break;
        }
        case PS_ABS: case PS_NEG: case PS_CEILING: case PS_FLOOR: case PS_ROUND:
        case PS_TRUNCATE: case PS_CVI: case PS_CVR: case PS_SQRT: case PS_SIN: case PS_COS:
        case PS_LN: case PS_LOG: case PS_NOT: {
            if (!need(1))
                return false;
            double v = top->v;
            char k = top->kind;
            if (in.op == PS_NOT) {
                int32_t x;
                if (k == 'b')
                    v = v == 0;
                else if (IntOperand(*top, &x))
                    v = (double)~x;
                else
                    return false;
            } else if (k == 'b') {
                return false;
            } else {
                switch (in.op) {
                case PS_ABS: v = std::fabs(v); break;
                case PS_NEG: v = -v; break;
                case PS_CEILING: v = std::ceil(v); break;
                case PS_FLOOR: v = std::floor(v); break;
                case PS_ROUND: v = std::floor(v + 0.5); break;
                case PS_TRUNCATE: v = std::trunc(v); break;
                case PS_CVI: v = std::trunc(v); k = 'i'; break;
                case PS_CVR: k = 'r'; break;
                case PS_SQRT: v = std::sqrt(v); k = 'r'; break;
                case PS_SIN: v = std::sin(v * M_PI / 180); k = 'r'; break;
                case PS_COS: v = std::cos(v * M_PI / 180); k = 'r'; break;
                case PS_LN: v = std::log(v); k = 'r'; break;
                case PS_LOG: v = std::log10(v); k = 'r'; break;
                default: break;
                }
            }
            v = Finite(v);
            if (k == 'i' && !FitsInt(v)) {
                if (in.op == PS_CVI)
                    return false;
                k = 'r';
            }
            *top = {v, k};
            break;
        }
        default: {
            // Two operands.
            if (!need(2))
                return false;
            PsValue a = stack[n - 2], b = stack[n - 1];
            n -= 2;
            bool ints = a.kind == 'i' && b.kind == 'i';
            bool bools = a.kind == 'b' && b.kind == 'b';
            bool nums = a.kind != 'b' && b.kind != 'b';
            double r = 0;
            char k = ints ? 'i' : 'r';
            switch (in.op) {
            case PS_ADD: case PS_SUB: case PS_MUL:
                if (!nums)
                    return false;
                r = in.op == PS_ADD ? a.v + b.v : in.op == PS_SUB ? a.v - b.v : a.v * b.v;
                break;
            case PS_DIV:
                if (!nums || b.v == 0)
                    return false;
                r = a.v / b.v;
                k = 'r';
                break;
            case PS_IDIV: case PS_MOD:
                if (!ints || b.v == 0)
                    return false;
                r = in.op == PS_IDIV ? std::trunc(a.v / b.v) : std::fmod(a.v, b.v);
                break;
            case PS_ATAN: {
                if (!nums || (a.v == 0 && b.v == 0))
                    return false;
                r = std::atan2(a.v, b.v) * 180 / M_PI;
                if (r < 0)
                    r += 360;
                k = 'r';
                break;
            }
            case PS_EXP:
                if (!nums)
                    return false;
                r = std::pow(a.v, b.v);
                k = 'r';
                break;
            case PS_EQ: case PS_NE:
                if (!bools && !nums)
                    return false;
                r = (a.v == b.v) == (in.op == PS_EQ);
                k = 'b';
                break;
            case PS_GE: case PS_GT: case PS_LE: case PS_LT:
                if (!nums)
                    return false;
                r = in.op == PS_GE ? a.v >= b.v : in.op == PS_GT ? a.v > b.v
                  : in.op == PS_LE ? a.v <= b.v : a.v < b.v;
                k = 'b';
                break;
            case PS_AND: case PS_OR: case PS_XOR:
                if (bools) {
                    bool x = a.v != 0, y = b.v != 0;
                    r = in.op == PS_AND ? (x && y) : in.op == PS_OR ? (x || y) : (x != y);
                    k = 'b';
                } else {
                    int32_t x, y;
                    if (!IntOperand(a, &x) || !IntOperand(b, &y))
                        return false;
                    r = (double)(in.op == PS_AND ? (x & y) : in.op == PS_OR ? (x | y) : (x ^ y));
                }
                break;
            case PS_BITSHIFT: {
                int32_t x, s;
                if (!IntOperand(a, &x) || !IntOperand(b, &s))
                    return false;
                uint32_t u = (uint32_t)x;
                u = s >= 32 || s <= -32 ? 0 : s >= 0 ? u << s : u >> -s;
                r = (int32_t)u;
                break;
            }
            default:
                return false;
            }
            r = Finite(r);
            // An integer result beyond the integers becomes real, as in PostScript.
            if (k == 'i' && !FitsInt(r))
                k = 'r';
            stack[n++] = {r, k};
            break;
        }
        }
    }
    return true;
}

// ---- Sampled functions.

// Sample `index` (counted in values, outputs interleaved) as an unsigned number of
// bitsPerSample bits; beyond the data, 0.
double Sample(const PdfFunction& f, uint64_t index)
{
    const uint64_t bps = (uint64_t)f.bitsPerSample;
    uint64_t bit = index * bps;
    uint64_t v = 0;
    for (uint64_t i = 0; i < bps; i++, bit++) {
        uint64_t byte = bit / 8;
        unsigned b = byte < f.samples.size() ? (f.samples[byte] >> (7 - bit % 8)) & 1 : 0;
        v = (v << 1) | b;
    }
    return (double)v;
}

void EvalSampled(const PdfFunction& f, const double* in, double* out)
{
    const int m = f.inputs;
    int lo[FUNCTION_MAX_SAMPLED_INPUTS];
    double frac[FUNCTION_MAX_SAMPLED_INPUTS];
    for (int i = 0; i < m; i++) {
        double e = Interpolate(in[i], f.domain[2 * i], f.domain[2 * i + 1], f.encode[2 * i],
                               f.encode[2 * i + 1]);
        e = Clip(e, 0, f.size[i] - 1);
        lo[i] = (int)std::floor(e);
        if (lo[i] >= f.size[i] - 1)
            lo[i] = f.size[i] - 1;
        frac[i] = e - lo[i];
    }
    const double maxSample = std::ldexp(1.0, f.bitsPerSample) - 1;
    for (int j = 0; j < f.outputs; j++) {
        double sum = 0;
        // Every corner of the cell around the point, weighted by its nearness.
        for (unsigned corner = 0; corner < (1u << m); corner++) {
            double w = 1;
            uint64_t index = 0, stride = 1;
            for (int i = 0; i < m; i++) {
                bool up = corner & (1u << i);
                int pos = lo[i] + (up && lo[i] < f.size[i] - 1 ? 1 : 0);
                w *= up ? frac[i] : 1 - frac[i];
                index += (uint64_t)pos * stride;
                stride *= (uint64_t)f.size[i];
            }
            if (w != 0)
                sum += w * Sample(f, index * (uint64_t)f.outputs + (uint64_t)j);
        }
        out[j] = Interpolate(sum, 0, maxSample, f.decode[2 * j], f.decode[2 * j + 1]);
    }
}

// ---- Parsing.

struct Loader {
    PdfPageTree* pages;
    std::vector<int> active;  // object numbers being parsed, outermost first
};

FunctionRef Load(Loader* L, PdfObj* value, int depth);

bool ReadCommon(Loader* L, PdfObj* dict, PdfFunction* f)
{
    // Exponential and stitching functions have one input: one written without its Domain
    // is read over 0 to 1, as producers that leave it out mean.
    if (!Numbers(L->pages, dict, "Domain", &f->domain, 2 * FUNCTION_MAX_COMPONENTS)) {
        if (f->type != FN_EXPONENTIAL && f->type != FN_STITCHING)
            return false;
        f->domain = {0, 1};
    }
    if (!Pairs(f->domain))
        return false;
    f->inputs = (int)f->domain.size() / 2;
    if (Numbers(L->pages, dict, "Range", &f->range, 2 * FUNCTION_MAX_COMPONENTS)) {
        if (!Pairs(f->range))
            return false;
        f->outputs = (int)f->range.size() / 2;
    } else {
        f->range.clear();
    }
    return true;
}

// The sizes, encoding and decoding of a sampled function; the bytes of samples its table
// takes, or -1 when the dictionary does not hold up.
long long SampledLayout(Loader* L, PdfObj* dict, PdfFunction* f)
{
    if (f->range.empty() || f->inputs > FUNCTION_MAX_SAMPLED_INPUTS)
        return -1;
    std::vector<double> size;
    if (!Numbers(L->pages, dict, "Size", &size, FUNCTION_MAX_SAMPLED_INPUTS) ||
        (int)size.size() != f->inputs)
        return -1;
    uint64_t count = (uint64_t)f->outputs;
    for (double s : size) {
        if (s < 1 || s > FUNCTION_MAX_SAMPLES || s != std::floor(s))
            return -1;
        count *= (uint64_t)s;
        if (count > FUNCTION_MAX_SAMPLES)
            return -1;
        f->size.push_back((int)s);
    }
    PdfNumber bps;
    PdfKey bk("BitsPerSample");
    L->pages->GetNumber(bps, &bk, dict);
    switch (bps.value) {
    case 1: case 2: case 4: case 8: case 12: case 16: case 24: case 32: break;
    default: return -1;
    }
    f->bitsPerSample = bps.value;
    if (!Numbers(L->pages, dict, "Encode", &f->encode, 2 * FUNCTION_MAX_SAMPLED_INPUTS) ||
        (int)f->encode.size() != 2 * f->inputs) {
        f->encode.clear();
        for (int s : f->size) {
            f->encode.push_back(0);
            f->encode.push_back(s - 1);
        }
    }
    if (!Numbers(L->pages, dict, "Decode", &f->decode, 2 * FUNCTION_MAX_COMPONENTS) ||
        (int)f->decode.size() != 2 * f->outputs)
        f->decode = f->range;
    return (long long)((count * (uint64_t)f->bitsPerSample + 7) / 8);
}

bool ReadExponential(Loader* L, PdfObj* dict, PdfFunction* f)
{
    if (f->inputs != 1)
        return false;
    if (!Numbers(L->pages, dict, "C0", &f->c0, FUNCTION_MAX_COMPONENTS))
        f->c0 = {0};
    if (!Numbers(L->pages, dict, "C1", &f->c1, FUNCTION_MAX_COMPONENTS))
        f->c1 = {1};
    if (f->c0.empty() || f->c0.size() != f->c1.size())
        return false;
    PdfReal n;
    PdfKey nk("N");
    n.value = 1;  // a straight ramp when N is missing
    L->pages->GetReal(n, &nk, dict);
    if (!std::isfinite(n.value))
        return false;
    f->exponent = n.value;
    if (f->range.empty())
        f->outputs = (int)f->c0.size();
    return f->outputs == (int)f->c0.size();
}

bool ReadStitching(Loader* L, PdfObj* dict, PdfFunction* f, int depth)
{
    if (f->inputs != 1)
        return false;
    PdfArray parts;
    PdfKey fk("Functions");
    if (L->pages->GetArray(parts, &fk, dict) != 0 || parts.count < 1 ||
        parts.count > FUNCTION_MAX_PIECES)
        return false;
    const size_t k = (size_t)parts.count;
    // Each piece over its own 0 to 1 when Encode is missing.
    Numbers(L->pages, dict, "Bounds", &f->bounds, k);
    if (!Numbers(L->pages, dict, "Encode", &f->encode, 2 * k))
        for (size_t i = 0; i < k; i++)
            f->encode.insert(f->encode.end(), {0.0, 1.0});
    if (f->bounds.size() != k - 1 || f->encode.size() != 2 * k)
        return false;
    double prev = f->domain[0];
    for (double b : f->bounds) {
        if (b < prev || b > f->domain[1])
            return false;
        prev = b;
    }
    for (int i = 0; i < parts.count; i++) {
        FunctionRef part = Load(L, parts.items[i], depth + 1);
        if (!part || part->inputs != 1)
            return false;
        if (i > 0 && part->outputs != f->parts[0]->outputs)
            return false;
        f->parts.push_back(part);
    }
    if (f->range.empty())
        f->outputs = f->parts[0]->outputs;
    return f->outputs == f->parts[0]->outputs;
}

// Whether f is linear between its breaks, from what its parts were found to be: parts are
// parsed before the function that holds them, so each object is looked at once, however
// often the tree names it.
bool Linear(const PdfFunction& f)
{
    if (f.type == FN_EXPONENTIAL)
        return f.exponent == 1;
    if (f.type == FN_STITCHING) {
        for (const FunctionRef& p : f.parts)
            if (!p->linear)
                return false;
        return true;
    }
    // One input over two samples is a straight line.
    return f.type == FN_SAMPLED && f.inputs == 1 && f.size[0] == 2 && f.encode[0] == 0 &&
           f.encode[1] == 1;
}

FunctionRef Parse(Loader* L, PdfObj* dict, int objNum, int depth)
{
    auto f = std::make_shared<PdfFunction>();
    PdfNumber type;
    PdfKey tk("FunctionType");
    if (L->pages->GetNumber(type, &tk, dict) != 0)
        return nullptr;
    f->type = type.value;
    if (!ReadCommon(L, dict, f.get()))
        return nullptr;
    bool ok = false;
    if (f->type == FN_EXPONENTIAL) {
        ok = ReadExponential(L, dict, f.get());
    } else if (f->type == FN_STITCHING) {
        ok = ReadStitching(L, dict, f.get(), depth);
    } else if ((f->type == FN_SAMPLED || f->type == FN_CALCULATOR) && objNum > 0) {
        // Both keep their data in a stream.
        char buf[PDF_PARSE_BUF];
        ByteBuffer data;
        PdfObj* streamDict = nullptr;
        // A table of samples is decoded only as far as its sizes reach.
        const long long table = f->type == FN_SAMPLED ? SampledLayout(L, dict, f.get()) : 0;
        StreamNeed need = nullptr;
        if (f->type == FN_SAMPLED)
            need = [table](PdfObj*, const unsigned char*, int) { return table; };
        if (table >= 0 &&
            DecodeResourceStream(L->pages, objNum, buf, sizeof buf, &data, &streamDict, need) == 0) {
            // Only what the stream holds is kept; what it lacks reads as 0.
            if (f->type == FN_SAMPLED) {
                f->samples.assign(data.data, data.data + std::min<long long>(table, data.size > 0 ? data.size : 0));
                ok = true;
            } else
                ok = !f->range.empty() &&
                     CompileProgram(data.data, data.size > 0 ? (size_t)data.size : 0,
                                    &f->program);
        }
        delete streamDict;
        free(data.data);
    }
    if (!ok || f->outputs < 1 || f->outputs > FUNCTION_MAX_COMPONENTS)
        return nullptr;
    f->linear = Linear(*f);
    return f;
}

FunctionRef Load(Loader* L, PdfObj* value, int depth)
{
    if (!value || depth > FUNCTION_MAX_DEPTH)
        return nullptr;
    if (value->Type() == PDF_DICT)
        return Parse(L, value, 0, depth);
    if (value->Type() != PDF_INDIRECT)
        return nullptr;
    PdfXref* xref = L->pages->xref;
    int num = static_cast<PdfIndirect*>(value)->refNum;
    XrefEntry* e = xref ? xref->Entry(num) : nullptr;
    if (!e)
        return nullptr;
    // A function that failed is kept as failed: a page that sets the colour a million times
    // does not parse it a million times.
    if (FunctionInfo* cached = RecordAs<FunctionInfo>(e->resData))
        return cached->function;
    // A function that contains itself, however far down, has no value.
    if (std::find(L->active.begin(), L->active.end(), num) != L->active.end())
        return nullptr;

    char buf[PDF_PARSE_BUF];
    PdfObj* obj = nullptr;
    ParseIndirectObject(&obj, xref, num, 0, buf, sizeof buf);
    FunctionRef f;
    if (obj && obj->Type() == PDF_DICT) {
        L->active.push_back(num);
        f = Parse(L, obj, num, depth);
        L->active.pop_back();
    }
    delete obj;
    // Kept only where the entry holds nothing else.
    if (!e->resData) {
        FunctionInfo* info = new FunctionInfo;
        info->function = f;
        e->resData = info;
    }
    return f;
}

// False once the budget is spent: the walk then stops where it is.
bool BreaksIn(const PdfFunction& f, double lo, double hi, std::vector<double>* out,
              size_t room, double x0, double x1, double u0, double u1, FunctionWork* work)
{
    // f's input u relates to the caller's input x by the linear map (x0,x1) -> (u0,u1); the
    // caller's inputs that reach f lie inside (lo, hi).
    if (f.type != FN_STITCHING || out->size() >= room)
        return true;
    if (!work->Spend(f.parts.size()))
        return false;
    const size_t k = f.parts.size();
    for (size_t i = 0; i < k && out->size() < room; i++) {
        double a = i == 0 ? f.domain[0] : f.bounds[i - 1];
        double b = i + 1 == k ? f.domain[1] : f.bounds[i];
        double xa = Interpolate(a, u0, u1, x0, x1), xb = Interpolate(b, u0, u1, x0, x1);
        if (i > 0 && xa > lo && xa < hi)
            out->push_back(xa);
        // The piece sees [a, b] as its Encode interval, and only inputs inside [xa, xb]: one
        // encoded to a point, or lying outside (lo, hi), has no break that an input reaches.
        double plo = std::fmax(lo, std::fmin(xa, xb)), phi = std::fmin(hi, std::fmax(xa, xb));
        if (plo < phi && !BreaksIn(*f.parts[i], plo, phi, out, room, xa, xb, f.encode[2 * i],
                                   f.encode[2 * i + 1], work))
            return false;
    }
    return true;
}

}  // namespace

FunctionRef LoadFunction(PdfPageTree* pages, PdfObj* value)
{
    if (!pages)
        return nullptr;
    Loader L = {pages, {}};
    return Load(&L, value, 0);
}

int EvalFunction(const PdfFunction& f, const double* in, double* out, FunctionWork* work)
{
    double x[FUNCTION_MAX_COMPONENTS];
    for (int i = 0; i < f.inputs; i++)
        x[i] = Clip(Finite(in[i]), f.domain[2 * i], f.domain[2 * i + 1]);
    int result = f.outputs;
    // Calculator programs cost their length, sampled functions the samples they blend.
    uint64_t steps = 1;
    if (f.type == FN_CALCULATOR)
        steps += f.program.size();
    else if (f.type == FN_SAMPLED)
        steps += ((uint64_t)1 << f.inputs) * (uint64_t)f.outputs;
    if (!work || !work->Spend(steps)) {
        for (int j = 0; j < f.outputs; j++)
            out[j] = f.range.empty() ? 0 : Clip(0, f.range[2 * j], f.range[2 * j + 1]);
        return -1;
    }
    switch (f.type) {
    case FN_SAMPLED:
        EvalSampled(f, x, out);
        break;
    case FN_EXPONENTIAL: {
        double t = std::pow(x[0], f.exponent);
        for (int j = 0; j < f.outputs; j++)
            out[j] = Finite(f.c0[j] + t * (f.c1[j] - f.c0[j]));
        break;
    }
    case FN_STITCHING: {
        const size_t k = f.parts.size();
        // The piece after every bound at or below the input.
        size_t i = (size_t)(std::upper_bound(f.bounds.begin(), f.bounds.end(), x[0]) -
                            f.bounds.begin());
        double a = i == 0 ? f.domain[0] : f.bounds[i - 1];
        double b = i + 1 == k ? f.domain[1] : f.bounds[i];
        double u = Interpolate(x[0], a, b, f.encode[2 * i], f.encode[2 * i + 1]);
        if (EvalFunction(*f.parts[i], &u, out, work) < 0)
            result = -1;
        break;
    }
    case FN_CALCULATOR: {
        PsValue stack[FUNCTION_MAX_STACK];
        int n = 0;
        for (int i = 0; i < f.inputs; i++)
            stack[n++] = {x[i], 'r'};
        if (!RunProgram(f.program, stack, &n) || n < f.outputs) {
            result = -1;
            for (int j = 0; j < f.outputs; j++)
                out[j] = 0;
        } else {
            for (int j = 0; j < f.outputs; j++)
                out[j] = stack[n - f.outputs + j].v;
        }
        break;
    }
    default:
        return -1;
    }
    if (!f.range.empty())
        for (int j = 0; j < f.outputs; j++)
            out[j] = Clip(out[j], f.range[2 * j], f.range[2 * j + 1]);
    return result;
}

bool FunctionWork::Spend(uint64_t steps)
{
    if (steps > left) {
        left = 0;
        return false;
    }
    left -= steps;
    return true;
}

bool FunctionIsLinear(const PdfFunction& f)
{
    return f.linear;
}

void FunctionBreaks(const PdfFunction& f, double lo, double hi, std::vector<double>* out,
                    size_t room, FunctionWork* work)
{
    if (f.inputs != 1 || !work)
        return;
    size_t limit = out->size() + room;
    BreaksIn(f, lo, hi, out, limit, 0, 1, 0, 1, work);
}
