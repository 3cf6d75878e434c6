#include "Apps/converter/PathUtils.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Pdf/FileAccess.h"
#include "TestUtil.h"

namespace {

// A buffer of `size` bytes holding `text`, with guard bytes after it to catch a write past
// the size that was passed.
struct Buffer {
    char bytes[PDF_MAX_PATH + 16];
    Buffer(const char* text) { memset(bytes, 'G', sizeof bytes); strcpy(bytes, text); }
    bool GuardIntact(size_t size) const
    {
        for (size_t i = size; i < sizeof bytes; i++)
            if (bytes[i] != 'G')
                return false;
        return true;
    }
};

TEST(PathUtils, MakeFullPathJoinsOnceAndRefusesWhatDoesNotFit)
{
    struct Case { const char* path; const char* name; size_t size; const char* result; };
    const std::string longName(300, 'n');
    const Case cases[] = {
        {"out", "a.XPS", PDF_MAX_PATH, "out/a.XPS"},
        {"out/", "a.XPS", PDF_MAX_PATH, "out/a.XPS"},
        {"C:\\out\\", "a.XPS", PDF_MAX_PATH, "C:\\out\\a.XPS"},
        {"", "a.XPS", PDF_MAX_PATH, "a.XPS"},
        {"abcd", "efghi", 11, "abcd/efghi"},  // exactly fits with its terminator
        {"abcd", "efghi", 10, nullptr},
        {"out", longName.c_str(), PDF_MAX_PATH, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " + " + std::string(c.name).substr(0, 20));
        Buffer buf(c.path);
        char* r = MakeFullPath(buf.bytes, c.name, c.size);
        if (c.result) {
            EXPECT_EQ(r, buf.bytes);
            EXPECT_STREQ(buf.bytes, c.result);
        } else {
            EXPECT_EQ(r, nullptr);
            EXPECT_STREQ(buf.bytes, c.path);  // untouched, not cut
        }
        EXPECT_TRUE(buf.GuardIntact(c.size));
    }
}

TEST(PathUtils, MakeFullPathCurrentStartsAtTheCurrentFolder)
{
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    char buf[PDF_MAX_PATH * 4];
    ASSERT_NE(MakeFullPathCurrent(buf, "x.pdf", sizeof buf), nullptr);
    EXPECT_EQ(std::string(buf), std::string(cwd) + "/x.pdf");

    size_t tight = strlen(cwd) + strlen("/x.pdf");  // one byte short of the terminator
    strcpy(buf, "before");
    EXPECT_EQ(MakeFullPathCurrent(buf, "x.pdf", tight), nullptr);
    EXPECT_STREQ(buf, "before");
}

TEST(PathUtils, NewExtReplacesTheLastExtension)
{
    struct Case { const char* name; const char* ext; int digits; size_t size; const char* result; };
    const Case cases[] = {
        {"doc.pdf", "XPS", 0, PDF_MAX_PATH, "doc.XPS"},
        {"a.b.c", "XPS", 0, PDF_MAX_PATH, "a.b.XPS"},
        {".hidden", "XPS", 0, PDF_MAX_PATH, ".hidden.XPS"},
        {"README", "XPS", 0, PDF_MAX_PATH, "README.XPS"},
        {"a.", "XPS", 0, PDF_MAX_PATH, "a.XPS"},
        {"", "XPS", 0, PDF_MAX_PATH, ".XPS"},
        {"page.pdf", "png", 3, PDF_MAX_PATH, "page%03d.png"},
        {"page", "png", -1, PDF_MAX_PATH, "page_%d.png"},
        {"doc.pdf", "XPS", 0, 8, "doc.XPS"},
        {"doc.pdf", "XPSX", 0, 8, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer buf(c.name);
        char* r = NewExt(buf.bytes, c.ext, c.digits, c.size);
        if (c.result) {
            EXPECT_EQ(r, buf.bytes);
            EXPECT_STREQ(buf.bytes, c.result);
        } else {
            EXPECT_EQ(r, nullptr);
            EXPECT_STREQ(buf.bytes, c.name);
        }
        EXPECT_TRUE(buf.GuardIntact(c.size));
    }
}

TEST(PathUtils, WildcardMatching)
{
    struct Case { const char* pattern; const char* text; int match; };
    const Case cases[] = {
        {"*.PDF", "A.PDF", 1},
        {"*.PDF", ".PDF", 1},
        {"*.PDF", "A.PDF.BAK", 0},
        {"*.PDF", "A.PDF.PDF", 1},
        {"A?D", "ABD", 1},
        {"A?D", "AD", 0},
        {"*", "", 1},
        {"", "", 1},
        {"", "A", 0},
        {"A*B*D", "AXXBYYD", 1},
        {"A*B*D", "AXXBYYDX", 0},
        {"*.pdf", "A.PDF", 0},
        {"**a", "bba", 1},
        {"a*", "a", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcmp(c.pattern, c.text), c.match) << c.pattern << " vs " << c.text;
}

TEST(PathUtils, FolderPartOfAPath)
{
    struct Case { const char* path; bool found; const char* folder; };
    const std::string longPath = std::string(300, 'd') + "/x.pdf";
    const Case cases[] = {
        {"docs/a/b.pdf", true, "docs/a"},
        {"docs\\a\\b.pdf", true, "docs\\a"},
        {"/doc.pdf", true, ""},
        {"doc.pdf", false, ""},
        {"", false, ""},
        {longPath.c_str(), false, ""},  // does not fit: no folder part made of its head
    };
    for (const Case& c : cases) {
        char out[PDF_MAX_PATH] = "junk";
        EXPECT_EQ(GetPathFromFileName(c.path, out, sizeof out), c.found) << c.path;
        EXPECT_STREQ(out, c.folder);
    }
}

TEST(PathUtils, BuildPathJoinsAndNormalises)
{
    struct Case { const char* base; const char* rel; char sep; size_t size; const char* result; };
    const Case cases[] = {
        {"/home/u", "docs\\a", '/', PDF_MAX_PATH, "/home/u/docs/a"},
        {"D:\\x\\", "/y/", '/', PDF_MAX_PATH, "D:/x/y"},
        {"/", "", '/', PDF_MAX_PATH, ""},
        {"/a/b//", "", '/', PDF_MAX_PATH, "/a/b"},
        {"/a/b", "//\\", '/', PDF_MAX_PATH, "/a/b"},
        {nullptr, "rel/x", '\\', PDF_MAX_PATH, "rel\\x"},
        {"/base", nullptr, '/', PDF_MAX_PATH, "/base"},
        {"/ab", "cd", '/', 7, "/ab/cd"},
        {"/ab", "cde", '/', 7, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base ? c.base : "(null)") + " + " + (c.rel ? c.rel : "(null)"));
        Buffer buf("keep");
        char* r = BuildPath(buf.bytes, c.base, c.rel, c.sep, c.size);
        if (c.result) {
            EXPECT_EQ(r, buf.bytes);
            EXPECT_STREQ(buf.bytes, c.result);
        } else {
            EXPECT_EQ(r, nullptr);
            EXPECT_STREQ(buf.bytes, "keep");
        }
        EXPECT_TRUE(buf.GuardIntact(c.size));
    }

    // The output may be the base itself.
    char same[PDF_MAX_PATH] = "/home/u/";
    EXPECT_STREQ(BuildPath(same, same, "x", '/', sizeof same), "/home/u/x");
}

TEST(PathUtils, MakeDirectorySucceedsExactlyWhenTheFolderStands)
{
    testutil::TempDir tmp;
    ASSERT_TRUE(testutil::WriteFile(tmp.file("plain"), "x"));
    const std::string tooLong = tmp.path() + "/" + std::string(300, 'l');
    struct Case { std::string path; bool result; };
    const Case cases[] = {
        {tmp.file("new/sub"), true},
        {tmp.file("new/sub"), true},    // exists already
        {tmp.file("slash/"), true},     // a trailing separator is still that folder
        {tmp.file("a/b\\"), true},
        {tmp.file("plain"), false},     // a file, not a folder
        {tmp.file("plain/sub"), false},
        {tooLong, false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeDirectory(c.path.c_str()), c.result) << c.path.substr(0, 80);
        EXPECT_EQ(IsDir(c.path.c_str()), c.result);
    }
    EXPECT_TRUE(IsDir(tmp.file("slash").c_str()));
    EXPECT_FALSE(IsDir(tmp.file("plain").c_str()));
    EXPECT_FALSE(IsDir(tmp.file("missing").c_str()));

    struct stat st;
    ASSERT_EQ(stat(tmp.file("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0700, 0700u);
}

TEST(PathUtils, RandomStringsAreHexOfTwiceTheLength)
{
    char text[41];
    generateRandomStringA(text, 20);
    EXPECT_EQ(strlen(text), 40u);
    EXPECT_EQ(strspn(text, "0123456789abcdef"), 40u);
    generateRandomStringA(text, 0);
    EXPECT_STREQ(text, "");

    wchar_t wide[9];
    generateRandomStringW(wide, 4);
    EXPECT_EQ(wcslen(wide), 8u);
    EXPECT_EQ(wcsspn(wide, L"0123456789abcdef"), 8u);
}

TEST(PathUtils, PackageNameFromInputPath)
{
    struct Case { std::string input; size_t size; const char* name; };
    const Case cases[] = {
        {"/var/spool/d00042-001", PDF_MAX_PATH, "d00042-001.XPS"},
        {"job.pdf", PDF_MAX_PATH, "job.XPS"},
        {"docs/annual.report.pdf", PDF_MAX_PATH, "annual.report.XPS"},
        {"C:\\dir\\x.Pdf", PDF_MAX_PATH, "x.XPS"},
        {"dir.d/README", PDF_MAX_PATH, "README.XPS"},
        {"job.pdf", 8, "job.XPS"},
        {"job.pdf", 7, nullptr},
        {std::string(300, 'p') + "/x.pdf", PDF_MAX_PATH, nullptr},
        {"d/" + std::string(257, 'n'), PDF_MAX_PATH, nullptr},  // fits; with ".XPS" it does not
    };
    for (const Case& c : cases) {
        Buffer buf("keep");
        char* r = MakePackageName(buf.bytes, c.input.c_str(), c.size);
        if (c.name) {
            EXPECT_EQ(r, buf.bytes) << c.input;
            EXPECT_STREQ(buf.bytes, c.name);
        } else {
            EXPECT_EQ(r, nullptr) << c.input.substr(0, 40);
            EXPECT_STREQ(buf.bytes, "keep");
        }
        EXPECT_TRUE(buf.GuardIntact(c.size));
    }
}

}  // namespace
