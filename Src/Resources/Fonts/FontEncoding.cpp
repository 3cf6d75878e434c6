#include "Resources/Fonts/FontEncoding.h"

#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Resources/ResData.h"

// One entry of an encoding dictionary, followed through a reference and copied when it has the
// wanted type; nothing is stored otherwise.
static void CopyEntry(PdfXref* xref, PdfObj* from, const char* key, int type, PdfDict* to)
{
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* v = ResolveResource(xref, ResourceValue(from, key), buf, sizeof buf, &parsed);
    if (v && v->Type() == type) {
        PdfObj* copy = parsed ? parsed : v->Dup();
        parsed = nullptr;
        if (copy)
            to->PutOwned(new PdfKey(key), copy);
    }
    delete parsed;
}

PdfObj* SimpleFontEncoding(PdfXref* xref, PdfObj* font)
{
    if (!font || font->Type() != PDF_DICT)
        return nullptr;
    char buf[PDF_PARSE_BUF];
    PdfObj* parsed = nullptr;
    PdfObj* enc = ResolveResource(xref, ResourceValue(font, "Encoding"), buf, sizeof buf, &parsed);
    PdfObj* result = nullptr;
    if (enc && enc->Type() == PDF_NAME) {
        result = parsed ? parsed : enc->Dup();
        parsed = nullptr;
    } else if (enc && enc->Type() == PDF_DICT) {
        PdfDict* d = new PdfDict;
        CopyEntry(xref, enc, "BaseEncoding", PDF_NAME, d);
        CopyEntry(xref, enc, "Differences", PDF_ARRAY, d);
        result = d;
    }
    delete parsed;
    return result;
}
