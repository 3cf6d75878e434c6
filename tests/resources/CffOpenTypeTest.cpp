// Compact font programs read for their glyph count and charset, and wrapped into OpenType
// fonts that a reader opens with the same glyphs.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CffFonts.h"
#include "Resources/Fonts/CffOpenType.h"
#include "TestUtil.h"

namespace {

const unsigned char* Bytes(const std::string& s)
{
    return (const unsigned char*)s.data();
}

// The outline of a glyph as FreeType loads it unscaled: its control box.
struct Outline {
    bool loaded = false;
    FT_BBox box = {0, 0, 0, 0};
    bool operator==(const Outline& o) const
    {
        return loaded == o.loaded && box.xMin == o.box.xMin && box.yMin == o.box.yMin &&
               box.xMax == o.box.xMax && box.yMax == o.box.yMax;
    }
};

struct Face {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    std::string data;
    explicit Face(const std::string& bytes) : data(bytes)
    {
        if (FT_Init_FreeType(&lib) != 0 ||
            FT_New_Memory_Face(lib, Bytes(data), (FT_Long)data.size(), 0, &face) != 0)
            face = nullptr;
    }
    ~Face()
    {
        if (face)
            FT_Done_Face(face);
        if (lib)
            FT_Done_FreeType(lib);
    }
    Outline Glyph(unsigned gi)
    {
        Outline o;
        if (face && FT_Load_Glyph(face, gi, FT_LOAD_NO_SCALE) == 0 &&
            face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            o.loaded = true;
            FT_Outline_Get_CBox(&face->glyph->outline, &o.box);
        }
        return o;
    }
};

std::vector<std::string> Tags(const std::string& sfnt)
{
    std::vector<std::string> tags;
    const unsigned n = (unsigned char)sfnt[4] << 8 | (unsigned char)sfnt[5];
    for (unsigned i = 0; i < n; i++)
        tags.push_back(sfnt.substr(12 + 16 * i, 4));
    return tags;
}

TEST(CffOpenType, WrappedProgramsOpenWithTheirOwnGlyphs)
{
    const std::string otf = testutil::ReadFile(testcff::kNimbusSansOtf);
    if (otf.empty())
        GTEST_SKIP() << testcff::kNimbusSansOtf << " is not installed (fonts-urw-base35)";
    const std::string nimbus = testcff::SfntTable(otf, "CFF ");
    ASSERT_FALSE(nimbus.empty());
    Face original(otf);
    ASSERT_TRUE(original.face);

    const std::string cid = testcff::CidKeyedCff({{100, 50, 450, 700}, {7, 0, 600, 300}, {65535, 10, 20, 30}});

    struct Case {
        const char* what;
        std::string cff;
        bool cidKeyed;
        int glyphs;
    } cases[] = {
        {"name-keyed program of an OpenType font", nimbus, false, (int)original.face->num_glyphs},
        {"CID-keyed program", cid, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CffProgram program;
        ASSERT_TRUE(ReadCffProgram(Bytes(c.cff), c.cff.size(), &program));
        EXPECT_EQ(c.cidKeyed, program.cidKeyed);
        EXPECT_EQ(c.glyphs, program.numGlyphs);
        EXPECT_EQ(c.cidKeyed, program.cidToGid != nullptr);

        testutil::TempDir dir;
        const std::string path = dir.file("f.ttf");
        ASSERT_EQ(0, WriteCffAsOpenType(path.c_str(), Bytes(c.cff), c.cff.size(), "ABCDEF+Font", program));
        const std::string font = testutil::ReadFile(path);
        ASSERT_EQ("OTTO", font.substr(0, 4));
        const std::vector<std::string> tags = {"CFF ", "OS/2", "cmap", "head", "hhea",
                                               "hmtx", "maxp", "name", "post"};
        EXPECT_EQ(tags, Tags(font));
        EXPECT_EQ(c.cff, testcff::SfntTable(font, "CFF "));
        // The whole file sums to the magic number through head's adjustment.
        uint32_t sum = 0;
        for (size_t i = 0; i + 4 <= font.size(); i += 4)
            sum += (uint32_t)(unsigned char)font[i] << 24 | (uint32_t)(unsigned char)font[i + 1] << 16 |
                   (uint32_t)(unsigned char)font[i + 2] << 8 | (unsigned char)font[i + 3];
        EXPECT_EQ(0xB1B0AFBAu, sum);

        Face wrapped(font);
        ASSERT_TRUE(wrapped.face);
        EXPECT_EQ(c.glyphs, wrapped.face->num_glyphs);
        if (!c.cidKeyed) {
            for (unsigned ch : {'H', 'g', '&'}) {
                const unsigned gi = FT_Get_Char_Index(original.face, ch);
                ASSERT_GT(gi, 0u);
                EXPECT_TRUE(wrapped.Glyph(gi) == original.Glyph(gi)) << (char)ch;
            }
        }
    }

    // The charset takes each CID to its glyph; a CID no glyph has goes to 0.
    CffProgram program;
    ASSERT_TRUE(ReadCffProgram(Bytes(cid), cid.size(), &program));
    const std::vector<uint16_t>& map = *program.cidToGid;
    EXPECT_EQ(1, map[100]);
    EXPECT_EQ(2, map[7]);
    EXPECT_EQ(3, map[65535]);
    EXPECT_EQ(0, map[1]);
    EXPECT_EQ(0, map[101]);
    testutil::TempDir dir;
    const std::string path = dir.file("cid.ttf");
    ASSERT_EQ(0, WriteCffAsOpenType(path.c_str(), Bytes(cid), cid.size(), "Tiny", program));
    Face wrapped(testutil::ReadFile(path));
    Outline tall = wrapped.Glyph(map[100]);
    ASSERT_TRUE(tall.loaded);
    EXPECT_EQ(50, tall.box.xMin);
    EXPECT_EQ(700, tall.box.yMax);
    EXPECT_EQ(300, wrapped.Glyph(map[7]).box.yMax);
}

TEST(CffOpenType, DamagedProgramsAreRefusedAndNothingIsWritten)
{
    const std::string good = testcff::CidKeyedCff({{100, 50, 450, 700}, {7, 0, 600, 300}});
    CffProgram sound;
    ASSERT_TRUE(ReadCffProgram(Bytes(good), good.size(), &sound));
    // Where the parts of the program lie: header 4, Name INDEX 3 + 8 + 4 = 15 bytes, then the
    // Top DICT INDEX, whose item follows its 11-byte head.
    const size_t topIndex = 4 + 15;
    const size_t top = topIndex + 11;
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    // The Top DICT's operators in order: ROS, CIDCount, charset, CharStrings, FDArray and
    // FDSelect, each after five-byte operands; their values are patched by position.
    const size_t charsetValue = top + 17 + 7 + 1;          // the charset's operand
    const size_t charStringsValue = charsetValue + 4 + 2;  // the CharStrings' operand
    auto int32 = [](uint32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; i++)
            s[i] = (char)(v >> (24 - 8 * i));
        return s;
    };
    std::string manyOperands = good.substr(0, top) + std::string(49, (char)139) +
                               good.substr(top + 49);

    struct Case {
        const char* what;
        std::string cff;
    } cases[] = {
        {"empty", ""},
        {"header only", good.substr(0, 4)},
        {"major version 2", patched(0, "\x02")},
        {"header size past the data", patched(2, "\xff")},
        {"no font in the Name INDEX", patched(4, std::string("\0\0", 2))},
        {"offset size 5", patched(6, "\x05")},
        {"first offset not 1", patched(7, std::string("\0\0\0\x02", 4))},
        {"offsets falling", patched(11, std::string("\0\0\0\0", 4))},
        {"last offset past the end", patched(11, "\x7f")},
        {"cut inside the Top DICT", good.substr(0, top + 10)},
        {"49 operands on the stack", manyOperands},
        {"reserved byte in the Top DICT", patched(top, "\xff")},
        {"CharStrings past the end", patched(charStringsValue, int32(0x7FFFFFF0))},
        {"CharStrings at 0", patched(charStringsValue, int32(0))},
        {"charset past the end", patched(charsetValue, int32((uint32_t)good.size()))},
        {"charset at a predefined one", patched(charsetValue, int32(1))},
        {"charset cut short", good.substr(0, (size_t)(unsigned char)good[charsetValue + 3] + 2)},
        {"charset format 3", patched((unsigned char)good[charsetValue + 3], "\x03")},
        // Format 2 ranges: from CID 65535 on, a second glyph would have CID 65536.
        {"charset range past CID 65535",
         patched((unsigned char)good[charsetValue + 3], std::string("\x02\xff\xff\x00\x05", 5))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CffProgram program;
        EXPECT_FALSE(ReadCffProgram(Bytes(c.cff), c.cff.size(), &program));
    }

    // The writer takes nothing a reader could not open as a font.
    testutil::TempDir dir;
    const std::string path = dir.file("bad.ttf");
    CffProgram noGlyphs = sound;
    noGlyphs.numGlyphs = 0;
    EXPECT_EQ(-1, WriteCffAsOpenType(path.c_str(), Bytes(good), good.size(), "X", noGlyphs));
    const std::string garbage(200, 'x');
    EXPECT_EQ(-1, WriteCffAsOpenType(path.c_str(), Bytes(garbage), garbage.size(), "X", sound));
    EXPECT_FALSE(testutil::FileExists(path));
}

}  // namespace
