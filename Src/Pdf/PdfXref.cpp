#include "Pdf/PdfXref.h"
#include "Resources/ResData.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "Pdf/FileAccess.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"

XrefEntry* PdfXref::Entry(int objNum)
{
    if (!entries || objNum < 0 || objNum >= size)
        return nullptr;
    return &entries[objNum];
}

// A direct integer; a real is truncated; anything else is absent.
static bool IntValue(PdfObj* v, long long* out)
{
    if (!v)
        return false;
    if (v->Type() == PDF_NUMBER) {
        *out = static_cast<PdfNumber*>(v)->value;
        return true;
    }
    if (v->Type() == PDF_REAL) {
        *out = PdfRealToInt(static_cast<PdfReal*>(v)->value);
        return true;
    }
    return false;
}

static void StripLine(char* line)
{
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\n' || line[n - 1] == '\t' || line[n - 1] == '\r'))
        line[--n] = 0;
}

static bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

// Reads a subsection header "start count". When entries follow the count on the same
// line, the file is put back where they begin. 0, or -1 for a malformed header.
static int ReadSubsection(FILE* fp, long long* start, long long* count)
{
    int lineStart = pdftell(fp);
    char line[20];
    pdfreadline(fp, line, sizeof line);
    StripLine(line);
    char* end;
    *start = strtoll(line, &end, 10);
    if (end == line)
        return -1;
    char* p = end;
    *count = strtoll(p, &end, 10);
    if (end == p)
        return -1;
    while (*end == ' ' || *end == '\t')
        end++;
    if (*end && lineStart >= 0 && pdfseek(fp, lineStart + (int)(end - line), SEEK_SET) != 0)
        return -1;
    return 0;
}

// A classic section that cannot be walked whole: the converter says so ("xref error") once the
// document has converted all the same, so that a refused document says only why.
static int Damaged(PdfXref* x)
{
    x->sectionDamaged = true;
    return -1;
}

int PdfXref::ReadTrailer()
{
    char line[20];
    pdfreadline(fp, line, sizeof line);
    StripLine(line);
    if (strcmp(line, "xref") != 0)
        return Damaged(this);
    for (;;) {
        if (!IsDigit(pdfpeekbyte(fp))) {
            int len;
            if (PdfLexicon(fp, buf, sizeof buf, &len) != TOK_TRAILER)
                return -1;
            return PdfLexicon(fp, buf, sizeof buf, &len) == TOK_DICT_OPEN ? 0 : -1;
        }
        long long start, count;
        if (ReadSubsection(fp, &start, &count) != 0)
            return Damaged(this);
        if (count < 0)
            count = 0;
        if (count > INT_MAX)
            return Damaged(this);
        long long target = (long long)pdftell(fp) + count * XREF_RECORD_BYTES;
        if (target > INT_MAX || (fileBytes > 0 && target > fileBytes) ||
            pdfseek(fp, (int)target, SEEK_SET) != 0)
            return Damaged(this);
    }
}

// Writers that miscount give a trailer Size below the objects their sections list; the table
// grows to hold every object in use that a section lists, up to XREF_MAX_SIZE entries and no
// further than the records of the file's sections and the file's size account for, so
// neither a lone record with a huge number nor millions of compressed records can make it
// big. The records are those of every section, counted before any is stored: a section read
// early (the first-page section of a linearized file) may list the highest numbers.
static int GrowTable(PdfXref* x, long long want)
{
    // Records of a compressed stream cost next to nothing, but no object takes less than a
    // byte of the file.
    long long records = x->recordsInFile < (long long)XREF_MAX_SIZE ? x->recordsInFile : (long long)XREF_MAX_SIZE;
    long long byRecords = records * XREF_ENTRIES_PER_RECORD;
    long long bound = XREF_TABLE_SLACK + (x->fileBytes > 0 && x->fileBytes < byRecords ? x->fileBytes : byRecords);
    if (bound > XREF_MAX_SIZE)
        bound = XREF_MAX_SIZE;
    if (want > bound || !x->entries)
        return -1;
    long long grown = (long long)x->size * 2;
    if (grown < want)
        grown = want;
    if (grown > bound)
        grown = bound;
    XrefEntry* e = (XrefEntry*)realloc(x->entries, (size_t)grown * sizeof(XrefEntry));
    if (!e)
        return -1;
    memset(e + x->size, 0, (size_t)(grown - x->size) * sizeof(XrefEntry));
    x->entries = e;
    x->size = (int)grown;
    return 0;
}

// The records of one classic table at the current position, each counted once its 20 bytes
// are read, and stored only with `store`. 0 at the table's end, -1 when it is malformed.
static int ReadClassic(PdfXref* x, bool store, long long* records)
{
    char line[20];
    pdfreadline(x->fp, line, sizeof line);
    StripLine(line);
    if (strcmp(line, "xref") != 0)
        return -1;
    while (IsDigit(pdfpeekbyte(x->fp))) {
        long long start, count;
        if (ReadSubsection(x->fp, &start, &count) != 0)
            return -1;
        // Outside the int range every record misses the table; clamping keeps start + i exact
        // for every record the file can hold.
        if (start > INT_MAX)
            start = INT_MAX;
        if (start < INT_MIN)
            start = INT_MIN;
        for (long long i = 0; i < count; i++) {
            char rec[XREF_RECORD_BYTES + 1];
            if (pdfread(x->fp, rec, XREF_RECORD_BYTES) != XREF_RECORD_BYTES)
                return -1;
            rec[XREF_RECORD_BYTES] = 0;
            (*records)++;
            if (!store)
                continue;
            long long n = start + i;
            if (n >= x->size && rec[17] == 'n' && GrowTable(x, n + 1) != 0)
                continue;
            if (n < 0 || n >= x->size)
                continue;
            XrefEntry* e = x->Entry((int)n);
            // The newest section is read first and wins.
            if (e && e->type == 0) {
                e->offset = lexint(rec);
                e->gen = lexint(rec + 11);
                e->type = rec[17];
            }
        }
    }
    return 0;
}

int PdfXref::ReadOldXref()
{
    long long records = 0;
    return ReadClassic(this, true, &records);
}

namespace {

// Rows of a cross-reference stream, in the order its Index pairs list them.
struct XrefRows {
    PdfXref* xref;
    bool store;          // rows go into the table; else they are only counted
    long long* records;  // rows met that an Index pair places
    int w[3];
    int rowBytes;
    long long (*pairs)[2];
    int npairs;
    int pair = 0;
    long long i = 0;
    long long rowsLeft;  // rows up to the last one that can land in the table
    unsigned char row[3 * XREF_MAX_FIELD_WIDTH];
    int fill = 0;

    // Feeds inflated bytes; false once no further row can matter.
    bool Feed(const unsigned char* p, size_t n)
    {
        while (n > 0) {
            if (rowsLeft <= 0)
                return false;
            size_t take = (size_t)(rowBytes - fill) < n ? (size_t)(rowBytes - fill) : n;
            memcpy(row + fill, p, take);
            fill += (int)take;
            p += take;
            n -= take;
            if (fill == rowBytes) {
                fill = 0;
                Store();
                rowsLeft--;
            }
        }
        return rowsLeft > 0;
    }

    void Store()
    {
        while (pair < npairs && i >= pairs[pair][1]) {
            pair++;
            i = 0;
        }
        if (pair >= npairs)
            return;
        long long n = pairs[pair][0] + i++;
        (*records)++;
        if (!store)
            return;
        uint64_t f[3];
        const unsigned char* q = row;
        for (int k = 0; k < 3; k++) {
            f[k] = 0;
            for (int b = 0; b < w[k]; b++)
                f[k] = (f[k] << 8) | *q++;
        }
        // As in a classic table, an object in use past the table grows it.
        bool inUse = w[0] == 0 || f[0] == 1;
        if (n >= xref->size && inUse && GrowTable(xref, n + 1) != 0)
            return;
        if (n < 0 || n >= xref->size)
            return;
        XrefEntry* e = xref->Entry((int)n);
        if (!e || e->type != 0)
            return;
        if (w[0] == 0)
            e->type = 'n';
        else
            e->type = f[0] == 0 ? 'f' : f[0] == 1 ? 'n' : f[0] == 2 ? 'o' : 0;
        e->offset = f[1] > (uint64_t)INT_MAX ? INT_MAX : (int)f[1];
        e->gen = f[2] > (uint64_t)INT_MAX ? INT_MAX : (int)f[2];
    }
};

}  // namespace

// Inflates the stream data at the current position straight into the row reader. With a
// length below 0 (not given as a direct integer) it reads until zlib reports the end of the
// stream or the file ends.
static void InflateRows(FILE* fp, long long length, XrefRows* rows)
{
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK)
        return;
    unsigned char in[4096];
    unsigned char out[4096];
    long long remaining = length >= 0 ? length : LLONG_MAX;
    for (;;) {
        if (zs.avail_in == 0) {
            if (remaining == 0)
                break;
            int want = remaining < (long long)sizeof in ? (int)remaining : (int)sizeof in;
            int got = pdfread(fp, in, want);
            if (got <= 0)
                break;
            remaining -= got;
            zs.next_in = in;
            zs.avail_in = (uInt)got;
        }
        zs.next_out = out;
        zs.avail_out = sizeof out;
        int ret = inflate(&zs, Z_NO_FLUSH);
        if (!rows->Feed(out, sizeof out - zs.avail_out))
            break;
        if (ret == Z_STREAM_END)
            break;
        if (ret != Z_OK && !(ret == Z_BUF_ERROR && zs.avail_in == 0))
            break;
    }
    inflateEnd(&zs);
}

// Feeds the stream data at the current position to the row reader as it stands: a stream
// without a filter. With a length below 0 (not given as a direct integer) it reads until the
// rows are complete or the file ends.
static void CopyRows(FILE* fp, long long length, XrefRows* rows)
{
    unsigned char in[4096];
    long long remaining = length >= 0 ? length : LLONG_MAX;
    while (remaining > 0) {
        int want = remaining < (long long)sizeof in ? (int)remaining : (int)sizeof in;
        int got = pdfread(fp, in, want);
        if (got <= 0)
            break;
        remaining -= got;
        if (!rows->Feed(in, (size_t)got))
            break;
    }
}

// True when the stream dictionary names a filter: an absent Filter, null or an empty array
// leaves the data as it stands.
static bool HasFilter(PdfObj* dict)
{
    PdfObj* filter = PdfDictLookup(dict, "Filter");
    if (!filter || filter->Type() == PDF_NULL)
        return false;
    if (filter->Type() == PDF_ARRAY && static_cast<PdfArray*>(filter)->count == 0)
        return false;
    return true;
}

namespace {

// What one walk over the sections does with their records, and what it met.
struct SectionWalk {
    bool store;              // records go into the table; else they are only counted
    long long records = 0;   // records met whose bytes are there
    bool encrypted = false;  // a trailer names an Encrypt dictionary
    bool predictor = false;  // a cross-reference stream of the chain uses a predictor
};

}  // namespace

// Records past which more records no longer raise the table's bound (GrowTable): a count
// stops inflating there.
static long long RecordsThatCount(const PdfXref* x)
{
    long long room = XREF_MAX_SIZE - XREF_TABLE_SLACK;
    if (x->fileBytes > 0 && x->fileBytes < room)
        room = x->fileBytes;
    return room / XREF_ENTRIES_PER_RECORD + 1;
}

// The rows of the cross-reference stream whose dictionary is `dict`, its data at the current
// position.
static void StreamRows(PdfXref* x, PdfObj* dict, SectionWalk* walk)
{
    long long length = -1;
    if (!IntValue(PdfDictLookup(dict, "Length"), &length) || length < 0)
        length = -1;

    XrefRows rows;
    rows.xref = x;
    rows.store = walk->store;
    rows.records = &walk->records;
    PdfObj* w = PdfDictLookup(dict, "W");
    if (!w || w->Type() != PDF_ARRAY)
        return;
    PdfArray* wa = static_cast<PdfArray*>(w);
    rows.rowBytes = 0;
    for (int k = 0; k < 3; k++) {
        long long v;
        if (k < wa->count && IntValue(wa->items[k], &v))
            rows.w[k] = v < 0 || v > XREF_MAX_FIELD_WIDTH ? -1 : (int)v;
        else if (k > 0)
            rows.w[k] = rows.w[k - 1];  // a missing width repeats the one before it
        else
            return;
        if (rows.w[k] < 0)
            return;
        rows.rowBytes += rows.w[k];
    }
    if (rows.rowBytes == 0)
        return;

    long long (*pairs)[2] = nullptr;
    int npairs = 0;
    PdfObj* index = PdfDictLookup(dict, "Index");
    if (index && index->Type() == PDF_ARRAY) {
        PdfArray* ia = static_cast<PdfArray*>(index);
        pairs = (long long(*)[2])malloc(sizeof(long long[2]) * (size_t)(ia->count / 2 + 1));
        if (!pairs)
            return;
        for (int k = 0; k + 1 < ia->count; k += 2) {
            long long s, c;
            if (!IntValue(ia->items[k], &s) || !IntValue(ia->items[k + 1], &c))
                break;
            pairs[npairs][0] = s;
            pairs[npairs][1] = c < 0 ? 0 : c;
            npairs++;
        }
    } else {
        pairs = (long long(*)[2])malloc(sizeof(long long[2]));
        if (!pairs)
            return;
        long long s;
        pairs[0][0] = 0;
        pairs[0][1] = IntValue(PdfDictLookup(dict, "Size"), &s) && s > 0 ? s : x->size;
        npairs = 1;
    }

    // Rows after the last one that can land in the table are not inflated.
    long long base = 0, lastUseful = 0;
    for (int k = 0; k < npairs; k++) {
        long long s = pairs[k][0], c = pairs[k][1];
        long long hi = XREF_MAX_SIZE - s < c ? XREF_MAX_SIZE - s : c;
        if (hi > 0 && s + c > 0)
            lastUseful = base + hi;
        base += c;
    }
    rows.pairs = pairs;
    rows.npairs = npairs;
    rows.rowsLeft = lastUseful;
    if (!walk->store && rows.rowsLeft > RecordsThatCount(x) - walk->records)
        rows.rowsLeft = RecordsThatCount(x) - walk->records;
    if (rows.rowsLeft > 0) {
        if (HasFilter(dict))
            InflateRows(x->fp, length, &rows);
        else
            CopyRows(x->fp, length, &rows);
    }
    free(pairs);
}

// One cross-reference stream section at the current position. A section of the chain
// (`chained`) gives its Prev, and when storing its dictionary replaces the trailer; the
// stream a classic section's XRefStm names only adds its records, and when it uses a
// predictor it is passed by: the classic table beside it stands for readers without it.
// 0 when the walk may go on.
static int ReadXrefStream(PdfXref* x, SectionWalk* walk, bool chained, long long* prev, bool* hasPrev)
{
    *hasPrev = false;
    int len;
    int n = -1;
    if (PdfLexicon(x->fp, x->buf, sizeof x->buf, &len) != TOK_INTEGER)
        return -1;
    n = lexint(x->buf);
    if (PdfLexicon(x->fp, x->buf, sizeof x->buf, &len) != TOK_INTEGER ||
        PdfLexicon(x->fp, x->buf, sizeof x->buf, &len) != TOK_OBJ ||
        PdfLexicon(x->fp, x->buf, sizeof x->buf, &len) != TOK_DICT_OPEN)
        return -1;
    PdfObj* dict = nullptr;
    PdfParseDict(&dict, x->fp, x->buf, sizeof x->buf);
    PdfObj* own = dict;  // what this call destroys: all but a new trailer
    if (chained) {
        *hasPrev = IntValue(PdfDictLookup(dict, "Prev"), prev);
        if (PdfDictLookup(dict, "Encrypt"))
            walk->encrypted = true;
        if (walk->store) {
            delete x->trailer;
            x->trailer = static_cast<PdfDict*>(dict);
            own = nullptr;
        }
    }
    // The table is not read yet: a reference among the parameters is not followed.
    bool predicted = Predicted(nullptr, PdfDictLookup(dict, "DecodeParms"));
    if (predicted && chained)
        walk->predictor = true;
    if (!predicted && PdfLexicon(x->fp, x->buf, sizeof x->buf, &len) == TOK_STREAM) {
        if (pdfreadbyte(x->fp) == '\r' && pdfpeekbyte(x->fp) == '\n')
            pdfreadbyte(x->fp);
        if (XrefEntry* e = walk->store ? x->Entry(n) : nullptr)
            e->streamOffset = pdftell(x->fp);
        StreamRows(x, dict, walk);
    }
    delete own;
    return 0;
}

static bool SeenBefore(const int* seen, int nseen, long long offset)
{
    for (int k = 0; k < nseen; k++)
        if (seen[k] == offset)
            return true;
    return false;
}

// The walk of ReadXref and CountRecords. Each offset is read once: a Prev chain that comes
// back to a section already read would never end.
static int WalkSections(PdfXref* x, SectionWalk* walk)
{
    int seen[2 * XREF_MAX_SECTIONS];  // the sections of the chain and their XRefStm streams
    int nseen = 0;
    int sections = 0;
    for (;;) {
        if (SeenBefore(seen, nseen, x->sectionOffset) || sections == XREF_MAX_SECTIONS)
            return -1;
        sections++;
        seen[nseen++] = x->sectionOffset;

        if (pdfseek(x->fp, x->sectionOffset, SEEK_SET) != 0)
            return -1;
        long long prev = 0;
        bool hasPrev = false;
        if (IsDigit(pdfpeekbyte(x->fp))) {
            if (ReadXrefStream(x, walk, true, &prev, &hasPrev) != 0)
                return -1;
        } else {
            // A malformed table keeps what it read; its trailer still counts.
            ReadClassic(x, walk->store, &walk->records);
            if (pdfseek(x->fp, x->sectionOffset, SEEK_SET) != 0 || x->ReadTrailer() != 0)
                return -1;
            PdfObj* t = nullptr;
            PdfParseDict(&t, x->fp, x->buf, sizeof x->buf);
            hasPrev = IntValue(PdfDictLookup(t, "Prev"), &prev);
            if (PdfDictLookup(t, "Encrypt"))
                walk->encrypted = true;
            // A hybrid file's stream: its records come after the table's and before Prev's.
            long long stm;
            if (IntValue(PdfDictLookup(t, "XRefStm"), &stm) && stm >= 0 && stm <= INT_MAX &&
                !SeenBefore(seen, nseen, stm)) {
                seen[nseen++] = (int)stm;
                long long unusedPrev;
                bool unusedHasPrev;
                if (pdfseek(x->fp, (int)stm, SEEK_SET) == 0 && IsDigit(pdfpeekbyte(x->fp)))
                    ReadXrefStream(x, walk, false, &unusedPrev, &unusedHasPrev);
            }
            delete t;
        }
        if (!hasPrev || prev < 0 || prev > INT_MAX)
            return -1;
        x->sectionOffset = (int)prev;
    }
}

int PdfXref::ReadXref()
{
    SectionWalk walk;
    walk.store = true;
    return WalkSections(this, &walk);
}

long long PdfXref::CountRecords(bool* encrypted, bool* predictor)
{
    int start = sectionOffset;
    SectionWalk walk;
    walk.store = false;
    WalkSections(this, &walk);
    sectionOffset = start;
    *encrypted = walk.encrypted;
    *predictor = walk.predictor;
    return walk.records;
}

// Releases what Load made and says why in one line on standard error; the file stays open
// for the caller, who holds it.
static int LoadFailed(PdfXref* x, const char* path, const char* why)
{
    fprintf(stderr, "%s: %s\n", path, why);
    delete x->trailer;
    x->trailer = nullptr;
    delete x->root;
    x->root = nullptr;
    free(x->entries);
    x->entries = nullptr;
    x->size = 0;
    ReleaseObjectMemo(x);
    return -1;
}

static const char kEncrypted[] = "the document is encrypted, which is not supported";

int PdfXref::Load(FILE** fpOut, char* path)
{
    if (pdfopenfile(&fp, path) != 0)
        return -1;
    if (fpOut)
        *fpOut = fp;
    sectionDamaged = false;

    if (pdfseek(fp, 0, SEEK_END) != 0)
        return LoadFailed(this, path, "cannot read the file");
    int end = pdftell(fp);
    fileBytes = end;
    if (end < 0 || pdfseek(fp, end > XREF_TAIL_BYTES ? end - XREF_TAIL_BYTES : 0, SEEK_SET) != 0)
        return LoadFailed(this, path, "cannot read the file");
    char tail[XREF_TAIL_BYTES + 1];
    int got = pdfread(fp, tail, XREF_TAIL_BYTES);
    if (got < 9)
        return LoadFailed(this, path, "no cross-reference data found at the end: not a PDF, or a damaged one");
    tail[got] = 0;
    int at = -1;
    for (int i = got - 9; i >= 0; i--) {
        if (memcmp(tail + i, "startxref", 9) == 0) {
            at = i;
            break;
        }
    }
    if (at < 0)
        return LoadFailed(this, path, "no cross-reference data found at the end: not a PDF, or a damaged one");
    int p = at + 9;
    while (p < got && (tail[p] == ' ' || tail[p] == '\r' || tail[p] == '\n' || tail[p] == '\t' ||
                       tail[p] == '\f' || tail[p] == 0))
        p++;
    sectionOffset = IsDigit(tail[p]) ? lexint(tail + p) : 0;
    if (pdfseek(fp, sectionOffset, SEEK_SET) != 0)
        return LoadFailed(this, path, "startxref points outside the file");

    int c = pdfpeekbyte(fp);
    PdfObj* dict = nullptr;
    if (c == 'x') {
        ReadTrailer();
        PdfParseDict(&dict, fp, buf, sizeof buf);
    } else if (IsDigit(c)) {
        int len;
        for (int k = 0; k < 4; k++)
            PdfLexicon(fp, buf, sizeof buf, &len);
        PdfParseDict(&dict, fp, buf, sizeof buf);
    } else {
        return LoadFailed(this, path, "startxref does not point at cross-reference data");
    }
    delete trailer;
    trailer = static_cast<PdfDict*>(dict);

    if (PdfDictLookup(trailer, "Encrypt"))
        return LoadFailed(this, path, kEncrypted);
    long long n = 0;
    if (!IntValue(PdfDictLookup(trailer, "Size"), &n) || n < 1 || n > XREF_MAX_SIZE) {
        return LoadFailed(this, path, "the trailer has no usable Size");
    }
    PdfObj* rootRef = PdfDictLookup(trailer, "Root");
    int rootNum = rootRef && rootRef->Type() == PDF_INDIRECT ? static_cast<PdfIndirect*>(rootRef)->refNum : -1;

    // The table starts at Size, within what any file may have; the records grow it further.
    size = n > XREF_TABLE_SLACK ? XREF_TABLE_SLACK : (int)n;

    // Every trailer of the chain is looked at: an update that does not repeat Encrypt still
    // leaves the objects encrypted.
    bool encrypted = false, predictor = false;
    recordsInFile = CountRecords(&encrypted, &predictor);
    if (encrypted)
        return LoadFailed(this, path, kEncrypted);
    if (predictor)
        return LoadFailed(this, path, "the cross-reference stream uses a predictor, which is not supported");

    free(entries);
    entries = (XrefEntry*)calloc((size_t)size, sizeof(XrefEntry));
    if (!entries)
        return LoadFailed(this, path, "out of memory for the cross-reference table");

    ReadXref();

    if (rootNum < 0)
        return LoadFailed(this, path, "the trailer names no catalog (Root)");
    XrefEntry* rootEntry = Entry(rootNum);
    if (rootEntry && rootEntry->type == 'o')
        return LoadFailed(this, path, "the document catalog lies in an object stream, which is not supported");
    ParseIndirectObject(&root, this, rootNum, 0, buf, sizeof buf);
    if (!root || root->Type() != PDF_DICT) {
        return LoadFailed(this, path, "the document catalog cannot be read");
    }
    return 0;
}

void ReleaseXref(PdfXref* xref)
{
    if (!xref)
        return;
    if (xref->entries) {
        for (int i = 0; i < xref->size; i++) {
            free(xref->entries[i].path);
            delete xref->entries[i].resData;
        }
        free(xref->entries);
    }
    ReleaseObjectMemo(xref);
    delete xref->trailer;
    delete xref->root;
    delete xref;
}
