#include "Resources/Functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "PageTreeDoc.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Resources/PaintColour.h"

namespace {

// A function object (or several): entries of a dictionary, or of a stream when `data` is set.
struct Obj {
    Obj(int n, const std::string& e, const std::string& d = "", bool s = false)
        : num(n), entries(e), data(d), stream(s) {}
    int num;
    std::string entries;
    std::string data;
    bool stream;
};

struct FunctionDoc {
    explicit FunctionDoc(const std::vector<Obj>& objs) : doc(Make(objs), 0) {}
    static testpdf::PdfBuilder Make(const std::vector<Obj>& objs)
    {
        testpdf::PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        for (const Obj& o : objs) {
            if (o.stream)
                b.Stream(o.num, o.entries, o.data);
            else
                b.Object(o.num, "<< " + o.entries + " >>");
        }
        return b;
    }
    FunctionRef Load(int num)
    {
        PdfIndirect ref;
        ref.refNum = num;
        return LoadFunction(doc.tree, &ref);
    }
    // The document's own budget, as a conversion of it has.
    FunctionWork* work() { return &doc.tree->functionWork; }
    pagetreetest::Doc doc;
};

Obj Stream(int num, const std::string& entries, const std::string& data)
{
    return {num, entries, data, true};
}

struct EvalCase {
    const char* what;
    std::vector<Obj> objs;  // object 10 is evaluated
    std::vector<double> in;
    std::vector<double> out;
};

TEST(Functions, ValuesComputedByHand)
{
    const std::string sampled = "/FunctionType 0 /Domain [0 1] /Range [0 1] ";
    const EvalCase cases[] = {
        {"exponential", {{10, "/FunctionType 2 /Domain [0 1] /C0 [0 1] /C1 [1 0] /N 2"}},
         {0.5}, {0.25, 0.75}},
        {"exponential clipped to Domain and Range",
         {{10, "/FunctionType 2 /Domain [0 1] /Range [0 0.5 0 1] /C0 [0 1] /C1 [1 0] /N 1"}},
         {3}, {0.5, 0}},
        {"1-bit samples", {Stream(10, sampled + "/Size [4] /BitsPerSample 1", "\xa0")}, {0}, {1}},
        {"1-bit samples interpolated", {Stream(10, sampled + "/Size [4] /BitsPerSample 1", "\xa0")},
         {1.0 / 6}, {0.5}},
        {"8-bit samples", {Stream(10, sampled + "/Size [3] /BitsPerSample 8", std::string("\x00\x80\xff", 3))},
         {0.25}, {64 / 255.0}},
        {"16-bit samples decoded onto 0..10",
         {Stream(10, "/FunctionType 0 /Domain [0 1] /Range [0 10] /Decode [0 10] /Size [2] "
                     "/BitsPerSample 16", std::string("\x00\x00\xff\xff", 4))},
         {0.3}, {3}},
        {"32-bit samples", {Stream(10, sampled + "/Size [1] /BitsPerSample 32", "\xff\xff\xff\xff")},
         {0.7}, {1}},
        {"two inputs, Encode picking the second sample",
         {Stream(10, "/FunctionType 0 /Domain [0 1 0 1] /Range [0 1] /Size [2 2] /BitsPerSample 8 "
                     "/Encode [0 1 1 1]", std::string("\x00\xff\xff\x00", 4))},
         {0.5, 0}, {0.5}},
        {"samples missing from the stream read 0",
         {Stream(10, sampled + "/Size [4] /BitsPerSample 8", "\xff")}, {1}, {0}},
        {"stitching: bounds pick the piece, Encode reverses it",
         {{10, "/FunctionType 3 /Domain [0 2] /Bounds [1] /Encode [0 1 1 0] /Functions [11 0 R 11 0 R]"},
          {11, "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1"}},
         {1.25}, {0.75}},
        {"stitching of sampled pieces",
         {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Encode [0 1 0 1] /Functions [11 0 R 11 0 R]"},
          Stream(11, sampled + "/Size [2] /BitsPerSample 8", std::string("\x00\xff", 2))},
         {0.75}, {0.5}},
        {"calculator: arithmetic",
         {Stream(10, "/FunctionType 4 /Domain [0 10] /Range [0 10]", "{ 2 mul 1 add sqrt }")}, {4}, {3}},
        {"calculator: trigonometry and powers",
         {Stream(10, "/FunctionType 4 /Domain [0 10] /Range [0 20]", "{ 90 sin exch 2 exp add }")},
         {3}, {10}},
        {"calculator: comparison and nested conditions",
         {Stream(10, "/FunctionType 4 /Domain [0 1] /Range [0 1]",
                 "{ dup 0.5 gt { pop 1 } { 0.5 lt { 0 } { 0.5 } ifelse } ifelse }")},
         {0.2}, {0}},
        {"calculator: stack operators",
         {Stream(10, "/FunctionType 4 /Domain [0 20] /Range [0 20 0 20 0 20]",
                 "{ 1 2 3 3 1 roll 2 index add exch pop }")},
         {10}, {10, 3, 5}},
        {"calculator: integers and bits",
         {Stream(10, "/FunctionType 4 /Domain [0 100] /Range [0 100]",
                 "{ cvi dup 3 and exch 1 bitshift xor 7 idiv 4 mod }")},
         {13}, {3}},
        {"calculator: booleans",
         {Stream(10, "/FunctionType 4 /Domain [0 1] /Range [0 10]",
                 "{ pop true false or not { 5 } { 6 } ifelse }")},
         {0}, {6}},
        {"calculator: copy, rounding and Range",
         {Stream(10, "/FunctionType 4 /Domain [-5 5] /Range [0 1 -10 10]",
                 "{ 1 copy abs exch floor neg }")},
         {-2.5}, {1, 3}},
        {"calculator: a failing program gives zeros", 
         {Stream(10, "/FunctionType 4 /Domain [0 1] /Range [0.25 1]", "{ pop pop }")}, {1}, {0.25}},
    };
    for (const EvalCase& c : cases) {
        SCOPED_TRACE(c.what);
        FunctionDoc d(c.objs);
        FunctionRef f = d.Load(10);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ((size_t)f->inputs, c.in.size());
        ASSERT_EQ((size_t)f->outputs, c.out.size());
        std::vector<double> out(c.out.size(), -99);
        EvalFunction(*f, c.in.data(), out.data(), d.work());
        for (size_t i = 0; i < c.out.size(); i++)
            EXPECT_NEAR(out[i], c.out[i], 1e-4) << i;
    }
}

std::string Repeat(const std::string& s, int n)
{
    std::string r;
    for (int i = 0; i < n; i++)
        r += s;
    return r;
}

// A chain of stitching functions 10, 11, ... each holding the next; the last is exponential.
std::vector<Obj> Chain(int stitchings)
{
    std::vector<Obj> objs;
    for (int i = 0; i < stitchings; i++)
        objs.push_back({10 + i, "/FunctionType 3 /Domain [0 1] /Functions [" +
                                    std::to_string(11 + i) + " 0 R]"});
    objs.push_back({10 + stitchings, "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1]"});
    return objs;
}

// A number as the file writes it, to the last bit.
std::string Exact(double v)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// Stitching functions 10 to 9 + levels, each naming the next `fan` times over equal pieces,
// each piece encoded onto `encode`; object 10 + levels is `leaf`.
std::vector<Obj> Shared(int levels, int fan, const std::string& encode, const std::string& leaf)
{
    std::string bounds;
    for (int i = 1; i < fan; i++)
        bounds += Exact((double)i / fan) + " ";
    std::vector<Obj> objs;
    for (int i = 0; i < levels; i++)
        objs.push_back({10 + i, "/FunctionType 3 /Domain [0 1] /Bounds [" + bounds + "] /Encode [" +
                                    Repeat(encode + " ", fan) + "] /Functions [" +
                                    Repeat(std::to_string(11 + i) + " 0 R ", fan) + "]"});
    objs.push_back({10 + levels, leaf});
    return objs;
}

const std::string kStraight = "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1]";

TEST(Functions, LinearityOfSharedPartsIsFoundOncePerObject)
{
    // 8^15 paths through 16 objects: a walk along every path would never end.
    auto withTop = [](std::vector<Obj> objs, const Obj& second) {
        objs.push_back({9, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [10 0 R 30 0 R]"});
        objs.push_back(second);
        return objs;
    };
    const struct {
        const char* what;
        std::vector<Obj> objs;
        int top;
        bool linear;
    } cases[] = {
        {"straight pieces all the way down", Shared(15, 8, "0 1", kStraight), 10, true},
        {"a curve at the bottom", Shared(15, 8, "0 1", kStraight + " /N 2"), 10, false},
        {"beside the shared tree, a straight piece", withTop(Shared(15, 8, "0 1", kStraight), {30, kStraight}), 9, true},
        {"beside the shared tree, a curve", withTop(Shared(15, 8, "0 1", kStraight), {30, kStraight + " /N 3"}), 9, false},
        {"beside the shared tree, two samples",
         withTop(Shared(15, 8, "0 1", kStraight),
                 Stream(30, "/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] /BitsPerSample 8", "\x10\xf0")),
         9, true},
        {"beside the shared tree, three samples",
         withTop(Shared(15, 8, "0 1", kStraight),
                 Stream(30, "/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [3] /BitsPerSample 8", "\x10\xf0\x10")),
         9, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FunctionDoc d(c.objs);
        FunctionRef f = d.Load(c.top);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(FunctionIsLinear(*f), c.linear);
    }
}

TEST(Functions, BreaksAreThoseAnInputReaches)
{
    const Obj straight = {12, kStraight};
    const Obj halves = {11, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [12 0 R 12 0 R]"};
    const Obj thirds = {11, "/FunctionType 3 /Domain [0 1] /Bounds [0.25 0.75] /Functions [12 0 R 12 0 R 12 0 R]"};
    // 1,024 pieces, each a tree of 14 levels of 3 pieces encoded to a point (objects 10 to 24).
    auto wide = [] {
        std::vector<Obj> objs = Shared(14, 3, "0 0", kStraight);
        std::string bounds;
        for (int i = 1; i < 1024; i++)
            bounds += Exact(i / 1024.0) + " ";
        objs.push_back({9, "/FunctionType 3 /Domain [0 1] /Bounds [" + bounds + "] /Functions [" +
                               Repeat("10 0 R ", 1024) + "]"});
        return objs;
    };
    const size_t room = SHADING_MAX_STOPS / 2 - 2;
    const struct {
        const char* what;
        std::vector<Obj> objs;
        int top;
        double lo, hi;
        std::vector<double> breaks;  // the first ones found
        size_t count;
        uint64_t mostSteps;
    } cases[] = {
        {"one level", {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.25 0.5] /Functions [12 0 R 12 0 R 12 0 R]"}, straight},
         10, 0, 1, {0.25, 0.5}, 2, 3},
        {"only those inside (lo, hi)", {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.25 0.5] /Functions [12 0 R 12 0 R 12 0 R]"}, straight},
         10, 0.3, 1, {0.5}, 1, 3},
        {"a piece's own pieces, mapped into it",
         {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [11 0 R 12 0 R]"}, halves, straight},
         10, 0, 1, {0.25, 0.5}, 2, 4},
        {"a piece encoded backwards",
         {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Encode [1 0 0 1] /Functions [11 0 R 12 0 R]"}, thirds, straight},
         10, 0, 1, {0.375, 0.125, 0.5}, 3, 5},
        {"a piece encoded onto part of its part: bounds it never sees are no breaks",
         {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Encode [0 0.5 0 1] /Functions [11 0 R 12 0 R]"}, thirds, straight},
         10, 0, 1, {0.25, 0.5}, 2, 5},
        // Each part sees one input, so its own pieces are never reached.
        {"pieces encoded to a point, 12 levels of 8 shared", Shared(12, 8, "0 0", kStraight),
         10, 0, 1, {0.125, 0.25, 0.375}, 7, 8 + 8 * 8},
        // Deepest first: the first breaks lie inside the first piece of every level.
        {"shared pieces, 15 levels of 8: the room fills", Shared(15, 8, "0 1", kStraight),
         10, 0, 1, {std::pow(8.0, -15), 2 * std::pow(8.0, -15)}, room, 8 * room},
        // Each tree's top sees its inputs, its pieces one each: 12 steps for 3 breaks.
        {"1,024 pieces of trees encoded to a point", wide(),
         9, 0, 1, {1 / 3072.0, 2 / 3072.0, 1 / 1024.0, 4 / 3072.0}, room, 1024 + 12 * (room / 3 + 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FunctionDoc d(c.objs);
        FunctionRef f = d.Load(c.top);
        ASSERT_NE(f, nullptr);
        std::vector<double> breaks;
        FunctionBreaks(*f, c.lo, c.hi, &breaks, room, d.work());
        ASSERT_EQ(breaks.size(), c.count);
        for (size_t i = 0; i < c.breaks.size(); i++)
            EXPECT_NEAR(breaks[i], c.breaks[i], 1e-12) << i;
        EXPECT_LE(FUNCTION_MAX_WORK - d.work()->left, c.mostSteps);
    }

    // A walk that meets the end of the budget stops there with what it found so far: the
    // 1,024 pieces cost 1,024 steps, and each tree 12 more for its 3 breaks.
    FunctionDoc d(wide());
    FunctionRef f = d.Load(9);
    ASSERT_NE(f, nullptr);
    std::vector<double> all, cut;
    FunctionBreaks(*f, 0, 1, &all, room, d.work());
    FunctionWork little;
    little.left = 1024 + 12 * 10 + 6;
    FunctionBreaks(*f, 0, 1, &cut, room, &little);
    EXPECT_EQ(little.left, 0u);
    // Ten trees give 29 breaks (no bound of the top comes before the first); the eleventh's
    // bound and its first own break come before the 6 steps left run out.
    ASSERT_EQ(cut.size(), 31u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), all.begin()));
    // Spent, the budget has no evaluation left either.
    double in = 0.5, out = -1;
    EXPECT_EQ(EvalFunction(*f, &in, &out, &little), -1);
    EXPECT_EQ(out, 0);
}

TEST(Functions, CalculatorOperandsBeyondTheIntegers)
{
    // Integers are those of 32 bits: a token or result beyond them is a real, which an
    // operator that needs an integer refuses, failing the program (zeros, clipped to Range).
    // NaN and infinite results are taken as 0 where they arise.
    const struct {
        const char* program;
        int result;  // 1, or -1 for a failed program
        double out;
    } cases[] = {
        {"{ pop 1e300 cvi }", -1, 0},
        {"{ pop -1e300 cvi }", -1, 0},
        {"{ pop 2147483647.9 cvi 2147483647 sub }", 1, 0},
        {"{ pop -2147483648.9 cvi -2147483648 sub }", 1, 0},
        {"{ pop 2147483648.0 cvi }", -1, 0},
        {"{ pop -1 sqrt cvi 1 add }", 1, 1},
        {"{ pop 1e308 dup mul cvi 1 add }", 1, 1},
        {"{ pop 0 ln cvi 1 add }", 1, 1},
        {"{ pop 99999999999999999999 index }", -1, 0},
        {"{ 2147483647 index }", -1, 0},
        {"{ 1e300 cvi index }", -1, 0},
        {"{ 4294967296 copy }", -1, 0},
        {"{ -2147483648 copy }", -1, 0},
        {"{ 1e300 cvi copy }", -1, 0},
        {"{ pop 1 2 2 99999999999 roll sub }", -1, 0},
        {"{ pop 1 2 99999999999 1 roll sub }", -1, 0},
        {"{ pop 1 2 2 -2147483648 roll sub }", 1, -1},
        {"{ pop 1 2 2 2147483647 roll sub }", 1, 1},
        {"{ pop 1e300 cvi not }", -1, 0},
        {"{ pop 2147483647 1 add not }", -1, 0},
        {"{ pop -2147483648 neg not }", -1, 0},
        {"{ pop -2147483648 not }", 1, 2147483647},
        {"{ pop 1e300 cvi 1 and }", -1, 0},
        {"{ pop 1 1e300 cvi or }", -1, 0},
        {"{ pop 4294967297 1 xor }", -1, 0},
        {"{ pop 2147483647 2147483647 add 1 and }", -1, 0},
        {"{ pop -2147483648 -1 idiv 1 and }", -1, 0},
        {"{ pop -1 2147483647 and }", 1, 2147483647},
        {"{ pop 1e300 cvi 1 bitshift }", -1, 0},
        {"{ pop 1 1e300 cvi bitshift }", -1, 0},
        {"{ pop 1 2147483647 bitshift }", 1, 0},
        {"{ pop 1 -2147483648 bitshift }", 1, 0},
        {"{ pop 1 30 bitshift }", 1, 1073741824},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        FunctionDoc d({Stream(10, "/FunctionType 4 /Domain [0 1] /Range [-10000000000 10000000000]", c.program)});
        FunctionRef f = d.Load(10);
        ASSERT_NE(f, nullptr);
        double in = 0.5, out = -99;
        EXPECT_EQ(EvalFunction(*f, &in, &out, d.work()), c.result);
        EXPECT_EQ(out, c.out);
    }
    // An input of no value is taken as 0.
    FunctionDoc d({Stream(10, "/FunctionType 4 /Domain [-10000000000 10000000000] /Range [-10000000000 10000000000]", "{ cvi 1 add }")});
    FunctionRef f = d.Load(10);
    ASSERT_NE(f, nullptr);
    for (double in : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        double out = -99;
        EXPECT_EQ(EvalFunction(*f, &in, &out, d.work()), 1);
        EXPECT_EQ(out, 1);
    }
}

TEST(Functions, LimitsAndMalformedFunctions)
{
    const std::string calc = "/FunctionType 4 /Domain [0 1] /Range [0 1]";
    auto sampledCount = [](long long n) {
        return Stream(10, "/FunctionType 0 /Domain [0 1] /Range [0 1] /BitsPerSample 8 /Size [" +
                              std::to_string(n) + "]", "\x01");
    };
    auto sampledInputs = [](int n) {
        return Stream(10, "/FunctionType 0 /Range [0 1] /BitsPerSample 8 /Domain [" +
                              Repeat("0 1 ", n) + "] /Size [" + Repeat("1 ", n) + "]", "\x01");
    };
    auto stitching = [](int pieces) {
        std::vector<Obj> objs = {{10, "/FunctionType 3 /Domain [0 1] /Bounds [" +
                                          Repeat("0.5 ", pieces - 1) + "] /Functions [" +
                                          Repeat("11 0 R ", pieces) + "]"},
                                 {11, "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1]"}};
        return objs;
    };
    // A sampled function of `outputs` outputs (two samples each).
    auto sampledOutputs = [](int outputs) {
        return Stream(10, "/FunctionType 0 /Domain [0 1] /BitsPerSample 8 /Size [2] /Range [" +
                              Repeat("0 1 ", outputs) + "]",
                      std::string(2 * outputs, '\x40'));
    };
    // Programs of exactly the limit (braces count): "{" + n-2 numbers... + "}".
    auto program = [&](int tokens) {
        return Stream(10, calc, "{ " + Repeat("1 pop ", (tokens - 3) / 2) + "pop 0.5 }");
    };
    // Procedures of if inside one another, `depth` below the program's own braces.
    auto nestedIf = [&](int depth) {
        return Stream(10, calc, "{ " + Repeat("true { ", depth) + "0.5" + Repeat(" } if", depth) + " }");
    };
    const struct {
        const char* what;
        std::vector<Obj> objs;
        bool loads;
    } cases[] = {
        {"samples at the limit", {sampledCount(FUNCTION_MAX_SAMPLES)}, true},
        {"samples past the limit", {sampledCount(FUNCTION_MAX_SAMPLES + 1)}, false},
        {"a Size product past the limit", {Stream(10, "/FunctionType 0 /Domain [0 1 0 1] /Range [0 1] "
                                                      "/BitsPerSample 8 /Size [65536 65536]", "")}, false},
        {"sampled inputs at the limit", {sampledInputs(FUNCTION_MAX_SAMPLED_INPUTS)}, true},
        {"sampled inputs past the limit", {sampledInputs(FUNCTION_MAX_SAMPLED_INPUTS + 1)}, false},
        {"17 bits per sample", {Stream(10, "/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] "
                                           "/BitsPerSample 17", "")}, false},
        {"outputs at the limit", {sampledOutputs(FUNCTION_MAX_COMPONENTS)}, true},
        {"outputs past the limit", {sampledOutputs(FUNCTION_MAX_COMPONENTS + 1)}, false},
        {"pieces at the limit", stitching(FUNCTION_MAX_PIECES), true},
        {"pieces past the limit", stitching(FUNCTION_MAX_PIECES + 1), false},
        {"stitching depth at the limit", Chain(FUNCTION_MAX_DEPTH), true},
        {"stitching depth past the limit", Chain(FUNCTION_MAX_DEPTH + 1), false},
        {"stitching that holds itself", {{10, "/FunctionType 3 /Domain [0 1] /Functions [10 0 R]"}}, false},
        {"stitching in a cycle",
         {{10, "/FunctionType 3 /Domain [0 1] /Functions [11 0 R]"},
          {11, "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [12 0 R 10 0 R]"},
          {12, "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1]"}}, false},
        {"bounds out of order", {{10, "/FunctionType 3 /Domain [0 1] /Bounds [0.6 0.4] "
                                      "/Functions [11 0 R 11 0 R 11 0 R]"},
                                 {11, "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1]"}}, false},
        {"program at the size limit", {program(FUNCTION_MAX_PROGRAM)}, true},
        {"program past the size limit", {program(FUNCTION_MAX_PROGRAM + 2)}, false},
        {"braces at the depth limit", {nestedIf(FUNCTION_MAX_DEPTH)}, true},
        {"braces past the depth limit", {nestedIf(FUNCTION_MAX_DEPTH + 1)}, false},
        {"unclosed program", {Stream(10, calc, "{ 1 add")}, false},
        {"unknown operator", {Stream(10, calc, "{ 1 loop }")}, false},
        {"procedure without if", {Stream(10, calc, "{ { 1 } }")}, false},
        {"program without Range", {Stream(10, "/FunctionType 4 /Domain [0 1]", "{ }")}, false},
        {"calculator written inline, without its stream", {{10, calc}}, false},
        {"unknown type", {{10, "/FunctionType 7 /Domain [0 1]"}}, false},
        {"inverted Domain", {{10, "/FunctionType 2 /Domain [1 0] /C0 [0] /C1 [1]"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FunctionDoc d(c.objs);
        FunctionRef f = d.Load(10);
        EXPECT_EQ(f != nullptr, c.loads);
        if (f) {
            std::vector<double> in(f->inputs, 0.5), out(f->outputs);
            EXPECT_GE(EvalFunction(*f, in.data(), out.data(), d.work()), 0);
        }
    }
}

TEST(Functions, StackLimitAndCache)
{
    // The input and 99 more values fill the stack; one more overflows it.
    const std::string calc = "/FunctionType 4 /Domain [0 1] /Range [0 1]";
    FunctionDoc full({Stream(10, calc, "{ " + Repeat("1 ", FUNCTION_MAX_STACK - 1) +
                                           Repeat("pop ", FUNCTION_MAX_STACK - 1) + "}")});
    FunctionDoc over({Stream(10, calc, "{ " + Repeat("1 ", FUNCTION_MAX_STACK) +
                                           Repeat("pop ", FUNCTION_MAX_STACK) + "}")});
    double in = 0.75, out = -1;
    FunctionRef f = full.Load(10);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(EvalFunction(*f, &in, &out, full.work()), 1);
    EXPECT_DOUBLE_EQ(out, 0.75);
    f = over.Load(10);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(EvalFunction(*f, &in, &out, over.work()), -1);
    EXPECT_DOUBLE_EQ(out, 0);

    // Parsed once: the second load is the same tree, kept in the object's entry.
    EXPECT_EQ(full.Load(10), full.Load(10));
}

TEST(Functions, EvaluationBudget)
{
    // A program of 4 instructions costs 5 steps: two evaluations fit in 10, a third does not.
    FunctionDoc d({Stream(10, "/FunctionType 4 /Domain [0 1] /Range [0.1 1]", "{ 1 add 2 div }")});
    FunctionRef f = d.Load(10);
    ASSERT_NE(f, nullptr);
    double in = 0.5, out = 0;
    FunctionWork ten;
    ten.left = 10;
    EXPECT_EQ(EvalFunction(*f, &in, &out, &ten), 1);
    EXPECT_EQ(EvalFunction(*f, &in, &out, &ten), 1);
    EXPECT_DOUBLE_EQ(out, 0.75);
    EXPECT_EQ(EvalFunction(*f, &in, &out, &ten), -1);
    EXPECT_DOUBLE_EQ(out, 0.1);
    // Without a budget nothing is evaluated.
    EXPECT_EQ(EvalFunction(*f, &in, &out, nullptr), -1);

    // A document's budget is FUNCTION_MAX_WORK steps: runs of a program of 4095 instructions
    // (4096 steps each) spend it exactly, and the next run finds it spent.
    const int instructions = 4095;
    static_assert(FUNCTION_MAX_WORK % (instructions + 1) == 0, "runs that spend the budget exactly");
    FunctionDoc big({Stream(10, "/FunctionType 4 /Domain [0 1] /Range [0 100000]",
                            "{ " + Repeat("1 add ", (instructions - 1) / 2) + "dup }")});
    f = big.Load(10);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->program.size(), (size_t)instructions);
    int ran = 0;
    while (ran <= FUNCTION_MAX_WORK / (instructions + 1) && EvalFunction(*f, &in, &out, big.work()) == 1)
        ran++;
    EXPECT_EQ(ran, FUNCTION_MAX_WORK / (instructions + 1));
    EXPECT_EQ(big.work()->left, 0u);
    // Another document starts with a budget of its own.
    EXPECT_EQ(EvalFunction(*d.Load(10), &in, &out, d.work()), 1);
}

TEST(Functions, ColourSpacesNestOnlySoDeep)
{
    // Separation spaces, each the alternate of the one before, the last one's alternate gray.
    auto nested = [](int depth) {
        std::string space = "/DeviceGray";
        for (int i = 0; i < depth; i++)
            space = "[/Separation /S" + std::to_string(i) + " " + space + " 11 0 R]";
        return space;
    };
    for (int depth : {(int)COLOURSPACE_MAX_DEPTH, (int)COLOURSPACE_MAX_DEPTH + 1}) {
        SCOPED_TRACE(depth);
        FunctionDoc d({{10, "/CS " + nested(depth)},
                       {11, "/FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1]"}});
        char buf[PDF_PARSE_BUF];
        PdfObj* holder = nullptr;
        ParseIndirectObject(&holder, d.doc.xref, 10, 0, buf, sizeof buf);
        ASSERT_NE(holder, nullptr);
        PaintSpaceRef s = LoadPaintSpace(d.doc.tree, PdfDictLookup(holder, "CS"));
        delete holder;
        ASSERT_NE(s, nullptr);
        double tint = 0.25;
        DeviceColour c = ToDevice(*s, &tint, d.work());
        ASSERT_EQ(c.kind, 1);
        // The transforms keep the tint, so gray 0.25 comes out at the end of the chain; a chain
        // too deep ends in a space without its alternate, which paints the tint as gray by
        // itself: 1 - 0.25.
        EXPECT_NEAR(c.c[0], depth <= COLOURSPACE_MAX_DEPTH ? 0.25 : 0.75, 1e-9);
        int transforms = 0;
        for (const PaintSpace* p = s.get(); p && p->family == PaintSpace::TINT; p = p->base.get())
            transforms += p->tint != nullptr;
        EXPECT_EQ(transforms, std::min(depth, (int)COLOURSPACE_MAX_DEPTH));
    }
}

}  // namespace
