// A whole file through the cross-reference loader, then every object the table lists in
// use parsed through it, as the page tree and the resource lookups parse them.
#include <cstdint>
#include <vector>

#include "FuzzUtil.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"

namespace {

// Objects parsed per input: a table of millions of entries pointing at one object would
// otherwise make a single input take minutes.
const int kMaxObjects = 5000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzz::WriteScratch("xref.pdf", data, size);
    if (path.empty())
        return 0;
    fuzz::Document doc;
    if (doc.Load(path) != 0)
        return 0;
    std::vector<char> buf(PDF_PARSE_BUF);
    int parsed = 0;
    for (int i = 0; i < doc.xref->size && parsed < kMaxObjects; i++) {
        XrefEntry* e = doc.xref->Entry(i);
        if (!e || e->type != 'n')
            continue;
        PdfObj* obj = nullptr;
        ParseIndirectObject(&obj, doc.xref, i, e->gen, buf.data(), (int)buf.size());
        delete obj;
        parsed++;
    }
    return 0;
}
