#include "Apps/converter/Larkspan.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <string>
#include <sys/stat.h>

#include "Apps/converter/PathUtils.h"
#include "Interpreter/ContentParser.h"
#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Pdf/RemoveOnStop.h"
#include "Resources/Functions.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "Xps/XpsPackage.h"
#include "Xps/XpsPage.h"

namespace {

// Every content stream of the conversion is scanned with one token buffer of this size.
enum { SCAN_BUF = 4096 };

// The page size of a page without a usable MediaBox: US Letter, in points.
const double kDefaultWidth = 612;
const double kDefaultHeight = 792;
// The narrowest page side a box may give, in points.
const double kMinPageSide = 1;

// The one line that says why a conversion failed.
void Reason(const char* input, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Reason(const char* input, const char* format, ...)
{
    fprintf(stderr, "Vardex: %s: ", input);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path);
    return 0;
}

// The folder every intermediate file of one conversion goes into: a fresh folder only this
// process can enter, made inside the --tmpdir folder or else under TMPDIR (/tmp when unset),
// so conversions that share a temporary folder never meet. Inside --tmpdir it is kept with
// everything in it for inspection; under TMPDIR it is removed when the conversion ends, and
// also when the process is stopped by a signal.
class WorkFolder {
public:
    WorkFolder() { path[0] = 0; }
    ~WorkFolder()
    {
        if (made && !keep) {
            RemoveOnStopFolder(nullptr);
            nftw(path, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // 0, or -1 with the reason on standard error. A base folder whose path leaves no room
    // for the run folder and the names written into it is refused before anything is made.
    int Make(const char* input, const char* given)
    {
        keep = given && given[0];
        const char* base = given;
        if (!keep) {
            base = getenv("TMPDIR");
            if (!base || !base[0])
                base = "/tmp";
        }
        if (!RunFolderPattern(path, base)) {
            Reason(input, "the temporary folder's path is too long (%d bytes at most): %.60s...",
                   (int)(TMP_MAX_FOLDER - 1 - strlen(VARDEX_RUN_FOLDER)), base);
            return -1;
        }
        int why = 0;
        if (keep && !MakeDirectory(base, &why)) {
            Reason(input, "cannot create the temporary folder %s: %s", base, strerror(why));
            path[0] = 0;
            return -1;
        }
        if (!mkdtemp(path)) {
            Reason(input, "cannot create a temporary folder in %s: %s", base, strerror(errno));
            path[0] = 0;
            return -1;
        }
        made = true;
        if (!keep)
            RemoveOnStopFolder(path);
        return 0;
    }

    char path[PDF_MAX_PATH];

private:
    bool made = false;
    bool keep = false;
};

// The one line for a temporary file that could not be written whole, when there is one.
bool WriteFailed(const char* input, PdfPageTree* pages)
{
    int err = 0;
    const char* path = pages->UnwrittenFile(&err);
    if (!path)
        return false;
    Reason(input, "cannot write the temporary file %s: %s", path, strerror(err ? err : EIO));
    return true;
}

// The line for a page that ran out of one of its budgets ("" for a page drawn whole): the
// page keeps what it drew, and the conversion goes on.
std::string BudgetWarning(const char* input, int page, const PageWork& work)
{
    static const struct {
        PageBudget budget;
        const char* what;
        const char* limit;
    } kBudgets[] = {
        {PAGE_BUDGET_TOKENS, "content tokens", "PAGE_MAX_CONTENT_TOKENS"},
        {PAGE_BUDGET_NESTED_RUNS, "nested content streams", "PAGE_MAX_NESTED_RUNS"},
        {PAGE_BUDGET_MARKUP, "bytes of markup", "PAGE_MAX_MARKUP_BYTES"},
    };
    for (const auto& b : kBudgets) {
        if (b.budget != work.stoppedBy)
            continue;
        char line[PDF_MAX_PATH + 160];
        snprintf(line, sizeof line,
                 "Vardex: warning: %s: page %d is drawn in part: it reached its limit of %lld "
                 "%s (%s)\n",
                 input, page + 1, work.Budget(b.budget), b.what, b.limit);
        return line;
    }
    return "";
}

// The document's file, tables and objects, released on every way out of the conversion,
// together with everything the extractors hung on the entries.
struct Document {
    PdfXref* xref = nullptr;
    PdfPageTree* pages = nullptr;
    FILE* fp = nullptr;

    ~Document()
    {
        ReleasePageTree(pages);
        ReleaseXref(xref);
        if (fp)
            pdfclose(fp);
    }
};

bool Number(PdfObj* obj, double* out)
{
    if (!obj)
        return false;
    if (obj->Type() == PDF_NUMBER)
        *out = static_cast<PdfNumber*>(obj)->value;
    else if (obj->Type() == PDF_REAL)
        *out = static_cast<PdfReal*>(obj)->value;
    else
        return false;
    return std::isfinite(*out);
}

// The page is the box: its size is the distance between its corners, given in either order,
// and its lower-left corner becomes the page's. A box that is missing, short, or under one
// point wide or high (no reader opens such a page) leaves the defaults, Letter at the origin.
void PageSize(PdfPageTree* pages, int page, double* x, double* y, double* width, double* height)
{
    *x = 0;
    *y = 0;
    *width = kDefaultWidth;
    *height = kDefaultHeight;
    PdfName key;
    key.str = strdup("MediaBox");
    PdfObj* box = nullptr;
    pages->GetPageItem(&box, &key, page);
    if (box && box->Type() == PDF_ARRAY) {
        PdfArray* a = static_cast<PdfArray*>(box);
        double c[4];
        if (a->count >= 4 && Number(a->items[0], &c[0]) && Number(a->items[1], &c[1]) &&
            Number(a->items[2], &c[2]) && Number(a->items[3], &c[3])) {
            double x1 = std::min(c[0], c[2]), x2 = std::max(c[0], c[2]);
            double y1 = std::min(c[1], c[3]), y2 = std::max(c[1], c[3]);
            if (x2 - x1 >= kMinPageSide && y2 - y1 >= kMinPageSide && std::isfinite(x2 - x1) &&
                std::isfinite(y2 - y1)) {
                *x = x1;
                *y = y1;
                *width = x2 - x1;
                *height = y2 - y1;
            }
        }
    }
    RemoveObj(box);
}

// The page's quarter turns clockwise from its Rotate entry (its own or inherited): a multiple
// of 90, brought into 0 to 270. Any other value, or none, leaves the page upright.
int PageRotation(PdfPageTree* pages, int page)
{
    PdfName key;
    key.str = strdup("Rotate");
    PdfObj* rotate = nullptr;
    pages->GetPageItem(&rotate, &key, page);
    double degrees = 0;
    int turns = 0;
    if (Number(rotate, &degrees) && degrees == std::floor(degrees) &&
        std::fmod(degrees, 90) == 0) {
        double r = std::fmod(degrees, 360);
        if (r < 0)
            r += 360;
        turns = (int)(r / 90);
    }
    RemoveObj(rotate);
    return turns;
}

PdfObj* PageResources(PdfPageTree* pages, int page)
{
    PdfName key;
    key.str = strdup("Resources");
    PdfObj* resources = nullptr;
    pages->GetPageItem(&resources, &key, page);
    return resources;
}

// Scans one content stream given by its reference; a stream that cannot be had is passed by.
void ScanStream(ContentParser* parser, PdfPageTree* pages, PdfObj* ref, PdfObj* resources,
                char* buf)
{
    if (!ref || ref->Type() != PDF_INDIRECT)
        return;
    FILE* stream = nullptr;
    int fromPdf = 0;
    if (pages->GetPageContent(ref, &stream, &fromPdf) != 0 || !stream)
        return;
    parser->HoldStream(static_cast<PdfIndirect*>(ref)->refNum);
    parser->Scanner(stream, resources, buf, SCAN_BUF);
    // A stream read in place shares the document's file, which stays open.
    if (!fromPdf)
        pdfclose(stream);
}

// Runs every content stream of the page through the parser, in order: "Contents" is one
// stream, an array of them, or a reference to such an array.
void ScanContents(ContentParser* parser, PdfXref* xref, PdfPageTree* pages, int page,
                  PdfObj* resources, char* buf)
{
    PdfObj* contents = nullptr;
    pages->GetContent(&contents, page);
    if (!contents)
        return;
    PdfObj* resolved = nullptr;
    if (contents->Type() == PDF_INDIRECT) {
        ParseIndirectObject(&resolved, xref, static_cast<PdfIndirect*>(contents)->refNum, 0, buf,
                            SCAN_BUF);
        if (resolved && resolved->Type() == PDF_ARRAY)
            contents = resolved;
    }
    if (contents->Type() == PDF_ARRAY) {
        PdfArray* list = static_cast<PdfArray*>(contents);
        for (int i = 0; i < list->count; i++)
            ScanStream(parser, pages, list->items[i], resources, buf);
    } else {
        ScanStream(parser, pages, contents, resources, buf);
    }
    delete resolved;
}

}  // namespace

int Larkspan::Convert(char* input, char* output)
{
    WorkFolder work;
    if (work.Make(input, tempDir) != 0)
        return -1;

    Document doc;
    doc.xref = new PdfXref();
    doc.xref->fp = nullptr;
    doc.xref->trailer = nullptr;
    doc.xref->root = nullptr;
    doc.xref->reserved = 0;
    doc.xref->entries = nullptr;
    errno = 0;
    int loaded = doc.xref->Load(&doc.fp, input);
    if (!doc.fp)
        doc.fp = doc.xref->fp;
    if (loaded != 0) {
        // A file that opened was refused by Load, which has said why.
        if (!doc.fp)
            Reason(input, "cannot open: %s", strerror(errno ? errno : ENOENT));
        return -1;
    }

    // Objects in object streams are not read: a page tree that leads into one would lose
    // pages without a word.
    int compressedBefore = doc.xref->compressedAsked;
    doc.pages = new PdfPageTree(doc.xref);
    PdfPageTree* pages = doc.pages;
    pages->Load();
    if (doc.xref->compressedAsked != compressedBefore) {
        Reason(input, "the page tree lies in object streams, which are not supported");
        return -1;
    }
    snprintf(pages->tmpDir, sizeof pages->tmpDir, "%s", work.path);
    size_t len = strlen(pages->tmpDir);
    if (len == 0 || (pages->tmpDir[len - 1] != '/' && pages->tmpDir[len - 1] != '\\'))
        strcat(pages->tmpDir, "/");  // Make left room for it

    // A font or profile that did not reach the disk whole would silently be missing.
    for (int page = 0; page < pages->pageCount; page++) {
        if (pages->ExtractResources(page) != 0 && WriteFailed(input, pages))
            return -1;
    }

    int pageCount = pages->pageCount;
    if (pageCount <= 0) {
        Reason(input, "the document has no pages");
        return -1;
    }

    char scanBuf[SCAN_BUF];
    // Said once the package is written: a conversion that fails says only why.
    std::string warnings;
    for (int page = 0; page < pageCount; page++) {
        double x, y, width, height;
        PageSize(pages, page, &x, &y, &width, &height);

        ContentParser* parser = new ContentParser();
        parser->xref = doc.xref;
        parser->pages = pages;
        parser->pageIndex = page;
        XpsPage renderer;
        renderer.parser = parser;
        renderer.pagesStarted = 0;
        renderer.pageDir = work.path;
        renderer.originX = x;
        renderer.originY = y;
        renderer.quarterTurns = PageRotation(pages, page);
        parser->renderer = &renderer;

        if (renderer.StartPage(page, width, height) != 0) {
            delete parser;
            Reason(input, "cannot write page %d", page + 1);
            return -1;
        }
        PdfObj* resources = PageResources(pages, page);
        parser->owner = pages->pageDict[page];
        ScanContents(parser, doc.xref, pages, page, resources, scanBuf);
        RemoveObj(resources);
        parser->RunAllClips();
        int ended = renderer.EndPage();
        warnings += BudgetWarning(input, page, parser->ownWork);
        delete parser;
        if (ended != 0) {
            Reason(input, "cannot write page %d", page + 1);
            return -1;
        }
        // An image, a font or a content stream the page needed and could not write.
        if (WriteFailed(input, pages))
            return -1;
    }

    // The package writer leaves the output path as it was unless the package is complete.
    int why = 0;
    if (WriteXpsPackage(pageCount, &pages->resources, &pages->iResources, &pages->inlineResources,
                        output, work.path, doc.xref, &why) != 0) {
        if (output && why)
            Reason(input, "cannot write the package %s: %s", output, strerror(why));
        else if (output)
            Reason(input, "cannot write the package %s", output);
        else
            Reason(input, "cannot write the package to standard output");
        return -1;
    }
    // A section the reader could not walk whole is said once the document has converted
    // without it; a refused document says only why it was refused.
    if (doc.xref->sectionDamaged)
        error_str("xref error\n");
    fputs(warnings.c_str(), stderr);
    return 0;
}
