#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "Interpreter/GState.h"
#include "TestUtil.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

using testutil::TempDir;

namespace {

// A page holding whatever one painting call wrote, read back without head and tail; the
// page must be well-formed whatever the colour.
struct BrushPage {
    TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    GState gs;

    BrushPage()
    {
        page.pageDir = &folder[0];
        page.StartPage(0, 612, 792);
        PDF_POINT_REAL pts[] = {{0, 0}, {10, 0}, {10, 10}};
        gs.path->Add(PDF_PATH_OP_MOVETO, &pts[0], 1);
        gs.path->Add(PDF_PATH_OP_LINETO, &pts[1], 1);
        gs.path->Add(PDF_PATH_OP_LINETO, &pts[2], 1);
        gs.path->Add(PDF_PATH_OP_CLOSEPATH, nullptr, 0);
    }

    std::string Body() { return xpstest::PageBody(xpstest::EndAndRead(page, dir.file("1.fpage"))); }
};

void Gray(double* side, double v) { *side = v; }
void Set(double* side, std::initializer_list<double> v)
{
    for (double c : v)
        *side++ = c;
}

std::string Solid(const char* colour)
{
    return std::string("<SolidColorBrush Color=\"") + colour + "\" /> \n";
}
std::string FillOf(const std::string& brush) { return "<Path.Fill>\n" + brush + "</Path.Fill>\n"; }
std::string StrokeOf(const std::string& brush)
{
    return "<Path.Stroke>\n" + brush + "</Path.Stroke>\n";
}

const std::string kFillHead = "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"F1 M 0,0 L 10,0 10,10 z \" >";
const std::string kStrokeHead =
    "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"M 0,0 L 10,0 10,10 z \" StrokeEndLineCap=\"Flat\" "
    "\nStrokeStartLineCap=\"Flat\" \nStrokeLineJoin=\"Miter\" \nStrokeThickness=\"1\" >\n";

TEST(XpsBrush, FillBrushesByColourKind)
{
    const struct {
        const char* what;
        std::function<void(GState&)> set;
        std::string brush;  // what lies between the path head and "</Path>"
    } cases[] = {
        {"gray 0.5 truncates 127.5", [](GState& g) { g.fillCS = 1; Gray(&g.fillGray, 0.5); },
         FillOf(Solid("#FF7F7F7F"))},
        {"gray 1", [](GState& g) { g.fillCS = 1; Gray(&g.fillGray, 1); }, FillOf(Solid("#FFFFFFFF"))},
        {"rgb 1 0 0", [](GState& g) { g.fillCS = 2; Set(g.fillRgb, {1, 0, 0}); },
         FillOf(Solid("#FFFF0000"))},
        {"rgb upper-case digits", [](GState& g) { g.fillCS = 2; Set(g.fillRgb, {0.2, 0.4, 0.7}); },
         FillOf(Solid("#FF3366B2"))},
        {"cmyk 0 0 0 1", [](GState& g) { g.fillCS = 3; Set(g.fillCmyk, {0, 0, 0, 1}); },
         FillOf(Solid("ContextColor /Resources/Swop.icc 1.0,0,0,0,1 "))},
        {"cmyk fractions", [](GState& g) { g.fillCS = 3; Set(g.fillCmyk, {0.25, 0.5, 0.125, 0}); },
         FillOf(Solid("ContextColor /Resources/Swop.icc 1.0,0.25,0.5,0.125,0 "))},
        {"pattern not found is black", [](GState& g) { g.fillCS = 4; }, FillOf(Solid("#000000"))},
        // Out-of-range components are clamped before they become digits or numbers.
        {"gray -0.1", [](GState& g) { g.fillCS = 1; Gray(&g.fillGray, -0.1); }, FillOf(Solid("#FF000000"))},
        {"gray 1.2", [](GState& g) { g.fillCS = 1; Gray(&g.fillGray, 1.2); }, FillOf(Solid("#FFFFFFFF"))},
        {"rgb -0.1 1.2 0.5", [](GState& g) { g.fillCS = 2; Set(g.fillRgb, {-0.1, 1.2, 0.5}); },
         FillOf(Solid("#FF00FF7F"))},
        {"rgb 1.2 -0.1 -0.1", [](GState& g) { g.fillCS = 2; Set(g.fillRgb, {1.2, -0.1, -0.1}); },
         FillOf(Solid("#FFFF0000"))},
        {"cmyk -0.1 1.2 -0.1 1.2", [](GState& g) { g.fillCS = 3; Set(g.fillCmyk, {-0.1, 1.2, -0.1, 1.2}); },
         FillOf(Solid("ContextColor /Resources/Swop.icc 1.0,0,1,0,1 "))},
        {"cmyk 1.2 -0.1 1.2 -0.1", [](GState& g) { g.fillCS = 3; Set(g.fillCmyk, {1.2, -0.1, 1.2, -0.1}); },
         FillOf(Solid("ContextColor /Resources/Swop.icc 1.0,1,0,1,0 "))},
        // Kinds without a brush write no property element at all, not even an empty one.
        {"indexed", [](GState& g) { g.fillCS = 6; }, ""},
        {"calgray", [](GState& g) { g.fillCS = 7; }, ""},
        {"unknown space", [](GState& g) { g.fillCS = 9; }, ""},
        {"no kind", [](GState& g) { g.fillCS = 0; }, ""},
    };
    for (const auto& c : cases) {
        BrushPage p;
        c.set(p.gs);
        p.page.Fill(&p.gs, 1);
        EXPECT_EQ(kFillHead + c.brush + "</Path>\n", p.Body()) << c.what;
    }
}

TEST(XpsBrush, StrokeBrushesByColourKind)
{
    const struct {
        const char* what;
        std::function<void(GState&)> set;
        std::string brush;
    } cases[] = {
        {"gray 0.5", [](GState& g) { g.strokeCS = 1; Gray(&g.strokeGray, 0.5); },
         StrokeOf(Solid("#FF7F7F7F"))},
        {"rgb 0 0 1", [](GState& g) { g.strokeCS = 2; Set(g.strokeRgb, {0, 0, 1}); },
         StrokeOf(Solid("#FF0000FF"))},
        // The stroke form has a blank after the alpha value.
        {"cmyk 0 0 0 1", [](GState& g) { g.strokeCS = 3; Set(g.strokeCmyk, {0, 0, 0, 1}); },
         StrokeOf(Solid("ContextColor /Resources/Swop.icc 1.0, 0,0,0,1 "))},
        {"cmyk clamped", [](GState& g) { g.strokeCS = 3; Set(g.strokeCmyk, {1.2, -0.1, 0.5, 1.2}); },
         StrokeOf(Solid("ContextColor /Resources/Swop.icc 1.0, 1,0,0.5,1 "))},
        {"rgb clamped", [](GState& g) { g.strokeCS = 2; Set(g.strokeRgb, {-0.1, 0.5, 1.2}); },
         StrokeOf(Solid("#FF007FFF"))},
        {"pattern not found is black", [](GState& g) { g.strokeCS = 4; }, StrokeOf(Solid("#000000"))},
        {"unknown space", [](GState& g) { g.strokeCS = 9; }, ""},
    };
    for (const auto& c : cases) {
        BrushPage p;
        c.set(p.gs);
        p.page.Stroke(&p.gs);
        EXPECT_EQ(kStrokeHead + c.brush + "</Path>\n", p.Body()) << c.what;
    }
}

// Each side reads its own fields: a fill-and-stroke path gets both brushes, and one side
// without a brush leaves only the other's element.
TEST(XpsBrush, FillAndStrokeSidesAreIndependent)
{
    const std::string head =
        "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"F1 M 0,0 L 10,0 10,10 z \" \n"
        "StrokeEndLineCap=\"Flat\" \nStrokeStartLineCap=\"Flat\" \nStrokeLineJoin=\"Miter\" \n"
        "StrokeThickness=\"1\" >\n";
    const struct {
        const char* what;
        int fillCS, strokeCS;
        std::string brushes;
    } cases[] = {
        {"rgb fill, cmyk stroke", 2, 3,
         FillOf(Solid("#FF336699")) + StrokeOf(Solid("ContextColor /Resources/Swop.icc 1.0, 0.1,0.2,0.3,0.4 "))},
        {"no fill brush", 9, 1, StrokeOf(Solid("#FFBFBFBF"))},
        {"no stroke brush", 3, 6, FillOf(Solid("ContextColor /Resources/Swop.icc 1.0,0.4,0.3,0.2,0.1 "))},
        {"neither", 7, 9, ""},
    };
    for (const auto& c : cases) {
        BrushPage p;
        p.gs.fillCS = c.fillCS;
        p.gs.strokeCS = c.strokeCS;
        Set(p.gs.fillRgb, {0.2, 0.4, 0.6});
        Set(p.gs.strokeCmyk, {0.1, 0.2, 0.3, 0.4});
        Set(p.gs.fillCmyk, {0.4, 0.3, 0.2, 0.1});
        Gray(&p.gs.strokeGray, 0.75);
        p.page.FillStroke(&p.gs, 1);
        EXPECT_EQ(head + c.brushes + "</Path>\n", p.Body()) << c.what;
    }
}

// Opacity stays on the path; the brushes themselves are opaque, the CMYK one with its
// explicit alpha of 1.0.
TEST(XpsBrush, TranslucentPathsKeepOpaqueBrushes)
{
    {
        BrushPage p;
        p.gs.fillCS = 3;
        Set(p.gs.fillCmyk, {1, 0, 0, 0});
        p.gs.fillAlpha = 0.5;
        p.page.Fill(&p.gs, 0);
        EXPECT_EQ("<Path RenderTransform=\"1,0,0,1,0,0\" \nOpacity=\"0.5\" \n"
                  "Data=\"F0 M 0,0 L 10,0 10,10 z \" >" +
                      FillOf(Solid("ContextColor /Resources/Swop.icc 1.0,1,0,0,0 ")) + "</Path>\n",
                  p.Body());
    }
    {
        BrushPage p;
        p.gs.strokeCS = 2;
        Set(p.gs.strokeRgb, {0, 1, 0});
        p.gs.strokeAlpha = 0.25;
        p.page.Stroke(&p.gs);
        EXPECT_EQ("<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"M 0,0 L 10,0 10,10 z \" "
                  "Opacity=\"0.25\" \nStrokeEndLineCap=\"Flat\" \nStrokeStartLineCap=\"Flat\" \n"
                  "StrokeLineJoin=\"Miter\" \nStrokeThickness=\"1\" >\n" +
                      StrokeOf(Solid("#FF00FF00")) + "</Path>\n",
                  p.Body());
    }
}

TEST(XpsBrush, GlyphRunsGetGlyphsFill)
{
    const struct {
        int kind;
        std::string want;
    } cases[] = {
        {2, "<Glyphs.Fill>\n" + Solid("#FF7F3300") + "</Glyphs.Fill>\n"},
        {3, "<Glyphs.Fill>\n" + Solid("ContextColor /Resources/Swop.icc 1.0,0,0.5,1,0 ") + "</Glyphs.Fill>\n"},
        {9, ""},
    };
    for (const auto& c : cases) {
        BrushPage p;
        p.gs.fillCS = c.kind;
        Set(p.gs.fillRgb, {0.5, 0.2, -3});
        Set(p.gs.fillCmyk, {0, 0.5, 1, 0});
        // Standing in for the glyph run around it, so that the page stays well-formed.
        p.page.OutComment((char*)"<Glyphs>\n");
        p.page.SetFill(&p.gs, true);
        p.page.OutComment((char*)"</Glyphs>\n");
        EXPECT_EQ("<Glyphs>\n" + c.want + "</Glyphs>\n", p.Body()) << c.kind;
    }
}

}  // namespace
