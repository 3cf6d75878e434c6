#include "Resources/Fonts/BaseFonts.h"
#include "Resources/Fonts/FontEng.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "Pdf/PdfObj.h"
#include FT_GLYPH_H

namespace {

// A name object holding `text` (null: a name without text).
using Name = PdfKey;

FT_Library Library()
{
    if (!FontEng::m_library)
        FT_Init_FreeType(&FontEng::m_library);
    return FontEng::m_library;
}

struct Row { const char* name; const char* face; };
const Row kRows[] = {
    {"Courier", "NimbusMonoPS-Regular"},
    {"Courier-Bold", "NimbusMonoPS-Bold"},
    {"Courier-Oblique", "NimbusMonoPS-Italic"},
    {"Courier-BoldOblique", "NimbusMonoPS-BoldItalic"},
    {"Helvetica", "NimbusSans-Regular"},
    {"Helvetica-Bold", "NimbusSans-Bold"},
    {"Helvetica-Oblique", "NimbusSans-Italic"},
    {"Helvetica-BoldOblique", "NimbusSans-BoldItalic"},
    {"Times-Roman", "NimbusRoman-Regular"},
    {"Times-Bold", "NimbusRoman-Bold"},
    {"Times-Italic", "NimbusRoman-Italic"},
    {"Times-BoldItalic", "NimbusRoman-BoldItalic"},
    {"Symbol", "StandardSymbolsPS"},
    {"ZapfDingbats", "D050000L"},
    {"Chancery", "Z003-MediumItalic"},
};

// Each name's data, as the lookup hands it out, opens from memory, is the face it should be, has the font's own (platform 7)
// charmap that text showing selects, and draws code 'A' as an outline, loaded the way text
// showing loads it.
TEST(BaseFonts, EveryRowOpensFromMemoryAndDrawsA)
{
    ASSERT_NE(Library(), nullptr);
    size_t n = 0;
    while (basefonts[n].name)
        n++;
    ASSERT_EQ(n, sizeof kRows / sizeof kRows[0]);
    EXPECT_EQ(basefonts[n].data, nullptr);
    EXPECT_EQ(basefonts[n].length, nullptr);

    for (size_t i = 0; i < n; i++) {
        SCOPED_TRACE(kRows[i].name);
        EXPECT_STREQ(basefonts[i].name, kRows[i].name);
        Name name(kRows[i].name);
        EXPECT_TRUE(IsStandardFont(&name));
        unsigned int length = 0;
        const unsigned char* data = GetStandardFontdata(&name, &length);
        ASSERT_EQ(data, basefonts[i].data);
        ASSERT_EQ(length, *basefonts[i].length);
        ASSERT_GT(length, 10000u);

        FontEng eng;
        eng.error = FT_New_Memory_Face(Library(), data, (FT_Long)length, 0, &eng.face);
        ASSERT_EQ(eng.error, 0);
        EXPECT_STREQ(FT_Get_Postscript_Name(eng.face), kRows[i].face);
        ASSERT_EQ(FT_Set_Char_Size(eng.face, 64000, 64000, 72, 72), 0);

        FT_CharMap own = nullptr;
        for (int k = 0; k < eng.face->num_charmaps && !own; k++)
            if (eng.face->charmaps[k]->platform_id == 7)
                own = eng.face->charmaps[k];
        ASSERT_NE(own, nullptr);
        ASSERT_EQ(FT_Set_Charmap(eng.face, own), 0);

        FT_UInt glyph = FT_Get_Char_Index(eng.face, 'A');
        ASSERT_NE(glyph, 0u);
        ASSERT_EQ(FT_Load_Glyph(eng.face, glyph, 0x208), 0);
        FT_Glyph g;
        ASSERT_EQ(FT_Get_Glyph(eng.face->glyph, &g), 0);
        ASSERT_EQ(g->format, FT_GLYPH_FORMAT_OUTLINE);
        PDF_PathGeometry path;
        eng.GlyphtoPath(&((FT_OutlineGlyph)g)->outline, &path);
        eng.advance = (double)eng.face->glyph->advance.x;
        FT_Done_Glyph(g);
        FT_Done_Face(eng.face);

        // At 1000 pixels per em the path is in thousandths of an em: an outline that begins
        // with a move and stays within a few ems.
        ASSERT_GT(path.firstOps->count, 0);
        EXPECT_EQ(path.firstOps->ops[0], PDF_PATH_OP_MOVETO);
        int ops = 0;
        for (const PDF_PATH_OP_CHUNK* c = path.firstOps; c; c = c->next)
            ops += c->count;
        EXPECT_GE(ops, 3);
        for (const PDF_POINT_CHUNK* c = path.firstPts; c; c = c->next)
            for (int k = 0; k < c->count; k++) {
                EXPECT_LT(c->pts[k].x < 0 ? -c->pts[k].x : c->pts[k].x, 3000.0);
                EXPECT_LT(c->pts[k].y < 0 ? -c->pts[k].y : c->pts[k].y, 3000.0);
            }
        EXPECT_GT(eng.advance / 64.0, 100.0);
        EXPECT_LT(eng.advance / 64.0, 2000.0);
    }
}

// Text showing loads each glyph once at the pen's origin and moves the kept outline to every
// later pen position itself. That holds only while FreeType applies the transform's offset
// after hinting, as a plain move of every point; the advance must not move at all.
TEST(BaseFonts, AHintedOutlineLoadedAtAPenOffsetIsTheOriginOutlineMoved)
{
    ASSERT_NE(Library(), nullptr);
    const FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH;
    for (size_t i = 0; basefonts[i].name; i++) {
        SCOPED_TRACE(basefonts[i].name);
        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Memory_Face(Library(), basefonts[i].data, (FT_Long)*basefonts[i].length,
                                     0, &face),
                  0);
        ASSERT_EQ(FT_Set_Char_Size(face, 64000, 64000, 72, 72), 0);
        ASSERT_GT(face->num_glyphs, 100);
        for (FT_UInt gi = 1; gi < (FT_UInt)face->num_glyphs && gi < 200; gi += 7) {
            FT_Set_Transform(face, nullptr, nullptr);
            ASSERT_EQ(FT_Load_Glyph(face, gi, flags), 0) << gi;
            const FT_Outline& o = face->glyph->outline;
            std::vector<FT_Vector> origin(o.points, o.points + o.n_points);
            const FT_Pos advance = face->glyph->advance.x;
            for (FT_Pos pen : {1L, 37L, 333L, -1000L, 6400013L}) {
                FT_Vector delta = {pen, 0};
                FT_Set_Transform(face, nullptr, &delta);
                ASSERT_EQ(FT_Load_Glyph(face, gi, flags), 0) << gi;
                const FT_Outline& moved = face->glyph->outline;
                ASSERT_EQ((size_t)moved.n_points, origin.size()) << gi;
                for (size_t k = 0; k < origin.size(); k++) {
                    ASSERT_EQ(moved.points[k].x, origin[k].x + pen) << gi << " " << pen;
                    ASSERT_EQ(moved.points[k].y, origin[k].y) << gi << " " << pen;
                }
                EXPECT_EQ(face->glyph->advance.x, advance) << gi;
            }
        }
        FT_Done_Face(face);
    }
}

TEST(BaseFonts, OnlyExactNamesAreStandard)
{
    const char* const others[] = {"helvetica", "HELVETICA", "Helvetica-Narrow", "Helvetica ",
                                  "Helvetica-", "Times", "Arial", "", nullptr};
    for (const char* text : others) {
        SCOPED_TRACE(text ? text : "(no text)");
        Name name(text);
        unsigned int length = 12345;
        EXPECT_EQ(GetStandardFontdata(&name, &length), nullptr);
        EXPECT_EQ(length, 12345u);
        EXPECT_FALSE(IsStandardFont(&name));
    }
    EXPECT_EQ(GetStandardFontdata(nullptr, nullptr), nullptr);
    EXPECT_FALSE(IsStandardFont(nullptr));

    // Compared whole: "Courier-Bold" is its own row, not "Courier" with something after it.
    Name prefix("Courier-Bold");
    unsigned int length = 0;
    EXPECT_EQ(GetStandardFontdata(&prefix, &length), basefonts[1].data);
}

}  // namespace
