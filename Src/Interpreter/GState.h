// The graphics and text state that the content operators set and the renderer reads.
#ifndef VARDEX_INTERPRETER_GSTATE_H
#define VARDEX_INTERPRETER_GSTATE_H

#include "Interpreter/PathGeometry.h"
#include "Pdf/PdfObj.h"
#include "Resources/PaintColour.h"

// Pattern base kind of a Pattern colour space that has no underlying space.
enum { PATTERN_BASE_NONE = 10 };

// Lengths are in user-space units before the CTM is applied. Colour-space kinds are
// ColorSpace codes (1 gray, 2 RGB, 3 CMYK, 4 pattern, ...).
class GState {
public:
    // The default state: identity matrices, black in every colour model, a 1-unit solid
    // line, opaque, DeviceGray on both sides and a new empty path.
    GState();
    // A copy of src for q and for nested streams: values, names and arrays are copied, the
    // path is duplicated, so nothing is shared with src.
    explicit GState(GState* src);
    // Releases the path together with the names and arrays.
    ~GState();
    GState(const GState&) = delete;
    GState& operator=(const GState&) = delete;

    // Replaces the path by an empty one, as every painting operator does. When no new path
    // can be had the old one is emptied in place, so `path` is never left null.
    void NewPath();

    pdfmatrix ctm;
    double charSpace;   // Tc
    double wordSpace;   // Tw
    double hScale;      // Tz, in percent
    double leading;     // kept as the text operators store it
    int renderMode;     // Tr
    double rise;        // Ts
    PdfArray font;      // after Tf: [resource name, size]
    pdfmatrix tm;       // text matrix
    pdfmatrix tlm;      // text line matrix
    double strokeGray;
    double fillGray;
    double fillRgb[3];
    double strokeRgb[3];
    double fillCmyk[4];
    double strokeCmyk[4];
    double lineWidth;
    int lineCap;
    int lineJoin;
    double miterLimit;
    double fillAlpha;   // ca
    double strokeAlpha; // CA
    int strokeCS;       // colour-space kind of the stroke side
    int fillCS;         // colour-space kind of the fill side
    int strokePatternCS; // underlying kind of a stroke Pattern space, PATTERN_BASE_NONE if none
    int fillPatternCS;   // likewise for the fill side
    // Spaces a brush cannot name (Indexed, CalGray, Separation, DeviceN, Lab): the space the
    // side's kind stands for, null when it cannot be painted, and the device kind its current
    // colour was converted to (0: the colour paints nothing), held in the gray, RGB or CMYK
    // fields of the side. Spaces are shared between copies of the state and never changed.
    PaintSpaceRef fillSpace;
    PaintSpaceRef strokeSpace;
    int fillPaint = 0;
    int strokePaint = 0;
    PDF_PathGeometry* path; // owned; the current path in user space
    PdfName strokePattern;
    PdfName fillPattern;
    PdfArray dash;       // owns its items
    double dashPhase;
    // The soft mask in force, set by gs: the object number of its form (0 for none), whether
    // the mask is what the form shows as luminosity (else its alpha), the CTM of the gs that
    // set it (which places the form), and the luminosity of its backdrop, which the mask
    // has wherever the form paints nothing.
    int softMask = 0;
    bool softMaskLuminosity = false;
    pdfmatrix softMaskCtm = {1, 0, 0, 1, 0, 0};
    double softMaskBackdrop = 0;
};

#endif
