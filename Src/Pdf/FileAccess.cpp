#include "Pdf/FileAccess.h"

#include <cstdlib>
#include <cstring>

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

int pdfcreatfile(FILE** out, const char* path)
{
    if (!out || !path)
        return -1;
    FILE* fp = fopen(path, "wb");
    if (!fp)
        return -1;
    *out = fp;
    return 0;
}

int pdfclose(FILE* fp)
{
    if (!fp)
        return -1;
    return fclose(fp) == 0 ? 0 : -1;
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

static FILE* g_messageStream = nullptr;  // null: standard output

void SetMessageStream(FILE* fp)
{
    g_messageStream = fp;
}

int error_str(const char* message)
{
    if (message)
        fputs(message, g_messageStream ? g_messageStream : stdout);
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
