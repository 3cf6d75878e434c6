// The real-document rows run through the converter program: each must end with the status a
// sound conversion gives and say only what it must; with status 0 the package passes the
// strict checker, and every compared page, drawn by mutool and by xpstopng, is as close to
// the PDF page drawn by mutool as the corpus run asks of real documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "PageCompare.h"
#include "RealDocs.h"
#include "Rendering.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

namespace {

using testutil::Quote;
using testutil::RunCommand;

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

// The file a reader wrote for page `page` under `prefix` in `dir`: mutool names it by the
// page number as it stands, xpstopng pads the number with zeros.
std::string PageFile(const testutil::TempDir& dir, const std::string& prefix, int page)
{
    for (const std::string& name : testutil::Entries(dir.path())) {
        if (name.compare(0, prefix.size(), prefix) != 0 || name.size() < prefix.size() + 5)
            continue;
        std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), ::isdigit) &&
            atoi(digits.c_str()) == page && name.compare(name.size() - 4, 4, ".png") == 0)
            return dir.file(name);
    }
    return "";
}

class RealDocRow : public ::testing::TestWithParam<size_t> {};

TEST_P(RealDocRow, ConvertsAndLooksLikeThePdf)
{
    if (!testutil::FileExists(kVardex) || !testutil::HaveTool("mutool") ||
        !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "needs the converter, mutool and xpstopng";
    const std::vector<testpdf::RealDoc> rows = testpdf::RealDocs();
    const testpdf::RealDoc& row = rows[GetParam()];

    testutil::TempDir dir;
    const std::string pdf = dir.file(row.name + ".pdf");
    ASSERT_TRUE(testutil::WriteFile(pdf, row.make()));
    RunCommand("mkdir " + Quote(dir.file("out")) + " " + Quote(dir.file("tmp")));
    const std::string xps = dir.file("out/" + row.name + ".XPS");
    std::string cmd = "cd " + Quote(dir.path()) + " && TMPDIR=" + Quote(dir.file("tmp")) +
                      " timeout -s KILL 900 " + Quote(kVardex);
    if (row.toStdout)
        cmd += " --stdout " + Quote(pdf);
    else
        cmd += " -q -o out " + Quote(pdf);
    int status = RunCommand(cmd + " >stdout.txt 2>stderr.txt");
    const std::string err = testutil::Messages(testutil::ReadFile(dir.file("stderr.txt")));
    ASSERT_EQ(row.status, status) << err;
    // Standard output carries the package in standard-output mode and nothing otherwise.
    if (row.toStdout && status == 0)
        ASSERT_EQ(0, RunCommand("mv " + Quote(dir.file("stdout.txt")) + " " + Quote(xps)));
    else
        EXPECT_EQ("", testutil::ReadFile(dir.file("stdout.txt")));
    if (row.message.empty()) {
        EXPECT_EQ("", err);
    } else {
        EXPECT_NE(std::string::npos, err.find(row.message)) << err;
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
    }
    if (status != 0) {
        EXPECT_TRUE(testutil::Entries(dir.file("out")).empty());
        return;
    }

    std::string report;
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << report;

    std::string pageList;
    for (int p : row.pages)
        pageList += (pageList.empty() ? "" : ",") + std::to_string(p);
    std::string out;
    std::string drawn = pdf;
    if (row.reference) {
        drawn = dir.file(row.name + "-reference.pdf");
        ASSERT_TRUE(testutil::WriteFile(drawn, row.reference()));
    }
    ASSERT_EQ(0, RunCommand("mutool draw -q -r 72 -o " + Quote(dir.file("pdf-%d.png")) + " " +
                                Quote(drawn) + " " + pageList + " 2>&1", &out)) << out;
    ASSERT_EQ(0, RunCommand("mutool draw -q -r 72 -o " + Quote(dir.file("mu-%d.png")) + " " +
                                Quote(xps) + " " + pageList + " 2>&1", &out)) << out;
    std::vector<int> pages = row.pages;
    if (pages.empty())
        for (int p = 1; !PageFile(dir, "pdf-", p).empty(); p++)
            pages.push_back(p);
    ASSERT_FALSE(pages.empty());
    if (row.gxpsSkip.empty()) {
        for (int p : pages)
            ASSERT_EQ(0, RunCommand("xpstopng -r 72 -f " + std::to_string(p) + " -l " +
                                        std::to_string(p) + " " + Quote(xps) + " " +
                                        Quote(dir.file("gx")) + " 2>&1", &out)) << out;
    }

    for (int p : pages) {
        testimg::Png want = testimg::ReadPng(PageFile(dir, "pdf-", p));
        ASSERT_TRUE(want.ok) << "page " << p;
        for (const char* reader : {"mu-", "gx-"}) {
            if (reader == std::string("gx-") && !row.gxpsSkip.empty())
                continue;
            testimg::Png got = testimg::ReadPng(PageFile(dir, reader, p));
            ASSERT_TRUE(got.ok) << reader << p;
            testutil::PageScore s = testutil::ComparePages(want, got);
            const char* who = reader == std::string("mu-") ? "mutool" : "xpstopng";
            EXPECT_TRUE(s.sameSize) << who << ", page " << p;
            EXPECT_LE(s.diff, row.maxDiff) << who << ", page " << p << ": " << testutil::Describe(s);
            EXPECT_GE(s.inkF1, row.minInkF1) << who << ", page " << p << ": " << testutil::Describe(s);
        }
    }
    EXPECT_TRUE(testutil::Entries(dir.file("tmp")).empty());
}

std::string RowName(const ::testing::TestParamInfo<size_t>& info)
{
    static const std::vector<testpdf::RealDoc> rows = testpdf::RealDocs();
    std::string name = rows[info.param].name;
    for (char& c : name)
        if (!isalnum((unsigned char)c))
            c = '_';
    return name;
}

std::vector<size_t> Rows()
{
    std::vector<size_t> rows;
    for (size_t i = 0; i < testpdf::RealDocs().size(); i++)
        rows.push_back(i);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Docs, RealDocRow, ::testing::ValuesIn(Rows()), RowName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealDocRow);

}  // namespace
