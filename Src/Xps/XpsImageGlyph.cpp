// Images in page markup. An image is a Path over the unit square of its user space, placed by
// the CTM and filled with an ImageBrush of its file; a soft mask is that Path's opacity mask;
// an inline 1-bit image is an opacity mask over the fill colour.
#include <string>

#include "Interpreter/ContentParser.h"
#include "Resources/ResData.h"
#include "Xps/XpsPage.h"

namespace {

bool Drawable(GState* gs, ImageInfo* info, char* fileName)
{
    return gs && info && fileName && *fileName && info->width > 0 && info->height > 0 &&
           XpsFinite(gs->ctm);
}

}  // namespace

// The brush maps the image's pixel grid (w × h, first row at the top) onto the unit square:
// x / w across, 1 - y / h up, as the PDF image model places it.
void XpsPage::ImageBrush(ImageInfo* info, const char* fileName)
{
    double w = info->width, h = info->height;
    Out("<ImageBrush Transform=\"%s,0,0,%s,0,1\" \nViewbox=\"0,0,%s,%s\" \n"
        "Viewport=\"0,0,%s,%s\" \nTileMode=\"None\" \n"
        "ViewboxUnits=\"Absolute\" ViewportUnits=\"Absolute\" \n"
        "ImageSource=\"/Resources/%s\"/>\n ",
        XpsNumber(1 / w).text, XpsNumber(-1 / h).text, XpsNumber(w).text, XpsNumber(h).text,
        XpsNumber(w).text, XpsNumber(h).text, fileName);
}

// The figure is written in unit-square coordinates; a geometry Transform that would map pixel
// coordinates onto it is not drawn by every reader.
void XpsPage::UnitSquare()
{
    Out("<Path.Data>\n<PathGeometry FillRule=\"EvenOdd\" >\n"
        "<PathFigure StartPoint=\"0,1\" IsClosed=\"true\" IsFilled=\"true\" >\n"
        "<PolyLineSegment Points=\"1,1 1,0 0,0\" IsStroked=\"true\"/> \n"
        "</PathFigure>\n</PathGeometry>\n</Path.Data>\n");
}

void XpsPage::OpenImagePath(GState* gs)
{
    Out("<Path RenderTransform=\"%s\" \t\t\t\t>\n", XpsMatrix(gs->ctm).text);
    imagePath = IMAGE_PATH_OPEN;
}

void XpsPage::CloseImagePath()
{
    UnitSquare();
    Out("</Path>\n");
    imagePath = IMAGE_PATH_NONE;
}

int XpsPage::ShowImage(GState* gs, ImageInfo* info, char* fileName)
{
    if (!Writing() || !Drawable(gs, info, fileName) || imagePath != IMAGE_PATH_NONE)
        return 0;
    OpenImagePath(gs);
    // The parser records the mask for the page and writes it through SetSMask.
    if (info->smaskObj != 0 && parser)
        parser->ProcessSMask(info->smaskObj);
    Out("<Path.Fill>\n");
    ImageBrush(info, fileName);
    Out("</Path.Fill>\n");
    CloseImagePath();
    return 0;
}

int XpsPage::ShowImageMask(GState* gs, ImageInfo* info, char* fileName)
{
    if (!Writing() || !Drawable(gs, info, fileName) || imagePath != IMAGE_PATH_NONE)
        return 0;
    OpenImagePath(gs);
    // The stencil is this Path's one opacity mask: a soft mask cannot be added to it.
    Out("<Path.OpacityMask>\n");
    ImageBrush(info, fileName);
    Out("</Path.OpacityMask>\n");
    imagePath = IMAGE_PATH_MASKED;
    SetFill(gs, false);
    CloseImagePath();
    return 0;
}

int XpsPage::SetSMask(GState* gs, ImageInfo* mask, char* fileName)
{
    // Only inside an image Path that has no opacity mask yet: anywhere else the element would
    // not be markup at all.
    if (imagePath != IMAGE_PATH_OPEN || !mask || !fileName || !*fileName || mask->width <= 0 ||
        mask->height <= 0)
        return 0;
    (void)gs;
    Out("<Path.OpacityMask>\n");
    ImageBrush(mask, fileName);
    Out("</Path.OpacityMask>\n");
    imagePath = IMAGE_PATH_MASKED;
    return 0;
}
