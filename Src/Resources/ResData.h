// Records of extracted resources. The resource pass, the image and the font extraction write
// a file per PDF object into the temporary folder and hang one of these in the object's
// XrefEntry next to the file's path; the interpreter and the package writer read them by
// object number. The entry owns both; they live until the entry table is discarded.
//
// An entry holds one kind of record, but a hostile file can name one object as a font file,
// an image and a profile at once: readers take the record through RecordAs with the kind they
// expect and treat anything else as no record.
#ifndef VARDEX_RESOURCES_RESDATA_H
#define VARDEX_RESOURCES_RESDATA_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class ResData {
public:
    ResData() = default;
    virtual ~ResData();
    ResData(const ResData&) = delete;
    ResData& operator=(const ResData&) = delete;
};

// The record as the kind `Record`, or null when there is none or it is of another kind.
template <class Record>
Record* RecordAs(ResData* record)
{
    return dynamic_cast<Record*>(record);
}

// An extracted image or soft mask (or an inline image, whose record the interpreter owns).
class ImageInfo : public ResData {
public:
    int width = 0;             // pixels per row ("Width" or "W")
    int bitsPerComponent = 0;  // "BitsPerComponent" or "BPC"
    int height = 0;            // rows ("Height" or "H")
    int smaskObj = 0;          // object number of the image's soft mask, 0 when none
    // An image mask: its file is opaque where the fill colour paints and transparent elsewhere.
    bool stencil = false;
};

// An extracted ICC profile stream.
class IccInfo : public ResData {
public:
    int32_t N = 0;  // the stream's "N" as found; 0 when it has none
};

// Kinds of FontInfo; text showing adds 3 (standard font) and 4 (Type 3) of its own.
enum {
    FONT_KIND_TRUETYPE = 0,
    FONT_KIND_TYPE0 = 1,
    FONT_KIND_TYPE1 = 2
};

// An extracted font file. Kinds 0 and 2: widths[c - firstChar] is the width of code c for
// 0 <= c - firstChar < count. Kind 1: widths[k] belongs to cids[k], pairs in the order of
// the CIDFont's W array; the first pair with a CID wins.
class PdfObj;

class FontInfo : public ResData {
public:
    ~FontInfo() override;

    int32_t kind = 0;
    int32_t count = 0;          // entries of widths (and of cids for kind 1)
    double* widths = nullptr;   // malloc block, owned
    uint16_t* cids = nullptr;   // malloc block, owned; kind 1 only
    int32_t firstChar = 0;      // kinds 0 and 2
    // Kind 1: the CIDFont's DW, the width of a CID without a pair. Kind 3 (a font drawn from
    // the built-in data): the descriptor's MissingWidth, the width of a code Widths leaves out.
    double defaultWidth = 1000;
    // Kind 1: the width of every 16-bit CID, made by text showing when it first needs one.
    std::vector<double> cidWidths;
    // Kind 2: the font dictionary's Encoding as SimpleFontEncoding gives it, or null; owned.
    PdfObj* encoding = nullptr;
    // Kind 1 of a CIDFontType2 whose CIDToGIDMap is a stream: the glyph index of each CID as
    // the stream gives it (a CID past its end is its own glyph index, as readers take it), and
    // the stream's object number.
    // Null and 0 for an Identity map. The font dictionary's own, like its widths.
    std::shared_ptr<const std::vector<uint16_t>> cidMap;
    int32_t cidMapObj = 0;

    // What the program itself tells, shared by every width set of it. Kinds 0 and 1: glyphs
    // of the packaged font; a glyph run writes no index at or past it. Kind 1 with a CID-keyed
    // compact program: the glyph index of every CID (empty: the CID is the glyph index).
    int32_t numGlyphs = 0;
    std::shared_ptr<const std::vector<uint16_t>> cidToGid;

    // Font dictionaries that share this program but state other widths: width sets of their
    // own, found by FontWidthSet. The record itself is set 0, variants[k - 1] set k.
    std::vector<std::unique_ptr<FontInfo>> variants;
    // Set k of this record, or the record itself for 0 and for a k it does not have.
    FontInfo* WidthSet(int k);
};

// A font program that cannot become a font part (its tables or its header do not hold up, or
// it has no glyphs), kept in the entry of its stream in place of a FontInfo so that it is not
// read again. The fonts that use it are drawn as fonts that embed no program.
class RefusedFontProgram : public ResData {};

struct ByteBuffer;
struct PdfXref;
class PdfObj;
class PdfPageTree;

// The width set of `font` (a TrueType, Type 1 or Type0 font dictionary) among those of
// `record`, the record of the program it uses: its index, made anew when no set has the
// same widths; 0 (the record's own) past FONT_MAX_WIDTH_SETS.
int FontWidthSet(PdfPageTree* tree, PdfObj* font, FontInfo* record);

// Helpers the extractors share.

// Type1 and MMType1: an instance of a multiple-master font is a Type 1 font like any other.
bool IsType1Subtype(const char* subtype);

// The object number of the stream that font-file entry `key` of a font descriptor refers to,
// or -1 when the entry is no reference or refers to no stream: a free or missing object, as a
// producer that did not embed the font writes it (/FontFile2 0 0 R). Such a font embeds
// nothing.
int FontProgramObject(PdfXref* xref, PdfObj* descriptor, const char* key);

class PdfArray;
// Walks a CIDFont's W array into info's cids and widths (info->count entries at most); with
// `info` null it only counts. Returns the pairs the array gives.
int32_t WalkWidths(PdfArray* w, FontInfo* info);

// The value of `key` in a direct dictionary as stored (a reference stays one), or null.
PdfObj* ResourceValue(PdfObj* dict, const char* key);

// `value` itself, or for a reference the object it names (the document's, as PdfXref::Object
// keeps it: read it, never change it). *parsed is always null: nothing is left to delete.
PdfObj* ResolveResource(PdfXref* xref, PdfObj* value, char* buf, int size, PdfObj** parsed);

// Parses stream object objNum (token buffer buf of size bytes) and decodes its data through
// its Filter into `out` (which the caller passes empty and frees). 0 with the stream's
// dictionary in *dict (owned by the caller) when the object is a stream; -1, nothing held,
// otherwise.
int DecodeResourceStream(PdfPageTree* tree, int objNum, char* buf, int size, ByteBuffer* out,
                         PdfObj** dict);

// Creates `path` and writes the bytes; 0 only when everything was written and the file
// closed. On failure no file is left behind.
int WriteResourceFile(const char* path, const void* data, size_t size);

#endif
