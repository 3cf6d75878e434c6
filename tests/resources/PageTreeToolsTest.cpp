// Page counts and media boxes against two independent readers, on fixtures of ours and on
// sample files from elsewhere when those are present.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "PageTreeDoc.h"

using pagetreetest::Name;

namespace {

struct Box {
    double v[4];
};

std::string Normalised(const Box& b)
{
    char s[128];
    snprintf(s, sizeof s, "%.2f %.2f %.2f %.2f", std::min(b.v[0], b.v[2]), std::min(b.v[1], b.v[3]),
             std::max(b.v[0], b.v[2]), std::max(b.v[1], b.v[3]));
    return s;
}

// Our reading: the number of pages and each page's MediaBox, or "" when it fails to load.
bool OurPages(const std::string& path, std::vector<std::string>* boxes)
{
    PdfXref* xref = new PdfXref();
    FILE* fp = nullptr;
    std::string p = path;
    bool ok = xref->Load(&fp, &p[0]) == 0;
    if (ok) {
        PdfPageTree* tree = new PdfPageTree(xref);
        tree->Load();
        Name mediaBox("MediaBox");
        for (int i = 0; i < tree->pageCount; i++) {
            PdfObj* item = nullptr;
            Box b = {{0, 0, 0, 0}};
            if (tree->GetPageItem(&item, &mediaBox, i) == 0 && item->Type() == PDF_ARRAY) {
                PdfArray* a = static_cast<PdfArray*>(item);
                for (int k = 0; k < 4 && k < a->count; k++) {
                    PdfObj* v = a->items[k];
                    if (v->Type() == PDF_NUMBER)
                        b.v[k] = static_cast<PdfNumber*>(v)->value;
                    else if (v->Type() == PDF_REAL)
                        b.v[k] = static_cast<PdfReal*>(v)->value;
                }
            }
            RemoveObj(item);
            boxes->push_back(Normalised(b));
        }
        ReleasePageTree(tree);
    }
    ReleaseXref(xref);
    if (fp)
        fclose(fp);
    return ok;
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

void ExpectToolsAgree(const std::string& path)
{
    std::vector<std::string> ours;
    ASSERT_TRUE(OurPages(path, &ours)) << path;

    std::string npages;
    testutil::RunCommand("qpdf --show-npages " + Quoted(path) + " 2>/dev/null", &npages);
    EXPECT_EQ(atoi(npages.c_str()), (int)ours.size()) << path;

    std::string info;
    testutil::RunCommand("pdfinfo -box -f 1 -l " + std::to_string(ours.size()) + " " + Quoted(path) + " 2>/dev/null",
                         &info);
    std::vector<std::string> theirs;
    std::istringstream lines(info);
    std::string line;
    while (std::getline(lines, line)) {
        int page;
        Box b;
        if (sscanf(line.c_str(), "Page %d MediaBox: %lf %lf %lf %lf", &page, &b.v[0], &b.v[1], &b.v[2], &b.v[3]) == 5)
            theirs.push_back(Normalised(b));
    }
    EXPECT_EQ(ours, theirs) << path;
}

TEST(PageTreeTools, CountsAndMediaBoxesAgreeWithOtherReaders)
{
    if (!testutil::HaveTool("qpdf") || !testutil::HaveTool("pdfinfo"))
        GTEST_SKIP() << "qpdf or pdfinfo missing";
    testutil::TempDir dir;

    // Inheritance over two levels, own boxes, a box behind a reference, reals and a
    // box written with its corners swapped.
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Count 5 /Kids [3 0 R 7 0 R 8 0 R] /MediaBox [0 0 612 792] >>");
    b.Object(3, "<< /Type /Pages /Parent 2 0 R /Count 3 /Kids [4 0 R 5 0 R 6 0 R] /MediaBox 10 0 R >>");
    b.Object(4, "<< /Type /Page /Parent 3 0 R >>");
    b.Object(5, "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 595.3 841.9] >>");
    b.Object(6, "<< /Type /Page /Parent 3 0 R /MediaBox [200 300 0 0] >>");
    b.Object(7, "<< /Type /Page /Parent 2 0 R >>");
    b.Object(8, "<< /Type /Page /Parent 2 0 R /MediaBox [10 20 110 220] >>");
    b.Object(10, "[0 0 842 595]");
    b.ClassicXref();
    const std::string ours = dir.file("tree.pdf");
    ASSERT_TRUE(b.Write(ours));
    ExpectToolsAgree(ours);

    // Files from elsewhere that this reader supports: classic tables, no object streams, no
    // encryption, no damage that needs repair.
    // The shared folder sits beside the main checkout, one level further up from a worktree.
    std::string corpus;
    for (const char* up : {"/..", "/../.."}) {
        std::string dirName = std::string(VARDEX_SOURCE_DIR) + up + "/shared/corpus/dev";
        if (corpus.empty() && testutil::FileExists(dirName + "/index.tsv"))
            corpus = dirName;
    }
    std::ifstream index(corpus + "/index.tsv");
    std::string line;
    std::getline(index, line);
    int checked = 0;
    while (std::getline(index, line)) {
        std::vector<std::string> f;
        std::istringstream cols(line);
        std::string col;
        while (std::getline(cols, col, '\t'))
            f.push_back(col);
        if (f.size() < 10 || f[3] != "table" || f[5] != "0" || f[6] != "none" || f[9] != "ok")
            continue;
        ExpectToolsAgree(corpus + "/" + f[0]);
        checked++;
    }
    if (!corpus.empty()) {
        EXPECT_GT(checked, 0) << corpus;
    }
    RecordProperty("corpus_files", checked);
}

}  // namespace
