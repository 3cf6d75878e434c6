// What an administrator installs: the Debian package that scripts/deb builds, and the manual
// pages of both programs.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "InstallStage.h"
#include "HostileDocs.h"
#include "Rendering.h"
#include "TestUtil.h"

namespace {

using testutil::Quote;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The package holds both programs, the filter where the spooler looks, the printer
// description where it lists drivers and the manual pages, all below /usr; it depends on the
// spooler, its PDF filter, the font and profile packages and the libraries, by their Debian
// names; and its filter runs its own converter.
TEST(DebianPackage, HoldsTheProgramsAndNamesWhatTheyNeed)
{
    for (const char* tool : {"dpkg-deb", "cpack", "dpkg-shlibdeps", "file"})
        if (!testutil::HaveTool(tool))
            GTEST_SKIP() << "no " << tool << " here (dpkg, cmake, dpkg-dev, file) to build the package with";
    testutil::TempDir tmp;
    std::string out;
    // A release build of its own; two jobs beside the test runs.
    int status = testutil::RunCommand("VARDEX_NO_INSTALL_DEPS=1 CMAKE_BUILD_PARALLEL_LEVEL=2 " +
                                          Quote(VARDEX_SOURCE_DIR "/scripts/deb") + " " +
                                          Quote(tmp.file("build")) + " 2>" + Quote(tmp.file("err")),
                                      &out);
    ASSERT_EQ(status, 0) << out << testutil::ReadFile(tmp.file("err"));
    std::vector<std::string> said = Lines(out);
    ASSERT_FALSE(said.empty());
    const std::string deb = said.back();
    std::string arch;
    testutil::RunCommand("dpkg --print-architecture", &arch);
    EXPECT_EQ(deb, tmp.file("build") + "/vardex_1.00_" + Lines(arch).at(0) + ".deb");

    std::string listing;
    ASSERT_EQ(testutil::RunCommand("dpkg-deb -c " + Quote(deb) + " | awk '$1 !~ /^d/ { print $1, $6 }'", &listing), 0);
    EXPECT_EQ(listing,
              "-rwxr-xr-x ./usr/bin/Vardex\n"
              "-rwxr-xr-x ./usr/lib/cups/filter/larkspan\n"
              "-rw-r--r-- ./usr/share/man/man1/Vardex.1.gz\n"
              "-rw-r--r-- ./usr/share/man/man8/larkspan.8.gz\n"
              "-rw-r--r-- ./usr/share/ppd/vardex/vardex-xps.ppd\n");

    std::string fields;
    ASSERT_EQ(testutil::RunCommand("dpkg-deb -f " + Quote(deb) + " Package Version Depends", &fields), 0);
    EXPECT_EQ(fields.substr(0, fields.find("Depends:")), "Package: vardex\nVersion: 1.00\n");
    // Each dependency by its name, with or without a version.
    std::vector<std::string> depends;
    std::string list = fields.substr(fields.find("Depends:") + 8);
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find(',', at);
        if (end == std::string::npos)
            end = list.size();
        std::string item = list.substr(at, end - at);
        size_t first = item.find_first_not_of(" \n");
        item = first == std::string::npos ? "" : item.substr(first);
        depends.push_back(item.substr(0, item.find_first_of(" (\n")));
        at = end + 1;
    }
    for (const char* name : {"cups", "cups-filters", "fonts-urw-base35", "libgs-common",
                             "libc6", "libstdc++6", "zlib1g", "libminizip1", "libpng16-16", "libjpeg62-turbo",
                             "libfreetype6"})
        EXPECT_NE(std::find(depends.begin(), depends.end(), name), depends.end()) << name << " in " << list;

    ASSERT_EQ(testutil::RunCommand("dpkg-deb -x " + Quote(deb) + " " + Quote(tmp.file("root"))), 0);
    ASSERT_TRUE(testutil::WriteFile(tmp.file("job.pdf"), testpdf::OnePage("<< >>", "20 20 60 40 re f\n")));
    EXPECT_EQ(testutil::RunCommand("cd " + Quote(tmp.path()) + " && TMPDIR=" + Quote(tmp.path()) + " " +
                                   Quote(tmp.file("root/usr/lib/cups/filter/larkspan")) +
                                   " 7 lp job 1 '' job.pdf 2>err >print.xps && unzip -tqq print.xps >/dev/null"),
              0)
        << testutil::ReadFile(tmp.file("err"));
}

// Both installed pages render without a warning and tell what their users need.
TEST(ManualPages, RenderWithoutWarningsAndCoverTheirPrograms)
{
    if (!testutil::HaveTool("man"))
        GTEST_SKIP() << "no man here (man-db) to render the pages with";
    testutil::InstallStage stage;
    ASSERT_TRUE(stage.ok()) << stage.log();
    struct Page {
        std::string file;
        std::vector<std::string> tells;
    };
    const Page pages[] = {
        {stage.manPage("Vardex", 1),
         {"--output", "--quiet", "--subfolders", "--stdout", "--tmpdir", "--file", "--help", "--version",
          "OPTION FILE", "options.txt", "win over those of the command line", "EXIT STATUS", "TMPDIR",
          "WHAT IS NOT CONVERTED"}},
        {stage.manPage("larkspan", 8),
         {"lpadmin", "pdftopdf", "EXIT STATUS", "TMPDIR", "ERROR: title (file): reason",
          "/usr/lib/cups/filter/larkspan", "/usr/share/ppd/vardex/vardex-xps.ppd"}},
    };
    for (const Page& p : pages) {
        SCOPED_TRACE(p.file);
        std::string text;
        std::string env = "LC_ALL=C.UTF-8 MANWIDTH=200 MAN_KEEP_FORMATTING= ";
        EXPECT_EQ(testutil::RunCommand(env + "man --warnings -l " + Quote(p.file) + " 2>&1 >/dev/null", &text), 0);
        EXPECT_EQ(text, "");
        ASSERT_EQ(testutil::RunCommand(env + "man -l " + Quote(p.file) + " 2>/dev/null | col -b", &text), 0);
        for (const std::string& t : p.tells)
            EXPECT_NE(text.find(t), std::string::npos) << t;
    }
}

}  // namespace
