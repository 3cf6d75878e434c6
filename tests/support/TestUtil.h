// Small helpers shared by every test program.
#ifndef VARDEX_TESTS_TESTUTIL_H
#define VARDEX_TESTS_TESTUTIL_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the build tree, removed with its contents when the object dies. With
// `everyUser`, a folder that every user may enter (the spooler's own user, nobody), made in
// /tmp: a checkout may lie where other users cannot reach, such as below /root.
class TempDir {
public:
    explicit TempDir(bool everyUser = false);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in a folder but "." and "..", sorted; none when it cannot be read.
std::vector<std::string> Entries(const std::string& dir);
// An unnamed temporary file holding `bytes`, read from its start; null when none could be had.
FILE* StreamOf(const std::string& bytes);

// Runs body with `stream` (stdout or stderr) sent to `file`; returns what it wrote there.
std::string Captured(FILE* stream, const std::string& file, const std::function<void()>& body);

// While it lives, no file of this process can grow past `bytes` (RLIMIT_FSIZE), and a write
// past that fails with EFBIG instead of raising SIGXFSZ: the process sees a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long oldCur_, oldMax_;
    void (*oldHandler_)(int);
};
// The same for a shell command: prefix that runs it with a full disk at `kib` KiB.
std::string DiskFullAfter(long kib);

// `base` followed by "/ddd..." folders of up to 40 bytes, `length` bytes long in all (a
// path the caller creates). Never a single byte is left over, which no "/" and a name could
// fill; the caller keeps `base` at least two bytes short of `length`.
std::string PaddedPath(const std::string& base, size_t length);

// Runs a shell command; returns its exit status (or -1), with its standard output in *out.
int RunCommand(const std::string& command, std::string* out = nullptr);
// True when a program of that name is on PATH.
bool HaveTool(const std::string& name);

}  // namespace testutil

#endif
