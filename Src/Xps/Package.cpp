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
bool StdoutTakesSeeks()
{
    int fd = fileno(stdout);
    if (fd < 0 || fflush(stdout) != 0)
        return false;
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_APPEND))
        return false;
    return lseek(fd, 0, SEEK_CUR) == 0;
}

// A new file of its own for the spooled package; its descriptor goes to *fd, from which the
// zip library's open callback takes it, so the name is never opened again for writing.
bool MakeSpoolFile(const char* dir, std::string* path, int* fd)
{
    std::string base = dir && *dir ? dir : "";
    if (base.empty()) {
        const char* env = getenv("TMPDIR");
        base = env && *env ? env : "/tmp";
    }
    while (base.size() > 1 && (base.back() == '/' || base.back() == '\\'))
        base.pop_back();
    std::string tmpl = base + "/stdout-package.XXXXXX";
    *fd = CreateUniqueFile(&tmpl[0]);
    if (*fd < 0)
        return false;
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

// The package file as the zip library writes it. The library completes every part by seeking
// back to the part's local header, writing its sizes there and seeking to the end again; on a
// stdio stream each of those seeks writes out what is buffered, so every part cost several
// small writes and seeks. Here the bytes gather in a block of memory in which such seeks
// land, and the block goes to the file whole when it is full, when a seek leaves it, and at
// the close: a package is written in large pieces, each byte where the library put it.
class ArchiveFile {
public:
    explicit ArchiveFile(int fd) : fd_(fd) {}
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
        bool ok = Flush() && fsync(fd_) == 0;
        if (close(fd_) != 0)
            ok = false;
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
            if (n <= 0)
                failed_ = true;
            else
                done += (size_t)n;
        }
        if (!failed_)
            end_ = std::max(end_, blockStart_ + (long long)block_.size());
        block_.clear();
        blockStart_ = pos_;
        return !failed_;
    }

    static const size_t kBlock = 1024 * 1024;
    int fd_;
    std::vector<unsigned char> block_;
    long long blockStart_ = 0;  // where block_[0] goes in the file
    long long pos_ = 0;         // the library's position
    long long end_ = 0;         // the file's size as written out so far
    bool failed_ = false;
};

// Opens the archive on the descriptor that Create made (the opaque pointer): the zip library
// never opens a name of its own, so it cannot be sent through a planted link.
voidpf ZCALLBACK fd_open(voidpf opaque, const void*, int mode)
{
    int* fd = (int*)opaque;
    if (!fd || *fd < 0 || !(mode & ZLIB_FILEFUNC_MODE_CREATE))
        return nullptr;
    ArchiveFile* file = new ArchiveFile(*fd);
    *fd = -1;  // the archive file owns it now
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

// An existing name that is a device or a pipe: nothing but a regular file is ever opened for
// writing, and the output folder is the user's, so such a name is left as it is and the package
// refused. Anything else (nothing, a regular file, a link) is replaced by a whole package or
// left as it is.
bool SpecialFile(const char* path)
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
        if (!SpecialFile(path)) {
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
            int fd = CreateUniqueFile(&tmpl[0]);
            if (fd >= 0) {
                fchmod(fd, NewFileMode());
                partialPath_ = tmpl;
                finalPath_ = path;
                RemoveOnStopFile(partialPath_.c_str());
                zlib_filefunc64_def table = {fd_open, fd_read, fd_write, fd_tell, fd_seek,
                                             fd_close, fd_error, &fd};
                handle = zipOpen2_64(partialPath_.c_str(), APPEND_STATUS_CREATE, nullptr, &table);
                if (fd >= 0)
                    close(fd);
            }
        }
    } else {
        fputs("DEBUG: pszPackageNam should be null\n", stderr);
        zlib_filefunc64_def table;
        brl_fill_fopen_filefunc(&table);
        bool direct = StdoutTakesSeeks();
        const char* name = nullptr;  // the callbacks' name for standard output
        int spoolFd = -1;
        if (!direct && MakeSpoolFile(spoolDir, &spoolPath_, &spoolFd))
            name = spoolPath_.c_str();
        table.opaque = &spoolFd;
        if (direct || name)
            handle = zipOpen2_64(name, APPEND_STATUS_CREATE, nullptr, &table);
        if (spoolFd >= 0)
            close(spoolFd);
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
    if (!spoolPath_.empty()) {
        if (rc == ZIP_OK && complete)
            rc = CopyToStdout(spoolPath_);
        remove(spoolPath_.c_str());
        spoolPath_.clear();
    }
    if (!partialPath_.empty()) {
        if (rc == ZIP_OK && complete && rename(partialPath_.c_str(), finalPath_.c_str()) == 0)
            partialPath_.clear();
        else if (rc == ZIP_OK)
            rc = ZIP_ERRNO;
        DropPartial();
    }
    return rc;
}

void Package::DropPartial()
{
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

voidpf ZCALLBACK brl_fopen_file_func(voidpf opaque, const void* filename, int mode)
{
    fputs("fopen_file_func\n", stderr);
    if (!filename)
        return stdout;
    // The spool file comes as the descriptor it was made with, never reopened by its name.
    int* fd = (int*)opaque;
    if (fd && *fd >= 0 && (mode & ZLIB_FILEFUNC_MODE_CREATE)) {
        FILE* fp = fdopen(*fd, "w+b");
        if (fp)
            *fd = -1;
        return fp;
    }
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
