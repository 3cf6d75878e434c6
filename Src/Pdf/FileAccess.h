// Thin layer over stdio streams: one result convention (0 or a count on success, -1 on
// failure), a line reader with PDF end-of-line rules and a one-byte lookahead.
#ifndef VARDEX_PDF_FILEACCESS_H
#define VARDEX_PDF_FILEACCESS_H

#include <cstdio>

// Paths and file names live in buffers of this many bytes throughout the system.
enum { PDF_MAX_PATH = 260 };

int pdfopenfile(FILE** out, const char* path);
// Creates `path` afresh for binary writing (CreateNewFile). A file that cannot be created,
// or whose writes or close through pdfclose fail, is remembered as a write failure. With
// `readBack` the file is opened for reading as well, to be read back through pdfreadback.
int pdfcreatfile(FILE** out, const char* path, bool readBack = false);
// Ends the writing of a file made by pdfcreatfile with `readBack`: its bytes are written out,
// and when every one reached the file the stream is positioned at its start for reading (0),
// to be closed as any reader. A file not written whole is closed and remembered as a write
// failure (-1). Reading back through the same descriptor spares opening the file again.
int pdfreadback(FILE* fp);
// Closes the stream; a stream made by pdfcreatfile that saw a write error, or whose buffered
// bytes cannot be written out, counts as a write failure and gives -1.
int pdfclose(FILE* fp);
int pdfseek(FILE* fp, int offset, int whence);
int pdftell(FILE* fp);
int pdfread(FILE* fp, void* buf, int n);
int pdfwrite(FILE* fp, const void* buf, int n);
int pdfreadbyte(FILE* fp);
int pdfpeekbyte(FILE* fp);
int pdfreadline(FILE* fp, char* buf, int size);

// Every file the programs write is made by one of these two, so none is ever written through
// a link planted in its folder. CreateNewFile opens `path` empty for writing (and reading,
// with `readBack`): a symbolic link or a hard link (a regular file with other names) under it
// is removed and a new file made with O_CREAT | O_EXCL | O_NOFOLLOW, mode 0600; a regular
// file of its own is truncated; a device or pipe is opened as it is. The descriptor, or -1
// with errno set. CreateUniqueFile makes a new file under a name of its own choosing: `tmpl`
// ends in "XXXXXX", which it replaces (mkstemp: O_EXCL, mode 0600).
int CreateNewFile(const char* path, bool readBack = false);
int CreateUniqueFile(char* tmpl);

// Files of pdfcreatfile that could not be created or written whole since the last reset:
// their count, and the first one's path and error number. A conversion that uses a
// half-written temporary file would silently lose what it held, so the driver fails on any.
int WriteFailures();
const char* FirstWriteFailure(int* err);
void ResetWriteFailures();

// Prints the message unchanged on standard error and yields -1.
int error_str(const char* message);

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
