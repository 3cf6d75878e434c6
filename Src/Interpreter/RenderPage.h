// The abstract page renderer. The interpreter never writes output itself: every painting,
// clipping, image and text operation becomes one call here, given the current graphics
// state. Every default body accepts the call and does nothing, so the interpreter can run
// against a bare RenderPage.
#ifndef VARDEX_INTERPRETER_RENDERPAGE_H
#define VARDEX_INTERPRETER_RENDERPAGE_H

#include "Interpreter/PathGeometry.h"

class GState;
class ImageInfo;
class PdfName;
// Named only by StartCanvas, whose callers pass null.
struct _matrix;

// One glyph of outline text: its outline in glyph space (1000 units to the em) with the
// glyph's origin at 0,0, and that origin's place along the line, in the same units from the
// show's origin. Glyphs of equal `id` have equal outlines, whichever show they come in.
struct OutlineGlyph {
    PDF_PathGeometry* outline;
    unsigned long long id;
    double pen;
};

class RenderPage {
public:
    // pageIndex is 0-based; width and height are the MediaBox size in points.
    virtual int StartPage(int pageIndex, double width, double height);
    virtual int EndPage();
    // Opens a canvas that holds what is drawn until EndCanvas, composited as one picture with
    // the opacity `value` (a transparency group); `m` is unused and null. 0 when it is open;
    // otherwise (-1) the drawing goes on outside any such canvas and no EndCanvas follows.
    virtual int StartCanvas(_matrix* m, double value);
    virtual void EndCanvas();
    virtual int ShowText(GState* gs, char* text, char* font, double size);
    // glyphs: {code, advance in thousandths of the em} pairs ended by a pair whose code is 0.
    // A non-null text asks for each glyph's Unicode value too (the codes are then Unicode);
    // `indices`, where given with text, holds the glyph index of each pair, 0 where the
    // font's character map is to pick it.
    virtual int ShowTextEx(GState* gs, char* text, char* fontFile, double fontSize,
                           double* glyphs, const unsigned int* indices = nullptr);
    virtual int ShowImage(GState* gs, ImageInfo* info, char* fileName);
    virtual int ShowImageMask(GState* gs, ImageInfo* info, char* fileName);
    virtual int SetSMask(GState* gs, ImageInfo* info, char* fileName);
    virtual int Stroke(GState* gs);
    virtual int Fill(GState* gs, FillRule rule);
    virtual int FillStroke(GState* gs, FillRule rule);
    virtual int FillShade(GState* gs, PdfName* shadingName);
    // Opens a clip with gs's path; the interpreter issues exactly one EndClip for it later.
    virtual int Clip(GState* gs, FillRule rule);
    virtual int EndClip();
    virtual int OutComment(char* text);
    // The glyph outlines to fill are in gs's path.
    virtual int FillText(GState* gs);
    // Last, so that the operations keep their slots.
    virtual ~RenderPage();
    // True when the page has written all the markup it may; the interpreter then stops.
    virtual bool Full();
    // The glyphs of one show of outline text, filled and/or stroked as gs's rendering mode
    // asks (`fill`, `stroke`); `glyphSpace` maps glyph space at the show's origin to user
    // space. False when the renderer leaves the show to the path operations: the outlines,
    // joined into one path, are then filled through FillText (in glyph space) or painted in
    // user space through Fill, Stroke and FillStroke. The default leaves every show.
    virtual bool PaintGlyphs(GState* gs, const pdfmatrix& glyphSpace, const OutlineGlyph* glyphs,
                             int count, bool fill, bool stroke);
    // Opens a canvas that shows what is drawn until EndCanvas through gs's soft mask (its
    // form drawn back through the parser's ProcessSMask). 0 when it is open; otherwise (-1)
    // the drawing goes on unmasked and no EndCanvas follows.
    virtual int StartMaskedCanvas(GState* gs);
};

#endif
