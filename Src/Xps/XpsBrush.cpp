// The brushes inside painted paths and glyph runs: solid colours for gray and RGB, a context
// colour of the built-in CMYK profile for CMYK (other spaces paint in whichever of these
// their colour converts to), and for Pattern spaces a tiled visual of the
// pattern cell or a gradient of the pattern's shading.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Interpreter/ContentParser.h"
#include "Interpreter/Patterns.h"
#include "Pdf/Limits.h"
#include "Resources/ColorSpace.h"
#include "Resources/PaintColour.h"
#include "Xps/XpsPage.h"

namespace {

// A component outside 0..1 would give digits outside 00..FF, or a context colour that one
// reader refuses the whole page for; a component that is no number at all counts as 0.
double Clamp01(double c)
{
    if (!(c > 0))
        return 0;
    return c > 1 ? 1 : c;
}

// 255 times the component, truncated toward zero.
unsigned ColourByte(double c)
{
    return (unsigned)(255.0 * Clamp01(c));
}

std::string RgbColour(double r, double g, double b)
{
    char text[16];
    snprintf(text, sizeof text, "#FF%02X%02X%02X", ColourByte(r), ColourByte(g), ColourByte(b));
    return text;
}

// Fill and stroke colours differ by one blank after the alpha value; readers accept both.
std::string CmykColour(const double* cmyk, bool stroke)
{
    std::string text = "ContextColor /Resources/Swop.icc 1.0,";
    if (stroke)
        text += ' ';
    for (int i = 0; i < 4; i++) {
        if (i)
            text += ',';
        text += XpsNumber(Clamp01(cmyk[i])).text;
    }
    text += ' ';
    return text;
}

const char* const kNoPatternBrush = "<SolidColorBrush Color=\"#000000\" /> \n";

// Black at the alpha of a colour's luminosity (times its own alpha, 0 to 255): the colour as
// a luminosity mask takes it.
std::string LuminosityColour(const double* rgb, unsigned alpha)
{
    char text[16];
    snprintf(text, sizeof text, "#%02X000000", ColourByte(PaintLuminosity(rgb)) * alpha / 255);
    return text;
}

// A gradient needs two stops: a single one is written twice. No stops, no gradient.
std::string GradientStops(ShadePatternInfo* info, bool luminosity)
{
    std::string text;
    uint32_t n = info->stops.count;
    for (uint32_t i = 0; i < n; i++) {
        const ShadeStop* stop = static_cast<const ShadeStop*>(info->stops.Get(i));
        if (!stop)
            break;
        char line[96];
        if (luminosity) {
            const double rgb[3] = {stop->colour[0] / 255.0, stop->colour[1] / 255.0,
                                   stop->colour[2] / 255.0};
            snprintf(line, sizeof line, "<GradientStop Color=\"%s\" Offset=\"%s\" /> \n",
                     LuminosityColour(rgb, stop->alpha).c_str(), XpsNumber(stop->offset).text);
        } else if (stop->alpha == 255)
            snprintf(line, sizeof line, "<GradientStop Color=\"#%02X%02X%02X\" Offset=\"%s\" /> \n",
                     stop->colour[0], stop->colour[1], stop->colour[2],
                     XpsNumber(stop->offset).text);
        else
            snprintf(line, sizeof line,
                     "<GradientStop Color=\"#%02X%02X%02X%02X\" Offset=\"%s\" /> \n", stop->alpha,
                     stop->colour[0], stop->colour[1], stop->colour[2],
                     XpsNumber(stop->offset).text);
        text += line;
        if (n == 1)
            text += line;
    }
    return text;
}

std::string Point(double x, double y)
{
    return std::string(XpsNumber(x).text) + "," + XpsNumber(y).text;
}

std::string LinearBrush(ShadePatternInfo* info, bool luminosity)
{
    std::string stops = GradientStops(info, luminosity);
    if (stops.empty() || !XpsFinite(info->matrix))
        return "";
    const double* c = info->coords;
    return std::string("<LinearGradientBrush  \n Transform=\"") + XpsMatrix(info->matrix).text +
           "\" \nMappingMode=\"Absolute\" \nStartPoint=\"" + Point(c[0], c[1]) +
           "\"  \nEndPoint=\"" + Point(c[3], c[4]) +
           "\"  \nSpreadMethod=\"Pad\"> \n<LinearGradientBrush.GradientStops> \n" + stops +
           "</LinearGradientBrush.GradientStops> \n</LinearGradientBrush> \n";
}

// The end circle is the gradient's ellipse and the start centre its origin, for sh and for
// shading patterns alike; a pattern adds its Transform. A gradient brush has no negative
// radius.
std::string RadialBrush(ShadePatternInfo* info, bool transform, bool luminosity)
{
    std::string stops = GradientStops(info, luminosity);
    if (stops.empty() || (transform && !XpsFinite(info->matrix)))
        return "";
    const double* c = info->coords;
    std::string radius = XpsNumber(std::fabs(c[5])).text;
    std::string text = "<RadialGradientBrush  \n";
    if (transform)
        text += std::string(" Transform=\"") + XpsMatrix(info->matrix).text + "\" \n";
    return text + "MappingMode=\"Absolute\" \nCenter=\"" + Point(c[3], c[4]) +
           "\"  \nGradientOrigin=\"" + Point(c[0], c[1]) + "\"  \nRadiusX=\"" + radius +
           "\"  \nRadiusY=\"" + radius +
           "\"  \nSpreadMethod=\"Pad\"> \n<RadialGradientBrush.GradientStops> \n" + stops +
           "</RadialGradientBrush.GradientStops> \n</RadialGradientBrush> \n";
}

// The gradient of a shading record, or "" when it has none. Axial patterns paint strokes as
// they paint fills.
std::string GradientBrush(ShadePatternInfo* info, bool pattern, bool luminosity)
{
    switch (info->shadingType) {
    case SHADING_AXIAL:
        return LinearBrush(info, luminosity);
    case SHADING_RADIAL:
        return RadialBrush(info, pattern, luminosity);
    default:
        return "";
    }
}

}  // namespace

std::string XpsSolidColour(GState* gs, bool stroke, bool luminosity)
{
    if (!gs)
        return "";
    int kind = stroke ? gs->strokeCS : gs->fillCS;
    // Other spaces paint in the device colour their current colour was converted to.
    if (kind == CS_INDEXED || kind == CS_CALGRAY || kind == CS_OTHER)
        kind = (stroke ? gs->strokeSpace : gs->fillSpace) ? (stroke ? gs->strokePaint
                                                                    : gs->fillPaint)
                                                          : 0;
    DeviceColour colour;
    colour.kind = kind;
    const double* comps = nullptr;
    int n = 0;
    switch (kind) {
    case CS_DEVICEGRAY:
        comps = stroke ? &gs->strokeGray : &gs->fillGray;
        n = 1;
        break;
    case CS_DEVICERGB:
        comps = stroke ? gs->strokeRgb : gs->fillRgb;
        n = 3;
        break;
    case CS_DEVICECMYK:
        comps = stroke ? gs->strokeCmyk : gs->fillCmyk;
        n = 4;
        break;
    default:
        return "";
    }
    for (int i = 0; i < n; i++)
        colour.c[i] = comps[i];
    if (kind == CS_DEVICECMYK && !luminosity)
        return CmykColour(colour.c, stroke);
    double rgb[3];
    DeviceToRgb(colour, rgb);
    return luminosity ? LuminosityColour(rgb, 255) : RgbColour(rgb[0], rgb[1], rgb[2]);
}

namespace {

// The brush for one side of the state, or "" when its colour kind has none.
std::string SideBrush(GState* gs, bool stroke, bool luminosity)
{
    std::string colour = XpsSolidColour(gs, stroke, luminosity);
    return colour.empty() ? "" : "<SolidColorBrush Color=\"" + colour + "\" /> \n";
}

}  // namespace

// A property element is written only around a brush: one without a brush is not valid
// markup, and painting with no colour paints nothing anyway.
int XpsPage::SetFill(GState* gs, bool glyphs)
{
    const char* element = glyphs ? "Glyphs.Fill" : "Path.Fill";
    if (gs && gs->fillCS == CS_PATTERN)
        return PatternBrush(gs, false, element);
    std::string brush = SideBrush(gs, false, luminosity);
    if (brush.empty())
        return 0;
    Out("<%s>\n", element);
    Out(brush);
    Out("</%s>\n", element);
    return 0;
}

int XpsPage::SetStroke(GState* gs)
{
    if (gs && gs->strokeCS == CS_PATTERN)
        return PatternBrush(gs, true, "Path.Stroke");
    std::string brush = SideBrush(gs, true, luminosity);
    if (brush.empty())
        return 0;
    Out("<Path.Stroke>\n");
    Out(brush);
    Out("</Path.Stroke>\n");
    return 0;
}

int XpsPage::PatternBrush(GState* gs, bool stroke, const char* element)
{
    PatternInfo* info = nullptr;
    if (!parser || parser->GetPatternInfo(&info, gs, stroke ? 1 : 0) != 0 || !info) {
        Out("<%s>\n%s</%s>\n", element, kNoPatternBrush, element);
        return 0;
    }
    if (info->patternType == PATTERN_TILING) {
        TileBrush(static_cast<TilePatternInfo*>(info), element);
    } else if (info->patternType == PATTERN_SHADING) {
        std::string brush = GradientBrush(static_cast<ShadePatternInfo*>(info), true, luminosity);
        if (!brush.empty()) {
            Out("<%s>\n", element);
            Out(brush);
            Out("</%s>\n", element);
        }
    }
    delete info;
    return 0;
}

// The cell's content is drawn by a nested run of the interpreter straight into the brush's
// canvas, in the cell's own space. The brush repeats a tile of the pattern's steps: a cell
// the size of its steps is the tile itself; any other is laid into the tile clipped to its
// BBox, leaving gaps where it is smaller and, where it is larger, drawn once for every
// neighbour that reaches into the tile, since a tile brush's tiles cannot overlap.
void XpsPage::TileBrush(TilePatternInfo* tile, const char* element)
{
    const double* b = tile->bbox;
    double x = std::min(b[0], b[2]), y = std::min(b[1], b[3]);
    double w = std::fabs(b[2] - b[0]), h = std::fabs(b[3] - b[1]);
    // A cell without an area shows nothing: no brush.
    if (!tile->hasBBox || !(w > 0) || !(h > 0) || !XpsFinite(x) || !XpsFinite(y) ||
        !XpsFinite(w) || !XpsFinite(h) || !XpsFinite(tile->matrix) || !parser)
        return;
    // A step that is missing, 0 or no number takes the cell's size.
    double sx = std::fabs(tile->xStep), sy = std::fabs(tile->yStep);
    if (!(sx > 0) || !XpsFinite(sx))
        sx = w;
    if (!(sy > 0) || !XpsFinite(sy))
        sy = h;
    const bool laid = sx != w || sy != h;
    // Cells to the left and below whose BBox reaches into the tile, the cell itself included.
    double across = std::ceil(w / sx), up = std::ceil(h / sy);
    if (!laid || !(across * up <= PAGE_MAX_TILE_COPIES))
        across = up = 1;
    const int depth = XPS_TILE_DEPTH + (laid ? XPS_TILE_COPY_DEPTH : 0);

    // Its content lies five or seven elements below the painted element: a cell that cannot
    // be drawn within the page's nesting gets no brush.
    if (tileDepth >= XPS_MAX_TILE_DEPTH ||
        contentDepth + depth + XPS_DRAWING_DEPTH > PAGE_MAX_MARKUP_DEPTH)
        return;
    for (int i = 0; i < tileDepth; i++)
        if (tileStack[i] == tile->objNum)
            return;

    std::string box = std::string(XpsNumber(x).text) + "," + XpsNumber(y).text + "," +
                      XpsNumber(sx).text + "," + XpsNumber(sy).text;
    Out("<%s>\n", element);
    Out("<VisualBrush\n Transform=\"%s\" \nViewbox=\"%s\" \nViewport=\"%s\" \nTileMode=\"Tile\" "
        "\nViewboxUnits=\"Absolute\" ViewportUnits=\"Absolute\"> \n<VisualBrush.Visual>\n<Canvas>\n",
        XpsMatrix(tile->matrix).text, box.c_str(), box.c_str());
    tileStack[tileDepth++] = tile->objNum;
    size_t floor = clipFloor;
    contentDepth += depth;
    if (!laid) {
        TileCell(tile);
    } else {
        std::string clip = "M " + Point(x, y) + " L " + Point(x + w, y) + " " +
                           Point(x + w, y + h) + " " + Point(x, y + h) + " z";
        // Cells row by row from the bottom, each row from the left, as PDF readers paint
        // them: where cells overlap, the later one lies on top.
        for (int j = (int)up - 1; j >= 0; j--) {
            for (int i = (int)across - 1; i >= 0; i--) {
                if (!Writing())
                    break;
                Out("<Canvas RenderTransform=\"1,0,0,1,%s,%s\">\n<Canvas Clip=\"%s\">\n",
                    XpsNumber(-i * sx).text, XpsNumber(-j * sy).text, clip.c_str());
                TileCell(tile);
                Out("</Canvas>\n</Canvas>\n");
            }
        }
    }
    contentDepth -= depth;
    clipFloor = floor;
    tileDepth--;
    Out("</Canvas>\n</VisualBrush.Visual>\n </VisualBrush>\n");
    Out("</%s>\n", element);
}

void XpsPage::TileCell(TilePatternInfo* tile)
{
    int clips = openClips;
    clipFloor = clips;
    parser->ProcessPatternStream(tile->objNum, tile->resources, nullptr);
    // Clips the cell left open must close inside the canvas it was drawn in.
    CloseClips(clips);
}

int XpsPage::OutLinearGadient(ShadePatternInfo* info)
{
    if (info)
        Out(LinearBrush(info, luminosity));
    return 0;
}

int XpsPage::OutRadialGadient(ShadePatternInfo* info)
{
    if (info)
        Out(RadialBrush(info, true, luminosity));
    return 0;
}

int XpsPage::OutRadialGadientShade(ShadePatternInfo* info)
{
    if (info)
        Out(RadialBrush(info, false, luminosity));
    return 0;
}

int XpsPage::FillShade(GState* gs, PdfName* shadingName)
{
    if (!Writing() || !gs || !parser || !XpsFinite(gs->ctm))
        return 0;
    PatternInfo* info = nullptr;
    if (parser->GetShadingInfo(shadingName, &info) != 0 || !info)
        return 0;
    std::string brush;
    if (info->patternType == PATTERN_SHADING)
        brush = GradientBrush(static_cast<ShadePatternInfo*>(info), false, luminosity);
    delete info;
    if (brush.empty())
        return 0;

    // The page's corners in user space: under a rotating or skewing CTM the page is no
    // axis-aligned rectangle there.
    pdfmatrix inv;
    InvertMatrix(&inv, &gs->ctm);
    const double x1 = originX, x2 = originX + pageWidth, y1 = originY, y2 = originY + pageHeight;
    const double cx[4] = {x1, x2, x2, x1};
    const double cy[4] = {y1, y1, y2, y2};
    std::string data = "F0 M";
    for (int i = 0; i < 4; i++) {
        double ux, uy;
        Transform(cx[i], cy[i], &inv, &ux, &uy);
        data += (i == 1 ? " L" : i ? " " : "") + Point(ux, uy);
    }
    data += " z";

    Out("<Path RenderTransform=\"%s\" \n", XpsMatrix(gs->ctm).text);
    if (Translucent(gs->fillAlpha))
        Out("Opacity=\"%s\" \n", XpsNumber(gs->fillAlpha).text);
    Out("Data=\"%s\" >\n<Path.Fill> \n", data.c_str());
    Out(brush);
    Out("</Path.Fill> \n</Path>\n");
    return 0;
}
