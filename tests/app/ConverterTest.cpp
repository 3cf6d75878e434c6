// The converter program run as a user runs it: on a temporary tree of files and folders, with
// options on the command line and in "options.txt", checking exit status, what lands where,
// and that standard output carries nothing but usage, progress or a package.
#include <algorithm>
#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

using testutil::Entries;
using testutil::Quote;

using testutil::Messages;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs the converter in `cwd`; `args` is shell text. TMPDIR points into the test folder.
Result RunVardex(const std::string& cwd, const std::string& args, const std::string& tail = "")
{
    std::string errFile = cwd + "/../stderr.txt";
    std::string cmd = "cd " + Quote(cwd) + " && TMPDIR=" + Quote(cwd + "/../tmp") + " " +
                      Quote(kVardex) + " " + args + " 2>" + Quote(errFile) + tail;
    Result r;
    r.status = testutil::RunCommand(cmd, &r.out);
    r.err = Messages(testutil::ReadFile(errFile));
    return r;
}

// A one-page PDF whose page draws `content` (black shapes by default).
std::string MakePdf(const std::string& content, const std::string& mediaBox = "[0 0 200 100]")
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox +
                    " /Resources << >> /Contents 4 0 R >>");
    b.Stream(4, "", content);
    b.ClassicXref();
    return b.Bytes();
}

const std::string kShapes =
    "20 20 60 40 re f\n"
    "q 4 w 100 20 m 180 80 l S Q\n"
    "120 70 m 140 95 170 95 190 70 c h f\n";

std::string MakePdf()
{
    return MakePdf(kShapes);
}

void MakeFile(const std::string& path, const std::string& bytes)
{
    testutil::RunCommand("mkdir -p \"$(dirname " + Quote(path) + ")\"");
    ASSERT_TRUE(testutil::WriteFile(path, bytes)) << path;
}

// Every file below `dir` whose name ends in ".XPS", relative to `dir`.
void FindPackages(const std::string& dir, const std::string& prefix, std::set<std::string>* out)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        std::string path = dir + "/" + n;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            FindPackages(path, prefix + n + "/", out);
        else if (n.size() > 4 && n.compare(n.size() - 4, 4, ".XPS") == 0)
            out->insert(prefix + n);
    }
    closedir(d);
}

std::set<std::string> Packages(const std::string& dir)
{
    std::set<std::string> found;
    FindPackages(dir, "", &found);
    return found;
}

bool IsZipPackage(const std::string& path)
{
    return testutil::RunCommand("unzip -tqq " + Quote(path) + " >/dev/null 2>&1") == 0;
}

// The test's tree: the working folder "w" and, beside it, TMPDIR "tmp" and the stderr file.
struct Tree {
    testutil::TempDir tmp;
    std::string cwd = tmp.file("w");
    Tree()
    {
        testutil::RunCommand("mkdir -p " + Quote(cwd) + " " + Quote(tmp.file("tmp")));
    }
    std::string file(const std::string& name) const { return cwd + "/" + name; }
};

TEST(Converter, NoArgumentsPrintsTheUsage)
{
    const std::string blank29(29, ' ');
    const std::string expected =
        "\nBrindlow Vardex V1.00.\n\n"
        "Usage: Vardex [<options>] file...\n"
        "\n"
        "OPTIONS:\n"
        "\n"
        "  file...                    A list of folders and/or file names to process.\n" +
        blank29 + "\n" +
        "  -o [ --output ] arg        The output folder used to store the xps files. \n"
        "                             By default, the currently selected working folder \n"
        "                             will be used to store converted xps files.\n" +
        blank29 + "\n" +
        "  --subfolders               Process all sub-directory for every directory \n"
        "                             specified in the argument list. By default, \n"
        "                             sub-directories are not processed.\n" +
        blank29 + "\n" +
        "  --verb arg (=1)            Set the verbosity level to 'arg' (0 - silent, 1 - verbose).\n" +
        blank29 + "\n" +
        "  -1 [--stdout ]             Sends XPS file to stdout\n" +
        blank29 + "\n" +
        "  -v [ --version ]           Print the version information.\n" +
        blank29 + "\n" +
        "  -h [ --help ]              Print a listing of available options.\n" +
        blank29 + "\n" +
        "\n\nExamples:\n"
        "Vardex -o test_out/ex1 test/WordDoc.pdf\n"
        "Vardex --stdout test/WordDoc.pdf\n\n\n";

    Tree t;
    // The option file is read before the usage is printed.
    MakeFile(t.file("options.txt"), "nosuch\n");
    Result r = RunVardex(t.cwd, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(r.err.find("Unknown option in resourcefile : nosuch"), std::string::npos) << r.err;
}

TEST(Converter, ArgumentsOptionsAndOutputNames)
{
    struct Case {
        const char* what;
        std::vector<std::string> pdfs;                 // created as PDFs below the working folder
        std::vector<std::pair<std::string, std::string>> files;  // other files: name, bytes
        std::string args;
        int status;
        std::set<std::string> packages;  // every .XPS below the working folder afterwards
        const char* out;                 // the whole of standard output; null: not checked
        const char* err;                 // part of standard error; empty: standard error empty
    };
    const std::string longArg = std::string(296, 'n') + ".pdf";
    const Case cases[] = {
        {"two files, quiet, into a folder", {"a.pdf", "b.pdf"}, {}, "-q -o out a.pdf b.pdf", 0,
         {"out/a.XPS", "out/b.XPS"}, "", ""},
        {"progress without -q", {"a.pdf"}, {}, "-o out a.pdf", 0, {"out/a.XPS"},
         "Processing...\na.pdf\n", ""},
        {"long option names", {"a.pdf"}, {}, "--quiet --output=out a.pdf", 0, {"out/a.XPS"}, "", ""},
        {"wildcard matches case-insensitively", {"docs/A.PDF", "docs/b.pdf", "docs/c.Pdf"},
         {{"docs/d.txt", "text"}, {"docs/e.pdf.bak", "old"}}, "-q 'docs/*.pdf'", 0,
         {"A.XPS", "b.XPS", "c.XPS"}, "", ""},
        {"wildcard without a folder part", {"x1.pdf", "x2.PDF", "y.pdf"}, {}, "-q -o out 'x?.pdf'", 0,
         {"out/x1.XPS", "out/x2.XPS"}, "", ""},
        {"a folder selects its PDFs", {"docs/A.PDF", "docs/b.pdf"}, {{"docs/notes.txt", "x"}},
         "-q -o out docs", 0, {"out/A.XPS", "out/b.XPS"}, "", ""},
        {"subfolders are not entered by default", {"tree/a.pdf", "tree/sub/b.pdf"}, {},
         "-q -o out tree", 0, {"out/a.XPS"}, "", ""},
        {"--subfolders descends", {"tree/a.pdf", "tree/sub/b.pdf", "tree/sub/deeper/c.pdf"}, {},
         "-q --subfolders -o out tree", 0, {"out/a.XPS", "out/b.XPS", "out/c.XPS"}, "", ""},
        {"several dots and no extension", {"annual.report.pdf", "README"}, {},
         "-q annual.report.pdf README", 0, {"annual.report.XPS", "README.XPS"}, "", ""},
        {"output folder created on first use, trailing slash", {"a.pdf"}, {}, "-q -o newdir/ a.pdf",
         0, {"newdir/a.XPS"}, "", ""},
        {"output folder tree created", {"a.pdf"}, {}, "-q -o new/er/dir a.pdf", 0,
         {"new/er/dir/a.XPS"}, "", ""},
        {"an output folder that cannot be made falls back to the working folder", {"a.pdf"},
         {{"blocker", "a file"}}, "-q -o blocker/out a.pdf", 0, {"a.XPS"}, "", ""},
        {"the later of two values wins", {"a.pdf"}, {}, "-q -o first -o second a.pdf", 0,
         {"second/a.XPS"}, "", ""},
        {"options.txt wins over the command line", {"a.pdf"},
         {{"options.txt", "# where packages go\noutput : fromfile\n"}}, "-q -o cmdline a.pdf", 0,
         {"fromfile/a.XPS"}, "", ""},
        {"options.txt flag and a value without blanks", {"a.pdf"},
         {{"options.txt", "  quiet  \noutput:tight\n"}}, "a.pdf", 0, {"tight/a.XPS"}, "", ""},
        {"same stem twice: one package", {"one/a.pdf", "two/a.pdf"}, {}, "-q -o out one two", 0,
         {"out/a.XPS"}, "", ""},
        {"nothing matches", {}, {}, "-q 'none*.pdf'", 0, {}, "", ""},
        {"second of two fails, third untouched", {"a.pdf", "c.pdf"}, {{"b.pdf", "not a PDF\n"}},
         "-q a.pdf b.pdf c.pdf", 1, {"a.XPS"}, "", "b.pdf"},
        {"missing input", {}, {}, "-q gone.pdf", 1, {}, "", "gone.pdf"},
        {"truncated PDF", {}, {{"cut.pdf", "%PDF-1.4\n1 0 obj\n<< /Type /Catalog"}}, "-q cut.pdf",
         1, {}, "", "cut.pdf"},
        {"an argument of 300 bytes is skipped", {"a.pdf"}, {}, "-q " + longArg + " a.pdf", 0,
         {"a.XPS"}, "", "skipped"},
        {"a pattern of 200 bytes is skipped", {"a.pdf"}, {}, "-q '" + std::string(200, 'p') + "*' a.pdf",
         0, {"a.XPS"}, "", "skipped"},
        {"unknown option reported on standard error", {"a.pdf"}, {}, "-q --nosuch a.pdf", 0,
         {"a.XPS"}, "", "Unknown command argument option : nosuch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        for (const std::string& p : c.pdfs)
            MakeFile(t.file(p), MakePdf());
        for (const auto& f : c.files)
            MakeFile(t.file(f.first), f.second);

        Result r = RunVardex(t.cwd, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(Packages(t.cwd), c.packages);
        for (const std::string& p : Packages(t.cwd))
            EXPECT_TRUE(IsZipPackage(t.file(p))) << p;
        if (c.out) {
            EXPECT_EQ(r.out, c.out);
        }
        if (*c.err) {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
        // Without --tmpdir every conversion works in a private folder and removes it.
        EXPECT_EQ(Entries(t.tmp.file("tmp")), std::vector<std::string>{});
    }
}

TEST(Converter, SubfoldersDoNotFollowLinkedFolders)
{
    Tree t;
    MakeFile(t.file("tree/a.pdf"), MakePdf());
    MakeFile(t.file("tree/sub/b.pdf"), MakePdf());
    MakeFile(t.file("elsewhere/c.pdf"), MakePdf());
    // A link back up would make the descent endless; a link aside would convert c.pdf.
    ASSERT_EQ(symlink("..", t.file("tree/sub/up").c_str()), 0);
    ASSERT_EQ(symlink("../elsewhere", t.file("tree/aside").c_str()), 0);
    Result r = RunVardex(t.cwd, "-q --subfolders -o out tree");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Packages(t.file("out")), (std::set<std::string>{"a.XPS", "b.XPS"}));
}

TEST(Converter, PathsThatDoNotFitAreSkipped)
{
    // A folder whose entries' full paths pass 259 bytes: they are reported, not cut.
    Tree t;
    std::string deep = "d";
    while (t.cwd.size() + 1 + deep.size() + 31 < 245)
        deep += "/" + std::string(30, 'd');
    MakeFile(t.file(deep + "/" + std::string(60, 'f') + ".pdf"), MakePdf());
    MakeFile(t.file(deep + "/short.pdf"), MakePdf());
    std::string fits = t.cwd + "/" + deep + "/short.pdf";
    ASSERT_LT(fits.size(), 260u);

    Result r = RunVardex(t.cwd, "-q -o out " + Quote(deep));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Packages(t.file("out")), (std::set<std::string>{"short.XPS"}));
    EXPECT_NE(r.err.find("too long"), std::string::npos) << r.err;
}

}  // namespace
