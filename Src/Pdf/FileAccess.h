// Thin layer over stdio streams: one result convention (0 or a count on success, -1 on
// failure), a line reader with PDF end-of-line rules and a one-byte lookahead.
#ifndef VARDEX_PDF_FILEACCESS_H
#define VARDEX_PDF_FILEACCESS_H

#include <cstdio>

// Paths and file names live in buffers of this many bytes throughout the system.
enum { PDF_MAX_PATH = 260 };

int pdfopenfile(FILE** out, const char* path);
int pdfcreatfile(FILE** out, const char* path);
int pdfclose(FILE* fp);
int pdfseek(FILE* fp, int offset, int whence);
int pdftell(FILE* fp);
int pdfread(FILE* fp, void* buf, int n);
int pdfwrite(FILE* fp, const void* buf, int n);
int pdfreadbyte(FILE* fp);
int pdfpeekbyte(FILE* fp);
int pdfreadline(FILE* fp, char* buf, int size);

// Prints the message unchanged on the message stream (standard output unless changed) and
// yields -1.
int error_str(const char* message);
// Where error_str prints. The converter points it at standard error while standard output
// carries a package, so a message never lands inside the package's bytes.
void SetMessageStream(FILE* fp);

// Copies the last component of `path` ('\' or '/' separated; a doubled slash never splits)
// into `dst`, which holds PDF_MAX_PATH bytes: at most 259 bytes and the terminator.
// With `noExt` the name is cut at its last '.'.
int GetFileNameFromPath(const char* path, char* dst, bool noExt);

// A stream-handler record with a decode callback; kept for completeness, nothing uses it.
typedef int (*PdfStmFn)(char*, int*);
struct PdfStmHandler {
    long w0, w1, w2, w3;
    PdfStmFn decode;
    long w5;
};
int FlateStmFn(char* data, int* len);
PdfStmHandler* openstm();

#endif
