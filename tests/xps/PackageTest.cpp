#include "Xps/Package.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestUtil.h"
#include "XpsTestUtil.h"

using testutil::ReadFile;
using testutil::RunCommand;
using testutil::TempDir;
using testutil::WriteFile;
using xpstest::CentralDirectory;
using xpstest::CentralEntry;

namespace {

std::vector<std::string> Names(const std::string& zipPath)
{
    std::vector<std::string> names;
    for (const CentralEntry& e : CentralDirectory(ReadFile(zipPath)))
        names.push_back(e.name);
    return names;
}

bool UnzipTestPasses(const std::string& zipPath)
{
    return RunCommand("unzip -tqq '" + zipPath + "' >/dev/null 2>&1") == 0;
}

std::string EntryBytes(const std::string& zipPath, const std::string& name)
{
    std::string out;
    RunCommand("unzip -p '" + zipPath + "' '" + name + "' 2>/dev/null", &out);
    return out;
}

std::string Pattern(size_t size, unsigned seed)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; i++) {
        seed = seed * 1103515245u + 12345u;
        s[i] = (char)(seed >> 16);
    }
    return s;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

TEST(Package, EntriesReadBackWhole)
{
    TempDir dir;
    // Sizes around the copy block (64 KiB) and the stream's own (4 KiB), including exact
    // multiples of them.
    const std::vector<size_t> sizes = {0, 1, 4095, 4096, 8192, 10000, 65535, 65536, 131072, 200000};
    for (size_t i = 0; i < sizes.size(); i++)
        ASSERT_TRUE(WriteFile(dir.file("f" + std::to_string(i) + ".bin"), Pattern(sizes[i], (unsigned)i)));
    const std::string zip = dir.file("out.zip");
    const unsigned char raw[] = {0, 1, 2, 255, 254};

    std::string err = testutil::Captured(stderr, dir.file("err"), [&] {
        Package pkg;
        ASSERT_EQ(0, pkg.Create(zip.c_str(), dir.path().c_str()));
        ASSERT_EQ(0, pkg.OpenForWrite("top.xml", false));
        EXPECT_EQ(0, pkg.Write("<a n=\"%d\">%s</a>\n", 7, "x"));
        EXPECT_EQ(0, pkg.CloseWrite());
        ASSERT_EQ(0, pkg.SetFolder("Documents/1"));
        ASSERT_EQ(0, pkg.OpenForWrite("raw.bin", false));
        EXPECT_EQ(0, pkg.Write(raw, (int)sizeof raw));
        EXPECT_EQ(0, pkg.CloseWrite());
        ASSERT_EQ(0, pkg.SetFolder("Resources/"));
        for (size_t i = 0; i < sizes.size(); i++)
            EXPECT_EQ(0, pkg.Add(dir.file("f" + std::to_string(i) + ".bin").c_str(), false)) << i;
        EXPECT_EQ(0, pkg.Close());
    });

    EXPECT_EQ("DEBUG: pszPackageNam NOT null\n", err);  // no trace lines with a named file
    ASSERT_TRUE(UnzipTestPasses(zip));
    std::vector<std::string> want = {"top.xml", "Documents/1/raw.bin"};
    for (size_t i = 0; i < sizes.size(); i++)
        want.push_back("Resources/f" + std::to_string(i) + ".bin");
    EXPECT_EQ(want, Names(zip));
    for (const CentralEntry& e : CentralDirectory(ReadFile(zip)))
        EXPECT_EQ(8u, e.method) << e.name;
    EXPECT_EQ("<a n=\"7\">x</a>\n", EntryBytes(zip, "top.xml"));
    EXPECT_EQ(std::string((const char*)raw, sizeof raw), EntryBytes(zip, "Documents/1/raw.bin"));
    for (size_t i = 0; i < sizes.size(); i++)
        EXPECT_EQ(Pattern(sizes[i], (unsigned)i), EntryBytes(zip, want[2 + i])) << sizes[i];
}

// Entries asked to be stored keep their bytes as they are (method 0), whether copied from a
// file or written piece by piece, and sit beside deflated ones in a sound archive.
TEST(Package, StoredEntriesKeepTheirBytes)
{
    TempDir dir;
    const std::vector<size_t> sizes = {0, 4096, 10000};
    for (size_t i = 0; i < sizes.size(); i++)
        ASSERT_TRUE(WriteFile(dir.file("s" + std::to_string(i) + ".png"), Pattern(sizes[i], (unsigned)i + 40)));
    const std::string zip = dir.file("out.zip");
    const std::string text = Pattern(5000, 99);

    testutil::Captured(stderr, dir.file("err"), [&] {
        Package pkg;
        ASSERT_EQ(0, pkg.Create(zip.c_str(), dir.path().c_str()));
        ASSERT_EQ(0, pkg.OpenForWrite("written.jpg", true));
        EXPECT_EQ(0, pkg.Write((const unsigned char*)text.data(), 2000));
        EXPECT_EQ(0, pkg.Write((const unsigned char*)text.data() + 2000, 3000));
        EXPECT_EQ(0, pkg.CloseWrite());
        ASSERT_EQ(0, pkg.OpenForWrite("deflated.xml", false));
        EXPECT_EQ(0, pkg.Write("%s", "<a/>"));
        EXPECT_EQ(0, pkg.CloseWrite());
        for (size_t i = 0; i < sizes.size(); i++)
            EXPECT_EQ(0, pkg.Add(dir.file("s" + std::to_string(i) + ".png").c_str(), true)) << i;
        EXPECT_EQ(0, pkg.Close());
    });

    ASSERT_TRUE(UnzipTestPasses(zip));
    const std::vector<CentralEntry> entries = CentralDirectory(ReadFile(zip));
    ASSERT_EQ(2 + sizes.size(), entries.size());
    for (const CentralEntry& e : entries)
        EXPECT_EQ(e.name == "deflated.xml" ? 8u : 0u, e.method) << e.name;
    EXPECT_EQ(text, EntryBytes(zip, "written.jpg"));
    for (size_t i = 0; i < sizes.size(); i++)
        EXPECT_EQ(Pattern(sizes[i], (unsigned)i + 40), EntryBytes(zip, "s" + std::to_string(i) + ".png"))
            << sizes[i];
}

TEST(Package, NamesAreStoredOnce)
{
    TempDir dir;
    ASSERT_EQ(0, mkdir(dir.file("other").c_str(), 0755));
    ASSERT_TRUE(WriteFile(dir.file("img.png"), "first"));
    ASSERT_TRUE(WriteFile(dir.file("other/img.png"), "second"));
    const std::string zip = dir.file("out.zip");
    const std::string longName(300, 'n');
    const std::string refused = "DEBUG: Failed  in Package::OpenForWrite\n";

    Package pkg;
    ASSERT_EQ(0, pkg.Create(zip.c_str(), nullptr));
    pkg.SetFolder("Resources");
    ASSERT_EQ(0, pkg.OpenForWrite("A.PNG", false));
    pkg.Write("kept");
    pkg.CloseWrite();
    EXPECT_EQ(0, pkg.Add(dir.file("img.png").c_str(), false));

    struct {
        std::string name;
        int locateExact;   // zipLocateFile with caseSensitivity 1
        int locateFolded;  // with 0, as the package uses it
    } lookups[] = {
        {"Resources/A.PNG", 0, 0},
        {"resources/a.png", ZIP_INTERNALERROR, 0},
        {"Resources/A.PN", ZIP_INTERNALERROR, ZIP_INTERNALERROR},
        {"Resources/img.png", 0, 0},
        {"A.PNG", ZIP_INTERNALERROR, ZIP_INTERNALERROR},
    };
    for (const auto& c : lookups) {
        EXPECT_EQ(c.locateExact, zipLocateFile(pkg.handle, c.name.c_str(), 1)) << c.name;
        EXPECT_EQ(c.locateFolded, zipLocateFile(pkg.handle, c.name.c_str(), 0)) << c.name;
    }
    EXPECT_EQ(ZIP_INTERNALERROR, zipLocateFile((zipFile)&pkg, "Resources/A.PNG", 0));

    std::string err = testutil::Captured(stderr, dir.file("err"), [&] {
        // Refused entries: the following Write finds no open entry and cannot reach A.PNG.
        EXPECT_EQ(-1, pkg.OpenForWrite("A.PNG", false));
        EXPECT_LT(pkg.Write("lost"), 0);
        EXPECT_EQ(-1, pkg.OpenForWrite("a.png", false));
        // The same file twice, and another file of the same name: one entry, the first.
        EXPECT_EQ(0, pkg.Add(dir.file("img.png").c_str(), false));
        EXPECT_EQ(0, pkg.Add(dir.file("other/img.png").c_str(), false));
        // A name longer than any directory buffer is still found.
        EXPECT_EQ(0, pkg.OpenForWrite(longName.c_str(), false));
        pkg.CloseWrite();
        EXPECT_EQ(-1, pkg.OpenForWrite(longName.c_str(), false));
    });
    EXPECT_EQ(refused + refused + refused, err);
    ASSERT_EQ(0, pkg.Close());

    ASSERT_TRUE(UnzipTestPasses(zip));
    std::vector<std::string> want = {"Resources/A.PNG", "Resources/img.png", "Resources/" + longName};
    EXPECT_EQ(want, Names(zip));
    EXPECT_EQ("kept", EntryBytes(zip, "Resources/A.PNG"));
    EXPECT_EQ("first", EntryBytes(zip, "Resources/img.png"));
}

TEST(Package, UnreadableFilesGiveNoEntry)
{
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("good.txt"), "good"));
    ASSERT_TRUE(WriteFile(dir.file("empty.txt"), ""));
    ASSERT_EQ(0, mkdir(dir.file("folder.png").c_str(), 0755));
    const std::string zip = dir.file("out.zip");

    struct {
        std::string path;
        int result;
    } cases[] = {
        {dir.file("missing.png"), 1},
        {dir.file("folder.png"), -1},  // opens, but cannot be read
        {dir.path() + "/" + std::string(300, 'p') + ".png", 1},  // longer than a path buffer
        {"", 1},
    };
    Package pkg;
    ASSERT_EQ(0, pkg.Create(zip.c_str(), nullptr));
    pkg.SetFolder("Resources");
    for (const auto& c : cases)
        EXPECT_EQ(c.result, pkg.Add(c.path.c_str(), false)) << c.path;
    EXPECT_EQ(0, pkg.Add(dir.file("empty.txt").c_str(), false));  // readable, merely empty
    EXPECT_EQ(0, pkg.Add(dir.file("good.txt").c_str(), false));
    ASSERT_EQ(0, pkg.Close());

    ASSERT_TRUE(UnzipTestPasses(zip));
    EXPECT_EQ((std::vector<std::string>{"Resources/empty.txt", "Resources/good.txt"}), Names(zip));
    EXPECT_EQ("good", EntryBytes(zip, "Resources/good.txt"));
}

TEST(Package, FormattedTextOfAnyLengthIsWrittenWhole)
{
    TempDir dir;
    const std::string zip = dir.file("out.zip");
    // "<%s|%d>" adds five bytes: the texts end just below, at and beyond the first buffer.
    const std::vector<size_t> lengths = {2042, 2043, 2044, 100000};
    Package pkg;
    ASSERT_EQ(0, pkg.Create(zip.c_str(), nullptr));
    for (size_t len : lengths) {
        ASSERT_EQ(0, pkg.OpenForWrite(("t" + std::to_string(len)).c_str(), false));
        EXPECT_EQ(0, pkg.Write("<%s|%d>", std::string(len, 'x').c_str(), 42)) << len;
        pkg.CloseWrite();
    }
    ASSERT_EQ(0, pkg.Close());
    ASSERT_TRUE(UnzipTestPasses(zip));
    for (size_t len : lengths)
        EXPECT_EQ("<" + std::string(len, 'x') + "|42>", EntryBytes(zip, "t" + std::to_string(len)));
}

TEST(Package, FailuresAreReported)
{
    TempDir dir;
    std::string err = testutil::Captured(stderr, dir.file("err"), [&] {
        Package pkg;
        EXPECT_EQ(1, pkg.Create(dir.file("no/such/folder/out.zip").c_str(), nullptr));
        EXPECT_NE(0, pkg.OpenForWrite("a.xml", false));
        EXPECT_NE(0, pkg.Write("text"));
        EXPECT_EQ(0, pkg.Close());
    });
    EXPECT_EQ("DEBUG: pszPackageNam NOT null\nDEBUG: Failed to create in zipOpen2\n", err);

    if (testutil::FileExists("/dev/full")) {
        Package pkg;
        ASSERT_EQ(0, pkg.Create("/dev/full", nullptr));
        pkg.OpenForWrite("a.xml", false);
        pkg.Write("%s", std::string(200000, 'a').c_str());
        pkg.CloseWrite();
        EXPECT_NE(0, pkg.Close());
    }
}

// A package file that cannot take all its bytes (a full disk, a file size limit) is no
// package: closing it fails, and neither it nor its temporary name is left.
TEST(Package, APackageNotWrittenWholeFails)
{
    TempDir dir;
    const std::string zip = dir.file("out.zip");
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        testutil::FileSizeLimit limit(300 * 1024);
        Package pkg;
        if (pkg.Create(zip.c_str(), dir.path().c_str()) != 0)
            _exit(2);
        const std::string bytes = Pattern(1000000, 5);
        pkg.OpenForWrite("a.bin", true);
        pkg.Write((const unsigned char*)bytes.data(), (int)bytes.size());
        pkg.CloseWrite();
        _exit(pkg.Close() != 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "1: the close reported success";
    std::string left;
    RunCommand("ls -A '" + dir.path() + "'", &left);
    EXPECT_EQ("", left);
}

// Writes the same entries whichever way the archive goes out, with `extra` small stored
// entries more after them.
int WriteSample(Package& pkg, const std::string& resource, int extra = 0)
{
    int rc = 0;
    rc |= pkg.OpenForWrite("FixedDocumentSequence.fdseq", false);
    rc |= pkg.Write("<FixedDocumentSequence>%s</FixedDocumentSequence>\n", "x");
    rc |= pkg.CloseWrite();
    pkg.SetFolder("Resources");
    rc |= pkg.Add(resource.c_str(), false);
    pkg.Add(resource.c_str(), false);
    rc |= pkg.OpenForWrite("big.txt", false);
    rc |= pkg.Write("%s", Pattern(150000, 3).c_str());
    rc |= pkg.CloseWrite();
    // A part longer than the block a package file gathers its bytes in (its header is
    // completed after it left the block), and many small ones completed inside it.
    const std::string huge = Pattern(1500000, 4);
    rc |= pkg.OpenForWrite("huge.bin", true);
    rc |= pkg.Write((const unsigned char*)huge.data(), (int)huge.size());
    rc |= pkg.CloseWrite();
    for (int i = 0; i < 40; i++) {
        rc |= pkg.OpenForWrite(("small" + std::to_string(i) + ".xml").c_str(), i % 2 == 0);
        rc |= pkg.Write("<s n=\"%d\"/>\n", i);
        rc |= pkg.CloseWrite();
    }
    pkg.SetFolder("Many");
    for (int i = 0; i < extra; i++) {
        rc |= pkg.OpenForWrite(std::to_string(i).c_str(), true);
        rc |= pkg.Write("%d", i % 10);
        rc |= pkg.CloseWrite();
    }
    return rc;
}
// Entries of the sample without extra ones.
const int kSampleEntries = 44;

// StdoutFile is opened for writing only, StdoutReadWrite for reading as well.
enum class Out { Path, StdoutFile, StdoutReadWrite, StdoutPipe, StdoutAppending };

// Writes the sample archive in a child process (standard output is replaced there); returns
// the archive's bytes and what went to standard error.
bool WriteInChild(Out how, const TempDir& dir, std::string* bytes, std::string* err, int extra = 0)
{
    const std::string resource = dir.file("res.bin");
    WriteFile(resource, Pattern(9000, 1));
    const std::string outFile = dir.file("out.zip");
    const std::string errFile = dir.file("err.txt");
    const std::string spool = dir.file("spool");
    mkdir(spool.c_str(), 0755);
    unlink(outFile.c_str());

    int pipeFds[2] = {-1, -1};
    if (how == Out::StdoutPipe && pipe(pipeFds) != 0)
        return false;
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        int errFd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(errFd, 2);
        if (how == Out::StdoutPipe) {
            close(pipeFds[0]);
            dup2(pipeFds[1], 1);
        } else if (how != Out::Path) {
            int flags = (how == Out::StdoutReadWrite ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC |
                        (how == Out::StdoutAppending ? O_APPEND : 0);
            dup2(open(outFile.c_str(), flags, 0644), 1);
        }
        Package pkg;
        int rc = pkg.Create(how == Out::Path ? outFile.c_str() : nullptr, spool.c_str());
        rc |= WriteSample(pkg, resource, extra);
        rc |= pkg.Close();
        // Standard output stays open for whatever the process writes next.
        if (fcntl(1, F_GETFD) == -1)
            rc |= 1;
        fflush(stdout);
        _exit(rc == 0 ? 0 : 1);
    }
    std::string piped;
    if (how == Out::StdoutPipe) {
        close(pipeFds[1]);
        char buf[65536];
        ssize_t n;
        while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
            piped.append(buf, (size_t)n);
        close(pipeFds[0]);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    *bytes = how == Out::StdoutPipe ? piped : ReadFile(outFile);
    *err = ReadFile(errFile);
    if (how == Out::StdoutPipe)
        WriteFile(outFile, piped);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(Package, StandardOutputGivesTheSameArchiveOnAnyStream)
{
    TempDir dir;
    std::string reference, err;
    ASSERT_TRUE(WriteInChild(Out::Path, dir, &reference, &err));
    ASSERT_TRUE(UnzipTestPasses(dir.file("out.zip")));
    EXPECT_EQ("DEBUG: pszPackageNam NOT null\n", err);

    const std::string traces[] = {"fopen_file_func\n", "fwrite_file_func\n", "ftell_file_func\n",
                                  "fseek_file_func\n", "fclose_file_func\n"};
    const struct {
        Out how;
        const char* label;
    } streams[] = {
        {Out::StdoutFile, "seekable file"},
        {Out::StdoutReadWrite, "seekable file open for reading too"},
        {Out::StdoutPipe, "pipe"},
        {Out::StdoutAppending, "file opened for appending"},
    };
    for (const auto& s : streams) {
        std::string bytes;
        ASSERT_TRUE(WriteInChild(s.how, dir, &bytes, &err)) << s.label;
        EXPECT_TRUE(bytes == reference) << s.label << ": " << bytes.size() << " bytes, want "
                                        << reference.size();
        EXPECT_TRUE(UnzipTestPasses(dir.file("out.zip"))) << s.label;
        EXPECT_EQ(0u, err.find("DEBUG: pszPackageNam should be null\n")) << s.label;
        for (const std::string& t : traces)
            EXPECT_GT(Count(err, t), 0u) << s.label << " " << t;
        // Nothing else goes to standard error, and no spooled copy is left behind.
        size_t lines = Count(err, "\n");
        size_t known = 1;
        for (const char* t : {"fopen_file_func\n", "fread_file_func\n", "fwrite_file_func\n",
                              "ftell_file_func\n", "fseek_file_func\n", "fclose_file_func\n",
                              "ferror_file_func\n"})
            known += Count(err, t);
        EXPECT_EQ(lines, known) << s.label;
        std::string left;
        RunCommand("ls -A '" + dir.file("spool") + "'", &left);
        EXPECT_EQ("", left) << s.label;
    }
}

// The entries an archive's end records count: the zip64 end record's total where a locator
// precedes the end record, else the end record's own; -1 when they do not read.
long long EndRecordCount(const std::string& zip, bool* zip64)
{
    using xpstest::Le16;
    using xpstest::Le32;
    *zip64 = false;
    if (zip.size() < 22 + 20 + 56 || Le32(zip, zip.size() - 22) != 0x06054b50)
        return -1;
    const size_t locator = zip.size() - 22 - 20;
    if (Le32(zip, locator) != 0x07064b50)
        return Le16(zip, zip.size() - 22 + 10);
    *zip64 = true;
    size_t at = Le32(zip, locator + 8);
    if (at + 56 != locator || Le32(zip, at) != 0x06064b50 || Le32(zip, at + 36) != 0)
        return -1;
    return Le32(zip, at + 32);
}

// An archive of more entries than the end record's 16-bit counts hold (the zip library of
// Debian 12 writes 0xFFFF there from 65,535 on, and the zip64 end records only past 4 GiB)
// gets zip64 end records whatever stream it goes to, and reads whole; below that it keeps
// the end record alone.
TEST(Package, ManyEntriesGetZip64EndRecords)
{
    TempDir dir;
    for (int entries : {65534, 65535, 65536, 70000}) {
        SCOPED_TRACE(entries);
        std::string reference, err;
        ASSERT_TRUE(WriteInChild(Out::Path, dir, &reference, &err, entries - kSampleEntries));
        bool zip64 = false;
        EXPECT_EQ(entries, EndRecordCount(reference, &zip64));
        EXPECT_EQ(entries >= 65535, zip64);
        EXPECT_TRUE(UnzipTestPasses(dir.file("out.zip")));
        std::string listed;
        RunCommand("unzip -Z1 '" + dir.file("out.zip") + "' | wc -l", &listed);
        EXPECT_EQ(entries, atoi(listed.c_str()));
        if (entries != 70000)
            continue;
        EXPECT_EQ("5", EntryBytes(dir.file("out.zip"), "Many/69955"));  // the last one
        for (Out how : {Out::StdoutFile, Out::StdoutReadWrite, Out::StdoutPipe}) {
            std::string bytes;
            ASSERT_TRUE(WriteInChild(how, dir, &bytes, &err, entries - kSampleEntries));
            EXPECT_TRUE(bytes == reference) << (int)how << ": " << bytes.size() << " bytes, want "
                                            << reference.size();
        }
    }
}

}  // namespace
