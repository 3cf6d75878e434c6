// Images and soft masks become files in the temporary folder: JPEG data passes through with
// its density set for the page markup, everything else is decoded, brought to 8 bits and
// written as PNG. Each object is extracted once; its entry's path is the done-marker, and it
// is set only after the file is complete, so a reader never finds a path to a missing file.
#include "Resources/ImageExtract.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/ColorSpace.h"
#include "Resources/JpegReader.h"
#include "Resources/PaintColour.h"
#include "Resources/PdfPageTree.h"
#include "Resources/PngWriter.h"
#include "Resources/ResData.h"

namespace {

// The alpha of a soft mask whose filter this system cannot decode: 40 % opaque.
const unsigned char UNKNOWN_MASK_ALPHA = 0x66;

int Number(PdfPageTree* t, PdfObj* dict, const char* key)
{
    PdfKey k(key);
    PdfNumber n;
    n.value = 0;
    t->GetNumber(n, &k, dict);
    return n.value;
}

bool NameIs(PdfObj* obj, const char* text)
{
    return obj && obj->Type() == PDF_NAME && static_cast<PdfName*>(obj)->str &&
           strcmp(static_cast<PdfName*>(obj)->str, text) == 0;
}

bool SubtypeIsImage(PdfPageTree* t, PdfObj* dict)
{
    PdfKey k("Subtype");
    PdfName n;
    t->GetName(n, &k, dict);
    return n.str && strcmp(n.str, "Image") == 0;
}

// "%s%s%03d.<ext>" into a path buffer; false when it does not fit.
bool ImagePath(char* out, const char* dir, int objNum, const char* ext)
{
    int n = snprintf(out, PDF_MAX_PATH, "%s%s%03d.%s", dir, "IMG_", objNum, ext);
    return n > 0 && n < PDF_MAX_PATH;
}

// A stale file of the same name must not pass for the one about to be written.
void Clear(const char* path)
{
    remove(path);
}

// Data a reader cannot decode (no start marker, no frame header) is not written: the image
// is left out instead of packed broken (1). -1 when the file could not be written.
int WriteJpeg(const char* path, const ByteBuffer& data)
{
    if (!JpegHasFrame(data.data, data.size))
        return 1;
    ByteBuffer fixed;
    int rc = -1;
    if (JpegAt96Dpi(data.data, data.size, &fixed) == 0 && fixed.size > 0)
        rc = WriteResourceFile(path, fixed.data, (size_t)fixed.size);
    free(fixed.data);
    return rc;
}

// The entry takes the file and the record; a record left there before is replaced.
void Record(XrefEntry* e, const char* path, ImageInfo* info)
{
    free(e->path);
    e->path = strdup(path);
    delete e->resData;
    e->resData = info;
}

// Components of an image's samples as this system renders them: 1 gray, 3 RGB, 4 CMYK
// (converted to RGB when written), or 0 when it has no rendering here (the unmodelled
// spaces). A profile is taken by its component count, which is what the data holds, and by
// its alternate only when it gives none. A bare /Indexed or /ICCBased name carries no palette
// or profile: no rendering either.
int ImageComponents(ColorSpaceRecord* cs)
{
    if (AsIndexed(cs))
        return 1;
    if (IccColorSpace* icc = AsIcc(cs)) {
        if (icc->N == 1 || icc->N == 3 || icc->N == 4)
            return icc->N;
        switch (icc->alternate) {
        case CS_DEVICEGRAY: return 1;
        case CS_DEVICERGB: return 3;
        case CS_ICCBASED: return 3;
        case CS_DEVICECMYK: return 4;
        default: return 0;
        }
    }
    switch (cs->cs) {
    case CS_DEVICEGRAY: return 1;
    case CS_DEVICERGB: return 3;
    case CS_DEVICECMYK: return 4;
    default: return 0;
    }
}

bool IsTrue(PdfObj* obj)
{
    return obj && obj->Type() == PDF_BOOL && static_cast<PdfBool*>(obj)->value;
}

// The numbers of a Decode array, at most `max` of them; 0 when there is none or an item is
// not a number.
int ReadDecode(PdfObj* decode, double* out, int max)
{
    if (!decode || decode->Type() != PDF_ARRAY)
        return 0;
    PdfArray* a = static_cast<PdfArray*>(decode);
    int n = a->count < max ? a->count : max;
    for (int i = 0; i < n; i++)
        if (!NumberOf(a->items[i], &out[i]))
            return 0;
    return n;
}

// Whether a stencil's Decode array is [1 0]: samples of 1 paint instead of 0.
bool StencilInverted(PdfObj* decode)
{
    double d[2];
    return ReadDecode(decode, d, 2) == 2 && d[0] > d[1];
}

// Whether an image of these sizes may be decoded into a pixel block at all.
bool WithinPixelCap(int width, int height)
{
    return width > 0 && height > 0 && (uint64_t)width * (uint64_t)height <= IMAGE_MAX_PIXELS;
}

// Whether `have` decoded bytes justify a block of `need`: a stream cut short is padded, but
// a few bytes standing for a huge declared image leave it out instead.
bool DataJustifies(int64_t have, int64_t need)
{
    return have > 0 && need > 0 && need <= have * (int64_t)IMAGE_MAX_PAD_FACTOR;
}

// Whether every stage of a Filter value is one the chain decodes. A reference item is
// followed (a name is short: a small token buffer does).
bool FiltersKnown(PdfXref* xref, PdfObj* filter)
{
    if (!filter)
        return true;
    PdfObj* items[1] = {filter};
    PdfObj** list = items;
    int count = 1;
    if (filter->Type() == PDF_ARRAY) {
        list = static_cast<PdfArray*>(filter)->items;
        count = static_cast<PdfArray*>(filter)->count;
    }
    for (int i = 0; i < count; i++) {
        PdfObj* item = list[i];
        PdfObj* parsed = nullptr;
        if (item && item->Type() == PDF_INDIRECT) {
            char buf[64];
            ParseIndirectObject(&parsed, xref, static_cast<PdfIndirect*>(item)->refNum, 0, buf,
                                sizeof buf);
            item = parsed;
        }
        bool known = NameIs(item, "FlateDecode") || NameIs(item, "LZWDecode") ||
                     NameIs(item, "ASCII85Decode") || NameIs(item, "DCTDecode");
        delete parsed;
        if (!known)
            return false;
    }
    return true;
}

PdfObj* DirectValue(PdfObj* dict, const char* key)
{
    return ResourceValue(dict, key);
}

// Zeros appended up to `size` bytes: what a truncated stream lacks.
bool PadTo(ByteBuffer* b, int64_t size)
{
    static const unsigned char zeros[4096] = {0};
    while (b->size < size) {
        int64_t n = size - b->size;
        if (n > (int64_t)sizeof zeros)
            n = sizeof zeros;
        if (b->Append(zeros, (int)n) != 0)
            return false;
    }
    return true;
}

// An image object's dictionary (the caller deletes it), or null when it is none.
PdfObj* ParseImageDict(PdfPageTree* t, int objNum)
{
    PdfObj* obj = nullptr;
    ParseIndirectObject(&obj, t->xref, objNum, 0, t->parseBuf, sizeof t->parseBuf);
    if (!obj || obj->Type() != PDF_DICT || !SubtypeIsImage(t, obj)) {
        delete obj;
        return nullptr;
    }
    return obj;
}

// The stream's data through its filters into *data. The result is 0 when the data passed
// through undecoded (JPEG) and are to be written as they are.
FilterResult ReadImageData(PdfPageTree* t, int offset, PdfObj* filter, int length, ByteBuffer* data)
{
    data->growStep = 1024;
    FilterResult passed = 1;
    if (pdfseek(t->xref->fp, offset, SEEK_SET) == 0)
        t->DecodeFiltersToMem(t->xref->fp, filter, length, data, &passed);
    return passed;
}

ImageInfo* NewInfo(int width, int bpc, int height)
{
    ImageInfo* info = new ImageInfo;
    info->width = width;
    info->bitsPerComponent = bpc;
    info->height = height;
    return info;
}

// The packed bits of a stencil (`size` bytes the data gave, padded to its full size) made
// ready for Image1BppBufToPNGGray, which leaves set bits transparent: with Decode [1 0] every
// bit is flipped, and the padding never paints.
void StencilBits(unsigned char* bits, int64_t size, int64_t full, bool inverted)
{
    for (int64_t i = 0; i < full; i++)
        bits[i] = i >= size ? 0xFF : inverted ? (unsigned char)~bits[i] : bits[i];
}

// An image mask (ImageMask true) becomes a PNG that is opaque where it paints and transparent
// elsewhere: drawn by Do it is an opacity mask over the fill colour, named by another image's
// /Mask it is that image's opacity mask. Its record says so (stencil).
int ExtractStencil(PdfPageTree* t, int objNum, XrefEntry* e, PdfObj* obj)
{
    int width = Number(t, obj, "Width");
    int height = Number(t, obj, "Height");
    int bpc = Number(t, obj, "BitsPerComponent");
    int64_t packed = PackedImageBytes(width, height, 1, 1);
    char path[PDF_MAX_PATH];
    if ((bpc != 0 && bpc != 1) || packed < 0 || !WithinPixelCap(width, height) ||
        !ImagePath(path, t->tmpDir, objNum, "png") ||
        Predicted(t->xref, DirectValue(obj, "DecodeParms")))
        return -1;
    ByteBuffer data;
    FilterResult passed =
        ReadImageData(t, e->streamOffset, DirectValue(obj, "Filter"), Number(t, obj, "Length"), &data);
    int rc = -1;
    int64_t have = data.size;
    if (passed != 0 && DataJustifies(have, packed) && PadTo(&data, packed)) {
        StencilBits(data.data, have, packed, StencilInverted(DirectValue(obj, "Decode")));
        Clear(path);
        if (Image1BppBufToPNGGray(path, (char*)data.data, width, height) == 0) {
            ImageInfo* info = NewInfo(width, 1, height);
            info->stencil = true;
            Record(e, path, info);
            rc = 0;
        } else {
            t->FileNotWritten(path, errno);
        }
    }
    free(data.data);
    return rc;
}

// A space the device path does not take is converted the way fills in it are; one that
// paints nothing (the colorant None) has no rendering.
ImageSpace SpaceOf(PdfPageTree* t, PdfObj* csValue, ColorSpaceRecord* cs)
{
    ImageSpace s;
    s.work = &t->functionWork;
    s.comps = cs ? ImageComponents(cs) : 0;
    s.indexed = AsIndexed(cs);
    if (s.comps != 0 || !csValue || (cs && cs->cs != CS_CALGRAY && cs->cs != CS_CALRGB &&
                                     cs->cs != CS_OTHER))
        return s;
    PaintSpaceRef paint = LoadPaintSpace(t, csValue);
    if (paint && paint->comps >= 1 && paint->comps <= FUNCTION_MAX_COMPONENTS &&
        (paint->family == PaintSpace::GRAY || paint->family == PaintSpace::RGB ||
         paint->family == PaintSpace::LAB || paint->family == PaintSpace::TINT)) {
        s.paint = paint;
        s.comps = paint->comps;
    }
    return s;
}

// A colour-key /Mask: an array (or a reference to one) of a minimum and a maximum for each
// of `comps` components, integers as the samples are stored. false when the value is none.
bool ReadColourKey(PdfXref* xref, PdfObj* mask, int comps, long* ranges)
{
    char buf[64];
    PdfObj* parsed = nullptr;
    PdfObj* a = ResolveResource(xref, mask, buf, sizeof buf, &parsed);
    bool ok = a && a->Type() == PDF_ARRAY && comps >= 1 &&
              static_cast<PdfArray*>(a)->count >= 2 * comps;
    for (int i = 0; ok && i < 2 * comps; i++) {
        double v;
        ok = NumberOf(static_cast<PdfArray*>(a)->items[i], &v) && v > -1e9 && v < 1e9;
        if (ok)
            ranges[i] = lround(v);
    }
    delete parsed;
    return ok;
}

// The /ColorTransform that the decode parameters give the DCTDecode stage: a dictionary for a
// single filter, the matching item of an array for a filter array, references followed.
int ColorTransformOf(PdfXref* xref, PdfObj* filter, PdfObj* parms)
{
    char buf[256];
    PdfObj* parsed = nullptr;
    PdfObj* f = ResolveResource(xref, filter, buf, sizeof buf, &parsed);
    int stage = 0;
    if (f && f->Type() == PDF_ARRAY) {
        PdfArray* a = static_cast<PdfArray*>(f);
        stage = -1;
        for (int i = 0; i < a->count && stage < 0; i++) {
            PdfObj* itemParsed = nullptr;
            if (NameIs(ResolveResource(xref, a->items[i], buf, sizeof buf, &itemParsed), "DCTDecode"))
                stage = i;
            delete itemParsed;
        }
    }
    delete parsed;
    parsed = nullptr;
    PdfObj* p = ResolveResource(xref, parms, buf, sizeof buf, &parsed);
    PdfObj* dict = p;
    if (p && p->Type() == PDF_ARRAY)
        dict = stage >= 0 && stage < static_cast<PdfArray*>(p)->count
                   ? static_cast<PdfArray*>(p)->items[stage] : nullptr;
    PdfObj* dictParsed = nullptr;
    dict = dict != p ? ResolveResource(xref, dict, buf, sizeof buf, &dictParsed) : dict;
    double v;
    int transform = JPEG_TRANSFORM_UNSET;
    if (dict && dict->Type() == PDF_DICT && NumberOf(ResourceValue(dict, "ColorTransform"), &v))
        transform = v != 0;
    delete dictParsed;
    delete parsed;
    return transform;
}

// JPEG data of four components as an RGB PNG; the record's size is the one of the pixels
// written (the JPEG's own frame). 1 when the data do not decode, -1 when the file could not
// be written.
int WriteCmykJpeg(const char* path, const ByteBuffer& data, int colorTransform, int* width,
                  int* height, PdfObj* decode)
{
    double d[8];
    SampleMap map;
    DecodeMap(d, ReadDecode(decode, d, 8), map);
    unsigned char* rgb = CmykJpegToRgb(data.data, data.size, map, colorTransform, width, height);
    if (!rgb)
        return 1;
    Clear(path);
    int rc = ImageBufToPNG((char*)path, rgb, *width, *height, 0);
    int err = errno;
    free(rgb);
    errno = err;
    return rc;
}

// Packed samples (PackedImageBytes layout, all of them there) as a PNG of gray or R G B
// pixels, with the alpha of a colour key when `key` is given, written a row at a time.
// -1 with *writeFailed set when the file could not be written.
int WriteSamples(const char* path, const unsigned char* samples, int width, int height, int bpc,
                 const ImageSpace& space, PdfObj* decodeValue, const long* key, bool* writeFailed)
{
    *writeFailed = false;
    double decode[2 * FUNCTION_MAX_COMPONENTS];
    const int given = ReadDecode(decodeValue, decode, 2 * space.comps);
    ImageRowWriter rows(path, width, height, bpc, space, given ? decode : nullptr, given, key);
    const int64_t rowBytes = rows.RowBytes();
    if (rowBytes <= 0 || !WithinPixelCap(width, height))
        return -1;
    for (int y = 0; y < height; y++) {
        if (rows.Row(samples + (size_t)rowBytes * (size_t)y, rowBytes) != 0) {
            *writeFailed = true;
            rows.Abandon();
            return -1;
        }
    }
    if (rows.End() != 0) {
        *writeFailed = true;
        return -1;
    }
    return 0;
}

}  // namespace

int PdfPageTree::ExtractStencilMask(int objNum)
{
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    if (!e)
        return -1;
    if (e->path) {
        ImageInfo* info = RecordAs<ImageInfo>(e->resData);
        return info && info->stencil ? 0 : -1;
    }
    PdfObj* obj = ParseImageDict(this, objNum);
    int rc = obj && IsTrue(DirectValue(obj, "ImageMask")) ? ExtractStencil(this, objNum, e, obj) : -1;
    delete obj;
    return rc;
}

int PdfPageTree::ExtractSingleImage(int objNum)
{
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    if (!e)
        return -1;
    if (e->path)
        return 0;

    PdfObj* obj = ParseImageDict(this, objNum);
    if (!obj)
        return -1;
    int streamOffset = e->streamOffset;
    if (IsTrue(DirectValue(obj, "ImageMask"))) {
        int rc = ExtractStencil(this, objNum, e, obj);
        delete obj;
        return rc;
    }

    PdfObj* csValue = DirectValue(obj, "ColorSpace");
    ColorSpaceRecord* cs = csValue ? GetColorSpace(csValue) : nullptr;
    ImageSpace space = SpaceOf(this, csValue, cs);
    int length = Number(this, obj, "Length");
    int width = Number(this, obj, "Width");
    int height = Number(this, obj, "Height");
    int bpc = Number(this, obj, "BitsPerComponent");
    char path[PDF_MAX_PATH];
    if (space.comps == 0 || width <= 0 || height <= 0 || !ImagePath(path, tmpDir, objNum, "png")) {
        delete cs;
        delete obj;
        return -1;
    }
    // A soft mask takes the place of any /Mask.
    PdfObj* smask = DirectValue(obj, "SMask");
    long key[2 * FUNCTION_MAX_COMPONENTS];
    bool keyed = !smask && ReadColourKey(xref, DirectValue(obj, "Mask"), space.comps, key);

    // Decoded samples go to the file a row at a time as the chain makes them; JPEG data,
    // passed through, are gathered whole.
    ByteBuffer data;
    PdfObj* filter = DirectValue(obj, "Filter");
    PdfObj* parms = DirectValue(obj, "DecodeParms");
    PdfObj* decodeValue = DirectValue(obj, "Decode");
    double decode[2 * FUNCTION_MAX_COMPONENTS];
    const int given = ReadDecode(decodeValue, decode, 2 * space.comps);
    const int64_t need = PackedImageBytes(width, height, space.comps, bpc);
    ImageRowWriter rows(path, width, height, bpc, space, given ? decode : nullptr, given,
                        keyed ? key : nullptr);
    ImageStream stream(WithinPixelCap(width, height) ? &rows : nullptr, need);
    stream.jpeg = &data;
    if (!Predicted(xref, parms) && pdfseek(xref->fp, streamOffset, SEEK_SET) == 0)
        DecodeFiltersTo(xref->fp, filter, length,
                        [&stream](const unsigned char* p, int n) { return stream.Take(p, n); },
                        &stream.passed);
    const FilterResult passed = stream.passed;
    int colorTransform = passed == 0 ? ColorTransformOf(xref, filter, parms) : JPEG_TRANSFORM_UNSET;
    // Gray, RGB or CMYK samples as they are, which JPEG data may stay.
    bool device = !space.indexed && !space.paint && !keyed;

    int rc = -1;
    bool writeFailed = false;
    if (passed != 0) {
        // A filter this system does not know (CCITTFax, JBIG2, JPX, RunLength) yields nothing:
        // the page draws nothing for the image rather than a black block. A stream cut short
        // is padded with zeros (index 0, no ink, black).
        rc = stream.Finish(&writeFailed);
    } else if (data.size <= 0) {
    } else if (device && space.comps == 4) {
        rc = WriteCmykJpeg(path, data, colorTransform, &width, &height, decodeValue);
        writeFailed = rc < 0;
    } else if (device && !JpegNeedsDecoding(data.data, data.size, colorTransform)) {
        if (ImagePath(path, tmpDir, objNum, "jpg")) {
            rc = WriteJpeg(path, data);
            writeFailed = rc < 0;
        }
    } else {
        // JPEG data that no reader would show as the PDF does: its samples, as the PDF reads
        // them, go the way of decoded data. The record's size is the JPEG's own frame.
        int comps = 0;
        unsigned char* samples =
            DecodeJpeg(data.data, data.size, colorTransform, &width, &height, &comps);
        if (samples && comps == space.comps) {
            bpc = 8;
            rc = WriteSamples(path, samples, width, height, 8, space, decodeValue,
                              keyed ? key : nullptr, &writeFailed);
        }
        free(samples);
    }
    free(data.data);
    if (writeFailed)
        FileNotWritten(path, errno);
    if (rc != 0)
        rc = -1;

    if (rc == 0) {
        ImageInfo* info = NewInfo(width, bpc, height);
        Record(e, path, info);
        PdfObj* stencil = keyed ? nullptr : DirectValue(obj, "Mask");
        if (smask && smask->Type() == PDF_INDIRECT &&
            static_cast<PdfIndirect*>(smask)->refNum != objNum) {
            info->smaskObj = static_cast<PdfIndirect*>(smask)->refNum;
            ExtractSMask(info->smaskObj);
        } else if (!smask && stencil && stencil->Type() == PDF_INDIRECT &&
                   static_cast<PdfIndirect*>(stencil)->refNum != objNum) {
            // A stencil mask shows the image only where it paints; it takes the place of a
            // soft mask, and only an image mask can be one.
            int maskNum = static_cast<PdfIndirect*>(stencil)->refNum;
            if (ExtractStencilMask(maskNum) == 0)
                info->smaskObj = maskNum;
        }
    }
    delete cs;
    delete obj;
    return rc;
}

int PdfPageTree::ExtractSMask(int objNum)
{
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    if (!e)
        return -1;
    if (e->path)
        return 0;

    PdfObj* obj = ParseImageDict(this, objNum);
    if (!obj)
        return -1;
    int streamOffset = e->streamOffset;
    int length = Number(this, obj, "Length");
    int width = Number(this, obj, "Width");
    int height = Number(this, obj, "Height");
    int bpc = Number(this, obj, "BitsPerComponent");
    if (bpc == 0)
        bpc = 8;
    PdfObj* filter = DirectValue(obj, "Filter");
    int64_t packed = PackedImageBytes(width, height, 1, bpc);
    char path[PDF_MAX_PATH];
    if (packed < 0 || !WithinPixelCap(width, height) || !ImagePath(path, tmpDir, objNum, "png")) {
        delete obj;
        return -1;
    }

    PdfObj* parms = DirectValue(obj, "DecodeParms");
    if (!FiltersKnown(xref, filter) || Predicted(xref, parms)) {
        // The same alpha everywhere: one pixel says it at any size, so nothing of the
        // declared size is allocated.
        char alpha = (char)UNKNOWN_MASK_ALPHA;
        Clear(path);
        if (ImageBufToPNGAlpha(path, &alpha, 1, 1) == 0)
            Record(e, path, NewInfo(1, 8, 1));
        else
            FileNotWritten(path, errno);
    } else {
        // One byte of alpha per pixel, a row at a time; whatever the stream does not give
        // stays transparent.
        ByteBuffer data;
        ImageSpace alphaSpace;
        alphaSpace.comps = 1;
        alphaSpace.alpha = true;
        ImageRowWriter rows(path, width, height, bpc, alphaSpace, nullptr, 0, nullptr);
        ImageStream stream(&rows, packed);
        stream.jpeg = &data;
        if (pdfseek(xref->fp, streamOffset, SEEK_SET) == 0)
            DecodeFiltersTo(xref->fp, filter, length,
                            [&stream](const unsigned char* p, int n) { return stream.Take(p, n); },
                            &stream.passed);
        bool writeFailed = false;
        if (stream.passed != 0) {
            if (stream.Finish(&writeFailed) == 0)
                Record(e, path, NewInfo(width, bpc, height));
        } else if (data.size > 0) {
            // A JPEG carries no alpha: its gray samples become the mask's, at its own size.
            int jw = 0, jh = 0, comps = 0;
            unsigned char* mask =
                DecodeJpeg(data.data, data.size, ColorTransformOf(xref, filter, parms), &jw,
                           &jh, &comps);
            if (mask && comps == 1) {
                Clear(path);
                if (ImageBufToPNGAlpha(path, (char*)mask, jw, jh) == 0)
                    Record(e, path, NewInfo(jw, 8, jh));
                else
                    writeFailed = true;
            }
            free(mask);
        }
        if (writeFailed)
            FileNotWritten(path, errno);
        free(data.data);
    }
    delete obj;
    return e->path ? 0 : -1;
}

int PdfPageTree::ExtractXObjectResource(PdfObj* xobjects)
{
    PdfObj* parsed = nullptr;
    char buf[64];
    PdfObj* dict = ResolveResource(xref, xobjects, buf, sizeof buf, &parsed);
    int rc = 0;
    if (dict && dict->Type() == PDF_DICT) {
        PdfDict* d = static_cast<PdfDict*>(dict);
        for (int i = 0; i < d->count; i++) {
            PdfObj* v = d->entries[i].value;
            if (!v || v->Type() != PDF_INDIRECT) {
                // Standard output may carry the package: the message goes to the error stream.
                fputs("Full XObject Dictionary no indirect?\n", stderr);
                rc = -1;
                break;
            }
            ExtractSingleImage(static_cast<PdfIndirect*>(v)->refNum);
        }
    }
    delete parsed;
    return rc;
}

namespace {

bool IsWhite(int c)
{
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool EndsToken(int c)
{
    return c < 0 || IsWhite(c) || strchr("()<>[]{}/%", c) != nullptr;
}

// Leaves `content` at the E of the first EI that stands as an operator: after white space
// and before white space, a delimiter or the end. Encoded data carry no length of their
// own, so this is the only way past them.
void SkipToEndImage(FILE* content)
{
    int prev = ' ';
    for (;;) {
        int c = pdfreadbyte(content);
        if (c < 0)
            return;
        if (c == 'E' && IsWhite(prev)) {
            int at = pdftell(content) - 1;
            if (pdfpeekbyte(content) == 'I') {
                pdfreadbyte(content);
                if (EndsToken(pdfpeekbyte(content))) {
                    pdfseek(content, at, SEEK_SET);
                    return;
                }
                pdfseek(content, at + 1, SEEK_SET);
            }
        }
        prev = c;
    }
}

// After the data of an unfiltered image: the EI should follow. When it does not, the
// dictionary described other data than the stream holds (a colour space given by resource
// name, a wrong size), and the EI is searched from the data's start so that scanning goes on
// at the operator after the image instead of inside its bytes.
void EndAfterData(FILE* content, int dataStart)
{
    int c;
    while ((c = pdfpeekbyte(content)) >= 0 && IsWhite(c))
        pdfreadbyte(content);
    int at = pdftell(content);
    if (pdfpeekbyte(content) == 'E') {
        pdfreadbyte(content);
        if (pdfpeekbyte(content) == 'I') {
            pdfreadbyte(content);
            if (EndsToken(pdfpeekbyte(content))) {
                pdfseek(content, at, SEEK_SET);
                return;
            }
        }
    }
    if (dataStart >= 0)
        pdfseek(content, dataStart, SEEK_SET);
    SkipToEndImage(content);
}

bool KeyIs(PdfObj* key, const char* abbreviation, const char* full)
{
    return NameIs(key, abbreviation) || NameIs(key, full);
}

enum InlineSpace { INLINE_GRAY, INLINE_RGB, INLINE_CMYK, INLINE_INDEXED, INLINE_OTHER };

InlineSpace InlineSpaceOf(const char* text)
{
    if (!*text || !strcmp(text, "G") || !strcmp(text, "DeviceGray"))
        return INLINE_GRAY;
    if (!strcmp(text, "RGB") || !strcmp(text, "DeviceRGB"))
        return INLINE_RGB;
    if (!strcmp(text, "CMYK") || !strcmp(text, "DeviceCMYK"))
        return INLINE_CMYK;
    if (!strcmp(text, "I") || !strcmp(text, "Indexed"))
        return INLINE_INDEXED;
    return INLINE_OTHER;
}

}  // namespace

int PdfPageTree::ExtractInlineImage(PdfArray* keyValues, FILE* content, ImageInfo* info,
                                    char* pngPath)
{
    if (!content)
        return -1;
    int width = 0, height = 0, bpc = 0;
    bool mask = false, filtered = false;
    PdfObj* decode = nullptr;
    PdfName space;  // empty text: gray
    space.str = strdup("");
    int count = keyValues ? keyValues->count : 0;
    for (int i = 0; i + 1 < count; i += 2) {
        PdfObj* key = keyValues->items[i];
        PdfObj* value = keyValues->items[i + 1];
        PdfNumber n;
        n.value = 0;
        if (KeyIs(key, "W", "Width")) {
            if (GetNumber(n, i + 1, keyValues) == 0)
                width = n.value;
        } else if (KeyIs(key, "H", "Height")) {
            if (GetNumber(n, i + 1, keyValues) == 0)
                height = n.value;
        } else if (KeyIs(key, "BPC", "BitsPerComponent")) {
            if (GetNumber(n, i + 1, keyValues) == 0)
                bpc = n.value;
        } else if (KeyIs(key, "CS", "ColorSpace")) {
            // [/I /RGB 1 <...>] is an indexed space: its family names the kind.
            if (value && value->Type() == PDF_ARRAY)
                GetName(space, 0, static_cast<PdfArray*>(value));
            else
                GetName(space, i + 1, keyValues);
        } else if (KeyIs(key, "D", "Decode")) {
            decode = value;
        } else if (KeyIs(key, "IM", "ImageMask")) {
            mask = value && value->Type() == PDF_BOOL && static_cast<PdfBool*>(value)->value;
        } else if (KeyIs(key, "F", "Filter")) {
            filtered = (value && value->Type() == PDF_NAME && static_cast<PdfName*>(value)->str &&
                        *static_cast<PdfName*>(value)->str) ||
                       (value && value->Type() == PDF_ARRAY && static_cast<PdfArray*>(value)->count > 0);
        }
    }

    InlineSpace kind = InlineSpaceOf(space.str ? space.str : "");
    int comps = kind == INLINE_RGB ? 3 : kind == INLINE_CMYK ? 4 : kind == INLINE_OTHER ? 3 : 1;
    if (mask) {
        comps = 1;
        if (bpc == 0)
            bpc = 1;
    }
    bool stencil = comps == 1 && bpc == 1;
    if (info) {
        info->width = width;
        info->bitsPerComponent = stencil ? 1 : 8;
        info->height = height;
        info->smaskObj = 0;
    }

    pdfreadbyte(content);  // the white space that ends ID
    int dataStart = pdftell(content);
    int64_t size = filtered ? -1 : PackedImageBytes(width, height, comps, bpc);
    if (size < 0) {
        SkipToEndImage(content);
        return -1;
    }
    // A stencil keeps its bits; gray, RGB and CMYK images become 8-bit gray or RGB files.
    // Nothing else has a rendering here, and neither has an image too large for the writers.
    bool image = kind == INLINE_GRAY || kind == INLINE_RGB || kind == INLINE_CMYK;
    bool hasFile = (stencil || (image && !mask)) && WithinPixelCap(width, height);

    if (!pngPath || !hasFile) {
        pdfseek(content, (int)size, SEEK_CUR);
        EndAfterData(content, dataStart);
        return hasFile ? 0 : -1;
    }

    // What the content holds of the declared data, read a piece at a time so that memory
    // follows the bytes actually there.
    ByteBuffer data;
    data.growStep = 4096;
    unsigned char piece[4096];
    for (int64_t left = size; left > 0;) {
        int n = pdfread(content, piece, left < (int64_t)sizeof piece ? (int)left : (int)sizeof piece);
        if (n <= 0 || data.Append(piece, n) != 0)
            break;
        left -= n;
    }
    EndAfterData(content, dataStart);
    int rc = -1;
    // A stream that ends early leaves the rest of the block zero (a stencil: unpainted).
    int64_t have = data.size;
    if (DataJustifies(data.size, size) && PadTo(&data, size)) {
        if (stencil) {
            Clear(pngPath);
            StencilBits(data.data, have, size, StencilInverted(decode));
            rc = Image1BppBufToPNGGray(pngPath, (char*)data.data, width, height);
            if (rc != 0)
                FileNotWritten(pngPath, errno);
        } else {
            // Gray, RGB and CMYK samples, converted and written a row at a time.
            ImageSpace device;
            device.comps = comps;
            bool writeFailed = false;
            rc = WriteSamples(pngPath, data.data, width, height, bpc, device, decode, nullptr,
                              &writeFailed);
            if (writeFailed)
                FileNotWritten(pngPath, errno);
        }
        rc = rc == 0 ? 0 : -1;
    }
    free(data.data);
    return rc;
}
