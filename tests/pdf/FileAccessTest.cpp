#include "Pdf/FileAccess.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "TestUtil.h"

using testutil::StreamOf;

namespace {

TEST(FileAccess, ReadLineEndsAtCrLfCrOrLf)
{
    struct Case { const char* bytes; const char* line; int next; };
    const Case cases[] = {
        {"abc\r\ndef", "abc", 'd'},
        {"abc\rdef", "abc", 'd'},
        {"abc\ndef", "abc", 'd'},
        {"\ndef", "", 'd'},
    };
    for (const Case& c : cases) {
        FILE* fp = StreamOf(c.bytes);
        char buf[32];
        EXPECT_EQ(pdfreadline(fp, buf, sizeof buf), (int)strlen(c.line)) << c.bytes;
        EXPECT_STREQ(buf, c.line);
        EXPECT_EQ(pdfreadbyte(fp), c.next);
        fclose(fp);
    }
}

TEST(FileAccess, ReadLineSplitsAtBufferSizeAndStopsAtEof)
{
    FILE* fp = StreamOf("abcdef\n");
    char buf[4];
    EXPECT_EQ(pdfreadline(fp, buf, 4), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(pdfreadline(fp, buf, 4), 3);
    EXPECT_STREQ(buf, "def");
    EXPECT_EQ(pdfreadline(fp, buf, 4), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(pdfreadline(fp, buf, 1), 0);
    EXPECT_EQ(pdfreadline(fp, buf, 0), 0);
    fclose(fp);
}

TEST(FileAccess, ReadPeekAndShortReads)
{
    FILE* fp = StreamOf("wxyz");
    EXPECT_EQ(pdfpeekbyte(fp), 'w');
    EXPECT_EQ(pdfpeekbyte(fp), 'w');
    char buf[10];
    EXPECT_EQ(pdfread(fp, buf, 10), 4);
    EXPECT_EQ(pdfread(fp, buf, 10), -1);
    EXPECT_EQ(pdfreadbyte(fp), -1);
    EXPECT_EQ(pdfpeekbyte(fp), -1);
    fclose(fp);
}

TEST(FileAccess, OpenFailureLeavesOutUntouched)
{
    FILE* fp = reinterpret_cast<FILE*>(0x1);
    EXPECT_EQ(pdfopenfile(&fp, "/nonexistent/dir/file.pdf"), -1);
    EXPECT_EQ(fp, reinterpret_cast<FILE*>(0x1));
    EXPECT_EQ(pdfcreatfile(&fp, "/nonexistent/dir/file.pdf"), -1);
    EXPECT_EQ(fp, reinterpret_cast<FILE*>(0x1));
}

TEST(FileAccess, FileNameFromPath)
{
    struct Case { const char* path; bool noExt; const char* name; };
    const Case cases[] = {
        {"C:\\dir\\file.pdf", false, "file.pdf"},
        {"C:\\dir\\file.pdf", true, "file"},
        {"/a/b/c.txt", false, "c.txt"},
        {"//server/share", false, "share"},
        {"plain.name.pdf", false, "plain.name.pdf"},
        {"plain.name.pdf", true, "plain.name"},
        {".hidden", true, ""},
        {"/x", false, "x"},
    };
    for (const Case& c : cases) {
        char dst[PDF_MAX_PATH];
        GetFileNameFromPath(c.path, dst, c.noExt);
        EXPECT_STREQ(dst, c.name) << c.path;
    }
}

TEST(FileAccess, FileNameFromLongPathIsBounded)
{
    std::string longName(1000, 'n');
    char dst[PDF_MAX_PATH + 8];
    memset(dst, 'X', sizeof dst);
    GetFileNameFromPath(("dir/" + longName).c_str(), dst, false);
    EXPECT_EQ(strlen(dst), (size_t)PDF_MAX_PATH - 1);
    EXPECT_EQ(dst[PDF_MAX_PATH], 'X');
}

}  // namespace
