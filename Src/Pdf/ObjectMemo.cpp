// What reading each object of a document found: every object is read from the file once, so
// a document whose pages, forms and resources name the same objects again and again costs
// what its objects hold, not that times the uses.
#include <unordered_map>

#include "Pdf/FileAccess.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"

struct PdfObjMemo {
    struct Item {
        PdfObj* obj;     // null: the object could not be read
        int dataOffset;  // first byte of a stream's data, or 0
    };
    std::unordered_map<int, Item> items;

    ~PdfObjMemo()
    {
        for (auto& kv : items)
            delete kv.second.obj;
    }
};

PdfObj* PdfXref::Object(int objNum)
{
    XrefEntry* e = Entry(objNum);
    if (!e)
        return nullptr;
    if (!memo)
        memo = new PdfObjMemo;
    auto found = memo->items.find(objNum);
    if (found == memo->items.end()) {
        PdfObjMemo::Item item = {nullptr, 0};
        if (e->type == 'o')
            compressedAsked++;
        long long budget = PDF_OBJ_READ_SLACK + PDF_OBJ_READ_PER_FILE_BYTE * (fileBytes > 0 ? fileBytes : 0);
        if (e->type == 'n' && readBytes < budget) {
            item.obj = ReadIndirectObject(this, objNum, &item.dataOffset);
            // Whatever the reader went through counts, found or not.
            int end = pdftell(fp);
            if (end > e->offset)
                readBytes += end - e->offset;
        }
        found = memo->items.emplace(objNum, item).first;
    }
    if (found->second.dataOffset > 0)
        e->streamOffset = found->second.dataOffset;
    return found->second.obj;
}

void ReleaseObjectMemo(PdfXref* xref)
{
    if (!xref)
        return;
    delete xref->memo;
    xref->memo = nullptr;
}
