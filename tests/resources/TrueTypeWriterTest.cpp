#include "Resources/Fonts/TrueTypeWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

// ---- Building small TrueType programs -------------------------------------------------

struct Bytes {
    std::string s;
    Bytes& u8(unsigned v) { s.push_back((char)v); return *this; }
    Bytes& u16(unsigned v) { return u8(v >> 8).u8(v); }
    Bytes& u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    Bytes& raw(const std::string& t) { s += t; return *this; }
    Bytes& zeros(size_t n) { s.append(n, '\0'); return *this; }
};

uint32_t Be32(const std::string& s, size_t at)
{
    return (uint32_t)(unsigned char)s[at] << 24 | (uint32_t)(unsigned char)s[at + 1] << 16 |
           (uint32_t)(unsigned char)s[at + 2] << 8 | (unsigned char)s[at + 3];
}

unsigned Be16(const std::string& s, size_t at)
{
    return (unsigned)(unsigned char)s[at] << 8 | (unsigned char)s[at + 1];
}

uint32_t Checksum(std::string data)
{
    data.append((4 - data.size() % 4) % 4, '\0');
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); i += 4)
        sum += Be32(data, i);
    return sum;
}

struct Table {
    std::string tag, data;
};

// Directory in the given order, data 4-aligned after it, true checksums.
std::string Sfnt(const std::vector<Table>& tables)
{
    Bytes dir, body;
    const size_t n = tables.size();
    dir.u32(0x00010000).u16((unsigned)n).u16(16).u16(0).u16(0);
    size_t offset = 12 + 16 * n;
    for (const Table& t : tables) {
        dir.raw(t.tag).u32(Checksum(t.data)).u32((uint32_t)offset).u32((uint32_t)t.data.size());
        body.raw(t.data).zeros((4 - t.data.size() % 4) % 4);
        offset += t.data.size() + (4 - t.data.size() % 4) % 4;
    }
    return dir.s + body.s;
}

std::string Head(unsigned macStyle)
{
    Bytes b;
    b.u32(0x00010000).u32(0x00010000).u32(0x12345678).u32(0x5F0F3CF5).u16(0).u16(1000);
    b.zeros(16).u16(0).u16(0).u16(1000).u16(1000).u16(macStyle).u16(8).u16(2).u16(0).u16(0);
    return b.s;  // 54 bytes, short loca offsets
}

std::string Hhea()
{
    Bytes b;
    b.u32(0x00010000).u16(800).u16((unsigned)-200 & 0xFFFF).u16(0).u16(600).u16(0).u16(0);
    b.u16(600).u16(1).u16(0).u16(0).zeros(8).u16(0).u16(1);
    return b.s;  // 36 bytes, one long metric
}

std::string Maxp(unsigned glyphs)
{
    Bytes b;
    b.u32(0x00010000).u16(glyphs).u16(3).u16(1).u16(0).u16(0).u16(2);
    b.zeros(16);
    return b.s;  // 32 bytes
}

std::string Hmtx(unsigned glyphs)
{
    Bytes b;
    b.u16(600).u16(0).zeros(2 * (glyphs - 1));
    return b.s;
}

// Glyph 0 empty, glyphs 1..7 a triangle each, the rest empty.
void GlyfLoca(unsigned glyphs, std::string* glyf, std::string* loca)
{
    Bytes tri;
    tri.u16(1).u16(0).u16(0).u16(500).u16(700).u16(2).u16(0).u8(1).u8(1).u8(1);
    tri.u16(0).u16(500).u16((unsigned)-250 & 0xFFFF).u16(0).u16(0).u16(700).u8(0);
    Bytes g, l;
    for (unsigned i = 0; i < glyphs; i++) {
        l.u16((unsigned)g.s.size() / 2);
        if (i >= 1 && i <= 7)
            g.raw(tri.s);
    }
    l.u16((unsigned)g.s.size() / 2);
    *glyf = g.s;
    *loca = l.s;
}

std::string Post()
{
    Bytes b;
    b.u32(0x00030000).u32(0).u16(0).u16(50).u32(0).zeros(16);
    return b.s;
}

std::string NameTable()
{
    Bytes b;
    b.u16(0).u16(1).u16(18).u16(1).u16(0).u16(0).u16(1).u16(3).u16(0).raw("Src");
    return b.s;
}

std::string Os2()
{
    Bytes b;
    b.u16(3).zeros(94);
    return b.s;
}

// A cmap with the given subtables, each {platform, encoding, bytes}.
struct Sub { unsigned platform, encoding; std::string data; };
std::string Cmap(const std::vector<Sub>& subs)
{
    Bytes b;
    b.u16(0).u16((unsigned)subs.size());
    size_t off = 4 + 8 * subs.size();
    for (const Sub& s : subs) {
        b.u16(s.platform).u16(s.encoding).u32((uint32_t)off);
        off += s.data.size();
    }
    for (const Sub& s : subs)
        b.raw(s.data);
    return b.s;
}

std::string Format0(const std::map<unsigned, unsigned>& map)
{
    Bytes b;
    b.u16(0).u16(262).u16(0);
    for (unsigned c = 0; c < 256; c++)
        b.u8(map.count(c) ? map.at(c) : 0);
    return b.s;
}

std::string Format6(unsigned first, const std::vector<unsigned>& glyphs, unsigned claimed)
{
    Bytes b;
    b.u16(6).u16((unsigned)(10 + 2 * glyphs.size())).u16(0).u16(first).u16(claimed);
    for (unsigned g : glyphs)
        b.u16(g);
    return b.s;
}

// Windows Unicode format 4 with one segment mapping 'A'..'C' to glyphs 3..5.
std::string Format4Abc()
{
    Bytes b;
    b.u16(4).u16(32).u16(0).u16(4).u16(4).u16(1).u16(0);
    b.u16('C').u16(0xFFFF).u16(0).u16('A').u16(0xFFFF).u16((3 - 'A') & 0xFFFF).u16(1);
    b.u16(0).u16(0);
    return b.s;
}

// The nine tables of a font without "OS/2"; `cmap` empty leaves that table out too.
std::vector<Table> Tables(unsigned glyphs, unsigned macStyle, const std::string& cmap,
                          bool withName = true)
{
    std::string glyf, loca;
    GlyfLoca(glyphs, &glyf, &loca);
    std::vector<Table> t = {{"head", Head(macStyle)}, {"hhea", Hhea()}, {"maxp", Maxp(glyphs)},
                            {"hmtx", Hmtx(glyphs)}, {"loca", loca}, {"glyf", glyf}};
    if (!cmap.empty())
        t.push_back({"cmap", cmap});
    else
        t.push_back({"prep", std::string(4, '\0')});
    if (withName)
        t.push_back({"name", NameTable()});
    t.push_back({"post", Post()});
    return t;
}

// ---- Reading the output ---------------------------------------------------------------

struct Record {
    std::string tag;
    uint32_t checkSum, offset, length;
};

std::vector<Record> Directory(const std::string& f)
{
    std::vector<Record> out;
    const unsigned n = Be16(f, 4);
    for (unsigned i = 0; i < n && 12 + 16 * (i + 1) <= f.size(); i++) {
        const size_t at = 12 + 16 * i;
        out.push_back({f.substr(at, 4), Be32(f, at + 4), Be32(f, at + 8), Be32(f, at + 12)});
    }
    return out;
}

std::string TableOf(const std::string& f, const std::string& tag, Record* rec = nullptr)
{
    for (const Record& r : Directory(f))
        if (r.tag == tag) {
            if (rec)
                *rec = r;
            return f.substr(r.offset, r.length);
        }
    return std::string();
}

std::string Write(std::string sfnt, const char* fontName, const std::string& path, int* result)
{
    TrueTypeWriter w(&sfnt[0], sfnt.size());
    *result = w.WriteNewFont(path.c_str(), fontName);
    return testutil::ReadFile(path);
}

// Opens the file in FreeType, selects (platform, encoding) and checks each code's glyph.
void ExpectMapping(const std::string& path, unsigned platform, unsigned encoding,
                   const std::map<unsigned, unsigned>& codes)
{
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, path.c_str(), 0, &face), 0) << path;
    FT_CharMap chosen = nullptr;
    for (int i = 0; i < face->num_charmaps; i++)
        if (face->charmaps[i]->platform_id == platform &&
            face->charmaps[i]->encoding_id == encoding)
            chosen = face->charmaps[i];
    ASSERT_NE(chosen, nullptr) << "no (" << platform << "," << encoding << ") cmap";
    ASSERT_EQ(FT_Set_Charmap(face, chosen), 0);
    for (const auto& c : codes)
        EXPECT_EQ(FT_Get_Char_Index(face, c.first), c.second) << "code " << c.first;
    EXPECT_EQ(FT_Load_Glyph(face, 3, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP), 0);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

// ---- Tests ----------------------------------------------------------------------------

TEST(TrueTypeWriter, CompleteFontIsCopiedTableByTable)
{
    testutil::TempDir dir;
    std::vector<Table> tables = Tables(8, 0, Cmap({{3, 1, Format4Abc()}}));
    tables.insert(tables.begin(), Table{"OS/2", Os2()});
    const std::string src = Sfnt(tables);
    int r;
    const std::string out = Write(src, "Foo", dir.file("a.ttf"), &r);
    ASSERT_EQ(r, 0);

    const std::vector<Record> in = Directory(src), got = Directory(out);
    ASSERT_EQ(got.size(), in.size());
    for (size_t i = 0; i < in.size(); i++) {
        SCOPED_TRACE(in[i].tag);
        EXPECT_EQ(got[i].tag, in[i].tag);
        EXPECT_EQ(got[i].checkSum, in[i].checkSum);
        EXPECT_EQ(got[i].length, in[i].length);
        EXPECT_EQ(got[i].offset % 4, 0u);
        // Every table unchanged, head's checkSumAdjustment and the name table included.
        EXPECT_EQ(out.substr(got[i].offset, got[i].length), src.substr(in[i].offset, in[i].length));
    }
    EXPECT_EQ(out.substr(4, 8), src.substr(4, 2) + std::string("\x00\x80\x00\x03\x00\x20", 6));
    ExpectMapping(dir.file("a.ttf"), 3, 1, {{'A', 3}, {'B', 4}, {'C', 5}, {'D', 0}});
}

TEST(TrueTypeWriter, FontWithoutOs2GetsOs2NameAndWindowsCmap)
{
    struct Case {
        const char* name;
        std::map<unsigned, unsigned> mac;  // format 0 codes
        bool reversed;                     // directory with name before head
        std::vector<unsigned> segments;    // start, end, delta triples
        std::map<unsigned, unsigned> mapped;
    };
    const Case cases[] = {
        {"runs and single codes", {{65, 3}, {66, 4}, {67, 7}}, false,
         {0, 0, 0, 65, 66, (unsigned)-62 & 0xFFFF, 67, 67, (unsigned)-60 & 0xFFFF,
          0xFFFF, 0xFFFF, 1},
         {{'A', 3}, {'B', 4}, {'C', 7}, {'D', 0}, {0, 0}}},
        {"glyph ids above 127 stay unsigned", {{65, 3}, {200, 200}}, false,
         {0, 0, 0, 65, 65, (unsigned)-62 & 0xFFFF, 200, 200, 0, 0xFFFF, 0xFFFF, 1},
         {{'A', 3}, {200, 200}}},
        {"code 0 keeps its glyph without overlapping segments", {{0, 5}, {1, 6}, {65, 3}}, true,
         {0, 0, 5, 1, 1, 5, 65, 65, (unsigned)-62 & 0xFFFF, 0xFFFF, 0xFFFF, 1},
         {{0, 5}, {1, 6}, {'A', 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        std::vector<Table> tables = Tables(210, 1, Cmap({{1, 0, Format0(c.mac)}}));
        if (c.reversed)
            std::reverse(tables.begin(), tables.end());
        int r;
        const std::string out = Write(Sfnt(tables), "Foo", dir.file("b.ttf"), &r);
        ASSERT_EQ(r, 0);

        // Ten tables, the new OS/2 record first, then the source records in their order.
        EXPECT_EQ(out.substr(4, 8), std::string("\x00\x0A\x00\x80\x00\x03\x00\x20", 8));
        const std::vector<Record> got = Directory(out);
        ASSERT_EQ(got.size(), 10u);
        EXPECT_EQ(got[0].tag, "OS/2");
        for (size_t i = 0; i < tables.size(); i++)
            EXPECT_EQ(got[i + 1].tag, tables[i].tag);

        // Name table for "Foo" in bold: 123 bytes, then one zero byte.
        Record nameRec;
        const std::string name = TableOf(out, "name", &nameRec);
        ASSERT_EQ(name.size(), 123u);
        EXPECT_EQ(nameRec.checkSum, 0xE885271Au);
        EXPECT_EQ(out[nameRec.offset + 123], '\0');
        const std::string header("\x00\x00\x00\x08\x00\x66", 6);
        EXPECT_EQ(name.substr(0, 6), header);
        EXPECT_EQ(name.substr(6, 12), std::string("\0\1\0\0\0\0\0\1\0\3\0\0", 12));
        EXPECT_EQ(name.substr(6 + 5 * 12, 12), std::string("\0\3\0\1\x04\x09\0\2\0\x08\0\x0D", 12));
        EXPECT_EQ(name.substr(102), std::string("FooBold\0F\0o\0o\0B\0o\0l\0d", 21));

        // OS/2: the fixed values, the Macintosh code range, the computed checksum.
        Record os2Rec;
        const std::string os2 = TableOf(out, "OS/2", &os2Rec);
        ASSERT_EQ(os2.size(), 96u);
        EXPECT_EQ(Be16(os2, 0), 3u);
        EXPECT_EQ(Be16(os2, 4), 700u);
        EXPECT_EQ(Be16(os2, 64), 0u);
        EXPECT_EQ(Be16(os2, 66), 255u);
        EXPECT_EQ(Be16(os2, 70), (unsigned)-425 & 0xFFFF);
        EXPECT_EQ(Be16(os2, 92), 32u);
        EXPECT_EQ(os2Rec.checkSum, Checksum(os2));

        // cmap: one (3,1) format 4 subtable with exactly these segments.
        Record cmapRec;
        const std::string cmap = TableOf(out, "cmap", &cmapRec);
        const unsigned segCount = (unsigned)c.segments.size() / 3;
        ASSERT_EQ(cmap.size(), 28 + 8 * segCount);
        EXPECT_EQ(cmapRec.checkSum, 0x0351041Eu);
        EXPECT_EQ(cmap.substr(0, 12), std::string("\0\0\0\1\0\3\0\1\0\0\0\x0C", 12));
        EXPECT_EQ(Be16(cmap, 12), 4u);
        EXPECT_EQ(Be16(cmap, 14), 16 + 8 * segCount);
        EXPECT_EQ(Be16(cmap, 18), 2 * segCount);
        for (unsigned k = 0; k < segCount; k++) {
            EXPECT_EQ(Be16(cmap, 28 + 2 * segCount + 2 * k), c.segments[3 * k]) << "start " << k;
            EXPECT_EQ(Be16(cmap, 26 + 2 * k), c.segments[3 * k + 1]) << "end " << k;
            EXPECT_EQ(Be16(cmap, 28 + 4 * segCount + 2 * k), c.segments[3 * k + 2]) << "delta " << k;
            EXPECT_EQ(Be16(cmap, 28 + 6 * segCount + 2 * k), 0u) << "range offset " << k;
        }
        if (segCount == 4) {  // the worked example: 48-byte subtable in a 60-byte table
            EXPECT_EQ(cmap.size(), 60u);
            EXPECT_EQ(Be16(cmap, 20), 8u);  // searchRange
            EXPECT_EQ(Be16(cmap, 22), 2u);  // entrySelector
            EXPECT_EQ(Be16(cmap, 24), 0u);  // rangeShift
        }
        // head.checkSumAdjustment is rewritten.
        EXPECT_NE(Be32(TableOf(out, "head"), 8), 0x12345678u);
        ExpectMapping(dir.file("b.ttf"), 3, 1, c.mapped);
    }
}

TEST(TrueTypeWriter, TablesAddedOrKeptByWhatTheSourceHas)
{
    // Without OS/2 and cmap: eleven tables, OS/2 then the identity symbol cmap first.
    {
        testutil::TempDir dir;
        int r;
        const std::string out = Write(Sfnt(Tables(8, 0, "")), "Foo", dir.file("c.ttf"), &r);
        ASSERT_EQ(r, 0);
        const std::vector<Record> got = Directory(out);
        ASSERT_EQ(got.size(), 11u);
        EXPECT_EQ(got[0].tag, "OS/2");
        EXPECT_EQ(got[1].tag, "cmap");
        EXPECT_EQ(got[1].length, 44u);
        EXPECT_EQ(got[1].checkSum, 0x0351041Eu);
        EXPECT_EQ(got[2].tag, "head");
        const std::string cmap = TableOf(out, "cmap");
        EXPECT_EQ(Be16(cmap, 26), 8u);  // endCode[0] is numGlyphs itself
        EXPECT_EQ(Be16(TableOf(out, "OS/2"), 66), 8u);
        ExpectMapping(dir.file("c.ttf"), 3, 0, {{3, 3}, {5, 5}, {7, 7}});
    }
    // Without OS/2 and without a name table: no name table appears.
    {
        testutil::TempDir dir;
        int r;
        const std::string out =
            Write(Sfnt(Tables(8, 0, Cmap({{1, 0, Format0({{65, 3}})}}), false)), "Foo",
                  dir.file("d.ttf"), &r);
        ASSERT_EQ(r, 0);
        EXPECT_EQ(Directory(out).size(), 9u);
        EXPECT_TRUE(TableOf(out, "name").empty());
        ExpectMapping(dir.file("d.ttf"), 3, 1, {{'A', 3}});
    }
    // Two subtables (Macintosh and Windows): the cmap is copied unchanged.
    {
        testutil::TempDir dir;
        const std::string cmap = Cmap({{1, 0, Format0({{65, 6}})}, {3, 1, Format4Abc()}});
        int r;
        const std::string out = Write(Sfnt(Tables(8, 0, cmap)), "Foo", dir.file("e.ttf"), &r);
        ASSERT_EQ(r, 0);
        Record rec;
        EXPECT_EQ(TableOf(out, "cmap", &rec), cmap);
        EXPECT_EQ(rec.checkSum, Checksum(cmap));
        EXPECT_EQ(rec.offset % 4, 0u);
        ExpectMapping(dir.file("e.ttf"), 3, 1, {{'A', 3}, {'C', 5}});
    }
}

TEST(TrueTypeWriter, Format6WithThousandsOfCodesConvertsWhole)
{
    // 1,000 codes from 32, every second one mapped: 500 single-code segments, far more than
    // a fixed 256-entry table holds.
    std::vector<unsigned> glyphs;
    std::map<unsigned, unsigned> expect;
    for (unsigned i = 0; i < 1000; i++) {
        glyphs.push_back(i % 2 ? 0 : 2 * i + 1);
        if (i % 40 == 0 || i % 40 == 1)
            expect[32 + i] = i % 2 ? 0 : 2 * i + 1;
    }
    testutil::TempDir dir;
    int r;
    const std::string out = Write(Sfnt(Tables(2100, 0, Cmap({{1, 0, Format6(32, glyphs, 1000)}}))),
                                  "Foo", dir.file("f.ttf"), &r);
    ASSERT_EQ(r, 0);
    const std::string cmap = TableOf(out, "cmap");
    EXPECT_EQ(Be16(cmap, 18), 2u * 502);
    const std::string os2 = TableOf(out, "OS/2");
    EXPECT_EQ(Be16(os2, 64), 32u);
    EXPECT_EQ(Be16(os2, 66), 1031u);
    ExpectMapping(dir.file("f.ttf"), 3, 1, expect);
}

TEST(TrueTypeWriter, FileSourceWritesTheSameFont)
{
    testutil::TempDir dir;
    const std::string src = Sfnt(Tables(8, 2, Cmap({{1, 0, Format0({{65, 3}})}})));
    int r;
    const std::string fromMemory = Write(src, "Foo", dir.file("m.ttf"), &r);
    ASSERT_EQ(r, 0);
    FILE* fp = testutil::StreamOf("junk" + src);
    fseek(fp, 4, SEEK_SET);
    TrueTypeWriter w(fp);
    EXPECT_EQ(ftell(fp), 4);
    EXPECT_EQ(w.WriteNewFont(dir.file("s.ttf").c_str(), "Foo"), 0);
    fclose(fp);
    EXPECT_EQ(testutil::ReadFile(dir.file("s.ttf")), fromMemory);
    EXPECT_NE(fromMemory.find(std::string("FooItalic")), std::string::npos);
}

// Programs that do not hold up: WriteNewFont fails, leaves no file and says the program was
// refused.
TEST(TrueTypeWriter, HostileProgramsFailWithoutWriting)
{
    const std::string good = Sfnt(Tables(8, 0, Cmap({{1, 0, Format0({{65, 3}})}})));
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    auto tableRecord = [&](const char* tag) {
        for (size_t i = 0; i < Be16(good, 4); i++)
            if (good.compare(12 + 16 * i, 4, tag) == 0)
                return 12 + 16 * i;
        return (size_t)0;
    };
    auto withTable = [&](const char* tag, const std::string& data) {
        std::vector<Table> t = Tables(8, 0, Cmap({{1, 0, Format0({{65, 3}})}}));
        for (Table& x : t)
            if (x.tag == tag)
                x.data = data;
        return Sfnt(t);
    };
    std::string many = Bytes().u32(0x00010000).u16(65535).zeros(14).s;
    const std::vector<unsigned> ten(10, 1);

    // The program without one of the tables readers need.
    auto without = [&](const char* tag) {
        std::vector<Table> t = Tables(8, 0, Cmap({{1, 0, Format0({{65, 3}})}}));
        for (Table& x : t)
            if (x.tag == tag)
                x.tag = "xxxx";
        return Sfnt(t);
    };

    struct Case { const char* name; std::string sfnt; };
    const Case cases[] = {
        {"empty", ""},
        {"no head", without("head")},
        {"no hhea", without("hhea")},
        {"no hmtx", without("hmtx")},
        {"no maxp", without("maxp")},
        {"no glyf", without("glyf")},
        {"no loca", without("loca")},
        // CFF outlines are no outlines of a TrueType flavoured font, nor glyf of an OpenType one.
        {"OpenType flavour with glyf outlines", patched(0, "OTTO")},
        {"unknown flavour", patched(0, "wOFF")},
        {"offset table only", good.substr(0, 12)},
        {"no tables", Bytes().u32(0x00010000).zeros(8).s},
        {"numTables 65535 in 20 bytes", many},
        {"directory cut short", good.substr(0, 12 + 16 * 3)},
        {"table past the end", patched(tableRecord("glyf") + 12, Bytes().u32(0x10000).s)},
        {"offset plus length wraps 32 bits",
         patched(tableRecord("post") + 8, Bytes().u32(0xFFFFFFF0u).u32(0x20).s)},
        {"tables overlapping many times",
         [&] {
             std::vector<Table> t = Tables(8, 0, "");
             std::string s = Sfnt(t);
             // Every record points at the whole glyf data.
             const size_t g = 12 + 16 * 5;
             for (size_t i = 0; i < t.size(); i++)
                 if (i != 0 && i != 2)
                     s.replace(12 + 16 * i + 8, 8, s.substr(g + 8, 4) + Bytes().u32(150).s);
             return s;
         }()},
        {"head of 53 bytes", withTable("head", Head(0).substr(0, 53))},
        // Readers refuse the whole font over these.
        {"units per em 0", patched(Be32(good, tableRecord("head") + 8) + 18, Bytes().u16(0).s)},
        {"units per em 15", patched(Be32(good, tableRecord("head") + 8) + 18, Bytes().u16(15).s)},
        {"units per em 16385", patched(Be32(good, tableRecord("head") + 8) + 18, Bytes().u16(16385).s)},
        {"units per em 65535", patched(Be32(good, tableRecord("head") + 8) + 18, Bytes().u16(65535).s)},
        {"maxp of 5 bytes", withTable("maxp", Maxp(8).substr(0, 5))},
        {"no glyphs", withTable("maxp", Maxp(0))},
        {"cmap shorter than its header", withTable("cmap", std::string("\0\0", 2))},
        {"cmap with more records than bytes", withTable("cmap", Bytes().u16(0).u16(40).u16(1).s)},
        {"cmap subtable past the end",
         withTable("cmap", Bytes().u16(0).u16(1).u16(1).u16(0).u32(4000).s)},
        {"format 0 subtable cut short",
         withTable("cmap", Cmap({{1, 0, Format0({{65, 3}}).substr(0, 100)}}))},
        {"format 6 claiming 1,000 codes with ten", withTable("cmap", Cmap({{1, 0, Format6(32, ten, 1000)}}))},
        {"format 6 codes beyond 0xFFFF", withTable("cmap", Cmap({{1, 0, Format6(0xFFFA, ten, 10)}}))},
        {"second subtable broken",
         withTable("cmap", Cmap({{3, 1, Format4Abc()}, {1, 0, Format6(0, ten, 500)}}))},
        {"format 6 needing more segments than format 4 holds",
         [&] {
             std::vector<unsigned> alt;
             for (unsigned i = 0; i < 20000; i++)
                 alt.push_back(i % 2 ? 0 : 1);
             return withTable("cmap", Cmap({{1, 0, Format6(0, alt, 20000)}}));
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        std::string bytes = c.sfnt;
        TrueTypeWriter w(bytes.empty() ? nullptr : &bytes[0], bytes.size());
        EXPECT_EQ(w.WriteNewFont(dir.file("x.ttf").c_str(), "Foo"), -1);
        EXPECT_FALSE(testutil::FileExists(dir.file("x.ttf")));
        EXPECT_TRUE(w.refused);
    }

    // The units per em at either end of what readers take are kept as they are.
    for (unsigned unitsPerEm : {16u, 16384u}) {
        SCOPED_TRACE(unitsPerEm);
        testutil::TempDir dir;
        std::string bytes = patched(Be32(good, tableRecord("head") + 8) + 18, Bytes().u16(unitsPerEm).s);
        TrueTypeWriter w(&bytes[0], bytes.size());
        ASSERT_EQ(w.WriteNewFont(dir.file("x.ttf").c_str(), "Foo"), 0);
        EXPECT_FALSE(w.refused);
    }

    // A null program, and an output that cannot be created: only the program is refused.
    TrueTypeWriter none(nullptr, 100);
    EXPECT_EQ(none.WriteNewFont("/nonexistent/dir/x.ttf", "Foo"), -1);
    EXPECT_TRUE(none.refused);
    std::string ok = good;
    TrueTypeWriter w(&ok[0], ok.size());
    EXPECT_EQ(w.WriteNewFont("/nonexistent/dir/x.ttf", "Foo"), -1);
    EXPECT_FALSE(w.refused);
}

// An OpenType font with CFF outlines keeps its flavour: readers take the outlines by it.
TEST(TrueTypeWriter, CffOutlinesKeepTheOpenTypeFlavour)
{
    std::vector<Table> t = Tables(8, 0, "");
    for (Table& x : t)
        if (x.tag == "glyf")
            x.tag = "CFF ";
    std::string sfnt = Sfnt(t);
    sfnt.replace(0, 4, "OTTO");
    testutil::TempDir dir;
    TrueTypeWriter w(&sfnt[0], sfnt.size());
    ASSERT_EQ(0, w.WriteNewFont(dir.file("o.ttf").c_str(), "Foo"));
    EXPECT_EQ("OTTO", testutil::ReadFile(dir.file("o.ttf")).substr(0, 4));
}

}  // namespace
