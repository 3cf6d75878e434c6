// The converter program run as a user runs it: on a temporary tree of files and folders, with
// options on the command line and in "options.txt", checking exit status, what lands where,
// and that standard output carries nothing but usage, progress or a package.
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"
#include "Type1Fonts.h"
#include "Apps/converter/PathUtils.h"
#include "Pdf/Limits.h"

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
        {"an output folder that cannot be made fails the run", {"a.pdf", "b.pdf"},
         {{"blocker", "a file"}}, "-q -o blocker/out a.pdf b.pdf", 1, {}, "",
         "cannot create the output folder blocker/out: Not a directory"},
        {"the later of two values wins", {"a.pdf"}, {}, "-q -o first -o second a.pdf", 0,
         {"second/a.XPS"}, "", ""},
        {"options.txt wins over the command line", {"a.pdf"},
         {{"options.txt", "# where packages go\noutput : fromfile\n"}}, "-q -o cmdline a.pdf", 0,
         {"fromfile/a.XPS"}, "", ""},
        {"options.txt flag and a value without blanks", {"a.pdf"},
         {{"options.txt", "  quiet  \noutput:tight\n"}}, "a.pdf", 0, {"tight/a.XPS"}, "", ""},
        {"same stem twice: one package", {"one/a.pdf", "two/a.pdf"}, {}, "-q -o out one two", 0,
         {"out/a.XPS"}, "", ""},
        {"nothing matches", {}, {}, "-q 'none*.pdf'", 1, {}, "", "none*.pdf: no file matches"},
        {"nothing matches, the next argument still converts", {"a.pdf"}, {},
         "-q 'none*.pdf' a.pdf", 1, {"a.XPS"}, "", "no file matches"},
        {"a folder without PDFs", {}, {{"docs/notes.txt", "x"}}, "-q docs", 1, {}, "",
         "docs: no PDF file in the folder"},
        {"folders named like PDFs are passed by", {"docs/a.pdf"}, {{"docs/x.pdf/inner.txt", "x"}},
         "-q 'docs/*.pdf' docs", 0, {"a.XPS"}, "", "passed by"},
        {"a folder named like a PDF is all there is", {}, {{"docs/x.pdf/inner.txt", "x"}},
         "-q 'docs/*.pdf'", 1, {}, "", "no file matches"},
        {"--file takes a pattern as it stands", {"a*b.pdf", "a1b.pdf", "a2b.pdf"}, {},
         "-q --file 'a*b.pdf'", 0, {"a*b.XPS"}, "", ""},
        {"--file before the other arguments, which stay patterns", {"a*b.pdf", "a1b.pdf"}, {},
         "-q -o out 'a?b.pdf' --file 'a*b.pdf'", 0, {"out/a*b.XPS", "out/a1b.XPS"}, "", ""},
        {"--file never searches a folder", {"docs/a.pdf"}, {}, "-q --file docs", 1, {}, "",
         "docs: not a regular file"},
        {"--file of a missing file", {}, {}, "-q --file 'gone*.pdf'", 1, {}, "", "gone*.pdf"},
        {"a package path too long is skipped", {"a.pdf"}, {},
         "-q -o " + std::string(250, 'o') + " a.pdf", 1, {}, "", "package path is too long"},
        {"second of two fails, third untouched", {"a.pdf", "c.pdf"}, {{"b.pdf", "not a PDF\n"}},
         "-q a.pdf b.pdf c.pdf", 1, {"a.XPS"}, "", "b.pdf"},
        {"missing input", {}, {}, "-q gone.pdf", 1, {}, "", "gone.pdf"},
        {"truncated PDF", {}, {{"cut.pdf", "%PDF-1.4\n1 0 obj\n<< /Type /Catalog"}}, "-q cut.pdf",
         1, {}, "", "cut.pdf"},
        {"an argument of 300 bytes is skipped and fails the run", {"a.pdf"}, {},
         "-q " + longArg + " a.pdf", 1, {"a.XPS"}, "", "skipped"},
        {"a pattern of 200 bytes is skipped and fails the run", {"a.pdf"}, {},
         "-q '" + std::string(200, 'p') + "*' a.pdf", 1, {"a.XPS"}, "", "skipped"},
        {"an unknown option fails the run before converting", {"a.pdf"}, {}, "-q --nosuch a.pdf", 1,
         {}, "", "Unknown command argument option : nosuch"},
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
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Packages(t.file("out")), (std::set<std::string>{"short.XPS"}));
    EXPECT_NE(r.err.find("too long"), std::string::npos) << r.err;

    // A wildcard searched from a working folder whose path passes 259 bytes cannot be
    // searched: said so, and the run fails.
    std::string deepCwd = t.cwd;
    while (deepCwd.size() < 300)
        deepCwd += "/" + std::string(60, 'c');
    MakeFile(deepCwd + "/a.pdf", MakePdf());
    r = RunVardex(deepCwd, "-q -o " + Quote(t.file("deepout")) + " '*.pdf'", "");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("current folder"), std::string::npos) << r.err;
    EXPECT_EQ(Packages(t.file("deepout")), std::set<std::string>{});
}

}  // namespace

namespace {

// A one-page PDF whose content stream is FlateDecode-compressed (it is decoded into a
// temporary file), with `resources` and further objects from number 5 on.
std::string MakeFlatePdf(const std::string& content, const std::string& resources = "<< >>",
                         const std::string& more = "")
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Resources " + resources +
                    " /Contents 4 0 R >>");
    b.Stream(4, "/Filter /FlateDecode", testpdf::Deflate(content));
    if (!more.empty()) {
        // A Type 1 program is written as it decodes.
        b.Object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Big /FontDescriptor 7 0 R >>");
        b.Object(7, "<< /Type /FontDescriptor /FontName /Big /FontFile 8 0 R >>");
        b.Stream(8, "/Filter /FlateDecode", testpdf::Deflate(more));
    }
    b.ClassicXref();
    return b.Bytes();
}

TEST(Converter, TemporaryFilesNotWrittenWholeFailTheConversion)
{
    // The disk fills at 64 KiB; each document writes one temporary file past that, and the
    // package it would make without that file is small.
    const std::string comments(300000, '%');
    // A Type 1 program of 5,000 glyphs, some 150 KiB.
    std::vector<testfont::Type1Box> glyphs;
    for (int i = 0; i < 5000; i++)
        glyphs.push_back({"g" + std::to_string(i), -1, 0, 500, 700, 600});
    std::string rects, moreRects;
    for (int i = 0; i < 4000; i++)
        rects += std::to_string(i % 190) + " " + std::to_string(i % 90) + " 5 5 re f\n";
    // Markup past what a page keeps in memory, which goes on in a file of its own.
    for (int i = 0; i < 10; i++)
        moreRects += rects;
    struct Case {
        const char* what;
        std::string pdf;
        const char* reason;
    };
    const Case cases[] = {
        {"decoded content stream", MakeFlatePdf(kShapes + comments + "\n"), "temporary file"},
        {"font program", MakeFlatePdf(kShapes, "<< /Font << /F1 5 0 R >> >>", testfont::BoxType1("Big", glyphs)),
         "temporary file"},
        {"page markup", MakePdf(rects), "page 1"},
        {"page markup past what memory keeps", MakePdf(moreRects), "page 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        MakeFile(t.file("x.pdf"), c.pdf);
        for (const char* args : {"-q -o out x.pdf", "-q --tmpdir keep -o out x.pdf"}) {
            ASSERT_EQ(testutil::RunCommand("cd " + Quote(t.cwd) + " && " + testutil::DiskFullAfter(64) +
                                           "TMPDIR=../tmp " + Quote(kVardex) + " " + args +
                                           " 2>../stderr.txt"),
                      1)
                << args;
            std::string err = Messages(testutil::ReadFile(t.tmp.file("stderr.txt")));
            EXPECT_NE(err.find(c.reason), std::string::npos) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_EQ(Entries(t.file("out")), std::vector<std::string>{}) << args;
            EXPECT_EQ(Entries(t.tmp.file("tmp")), std::vector<std::string>{});
            // Without the full disk the same document converts.
            Result r = RunVardex(t.cwd, args);
            EXPECT_EQ(r.status, 0) << r.err;
            testutil::RunCommand("rm -rf " + Quote(t.file("out")));
        }
    }
}

// Conversions that share one --tmpdir each work in a folder of their own inside it: run
// together they give exactly the packages they give alone.
// Pages that reach a budget keep what they drew and the conversion succeeds; once the package
// is written, one line per such page names it and the budget as it stood, grown with the
// bytes the page holds. Here page 2 runs out of tokens (no-ops inflating from a few
// kilobytes) and page 3 of markup (a form of a thousand paths drawn 300 times); page 1 and
// page 4 are drawn whole, page 4 after the others.
TEST(Converter, PagesDrawnInPartAreNamedOnceThePackageIsWritten)
{
    auto repeat = [](const std::string& text, int times) {
        std::string out;
        out.reserve(text.size() * (size_t)times);
        for (int i = 0; i < times; i++)
            out += text;
        return out;
    };
    const std::string noOps = testpdf::Deflate(repeat("n\n", 3500000) + "0 0 9 9 re f\n");
    std::string paths;
    for (int i = 0; i < 1000; i++)
        paths += std::to_string(i % 190) + " 10 5 5 re f\n";
    const std::string draws = repeat("/X Do\n", 300);
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R 10 0 R] /Count 4 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
    b.Stream(4, "", kShapes);
    b.Object(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 6 0 R >>");
    b.Stream(6, "/Filter /FlateDecode", noOps);
    b.Object(7, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 8 0 R "
                "/Resources << /XObject << /X 9 0 R >> >> >>");
    b.Stream(8, "", draws);
    b.Stream(9, "/Type /XObject /Subtype /Form /BBox [0 0 200 100]", paths);
    b.Object(10, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 11 0 R >>");
    b.Stream(11, "", kShapes);
    b.ClassicXref();
    const long long tokens = PAGE_MAX_CONTENT_TOKENS + PAGE_TOKENS_PER_HELD_BYTE * (long long)noOps.size();
    const long long markup = PAGE_MAX_MARKUP_BYTES +
                             PAGE_MARKUP_PER_HELD_BYTE * (long long)(draws.size() + paths.size());
    const std::string lines =
        "Vardex: warning: x.pdf: page 2 is drawn in part: it reached its limit of " +
        std::to_string(tokens) + " content tokens (PAGE_MAX_CONTENT_TOKENS)\n"
        "Vardex: warning: x.pdf: page 3 is drawn in part: it reached its limit of " +
        std::to_string(markup) + " bytes of markup (PAGE_MAX_MARKUP_BYTES)\n";

    Tree t;
    MakeFile(t.file("x.pdf"), b.Bytes());
    for (const char* args : {"-q -o out x.pdf", "--stdout x.pdf >x.xps"}) {
        SCOPED_TRACE(args);
        Result r = RunVardex(t.cwd, args);
        EXPECT_EQ(0, r.status) << r.err;
        EXPECT_EQ(lines, r.err);
        const std::string package = t.file(args[0] == '-' && args[1] == 'q' ? "out/x.XPS" : "x.xps");
        EXPECT_TRUE(IsZipPackage(package));
        std::string listing;
        testutil::RunCommand("unzip -l " + Quote(package), &listing);
        EXPECT_NE(std::string::npos, listing.find("Documents/1/Pages/4.fpage")) << listing;
        // Page 2 drew nothing before its budget ran out; page 3 drew its fill until its markup
        // reached the budget, within one element of it.
        std::string page2, page3;
        testutil::RunCommand("unzip -p " + Quote(package) + " Documents/1/Pages/2.fpage", &page2);
        testutil::RunCommand("unzip -p " + Quote(package) + " Documents/1/Pages/3.fpage", &page3);
        EXPECT_EQ(std::string::npos, page2.find("<Path ")) << page2;
        EXPECT_GE((long long)page3.size(), markup);
        EXPECT_LT((long long)page3.size(), markup + 4096);
    }
}

TEST(Converter, ParallelRunsSharingATmpdirGiveTheirOwnPackages)
{
    Tree t;
    const int kDocs = 5;
    for (int d = 0; d < kDocs; d++) {
        std::string shapes;
        for (int i = 0; i <= d; i++)
            shapes += std::to_string(10 + 30 * i) + " 10 20 " + std::to_string(20 + 10 * d) + " re f\n";
        MakeFile(t.file("doc" + std::to_string(d) + ".pdf"), MakeFlatePdf(shapes));
        Result r = RunVardex(t.cwd, "-q --tmpdir alone -o ref doc" + std::to_string(d) + ".pdf");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    struct Case {
        const char* what;
        int docs;  // run i converts doc (i % docs)
    };
    const Case cases[] = {{"20 runs of one file", 1}, {"20 runs over 5 files", kDocs}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::RunCommand("rm -rf " + Quote(t.file("shared")) + " " + Quote(t.file("par")));
        std::string script = "cd " + Quote(t.cwd) + " || exit 1; ";
        for (int i = 0; i < 20; i++) {
            std::string n = std::to_string(i);
            script += "( " + Quote(kVardex) + " -q --tmpdir shared -o par/" + n + " doc" +
                      std::to_string(i % c.docs) + ".pdf 2>err." + n + "; echo $? >status." + n + " ) & ";
        }
        script += "wait";
        ASSERT_EQ(testutil::RunCommand(script), 0);
        for (int i = 0; i < 20; i++) {
            std::string n = std::to_string(i), doc = "doc" + std::to_string(i % c.docs);
            EXPECT_EQ(testutil::ReadFile(t.file("status." + n)), "0\n") << testutil::ReadFile(t.file("err." + n));
            EXPECT_TRUE(testutil::ReadFile(t.file("par/" + n + "/" + doc + ".XPS")) ==
                        testutil::ReadFile(t.file("ref/" + doc + ".XPS")))
                << "run " << n;
        }
        EXPECT_EQ(Entries(t.file("shared")).size(), 20u);
    }
}

// A link planted where the converter writes, in the temporary or the output folder, is
// replaced or passed by, never written through.
TEST(Converter, PlantedLinksAreNeverFollowed)
{
    struct Case {
        const char* what;
        const char* plant;  // shell run in the working folder; "victim" is the file to keep
        const char* args;
    };
    const Case cases[] = {
        {"symbolic link at the package", "ln -s ../victim out/x.XPS", "-q -o out x.pdf"},
        {"hard link at the package", "ln ../victim out/x.XPS", "-q -o out x.pdf"},
        {"symbolic links in the temporary folder",
         "ln -s ../victim keep/1.fpage && ln -s ../victim keep/STRM00004.TMP", "-q --tmpdir keep -o out x.pdf"},
        {"hard links in the temporary folder", "ln ../victim keep/1.fpage && ln ../victim keep/STRM00004.TMP",
         "-q --tmpdir keep -o out x.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        MakeFile(t.file("x.pdf"), MakeFlatePdf(kShapes));
        MakeFile(t.tmp.file("victim"), "precious\n");
        ASSERT_EQ(testutil::RunCommand("cd " + Quote(t.cwd) + " && mkdir out keep && " + c.plant), 0);
        Result r = RunVardex(t.cwd, c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(testutil::ReadFile(t.tmp.file("victim")), "precious\n");
        EXPECT_TRUE(IsZipPackage(t.file("out/x.XPS")));
        EXPECT_EQ(Entries(t.file("out")), std::vector<std::string>{"x.XPS"});
    }
}

// A temporary folder must leave room for the names written into it: the conversion's own
// folder ("vardex.XXXXXX" inside the one given) is at most TMP_MAX_FOLDER bytes.
TEST(Converter, ATemporaryFolderWithoutRoomIsRefused)
{
    const size_t kLongestBase = TMP_MAX_FOLDER - 1 - strlen(VARDEX_RUN_FOLDER);
    struct Case {
        const char* what;
        bool viaTmpdirOption;
        size_t length;
        int status;
    };
    const Case cases[] = {
        {"--tmpdir at the limit", true, kLongestBase, 0},
        {"--tmpdir one past it", true, kLongestBase + 1, 1},
        {"--tmpdir of 250 bytes", true, 250, 1},
        {"TMPDIR at the limit", false, kLongestBase, 0},
        {"TMPDIR one past it", false, kLongestBase + 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        MakeFile(t.file("x.pdf"), MakeFlatePdf(kShapes));
        ASSERT_LT(t.tmp.path().size() + 20, c.length);
        std::string base = testutil::PaddedPath(t.tmp.path(), c.length);
        ASSERT_EQ(base.size(), c.length);
        std::string cmd = "cd " + Quote(t.cwd) + " && mkdir -p " + Quote(base) + " && TMPDIR=" +
                          Quote(c.viaTmpdirOption ? t.tmp.file("tmp") : base) + " " + Quote(kVardex) +
                          " -q " + (c.viaTmpdirOption ? "--tmpdir " + Quote(base) + " " : "") +
                          "-o out x.pdf 2>../stderr.txt";
        EXPECT_EQ(testutil::RunCommand(cmd), c.status);
        std::string err = Messages(testutil::ReadFile(t.tmp.file("stderr.txt")));
        if (c.status == 1) {
            EXPECT_NE(err.find("too long"), std::string::npos) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_FALSE(testutil::FileExists(t.file("out/x.XPS")));
            EXPECT_EQ(Entries(base), std::vector<std::string>{});
        } else {
            EXPECT_TRUE(IsZipPackage(t.file("out/x.XPS"))) << err;
        }
    }
}

// A run that is stopped leaves no package, whole or broken, and no private folder.
TEST(Converter, AStoppedRunLeavesNothingBehind)
{
    std::string rects;
    for (int i = 0; i < 60000; i++)
        rects += std::to_string(i % 197) + "." + std::to_string(i % 7) + " " + std::to_string(i % 89) +
                 " 3 3 re f\n";
    struct Case {
        const char* what;
        std::string command;  // run in the working folder with TMPDIR=../tmp
    };
    const std::string vardex = Quote(kVardex);
    const Case cases[] = {
        // Stopped while it draws the page, whatever the build's speed: a fixed wait outlasts
        // the whole run of a fast build.
        {"SIGTERM", vardex + " -q -o out x.pdf & for i in $(seq 2000); do "
                             "[ -e ../tmp/vardex.*/1.fpage ] && break; sleep 0.005; done; "
                             "kill -TERM $!; wait $!"},
        {"SIGPIPE", vardex + " --stdout x.pdf | head -c 10 >/dev/null"},
        {"SIGXFSZ", "ulimit -f 256; " + vardex + " -q -o out x.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        MakeFile(t.file("x.pdf"), MakeFlatePdf(rects));
        testutil::RunCommand("cd " + Quote(t.cwd) + " && mkdir out && export TMPDIR=../tmp && (" +
                             c.command + ") 2>/dev/null");
        EXPECT_EQ(Entries(t.file("out")), std::vector<std::string>{});
        EXPECT_EQ(Entries(t.tmp.file("tmp")), std::vector<std::string>{});
    }
}

}  // namespace

namespace {

// Only regular files (and links to them) are opened as documents: a named pipe would hang
// the run. Found by a search it is passed by; named as an argument it fails the run.
TEST(Converter, PipesAndDevicesAreNotOpened)
{
    struct Case {
        const char* what;
        std::string args;
        int status;
        std::set<std::string> packages;
        const char* err;
    };
    const Case cases[] = {
        {"a pipe matched by a wildcard", "-q 'docs/*.pdf'", 0, {"a.XPS", "l.XPS"}, "passed by"},
        {"a pipe in a folder", "-q docs", 0, {"a.XPS", "l.XPS"}, "passed by"},
        {"a pipe named as an argument", "-q docs/p.pdf docs/a.pdf", 1, {"a.XPS"}, "docs/p.pdf: not a regular file"},
        {"a device named as an argument", "-q /dev/zero", 1, {}, "/dev/zero: not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        MakeFile(t.file("docs/a.pdf"), MakePdf());
        ASSERT_EQ(symlink("a.pdf", t.file("docs/l.pdf").c_str()), 0);
        ASSERT_EQ(testutil::RunCommand("mkfifo " + Quote(t.file("docs/p.pdf"))), 0);
        // A run that opened the pipe would wait for a writer for ever.
        Result r;
        r.status = testutil::RunCommand("cd " + Quote(t.cwd) + " && TMPDIR=../tmp timeout 20 " +
                                        Quote(kVardex) + " " + c.args + " 2>../stderr.txt");
        r.err = Messages(testutil::ReadFile(t.tmp.file("stderr.txt")));
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(Packages(t.cwd), c.packages);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

// A package never replaces the file it is made from, whatever name reaches it.
TEST(Converter, APackageNeverReplacesItsInput)
{
    struct Case {
        const char* what;
        const char* prepare;  // shell run in the working folder
        const char* args;
        const char* input;
        const char* otherPackage;  // b.pdf's, which is still made
    };
    const Case cases[] = {
        {"input named like its package", "true", "-q X.XPS", "X.XPS", "b.XPS"},
        {"through a linked output folder", "ln -s . here", "-q -o here X.XPS", "X.XPS", "b.XPS"},
        {"a hard link at the package", "mkdir out && ln x.pdf out/x.XPS", "-q -o out x.pdf", "x.pdf",
         "out/b.XPS"},
    };
    const std::string pdf = MakePdf();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree t;
        MakeFile(t.file(c.input), pdf);
        MakeFile(t.file("b.pdf"), pdf);
        ASSERT_EQ(testutil::RunCommand("cd " + Quote(t.cwd) + " && " + c.prepare), 0);
        Result r = RunVardex(t.cwd, std::string(c.args) + " b.pdf");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("would replace it"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(testutil::ReadFile(t.file(c.input)) == pdf);
        EXPECT_TRUE(IsZipPackage(t.file(c.otherPackage)));
    }
}

// Packages written one after another to standard output each stand alone: every offset in
// a package counts from the package's own first byte, into a pipe or into a file.
TEST(Converter, EveryPackageOnStandardOutputStandsAlone)
{
    Tree t;
    MakeFile(t.file("a.pdf"), MakePdf());
    MakeFile(t.file("b.pdf"), MakePdf("10 10 50 50 re f\n", "[0 0 300 300]"));
    Result one = RunVardex(t.cwd, "--stdout a.pdf");
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_TRUE(IsZipPackage([&] {
        testutil::WriteFile(t.file("one.xps"), one.out);
        return t.file("one.xps");
    }()));
    for (const char* sink : {" >../both.bin", " | cat >../both.bin", " 1<>../both.bin"}) {
        SCOPED_TRACE(sink);
        remove(t.tmp.file("both.bin").c_str());
        Result r = RunVardex(t.cwd, "--stdout a.pdf b.pdf", sink);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string both = testutil::ReadFile(t.tmp.file("both.bin"));
        ASSERT_GT(both.size(), one.out.size());
        EXPECT_TRUE(both.compare(0, one.out.size(), one.out) == 0);
        ASSERT_TRUE(testutil::WriteFile(t.file("second.xps"), both.substr(one.out.size())));
        EXPECT_TRUE(IsZipPackage(t.file("second.xps")));
        if (testutil::HaveTool("mutool")) {
            EXPECT_EQ(testutil::RunCommand("mutool draw -q -o " + Quote(t.file("p.png")) + " " +
                                           Quote(t.file("second.xps")) + " 1 >/dev/null 2>&1"),
                      0);
        }
    }
}

}  // namespace
