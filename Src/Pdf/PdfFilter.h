// Stream filters: the buffer they share, the LZW stage and the direct inflate routines.
// The general chain (DecodeFilters and its front ends) is a member of PdfPageTree.
#ifndef VARDEX_PDF_PDFFILTER_H
#define VARDEX_PDF_PDFFILTER_H

#include <functional>

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

// Appends to a buffer that is to hold at most `cap` bytes, growing the block at least twofold
// at a time (never past `cap`): the part that fits is appended, and -1 says the rest did not.
int AppendCapped(ByteBuffer* b, const void* bytes, int n, long long cap);

// 1 when every stage decoded its data; 0 when a DCTDecode stage passed JPEG data through.
typedef int FilterResult;

// Where the filter chain hands its decoded bytes, a piece at a time as they are made: 0 to go
// on, 1 when the use has all it needs (the chain stops decoding there), -1 when it failed.
typedef std::function<int(const unsigned char* bytes, int n)> DecodeSink;

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
