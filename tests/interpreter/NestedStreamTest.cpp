#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"
#include "PageTreeDoc.h"
#include "PdfBuilder.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "Xps/XpsPackage.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

using testutil::ReadFile;
using testutil::TempDir;

namespace {

// A page writer that, the way a tiling brush does, runs a nested stream through its back
// pointer while it paints: a filled path whose first point has an x listed in `tiles` is
// followed by a run of that object. It also notes which parser it pointed at, and with which
// resources, at every fill.
class TileWriter : public XpsPage {
public:
    std::map<double, int> tiles;
    std::vector<ContentParser*> fillParsers;
    std::vector<PdfObj*> fillResources;
    std::vector<int> clipsAfterRun;  // clip canvases open when each nested run returned
    bool formLike = false;  // hand the painting state to the run, as a form gets it

    int Fill(GState* gs, FillRule rule) override
    {
        fillParsers.push_back(parser);
        fillResources.push_back(parser ? parser->resources : nullptr);
        XpsPage::Fill(gs, rule);
        PDF_POINT_CHUNK* first = gs->path ? gs->path->firstPts : nullptr;
        if (parser && first && first->count > 0) {
            auto tile = tiles.find(first->pts[0].x);
            if (tile != tiles.end()) {
                parser->ProcessPatternStream(tile->second, nullptr, formLike ? gs : nullptr);
                clipsAfterRun.push_back(openClips);
            }
        }
        return 0;
    }
};

// Content that paints the trigger of the tile listed under x.
std::string Trigger(int x)
{
    return std::to_string(x) + " 0 m " + std::to_string(x) + " 1 l f ";
}

// A document whose streams are the page content and the nested streams, loaded through the
// real reader, with one page interpreted the way the conversion driver does it.
class NestedRun {
public:
    // streams: object number and content; a flate flag stores the stream compressed, and
    // `entries` go into its dictionary (a Length there replaces the true one).
    struct Stream {
        int num;
        std::string content;
        bool flate = false;
        std::string entries{};  // of the stream's dictionary
    };

    // objects: more objects, by number and body.
    explicit NestedRun(const std::vector<Stream>& streams,
                       const std::vector<std::pair<int, std::string>>& objects = {})
    {
        testpdf::PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        for (const auto& o : objects)
            b.Object(o.first, o.second);
        for (const Stream& s : streams) {
            if (s.flate)
                b.Stream(s.num, s.entries + " /Filter /FlateDecode", testpdf::Deflate(s.content));
            else
                b.Stream(s.num, s.entries, s.content);
        }
        b.ClassicXref();
        std::string path = dir.file("doc.pdf");
        b.Write(path);
        xref = new PdfXref();
        loaded = xref->Load(nullptr, &path[0]) == 0;
        tree = new PdfPageTree(xref);
        snprintf(tree->tmpDir, sizeof tree->tmpDir, "%s/", dir.path().c_str());

        folder = dir.path();
        page.pageDir = &folder[0];
        page.parser = &cp;
        cp.xref = xref;
        cp.pages = tree;
        cp.renderer = &page;
        page.StartPage(0, 612, 792);
    }

    ~NestedRun()
    {
        ReleasePageTree(tree);
        if (xref->fp)
            fclose(xref->fp);
        ReleaseXref(xref);
    }

    NestedRun(const NestedRun&) = delete;
    NestedRun& operator=(const NestedRun&) = delete;

    // Scans the page content stream `num` with the given resources, which the conversion
    // driver hands over resolved.
    void Scan(int num, PdfObj* resources = nullptr)
    {
        PdfObj* parsed = nullptr;
        if (resources && resources->Type() == PDF_INDIRECT) {
            ParseIndirectObject(&parsed, xref, static_cast<PdfIndirect*>(resources)->refNum, 0,
                                xref->buf, sizeof xref->buf);
            resources = parsed;
        }
        PdfNumber ref;
        ref.value = num;
        FILE* fp = nullptr;
        int fromPdf = 0;
        ASSERT_EQ(0, tree->GetPageContent(&ref, &fp, &fromPdf));
        char buf[PDF_PARSE_BUF];
        cp.Scanner(fp, resources, buf, sizeof buf);
        if (!fromPdf)
            fclose(fp);
        delete parsed;
    }

    // Ends the page; its markup, which must be well-formed.
    std::string Finish()
    {
        cp.RunAllClips();
        EXPECT_EQ(0, page.EndPage());
        std::string report;
        EXPECT_EQ(0, testutil::RunCommand("xmllint --noout '" + dir.file("1.fpage") + "' 2>&1",
                                          &report))
            << report;
        return ReadFile(dir.file("1.fpage"));
    }

    TempDir dir;
    std::string folder;
    PdfXref* xref = nullptr;
    PdfPageTree* tree = nullptr;
    bool loaded = false;
    TileWriter page;
    ContentParser cp;
};

int Occurrences(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

// Each nested stream paints one square of its own object number's size, so the markup tells
// which streams ran and how often.
std::string Square(int n)
{
    return "0 0 " + std::to_string(n) + " " + std::to_string(n) + " re f ";
}
// The sizes of the squares in the markup, in the order they were drawn.
std::string Squares(const std::string& markup)
{
    const std::string start = "Data=\"F1 M 0,0 L ";
    std::string sizes;
    for (size_t at = markup.find(start); at != std::string::npos; at = markup.find(start, at + 1))
        sizes += std::to_string(atoi(markup.c_str() + at + start.size())) + " ";
    return sizes;
}
std::string SquareData(int n)
{
    std::string s = std::to_string(n);
    return "Data=\"F1 M 0,0 L " + s + ",0 " + s + "," + s + " 0," + s + " z \"";
}

TEST(NestedStream, RunsTerminateAndTheBackPointerReturnsToThePage)
{
    const struct {
        const char* what;
        std::vector<NestedRun::Stream> streams;  // object 3 is the page content
        const char* squares;                     // sizes of the squares drawn, in order
    } cases[] = {
        {"a form drawn twice",
         {{3, Trigger(104) + Trigger(104)}, {4, Square(4)}},
         "4 4 "},
        {"a form inside a form",
         {{3, Trigger(104)}, {4, Square(4) + Trigger(105)}, {5, Square(5), true}},
         "4 5 "},
        {"a form that draws itself",
         {{3, Trigger(104)}, {4, Square(4) + Trigger(104) + Square(6)}},
         "4 6 "},
        {"a cycle of two forms",
         {{3, Trigger(104)}, {4, Square(4) + Trigger(105)}, {5, Square(5) + Trigger(104), true}},
         "4 5 "},
        {"a cycle entered twice",
         {{3, Trigger(104) + Trigger(105)},
          {4, Square(4) + Trigger(105)},
          {5, Square(5) + Trigger(104)}},
         "4 5 5 4 "},
    };
    for (const auto& c : cases) {
        NestedRun run(c.streams);
        ASSERT_TRUE(run.loaded) << c.what;
        run.page.tiles = {{104, 4}, {105, 5}};
        run.Scan(3);
        EXPECT_EQ(&run.cp, run.page.parser) << c.what;
        std::string markup = run.Finish();

        EXPECT_EQ(c.squares, Squares(markup)) << c.what;
    }
}

// While a nested stream draws, the back pointer designates its parser (so callbacks resolve
// in that stream), and each level hands it back to the one that called it.
TEST(NestedStream, BackPointerFollowsEachLevel)
{
    NestedRun run({{3, Trigger(104) + Square(3)}, {4, Trigger(105) + Square(4)}, {5, Square(5)}});
    ASSERT_TRUE(run.loaded);
    run.page.tiles = {{104, 4}, {105, 5}};
    run.Scan(3);
    run.Finish();
    const std::vector<ContentParser*>& p = run.page.fillParsers;
    // Fills in order: page trigger, form 4 trigger, square 5, square 4, square 3.
    ASSERT_EQ(5u, p.size());
    EXPECT_EQ(&run.cp, p[0]);
    EXPECT_NE(&run.cp, p[1]);
    EXPECT_NE(p[1], p[2]);
    EXPECT_NE(&run.cp, p[2]);
    EXPECT_EQ(p[1], p[3]);
    EXPECT_EQ(&run.cp, p[4]);
    EXPECT_EQ(&run.cp, run.page.parser);
}

// A chain of distinct forms each drawing the next one stops at the nesting cap.
// A chain of forms each running the next: as deep as the cap they all run, past it the
// forms below the cap do not.
TEST(NestedStream, DeepChainsStopAtTheCap)
{
    for (int forms : {(int)NEST_MAX_LEVELS, NEST_MAX_LEVELS + 1, 40}) {
        SCOPED_TRACE(forms);
        std::vector<NestedRun::Stream> streams = {{3, Trigger(1000)}};
        for (int i = 0; i < forms; i++)
            streams.push_back({10 + i, Square(1) + Trigger(1001 + i), i % 2 == 1});
        NestedRun run(streams);
        ASSERT_TRUE(run.loaded);
        for (int i = 0; i < forms; i++)
            run.page.tiles[1000 + i] = 10 + i;
        run.Scan(3);
        EXPECT_EQ(&run.cp, run.page.parser);
        std::string markup = run.Finish();
        EXPECT_EQ(std::min(forms, (int)NEST_MAX_LEVELS), Occurrences(markup, SquareData(1)));
    }
}

// Every run below one page counts into the page's budget, at every level: with one run
// left, the first stream runs and what it would run, and what the page runs next, do not.
// The budget is PAGE_MAX_NESTED_RUNS and PAGE_NESTED_RUNS_PER_HELD_BYTE runs for each byte
// the page holds (here its streams, held before they run, and a large one held besides);
// the page says which budget stopped it.
TEST(NestedStream, RunsStopAtThePageBudget)
{
    NestedRun run({{3, Trigger(1000) + Trigger(1000)}, {10, Square(1) + Trigger(1001)},
                   {11, Square(2)}});
    ASSERT_TRUE(run.loaded);
    run.page.tiles[1000] = 10;
    run.page.tiles[1001] = 11;
    for (int num : {3, 10, 11})
        run.cp.HoldStream(num);
    run.cp.work->Hold(99, 100000, 1 << 30);
    const long long budget =
        PAGE_MAX_NESTED_RUNS + PAGE_NESTED_RUNS_PER_HELD_BYTE * run.cp.work->heldBytes;
    ASSERT_GT(run.cp.work->heldBytes, 100000);
    run.cp.work->nestedRuns = budget - 1;
    run.Scan(3);
    std::string markup = run.Finish();
    EXPECT_EQ(1, Occurrences(markup, SquareData(1)));
    EXPECT_EQ(0, Occurrences(markup, SquareData(2)));
    EXPECT_EQ(budget, run.cp.work->nestedRuns);
    EXPECT_EQ(PAGE_BUDGET_NESTED_RUNS, run.cp.work->stoppedBy);
    EXPECT_EQ(budget, run.cp.work->Budget(PAGE_BUDGET_NESTED_RUNS));
}

// What a page holds, which its budgets grow with: each stream it runs, counted once however
// often it runs, by the bytes its data takes in the file (a flate stream's packed bytes; a
// Length past the file's end counts what the file holds from the data on; no usable Length
// counts nothing), and never more than the whole file.
TEST(NestedStream, ThePageHoldsEachStreamOnceWithinTheFile)
{
    const std::string flat = Square(1), packed = Square(2), past = Square(3);
    for (bool greedy : {false, true}) {
        SCOPED_TRACE(greedy ? "two streams claim the rest of the file" : "sound lengths");
        std::vector<NestedRun::Stream> streams = {
            {3, Trigger(1000) + Trigger(1000) + Trigger(1001) + Trigger(1003)},
            {10, flat},
            {11, packed, true},
            {13, Square(4), false, "/Length /None"}};
        if (greedy) {
            streams[0].content += Trigger(1002) + Trigger(1004);
            // Early in the file, so that each claims nearly all of it.
            streams.insert(streams.begin() + 1, {12, past, false, "/Length 99999999"});
            streams.insert(streams.begin() + 2, {14, Square(5), true, "/Length 99999999"});
        }
        NestedRun run(streams);
        ASSERT_TRUE(run.loaded);
        run.page.tiles = {{1000, 10}, {1001, 11}, {1002, 12}, {1003, 13}, {1004, 14}};
        run.Scan(3);
        std::string markup = run.Finish();
        EXPECT_EQ(greedy ? "1 1 2 4 3 5 " : "1 1 2 4 ", Squares(markup));
        long long want = (long long)flat.size() + (long long)testpdf::Deflate(packed).size();
        if (greedy)
            want = run.xref->fileBytes;
        EXPECT_EQ(want, run.cp.work->heldBytes);
        EXPECT_EQ(greedy ? 5u : 3u, run.cp.work->heldStreams.size());
        EXPECT_EQ(PAGE_BUDGET_NONE, run.cp.work->stoppedBy);
    }
}

// Nothing is drawn for a stream that is not there, and the caller carries on.
TEST(NestedStream, MissingStreamsDrawNothing)
{
    NestedRun run({{3, Square(3)}});
    ASSERT_TRUE(run.loaded);
    for (int num : {-1, 0, 1, 2, 99, 1 << 30}) {
        run.cp.ProcessPatternStream(num, nullptr, run.cp.current);
        EXPECT_EQ(&run.cp, run.page.parser) << num;
        EXPECT_TRUE(run.page.fillParsers.empty()) << num;
    }
    run.Scan(3);
    std::string markup = run.Finish();
    EXPECT_EQ(1, Occurrences(markup, "<Path "));
}

// A nested stream starts from a copy of the state it is given, its path included (the default
// state without one), and nothing it does flows back to the caller.
TEST(NestedStream, StateIsCopiedInAndNothingFlowsBack)
{
    // Left unbalanced on purpose: q without Q, and a path that is never painted.
    NestedRun run({{4, Square(4) + "q q 50 50 m 60 60 l"}});
    ASSERT_TRUE(run.loaded);
    GState* gs = run.cp.current;
    gs->ctm = {2, 0, 0, 2, 10, 20};
    gs->fillGray = 0.5;
    PDF_POINT_REAL p = {7, 8};
    gs->path->Add(PDF_PATH_OP_MOVETO, &p, 1);

    run.cp.ProcessPatternStream(4, nullptr, gs);
    run.cp.ProcessPatternStream(4, nullptr, nullptr);

    EXPECT_EQ(gs, run.cp.current);
    EXPECT_EQ(0, run.cp.depth);
    EXPECT_EQ(2, gs->ctm.a);
    EXPECT_EQ(0.5, gs->fillGray);
    ASSERT_NE(nullptr, gs->path->firstPts);
    EXPECT_EQ(1, gs->path->firstPts->count);
    EXPECT_EQ(7, gs->path->firstPts->pts[0].x);

    std::string markup = run.Finish();
    EXPECT_NE(std::string::npos,
              markup.find("<Path RenderTransform=\"2,0,0,2,10,20\" \n"
                          "Data=\"F1 M 7,8 M 0,0 L 4,0 4,4 0,4 z \" ><Path.Fill>\n"
                          "<SolidColorBrush Color=\"#FF7F7F7F\" />"));
    EXPECT_NE(std::string::npos,
              markup.find("<Path RenderTransform=\"1,0,0,1,0,0\" \n" + SquareData(4) +
                          " ><Path.Fill>\n<SolidColorBrush Color=\"#FF000000\" />"));
}

// A stream without resources of its own draws with those of the stream that called it.
TEST(NestedStream, NoResourcesMeansTheCallersResources)
{
    NestedRun run({{3, Trigger(104)}, {4, Square(4) + Trigger(105)}, {5, Square(5)}});
    ASSERT_TRUE(run.loaded);
    run.page.tiles = {{104, 4}, {105, 5}};
    PdfDict pageResources;
    run.Scan(3, &pageResources);
    run.Finish();
    ASSERT_EQ(4u, run.page.fillResources.size());
    for (PdfObj* r : run.page.fillResources)
        EXPECT_EQ(&pageResources, r);

    NestedRun direct({{4, Square(4)}});
    ASSERT_TRUE(direct.loaded);
    PdfDict own;
    direct.cp.ProcessPatternStream(4, &own, nullptr);
    direct.Finish();
    ASSERT_EQ(1u, direct.page.fillResources.size());
    EXPECT_EQ(&own, direct.page.fillResources[0]);
}

// Resources given by reference are read without losing the place in a stream that is read
// from the document's own file.
TEST(NestedStream, ResourcesByReferenceForAStreamInTheDocument)
{
    for (bool flate : {false, true}) {
        NestedRun run({{4, "/Half gs " + Square(4), flate}, {5, Square(5) + "/Half gs " + Square(6), flate}},
                      {{9, "<< /ExtGState << /Half << /ca 0.5 >> >> >>"}});
        ASSERT_TRUE(run.loaded);
        PdfIndirect ref;
        ref.refNum = 9;
        run.cp.ProcessPatternStream(4, &ref, nullptr);
        ref.refNum = 8;  // leads nowhere: no resources, no opacity
        run.cp.ProcessPatternStream(5, &ref, nullptr);
        std::string markup = run.Finish();
        EXPECT_EQ("4 5 6 ", Squares(markup)) << flate;
        EXPECT_NE(std::string::npos, markup.find("Opacity=\"0.5\" \n" + SquareData(4))) << flate;
        EXPECT_EQ(1, Occurrences(markup, "Opacity=")) << flate;
    }
}

// Clip canvases a nested stream opens are all closed before the run returns, at whatever depth
// it opened them and however it ended; the caller's own clip stays open.
TEST(NestedStream, ClipsOfANestedStreamCloseBeforeItReturns)
{
    const std::string clips = "0 0 5 5 re W n q 1 1 2 2 re W n q 1 1 1 1 re W* n ";
    const struct {
        const char* what;
        std::string content;
    } cases[] = {
        {"ends at endstream", clips + Square(4)},
        {"ends at a stray token", clips + "] " + Square(4)},
        {"ends at a lexer error", clips + ") " + Square(4)},
        {"clips at depth 0 only", "0 0 5 5 re W n 0 0 6 6 re W n"},
    };
    for (const auto& c : cases) {
        for (bool flate : {false, true}) {
            NestedRun run({{3, "0 0 100 100 re W n " + Trigger(104) + Square(3)}, {4, c.content, flate}});
            ASSERT_TRUE(run.loaded);
            run.page.tiles = {{104, 4}};
            run.Scan(3);
            // The page's clip is the only one left open by the time the run returns.
            EXPECT_EQ(std::vector<int>{1}, run.page.clipsAfterRun) << c.what << flate;
            std::string markup = run.Finish();
            EXPECT_EQ(Occurrences(markup, "<Canvas\n"), Occurrences(markup, "</Canvas>\n") - 1)
                << c.what;
            // The page's last square is drawn inside the page's clip, after the form's clips.
            size_t last = markup.rfind(SquareData(3));
            ASSERT_NE(std::string::npos, last) << c.what;
            EXPECT_EQ(1, Occurrences(markup.substr(last), "</Canvas>\n") - 1) << c.what;
        }
    }
}

// Soft masks: what is painted under one lies in a canvas whose opacity mask is a visual of
// the mask's form over the page. A luminosity mask's colours are written as the alpha their
// luminosity gives, its backdrop under them, and only while the mask is drawn; an alpha
// mask's as they are. A mask that masks its own drawing runs once.
TEST(NestedStream, SoftMasksDrawTheirFormIntoTheMaskedCanvas)
{
    const std::string form = "/Type /XObject /Subtype /Form";
    NestedRun run({{3, "/L gs 1 0 0 rg 0 0 50 50 re f /A gs 0 0 1 rg 0 0 60 60 re f"},
                   {4, "0.5 g 0 0 10 10 re f /A gs 0 0 20 20 re f", false, form},
                   {5, "0 1 0 rg 0 0 30 30 re f /Self gs 0 0 40 40 re f", false, form}},
                  {{9, "<< /ExtGState << /L << /SMask 10 0 R >> /A << /SMask 11 0 R >> "
                       "/Self << /SMask 11 0 R >> >> >>"},
                   {10, "<< /S /Luminosity /G 4 0 R /BC [1] >>"},
                   {11, "<< /S /Alpha /G 5 0 R >>"}});
    ASSERT_TRUE(run.loaded);
    PdfIndirect resources;
    resources.refNum = 9;
    run.Scan(3, &resources);
    std::string markup = xpstest::PageBody(run.Finish());
    const std::string mask = "<Canvas>\n<Canvas.OpacityMask>\n<VisualBrush Viewbox=\"0,0,612,792\" "
                             "Viewport=\"0,0,612,792\" TileMode=\"None\" ViewboxUnits=\"Absolute\" "
                             "ViewportUnits=\"Absolute\">\n<VisualBrush.Visual>\n<Canvas>\n";
    const std::string close = "</Canvas>\n</VisualBrush.Visual>\n</VisualBrush>\n</Canvas.OpacityMask>\n";
    std::vector<std::string> order = {
        mask, "<Path Data=\"M 0,0 L 612,0 612,792 0,792 z\" Fill=\"#FF000000\" />", SquareData(10),
        "#7F000000", mask, SquareData(30), "#FF00FF00", SquareData(40), "#FF00FF00", close,
        SquareData(20), "#7F000000", "</Canvas>", close, SquareData(50), "#FFFF0000", "</Canvas>",
        mask, SquareData(30), "#FF00FF00", SquareData(40), "#FF00FF00", close, SquareData(60),
        "#FF0000FF", "</Canvas>"};
    size_t at = 0;
    for (const std::string& part : order) {
        size_t next = markup.find(part, at);
        ASSERT_NE(std::string::npos, next) << part << " after " << at << " in\n" << markup;
        at = next + part.size();
    }
    EXPECT_EQ(3, Occurrences(markup, "<VisualBrush "));
}

// Colours, opacities and a form, interpreted, packed and drawn by both readers: each probe
// must show what a PDF reader shows for the same content.
TEST(NestedStream, ReadersPaintFormsColoursAndOpacities)
{
    if (!testutil::HaveTool("mutool") || !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "no reader";
    NestedRun run({{3, "1 0 0 rg 50 650 100 100 re f "
                       "0.5 g 200 650 100 100 re f "
                       "1 0 0 0 k 350 650 100 100 re f "
                       "0 0 1 rg " + Trigger(104) + "350 450 100 100 re f "
                       "1.2 -0.1 0.5 rg 350 250 100 100 re f "
                       "/Half gs 0 g 50 250 100 100 re f 0 G 20 w 200 300 m 300 300 l S "},
                   // Drawn first in the caller's colour, then in a colour of its own.
                   {4, "50 450 100 100 re f 0 1 0 rg 200 450 100 100 re f", true}},
                  {{9, "<< /ExtGState << /Half << /ca 0.5 /CA 0.5 >> >> >>"}});
    ASSERT_TRUE(run.loaded);
    run.page.tiles = {{104, 4}};
    run.page.formLike = true;
    PdfIndirect resources;
    resources.refNum = 9;
    run.Scan(3, &resources);
    std::string markup = run.Finish();
    SCOPED_TRACE(markup);

    const std::string xps = run.dir.file("page.xps");
    ASSERT_EQ(0, WriteXpsPackage(1, &run.tree->resources, &run.tree->iResources,
                                 &run.tree->inlineResources, xps.c_str(), run.folder.c_str(),
                                 run.xref));
    std::string out;
    ASSERT_EQ(0, testutil::RunCommand("mutool draw -q -r 72 -o '" + run.dir.file("m.png") + "' '" +
                                          xps + "' 1 2>&1", &out)) << out;
    ASSERT_EQ(0, testutil::RunCommand("xpstopng -r 72 '" + xps + "' '" + run.dir.file("g") +
                                          "' 2>&1", &out)) << out;

    const unsigned char red[3] = {255, 0, 0}, gray[3] = {127, 127, 127}, blue[3] = {0, 0, 255},
                        green[3] = {0, 255, 0}, pink[3] = {255, 0, 127}, white[3] = {255, 255, 255};
    const struct {
        const char* what;
        int x, y;  // PDF points
        const unsigned char* rgb;
    } probes[] = {
        {"rgb", 100, 700, red},
        {"gray", 250, 700, gray},
        {"form in the caller's colour", 100, 500, blue},
        {"form's own colour", 250, 500, green},
        {"caller's colour after the form", 400, 500, blue},
        {"clamped components", 400, 300, pink},
        {"half-transparent fill", 100, 300, gray},
        {"half-transparent stroke", 250, 300, gray},
        {"nothing painted", 500, 100, white},
    };
    for (const std::string& png : {run.dir.file("m.png"), run.dir.file("g-1.png")}) {
        testimg::Png img = testimg::ReadPng(png);
        ASSERT_TRUE(img.ok) << png;
        ASSERT_EQ(612, img.width) << png;
        ASSERT_EQ(792, img.height) << png;
        for (const auto& p : probes) {
            const unsigned char* px = img.At(p.x, 792 - p.y);
            EXPECT_TRUE(testimg::Near(px, p.rgb)) << png << ": " << p.what << " is " << (int)px[0]
                                                  << "," << (int)px[1] << "," << (int)px[2];
        }
        // Cyan through the CMYK profile: no red, much blue.
        const unsigned char* cyan = img.At(400, 792 - 700);
        EXPECT_LT(cyan[0], 100) << png;
        EXPECT_GT(cyan[2], 150) << png;
    }
}

}  // namespace
