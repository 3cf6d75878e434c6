// Embedded font programs into files of the temporary folder, once per font-file object, with
// a FontInfo in that object's entry. The entry's path is the mark that the object is done,
// and the package packs what it names, so both are set only once the file is complete.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/Fonts/CffOpenType.h"
#include "Resources/Fonts/FontEncoding.h"
#include "Resources/Fonts/FontEng.h"
#include "Resources/Fonts/TrueTypeWriter.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

FontInfo::~FontInfo()
{
    free(widths);
    free(cids);
    delete encoding;
}

namespace {

enum { FONT_PARSE_BUF = 2048 };

bool NumberValue(PdfObj* obj, int64_t* out)
{
    if (obj && obj->Type() == PDF_NUMBER) {
        *out = static_cast<PdfNumber*>(obj)->value;
        return true;
    }
    if (obj && obj->Type() == PDF_REAL) {
        *out = PdfRealToInt(static_cast<PdfReal*>(obj)->value);
        return true;
    }
    return false;
}

double WidthValue(PdfObj* obj)
{
    if (obj && obj->Type() == PDF_NUMBER)
        return static_cast<PdfNumber*>(obj)->value;
    if (obj && obj->Type() == PDF_REAL)
        return static_cast<PdfReal*>(obj)->value;
    return 0.0;
}

bool SafeNameByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '.' || c == '_' || c == '-';
}

// dir + FontName + '_' + object number + ext. The FontName comes from the file and reaches
// the file system, the part name and the markup through this name alone: every byte outside
// [A-Za-z0-9+._-] becomes '_' (no separator, quote or markup character survives), and the
// name is cut so the whole path fits. The number follows the last '_' and holds only digits,
// so a name never runs into it ("Font1" of object 102 and "Font" of object 1102 give
// Font1_102 and Font_1102): every font-file object has a name of its own, cut or not.
// -1 when even an empty name does not fit.
int FontFilePath(char* out, const char* dir, const char* fontName, int objNum, const char* ext)
{
    char tail[32];
    int tailLen = snprintf(tail, sizeof tail, "_%03d%s", objNum, ext);
    size_t dirLen = strlen(dir);
    if (tailLen < 0 || tailLen >= (int)sizeof tail || dirLen + (size_t)tailLen > PDF_MAX_PATH - 1)
        return -1;
    size_t room = PDF_MAX_PATH - 1 - dirLen - (size_t)tailLen;
    size_t nameLen = std::min(strlen(fontName), room);
    char name[PDF_MAX_PATH];
    for (size_t i = 0; i < nameLen; i++)
        name[i] = SafeNameByte((unsigned char)fontName[i]) ? fontName[i] : '_';
    name[nameLen] = 0;
    int len = snprintf(out, PDF_MAX_PATH, "%s%s%s", dir, name, tail);
    return (len > 0 && len < PDF_MAX_PATH) ? 0 : -1;
}

// A dictionary given directly or through a reference; a parsed one goes to *parsed.
PdfObj* DictValue(PdfXref* xref, PdfObj* value, char* buf, int size, PdfObj** parsed)
{
    PdfObj* d = ResolveResource(xref, value, buf, size, parsed);
    return (d && d->Type() == PDF_DICT) ? d : nullptr;
}

}  // namespace

bool IsType1Subtype(const char* subtype)
{
    return subtype && (strcmp(subtype, "Type1") == 0 || strcmp(subtype, "MMType1") == 0);
}

// The program is a stream, and a stream can only be reached through a reference.
int FontProgramObject(PdfXref* xref, PdfObj* descriptor, const char* key)
{
    PdfObj* v = ResourceValue(descriptor, key);
    if (!xref || !v || v->Type() != PDF_INDIRECT)
        return -1;
    const int f = static_cast<PdfIndirect*>(v)->refNum;
    PdfObj* obj = xref->Object(f);
    XrefEntry* e = xref->Entry(f);
    // Reading the object gives a stream its data offset.
    return (obj && obj->Type() == PDF_DICT && e && e->streamOffset > 0) ? f : -1;
}

// Walks a CIDFont's W array: c [w1 ... wn] gives (c, w1) ... (c+n-1, wn); c c_last w gives
// (c, w) ... (c_last, w). With `info` null it only counts; the same walk fills, so a hostile
// array cannot make the passes disagree. Counts are 64-bit and capped: a range never gives
// more pairs than there are 16-bit CIDs, the array no more than FONT_MAX_W_PAIRS. A first
// CID or a range without what follows it gives nothing.
int32_t WalkWidths(PdfArray* w, FontInfo* info)
{
    int64_t total = 0;
    int64_t first = 0;
    bool haveFirst = false;
    for (int i = 0; i < w->count && total < FONT_MAX_W_PAIRS; i++) {
        PdfObj* item = w->items[i];
        if (!haveFirst) {
            haveFirst = NumberValue(item, &first);
            continue;
        }
        haveFirst = false;

        int64_t take = 0;
        if (item && item->Type() == PDF_ARRAY) {
            PdfArray* ws = static_cast<PdfArray*>(item);
            take = std::min<int64_t>(ws->count, FONT_MAX_W_PAIRS - total);
            for (int64_t k = 0; info && k < take && total + k < info->count; k++) {
                info->cids[total + k] = (uint16_t)((first + k) & 0xFFFF);
                info->widths[total + k] = WidthValue(ws->items[k]);
            }
        } else {
            if (i + 1 >= w->count)
                break;  // c c_last without its width
            PdfObj* width = w->items[++i];
            int64_t last = 0;
            if (!NumberValue(item, &last) || last < first)
                continue;
            take = std::min<int64_t>(last - first + 1, FONT_MAX_RANGE_CIDS);
            take = std::min<int64_t>(take, FONT_MAX_W_PAIRS - total);
            double wv = WidthValue(width);
            for (int64_t k = 0; info && k < take && total + k < info->count; k++) {
                info->cids[total + k] = (uint16_t)((first + k) & 0xFFFF);
                info->widths[total + k] = wv;
            }
        }
        total += take;
    }
    return (int32_t)total;
}

// Widths and FirstChar of a simple font (TrueType, Type 1).
static FontInfo* SimpleFontInfo(PdfPageTree* tree, PdfObj* font, int kind)
{
    FontInfo* info = new FontInfo;
    info->kind = kind;

    PdfKey widthsKey("Widths");
    PdfArray widths;
    if (tree->GetArray(widths, &widthsKey, font) == 0 && widths.count > 0) {
        info->widths = (double*)malloc((size_t)widths.count * sizeof(double));
        if (info->widths) {
            info->count = widths.count;
            for (int i = 0; i < widths.count; i++)
                info->widths[i] = WidthValue(widths.items[i]);
        }
    }
    PdfKey firstKey("FirstChar");
    PdfNumber firstChar;
    tree->GetNumber(firstChar, &firstKey, font);
    info->firstChar = firstChar.value;
    // A Type 1 program's own encoding is only the base the dictionary's Encoding builds on.
    if (kind == FONT_KIND_TYPE1)
        info->encoding = SimpleFontEncoding(tree->xref, font);
    return info;
}

// How a font program becomes its file.
enum FontWrite {
    WRITE_AS_DECODED,  // Type 1: the outline road reads the program as it is
    WRITE_SFNT,        // an sfnt, through the TrueType rewriter
    WRITE_FOR_PACKAGE  // an sfnt or a bare CFF program, whichever it is: a font part
};

static bool IsSfnt(const unsigned char* p, size_t n)
{
    if (n < 4)
        return false;
    const uint32_t tag = (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    return tag == 0x00010000 || tag == 0x74727565 || tag == 0x4F54544F;  // 1.0, 'true', 'OTTO'
}

// An sfnt through the rewriter. Glyph runs address its glyphs by index: the glyph count
// bounds them, and the charset of a CID-keyed CFF table turns CIDs into them. A program the
// rewriter refuses sets *refused.
static int WriteSfnt(const unsigned char* p, size_t n, const char* path, const char* fontName,
                     FontInfo* info, bool* refused)
{
    TrueTypeWriter writer((char*)p, n);
    if (writer.WriteNewFont(path, fontName) != 0) {
        *refused = writer.refused;
        return -1;
    }
    info->numGlyphs = writer.numGlyphs;
    size_t cffLength = 0;
    const unsigned char* cff = SfntTable(p, n, "CFF ", &cffLength);
    CffProgram program;
    if (cff && ReadCffProgram(cff, cffLength, &program))
        info->cidToGid = program.cidToGid;
    return 0;
}

// A bare CFF program, wrapped into an OpenType font.
static int WriteCff(const unsigned char* p, size_t n, const char* path, const char* fontName,
                    FontInfo* info, bool* refused)
{
    CffProgram program;
    if (!ReadCffProgram(p, n, &program)) {
        *refused = true;
        return -1;
    }
    if (WriteCffAsOpenType(path, p, n, fontName, program, refused) != 0)
        return -1;
    info->numGlyphs = program.numGlyphs;
    info->cidToGid = program.cidToGid;
    return 0;
}

// The CIDToGIDMap of a CIDFontType2 when it is a stream (its object number), else 0: every
// other map, and every other kind of CIDFont, keeps CIDs as they are.
static int CidMapObject(PdfPageTree* tree, PdfObj* cidFont)
{
    PdfKey subtypeKey("Subtype");
    PdfName subtype;
    if (tree->GetName(subtype, &subtypeKey, cidFont) != 0 || !subtype.str ||
        strcmp(subtype.str, "CIDFontType2") != 0)
        return 0;
    PdfObj* map = ResourceValue(cidFont, "CIDToGIDMap");
    return map && map->Type() == PDF_INDIRECT && static_cast<PdfIndirect*>(map)->refNum > 0
               ? static_cast<PdfIndirect*>(map)->refNum
               : 0;
}

// The glyph index of each CID from info's CIDToGIDMap stream: two bytes, high byte first, per
// CID from 0; CIDs are 16-bit, so what lies past 65,536 entries is no CID's. A stream that does
// not decode leaves CIDs as they are, and so does a short one for the CIDs past its end.
static void ReadCidMap(PdfPageTree* tree, FontInfo* info)
{
    if (info->cidMapObj <= 0)
        return;
    char buf[FONT_PARSE_BUF];
    ByteBuffer data;
    data.growStep = 4096;
    if (DecodeResourceStream(tree, info->cidMapObj, buf, sizeof buf, &data, nullptr) == 0) {
        const size_t cids = std::min<size_t>(data.size > 0 ? (size_t)data.size / 2 : 0, 65536);
        auto map = std::make_shared<std::vector<uint16_t>>(cids);
        for (size_t c = 0; c < cids; c++)
            (*map)[c] = (uint16_t)(data.data[2 * c] << 8 | data.data[2 * c + 1]);
        info->cidMap = map;
    }
    free(data.data);
}

// DW, the W pairs and the CIDToGIDMap of a CIDFont; the map is only named here, and read
// (ReadCidMap) for a record that is kept.
static FontInfo* CidFontInfo(PdfPageTree* tree, PdfObj* cidFont)
{
    FontInfo* info = new FontInfo;
    info->kind = FONT_KIND_TYPE0;
    info->cidMapObj = CidMapObject(tree, cidFont);
    PdfKey dwKey("DW");
    PdfReal dw;
    dw.value = 1000;
    if (tree->GetReal(dw, &dwKey, cidFont) == 0 && std::isfinite(dw.value))
        info->defaultWidth = dw.value;
    PdfKey wKey("W");
    PdfArray w;
    tree->GetArray(w, &wKey, cidFont);
    int32_t count = WalkWidths(&w, nullptr);
    if (count > 0) {
        info->widths = (double*)malloc((size_t)count * sizeof(double));
        info->cids = (uint16_t*)malloc((size_t)count * sizeof(uint16_t));
        if (info->widths && info->cids) {
            info->count = count;
            WalkWidths(&w, info);
        } else {
            free(info->widths);
            free(info->cids);
            info->widths = nullptr;
            info->cids = nullptr;
        }
    }
    return info;
}

static bool SameWidths(const FontInfo& a, const FontInfo& b)
{
    if (a.kind != b.kind || a.count != b.count || a.defaultWidth != b.defaultWidth ||
        a.cidMapObj != b.cidMapObj || (a.kind != FONT_KIND_TYPE0 && a.firstChar != b.firstChar))
        return false;
    for (int32_t i = 0; i < a.count; i++) {
        if ((a.widths && b.widths && a.widths[i] != b.widths[i]) || !a.widths != !b.widths)
            return false;
        if ((a.cids && b.cids && a.cids[i] != b.cids[i]) || !a.cids != !b.cids)
            return false;
    }
    return true;
}

FontInfo* FontInfo::WidthSet(int k)
{
    return k >= 1 && (size_t)k <= variants.size() ? variants[(size_t)k - 1].get() : this;
}

int FontWidthSet(PdfPageTree* tree, PdfObj* font, FontInfo* record)
{
    if (!tree || !font || font->Type() != PDF_DICT || !record)
        return 0;
    FontInfo* mine = nullptr;
    if (record->kind == FONT_KIND_TYPE0) {
        char buf[FONT_PARSE_BUF];
        PdfKey descendantsKey("DescendantFonts");
        PdfArray descendants;
        tree->GetArray(descendants, &descendantsKey, font);
        PdfObj* parsed = nullptr;
        PdfObj* cidFont = descendants.count > 0
                              ? DictValue(tree->xref, descendants.items[0], buf, sizeof buf, &parsed)
                              : nullptr;
        if (cidFont)
            mine = CidFontInfo(tree, cidFont);
        delete parsed;
    } else {
        mine = SimpleFontInfo(tree, font, record->kind);
    }
    if (!mine || SameWidths(*record, *mine)) {
        delete mine;
        return 0;
    }
    for (size_t k = 0; k < record->variants.size(); k++) {
        if (SameWidths(*record->variants[k], *mine)) {
            delete mine;
            return (int)k + 1;
        }
    }
    if (record->variants.size() + 1 >= FONT_MAX_WIDTH_SETS) {
        delete mine;
        return 0;
    }
    mine->numGlyphs = record->numGlyphs;
    mine->cidToGid = record->cidToGid;
    ReadCidMap(tree, mine);
    record->variants.emplace_back(mine);
    return (int)record->variants.size();
}

// Decodes font-file object f and writes it to `path` as `how` says. Only a complete file
// gives the entry its path and `info`. A program that does not decode, or that is no font
// readers can use, leaves a RefusedFontProgram in the entry: its fonts are drawn as fonts
// without a program. When only the writing failed, `info` is deleted and the entry stays
// empty, so a later font dictionary may try again.
static void WriteFontFile(PdfPageTree* tree, int f, const char* path, const char* fontName, FontInfo* info,
                          FontWrite how, char* buf, int size)
{
    XrefEntry* e = tree->xref->Entry(f);
    ByteBuffer data;
    data.growStep = 1024;
    int rc = -1;
    bool refused = false;
    if (!e) {
        delete info;
        return;
    }
    if (DecodeResourceStream(tree, f, buf, size, &data, nullptr) != 0) {
        refused = true;
    } else {
        const unsigned char* p = data.data;
        const size_t n = (size_t)data.size;
        if (how == WRITE_AS_DECODED) {
            // The outline road opens the file as it stands; one FreeType cannot open draws
            // nothing there.
            refused = FontProgramGlyphs(p, n) < 1;
            if (!refused)
                rc = WriteResourceFile(path, p, n);
        } else if (how == WRITE_SFNT || IsSfnt(p, n)) {
            rc = WriteSfnt(p, n, path, fontName, info, &refused);
        } else {
            rc = WriteCff(p, n, path, fontName, info, &refused);
        }
    }
    free(data.data);
    if (rc == 0)
        e->path = strdup(path);
    if (rc == 0 && e->path) {
        e->resData = info;
        return;
    }
    delete info;
    if (refused && !e->resData)
        e->resData = new RefusedFontProgram;
}

// An entry that already has a path or a record is done (or belongs to another extractor).
static XrefEntry* FreshEntry(PdfXref* xref, int f)
{
    XrefEntry* e = xref->Entry(f);
    return (e && !e->path && !e->resData) ? e : nullptr;
}

// TrueType and Type 1 share every step but the file's key, extension and writer.
static int ExtractSimpleFont(PdfPageTree* tree, PdfObj* font, int kind, char* buf, int size)
{
    if (!font || font->Type() != PDF_DICT)
        return 0;
    bool trueType = kind == FONT_KIND_TRUETYPE;
    PdfObj* parsed = nullptr;
    PdfObj* descriptor = DictValue(tree->xref, ResourceValue(font, "FontDescriptor"), buf, size, &parsed);
    int f = FontProgramObject(tree->xref, descriptor, trueType ? "FontFile2" : "FontFile");
    // A Type 1 font may carry its program in compact form instead (FontFile3, Type1C); it is
    // drawn through the same outlines. A TrueType font's FontFile3 is an OpenType program,
    // rewritten alike.
    bool compact = !trueType && f < 0;
    if (f < 0)
        f = FontProgramObject(tree->xref, descriptor, "FontFile3");
    PdfKey nameKey("FontName");
    PdfName fontName;
    char path[PDF_MAX_PATH];
    if (descriptor && FreshEntry(tree->xref, f) && tree->GetName(fontName, &nameKey, descriptor) == 0) {
        const char* name = fontName.str ? fontName.str : "";
        if (FontFilePath(path, tree->tmpDir, name, f, trueType ? ".ttf" : compact ? ".cff" : ".pfa") == 0) {
            FontInfo* info = SimpleFontInfo(tree, font, kind);
            WriteFontFile(tree, f, path, name, info, trueType ? WRITE_SFNT : WRITE_AS_DECODED, buf, size);
        }
    }
    delete parsed;
    return 0;
}

int PdfPageTree::ExtractTrueType(PdfObj* font)
{
    char buf[FONT_PARSE_BUF];
    return ExtractSimpleFont(this, font, FONT_KIND_TRUETYPE, buf, sizeof buf);
}

int PdfPageTree::ExtractType1(PdfObj* font)
{
    return ExtractSimpleFont(this, font, FONT_KIND_TYPE1, parseBuf, sizeof parseBuf);
}

int PdfPageTree::ExtractType0(PdfObj* font)
{
    if (!font || font->Type() != PDF_DICT)
        return 0;
    char buf[FONT_PARSE_BUF];
    PdfKey descendantsKey("DescendantFonts");
    PdfArray descendants;
    GetArray(descendants, &descendantsKey, font);
    PdfObj* cidParsed = nullptr;
    PdfObj* cidFont = descendants.count > 0 ? DictValue(xref, descendants.items[0], buf, sizeof buf, &cidParsed)
                                            : nullptr;
    PdfObj* descParsed = nullptr;
    PdfObj* descriptor =
        cidFont ? DictValue(xref, ResourceValue(cidFont, "FontDescriptor"), buf, sizeof buf, &descParsed) : nullptr;

    PdfKey nameKey("FontName");
    PdfName fontName;
    int f = FontProgramObject(xref, descriptor, "FontFile2");
    bool trueType = f >= 0;
    if (f < 0)
        f = FontProgramObject(xref, descriptor, "FontFile3");
    char path[PDF_MAX_PATH];
    if (descriptor && GetName(fontName, &nameKey, descriptor) == 0 && FreshEntry(xref, f) &&
        FontFilePath(path, tmpDir, fontName.str ? fontName.str : "", f, ".ttf") == 0) {
        FontInfo* info = CidFontInfo(this, cidFont);
        ReadCidMap(this, info);
        // A TrueType program goes through the rewriter, as a simple font's does: subsets made
        // for CID fonts often lack the cmap and OS/2 tables that a font part must have. A
        // FontFile3 holds an OpenType font, which goes the same way, or a bare CFF program,
        // which is wrapped into one.
        WriteFontFile(this, f, path, fontName.str ? fontName.str : "", info,
                      trueType ? WRITE_SFNT : WRITE_FOR_PACKAGE, buf, sizeof buf);
    }
    delete descParsed;
    delete cidParsed;
    return 0;
}

int PdfPageTree::ExtractFontResource(PdfObj* fonts)
{
    PdfObj* parsed = nullptr;
    PdfObj* dict = DictValue(xref, fonts, parseBuf, sizeof parseBuf, &parsed);
    int result = 0;
    PdfDict* d = static_cast<PdfDict*>(dict);
    for (int i = 0; d && i < d->count; i++) {
        if (!d->entries[i].value) {
            result = -1;
            break;
        }
        PdfObj* fontParsed = nullptr;
        PdfObj* font = DictValue(xref, d->entries[i].value, parseBuf, sizeof parseBuf, &fontParsed);
        if (font) {
            PdfKey subtypeKey("Subtype");
            PdfName subtype;
            GetName(subtype, &subtypeKey, font);
            const char* s = subtype.str ? subtype.str : "";
            if (strcmp(s, "Type0") == 0)
                ExtractType0(font);
            else if (IsType1Subtype(s))
                ExtractType1(font);
            else if (strcmp(s, "TrueType") == 0)
                ExtractTrueType(font);
        }
        delete fontParsed;
    }
    delete parsed;
    return result;
}
