// Zip container writer: the thin layer between the package assembly and minizip. It opens
// the archive on a file or on standard output, starts and ends entries, writes text or bytes
// into the current entry, copies whole files into entries, and never writes a second entry of
// a name the archive already holds.
#ifndef VARDEX_XPS_PACKAGE_H
#define VARDEX_XPS_PACKAGE_H

#include <string>
#include <unordered_set>
#include <vector>

#include <zip.h>

#include "Pdf/FileAccess.h"

class Package {
public:
    zipFile handle;              // null until Create succeeded, and again after Close
    zip_fileinfo info;           // zeroed before every entry: no time stamp, no attributes
    char folder[PDF_MAX_PATH];   // put before every entry name

    Package();
    ~Package();  // closes the archive when Close was not called, as an incomplete one
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Opens the archive on `path`, or on standard output when `path` is null. A file is
    // written under a temporary name beside `path` (".NAME.XXXXXX", removed if the process is
    // stopped by a signal) and takes the name `path` only when Close completes it; an
    // existing device or pipe at `path` is written in place. Standard output
    // that cannot seek back (a pipe, a terminal, a file opened for appending) cannot take the
    // zip library's header fix-ups, nor one that cannot be read the completion of the
    // archive's end records, so the archive is then written to a temporary file in
    // `spoolDir` (the conversion's temporary folder; TMPDIR or /tmp when null or empty) and
    // copied to standard output by Close: the bytes are the same either way.
    // 0 on success; 1 when the archive cannot be created.
    int Create(const char* path, const char* spoolDir = nullptr);

    // Writes the central directory, closes the archive (with zip64 end records where its
    // entries are too many for the end record's counts) and, for a spooled standard output,
    // copies it out and removes the temporary file; a file package is renamed to its path.
    // With `complete` false the archive is given up instead: nothing reaches standard output
    // or the path. 0 when everything was written; non-zero when a write, the close, the copy
    // or the rename failed (the path then keeps what it had). Later calls do nothing and
    // return 0.
    int Close(bool complete = true);

    // The system's reason (an errno value) for the first failure to create, write, close or
    // rename the package file; 0 when none was seen.
    int Error() const { return error_; }

    // Replaces the folder put before entry names, appending '/' unless the text is empty or
    // already ends in '/' or '\'. -1 (folder unchanged) when it does not fit.
    int SetFolder(const char* name);

    // Starts the entry folder + name. -1, with a DEBUG line on standard error, when the
    // archive already holds that name (ASCII case ignored); otherwise the zip library's result.
    int OpenForWrite(const char* name, bool stored);
    // Formats the text and writes it into the current entry; any length is written whole.
    int Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int Write(const unsigned char* data, int size);
    int CloseWrite();

    // Copies the file at `path` into the entry folder + its last path component. The file is
    // opened and its first block read before the entry is started, so a file that cannot be
    // read never becomes an empty part. 0 when the whole file was copied or the name is
    // already present (nothing is done then); 1 when the file cannot be opened (or its path
    // does not fit a path buffer); -1 on a read error; the zip library's negative code when
    // writing failed.
    int Add(const char* path, bool stored);

private:
    friend int zipLocateFile(zipFile file, const char* name, int caseSensitivity);
    int OpenEntry(const std::string& entryName, bool stored);
    void DropPartial();

    // Names of the entries started so far, as given and in ASCII lower case: the zip library
    // keeps its own directory to itself.
    std::unordered_set<std::string> names_;
    std::unordered_set<std::string> folded_;
    std::string spoolPath_;  // non-empty while standard output is being spooled
    std::string partialPath_;  // the package file under its temporary name, while written
    std::string finalPath_;
    int error_ = 0;
    int partialFd_ = -1;         // the package file, read and completed after the library
    bool inPlaceStdout_ = false;  // the archive goes straight to standard output
    // The block through which Add copies files.
    enum { kCopyBlock = 64 * 1024 };
    std::vector<unsigned char> block_;
};

// 0 when the archive written so far through a Package holds an entry of that name, -104
// (ZIP_INTERNALERROR) when it does not or the handle is not one of ours. caseSensitivity 1
// compares exactly; any other value ignores ASCII case.
int zipLocateFile(zipFile file, const char* name, int caseSensitivity);

// Turns a NUL-terminated string into upper case in place; returns 0.
int str_upr(char* s);

// File-access table for writing the archive to standard output: a null name opens the
// process's standard output. Every call traces its own name on standard error.
void brl_fill_fopen_filefunc(zlib_filefunc64_def* def);
voidpf ZCALLBACK brl_fopen_file_func(voidpf opaque, const void* filename, int mode);
uLong ZCALLBACK brl_fread_file_func(voidpf opaque, voidpf stream, void* buf, uLong size);
uLong ZCALLBACK brl_fwrite_file_func(voidpf opaque, voidpf stream, const void* buf, uLong size);
ZPOS64_T ZCALLBACK brl_ftell_file_func(voidpf opaque, voidpf stream);
long ZCALLBACK brl_fseek_file_func(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
int ZCALLBACK brl_fclose_file_func(voidpf opaque, voidpf stream);
int ZCALLBACK brl_ferror_file_func(voidpf opaque, voidpf stream);

#endif
