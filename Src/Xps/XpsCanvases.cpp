// Canvases that lay what they hold on the page as one picture: a transparency group's, at
// the opacity of its Do, and a soft mask's, through the mask its form draws. Both lie in the
// coordinates of what surrounds them and end with EndCanvas, which closes the clips opened
// inside first.
#include <string>

#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"
#include "Xps/XpsPage.h"

void XpsPage::EnterCanvas()
{
    contentDepth++;
    // The clip canvases outside stay as they are while this one is open: one of them cannot
    // give way to a merged clip inside it.
    groupFloors.push_back(clipFloor);
    clipFloor = clips.size();
}

int XpsPage::StartCanvas(_matrix*, double value)
{
    if (!Writing() || contentDepth + 1 + XPS_DRAWING_DEPTH > PAGE_MAX_MARKUP_DEPTH)
        return -1;
    // The opacity is an opacity mask of one alpha everywhere, a gradient between two equal
    // stops: mutool folds a canvas's Opacity, and a solid-colour mask, into every element
    // inside (overlaps then show darker), while a gradient mask is laid over the canvas's
    // content as one picture in both readers.
    Out("<Canvas>\n");
    if (Translucent(value))
        Out("<Canvas.OpacityMask>\n<LinearGradientBrush Opacity=\"%s\" MappingMode=\"Absolute\" "
            "StartPoint=\"0,0\" EndPoint=\"1,0\" SpreadMethod=\"Pad\">\n"
            "<LinearGradientBrush.GradientStops>\n<GradientStop Color=\"#FF000000\" Offset=\"0\" />\n"
            "<GradientStop Color=\"#FF000000\" Offset=\"1\" />\n"
            "</LinearGradientBrush.GradientStops>\n</LinearGradientBrush>\n</Canvas.OpacityMask>\n",
            XpsNumber(value).text);
    EnterCanvas();
    return 0;
}

// The mask is a visual brush over the page's box, in the page's own space, where the content
// of the canvas lies too. The mask's form draws into it through a nested run, as a tiling
// cell draws into its brush; the brush carries no Opacity (xpstopng draws a visual brush
// with one as if it had none).
int XpsPage::StartMaskedCanvas(GState* gs)
{
    if (!Writing() || !gs || !parser || gs->softMask == 0 || tileDepth > 0 ||
        contentDepth + XPS_MASK_DEPTH + XPS_DRAWING_DEPTH > PAGE_MAX_MARKUP_DEPTH ||
        !parser->NestedRunAllowed(gs->softMask))
        return -1;
    const std::string box = std::string(XpsNumber(originX).text) + "," +
                            XpsNumber(originY).text + "," + XpsNumber(pageWidth).text + "," +
                            XpsNumber(pageHeight).text;
    Out("<Canvas>\n<Canvas.OpacityMask>\n<VisualBrush Viewbox=\"%s\" Viewport=\"%s\" "
        "TileMode=\"None\" ViewboxUnits=\"Absolute\" ViewportUnits=\"Absolute\">\n"
        "<VisualBrush.Visual>\n<Canvas>\n",
        box.c_str(), box.c_str());
    // Where the form paints nothing a luminosity mask has its backdrop's luminosity.
    if (gs->softMaskLuminosity && gs->softMaskBackdrop > 0) {
        const double x0 = originX, y0 = originY, x1 = originX + pageWidth,
                     y1 = originY + pageHeight;
        Out("<Path Data=\"M %s,%s L %s,%s %s,%s %s,%s z\" Fill=\"#%02X000000\" />\n",
            XpsNumber(x0).text, XpsNumber(y0).text, XpsNumber(x1).text, XpsNumber(y0).text,
            XpsNumber(x1).text, XpsNumber(y1).text, XpsNumber(x0).text, XpsNumber(y1).text,
            (unsigned)(255.0 * gs->softMaskBackdrop));
    }
    const bool outerLuminosity = luminosity;
    const size_t floor = clipFloor;
    const int clipsBefore = openClips;
    luminosity = gs->softMaskLuminosity;
    clipFloor = clips.size();
    contentDepth += XPS_MASK_DEPTH - 1;
    parser->ProcessSMask(gs->softMask);
    CloseClips(clipsBefore);
    contentDepth -= XPS_MASK_DEPTH - 1;
    clipFloor = floor;
    luminosity = outerLuminosity;
    Out("</Canvas>\n</VisualBrush.Visual>\n</VisualBrush>\n</Canvas.OpacityMask>\n");
    EnterCanvas();
    return 0;
}

void XpsPage::EndCanvas()
{
    if (groupFloors.empty())
        return;
    CloseClips((int)clipFloor);
    clipFloor = groupFloors.back();
    groupFloors.pop_back();
    Out("</Canvas>\n");
    contentDepth--;
}
