#include "Resources/ColorSpace.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"
#include "Resources/PngWriter.h"
#include "Resources/ResData.h"

namespace {

// Largest component count of a palette entry (CMYK).
const int MAX_PALETTE_COMPONENTS = 4;

PdfObj* Item(PdfObj* arr, int i)
{
    if (!arr || arr->Type() != PDF_ARRAY)
        return nullptr;
    PdfArray* a = static_cast<PdfArray*>(arr);
    return (i >= 0 && i < a->count) ? a->items[i] : nullptr;
}

bool NameIs(PdfObj* obj, const char* text)
{
    return obj && obj->Type() == PDF_NAME && static_cast<PdfName*>(obj)->str &&
           strcmp(static_cast<PdfName*>(obj)->str, text) == 0;
}

// An object parsed by number, released when this goes out of scope.
struct Parsed {
    Parsed(PdfXref* xref, PdfObj* ref, char* buf, int size)
    {
        if (ref && ref->Type() == PDF_INDIRECT)
            ParseIndirectObject(&obj, xref, static_cast<PdfIndirect*>(ref)->refNum, 0, buf, size);
    }
    ~Parsed() { delete obj; }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;
    PdfObj* obj = nullptr;
};

// The code of a colour space value: a name's own code, an array's first element's.
ColorSpace CodeOf(PdfObj* v)
{
    if (v && v->Type() == PDF_ARRAY)
        return NameToCS(Item(v, 0));
    return NameToCS(v);
}

// Palette entry i of `ncomp` components as R G B.
void ToRgb(const unsigned char* src, int ncomp, unsigned char* rgb)
{
    if (ncomp == 1)
        rgb[0] = rgb[1] = rgb[2] = src[0];
    else if (ncomp == 4)
        CmykToRgb(src, rgb);
    else
        memcpy(rgb, src, 3);
}

// A Lab palette entry: L over 0..100, a and b over the space's ranges.
void LabEntryToRgb(const unsigned char* src, const LabParams& lab, unsigned char* rgb)
{
    double v[3] = {src[0] * 100.0 / 255, lab.range[0] + src[1] * (lab.range[1] - lab.range[0]) / 255,
                   lab.range[2] + src[2] * (lab.range[3] - lab.range[2]) / 255};
    double out[3];
    LabToRgb(v, lab.whitePoint, out);
    for (int c = 0; c < 3; c++)
        rgb[c] = (unsigned char)lround(out[c] * 255);
}

}  // namespace

ColorSpace NameToCS(PdfObj* name)
{
    static const struct {
        const char* text;
        ColorSpace code;
    } names[] = {
        {"DeviceGray", CS_DEVICEGRAY}, {"DeviceRGB", CS_DEVICERGB}, {"DeviceCMYK", CS_DEVICECMYK},
        {"Pattern", CS_PATTERN},       {"ICCBased", CS_ICCBASED},   {"Indexed", CS_INDEXED},
        {"CalRGB", CS_CALRGB},         {"CalGray", CS_CALGRAY},
    };
    for (const auto& n : names)
        if (NameIs(name, n.text))
            return n.code;
    return CS_OTHER;
}

int Channels(ColorSpace cs)
{
    switch (cs) {
    case CS_DEVICEGRAY: return 1;
    case CS_DEVICERGB: return 3;
    case CS_DEVICECMYK: return 4;
    case CS_ICCBASED: return 3;
    default: return 0;
    }
}

bool NumberOf(PdfObj* obj, double* out)
{
    if (obj && obj->Type() == PDF_NUMBER) {
        *out = static_cast<PdfNumber*>(obj)->value;
        return true;
    }
    if (obj && obj->Type() == PDF_REAL && std::isfinite(static_cast<PdfReal*>(obj)->value)) {
        *out = static_cast<PdfReal*>(obj)->value;
        return true;
    }
    return false;
}

void CmykToRgb(const unsigned char cmyk[4], unsigned char rgb[3])
{
    for (int c = 0; c < 3; c++) {
        int sum = cmyk[c] + cmyk[3];
        rgb[c] = (unsigned char)(255 - (sum > 255 ? 255 : sum));
    }
}

void LabToRgb(const double lab[3], const double whitePoint[3], double rgb[3])
{
    // X = Xw * inverse(fx) and so on; scaling X, Y and Z by the ratio of the sRGB white to
    // the space's white leaves the white point out of the result: its white is sRGB white.
    (void)whitePoint;
    static const double d65[3] = {0.9505, 1.0, 1.0890};
    // The inverse of the Lab companding function, relative to the white point.
    auto inverse = [](double t) {
        const double delta = 6.0 / 29;
        return t > delta ? t * t * t : 3 * delta * delta * (t - 4.0 / 29);
    };
    double fy = (lab[0] + 16) / 116;
    double f[3] = {fy + lab[1] / 500, fy, fy - lab[2] / 200};
    double xyz[3];
    for (int i = 0; i < 3; i++)
        xyz[i] = inverse(f[i]) * d65[i];  // X / Xw scaled to the sRGB white
    const double m[3][3] = {{3.2406, -1.5372, -0.4986},
                            {-0.9689, 1.8758, 0.0415},
                            {0.0557, -0.2040, 1.0570}};
    for (int c = 0; c < 3; c++) {
        double v = m[c][0] * xyz[0] + m[c][1] * xyz[1] + m[c][2] * xyz[2];
        v = v <= 0.0031308 ? 12.92 * v : 1.055 * pow(v, 1 / 2.4) - 0.055;
        rgb[c] = std::isfinite(v) ? (v < 0 ? 0 : v > 1 ? 1 : v) : 0;
    }
}

LabParams ReadLabParams(PdfObj* dict)
{
    LabParams p;
    if (!dict || dict->Type() != PDF_DICT)
        return p;
    PdfObj* white = ResourceValue(dict, "WhitePoint");
    double wp[3];
    if (white && white->Type() == PDF_ARRAY && static_cast<PdfArray*>(white)->count == 3 &&
        NumberOf(Item(white, 0), &wp[0]) && NumberOf(Item(white, 1), &wp[1]) &&
        NumberOf(Item(white, 2), &wp[2]) && wp[0] > 0 && wp[1] > 0 && wp[2] > 0)
        memcpy(p.whitePoint, wp, sizeof wp);
    PdfObj* range = ResourceValue(dict, "Range");
    double r[4];
    if (range && range->Type() == PDF_ARRAY && static_cast<PdfArray*>(range)->count == 4 &&
        NumberOf(Item(range, 0), &r[0]) && NumberOf(Item(range, 1), &r[1]) &&
        NumberOf(Item(range, 2), &r[2]) && NumberOf(Item(range, 3), &r[3]) && r[0] <= r[1] &&
        r[2] <= r[3])
        memcpy(p.range, r, sizeof r);
    return p;
}

IndexColorSpace::IndexColorSpace()
    : ColorSpaceRecord(CS_INDEXED), base(CS_OTHER), hival(0),
      lookup((unsigned char*)calloc(INDEX_PALETTE_ENTRIES, 3))
{
}

IndexColorSpace::~IndexColorSpace()
{
    free(lookup);
}

IccColorSpace::IccColorSpace() : ColorSpaceRecord(CS_ICCBASED), alternate(CS_OTHER), N(0) {}

IndexColorSpace* AsIndexed(ColorSpaceRecord* record)
{
    return record && record->cs == CS_INDEXED ? dynamic_cast<IndexColorSpace*>(record) : nullptr;
}

IccColorSpace* AsIcc(ColorSpaceRecord* record)
{
    return record && record->cs == CS_ICCBASED ? dynamic_cast<IccColorSpace*>(record) : nullptr;
}

ColorSpaceRecord* PdfPageTree::GetColorSpace(PdfObj* cs)
{
    if (!cs)
        return nullptr;
    Parsed top(xref, cs, parseBuf, sizeof parseBuf);
    if (cs->Type() == PDF_INDIRECT)
        cs = top.obj;
    if (!cs)
        return nullptr;
    if (cs->Type() == PDF_NAME)
        return new ColorSpaceRecord(NameToCS(cs));
    if (cs->Type() != PDF_ARRAY)
        return nullptr;

    switch (NameToCS(Item(cs, 0))) {
    case CS_INDEXED: {
        PdfObj* baseItem = Item(cs, 1);
        PdfObj* hiItem = Item(cs, 2);
        PdfObj* lookupItem = Item(cs, 3);
        if (!baseItem || !hiItem || !lookupItem)
            return nullptr;

        int hival;
        if (hiItem->Type() == PDF_NUMBER)
            hival = static_cast<PdfNumber*>(hiItem)->value;
        else if (hiItem->Type() == PDF_REAL)
            hival = PdfRealToInt(static_cast<PdfReal*>(hiItem)->value);
        else
            return nullptr;
        if (hival < 0)
            return nullptr;
        if (hival >= INDEX_PALETTE_ENTRIES)
            hival = INDEX_PALETTE_ENTRIES - 1;

        // The base, and from it how many bytes one palette entry takes.
        Parsed baseObj(xref, baseItem, parseBuf, sizeof parseBuf);
        PdfObj* baseCs = baseItem->Type() == PDF_INDIRECT ? baseObj.obj : baseItem;
        int base = CodeOf(baseCs);
        int ncomp = 3;
        bool lab = false;
        LabParams labParams;
        if (baseCs && baseCs->Type() == PDF_ARRAY && NameIs(Item(baseCs, 0), "Lab")) {
            lab = true;
            PdfObj* dict = Item(baseCs, 1);
            Parsed dictObj(xref, dict, parseBuf, sizeof parseBuf);
            labParams = ReadLabParams(dict && dict->Type() == PDF_INDIRECT ? dictObj.obj : dict);
        } else if (base == CS_DEVICEGRAY || base == CS_CALGRAY) {
            ncomp = 1;
        } else if (base == CS_DEVICECMYK) {
            ncomp = 4;
        } else if (base == CS_ICCBASED) {
            Parsed profile(xref, Item(baseCs, 1), parseBuf, sizeof parseBuf);
            PdfNumber n;
            PdfKey key("N");
            if (profile.obj && GetNumber(n, &key, profile.obj) == 0 &&
                (n.value == 1 || n.value == 4))
                ncomp = n.value;
        }

        IndexColorSpace* ics = new IndexColorSpace;
        if (!ics->lookup) {
            delete ics;
            return nullptr;
        }
        ics->base = base;
        ics->hival = hival;

        const int need = (hival + 1) * ncomp;
        unsigned char raw[INDEX_PALETTE_ENTRIES * MAX_PALETTE_COMPONENTS];
        memset(raw, 0, sizeof raw);
        bool haveLookup = false;

        Parsed lookupObj(xref, lookupItem, parseBuf, sizeof parseBuf);
        PdfObj* table = lookupItem->Type() == PDF_INDIRECT ? lookupObj.obj : lookupItem;
        if (table && table->Type() == PDF_STRING) {
            PdfString* s = static_cast<PdfString*>(table);
            int n = s->str ? (s->len < need ? s->len : need) : 0;
            if (n > 0)
                memcpy(raw, s->str, (size_t)n);
            haveLookup = true;
        } else if (table && table->Type() == PDF_DICT && lookupItem->Type() == PDF_INDIRECT) {
            XrefEntry* e = xref->Entry(static_cast<PdfIndirect*>(lookupItem)->refNum);
            // Only a stream has data; a plain dictionary leaves the offset unset.
            if (e && e->streamOffset > 0) {
                PdfNumber length;
                PdfName filter;
                PdfKey lengthKey("Length"), filterKey("Filter");
                GetNumber(length, &lengthKey, table);
                // A filter array of one name is that filter, as producers write it either way.
                if (GetName(filter, &filterKey, table) != 0) {
                    PdfArray filters;
                    if (GetArray(filters, &filterKey, table) == 0 && filters.count == 1)
                        GetName(filter, 0, &filters);
                }
                int len = length.value > 0 ? length.value : 0;
                if (filter.str && strcmp(filter.str, "FlateDecode") == 0) {
                    DecodeFlateToMem(xref, lookupItem, (char*)raw, len, need);
                } else {
                    int n = len < need ? len : need;
                    if (n > 0 && pdfseek(xref->fp, e->streamOffset, SEEK_SET) == 0)
                        pdfread(xref->fp, raw, n);
                }
                haveLookup = true;
            }
        }
        if (!haveLookup) {
            delete ics;
            return nullptr;
        }
        for (int i = 0; i <= hival; i++) {
            if (lab)
                LabEntryToRgb(raw + i * ncomp, labParams, ics->lookup + i * 3);
            else
                ToRgb(raw + i * ncomp, ncomp, ics->lookup + i * 3);
        }
        return ics;
    }
    case CS_ICCBASED: {
        IccColorSpace* icc = new IccColorSpace;
        Parsed profile(xref, Item(cs, 1), parseBuf, sizeof parseBuf);
        if (profile.obj && profile.obj->Type() == PDF_DICT) {
            PdfNumber n;
            PdfName alt;
            PdfKey nKey("N"), altKey("Alternate");
            GetNumber(n, &nKey, profile.obj);
            GetName(alt, &altKey, profile.obj);
            icc->N = n.value;
            icc->alternate = n.value == 3 ? CS_DEVICERGB : NameToCS(&alt);
        }
        return icc;
    }
    default:
        return nullptr;
    }
}

unsigned char* IndexToRgb(const IndexColorSpace* ics, const void* data, int width, int height,
                          int bpc)
{
    if (!ics || !ics->lookup || !data || width <= 0 || height <= 0 ||
        (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8))
        return nullptr;
    const uint64_t outBytes = (uint64_t)width * (uint64_t)height * 3;
    if (outBytes > PNG_MAX_BUFFER_BYTES)
        return nullptr;
    unsigned char* out = (unsigned char*)malloc((size_t)outBytes);
    if (!out)
        return nullptr;

    // Every row starts on a byte boundary, whatever its last byte leaves unused.
    const size_t rowIn = ((size_t)width * (size_t)bpc + 7) / 8;
    const unsigned mask = (1u << bpc) - 1;
    const unsigned char* in = (const unsigned char*)data;
    unsigned char* o = out;
    for (int y = 0; y < height; y++) {
        const unsigned char* row = in + (size_t)y * rowIn;
        for (int x = 0; x < width; x++) {
            size_t bit = (size_t)x * (size_t)bpc;
            unsigned shift = 8 - bpc - (unsigned)(bit % 8);
            unsigned index = ((unsigned)row[bit / 8] >> shift) & mask;
            memcpy(o, ics->lookup + index * 3, 3);
            o += 3;
        }
    }
    return out;
}

int PdfPageTree::IndexToPng(IndexColorSpace* ics, int, void* data, int width, int height,
                            int bitsPerComponent, char* path)
{
    if (!path)
        return -1;
    unsigned char* out = IndexToRgb(ics, data, width, height, bitsPerComponent);
    if (!out)
        return -1;
    ImageBufToPNG(path, out, width, height, 0);
    free(out);
    return 0;
}
