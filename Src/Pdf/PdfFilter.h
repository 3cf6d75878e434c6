// Stream filters: the buffer they share, the LZW stage and the direct inflate routines.
// The general chain (DecodeFilters and its front ends) is a member of PdfPageTree.
#ifndef VARDEX_PDF_PDFFILTER_H
#define VARDEX_PDF_PDFFILTER_H

#include "Pdf/Limits.h"

class PdfObj;
struct PdfXref;

// A growable byte buffer; the owner releases `data` with free.
struct ByteBuffer {
    int size = 0;
    int readPos = 0;
    int capacity = 0;
    int growStep = 1024;
    unsigned char* data = nullptr;

    // Appends n bytes, growing to the larger of capacity + growStep and size + n.
    // -1 (bytes dropped, buffer unchanged) when the block cannot grow.
    int Append(const void* bytes, int n);
};

// 1 when every stage decoded its data; 0 when a DCTDecode stage passed JPEG data through.
typedef int FilterResult;

// One LZW stage from `in` (read from readPos) to `out`.
class LZWDecode {
public:
    LZWDecode();
    ~LZWDecode();
    LZWDecode(const LZWDecode&) = delete;
    LZWDecode& operator=(const LZWDecode&) = delete;

    int Decode();

    ByteBuffer* in;
    ByteBuffer* out;
    int bitsHeld;
    ByteBuffer* dict[LZW_MAX_CODES];
    int nextCode;
    unsigned int acc;
    int width;
};

// `obj` names the stream: a PdfIndirect to it or a PdfNumber holding its object number
// (anything else: -1). The raw bytes are read at the object's stream-data offset, which
// is known once the object has been parsed. 0 or -1.
int DecodeFlate(PdfXref* xref, PdfObj* obj, char* path, int length, int appendEndstream);
// Inflates into out[0..outSize); data beyond outSize is dropped.
int DecodeFlateToMem(PdfXref* xref, PdfObj* obj, char* out, int length, int outSize);
int ExtractStream(PdfXref* xref, PdfObj* obj, char* path, int length);
int DecodeLZWASCII85(PdfXref* xref, PdfObj* obj, char* path, int length, int appendEndstream);

// True when the decode parameters (a dictionary, an array of them, or a reference to either,
// followed through `xref` when it is given) ask for a predictor. No filter here undoes one:
// such data would come out as shifted bytes, so what holds it is left out or refused.
bool Predicted(PdfXref* xref, PdfObj* parms);

#endif
