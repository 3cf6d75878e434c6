// The text-showing operators (Tj, TJ, ' and ") and the road each show takes by the kind of
// the selected font: glyph run, glyph outlines or glyph procedures.
#include "Interpreter/TextShow.h"

#include <cmath>
#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/ResData.h"

using namespace textshow;

namespace {

bool NameIs(PdfObj* obj, const char* text)
{
    if (!obj || obj->Type() != PDF_NAME)
        return false;
    PdfName* n = static_cast<PdfName*>(obj);
    return n->str && strcmp(n->str, text) == 0;
}

}  // namespace

// Shows the items in the font that the cache value `font` stands for.
static int ShowWith(ContentParser* cp, PdfObj** items, int count, PdfObj* font, double size)
{
    Show s = {cp, items, count, font, size};
    if (font->Type() == PDF_DICT) {
        PdfDictEntry* sub = PdfDictFindEntry(font, "Subtype");
        // Simple fonts without a program (or with one that cannot be used).
        if (sub && sub->value && sub->value->Type() == PDF_NAME &&
            (IsType1Subtype(static_cast<PdfName*>(sub->value)->str) || NameIs(sub->value, "TrueType")))
            ShowOutlines(s, KIND_STANDARD, nullptr, nullptr);
        // A Type0 font without a program.
        else if (sub && NameIs(sub->value, "Type0"))
            ShowOutlines(s, KIND_NAMED_CID, nullptr, nullptr);
        else if (sub && NameIs(sub->value, "Type3"))
            ShowType3(s);
        else
            return -1;
        return 0;
    }
    // The font file's object number, alone or with the font's own width set: [number set].
    PdfObj* number = font;
    int set = 0;
    if (font->Type() == PDF_ARRAY) {
        PdfArray* pair = static_cast<PdfArray*>(font);
        if (pair->count != 2 || !pair->items[0] || !pair->items[1] ||
            pair->items[1]->Type() != PDF_NUMBER)
            return -1;
        number = pair->items[0];
        set = static_cast<PdfNumber*>(pair->items[1])->value;
    }
    if (number->Type() != PDF_NUMBER || !cp->xref)
        return -1;
    int objNum = static_cast<PdfNumber*>(number)->value;
    XrefEntry* entry = cp->xref->Entry(objNum);
    FontInfo* info = entry ? RecordAs<FontInfo>(entry->resData) : nullptr;
    if (!info || !entry->path)
        return -1;
    info = info->WidthSet(set);
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
