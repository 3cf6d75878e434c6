#include "Pdf/FileAccess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Streams made by pdfcreatfile and not yet closed, with the error number of their first write
// that failed (0 while none did): their close must also tell whether every byte reached the
// file, and why not.
std::unordered_map<FILE*, int>& WrittenFiles()
{
    static std::unordered_map<FILE*, int> files;
    return files;
}

// Clears O_NONBLOCK again once the file is known to be a regular file of its own.
int Blocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        int err = errno;
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int Fresh(const char* path, int flags)
{
    int fd = open(path, flags | O_CREAT | O_EXCL, 0600);
    return fd >= 0 ? Blocking(fd) : -1;
}

}  // namespace

int CreateNewFile(const char* path, bool readBack, bool ownFolder)
{
    if (!path || !*path) {
        errno = EINVAL;
        return -1;
    }
    // O_NONBLOCK: a pipe swapped in under the name between the look and the open must not
    // hold the run until a reader comes.
    const int flags = (readBack ? O_RDWR : O_WRONLY) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    // Nearly always nothing is there yet: the name is taken at once. O_EXCL refuses anything
    // that is there, a link included, and that is then looked at.
    int fd = Fresh(path, flags);
    if (fd >= 0 || errno != EEXIST)
        return fd;
    struct stat st;
    if (lstat(path, &st) != 0)
        return errno == ENOENT ? Fresh(path, flags) : -1;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
        // A file of its own (an earlier run's) is rewritten in place. It is opened as it is
        // and emptied only once the descriptor shows the same file with no other name: a
        // hard link swapped in meanwhile is never truncated.
        fd = open(path, flags);
        if (fd < 0)
            return errno == ELOOP || errno == ENXIO ? (errno = EEXIST, -1) : -1;
        struct stat now;
        if (fstat(fd, &now) != 0 || !S_ISREG(now.st_mode) || now.st_nlink != 1 ||
            now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
            close(fd);
            errno = EEXIST;
            return -1;
        }
        if (ftruncate(fd, 0) != 0) {
            int err = errno;
            close(fd);
            errno = err;
            return -1;
        }
        return Blocking(fd);
    }
    // A device or a pipe is never opened for writing: in a folder of the program's own it is
    // something planted there and is replaced; elsewhere it is refused.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) && !ownFolder) {
        errno = EEXIST;
        return -1;
    }
    // A symbolic link, or a hard link to a file that has other names: the name is taken away
    // (never what it points at) and made anew.
    if (unlink(path) != 0 && errno != ENOENT)
        return -1;
    // O_EXCL refuses anything that appeared under the name in the meantime, a link included.
    return Fresh(path, flags);
}

int CreateUniqueFile(char* tmpl)
{
    if (!tmpl) {
        errno = EINVAL;
        return -1;
    }
    return mkostemp(tmpl, O_CLOEXEC);
}

int pdfopenfile(FILE** out, const char* path)
{
    if (!out || !path)
        return -1;
    FILE* fp = fopen(path, "rb");
    if (!fp)
        return -1;
    *out = fp;
    return 0;
}

int pdfcreatfile(FILE** out, const char* path, bool readBack)
{
    if (!out || !path)
        return -1;
    int fd = CreateNewFile(path, readBack);
    FILE* fp = fd >= 0 ? fdopen(fd, readBack ? "w+b" : "wb") : nullptr;
    if (!fp) {
        int err = errno;
        if (fd >= 0)
            close(fd);
        errno = err;
        return -1;
    }
    WrittenFiles()[fp] = 0;
    *out = fp;
    return 0;
}

int pdfclose(FILE* fp)
{
    if (!fp)
        return -1;
    auto it = WrittenFiles().find(fp);
    if (it == WrittenFiles().end())
        return fclose(fp) == 0 ? 0 : -1;
    const int first = it->second;
    WrittenFiles().erase(it);
    errno = 0;
    bool failed = ferror(fp) != 0;
    if (failed)
        fflush(fp);  // for the reason: what is still buffered fails again the same way
    int err = first ? first : errno;
    if (fclose(fp) != 0 && !failed) {
        failed = true;
        err = errno;
    }
    if (failed) {
        errno = err ? err : EIO;
        return -1;
    }
    return 0;
}

int pdfreadback(FILE* fp)
{
    if (!fp)
        return -1;
    auto it = WrittenFiles().find(fp);
    if (it == WrittenFiles().end())
        return -1;
    const int first = it->second;
    errno = 0;
    // After an earlier failed write the flush fails again the same way, which gives the reason.
    bool failed = ferror(fp) != 0;
    if (fflush(fp) == 0 && !failed && fseek(fp, 0, SEEK_SET) == 0) {
        // Written whole: from here on the stream is a reader like any other.
        WrittenFiles().erase(it);
        return 0;
    }
    int err = first ? first : errno;
    WrittenFiles().erase(it);
    fclose(fp);
    errno = err ? err : EIO;
    return -1;
}

int pdfseek(FILE* fp, int offset, int whence)
{
    if (!fp)
        return -1;
    return fseek(fp, offset, whence) == 0 ? 0 : -1;
}

int pdftell(FILE* fp)
{
    if (!fp)
        return -1;
    long pos = ftell(fp);
    if (pos < 0 || pos > 0x7fffffffL)
        return -1;
    return (int)pos;
}

int pdfread(FILE* fp, void* buf, int n)
{
    if (!fp || !buf || n <= 0)
        return -1;
    size_t got = fread(buf, 1, (size_t)n, fp);
    return got > 0 ? (int)got : -1;
}

int pdfwrite(FILE* fp, const void* buf, int n)
{
    if (!fp || !buf || n <= 0)
        return -1;
    size_t put = fwrite(buf, 1, (size_t)n, fp);
    if (put < (size_t)n) {
        auto it = WrittenFiles().find(fp);
        if (it != WrittenFiles().end() && !it->second)
            it->second = errno ? errno : EIO;
    }
    return put > 0 ? (int)put : -1;
}

int pdfreadbyte(FILE* fp)
{
    if (!fp)
        return -1;
    int c = getc(fp);
    return c == EOF ? -1 : c;
}

int pdfpeekbyte(FILE* fp)
{
    if (!fp)
        return -1;
    int c = getc(fp);
    if (c == EOF)
        return -1;
    ungetc(c, fp);
    return c;
}

int pdfreadline(FILE* fp, char* buf, int size)
{
    if (!buf || size <= 0)
        return 0;
    int n = 0;
    if (fp) {
        while (n < size - 1) {
            int c = getc(fp);
            if (c == EOF)
                break;
            if (c == '\r') {
                int next = getc(fp);
                if (next != '\n' && next != EOF)
                    ungetc(next, fp);
                break;
            }
            if (c == '\n')
                break;
            buf[n++] = (char)c;
        }
    }
    buf[n] = 0;
    return n;
}

int error_str(const char* message)
{
    // Standard output carries the package in standard-output mode and the print data in the
    // filter: a message there would land inside them.
    if (message)
        fputs(message, stderr);
    return -1;
}

int GetFileNameFromPath(const char* path, char* dst, bool noExt)
{
    if (!path || !dst)
        return -1;

    // Find where the last component starts, within the first PDF_MAX_PATH characters.
    size_t start = 0;
    for (size_t i = 0; i < PDF_MAX_PATH && path[i]; i++) {
        if (path[i] == '\\') {
            start = i + 1;
        } else if (path[i] == '/') {
            bool slashBefore = i > 0 && path[i - 1] == '/';
            bool slashAfter = path[i + 1] == '/';
            if (!slashBefore && !slashAfter)
                start = i + 1;
        }
    }

    size_t len = strlen(path + start);
    if (len > PDF_MAX_PATH - 1)
        len = PDF_MAX_PATH - 1;
    memcpy(dst, path + start, len);
    dst[len] = 0;

    if (noExt) {
        char* dot = nullptr;
        for (size_t i = 0; i < PDF_MAX_PATH && dst[i]; i++) {
            if (dst[i] == '.')
                dot = dst + i;
            else if (dst[i] == '\\' || dst[i] == '/')
                dot = nullptr;
        }
        if (dot)
            *dot = 0;
    }
    return 0;
}

int FlateStmFn(char*, int*)
{
    return 0;
}

PdfStmHandler* openstm()
{
    PdfStmHandler* h = (PdfStmHandler*)calloc(1, sizeof(PdfStmHandler));
    if (h)
        h->decode = FlateStmFn;
    return h;
}
