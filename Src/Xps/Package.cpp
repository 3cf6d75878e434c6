#include "Xps/Package.h"

#include "Pdf/RemoveOnStop.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// Which Package a zip handle belongs to, so that zipLocateFile can answer from the names that
// Package recorded.
std::unordered_map<zipFile, const Package*>& Registry()
{
    static std::unordered_map<zipFile, const Package*> packages;
    return packages;
}

std::string FoldAscii(const char* s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return out;
}

// The zip library completes every entry by seeking back to its local header. That works on
// standard output only when it is a seekable stream whose writes land where it seeks to: a
// pipe or terminal cannot seek, and a file opened for appending puts every write at its end.
// The offsets it records count from the start of the file, so the package must also begin
// there: a second package into the same file is made aside and copied after the first.
// The package's end records are completed by reading back what the library wrote
// (CompleteZip64End), so standard output is written in place only when it can also be read.
bool StdoutTakesSeeks()
{
    int fd = fileno(stdout);
    if (fd < 0 || fflush(stdout) != 0)
        return false;
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_APPEND) || (flags & O_ACCMODE) != O_RDWR)
        return false;
    return lseek(fd, 0, SEEK_CUR) == 0;
}

bool MakeSpoolFile(const char* dir, std::string* path)
{
    std::string base = dir && *dir ? dir : "";
    if (base.empty()) {
        const char* env = getenv("TMPDIR");
        base = env && *env ? env : "/tmp";
    }
    while (base.size() > 1 && (base.back() == '/' || base.back() == '\\'))
        base.pop_back();
    std::string tmpl = base + "/stdout-package.XXXXXX";
    int fd = CreateUniqueFile(&tmpl[0]);
    if (fd < 0)
        return false;
    close(fd);
    *path = tmpl;
    return true;
}

int CopyToStdout(const std::string& path)
{
    FILE* in = fopen(path.c_str(), "rb");
    if (!in)
        return -1;
    std::vector<unsigned char> block(65536);
    int rc = 0;
    size_t n;
    while ((n = fread(block.data(), 1, block.size(), in)) > 0) {
        if (fwrite(block.data(), 1, n, stdout) != n) {
            rc = -1;
            break;
        }
    }
    if (ferror(in))
        rc = -1;
    fclose(in);
    if (fflush(stdout) != 0)
        rc = -1;
    return rc;
}

unsigned Le16(const unsigned char* p)
{
    return p[0] | (unsigned)p[1] << 8;
}

unsigned long Le32(const unsigned char* p)
{
    return Le16(p) | (unsigned long)Le16(p + 2) << 16;
}

void PutLe(unsigned char* p, unsigned long long v, int bytes)
{
    for (int i = 0; i < bytes; i++, v >>= 8)
        p[i] = (unsigned char)(v & 0xFF);
}

enum {
    ZIP_END_BYTES = 22,         // end of central directory record, without a comment
    ZIP64_END_BYTES = 56,       // zip64 end of central directory record
    ZIP64_LOCATOR_BYTES = 20,   // its locator
    ZIP_CENTRAL_HEADER_BYTES = 46,
    ZIP_MANY_ENTRIES = 0xFFFF   // what an end record's 16-bit counts read from here on
};

// Central file headers in the directory of `size` bytes at `offset`: -1 unless the directory
// is a whole number of headers.
long long CountCentralHeaders(int fd, unsigned long offset, unsigned long size)
{
    std::vector<unsigned char> dir(size);
    if (size > 0 && pread(fd, dir.data(), size, (off_t)offset) != (ssize_t)size)
        return -1;
    long long count = 0;
    size_t at = 0;
    while (at < dir.size()) {
        if (dir.size() - at < ZIP_CENTRAL_HEADER_BYTES || Le32(&dir[at]) != 0x02014b50)
            return -1;
        at += ZIP_CENTRAL_HEADER_BYTES + Le16(&dir[at + 28]) + Le16(&dir[at + 30]) +
              Le16(&dir[at + 32]);
        count++;
    }
    return at == dir.size() ? count : -1;
}

// The zip library of Debian 12 writes 0xFFFF into the end record's entry counts from 65,535
// entries on, and the zip64 end record that then holds the real counts only when the central
// directory starts 4 GiB or more into the archive: readers refuse a smaller archive of that
// many entries. Here the zip64 end record and its locator go in where the end record was, and
// the end record follows them, as the library writes all three for a large archive. 0 when
// the archive needs nothing or was completed; -1 when its end cannot be read or written.
// `end` is where the archive ends in the file, -1 for the end of the file; *newEnd is where
// it ends now.
int CompleteZip64End(int fd, off_t end, off_t* newEnd)
{
    if (end < 0)
        end = lseek(fd, 0, SEEK_END);
    *newEnd = end;
    unsigned char record[ZIP_END_BYTES];
    if (end < ZIP_END_BYTES ||
        pread(fd, record, sizeof record, end - ZIP_END_BYTES) != (ssize_t)sizeof record ||
        Le32(record) != 0x06054b50)
        return -1;
    const unsigned long size = Le32(record + 12), offset = Le32(record + 16);
    // Fewer entries, or an archive large enough for the library to have written them.
    if (Le16(record + 10) != ZIP_MANY_ENTRIES || offset == 0xFFFFFFFFul)
        return 0;
    const off_t at = end - ZIP_END_BYTES;
    long long entries = CountCentralHeaders(fd, offset, size);
    if (entries < 0 || (off_t)offset + (off_t)size != at)
        return -1;

    unsigned char tail[ZIP64_END_BYTES + ZIP64_LOCATOR_BYTES + ZIP_END_BYTES] = {};
    unsigned char* z = tail;
    PutLe(z, 0x06064b50, 4);
    PutLe(z + 4, ZIP64_END_BYTES - 12, 8);  // the record's size after this field
    PutLe(z + 12, 45, 2);                   // made by, and needed: zip64 (4.5)
    PutLe(z + 14, 45, 2);
    PutLe(z + 24, (unsigned long long)entries, 8);  // on this disk (disk numbers are 0)
    PutLe(z + 32, (unsigned long long)entries, 8);  // in all
    PutLe(z + 40, size, 8);
    PutLe(z + 48, offset, 8);
    unsigned char* locator = z + ZIP64_END_BYTES;
    PutLe(locator, 0x07064b50, 4);
    PutLe(locator + 8, (unsigned long long)at, 8);
    PutLe(locator + 16, 1, 4);  // disks
    memcpy(locator + ZIP64_LOCATOR_BYTES, record, sizeof record);
    if (pwrite(fd, tail, sizeof tail, at) != (ssize_t)sizeof tail)
        return -1;
    *newEnd = at + (off_t)sizeof tail;
    return 0;
}

int CompleteZip64End(int fd)
{
    off_t end;
    return CompleteZip64End(fd, -1, &end);
}

// The package file as the zip library writes it. The library completes every part by seeking
// back to the part's local header, writing its sizes there and seeking to the end again; on a
// stdio stream each of those seeks writes out what is buffered, so every part cost several
// small writes and seeks. Here the bytes gather in a block of memory in which such seeks
// land, and the block goes to the file whole when it is full, when a seek leaves it, and at
// the close: a package is written in large pieces, each byte where the library put it.
class ArchiveFile {
public:
    // `error` receives the system's reason for the first write, flush or close that failed.
    ArchiveFile(int fd, int* error) : fd_(fd), error_(error) {}
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    size_t Write(const void* data, size_t n)
    {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        size_t left = n;
        while (left > 0 && !failed_) {
            // The block holds the bytes from blockStart_ on; a write lands in it, or right
            // after it, or starts a block of its own.
            if (pos_ < blockStart_ || pos_ > blockStart_ + (long long)block_.size() ||
                pos_ - blockStart_ >= (long long)kBlock) {
                if (!Flush())
                    break;
                blockStart_ = pos_;
            }
            const size_t at = (size_t)(pos_ - blockStart_);
            const size_t take = std::min(left, kBlock - at);
            if (at + take > block_.size())
                block_.resize(at + take);
            memcpy(block_.data() + at, p, take);
            p += take;
            left -= take;
            pos_ += (long long)take;
        }
        return n - left;
    }

    size_t Read(void* data, size_t n)
    {
        if (!Flush())
            return 0;
        ssize_t got = pread(fd_, data, n, (off_t)pos_);
        if (got <= 0)
            return 0;
        pos_ += got;
        return (size_t)got;
    }

    long long Tell() const { return pos_; }

    int Seek(long long offset, int whence)
    {
        long long base = whence == SEEK_SET ? 0
                         : whence == SEEK_CUR ? pos_
                                              : std::max(end_, blockStart_ + (long long)block_.size());
        if (base + offset < 0)
            return -1;
        pos_ = base + offset;
        return 0;
    }

    // A package that is not on the disk whole is no package: flushed through to the disk.
    int Close()
    {
        bool ok = Flush();
        if (ok && fsync(fd_) != 0) {
            Record(errno);
            ok = false;
        }
        if (close(fd_) != 0) {
            Record(errno);
            ok = false;
        }
        fd_ = -1;
        return ok ? 0 : -1;
    }

    bool Failed() const { return failed_; }

private:
    bool Flush()
    {
        size_t done = 0;
        while (!failed_ && done < block_.size()) {
            ssize_t n = pwrite(fd_, block_.data() + done, block_.size() - done,
                               (off_t)(blockStart_ + (long long)done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // A write that takes nothing has found the disk full.
                Record(n < 0 ? errno : ENOSPC);
                failed_ = true;
            } else {
                done += (size_t)n;
            }
        }
        if (!failed_)
            end_ = std::max(end_, blockStart_ + (long long)block_.size());
        block_.clear();
        blockStart_ = pos_;
        return !failed_;
    }

    void Record(int err)
    {
        if (error_ && !*error_)
            *error_ = err ? err : EIO;
    }

    static const size_t kBlock = 1024 * 1024;
    int fd_;
    int* error_;
    std::vector<unsigned char> block_;
    long long blockStart_ = 0;  // where block_[0] goes in the file
    long long pos_ = 0;         // the library's position
    long long end_ = 0;         // the file's size as written out so far
    bool failed_ = false;
};

// Opens the archive on the descriptor that Create made (the opaque pointer): the zip library
// never opens a name of its own, so it cannot be sent through a planted link.
// What Create hands the zip library's open callback: the package file, and where the reason
// of a failed write goes.
struct ArchiveTarget {
    int fd;
    int* error;
};

voidpf ZCALLBACK fd_open(voidpf opaque, const void*, int mode)
{
    ArchiveTarget* target = (ArchiveTarget*)opaque;
    if (!target || target->fd < 0 || !(mode & ZLIB_FILEFUNC_MODE_CREATE))
        return nullptr;
    ArchiveFile* file = new ArchiveFile(target->fd, target->error);
    target->fd = -1;  // the archive file owns it now
    return file;
}

uLong ZCALLBACK fd_read(voidpf, voidpf stream, void* buf, uLong size)
{
    return (uLong)static_cast<ArchiveFile*>(stream)->Read(buf, size);
}

uLong ZCALLBACK fd_write(voidpf, voidpf stream, const void* buf, uLong size)
{
    return (uLong)static_cast<ArchiveFile*>(stream)->Write(buf, size);
}

ZPOS64_T ZCALLBACK fd_tell(voidpf, voidpf stream)
{
    return (ZPOS64_T)static_cast<ArchiveFile*>(stream)->Tell();
}

long ZCALLBACK fd_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    int whence = origin == ZLIB_FILEFUNC_SEEK_SET   ? SEEK_SET
                 : origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR
                 : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                    : -1;
    if (whence < 0)
        return -1;
    return static_cast<ArchiveFile*>(stream)->Seek((long long)(int64_t)offset, whence);
}

int ZCALLBACK fd_close(voidpf, voidpf stream)
{
    ArchiveFile* file = static_cast<ArchiveFile*>(stream);
    int rc = file->Close();
    delete file;
    return rc;
}

int ZCALLBACK fd_error(voidpf, voidpf stream)
{
    return static_cast<ArchiveFile*>(stream)->Failed() ? 1 : 0;
}

// An existing name that is a device or a pipe is written in place; anything else (nothing, a
// regular file, a link) is replaced by a whole package or left as it is.
bool WriteInPlace(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) &&
           !S_ISDIR(st.st_mode);
}

mode_t NewFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

Package::Package() : handle(nullptr), info()
{
    folder[0] = 0;
}

Package::~Package()
{
    Close(false);
}

int Package::Create(const char* path, const char* spoolDir)
{
    if (handle)
        return 1;
    if (path) {
        fputs("DEBUG: pszPackageNam NOT null\n", stderr);
        if (WriteInPlace(path)) {
            handle = zipOpen2_64(path, APPEND_STATUS_CREATE, nullptr, nullptr);
        } else {
            // Written under a name of its own beside the final one, which it replaces only when
            // complete: a run that stops or fails midway leaves no broken package, and never
            // writes through a link planted under the final name.
            std::string dir, base = path;
            size_t slash = base.find_last_of('/');
            if (slash != std::string::npos) {
                dir = base.substr(0, slash + 1);
                base = base.substr(slash + 1);
            }
            std::string tmpl = dir + "." + base + ".XXXXXX";
            ArchiveTarget target = {CreateUniqueFile(&tmpl[0]), &error_};
            if (target.fd < 0)
                error_ = errno;
            if (target.fd >= 0) {
                fchmod(target.fd, NewFileMode());
                partialPath_ = tmpl;
                finalPath_ = path;
                RemoveOnStopFile(partialPath_.c_str());
                // The library closes the descriptor it is given; this one reads and completes
                // the archive's end after that, by the file and not its name.
                partialFd_ = fcntl(target.fd, F_DUPFD_CLOEXEC, 0);
                zlib_filefunc64_def table = {fd_open, fd_read, fd_write, fd_tell, fd_seek,
                                             fd_close, fd_error, &target};
                handle = zipOpen2_64(partialPath_.c_str(), APPEND_STATUS_CREATE, nullptr, &table);
                if (target.fd >= 0)
                    close(target.fd);
            }
        }
    } else {
        fputs("DEBUG: pszPackageNam should be null\n", stderr);
        zlib_filefunc64_def table;
        brl_fill_fopen_filefunc(&table);
        bool direct = StdoutTakesSeeks();
        const char* name = nullptr;  // the callbacks' name for standard output
        if (!direct && MakeSpoolFile(spoolDir, &spoolPath_))
            name = spoolPath_.c_str();
        if (direct || name)
            handle = zipOpen2_64(name, APPEND_STATUS_CREATE, nullptr, &table);
        inPlaceStdout_ = direct && handle;
    }
    if (!handle) {
        fputs("DEBUG: Failed to create in zipOpen2\n", stderr);
        if (!spoolPath_.empty())
            remove(spoolPath_.c_str());
        spoolPath_.clear();
        DropPartial();
        return 1;
    }
    Registry()[handle] = this;
    return 0;
}

int Package::Close(bool complete)
{
    if (!handle)
        return 0;
    Registry().erase(handle);
    int rc = zipClose(handle, nullptr);
    handle = nullptr;
    names_.clear();
    folded_.clear();
    if (rc == ZIP_OK && complete && inPlaceStdout_) {
        // Opened for reading too (StdoutTakesSeeks); whatever comes next on standard output
        // goes after the completed end.
        off_t end = ftello(stdout);
        if (end < 0 || CompleteZip64End(fileno(stdout), end, &end) != 0 ||
            fseeko(stdout, end, SEEK_SET) != 0)
            rc = ZIP_ERRNO;
    }
    inPlaceStdout_ = false;
    if (!spoolPath_.empty()) {
        if (rc == ZIP_OK && complete) {
            int fd = open(spoolPath_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0 || CompleteZip64End(fd) != 0)
                rc = ZIP_ERRNO;
            if (fd >= 0)
                close(fd);
        }
        if (rc == ZIP_OK && complete)
            rc = CopyToStdout(spoolPath_);
        remove(spoolPath_.c_str());
        spoolPath_.clear();
    }
    if (!partialPath_.empty()) {
        // Completed and on the disk whole before it takes its name.
        if (rc == ZIP_OK && complete &&
            (partialFd_ < 0 || CompleteZip64End(partialFd_) != 0 || fsync(partialFd_) != 0)) {
            if (!error_)
                error_ = errno ? errno : EIO;
            rc = ZIP_ERRNO;
        }
        if (rc == ZIP_OK && complete && rename(partialPath_.c_str(), finalPath_.c_str()) == 0) {
            partialPath_.clear();
        } else if (rc == ZIP_OK) {
            if (complete && !error_)
                error_ = errno;
            rc = ZIP_ERRNO;
        }
        DropPartial();
    }
    return rc;
}

void Package::DropPartial()
{
    if (partialFd_ >= 0)
        close(partialFd_);
    partialFd_ = -1;
    RemoveOnStopFile(nullptr);
    if (!partialPath_.empty())
        remove(partialPath_.c_str());
    partialPath_.clear();
    finalPath_.clear();
}

int Package::SetFolder(const char* name)
{
    if (!name)
        name = "";
    size_t len = strlen(name);
    bool addSlash = len > 0 && name[len - 1] != '/' && name[len - 1] != '\\';
    if (len + (addSlash ? 1 : 0) >= sizeof folder)
        return -1;
    memcpy(folder, name, len);
    if (addSlash)
        folder[len++] = '/';
    folder[len] = 0;
    return 0;
}

int Package::OpenEntry(const std::string& entryName, bool stored)
{
    int rc = zipOpenNewFileInZip3(handle, entryName.c_str(), &info, nullptr, 0, nullptr, 0,
                                  nullptr, stored ? 0 : Z_DEFLATED, 1, 0, -MAX_WBITS, 8,
                                  Z_DEFAULT_STRATEGY, nullptr, 0);
    if (rc == ZIP_OK) {
        names_.insert(entryName);
        folded_.insert(FoldAscii(entryName.c_str()));
    }
    return rc;
}

int Package::OpenForWrite(const char* name, bool stored)
{
    memset(&info, 0, sizeof info);
    if (!name)
        return ZIP_PARAMERROR;
    std::string entryName = std::string(folder) + name;
    if (zipLocateFile(handle, entryName.c_str(), 0) == 0) {
        fputs("DEBUG: Failed  in Package::OpenForWrite\n", stderr);
        return -1;
    }
    return OpenEntry(entryName, stored);
}

int Package::Write(const char* format, ...)
{
    if (!format)
        return ZIP_PARAMERROR;
    char buf[2048];
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    int n = vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    int rc;
    if (n < 0) {
        rc = ZIP_PARAMERROR;
    } else if ((size_t)n < sizeof buf) {
        rc = zipWriteInFileInZip(handle, buf, (unsigned)n);
    } else {
        std::vector<char> big((size_t)n + 1);
        vsnprintf(big.data(), big.size(), format, again);
        rc = zipWriteInFileInZip(handle, big.data(), (unsigned)n);
    }
    va_end(again);
    return rc;
}

int Package::Write(const unsigned char* data, int size)
{
    if (size < 0 || (!data && size > 0))
        return ZIP_PARAMERROR;
    return zipWriteInFileInZip(handle, data, (unsigned)size);
}

int Package::CloseWrite()
{
    return zipCloseFileInZip(handle);
}

int Package::Add(const char* path, bool stored)
{
    if (!path || strlen(path) >= PDF_MAX_PATH)
        return 1;
    char base[PDF_MAX_PATH];
    GetFileNameFromPath(path, base, false);
    std::string entryName = std::string(folder) + base;
    if (zipLocateFile(handle, entryName.c_str(), 0) == 0)
        return 0;

    memset(&info, 0, sizeof info);
    FILE* fp = fopen(path, "rb");
    if (!fp)
        return 1;
    // The first block is read before the entry exists: a path that opens but cannot be read
    // (a folder, say) must not leave an empty part behind. Blocks are large, so a page part
    // is read in a call or two.
    if (block_.empty())
        block_.resize(kCopyBlock);
    unsigned char* block = block_.data();
    const size_t blockSize = block_.size();
    size_t n = fread(block, 1, blockSize, fp);
    if (n < blockSize && !feof(fp)) {
        fclose(fp);
        return -1;
    }
    int status = OpenEntry(entryName, stored);
    if (status != ZIP_OK) {
        fclose(fp);
        return status;
    }
    for (;;) {
        if (n > 0) {
            int w = zipWriteInFileInZip(handle, block, (unsigned)n);
            if (w < 0) {
                status = w;
                break;
            }
        }
        if (n < blockSize) {
            status = feof(fp) ? 0 : -1;
            break;
        }
        n = fread(block, 1, blockSize, fp);
    }
    fclose(fp);
    int closed = zipCloseFileInZip(handle);
    if (status == 0 && closed != ZIP_OK)
        status = closed;
    return status;
}

int zipLocateFile(zipFile file, const char* name, int caseSensitivity)
{
    if (!file || !name)
        return ZIP_INTERNALERROR;
    auto it = Registry().find(file);
    if (it == Registry().end())
        return ZIP_INTERNALERROR;
    const Package* p = it->second;
    bool found = caseSensitivity == 1 ? p->names_.count(name) != 0
                                      : p->folded_.count(FoldAscii(name)) != 0;
    return found ? 0 : ZIP_INTERNALERROR;
}

int str_upr(char* s)
{
    if (!s)
        return 0;
    for (; *s; s++)
        *s = (char)toupper((unsigned char)*s);
    return *s;
}

void brl_fill_fopen_filefunc(zlib_filefunc64_def* def)
{
    def->zopen64_file = brl_fopen_file_func;
    def->zread_file = brl_fread_file_func;
    def->zwrite_file = brl_fwrite_file_func;
    def->ztell64_file = brl_ftell_file_func;
    def->zseek64_file = brl_fseek_file_func;
    def->zclose_file = brl_fclose_file_func;
    def->zerror_file = brl_ferror_file_func;
    def->opaque = nullptr;
}

voidpf ZCALLBACK brl_fopen_file_func(voidpf, const void* filename, int mode)
{
    fputs("fopen_file_func\n", stderr);
    if (!filename)
        return stdout;
    const char* how = nullptr;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ)
        how = "rb";
    else if (mode & ZLIB_FILEFUNC_MODE_EXISTING)
        how = "r+b";
    else if (mode & ZLIB_FILEFUNC_MODE_CREATE)
        how = "wb";
    return how ? fopen((const char*)filename, how) : nullptr;
}

uLong ZCALLBACK brl_fread_file_func(voidpf, voidpf stream, void* buf, uLong size)
{
    fputs("fread_file_func\n", stderr);
    return stream ? (uLong)fread(buf, 1, size, (FILE*)stream) : 0;
}

uLong ZCALLBACK brl_fwrite_file_func(voidpf, voidpf stream, const void* buf, uLong size)
{
    fputs("fwrite_file_func\n", stderr);
    return stream ? (uLong)fwrite(buf, 1, size, (FILE*)stream) : 0;
}

ZPOS64_T ZCALLBACK brl_ftell_file_func(voidpf, voidpf stream)
{
    fputs("ftell_file_func\n", stderr);
    return stream ? (ZPOS64_T)ftello((FILE*)stream) : (ZPOS64_T)-1;
}

long ZCALLBACK brl_fseek_file_func(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    fputs("fseek_file_func\n", stderr);
    int whence;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: whence = SEEK_SET; break;
    case ZLIB_FILEFUNC_SEEK_CUR: whence = SEEK_CUR; break;
    case ZLIB_FILEFUNC_SEEK_END: whence = SEEK_END; break;
    default: return -1;
    }
    if (!stream)
        return -1;
    return fseeko((FILE*)stream, (off_t)(int64_t)offset, whence) == 0 ? 0 : -1;
}

int ZCALLBACK brl_fclose_file_func(voidpf, voidpf stream)
{
    fputs("fclose_file_func\n", stderr);
    if (!stream)
        return -1;
    // Standard output outlives the archive: the process may still write to it (the next
    // package in standard-output mode), so it is flushed, which reports the same write
    // errors a close would, and left open.
    if (stream == stdout)
        return fflush(stdout) == 0 ? 0 : -1;
    return fclose((FILE*)stream);
}

int ZCALLBACK brl_ferror_file_func(voidpf, voidpf stream)
{
    fputs("ferror_file_func\n", stderr);
    return stream ? ferror((FILE*)stream) : 1;
}
