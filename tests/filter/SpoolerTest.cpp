// The installed print filter as users meet it: installed into a prefix of its own, and
// printing through a real spooler (tests/filter/cups-roundtrip) with the shipped printer
// description.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

namespace {

using testutil::Quote;

const std::string kRoundTrip = VARDEX_SOURCE_DIR "/tests/filter/cups-roundtrip";

// A one-page PDF whose page draws `content`.
std::string OnePagePdf(const std::string& content)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
    b.Stream(4, "", content);
    b.ClassicXref();
    return b.Bytes();
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

// Installed into any prefix, and moved after that, the filter runs the converter installed
// with it, not one at the prefix configured at build time.
TEST(InstalledFilter, RunsTheConverterInstalledWithIt)
{
    testutil::TempDir tmp;
    ASSERT_EQ(testutil::RunCommand(Quote(VARDEX_CMAKE_COMMAND) + " --install " + Quote(VARDEX_BINARY_DIR) +
                                   " --prefix " + Quote(tmp.file("first")) + " >/dev/null"),
              0);
    EXPECT_TRUE(testutil::FileExists(tmp.file("first/share/ppd/vardex/vardex-xps.ppd")));
    ASSERT_EQ(testutil::RunCommand("mv " + Quote(tmp.file("first")) + " " + Quote(tmp.file("moved"))), 0);
    ASSERT_TRUE(testutil::WriteFile(tmp.file("job.pdf"), OnePagePdf("20 20 60 40 re f\n")));
    std::string out;
    int status = testutil::RunCommand("cd " + Quote(tmp.path()) + " && TMPDIR=" + Quote(tmp.path()) + " " +
                                          Quote(tmp.file("moved/lib/cups/filter/larkspan")) +
                                          " 7 lp job 1 '' job.pdf 2>err >print.xps",
                                      &out);
    EXPECT_EQ(status, 0) << testutil::ReadFile(tmp.file("err"));
    ExpectGoodPackage(tmp.file("print.xps"), tmp.file("p.png"));
}

// A queue made with the shipped printer description prints a PDF, a job of two documents
// (each its own package) and refuses a damaged PDF with the converter's reason.
TEST(InstalledFilter, PrintsThroughASpooler)
{
    testutil::TempDir tmp;
    // The spooler runs the filter as its own user, which must reach the installed programs.
    ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);
    ASSERT_TRUE(testutil::WriteFile(tmp.file("a.pdf"), OnePagePdf("20 20 60 40 re f\n")));
    ASSERT_TRUE(testutil::WriteFile(tmp.file("b.pdf"), OnePagePdf("q 4 w 100 20 m 180 80 l S Q\n")));
    ASSERT_TRUE(testutil::WriteFile(tmp.file("bad.pdf"), "%PDF-1.4\nnothing else\n"));
    std::string work = tmp.file("spooler");
    std::string cmd = "cd " + Quote(tmp.path()) + " && timeout 120 " + Quote(kRoundTrip) + " " +
                      Quote(VARDEX_BINARY_DIR) + " " + Quote(VARDEX_CMAKE_COMMAND) + " " + Quote(work) +
                      " a.pdf a.pdf+b.pdf bad.pdf 2>" + Quote(tmp.file("err"));
    int status = testutil::RunCommand(cmd);
    std::string err = testutil::ReadFile(tmp.file("err"));
    if (status == 77)
        GTEST_SKIP() << "no spooler can run here: " << err;
    ASSERT_EQ(status, 0) << err << testutil::ReadFile(work + "/log/error_log");

    EXPECT_EQ(testutil::ReadFile(work + "/states"), "1 completed\n2 completed\n3 stopped\n");
    for (const char* name : {"1-0.xps", "2-0.xps", "2-1.xps"}) {
        SCOPED_TRACE(name);
        ExpectGoodPackage(work + "/out/" + name, tmp.file("p.png"));
    }
    // The two documents of job 2 are two packages, each of its own document.
    EXPECT_NE(testutil::ReadFile(work + "/out/2-0.xps"), testutil::ReadFile(work + "/out/2-1.xps"));
    // The refused job sent nothing to the printer, and its reason is the job's error.
    EXPECT_EQ(testutil::ReadFile(work + "/out/3-0.xps"), "");
    EXPECT_EQ(testutil::Entries(work + "/out"),
              (std::vector<std::string>{"1-0.xps", "2-0.xps", "2-1.xps", "3-0.xps"}));
    std::string log = testutil::ReadFile(work + "/log/error_log");
    EXPECT_NE(log.find("] [Job 3] " + work + "/spool/d00003-001: no cross-reference data found"),
              std::string::npos)
        << log;
}

}  // namespace
