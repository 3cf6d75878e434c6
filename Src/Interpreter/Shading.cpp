// Axial and radial shadings as gradient stops: the geometry, and the colour function
// evaluated over the shading's Domain, with stops at the ends of every piece of a stitching
// function (sharp edges stay sharp) and spread along curves. Stop colours are converted from
// the shading's colour space; an end that does not extend ends in a transparent stop.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Interpreter/Patterns.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Resources/Functions.h"
#include "Resources/PaintColour.h"
#include "Resources/PdfPageTree.h"

namespace {

// Radius of both circles of a radial shading without "Coords".
const double DEFAULT_RADIUS = 100.0;

// Inputs just before a break are taken this far (as a share of the piece) from it, so the
// stop there shows the piece that ends rather than the one that begins.
const double LEFT_OF_BREAK = 1e-9;

// Stops of one piece of a function that is not a straight line between its breaks.
const int CURVE_STOPS = 32;

// How far inside an end that does not extend its last coloured stop sits, so the transparent
// stop beyond it never shares its offset: one reader takes the transparent colour for the
// whole gradient when two stops share an end offset, the other pads with the coloured one.
const double CLEAR_EDGE = 1e-3;

// Truncated, after a hair's breadth that absorbs the error of evaluating a colour just
// before a break (0.9999999 white is white).
uint8_t ColourByte(double v)
{
    double b = v * 255.0 + 1e-4;
    if (!(b > 0.0))
        return 0;
    if (b >= 255.0)
        return 255;
    return (uint8_t)b;
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

// The shading's colour function: one function of all components, or one per component,
// evaluated within the conversion's budget.
struct ShadingFunction {
    std::vector<FunctionRef> parts;
    int outputs = 0;
    FunctionWork* work = nullptr;

    bool Linear() const
    {
        for (const FunctionRef& f : parts)
            if (!FunctionIsLinear(*f))
                return false;
        return true;
    }
    void Eval(double t, double* out) const
    {
        int k = 0;
        for (const FunctionRef& f : parts) {
            EvalFunction(*f, &t, out + k, work);
            k += f->outputs;
        }
    }
};

bool ReadFunction(ContentParser* cp, PdfObj* shading, ShadingFunction* fn)
{
    PdfObj* value = ResourceValue(shading, "Function");
    char buf[PATTERN_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* resolved = ResolveResource(cp->xref, value, buf, sizeof buf, &parsed);
    if (resolved && resolved->Type() == PDF_ARRAY) {
        PdfArray* a = static_cast<PdfArray*>(resolved);
        for (int i = 0; i < a->count && i < FUNCTION_MAX_COMPONENTS; i++)
            fn->parts.push_back(LoadFunction(cp->pages, a->items[i]));
    } else if (resolved) {
        fn->parts.push_back(LoadFunction(cp->pages, value));
    }
    delete parsed;
    for (const FunctionRef& f : fn->parts) {
        if (!f || f->inputs != 1)
            return false;
        fn->outputs += f->outputs;
    }
    return !fn->parts.empty() && fn->outputs <= FUNCTION_MAX_COMPONENTS;
}

// Two numbers of `key`, or the defaults.
void ReadPair(PdfPageTree* pages, PdfObj* dict, const char* key, double* pair)
{
    PdfArray arr;
    PdfKey k(key);
    double v[2];
    if (pages->GetArray(arr, &k, dict) == 0 && arr.count >= 2 &&
        OperandNumber(arr.items[0], &v[0]) == 0 && OperandNumber(arr.items[1], &v[1]) == 0 &&
        std::isfinite(v[0]) && std::isfinite(v[1])) {
        pair[0] = v[0];
        pair[1] = v[1];
    }
}

void ReadExtend(PdfPageTree* pages, PdfObj* dict, bool* extend)
{
    PdfArray arr;
    PdfKey k("Extend");
    if (pages->GetArray(arr, &k, dict) != 0)
        return;
    for (int i = 0; i < 2 && i < arr.count; i++)
        if (arr.items[i] && arr.items[i]->Type() == PDF_BOOL)
            extend[i] = static_cast<PdfBool*>(arr.items[i])->value != 0;
}

void AddStop(ShadePatternInfo* info, const PaintSpace& space, const ShadingFunction& fn,
             double t, double offset)
{
    double comps[FUNCTION_MAX_COMPONENTS] = {0};
    fn.Eval(t, comps);
    DeviceColour c = ToDevice(space, comps, fn.work);
    double rgb[3];
    DeviceToRgb(c, rgb);
    ShadeStop stop = {offset, {0, 0, 0, 0}, 255};
    for (int i = 0; i < 3; i++)
        stop.colour[i] = ColourByte(rgb[i]);
    stop.alpha = c.kind ? 255 : 0;
    info->stops.Add(&stop);
}

// A copy of stop i, transparent: outside an end the shading does not extend past.
void AddClearStop(ShadePatternInfo* info, uint32_t i)
{
    ShadeStop stop = *static_cast<const ShadeStop*>(info->stops.Get(i));
    stop.alpha = 0;
    info->stops.Add(&stop);
}

// The stops of the shading's colour function over the shading's Domain, in the colours of
// its ColorSpace; -1 when it has no usable function.
int ShadingStops(ContentParser* cp, PdfObj* shading, ShadePatternInfo* info)
{
    PdfPageTree* pages = cp->pages;
    ShadingFunction fn;
    fn.work = &pages->functionWork;
    if (!ReadFunction(cp, shading, &fn))
        return -1;
    // Without a ColorSpace the number of components tells gray, RGB or CMYK.
    PdfObj* csValue = ResourceValue(shading, "ColorSpace");
    PdfKey byCount(fn.outputs == 1 ? "DeviceGray" : fn.outputs == 4 ? "DeviceCMYK" : "DeviceRGB");
    PaintSpaceRef space = LoadPaintSpace(pages, csValue ? csValue : &byCount);
    if (!space || space->comps != fn.outputs)
        return -1;
    double domain[2] = {0, 1};
    bool extend[2] = {false, false};
    ReadPair(pages, shading, "Domain", domain);
    ReadExtend(pages, shading, extend);
    const double t0 = domain[0], t1 = domain[1];

    // Offsets (0..1 along the gradient) where a piece of the function ends.
    std::vector<double> breaks = {0.0, 1.0};
    if (t1 != t0) {
        std::vector<double> inputs;
        for (const FunctionRef& f : fn.parts)
            FunctionBreaks(*f, std::fmin(t0, t1), std::fmax(t0, t1), &inputs,
                           SHADING_MAX_STOPS / 2 - 2 - inputs.size(), fn.work);
        for (double t : inputs)
            breaks.push_back((t - t0) / (t1 - t0));
    }
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    const size_t pieces = breaks.size() - 1;
    int perPiece = 2;
    if (!fn.Linear())
        perPiece = (int)std::max<size_t>(2, std::min<size_t>(CURVE_STOPS, SHADING_MAX_STOPS / pieces - 2));

    const uint32_t first = info->stops.count;
    for (size_t i = 0; i < pieces; i++) {
        const double a = breaks[i], b = breaks[i + 1];
        for (int j = 0; j < perPiece; j++) {
            double s = a + (b - a) * j / (perPiece - 1);
            // The last stop of a piece shows the piece, not the one starting at its end.
            double at = j == perPiece - 1 && i + 1 < pieces ? s - (b - a) * LEFT_OF_BREAK : s;
            AddStop(info, *space, fn, t0 + at * (t1 - t0), s);
        }
    }
    if (info->stops.count == first)
        return -1;
    // A transparent stop outside each end that does not extend: the brush pads with it.
    const uint32_t last = info->stops.count - 1;
    if (!extend[1]) {
        AddClearStop(info, last);
        ShadeStop* end = static_cast<ShadeStop*>(info->stops.Get(last));
        double inside = 1.0 - CLEAR_EDGE;
        if (last > first)
            inside = std::fmax(inside, static_cast<ShadeStop*>(info->stops.Get(last - 1))->offset);
        end->offset = std::fmin(end->offset, inside);
    }
    if (!extend[0]) {
        AddClearStop(info, first);
        ShadeStop* start = static_cast<ShadeStop*>(info->stops.Get(first));
        double inside = CLEAR_EDGE;
        if (last > first)
            inside = std::fmin(inside, static_cast<ShadeStop*>(info->stops.Get(first + 1))->offset);
        start->offset = std::fmax(start->offset, inside);
        // Moved to the front: stops are kept in order of offset.
        for (uint32_t i = info->stops.count - 1; i > first; i--) {
            ShadeStop* x = static_cast<ShadeStop*>(info->stops.Get(i));
            ShadeStop* y = static_cast<ShadeStop*>(info->stops.Get(i - 1));
            std::swap(*x, *y);
        }
    }
    return 0;
}

}  // namespace

int ContentParser::GetShadingPatternInfo(PdfObj* pattern, ShadePatternInfo** info)
{
    if (!info || !*info || !pages || !xref || !current)
        return 0;
    ShadePatternInfo* shade = *info;
    ReadDictMatrix(pages, pattern, &shade->matrix);
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
