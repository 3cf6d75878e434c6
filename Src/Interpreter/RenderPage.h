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
// Named only by StartCanvas, which nothing calls; it has no further contract.
struct _matrix;

class RenderPage {
public:
    // pageIndex is 0-based; width and height are the MediaBox size in points.
    virtual int StartPage(int pageIndex, double width, double height);
    virtual int EndPage();
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
};

#endif
