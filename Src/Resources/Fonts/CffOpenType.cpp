#include "Resources/Fonts/CffOpenType.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "Resources/Fonts/FontEng.h"
#include "Resources/Fonts/SfntTables.h"

namespace {

uint16_t Be16(const unsigned char* p)
{
    return (uint16_t)(p[0] << 8 | p[1]);
}

uint32_t Be32(const unsigned char* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// A CFF INDEX at `pos`: `count` items whose offsets (1-based, `offSize` bytes each) follow
// the header; `end` is where the INDEX ends.
struct CffIndex {
    unsigned count = 0;
    unsigned offSize = 0;
    size_t offsets = 0;  // position of the offset array
    size_t data = 0;     // position of the byte before the first item
    size_t end = 0;
};

uint32_t OffsetAt(const unsigned char* p, unsigned size)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < size; i++)
        v = v << 8 | p[i];
    return v;
}

// Checks the whole offset array: it starts at 1, never falls and ends inside the data.
bool ReadIndex(const unsigned char* d, size_t n, size_t pos, CffIndex* ix)
{
    if (pos > n || n - pos < 2)
        return false;
    ix->count = Be16(d + pos);
    if (ix->count == 0) {
        ix->end = pos + 2;
        return true;
    }
    if (n - pos < 3)
        return false;
    ix->offSize = d[pos + 2];
    if (ix->offSize < 1 || ix->offSize > 4)
        return false;
    ix->offsets = pos + 3;
    const uint64_t arrayBytes = ((uint64_t)ix->count + 1) * ix->offSize;
    if (arrayBytes > n - ix->offsets)
        return false;
    ix->data = ix->offsets + (size_t)arrayBytes - 1;
    uint32_t prev = 1;
    for (unsigned i = 0; i <= ix->count; i++) {
        const uint32_t off = OffsetAt(d + ix->offsets + (size_t)i * ix->offSize, ix->offSize);
        if ((i == 0 && off != 1) || off < prev)
            return false;
        prev = off;
    }
    if (prev > n - ix->data)
        return false;
    ix->end = ix->data + prev;
    return true;
}

// Item k of a checked INDEX.
void IndexItem(const unsigned char* d, const CffIndex& ix, unsigned k, size_t* start, size_t* len)
{
    const uint32_t a = OffsetAt(d + ix.offsets + (size_t)k * ix.offSize, ix.offSize);
    const uint32_t b = OffsetAt(d + ix.offsets + (size_t)(k + 1) * ix.offSize, ix.offSize);
    *start = ix.data + a;
    *len = b - a;
}

// The Top DICT entries the package needs.
struct TopDict {
    double charStrings = -1;
    double charset = 0;
    bool ros = false;
    bool firstIsRos = false;
    double fontMatrix0 = 0.001;
    double bbox[4] = {0, 0, 0, 0};
};

// A real number: nibbles up to the end nibble 0xf. False past the data.
bool ReadReal(const unsigned char* d, size_t end, size_t* pos, double* out)
{
    std::string text;
    for (;;) {
        if (*pos >= end)
            return false;
        const unsigned char b = d[(*pos)++];
        for (int half = 0; half < 2; half++) {
            const unsigned nib = half == 0 ? b >> 4 : b & 0xF;
            if (nib == 0xF) {
                *out = text.size() < 64 ? strtod(text.c_str(), nullptr) : 0.0;
                if (!std::isfinite(*out))
                    *out = 0.0;
                return true;
            }
            if (text.size() < 64) {
                static const char* const kNibble[] = {"0", "1", "2", "3", "4", "5",  "6", "7",
                                                      "8", "9", ".", "E", "E-", "",  "-", ""};
                text += kNibble[nib];
            }
        }
    }
}

bool ReadTopDict(const unsigned char* d, size_t start, size_t len, TopDict* top)
{
    enum { MAX_OPERANDS = 48 };
    double ops[MAX_OPERANDS];
    int n = 0;
    bool first = true;
    const size_t end = start + len;
    size_t pos = start;
    while (pos < end) {
        const unsigned b0 = d[pos++];
        double v;
        if (b0 <= 21) {
            unsigned op = b0;
            if (b0 == 12) {
                if (pos >= end)
                    return false;
                op = 1200 + d[pos++];
            }
            if (op == 17 && n >= 1)
                top->charStrings = ops[n - 1];
            else if (op == 15 && n >= 1)
                top->charset = ops[n - 1];
            else if (op == 5 && n >= 4)
                for (int i = 0; i < 4; i++)
                    top->bbox[i] = ops[n - 4 + i];
            else if (op == 1207 && n >= 6)
                top->fontMatrix0 = ops[n - 6];
            else if (op == 1230) {
                top->ros = true;
                top->firstIsRos = first;
            }
            first = false;
            n = 0;
            continue;
        }
        if (b0 == 28) {
            if (end - pos < 2)
                return false;
            v = (int16_t)Be16(d + pos);
            pos += 2;
        } else if (b0 == 29) {
            if (end - pos < 4)
                return false;
            v = (int32_t)Be32(d + pos);
            pos += 4;
        } else if (b0 == 30) {
            if (!ReadReal(d, end, &pos, &v))
                return false;
        } else if (b0 >= 32 && b0 <= 246) {
            v = (int)b0 - 139;
        } else if (b0 >= 247 && b0 <= 254) {
            if (pos >= end)
                return false;
            const int w = (int)(b0 >= 251 ? b0 - 251 : b0 - 247) * 256 + d[pos++] + 108;
            v = b0 >= 251 ? -w : w;
        } else {
            return false;  // reserved byte
        }
        if (n >= MAX_OPERANDS)
            return false;
        ops[n++] = v;
    }
    return n == 0;  // operands without their operator
}

// The CID of every glyph of a CID-keyed program, from its charset (glyph 0 is CID 0).
bool ReadCharset(const unsigned char* d, size_t n, size_t pos, int numGlyphs,
                 std::vector<uint16_t>* cidToGid)
{
    cidToGid->assign(65536, 0);
    if (pos >= n)
        return false;
    const unsigned format = d[pos++];
    int gid = 1;
    auto name = [&](unsigned cid) {
        if ((*cidToGid)[cid] == 0)
            (*cidToGid)[cid] = (uint16_t)gid;
        gid++;
    };
    if (format == 0) {
        if ((uint64_t)(numGlyphs - 1) * 2 > n - pos)
            return false;
        while (gid < numGlyphs)
            name(Be16(d + pos + 2 * (size_t)(gid - 1)));
        return true;
    }
    if (format != 1 && format != 2)
        return false;
    const size_t rangeBytes = format == 1 ? 3 : 4;
    while (gid < numGlyphs) {
        if (n - pos < rangeBytes)
            return false;
        const unsigned firstCid = Be16(d + pos);
        const unsigned left = format == 1 ? d[pos + 2] : Be16(d + pos + 2);
        pos += rangeBytes;
        for (unsigned k = 0; k <= left && gid < numGlyphs; k++) {
            if (firstCid + k > 0xFFFF)
                return false;
            name(firstCid + k);
        }
    }
    return true;
}

using Out = SfntOut;

uint32_t TableSum(const std::vector<unsigned char>& t)
{
    uint32_t s = 0;
    for (size_t i = 0; i < t.size(); i += 4) {
        unsigned char w[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < 4 && i + k < t.size(); k++)
            w[k] = t[i + k];
        s += Be32(w);
    }
    return s;
}

unsigned Clamp16(double v)
{
    if (!(v > -32768))
        v = -32768;
    if (v > 32767)
        v = 32767;
    return (unsigned)(int)std::lround(v) & 0xFFFF;
}

// The name records' text: the PDF font name in printable ASCII, cut to what a PostScript
// name may hold.
std::string NameText(const char* fontName)
{
    std::string s;
    for (const char* p = fontName ? fontName : ""; *p && s.size() < 63; p++)
        s += (*p > ' ' && *p < 0x7F) ? *p : '_';
    return s.empty() ? std::string("Font") : s;
}

std::vector<unsigned char> NameTable(const std::string& name)
{
    const std::string style = "Regular";
    const std::string* texts[4] = {&name, &style, &name, &name};
    const unsigned ids[4] = {1, 2, 4, 6};
    Out o;
    o.u16(0);
    o.u16(4);
    o.u16(6 + 4 * 12);
    unsigned offset = 0;
    for (int i = 0; i < 4; i++) {
        o.u16(3);
        o.u16(1);
        o.u16(0x0409);
        o.u16(ids[i]);
        o.u16(2 * (unsigned)texts[i]->size());
        o.u16(offset);
        offset += 2 * (unsigned)texts[i]->size();
    }
    for (const std::string* t : texts)
        for (char c : *t)
            o.u16((unsigned char)c);
    return o.b;
}

}  // namespace

bool ReadCffProgram(const unsigned char* d, size_t n, CffProgram* out)
{
    if (!d || n < 4 || d[0] != 1 || d[2] < 4 || d[2] > n)
        return false;
    CffIndex names, tops, strings, globals, charStrings;
    if (!ReadIndex(d, n, d[2], &names) || names.count < 1 || !ReadIndex(d, n, names.end, &tops) ||
        tops.count < 1 || !ReadIndex(d, n, tops.end, &strings) ||
        !ReadIndex(d, n, strings.end, &globals))
        return false;
    size_t topStart, topLen;
    IndexItem(d, tops, 0, &topStart, &topLen);
    TopDict top;
    if (!ReadTopDict(d, topStart, topLen, &top))
        return false;
    if (!(top.charStrings > 0 && top.charStrings < (double)n) ||
        !ReadIndex(d, n, (size_t)top.charStrings, &charStrings) || charStrings.count < 1)
        return false;

    out->numGlyphs = (int)charStrings.count;
    out->cidKeyed = top.ros && top.firstIsRos;
    out->unitsPerEm = 1000;
    if (top.fontMatrix0 > 0) {
        const double upem = std::round(1.0 / top.fontMatrix0);
        if (upem >= SFNT_MIN_UNITS_PER_EM && upem <= SFNT_MAX_UNITS_PER_EM)
            out->unitsPerEm = (int)upem;
    }
    for (int i = 0; i < 4; i++)
        out->bbox[i] = (int)(int16_t)Clamp16(top.bbox[i]);
    out->cidToGid.reset();
    if (out->cidKeyed) {
        if (!(top.charset > 2 && top.charset < (double)n))
            return false;
        auto map = std::make_shared<std::vector<uint16_t>>();
        if (!ReadCharset(d, n, (size_t)top.charset, out->numGlyphs, map.get()))
            return false;
        out->cidToGid = map;
    }
    return true;
}

const unsigned char* SfntTable(const unsigned char* s, size_t n, const char* tag, size_t* len)
{
    if (!s || n < 12)
        return nullptr;
    const unsigned count = Be16(s + 4);
    if (12 + (uint64_t)count * 16 > n)
        return nullptr;
    for (unsigned i = 0; i < count; i++) {
        const unsigned char* r = s + 12 + 16 * (size_t)i;
        const uint64_t off = Be32(r + 8), l = Be32(r + 12);
        if (memcmp(r, tag, 4) == 0 && off + l <= n) {
            *len = (size_t)l;
            return s + off;
        }
    }
    return nullptr;
}

int WriteCffAsOpenType(const char* path, const unsigned char* cff, size_t length,
                       const char* fontName, const CffProgram& prog, bool* refused)
{
    auto refuse = [refused] {
        if (refused)
            *refused = true;
        return -1;
    };
    // Offsets in the font are 32-bit.
    if (!path || !cff || length == 0 || length > 0x7FFF0000u || prog.numGlyphs < 1 ||
        prog.numGlyphs > 0xFFFF)
        return refuse();
    const unsigned glyphs = (unsigned)prog.numGlyphs;
    const unsigned upem = (unsigned)prog.unitsPerEm;
    const int* bb = prog.bbox;
    const unsigned ascent = bb[3] > 0 ? (unsigned)bb[3] : upem * 4 / 5;
    const unsigned descent = bb[1] < 0 ? (unsigned)-bb[1] : upem / 5;
    const unsigned advance = bb[2] > bb[0] ? (unsigned)(bb[2] - bb[0]) : upem;

    struct Table {
        const char* tag;
        std::vector<unsigned char> data;
    };
    std::vector<Table> tables;  // in tag order, as the directory wants them

    tables.push_back({"CFF ", std::vector<unsigned char>(cff, cff + length)});

    Out os2;
    os2.u16(3);                      // version
    os2.u16(advance / 2);            // xAvgCharWidth
    os2.u16(400);                    // usWeightClass
    os2.u16(5);                      // usWidthClass
    os2.u16(0);                      // fsType: installable
    for (int i = 0; i < 10; i++)     // sub- and superscript, strikeout: left to the reader
        os2.u16(0);
    os2.u16(0);                      // sFamilyClass
    os2.zeros(10);                   // panose
    os2.zeros(16);                   // ulUnicodeRange1-4
    os2.zeros(4);                    // achVendID
    os2.u16(0x40);                   // fsSelection: regular
    os2.u16(0);                      // usFirstCharIndex
    os2.u16(glyphs - 1 < 0xFFFE ? glyphs - 1 : 0xFFFE);  // usLastCharIndex
    os2.u16(ascent);                 // sTypoAscender
    os2.u16((unsigned)-(int)descent & 0xFFFF);  // sTypoDescender
    os2.u16(0);                      // sTypoLineGap
    os2.u16(ascent);                 // usWinAscent
    os2.u16(descent);                // usWinDescent
    os2.u32(0);                      // ulCodePageRange1
    os2.u32(0);                      // ulCodePageRange2
    os2.u16(ascent / 2);             // sxHeight
    os2.u16(ascent);                 // sCapHeight
    os2.u16(0);                      // usDefaultChar
    os2.u16(32);                     // usBreakChar
    os2.u16(0);                      // usMaxContext
    tables.push_back({"OS/2", os2.b});

    // Runs address glyphs by index; the symbol map keeps code c on glyph c for readers that
    // look for one.
    const unsigned last = glyphs - 1 < 0xFFFE ? glyphs - 1 : 0xFFFE;
    tables.push_back({"cmap", IdentitySymbolCmap(last)});

    Out head;
    head.u32(0x00010000);
    head.u32(0x00010000);            // fontRevision
    head.u32(0);                     // checkSumAdjustment, set below
    head.u32(0x5F0F3CF5);
    head.u16(0x000B);                // flags
    head.u16(upem);
    head.zeros(16);                  // created, modified
    for (int i = 0; i < 4; i++)
        head.u16((unsigned)bb[i] & 0xFFFF);
    head.u16(0);                     // macStyle
    head.u16(8);                     // lowestRecPPEM
    head.u16(2);                     // fontDirectionHint
    head.u16(0);                     // indexToLocFormat
    head.u16(0);                     // glyphDataFormat
    tables.push_back({"head", head.b});

    Out hhea;
    hhea.u32(0x00010000);
    hhea.u16(ascent);
    hhea.u16((unsigned)-(int)descent & 0xFFFF);
    hhea.u16(0);                     // lineGap
    hhea.u16(advance);               // advanceWidthMax
    hhea.u16((unsigned)bb[0] & 0xFFFF);
    hhea.u16(0);                     // minRightSideBearing
    hhea.u16((unsigned)bb[2] & 0xFFFF);
    hhea.u16(1);                     // caretSlopeRise
    hhea.u16(0);
    hhea.u16(0);
    hhea.zeros(8);
    hhea.u16(0);                     // metricDataFormat
    hhea.u16(1);                     // numberOfHMetrics
    tables.push_back({"hhea", hhea.b});

    // The runs carry every advance; one metric serves all glyphs.
    Out hmtx;
    hmtx.u16(advance);
    hmtx.u16(0);
    hmtx.zeros(2 * (size_t)(glyphs - 1));
    tables.push_back({"hmtx", hmtx.b});

    Out maxp;
    maxp.u32(0x00005000);
    maxp.u16(glyphs);
    tables.push_back({"maxp", maxp.b});

    tables.push_back({"name", NameTable(NameText(fontName))});

    Out post;
    post.u32(0x00030000);
    post.u32(0);                     // italicAngle
    post.u16((unsigned)-100 & 0xFFFF);
    post.u16(50);
    post.zeros(20);
    tables.push_back({"post", post.b});

    // Directory, then each table on a 4-byte boundary.
    const unsigned count = (unsigned)tables.size();
    unsigned power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        log2++;
    }
    Out font;
    font.u32(0x4F54544F);            // 'OTTO'
    font.u16(count);
    font.u16(16 * power);
    font.u16(log2);
    font.u16(16 * count - 16 * power);
    uint64_t offset = 12 + 16 * (uint64_t)count;
    size_t headAt = 0;
    for (const Table& t : tables) {
        font.b.insert(font.b.end(), t.tag, t.tag + 4);
        font.u32(TableSum(t.data));
        font.u32((uint32_t)offset);
        font.u32((uint32_t)t.data.size());
        if (strcmp(t.tag, "head") == 0)
            headAt = (size_t)offset;
        offset += (t.data.size() + 3) / 4 * 4;
    }
    if (offset > 0x7FFFFFFFu)
        return refuse();
    for (const Table& t : tables) {
        font.b.insert(font.b.end(), t.data.begin(), t.data.end());
        font.zeros((4 - t.data.size() % 4) % 4);
    }
    const uint32_t adjust = 0xB1B0AFBAu - TableSum(font.b);
    font.b[headAt + 8] = (unsigned char)(adjust >> 24);
    font.b[headAt + 9] = (unsigned char)(adjust >> 16);
    font.b[headAt + 10] = (unsigned char)(adjust >> 8);
    font.b[headAt + 11] = (unsigned char)adjust;

    // What readers will do with it: open it and find every glyph.
    if (FontProgramGlyphs(font.b.data(), font.b.size()) != (long)glyphs)
        return refuse();

    FILE* fp = fopen(path, "wb");
    if (!fp)
        return -1;
    bool ok = fwrite(font.b.data(), 1, font.b.size(), fp) == font.b.size();
    ok = (fclose(fp) == 0) && ok;
    if (!ok) {
        remove(path);
        return -1;
    }
    return 0;
}
