// The glyphs of single-byte codes in simple TrueType fonts, found through the character maps of
// the packaged font file as a reader of the package finds them.
//
// A symbolic subset often has no Unicode map at all, only a Windows symbol map (3,0), whose
// codes lie at U+F000 and above, and a Macintosh Roman map (1,0). FreeType selects none of
// them when it opens such a face, so every map is chosen here by its platform and encoding.
#include "Interpreter/TextShow.h"

#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace textshow {

namespace {

unsigned int CharIndexIn(FT_Face face, FT_CharMap map, unsigned int code)
{
    if (!map || FT_Set_Charmap(face, map) != 0)
        return 0;
    return FT_Get_Char_Index(face, code);
}

}  // namespace

unsigned int TrueTypeCodeGlyph(FT_Face face, unsigned int code)
{
    if (!face)
        return 0;
    FT_CharMap unicode = nullptr, symbol = nullptr, mac = nullptr;
    for (int i = 0; i < face->num_charmaps; i++) {
        FT_CharMap m = face->charmaps[i];
        // FreeType makes up a Unicode map from the glyph names of a font without one; no
        // reader of the package looks there.
        if (!unicode && m->encoding == FT_ENCODING_UNICODE && FT_Get_CMap_Format(m) >= 0)
            unicode = m;
        else if (!symbol && m->platform_id == 3 && m->encoding_id == 0)
            symbol = m;
        else if (!mac && m->platform_id == 1 && m->encoding_id == 0)
            mac = m;
    }
    const FT_CharMap kept = face->charmap;
    unsigned int gi = CharIndexIn(face, unicode, code);
    if (gi == 0 && symbol) {
        gi = CharIndexIn(face, symbol, 0xF000u + code);
        if (gi == 0)
            gi = CharIndexIn(face, symbol, code);
    }
    if (gi == 0)
        gi = CharIndexIn(face, mac, code);
    if (kept)
        FT_Set_Charmap(face, kept);
    return gi;
}

}  // namespace textshow
