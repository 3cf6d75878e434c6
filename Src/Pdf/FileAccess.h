// Thin layer over stdio streams: one result convention (0 or a count on success, -1 on
// failure), a line reader with PDF end-of-line rules and a one-byte lookahead.
#ifndef VARDEX_PDF_FILEACCESS_H
#define VARDEX_PDF_FILEACCESS_H

#include <cstdio>

// Paths and file names live in buffers of this many bytes throughout the system.
enum { PDF_MAX_PATH = 260 };

int pdfopenfile(FILE** out, const char* path);
// Creates `path` afresh for binary writing (CreateNewFile: a device or a pipe under the name is
// refused). With `readBack` the file is opened for reading as well, to be read back through
// pdfreadback. 0, or -1 with errno set.
int pdfcreatfile(FILE** out, const char* path, bool readBack = false);
// Ends the writing of a file made by pdfcreatfile with `readBack`: its bytes are written out,
// and when every one reached the file the stream is positioned at its start for reading (0),
// to be closed as any reader. A file not written whole is closed and gives -1 with errno set.
// Reading back through the same descriptor spares opening the file again.
int pdfreadback(FILE* fp);
// Closes the stream; a stream made by pdfcreatfile that saw a write error, or whose buffered
// bytes cannot be written out, gives -1 with errno set: the file was not written whole.
int pdfclose(FILE* fp);
int pdfseek(FILE* fp, int offset, int whence);
int pdftell(FILE* fp);
int pdfread(FILE* fp, void* buf, int n);
int pdfwrite(FILE* fp, const void* buf, int n);
int pdfreadbyte(FILE* fp);
int pdfpeekbyte(FILE* fp);
int pdfreadline(FILE* fp, char* buf, int size);

// Every file the programs write is made by one of these two, so none is ever written through
// a link planted in its folder, and nothing but a regular file is ever opened for writing.
// CreateNewFile opens `path` empty for writing (and reading, with `readBack`): a symbolic link
// or a hard link (a regular file with other names) under it is removed and a new file made
// with O_CREAT | O_EXCL | O_NOFOLLOW, mode 0600; a regular file of its own is opened as it is,
// checked to be still that one file, and only then emptied. A device or a pipe under the name
// is replaced only where the caller knows the folder to be the program's own (`ownFolder`: a
// folder it has just made itself, where nothing can be but what was planted), and refused
// everywhere else, where it may be someone's. No open ever waits for a pipe's other end.
// The descriptor, or -1 with errno set. CreateUniqueFile makes a new file under a name of its
// own choosing: `tmpl` ends in "XXXXXX", which it replaces (mkstemp: O_EXCL, mode 0600).
int CreateNewFile(const char* path, bool readBack = false, bool ownFolder = false);
int CreateUniqueFile(char* tmpl);

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
