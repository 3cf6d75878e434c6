// The outline road: embedded Type 1 fonts and the built-in standard fonts, whose glyph
// outlines are filled as paths.
//
// The PDF names the encoding its codes are in, and the font program's own encoding is only the
// base it builds on (embedded subsets often carry one of nothing but .notdef; the built-in
// data carry the standard one). Codes are therefore mapped to glyphs through the font's
// Encoding: a base encoding by way of Unicode, Differences by glyph name.
#include "Interpreter/TextShow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/Fonts/BaseFonts.h"
#include "Resources/Fonts/FontEng.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

#include FT_FREETYPE_H

namespace textshow {

namespace {

enum { ENC_BUILTIN, ENC_WINANSI, ENC_MACROMAN };

// Unicode of WinAnsiEncoding codes 0x80 to 0x9F; 0 where the encoding has no character.
const unsigned short kWinAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Unicode of MacRomanEncoding codes 0x80 to 0xFF.
const unsigned short kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4,
    0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF,
    0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020,
    0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4,
    0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202,
    0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1,
    0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x0020, 0x00C0, 0x00C3,
    0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A,
    0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC,
    0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, 0x00AF,
    0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

unsigned int UnicodeOf(int base, unsigned int code)
{
    if (code < 0x20 || code == 0x7F || code > 0xFF)
        return 0;
    if (code < 0x7F)
        return code;
    if (base == ENC_MACROMAN)
        return kMacRomanHigh[code - 0x80];
    if (code < 0xA0)
        return kWinAnsiHigh[code - 0x80];
    if (code == 0xA0)
        return 0x20;  // WinAnsi's second space
    if (code == 0xAD)
        return 0x2D;  // and its second hyphen
    return code;
}

int BaseEncodingOf(const PdfName& name)
{
    if (name.str && strcmp(name.str, "WinAnsiEncoding") == 0)
        return ENC_WINANSI;
    if (name.str && strcmp(name.str, "MacRomanEncoding") == 0)
        return ENC_MACROMAN;
    return ENC_BUILTIN;
}

// Glyph indices of the 256 codes of a single-byte font: the face's selected character map,
// then the font's Encoding on top (a name, or a dictionary with direct BaseEncoding and
// Differences, as SimpleFontEncoding gives it). A symbolic face keeps its own map under the
// Differences: a base encoding of Latin text means nothing to it.
void CodeGlyphs(FT_Face face, PdfObj* enc, bool symbolicFace, unsigned int glyphs[256])
{
    CodesThroughCharmap(face, glyphs);
    if (!enc)
        return;
    PdfObj* baseName = enc->Type() == PDF_DICT ? PdfDictLookup(enc, "BaseEncoding") : enc;
    PdfObj* diffs = enc->Type() == PDF_DICT ? PdfDictLookup(enc, "Differences") : nullptr;
    int base = ENC_BUILTIN;
    if (baseName && baseName->Type() == PDF_NAME && !symbolicFace)
        base = BaseEncodingOf(*static_cast<PdfName*>(baseName));
    PdfArray empty;
    PdfArray& differences =
        diffs && diffs->Type() == PDF_ARRAY ? *static_cast<PdfArray*>(diffs) : empty;

    if (base != ENC_BUILTIN) {
        FT_CharMap builtin = face->charmap;
        if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) {
            for (unsigned int c = 0; c < 256; c++) {
                unsigned int u = UnicodeOf(base, c);
                glyphs[c] = u ? FT_Get_Char_Index(face, u) : 0;
            }
        }
        if (builtin)
            FT_Set_Charmap(face, builtin);
    }

    long code = -1;
    for (int i = 0; i < differences.count; i++) {
        PdfObj* item = differences.items[i];
        if (item && item->Type() == PDF_NUMBER) {
            code = static_cast<PdfNumber*>(item)->value;
        } else if (item && item->Type() == PDF_NAME && code >= 0) {
            PdfName* n = static_cast<PdfName*>(item);
            if (code < 256 && n->str)
                glyphs[code] = GlyphNamed(face, n->str);
            code++;
        }
    }
}

}  // namespace

void ShowOutlines(const Show& s, int kind, XrefEntry* entry, FontInfo* info)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;
    FontEng eng;
    BuiltinChoice builtin;
    NamedCidFont* cid = nullptr;
    if (kind == KIND_STANDARD) {
        if (!ChooseBuiltin(cp, s.font, &builtin))
            return;
        eng.face = FaceOfData(builtin.data, builtin.length);
        info = &builtin.info;
    } else if (kind == KIND_NAMED_CID) {
        cid = ChooseNamedCid(cp, s.font, &builtin);
        if (!cid)
            return;
        eng.face = FaceOfData(builtin.data, builtin.length);
    } else {
        eng.face = entry ? FaceOfFile(entry->path) : nullptr;
    }
    if (!eng.face)
        return;
    FT_Face face = eng.face;

    // 1000 pixels per em: outline coordinates arrive as 26.6 thousandths of the em.
    FT_Set_Char_Size(face, 64000, 64000, 72, 72);
    // The font program's own encoding, where it has one.
    for (int i = 0; i < face->num_charmaps; i++) {
        if (face->charmaps[i]->platform_id == 7) {
            FT_Set_Charmap(face, face->charmaps[i]);
            break;
        }
    }

    unsigned int glyphs[256];
    CodeGlyphs(face, info ? info->encoding : nullptr, builtin.symbolic, glyphs);
    // Two-byte codes are CIDs, drawn by the character each stands for.
    FT_CharMap codeMap = face->charmap;
    if (cid && FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0)
        return;

    const bool haveWidths = info && info->widths && info->count > 0;
    KeptGlyph scratch;
    ShowGlyphs shown;
    auto glyph = [&](unsigned int code, double pen) -> double {
        unsigned int gi = glyphs[code & 0xFF];
        if (kind == KIND_NAMED_CID) {
            const uint16_t u = cid ? cid->unicode[code & 0xFFFF] : 0;
            gi = u ? FT_Get_Char_Index(face, u) : 0;
        }
        double width = -1.0;
        if (cid) {
            width = cid->widths[code & 0xFFFF];
        } else if (haveWidths) {
            long idx = (long)code - (long)info->firstChar;
            if (idx >= 0 && idx < info->count)
                width = info->widths[idx];
            else if (kind == KIND_STANDARD)
                width = info->defaultWidth;
        }
        // A stand-in face is fitted to the width the PDF gives the glyph, so the line keeps
        // its length whatever the stand-in's own widths.
        bool loaded =
            AddGlyphOutline(eng, gi, pen, &shown, &scratch, builtin.substitute ? width : -1.0);
        if (width >= 0)
            return width;
        // A glyph FreeType cannot load keeps whatever width the font states, else none.
        return loaded ? eng.advance / 64.0 : 0.0;
    };
    double total = Walk(s, kind == KIND_NAMED_CID ? 2 : 1, kind != KIND_NAMED_CID, glyph,
                        [](unsigned int, double, bool) {});
    FT_Set_Transform(face, nullptr, nullptr);
    if (face->charmap != codeMap && codeMap)
        FT_Set_Charmap(face, codeMap);

    PaintOutlines(s, shown, true);
    Advance(gs, total * s.size / 1000.0);
}

}  // namespace textshow
