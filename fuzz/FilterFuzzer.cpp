// The stream filter chain. The input is a Filter value (a name or an array of names) on its
// first line and the raw stream data after it:
//     [/ASCII85Decode /FlateDecode]\n<data>
// A Flate input also goes through the bounded in-memory inflate the colour lookups use.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzUtil.h"
#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

namespace {

PdfObj* ParseFilter(FILE* fp, char* buf, int size)
{
    int len = 0;
    int kind = PdfLexicon(fp, buf, size, &len);
    PdfObj* obj = nullptr;
    if (kind == TOK_ARRAY_OPEN) {
        PdfParseArray(&obj, fp, buf, size);
    } else if (kind == TOK_NAME) {
        PdfName* n = new PdfName;
        n->str = strdup(buf);
        obj = n;
    }
    return obj;
}

bool IsName(PdfObj* obj, const char* text)
{
    return obj && obj->Type() == PDF_NAME && static_cast<PdfName*>(obj)->str &&
           strcmp(static_cast<PdfName*>(obj)->str, text) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* nl = static_cast<const uint8_t*>(memchr(data, '\n', size));
    if (!nl)
        return 0;
    size_t headLen = (size_t)(nl - data);
    size_t dataStart = headLen + 1;

    fuzz::MemoryStream in(data, size);
    if (!in.fp())
        return 0;
    std::vector<char> buf(PDF_PARSE_BUF);
    fuzz::MemoryStream head(data, headLen);
    PdfObj* filter = head.fp() ? ParseFilter(head.fp(), buf.data(), (int)buf.size()) : nullptr;

    // A table of one object whose stream data starts right after the first line, with no
    // file: references in the Filter value resolve to nothing.
    XrefEntry entry = {};
    entry.type = 'n';
    entry.streamOffset = (int)dataStart;
    PdfXref* xref = new PdfXref();
    xref->fp = in.fp();
    xref->size = 1;
    xref->trailer = nullptr;
    xref->root = nullptr;
    xref->reserved = 0;
    xref->entries = &entry;

    {
        PdfPageTree tree(xref);
        int length = (int)(size - dataStart);
        pdfseek(in.fp(), (int)dataStart, SEEK_SET);
        ByteBuffer out;
        FilterResult result = 1;
        tree.DecodeFilters(in.fp(), filter, length, &out, &result);
        free(out.data);
        (void)tree.IsDCTFilter(filter);
    }

    if (IsName(filter, "FlateDecode")) {
        PdfNumber num;
        num.value = 0;
        std::vector<char> mem(65536);
        DecodeFlateToMem(xref, &num, mem.data(), (int)(size - dataStart), (int)mem.size());
    }

    delete filter;
    ReleaseObjectMemo(xref);
    xref->entries = nullptr;
    delete xref;
    return 0;
}
