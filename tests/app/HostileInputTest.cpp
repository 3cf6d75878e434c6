// The hostile documents run through the converter program one by one, as the print filter
// would run them on a job: every one must end with status 0 or 1 within a bounded time and
// memory; with 0 the package must open in both readers (and pass the strict checker when it
// is beside the checkout), with 1 there is one line on standard error and no package; and
// nothing is left in the temporary folder. A row that names pixels its page draws before the
// hostile part finds them inked in both readers' renderings.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "HostileDocs.h"
#include "PageCompare.h"
#include "Rendering.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

namespace {

using testutil::Quote;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizers slow the program several times and keep shadow memory: the bounds only
// catch runaways here; the release build is held to the real ones.
const double kMaxSeconds = 120;
const long kMaxKiB = 2L * 1024 * 1024;
#else
const double kMaxSeconds = 5;
const long kMaxKiB = 256L * 1024;
#endif

// Page by page, the package as each reader draws it against the PDF as mutool draws it, with
// the bounds of the real-document rows.
void ExpectDrawnAsPdf(const std::string& pdf, const std::string& package,
                      const testutil::TempDir& dir)
{
    testutil::RunCommand("mkdir " + Quote(dir.file("same")));
    std::string out;
    ASSERT_EQ(0, testutil::RunCommand("mutool draw -q -r 72 -o " + Quote(dir.file("same/p%d.png")) +
                                          " " + Quote(pdf) + " 2>&1 && mutool draw -q -r 72 -o " +
                                          Quote(dir.file("same/m%d.png")) + " " + Quote(package) +
                                          " 2>&1 && xpstopng -r 72 " + Quote(package) + " " +
                                          Quote(dir.file("same/g")) + " 2>&1",
                                      &out))
        << out;
    int pages = 0;
    for (int p = 1; testutil::FileExists(dir.file("same/p" + std::to_string(p) + ".png")); p++) {
        pages++;
        testimg::Png want = testimg::ReadPng(dir.file("same/p" + std::to_string(p) + ".png"));
        // xpstopng pads the page number with zeros to the width of the page count.
        std::string gx;
        for (const std::string& name : testutil::Entries(dir.file("same")))
            if (name[0] == 'g' && atoi(name.c_str() + 2) == p)
                gx = dir.file("same/" + name);
        for (const std::string& file : {dir.file("same/m" + std::to_string(p) + ".png"), gx}) {
            testimg::Png got = testimg::ReadPng(file);
            ASSERT_TRUE(want.ok && got.ok) << file;
            testutil::PageScore s = testutil::ComparePages(want, got);
            EXPECT_TRUE(s.sameSize && s.diff <= 0.01 && s.inkF1 >= 0.98)
                << file << ": " << testutil::Describe(s);
        }
    }
    EXPECT_GT(pages, 0);
}

class Hostile : public ::testing::TestWithParam<size_t> {};

TEST_P(Hostile, EndsSoundlyWithinBounds)
{
    const std::vector<testpdf::HostileDoc> docs = testpdf::HostileDocs();
    const testpdf::HostileDoc& doc = docs[GetParam()];
    testutil::TempDir dir;
    std::string pdf = dir.file(doc.name + ".pdf");
    ASSERT_TRUE(testutil::WriteFile(pdf, doc.make()));
    testutil::RunCommand("mkdir " + Quote(dir.file("out")) + " " + Quote(dir.file("tmp")));

    std::string cmd = "cd " + Quote(dir.path()) + " && TMPDIR=" + Quote(dir.file("tmp")) +
                      " /usr/bin/time -f '%e %M' -o usage.txt timeout -s KILL 300 " +
                      Quote(VARDEX_BINARY_DIR "/Vardex") + " -q -o out " + Quote(pdf) +
                      " >stdout.txt 2>stderr.txt";
    int status = testutil::RunCommand(cmd);
    std::string err = testutil::Messages(testutil::ReadFile(dir.file("stderr.txt")));
    ASSERT_TRUE(status == 0 || status == 1) << "status " << status << "\n" << err;
    if (doc.status >= 0) {
        EXPECT_EQ(doc.status, status) << err;
    }
    EXPECT_EQ("", testutil::ReadFile(dir.file("stdout.txt")));

    double seconds = 0;
    long kib = 0;
    // time writes "Command exited with non-zero status N" before its own line.
    std::string usage = testutil::ReadFile(dir.file("usage.txt"));
    size_t last = usage.find_last_of('\n', usage.size() >= 2 ? usage.size() - 2 : 0);
    if (last != std::string::npos && last + 1 < usage.size())
        usage = usage.substr(last + 1);
    ASSERT_EQ(2, sscanf(usage.c_str(), "%lf %ld", &seconds, &kib)) << usage;
    EXPECT_LE(seconds, kMaxSeconds);
    EXPECT_LE(kib, kMaxKiB);

    std::string package = dir.file("out/" + doc.name + ".XPS");
    if (status == 1) {
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
        EXPECT_TRUE(testutil::Entries(dir.file("out")).empty());
    } else {
        ASSERT_TRUE(testutil::FileExists(package)) << err;
        std::string report;
        EXPECT_TRUE(xpstest::XpsCheckPasses(package, &report)) << report;
        testutil::RunCommand("mkdir " + Quote(dir.file("render")));
        std::string out;
        EXPECT_EQ(0, testutil::RunCommand("mutool draw -q -o " + Quote(dir.file("render/m%d.png")) +
                                              " " + Quote(package) + " 2>&1",
                                          &out))
            << out;
        EXPECT_EQ(0, testutil::RunCommand("xpstopng " + Quote(package) + " " +
                                              Quote(dir.file("render/g")) + " 2>&1",
                                          &out))
            << out;
        if (doc.drawnAsPdf)
            ExpectDrawnAsPdf(pdf, package, dir);
        if (!doc.drawnBefore.empty()) {
            std::vector<testutil::Raster> pages[] = {
                testutil::RenderPages(package, 72, dir.file("render")),
                testutil::XpstopngPages(package, 72, dir.file("render"))};
            for (const auto& reader : pages) {
                ASSERT_FALSE(reader.empty());
                for (const auto& xy : doc.drawnBefore) {
                    ASSERT_LT(xy.first, reader[0].width);
                    ASSERT_LT(xy.second, reader[0].height);
                    EXPECT_TRUE(reader[0].at(xy.first, xy.second)) << xy.first << "," << xy.second;
                }
            }
        }
    }
    EXPECT_TRUE(testutil::Entries(dir.file("tmp")).empty());
}

std::string RowName(const ::testing::TestParamInfo<size_t>& info)
{
    static const std::vector<testpdf::HostileDoc> docs = testpdf::HostileDocs();
    std::string name = docs[info.param].name;
    for (char& c : name)
        if (!isalnum((unsigned char)c))
            c = '_';
    return name;
}

std::vector<size_t> Rows()
{
    std::vector<size_t> rows;
    for (size_t i = 0; i < testpdf::HostileDocs().size(); i++)
        rows.push_back(i);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Docs, Hostile, ::testing::ValuesIn(Rows()), RowName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Hostile);

}  // namespace
