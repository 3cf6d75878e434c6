// The open PDF document: its file, trailer, catalog and one entry per object number.
#ifndef VARDEX_PDF_PDFXREF_H
#define VARDEX_PDF_PDFXREF_H

#include <cstdio>

#include "Pdf/Limits.h"

class PdfObj;
class PdfDict;
class ResData;
struct PdfObjMemo;

struct XrefEntry {
    int offset;        // file offset of "n g obj"; for type 'o' the object stream's number
    int gen;           // generation; for type 'o' the index within the object stream
    char type;         // 'n' in use, 'f' free, 'o' in an object stream, 0 not set
    int streamOffset;  // first byte of the stream data, once the object has been parsed
    char* path;        // file extracted from this object, null until then (not released here)
    ResData* resData;  // resource record made for this object (not released here)
};

// No constructor: the creator value-initialises it (or sets trailer, root, entries and memo to
// null and the counts to 0) before Load. The creator destroys trailer and root, frees entries (a malloc block) and
// closes the file.
struct PdfXref {
    FILE* fp;
    int size;  // entries in the table: the trailer's Size, grown to the records the sections hold
    char buf[PDF_PARSE_BUF];
    int sectionOffset;
    PdfDict* trailer;
    PdfObj* root;
    int reserved;
    XrefEntry* entries;
    long long recordsInFile;  // records the sections hold, counted by Load before any is
                              // stored: what the table may grow to
    PdfObjMemo* memo;         // what reading each object found, or that it found nothing
    long long readBytes;      // bytes that reading objects has taken from the file so far
    long long fileBytes;      // size of the file, set by Load
    int compressedAsked;      // objects asked for that lie in object streams, which are not read
    bool sectionDamaged;      // a classic section could not be walked whole: the converter
                              // says "xref error" when the document converts all the same

    // Object objNum, read from the file the first time it is asked for and remembered (as is
    // its absence) until ReleaseXref: null when the entry is not in use, does not lead to
    // "N G obj" and a value, or the reading budget is spent. The tree stays the table's: read
    // it, never change or destroy it. Sets the entry's streamOffset when it is a stream.
    PdfObj* Object(int objNum);

    // The one way to reach an entry: null unless 0 <= objNum < size and the table exists.
    XrefEntry* Entry(int objNum);

    int Load(FILE** fpOut, char* path);
    int ReadTrailer();
    int ReadOldXref();
    // Walks the sections from sectionOffset, newest first: each classic section, then the
    // cross-reference stream its XRefStm names, then its Prev. ReadXref stores the records;
    // CountRecords only counts those whose bytes are there, and says whether a trailer names
    // an Encrypt dictionary or a cross-reference stream of the chain uses a predictor.
    int ReadXref();
    long long CountRecords(bool* encrypted, bool* predictor);
};

// Releases the table with its trailer, catalog and remembered objects, and the extracted-file
// path and resource record of every entry; the input file stays open (it is the caller's to
// close).
void ReleaseXref(PdfXref* xref);

// Destroys the remembered objects alone (for a creator that releases the rest itself).
void ReleaseObjectMemo(PdfXref* xref);

#endif
