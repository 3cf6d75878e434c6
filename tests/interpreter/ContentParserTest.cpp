#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "PdfBuilder.h"
#include "RecordingRenderer.h"
#include "TestUtil.h"
#include "Pdf/PdfXref.h"

namespace {

// One page as the conversion driver runs it: one parser and renderer, the streams scanned in
// order, then every clip still open ended before the page is closed. After each stream the
// log gets "|" and Scanner's result, so one can see on which side of a stream end a call came.
struct PageRun {
    RecordingRenderer rec;
    ContentParser cp;

    PageRun() { cp.renderer = &rec; }

    int Scan(const std::string& content, PdfObj* resources = nullptr)
    {
        FILE* f = testutil::StreamOf(content);
        if (!f)
            return -99;
        char buf[PDF_PARSE_BUF];
        int r = cp.Scanner(f, resources, buf, sizeof buf);
        fclose(f);
        rec.log.push_back("|" + std::to_string(r));
        return r;
    }

    std::string Page(const std::vector<std::string>& streams)
    {
        for (const std::string& s : streams)
            Scan(s);
        cp.RunAllClips();
        return rec.Joined();
    }
};

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; i++)
        out += s;
    return out;
}

std::string Count(int from, int to)
{
    std::string out;
    for (int i = from; i <= to; i++)
        out += std::to_string(i) + " ";
    return out;
}

struct Case {
    const char* what;
    std::vector<std::string> streams;
    const char* log;
};

TEST(ContentParser, StreamsToRendererCalls)
{
    const Case cases[] = {
        // Paths and the operators they store.
        {"rectangle filled", {"10 20 30 40 re f endstream"},
         "Fill 1 M 10 20 L 40 20 L 40 60 L 10 60 Z; |0"},
        {"b closes first", {"0 0 m 10 0 l b endstream"}, "FillStroke 1 M 0 0 L 10 0 Z; |0"},
        {"every painter and its rule",
         {"0 0 m S 0 0 m s 0 0 m f 0 0 m F 0 0 m f* 0 0 m B 0 0 m B* 0 0 m b* endstream"},
         "Stroke M 0 0; Stroke M 0 0 Z; Fill 1 M 0 0; Fill 1 M 0 0; Fill 0 M 0 0; "
         "FillStroke 1 M 0 0; FillStroke 0 M 0 0; FillStroke 0 M 0 0 Z; |0"},
        {"curves, close, mixed integers and reals",
         {"1 2.5 m 1 2 3 4 5 6 c 7 8 9 10 v 11 12 13 .5 y h S endstream"},
         "Stroke M 1 2.5 C 1 2 3 4 5 6 V 7 8 9 10 Y 11 12 13 0.5 Z; |0"},
        {"n paints nothing and empties the path", {"0 0 m 10 10 l n S endstream"},
         "Stroke -; |0"},
        {"painting starts a new path", {"0 0 m 1 1 l S 2 2 l S endstream"},
         "Stroke M 0 0 L 1 1; Stroke L 2 2; |0"},
        {"path built inside q is gone after Q", {"0 0 m q 5 5 l Q 10 10 l S endstream"},
         "Stroke M 0 0 L 10 10; |0"},
        {"painting inside q leaves the saved path", {"0 0 m q 5 5 l S Q S endstream"},
         "Stroke M 0 0 L 5 5; Stroke M 0 0; |0"},
        {"unpainted path carries into the next stream", {"0 0 m endstream", "1 1 l S endstream"},
         "|0; Stroke M 0 0 L 1 1; |0"},

        // Clips and where they end.
        {"W then n keeps the clip to the page end",
         {"0 0 m 100 0 l 100 100 l W n S endstream"},
         "Clip 1 M 0 0 L 100 0 L 100 100; Stroke -; |0; EndClip"},
        {"W* clips even-odd once the path is painted", {"0 0 m 5 5 l W* f endstream"},
         "Fill 1 M 0 0 L 5 5; Clip 0 M 0 0 L 5 5; |0; EndClip"},
        {"marks that the path outgrows make one clip, of the path that is painted",
         {"0 0 m W 1 1 l W 2 2 l W n endstream"}, "Clip 1 M 0 0 L 1 1 L 2 2; |0; EndClip"},
        {"clip ended at Q", {"q 0 0 m W n Q 1 1 m S endstream"},
         "Clip 1 M 0 0; EndClip; Stroke M 1 1; |0"},
        {"Q at depth 0 leaves the clip queued", {"0 0 m W n Q 1 1 m S endstream"},
         "Clip 1 M 0 0; Stroke M 1 1; |0; EndClip"},
        {"clip of one stream reaches the next", {"0 0 m W n endstream", "1 1 m S endstream"},
         "Clip 1 M 0 0; |0; Stroke M 1 1; |0; EndClip"},
        {"clip opened in q ends at the Q of a later stream",
         {"q 20 20 m W n endstream", "0 0 m f endstream", "Q 1 1 m S endstream"},
         "Clip 1 M 20 20; |0; Fill 1 M 0 0; |0; EndClip; Stroke M 1 1; |0"},
        {"clips at three depths: each Q ends its own, the page end the rest",
         {"0 0 m W n q q 1 1 m W n 2 2 m W n endstream", "3 3 m S Q endstream",
          "4 4 m S Q endstream"},
         "Clip 1 M 0 0; Clip 1 M 1 1; Clip 1 M 2 2; |0; Stroke M 3 3; EndClip; EndClip; |0; "
         "Stroke M 4 4; |0; EndClip"},
        {"q left open in one stream closes in the next", {"q 0 0 m W n q endstream", "Q Q endstream"},
         "Clip 1 M 0 0; |0; EndClip; |0"},

        // Operands and operators without a row.
        {"operands carried between streams", {"10 20 endstream", "m 30 40 l S endstream"},
         "|0; Stroke M 10 20 L 30 40; |0"},
        {"operators without a row consume their operands",
         {"/Tag BMC /Tag <</MCID 0>> BDC EMC /P MP /P <<>> DP BX 1 2 d0 1 2 3 4 5 6 d1 "
          "/Perceptual ri 1 i 3 4 nosuchop 9 9 averyveryverylongoperator 5 6 m 7 8 l EX S "
          "endstream"},
         "Stroke M 5 6 L 7 8; |0"},
        {"rows still empty consume their operands",
         {"BT /F1 12 Tf (x) Tj ET 1 0 0 RG 3 w [2] 0 d 2 0 0 2 0 0 cm 0 0 m S "
          "endstream"},
         "Stroke M 0 0; |0"},

        // Ends other than endstream.
        {"end of file leaves the clip to the page end", {"0 0 m W n 1 1 m S"},
         "Clip 1 M 0 0; Stroke M 1 1; |-1; EndClip"},
        {"stray ] ends the stream, not its clips", {"0 0 m W n ] 1 1 m S endstream"},
         "Clip 1 M 0 0; |0; EndClip"},
        {"R ends the stream", {"0 0 m R 1 1 l S endstream"}, "|0"},

        // Hostile operands.
        {"25 operands before m", {Count(1, 25) + "m S endstream"}, "Stroke M 1 2; |0"},
        {"more operands than the stack holds",
         {Count(1, 70) + "m 0 0 l S " + Count(1, 80) + "re f endstream"},
         "Stroke M 1 2 L 0 0; Fill 1 M 1 2 L 4 2 L 4 6 L 1 6 Z; |0"},
        {"a name or string where a number belongs",
         {"/A 0 m 0 0 m 10 /B l (s) 5 l 1 2 /W 4 re 1 2 3 4 5 true c S endstream"},
         "Stroke M 0 0; |0"},
        {"too few operands never reach old ones",
         {"0 0 m 1 2 3 4 5 6 c 7 l 8 9 10 v 11 y 1 2 3 re S endstream"},
         "Stroke M 0 0 C 1 2 3 4 5 6; |0"},
        {"an error exit with clips open at two depths",
         {"q 0 0 m W n q 1 1 m W* n ) 2 2 m S endstream"},
         "Clip 1 M 0 0; Clip 0 M 1 1; |-1; EndClip; EndClip"},
    };
    for (const Case& c : cases) {
        PageRun page;
        EXPECT_EQ(page.Page(c.streams), c.log) << c.what;
        EXPECT_EQ(page.rec.Count("Clip"), page.rec.Count("EndClip")) << c.what;
    }
}

TEST(ContentParser, StructuralTokensEndTheStream)
{
    for (const char* token : {"]", "R", ">>", "{", "}", "obj", "endobj", "stream", "xref",
                              "trailer", "startxref"}) {
        PageRun page;
        std::string log = page.Page({std::string("0 0 m ") + token + " 1 1 l S endstream"});
        EXPECT_EQ(log, "|0") << token;
    }
}

TEST(ContentParser, SaveStackDepthLimit)
{
    PageRun page;
    page.Scan(Repeat("q ", CP_MAX_DEPTH - 1) + "endstream");
    ASSERT_EQ(page.cp.depth, CP_MAX_DEPTH - 1);
    GState* outer = page.cp.current;

    // The 1024th q is the last one kept; the 1025th is ignored, so one Q returns to the state
    // saved by the 1024th. A clip at depth 1024 has a list of its own.
    page.Scan("q q 0 0 m W n Q 1 1 m W* n endstream");
    EXPECT_EQ(page.cp.depth, CP_MAX_DEPTH - 1);
    EXPECT_EQ(page.cp.current, outer);
    EXPECT_EQ(page.rec.Joined(), "|0; Clip 1 M 0 0; EndClip; Clip 0 M 1 1; |0");

    // The clip at depth 1023 is still open; the one at depth 1024 joins it, and the page end
    // ends both; the parser is released with 1024 states.
    page.Scan("q 2 2 m W n endstream");
    EXPECT_EQ(page.cp.depth, CP_MAX_DEPTH);
    page.cp.RunAllClips();
    EXPECT_EQ(page.rec.Count("Clip"), 3);
    EXPECT_EQ(page.rec.Count("EndClip"), 3);
}

// Operands carry over a stream end, so the stack can be seen between streams: it fills to
// CP_MAX_OPERANDS and then drops what comes, keeping the first ones for the operator.
TEST(ContentParser, OperandStackHoldsUpToItsLimit)
{
    PageRun page;
    page.Scan(Count(1, CP_MAX_OPERANDS - 1) + "endstream");
    ASSERT_EQ(page.cp.operandCount, CP_MAX_OPERANDS - 1);
    page.Scan(std::to_string(CP_MAX_OPERANDS) + " endstream");
    ASSERT_EQ(page.cp.operandCount, CP_MAX_OPERANDS);
    page.Scan("999 (a string) /Name endstream");
    EXPECT_EQ(page.cp.operandCount, CP_MAX_OPERANDS);
    double last = 0;
    ASSERT_EQ(page.cp.NumberOperands(&page.cp.operands[CP_MAX_OPERANDS - 1], 1, &last), 0);
    EXPECT_EQ(last, CP_MAX_OPERANDS);
    EXPECT_EQ(page.Page({"m 0 0 l S endstream"}), "|0; |0; |0; Stroke M 1 2 L 0 0; |0");
}

TEST(ContentParser, ReleasesWhatIsLeftAtTheEnd)
{
    // Operands, saved states, paths and queued clips left behind are released by the
    // parser's destructor (the leak checker sees the rest).
    RecordingRenderer rec;
    {
        ContentParser cp;
        cp.renderer = &rec;
        FILE* f =
            testutil::StreamOf("0 0 m W q 1 1 l W n q 5 5 m [1 2] <</A (b)>> /N (s) 3 true null");
        ASSERT_NE(f, nullptr);
        char buf[64];
        EXPECT_EQ(cp.Scanner(f, nullptr, buf, sizeof buf), -1);
        fclose(f);
        EXPECT_EQ(cp.depth, 2);
        EXPECT_EQ(cp.operandCount, 7);
    }
    // The first W only marked the path: the one clip, made at n, was never ended.
    EXPECT_EQ(rec.Joined(), "Clip 1 M 0 0 L 1 1");
}

TEST(ContentParser, RunsWithABareRenderer)
{
    RenderPage bare;
    ContentParser cp;
    cp.renderer = &bare;
    FILE* f = testutil::StreamOf("q 0 0 m 9 9 l W n 0 0 9 9 re f Q 1 1 m 2 2 l S endstream");
    ASSERT_NE(f, nullptr);
    char buf[PDF_PARSE_BUF];
    EXPECT_EQ(cp.Scanner(f, nullptr, buf, sizeof buf), 0);
    fclose(f);
    cp.RunAllClips();
    EXPECT_EQ(cp.depth, 0);
}

TEST(ContentParser, ScannerResumesAfterEachOperator)
{
    // The position is restored after every operator, so a handler that moves the stream
    // does not lose the rest; the stream is left right after "endstream".
    PageRun page;
    FILE* f = testutil::StreamOf("0 0 m 1 1 l S endstream 2 2 m S endstream");
    ASSERT_NE(f, nullptr);
    char buf[PDF_PARSE_BUF];
    EXPECT_EQ(page.cp.Scanner(f, nullptr, buf, sizeof buf), 0);
    EXPECT_EQ(page.cp.Scanner(f, nullptr, buf, sizeof buf), 0);
    fclose(f);
    EXPECT_EQ(page.rec.Joined(), "Stroke M 0 0 L 1 1; Stroke M 2 2");
}

// A stream over a string that counts the seeks made on it (ftell makes one too).
struct CountedStream {
    std::string bytes;
    size_t pos = 0;
    int seeks = 0;

    static ssize_t Read(void* c, char* buf, size_t n)
    {
        CountedStream* s = static_cast<CountedStream*>(c);
        n = std::min(n, s->bytes.size() - s->pos);
        memcpy(buf, s->bytes.data() + s->pos, n);
        s->pos += n;
        return (ssize_t)n;
    }
    static int Seek(void* c, off64_t* offset, int whence)
    {
        CountedStream* s = static_cast<CountedStream*>(c);
        s->seeks++;
        off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (off64_t)s->pos : (off64_t)s->bytes.size();
        if (base + *offset < 0 || base + *offset > (off64_t)s->bytes.size())
            return -1;
        s->pos = (size_t)(base + *offset);
        *offset = (off64_t)s->pos;
        return 0;
    }
    FILE* Open()
    {
        cookie_io_functions_t io = {Read, nullptr, Seek, nullptr};
        return fopencookie(this, "r", io);
    }
};

// The place in the stream is kept around an operator whose handler may read a file, but only
// where that file is the document's own (a stream read in place): a decoded stream's file is
// read by its scanner alone, and seeking it would cost a system call and its buffer.
TEST(ContentParser, KeepsItsPlaceOnlyInTheDocumentsFile)
{
    const std::string content = "0 0 m 1 1 l S 2 2 m 3 3 l S 0 0 1 1 re f endstream";
    for (bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "the document's file" : "a file of its own");
        CountedStream stream;
        stream.bytes = content;
        FILE* f = stream.Open();
        ASSERT_NE(f, nullptr);
        FILE* other = testutil::StreamOf("%PDF");
        PdfXref xref{};
        xref.fp = shared ? f : other;
        RecordingRenderer rec;
        ContentParser cp;
        cp.renderer = &rec;
        cp.xref = &xref;
        char buf[PDF_PARSE_BUF];
        EXPECT_EQ(cp.Scanner(f, nullptr, buf, sizeof buf), 0);
        EXPECT_EQ(rec.Joined(), "Stroke M 0 0 L 1 1; Stroke M 2 2 L 3 3; Fill 1 M 0 0 L 1 0 L 1 1 L 0 1 Z");
        // Three painting operators: a tell and a seek back around each, or none.
        if (shared)
            EXPECT_GE(stream.seeks, 6);
        else
            EXPECT_EQ(stream.seeks, 0);
        fclose(f);
        fclose(other);
    }
}

TEST(ContentParser, IndirectResourcesLiveForOneStream)
{
    testutil::TempDir dir;
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog >>");
    b.Object(2, "<< /Font << /F1 3 0 R >> >>");
    b.ClassicXref();
    ASSERT_TRUE(b.Write(dir.file("r.pdf")));

    // The table of the two objects is set up by hand; only object 2 is read.
    std::string path = dir.file("r.pdf");
    XrefEntry entries[3] = {};
    entries[2].offset = (int)b.Offset(2);
    entries[2].type = 'n';
    PdfXref xref{};
    xref.fp = fopen(path.c_str(), "rb");
    ASSERT_NE(xref.fp, nullptr);
    xref.size = 3;
    xref.entries = entries;

    // What the handlers would see while the stream runs.
    struct Peek : RecordingRenderer {
        ContentParser* cp = nullptr;
        std::string seen;
        int Stroke(GState*) override
        {
            seen = cp->resources ? testpdf::Describe(cp->resources) : "none";
            return 0;
        }
    } peek;
    ContentParser cp;
    cp.renderer = &peek;
    cp.xref = &xref;
    peek.cp = &cp;
    PdfIndirect ref;
    ref.refNum = 2;
    FILE* f = testutil::StreamOf("0 0 m S endstream");
    ASSERT_NE(f, nullptr);
    char buf[PDF_PARSE_BUF];
    EXPECT_EQ(cp.Scanner(f, &ref, buf, sizeof buf), 0);
    fclose(f);
    EXPECT_EQ(peek.seen, "<</Font <</F1 3 0 R>>>>");
    EXPECT_EQ(cp.resources, nullptr);  // not kept past its stream

    ReleaseObjectMemo(&xref);
    fclose(xref.fp);
}

TEST(GState, DefaultsAndCopies)
{
    GState a;
    // Colours nobody set yet are black in every model.
    EXPECT_EQ(a.fillRgb[0] + a.fillRgb[1] + a.fillRgb[2], 0.0);
    EXPECT_EQ(a.strokeCmyk[3], 1.0);
    EXPECT_EQ(a.fillCmyk[0] + a.fillCmyk[1] + a.fillCmyk[2], 0.0);
    EXPECT_EQ(a.fillCS, 1);
    EXPECT_EQ(a.strokeCS, 1);
    EXPECT_EQ(a.lineWidth, 1.0);
    EXPECT_EQ(a.miterLimit, 10.0);
    EXPECT_EQ(a.hScale, 100.0);
    EXPECT_EQ(RecordingRenderer::PathText(a.path), "-");

    PDF_POINT_REAL p = {1, 2};
    a.path->Add(PDF_PATH_OP_MOVETO, &p, 1);
    PdfNumber* three = new PdfNumber;
    three->value = 3;
    a.dash.Append(three);
    PdfName* f1 = new PdfName;
    f1->str = strdup("F1");
    a.font.Append(f1);
    a.fillPattern.str = strdup("P0");
    a.lineWidth = 4;
    a.ctm.e = 7;

    GState b(&a);
    // Nothing is shared: changing the original leaves the copy as it was.
    a.path->Add(PDF_PATH_OP_LINETO, &p, 1);
    static_cast<PdfNumber*>(a.dash.items[0])->value = 9;
    free(a.fillPattern.str);
    a.fillPattern.str = nullptr;
    EXPECT_EQ(RecordingRenderer::PathText(b.path), "M 1 2");
    ASSERT_EQ(b.dash.count, 1);
    EXPECT_EQ(static_cast<PdfNumber*>(b.dash.items[0])->value, 3);
    ASSERT_EQ(b.font.count, 1);
    EXPECT_STREQ(static_cast<PdfName*>(b.font.items[0])->str, "F1");
    EXPECT_STREQ(b.fillPattern.str, "P0");
    EXPECT_EQ(b.strokePattern.str, nullptr);
    EXPECT_EQ(b.lineWidth, 4.0);
    EXPECT_EQ(b.ctm.e, 7.0);
}

TEST(ContentParser, OpTableIsWhole)
{
    // Every operator of a content stream that has a handler, in table order.
    const char* const ops[CP_OP_ROWS] = {
        "Tm", "TJ", "Tj", "Td", "TD", "TL", "Tr", "T*", "Tw", "Tc", "Tz", "Ts", "BT", "ET", "'",
        "\"", "Tf", "G", "g", "SC", "rg", "RG", "sc", "K", "k", "BI", "ID", "EI", "w", "J", "j",
        "M", "m", "l", "re", "c", "v", "y", "gs", "q", "Q", "cm", "Do", "s", "S", "h", "cs", "CS",
        "scn", "SCN", "f*", "f", "F", "sh", "d", "B", "B*", "b", "b*", "n", "W", "W*"};
    for (int i = 0; i < CP_OP_ROWS; i++) {
        EXPECT_STREQ(OpTable[i].op, ops[i]) << i;
        EXPECT_NE(OpTable[i].handler, nullptr) << i;
    }
    EXPECT_EQ(OpTable[51].handler, OpTable[52].handler);  // F fills like f
}

}  // namespace

// The page's token budget: the scan stops at it, in the stream where it runs out and in every
// stream of the page after it; what was drawn before stays. It is PAGE_MAX_CONTENT_TOKENS and
// PAGE_TOKENS_PER_HELD_BYTE tokens for each byte the page holds, and the page says it ran out.
TEST(ContentParser, TokenBudgetEndsThePage)
{
    for (long long held : {0LL, 1000LL}) {
        SCOPED_TRACE(held);
        const long long budget = PAGE_MAX_CONTENT_TOKENS + PAGE_TOKENS_PER_HELD_BYTE * held;
        PageRun run;
        run.cp.work->Hold(9, held, 1 << 30);
        // "0 0 1 1 re f" is six tokens: the first rectangle spends the budget exactly.
        run.cp.work->tokens = budget - 6;
        std::string page = run.Page({"0 0 1 1 re f 2 2 1 1 re f", "4 4 1 1 re f"});
        EXPECT_EQ(1, run.rec.Count("Fill")) << page;
        EXPECT_EQ(budget, run.cp.work->tokens);
        EXPECT_EQ(PAGE_BUDGET_TOKENS, run.cp.work->stoppedBy);

        // One token short of the first rectangle: nothing is drawn.
        PageRun shorter;
        shorter.cp.work->Hold(9, held, 1 << 30);
        shorter.cp.work->tokens = budget - 5;
        shorter.Page({"0 0 1 1 re f"});
        EXPECT_EQ(0, shorter.rec.Count("Fill"));

        // A clip opened before the budget ran out still ends.
        PageRun clipped;
        clipped.cp.work->Hold(9, held, 1 << 30);
        clipped.cp.work->tokens = budget - 8;
        clipped.Page({"q 0 0 1 1 re W n 0 0 1 1 re f Q"});
        EXPECT_EQ(1, clipped.rec.Count("Clip"));
        EXPECT_EQ(1, clipped.rec.Count("EndClip"));
        EXPECT_EQ(0, clipped.rec.Count("Fill"));
    }

    // A page drawn whole within its budget says nothing.
    PageRun whole;
    whole.Page({"0 0 1 1 re f"});
    EXPECT_EQ(PAGE_BUDGET_NONE, whole.cp.work->stoppedBy);
}
