// Colours of fills, strokes, text and gradient stops in any colour space, brought to the
// device colours a brush can carry: gray, RGB, or CMYK through the built-in profile.
// Separation and DeviceN go through their tint transform, Indexed through its palette, Lab
// as seen under its white point; CalGray paints as gray and CalRGB as RGB.
#ifndef VARDEX_RESOURCES_PAINTCOLOUR_H
#define VARDEX_RESOURCES_PAINTCOLOUR_H

#include <cstdint>
#include <memory>
#include <vector>

#include "Resources/Functions.h"

class PdfObj;
class PdfPageTree;

struct PaintSpace;
using PaintSpaceRef = std::shared_ptr<const PaintSpace>;

struct PaintSpace {
    enum Family { GRAY, RGB, CMYK, LAB, INDEXED, TINT, NOTHING };
    Family family = GRAY;
    int comps = 1;  // components a colour in this space has
    // Lab.
    double labRange[4] = {-100, 100, -100, 100};
    // Indexed: palette of (hival + 1) entries of base->comps bytes; the file's own bytes,
    // zeros where it gives fewer.
    PaintSpaceRef base;
    int hival = 0;
    std::vector<uint8_t> palette;
    // Separation and DeviceN: tint transform into `base` (the alternate space). A colorant
    // "All" paints every component; without a usable transform a tint paints as gray.
    FunctionRef tint;
    bool all = false;
};

// A colour as a brush carries it: kind CS_DEVICEGRAY, CS_DEVICERGB or CS_DEVICECMYK with that
// many components in c, or 0 when the colour paints nothing (the colorant "None").
struct DeviceColour {
    int kind = 0;
    double c[4] = {0, 0, 0, 0};
};

// The colour space `value` describes (a name, an array, or a reference to either); null for a
// space this cannot paint (Pattern, an unknown name, a malformed array).
PaintSpaceRef LoadPaintSpace(PdfPageTree* pages, PdfObj* value);

// The colour of `comps` (space.comps values) in `space`; tint transforms spend from `work`.
DeviceColour ToDevice(const PaintSpace& space, const double* comps, FunctionWork* work);

// The colour a space starts with when it is selected: black, or full tint, or index 0.
void InitialColour(const PaintSpace& space, double* comps);

// The RGB a reader without colour management shows for the colour, each 0 to 1. CMYK takes
// the complement of each channel plus black.
void DeviceToRgb(const DeviceColour& colour, double* rgb);

// The luminosity of an RGB colour (each 0 to 1), as a soft mask reads it from what its form
// paints: 0.30 R + 0.59 G + 0.11 B.
double PaintLuminosity(const double* rgb);

// Components of an ICC profile stream given by reference: those the resource pass recorded,
// else the stream's own N; 0 when neither can be read.
int ProfileComponents(PdfPageTree* pages, PdfObj* ref);

#endif
