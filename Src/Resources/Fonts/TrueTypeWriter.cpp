#include "Resources/Fonts/TrueTypeWriter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Pdf/FileAccess.h"
#include "Resources/Fonts/BaseFonts.h"
#include "Resources/Fonts/SfntTables.h"

namespace {

// Beyond these the generated tables' 16-bit lengths and offsets would wrap.
const size_t kMaxFontName = 16384;
const size_t kMaxSegments = (0xFFFF - 16) / 8;
// Offsets in the output are 32-bit; stay well inside them.
const uint64_t kMaxSource = 0x7FFF0000u;

uint16_t Be16(const unsigned char* p)
{
    return (uint16_t)(p[0] << 8 | p[1]);
}

uint32_t Be32(const unsigned char* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

void SetBe16(unsigned char* p, unsigned v)
{
    p[0] = (unsigned char)(v >> 8);
    p[1] = (unsigned char)v;
}

void SetBe32(unsigned char* p, uint32_t v)
{
    p[0] = (unsigned char)(v >> 24);
    p[1] = (unsigned char)(v >> 16);
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)v;
}

bool IsTag(const TT_Table& r, const char* tag)
{
    return memcmp(r.tag, tag, 4) == 0;
}

// Sum of the big-endian 32-bit words of a block whose length is a multiple of 4.
uint32_t SumWords(const unsigned char* p, size_t n)
{
    uint32_t s = 0;
    for (size_t i = 0; i + 4 <= n; i += 4)
        s += Be32(p + i);
    return s;
}

using Out = SfntOut;

void PowerOfTwoBelow(unsigned n, unsigned* power, unsigned* log2)
{
    *power = 1;
    *log2 = 0;
    while (*power * 2 <= n) {
        *power *= 2;
        (*log2)++;
    }
}

const char* StyleOf(unsigned macStyle)
{
    static const char* const styles[4] = {Reg, Bold, Italic, BoldItalic};
    return styles[macStyle & 3];
}

}  // namespace

TrueTypeWriter::TrueTypeWriter(char* sfnt, size_t length)
    : sourceFile(nullptr), macStyle(0), firstCode(0), codeCount(0), sourceOffset(0),
      checksum(0), numTables(0), fontName(nullptr), source(sfnt), records(nullptr),
      needOS2(0), needCmap(0), numGlyphs(0), headOffset(-1), refused(false),
      sourceLength(sfnt ? length : 0), ownsSource(false), failed(false)
{
    const unsigned char* s = (const unsigned char*)source;
    if (sourceLength < 12)
        return;
    unsigned n = Be16(s + 4);
    if (12 + (uint64_t)n * 16 > sourceLength)
        return;  // CheckSource refuses it: the directory runs past the data
    numTables = (unsigned short)n;
    records = (TT_Table*)calloc(n ? n : 1, sizeof(TT_Table));
    if (records)
        memcpy(records, s + 12, (size_t)n * 16);
}

TrueTypeWriter::TrueTypeWriter(FILE* file)
    : TrueTypeWriter(nullptr, 0)
{
    sourceFile = file;
    if (!file)
        return;
    long start = ftell(file);
    if (start < 0 || start > 0x7FFFFFFF || fseek(file, 0, SEEK_END) != 0)
        return;
    long end = ftell(file);
    if (end < start || (uint64_t)(end - start) > kMaxSource || fseek(file, start, SEEK_SET) != 0)
        return;
    sourceOffset = (int)start;
    size_t n = (size_t)(end - start);
    char* data = (char*)malloc(n ? n : 1);
    if (!data)
        return;
    size_t got = fread(data, 1, n, file);
    fseek(file, start, SEEK_SET);
    if (got != n) {
        free(data);
        return;
    }
    TrueTypeWriter parsed(data, n);
    source = data;
    ownsSource = true;
    sourceLength = n;
    numTables = parsed.numTables;
    records = parsed.records;
    parsed.records = nullptr;
}

TrueTypeWriter::~TrueTypeWriter()
{
    free(records);
    if (ownsSource)
        free(source);
}

int TrueTypeWriter::CheckForOS2()
{
    needOS2 = 1;
    for (unsigned i = 0; records && i < numTables; i++)
        if (IsTag(records[i], "OS/2"))
            needOS2 = 0;
    return needOS2 ? 0 : 1;
}

int TrueTypeWriter::CheckForCMAP()
{
    needCmap = 1;
    for (unsigned i = 0; records && i < numTables; i++)
        if (IsTag(records[i], "cmap"))
            needCmap = 0;
    return needCmap ? 0 : 1;
}

int TrueTypeWriter::WriteUShort(FILE* fp, unsigned short v)
{
    fwrite(&v, sizeof v, 1, fp);
    return 0;
}

int TrueTypeWriter::WriteULong(FILE* fp, unsigned int v)
{
    fwrite(&v, sizeof v, 1, fp);
    return 0;
}

int TrueTypeWriter::WriteTrueTypeFont(int, char*)
{
    return -1;
}

// Every cmap subtable must at least show its format and the length field that format has;
// the two formats whose glyph arrays are read here (0 and 6) must hold all of them.
bool TrueTypeWriter::CheckCmap(const unsigned char* cmap, size_t len)
{
    if (len < 4)
        return false;
    const unsigned count = Be16(cmap + 2);
    if (4 + (uint64_t)count * 8 > len)
        return false;
    for (unsigned i = 0; i < count; i++) {
        const uint64_t off = Be32(cmap + 4 + 8 * i + 4);
        if (off + 2 > len)
            return false;
        const unsigned format = Be16(cmap + off);
        uint64_t need;
        switch (format) {
        case 0: need = 6 + 256; break;
        case 6:
            if (off + 10 > len)
                return false;
            if ((uint64_t)Be16(cmap + off + 6) + Be16(cmap + off + 8) > 0x10000)
                return false;  // codes run past 0xFFFF
            need = 10 + 2 * (uint64_t)Be16(cmap + off + 8);
            break;
        case 2: case 4: need = 4; break;
        case 14: need = 6; break;
        default: need = 8; break;  // 8, 10, 12, 13 and later: 32-bit length at byte 4
        }
        if (off + need > len)
            return false;
    }
    return true;
}

// Whether WriteCMapTable turns this cmap into a Windows one: a lone Macintosh subtable of
// format 0 or 6 (only called on a checked cmap).
bool TrueTypeWriter::ConvertsCmap(const unsigned char* cmap) const
{
    if (Be16(cmap + 2) != 1 || Be16(cmap + 4) != 1)
        return false;
    const unsigned format = Be16(cmap + Be32(cmap + 8));
    return format == 0 || format == 6;
}

// Segments of the Windows subtable for a checked, converting cmap: {0,0,0} first, then each
// run of codes whose glyph ids rise by one, then the closing {0xFFFF,0xFFFF,1}. Code 0 is
// the first entry's own (its delta is that code's glyph), so no run overlaps it, and code
// 0xFFFF belongs to the closing entry. False when the subtable would need more segments
// than a format 4 table can hold.
bool TrueTypeWriter::BuildSegments(const unsigned char* cmap)
{
    const unsigned char* sub = cmap + Be32(cmap + 8);
    const unsigned format = Be16(sub);
    unsigned first, count;
    if (format == 0) {
        first = 0;
        count = 256;
    } else {
        first = Be16(sub + 6);
        count = Be16(sub + 8);
    }
    auto glyph = [&](unsigned i) -> unsigned {
        return format == 0 ? sub[6 + i] : Be16(sub + 10 + 2 * i);
    };

    segments.clear();
    Segment zero = {0, 0, 0};
    if (first == 0 && count > 0)
        zero.delta = (unsigned short)glyph(0);
    segments.push_back(zero);
    unsigned i = first == 0 ? 1 : 0;
    while (i < count) {
        const unsigned c = first + i;
        const unsigned g = glyph(i);
        if (g == 0 || c >= 0xFFFF) {
            i++;
            continue;
        }
        unsigned j = i;
        while (j + 1 < count && first + j + 1 < 0xFFFF && glyph(j + 1) != 0 &&
               glyph(j + 1) == glyph(j) + 1)
            j++;
        segments.push_back(Segment{(unsigned short)c, (unsigned short)(first + j),
                                   (unsigned short)((g - c) & 0xFFFF)});
        if (segments.size() + 1 > kMaxSegments)
            return false;
        i = j + 1;
    }
    segments.push_back(Segment{0xFFFF, 0xFFFF, 1});
    return true;
}

// The whole program is checked before a byte is written, so that a file, once it exists,
// is complete. Also captures head.macStyle and maxp.numGlyphs here, whatever the order of
// the directory.
bool TrueTypeWriter::CheckSource()
{
    const unsigned char* s = (const unsigned char*)source;
    if (!s || sourceLength < 12 || (uint64_t)sourceLength > kMaxSource || !records)
        return false;
    if (numTables == 0 || Be16(s + 4) != numTables)
        return false;
    if (12 + (uint64_t)numTables * 16 > sourceLength)
        return false;
    if ((unsigned)numTables + needOS2 + needCmap > 0xFFFF)
        return false;
    if (fontName && strlen(fontName) > kMaxFontName)
        return false;

    // Only an sfnt whose outlines and metrics are all there is worth a font part: readers
    // refuse one without them.
    const uint32_t version = Be32(s);
    const bool cff = version == 0x4F54544F;  // 'OTTO'
    if (!cff && version != 0x00010000 && version != 0x74727565)  // 'true'
        return false;
    const char* const required[] = {"head", "hhea", "hmtx", "maxp", cff ? "CFF " : "glyf",
                                    cff ? "CFF " : "loca"};
    for (const char* tag : required) {
        bool found = false;
        for (unsigned i = 0; i < numTables && !found; i++)
            found = IsTag(records[i], tag);
        if (!found)
            return false;
    }

    uint64_t total = 0;
    for (unsigned i = 0; i < numTables; i++) {
        const TT_Table& r = records[i];
        const uint64_t off = Be32(r.offset), len = Be32(r.length);
        if (off + len > sourceLength)
            return false;
        total += len;
        const unsigned char* t = s + off;
        if (IsTag(r, "head")) {
            if (len < 54)
                return false;
            // Readers refuse the whole font over units per em outside their range.
            const unsigned unitsPerEm = Be16(t + 18);
            if (unitsPerEm < SFNT_MIN_UNITS_PER_EM || unitsPerEm > SFNT_MAX_UNITS_PER_EM)
                return false;
            macStyle = Be16(t + 44);
        } else if (IsTag(r, "maxp")) {
            if (len < 6)
                return false;
            numGlyphs = Be16(t + 4);
            // A font without glyphs draws nothing, and readers refuse it.
            if (numGlyphs == 0)
                return false;
        } else if (IsTag(r, "cmap")) {
            if (!CheckCmap(t, (size_t)len))
                return false;
            if (needOS2 && ConvertsCmap(t) && !BuildSegments(t))
                return false;
        }
    }
    // Tables of a sound program do not overlap; overlapping ones could make the copy many
    // times larger than the program.
    return total <= sourceLength;
}

int TrueTypeWriter::Put(FILE* fp, const void* bytes, size_t n)
{
    if (n && fwrite(bytes, 1, n, fp) != n)
        failed = true;
    return failed ? -1 : 0;
}

int TrueTypeWriter::Pad(FILE* fp, size_t len)
{
    static const unsigned char zeros[4] = {0, 0, 0, 0};
    return Put(fp, zeros, (4 - len % 4) % 4);
}

int TrueTypeWriter::CopyTable(FILE* fp, TT_Table* rec)
{
    const long pos = ftell(fp);
    const uint32_t len = Be32(rec->length);
    Put(fp, source + Be32(rec->offset), len);
    Pad(fp, len);
    SetBe32(rec->offset, (uint32_t)pos);
    return failed ? -1 : 0;
}

int TrueTypeWriter::WriteTable(FILE* fp, TT_Table* rec)
{
    const long pos = ftell(fp);
    if (pos < 0) {
        failed = true;
        return -1;
    }
    if (IsTag(*rec, "head"))
        headOffset = (int)pos;
    if (needOS2 && IsTag(*rec, "name"))
        return WriteNameTable(fp, rec, nullptr);
    if (needOS2 && IsTag(*rec, "cmap"))
        return WriteCMapTable(fp, rec);
    return CopyTable(fp, rec);
}

int TrueTypeWriter::WriteNameTable(FILE* fp, TT_Table* rec, unsigned int*)
{
    const long pos = ftell(fp);
    const char* name = fontName ? fontName : "";
    const char* style = StyleOf(macStyle);
    const unsigned N = (unsigned)strlen(name), S = (unsigned)strlen(style);
    struct NameRecord { unsigned platform, encoding, language, id, length, offset; };
    const NameRecord recs[8] = {
        {1, 0, 0, 1, N, 0},
        {1, 0, 0, 2, S, N},
        {1, 0, 0, 4, N, 0},
        {1, 0, 0, 6, N, 0},
        {3, 1, 0x0409, 1, 2 * N, N + S},
        {3, 1, 0x0409, 2, 2 * S, 3 * N + S},
        {3, 1, 0x0409, 4, 2 * N, N + S},
        {3, 1, 0x0409, 6, 2 * N, N + S},
    };
    Out o;
    o.u16(0);
    o.u16(8);
    o.u16(6 + 8 * 12);
    for (const NameRecord& r : recs) {
        o.u16(r.platform);
        o.u16(r.encoding);
        o.u16(r.language);
        o.u16(r.id);
        o.u16(r.length);
        o.u16(r.offset);
    }
    o.b.insert(o.b.end(), name, name + N);
    o.b.insert(o.b.end(), style, style + S);
    for (unsigned i = 0; i < N; i++)
        o.u16((unsigned char)name[i]);
    for (unsigned i = 0; i < S; i++)
        o.u16((unsigned char)style[i]);
    Put(fp, o.b.data(), o.b.size());
    Pad(fp, o.b.size());

    static const unsigned char kNameSum[4] = {0xE8, 0x85, 0x27, 0x1A};
    SetBe32(rec->offset, (uint32_t)pos);
    SetBe32(rec->length, (uint32_t)o.b.size());
    memcpy(rec->checkSum, kNameSum, 4);
    return failed ? -1 : 0;
}

int TrueTypeWriter::WriteNewOS2Table(FILE* fp, TT_Table* rec)
{
    const long pos = ftell(fp);
    // With no converted Macintosh subtable the range is the single code 0 rather than the
    // wrapped 0..0xFFFF that an empty count would give.
    const unsigned last = codeCount ? (unsigned)(firstCode + codeCount - 1) & 0xFFFF : firstCode;
    Out o;
    o.u16(3);      // version
    o.u16(990);    // xAvgCharWidth
    o.u16(700);    // usWeightClass
    o.u16(5);      // usWidthClass
    o.u16(8);      // fsType
    o.u16(409);    // ySubscriptXSize
    o.u16(409);    // ySubscriptYSize
    o.u16(0);      // ySubscriptXOffset
    o.u16(409);    // ySubscriptYOffset
    o.u16(409);    // ySuperscriptXSize
    o.u16(409);    // ySuperscriptYSize
    o.u16(0);      // ySuperscriptXOffset
    o.u16(1638);   // ySuperscriptYOffset
    o.u16(204);    // yStrikeoutSize
    o.u16(409);    // yStrikeoutPosition
    o.u16(0);      // sFamilyClass
    for (int i = 0; i < 10; i++)
        o.b.push_back(0);  // panose
    o.u32(1);      // ulUnicodeRange1
    o.u32(0);
    o.u32(0);
    o.u32(0);
    o.u32(0);      // achVendID
    o.u16(0);      // fsSelection
    o.u16(firstCode);
    o.u16(last);
    o.u16(1422);   // sTypoAscender
    o.u16((unsigned)-425 & 0xFFFF);
    o.u16(200);    // sTypoLineGap
    o.u16(1422);   // usWinAscent
    o.u16(425);    // usWinDescent
    o.u32(0);      // ulCodePageRange1
    o.u32(0);      // ulCodePageRange2
    o.u16(880);    // sxHeight
    o.u16(1672);   // sCapHeight
    o.u16(0);      // usDefaultChar
    o.u16(32);     // usBreakChar
    o.u16(0);      // usMaxContext
    Put(fp, o.b.data(), o.b.size());

    memcpy(rec->tag, "OS/2", 4);
    SetBe32(rec->offset, (uint32_t)pos);
    SetBe32(rec->length, (uint32_t)o.b.size());
    SetBe32(rec->checkSum, SumWords(o.b.data(), o.b.size()));
    return failed ? -1 : 0;
}

int TrueTypeWriter::WriteNewCMapTable(FILE* fp, TT_Table* rec)
{
    const long pos = ftell(fp);
    // The closing segment owns 0xFFFF.
    const unsigned end = numGlyphs < 0xFFFF ? (unsigned)numGlyphs : 0xFFFE;
    firstCode = 0;
    codeCount = (unsigned short)(end + 1);
    const std::vector<unsigned char> table = IdentitySymbolCmap(end);
    Put(fp, table.data(), table.size());

    static const unsigned char kCmapSum[4] = {0x03, 0x51, 0x04, 0x1E};
    memcpy(rec->tag, "cmap", 4);
    SetBe32(rec->offset, (uint32_t)pos);
    SetBe32(rec->length, (uint32_t)table.size());
    memcpy(rec->checkSum, kCmapSum, 4);
    return failed ? -1 : 0;
}

int TrueTypeWriter::WriteCMapTable(FILE* fp, TT_Table* rec)
{
    const unsigned char* cmap = (const unsigned char*)source + Be32(rec->offset);
    if (Be16(cmap + 2) != 1 || Be16(cmap + 4) != 1)
        return CopyTable(fp, rec);
    const unsigned char* sub = cmap + Be32(cmap + 8);
    const unsigned format = Be16(sub);
    if (format == 6) {
        firstCode = Be16(sub + 6);
        codeCount = Be16(sub + 8);
    } else {
        firstCode = 0;
        codeCount = 256;
    }
    if (!ConvertsCmap(cmap) || !BuildSegments(cmap))
        return CopyTable(fp, rec);

    const long pos = ftell(fp);
    const unsigned segCount = (unsigned)segments.size();
    unsigned power, log2;
    PowerOfTwoBelow(segCount, &power, &log2);
    Out o;
    o.u16(0);
    o.u16(1);
    o.u16(3);
    o.u16(1);
    o.u32(12);
    o.u16(4);
    o.u16(16 + 8 * segCount);
    o.u16(0);
    o.u16(2 * segCount);
    o.u16(2 * power);
    o.u16(log2);
    o.u16(2 * segCount - 2 * power);
    for (const Segment& g : segments)
        o.u16(g.end);
    o.u16(0);
    for (const Segment& g : segments)
        o.u16(g.start);
    for (const Segment& g : segments)
        o.u16(g.delta);
    for (unsigned i = 0; i < segCount; i++)
        o.u16(0);
    Put(fp, o.b.data(), o.b.size());

    static const unsigned char kCmapSum[4] = {0x03, 0x51, 0x04, 0x1E};
    SetBe32(rec->offset, (uint32_t)pos);
    SetBe32(rec->length, (uint32_t)o.b.size());
    memcpy(rec->checkSum, kCmapSum, 4);
    return failed ? -1 : 0;
}

int TrueTypeWriter::WriteNewFont(const char* path, const char* name)
{
    CheckForOS2();
    CheckForCMAP();
    fontName = name;
    headOffset = -1;
    refused = false;
    if (!path)
        return -1;
    if (!CheckSource()) {
        refused = true;
        return -1;
    }

    FILE* fp = nullptr;
    if (pdfcreatfile(&fp, path) != 0)
        return -1;
    failed = false;
    checksum = 0;

    const unsigned T = numTables + needOS2 + needCmap;
    unsigned power, log2;
    PowerOfTwoBelow(T, &power, &log2);
    unsigned char head[12];
    SetBe32(head, Be32((const unsigned char*)source));  // the source's flavour
    SetBe16(head + 4, T);
    SetBe16(head + 6, 16 * power);
    SetBe16(head + 8, log2);
    SetBe16(head + 10, 16 * T - 16 * power);
    checksum = SumWords(head, 12);
    Put(fp, head, 12);

    TT_Table os2 = {{'O', 'S', '/', '2'}, {0}, {0}, {0}};
    TT_Table cmap = {{'c', 'm', 'a', 'p'}, {0}, {0}, {0}};
    Put(fp, records, (size_t)numTables * sizeof(TT_Table));
    if (needOS2)
        Put(fp, &os2, sizeof os2);
    if (needCmap)
        Put(fp, &cmap, sizeof cmap);

    for (unsigned i = 0; i < numTables && !failed; i++)
        WriteTable(fp, &records[i]);
    if (needCmap && !failed)
        WriteNewCMapTable(fp, &cmap);
    if (needOS2 && !failed)
        WriteNewOS2Table(fp, &os2);

    // The final directory: the generated records first, then the source ones.
    std::vector<TT_Table> dir;
    if (needOS2)
        dir.push_back(os2);
    if (needCmap)
        dir.push_back(cmap);
    dir.insert(dir.end(), records, records + numTables);
    for (const TT_Table& r : dir)
        checksum += Be32(r.checkSum);
    checksum += SumWords((const unsigned char*)dir.data(), dir.size() * sizeof(TT_Table));
    if (!failed && fseek(fp, 12, SEEK_SET) != 0)
        failed = true;
    Put(fp, dir.data(), dir.size() * sizeof(TT_Table));

    if (needOS2 && headOffset >= 0 && !failed) {
        unsigned char adj[4];
        SetBe32(adj, 0xB1B0AFBAu - checksum);
        if (fseek(fp, headOffset + 8, SEEK_SET) != 0)
            failed = true;
        Put(fp, adj, 4);
    }

    if (pdfclose(fp) != 0)
        failed = true;
    if (failed) {
        remove(path);
        return -1;
    }
    return 0;
}
