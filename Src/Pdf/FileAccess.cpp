#include "Pdf/FileAccess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Streams made by pdfcreatfile and not yet closed, with their paths.
std::unordered_map<FILE*, std::string>& WrittenFiles()
{
    static std::unordered_map<FILE*, std::string> files;
    return files;
}

int g_writeFailures = 0;
int g_firstFailureErrno = 0;
std::string g_firstFailurePath;

void RecordWriteFailure(const std::string& path, int err)
{
    if (g_writeFailures++ == 0) {
        g_firstFailurePath = path;
        g_firstFailureErrno = err;
    }
}

}  // namespace

int CreateNewFile(const char* path, bool readBack)
{
    if (!path || !*path) {
        errno = EINVAL;
        return -1;
    }
    const int flags = (readBack ? O_RDWR : O_WRONLY) | O_NOFOLLOW | O_CLOEXEC;
    // Nearly always nothing is there yet: the name is taken at once. O_EXCL refuses anything
    // that is there, a link included, and that is then looked at.
    int fd = open(path, flags | O_CREAT | O_EXCL, 0600);
    if (fd >= 0 || errno != EEXIST)
        return fd;
    struct stat st;
    if (lstat(path, &st) == 0) {
        if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
            // A file of its own (an earlier run's): rewritten in place, and checked to be
            // still that one file once open.
            int fd = open(path, flags | O_TRUNC);
            struct stat now;
            if (fd >= 0 && (fstat(fd, &now) != 0 || !S_ISREG(now.st_mode) || now.st_nlink != 1)) {
                close(fd);
                errno = EEXIST;
                return -1;
            }
            return fd;
        }
        if (!S_ISLNK(st.st_mode) && !S_ISREG(st.st_mode)) {
            // A device or a pipe is written as it is; a folder fails to open.
            return open(path, flags);
        }
        // A symbolic link, or a hard link to a file that has other names: the name is taken
        // away (never what it points at) and made anew.
        if (unlink(path) != 0 && errno != ENOENT)
            return -1;
    }
    // O_EXCL refuses anything that appeared under the name in the meantime, a link included.
    return open(path, flags | O_CREAT | O_EXCL, 0600);
}

int CreateUniqueFile(char* tmpl)
{
    if (!tmpl) {
        errno = EINVAL;
        return -1;
    }
    return mkostemp(tmpl, O_CLOEXEC);
}

int WriteFailures()
{
    return g_writeFailures;
}

const char* FirstWriteFailure(int* err)
{
    if (err)
        *err = g_firstFailureErrno;
    return g_writeFailures ? g_firstFailurePath.c_str() : "";
}

void ResetWriteFailures()
{
    g_writeFailures = 0;
    g_firstFailureErrno = 0;
    g_firstFailurePath.clear();
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
        RecordWriteFailure(path, err);
        return -1;
    }
    WrittenFiles()[fp] = path;
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
    std::string path = it->second;
    WrittenFiles().erase(it);
    errno = 0;
    bool failed = ferror(fp) != 0;
    if (failed)
        fflush(fp);  // for the reason: what is still buffered fails again the same way
    int err = errno;
    if (fclose(fp) != 0 && !failed) {
        failed = true;
        err = errno;
    }
    if (failed) {
        RecordWriteFailure(path, err ? err : EIO);
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
    std::string path = it->second;
    errno = 0;
    // After an earlier failed write the flush fails again the same way, which gives the reason.
    bool failed = ferror(fp) != 0;
    if (fflush(fp) == 0 && !failed && fseek(fp, 0, SEEK_SET) == 0) {
        // Written whole: from here on the stream is a reader like any other.
        WrittenFiles().erase(it);
        return 0;
    }
    int err = errno;
    WrittenFiles().erase(it);
    fclose(fp);
    RecordWriteFailure(path, err ? err : EIO);
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
