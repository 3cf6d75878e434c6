// Glyph runs and glyph outlines in page markup.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Interpreter/GState.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Resources/ColorSpace.h"
#include "TestUtil.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

using testutil::ReadFile;
using testutil::TempDir;

namespace {

const std::string kHead =
    "<FixedPage xmlns=\"http://schemas.microsoft.com/xps/2005/06\" Width=\"816\" Height=\"1056\" "
    "xml:lang=\"en-US\">\n<Canvas>\n<Canvas.RenderTransform>\n"
    " <MatrixTransform Matrix=\"1.333333333,0,0,-1.333333333,0,1056\"/>\n"
    "</Canvas.RenderTransform>\n";
const std::string kTail = "</Canvas>\n</FixedPage>\n";
const std::string kGlyphFill =
    "<Glyphs.Fill>\n<SolidColorBrush Color=\"#FF000000\" /> \n</Glyphs.Fill>\n";

// What one call writes between the page head and tail; the page must be well-formed.
template <typename Draw>
std::string Written(Draw draw)
{
    TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    page.pageDir = &folder[0];
    EXPECT_EQ(0, page.StartPage(0, 612, 792));
    draw(page);
    EXPECT_EQ(0, page.EndPage());
    std::string report;
    EXPECT_TRUE(xpstest::XmlWellFormed(dir.file("1.fpage"), &report)) << report;
    std::string text = ReadFile(dir.file("1.fpage"));
    if (text.size() < kHead.size() + kTail.size())
        return "bad page: " + text;
    return text.substr(kHead.size(), text.size() - kHead.size() - kTail.size());
}

std::string GlyphsElement(const char* matrix, const char* size, const char* indices, const char* chars,
                const char* opacity = "")
{
    return std::string("<Glyphs FontUri=\"/Resources/F027.ttf\"   FontRenderingEmSize=\"") + size +
           "\"  OriginX=\"0\"  OriginY=\"0\"  RenderTransform=\"" + matrix + "\" \n" + opacity +
           " Indices=\"" + indices + "\"\n UnicodeString=\"" + chars + "\" >\n" + kGlyphFill +
           "</Glyphs>\n";
}

// The matrix a page without rotation has always carried: the product of the CTM with Tm
// whose c is negated, its d written negated.
std::string UnrotatedForm(pdfmatrix tm, pdfmatrix ctm)
{
    tm.c = -tm.c;
    pdfmatrix r;
    ConcatMatrix(&ctm, &tm, &r);
    char buf[256];
    snprintf(buf, sizeof buf, "%g,%g,%g,%g,%g,%g", r.a, r.b, r.c, -r.d, r.e, r.f);
    return buf;
}

struct RunCase {
    const char* what;
    pdfmatrix tm, ctm;
    double alpha;
    bool text;
    double size;
    std::vector<double> glyphs;  // without the closing pair
    std::string want;
    std::vector<unsigned int> indices = {};  // glyph indices of characters, if any
};

TEST(XpsGlyphs, GlyphRunMarkup)
{
    const pdfmatrix I = {1, 0, 0, 1, 0, 0};
    const pdfmatrix at = {1, 0, 0, 1, 72, 700};
    const RunCase cases[] = {
        {"glyph indices", at, I, 1, false, 12, {36, 500, 37, 250},
         GlyphsElement("1,0,0,-1,72,700", "12", "36,50;37,25", "")},
        {"characters", at, I, 1, true, 12, {36, 500, 37, 250},
         GlyphsElement("1,0,0,-1,72,700", "12", ",50;,25", "&#x24;&#x25;")},
        {"d of -12 is written as 12", {1, 0, 0, -12, 0, 0}, I, 1, false, 1, {36, 500},
         GlyphsElement("1,0,-0,12,0,0", "1", "36,50", "")},
        {"translucent", at, I, 0.5, false, 12, {36, 500},
         GlyphsElement("1,0,0,-1,72,700", "12", "36,50", "", "Opacity=\"0.5\" \n")},
        {"transparent", at, I, 0, false, 12, {36, 500},
         GlyphsElement("1,0,0,-1,72,700", "12", "36,50", "", "Opacity=\"0\" \n")},
        // A character the font's map would not find carries its glyph index along.
        {"characters with glyph indices", at, I, 1, true, 12, {0x2019, 500, 'A', 250},
         GlyphsElement("1,0,0,-1,72,700", "12", "180,50;,25", "&#x2019;&#x41;"), {180, 0}},
        {"a leading brace is escaped", at, I, 1, true, 12, {'{', 500, '}', 500},
         GlyphsElement("1,0,0,-1,72,700", "12", ",50;,50", "{}&#x7b;&#x7d;")},
        {"a brace later is not", at, I, 1, true, 12, {'a', 500, '{', 500},
         GlyphsElement("1,0,0,-1,72,700", "12", ",50;,50", "&#x61;&#x7b;")},
        {"no character reference XML forbids", at, I, 1, true, 12, {1, 500, 31, 500, 0xFFFE, 1, 9, 1},
         GlyphsElement("1,0,0,-1,72,700", "12", ",50;,50;,0.1;,0.1", "&#xfffd;&#xfffd;&#xfffd;&#x9;")},
        {"characters beyond the first plane", at, I, 1, true, 12,
         {0x1F600, 500, 0x10FFFF, 500, 0x110000, 500, -5, 500},
         GlyphsElement("1,0,0,-1,72,700", "12", ",50;,50;,50;,50",
                       "&#x1f600;&#x10ffff;&#xfffd;&#xfffd;")},
        {"advances of every size", at, I, 1, false, 12, {3, 1234.5, 4, -0.004, 5, 1e9},
         GlyphsElement("1,0,0,-1,72,700", "12", "3,123.45;4,-0.0004;5,1e+08", "")},
        // The em size must be positive: the sign goes into the matrix.
        {"negative size", at, I, 1, false, -12, {36, 500},
         GlyphsElement("-1,0,0,1,72,700", "12", "36,50", "")},
        // The flip applies to glyph space, before the CTM turns the page round.
        {"rotating CTM", I, {0, 1, -1, 0, 612, 0}, 1, false, 10, {36, 500},
         GlyphsElement("0,1,1,0,612,0", "10", "36,50", "")},
        {"skewed Tm under a scaling CTM", {1, 0, 0.5, 1, 10, 20}, {2, 0, 0, 2, 0, 0}, 1, false, 10,
         {36, 500}, GlyphsElement("2,0,-1,-2,20,40", "10", "36,50", "")},
    };
    for (const RunCase& c : cases) {
        GState gs;
        gs.tm = c.tm;
        gs.ctm = c.ctm;
        gs.fillAlpha = c.alpha;
        std::vector<double> glyphs = c.glyphs;
        glyphs.push_back(0);
        glyphs.push_back(0);
        char text[] = "x";
        char font[] = "F027.ttf";
        std::string got = Written([&](XpsPage& p) {
            p.ShowTextEx(&gs, c.text ? text : nullptr, font, c.size, glyphs.data(),
                         c.indices.empty() ? nullptr : c.indices.data());
        });
        EXPECT_EQ(c.want, got) << c.what;
    }
}

// Markup collects in memory until the page ends: a page of more than a megabyte holds every
// run, in the order drawn, and counts exactly the bytes it wrote.
TEST(XpsGlyphs, ManyRunsReachThePageWholeAndInOrder)
{
    GState gs;
    gs.tm = {1, 0, 0, 1, 72, 700};
    char font[] = "F027.ttf";
    std::string want;
    unsigned long long counted = 0;
    std::string got = Written([&](XpsPage& p) {
        for (int i = 1; i <= 6000; i++) {
            double glyphs[] = {(double)i, 500, 0, 0};
            p.ShowTextEx(&gs, nullptr, font, 12, glyphs);
            want += GlyphsElement("1,0,0,-1,72,700", "12", (std::to_string(i) + ",50").c_str(), "");
        }
        counted = p.markupBytes;
    });
    ASSERT_GT(want.size(), 1000000u);
    EXPECT_TRUE(got == want) << got.size() << " bytes written of " << want.size();
    EXPECT_EQ(kHead.size() + want.size(), counted);
}

TEST(XpsGlyphs, EmptyRunWritesNoGlyphs)
{
    GState gs;
    double glyphs[] = {0, 0};
    char font[] = "F027.ttf";
    EXPECT_EQ("", Written([&](XpsPage& p) { p.ShowTextEx(&gs, nullptr, font, 12, glyphs); }));
    double one[] = {36, 500, 0, 0};
    EXPECT_EQ("", Written([&](XpsPage& p) { p.ShowTextEx(&gs, nullptr, font, 0, one); }));
}

// Pages that neither rotate nor skew keep the markup the plain product gives, down to the
// sign of a zero, so existing packages and their readers see nothing new.
TEST(XpsGlyphs, UnrotatedPagesKeepTheirMatrix)
{
    const pdfmatrix tms[] = {{1, 0, 0, 1, 72, 700}, {12, 0, 0, 12, 0, 0}, {1, 0, 0, -1, 5, 5},
                             {0, 1, -1, 0, 100, 100}, {1, 0, 0.3, 1, 0, 0}, {-1, 0, 0, 1, 3, 4},
                             {0.5, 0.2, -0.1, 0.7, 1.5, -2}};
    const pdfmatrix ctms[] = {{1, 0, 0, 1, 0, 0}, {2, 0, 0, 2, 10, 20}, {1, 0, 0, -1, 0, 792},
                              {-1, 0, 0, 1, 612, 0}, {0.75, 0, 0, 0.5, -3, 7}};
    for (const pdfmatrix& tm : tms) {
        for (const pdfmatrix& ctm : ctms) {
            GState gs;
            gs.tm = tm;
            gs.ctm = ctm;
            double glyphs[] = {36, 500, 0, 0};
            char font[] = "F027.ttf";
            std::string got =
                Written([&](XpsPage& p) { p.ShowTextEx(&gs, nullptr, font, 12, glyphs); });
            EXPECT_EQ(GlyphsElement(UnrotatedForm(tm, ctm).c_str(), "12", "36,50", ""), got)
                << XpsMatrix(tm).text << " under " << XpsMatrix(ctm).text;
        }
    }
}

// Outline text: two outlines, a triangle and a bar, in glyph space.
struct Outlines {
    PDF_PathGeometry triangle, bar;
    Outlines()
    {
        PDF_POINT_REAL t[] = {{0, 0}, {500, 0}, {500, 700}};
        triangle.Add(PDF_PATH_OP_MOVETO, t, 1);
        triangle.Add(PDF_PATH_OP_LINETO, t + 1, 1);
        triangle.Add(PDF_PATH_OP_LINETO, t + 2, 1);
        PDF_POINT_REAL b[] = {{0, 0}, {100, 0}};
        bar.Add(PDF_PATH_OP_MOVETO, b, 1);
        bar.Add(PDF_PATH_OP_LINETO, b + 1, 1);
    }
};

const std::string kFixedPageTag =
    "<FixedPage xmlns=\"http://schemas.microsoft.com/xps/2005/06\" Width=\"816\" Height=\"1056\" "
    "xml:lang=\"en-US\">\n";

// The page's resources as they stand between the FixedPage tag and the page canvas, and the
// content after the canvas's head; "bad page: " and the page when it is not laid out so.
struct OutlinePage {
    std::string resources, body;
};

template <typename Draw>
OutlinePage OutlinesWritten(Draw draw, int pageIndex = 0)
{
    TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    page.pageDir = &folder[0];
    EXPECT_EQ(0, page.StartPage(pageIndex, 612, 792));
    draw(page);
    EXPECT_EQ(0, page.EndPage());
    std::string file = dir.file(std::to_string(pageIndex + 1) + ".fpage");
    std::string report;
    EXPECT_TRUE(xpstest::XmlWellFormed(file, &report)) << report;
    std::string text = ReadFile(file);
    const std::string canvasHead = kHead.substr(kFixedPageTag.size());
    size_t canvas = text.find(canvasHead);
    if (text.compare(0, kFixedPageTag.size(), kFixedPageTag) != 0 || canvas == std::string::npos ||
        text.size() < canvas + canvasHead.size() + kTail.size())
        return {"bad page: " + text, ""};
    return {text.substr(kFixedPageTag.size(), canvas - kFixedPageTag.size()),
            text.substr(canvas + canvasHead.size(),
                        text.size() - canvas - canvasHead.size() - kTail.size())};
}

std::string Dictionary(const std::string& entries)
{
    return "<FixedPage.Resources>\n<ResourceDictionary xmlns:x=\""
           "http://schemas.microsoft.com/xps/2005/06/resourcedictionary-key\">\n" +
           entries + "</ResourceDictionary>\n</FixedPage.Resources>\n";
}

const char* kTriangleFigures = "M 0,0 L 500,0 500,700 ";

// Each outline is one PathGeometry of the page's dictionary, written once however often its
// glyph is drawn; each glyph is a Path naming it. Glyphs of one show share a canvas placing
// glyph space and are moved along the line; a glyph alone carries the whole matrix.
TEST(XpsGlyphs, EachOutlineIsDefinedOnceAndNamedByEveryGlyph)
{
    Outlines o;
    GState gs;
    gs.ctm = {2, 0, 0, 2, 0, 0};
    const pdfmatrix glyphSpace = {0.006, 0, 0, 0.006, 36, 350};
    const OutlineGlyph show[] = {{&o.triangle, 7, 0}, {&o.bar, 9, 500}, {&o.triangle, 7, 1000.5}};
    const OutlineGlyph alone[] = {{&o.triangle, 7, 250}};
    OutlinePage got = OutlinesWritten([&](XpsPage& p) {
        EXPECT_TRUE(p.PaintGlyphs(&gs, glyphSpace, show, 3, true, false));
        EXPECT_TRUE(p.PaintGlyphs(&gs, glyphSpace, alone, 1, true, false));
    });
    EXPECT_EQ(Dictionary(std::string("<PathGeometry x:Key=\"p1g0\" FillRule=\"NonZero\" Figures=\"") +
                         kTriangleFigures + "\"/>\n"
                         "<PathGeometry x:Key=\"p1g1\" FillRule=\"NonZero\" Figures=\"M 0,0 L 100,0 \"/>\n"),
              got.resources);
    EXPECT_EQ("<Canvas RenderTransform=\"0.012,0,0,0.012,72,700\">\n"
              "<Path Data=\"{StaticResource p1g0}\" Fill=\"#FF000000\"/>\n"
              "<Path Data=\"{StaticResource p1g1}\" RenderTransform=\"1,0,0,1,500,0\" Fill=\"#FF000000\"/>\n"
              "<Path Data=\"{StaticResource p1g0}\" RenderTransform=\"1,0,0,1,1000.5,0\" Fill=\"#FF000000\"/>\n"
              "</Canvas>\n"
              "<Path Data=\"{StaticResource p1g0}\" RenderTransform=\"0.012,0,0,0.012,75,700\" "
              "Fill=\"#FF000000\"/>\n",
              got.body);

    // Keys differ from page to page, since xpstopng (libgxps) keeps the keys of the pages it
    // has read in force for the pages after; a page without outlines has no dictionary.
    got = OutlinesWritten([&](XpsPage& p) { p.PaintGlyphs(&gs, glyphSpace, alone, 1, true, false); },
                          4);
    EXPECT_NE(std::string::npos, got.resources.find("x:Key=\"p5g0\"")) << got.resources;
    EXPECT_EQ("", OutlinesWritten([](XpsPage&) {}).resources);
    // An outline without a figure is no resource, and its glyph no Path; a full page
    // defines and draws nothing more.
    PDF_PathGeometry empty;
    const OutlineGlyph blank[] = {{&empty, 3, 0}};
    got = OutlinesWritten([&](XpsPage& p) { EXPECT_TRUE(p.PaintGlyphs(&gs, glyphSpace, blank, 1, true, false)); });
    EXPECT_EQ("", got.resources + got.body);
    got = OutlinesWritten([&](XpsPage& p) {
        p.markupBytes = PAGE_MAX_MARKUP_BYTES;
        EXPECT_TRUE(p.PaintGlyphs(&gs, glyphSpace, show, 3, true, false));
    });
    EXPECT_EQ("", got.resources + got.body);
}

// A Path's matrix scales its stroke: through a glyph matrix that scales alike in every
// direction the width is divided by that scale, so the line is as wide on the page as the
// PDF's; the dashes, written relative to the width, stay as they are. Every glyph is filled
// before any is stroked, as one path of all of them paints.
TEST(XpsGlyphs, StrokedOutlinesKeepTheLineWidthOfUserSpace)
{
    Outlines o;
    GState gs;
    gs.lineWidth = 2;
    gs.lineCap = 1;
    gs.strokeRgb[0] = 1;
    gs.strokeCS = CS_DEVICERGB;
    PdfNumber* three = new PdfNumber();
    three->value = 3;
    ASSERT_EQ(0, gs.dash.Append(three));
    const OutlineGlyph show[] = {{&o.triangle, 7, 0}, {&o.triangle, 7, 600}};
    const std::string stroke =
        "StrokeEndLineCap=\"Round\" \nStrokeStartLineCap=\"Round\" \nStrokeLineJoin=\"Miter\" \n"
        "StrokeDashArray=\"1.5 1.5 \" \nStrokeDashOffset=\"0\" \nStrokeDashCap=\"Round\" \n"
        "StrokeThickness=\"100\" Stroke=\"#FFFF0000\"/>\n";
    // Turned a quarter and mirrored: still alike in every direction, at 0.02.
    OutlinePage got = OutlinesWritten([&](XpsPage& p) {
        EXPECT_TRUE(p.PaintGlyphs(&gs, {0, 0.02, 0.02, 0, 100, 100}, show, 2, true, true));
    });
    EXPECT_EQ("<Canvas RenderTransform=\"0,0.02,0.02,0,100,100\">\n"
              "<Path Data=\"{StaticResource p1g0}\" Fill=\"#FF000000\"/>\n"
              "<Path Data=\"{StaticResource p1g0}\" RenderTransform=\"1,0,0,1,600,0\" Fill=\"#FF000000\"/>\n"
              "<Path Data=\"{StaticResource p1g0}\" \n" + stroke +
              "<Path Data=\"{StaticResource p1g0}\" RenderTransform=\"1,0,0,1,600,0\" \n" + stroke +
              "</Canvas>\n",
              got.body);
}

// Shows that only the joined path draws as the PDF does are left to it, and nothing is
// written for them here.
TEST(XpsGlyphs, ShowsOnlyTheJoinedPathDrawsRightAreLeftToIt)
{
    const pdfmatrix uniform = {0.01, 0, 0, 0.01, 0, 0};
    const pdfmatrix condensed = {0.005, 0, 0, 0.01, 0, 0};
    const pdfmatrix skewed = {0.01, 0, 0.004, 0.01, 0, 0};
    const struct {
        const char* what;
        pdfmatrix glyphSpace;
        bool fill, stroke;
        double fillAlpha, strokeAlpha, lineWidth;
        int fillCS, strokeCS;
        bool taken;
    } cases[] = {
        {"filled", uniform, true, false, 1, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, true},
        {"filled, condensed", condensed, true, false, 1, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, true},
        {"stroked", uniform, false, true, 1, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, true},
        {"filled with a pattern", uniform, true, false, 1, 1, 1, CS_PATTERN, CS_DEVICEGRAY, false},
        {"stroked with a pattern", uniform, false, true, 1, 1, 1, CS_DEVICEGRAY, CS_PATTERN, false},
        {"a pattern not painted", uniform, true, false, 1, 1, 1, CS_DEVICEGRAY, CS_PATTERN, true},
        {"translucent fill", uniform, true, false, 0.5, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, false},
        {"transparent fill", uniform, true, false, 0, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, false},
        {"translucent stroke", uniform, true, true, 1, 0.5, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, false},
        {"stroked, condensed", condensed, false, true, 1, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, false},
        {"stroked, skewed", skewed, true, true, 1, 1, 1, CS_DEVICEGRAY, CS_DEVICEGRAY, false},
        {"the thinnest line", uniform, false, true, 1, 1, 0, CS_DEVICEGRAY, CS_DEVICEGRAY, false},
    };
    Outlines o;
    const OutlineGlyph glyph[] = {{&o.triangle, 7, 0}};
    for (const auto& c : cases) {
        GState gs;
        gs.fillAlpha = c.fillAlpha;
        gs.strokeAlpha = c.strokeAlpha;
        gs.lineWidth = c.lineWidth;
        gs.fillCS = c.fillCS;
        gs.strokeCS = c.strokeCS;
        bool taken = false;
        OutlinePage got = OutlinesWritten(
            [&](XpsPage& p) { taken = p.PaintGlyphs(&gs, c.glyphSpace, glyph, 1, c.fill, c.stroke); });
        EXPECT_EQ(c.taken, taken) << c.what;
        EXPECT_EQ(c.taken, !got.body.empty()) << c.what << ": " << got.body;
    }
}

TEST(XpsGlyphs, FillTextIsOnePathPlacedByTheTextMatrix)
{
    GState gs;
    gs.tm = {0.012, 0, 0, 0.012, 72, 700};
    gs.ctm = {2, 0, 0, 2, 0, 0};  // already part of the text matrix
    PDF_POINT_REAL pts[] = {{0, 0}, {500, 0}, {500, 700}};
    gs.path->Add(PDF_PATH_OP_MOVETO, pts, 1);
    gs.path->Add(PDF_PATH_OP_LINETO, pts + 1, 1);
    gs.path->Add(PDF_PATH_OP_LINETO, pts + 2, 1);
    const std::string fill = "<Path.Fill>\n<SolidColorBrush Color=\"#FF000000\" /> \n</Path.Fill>\n";
    EXPECT_EQ("<!-- Type1 txt -->\n<Path RenderTransform=\"0.012,0,0,0.012,72,700\" \n"
              "Data=\"F1M 0,0 L 500,0 500,700 \" >" + fill + "</Path>\n",
              Written([&](XpsPage& p) { p.FillText(&gs); }));
    gs.fillAlpha = 0.25;
    EXPECT_EQ("<!-- Type1 txt -->\n<Path RenderTransform=\"0.012,0,0,0.012,72,700\" \n"
              "Opacity=\"0.25\" \nData=\"F1M 0,0 L 500,0 500,700 \" >" + fill + "</Path>\n",
              Written([&](XpsPage& p) { p.FillText(&gs); }));
    GState empty;
    EXPECT_EQ("", Written([&](XpsPage& p) { p.FillText(&empty); }));
}

}  // namespace
