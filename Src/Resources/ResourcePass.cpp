#include "Resources/ResData.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

ResData::~ResData() {}

namespace {

enum { PASS_PARSE_BUF = 2048 };

// An ICC profile is the size its header declares (its first four bytes, high byte first); no
// profile is shorter than its 128-byte header.
long long ProfileNeed(PdfObj*, const unsigned char* data, int size)
{
    if (!data || size < 4)
        return -1;
    const long long declared = (long long)data[0] << 24 | data[1] << 16 | data[2] << 8 | data[3];
    return declared > 128 ? declared : 128;
}

}  // namespace

PdfObj* ResourceValue(PdfObj* dict, const char* key)
{
    return PdfDictLookup(dict, key);
}

PdfObj* ResolveResource(PdfXref* xref, PdfObj* value, char* buf, int size, PdfObj** parsed)
{
    (void)buf;
    (void)size;
    *parsed = nullptr;
    if (!value || value->Type() != PDF_INDIRECT)
        return value;
    return xref ? xref->Object(static_cast<PdfIndirect*>(value)->refNum) : nullptr;
}

int DecodeResourceStream(PdfPageTree* tree, int objNum, char* buf, int size, ByteBuffer* out,
                         PdfObj** dict, const StreamNeed& need)
{
    if (dict)
        *dict = nullptr;
    XrefEntry* e = tree->xref ? tree->xref->Entry(objNum) : nullptr;
    if (!e)
        return -1;
    PdfObj* obj = nullptr;
    ParseIndirectObject(&obj, tree->xref, objNum, 0, buf, size);
    // Only a dictionary followed by "stream" has data; its offset is set by that parse.
    if (!obj || obj->Type() != PDF_DICT || e->streamOffset <= 0) {
        delete obj;
        return -1;
    }

    PdfKey lengthKey("Length");
    PdfNumber length;
    tree->GetNumber(length, &lengthKey, obj);  // may parse "Length": seek only afterwards
    int n = length.value > 0 ? length.value : 0;

    FILE* fp = tree->xref->fp;
    long end = -1;
    if (fseek(fp, 0, SEEK_END) == 0)
        end = ftell(fp);
    if (end < e->streamOffset || pdfseek(fp, e->streamOffset, SEEK_SET) != 0) {
        delete obj;
        return -1;
    }
    // A Length past the end of the file must not size the raw read.
    if ((long)n > end - e->streamOffset)
        n = (int)(end - e->streamOffset);

    FilterResult result = 1;
    long long cap = PDF_MAX_STREAM_BYTES;
    long long first = need ? need(obj, nullptr, 0) : -1;
    if (first >= 0 && first < cap)
        cap = first;
    // The bytes the use needs, as the first ones tell: the chain stops there.
    DecodeSink sink = [&](const unsigned char* p, int len) {
        if (AppendCapped(out, p, len, cap) != 0)
            return 1;
        long long now = need ? need(obj, out->data, out->size) : -1;
        if (now >= 0 && now < cap)
            cap = now;
        if (out->size >= cap) {
            out->size = (int)cap;
            return 1;
        }
        return 0;
    };
    if (cap > 0)
        tree->DecodeFiltersTo(fp, ResourceValue(obj, "Filter"), n, sink, &result);
    if (dict)
        *dict = obj;
    else
        delete obj;
    return 0;
}

int WriteResourceFile(const char* path, const void* data, size_t size)
{
    FILE* fp = nullptr;
    if (pdfcreatfile(&fp, path) != 0)
        return -1;
    bool ok = true;
    for (size_t at = 0; at < size && ok;) {
        const int piece = size - at > (1u << 30) ? 1 << 30 : (int)(size - at);
        ok = pdfwrite(fp, (const unsigned char*)data + at, piece) == piece;
        at += (size_t)piece;
    }
    int err = errno;
    if (pdfclose(fp) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        remove(path);
        errno = err;
        return -1;
    }
    return 0;
}

int PdfPageTree::ExtractResources(int page)
{
    if (page < 0 || page >= pageCount || !pageDict)
        return -1;

    char buf[PASS_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* res = ResolveResource(xref, ResourceValue(pageDict[page], "Resources"), buf, sizeof buf, &parsed);
    if (res && res->Type() == PDF_DICT) {
        // Fonts first, then colour spaces.
        if (PdfObj* fonts = ResourceValue(res, "Font"))
            ExtractFontResource(fonts);
        if (PdfObj* spaces = ResourceValue(res, "ColorSpace"))
            ExtractColorSpace(spaces);
    }
    delete parsed;
    return UnwrittenFile(nullptr) ? -1 : 0;
}

int PdfPageTree::ExtractColorSpace(PdfObj* colorSpaces)
{
    char buf[PASS_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* spaces = ResolveResource(xref, colorSpaces, buf, sizeof buf, &parsed);
    if (!spaces || spaces->Type() != PDF_DICT) {
        delete parsed;
        return 0;
    }

    int result = 0;
    PdfDict* d = static_cast<PdfDict*>(spaces);
    for (int i = 0; i < d->count; i++) {
        if (!d->entries[i].value) {
            // Standard output carries the package or the print data: never write there.
            fprintf(stderr, "Full XObject Dictionary no indirect?\n");
            result = -1;
            break;
        }
        char entryBuf[PASS_PARSE_BUF];
        PdfObj* entryParsed = nullptr;
        PdfObj* cs = ResolveResource(xref, d->entries[i].value, entryBuf, sizeof entryBuf, &entryParsed);

        PdfArray* a = (cs && cs->Type() == PDF_ARRAY) ? static_cast<PdfArray*>(cs) : nullptr;
        PdfObj* family = (a && a->count > 0) ? a->items[0] : nullptr;
        PdfObj* profile = (a && a->count > 1) ? a->items[1] : nullptr;
        if (family && family->Type() == PDF_NAME && static_cast<PdfName*>(family)->str &&
            strcmp(static_cast<PdfName*>(family)->str, "ICCBased") == 0 && profile &&
            profile->Type() == PDF_INDIRECT) {
            int n = static_cast<PdfIndirect*>(profile)->refNum;
            XrefEntry* e = xref->Entry(n);
            char path[PDF_MAX_PATH];
            int len = snprintf(path, sizeof path, "%sprofilenf%05d.icc", tmpDir, n);
            // Each profile object is extracted once per conversion: its IccInfo is the
            // done-marker, so a profile named by many colour spaces or pages is decoded and
            // written once. An object already extracted as something else (a font file, an
            // image) keeps what it has.
            if (e && !e->resData && !e->path && len > 0 && len < (int)sizeof path) {
                ByteBuffer data;
                data.growStep = 1024;
                PdfObj* dict = nullptr;
                if (DecodeResourceStream(this, n, entryBuf, sizeof entryBuf, &data, &dict,
                                         ProfileNeed) == 0) {
                    PdfKey nKey("N");
                    PdfNumber comps;
                    GetNumber(comps, &nKey, dict);
                    IccInfo* info = new IccInfo;
                    info->N = comps.value;
                    if (WriteResourceFile(path, data.data, (size_t)data.size) == 0)
                        e->path = strdup(path);
                    else
                        result = FileNotWritten(path, errno);
                    e->resData = info;
                    delete dict;
                }
                free(data.data);
            }
        }
        delete entryParsed;
    }
    delete parsed;
    return result;
}
