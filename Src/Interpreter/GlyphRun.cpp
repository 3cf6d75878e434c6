// The glyph-run road: TrueType and Type0 fonts, whose files go into the package. A show
// becomes one run of glyphs with their advances, written against the packaged font file.
#include "Interpreter/TextShow.h"

#include <vector>

#include "Interpreter/ResourceUse.h"
#include "Pdf/FileAccess.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/Fonts/FontEng.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

#include FT_FREETYPE_H

namespace textshow {

namespace {

// Codes that XML forbids as character references.
bool XmlForbidden(unsigned int code)
{
    return code == 0 || (code >= 1 && code <= 8) || code == 11 || code == 12 ||
           (code >= 14 && code <= 31);
}

}  // namespace

// Glyph indices for the codes of a simple TrueType font, through its own character map; used
// when a code cannot stand in the markup as a character. 0 for a code the font does not map.
static unsigned int GlyphIndexOf(FT_Face face, unsigned int code)
{
    unsigned int gi = FT_Get_Char_Index(face, code);
    // Symbol character maps put the single-byte codes at U+F000 and above.
    if (gi == 0 && face->charmap && face->charmap->encoding == FT_ENCODING_MS_SYMBOL)
        gi = FT_Get_Char_Index(face, 0xF000u + code);
    return gi;
}

void ShowGlyphRun(const Show& s, int kind, int fontObj, XrefEntry* entry, FontInfo* info)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;

    // Kind 0: one byte per code; kind 1: two bytes, used as the glyph index.
    const int bytesPerCode = kind == KIND_TYPE0 ? 2 : 1;

    // The codes of a simple font stand in the markup as characters unless one of them cannot.
    bool asText = kind == KIND_TRUETYPE;
    if (asText) {
        for (int i = 0; i < s.count && asText; i++) {
            PdfObj* item = s.items[i];
            if (!item || item->Type() != PDF_STRING)
                continue;
            PdfString* str = static_cast<PdfString*>(item);
            for (int k = 0; k < str->len && str->str; k++)
                if ((unsigned char)str->str[k] != 0 && XmlForbidden((unsigned char)str->str[k]))
                    asText = false;
        }
    }
    FT_Face face = kind == KIND_TRUETYPE && !asText ? FaceOfFile(entry->path) : nullptr;

    // A W array may hold a million pairs: they are looked up through a table of all CIDs, in
    // which the first pair of a CID wins.
    if (kind == KIND_TYPE0 && info->cidWidths.empty()) {
        info->cidWidths.assign(65536, info->defaultWidth);
        for (int i = info->cids && info->widths ? info->count - 1 : -1; i >= 0; i--)
            info->cidWidths[info->cids[i]] = info->widths[i];
    }
    auto width = [&](unsigned int code) -> double {
        if (kind == KIND_TYPE0)
            return info->cidWidths[code & 0xFFFF];
        if (!info->widths || info->count <= 0)
            return 0.0;
        long idx = (long)code - (long)info->firstChar;
        if (idx < 0 || idx >= info->count)
            return 0.0;
        return info->widths[idx];
    };

    // {code, advance} pairs; a glyph that cannot be written (code 0) gives its advance to the
    // glyph before it, or to the offset of the run's start when it is the first.
    std::vector<double> run;
    double lead = 0.0;
    auto step = [&](unsigned int code, double advance, bool isGlyph) {
        if (isGlyph) {
            unsigned int out = code;
            if (kind == KIND_TRUETYPE && !asText)
                out = face ? GlyphIndexOf(face, code) : 0;
            // A CID-keyed compact program numbers its glyphs apart from their CIDs.
            if (kind == KIND_TYPE0 && info->cidToGid && !info->cidToGid->empty())
                out = (*info->cidToGid)[code & 0xFFFF];
            // The packaged font has no glyph of that index.
            if (kind == KIND_TYPE0 && info->numGlyphs > 0 && out >= (unsigned)info->numGlyphs)
                out = 0;
            if (out != 0) {
                run.push_back((double)out);
                run.push_back(advance);
                return;
            }
        }
        if (run.empty())
            lead += advance;
        else
            run.back() += advance;
    };
    double total = Walk(s, bytesPerCode, kind == KIND_TRUETYPE,
                        [&](unsigned int code, double) { return width(code); }, step);

    if (!run.empty() && !Invisible(gs->renderMode) && cp->renderer) {
        run.push_back(0.0);
        run.push_back(0.0);
        char fileName[PDF_MAX_PATH];
        GetFileNameFromPath(entry->path, fileName, false);
        // A run that starts after an adjustment is placed there; Tm itself moves below.
        pdfmatrix saved = gs->tm;
        MoveAlong(&gs->tm, lead * s.size / 1000.0);
        char textMark[1] = {0};
        cp->renderer->ShowTextEx(gs, asText ? textMark : nullptr, fileName, s.size, run.data());
        gs->tm = saved;
        if (cp->pages)
            AddResource(&cp->pages->resources, cp->pageIndex, fontObj);
    }
    MoveAlong(&gs->tm, total * s.size / 1000.0);
}

}  // namespace textshow
