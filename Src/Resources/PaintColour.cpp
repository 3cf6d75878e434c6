#include "Resources/PaintColour.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/ColorSpace.h"
#include "Resources/PdfPageTree.h"

namespace {

double Clip01(double v)
{
    if (!(v > 0))
        return 0;
    return v > 1 ? 1 : v;
}

PdfObj* Item(PdfObj* arr, int i)
{
    if (!arr || arr->Type() != PDF_ARRAY)
        return nullptr;
    PdfArray* a = static_cast<PdfArray*>(arr);
    return (i >= 0 && i < a->count) ? a->items[i] : nullptr;
}

const char* NameText(PdfObj* obj)
{
    return obj && obj->Type() == PDF_NAME ? static_cast<PdfName*>(obj)->str : nullptr;
}

PaintSpaceRef Device(PaintSpace::Family family, int comps)
{
    auto s = std::make_shared<PaintSpace>();
    s->family = family;
    s->comps = comps;
    return s;
}

PaintSpaceRef ByComponents(int n)
{
    return n == 1 ? Device(PaintSpace::GRAY, 1)
         : n == 4 ? Device(PaintSpace::CMYK, 4) : Device(PaintSpace::RGB, 3);
}

PaintSpaceRef Load(PdfPageTree* pages, PdfObj* value, int depth);

void ReadLab(PdfPageTree* pages, PdfObj* params, PaintSpace* s)
{
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* dict = ResolveResource(pages->xref, params, buf, sizeof buf, &parsed);
    PdfKey rk("Range");
    PdfArray range;
    if (dict && pages->GetArray(range, &rk, dict) == 0 && range.count == 4) {
        double r[4];
        bool ok = true;
        for (int i = 0; i < 4; i++)
            ok = ok && OperandNumber(range.items[i], &r[i]) == 0 && std::isfinite(r[i]);
        if (ok && r[0] <= r[1] && r[2] <= r[3])
            memcpy(s->labRange, r, sizeof r);
    }
    delete parsed;
}

// [/Indexed base hival lookup]: the palette as the file gives it, in base components.
PaintSpaceRef LoadIndexed(PdfPageTree* pages, PdfObj* arr, int depth)
{
    PaintSpaceRef base = Load(pages, Item(arr, 1), depth + 1);
    double hival;
    if (!base || base->family == PaintSpace::INDEXED || OperandNumber(Item(arr, 2), &hival) != 0 ||
        !(hival >= 0))
        return nullptr;
    auto s = std::make_shared<PaintSpace>();
    s->family = PaintSpace::INDEXED;
    s->base = base;
    s->hival = hival > INDEX_PALETTE_ENTRIES - 1 ? INDEX_PALETTE_ENTRIES - 1 : (int)hival;
    const size_t need = (size_t)(s->hival + 1) * (size_t)base->comps;

    PdfObj* lookup = Item(arr, 3);
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* table = ResolveResource(pages->xref, lookup, buf, sizeof buf, &parsed);
    if (table && table->Type() == PDF_STRING) {
        PdfString* str = static_cast<PdfString*>(table);
        size_t n = str->str && str->len > 0 ? std::min(need, (size_t)str->len) : 0;
        s->palette.assign(str->str, str->str + n);
    } else if (table && table->Type() == PDF_DICT && lookup->Type() == PDF_INDIRECT) {
        ByteBuffer data;
        PdfObj* dict = nullptr;
        // Only the entries up to hival are decoded.
        StreamNeed bound = [need](PdfObj*, const unsigned char*, int) { return (long long)need; };
        if (DecodeResourceStream(pages, static_cast<PdfIndirect*>(lookup)->refNum, buf,
                                 sizeof buf, &data, &dict, bound) == 0 && data.size > 0)
            s->palette.assign(data.data, data.data + std::min(need, (size_t)data.size));
        delete dict;
        free(data.data);
    } else {
        s.reset();
    }
    delete parsed;
    if (s)
        s->palette.resize(need, 0);
    return s;
}

// [/Separation name alternate tint] and [/DeviceN [names] alternate tint ...].
PaintSpaceRef LoadTint(PdfPageTree* pages, PdfObj* arr, bool deviceN, int depth)
{
    auto s = std::make_shared<PaintSpace>();
    s->family = PaintSpace::TINT;
    PdfObj* names = Item(arr, 1);
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    names = ResolveResource(pages->xref, names, buf, sizeof buf, &parsed);
    int count = 0, none = 0;
    bool all = false;
    if (!deviceN) {
        const char* n = NameText(names);
        count = 1;
        none = n && strcmp(n, "None") == 0;
        all = n && strcmp(n, "All") == 0;
    } else if (names && names->Type() == PDF_ARRAY) {
        PdfArray* a = static_cast<PdfArray*>(names);
        count = a->count;
        for (int i = 0; i < a->count; i++) {
            const char* n = NameText(a->items[i]);
            none += n && strcmp(n, "None") == 0;
        }
    }
    delete parsed;
    if (count < 1 || count > FUNCTION_MAX_COMPONENTS)
        return nullptr;
    s->comps = count;
    if (none == count) {
        s->family = PaintSpace::NOTHING;
        return s;
    }
    s->all = all;
    s->base = Load(pages, Item(arr, 2), depth + 1);
    FunctionRef tint = LoadFunction(pages, Item(arr, 3));
    // A transform that does not fit the spaces is not used.
    if (s->base && tint && tint->inputs == count && tint->outputs == s->base->comps &&
        s->base->family != PaintSpace::NOTHING)
        s->tint = tint;
    return s;
}

PaintSpaceRef Load(PdfPageTree* pages, PdfObj* value, int depth)
{
    if (!value || depth > COLOURSPACE_MAX_DEPTH)
        return nullptr;
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* v = ResolveResource(pages->xref, value, buf, sizeof buf, &parsed);
    PdfObj* family = v && v->Type() == PDF_ARRAY ? Item(v, 0) : v;
    const char* name = NameText(family);
    PaintSpaceRef s;
    if (!name) {
    } else if (!strcmp(name, "DeviceGray") || !strcmp(name, "CalGray")) {
        s = Device(PaintSpace::GRAY, 1);
    } else if (!strcmp(name, "DeviceRGB") || !strcmp(name, "CalRGB")) {
        s = Device(PaintSpace::RGB, 3);
    } else if (!strcmp(name, "DeviceCMYK")) {
        s = Device(PaintSpace::CMYK, 4);
    } else if (!strcmp(name, "ICCBased")) {
        if (v != family)
            s = ByComponents(ProfileComponents(pages, Item(v, 1)));
    } else if (!strcmp(name, "Lab")) {
        auto lab = std::make_shared<PaintSpace>();
        lab->family = PaintSpace::LAB;
        lab->comps = 3;
        if (v != family)
            ReadLab(pages, Item(v, 1), lab.get());
        s = lab;
    } else if (!strcmp(name, "Indexed")) {
        if (v != family)
            s = LoadIndexed(pages, v, depth);
    } else if (!strcmp(name, "Separation") || !strcmp(name, "DeviceN")) {
        if (v != family)
            s = LoadTint(pages, v, name[0] == 'D', depth);
    }
    delete parsed;
    return s;
}

double LabInverse(double t)
{
    const double d = 6.0 / 29.0;
    return t > d ? t * t * t : 3 * d * d * (t - 4.0 / 29.0);
}

double SrgbGamma(double v)
{
    v = Clip01(v);
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// L*a*b* relative to the space's white point, which is taken to D50 by scaling (the white
// point itself maps to white whatever it is), then shown as sRGB.
DeviceColour LabToRgb(const PaintSpace& s, const double* c)
{
    double L = c[0] < 0 ? 0 : c[0] > 100 ? 100 : c[0];
    double a = std::fmin(std::fmax(c[1], s.labRange[0]), s.labRange[1]);
    double b = std::fmin(std::fmax(c[2], s.labRange[2]), s.labRange[3]);
    if (!std::isfinite(L) || !std::isfinite(a) || !std::isfinite(b))
        L = a = b = 0;
    double fy = (L + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
    // Relative to the white point, then scaled to the D50 white.
    double X = LabInverse(fx) * 0.9642, Y = LabInverse(fy), Z = LabInverse(fz) * 0.8249;
    DeviceColour out;
    out.kind = CS_DEVICERGB;
    out.c[0] = SrgbGamma(3.1338561 * X - 1.6168667 * Y - 0.4906146 * Z);
    out.c[1] = SrgbGamma(-0.9787684 * X + 1.9161415 * Y + 0.0334540 * Z);
    out.c[2] = SrgbGamma(0.0719453 * X - 0.2289914 * Y + 1.4052427 * Z);
    return out;
}

DeviceColour Convert(const PaintSpace& s, const double* comps, FunctionWork* work, int depth)
{
    DeviceColour out;
    if (depth > COLOURSPACE_MAX_DEPTH)
        return out;
    switch (s.family) {
    case PaintSpace::GRAY:
        out.kind = CS_DEVICEGRAY;
        out.c[0] = comps[0];
        break;
    case PaintSpace::RGB:
        out.kind = CS_DEVICERGB;
        memcpy(out.c, comps, 3 * sizeof(double));
        break;
    case PaintSpace::CMYK:
        out.kind = CS_DEVICECMYK;
        memcpy(out.c, comps, 4 * sizeof(double));
        break;
    case PaintSpace::LAB:
        out = LabToRgb(s, comps);
        break;
    case PaintSpace::INDEXED: {
        double i = std::floor(comps[0] + 0.5);
        int index = !(i > 0) ? 0 : i > s.hival ? s.hival : (int)i;
        const int n = s.base->comps;
        double base[FUNCTION_MAX_COMPONENTS];
        for (int k = 0; k < n; k++) {
            double byte = s.palette[(size_t)index * n + k] / 255.0;
            // A Lab palette spans L 0..100 and the a, b ranges.
            if (s.base->family == PaintSpace::LAB)
                byte = k == 0 ? byte * 100
                     : s.base->labRange[2 * k - 2] +
                           byte * (s.base->labRange[2 * k - 1] - s.base->labRange[2 * k - 2]);
            base[k] = byte;
        }
        out = Convert(*s.base, base, work, depth + 1);
        break;
    }
    case PaintSpace::TINT: {
        if (s.all) {
            out.kind = CS_DEVICEGRAY;
            out.c[0] = 1 - Clip01(comps[0]);
        } else if (s.tint) {
            double tints[FUNCTION_MAX_COMPONENTS], alt[FUNCTION_MAX_COMPONENTS];
            for (int k = 0; k < s.comps; k++)
                tints[k] = Clip01(comps[k]);
            EvalFunction(*s.tint, tints, alt, work);
            out = Convert(*s.base, alt, work, depth + 1);
        } else {
            double most = 0;
            for (int k = 0; k < s.comps; k++)
                most = std::fmax(most, Clip01(comps[k]));
            out.kind = CS_DEVICEGRAY;
            out.c[0] = 1 - most;
        }
        break;
    }
    case PaintSpace::NOTHING:
        break;
    }
    return out;
}

}  // namespace

PaintSpaceRef LoadPaintSpace(PdfPageTree* pages, PdfObj* value)
{
    return pages ? Load(pages, value, 0) : nullptr;
}

DeviceColour ToDevice(const PaintSpace& space, const double* comps, FunctionWork* work)
{
    return Convert(space, comps, work, 0);
}

void InitialColour(const PaintSpace& space, double* comps)
{
    for (int k = 0; k < space.comps; k++)
        comps[k] = space.family == PaintSpace::TINT ? 1.0 : 0.0;
    if (space.family == PaintSpace::CMYK)
        comps[3] = 1.0;
}

void DeviceToRgb(const DeviceColour& colour, double* rgb)
{
    switch (colour.kind) {
    case CS_DEVICEGRAY:
        rgb[0] = rgb[1] = rgb[2] = Clip01(colour.c[0]);
        break;
    case CS_DEVICERGB:
        for (int i = 0; i < 3; i++)
            rgb[i] = Clip01(colour.c[i]);
        break;
    case CS_DEVICECMYK:
        for (int i = 0; i < 3; i++)
            rgb[i] = 1 - Clip01(Clip01(colour.c[i]) + Clip01(colour.c[3]));
        break;
    default:
        rgb[0] = rgb[1] = rgb[2] = 0;
        break;
    }
}

double PaintLuminosity(const double* rgb)
{
    // In hundredths, so that white comes out as exactly 1.
    return Clip01((30 * rgb[0] + 59 * rgb[1] + 11 * rgb[2]) / 100);
}

int ProfileComponents(PdfPageTree* pages, PdfObj* ref)
{
    if (!pages || !ref || ref->Type() != PDF_INDIRECT)
        return 0;
    int num = static_cast<PdfIndirect*>(ref)->refNum;
    XrefEntry* e = pages->xref ? pages->xref->Entry(num) : nullptr;
    if (IccInfo* icc = e ? RecordAs<IccInfo>(e->resData) : nullptr)
        return icc->N;
    char buf[512];
    PdfObj* profile = nullptr;
    ParseIndirectObject(&profile, pages->xref, num, 0, buf, sizeof buf);
    PdfNumber n;
    PdfKey key("N");
    if (profile)
        pages->GetNumber(n, &key, profile);
    delete profile;
    return n.value;
}
