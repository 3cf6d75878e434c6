// Axial and radial shadings as gradient stops. Only what a gradient brush can show is read:
// the geometry and the colours at the ends of exponential functions, or of each piece of a
// stitching function, placed at the function's input values (Domain and Encode ignored).
#include <cstdlib>
#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Interpreter/Patterns.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Resources/PdfPageTree.h"

namespace {

enum {
    FUNCTION_EXPONENTIAL = 2,
    FUNCTION_STITCHING = 3
};

// Bytes a stop can hold; further components are dropped.
enum { STOP_BYTES = 4 };

// Radius of both circles of a radial shading without "Coords".
const double DEFAULT_RADIUS = 100.0;

// Clamped before truncation, so 1.2 stays white and NaN gives 0 instead of wrapping.
uint8_t ColourByte(double v)
{
    double b = v * 255.0;
    if (!(b > 0.0))
        return 0;
    if (b >= 255.0)
        return 255;
    return (uint8_t)b;
}

// Writes the colour of `key` into the stop and returns how many items the colour has (0: the
// stop keeps the bytes it had). A gray colour covers the three bytes the writer reads.
int ReadColour(PdfPageTree* pages, PdfObj* function, const char* key, ShadeStop* stop)
{
    PdfArray colour;
    PdfKey k(key);
    if (pages->GetArray(colour, &k, function) != 0 || colour.count <= 0)
        return 0;
    for (int i = 0; i < colour.count && i < STOP_BYTES; i++) {
        double v = 0.0;
        OperandNumber(colour.items[i], &v);
        stop->colour[i] = ColourByte(v);
    }
    if (colour.count == 1)
        stop->colour[1] = stop->colour[2] = stop->colour[0];
    return colour.count;
}

void ReadCoords(PdfPageTree* pages, PdfObj* shading, const int* slots, const double* defaults,
                int n, double* coords)
{
    PdfArray arr;
    PdfKey k("Coords");
    bool found = pages->GetArray(arr, &k, shading) == 0;
    for (int i = 0; i < n; i++) {
        double v = defaults[i];
        if (found && i < arr.count)
            OperandNumber(arr.items[i], &v);
        coords[slots[i]] = v;
    }
}

// The stops of the shading's "Function"; -1 for a kind of function without stops here.
int ShadingStops(ContentParser* cp, PdfObj* shading, ShadePatternInfo* info)
{
    PdfPageTree* pages = cp->pages;
    char buf[PATTERN_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* function = ResolveResource(cp->xref, ResourceValue(shading, "Function"), buf,
                                       sizeof buf, &parsed);
    int result = -1;
    ShadeStop stop;
    memset(&stop, 0, sizeof stop);

    switch (function ? ReadTypeNumber(pages, function, "FunctionType") : 0) {
    case FUNCTION_EXPONENTIAL:
        ReadColour(pages, function, "C0", &stop);
        stop.offset = 0.0;
        info->stops.Add(&stop);
        ReadColour(pages, function, "C1", &stop);
        stop.offset = 1.0;
        info->stops.Add(&stop);
        result = 0;
        break;
    case FUNCTION_STITCHING: {
        PdfArray functions;
        PdfArray bounds;
        PdfKey fk("Functions");
        PdfKey bk("Bounds");
        pages->GetArray(functions, &fk, function);
        pages->GetArray(bounds, &bk, function);
        double prev = 0.0;
        // Pieces past the last bound start where the bounds ended (1.0 with no bounds).
        double bound = 1.0;
        for (int i = 0; i < functions.count; i++) {
            if (i < bounds.count)
                OperandNumber(bounds.items[i], &bound);
            char subBuf[PATTERN_PARSE_BUF];
            PdfObj* subParsed = nullptr;
            PdfObj* sub = ResolveResource(cp->xref, functions.items[i], subBuf, sizeof subBuf,
                                          &subParsed);
            ReadColour(pages, sub, "C0", &stop);
            stop.offset = prev;
            info->stops.Add(&stop);
            if (ReadColour(pages, sub, "C1", &stop) > 0) {
                stop.offset = i < bounds.count ? bound : 1.0;
                prev = bound;
            }
            info->stops.Add(&stop);
            delete subParsed;
        }
        result = 0;
        break;
    }
    default:
        break;
    }
    delete parsed;
    return result;
}

}  // namespace

int ContentParser::GetShadingPatternInfo(PdfObj* pattern, ShadePatternInfo** info)
{
    if (!info || !*info || !pages || !xref || !current)
        return 0;
    ShadePatternInfo* shade = *info;
    ReadPatternMatrix(pages, pattern, &shade->matrix);
    PatternToUser(&shade->matrix, &current->ctm);

    char buf[PATTERN_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* shading = ResolveResource(xref, ResourceValue(pattern, "Shading"), buf, sizeof buf,
                                      &parsed);
    if (shading) {
        shade->shadingType = ReadTypeNumber(pages, shading, "ShadingType");
        if (shade->shadingType == SHADING_AXIAL)
            LinearShading(shading, shade);
        else if (shade->shadingType == SHADING_RADIAL)
            RadialShading(shading, shade);
    }
    delete parsed;
    return 0;
}

int ContentParser::LinearShading(PdfObj* shading, ShadePatternInfo* info)
{
    if (!info || !pages)
        return -1;
    static const int slots[4] = {0, 1, 3, 4};
    static const double defaults[4] = {0, 0, 0, 0};
    ReadCoords(pages, shading, slots, defaults, 4, info->coords);
    return ShadingStops(this, shading, info);
}

int ContentParser::RadialShading(PdfObj* shading, ShadePatternInfo* info)
{
    if (!info || !pages)
        return -1;
    static const int slots[6] = {0, 1, 2, 3, 4, 5};
    static const double defaults[6] = {0, 0, DEFAULT_RADIUS, 0, 0, DEFAULT_RADIUS};
    ReadCoords(pages, shading, slots, defaults, 6, info->coords);
    return ShadingStops(this, shading, info);
}
