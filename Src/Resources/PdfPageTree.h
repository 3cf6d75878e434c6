// The document's pages and the state that the resource extractors share: the
// temporary folder, one parse buffer and the resource-use lists.
#ifndef VARDEX_RESOURCES_PDFPAGETREE_H
#define VARDEX_RESOURCES_PDFPAGETREE_H

#include <cstdio>

#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/XGE_List.h"
#include "Resources/ColorSpace.h"
#include "Resources/Functions.h"

class GState;
class PdfObj;
class PdfArray;
class PdfDict;
class PdfName;
class PdfNumber;
class PdfReal;
class ImageInfo;
struct PdfXref;

// What an XObject's Subtype makes of it.
enum XObjectType : int { XOBJECT_IMAGE = 0, XOBJECT_FORM = 1 };

class PdfPageTree {
public:
    explicit PdfPageTree(PdfXref* xref);

    PdfPageTree(const PdfPageTree&) = delete;
    PdfPageTree& operator=(const PdfPageTree&) = delete;

    // Page tree walk and page access.
    int Load();
    int Load(PdfObj* node, PdfObj* ref);
    int GetContent(PdfObj** out, int page);
    int GetPageResourceDict(PdfObj** out, int page);
    int GetPageItem(PdfObj** out, PdfName* key, int page);
    int GetContent(PdfObj** out, int* dataOffset, PdfObj* ref);
    // ref: a PdfIndirect to the stream or a PdfNumber holding its object number.
    int GetPageContent(PdfObj* ref, FILE** out, int* fromPdf);
    // The bytes the data of stream objNum takes up in the file: its Length, within what the
    // file holds from the data on; 0 for an object that is no stream or has no usable Length.
    long long StoredBytes(int objNum);

    // Typed getters: one value of a direct dictionary (or an array item), following one
    // reference. The value is copied into `out`, which holds the caller's default; 0, or -1
    // when absent or of another type (out unchanged; GetName sets the empty text).
    int GetNumber(PdfNumber& out, PdfName* key, PdfObj* dict);
    int GetNumber(PdfNumber& out, int index, PdfArray* arr);
    int GetReal(PdfReal& out, PdfName* key, PdfObj* dict);
    int GetArray(PdfArray& out, PdfName* key, PdfObj* dict);
    int GetDict(PdfDict& out, PdfName* key, PdfObj* dict);
    int GetName(PdfName& out, PdfName* key, PdfObj* dict);
    int GetName(PdfName& out, int index, PdfArray* arr);

    // Stream filter chain. Reads `length` raw bytes from the current position of fp through
    // `filter` (a stream's Filter value: null, a name, or an array of names or references to
    // names) and hands the decoded bytes to `sink` as they are made, never holding a whole
    // stream; *result is set before the first byte reaches the sink. 0, or -1 when the sink
    // failed.
    int DecodeFiltersTo(FILE* fp, PdfObj* filter, int length, const DecodeSink& sink,
                        FilterResult* result);
    // Appends the decoded bytes to `out`, at most `maxBytes` of them (never more than
    // PDF_MAX_STREAM_BYTES): the chain stops decoding once a use has the bytes it needs.
    // Always 0.
    int DecodeFilters(FILE* fp, PdfObj* filter, int length, ByteBuffer* out, FilterResult* result);
    int DecodeFiltersToMem(FILE* fp, PdfObj* filter, int length, ByteBuffer* out,
                           FilterResult* result, long long maxBytes = PDF_MAX_STREAM_BYTES);
    int DecodeFiltersToFile(FILE* fp, PdfObj* filter, int length, char* path, bool appendEndstream,
                            FILE** reread = nullptr);
    bool IsDCTFilter(PdfObj* filter);

    // Resource pass, run for every page before any is interpreted: the page's fonts and ICC
    // profiles become files in tmpDir, each recorded (path and ResData) in the XrefEntry of
    // the object it came from, and only once that file is complete. 0; -1 when a file of the
    // conversion could not be written whole (UnwrittenFile says which), which no conversion
    // may go on without, or for a page index out of range.
    int ExtractResources(int page);
    int ExtractColorSpace(PdfObj* colorSpaces);
    // Font extraction; the font lookup calls the last three for fonts the pass did not reach.
    int ExtractFontResource(PdfObj* fonts);
    int ExtractTrueType(PdfObj* font);
    int ExtractType1(PdfObj* font);
    int ExtractType0(PdfObj* font);
    // What a font resource name of `resources` stands for, for text showing: a PdfNumber with
    // the object number of its extracted font file (TrueType, Type0, embedded Type 1), or a
    // copy of the font dictionary (Type 3, Type 1 with a standard name). A font file the pass
    // did not reach is extracted first; -1 (out untouched) when there is nothing to draw with.
    int FindFontFile(PdfObj* name, PdfObj** out, PdfObj* resources);

    // Resource lookups by operand name. `resources` is the Resources value the stream being
    // interpreted draws with (its own, or those it inherits: a form without Resources uses
    // its caller's, a Type 3 glyph its font's or else the page's); it may be a reference.
    // 0, or -1 with the results untouched, except FindCS's `out`, which is CS_OTHER for a
    // resource name that does not resolve. Pattern and shading entries must be references.
    int FindXObject(PdfObj* name, int* objNum, XObjectType* type, PdfObj* resources);
    int FindPattern(PdfObj* name, int* objNum, PdfObj* resources);
    int FindShading(PdfObj* name, int* objNum, PdfObj* resources);
    // `param` receives a copy (the caller's to delete) of the second element of an array
    // space other than CalRGB: the profile reference, the base or underlying space, ...;
    // `value`, when given, a copy of the whole space (a device name as the name itself).
    int FindCS(PdfObj* cs, PdfObj** param, ColorSpace* out, PdfObj* resources,
               PdfObj** value = nullptr);
    // Applies ca, CA, LW, LJ, ML and LC of the named parameter dictionary to gs.
    int SetExtGState(PdfObj* name, GState* gs, PdfObj* resources);

    // An image's colour space as a record owned by the caller; null for the forms that are
    // not modelled (CalRGB, CalGray, Lab, Separation, DeviceN, Pattern arrays, malformed).
    ColorSpaceRecord* GetColorSpace(PdfObj* cs);
    // Writes an indexed image as an RGB PNG. `data` holds `height` rows of
    // (width × bitsPerComponent + 7) / 8 bytes, 1, 2, 4 or 8 bits per index. 0 once the
    // file was handed to the writer; -1 when the image is refused and nothing is written.
    int IndexToPng(IndexColorSpace* ics, int components, void* data, int width, int height,
                   int bitsPerComponent, char* path);

    // Image extraction. An image or soft-mask object becomes "IMG_<num>.png" or ".jpg" in
    // tmpDir once per conversion; its entry gets the path and an ImageInfo only after the
    // file is complete. 0 when extracted now or before; -1 when it cannot be (not an image,
    // no data, a colour space without an RGB or gray rendering, a size of 0 or below).
    int ExtractSingleImage(int objNum);
    int ExtractSMask(int objNum);
    // An image mask (ImageMask true) as a stencil file: 0 when it is extracted now or was
    // before as one; -1 for any other object.
    int ExtractStencilMask(int objNum);
    // Reads one inline image's data from `content` (just after ID) and leaves it before the
    // EI that ends the image. With pngPath the image is written there; without, its data are
    // only passed over. info receives the image's size; its bitsPerComponent is 1 for a
    // stencil (a 1-bit mask) and 8 for an image whose file holds gray or RGB pixels.
    // 0 when the image has a file at pngPath (written now, or before when pngPath is null);
    // -1 when it has none and must not be drawn.
    int ExtractInlineImage(PdfArray* keyValues, FILE* content, ImageInfo* info, char* pngPath);
    // Extracts every image of an XObject dictionary (unused by the conversion).
    int ExtractXObjectResource(PdfObj* xobjects);

    // A temporary file that could not be written whole: the extractor that wrote it records
    // the first such file of the conversion here and gives -1. The resource pass and the
    // page's content streams fail on it; an image or font written while a page is drawn is
    // drawn as missing, and the conversion driver fails the page on the record.
    int FileNotWritten(const char* path, int err);
    // The path of that file (and its error number), or null while every file was written.
    const char* UnwrittenFile(int* err) const;

    PdfObj** pageRef;     // per page: the Kids item that reached it (borrowed)
    PdfObj** pageDict;    // per page: its dictionary, owned
    PdfDict** pageExtra;  // per page: an empty dictionary, owned
    PdfObj* inhResources;
    PdfObj* inhMediaBox;
    PdfObj* inhCropBox;
    PdfObj* inhRotate;
    PdfObj* pagesRoot;  // owned
    PdfXref* xref;      // borrowed
    XGE_List resources;        // {int page; int objNum}
    XGE_List iResources;       // {int page; InternalResource id}
    XGE_List inlineResources;  // {int page; char path[PDF_MAX_PATH]}
    char tmpDir[PDF_MAX_PATH];
    char parseBuf[PDF_PARSE_BUF];
    XGE_List spareList;
    char sparePath[PDF_MAX_PATH];
    int pageCount;
    int maxPages;  // slots in the three per-page blocks: the root's Count, bounded

    // State of the walk: object numbers of the nodes from the root down to the current one,
    // and the kids it may still parse (a tree whose Kids repeat a subtree would otherwise
    // take exponential time).
    int walkPath[PAGE_TREE_MAX_DEPTH];
    int walkDepth;
    long walkBudget;
    long copyBudget;  // objects the walk may still copy into pages (PAGE_TREE_MAX_COPIED)

    char unwrittenPath[PDF_MAX_PATH];
    int unwrittenErrno;
    // What evaluating and walking the document's functions may still spend.
    FunctionWork functionWork;
};

// Releases the tree with the pages, the page-tree root and the record lists its loading made
// (the page tree has no destructor of its own: the conversion driver owns this order).
void ReleasePageTree(PdfPageTree* tree);

#endif
