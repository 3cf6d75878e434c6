#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "PageTreeDoc.h"

using pagetreetest::Doc;
using pagetreetest::Name;
using pagetreetest::Objects;
using testpdf::Describe;

namespace {

const char* kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";

TEST(PageTree, PagesInheritOverIntermediateNodes)
{
    Doc d({{1, kCatalog},
           {2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 /Resources << /Font << /F1 9 0 R >> >>"
               " /MediaBox [0 0 612 792] /CropBox [10 10 600 780] >>"},
           {3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 /Rotate 90 /MediaBox [0 0 300 400] >>"},
           {4, "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 100 200] /Resources 10 0 R /Rotate null >>"},
           {5, "<< /Type /Page /Parent 3 0 R /CropBox [1 2 3 4] >>"},
           {6, "<< /Type /Page /Parent 2 0 R >>"}});
    EXPECT_EQ(d.tree->Load(), 0);
    ASSERT_EQ(d.Pages(), "4 5 6");

    struct Case { int page; const char* key; const char* value; };
    const Case cases[] = {
        {0, "MediaBox", "[0 0 100 200]"}, {0, "Rotate", "90"}, {0, "Resources", "10 0 R"},
        {0, "CropBox", "[10 10 600 780]"},
        {1, "MediaBox", "[0 0 300 400]"}, {1, "Rotate", "90"}, {1, "CropBox", "[1 2 3 4]"},
        {1, "Resources", "<</Font <</F1 9 0 R>>>>"},
        {2, "MediaBox", "[0 0 612 792]"}, {2, "Rotate", "<none>"}, {2, "CropBox", "[10 10 600 780]"},
        {2, "Resources", "<</Font <</F1 9 0 R>>>>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(d.Item(c.page, c.key), c.value) << "page " << c.page << " " << c.key;

    // Nothing stays passed down; every page keeps the Kids item that reached it (intermediate
    // nodes stay with the document's table).
    EXPECT_EQ(d.tree->inhResources, nullptr);
    EXPECT_EQ(d.tree->inhMediaBox, nullptr);
    EXPECT_EQ(d.tree->inhCropBox, nullptr);
    EXPECT_EQ(d.tree->inhRotate, nullptr);
    EXPECT_EQ(Describe(d.tree->pageRef[0]), "4 0 R");
    EXPECT_EQ(Describe(d.tree->pageRef[1]), "5 0 R");
    EXPECT_EQ(Describe(d.tree->pageRef[2]), "6 0 R");
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(Describe(d.tree->pageExtra[i]), "<<>>");
    EXPECT_NE(d.tree->pagesRoot, nullptr);
}

// Kids of one Pages node with `copies` times the same reference.
std::string Repeated(int num, int copies)
{
    std::string kids;
    for (int i = 0; i < copies; i++)
        kids += std::to_string(num) + " 0 R ";
    return "<< /Type /Pages /Count 1000 /Kids [" + kids + "] >>";
}

Objects Chain(int depth)
{
    Objects o = {{1, kCatalog}};
    for (int i = 0; i < depth; i++)
        o.push_back({2 + i, "<< /Type /Pages /Count 1 /Kids [" + std::to_string(3 + i) + " 0 R] >>"});
    o.push_back({2 + depth, "<< /Type /Page >>"});
    return o;
}

TEST(PageTree, DamagedAndHostileTrees)
{
    struct Case {
        const char* what;
        Objects objects;
        const char* pages;
        int size;  // entries in the table; 0: as many as the objects need
    };
    const Case cases[] = {
        {"Count smaller than the leaves",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R 5 0 R] >>"},
          {3, "<< /Type /Page >>"}, {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
         "3 4", 0},
        {"Count reached below an intermediate node",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 1 /Kids [3 0 R 6 0 R] >>"},
          {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"}, {4, "<< /Type /Page >>"},
          {5, "<< /Type /Page >>"}, {6, "<< /Type /Page >>"}},
         "4", 0},
        {"a Kids item that refers to its own node",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 3 /Kids [3 0 R 5 0 R] >>"},
          {3, "<< /Type /Pages /Kids [3 0 R 4 0 R] >>"}, {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
         "5", 0},
        {"a Kids item that refers to an ancestor",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 3 /Kids [3 0 R 6 0 R] >>"},
          {3, "<< /Type /Pages /Kids [4 0 R] >>"}, {4, "<< /Type /Pages /Kids [5 0 R 2 0 R 5 0 R] >>"},
          {5, "<< /Type /Page >>"}, {6, "<< /Type /Page >>"}},
         "5 6", 0},
        {"a node without Type or Kids",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>"}, {3, "<< /Foo 1 >>"},
          {4, "<< /Type /Page >>"}},
         "4", 0},
        {"a root that is itself a page", {{1, kCatalog}, {2, "<< /Type /Page /MediaBox [0 0 10 10] >>"}}, "2", 0},
        {"no Count", {{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R] >>"}, {3, "<< /Type /Page >>"}}, "", 0},
        {"negative Count",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count -4 /Kids [3 0 R] >>"}, {3, "<< /Type /Page >>"}}, "", 0},
        {"Count as a real",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 2.7 /Kids [3 0 R 4 0 R 5 0 R] >>"},
          {3, "<< /Type /Page >>"}, {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
         "3 4", 0},
        {"Count behind a reference",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 6 0 R /Kids [3 0 R 4 0 R 5 0 R] >>"},
          {3, "<< /Type /Page >>"}, {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}, {6, "2"}},
         "3 4", 0},
        {"a huge Count is capped at the table's size",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 2147483647 /Kids [3 0 R 4 0 R] >>"},
          {3, "<< /Type /Page >>"}, {4, "<< /Type /Page >>"}},
         "3 4", 0},
        {"Kids items that are not usable references",
         {{1, kCatalog},
          {2, "<< /Type /Pages /Count 9 /Kids [7 (x) << /Type /Page >> 3 0 R 99 0 R -1 0 R 8 0 R 9 0 R"
              " 10 0 R 0 0 R 4 0 R] >>"},
          {3, "<< /Type /Page >>"}, {4, "<< /Type /Page >>"}, {8, "42"}, {10, "[/Type /Page]"}},
         "3 4", 0},
        {"Kids that are not a direct array",
         {{1, kCatalog}, {2, "<< /Type /Pages /Count 1 /Kids 3 0 R >>"}, {3, "[4 0 R]"}, {4, "<< /Type /Page >>"}},
         "", 0},
        {"no catalog", {{2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>"}, {3, "<< /Type /Page >>"}}, "", 0},
        {"a catalog without Pages", {{1, "<< /Type /Catalog >>"}}, "", 0},
        {"Pages that is not a reference",
         {{1, "<< /Type /Catalog /Pages << /Type /Pages /Count 1 /Kids [3 0 R] >> >>"}, {3, "<< /Type /Page >>"}},
         "", 0},
        // No more pages than objects the table lists in use (here 1 to 3).
        {"Kids that repeat a page", {{1, kCatalog}, {2, Repeated(3, 5)}, {3, "<< /Type /Page >>"}}, "3 3 3", 0},
        {"Kids that repeat a subtree without pages",
         {{1, kCatalog}, {2, Repeated(3, 40)}, {3, Repeated(4, 40)}, {4, Repeated(5, 40)}, {5, Repeated(6, 40)},
          {6, Repeated(7, 40)}, {7, Repeated(8, 40)}, {8, "<< /Type /Pages /Kids [] >>"}},
         "", 0},
        {"a tree deeper than the walk descends", Chain(PAGE_TREE_MAX_DEPTH + 1), "", 0},
        // Shared intermediate nodes above a page, in a table far bigger than the file: the
        // walk is bounded by the objects listed (five here), not by the table's size.
        {"Kids that repeat a subtree above a page",
         {{1, kCatalog}, {2, Repeated(3, 40)}, {3, Repeated(4, 40)}, {4, Repeated(5, 40)}, {5, "<< /Type /Page >>"}},
         "5 5 5 5 5", XREF_TABLE_SLACK},
    };
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        Doc d(c.objects, c.size);
        EXPECT_EQ(d.tree->Load(), 0) << c.what;
        EXPECT_EQ(d.Pages(), c.pages) << c.what;
        EXPECT_LE(d.tree->maxPages, d.xref->size) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.what;
    }
}

TEST(PageTree, CopiesIntoPagesAreBounded)
{
    // The root passes an array of 65,535 numbers down to 30 pages; the last page pads the copies
    // so that they come to PAGE_TREE_MAX_COPIED exactly (`over` more past it). Each page costs
    // its own dictionary (3, with the padding k + 2 more) and the inherited array (65,536).
    const long inherited = 65536, pages = 30;
    const long pad = PAGE_TREE_MAX_COPIED - inherited * (pages + 1) - 3 * pages - 2;
    for (long over : {0L, 1L}) {
        std::string numbers, padding, kids;
        for (long i = 0; i < inherited - 1; i++)
            numbers += "0 ";
        for (long i = 0; i < pad + over; i++)
            padding += "0 ";
        Objects o = {{1, kCatalog}};
        for (int p = 0; p < pages; p++) {
            kids += std::to_string(3 + p) + " 0 R ";
            o.push_back({3 + p, p == pages - 1 ? "<< /Type /Page /Pad [" + padding + "] >>" : "<< /Type /Page >>"});
        }
        o.push_back({2, "<< /Type /Pages /Count 30 /Resources [" + numbers + "] /Kids [" + kids + "] >>"});
        Doc d(o);
        d.tree->Load();
        EXPECT_EQ(d.tree->pageCount, over ? pages - 1 : pages) << over;
    }
}

TEST(PageTree, DeepButBoundedTreeIsWalked)
{
    Doc d(Chain(PAGE_TREE_MAX_DEPTH));
    d.tree->Load();
    EXPECT_EQ(d.tree->pageCount, 1);
}

TEST(PageTree, RootPageIsOwnedOnceAsPageZero)
{
    Doc d({{1, kCatalog}, {2, "<< /Type /Page /MediaBox [0 0 10 20] >>"}});
    d.tree->Load();
    ASSERT_EQ(d.tree->pageCount, 1);
    EXPECT_EQ(d.tree->pagesRoot, nullptr);
    EXPECT_EQ(d.Item(0, "MediaBox"), "[0 0 10 20]");
}

TEST(PageTree, PageLookups)
{
    Doc d({{1, kCatalog},
           {2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] /MediaBox 5 0 R >>"},
           {3, "<< /Type /Page /Contents 6 0 R /Resources << /ProcSet [/PDF] >> >>"},
           {4, "<< /Type /Page /Contents [6 0 R 7 0 R] /MediaBox [0 0 1 2] >>"},
           {5, "[0 0 612 792]"}});
    d.tree->Load();
    ASSERT_EQ(d.tree->pageCount, 2);
    PdfObj* out = nullptr;

    EXPECT_EQ(d.tree->GetContent(&out, 0), 0);
    EXPECT_EQ(Describe(out), "6 0 R");
    EXPECT_EQ(d.tree->GetContent(&out, 1), 0);
    EXPECT_EQ(Describe(out), "[6 0 R 7 0 R]");
    EXPECT_EQ(d.tree->GetPageResourceDict(&out, 0), 0);
    EXPECT_EQ(Describe(out), "<</ProcSet [/PDF]>>");
    EXPECT_EQ(d.tree->GetPageResourceDict(&out, 1), 0);
    EXPECT_EQ(out, nullptr);

    // An inherited reference is resolved into a tree of the caller's; an own value is lent.
    Name mediaBox("MediaBox");
    EXPECT_EQ(d.tree->GetPageItem(&out, &mediaBox, 0), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Describe(out), "[0 0 612 792]");
    EXPECT_EQ(out->owned, 1);
    RemoveObj(out);
    EXPECT_EQ(d.tree->GetPageItem(&out, &mediaBox, 1), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Describe(out), "[0 0 1 2]");
    EXPECT_EQ(out->owned, 0);
    RemoveObj(out);  // lent: stays alive with its page
    EXPECT_EQ(d.Item(1, "MediaBox"), "[0 0 1 2]");

    Name rotate("Rotate");
    out = d.tree->pagesRoot;
    EXPECT_EQ(d.tree->GetPageItem(&out, &rotate, 0), -1);
    EXPECT_EQ(out, nullptr);

    // Pages outside the tree change nothing.
    for (int page : {-1, 2, 1 << 30}) {
        out = d.tree->pagesRoot;
        EXPECT_EQ(d.tree->GetContent(&out, page), -1) << page;
        EXPECT_EQ(d.tree->GetPageResourceDict(&out, page), -1) << page;
        EXPECT_EQ(d.tree->GetPageItem(&out, &mediaBox, page), -1) << page;
        EXPECT_EQ(out, d.tree->pagesRoot) << page;
    }
}

TEST(PageTree, EmptyTreeAnswersEveryPageWithFailure)
{
    Doc d({{1, "<< /Type /Catalog >>"}});
    d.tree->Load();
    PdfObj* out = nullptr;
    Name mediaBox("MediaBox");
    EXPECT_EQ(d.tree->pageCount, 0);
    EXPECT_EQ(d.tree->GetContent(&out, 0), -1);
    EXPECT_EQ(d.tree->GetPageItem(&out, &mediaBox, 0), -1);
}

// Two pages sharing a filtered stream, one unfiltered stream and objects that are no streams.
testpdf::PdfBuilder ContentFixture(int filtered)
{
    testpdf::PdfBuilder b;
    b.Object(1, kCatalog);
    b.Object(2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>");
    b.Object(3, "<< /Type /Page /Contents " + std::to_string(filtered) + " 0 R >>");
    b.Object(4, "<< /Type /Page /Contents [" + std::to_string(filtered) + " 0 R 13 0 R] >>");
    b.Stream(13, "", "0 0 m 1 1 l S");
    b.Object(14, "[13 0 R]");
    b.Object(15, "<< /Length 3 >>");
    b.Object(16, "7");
    b.Stream(filtered, "/Filter /FlateDecode", testpdf::Deflate("BT /F1 12 Tf (shared) Tj ET"));
    return b;
}

std::string ReadAll(FILE* fp)
{
    std::string s;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        s.append(buf, n);
    return s;
}

TEST(PageContent, SharedFilteredStreamIsDecodedOnce)
{
    for (int num : {12, 123456}) {
        Doc d(ContentFixture(num), num + 1);
        d.tree->Load();
        snprintf(d.tree->tmpDir, sizeof d.tree->tmpDir, "%s/", d.dir.path().c_str());
        const std::string file = d.dir.file(num == 12 ? "STRM00012.TMP" : "STRM123456.TMP");

        // A file left under the name, longer than the stream, is no part of it.
        ASSERT_TRUE(testutil::WriteFile(file, std::string(200, 's')));
        PdfIndirect ref;
        ref.refNum = num;
        FILE* fp = nullptr;
        int fromPdf = -1;
        ASSERT_EQ(d.tree->GetPageContent(&ref, &fp, &fromPdf), 0) << num;
        ASSERT_NE(fp, nullptr);
        EXPECT_EQ(fromPdf, 0);
        EXPECT_EQ(ReadAll(fp), "BT /F1 12 Tf (shared) Tj ET\nendstream");
        fclose(fp);
        ASSERT_NE(d.xref->entries[num].path, nullptr);
        EXPECT_EQ(std::string(d.xref->entries[num].path), file);
        EXPECT_EQ(testutil::ReadFile(file), "BT /F1 12 Tf (shared) Tj ET\nendstream");

        // The second page's request reopens that file: change it to see it is not rewritten.
        ASSERT_TRUE(testutil::WriteFile(file, "cached"));
        PdfNumber byNumber;
        byNumber.value = num;
        fp = nullptr;
        ASSERT_EQ(d.tree->GetPageContent(&byNumber, &fp, &fromPdf), 0);
        EXPECT_EQ(ReadAll(fp), "cached");
        fclose(fp);
    }
}

// Asks for the content of object num, which must be refused with nothing remembered for it.
void ExpectNoContentFile(Doc& d, int num)
{
    PdfIndirect ref;
    ref.refNum = num;
    FILE* fp = nullptr;
    int fromPdf = -1;
    EXPECT_EQ(d.tree->GetPageContent(&ref, &fp, &fromPdf), -1);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(d.xref->entries[num].path, nullptr);
}

// A decoded stream whose file cannot be made is not drawn, is not remembered for the pages
// that share it, and fails the conversion as a write failure.
TEST(PageContent, StreamWhoseFileCannotBeMadeIsNotUsed)
{
    Doc d(ContentFixture(12));
    d.tree->Load();
    snprintf(d.tree->tmpDir, sizeof d.tree->tmpDir, "%s/", d.dir.path().c_str());
    ASSERT_EQ(testutil::RunCommand("mkdir -p '" + d.dir.file("STRM00012.TMP/in") + "'"), 0);
    EXPECT_EQ(d.tree->UnwrittenFile(nullptr), nullptr);
    ExpectNoContentFile(d, 12);
    int err = 0;
    const char* unwritten = d.tree->UnwrittenFile(&err);
    ASSERT_NE(unwritten, nullptr);
    EXPECT_EQ(std::string(unwritten), d.dir.file("STRM00012.TMP"));
    EXPECT_EQ(err, EISDIR);
}

TEST(PageContent, UnfilteredStreamIsReadInPlaceEachTime)
{
    Doc d(ContentFixture(12));
    d.tree->Load();
    snprintf(d.tree->tmpDir, sizeof d.tree->tmpDir, "%s/", d.dir.path().c_str());
    PdfIndirect ref;
    ref.refNum = 13;
    for (int round = 0; round < 2; round++) {
        FILE* fp = nullptr;
        int fromPdf = -1;
        ASSERT_EQ(d.tree->GetPageContent(&ref, &fp, &fromPdf), 0);
        EXPECT_EQ(fp, d.xref->fp);
        EXPECT_EQ(fromPdf, 1);
        char head[14] = {0};
        ASSERT_EQ(fread(head, 1, 13, fp), 13u);
        EXPECT_STREQ(head, "0 0 m 1 1 l S");
        EXPECT_EQ(d.xref->entries[13].path, nullptr);
    }
    EXPECT_FALSE(testutil::FileExists(d.dir.file("STRM00013.TMP")));
}

TEST(PageContent, AnythingButAStreamIsRefused)
{
    Doc d(ContentFixture(12));
    d.tree->Load();
    snprintf(d.tree->tmpDir, sizeof d.tree->tmpDir, "%s/", d.dir.path().c_str());
    PdfName name;
    PdfIndirect missing, negative, array, dict, number;
    missing.refNum = 99;
    negative.refNum = -3;
    array.refNum = 14;  // a Contents array behind a reference
    dict.refNum = 15;
    number.refNum = 16;
    PdfObj* refs[] = {&name, &missing, &negative, &array, &dict, &number, nullptr};
    for (PdfObj* ref : refs) {
        FILE* fp = nullptr;
        int fromPdf = -1;
        EXPECT_EQ(d.tree->GetPageContent(ref, &fp, &fromPdf), -1) << Describe(ref);
        EXPECT_EQ(fp, nullptr);
        EXPECT_EQ(fromPdf, -1);
    }
    for (int n : {14, 15, 16})
        EXPECT_EQ(d.xref->entries[n].path, nullptr);
}

TEST(PageContent, PathThatDoesNotFitFails)
{
    Doc d(ContentFixture(12));
    d.tree->Load();
    // 250 bytes of folder leave no room for "STRM00012.TMP".
    std::string folder = d.dir.path() + "/";
    folder += std::string(250 - folder.size(), 'x');
    snprintf(d.tree->tmpDir, sizeof d.tree->tmpDir, "%s", folder.c_str());
    ExpectNoContentFile(d, 12);
}

}  // namespace
