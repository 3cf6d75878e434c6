// Print jobs whose documents once kept the converter running without end: through the filter
// and the converter built beside it, each job ends within seconds with a package on the
// filter's standard output, and leaves nothing in the spool folder.
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "HostileDocs.h"
#include "Rendering.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

namespace {

using testutil::Quote;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizers slow the converter several times: here the bound only catches a runaway.
const double kMaxSeconds = 120;
#else
const double kMaxSeconds = 5;
#endif

// Stitching functions that share their parts, walked along every path.
const char* const kJobs[] = {
    "function-shared-parts-15-levels-of-8",
    "function-shared-parts-encoded-to-a-point",
    "function-1024-pieces-of-shared-trees",
};

TEST(HostileJobs, EndWithinSecondsWithAPackage)
{
    const std::vector<testpdf::HostileDoc> docs = testpdf::HostileDocs();
    for (const char* name : kJobs) {
        SCOPED_TRACE(name);
        auto doc = std::find_if(docs.begin(), docs.end(),
                                [&](const testpdf::HostileDoc& d) { return d.name == name; });
        ASSERT_NE(doc, docs.end());
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        ASSERT_TRUE(testutil::WriteFile(tmp.file("job.pdf"), doc->make()));
        // Killed after five minutes, so a job that hangs fails the test instead of the run.
        int status = testutil::RunCommand(
            "cd " + Quote(tmp.path()) + " && TMPDIR=spool /usr/bin/time -f %e -o time.txt " +
            "timeout -s KILL 300 " + Quote(VARDEX_BINARY_DIR "/larkspan_vardex") +
            " 42 lp report 1 '' job.pdf >print.xps 2>err.txt");
        std::string err = testutil::ReadFile(tmp.file("err.txt"));
        EXPECT_EQ(status, 0) << err;
        // time writes "Command exited with non-zero status N" before its own line.
        std::string usage = testutil::ReadFile(tmp.file("time.txt"));
        size_t last = usage.find_last_of('\n', usage.size() >= 2 ? usage.size() - 2 : 0);
        double seconds = -1;
        ASSERT_EQ(1, sscanf(last == std::string::npos ? usage.c_str() : usage.c_str() + last + 1,
                            "%lf", &seconds))
            << usage;
        EXPECT_LE(seconds, kMaxSeconds);

        std::string report;
        EXPECT_EQ(testutil::RunCommand("unzip -tqq " + Quote(tmp.file("print.xps")) + " >/dev/null"), 0);
        EXPECT_TRUE(xpstest::XpsCheckPasses(tmp.file("print.xps"), &report)) << report;
        std::vector<testutil::Raster> pages = testutil::RenderPages(tmp.file("print.xps"), 72, tmp.path());
        ASSERT_EQ(pages.size(), 1u);
        for (const auto& xy : doc->drawnBefore)
            EXPECT_TRUE(pages[0].at(xy.first, xy.second)) << xy.first << "," << xy.second;
        EXPECT_EQ(testutil::Entries(tmp.file("spool")), std::vector<std::string>{});
    }
}

}  // namespace
