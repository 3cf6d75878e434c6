// The document's pages and the state that the resource extractors share: the
// temporary folder, one parse buffer and the resource-use lists.
#ifndef VARDEX_RESOURCES_PDFPAGETREE_H
#define VARDEX_RESOURCES_PDFPAGETREE_H

#include <cstdio>

#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Pdf/XGE_List.h"

class PdfObj;
class PdfDict;
class PdfName;
struct PdfXref;

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
    int GetPageContent(PdfObj* ref, FILE** out, int* fromPdf);

    // Stream filter chain. Reads `length` raw bytes from the current position of fp and
    // appends the decoded bytes to `out`; `filter` is a stream's Filter value (null, a
    // name, or an array of names or references to names). Always 0.
    int DecodeFilters(FILE* fp, PdfObj* filter, int length, ByteBuffer* out, FilterResult* result);
    int DecodeFiltersToMem(FILE* fp, PdfObj* filter, int length, ByteBuffer* out, FilterResult* result);
    // Decodes into a new file `path`, optionally followed by "\nendstream". Always 0.
    int DecodeFiltersToFile(FILE* fp, PdfObj* filter, int length, char* path, bool appendEndstream);
    bool IsDCTFilter(PdfObj* filter);

    // Resource pass, run for every page before any is interpreted: the page's fonts and ICC
    // profiles become files in tmpDir, each recorded (path and ResData) in the XrefEntry of
    // the object it came from, and only once that file is complete.
    int ExtractResources(int page);
    int ExtractColorSpace(PdfObj* colorSpaces);
    // Font extraction; the font lookup calls the last three for fonts the pass did not reach.
    int ExtractFontResource(PdfObj* fonts);
    int ExtractTrueType(PdfObj* font);
    int ExtractType1(PdfObj* font);
    int ExtractType0(PdfObj* font);

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
};

#endif
