#include "Resources/PdfPageTree.h"

#include <cstdlib>
#include <cstring>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"

// Direct value of `key` in a dictionary, or null.
static PdfObj* DirectValue(PdfObj* dict, const char* key)
{
    if (!dict || dict->Type() != PDF_DICT)
        return nullptr;
    PdfDict* d = static_cast<PdfDict*>(dict);
    for (int i = 0; i < d->count; i++)
        if (d->entries[i].key && d->entries[i].key->str && strcmp(d->entries[i].key->str, key) == 0)
            return d->entries[i].value;
    return nullptr;
}

PdfPageTree::PdfPageTree(PdfXref* x)
    : pageRef(nullptr), pageDict(nullptr), pageExtra(nullptr), inhResources(nullptr),
      inhMediaBox(nullptr), inhCropBox(nullptr), inhRotate(nullptr), pagesRoot(nullptr), xref(x),
      pageCount(0), maxPages(0)
{
    resources.elemSize = 8;
    iResources.elemSize = 8;
    inlineResources.elemSize = 4 + PDF_MAX_PATH;
    tmpDir[0] = 0;
    parseBuf[0] = 0;
    sparePath[0] = 0;

    PdfObj* pages = x ? DirectValue(x->root, "Pages") : nullptr;
    if (pages && pages->Type() == PDF_INDIRECT) {
        char buf[PDF_PARSE_BUF];
        ParseIndirectObject(&pagesRoot, x, static_cast<PdfIndirect*>(pages)->refNum, 0, buf, sizeof buf);
    }

    int count = 0;
    PdfObj* c = DirectValue(pagesRoot, "Count");
    if (c && c->Type() == PDF_NUMBER)
        count = static_cast<PdfNumber*>(c)->value;
    else if (c && c->Type() == PDF_REAL)
        count = PdfRealToInt(static_cast<PdfReal*>(c)->value);
    if (count < 0)
        count = 0;
    // Every page is an object of its own, so no document has more pages than entries.
    if (x && count > x->size)
        count = x->size;
    if (count > 0) {
        pageRef = (PdfObj**)calloc((size_t)count, sizeof(PdfObj*));
        pageDict = (PdfObj**)calloc((size_t)count, sizeof(PdfObj*));
        pageExtra = (PdfDict**)calloc((size_t)count, sizeof(PdfDict*));
        if (pageRef && pageDict && pageExtra) {
            maxPages = count;
        } else {
            free(pageRef);
            free(pageDict);
            free(pageExtra);
            pageRef = pageDict = nullptr;
            pageExtra = nullptr;
        }
    }
}
