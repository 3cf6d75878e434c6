// A document for the tests of what reads through the page tree: the builder's objects behind
// an entry table filled from their offsets (the reader has tests of its own), the catalog
// parsed as the reader would, and a page tree on it, released in the order the conversion
// driver uses.
#ifndef VARDEX_TESTS_PAGETREEDOC_H
#define VARDEX_TESTS_PAGETREEDOC_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "PdfBuilder.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "TestUtil.h"

namespace pagetreetest {

typedef std::vector<std::pair<int, std::string>> Objects;

inline testpdf::PdfBuilder Build(const Objects& objects)
{
    testpdf::PdfBuilder b;
    for (const auto& o : objects)
        b.Object(o.first, o.second);
    return b;
}

// Writes the builder's file to `path` and opens it with an entry table made from the builder's
// own offsets (no cross-reference reading): `size` entries, or the builder's highest object
// number + 1 when 0. The caller closes xref->fp and releases the table.
inline PdfXref* OpenXref(const testpdf::PdfBuilder& b, const std::string& path, int size = 0)
{
    b.Write(path);
    PdfXref* xref = new PdfXref();
    xref->fp = fopen(path.c_str(), "rb");
    xref->size = size > 0 ? size : b.Size();
    xref->entries = (XrefEntry*)calloc((size_t)xref->size, sizeof(XrefEntry));
    for (int n = 1; n < b.Size() && n < xref->size; n++) {
        xref->entries[n].offset = (int)b.Offset(n);
        xref->entries[n].type = b.Offset(n) ? 'n' : 'f';
    }
    return xref;
}

class Doc {
public:
    // size: entries in the table; 0 takes the builder's highest object number + 1.
    explicit Doc(const testpdf::PdfBuilder& b, int size = 0)
    {
        path = dir.file("doc.pdf");
        xref = OpenXref(b, path, size);
        ParseIndirectObject(&xref->root, xref, b.root, 0, xref->buf, sizeof xref->buf);
        tree = new PdfPageTree(xref);
    }
    explicit Doc(const Objects& objects, int size = 0) : Doc(Build(objects), size) {}

    ~Doc()
    {
        ReleasePageTree(tree);
        fclose(xref->fp);
        ReleaseXref(xref);
    }

    Doc(const Doc&) = delete;
    Doc& operator=(const Doc&) = delete;

    // Object numbers of the stored pages, in order: "4 5 6".
    std::string Pages() const
    {
        std::string s;
        for (int i = 0; i < tree->pageCount; i++)
            s += (i ? " " : "") + std::to_string(tree->pageDict[i]->objNum);
        return s;
    }

    // The page's own (or inherited) direct value of key, as text.
    std::string Item(int page, const char* key) const
    {
        PdfDict* d = static_cast<PdfDict*>(tree->pageDict[page]);
        for (int i = 0; i < d->count; i++)
            if (d->entries[i].key && std::string(d->entries[i].key->str) == key)
                return testpdf::Describe(d->entries[i].value);
        return "<none>";
    }

    testutil::TempDir dir;
    std::string path;
    PdfXref* xref;
    PdfPageTree* tree;
};

// A name for the getters and lookups.
using Name = PdfKey;

}  // namespace pagetreetest

#endif
