#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Interpreter/Patterns.h"
#include "PageTreeDoc.h"
#include "Pdf/Limits.h"
#include "TestUtil.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

using pagetreetest::Objects;

namespace {

// The function of a red-to-blue shading that extends past both ends, so the gradient has
// just its two stops.
const char* kRamp = "<< /FunctionType 2 /C0 [1 0 0] /C1 [0 0 1] >> /Extend [true true]";

// A 612 x 792 page being written with a parser on a document whose page resources name the
// patterns /P0 /P1 (objects 10, 11) and the shading /Sh0 (object 12). The parser's current
// state is the one painted with, as in a conversion.
struct PatternPage {
    explicit PatternPage(const Objects& extra) : doc(Build(extra))
    {
        cp.xref = doc.xref;
        cp.pages = doc.tree;
        cp.renderer = &page;
        char buf[PDF_PARSE_BUF];
        ParseIndirectObject(&pageDict, doc.xref, 3, 0, buf, sizeof buf);
        cp.owner = pageDict;
        cp.resources = PdfDictLookup(pageDict, "Resources");
        page.parser = &cp;
        page.pageDir = &folder[0];
        page.StartPage(0, 612, 792);
        gs = cp.current;
        gs->fillPattern.str = strdup("P0");
        gs->strokePattern.str = strdup("P1");
        PDF_POINT_REAL pts[] = {{0, 0}, {10, 0}, {10, 10}};
        gs->path->Add(PDF_PATH_OP_MOVETO, &pts[0], 1);
        gs->path->Add(PDF_PATH_OP_LINETO, &pts[1], 1);
        gs->path->Add(PDF_PATH_OP_LINETO, &pts[2], 1);
    }
    ~PatternPage() { delete pageDict; }

    static testpdf::PdfBuilder Build(const Objects& extra)
    {
        testpdf::PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << "
                    "/Pattern << /P0 10 0 R /P1 11 0 R >> /Shading << /Sh0 12 0 R >> >> >>");
        for (const auto& o : extra) {
            // "stream:<entries>|<content>" is a stream object.
            if (o.second.compare(0, 7, "stream:") == 0) {
                size_t bar = o.second.find('|');
                b.Stream(o.first, o.second.substr(7, bar - 7), o.second.substr(bar + 1));
            } else {
                b.Object(o.first, o.second);
            }
        }
        return b;
    }

    // The page between its head and tail; the page must be well-formed whatever was drawn.
    std::string Body() { return xpstest::PageBody(xpstest::EndAndRead(page, dir.file("1.fpage"))); }

    pagetreetest::Doc doc;
    ContentParser cp;
    testutil::TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    PdfObj* pageDict = nullptr;
    GState* gs = nullptr;
};

std::string Stop(const char* rgb, const char* offset)
{
    return std::string("<GradientStop Color=\"#") + rgb + "\" Offset=\"" + offset + "\" /> \n";
}

std::string Linear(const char* transform, const char* start, const char* end,
                   const std::string& stops)
{
    return std::string("<LinearGradientBrush  \n Transform=\"") + transform +
           "\" \nMappingMode=\"Absolute\" \nStartPoint=\"" + start + "\"  \nEndPoint=\"" + end +
           "\"  \nSpreadMethod=\"Pad\"> \n<LinearGradientBrush.GradientStops> \n" + stops +
           "</LinearGradientBrush.GradientStops> \n</LinearGradientBrush> \n";
}

// transform "" for the form without a Transform attribute.
std::string Radial(const std::string& transform, const char* center, const char* origin,
                   const char* radius, const std::string& stops)
{
    std::string t = "<RadialGradientBrush  \n";
    if (!transform.empty())
        t += " Transform=\"" + transform + "\" \n";
    return t + "MappingMode=\"Absolute\" \nCenter=\"" + center + "\"  \nGradientOrigin=\"" +
           origin + "\"  \nRadiusX=\"" + radius + "\"  \nRadiusY=\"" + radius +
           "\"  \nSpreadMethod=\"Pad\"> \n<RadialGradientBrush.GradientStops> \n" + stops +
           "</RadialGradientBrush.GradientStops> \n</RadialGradientBrush> \n";
}

const std::string kRedBlue = Stop("FF0000", "0") + Stop("0000FF", "1");

std::string ShPath(const char* ctm, const char* data, const std::string& brush,
                   const char* opacity = "")
{
    return std::string("<Path RenderTransform=\"") + ctm + "\" \n" + opacity + "Data=\"" + data +
           "\" >\n<Path.Fill> \n" + brush + "</Path.Fill> \n</Path>\n";
}

TEST(XpsGradient, ShPaintsThePageWithTheShadingsGradient)
{
    const std::string axial = std::string("<< /ShadingType 2 /Coords [0 0 100 0] /Function ") +
                              kRamp + " >>";
    const struct {
        const char* what;
        std::string shading;
        pdfmatrix ctm;
        double alpha;
        std::string markup;
    } cases[] = {
        {"identity CTM: the page itself", axial, {1, 0, 0, 1, 0, 0}, 1,
         ShPath("1,0,0,1,0,0", "F0 M0,0 L612,0 612,792 0,792 z",
                Linear("1,0,0,1,0,0", "0,0", "100,0", kRedBlue))},
        {"scaled and moved", axial, {2, 0, 0, 2, 100, 50}, 1,
         ShPath("2,0,0,2,100,50", "F0 M-50,-25 L256,-25 256,371 -50,371 z",
                Linear("1,0,0,1,0,0", "0,0", "100,0", kRedBlue))},
        // Under a skew the page is no axis-aligned rectangle in user space.
        {"skewed: the four corners", axial, {1, 0, 1, 1, 0, 0}, 1,
         ShPath("1,0,1,1,0,0", "F0 M0,0 L612,0 -180,792 -792,792 z",
                Linear("1,0,0,1,0,0", "0,0", "100,0", kRedBlue))},
        {"translucent", axial, {1, 0, 0, 1, 0, 0}, 0.5,
         ShPath("1,0,0,1,0,0", "F0 M0,0 L612,0 612,792 0,792 z",
                Linear("1,0,0,1,0,0", "0,0", "100,0", kRedBlue), "Opacity=\"0.5\" \n")},
        {"radial: end circle around the start centre",
         std::string("<< /ShadingType 3 /Coords [10 20 0 10 20 50] /Function ") + kRamp + " >>",
         {1, 0, 0, 1, 0, 0}, 1,
         ShPath("1,0,0,1,0,0", "F0 M0,0 L612,0 612,792 0,792 z",
                Radial("", "10,20", "10,20", "50", kRedBlue))},
        {"radial with distinct centres",
         std::string("<< /ShadingType 3 /Coords [10 20 5 30 40 60] /Function ") + kRamp + " >>",
         {1, 0, 0, 1, 0, 0}, 1,
         ShPath("1,0,0,1,0,0", "F0 M0,0 L612,0 612,792 0,792 z",
                Radial("", "30,40", "10,20", "60", kRedBlue))},
        // Past an end that does not extend the gradient pads with a transparent stop, which
        // never shares its offset with a coloured one.
        {"axial without Extend",
         "<< /ShadingType 2 /Coords [0 0 100 0] /Function << /FunctionType 2 /C0 [1 0 0] "
         "/C1 [0 0 1] >> >>",
         {1, 0, 0, 1, 0, 0}, 1,
         ShPath("1,0,0,1,0,0", "F0 M0,0 L612,0 612,792 0,792 z",
                Linear("1,0,0,1,0,0", "0,0", "100,0",
                       "<GradientStop Color=\"#00FF0000\" Offset=\"0\" /> \n" +
                           Stop("FF0000", "0.001") + Stop("0000FF", "0.999") +
                           "<GradientStop Color=\"#000000FF\" Offset=\"1\" /> \n"))},
        // Shadings that give no gradient paint nothing at all.
        {"no stops", "<< /ShadingType 2 /Function << /FunctionType 4 >> >>", {1, 0, 0, 1, 0, 0}, 1, ""},
        {"unsupported type", "<< /ShadingType 1 >>", {1, 0, 0, 1, 0, 0}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PatternPage p({{12, c.shading}});
        p.gs->ctm = c.ctm;
        p.gs->fillAlpha = c.alpha;
        pagetreetest::Name name("Sh0");
        p.page.FillShade(p.gs, &name);
        EXPECT_EQ(c.markup, p.Body());
    }
    // A page whose MediaBox lies away from the origin is painted where its box lies.
    {
        PatternPage p({{12, axial}});
        p.page.originX = 100;
        p.page.originY = -50;
        pagetreetest::Name name("Sh0");
        p.page.FillShade(p.gs, &name);
        EXPECT_EQ(ShPath("1,0,0,1,0,0", "F0 M100,-50 L712,-50 712,742 100,742 z",
                         Linear("1,0,0,1,0,0", "0,0", "100,0", kRedBlue)),
                  p.Body());
    }
    // A name that the resources do not hold writes nothing.
    PatternPage p({});
    pagetreetest::Name name("Sh9");
    p.page.FillShade(p.gs, &name);
    EXPECT_EQ("", p.Body());
}

const std::string kFillHead = "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"F1 M 0,0 L 10,0 10,10 \" >";
const std::string kStrokeHead =
    "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"M 0,0 L 10,0 10,10 \" StrokeEndLineCap=\"Flat\" "
    "\nStrokeStartLineCap=\"Flat\" \nStrokeLineJoin=\"Miter\" \nStrokeThickness=\"1\" >\n";

std::string Fill(const std::string& brush) { return "<Path.Fill>\n" + brush + "</Path.Fill>\n"; }
std::string Stroke(const std::string& brush)
{
    return "<Path.Stroke>\n" + brush + "</Path.Stroke>\n";
}

TEST(XpsGradient, ShadingPatternsAsFillAndStroke)
{
    const std::string axial = std::string("<< /PatternType 2 /Matrix [1 0 0 1 10 20] /Shading "
                                          "<< /ShadingType 2 /Coords [0 0 50 0] /Function ") +
                              kRamp + " >> >>";
    const std::string radial = std::string("<< /PatternType 2 /Matrix [2 0 0 2 0 0] /Shading "
                                           "<< /ShadingType 3 /Coords [1 2 0 3 4 5] /Function ") +
                               kRamp + " >> >>";
    const std::string linearBrush = Linear("0.5,0,0,0.5,5,10", "0,0", "50,0", kRedBlue);
    const std::string radialBrush = Radial("1,0,0,1,0,0", "3,4", "1,2", "5", kRedBlue);
    const struct {
        const char* what;
        Objects objs;
        bool stroke;
        std::string markup;
    } cases[] = {
        {"axial fill", {{10, axial}}, false, kFillHead + Fill(linearBrush)},
        {"axial stroke gets the same gradient", {{11, axial}}, true, kStrokeHead + Stroke(linearBrush)},
        {"radial fill: mapped like sh, with the pattern's Transform", {{10, radial}}, false,
         kFillHead + Fill(radialBrush)},
        {"radial stroke", {{11, radial}}, true, kStrokeHead + Stroke(radialBrush)},
        {"pattern not found is black", {}, false,
         kFillHead + Fill("<SolidColorBrush Color=\"#000000\" /> \n")},
        {"a shading pattern without stops has no brush",
         {{10, "<< /PatternType 2 /Shading << /ShadingType 2 /Function << /FunctionType 0 >> >> >>"}},
         false, kFillHead},
        {"nor one whose shading is of another type",
         {{10, "<< /PatternType 2 /Shading << /ShadingType 4 >> >>"}}, false, kFillHead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PatternPage p(c.objs);
        // Records map pattern space into the space the path is drawn in.
        p.gs->ctm = {2, 0, 0, 2, 0, 0};
        if (c.stroke) {
            p.gs->strokeCS = 4;
            p.page.Stroke(p.gs);
        } else {
            p.gs->fillCS = 4;
            p.page.Fill(p.gs, 1);
        }
        std::string want = c.markup + "</Path>\n";
        const std::string identity = "RenderTransform=\"1,0,0,1,0,0\"";
        want.replace(want.find(identity), identity.size(), "RenderTransform=\"2,0,0,2,0,0\"");
        EXPECT_EQ(want, p.Body());
    }
}

TEST(XpsGradient, GradientWritersAlone)
{
    ShadePatternInfo info;
    info.shadingType = SHADING_RADIAL;
    const double coords[6] = {10, 20, 0, 30, 40, -50};
    memcpy(info.coords, coords, sizeof coords);
    info.matrix = {1, 0, 0, 1, 5, 6};
    ShadeStop a = {0, {0xFF, 0x80, 0x00, 0x11}}, b = {0.4, {0x01, 0x02, 0x03, 0x04}};

    PatternPage p({});
    p.page.OutRadialGadient(&info);  // no stops: nothing
    info.stops.Add(&a);
    p.page.OutLinearGadient(&info);  // one stop: written twice, a gradient needs two
    info.stops.Add(&b);
    p.page.OutRadialGadient(&info);
    p.page.OutRadialGadientShade(&info);
    p.page.OutLinearGadient(&info);
    const std::string stops = Stop("FF8000", "0") + Stop("010203", "0.4");
    // Readers refuse a negative radius; the circle is the same.
    EXPECT_EQ(Linear("1,0,0,1,5,6", "10,20", "30,40", Stop("FF8000", "0") + Stop("FF8000", "0")) +
                  Radial("1,0,0,1,5,6", "30,40", "10,20", "50", stops) +
                  Radial("", "30,40", "10,20", "50", stops) +
                  Linear("1,0,0,1,5,6", "10,20", "30,40", stops),
              p.Body());
}

const char* kCell = "1 0 0 rg 0 0 5 5 re f";

std::string CellPath()
{
    return "<Path RenderTransform=\"1,0,0,1,0,0\" \nData=\"F1 M 0,0 L 5,0 5,5 0,5 z \" >" +
           Fill("<SolidColorBrush Color=\"#FFFF0000\" /> \n") + "</Path>\n";
}

std::string Visual(const char* transform, const char* box, const std::string& cell)
{
    return std::string("<VisualBrush\n Transform=\"") + transform + "\" \nViewbox=\"" + box +
           "\" \nViewport=\"" + box + "\" \nTileMode=\"Tile\" \nViewboxUnits=\"Absolute\" "
           "ViewportUnits=\"Absolute\"> \n<VisualBrush.Visual>\n<Canvas>\n" + cell +
           "</Canvas>\n</VisualBrush.Visual>\n </VisualBrush>\n";
}

TEST(XpsTile, CellsTileAtTheirSteps)
{
    const std::string head = "stream:/PatternType 1 /PaintType 1 /TilingType 1 ";
    // A cell laid into its tile: placed by the offset, clipped to its BBox.
    auto laid = [](const char* offset, const char* clip) {
        return std::string("<Canvas RenderTransform=\"1,0,0,1,") + offset + "\">\n<Canvas Clip=\"" +
               clip + "\">\n" + CellPath() + "</Canvas>\n</Canvas>\n";
    };
    const char* clip5 = "M 0,0 L 5,0 5,5 0,5 z";
    const struct {
        const char* what;
        std::string pattern;
        std::string brush;  // of the fill
    } cases[] = {
        {"origin BBox", head + "/XStep 5 /YStep 5 /BBox [0 0 5 5] /Matrix [1 0 0 1 3 4]|" + kCell,
         Fill(Visual("1,0,0,1,3,4", "0,0,5,5", CellPath()))},
        {"offset BBox: x, y, width, height", head + "/XStep 50 /YStep 60 /BBox [10 20 60 80]|" + kCell,
         Fill(Visual("1,0,0,1,0,0", "10,20,50,60", CellPath()))},
        {"reversed corners are normalised", head + "/XStep 50 /YStep 60 /BBox [60 80 10 20]|" + kCell,
         Fill(Visual("1,0,0,1,0,0", "10,20,50,60", CellPath()))},
        {"steps missing, 0 or no number: the cell's size",
         head + "/XStep 0 /YStep /Big /BBox [0 0 5 5]|" + kCell,
         Fill(Visual("1,0,0,1,0,0", "0,0,5,5", CellPath()))},
        {"no BBox: no tile", head + "/XStep 5 /YStep 5|" + kCell, ""},
        {"a BBox without area: no tile", head + "/XStep 5 /YStep 5 /BBox [0 0 0 5]|" + kCell, ""},
        // The cell's clip is closed inside the brush's canvas.
        {"clip inside the cell", head + "/XStep 5 /YStep 5 /BBox [0 0 5 5]|0 0 2 2 re W n",
         Fill(Visual("1,0,0,1,0,0", "0,0,5,5",
                     "<Canvas\nClip=\"F1M 0,0 L 2,0 2,2 0,2 z \" >\n</Canvas>\n"))},
        {"steps larger than the cell leave gaps", head + "/XStep 20 /YStep -8 /BBox [0 0 5 5]|" + kCell,
         Fill(Visual("1,0,0,1,0,0", "0,0,20,8", laid("0,0", clip5)))},
        // Each neighbour that reaches into the tile is drawn there, the leftmost and lowest first.
        {"steps smaller than the cell overlap", head + "/XStep 2 /YStep 4 /BBox [0 0 5 5]|" + kCell,
         Fill(Visual("1,0,0,1,0,0", "0,0,2,4",
                     laid("-4,-4", clip5) + laid("-2,-4", clip5) + laid("0,-4", clip5) +
                         laid("-4,0", clip5) + laid("-2,0", clip5) + laid("0,0", clip5)))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PatternPage p({{10, c.pattern}});
        p.gs->fillCS = 4;
        p.page.Fill(p.gs, 1);
        EXPECT_EQ(kFillHead + c.brush + "</Path>\n", p.Body());
    }
}

// A cell overlapped by more neighbours than a tile takes copies of is drawn once into its tile.
TEST(XpsTile, OverlappingCopiesStopAtTheirLimit)
{
    for (int across : {(int)PAGE_MAX_TILE_COPIES, (int)PAGE_MAX_TILE_COPIES + 1}) {
        SCOPED_TRACE(across);
        PatternPage p({{10, "stream:/PatternType 1 /XStep 1 /YStep 1 /BBox [0 0 " +
                                std::to_string(across) + " 1]|" + kCell}});
        p.gs->fillCS = 4;
        p.page.Fill(p.gs, 1);
        std::string body = p.Body();
        size_t copies = 0;
        for (size_t at = body.find("<Canvas RenderTransform"); at != std::string::npos;
             at = body.find("<Canvas RenderTransform", at + 1))
            copies++;
        EXPECT_EQ(copies, across <= PAGE_MAX_TILE_COPIES ? (size_t)across : 1u);
        EXPECT_NE(body.find("Viewbox=\"0,0,1,1\""), std::string::npos);
    }
}

TEST(XpsTile, ACellThatUsesItsOwnPatternEnds)
{
    // The cell fills with /P0 again, through its own resources, and strokes with /P1, a second
    // tiling pattern whose cell fills with /P0 too.
    const std::string res = "/Resources << /Pattern << /P0 10 0 R /P1 11 0 R >> >> ";
    PatternPage p({{10, "stream:/PatternType 1 /BBox [0 0 5 5] /XStep 5 /YStep 5 " + res +
                            "|/Pattern cs /P0 scn /Pattern CS /P1 SCN 0 0 5 5 re B"},
                   {11, "stream:/PatternType 1 /BBox [0 0 4 4] /XStep 4 /YStep 4 " + res +
                            "|/Pattern cs /P0 scn 0 0 4 4 re f"}});
    p.gs->fillCS = 4;
    p.page.Fill(p.gs, 1);
    std::string body = p.Body();
    // One cell of each pattern is drawn; the inner uses of a pattern being drawn paint nothing.
    size_t count = 0;
    for (size_t at = body.find("<VisualBrush\n"); at != std::string::npos; at = body.find("<VisualBrush\n", at + 1))
        count++;
    EXPECT_EQ(count, 2u) << body;
}

// Cells that each fill with the next pattern: a chain as deep as the cap is drawn whole; one
// level more and the innermost cell gets no brush.
TEST(XpsTile, NestedCellsStopAtTheDepthCap)
{
    for (int levels : {(int)XPS_MAX_TILE_DEPTH, XPS_MAX_TILE_DEPTH + 1}) {
        SCOPED_TRACE(levels);
        Objects patterns;
        for (int i = 0; i < levels; i++) {
            std::string head = "stream:/PatternType 1 /BBox [0 0 5 5] /XStep 5 /YStep 5 ";
            if (i + 1 < levels)
                patterns.push_back({10 + i, head + "/Resources << /Pattern << /Q " +
                                                std::to_string(11 + i) +
                                                " 0 R >> >> |/Pattern cs /Q scn 0 0 5 5 re f"});
            else
                patterns.push_back({10 + i, head + "|0 0 5 5 re f"});
        }
        PatternPage p(patterns);
        p.gs->fillCS = 4;
        p.page.Fill(p.gs, 1);
        std::string body = p.Body();
        int count = 0;
        for (size_t at = body.find("<VisualBrush\n"); at != std::string::npos;
             at = body.find("<VisualBrush\n", at + 1))
            count++;
        EXPECT_EQ(count, std::min(levels, (int)XPS_MAX_TILE_DEPTH)) << body;
    }
}

}  // namespace
