// The glyphs of single-byte codes in simple TrueType fonts, found through the character maps of
// the packaged font file as a reader of the package finds them, and the characters of the
// codes 128 to 159 of WinAnsiEncoding, which are no Latin-1 characters.
//
// A symbolic subset often has no Unicode map at all, only a Windows symbol map (3,0), whose
// codes lie at U+F000 and above, and a Macintosh Roman map (1,0). FreeType selects none of
// them when it opens such a face, so every map is chosen here by its platform and encoding.
#include "Interpreter/TextShow.h"

#include <cstring>

#include "Pdf/PdfObj.h"
#include "Resources/ResData.h"

#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace textshow {

namespace {

// Unicode of WinAnsiEncoding codes 128 to 159; 0 where the encoding has no character.
const unsigned short kWinAnsi128[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Their codes in Mac OS Roman, through which a Macintosh map finds them; 0 where it has none.
const unsigned char kWinAnsi128Mac[32] = {
    0xDB, 0, 0xE2, 0xC4, 0xE3, 0xC9, 0xA0, 0xE0, 0xF6, 0xE4, 0, 0xDC, 0xCE, 0, 0, 0,
    0,    0xD4, 0xD5, 0xD2, 0xD3, 0xA5, 0xD0, 0xD1, 0xF7, 0xAA, 0, 0xDD, 0xCF, 0, 0, 0xD9};

bool IsName(PdfObj* obj, const char* text)
{
    return obj && obj->Type() == PDF_NAME && static_cast<PdfName*>(obj)->str &&
           strcmp(static_cast<PdfName*>(obj)->str, text) == 0;
}

unsigned int CharIndexIn(FT_Face face, FT_CharMap map, unsigned int code)
{
    if (!map || FT_Set_Charmap(face, map) != 0)
        return 0;
    return FT_Get_Char_Index(face, code);
}

}  // namespace

unsigned int TrueTypeCodeGlyph(FT_Face face, unsigned int code, unsigned int unicode)
{
    if (!face)
        return 0;
    FT_CharMap unicodeMap = nullptr, symbol = nullptr, mac = nullptr;
    for (int i = 0; i < face->num_charmaps; i++) {
        FT_CharMap m = face->charmaps[i];
        // FreeType makes up a Unicode map from the glyph names of a font without one; no
        // reader of the package looks there.
        if (!unicodeMap && m->encoding == FT_ENCODING_UNICODE && FT_Get_CMap_Format(m) >= 0)
            unicodeMap = m;
        else if (!symbol && m->platform_id == 3 && m->encoding_id == 0)
            symbol = m;
        else if (!mac && m->platform_id == 1 && m->encoding_id == 0)
            mac = m;
    }
    const FT_CharMap kept = face->charmap;
    unsigned int gi = CharIndexIn(face, unicodeMap, unicode ? unicode : code);
    if (gi == 0 && symbol) {
        gi = CharIndexIn(face, symbol, 0xF000u + code);
        if (gi == 0)
            gi = CharIndexIn(face, symbol, code);
    }
    // WinAnsi's own characters lie elsewhere in Mac OS Roman.
    if (gi == 0 && unicode && code >= 128 && code < 160)
        gi = kWinAnsi128Mac[code - 128] ? CharIndexIn(face, mac, kWinAnsi128Mac[code - 128]) : 0;
    else if (gi == 0)
        gi = CharIndexIn(face, mac, code);
    if (kept)
        FT_Set_Charmap(face, kept);
    return gi;
}

void WinAnsiCharacters(ContentParser* cp, unsigned short chars[32])
{
    memset(chars, 0, 32 * sizeof chars[0]);
    PdfArray& sel = cp->current->font;
    if (!cp->xref || sel.count < 1 || !sel.items || !sel.items[0] ||
        sel.items[0]->Type() != PDF_NAME || !static_cast<PdfName*>(sel.items[0])->str)
        return;
    // Each step may parse an object; each keeps its own buffer, since the value it returns
    // lives in that buffer's tree.
    char buf[4][PDF_PARSE_BUF];
    PdfObj* parsed[4] = {};
    PdfObj* resources = ResolveResource(cp->xref, cp->resources, buf[0], PDF_PARSE_BUF, &parsed[0]);
    PdfObj* fonts = ResolveResource(cp->xref, ResourceValue(resources, "Font"), buf[1],
                                    PDF_PARSE_BUF, &parsed[1]);
    PdfObj* font = ResolveResource(cp->xref,
                                   ResourceValue(fonts, static_cast<PdfName*>(sel.items[0])->str),
                                   buf[2], PDF_PARSE_BUF, &parsed[2]);
    PdfObj* enc = ResolveResource(cp->xref, ResourceValue(font, "Encoding"), buf[3],
                                  PDF_PARSE_BUF, &parsed[3]);
    PdfObj* base = enc;
    PdfObj* diffs = nullptr;
    if (enc && enc->Type() == PDF_DICT) {
        // Both are direct in every producer's output; a reference is not followed here.
        base = ResourceValue(enc, "BaseEncoding");
        diffs = ResourceValue(enc, "Differences");
    }
    if (IsName(base, "WinAnsiEncoding")) {
        memcpy(chars, kWinAnsi128, sizeof kWinAnsi128);
        // Codes that Differences name are not WinAnsi's.
        if (diffs && diffs->Type() == PDF_ARRAY) {
            PdfArray* d = static_cast<PdfArray*>(diffs);
            long code = -1;
            for (int i = 0; i < d->count; i++) {
                PdfObj* item = d->items[i];
                if (item && item->Type() == PDF_NUMBER) {
                    code = static_cast<PdfNumber*>(item)->value;
                } else if (item && item->Type() == PDF_NAME && code >= 0) {
                    if (code >= 128 && code < 160)
                        chars[code - 128] = 0;
                    if (code < 256)
                        code++;
                }
            }
        }
    }
    for (PdfObj* p : parsed)
        delete p;
}

}  // namespace textshow
