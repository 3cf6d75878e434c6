#include "Pdf/FileAccess.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// Every file the converter writes is made by CreateNewFile, which never writes through a
// link: what lies under the name is replaced or refused, and whatever it pointed at is kept.
TEST(FileAccess, CreateNewFileReplacesWhatLiesUnderTheName)
{
    struct Case {
        const char* what;
        const char* setUp;  // shell commands in the folder; "name" is the file made
        int made;           // 1 when the file is made (and empty)
    };
    const Case cases[] = {
        {"nothing there", "true", 1},
        {"a file of its own, longer", "printf 'stale and long' > name", 1},
        {"a symbolic link", "ln -s target name", 1},
        {"a dangling symbolic link", "ln -s nowhere name", 1},
        {"a hard link", "ln target name", 1},
        {"a folder", "mkdir name && touch name/inside", 0},
    };
    for (bool readBack : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (readBack ? ", for reading back" : ""));
            testutil::TempDir dir;
            ASSERT_TRUE(testutil::WriteFile(dir.file("target"), "kept"));
            ASSERT_EQ(testutil::RunCommand("cd '" + dir.path() + "' && " + c.setUp), 0);
            int fd = CreateNewFile(dir.file("name").c_str(), readBack);
            EXPECT_EQ(fd >= 0, c.made == 1);
            if (fd >= 0) {
                struct stat st;
                ASSERT_EQ(lstat(dir.file("name").c_str(), &st), 0);
                EXPECT_TRUE(S_ISREG(st.st_mode));
                EXPECT_EQ(st.st_nlink, 1u);
                EXPECT_EQ(st.st_size, 0);
                EXPECT_EQ(write(fd, "new", 3), 3);
                char back[4] = {0};
                EXPECT_EQ(pread(fd, back, 3, 0), readBack ? 3 : -1);
                close(fd);
            }
            EXPECT_EQ(testutil::ReadFile(dir.file("target")), "kept");
        }
    }
}

// A file written and read back through one descriptor: it is handed back from its start
// only when every byte reached it; otherwise the failure counts as any write failure.
TEST(FileAccess, ReadBackGivesTheFileWrittenWholeFromItsStart)
{
    ResetWriteFailures();
    testutil::TempDir dir;
    const std::string path = dir.file("f.tmp");
    FILE* fp = nullptr;
    ASSERT_EQ(pdfcreatfile(&fp, path.c_str(), true), 0);
    const std::string bytes(10000, 'b');
    EXPECT_EQ(pdfwrite(fp, bytes.data(), (int)bytes.size()), (int)bytes.size());
    EXPECT_EQ(pdfwrite(fp, "\nendstream", 10), 10);
    ASSERT_EQ(pdfreadback(fp), 0);
    std::string got(bytes.size() + 10, '\0');
    EXPECT_EQ(pdfread(fp, &got[0], (int)got.size() + 1), (int)got.size());
    EXPECT_EQ(got, bytes + "\nendstream");
    EXPECT_EQ(pdfclose(fp), 0);
    EXPECT_EQ(testutil::ReadFile(path), bytes + "\nendstream");
    EXPECT_EQ(WriteFailures(), 0);

    // A stream pdfcreatfile did not make is not taken.
    FILE* other = testutil::StreamOf("x");
    EXPECT_EQ(pdfreadback(other), -1);
    EXPECT_EQ(pdfreadbyte(other), 'x');
    fclose(other);

    // A device that takes no bytes (a full disk).
    if (testutil::FileExists("/dev/full")) {
        ASSERT_EQ(pdfcreatfile(&fp, "/dev/full", true), 0);
        pdfwrite(fp, bytes.data(), 100);
        EXPECT_EQ(pdfreadback(fp), -1);
        EXPECT_EQ(WriteFailures(), 1);
        int err = 0;
        EXPECT_STREQ(FirstWriteFailure(&err), "/dev/full");
        EXPECT_EQ(err, ENOSPC);
    }
    ResetWriteFailures();
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
