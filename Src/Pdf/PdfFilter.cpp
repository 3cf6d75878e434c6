#include "Pdf/PdfFilter.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "Pdf/FileAccess.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

int ByteBuffer::Append(const void* bytes, int n)
{
    if (n <= 0)
        return 0;
    long long need = (long long)size + n;
    if (need > INT_MAX)
        return -1;
    if (need > capacity) {
        long long grown = (long long)capacity + (growStep > 0 ? growStep : 0);
        if (grown < need)
            grown = need;
        if (grown > INT_MAX)
            grown = INT_MAX;
        unsigned char* block = (unsigned char*)realloc(data, (size_t)grown);
        if (!block)
            return -1;
        data = block;
        capacity = (int)grown;
    }
    memcpy(data + size, bytes, (size_t)n);
    size += n;
    return 0;
}

static void Release(ByteBuffer* b)
{
    free(b->data);
    b->data = nullptr;
    b->size = b->readPos = b->capacity = 0;
}

// Appends to a buffer of the filter chain. The block at least doubles each time it grows, so
// a stream that arrives in many small pieces is not copied over and over, and no more than
// PDF_MAX_STREAM_BYTES are kept: the part that fits is appended and -1 tells the stage to
// stop.
static int Put(ByteBuffer* b, const void* bytes, int n)
{
    if (n <= 0)
        return 0;
    long long room = (long long)PDF_MAX_STREAM_BYTES - b->size;
    bool cut = n > room;
    if (cut)
        n = room > 0 ? (int)room : 0;
    if (n > 0) {
        long long step = b->capacity;
        if ((long long)b->capacity + step > PDF_MAX_STREAM_BYTES)
            step = (long long)PDF_MAX_STREAM_BYTES - b->capacity;
        if (step > b->growStep)
            b->growStep = (int)step;
        if (b->Append(bytes, n) != 0)
            return -1;
    }
    return cut ? -1 : 0;
}

// Hands the chain's result to the caller's buffer: the block itself when that buffer is
// empty, as every caller passes it, else a copy of the bytes.
static void Deliver(ByteBuffer* from, ByteBuffer* out)
{
    if (!out->data && out->size == 0) {
        out->data = from->data;
        out->size = from->size;
        out->capacity = from->capacity;
        from->data = nullptr;
        from->size = from->readPos = from->capacity = 0;
        return;
    }
    out->Append(from->data ? from->data + from->readPos : nullptr, from->size - from->readPos);
}

static bool IsWhite(int c)
{
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

// Appends up to `length` bytes from the current position of fp: only what was read.
static void ReadRaw(FILE* fp, int length, ByteBuffer* out)
{
    unsigned char chunk[32768];
    while (length > 0) {
        int want = length < (int)sizeof chunk ? length : (int)sizeof chunk;
        int got = pdfread(fp, chunk, want);
        if (got <= 0 || Put(out, chunk, got) != 0)
            return;
        length -= got;
    }
}

static void Ascii85Stage(ByteBuffer* in, ByteBuffer* out)
{
    const unsigned char* p = in->data ? in->data + in->readPos : nullptr;
    const unsigned char* end = in->data ? in->data + in->size : nullptr;
    unsigned int digit[5];
    int k = 0;
    while (p < end) {
        int c = *p++;
        if (IsWhite(c))
            continue;
        if (c == 'z') {
            if (k != 0)
                return;
            static const unsigned char zeros[4] = {0, 0, 0, 0};
            if (Put(out, zeros, 4) != 0)
                return;
            continue;
        }
        if (c == '~') {
            while (p < end && IsWhite(*p))
                p++;
            if (p >= end || *p != '>')
                return;
            // A final group of k digits stands for k-1 bytes.
            if (k >= 2) {
                for (int j = k; j < 5; j++)
                    digit[j] = 84;
                uint64_t v = 0;
                for (int j = 0; j < 5; j++)
                    v = v * 85 + digit[j];
                unsigned char b[4] = {(unsigned char)(v >> 24), (unsigned char)(v >> 16), (unsigned char)(v >> 8),
                                      (unsigned char)v};
                Put(out, b, k - 1);
            }
            return;
        }
        if (c < '!' || c > 'u')
            return;
        digit[k++] = (unsigned int)(c - '!');
        if (k == 5) {
            uint64_t v = 0;
            for (int j = 0; j < 5; j++)
                v = v * 85 + digit[j];
            unsigned char b[4] = {(unsigned char)(v >> 24), (unsigned char)(v >> 16), (unsigned char)(v >> 8),
                                  (unsigned char)v};
            if (Put(out, b, 4) != 0)
                return;
            k = 0;
        }
    }
}

static void FlateStage(ByteBuffer* in, ByteBuffer* out)
{
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK)
        return;
    unsigned char chunk[32768];
    int pos = in->readPos;
    bool done = false;
    while (!done && pos < in->size) {
        int piece = in->size - pos < (int)sizeof chunk ? in->size - pos : (int)sizeof chunk;
        zs.next_in = in->data + pos;
        zs.avail_in = (uInt)piece;
        int ret;
        do {
            zs.next_out = chunk;
            zs.avail_out = sizeof chunk;
            ret = inflate(&zs, Z_NO_FLUSH);
            if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR) {
                done = true;
                break;
            }
            if (Put(out, chunk, (int)(sizeof chunk - zs.avail_out)) != 0) {
                done = true;
                break;
            }
        } while (zs.avail_out == 0 && ret == Z_OK);
        if (ret == Z_STREAM_END)
            done = true;
        pos += piece - (int)zs.avail_in;
        if (zs.avail_in == (uInt)piece && !done)
            break;  // no progress: nothing more can be decoded
    }
    inflateEnd(&zs);
}

LZWDecode::LZWDecode() : in(nullptr), out(nullptr), bitsHeld(0), nextCode(258), acc(0), width(9)
{
    for (int i = 0; i < LZW_MAX_CODES; i++)
        dict[i] = nullptr;
    for (int i = 0; i < 256; i++) {
        dict[i] = new ByteBuffer;
        unsigned char b = (unsigned char)i;
        dict[i]->Append(&b, 1);
    }
}

LZWDecode::~LZWDecode()
{
    for (int i = 0; i < LZW_MAX_CODES; i++) {
        if (dict[i])
            Release(dict[i]);
        delete dict[i];
    }
}

int LZWDecode::Decode()
{
    if (!in || !out)
        return 0;
    int pos = in->readPos;
    int prev = -1;  // no previous code: at the start and after a clear
    for (;;) {
        while (bitsHeld < 25 && pos < in->size) {
            acc |= (unsigned int)in->data[pos++] << (24 - bitsHeld);
            bitsHeld += 8;
        }
        if (bitsHeld < width)
            break;  // the input ran out without an end code
        int code = (int)(acc >> (32 - width));
        acc <<= width;
        bitsHeld -= width;

        if (code == 256) {
            nextCode = 258;
            width = 9;
            prev = -1;
            continue;
        }
        if (code == 257)
            break;
        if (prev < 0) {
            if (code > 255)
                break;  // refers to no entry
            if (Put(out, dict[code]->data, dict[code]->size) != 0)
                break;
            prev = code;
            continue;
        }
        if (code > nextCode || (code == nextCode && nextCode >= LZW_MAX_CODES))
            break;  // refers to no entry yet
        ByteBuffer* grown = new ByteBuffer;
        ByteBuffer* base = dict[prev];
        grown->growStep = base->size + 1 > 1024 ? base->size + 1 : 1024;
        grown->Append(base->data, base->size);
        if (code < nextCode) {
            ByteBuffer* e = dict[code];
            grown->Append(e->data, 1);
            if (Put(out, e->data, e->size) != 0) {
                Release(grown);
                delete grown;
                break;
            }
        } else {
            grown->Append(base->data, 1);
            if (Put(out, grown->data, grown->size) != 0) {
                Release(grown);
                delete grown;
                break;
            }
        }
        if (nextCode < LZW_MAX_CODES) {
            // An entry left from before a clear is replaced.
            if (dict[nextCode]) {
                Release(dict[nextCode]);
                delete dict[nextCode];
            }
            dict[nextCode++] = grown;
            if (nextCode >= (1 << width) - 1 && width < 12)
                width++;
        } else {
            Release(grown);
            delete grown;  // a full dictionary takes no more entries
        }
        prev = code;
    }
    return 0;
}

static void LzwStage(ByteBuffer* in, ByteBuffer* out)
{
    LZWDecode lzw;
    lzw.in = in;
    lzw.out = out;
    lzw.Decode();
}

static bool NameIs(PdfObj* obj, const char* text)
{
    return obj && obj->Type() == PDF_NAME && static_cast<PdfName*>(obj)->str &&
           strcmp(static_cast<PdfName*>(obj)->str, text) == 0;
}

// The object a reference points to, parsed afresh (caller destroys), or null.
static PdfObj* Resolve(PdfXref* xref, PdfObj* ref, char* buf, int size)
{
    if (!ref || ref->Type() != PDF_INDIRECT)
        return nullptr;
    PdfObj* obj = nullptr;
    ParseIndirectObject(&obj, xref, static_cast<PdfIndirect*>(ref)->refNum, 0, buf, size);
    return obj;
}

int PdfPageTree::DecodeFilters(FILE* fp, PdfObj* filter, int length, ByteBuffer* out, FilterResult* result)
{
    if (result)
        *result = 1;
    if (!out)
        return 0;
    if (length < 0)
        length = 0;

    ByteBuffer a, b;
    ReadRaw(fp, length, &a);

    // Resolving may move the file: only after the raw bytes are in.
    PdfObj* resolved = Resolve(xref, filter, parseBuf, sizeof parseBuf);
    if (resolved)
        filter = resolved;

    if (!filter || (filter->Type() == PDF_NAME &&
                    (!static_cast<PdfName*>(filter)->str || !*static_cast<PdfName*>(filter)->str))) {
        Deliver(&a, out);
        Release(&a);
        delete resolved;
        return 0;
    }

    PdfObj** names = nullptr;
    int count = 0;
    if (filter->Type() == PDF_ARRAY) {
        PdfArray* arr = static_cast<PdfArray*>(filter);
        names = (PdfObj**)calloc(arr->count > 0 ? (size_t)arr->count : 1, sizeof(PdfObj*));
        if (names)
            for (int i = 0; i < arr->count; i++)
                names[count++] = arr->items[i] ? arr->items[i]->Dup() : nullptr;
    } else {
        names = (PdfObj**)calloc(1, sizeof(PdfObj*));
        if (names)
            names[count++] = filter->Dup();
    }
    delete resolved;

    // Every stage writes into one of the chain's own two buffers; the last one's bytes go to
    // the caller.
    ByteBuffer* cur = &a;
    for (int i = 0; i < count; i++) {
        ByteBuffer* dst = cur == &a ? &b : &a;
        PdfObj* item = names[i];
        PdfObj* target = Resolve(xref, item, parseBuf, sizeof parseBuf);
        PdfObj* name = target ? target : item;
        if (NameIs(name, "ASCII85Decode"))
            Ascii85Stage(cur, dst);
        else if (NameIs(name, "LZWDecode"))
            LzwStage(cur, dst);
        else if (NameIs(name, "FlateDecode"))
            FlateStage(cur, dst);
        else if (NameIs(name, "DCTDecode")) {
            Put(dst, cur->data ? cur->data + cur->readPos : nullptr, cur->size - cur->readPos);
            if (result)
                *result = 0;
        }
        // Any other filter produces nothing, so every later stage has nothing either.
        delete target;
        Release(cur);
        cur = dst;
    }
    if (count > 0)
        Deliver(cur, out);

    Release(&a);
    Release(&b);
    for (int i = 0; i < count; i++)
        delete names[i];
    free(names);
    return 0;
}

int PdfPageTree::DecodeFiltersToMem(FILE* fp, PdfObj* filter, int length, ByteBuffer* out, FilterResult* result)
{
    return DecodeFilters(fp, filter, length, out, result);
}

int PdfPageTree::DecodeFiltersToFile(FILE* fp, PdfObj* filter, int length, char* path, bool appendEndstream,
                                     FILE** reread)
{
    ByteBuffer data;
    data.growStep = 1024;
    DecodeFilters(fp, filter, length, &data, nullptr);
    if (reread)
        *reread = nullptr;
    FILE* f = nullptr;
    if (pdfcreatfile(&f, path, reread != nullptr) == 0) {
        if (data.size > 0)
            pdfwrite(f, data.data, data.size);
        if (appendEndstream)
            pdfwrite(f, "\nendstream", 10);
        if (!reread)
            pdfclose(f);
        else if (pdfreadback(f) == 0)
            *reread = f;
    }
    Release(&data);
    return 0;
}

bool PdfPageTree::IsDCTFilter(PdfObj* filter)
{
    PdfObj* resolved = Resolve(xref, filter, parseBuf, sizeof parseBuf);
    PdfObj* f = resolved ? resolved : filter;
    PdfObj* first = f;
    if (f && f->Type() == PDF_ARRAY) {
        PdfArray* arr = static_cast<PdfArray*>(f);
        first = arr->count > 0 ? arr->items[0] : nullptr;
    }
    PdfObj* firstResolved = Resolve(xref, first, parseBuf, sizeof parseBuf);
    bool dct = NameIs(firstResolved ? firstResolved : first, "DCTDecode");
    delete firstResolved;
    delete resolved;
    return dct;
}

// The entry of the stream that obj names, and the number of raw bytes that can be read at
// its data offset (a negative length counts as 0; the file's end bounds the rest).
static XrefEntry* StreamSource(PdfXref* xref, PdfObj* obj, int* length)
{
    if (!xref || !obj)
        return nullptr;
    int num;
    if (obj->Type() == PDF_INDIRECT)
        num = static_cast<PdfIndirect*>(obj)->refNum;
    else if (obj->Type() == PDF_NUMBER)
        num = static_cast<PdfNumber*>(obj)->value;
    else
        return nullptr;
    XrefEntry* e = xref->Entry(num);
    if (!e || e->streamOffset < 0)
        return nullptr;
    if (*length < 0)
        *length = 0;
    if (pdfseek(xref->fp, 0, SEEK_END) != 0)
        return nullptr;
    int end = pdftell(xref->fp);
    if (end < 0 || pdfseek(xref->fp, e->streamOffset, SEEK_SET) != 0)
        return nullptr;
    int avail = end > e->streamOffset ? end - e->streamOffset : 0;
    if (*length > avail)
        *length = avail;
    return e;
}

int DecodeFlate(PdfXref* xref, PdfObj* obj, char* path, int length, int appendEndstream)
{
    if (!StreamSource(xref, obj, &length))
        return -1;
    unsigned char* input = (unsigned char*)malloc(length > 0 ? (size_t)length : 1);
    unsigned char* chunk = (unsigned char*)malloc(4096);
    FILE* f = nullptr;
    if (!input || !chunk || pdfcreatfile(&f, path) != 0) {
        free(input);
        free(chunk);
        return -1;
    }
    int rc = 0;
    if (length > 0 && pdfread(xref->fp, input, length) != length)
        rc = -1;
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (rc == 0 && inflateInit(&zs) != Z_OK)
        rc = -1;
    else if (rc == 0) {
        zs.next_in = input;
        zs.avail_in = (uInt)length;
        for (;;) {
            zs.next_out = chunk;
            zs.avail_out = 4096;
            int ret = inflate(&zs, Z_NO_FLUSH);
            if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR) {
                rc = -1;
                break;
            }
            int n = 4096 - (int)zs.avail_out;
            if (n > 0 && pdfwrite(f, chunk, n) != n) {
                rc = -1;
                break;
            }
            if (zs.avail_out != 0) {
                if (appendEndstream && pdfwrite(f, "\nendstream", 10) != 10)
                    rc = -1;
                break;
            }
        }
        inflateEnd(&zs);
    }
    pdfclose(f);
    free(input);
    free(chunk);
    return rc;
}

int DecodeFlateToMem(PdfXref* xref, PdfObj* obj, char* out, int length, int outSize)
{
    if (!out || outSize < 0 || !StreamSource(xref, obj, &length))
        return -1;
    unsigned char* input = (unsigned char*)malloc(length > 0 ? (size_t)length : 1);
    if (!input)
        return -1;
    if (length > 0 && pdfread(xref->fp, input, length) != length) {
        free(input);
        return -1;
    }
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK) {
        free(input);
        return -1;
    }
    zs.next_in = input;
    zs.avail_in = (uInt)length;
    zs.next_out = (Bytef*)out;
    zs.avail_out = (uInt)outSize;
    int rc = 0;
    // The first outSize bytes are kept; whatever follows them is not decoded.
    while (zs.avail_out > 0) {
        uInt before = zs.avail_out;
        int ret = inflate(&zs, Z_NO_FLUSH);
        if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR) {
            rc = -1;
            break;
        }
        if (ret == Z_STREAM_END || zs.avail_out == before)
            break;
    }
    inflateEnd(&zs);
    free(input);
    return rc;
}

int ExtractStream(PdfXref* xref, PdfObj* obj, char* path, int length)
{
    if (!StreamSource(xref, obj, &length))
        return -1;
    FILE* f = nullptr;
    if (pdfcreatfile(&f, path) != 0)
        return -1;
    int rc = 0;
    unsigned char chunk[32768];
    while (length > 0) {
        int want = length < (int)sizeof chunk ? length : (int)sizeof chunk;
        int got = pdfread(xref->fp, chunk, want);
        if (got <= 0 || pdfwrite(f, chunk, got) != got) {
            rc = -1;
            break;
        }
        length -= got;
    }
    pdfclose(f);
    return rc;
}

int DecodeLZWASCII85(PdfXref* xref, PdfObj* obj, char* path, int length, int appendEndstream)
{
    // The data run to the ASCII85 end marker or the end of the file, whatever Length says.
    int unused = 0;
    (void)length;
    if (!StreamSource(xref, obj, &unused))
        return -1;
    ByteBuffer text, decoded, plain;
    int last = -1;
    for (;;) {
        int c = pdfreadbyte(xref->fp);
        if (c < 0)
            break;
        unsigned char b = (unsigned char)c;
        if (Put(&text, &b, 1) != 0)
            break;
        if (c == '>' && last == '~')
            break;
        if (!IsWhite(c))
            last = c;
    }
    Ascii85Stage(&text, &decoded);
    LzwStage(&decoded, &plain);
    Release(&text);
    Release(&decoded);
    FILE* f = nullptr;
    int rc = -1;
    if (pdfcreatfile(&f, path) == 0) {
        rc = 0;
        if (plain.size > 0 && pdfwrite(f, plain.data, plain.size) != plain.size)
            rc = -1;
        if (appendEndstream && pdfwrite(f, "endstream", 9) != 9)
            rc = -1;
        pdfclose(f);
    }
    Release(&plain);
    return rc;
}

bool Predicted(PdfXref* xref, PdfObj* parms)
{
    PdfObj* parsed = nullptr;
    if (parms && parms->Type() == PDF_INDIRECT) {
        char buf[256];
        ParseIndirectObject(&parsed, xref, static_cast<PdfIndirect*>(parms)->refNum, 0, buf,
                            sizeof buf);
        parms = parsed;
    }
    bool predicted = false;
    PdfObj* one[1] = {parms};
    PdfObj** list = one;
    int count = parms ? 1 : 0;
    if (parms && parms->Type() == PDF_ARRAY) {
        list = static_cast<PdfArray*>(parms)->items;
        count = static_cast<PdfArray*>(parms)->count;
    }
    for (int i = 0; i < count && !predicted; i++) {
        PdfObj* item = list[i];
        PdfObj* itemParsed = nullptr;
        if (item && item->Type() == PDF_INDIRECT) {
            char buf[256];
            ParseIndirectObject(&itemParsed, xref, static_cast<PdfIndirect*>(item)->refNum, 0,
                                buf, sizeof buf);
            item = itemParsed;
        }
        PdfObj* p = PdfDictLookup(item, "Predictor");
        predicted = (p && p->Type() == PDF_NUMBER && static_cast<PdfNumber*>(p)->value > 1) ||
                    (p && p->Type() == PDF_REAL && static_cast<PdfReal*>(p)->value >= 2);
        delete itemParsed;
    }
    delete parsed;
    return predicted;
}
