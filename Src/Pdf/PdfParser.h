// Tokenizer and object parser: PDF bytes from a stream into PdfObj trees.
#ifndef VARDEX_PDF_PDFPARSER_H
#define VARDEX_PDF_PDFPARSER_H

#include <cstdio>

class PdfObj;
struct PdfXref;

// Token kinds returned by PdfLexicon.
enum PdfTokenKind {
    TOK_ERROR = 0,  // a stray ')' (left in the stream) or a lone '>'
    TOK_EOF = 1,
    TOK_ARRAY_OPEN = 2,
    TOK_ARRAY_CLOSE = 3,
    TOK_DICT_OPEN = 4,
    TOK_DICT_CLOSE = 5,
    TOK_BRACE_OPEN = 6,
    TOK_BRACE_CLOSE = 7,
    TOK_NAME = 8,
    TOK_INTEGER = 9,
    TOK_REAL = 10,
    TOK_STRING = 11,
    TOK_KEYWORD = 12,
    TOK_R = 13,
    TOK_TRUE = 14,
    TOK_FALSE = 15,
    TOK_NULL = 16,
    TOK_OBJ = 17,
    TOK_ENDOBJ = 18,
    TOK_STREAM = 19,
    TOK_ENDSTREAM = 20,
    TOK_XREF = 21,
    TOK_TRAILER = 22,
    TOK_STARTXREF = 23
};

// Reads the next token into buf (size bytes); *len receives its byte count. Names,
// numbers and keywords are NUL-terminated and cut at size-1 bytes; strings are raw bytes.
int PdfLexicon(FILE* fp, char* buf, int size, int* len);
void lexname(FILE* fp, char* buf, int size);

// Values of number tokens, clamped to the range of the result ("1-2" is worth 1).
int lexint(const char* text);
double lexreal(const char* text);

// Called after "<<" or "[" has been read; *out receives the container at once, so a partial
// one survives an early end. Always 0.
int PdfParseDict(PdfObj** out, FILE* fp, char* buf, int size);
int PdfParseArray(PdfObj** out, FILE* fp, char* buf, int size);

// Object objNum as a tree of its own, owned by the caller: a copy of what PdfXref::Object
// holds (read once per document). Only an in-use entry inside the table is read; otherwise, or
// when the header or value is missing, *out is left untouched. Also sets the entry's
// streamOffset when the object is a stream. Always 0.
int ParseIndirectObject(PdfObj** out, PdfXref* xref, int objNum, int gen, char* buf, int size);

// Reads object objNum from the file afresh: a tree owned by the caller, or null when the entry
// is not in use, its offset does not lead to "N G obj" or no value follows. *dataOffset gets
// the first byte of the stream data for a stream, else 0. PdfXref::Object is the one caller.
PdfObj* ReadIndirectObject(PdfXref* xref, int objNum, int* dataOffset);

#endif
