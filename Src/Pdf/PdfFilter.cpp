#include "Pdf/PdfFilter.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>
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

// Appends to a buffer that holds at most `cap` bytes. The block at least doubles each time it
// grows, so a stream that arrives in many small pieces is not copied over and over, and it
// never grows past `cap`: the part that fits is appended and -1 says the buffer is full.
int AppendCapped(ByteBuffer* b, const void* bytes, int n, long long cap)
{
    if (n <= 0)
        return 0;
    long long room = cap - b->size;
    bool cut = n > room;
    if (cut)
        n = room > 0 ? (int)room : 0;
    if (n > 0) {
        long long step = b->capacity;
        if ((long long)b->capacity + step > cap)
            step = cap - b->capacity;
        if (step > b->growStep)
            b->growStep = (int)step;
        if (b->Append(bytes, n) != 0)
            return -1;
    }
    return cut ? -1 : 0;
}

// The chain's own buffers hold no more than PDF_MAX_STREAM_BYTES.
static int Put(ByteBuffer* b, const void* bytes, int n)
{
    return AppendCapped(b, bytes, n, PDF_MAX_STREAM_BYTES);
}

static bool IsWhite(int c)
{
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

namespace {

enum { CHAIN_PIECE = 32768 };

// The filter chain at work: the raw bytes go through the stages a piece at a time, and what
// the last stage makes goes to the sink as it comes, so no stage holds a whole stream. Each
// stage hands on at most PDF_MAX_STREAM_BYTES (the rest is dropped, and the stage stops). A
// stage that meets bad data stops with what it made; the later ones work on that.
class Chain {
public:
    enum Kind { COPY, ASCII85, LZW, FLATE, NOTHING };

    explicit Chain(const DecodeSink& sink) : sink_(sink) {}
    ~Chain()
    {
        for (Stage& s : stages_)
            if (s.zlive)
                inflateEnd(&s.zs);
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    void Add(Kind kind)
    {
        stages_.emplace_back();
        stages_.back().kind = kind;
        if (kind == LZW)
            stages_.back().lzw.reset(new LZWDecode);
    }

    // Hands bytes to stage i; the stage past the last is the sink.
    void Push(size_t i, const unsigned char* p, int n);
    // The input has ended: each stage makes what it still holds, in order.
    void Finish()
    {
        for (size_t i = 0; i < stages_.size() && !stopped_; i++) {
            if (stages_[i].kind == LZW && !stages_[i].done)
                Lzw(i, nullptr, 0, true);
            stages_[i].done = true;
        }
    }
    bool Stopped() const { return stopped_; }
    int SinkResult() const { return sinkResult_; }

private:
    struct Stage {
        Kind kind = NOTHING;
        bool done = false;
        long long produced = 0;
        // ASCII85: the digits of the group begun, and a '~' waiting for its '>'.
        unsigned digit[5] = {0, 0, 0, 0, 0};
        int k = 0;
        bool tilde = false;
        // LZW: the dictionary and bit state, and the previous code (-1: none).
        std::unique_ptr<LZWDecode> lzw;
        int prev = -1;
        // Flate.
        z_stream zs;
        bool zlive = false;
        bool zfailed = false;
    };

    // Stage i makes n bytes: false when it must stop (its cap is reached or the sink has
    // what it needs).
    bool Out(size_t i, const unsigned char* p, int n)
    {
        Stage& s = stages_[i];
        long long room = (long long)PDF_MAX_STREAM_BYTES - s.produced;
        bool cut = n > room;
        if (cut)
            n = room > 0 ? (int)room : 0;
        s.produced += n;
        if (n > 0)
            Push(i + 1, p, n);
        return !cut && !stopped_;
    }

    void Ascii85(size_t i, const unsigned char* p, int n);
    void Lzw(size_t i, const unsigned char* p, int n, bool final);
    void Flate(size_t i, const unsigned char* p, int n);

    const DecodeSink& sink_;
    std::vector<Stage> stages_;
    bool stopped_ = false;
    int sinkResult_ = 0;
};

void Chain::Push(size_t i, const unsigned char* p, int n)
{
    if (stopped_ || n <= 0)
        return;
    if (i == stages_.size()) {
        int r = sink_(p, n);
        if (r != 0) {
            stopped_ = true;
            sinkResult_ = r;
        }
        return;
    }
    Stage& s = stages_[i];
    if (s.done)
        return;
    switch (s.kind) {
    case COPY:
        if (!Out(i, p, n))
            s.done = true;
        break;
    case ASCII85: Ascii85(i, p, n); break;
    case LZW: Lzw(i, p, n, false); break;
    case FLATE: Flate(i, p, n); break;
    case NOTHING: break;
    }
}

static void Group85(const unsigned* digit, unsigned char b[4])
{
    uint64_t v = 0;
    for (int j = 0; j < 5; j++)
        v = v * 85 + digit[j];
    b[0] = (unsigned char)(v >> 24);
    b[1] = (unsigned char)(v >> 16);
    b[2] = (unsigned char)(v >> 8);
    b[3] = (unsigned char)v;
}

void Chain::Ascii85(size_t i, const unsigned char* p, int n)
{
    Stage& s = stages_[i];
    for (int at = 0; at < n && !s.done; at++) {
        int c = p[at];
        if (s.tilde) {
            // '~' followed, after optional white space, by '>' ends the data; a final group
            // of k digits stands for k-1 bytes.
            if (IsWhite(c))
                continue;
            s.done = true;
            if (c == '>' && s.k >= 2) {
                for (int j = s.k; j < 5; j++)
                    s.digit[j] = 84;
                unsigned char b[4];
                Group85(s.digit, b);
                Out(i, b, s.k - 1);
            }
            return;
        }
        if (IsWhite(c))
            continue;
        if (c == 'z') {
            if (s.k != 0) {
                s.done = true;
                return;
            }
            static const unsigned char zeros[4] = {0, 0, 0, 0};
            if (!Out(i, zeros, 4))
                s.done = true;
            continue;
        }
        if (c == '~') {
            s.tilde = true;
            continue;
        }
        if (c < '!' || c > 'u') {
            s.done = true;
            return;
        }
        s.digit[s.k++] = (unsigned)(c - '!');
        if (s.k == 5) {
            unsigned char b[4];
            Group85(s.digit, b);
            s.k = 0;
            if (!Out(i, b, 4))
                s.done = true;
        }
    }
}

void Chain::Lzw(size_t i, const unsigned char* p, int n, bool final)
{
    Stage& s = stages_[i];
    LZWDecode& z = *s.lzw;
    int pos = 0;
    for (;;) {
        while (z.bitsHeld < 25 && pos < n) {
            z.acc |= (unsigned int)p[pos++] << (24 - z.bitsHeld);
            z.bitsHeld += 8;
        }
        if (z.bitsHeld < z.width) {
            if (final)
                s.done = true;  // the input ran out without an end code
            return;
        }
        int code = (int)(z.acc >> (32 - z.width));
        z.acc <<= z.width;
        z.bitsHeld -= z.width;

        if (code == 256) {
            z.nextCode = 258;
            z.width = 9;
            s.prev = -1;
            continue;
        }
        if (code == 257 || (s.prev < 0 && code > 255) || code > z.nextCode ||
            (s.prev >= 0 && code == z.nextCode && z.nextCode >= LZW_MAX_CODES)) {
            s.done = true;  // the end, or a code that refers to no entry (yet)
            return;
        }
        if (s.prev < 0) {
            s.prev = code;
            if (!Out(i, z.dict[code]->data, z.dict[code]->size)) {
                s.done = true;
                return;
            }
            continue;
        }
        ByteBuffer* grown = new ByteBuffer;
        ByteBuffer* base = z.dict[s.prev];
        grown->growStep = base->size + 1 > 1024 ? base->size + 1 : 1024;
        grown->Append(base->data, base->size);
        ByteBuffer* written = grown;
        if (code < z.nextCode) {
            written = z.dict[code];
            grown->Append(written->data, 1);
        } else {
            grown->Append(base->data, 1);
        }
        bool more = Out(i, written->data, written->size);
        if (more && z.nextCode < LZW_MAX_CODES) {
            // An entry left from before a clear is replaced.
            if (z.dict[z.nextCode]) {
                Release(z.dict[z.nextCode]);
                delete z.dict[z.nextCode];
            }
            z.dict[z.nextCode++] = grown;
            if (z.nextCode >= (1 << z.width) - 1 && z.width < 12)
                z.width++;
        } else {
            Release(grown);
            delete grown;  // a full dictionary takes no more entries
        }
        if (!more) {
            s.done = true;
            return;
        }
        s.prev = code;
    }
}

void Chain::Flate(size_t i, const unsigned char* p, int n)
{
    Stage& s = stages_[i];
    if (!s.zlive) {
        memset(&s.zs, 0, sizeof s.zs);
        if (inflateInit(&s.zs) != Z_OK) {
            s.done = true;
            return;
        }
        s.zlive = true;
    }
    unsigned char chunk[CHAIN_PIECE];
    s.zs.next_in = const_cast<unsigned char*>(p);
    s.zs.avail_in = (uInt)n;
    for (;;) {
        s.zs.next_out = chunk;
        s.zs.avail_out = sizeof chunk;
        int ret = inflate(&s.zs, Z_NO_FLUSH);
        if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR) {
            s.done = true;
            break;
        }
        if (!Out(i, chunk, (int)(sizeof chunk - s.zs.avail_out)) || ret == Z_STREAM_END) {
            s.done = true;
            break;
        }
        if (s.zs.avail_out != 0 || ret != Z_OK)
            break;  // the piece is used up: the next one goes on
    }
    // A piece of which nothing could be used: nothing more can be decoded.
    if (!s.done && n > 0 && s.zs.avail_in == (uInt)n)
        s.done = true;
    if (s.done) {
        inflateEnd(&s.zs);
        s.zlive = false;
    }
}

// The bytes of one buffer through one stage into another: the stages of the routines that
// decode a whole buffer.
void RunStage(Chain::Kind kind, ByteBuffer* in, ByteBuffer* out)
{
    DecodeSink sink = [out](const unsigned char* p, int n) { return Put(out, p, n) != 0 ? 1 : 0; };
    Chain chain(sink);
    chain.Add(kind);
    if (in->data && in->size > in->readPos)
        chain.Push(0, in->data + in->readPos, in->size - in->readPos);
    chain.Finish();
}

}  // namespace

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
    if (in && out)
        RunStage(Chain::LZW, in, out);
    return 0;
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

int PdfPageTree::DecodeFiltersTo(FILE* fp, PdfObj* filter, int length, const DecodeSink& sink,
                                 FilterResult* result)
{
    if (result)
        *result = 1;
    if (length < 0)
        length = 0;
    Chain chain(sink);

    // The stages are known before the first raw byte is read: resolving a name moves the
    // file, which is then put back where the data start.
    const int start = pdftell(fp);
    PdfObj* resolved = Resolve(xref, filter, parseBuf, sizeof parseBuf);
    if (resolved)
        filter = resolved;
    bool raw = !filter || (filter->Type() == PDF_NAME && (!static_cast<PdfName*>(filter)->str ||
                                                         !*static_cast<PdfName*>(filter)->str));
    if (!raw) {
        PdfObj* one[1] = {filter};
        PdfObj** items = one;
        int count = 1;
        if (filter->Type() == PDF_ARRAY) {
            items = static_cast<PdfArray*>(filter)->items;
            count = static_cast<PdfArray*>(filter)->count;
        }
        // An empty filter array applies no stage, so nothing reaches the sink.
        if (count <= 0)
            chain.Add(Chain::NOTHING);
        for (int i = 0; i < count; i++) {
            PdfObj* target = Resolve(xref, items[i], parseBuf, sizeof parseBuf);
            PdfObj* name = target ? target : items[i];
            if (NameIs(name, "ASCII85Decode"))
                chain.Add(Chain::ASCII85);
            else if (NameIs(name, "LZWDecode"))
                chain.Add(Chain::LZW);
            else if (NameIs(name, "FlateDecode"))
                chain.Add(Chain::FLATE);
            else if (NameIs(name, "DCTDecode")) {
                chain.Add(Chain::COPY);
                if (result)
                    *result = 0;
            } else {
                // Any other filter produces nothing, so every later stage has nothing either.
                chain.Add(Chain::NOTHING);
            }
            delete target;
        }
    }
    delete resolved;
    if (start < 0 || pdfseek(fp, start, SEEK_SET) != 0)
        length = 0;

    // At most PDF_MAX_STREAM_BYTES raw bytes are read, a piece at a time.
    long long left = length < PDF_MAX_STREAM_BYTES ? length : PDF_MAX_STREAM_BYTES;
    unsigned char piece[CHAIN_PIECE];
    while (left > 0 && !chain.Stopped()) {
        int want = left < (long long)sizeof piece ? (int)left : (int)sizeof piece;
        int got = pdfread(fp, piece, want);
        if (got <= 0)
            break;
        chain.Push(0, piece, got);
        left -= got;
    }
    chain.Finish();
    return chain.SinkResult() < 0 ? -1 : 0;
}

int PdfPageTree::DecodeFilters(FILE* fp, PdfObj* filter, int length, ByteBuffer* out, FilterResult* result)
{
    return DecodeFiltersToMem(fp, filter, length, out, result);
}

int PdfPageTree::DecodeFiltersToMem(FILE* fp, PdfObj* filter, int length, ByteBuffer* out,
                                    FilterResult* result, long long maxBytes)
{
    if (!out) {
        if (result)
            *result = 1;
        return 0;
    }
    if (maxBytes > PDF_MAX_STREAM_BYTES)
        maxBytes = PDF_MAX_STREAM_BYTES;
    const long long cap = out->size + (maxBytes > 0 ? maxBytes : 0);
    DecodeSink sink = [out, cap](const unsigned char* p, int n) {
        return AppendCapped(out, p, n, cap) != 0 || out->size >= cap ? 1 : 0;
    };
    if (cap > out->size)
        DecodeFiltersTo(fp, filter, length, sink, result);
    else if (result)
        *result = 1;
    return 0;
}

int PdfPageTree::DecodeFiltersToFile(FILE* fp, PdfObj* filter, int length, char* path, bool appendEndstream,
                                     FILE** reread)
{
    if (reread)
        *reread = nullptr;
    FILE* f = nullptr;
    if (pdfcreatfile(&f, path, reread != nullptr) != 0)
        return -1;
    // The decoded bytes go to the file as they come; a write that fails ends the decoding.
    DecodeSink sink = [f](const unsigned char* p, int n) { return pdfwrite(f, p, n) == n ? 0 : -1; };
    int rc = DecodeFiltersTo(fp, filter, length, sink, nullptr);
    if (rc == 0 && appendEndstream && pdfwrite(f, "\nendstream", 10) != 10)
        rc = -1;
    int err = errno;
    if (!reread) {
        if (pdfclose(f) != 0)
            rc = -1;
        else
            errno = err;
    } else if (rc == 0 && pdfreadback(f) == 0) {
        *reread = f;
    } else {
        if (rc == 0)
            err = errno;
        else
            pdfclose(f);
        rc = -1;
        errno = err;
    }
    return rc;
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
    RunStage(Chain::ASCII85, &text, &decoded);
    RunStage(Chain::LZW, &decoded, &plain);
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
