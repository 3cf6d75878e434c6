// The open PDF document: its file, trailer, catalog and one entry per object number.
#ifndef VARDEX_PDF_PDFXREF_H
#define VARDEX_PDF_PDFXREF_H

#include <cstdio>

#include "Pdf/Limits.h"

class PdfObj;
class PdfDict;
class ResData;

struct XrefEntry {
    int offset;        // file offset of "n g obj"; for type 'o' the object stream's number
    int gen;           // generation; for type 'o' the index within the object stream
    char type;         // 'n' in use, 'f' free, 'o' in an object stream, 0 not set
    int streamOffset;  // first byte of the stream data, once the object has been parsed
    char* path;        // file extracted from this object, null until then (not released here)
    ResData* resData;  // resource record made for this object (not released here)
};

// No constructor: the creator sets trailer, root and entries to null and reserved to 0
// before Load. The creator destroys trailer and root, frees entries (a malloc block) and
// closes the file.
struct PdfXref {
    FILE* fp;
    int size;  // entries in the table
    char buf[PDF_PARSE_BUF];
    int sectionOffset;
    PdfDict* trailer;
    PdfObj* root;
    int reserved;
    XrefEntry* entries;

    // The one way to reach an entry: null unless 0 <= objNum < size and the table exists.
    XrefEntry* Entry(int objNum);

    int Load(FILE** fpOut, char* path);
    int ReadTrailer();
    int ReadOldXref();
    int ReadXref();
};

// Releases the table with its trailer and catalog, and the extracted-file path and resource
// record of every entry; the input file stays open (it is the caller's to close).
void ReleaseXref(PdfXref* xref);

#endif
