#include "Pdf/FileAccess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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
// link and opens nothing but a regular file for writing, without ever waiting on a pipe: what
// lies under the name is replaced or refused, and whatever it pointed at is kept.
TEST(FileAccess, CreateNewFileReplacesWhatLiesUnderTheName)
{
    struct Case {
        const char* what;
        const char* setUp;  // shell commands in the folder; "name" is the file made
        int made;           // 1 when the file is made (and empty) in someone else's folder
        int madeInOwn;      // the same in a folder of the program's own
    };
    const Case cases[] = {
        {"nothing there", "true", 1, 1},
        {"a file of its own, longer", "printf 'stale and long' > name", 1, 1},
        {"a symbolic link", "ln -s target name", 1, 1},
        {"a dangling symbolic link", "ln -s nowhere name", 1, 1},
        {"a hard link", "ln target name", 1, 1},
        {"a folder", "mkdir name && touch name/inside", 0, 0},
        {"a pipe", "mkfifo name", 0, 1},
        {"a device", "mknod name c 1 3 2>/dev/null || mkfifo name", 0, 1},
    };
    for (bool ownFolder : {false, true}) {
    for (bool readBack : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (readBack ? ", for reading back" : "") +
                         (ownFolder ? ", own folder" : ""));
            testutil::TempDir dir;
            ASSERT_TRUE(testutil::WriteFile(dir.file("target"), "kept"));
            ASSERT_EQ(testutil::RunCommand("cd '" + dir.path() + "' && " + c.setUp), 0);
            struct stat planted;
            bool special = lstat(dir.file("name").c_str(), &planted) == 0 &&
                           (S_ISFIFO(planted.st_mode) || S_ISCHR(planted.st_mode));
            int fd = CreateNewFile(dir.file("name").c_str(), readBack, ownFolder);
            EXPECT_EQ(fd >= 0, (ownFolder ? c.madeInOwn : c.made) == 1);
            if (fd < 0 && special) {
                // Refused: left as it was.
                struct stat now;
                ASSERT_EQ(lstat(dir.file("name").c_str(), &now), 0);
                EXPECT_EQ(now.st_ino, planted.st_ino);
                EXPECT_EQ(now.st_mode, planted.st_mode);
            }
            if (fd >= 0) {
                EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
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
}

// A file written and read back through one descriptor: it is handed back from its start
// only when every byte reached it; otherwise the caller gets -1 and the reason.
TEST(FileAccess, ReadBackGivesTheFileWrittenWholeFromItsStart)
{
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

    // A stream pdfcreatfile did not make is not taken.
    FILE* other = testutil::StreamOf("x");
    EXPECT_EQ(pdfreadback(other), -1);
    EXPECT_EQ(pdfreadbyte(other), 'x');
    fclose(other);

    // A file that cannot grow past a limit (a full disk), for reading back and not.
    for (bool readBack : {true, false}) {
        SCOPED_TRACE(readBack ? "read back" : "closed");
        testutil::FileSizeLimit limit(4096);
        ASSERT_EQ(pdfcreatfile(&fp, dir.file("big.tmp").c_str(), readBack), 0);
        pdfwrite(fp, bytes.data(), (int)bytes.size());
        errno = 0;
        EXPECT_EQ(readBack ? pdfreadback(fp) : pdfclose(fp), -1);
        EXPECT_EQ(errno, EFBIG);
    }
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
