#include "Xps/XpsPage.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <unistd.h>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfXref.h"
#include "TestUtil.h"
#include "Xps/XpsPackage.h"
#include "XpsTestUtil.h"

using testutil::ReadFile;
using testutil::TempDir;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

const std::string kBlackFill = "<Path.Fill>\n<SolidColorBrush Color=\"#FF000000\" /> \n</Path.Fill>\n";
const std::string kBlackStroke =
    "<Path.Stroke>\n<SolidColorBrush Color=\"#FF000000\" /> \n</Path.Stroke>\n";

// A path as the content operators build it: {op, x, y, x, y, x, y}.
struct Seg {
    PDF_PATH_OP op;
    std::vector<double> xy;
};

void Build(PDF_PathGeometry* path, const std::vector<Seg>& segs)
{
    for (const Seg& s : segs) {
        PDF_POINT_REAL pts[3];
        int n = (int)s.xy.size() / 2;
        for (int i = 0; i < n; i++)
            pts[i] = {s.xy[2 * i], s.xy[2 * i + 1]};
        ASSERT_EQ(0, path->Add(s.op, pts, n));
    }
}

const std::vector<Seg> kTriangle = {{PDF_PATH_OP_MOVETO, {0, 0}},
                                    {PDF_PATH_OP_LINETO, {10, 0}},
                                    {PDF_PATH_OP_LINETO, {10, 10}},
                                    {PDF_PATH_OP_CLOSEPATH, {}}};

// One page written into a temporary folder; what lies between the page head and its end is
// the body. Every page must be well-formed XML.
class PageTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    GState gs;

    void SetUp() override
    {
        page.pageDir = &folder[0];
        ASSERT_EQ(0, page.StartPage(0, 612, 792));
    }

    std::string Finish() { return xpstest::EndAndRead(page, dir.file("1.fpage")); }

    std::string Body() { return xpstest::PageBody(Finish()); }

    void Dash(std::vector<PdfObj*> items)
    {
        for (PdfObj* o : items)
            ASSERT_EQ(0, gs.dash.Append(o));
    }
};

PdfObj* Int(int v)
{
    PdfNumber* n = new PdfNumber();
    n->value = v;
    return n;
}

PdfObj* Real(double v)
{
    PdfReal* r = new PdfReal();
    r->value = v;
    return r;
}

TEST(XpsNumber, IsPrintfGForFiniteValuesAndNeverNanOrInf)
{
    for (double v : {0.0, -0.0, 1.0, -2.25, 0.5, 815.9999998, 1055.9999997, 1e-5, 0.0001,
                     123456.0, 1234567.0, 1e6, 1.5e300, 3.4028e38, 1.0 / 3, 5e-324}) {
        char want[64];
        snprintf(want, sizeof want, "%g", v);
        EXPECT_STREQ(want, XpsNumber(v).text) << v;
    }
    for (double v : {kInf, -kInf, kNan})
        EXPECT_STREQ("0", XpsNumber(v).text) << v;
    pdfmatrix m = {1.5, 0, kNan, -1, 1e20, kInf};
    EXPECT_STREQ("1.5,0,0,-1,1e+20,0", XpsMatrix(m).text);
    EXPECT_FALSE(XpsFinite(m));
}

// The formatter writes most numbers by its own arithmetic: every one must still be "%g".
TEST(XpsNumber, MatchesPrintfGOnALargeTable)
{
    std::vector<double> values;
    std::mt19937_64 random(16);
    // Any bit pattern of a finite double, and doubles spread evenly over the magnitudes path
    // data meets.
    for (int i = 0; i < 100000; i++) {
        uint64_t bits = random();
        double v;
        memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v))
            values.push_back(v);
        double spread = std::ldexp((double)(random() >> 11) / 9007199254740992.0 + 0.5,
                                   (int)(random() % 80) - 40);
        values.push_back(random() & 1 ? -spread : spread);
    }
    // Integers, and the neighbours of powers of ten, where the exponent changes.
    for (int i = -2000; i <= 2000; i++)
        values.push_back(i);
    for (int e = -8; e <= 8; e++) {
        double p = std::pow(10.0, e);
        double near[] = {p, std::nextafter(p, 0), std::nextafter(p, 1e300), p * 0.9999995,
                         p * 0.99999949999, p * 0.9999995000001};
        for (double v : near) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    // Halfway cases: decimal ties (not exact in binary) with their neighbours, and exact
    // binary ties at the sixth digit, which round to even.
    for (int i = 0; i < 20000; i++) {
        char text[40];
        snprintf(text, sizeof text, "%llu5e%d", (unsigned long long)(100000 + random() % 900000),
                 (int)(random() % 16) - 12);
        double v = strtod(text, nullptr);
        values.push_back(v);
        values.push_back(std::nextafter(v, 0));
        values.push_back(std::nextafter(v, 1e300));
        double tie = ((double)(200000 + 2 * (random() % 800000)) + 1) / 2 /
                     std::pow(10.0, (double)(random() % 6));
        values.push_back(tie);
        values.push_back(std::ldexp((double)(2 * (random() % 2000000) + 1), -(int)(random() % 20)));
    }
    for (double v : {999999.5, 999999.4999999999, 100000.5, 100001.5, 10000.25, 10000.75,
                     0.000099999950000000004, 0.0000999999499, 9e-5, 5e-324, -5e-324, 1e300})
        values.push_back(v);

    int wrong = 0;
    for (double v : values) {
        char want[64];
        snprintf(want, sizeof want, "%g", v);
        if (strcmp(want, XpsNumber(v).text) != 0 && ++wrong <= 10)
            ADD_FAILURE() << want << " written as " << XpsNumber(v).text;
    }
    EXPECT_EQ(0, wrong) << "of " << values.size();
    EXPECT_STREQ("-0", XpsNumber(-0.0).text);
}

TEST(XpsPathData, WritesAbbreviatedSyntax)
{
    const pdfmatrix doubling = {2, 0, 0, 2, 0, 0};
    const struct {
        const char* what;
        std::vector<Seg> segs;
        const pdfmatrix* m;
        const char* want;
    } cases[] = {
        {"lines and close", kTriangle, nullptr, "M 0,0 L 10,0 10,10 z "},
        {"through a matrix", kTriangle, &doubling, "M 0,0 L 20,0 20,20 z "},
        {"v takes the start point",
         {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_CURVETO_V, {10, 10, 20, 20}}}, nullptr,
         "M 0,0 C 0,0 10,10 20,20 "},
        {"y repeats the end point",
         {{PDF_PATH_OP_MOVETO, {1, 2}}, {PDF_PATH_OP_CURVETO_Y, {5, 5, 20, 20}}}, nullptr,
         "M 1,2 C 5,5 20,20 20,20 "},
        {"v after a close starts at the subpath",
         {{PDF_PATH_OP_MOVETO, {1, 1}}, {PDF_PATH_OP_LINETO, {5, 1}}, {PDF_PATH_OP_CLOSEPATH, {}},
          {PDF_PATH_OP_CURVETO_V, {2, 2, 3, 3}}},
         &doubling, "M 2,2 L 10,2 z C 2,2 4,4 6,6 "},
        {"curves of one kind share a letter, of two kinds do not",
         {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_CURVETO, {1, 1, 2, 2, 3, 3}},
          {PDF_PATH_OP_CURVETO, {4, 4, 5, 5, 6, 6}}, {PDF_PATH_OP_CURVETO_Y, {7, 7, 8, 8}}},
         nullptr, "M 0,0 C 1,1 2,2 3,3 4,4 5,5 6,6 C 7,7 8,8 8,8 "},
        {"points across chunks",
         {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {1, 0}},
          {PDF_PATH_OP_CURVETO, {2, 0, 3, 0, 4, 0}}, {PDF_PATH_OP_LINETO, {5, 0}},
          {PDF_PATH_OP_LINETO, {6, 0}}, {PDF_PATH_OP_LINETO, {7, 0}}, {PDF_PATH_OP_LINETO, {8, 0}},
          {PDF_PATH_OP_LINETO, {9, 0}}},
         nullptr, "M 0,0 L 1,0 C 2,0 3,0 4,0 L 5,0 6,0 7,0 8,0 9,0 "},
        // Points after an "M" would be read as lines.
        {"every move has its letter",
         {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_MOVETO, {10, 10}}, {PDF_PATH_OP_LINETO, {20, 20}}},
         nullptr, "M 0,0 M 10,10 L 20,20 "},
        {"data begins with a move", {{PDF_PATH_OP_LINETO, {5, 5}}}, &doubling, "M 0,0 L 10,10 "},
        {"a move beyond any page ends the data",
         {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {1, 1}}, {PDF_PATH_OP_MOVETO, {1e15, 0}},
          {PDF_PATH_OP_LINETO, {2, 2}}},
         nullptr, "M 0,0 L 1,1 "},
        {"points that are not finite",
         {{PDF_PATH_OP_MOVETO, {kNan, 1}}, {PDF_PATH_OP_LINETO, {kInf, -kInf}}}, nullptr,
         "M 0,1 L 0,0 "},
        {"empty", {}, nullptr, ""},
        {"only a far move", {{PDF_PATH_OP_MOVETO, {0, 2e14}}, {PDF_PATH_OP_LINETO, {1, 1}}}, nullptr, ""},
    };
    for (const auto& c : cases) {
        PDF_PathGeometry path;
        Build(&path, c.segs);
        std::string data = "keep:";
        EXPECT_EQ(*c.want != 0, XpsPathData(&path, c.m, &data)) << c.what;
        EXPECT_EQ(std::string("keep:") + c.want, data) << c.what;
    }
}

TEST(XpsPage, EmptyPageIsHeadAndTail)
{
    TempDir dir;
    std::string folder = dir.path() + "/";
    XpsPage page;
    page.pageDir = &folder[0];
    ASSERT_EQ(0, page.StartPage(2, 612, 792));
    EXPECT_EQ(1, page.pagesStarted);
    ASSERT_EQ(0, page.EndPage());
    EXPECT_EQ(xpstest::kPageHead + xpstest::kPageTail, ReadFile(dir.file("3.fpage")));
    std::string report;
    EXPECT_TRUE(xpstest::XmlWellFormed(dir.file("3.fpage"), &report)) << report;
}

TEST_F(PageTest, FillCarriesTheCtmAndClipAppliesIt)
{
    Build(gs.path, kTriangle);
    gs.ctm = {2, 0, 0, 2, 0, 0};
    page.Clip(&gs, 0);
    page.Fill(&gs, 1);
    page.EndClip();
    EXPECT_EQ("<Canvas\nClip=\"F0M 0,0 L 20,0 20,20 z \" >\n"
              "<Path RenderTransform=\"2,0,0,2,0,0\" \nData=\"F1 M 0,0 L 10,0 10,10 z \" >" +
                  kBlackFill + "</Path>\n</Canvas>\n",
              Body());
}

TEST_F(PageTest, OpacityOnlyForFractions)
{
    Build(gs.path, kTriangle);
    const struct {
        double alpha;
        const char* attribute;
    } cases[] = {{1, ""}, {0, "Opacity=\"0\" \n"}, {0.5, "Opacity=\"0.5\" \n"},
                 {1.5, ""}, {-0.25, ""}, {kNan, ""}};
    std::string want;
    for (const auto& c : cases) {
        gs.fillAlpha = c.alpha;
        page.Fill(&gs, 0);
        want += "<Path RenderTransform=\"1,0,0,1,0,0\" \n" + std::string(c.attribute) +
                "Data=\"F0 M 0,0 L 10,0 10,10 z \" >" + kBlackFill + "</Path>\n";
    }
    EXPECT_EQ(want, Body());
}

TEST(XpsPage, CapAndJoinNamesFallBackToTheDefault)
{
    const struct {
        int value;
        const char* cap;
        const char* join;
    } cases[] = {{0, "Flat", "Miter"}, {1, "Round", "Round"}, {2, "Square", "Bevel"},
                 {5, "Flat", "Miter"}, {7, "Flat", "Miter"}, {-1, "Flat", "Miter"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(c.cap, LineCap(c.value)) << c.value;
        EXPECT_STREQ(c.join, LineJoin(c.value)) << c.value;
    }
}

TEST_F(PageTest, StrokeWithDashes)
{
    Build(gs.path, {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {10, 0}}});
    gs.lineWidth = 2;
    gs.lineCap = 1;
    gs.lineJoin = 2;
    gs.strokeAlpha = 0.25;
    gs.dashPhase = 1;
    Dash({Int(3)});
    page.Stroke(&gs);
    EXPECT_EQ("<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"M 0,0 L 10,0 \" Opacity=\"0.25\" \n"
              "StrokeEndLineCap=\"Round\" \nStrokeStartLineCap=\"Round\" \nStrokeLineJoin=\"Bevel\" \n"
              "StrokeDashArray=\"1.5 1.5 \" \nStrokeDashOffset=\"0.5\" \nStrokeDashCap=\"Round\" \n"
              "StrokeThickness=\"2\" >\n" +
                  kBlackStroke + "</Path>\n",
              Body());
}

TEST(XpsPage, DashListsBecomePairsOfLengthsOrASolidLine)
{
    const struct {
        const char* what;
        std::vector<double> reals;  // NAN stands for an item that is no number
        double width;
        const char* want;  // dash attributes, "" for a solid line
        int cap = 0;
    } cases[] = {
        {"even", {2, 1}, 1, "StrokeDashArray=\"2 1 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Flat\" \n"},
        {"odd list twice", {3, 1, 2}, 1,
         "StrokeDashArray=\"3 1 2 3 1 2 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Flat\" \n"},
        {"width 0 divides by a small width", {3}, 0,
         "StrokeDashArray=\"3000 3000 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Flat\" \n"},
        {"negative width", {3, 1}, -2,
         "StrokeDashArray=\"1.5 0.5 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Flat\" \n"},
        // Dashes take the line's cap: zero-length dashes with square caps are squares.
        {"square caps", {0, 4}, 2,
         "StrokeDashArray=\"0 2 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Square\" \n", 2},
        {"all zero", {0, 0}, 1, ""},
        {"negative length", {3, -1}, 1, ""},
        {"not a number", {3, NAN}, 1, ""},
        {"empty", {}, 1, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string folder = dir.path();
        XpsPage page;
        page.pageDir = &folder[0];
        GState gs;
        Build(gs.path, {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {10, 0}}});
        gs.lineWidth = c.width;
        gs.lineCap = c.cap;
        for (double v : c.reals)
            gs.dash.Append(std::isnan(v) ? (PdfObj*)new PdfName() : Real(v));
        ASSERT_EQ(0, page.StartPage(0, 612, 792));
        page.Stroke(&gs);
        ASSERT_EQ(0, page.EndPage());
        std::string report;
        EXPECT_TRUE(xpstest::XmlWellFormed(dir.file("1.fpage"), &report)) << report;
        std::string text = ReadFile(dir.file("1.fpage"));
        size_t from = text.find("StrokeLineJoin=\"Miter\" \n"), to = text.find("StrokeThickness");
        ASSERT_NE(std::string::npos, from) << c.what;
        from += strlen("StrokeLineJoin=\"Miter\" \n");
        EXPECT_EQ(c.want, text.substr(from, to - from)) << c.what;
    }
}

TEST_F(PageTest, FillStrokeIsOnePathWhenTheAlphasMatch)
{
    Build(gs.path, kTriangle);
    gs.lineWidth = 3;
    Dash({Int(4), Real(2)});
    page.FillStroke(&gs, 0);
    gs.fillAlpha = 0.5;
    page.FillStroke(&gs, 1);
    EXPECT_EQ("<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"F0 M 0,0 L 10,0 10,10 z \" \n"
              "StrokeEndLineCap=\"Flat\" \nStrokeStartLineCap=\"Flat\" \nStrokeLineJoin=\"Miter\" \n"
              "StrokeDashArray=\"1.33333 0.666667 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Flat\" \n"
              "StrokeThickness=\"3\" >\n" + kBlackFill + kBlackStroke + "</Path>\n"
              // Different alphas: a fill without stroke attributes, then the stroke.
              "<Path RenderTransform=\"1,0,0,1,0,0\" \nOpacity=\"0.5\" \n"
              "Data=\"F1 M 0,0 L 10,0 10,10 z \" >" + kBlackFill + "</Path>\n"
              "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"M 0,0 L 10,0 10,10 z \" "
              "StrokeEndLineCap=\"Flat\" \nStrokeStartLineCap=\"Flat\" \nStrokeLineJoin=\"Miter\" \n"
              "StrokeDashArray=\"1.33333 0.666667 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Flat\" \n"
              "StrokeThickness=\"3\" >\n" + kBlackStroke + "</Path>\n",
              Body());
}

TEST_F(PageTest, NothingToPaintWritesNothingAndNothingToKeepClipsAll)
{
    // An empty path, and a path whose CTM or line width is not finite.
    page.Fill(&gs, 1);
    page.Stroke(&gs);
    page.FillStroke(&gs, 1);
    page.Clip(&gs, 1);
    page.EndClip();
    Build(gs.path, kTriangle);
    gs.lineWidth = kInf;
    page.Stroke(&gs);
    gs.ctm = {kNan, 0, 0, 1, 0, 0};
    page.Fill(&gs, 1);
    page.FillStroke(&gs, 1);
    page.Clip(&gs, 0);
    page.EndClip();
    page.EndClip();  // none open: nothing
    EXPECT_EQ("<Canvas\nClip=\"F1M 0,0 L 0,0 z \" >\n</Canvas>\n"
              "<Canvas\nClip=\"F0M 0,0 L 0,0 z \" >\n</Canvas>\n",
              Body());
}

TEST_F(PageTest, EndPageClosesOpenClips)
{
    Build(gs.path, kTriangle);
    page.Clip(&gs, 1);
    page.Clip(&gs, 1);
    page.OutComment((char*)"<!-- Form -->\n");
    const std::string clip = "<Canvas\nClip=\"F1M 0,0 L 10,0 10,10 z \" >\n";
    EXPECT_EQ(clip + clip + "<!-- Form -->\n</Canvas>\n</Canvas>\n", Body());
}

TEST_F(PageTest, InterpretedClipsPairWithTheirEnds)
{
    ContentParser cp;
    cp.renderer = &page;
    page.parser = &cp;
    // The first clip ends at Q; the second stays open into the next stream, where the third
    // opens inside it; both end with the page.
    for (const char* content : {"q 0 0 100 100 re W n 0 0 612 792 re f Q 0 0 50 50 re W* n endstream",
                                "q 1 1 2 2 re W n"}) {
        FILE* f = testutil::StreamOf(content);
        ASSERT_TRUE(f);
        char buf[PDF_PARSE_BUF];
        cp.Scanner(f, nullptr, buf, sizeof buf);
        fclose(f);
    }
    EXPECT_EQ("<Canvas\nClip=\"F1M 0,0 L 100,0 100,100 0,100 z \" >\n"
              "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"F1 M 0,0 L 612,0 612,792 0,792 z \" >" +
                  kBlackFill + "</Path>\n</Canvas>\n"
                  "<Canvas\nClip=\"F0M 0,0 L 50,0 50,50 0,50 z \" >\n"
                  "<Canvas\nClip=\"F1M 1,1 L 3,1 3,3 1,3 z \" >\n</Canvas>\n</Canvas>\n",
              Body());
}

TEST(XpsPage, APageThatCannotBeWrittenFails)
{
    TempDir dir;
    std::string missing = dir.file("none");
    GState gs;
    Build(gs.path, kTriangle);
    XpsPage page;
    page.pageDir = &missing[0];
    std::string printed = testutil::Captured(stdout, dir.file("stdout"), [&] {
        EXPECT_EQ(-1, page.StartPage(0, 612, 792));
        page.Fill(&gs, 1);
        page.Clip(&gs, 1);
        EXPECT_EQ(-1, page.EndPage());
    });
    EXPECT_EQ("", printed);

    // A page whose writes fail: the disk fills up while it is written.
    {
        std::string folder = dir.path();
        XpsPage full;
        full.pageDir = &folder[0];
        testutil::FileSizeLimit diskFull(4096);
        ASSERT_EQ(0, full.StartPage(0, 612, 792));
        for (int i = 0; i < 200; i++)
            full.Fill(&gs, 1);
        EXPECT_EQ(-1, full.EndPage());
    }
}

TEST(XpsPage, ReadersDrawPathsInsideClips)
{
    TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    page.pageDir = &folder[0];
    GState gs;
    ASSERT_EQ(0, page.StartPage(0, 612, 792));

    // A page-wide fill seen only through a 100-point square, a dashed circle-ish curve, and a
    // clip of nothing that hides the fill after it.
    Build(gs.path, {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {100, 0}},
                    {PDF_PATH_OP_LINETO, {100, 100}}, {PDF_PATH_OP_LINETO, {0, 100}},
                    {PDF_PATH_OP_CLOSEPATH, {}}});
    gs.ctm = {1, 0, 0, 1, 100, 600};
    page.Clip(&gs, 1);
    gs.NewPath();
    gs.ctm = {1, 0, 0, 1, 0, 0};
    Build(gs.path, {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {612, 0}},
                    {PDF_PATH_OP_LINETO, {612, 792}}, {PDF_PATH_OP_LINETO, {0, 792}},
                    {PDF_PATH_OP_CLOSEPATH, {}}});
    page.Fill(&gs, 1);
    page.EndClip();
    gs.NewPath();
    Build(gs.path, {{PDF_PATH_OP_MOVETO, {300, 300}}, {PDF_PATH_OP_CURVETO, {300, 400, 500, 400, 500, 300}},
                    {PDF_PATH_OP_CURVETO_V, {400, 200, 300, 300}}});
    gs.lineWidth = 4;
    gs.lineCap = 1;
    gs.dash.Append(Int(6));
    page.FillStroke(&gs, 0);
    gs.NewPath();
    page.Clip(&gs, 1);
    Build(gs.path, {{PDF_PATH_OP_MOVETO, {0, 0}}, {PDF_PATH_OP_LINETO, {50, 0}},
                    {PDF_PATH_OP_LINETO, {50, 50}}, {PDF_PATH_OP_CLOSEPATH, {}}});
    page.Fill(&gs, 1);
    ASSERT_EQ(0, page.EndPage());  // closes the clip of nothing

    std::string report;
    ASSERT_TRUE(xpstest::XmlWellFormed(dir.file("1.fpage"), &report)) << report;
    XGE_List resources, internal, inlineImages;
    resources.elemSize = internal.elemSize = 8;
    inlineImages.elemSize = 264;
    PdfXref xref{};
    const std::string xps = dir.file("page.xps");
    ASSERT_EQ(0, WriteXpsPackage(1, &resources, &internal, &inlineImages, xps.c_str(),
                                 folder.c_str(), &xref));
    EXPECT_TRUE(xpstest::ReadersRender(xps, folder, 1, &report)) << report;
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << report;

    xpstest::GrayPage g = xpstest::RenderGray(xps, folder, 1);
    ASSERT_EQ(612, g.width);
    ASSERT_EQ(792, g.height);
    EXPECT_LT(g.At(150, 792 - 650), 64) << "inside the clip";
    EXPECT_GT(g.At(50, 792 - 650), 192) << "outside the clip";
    EXPECT_GT(g.At(20, 792 - 10), 192) << "under the clip of nothing";
    EXPECT_LT(g.At(400, 792 - 340), 64) << "inside the filled curve";
}

}  // namespace
