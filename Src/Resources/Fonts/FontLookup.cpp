// What a font resource name stands for when a content stream selects it. Fonts whose program
// goes into the package or is drawn from its file are answered with the font file's object
// number; fonts drawn from their dictionary (Type 3, and fonts that carry no program or one
// that cannot be used: drawn from the built-in data of their standard name, else with the
// nearest built-in font) with a copy of it. A font file that the resource pass did not reach
// (a font used only inside a form, a pattern or a glyph procedure) is extracted here.
#include <cstring>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"

namespace {

struct Key : PdfName {
    explicit Key(const char* text) { str = strdup(text); }
};

// Objects parsed during one lookup, released together however the lookup ends.
struct Parsed {
    enum { SLOTS = 5 };
    PdfObj* objs[SLOTS] = {};
    int n = 0;
    ~Parsed()
    {
        for (int i = 0; i < n; i++)
            delete objs[i];
    }
    // A dictionary given directly or through a reference; anything else is null.
    PdfObj* Dict(PdfXref* xref, PdfObj* value, char* buf, int size)
    {
        PdfObj* parsed = nullptr;
        PdfObj* d = ResolveResource(xref, value, buf, size, &parsed);
        if (parsed) {
            if (n < SLOTS)
                objs[n++] = parsed;
            else {
                delete parsed;
                return nullptr;
            }
        }
        return (d && d->Type() == PDF_DICT) ? d : nullptr;
    }
};

bool Is(const PdfName& name, const char* text)
{
    return name.str && strcmp(name.str, text) == 0;
}

}  // namespace

// Fonts drawn from their dictionary: a copy of it.
static int DictAnswer(PdfObj* font, PdfObj** out)
{
    PdfObj* copy = font->Dup();
    if (!copy)
        return -1;
    *out = copy;
    return 0;
}

// Extracts font file f through `extract` unless that was done already, and answers with its
// number only when the file exists with a font record. A program that cannot be used is
// answered as no program at all; a file that could not be written draws nothing.
// A font whose widths differ from those of the program's record is answered with the number
// and its own width set: [f k].
static int FontFileAnswer(PdfPageTree* tree, int f, PdfObj* font,
                          int (PdfPageTree::*extract)(PdfObj*), PdfObj** out)
{
    XrefEntry* e = f >= 0 ? tree->xref->Entry(f) : nullptr;
    if (!e)
        return -1;
    if (!e->path)
        (tree->*extract)(font);
    if (!e->path && RecordAs<RefusedFontProgram>(e->resData))
        return DictAnswer(font, out);
    FontInfo* record = e->path ? RecordAs<FontInfo>(e->resData) : nullptr;
    if (!record)
        return -1;
    PdfNumber* n = new PdfNumber;
    n->value = f;
    const int set = FontWidthSet(tree, font, record);
    if (set == 0) {
        *out = n;
        return 0;
    }
    PdfNumber* k = new PdfNumber;
    k->value = set;
    PdfArray* pair = new PdfArray;
    if (pair->Append(n) != 0) {
        delete n;
        delete k;
        delete pair;
        return -1;
    }
    if (pair->Append(k) != 0) {
        delete k;
        delete pair;
        return -1;
    }
    *out = pair;
    return 0;
}

int PdfPageTree::FindFontFile(PdfObj* name, PdfObj** out, PdfObj* res)
{
    if (!name || name->Type() != PDF_NAME || !static_cast<PdfName*>(name)->str || !out || !res ||
        !xref)
        return -1;
    char buf[PDF_PARSE_BUF];
    Parsed parsed;

    PdfObj* resources = parsed.Dict(xref, res, buf, sizeof buf);
    PdfObj* fonts = parsed.Dict(xref, ResourceValue(resources, "Font"), buf, sizeof buf);
    PdfObj* font = parsed.Dict(xref, ResourceValue(fonts, static_cast<PdfName*>(name)->str), buf,
                               sizeof buf);
    if (!font)
        return -1;

    Key subtypeKey("Subtype");
    PdfName subtype;
    if (GetName(subtype, &subtypeKey, font) != 0)
        return -1;

    if (Is(subtype, "TrueType")) {
        PdfObj* descriptor =
            parsed.Dict(xref, ResourceValue(font, "FontDescriptor"), buf, sizeof buf);
        int f = FontProgramObject(xref, descriptor, "FontFile2");
        if (f < 0)
            f = FontProgramObject(xref, descriptor, "FontFile3");
        // A font without a program is drawn with the nearest built-in one.
        if (f < 0)
            return DictAnswer(font, out);
        return FontFileAnswer(this, f, font, &PdfPageTree::ExtractTrueType, out);
    }
    if (Is(subtype, "Type0")) {
        Key descendantsKey("DescendantFonts");
        PdfArray descendants;
        GetArray(descendants, &descendantsKey, font);
        PdfObj* cidFont = descendants.count > 0
                              ? parsed.Dict(xref, descendants.items[0], buf, sizeof buf)
                              : nullptr;
        PdfObj* descriptor =
            parsed.Dict(xref, ResourceValue(cidFont, "FontDescriptor"), buf, sizeof buf);
        int f = FontProgramObject(xref, descriptor, "FontFile2");
        if (f < 0)
            f = FontProgramObject(xref, descriptor, "FontFile3");
        if (f < 0)
            return DictAnswer(font, out);
        return FontFileAnswer(this, f, font, &PdfPageTree::ExtractType0, out);
    }
    if (IsType1Subtype(subtype.str)) {
        PdfObj* descriptor =
            parsed.Dict(xref, ResourceValue(font, "FontDescriptor"), buf, sizeof buf);
        // The program in Type 1 form, else in compact form. It is drawn whatever the font's
        // name: only the program holds every glyph its Encoding may name. Without one a
        // standard name is drawn from the built-in data, any other with the nearest built-in
        // font.
        int f = FontProgramObject(xref, descriptor, "FontFile");
        if (f < 0)
            f = FontProgramObject(xref, descriptor, "FontFile3");
        if (f < 0)
            return DictAnswer(font, out);
        return FontFileAnswer(this, f, font, &PdfPageTree::ExtractType1, out);
    }
    if (Is(subtype, "Type3"))
        return DictAnswer(font, out);
    return -1;
}
