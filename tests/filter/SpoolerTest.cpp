// The print filter as an administrator installs it and users print through it: installed with
// DESTDIR as `cmake --install` lays it out, and printing through a real spooler
// (tests/filter/cups-roundtrip) with the shipped printer description.
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "InstallStage.h"
#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

namespace {

using testutil::Quote;

const std::string kRoundTrip = VARDEX_SOURCE_DIR "/tests/filter/cups-roundtrip";

// A PDF of 200 x 100 pages; page i draws a bar 30 * i wide, so each page tells which it is.
std::string BarsPdf(int pages)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; i++)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int i = 0; i < pages; i++) {
        b.Object(3 + 2 * i, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents " +
                                std::to_string(4 + 2 * i) + " 0 R >>");
        b.Stream(4 + 2 * i, "", "10 10 " + std::to_string(30 * (i + 1)) + " 20 re f\n");
    }
    b.ClassicXref();
    return b.Bytes();
}

// The pages of a package as mutool draws them, each named by the bar it shows (1 for page
// 1's, ...; 0 for a page without ink). The bar's long side tells it, wherever the spooler put
// the page on the paper and however it turned it.
std::vector<int> PagesByBar(const std::string& xps, const std::string& work)
{
    std::vector<int> pages;
    for (const testutil::Raster& r : testutil::RenderPages(xps, 72, work)) {
        int x0 = r.width, y0 = r.height, x1 = -1, y1 = -1;
        for (int y = 0; y < r.height; y++)
            for (int x = 0; x < r.width; x++)
                if (r.at(x, y)) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                }
        int side = x1 < 0 ? 0 : std::max(x1 - x0, y1 - y0) + 1;
        pages.push_back((side + 15) / 30);
    }
    return pages;
}

// A package both checked strictly (when the checker is there) and drawn by a reader.
void ExpectGoodPackage(const std::string& xps, const std::string& png)
{
    std::string report;
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << xps << "\n" << report;
    EXPECT_EQ(testutil::RunCommand("mutool draw -q -o " + Quote(png) + " " + Quote(xps) +
                                   " 1 >/dev/null 2>&1"),
              0)
        << xps;
}

// The filter goes into the spooler's own filter folder and the printer description where the
// spooler lists drivers, whatever the prefix; the converter and the manual pages go below
// the prefix. The filter runs the converter installed with it, also from a stage moved
// elsewhere, and an install into a prefix it was not built for is refused before anything
// is put in place.
TEST(InstalledFilter, GoesWhereTheSpoolerLooksAndRunsItsOwnConverter)
{
    testutil::InstallStage stage;
    ASSERT_TRUE(stage.ok()) << stage.log();
    std::string serverBin = "/usr/lib/cups";
    std::string found;
    if (testutil::RunCommand("cups-config --serverbin 2>/dev/null", &found) == 0 && !found.empty())
        serverBin = found.substr(0, found.find('\n'));
    EXPECT_EQ(std::string(VARDEX_FILTER_INSTALL_DIR), serverBin + "/filter");
    EXPECT_EQ(std::string(VARDEX_PPD_INSTALL_DIR), "/usr/share/ppd/vardex");
    for (const std::string& file : {stage.vardex(), stage.filter(), stage.ppd(),
                                    stage.manPage("Vardex", 1), stage.manPage("larkspan", 8)})
        EXPECT_TRUE(testutil::FileExists(file)) << file << "\n" << stage.log();
    EXPECT_EQ(stage.vardex(), stage.root() + VARDEX_INSTALL_PREFIX "/bin/Vardex");

    testutil::TempDir tmp;
    ASSERT_EQ(testutil::RunCommand("mv " + Quote(stage.root()) + " " + Quote(tmp.file("moved"))), 0);
    std::string movedFilter = tmp.file("moved") + stage.filter().substr(stage.root().size());
    ASSERT_TRUE(testutil::WriteFile(tmp.file("job.pdf"), BarsPdf(1)));
    int status = testutil::RunCommand("cd " + Quote(tmp.path()) + " && TMPDIR=" + Quote(tmp.path()) + " " +
                                      Quote(movedFilter) + " 7 lp job 1 '' job.pdf 2>err >print.xps");
    EXPECT_EQ(status, 0) << testutil::ReadFile(tmp.file("err"));
    ExpectGoodPackage(tmp.file("print.xps"), tmp.file("p.png"));
    ASSERT_EQ(testutil::RunCommand("mv " + Quote(tmp.file("moved")) + " " + Quote(stage.root())), 0);

    // Staged too, so that an install that went ahead would land in the test's folder.
    std::string log;
    EXPECT_NE(testutil::RunCommand("DESTDIR=" + Quote(tmp.file("guard")) + " " + Quote(VARDEX_CMAKE_COMMAND) +
                                       " --install " + Quote(VARDEX_BINARY_DIR) + " --prefix /opt/elsewhere 2>&1",
                                   &log),
              0);
    EXPECT_NE(log.find("-DCMAKE_INSTALL_PREFIX=/opt/elsewhere"), std::string::npos) << log;
    EXPECT_FALSE(testutil::FileExists(tmp.file("guard")));
}

// A queue made with the shipped printer description prints a PDF, a job of two documents
// (each its own package), copies of a page range (applied by the spooler's own PDF filter
// before the print filter runs), and refuses a damaged PDF with the converter's reason and
// the job's title.
TEST(InstalledFilter, PrintsThroughASpooler)
{
    // The spooler runs the filter as its own user, which must reach the installed programs.
    testutil::TempDir tmp(true);
    ASSERT_TRUE(testutil::WriteFile(tmp.file("a.pdf"), BarsPdf(1)));
    ASSERT_TRUE(testutil::WriteFile(tmp.file("b.pdf"), BarsPdf(2)));
    ASSERT_TRUE(testutil::WriteFile(tmp.file("three.pdf"), BarsPdf(3)));
    ASSERT_TRUE(testutil::WriteFile(tmp.file("bad.pdf"), "%PDF-1.4\nnothing else\n"));
    std::string work = tmp.file("spooler");
    std::string cmd = "cd " + Quote(tmp.path()) + " && timeout 120 " + Quote(kRoundTrip) + " " +
                      Quote(VARDEX_BINARY_DIR) + " " + Quote(VARDEX_CMAKE_COMMAND) + " " + Quote(work) +
                      " a.pdf 'a.pdf b.pdf' \"-t 'Quarterly report' bad.pdf\"" +
                      " '-n 2 -o page-ranges=1-2 three.pdf' 2>" + Quote(tmp.file("err"));
    int status = testutil::RunCommand(cmd);
    std::string err = testutil::ReadFile(tmp.file("err"));
    if (status == 77)
        GTEST_SKIP() << "no spooler can run here: " << err;
    ASSERT_EQ(status, 0) << err << testutil::ReadFile(work + "/log/error_log");

    EXPECT_EQ(testutil::ReadFile(work + "/states"), "1 completed\n2 completed\n3 stopped\n4 completed\n");
    EXPECT_EQ(testutil::Entries(work + "/out"),
              (std::vector<std::string>{"1-0.xps", "2-0.xps", "2-1.xps", "3-0.xps", "4-0.xps"}));
    for (const char* name : {"1-0.xps", "2-0.xps", "2-1.xps", "4-0.xps"}) {
        SCOPED_TRACE(name);
        ExpectGoodPackage(work + "/out/" + name, tmp.file("p.png"));
    }
    // The two documents of job 2 are two packages, each of its own document.
    EXPECT_EQ(PagesByBar(work + "/out/2-0.xps", tmp.path()), std::vector<int>{1});
    EXPECT_EQ(PagesByBar(work + "/out/2-1.xps", tmp.path()), (std::vector<int>{1, 2}));
    // Two copies of pages 1-2 reach the device as one package of four pages.
    EXPECT_EQ(PagesByBar(work + "/out/4-0.xps", tmp.path()), (std::vector<int>{1, 1, 2, 2}));
    // The spooler's PDF filter puts every page on the queue's paper, Letter by default.
    std::string page;
    testutil::RunCommand("unzip -p " + Quote(work + "/out/4-0.xps") + " Documents/1/Pages/1.fpage", &page);
    EXPECT_NE(page.find("Width=\"816\" Height=\"1056\""), std::string::npos) << page;

    // The refused job sent nothing to the printer; its error names what the user printed and
    // the converter's reason, not the filter's copy of the job.
    EXPECT_EQ(testutil::ReadFile(work + "/out/3-0.xps"), "");
    std::string log = testutil::ReadFile(work + "/log/error_log");
    size_t at = log.find("] [Job 3] Quarterly report: no cross-reference data found");
    ASSERT_NE(at, std::string::npos) << log;
    std::string line = log.substr(at, log.find('\n', at) - at);
    EXPECT_EQ(line.find("larkspan-"), std::string::npos) << line;
}

}  // namespace
