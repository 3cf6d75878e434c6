// Font selection (Tf) and the font cache.
//
// The cache lives in the resources dictionary of the stream being interpreted: one entry per
// font resource name, holding what FindFontFile answered. A stream whose resources are parsed
// afresh (a reference) starts with an empty cache, so a miss looks the name up again.
#include "Interpreter/TextShow.h"

#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfObj.h"
#include "Resources/PdfPageTree.h"

using namespace textshow;

namespace textshow {

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
PdfObj* CachedFont(ContentParser* cp, PdfName* name, bool* owned)
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

}  // namespace textshow

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
