#include "RealDocs.h"

#include <cstdio>

#include "PdfBuilder.h"

namespace testpdf {

namespace {

// Where the sections of a large document lie, in the order the reader meets them.
enum class Sections {
    FirstPageFirst,  // linearized: the first-page section at the front, the main one through Prev
    MainFirst,       // the main section first, the first-page section through its Prev
    Hybrid,          // one classic section whose XRefStm stream lists what it leaves out
};

// Three pages of 200 by 200 points; each draws a square of its own colour and a form XObject
// that all three share.
std::string PageContent(int page)
{
    static const char* colours[] = {"1 0 0", "0 0.6 0", "0.8 0.5 0"};
    char c[128];
    snprintf(c, sizeof c, "q %s rg %d 20 50 50 re f Q /Fm Do\n", colours[page], 20 + 40 * page);
    return c;
}

void Page(PdfBuilder& b, int num, int parent, int contents, int form)
{
    b.Object(num, "<< /Type /Page /Parent " + std::to_string(parent) +
                      " 0 R /MediaBox [0 0 200 200] /Resources << /XObject << /Fm " +
                      std::to_string(form) + " 0 R >> >> /Contents " + std::to_string(contents) +
                      " 0 R >>");
}

void Form(PdfBuilder& b, int num)
{
    b.Stream(num, "/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Resources << >>",
             "0 0 1 rg 120 120 50 50 re f");
}

// Objects a document of that many holds beside what its pages need: small dictionaries, as
// the structure and annotations of a long manual are.
void Fillers(PdfBuilder& b, int from, int to)
{
    for (int n = from; n <= to; n++)
        b.Object(n, "<< /N " + std::to_string(n) + " >>");
}

// A linearized file's layout: the linearization dictionary, the catalog, the page tree and
// the first page with what it draws carry the highest numbers and are listed by the
// first-page section at the front; the main section lists objects 0 to top - 6, the other
// pages among them.
std::string Linearized(int objects, Sections order)
{
    const int top = objects - 1;
    const int lin = top - 5, catalog = top - 4, tree = top - 3, first = top - 2,
              firstContents = top - 1, form = top;
    PdfBuilder b;
    b.root = catalog;
    size_t front = b.Reserve(600);
    b.Object(lin, "<< /Linearized 1 /L 0000000000 /H [0 0] /O " + std::to_string(first) +
                      " /E 0 /N 3 /T 0 >>");
    b.Object(catalog, "<< /Type /Catalog /Pages " + std::to_string(tree) + " 0 R >>");
    b.Object(tree, "<< /Type /Pages /Kids [" + std::to_string(first) + " 0 R 1 0 R 2 0 R] /Count 3 >>");
    Page(b, first, tree, firstContents, form);
    b.Stream(firstContents, "", PageContent(0));
    Form(b, form);
    b.SetAside({lin, catalog, tree, first, firstContents, form});
    Page(b, 1, tree, 3, form);
    Page(b, 2, tree, 4, form);
    b.Stream(3, "", PageContent(1));
    b.Stream(4, "", PageContent(2));
    Fillers(b, 5, lin - 1);
    XrefOptions newest, oldest;
    oldest.prev = false;
    if (order == Sections::FirstPageFirst) {
        b.ClassicXref(oldest);
        b.FrontXref(front, newest);
    } else {
        b.FrontXref(front, oldest);
        b.ClassicXref(newest);
    }
    std::string s = b.Bytes();
    char length[16];
    snprintf(length, sizeof length, "%010zu", s.size());
    s.replace(s.find("/L 0000000000") + 3, 10, length);
    return s;
}

// A hybrid file: the classic section lists the page tree and the first page; the contents of
// pages 2 and 3, and the structure tree in an object stream, are listed only by the stream
// its XRefStm names.
std::string Hybrid(int objects)
{
    const int top = objects - 1;
    const int hidden2 = top - 6, hidden3 = top - 5, objStm = top - 4, structRoot = top - 3,
              structElem = top - 2, xrefStm = top - 1, form = top;
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R /StructTreeRoot " + std::to_string(structRoot) +
                    " 0 R /MarkInfo << /Marked true >> >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>");
    Page(b, 3, 2, 6, form);
    Page(b, 4, 2, hidden2, form);
    Page(b, 5, 2, hidden3, form);
    b.Stream(6, "", PageContent(0));
    Fillers(b, 7, hidden2 - 1);
    b.Stream(hidden2, "", PageContent(1));
    b.Stream(hidden3, "", PageContent(2));
    const std::string structs = "<< /Type /StructTreeRoot /K " + std::to_string(structElem) +
                                " 0 R >> << /Type /StructElem /S /Document /P " +
                                std::to_string(structRoot) + " 0 R >>";
    const std::string head = std::to_string(structRoot) + " 0 " + std::to_string(structElem) + " " +
                             std::to_string(structs.find("<< /Type /StructElem")) + " ";
    b.Stream(objStm, "/Type /ObjStm /N 2 /First " + std::to_string(head.size()), head + structs);
    b.Compressed(structRoot, objStm, 0);
    b.Compressed(structElem, objStm, 1);
    Form(b, form);
    b.SetAside({hidden2, hidden3, structRoot, structElem});
    XrefOptions stm;
    stm.w[1] = 3;
    size_t at = b.XrefStmStream(xrefStm, stm);
    XrefOptions o;
    o.extra = "/XRefStm " + std::to_string(at);
    b.ClassicXref(o);
    return b.Bytes();
}

}  // namespace

void ObjectTables(std::vector<RealDoc>* rows)
{
    // A 459-page manual of 65,652 objects from a commercial PDF writer, in miniature: its
    // first-page section lists the catalog among the highest numbers, and used to be dropped.
    RealDoc linearized;
    linearized.name = "linearized-65652-objects";
    linearized.make = [] { return Linearized(65652, Sections::FirstPageFirst); };
    rows->push_back(linearized);

    RealDoc doc;
    doc.name = "objects-200000-first-page-section-first";
    doc.make = [] { return Linearized(200000, Sections::FirstPageFirst); };
    rows->push_back(doc);
    doc.name = "objects-200000-main-section-first";
    doc.make = [] { return Linearized(200000, Sections::MainFirst); };
    rows->push_back(doc);
    doc.name = "objects-200000-hybrid-xrefstm";
    doc.make = [] { return Hybrid(200000); };
    rows->push_back(doc);
}

}  // namespace testpdf
