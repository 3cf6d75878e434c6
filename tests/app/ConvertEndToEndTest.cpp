// Whole conversions through the built program, judged by independent readers: the package
// must open in `mutool draw` and `xpstopng`, and page 1 must look like the PDF's own
// rendering by `mutool draw`.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

using testutil::Messages;
using testutil::OpensInXpstopng;
using testutil::Quote;
using testutil::Raster;
using testutil::Render;
using testutil::SharedDir;
using testutil::Unmatched;

int Shell(const std::string& cmd, std::string* out = nullptr)
{
    return testutil::RunCommand(cmd, out);
}

void ExpectLooksLikeThePdf(const std::string& pdf, const std::string& package,
                           const std::string& work)
{
    // Black shapes on white at 72 dpi: at most 1% of the page may differ beyond one pixel of
    // play, in either direction.
    const double kTolerance = 0.01;
    Raster want, got;
    ASSERT_TRUE(Render(pdf, 72, &want, work));
    ASSERT_TRUE(Render(package, 72, &got, work)) << "mutool draw cannot render " << package;
    EXPECT_TRUE(OpensInXpstopng(package, work)) << "xpstopng cannot render " << package;
    ASSERT_GT(want.InkShare(), 0.02) << "the fixture draws nothing";
    EXPECT_NEAR(got.width, want.width, 1);
    EXPECT_NEAR(got.height, want.height, 1);
    if (std::abs(got.width - want.width) > 1 || std::abs(got.height - want.height) > 1)
        return;
    EXPECT_LE(Unmatched(want, got), kTolerance);
    EXPECT_LE(Unmatched(got, want), kTolerance);
}

struct PageFixture {
    std::string mediaBox;                 // empty: none
    std::vector<std::string> streams;     // content streams, drawn in order
    bool contentsArray = false;           // Contents an array even for one stream
    bool contentsRefToArray = false;      // Contents a reference to an array
    bool deflate = false;                 // streams FlateDecode-compressed
    bool plainXrefStream = false;         // a cross-reference stream without a filter
};

std::string MakePdf(const PageFixture& fixture)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    std::string refs;
    for (size_t i = 0; i < fixture.streams.size(); i++)
        refs += std::to_string(10 + i) + " 0 R ";
    std::string contents;
    if (fixture.contentsRefToArray) {
        b.Object(5, "[" + refs + "]");
        contents = "5 0 R";
    } else if (fixture.contentsArray || fixture.streams.size() != 1) {
        contents = "[" + refs + "]";
    } else {
        contents = "10 0 R";
    }
    std::string page = "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents " + contents;
    if (!fixture.mediaBox.empty())
        page += " /MediaBox " + fixture.mediaBox;
    b.Object(3, page + " >>");
    for (size_t i = 0; i < fixture.streams.size(); i++) {
        if (fixture.deflate)
            b.Stream(10 + (int)i, "/Filter /FlateDecode", testpdf::Deflate(fixture.streams[i]));
        else
            b.Stream(10 + (int)i, "", fixture.streams[i]);
    }
    if (fixture.plainXrefStream) {
        testpdf::XrefOptions o;
        o.compress = false;
        b.XrefStream(10 + (int)fixture.streams.size(), o);
    } else {
        b.ClassicXref();
    }
    return b.Bytes();
}

const std::string kShapes =
    "20 20 60 40 re f\n"
    "q 4 w 100 20 m 180 80 l S Q\n"
    "120 70 m 140 95 170 95 190 70 c h f\n";

struct Work {
    testutil::TempDir tmp;
    Work() { Shell("mkdir " + Quote(tmp.file("tmp"))); }
    std::string file(const std::string& n) const { return tmp.file(n); }
    // Runs the converter in the folder with TMPDIR=tmp (relative: inside the folder).
    int Vardex(const std::string& args, std::string* err = nullptr, const std::string& before = "") const
    {
        std::string errFile = tmp.file("stderr.txt");
        int status = Shell("cd " + Quote(tmp.path()) + " && " + before + "TMPDIR=tmp " + Quote(kVardex) +
                           " " + args + " 2>" + Quote(errFile));
        if (err)
            *err = Messages(testutil::ReadFile(errFile));
        return status;
    }
};

TEST(ConvertEndToEnd, PagesRenderLikeThePdf)
{
    struct Case {
        const char* what;
        PageFixture page;
        int width;   // expected rendering at 72 dpi
        int height;
        bool compare;  // the PDF's own rendering is the reference
    };
    const Case cases[] = {
        {"one stream", {"[0 0 200 100]", {kShapes}}, 200, 100, true},
        {"compressed stream", {"[0 0 200 100]", {kShapes}, false, false, true}, 200, 100, true},
        {"three streams in order, state carried over",
         {"[0 0 200 100]", {"q 20 20 60 40 re", " f Q 4 w 100 20 m 180 80 l", " S 120 70 m 140 95 170 95 190 70 c h f"},
          false, false, true},
         200, 100, true},
        {"a clip opened in one stream holds in the next until its Q",
         {"[0 0 200 100]", {"q 20 20 60 60 re W n", "1 0 0 rg 0 0 200 100 re f", "Q 0 g 120 20 40 40 re f"}},
         200, 100, true},
        {"a clip at depth 0 holds to the page's end",
         {"[0 0 200 100]", {"20 20 60 60 re W n", "q 1 0 0 rg 0 0 200 100 re f Q", "0 0 200 10 re f"}},
         200, 100, true},
        {"Contents a reference to an array",
         {"[0 0 200 100]", {"20 20 60 40 re f", "120 70 m 140 95 170 95 190 70 c h f"}, false, true},
         200, 100, true},
        {"cross-reference stream without a filter",
         {"[0 0 200 100]", {kShapes}, false, false, false, true}, 200, 100, true},
        {"real numbers in the box", {"[0 0 200.4 99.6]", {kShapes}}, 200, 100, true},
        {"no MediaBox: Letter", {"", {kShapes}}, 612, 792, false},
        {"MediaBox of three numbers: Letter", {"[0 0 200]", {kShapes}}, 612, 792, false},
        {"MediaBox of zero size: Letter", {"[0 0 0 0]", {kShapes}}, 612, 792, false},
        {"MediaBox [0 0 -200 100] reaches left of the origin",
         {"[0 0 -200 100]", {"1 0 0 1 -200 0 cm\n" + kShapes}}, 200, 100, true},
        {"MediaBox one point wide", {"[0 0 1 100]", {"0 0 1 100 re f"}}, 1, 100, false},
        {"MediaBox under one point wide: Letter", {"[0 0 0.99 100]", {kShapes}}, 612, 792, false},
        {"MediaBox under one point high: Letter", {"[0 0 200 0.5]", {kShapes}}, 612, 792, false},
        {"MediaBox with its corners reversed", {"[300 200 100 100]", {"1 0 0 1 100 100 cm\n" + kShapes}},
         200, 100, true},
        {"MediaBox from the top left to the bottom right",
         {"[100 200 300 100]", {"1 0 0 1 100 100 cm\n" + kShapes}}, 200, 100, true},
        {"the box's origin is the page's", {"[100 100 300 200]", {"1 0 0 1 100 100 cm\n" + kShapes}},
         200, 100, true},
        {"a box below and left of the origin", {"[-50.5 -20 149.5 80]", {"1 0 0 1 -50.5 -20 cm\n" + kShapes}},
         200, 100, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Work w;
        ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), MakePdf(c.page)));
        std::string err;
        ASSERT_EQ(w.Vardex("-q -o out x.pdf", &err), 0) << err;
        EXPECT_EQ(err, "");
        std::string package = w.file("out/x.XPS");
        if (c.compare) {
            ExpectLooksLikeThePdf(w.file("x.pdf"), package, w.tmp.path());
        } else {
            Raster got;
            ASSERT_TRUE(Render(package, 72, &got, w.tmp.path()));
            EXPECT_NEAR(got.width, c.width, 1);
            EXPECT_NEAR(got.height, c.height, 1);
            EXPECT_TRUE(OpensInXpstopng(package, w.tmp.path()));
        }
    }
}

TEST(ConvertEndToEnd, StandardOutputCarriesThePackageThroughAPipe)
{
    Work w;
    PageFixture fixture{"[0 0 200 100]", {kShapes}};
    ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), MakePdf(fixture)));
    std::string err;
    ASSERT_EQ(w.Vardex("--stdout x.pdf | cat > s.xps", &err), 0);
    EXPECT_EQ(Shell("unzip -tqq " + Quote(w.file("s.xps")) + " >/dev/null"), 0) << err;
    ExpectLooksLikeThePdf(w.file("x.pdf"), w.file("s.xps"), w.tmp.path());
    // The same package as in a file, and nothing else on standard output.
    ASSERT_EQ(w.Vardex("-q -o out x.pdf"), 0);
    EXPECT_TRUE(testutil::ReadFile(w.file("s.xps")) == testutil::ReadFile(w.file("out/x.XPS")));
    EXPECT_FALSE(testutil::FileExists(w.file("x.XPS")));
}

// A reader message on the way to a readable document (here a Prev that leads past the end of
// the file) must not land in front of the package on standard output.
TEST(ConvertEndToEnd, ReaderMessagesStayOutOfThePackageOnStandardOutput)
{
    Work w;
    std::string pdf = MakePdf({"[0 0 200 100]", {kShapes}});
    size_t root = pdf.rfind("/Root 1 0 R");
    ASSERT_NE(root, std::string::npos);
    pdf.insert(root, "/Prev 999999 ");
    ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), pdf));
    ASSERT_EQ(w.Vardex("--stdout x.pdf | cat > s.xps"), 0);
    EXPECT_EQ(testutil::ReadFile(w.file("s.xps")).compare(0, 2, "PK"), 0);
    EXPECT_EQ(Shell("unzip -tqq " + Quote(w.file("s.xps")) + " >/dev/null"), 0);
}

TEST(ConvertEndToEnd, FailuresGiveStatusOneAndNoPackage)
{
    struct Case {
        const char* what;
        std::string bytes;  // empty: no file at all
        const char* reason;
    };
    testpdf::PdfBuilder noPages;
    noPages.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    noPages.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    noPages.ClassicXref();
    testpdf::PdfBuilder encrypted;
    encrypted.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    encrypted.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    testpdf::XrefOptions withEncrypt;
    withEncrypt.extra = "/Encrypt << /Filter /Standard /V 1 /R 2 >>";
    encrypted.ClassicXref(withEncrypt);
    testpdf::PdfBuilder noCatalog;
    noCatalog.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    noCatalog.ClassicXref();
    const Case cases[] = {
        {"missing", "", "x.pdf"},
        {"not a PDF", "just some text\n", "x.pdf"},
        {"no cross-reference data", "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n", "x.pdf"},
        {"encrypted", encrypted.Bytes(), "encrypted"},
        {"catalog missing", noCatalog.Bytes(), "catalog"},
        {"no pages", noPages.Bytes(), "no pages"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Work w;
        if (!c.bytes.empty()) {
            ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), c.bytes));
        }
        for (const char* mode : {"-q -o out x.pdf", "--stdout x.pdf > s.xps"}) {
            std::string err;
            EXPECT_EQ(w.Vardex(mode, &err), 1) << mode;
            EXPECT_FALSE(testutil::FileExists(w.file("out/x.XPS"))) << mode;
            EXPECT_NE(err.find(c.reason), std::string::npos) << mode << ": " << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
        EXPECT_EQ(testutil::ReadFile(w.file("s.xps")), "");
    }
}

TEST(ConvertEndToEnd, WriteFailuresGiveStatusOne)
{
    struct Case {
        const char* what;
        const char* setup;  // shell commands run in the test folder first
        const char* args;
        const char* reason;
        const char* kept;   // a file that must still be there afterwards, or ""
    };
    const Case cases[] = {
        {"the package cannot be created", "mkdir -p out/x.XPS", "-q -o out x.pdf", "package",
         "out/x.XPS"},
        {"the temporary folder cannot be created", "echo file >blocker",
         "-q --tmpdir blocker/t -o out x.pdf", "temporary folder", "blocker"},
        {"no room under TMPDIR", "rm -r tmp && echo file >tmp", "-q -o out x.pdf",
         "temporary folder", "tmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Work w;
        PageFixture fixture{"[0 0 200 100]", {kShapes}};
        ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), MakePdf(fixture)));
        ASSERT_EQ(Shell("cd " + Quote(w.tmp.path()) + " && " + c.setup), 0);
        std::string err;
        EXPECT_EQ(w.Vardex(c.args, &err), 1);
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        if (*c.kept) {
            EXPECT_TRUE(testutil::FileExists(w.file(c.kept)));
        }
    }
}

TEST(ConvertEndToEnd, TemporaryFiles)
{
    Work w;
    PageFixture fixture{"[0 0 200 100]", {kShapes}, false, false, true};
    ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), MakePdf(fixture)));
    // With --tmpdir the intermediate files stay where asked, each run's in a folder of its own.
    ASSERT_EQ(w.Vardex("-q --tmpdir keep -o out x.pdf"), 0);
    ASSERT_EQ(w.Vardex("-q --tmpdir keep -o out x.pdf"), 0);
    std::vector<std::string> runs = testutil::Entries(w.file("keep"));
    ASSERT_EQ(runs.size(), 2u);
    for (const std::string& run : runs) {
        EXPECT_EQ(run.compare(0, 7, "vardex."), 0) << run;
        EXPECT_TRUE(testutil::FileExists(w.file("keep/" + run + "/1.fpage"))) << run;
    }
    EXPECT_TRUE(testutil::FileExists(w.file("out/x.XPS")));
    // Without it they go into a private folder under TMPDIR that is removed afterwards, in
    // both output modes.
    ASSERT_EQ(w.Vardex("-q -o out2 x.pdf && TMPDIR=tmp " + Quote(kVardex) + " --stdout x.pdf | cat >s.xps"), 0);
    EXPECT_TRUE(testutil::FileExists(w.file("out2/x.XPS")));
    EXPECT_EQ(Shell("unzip -tqq " + Quote(w.file("s.xps")) + " >/dev/null"), 0);
    std::string left;
    Shell("ls -A " + Quote(w.file("tmp")), &left);
    EXPECT_EQ(left, "");
}

TEST(ConvertEndToEnd, AFolderOfManyPdfsDoesNotRunOutOfFiles)
{
    // Each conversion opens the PDF and a decoded stream; with 64 descriptors a converter
    // that kept either open would fail long before the last of 100 files.
    Work w;
    PageFixture fixture{"[0 0 200 100]", {kShapes}, false, false, true};
    std::string pdf = MakePdf(fixture);
    ASSERT_EQ(Shell("mkdir " + Quote(w.file("docs"))), 0);
    for (int i = 0; i < 100; i++)
        ASSERT_TRUE(testutil::WriteFile(w.file("docs/f" + std::to_string(i) + ".pdf"), pdf));
    std::string err;
    ASSERT_EQ(w.Vardex("-q -o out docs", &err, "ulimit -n 64 && "), 0) << err;
    std::string count;
    Shell("ls " + Quote(w.file("out")) + " | wc -l", &count);
    EXPECT_EQ(count, "100\n");
}

// Vector-only PDFs of the shared corpus, when it is there: each converts, opens in both
// readers, and passes the strict package check.
TEST(ConvertEndToEnd, VectorOnlyCorpusFiles)
{
    const std::string shared = SharedDir();
    if (shared.empty())
        GTEST_SKIP() << "no shared corpus beside the source tree";
    const std::string corpus = shared + "/corpus/dev";
    const std::string xpsCheck = shared + "/tools/xps-check";
    std::ifstream index(corpus + "/index.tsv");
    std::string line;
    std::getline(index, line);
    std::vector<std::string> head;
    {
        std::istringstream cols(line);
        std::string col;
        while (std::getline(cols, col, '\t'))
            head.push_back(col);
    }
    auto column = [&](const std::vector<std::string>& row, const std::string& name) {
        for (size_t i = 0; i < head.size() && i < row.size(); i++)
            if (head[i] == name)
                return row[i];
        return std::string();
    };
    int tried = 0;
    while (std::getline(index, line)) {
        std::vector<std::string> row;
        std::istringstream cols(line);
        std::string col;
        while (std::getline(cols, col, '\t'))
            row.push_back(col);
        if (column(row, "convertible") != "yes" || column(row, "fonts") != "-" ||
            column(row, "images") != "-" || column(row, "inline_imgs") != "0" ||
            column(row, "shadings") != "-" || column(row, "patterns") != "-")
            continue;
        std::string name = column(row, "file");
        SCOPED_TRACE(name);
        tried++;
        Work w;
        ASSERT_EQ(Shell("cp " + Quote(corpus + "/" + name) + " " + Quote(w.file("in.pdf"))), 0);
        std::string err;
        ASSERT_EQ(w.Vardex("-q -o out in.pdf", &err), 0) << err;
        std::string package = w.file("out/in.XPS");
        Raster want, got;
        ASSERT_TRUE(Render(w.file("in.pdf"), 72, &want, w.tmp.path()));
        ASSERT_TRUE(Render(package, 72, &got, w.tmp.path()));
        EXPECT_NEAR(got.width, want.width, 1);
        EXPECT_NEAR(got.height, want.height, 1);
        EXPECT_TRUE(OpensInXpstopng(package, w.tmp.path()));
        if (access(xpsCheck.c_str(), X_OK) == 0) {
            std::string report;
            EXPECT_EQ(Shell(Quote(xpsCheck) + " -q " + Quote(package) + " 2>&1", &report), 0)
                << report;
        }
    }
    EXPECT_GT(tried, 0);
}

}  // namespace

namespace {

// CMYK colours name the built-in output profile, whichever way the page sets them: the page's
// relationships list it, the package carries it, and both readers render the page.
TEST(ConvertEndToEnd, CmykFillsListTheBuiltInProfile)
{
    const char* const streams[] = {
        "0 0 0 1 k 20 20 60 40 re f",
        "1 0 0 0 K 4 w 100 20 m 180 80 l S",
        "/DeviceCMYK cs 0 1 0 0 sc 20 20 60 40 re f",
        "/DeviceCMYK CS 0 0 1 0 SC 4 w 100 20 m 180 80 l S",
    };
    for (const char* stream : streams) {
        SCOPED_TRACE(stream);
        Work w;
        ASSERT_TRUE(testutil::WriteFile(w.file("x.pdf"), MakePdf({"[0 0 200 100]", {stream}})));
        ASSERT_EQ(w.Vardex("-q -o out x.pdf"), 0);
        std::string package = w.file("out/x.XPS");
        std::string rels, listing;
        ASSERT_EQ(Shell("unzip -p " + Quote(package) + " 'Documents/1/Pages/_rels/1.fpage.rels'", &rels), 0);
        EXPECT_NE(rels.find("SWOP.ICC"), std::string::npos) << rels;
        ASSERT_EQ(Shell("unzip -l " + Quote(package), &listing), 0);
        EXPECT_NE(listing.find("Resources/SWOP.ICC"), std::string::npos) << listing;
        Raster got;
        EXPECT_TRUE(Render(package, 72, &got, w.tmp.path()));
        EXPECT_TRUE(OpensInXpstopng(package, w.tmp.path()));
    }
}

}  // namespace
