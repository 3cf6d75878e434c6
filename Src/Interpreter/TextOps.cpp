// Text state, text positioning and text showing.
//
// Tm and Tlm are kept in their ordinary PDF form; whatever flip the output format needs is the
// renderer's business. Every show advances Tm by the width of what it showed, whichever of the
// three roads (glyph run, glyph outlines, glyph procedures) the font takes.
#include "Interpreter/ContentParser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <sys/stat.h>
#include <vector>

#include "Interpreter/ResourceUse.h"
#include "Pdf/FileAccess.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/Fonts/BaseFonts.h"
#include "Resources/Fonts/FontEng.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

#include FT_FREETYPE_H

namespace {

// Font kinds as text showing tells them apart; 0 to 2 are the FontInfo kinds.
enum {
    KIND_TRUETYPE = 0,
    KIND_TYPE0 = 1,
    KIND_TYPE1 = 2,
    KIND_STANDARD = 3,
    KIND_TYPE3 = 4
};

// Glyph space of a Type 3 font whose FontMatrix cannot be read.
const pdfmatrix kDefaultFontMatrix = {0.001, 0.0, 0.0, 0.001, 0.0, 0.0};

// Beyond this a pen position in 26.6 units cannot be handed to FreeType; such offsets come only
// from absurd adjustments and are clamped rather than converted out of range.
const double kMaxPen26_6 = 1e15;

struct Key : PdfName {
    explicit Key(const char* text) { str = strdup(text); }
};

bool NameIs(PdfObj* obj, const char* text)
{
    if (!obj || obj->Type() != PDF_NAME)
        return false;
    PdfName* n = static_cast<PdfName*>(obj);
    return n->str && strcmp(n->str, text) == 0;
}

// Tm := [1 0 0 1 tx 0] x Tm: a move along the text line, in text space.
void MoveAlong(pdfmatrix* m, double tx)
{
    m->e += tx * m->a;
    m->f += tx * m->b;
}

// Text rendering modes 3 and 7 paint nothing (the text of scanned pages lies in them over the
// page image); every other mode is shown filled.
bool Invisible(int renderMode)
{
    return renderMode == 3 || renderMode == 7;
}

// Codes that XML forbids as character references.
bool XmlForbidden(unsigned int code)
{
    return code == 0 || (code >= 1 && code <= 8) || code == 11 || code == 12 ||
           (code >= 14 && code <= 31);
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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text state.

int ContentParser::SetTextcharSpace(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->charSpace = v;
    return 0;
}

int ContentParser::SetTextwordSpace(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->wordSpace = v;
    return 0;
}

int ContentParser::SetTextScale(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->hScale = v;
    return 0;
}

// The leading is kept negated: T* then moves by (0, leading).
int ContentParser::SetTextLeading(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->leading = -v;
    return 0;
}

int ContentParser::SetTextRender(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) != 0)
        return 0;
    int mode = ops[0]->Type() == PDF_NUMBER ? static_cast<PdfNumber*>(ops[0])->value
                                              : PdfRealToInt(v);
    if (mode >= 0 && mode <= 7)
        current->renderMode = mode;
    return 0;
}

int ContentParser::SetTextRise(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->rise = v;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Text positioning.

int ContentParser::BeginText(PdfObj**)
{
    const pdfmatrix identity = {1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
    current->tm = identity;
    current->tlm = identity;
    return 0;
}

int ContentParser::SetTextMatrix(PdfObj** ops)
{
    pdfmatrix m;
    if (operandCount < 6 || StackToCtm(ops, &m) != 0)
        return 0;
    current->tm = m;
    current->tlm = m;
    return 0;
}

// Tm := Tlm := [1 0 0 1 tx ty] x Tlm.
static void NextLine(GState* gs, double tx, double ty)
{
    pdfmatrix m = gs->tlm;
    m.e = tx * m.a + ty * m.c + m.e;
    m.f = tx * m.b + ty * m.d + m.f;
    gs->tm = m;
    gs->tlm = m;
}

int ContentParser::MoveStartNL(PdfObj** ops)
{
    double v[2];
    if (NumberOperands(ops, 2, v) == 0)
        NextLine(current, v[0], v[1]);
    return 0;
}

int ContentParser::MoveStartNL_LD(PdfObj** ops)
{
    double v[2];
    if (NumberOperands(ops, 2, v) != 0)
        return 0;
    current->leading = v[1];
    NextLine(current, v[0], v[1]);
    return 0;
}

int ContentParser::MoveNextLine(PdfObj**)
{
    NextLine(current, 0.0, current->leading);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Font selection and the font cache.
//
// The cache lives in the resources dictionary of the stream being interpreted: one entry per
// font resource name, holding what FindFontFile answered. A stream whose resources are parsed
// afresh (a reference) starts with an empty cache, so a miss looks the name up again.

// Keys of a resources dictionary itself. A font of such a name is looked up for every show
// instead: its cache entry would stand for (or in the way of) the resources of that kind.
static bool ResourcesKey(const char* name)
{
    static const char* const keys[] = {"Font",    "XObject", "ExtGState", "ColorSpace",
                                       "Pattern", "Shading", "ProcSet",   "Properties"};
    for (const char* k : keys)
        if (strcmp(k, name) == 0)
            return true;
    return false;
}

// What the font name stands for, or null. *owned tells whether the caller must delete it
// (a font kept out of the cache); a cached answer belongs to the resources dictionary.
static PdfObj* CachedFont(ContentParser* cp, PdfName* name, bool* owned)
{
    *owned = false;
    if (!name || !name->str || !cp->resources || cp->resources->Type() != PDF_DICT)
        return nullptr;
    bool cacheable = !ResourcesKey(name->str);
    PdfDictEntry* e = cacheable ? PdfDictFindEntry(cp->resources, name->str) : nullptr;
    if (e && e->value)
        return e->value->Type() == PDF_BOOL ? nullptr : e->value;
    if (!cp->pages)
        return nullptr;
    PdfObj* found = nullptr;
    if (cp->pages->FindFontFile(name, &found, cp->resources) != 0)
        found = nullptr;
    if (!cacheable) {
        *owned = found != nullptr;
        return found;
    }
    // A font that cannot be drawn is remembered as such (false): looking it up means trying
    // to extract its program once more, which a stream selecting it again and again would
    // otherwise do every time.
    PdfObj* value = found;
    if (!value) {
        PdfBool* none = new PdfBool;
        none->value = 0;
        value = none;
    }
    PdfName* key = static_cast<PdfName*>(name->Dup());
    if (!key) {
        delete value;
        return nullptr;
    }
    if (static_cast<PdfDict*>(cp->resources)->PutOwned(key, value) != 0)
        return nullptr;
    return found;
}

int ContentParser::SetFont(PdfObj** ops)
{
    double size;
    if (!ops || operandCount < 2 || !ops[0] || ops[0]->Type() != PDF_NAME ||
        OperandNumber(ops[1], &size) != 0)
        return 0;
    PdfObj* name = ops[0]->Dup();
    PdfObj* sz = ops[1]->Dup();
    if (!name || !sz) {
        delete name;
        delete sz;
        return 0;
    }
    PdfArray& font = current->font;
    if (font.count >= 2 && font.items) {
        delete font.items[0];
        delete font.items[1];
        font.items[0] = name;
        font.items[1] = sz;
    } else {
        for (int i = 0; i < font.count; i++)
            delete font.items[i];
        font.count = 0;
        if (font.Append(name) != 0) {
            delete name;
            delete sz;
            return 0;
        }
        if (font.Append(sz) != 0) {
            delete sz;
            return 0;
        }
    }
    bool owned;
    PdfObj* found = CachedFont(this, static_cast<PdfName*>(name), &owned);
    if (owned)
        delete found;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Showing: the glyph-run road (TrueType and Type0 fonts, whose files go into the package).

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

static bool InitFreeType()
{
    if (!FontEng::m_library && FT_Init_FreeType(&FontEng::m_library) != 0) {
        FontEng::m_library = nullptr;
        return false;
    }
    return true;
}

// Faces stay open from one show to the next: opening a Type 1 program decrypts and parses all
// of it, which a page of many short shows would otherwise do for each. A face of the built-in
// data is known by that data; a face of a file by the file itself, so that a file written
// anew under the same name (by a later conversion) is opened anew. The library closes what
// is left open when the process ends.
namespace {

// A glyph as FT_Load_Glyph left it in the slot.
struct KeptGlyph {
    FT_Error error = 0;
    bool isOutline = false;
    FT_Pos advance = 0;
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<short> contours;
};

struct OpenFace {
    const unsigned char* data;  // built-in data, or null for a file
    std::string path;
    dev_t dev;
    ino_t ino;
    off_t size;
    struct timespec mtime;
    FT_Face face;
    // Glyph indices by name as FreeType found them; it searches the names one by one.
    std::map<std::string, unsigned int> byName;
    // Glyph indices of the codes 0 to 255 through a character map, by that map.
    std::map<FT_CharMap, std::vector<unsigned int>> byCode;
    // Hinted outlines as loaded at the pen's origin, by glyph index, for the size in
    // `outlineScale`: hinting a glyph at 1000 pixels per em costs far more than moving it.
    std::unordered_map<unsigned int, KeptGlyph> outlines;
    FT_Fixed outlineScale[2] = {0, 0};
};


enum { FACES_KEPT = 16 };
std::vector<OpenFace> openFaces;  // oldest first

FT_Face KeepFace(OpenFace f)
{
    if (openFaces.size() >= FACES_KEPT) {
        FT_Done_Face(openFaces.front().face);
        openFaces.erase(openFaces.begin());
    }
    openFaces.push_back(f);
    return f.face;
}

OpenFace* OpenFaceOf(FT_Face face)
{
    for (OpenFace& f : openFaces)
        if (f.face == face)
            return &f;
    return nullptr;
}

// FT_Get_Char_Index of the codes 0 to 255 through the face's selected map.
void CodesThroughCharmap(FT_Face face, unsigned int glyphs[256])
{
    OpenFace* f = OpenFaceOf(face);
    std::vector<unsigned int>* kept = nullptr;
    if (f) {
        kept = &f->byCode[face->charmap];
        if (kept->size() == 256) {
            memcpy(glyphs, kept->data(), 256 * sizeof(unsigned int));
            return;
        }
    }
    for (unsigned int c = 0; c < 256; c++)
        glyphs[c] = FT_Get_Char_Index(face, c);
    if (kept)
        kept->assign(glyphs, glyphs + 256);
}

// FT_Load_Glyph at the pen's origin, kept for the face: FreeType moves an outline by the
// transform's offset only after hinting it, so one load serves every pen position.
const KeptGlyph* LoadGlyph(FT_Face face, unsigned int gi, FT_Int32 flags, KeptGlyph* scratch)
{
    OpenFace* f = OpenFaceOf(face);
    KeptGlyph* g = scratch;
    if (f && face->size) {
        if (f->outlineScale[0] != face->size->metrics.x_scale ||
            f->outlineScale[1] != face->size->metrics.y_scale) {
            f->outlines.clear();
            f->outlineScale[0] = face->size->metrics.x_scale;
            f->outlineScale[1] = face->size->metrics.y_scale;
        }
        auto found = f->outlines.find(gi);
        if (found != f->outlines.end())
            return &found->second;
        g = &f->outlines[gi];
    }
    FT_Set_Transform(face, nullptr, nullptr);
    g->error = FT_Load_Glyph(face, gi, flags);
    if (g->error == 0 && !face->glyph)
        g->error = -1;
    if (g->error != 0)
        return g;
    const FT_GlyphSlot slot = face->glyph;
    g->advance = slot->advance.x;
    g->isOutline = slot->format == FT_GLYPH_FORMAT_OUTLINE;
    const FT_Outline& o = slot->outline;
    if (g->isOutline && o.n_points > 0 && o.points && o.tags) {
        g->points.assign(o.points, o.points + o.n_points);
        g->tags.assign(o.tags, o.tags + o.n_points);
    }
    if (g->isOutline && o.n_contours > 0 && o.contours)
        g->contours.assign(o.contours, o.contours + o.n_contours);
    return g;
}

}  // namespace

// FT_Get_Name_Index through the names already looked up in that face.
static unsigned int GlyphNamed(FT_Face face, const char* name)
{
    for (OpenFace& f : openFaces) {
        if (f.face != face)
            continue;
        auto it = f.byName.find(name);
        if (it != f.byName.end())
            return it->second;
        unsigned int gi = FT_Get_Name_Index(face, name);
        f.byName.emplace(name, gi);
        return gi;
    }
    return FT_Get_Name_Index(face, name);
}

static FT_Face FaceOfData(const unsigned char* data, unsigned int length)
{
    for (const OpenFace& f : openFaces)
        if (f.data == data)
            return f.face;
    FT_Face face = nullptr;
    if (!InitFreeType() ||
        FT_New_Memory_Face(FontEng::m_library, data, (FT_Long)length, 0, &face) != 0 || !face)
        return nullptr;
    return KeepFace({data, std::string(), 0, 0, 0, {0, 0}, face, {}, {}, {}, {0, 0}});
}

static FT_Face FaceOfFile(const char* path)
{
    struct stat st;
    if (!path || stat(path, &st) != 0)
        return nullptr;
    for (size_t i = 0; i < openFaces.size(); i++) {
        const OpenFace& f = openFaces[i];
        if (f.data || f.path != path)
            continue;
        if (f.dev == st.st_dev && f.ino == st.st_ino && f.size == st.st_size &&
            f.mtime.tv_sec == st.st_mtim.tv_sec && f.mtime.tv_nsec == st.st_mtim.tv_nsec)
            return f.face;
        FT_Done_Face(f.face);
        openFaces.erase(openFaces.begin() + (long)i);
        break;
    }
    FT_Face face = nullptr;
    if (!InitFreeType() || FT_New_Face(FontEng::m_library, path, 0, &face) != 0 || !face)
        return nullptr;
    return KeepFace(
        {nullptr, path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, face, {}, {}, {}, {0, 0}});
}

static void ShowGlyphRun(const Show& s, int kind, int fontObj, XrefEntry* entry, FontInfo* info)
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

// ---------------------------------------------------------------------------------------------
// Showing: the outline road (embedded Type 1 fonts and the built-in standard fonts).
//
// A standard font is drawn from built-in data whose own encoding is the standard one, while
// the PDF names the encoding its codes are in. Codes are therefore mapped to glyphs through
// the font's Encoding: a base encoding by way of Unicode, Differences by glyph name.

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
// then, for a standard font, its Encoding on top.
void CodeGlyphs(PdfPageTree* pages, PdfObj* font, FT_Face face, unsigned int glyphs[256])
{
    CodesThroughCharmap(face, glyphs);
    if (!pages || !font)
        return;

    // Read in place rather than copied: a show runs this for every string, and Differences
    // commonly name all 256 codes.
    char buf[PDF_PARSE_BUF];
    PdfObj* parsedEncoding = nullptr;
    PdfObj* parsedBase = nullptr;
    PdfObj* parsedDiffs = nullptr;
    PdfObj* enc = ResolveResource(pages->xref, ResourceValue(font, "Encoding"), buf, sizeof buf,
                                  &parsedEncoding);
    PdfObj* baseName = enc;
    PdfObj* diffs = nullptr;
    if (enc && enc->Type() == PDF_DICT) {
        baseName = ResolveResource(pages->xref, ResourceValue(enc, "BaseEncoding"), buf,
                                   sizeof buf, &parsedBase);
        diffs = ResolveResource(pages->xref, ResourceValue(enc, "Differences"), buf, sizeof buf,
                                &parsedDiffs);
    }
    int base = ENC_BUILTIN;
    if (baseName && baseName->Type() == PDF_NAME)
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
    delete parsedDiffs;
    delete parsedBase;
    delete parsedEncoding;
}

}  // namespace

static void ShowOutlines(const Show& s, int kind, XrefEntry* entry, FontInfo* info)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;
    FontEng eng;
    if (kind == KIND_STANDARD) {
        PdfName baseFont;
        Key key("BaseFont");
        if (!cp->pages || cp->pages->GetName(baseFont, &key, s.font) != 0)
            return;
        unsigned int length = 0;
        const unsigned char* data = GetStandardFontdata(&baseFont, &length);
        if (!data)
            return;
        eng.face = FaceOfData(data, length);
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
    CodeGlyphs(cp->pages, kind == KIND_STANDARD ? s.font : nullptr, face, glyphs);

    // The outlines go into a path of their own, so a path left unpainted before the text is
    // neither filled with it nor lost.
    PDF_PathGeometry* kept = gs->path;
    gs->path = new PDF_PathGeometry;

    const bool haveWidths = info && info->widths && info->count > 0;
    KeptGlyph scratch;
    std::vector<FT_Vector> moved;
    auto glyph = [&](unsigned int code, double pen) -> double {
        unsigned int gi = glyphs[code & 0xFF];
        double p = std::isnan(pen) ? 0.0 : pen * 64.0;
        if (p > kMaxPen26_6)
            p = kMaxPen26_6;
        if (p < -kMaxPen26_6)
            p = -kMaxPen26_6;
        const FT_Pos delta = (FT_Pos)p;
        const KeptGlyph* g =
            LoadGlyph(face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH, &scratch);
        eng.error = g->error;
        bool loaded = eng.error == 0;
        if (loaded) {
            if (g->isOutline) {
                moved.resize(g->points.size());
                for (size_t k = 0; k < moved.size(); k++)
                    moved[k] = {g->points[k].x + delta, g->points[k].y};
                FT_Outline outline = {};
                outline.n_contours = (short)g->contours.size();
                outline.n_points = (short)g->points.size();
                outline.points = moved.data();
                outline.tags = const_cast<char*>(g->tags.data());
                outline.contours = const_cast<short*>(g->contours.data());
                eng.GlyphtoPath(&outline, gs->path);
            }
            eng.advance = (double)g->advance;
        }
        if (haveWidths) {
            long idx = (long)code - (long)info->firstChar;
            if (idx >= 0 && idx < info->count)
                return info->widths[idx];
        }
        // A glyph FreeType cannot load keeps whatever width the font states, else none.
        return loaded ? eng.advance / 64.0 : 0.0;
    };
    double total = Walk(s, 1, true, glyph, [](unsigned int, double, bool) {});
    FT_Set_Transform(face, nullptr, nullptr);

    if (!Invisible(gs->renderMode) && cp->renderer && gs->path->lastOp != PDF_PATH_OP_NONE) {
        // Glyph space (thousandths of the em) to the page: the size, then Tm, then the CTM.
        pdfmatrix saved = gs->tm;
        pdfmatrix scaled = gs->tm;
        scaled.a *= s.size / 1000.0;
        scaled.b *= s.size / 1000.0;
        scaled.c *= s.size / 1000.0;
        scaled.d *= s.size / 1000.0;
        ConcatMatrix(&gs->ctm, &scaled, &gs->tm);
        cp->renderer->FillText(gs);
        gs->tm = saved;
    }
    delete gs->path;
    gs->path = kept;
    MoveAlong(&gs->tm, total * s.size / 1000.0);
}

// ---------------------------------------------------------------------------------------------
// Showing: the Type 3 road (glyph procedures run as nested content streams).

namespace {

// Glyph names of the base encodings, for Type 3 fonts that name one: codes 0x20 to 0x7E
// (where StandardEncoding differs only at 0x27 and 0x60), and the upper halves.
const char* const kAsciiNames[95] = {
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash", "zero",
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "colon", "semicolon",
    "less", "equal", "greater", "question", "at", "A", "B", "C", "D", "E", "F", "G", "H", "I",
    "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "bracketleft", "backslash", "bracketright", "asciicircum", "underscore", "grave", "a", "b",
    "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t",
    "u", "v", "w", "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde"};

const char* const kWinAnsiUpper[128] = {
    "Euro", nullptr, "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger",
    "daggerdbl", "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", nullptr, "Zcaron",
    nullptr, nullptr, "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet",
    "endash", "emdash", "tilde", "trademark", "scaron", "guilsinglright", "oe", nullptr, "zcaron",
    "Ydieresis", "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar",
    "section", "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen",
    "registered", "macron", "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu",
    "paragraph", "periodcentered", "cedilla", "onesuperior", "ordmasculine", "guillemotright",
    "onequarter", "onehalf", "threequarters", "questiondown", "Agrave", "Aacute", "Acircumflex",
    "Atilde", "Adieresis", "Aring", "AE", "Ccedilla", "Egrave", "Eacute", "Ecircumflex",
    "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis", "Eth", "Ntilde", "Ograve",
    "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply", "Oslash", "Ugrave", "Uacute",
    "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls", "agrave", "aacute",
    "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla", "egrave", "eacute",
    "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis", "eth", "ntilde",
    "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide", "oslash", "ugrave",
    "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis"};

struct CodeName {
    unsigned char code;
    const char* name;
};
const CodeName kStandardUpper[] = {
    {0xA1, "exclamdown"}, {0xA2, "cent"}, {0xA3, "sterling"}, {0xA4, "fraction"},
    {0xA5, "yen"}, {0xA6, "florin"}, {0xA7, "section"}, {0xA8, "currency"},
    {0xA9, "quotesingle"}, {0xAA, "quotedblleft"}, {0xAB, "guillemotleft"},
    {0xAC, "guilsinglleft"}, {0xAD, "guilsinglright"}, {0xAE, "fi"}, {0xAF, "fl"},
    {0xB1, "endash"}, {0xB2, "dagger"}, {0xB3, "daggerdbl"}, {0xB4, "periodcentered"},
    {0xB6, "paragraph"}, {0xB7, "bullet"}, {0xB8, "quotesinglbase"}, {0xB9, "quotedblbase"},
    {0xBA, "quotedblright"}, {0xBB, "guillemotright"}, {0xBC, "ellipsis"},
    {0xBD, "perthousand"}, {0xBF, "questiondown"}, {0xC1, "grave"}, {0xC2, "acute"},
    {0xC3, "circumflex"}, {0xC4, "tilde"}, {0xC5, "macron"}, {0xC6, "breve"},
    {0xC7, "dotaccent"}, {0xC8, "dieresis"}, {0xCA, "ring"}, {0xCB, "cedilla"},
    {0xCD, "hungarumlaut"}, {0xCE, "ogonek"}, {0xCF, "caron"}, {0xD0, "emdash"}, {0xE1, "AE"},
    {0xE3, "ordfeminine"}, {0xE8, "Lslash"}, {0xE9, "Oslash"}, {0xEA, "OE"},
    {0xEB, "ordmasculine"}, {0xF1, "ae"}, {0xF5, "dotlessi"}, {0xF8, "lslash"},
    {0xF9, "oslash"}, {0xFA, "oe"}, {0xFB, "germandbls"}};

// The name a base encoding gives a code, or null.
const char* BaseEncodingName(const char* encoding, unsigned int code)
{
    if (!encoding)
        return nullptr;
    bool standard = strcmp(encoding, "StandardEncoding") == 0;
    bool winAnsi = strcmp(encoding, "WinAnsiEncoding") == 0;
    bool macRoman = strcmp(encoding, "MacRomanEncoding") == 0;
    if (!standard && !winAnsi && !macRoman)
        return nullptr;
    if (code >= 0x20 && code <= 0x7E) {
        if (standard && code == 0x27)
            return "quoteright";
        if (standard && code == 0x60)
            return "quoteleft";
        return kAsciiNames[code - 0x20];
    }
    if (winAnsi && code >= 0x80 && code <= 0xFF)
        return kWinAnsiUpper[code - 0x80];
    if (standard)
        for (const CodeName& c : kStandardUpper)
            if (c.code == code)
                return c.name;
    return nullptr;
}

}  // namespace

// The glyph name of a code in a Type 3 font's encoding: its Differences, else the base
// encoding it names.
int ContentParser::MapChartoName(PdfDict* encoding, unsigned int code, PdfObj** name)
{
    if (!encoding || !name || !pages)
        return -1;
    PdfArray diffs;
    Key key("Differences");
    pages->GetArray(diffs, &key, encoding);
    int i = 0;
    while (i < diffs.count) {
        PdfObj* item = diffs.items[i];
        if (!item || item->Type() != PDF_NUMBER) {
            i++;
            continue;
        }
        long base = static_cast<PdfNumber*>(item)->value;
        int first = i + 1;
        int end = first;
        while (end < diffs.count && diffs.items[end] && diffs.items[end]->Type() == PDF_NAME)
            end++;
        if ((long)code >= base && (long)code < base + (end - first)) {
            PdfObj* found = diffs.items[first + ((long)code - base)]->Dup();
            if (!found)
                return -1;
            *name = found;
            return 0;
        }
        i = end;
    }
    Key baseKey("BaseEncoding");
    PdfName baseName;
    pages->GetName(baseName, &baseKey, encoding);
    const char* text = BaseEncodingName(baseName.str, code);
    if (!text)
        return -1;
    *name = new Key(text);
    return 0;
}

static void ShowType3(const Show& s)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;
    PdfObj* font = s.font;
    if (!cp->pages)
        return;

    Key firstKey("FirstChar");
    PdfNumber firstChar;
    firstChar.value = 0;
    cp->pages->GetNumber(firstChar, &firstKey, font);

    Key procsKey("CharProcs");
    PdfDict charProcs;
    bool haveProcs = cp->pages->GetDict(charProcs, &procsKey, font) == 0;

    Key encodingKey("Encoding");
    PdfDict encoding;
    bool haveEncoding = cp->pages->GetDict(encoding, &encodingKey, font) == 0;

    Key widthsKey("Widths");
    PdfArray widths;
    cp->pages->GetArray(widths, &widthsKey, font);

    Key matrixKey("FontMatrix");
    PdfArray fmArray;
    cp->pages->GetArray(fmArray, &matrixKey, font);
    pdfmatrix fm = kDefaultFontMatrix;
    double v[6] = {0, 0, 0, 0, 0, 0};
    int numbers = 0;
    while (numbers < 6 && numbers < fmArray.count &&
           OperandNumber(fmArray.items[numbers], &v[numbers]) == 0)
        numbers++;
    if (numbers >= 4) {
        fm.a = v[0];
        fm.b = v[1];
        fm.c = v[2];
        fm.d = v[3];
        fm.e = numbers == 6 ? v[4] : 0.0;
        fm.f = numbers == 6 ? v[5] : 0.0;
    }

    // The glyph procedures resolve names in the font's own resources, where it has them.
    PdfDictEntry* own = PdfDictFindEntry(font, "Resources");
    PdfObj* glyphResources = own && own->value ? own->value : cp->resources;

    const bool draw = haveProcs && haveEncoding && !Invisible(gs->renderMode);
    auto glyph = [&](unsigned int code, double pen) -> double {
        double w = 0.0;
        long idx = (long)code - (long)firstChar.value;
        if (idx >= 0 && idx < widths.count)
            OperandNumber(widths.items[idx], &w);
        if (!draw)
            return w * fm.a * 1000.0;
        PdfObj* name = nullptr;
        if (cp->MapChartoName(&encoding, code, &name) != 0 || !name)
            return w * fm.a * 1000.0;
        PdfDictEntry* proc = PdfDictFindEntry(&charProcs, static_cast<PdfName*>(name)->str);
        delete name;
        if (!proc || !proc->value || proc->value->Type() != PDF_INDIRECT)
            return w * fm.a * 1000.0;

        // Glyph space to the page: FontMatrix, the size, the pen along the line, Tm, the CTM.
        pdfmatrix glyphSpace = {fm.a * s.size, fm.b * s.size, fm.c * s.size,
                                fm.d * s.size, fm.e * s.size, fm.f * s.size};
        pdfmatrix line = gs->tm;
        MoveAlong(&line, pen * s.size / 1000.0);
        pdfmatrix toUser;
        ConcatMatrix(&line, &glyphSpace, &toUser);
        pdfmatrix savedCtm = gs->ctm;
        ConcatMatrix(&savedCtm, &toUser, &gs->ctm);
        // The glyph starts with an empty path of its own.
        PDF_PathGeometry* kept = gs->path;
        gs->path = new PDF_PathGeometry;
        cp->ProcessPatternStream(static_cast<PdfIndirect*>(proc->value)->refNum, glyphResources,
                                 gs);
        delete gs->path;
        gs->path = kept;
        gs->ctm = savedCtm;
        return w * fm.a * 1000.0;
    };
    double total = Walk(s, 1, true, glyph, [](unsigned int, double, bool) {});
    MoveAlong(&gs->tm, total * s.size / 1000.0);
}

// ---------------------------------------------------------------------------------------------
// The showing operators.

// Shows the items in the font that the cache value `font` stands for.
static int ShowWith(ContentParser* cp, PdfObj** items, int count, PdfObj* font, double size)
{
    Show s = {cp, items, count, font, size};
    if (font->Type() == PDF_DICT) {
        PdfDictEntry* sub = PdfDictFindEntry(font, "Subtype");
        if (sub && NameIs(sub->value, "Type1"))
            ShowOutlines(s, KIND_STANDARD, nullptr, nullptr);
        else if (sub && NameIs(sub->value, "Type3"))
            ShowType3(s);
        else
            return -1;
        return 0;
    }
    if (font->Type() != PDF_NUMBER || !cp->xref)
        return -1;
    int objNum = static_cast<PdfNumber*>(font)->value;
    XrefEntry* entry = cp->xref->Entry(objNum);
    FontInfo* info = entry ? RecordAs<FontInfo>(entry->resData) : nullptr;
    if (!info || !entry->path)
        return -1;
    switch (info->kind) {
    case KIND_TRUETYPE:
    case KIND_TYPE0:
        ShowGlyphRun(s, info->kind, objNum, entry, info);
        return 0;
    case KIND_TYPE1:
        ShowOutlines(s, KIND_TYPE1, entry, info);
        return 0;
    default:
        return -1;
    }
}

static int ShowItems(ContentParser* cp, PdfObj** items, int count)
{
    GState* gs = cp->current;
    PdfArray& sel = gs->font;
    if (sel.count < 2 || !sel.items || !sel.items[0] || sel.items[0]->Type() != PDF_NAME)
        return 0;
    double size;
    if (OperandNumber(sel.items[1], &size) != 0 || !std::isfinite(size))
        return 0;
    // A size of 0 shows nothing and would divide the spacing by zero.
    if (size == 0.0)
        return 0;
    bool owned;
    PdfObj* font = CachedFont(cp, static_cast<PdfName*>(sel.items[0]), &owned);
    if (!font)
        return -1;
    int result = ShowWith(cp, items, count, font, size);
    if (owned)
        delete font;
    return result;
}

int ContentParser::ShowTextArray(PdfObj** ops)
{
    if (!ops || operandCount < 1 || !ops[0] || ops[0]->Type() != PDF_ARRAY)
        return 0;
    PdfArray* arr = static_cast<PdfArray*>(ops[0]);
    return ShowItems(this, arr->items, arr->count);
}

int ContentParser::ShowText(PdfObj** ops)
{
    if (!ops || operandCount < 1 || !ops[0] || ops[0]->Type() != PDF_STRING)
        return 0;
    return ShowItems(this, ops, 1);
}

int ContentParser::MoveShowText(PdfObj** ops)
{
    if (!ops || operandCount < 1 || !ops[0] || ops[0]->Type() != PDF_STRING)
        return 0;
    NextLine(current, 0.0, current->leading);
    return ShowItems(this, ops, 1);
}

int ContentParser::MoveWSShowText(PdfObj** ops)
{
    double v[2];
    if (!ops || operandCount < 3 || NumberOperands(ops, 2, v) != 0 || !ops[2] ||
        ops[2]->Type() != PDF_STRING)
        return 0;
    current->wordSpace = v[0];
    current->charSpace = v[1];
    NextLine(current, 0.0, current->leading);
    return ShowItems(this, ops + 2, 1);
}
