// Resource names of content operators (Do /Im1, cs /CS0, gs /GS1, sh /Sh0, scn /P0) turned
// into what the interpreter needs. Every link of a chain is type-checked before it is
// followed; a missing or malformed link fails the lookup. Referenced objects are the ones the
// document keeps (PdfXref::Object); nothing here changes or keeps them.
#include <cstring>

#include "Interpreter/GState.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/ColorSpace.h"
#include "Resources/PaintColour.h"
#include "Resources/PdfPageTree.h"

namespace {

// Token buffer of one lookup. A lookup parses several objects one after the other; the
// buffer only holds the token being read, so they can share it.
const int LOOKUP_BUF = 2048;

// A value with one level of reference followed. A referenced object is the document's, read
// once for the conversion, so a resource dictionary that many operators name is not read
// again for each of them; nothing here changes or keeps it.
class Resolved {
public:
    Resolved() = default;
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;

    // false for a null value or a reference that does not parse.
    bool Set(PdfXref* xref, PdfObj* v, char* buf)
    {
        (void)buf;
        if (v && v->Type() == PDF_INDIRECT)
            v = xref ? xref->Object(static_cast<PdfIndirect*>(v)->refNum) : nullptr;
        obj = (v && v->Type() != PDF_NULL) ? v : nullptr;
        return obj != nullptr;
    }
    bool SetDict(PdfXref* xref, PdfObj* v, char* buf)
    {
        return Set(xref, v, buf) && obj->Type() == PDF_DICT;
    }

    PdfObj* obj = nullptr;
};

const char* NameText(PdfObj* name)
{
    if (!name || (name->Type() != PDF_NAME))
        return nullptr;
    return static_cast<PdfName*>(name)->str;
}

// The resources' `kind` sub-dictionary, then the reference stored under `name`: its object
// number. A direct dictionary there cannot be served, since callers read the object again by
// number.
int FindNumbered(PdfXref* xref, PdfObj* name, int* objNum, PdfObj* resources, const char* kind)
{
    const char* text = NameText(name);
    if (!resources || !text || !objNum)
        return -1;
    char buf[LOOKUP_BUF];
    Resolved res, sub;
    if (!res.SetDict(xref, resources, buf) || !sub.SetDict(xref, PdfDictLookup(res.obj, kind), buf))
        return -1;
    PdfObj* entry = PdfDictLookup(sub.obj, text);
    if (!entry || entry->Type() != PDF_INDIRECT)
        return -1;
    *objNum = static_cast<PdfIndirect*>(entry)->refNum;
    return 0;
}

bool NumberValue(PdfObj* v, double* out)
{
    if (v && v->Type() == PDF_NUMBER) {
        *out = static_cast<PdfNumber*>(v)->value;
        return true;
    }
    if (v && v->Type() == PDF_REAL) {
        *out = static_cast<PdfReal*>(v)->value;
        return true;
    }
    return false;
}

// Integers as they are, reals truncated toward zero.
bool IntegerValue(PdfObj* v, int* out)
{
    if (v && v->Type() == PDF_NUMBER) {
        *out = static_cast<PdfNumber*>(v)->value;
        return true;
    }
    if (v && v->Type() == PDF_REAL) {
        *out = PdfRealToInt(static_cast<PdfReal*>(v)->value);
        return true;
    }
    return false;
}

}  // namespace

int PdfPageTree::FindXObject(PdfObj* name, int* objNum, XObjectType* type, PdfObj* resources)
{
    const char* text = NameText(name);
    if (!resources || !text || !objNum || !type)
        return -1;
    char buf[LOOKUP_BUF];
    Resolved res, xobjects, xobj;
    if (!res.SetDict(xref, resources, buf) ||
        !xobjects.SetDict(xref, PdfDictLookup(res.obj, "XObject"), buf))
        return -1;
    // XObjects are streams, so only a reference can name one.
    PdfObj* entry = PdfDictLookup(xobjects.obj, text);
    if (!entry || entry->Type() != PDF_INDIRECT || !xobj.SetDict(xref, entry, buf))
        return -1;
    const char* subtype = NameText(PdfDictLookup(xobj.obj, "Subtype"));
    XObjectType found;
    if (subtype && strcmp(subtype, "Image") == 0)
        found = XOBJECT_IMAGE;
    else if (subtype && strcmp(subtype, "Form") == 0)
        found = XOBJECT_FORM;
    else
        return -1;
    *objNum = static_cast<PdfIndirect*>(entry)->refNum;
    *type = found;
    return 0;
}

int PdfPageTree::FindPattern(PdfObj* name, int* objNum, PdfObj* resources)
{
    return FindNumbered(xref, name, objNum, resources, "Pattern");
}

int PdfPageTree::FindShading(PdfObj* name, int* objNum, PdfObj* resources)
{
    return FindNumbered(xref, name, objNum, resources, "Shading");
}

int PdfPageTree::FindCS(PdfObj* cs, PdfObj** param, ColorSpace* out, PdfObj* resources,
                        PdfObj** whole)
{
    const char* text = NameText(cs);
    if (!text || !out)
        return -1;
    *out = NameToCS(cs);
    if (*out != CS_OTHER) {
        if (whole)
            *whole = cs->Dup();
        return 0;
    }

    // A resource name: *out stays CS_OTHER unless the chain below resolves.
    if (!resources)
        return -1;
    char buf[LOOKUP_BUF];
    Resolved res, spaces, value;
    if (!res.SetDict(xref, resources, buf))
        return -1;
    PdfObj* csEntry = PdfDictLookup(res.obj, "ColorSpace");
    if (!spaces.Set(xref, csEntry, buf)) {
        // An unreadable ColorSpace reference falls back to a direct Pattern dictionary.
        PdfObj* patterns = PdfDictLookup(res.obj, "Pattern");
        if (!csEntry || csEntry->Type() != PDF_INDIRECT || !patterns ||
            patterns->Type() != PDF_DICT)
            return -1;
        spaces.obj = patterns;
    }
    if (spaces.obj->Type() != PDF_DICT || !value.Set(xref, PdfDictLookup(spaces.obj, text), buf))
        return -1;

    PdfObj* v = value.obj;
    if (v->Type() == PDF_NAME) {
        *out = NameToCS(v);
        if (whole)
            *whole = v->Dup();
        return 0;
    }
    if (v->Type() != PDF_ARRAY)
        return -1;
    PdfArray* a = static_cast<PdfArray*>(v);
    if (a->count < 1 || !a->items[0] || a->items[0]->Type() != PDF_NAME)
        return -1;
    *out = NameToCS(a->items[0]);
    if (*out != CS_CALRGB && a->count >= 2 && a->items[1] && param)
        *param = a->items[1]->Dup();
    if (whole)
        *whole = v->Dup();
    return 0;
}

namespace {

// The luminosity of a colour given as 1, 3 or 4 components (gray, RGB, CMYK), as a mask
// takes it from its group; 0 for anything else.
double Luminosity(PdfObj* colour)
{
    if (!colour || colour->Type() != PDF_ARRAY)
        return 0;
    PdfArray* a = static_cast<PdfArray*>(colour);
    static const int kKinds[5] = {0, CS_DEVICEGRAY, 0, CS_DEVICERGB, CS_DEVICECMYK};
    if (a->count < 1 || a->count > 4 || !kKinds[a->count])
        return 0;
    DeviceColour c;
    c.kind = kKinds[a->count];
    for (int i = 0; i < a->count; i++)
        if (!NumberValue(a->items[i], &c.c[i]))
            return 0;
    double rgb[3];
    DeviceToRgb(c, rgb);
    return PaintLuminosity(rgb);
}

// An SMask entry: /None, or a mask dictionary naming its form in G (by reference) and its
// kind in S (Alpha or Luminosity). Anything else takes the mask away, so that the page shows
// the more.
void SetSoftMask(PdfXref* xref, PdfObj* value, GState* gs)
{
    char buf[LOOKUP_BUF];
    Resolved mask, group;
    gs->softMask = 0;
    if (!mask.SetDict(xref, value, buf))
        return;
    PdfObj* form = PdfDictLookup(mask.obj, "G");
    const char* kind = NameText(PdfDictLookup(mask.obj, "S"));
    if (!form || form->Type() != PDF_INDIRECT || !kind || !group.SetDict(xref, form, buf))
        return;
    const char* subtype = NameText(PdfDictLookup(group.obj, "Subtype"));
    if (!subtype || strcmp(subtype, "Form") != 0)
        return;
    const bool luminosity = strcmp(kind, "Luminosity") == 0;
    if (!luminosity && strcmp(kind, "Alpha") != 0)
        return;
    gs->softMask = static_cast<PdfIndirect*>(form)->refNum;
    gs->softMaskLuminosity = luminosity;
    gs->softMaskCtm = gs->ctm;
    gs->softMaskBackdrop = luminosity ? Luminosity(PdfDictLookup(mask.obj, "BC")) : 0;
}

}  // namespace

int PdfPageTree::SetExtGState(PdfObj* name, GState* gs, PdfObj* resources)
{
    const char* text = NameText(name);
    if (!resources || !text || !gs)
        return -1;
    char buf[LOOKUP_BUF];
    Resolved res, states, params;
    if (!res.SetDict(xref, resources, buf) ||
        !states.SetDict(xref, PdfDictLookup(res.obj, "ExtGState"), buf) ||
        !params.SetDict(xref, PdfDictLookup(states.obj, text), buf))
        return -1;

    // Values are read as stored; anything that is not a number is passed over, so a
    // malformed entry never disturbs the state.
    PdfDict* d = static_cast<PdfDict*>(params.obj);
    for (int i = 0; i < d->count; i++) {
        PdfName* k = d->entries[i].key;
        PdfObj* v = d->entries[i].value;
        if (!k || !k->str)
            continue;
        double num;
        int whole;
        if (strcmp(k->str, "ca") == 0) {
            if (NumberValue(v, &num))
                gs->fillAlpha = num;
        } else if (strcmp(k->str, "CA") == 0) {
            if (NumberValue(v, &num))
                gs->strokeAlpha = num;
        } else if (strcmp(k->str, "LW") == 0) {
            if (NumberValue(v, &num))
                gs->lineWidth = num;
        } else if (strcmp(k->str, "ML") == 0) {
            if (NumberValue(v, &num))
                gs->miterLimit = num;
        } else if (strcmp(k->str, "LJ") == 0) {
            if (IntegerValue(v, &whole))
                gs->lineJoin = whole;
        } else if (strcmp(k->str, "LC") == 0) {
            if (IntegerValue(v, &whole))
                gs->lineCap = whole;
        } else if (strcmp(k->str, "SMask") == 0) {
            SetSoftMask(xref, v, gs);
        }
    }
    return 0;
}
