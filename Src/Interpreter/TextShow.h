// What the text operators share among their files: the show as the showing operators hand it
// over, the walk over its strings and adjustments, the three roads a font takes (glyph run,
// glyph outlines, glyph procedures), the font cache and the FreeType faces kept open between
// shows.
//
// Tm and Tlm are kept in their ordinary PDF form; whatever flip the output format needs is the
// renderer's business. Every show advances Tm by the width of what it showed, whichever road
// the font takes.
#ifndef VARDEX_INTERPRETER_TEXTSHOW_H
#define VARDEX_INTERPRETER_TEXTSHOW_H

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Interpreter/GState.h"
#include "Interpreter/RenderPage.h"
#include "Resources/Fonts/FontEng.h"
#include "Resources/ResData.h"

class FontInfo;
struct XrefEntry;

namespace textshow {

// Font kinds as text showing tells them apart; 0 to 2 are the FontInfo kinds.
enum {
    KIND_TRUETYPE = 0,
    KIND_TYPE0 = 1,
    KIND_TYPE1 = 2,
    KIND_STANDARD = 3,
    KIND_TYPE3 = 4,
    KIND_NAMED_CID = 5  // a Type0 font without a program
};

struct Key : PdfName {
    explicit Key(const char* text) { str = strdup(text); }
};

// Tm := [1 0 0 1 tx 0] x Tm: a move along the text line, in text space.
inline void MoveAlong(pdfmatrix* m, double tx)
{
    m->e += tx * m->a;
    m->f += tx * m->b;
}

// Th: the horizontal scaling of the text state (Tz, in percent) as a factor.
inline double HScale(const GState* gs)
{
    return gs->hScale / 100.0;
}

// [Th 0 0 1 along*Th rise] x Tm: text space of a glyph `along` units (text space, before the
// horizontal scaling) from Tm along the line, squeezed or stretched by Tz and lifted by Ts.
// Glyphs and every advance, spacing included, scale with Th; the rise moves up the line.
inline pdfmatrix LineSpace(const GState* gs, double along)
{
    const pdfmatrix& t = gs->tm;
    const double th = HScale(gs);
    const double x = along * th;
    return {th * t.a,
            th * t.b,
            t.c,
            t.d,
            x * t.a + gs->rise * t.c + t.e,
            x * t.b + gs->rise * t.d + t.f};
}

// Tm moves on by a show's advance of `tx` units of text space before the horizontal scaling.
inline void Advance(GState* gs, double tx)
{
    MoveAlong(&gs->tm, tx * HScale(gs));
}

// Text rendering modes 3 and 7 paint nothing (the text of scanned pages lies in them over the
// page image); 0, 2, 4 and 6 fill the glyphs, 1, 2, 5 and 6 stroke them (4 to 7 add the
// glyphs to the clip as well, which is not done).
inline bool Invisible(int renderMode)
{
    return renderMode == 3 || renderMode == 7;
}
inline bool Filled(int renderMode)
{
    return renderMode == 0 || renderMode == 2 || renderMode == 4 || renderMode == 6;
}
inline bool Stroked(int renderMode)
{
    return renderMode == 1 || renderMode == 2 || renderMode == 5 || renderMode == 6;
}

// One show, as the showing operators hand it over: the array elements (strings and
// adjustments), the selected font and its size.
struct Show {
    ContentParser* cp;
    PdfObj** items;
    int count;
    PdfObj* font;  // the font cache value: an object number or a font dictionary
    double size;
};

// What every road shares: the walk over strings and adjustments. `glyph` is called for each
// code with the pen position (thousandths of the em from the start of the show) and returns
// the code's width in thousandths of the em; `step` is then told every move of the pen: a
// glyph's advance with its code, spacing included, and each adjustment on its own. The walk
// returns the total advance in thousandths of the em.
template <typename GlyphFn, typename StepFn>
double Walk(const Show& s, int bytesPerCode, bool wordSpaceApplies, GlyphFn glyph, StepFn step)
{
    GState* gs = s.cp->current;
    const double charSpace = gs->charSpace * 1000.0 / s.size;
    const double wordSpace = gs->wordSpace * 1000.0 / s.size;
    double pen = 0.0;
    for (int i = 0; i < s.count; i++) {
        PdfObj* item = s.items[i];
        if (!item)
            continue;
        if (item->Type() == PDF_STRING) {
            PdfString* str = static_cast<PdfString*>(item);
            if (!str->str || str->len <= 0)
                continue;
            const unsigned char* p = (const unsigned char*)str->str;
            int codes = str->len / bytesPerCode;
            for (int k = 0; k < codes; k++) {
                unsigned int code = p[k * bytesPerCode];
                if (bytesPerCode == 2)
                    code = (code << 8) | p[k * bytesPerCode + 1];
                double advance = glyph(code, pen) + charSpace;
                if (wordSpaceApplies && code == 32)
                    advance += wordSpace;
                pen += advance;
                step(code, advance, true);
            }
        } else {
            double adj;
            // Every number moves the pen back by its amount, wherever it stands in the array.
            if (OperandNumber(item, &adj) == 0 && std::isfinite(adj)) {
                pen -= adj;
                step(0u, -adj, false);
            }
        }
    }
    return pen;
}

// Text positioning (TextState.cpp): Tm := Tlm := [1 0 0 1 tx ty] x Tlm.
void NextLine(GState* gs, double tx, double ty);

// The font cache (FontSelect.cpp): what the font name stands for, or null. *owned tells
// whether the caller must delete it; a cached answer belongs to the resources dictionary.
PdfObj* CachedFont(ContentParser* cp, PdfName* name, bool* owned);

// Faces kept open between shows (FontFaces.cpp).

// A glyph's outline as a path: glyph space (1000 units to the em) with the glyph's origin at
// 0,0, stretched across by `fit` (1 for not at all). `id` is this outline's own number: no
// other outline the process makes gets it.
struct GlyphShape {
    double fit = 1.0;
    unsigned long long id = 0;
    std::unique_ptr<PDF_PathGeometry> path;
};

// A glyph as FT_Load_Glyph left it in the slot, and its outline as paths, one for each fit
// it has been drawn at so far.
struct KeptGlyph {
    FT_Error error = 0;
    bool isOutline = false;
    FT_Pos advance = 0;
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<short> contours;
    std::vector<GlyphShape> shapes;
};

// The face of built-in font data, or of a font file; null when FreeType cannot open it.
FT_Face FaceOfData(const unsigned char* data, unsigned int length);
FT_Face FaceOfFile(const char* path);
// FT_Get_Char_Index of the codes 0 to 255 through the face's selected map.
void CodesThroughCharmap(FT_Face face, unsigned int glyphs[256]);
// FT_Load_Glyph at the pen's origin; the glyph is kept for the face, or loaded into `scratch`
// (its shapes dropped) for a face not kept open.
KeptGlyph* LoadGlyph(FT_Face face, unsigned int gi, FT_Int32 flags, KeptGlyph* scratch);
// FT_Get_Name_Index through the names already looked up in that face.
unsigned int GlyphNamed(FT_Face face, const char* name);

// Simple TrueType fonts (TrueTypeCodes.cpp).
// The glyph of a single-byte code: through the font's Unicode map at `unicode` (the code
// itself when 0), else its Windows symbol map at U+F000 + code (then at the code), else its
// Macintosh Roman map (for a WinAnsi character of the codes 128 to 159, at its Mac OS Roman
// code); 0 where none has one.
unsigned int TrueTypeCodeGlyph(FT_Face face, unsigned int code, unsigned int unicode = 0);
// The characters of the codes 128 to 159 (chars[code - 128]) in the selected font's
// encoding where that is WinAnsiEncoding; 0 for a code that Differences rename, that the
// encoding leaves undefined, or of any other encoding.
void WinAnsiCharacters(ContentParser* cp, unsigned short chars[32]);

// Glyph outlines (TextPaint.cpp).
// The glyphs of one show drawn as outlines, in order, and the outlines made for this show
// alone (those of a glyph no face keeps).
struct ShowGlyphs {
    std::vector<OutlineGlyph> glyphs;
    std::vector<std::unique_ptr<PDF_PathGeometry>> own;
};
// Adds glyph gi of eng's face, `pen` thousandths of the em along, to `out` (a glyph without
// contours adds nothing); false when FreeType cannot load it. eng.advance takes its advance.
// With `fitWidth` > 0 the outline is stretched or squeezed (within bounds) to that advance.
bool AddGlyphOutline(FontEng& eng, unsigned int gi, double pen, ShowGlyphs* out,
                     KeptGlyph* scratch, double fitWidth = -1.0);
// Paints the glyphs as the rendering mode asks; `fill` false leaves the filling to a glyph
// run drawn already.
void PaintOutlines(const Show& s, const ShowGlyphs& glyphs, bool fill);

// A font drawn from the built-in data (BuiltinFontChoice.cpp): the data of its standard name,
// or of the standard font nearest to a font the PDF does not embed (`substitute`: its glyphs
// are then fitted to the PDF's widths), with the dictionary's Widths, FirstChar and Encoding
// in `info`. False when the dictionary leads to no data.
struct BuiltinChoice {
    const unsigned char* data = nullptr;
    unsigned int length = 0;
    bool substitute = false;
    bool symbolic = false;  // Symbol or ZapfDingbats: their own encoding stays under Differences
    FontInfo info;
};
bool ChooseBuiltin(ContentParser* cp, PdfObj* font, BuiltinChoice* out);

// A Type0 font without a program, drawn with the nearest standard font: the character of
// every CID (from the font's ToUnicode map; 0 for none) and the width of every CID (from the
// CIDFont's W and DW). Made once and kept as the record of the ToUnicode stream's entry.
class NamedCidFont : public ResData {
public:
    std::vector<uint16_t> unicode;
    std::vector<double> widths;
};
// Only an Identity encoding (codes are CIDs) with a ToUnicode map can be drawn: null, with
// nothing to draw, otherwise. `out` gets the stand-in face.
NamedCidFont* ChooseNamedCid(ContentParser* cp, PdfObj* font, BuiltinChoice* out);

// The roads. Each draws the show and advances Tm by its width.
// TrueType and Type0 fonts, whose files go into the package (GlyphRun.cpp).
void ShowGlyphRun(const Show& s, int kind, int fontObj, XrefEntry* entry, FontInfo* info);
// Embedded Type 1 fonts (either program form) and fonts drawn from the built-in data
// (GlyphOutlines.cpp).
void ShowOutlines(const Show& s, int kind, XrefEntry* entry, FontInfo* info);
// Type 3 fonts, whose glyph procedures run as nested content streams (Type3Glyphs.cpp).
void ShowType3(const Show& s);

}  // namespace textshow

#endif
