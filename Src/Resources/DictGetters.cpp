// Typed reads of dictionary values and array items. Each getter copies what it finds into
// the caller's object, so nothing of the document's trees is handed out, and each checks the
// value's type before it reads a payload: a file may put anything under any key.
#include <cstdlib>
#include <cstring>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

namespace {

// Token buffer for following a reference: the values read here are short.
enum { GETTER_TOKEN_BUF = 50 };

// The value stored under key in a direct dictionary: first equal key wins; a null value
// counts as absent.
PdfObj* FindValue(PdfName* key, PdfObj* dict)
{
    PdfObj* v = key ? PdfDictLookup(dict, key->str) : nullptr;
    return (v && v->Type() != PDF_NULL) ? v : nullptr;
}

PdfObj* FindItem(int index, PdfArray* arr)
{
    if (!arr || arr->Type() != PDF_ARRAY || index < 0 || index >= arr->count)
        return nullptr;
    PdfObj* v = arr->items[index];
    return (v && v->Type() != PDF_NULL) ? v : nullptr;
}

// A found value with one reference followed: the referenced object as the document keeps it,
// read once for the conversion; only copies of it leave the getters.
class Resolved {
public:
    Resolved(PdfXref* xref, PdfObj* v) : value(v)
    {
        if (v && v->Type() == PDF_INDIRECT) {
            PdfObj* target = xref ? xref->Object(static_cast<PdfIndirect*>(v)->refNum) : nullptr;
            value = (target && target->Type() != PDF_NULL) ? target : nullptr;
        }
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;

    PdfObj* value;
};

int CopyNumber(PdfNumber& out, PdfObj* v)
{
    if (!v)
        return -1;
    if (v == &out)
        return 0;
    if (v->Type() == PDF_NUMBER)
        out.value = static_cast<PdfNumber*>(v)->value;
    else if (v->Type() == PDF_REAL)
        out.value = PdfRealToInt(static_cast<PdfReal*>(v)->value);
    else
        return -1;
    return 0;
}

// Empty text rather than null, so that callers may compare the result at once.
void SetText(PdfName& out, const char* text, size_t n)
{
    free(out.str);
    out.str = (char*)malloc(n + 1);
    if (!out.str)
        return;
    if (n)
        memcpy(out.str, text, n);
    out.str[n] = 0;
}

int CopyName(PdfName& out, PdfObj* v)
{
    if (v == &out)
        return 0;
    if (v && v->Type() == PDF_NAME) {
        const char* s = static_cast<PdfName*>(v)->str;
        SetText(out, s ? s : "", s ? strlen(s) : 0);
        return 0;
    }
    if (v && v->Type() == PDF_STRING) {
        PdfString* s = static_cast<PdfString*>(v);
        size_t n = 0;
        if (s->str && s->len > 0)
            n = strnlen(s->str, (size_t)s->len);
        SetText(out, s->str ? s->str : "", n);
        return 0;
    }
    SetText(out, "", 0);
    return -1;
}

}  // namespace

int PdfPageTree::GetNumber(PdfNumber& out, PdfName* key, PdfObj* dict)
{
    Resolved r(xref, FindValue(key, dict));
    return CopyNumber(out, r.value);
}

int PdfPageTree::GetNumber(PdfNumber& out, int index, PdfArray* arr)
{
    Resolved r(xref, FindItem(index, arr));
    return CopyNumber(out, r.value);
}

int PdfPageTree::GetReal(PdfReal& out, PdfName* key, PdfObj* dict)
{
    Resolved r(xref, FindValue(key, dict));
    PdfObj* v = r.value;
    if (!v)
        return -1;
    if (v == &out)
        return 0;
    if (v->Type() == PDF_NUMBER)
        out.value = (double)static_cast<PdfNumber*>(v)->value;
    else if (v->Type() == PDF_REAL)
        out.value = static_cast<PdfReal*>(v)->value;
    else
        return -1;
    return 0;
}

int PdfPageTree::GetArray(PdfArray& out, PdfName* key, PdfObj* dict)
{
    Resolved r(xref, FindValue(key, dict));
    PdfObj* v = r.value;
    if (!v || v->Type() != PDF_ARRAY)
        return -1;
    if (v == &out)
        return 0;
    PdfArray* a = static_cast<PdfArray*>(v);
    for (int i = 0; i < a->count; i++) {
        PdfObj* item = a->items[i] ? a->items[i]->Dup() : nullptr;
        if (out.Append(item) != 0)
            delete item;
    }
    return 0;
}

int PdfPageTree::GetDict(PdfDict& out, PdfName* key, PdfObj* dict)
{
    Resolved r(xref, FindValue(key, dict));
    PdfObj* v = r.value;
    if (!v || v->Type() != PDF_DICT)
        return -1;
    if (v == &out)
        return 0;
    PdfDict* d = static_cast<PdfDict*>(v);
    for (int i = 0; i < d->count; i++) {
        if (!d->entries[i].key)
            continue;
        PdfName* k = static_cast<PdfName*>(d->entries[i].key->Dup());
        PdfObj* value = d->entries[i].value ? d->entries[i].value->Dup() : nullptr;
        out.PutOwned(k, value);
    }
    return 0;
}

int PdfPageTree::GetName(PdfName& out, PdfName* key, PdfObj* dict)
{
    Resolved r(xref, FindValue(key, dict));
    return CopyName(out, r.value);
}

int PdfPageTree::GetName(PdfName& out, int index, PdfArray* arr)
{
    Resolved r(xref, FindItem(index, arr));
    return CopyName(out, r.value);
}
