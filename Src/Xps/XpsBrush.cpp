// The brushes inside painted paths and glyph runs: solid colours for gray and RGB, a context
// colour of the built-in CMYK profile for CMYK, and the pattern brush of Pattern spaces.
#include <cstdio>
#include <string>

#include "Resources/ColorSpace.h"
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

std::string SolidBrush(double r, double g, double b)
{
    char text[64];
    snprintf(text, sizeof text, "<SolidColorBrush Color=\"#FF%02X%02X%02X\" /> \n", ColourByte(r),
             ColourByte(g), ColourByte(b));
    return text;
}

// Fill and stroke brushes differ by one blank after the alpha value; readers accept both.
std::string CmykBrush(const double* cmyk, bool stroke)
{
    std::string text = "<SolidColorBrush Color=\"ContextColor /Resources/Swop.icc 1.0,";
    if (stroke)
        text += ' ';
    for (int i = 0; i < 4; i++) {
        if (i)
            text += ',';
        text += XpsNumber(Clamp01(cmyk[i])).text;
    }
    text += " \" /> \n";
    return text;
}

// The brush of a Pattern space. The pattern's description is not looked up yet, which is
// what a pattern that cannot be found amounts to: black.
std::string PatternBrush(GState*, bool)
{
    return "<SolidColorBrush Color=\"#000000\" /> \n";
}

// The brush for one side of the state, or "" when its colour kind has none.
std::string SideBrush(GState* gs, bool stroke)
{
    if (!gs)
        return "";
    switch (stroke ? gs->strokeCS : gs->fillCS) {
    case CS_DEVICEGRAY: {
        double gray = stroke ? gs->strokeGray : gs->fillGray;
        return SolidBrush(gray, gray, gray);
    }
    case CS_DEVICERGB: {
        const double* rgb = stroke ? gs->strokeRgb : gs->fillRgb;
        return SolidBrush(rgb[0], rgb[1], rgb[2]);
    }
    case CS_DEVICECMYK:
        return CmykBrush(stroke ? gs->strokeCmyk : gs->fillCmyk, stroke);
    case CS_PATTERN:
        return PatternBrush(gs, stroke);
    default:
        return "";
    }
}

}  // namespace

// A property element is written only around a brush: one without a brush is not valid
// markup, and painting with no colour paints nothing anyway.
int XpsPage::SetFill(GState* gs, bool glyphs)
{
    std::string brush = SideBrush(gs, false);
    if (brush.empty())
        return 0;
    const char* element = glyphs ? "Glyphs.Fill" : "Path.Fill";
    Out("<%s>\n", element);
    Out(brush);
    Out("</%s>\n", element);
    return 0;
}

int XpsPage::SetStroke(GState* gs)
{
    std::string brush = SideBrush(gs, true);
    if (brush.empty())
        return 0;
    Out("<Path.Stroke>\n");
    Out(brush);
    Out("</Path.Stroke>\n");
    return 0;
}
