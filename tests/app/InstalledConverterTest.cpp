// The converter installed as users get it (a DESTDIR stage of `cmake --install`): what its
// command line does with help, version and mistakes, and what it says when the output folder
// cannot be used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "InstallStage.h"
#include "HostileDocs.h"
#include "Rendering.h"
#include "TestUtil.h"

namespace {

using testutil::Entries;
using testutil::Quote;

const char kBanner[] = "Brindlow Vardex V1.00.\n";

std::string ShapesPdf(const std::string& content = "20 20 60 40 re f\n")
{
    return testpdf::OnePage("<< >>", content);
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

// A test folder every user may enter: "w" the working folder holding a.pdf, "tmp" the
// TMPDIR (anyone may write there).
struct Tree {
    testutil::TempDir tmp{true};
    std::string cwd = tmp.file("w");
    Tree()
    {
        testutil::RunCommand("mkdir -p " + Quote(cwd) + " " + Quote(tmp.file("tmp")) + " && chmod 1777 " +
                             Quote(tmp.file("tmp")));
        testutil::WriteFile(cwd + "/a.pdf", ShapesPdf());
        chmod((cwd + "/a.pdf").c_str(), 0644);
    }
    std::string file(const std::string& name) const { return cwd + "/" + name; }
};

// Runs the installed converter in the tree's working folder; `args` is shell text, and
// `prefix` runs it all as another user.
Result RunInstalled(const testutil::InstallStage& stage, const Tree& t, const std::string& args,
           const std::string& prefix = "")
{
    std::string inner = "cd " + Quote(t.cwd) + " && TMPDIR=" + Quote(t.tmp.file("tmp")) + " " +
                        Quote(stage.vardex()) + " " + args;
    Result r;
    r.status = testutil::RunCommand((prefix.empty() ? inner : prefix + " sh -c " + Quote(inner)) + " 2>" +
                                        Quote(t.tmp.file("stderr.txt")),
                                    &r.out);
    r.err = testutil::Messages(testutil::ReadFile(t.tmp.file("stderr.txt")));
    return r;
}

// -h and -v answer and convert nothing; an unknown option or one without its value is named
// by the parser and ends the run with status 1 before anything is converted.
TEST(InstalledConverter, HelpVersionAndMistakesOnTheCommandLine)
{
    testutil::InstallStage stage;
    ASSERT_TRUE(stage.ok()) << stage.log();
    struct Case {
        const char* args;
        int status;
        const char* out;  // "USAGE": the usage text; null: not checked
        const char* err;  // the whole of standard error
        const char* options;  // options.txt; null for none
    };
    const Case cases[] = {
        {"--help a.pdf", 0, "USAGE", "", nullptr},
        {"-h", 0, "USAGE", "", nullptr},
        {"-qh a.pdf", 0, "USAGE", "", nullptr},
        {"--version a.pdf", 0, kBanner, "", nullptr},
        {"-v", 0, kBanner, "", nullptr},
        {"--stdot a.pdf", 1, "", "Unknown command argument option : stdot\n", nullptr},
        {"-q -x a.pdf", 1, "", "Unknown command argument option : x\n", nullptr},
        {"--quiet=yes a.pdf", 1, "", "Unknown command argument option : quiet=yes\n", nullptr},
        {"a.pdf -o", 1, "", "Missing value of command argument option : -o\n", nullptr},
        {"a.pdf --output", 1, "", "Missing value of command argument option : --output\n", nullptr},
        {"--help --nosuch", 1, "", "Unknown command argument option : nosuch\n", nullptr},
        // The option file only for the command line's own help: there it is unknown, and the
        // run goes on; a long unknown name is echoed cut.
        {"-q a.pdf", 0, "", "Unknown option in resourcefile : help\n", "help\n"},
        {"-q a.pdf", 0, "",
         "Unknown option in resourcefile : nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn...\n",
         "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn : x\n"},
    };
    std::string usage;
    {
        Tree t;
        Result none = RunInstalled(stage, t, "");
        ASSERT_EQ(none.status, 0);
        usage = none.out;
        ASSERT_NE(usage.find("Usage: Vardex"), std::string::npos) << usage;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        Tree t;
        if (c.options) {
            ASSERT_TRUE(testutil::WriteFile(t.file("options.txt"), c.options));
        }
        Result r = RunInstalled(stage, t, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.out) {
            EXPECT_EQ(r.out, std::string(c.out) == "USAGE" ? usage : std::string(c.out));
        }
        EXPECT_EQ(r.err, c.err);
        std::vector<std::string> expected = {"a.pdf"};
        if (c.status == 0 && c.out && !*c.out)
            expected = {"a.XPS", "a.pdf"};
        if (c.options)
            expected.push_back("options.txt");
        EXPECT_EQ(Entries(t.cwd), expected);
        EXPECT_EQ(Entries(t.tmp.file("tmp")), std::vector<std::string>{});
    }
}

// Runs commands as an ordinary user, whose rights the file modes hold to (root's are not):
// "" when this process is no root, else a prefix running as nobody, or "-" when that cannot
// be had or cannot reach the test's files.
std::string OrdinaryUser(const std::string& reach)
{
    if (geteuid() != 0)
        return "";
    const std::string prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    if (testutil::RunCommand(prefix + " test -x " + Quote(reach) + " 2>/dev/null") != 0)
        return "-";
    return prefix;
}

// An output folder that cannot be made, or a package that cannot be written into it, fails
// the run with one line that says why, and leaves no package.
TEST(InstalledConverter, AnOutputFolderThatCannotBeUsedSaysWhy)
{
    testutil::InstallStage stage;
    ASSERT_TRUE(stage.ok()) << stage.log();
    struct Case {
        const char* what;
        const char* setup;  // shell text run in the working folder first
        bool ordinaryUser;
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"a file in the way", "echo x >blocker", false, "-q -o blocker/out a.pdf",
         "Vardex: cannot create the output folder blocker/out: Not a directory\n"},
        {"a parent folder without write permission", "mkdir locked && chmod 0555 locked", true,
         "-q -o locked/out/deeper a.pdf", "Vardex: cannot create the output folder locked/out/deeper: Permission denied\n"},
        {"an output folder without write permission", "mkdir locked && chmod 0555 locked", true,
         "-q -o locked a.pdf", "Vardex: a.pdf: cannot write the package CWD/locked/a.XPS: Permission denied\n"},
    };
    const std::string user = OrdinaryUser(stage.vardex());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.ordinaryUser && user == "-")
            continue;
        Tree t;
        std::string prefix = c.ordinaryUser ? user : "";
        ASSERT_EQ(testutil::RunCommand("cd " + Quote(t.cwd) + " && " + c.setup), 0);
        Result r = RunInstalled(stage, t, c.args, prefix);
        EXPECT_EQ(r.status, 1);
        std::string message = c.message;
        size_t at = message.find("CWD");
        if (at != std::string::npos)
            message.replace(at, 3, t.cwd);
        EXPECT_EQ(r.err, message);
        EXPECT_EQ(testutil::RunCommand("find " + Quote(t.cwd) + " -name '*XPS*' | grep -q ."), 1);
        EXPECT_EQ(Entries(t.tmp.file("tmp")), std::vector<std::string>{});
        testutil::RunCommand("chmod -R u+w " + Quote(t.cwd));
    }
    if (user == "-")
        GTEST_SKIP() << "the cases of an ordinary user: running as root, and user nobody cannot reach "
                     << stage.vardex();
}

// A package that does not fit on the disk says so: the output folder is a small file system
// of its own, mounted in a mount namespace of the run's own that ends with it.
TEST(InstalledConverter, AFullOutputDiskSaysWhy)
{
    testutil::InstallStage stage;
    ASSERT_TRUE(stage.ok()) << stage.log();
    const std::string ns = geteuid() == 0 ? "unshare -m" : "unshare -rm";
    if (testutil::RunCommand(ns + " sh -c 'mount -t tmpfs -o size=16k tmpfs /mnt' 2>/dev/null") != 0)
        GTEST_SKIP() << "no file system can be mounted in a mount namespace here (" << ns << ")";
    // Thousands of scattered rectangles: markup that does not pack into 16 KiB.
    std::string rects;
    for (int i = 0; i < 3000; i++)
        rects += std::to_string(i * 37 % 199) + " " + std::to_string(i * 53 % 97) + " " +
                 std::to_string(1 + i * 11 % 47) + " " + std::to_string(1 + i * 7 % 43) + " re f\n";
    Tree t;
    ASSERT_TRUE(testutil::WriteFile(t.file("big.pdf"), ShapesPdf(rects)));
    ASSERT_EQ(testutil::RunCommand("mkdir " + Quote(t.file("full"))), 0);
    // What the small disk holds afterwards is seen from inside the namespace only.
    std::string inner = "mount -t tmpfs -o size=16k tmpfs full || exit 99; TMPDIR=" + Quote(t.tmp.file("tmp")) +
                        " " + Quote(stage.vardex()) + " -q -o full big.pdf 2>../stderr.txt; status=$?; " +
                        "ls -A full >../left.txt; exit $status";
    int status = testutil::RunCommand("cd " + Quote(t.cwd) + " && " + ns + " sh -c " + Quote(inner));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(testutil::Messages(testutil::ReadFile(t.tmp.file("stderr.txt"))),
              "Vardex: big.pdf: cannot write the package " + t.file("full/big.XPS") +
                  ": No space left on device\n");
    EXPECT_EQ(testutil::ReadFile(t.tmp.file("left.txt")), "");
    EXPECT_TRUE(testutil::FileExists(t.tmp.file("left.txt")));
    EXPECT_EQ(Entries(t.tmp.file("tmp")), std::vector<std::string>{});
}

}  // namespace
