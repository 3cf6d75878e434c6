// The page tree: the walk that lists the pages in document order with the attributes they
// inherit, the per-page lookups, and content streams handed out as readable files.
#include "Resources/PdfPageTree.h"

#include <cstdlib>
#include <cstring>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"

namespace {

// Token buffer for resolving a page item; larger values are cut by the tokenizer.
enum { PAGE_ITEM_TOKEN_BUF = 512 };

// Direct value of `key` in a dictionary; a null value counts as absent.
PdfObj* DirectValue(PdfObj* dict, const char* key)
{
    PdfObj* v = PdfDictLookup(dict, key);
    return (v && v->Type() != PDF_NULL) ? v : nullptr;
}

// The object number a stream argument carries: a reference or a number holding it.
bool ObjectNumberOf(PdfObj* ref, int* num)
{
    if (!ref)
        return false;
    if (ref->Type() == PDF_INDIRECT) {
        *num = static_cast<PdfIndirect*>(ref)->refNum;
        return true;
    }
    if (ref->Type() == PDF_NUMBER) {
        *num = static_cast<PdfNumber*>(ref)->value;
        return true;
    }
    return false;
}

// Objects in a tree: what copying it costs.
long CountObjects(PdfObj* obj)
{
    if (!obj)
        return 0;
    long n = 1;
    if (obj->Type() == PDF_ARRAY) {
        PdfArray* a = static_cast<PdfArray*>(obj);
        for (int i = 0; i < a->count; i++)
            n += CountObjects(a->items[i]);
    } else if (obj->Type() == PDF_DICT) {
        PdfDict* d = static_cast<PdfDict*>(obj);
        for (int i = 0; i < d->count; i++)
            n += 1 + CountObjects(d->entries[i].value);
    }
    return n;
}

// In-use entries of the table: objects the file really lists, whatever its Size says.
long InUseEntries(PdfXref* x)
{
    long n = 0;
    for (int i = 0; x && i < x->size; i++)
        if (x->entries[i].type == 'n')
            n++;
    return n;
}

struct Inherited {
    const char* key;
    PdfObj* PdfPageTree::*slot;
};

// What a page takes from its ancestors when it lacks the entry itself. The crop box is kept
// under its own name: the page size always comes from the MediaBox.
const Inherited kInherited[] = {
    {"Resources", &PdfPageTree::inhResources},
    {"MediaBox", &PdfPageTree::inhMediaBox},
    {"CropBox", &PdfPageTree::inhCropBox},
    {"Rotate", &PdfPageTree::inhRotate},
};
const int kInheritedCount = (int)(sizeof kInherited / sizeof kInherited[0]);

}  // namespace

PdfPageTree::PdfPageTree(PdfXref* x)
    : pageRef(nullptr), pageDict(nullptr), pageExtra(nullptr), inhResources(nullptr),
      inhMediaBox(nullptr), inhCropBox(nullptr), inhRotate(nullptr), pagesRoot(nullptr), xref(x),
      pageCount(0), maxPages(0), walkDepth(0), walkBudget(0), copyBudget(0)
{
    resources.elemSize = 8;
    iResources.elemSize = 8;
    inlineResources.elemSize = 4 + PDF_MAX_PATH;
    tmpDir[0] = 0;
    parseBuf[0] = 0;
    sparePath[0] = 0;
    memset(walkPath, 0, sizeof walkPath);

    PdfObj* pages = x ? DirectValue(x->root, "Pages") : nullptr;
    if (pages && pages->Type() == PDF_INDIRECT) {
        char buf[PDF_PARSE_BUF];
        ParseIndirectObject(&pagesRoot, x, static_cast<PdfIndirect*>(pages)->refNum, 0, buf, sizeof buf);
    }

    long long count = 0;
    PdfKey typeKey("Type");
    PdfName type;
    GetName(type, &typeKey, pagesRoot);
    if (type.str && strcmp(type.str, "Page") == 0) {
        // A root that is itself a page is the document's one page.
        count = 1;
    } else {
        PdfKey countKey("Count");
        PdfNumber n;
        GetNumber(n, &countKey, pagesRoot);
        count = n.value;
    }
    if (count < 0)
        count = 0;
    // Every page is an object of its own, so no document has more pages than objects listed.
    long listed = InUseEntries(x);
    if (x && count > listed)
        count = listed;
    if (count > 0) {
        pageRef = (PdfObj**)calloc((size_t)count, sizeof(PdfObj*));
        pageDict = (PdfObj**)calloc((size_t)count, sizeof(PdfObj*));
        pageExtra = (PdfDict**)calloc((size_t)count, sizeof(PdfDict*));
        if (pageRef && pageDict && pageExtra) {
            maxPages = (int)count;
        } else {
            free(pageRef);
            free(pageDict);
            free(pageExtra);
            pageRef = pageDict = nullptr;
            pageExtra = nullptr;
        }
    }
}

int PdfPageTree::Load()
{
    tmpDir[0] = 0;
    walkDepth = 0;
    // A tree visits each object once; the spare allows for a page listed twice. Counted from
    // the objects the file lists, not from its Size, which is only a claim.
    walkBudget = InUseEntries(xref) * 2 + 16;
    copyBudget = PAGE_TREE_MAX_COPIED;
    if (!pagesRoot)
        return 0;
    PdfObj* root = pagesRoot;
    Load(root, nullptr);
    if (pageCount > 0 && pageDict[0] == root)
        pagesRoot = nullptr;  // the root was a page: it is owned once, as page 0
    return 0;
}

int PdfPageTree::Load(PdfObj* node, PdfObj* ref)
{
    if (!node)
        return 0;
    PdfKey typeKey("Type");
    PdfName type;
    GetName(type, &typeKey, node);

    if (type.str && strcmp(type.str, "Page") == 0) {
        // A leaf. It is stored while there is a slot; otherwise it stays with the caller,
        // who releases it.
        if (node->Type() != PDF_DICT || pageCount >= maxPages)
            return 0;
        PdfDict* page = static_cast<PdfDict*>(node);
        for (const Inherited& in : kInherited) {
            PdfObj* value = this->*in.slot;
            if (!value || DirectValue(page, in.key))
                continue;
            copyBudget -= CountObjects(value);
            if (copyBudget < 0)
                return -1;
            PdfObj* copy = value->Dup();
            if (copy)
                page->PutOwned(new PdfKey(in.key), copy);
        }
        pageDict[pageCount] = node;
        pageRef[pageCount] = ref;
        pageExtra[pageCount] = new PdfDict;
        pageCount++;
        return 0;
    }

    // An intermediate node (normally "Pages"; also one without a Type).
    if (walkDepth >= PAGE_TREE_MAX_DEPTH)
        return -1;
    walkPath[walkDepth++] = node->objNum;

    PdfObj* saved[kInheritedCount];
    for (int i = 0; i < kInheritedCount; i++) {
        saved[i] = this->*kInherited[i].slot;
        PdfObj* own = DirectValue(node, kInherited[i].key);
        if (own) {
            copyBudget -= CountObjects(own);
            this->*kInherited[i].slot = copyBudget >= 0 ? own->Dup() : nullptr;
        }
    }

    int result = 0;
    PdfObj* kids = DirectValue(node, "Kids");
    PdfArray* arr = (kids && kids->Type() == PDF_ARRAY) ? static_cast<PdfArray*>(kids) : nullptr;
    for (int i = 0; arr && i < arr->count && pageCount < maxPages; i++) {
        PdfObj* item = arr->items[i];
        if (!item || item->Type() != PDF_INDIRECT)
            continue;
        int num = static_cast<PdfIndirect*>(item)->refNum;
        bool cycle = false;
        for (int d = 0; d < walkDepth; d++)
            cycle = cycle || walkPath[d] == num;
        if (cycle) {
            result = -1;
            break;
        }
        if (walkBudget <= 0 || copyBudget < 0) {
            result = -1;
            break;
        }
        walkBudget--;

        // The kid as the document keeps it: a node that many parents share is read once.
        PdfObj* shared = xref ? xref->Object(num) : nullptr;
        if (!shared)
            continue;
        PdfObj* kid = shared;
        PdfName kidType;
        GetName(kidType, &typeKey, shared);
        if (kidType.str && strcmp(kidType.str, "Page") == 0) {
            // A stored page is the tree's own, with what it inherits written into it.
            copyBudget -= CountObjects(shared);
            if (copyBudget < 0) {
                result = -1;
                break;
            }
            kid = shared->Dup();
            if (!kid)
                continue;
            kid->objNum = shared->objNum;
        }
        int before = pageCount;
        if (Load(kid, item) != 0 && copyBudget < 0)
            result = -1;
        bool stored = pageCount > before && pageDict[pageCount - 1] == kid;
        if (kid != shared && !stored)
            delete kid;
        if (result != 0 && copyBudget < 0)
            break;
    }

    for (int i = 0; i < kInheritedCount; i++) {
        PdfObj*& slot = this->*kInherited[i].slot;
        if (slot != saved[i]) {
            delete slot;
            slot = saved[i];
        }
    }
    walkDepth--;
    return result;
}

int PdfPageTree::GetContent(PdfObj** out, int page)
{
    if (!out || page < 0 || page >= pageCount)
        return -1;
    *out = DirectValue(pageDict[page], "Contents");
    return 0;
}

int PdfPageTree::GetPageResourceDict(PdfObj** out, int page)
{
    if (!out || page < 0 || page >= pageCount)
        return -1;
    *out = DirectValue(pageDict[page], "Resources");
    return 0;
}

int PdfPageTree::GetPageItem(PdfObj** out, PdfName* key, int page)
{
    if (!out || page < 0 || page >= pageCount)
        return -1;
    *out = nullptr;
    PdfObj* value = key ? DirectValue(pageDict[page], key->str) : nullptr;
    if (!value)
        return -1;
    if (value->Type() != PDF_INDIRECT) {
        *out = value;
        return 0;
    }
    PdfObj* fresh = nullptr;
    char buf[PAGE_ITEM_TOKEN_BUF];
    ParseIndirectObject(&fresh, xref, static_cast<PdfIndirect*>(value)->refNum, 0, buf, sizeof buf);
    if (!fresh)
        return -1;
    fresh->owned = 1;
    *out = fresh;
    return 0;
}

int PdfPageTree::GetContent(PdfObj** out, int* dataOffset, PdfObj* ref)
{
    if (!out || !dataOffset || !ref || ref->Type() != PDF_INDIRECT)
        return -1;
    int num = static_cast<PdfIndirect*>(ref)->refNum;
    XrefEntry* e = xref ? xref->Entry(num) : nullptr;
    if (!e)
        return -1;
    *out = nullptr;
    char buf[PDF_PARSE_BUF];
    ParseIndirectObject(out, xref, num, 0, buf, sizeof buf);
    if (!*out)
        return -1;
    *dataOffset = e->streamOffset;
    return 0;
}

long long PdfPageTree::StoredBytes(int objNum)
{
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    PdfObj* dict = e ? xref->Object(objNum) : nullptr;
    if (!dict || dict->Type() != PDF_DICT || e->streamOffset <= 0)
        return 0;
    PdfKey lengthKey("Length");
    PdfNumber length;
    GetNumber(length, &lengthKey, dict);
    long long room = xref->fileBytes - e->streamOffset;
    if (length.value <= 0 || room <= 0)
        return 0;
    return length.value < room ? length.value : room;
}

int PdfPageTree::GetPageContent(PdfObj* ref, FILE** out, int* fromPdf)
{
    int num = 0;
    if (!out || !fromPdf || !xref || !ObjectNumberOf(ref, &num))
        return -1;
    XrefEntry* e = xref->Entry(num);
    if (!e)
        return -1;

    if (e->path) {
        // Decoded by an earlier call: a stream that several pages share is decoded once.
        FILE* fp = nullptr;
        if (pdfopenfile(&fp, e->path) != 0)
            return -1;
        *out = fp;
        *fromPdf = 0;
        return 0;
    }

    char path[PDF_MAX_PATH];
    int n = snprintf(path, sizeof path, "%sSTRM%05d.TMP", tmpDir, num);
    if (n < 0 || n >= (int)sizeof path)
        return -1;

    // Only a stream gets a data offset; clearing it first tells a stream from any other
    // object, whose data would otherwise be taken from offset 0 of the file.
    // The dictionary is the document's, read once: a form drawn many times costs its
    // dictionary once.
    e->streamOffset = 0;
    PdfObj* dict = xref->Object(num);
    if (!dict || dict->Type() != PDF_DICT || e->streamOffset <= 0)
        return -1;

    PdfObj* filter = DirectValue(dict, "Filter");
    PdfKey lengthKey("Length");
    PdfNumber length;
    GetNumber(length, &lengthKey, dict);
    if (length.value < 0)
        length.value = 0;

    int result = -1;
    if (pdfseek(xref->fp, e->streamOffset, SEEK_SET) != 0) {
        result = -1;
    } else if (!filter) {
        // Read in place; the scanner stops at the "endstream" that follows the data.
        *out = xref->fp;
        *fromPdf = 1;
        result = 0;
    } else {
        // The file is made afresh whatever lies under its name, and read back through the
        // descriptor it was written with. A file that did not reach the disk whole is not
        // this stream: it is not used.
        FILE* fp = nullptr;
        if (DecodeFiltersToFile(xref->fp, filter, length.value, path, true, &fp) == 0 && fp) {
            // Remembered only once the file is there whole, for the pages that share it.
            e->path = strdup(path);
            *out = fp;
            *fromPdf = 0;
            result = 0;
        } else {
            remove(path);
        }
    }
    return result;
}

void ReleasePageTree(PdfPageTree* tree)
{
    if (!tree)
        return;
    delete tree->pagesRoot;
    for (int i = 0; i < tree->pageCount; i++) {
        delete tree->pageDict[i];
        delete tree->pageExtra[i];
    }
    free(tree->pageRef);
    free(tree->pageDict);
    free(tree->pageExtra);
    delete tree;  // and with it the record lists
}
