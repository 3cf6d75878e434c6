#include "HostileDocs.h"

#include "PdfBuilder.h"

#include <cstdio>
#include <cstring>

namespace testpdf {

std::string OnePage(const std::string& resources, const std::string& content,
                    const std::vector<ExtraObject>& more)
{
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources " +
                    resources + " /Contents 4 0 R >>");
    b.Stream(4, "", content);
    for (const ExtraObject& o : more) {
        if (o.stream)
            b.Stream(o.num, o.entries, o.data);
        else
            b.Object(o.num, o.entries);
    }
    b.ClassicXref();
    return b.Bytes();
}

namespace {

// Each section holds the rows of one kind of fault; keep a row with its kind.

// Cross-reference data, object parsing and memory, dictionaries, the page tree.
// A catalog, a Pages node with `kids` and `count`, and the pages themselves are the caller's.
void Catalog(PdfBuilder& b, const std::string& kids, int count)
{
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
}

void ObjectStructure(std::vector<HostileDoc>* docs)
{
    // A page dictionary of 50,000 keys: building and searching it must stay near linear.
    docs->push_back({"page-dictionary-50000-keys",
                     [] {
                         std::string keys;
                         for (int i = 0; i < 50000; i++)
                             keys += "/K" + std::to_string(i) + " " + std::to_string(i) + " ";
                         PdfBuilder b;
                         Catalog(b, "3 0 R", 1);
                         b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] " + keys +
                                         "/Contents 4 0 R >>");
                         b.Stream(4, "", "0 0 1 rg 10 10 50 50 re f\n");
                         b.ClassicXref();
                         return b.Bytes();
                     },
                     0});

    // One ColorSpace dictionary of 5,000 entries, by reference, named by 1,000 operators.
    docs->push_back({"colour-space-dictionary-named-1000-times",
                     [] {
                         std::string spaces;
                         for (int i = 0; i < 5000; i++)
                             spaces += "/CS" + std::to_string(i) + " /DeviceRGB ";
                         std::string content;
                         for (int i = 0; i < 1000; i++)
                             content += "/CS4999 cs 0 0 1 sc\n";
                         content += "10 10 50 50 re f\n";
                         return OnePage("<< /ColorSpace 5 0 R >>", content, {{5, "<< " + spaces + ">>", ""}});
                     },
                     0});

    // 2,000 pages share one Contents object whose entry leads into 2 MB of blanks: the entry
    // names no object, and finding that out must not cost the blanks once per page.
    docs->push_back({"shared-contents-behind-2mb-of-blanks",
                     [] {
                         const int pages = 2000;
                         std::string kids;
                         for (int i = 0; i < pages; i++)
                             kids += std::to_string(10 + i) + " 0 R ";
                         PdfBuilder b;
                         Catalog(b, kids, pages);
                         for (int i = 0; i < pages; i++)
                             b.Object(10 + i, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 20 20] /Contents 3 0 R >>");
                         size_t blanks = b.Tell();
                         b.Raw(std::string(2 * 1024 * 1024, ' '));
                         b.Stream(3, "", "0 0 1 rg 1 1 5 5 re f\n");
                         size_t table = b.ClassicXref();
                         // The entry of object 3 points at the first blank.
                         std::string bytes = b.Bytes();
                         char from[32], to[32];
                         snprintf(from, sizeof from, "%010zu 00000 n", b.Offset(3));
                         snprintf(to, sizeof to, "%010zu 00000 n", blanks);
                         size_t at = bytes.find(from, table);
                         if (at != std::string::npos)
                             bytes.replace(at, strlen(from), to);
                         return bytes;
                     },
                     0});

    // A form XObject whose dictionary holds an array of a megabyte, drawn 20,000 times.
    docs->push_back({"form-with-1mb-array-drawn-20000-times",
                     [] {
                         std::string big = "[";
                         while (big.size() < 1024 * 1024)
                             big += "0 ";
                         big += "]";
                         std::string content;
                         for (int i = 0; i < 20000; i++)
                             content += "/Fm0 Do\n";
                         return OnePage("<< /XObject << /Fm0 5 0 R >> >>", content,
                                        {{5, "/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Big " + big,
                                          "0 0 1 rg 1 1 5 5 re f\n", true}});
                     },
                     0});

    // A tiling pattern whose dictionary holds an array of a megabyte, painted 2,000 times.
    docs->push_back({"pattern-with-1mb-array-painted-2000-times",
                     [] {
                         std::string big = "[";
                         while (big.size() < 1024 * 1024)
                             big += "0 ";
                         big += "]";
                         std::string content;
                         for (int i = 0; i < 2000; i++)
                             content += "/Pattern cs /P0 scn 1 1 5 5 re f\n";
                         return OnePage("<< /Pattern << /P0 5 0 R >> >>", content,
                                        {{5, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 4 4] /XStep 4 "
                                             "/YStep 4 /Resources << >> /Big " + big,
                                          "0 0 1 rg 0 0 2 2 re f\n", true}});
                     },
                     0});

    // Intermediate Pages nodes shared many times over (no cycle): 40 kids at each of six
    // levels, all the same node, above one page; and a Size that claims millions of objects.
    docs->push_back({"kids-dag-shared-intermediate-nodes",
                     [] {
                         auto repeated = [](int num) {
                             std::string kids;
                             for (int i = 0; i < 40; i++)
                                 kids += std::to_string(num) + " 0 R ";
                             std::string big;
                             for (int i = 0; i < 500; i++)
                                 big += "0 ";
                             return "<< /Type /Pages /Count 1000000 /Resources << /Big [" + big +
                                    "] >> /Kids [" + kids + "] >>";
                         };
                         PdfBuilder b;
                         b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                         for (int n = 2; n <= 7; n++)
                             b.Object(n, repeated(n + 1));
                         b.Object(8, "<< /Type /Page /MediaBox [0 0 20 20] /Contents 9 0 R >>");
                         b.Stream(9, "", "0 0 1 rg 1 1 5 5 re f\n");
                         XrefOptions o;
                         o.size = false;
                         o.extra = "/Size 8000000";
                         b.ClassicXref(o);
                         return b.Bytes();
                     },
                     0});

    // One classic record numbered near the top of the allowed range in a file of a few
    // hundred bytes: the table must not grow to hold it.
    docs->push_back({"classic-record-numbered-8388000",
                     [] {
                         PdfBuilder b;
                         b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                         b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
                         b.Object(3, "<< /Type /Page /MediaBox [0 0 20 20] >>");
                         size_t third = b.Offset(3);
                         b.ClassicXref();
                         std::string s = b.Bytes();
                         char rec[64];
                         snprintf(rec, sizeof rec, "8388000 1\n%010zu 00000 n \n", third);
                         s.insert(s.rfind("trailer"), rec);
                         return s;
                     },
                     0});

    // A cross-reference stream of a few kilobytes whose 8,388,600 compressed records are all in
    // use: the table must not grow to hold them.
    docs->push_back({"xref-stream-8388600-records-in-use",
                     [] {
                         PdfBuilder b;
                         b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                         b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
                         b.Object(3, "<< /Type /Page /MediaBox [0 0 20 20] >>");
                         const int n = 8388600;
                         std::string rows;
                         rows.reserve((size_t)n * 4);
                         for (int i = 0; i < n; i++) {
                             size_t off = i >= 1 && i <= 3 ? b.Offset(i) : 9;
                             rows += std::string(1, i == 0 ? '\0' : '\1') + (char)(off >> 8) + (char)(off & 255) + '\0';
                         }
                         std::string data = Deflate(rows);
                         size_t at = b.Tell();
                         b.Raw("4 0 obj\n<< /Type /XRef /Size 5 /Index [0 " + std::to_string(n) +
                               "] /W [1 2 1] /Root 1 0 R /Filter /FlateDecode /Length " +
                               std::to_string(data.size()) + " >>\nstream\n" + data +
                               "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n");
                         return b.Bytes();
                     },
                     0});

    // A trailer Size below the highest object number, in both forms of cross-reference data:
    // the objects the sections list are there whatever Size says.
    for (bool stream : {false, true}) {
        docs->push_back({stream ? "size-below-objects-xref-stream" : "size-below-objects-xref-table",
                         [stream] {
                             PdfBuilder b;
                             b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                             b.Object(2, "<< /Type /Pages /Kids [30 0 R] /Count 1 >>");
                             b.Object(30, "<< /Type /Page /MediaBox [0 0 20 20] /Contents 31 0 R >>");
                             b.Stream(31, "", "0 0 1 rg 1 1 5 5 re f\n");
                             XrefOptions o;
                             o.size = false;
                             o.extra = "/Size 3";
                             if (stream)
                                 b.XrefStream(40, o);
                             else
                                 b.ClassicXref(o);
                             return b.Bytes();
                         },
                         0});
    }
}

// Images, colour-space records, ICC profiles.
void ImagesAndColour(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Nested content (forms, patterns, Type 3 glyphs), the page budget, markup nesting.
void PageWork(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Temporary files, fonts on disk, packages that must be written whole.
void FilesAndFolders(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

}  // namespace

std::vector<HostileDoc> HostileDocs()
{
    std::vector<HostileDoc> docs;
    ObjectStructure(&docs);
    ImagesAndColour(&docs);
    PageWork(&docs);
    FilesAndFolders(&docs);
    return docs;
}

}  // namespace testpdf
