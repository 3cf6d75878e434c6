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
    // WinAnsi's codes 128 to 159 stand for characters (quotes, dashes, the euro) that are no
    // Latin-1 codes: the run carries those characters, with the glyphs the font has for them.
    unsigned short winAnsi[32] = {0};
    bool highCodes = false;
    for (int i = 0; asText && i < s.count && !highCodes; i++) {
        PdfObj* item = s.items[i];
        if (!item || item->Type() != PDF_STRING || !static_cast<PdfString*>(item)->str)
            continue;
        PdfString* str = static_cast<PdfString*>(item);
        for (int k = 0; k < str->len && !highCodes; k++)
            highCodes = (unsigned char)str->str[k] >= 128 && (unsigned char)str->str[k] < 160;
    }
    if (highCodes)
        WinAnsiCharacters(cp, winAnsi);
    // A glyph run cannot be stroked: stroked text is drawn from the outlines of the font file.
    const bool stroke = Stroked(gs->renderMode) && cp->renderer;
    FT_Face face = (kind == KIND_TRUETYPE && (!asText || highCodes)) || stroke
                       ? FaceOfFile(entry->path)
                       : nullptr;

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

    // A glyph index of the packaged font, or 0 for one past its glyphs: no run names a glyph
    // the font does not have.
    const unsigned int glyphCount = info->numGlyphs > 0 ? (unsigned)info->numGlyphs : 0;
    auto inFont = [glyphCount](unsigned int gi) { return gi < glyphCount ? gi : 0u; };
    // The glyph of a CID: through the CIDFont's CIDToGIDMap, then, for a CID-keyed compact
    // program, which numbers its glyphs apart from their CIDs, through its charset.
    auto cidGlyph = [&](unsigned int cid) -> unsigned int {
        unsigned int gi = cid & 0xFFFF;
        if (info->cidMap && gi < info->cidMap->size())
            gi = (*info->cidMap)[gi];
        if (info->cidToGid && !info->cidToGid->empty())
            gi = (*info->cidToGid)[gi & 0xFFFF];
        return inFont(gi);
    };

    // {code, advance} pairs; a glyph that cannot be written (code 0) gives its advance to the
    // glyph before it, or to the offset of the run's start when it is the first. `indices`
    // holds the glyph of each pair of characters, 0 where the font's map picks it.
    std::vector<double> run;
    std::vector<unsigned int> indices;
    double lead = 0.0;
    auto step = [&](unsigned int code, double advance, bool isGlyph) {
        if (isGlyph) {
            unsigned int out = code;
            unsigned int index = 0;
            if (kind == KIND_TYPE0) {
                out = cidGlyph(code);
            } else if (!asText) {
                out = inFont(TrueTypeCodeGlyph(face, code));
            } else if (code >= 128 && code < 160 && winAnsi[code - 128]) {
                out = winAnsi[code - 128];
                index = inFont(TrueTypeCodeGlyph(face, code, out));
            }
            if (out != 0) {
                run.push_back((double)out);
                run.push_back(advance);
                indices.push_back(index);
                return;
            }
        }
        if (run.empty())
            lead += advance;
        else
            run.back() += advance;
    };
    // {glyph, pen} of every glyph, for the outlines of stroked text.
    std::vector<std::pair<unsigned int, double>> placed;
    auto glyph = [&](unsigned int code, double pen) {
        if (stroke && face) {
            unsigned int gi = 0;
            if (kind == KIND_TYPE0)
                gi = cidGlyph(code);
            else
                gi = inFont(TrueTypeCodeGlyph(
                    face, code, asText && code >= 128 && code < 160 ? winAnsi[code - 128] : 0));
            if (gi != 0)
                placed.push_back({gi, pen});
        }
        return width(code);
    };
    double total = Walk(s, bytesPerCode, kind == KIND_TRUETYPE, glyph, step);

    if (!run.empty() && Filled(gs->renderMode) && cp->renderer) {
        run.push_back(0.0);
        run.push_back(0.0);
        char fileName[PDF_MAX_PATH];
        GetFileNameFromPath(entry->path, fileName, false);
        // A run that starts after an adjustment is placed there; Tm itself moves below.
        pdfmatrix saved = gs->tm;
        gs->tm = LineSpace(gs, lead * s.size / 1000.0);
        char textMark[1] = {0};
        cp->renderer->ShowTextEx(gs, asText ? textMark : nullptr, fileName, s.size, run.data(),
                                 asText && highCodes ? indices.data() : nullptr);
        gs->tm = saved;
        if (cp->pages)
            AddResource(&cp->pages->resources, cp->pageIndex, fontObj);
    }
    if (!placed.empty()) {
        FontEng eng;
        eng.face = face;
        // 1000 pixels per em: outline coordinates arrive as 26.6 thousandths of the em.
        FT_Set_Char_Size(face, 64000, 64000, 72, 72);
        KeptGlyph scratch;
        ShowGlyphs shown;
        for (const auto& g : placed)
            AddGlyphOutline(eng, g.first, g.second, &shown, &scratch);
        // The fill, where the mode asks for one, is the glyph run above.
        PaintOutlines(s, shown, false);
    }

    Advance(gs, total * s.size / 1000.0);
}

}  // namespace textshow
