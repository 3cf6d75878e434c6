// Content streams drawn in the middle of another one: form XObjects, Type 3 glyph
// procedures and tiling-pattern cells. Each runs in a short-lived parser of its own that
// draws into the caller's renderer and records resource use for the caller's page.
#include "Interpreter/ContentParser.h"

#include <cstdio>

#include "Pdf/Limits.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"
#include "Xps/XpsPage.h"

namespace {

enum {
    // Token buffer of a nested scanner.
    NEST_TOKEN_BUF = 2080
};

// The owner of a nested parser: the reference to the stream it runs, linked to the owner of
// the parser that asked for the run. Walking the links from the innermost parser gives the
// chain of streams being run, which is all a file needs to make a form draw itself.
class NestedOwner : public PdfIndirect {
public:
    NestedOwner* outer = nullptr;
    int level = 1;  // 1 for a stream run from page content
};

NestedOwner* OwnerOf(ContentParser* cp)
{
    return cp->owner ? dynamic_cast<NestedOwner*>(cp->owner) : nullptr;
}

// A run is refused when its stream is already being run further out (it would draw itself
// for ever), when it would nest too deep, or when the page has spent its budget: streams
// that each run the next one twice stay within the depth cap and still run 2^depth times.
bool RunAllowed(NestedOwner* outer, int objNum, PageWork* work, RenderPage* renderer)
{
    if (outer && outer->level >= NEST_MAX_LEVELS)
        return false;
    if (!work || work->Spent(renderer))
        return false;
    if (work->nestedRuns >= work->NestedRunBudget()) {
        work->Stop(PAGE_BUDGET_NESTED_RUNS);
        return false;
    }
    for (NestedOwner* o = outer; o; o = o->outer)
        if (o->refNum == objNum)
            return false;
    return true;
}

// The renderer's back pointer, when the renderer has one.
XpsPage* BackPointerHolder(RenderPage* renderer)
{
    return renderer ? dynamic_cast<XpsPage*>(renderer) : nullptr;
}

}  // namespace

bool ContentParser::NestedRunAllowed(int objNum)
{
    return pages && xref && RunAllowed(OwnerOf(this), objNum, work, renderer);
}

int ContentParser::ProcessPatternStream(int objNum, PdfObj* res, GState* state,
                                        const double* clipBox)
{
    NestedOwner* outer = OwnerOf(this);
    if (!NestedRunAllowed(objNum))
        return 0;
    work->nestedRuns++;

    ContentParser* nested = new ContentParser;
    NestedOwner* owner = new NestedOwner;
    owner->refNum = objNum;
    owner->refGen = 0;
    owner->outer = outer;
    owner->level = outer ? outer->level + 1 : 1;

    nested->pageIndex = pageIndex;
    nested->xref = xref;
    nested->pages = pages;
    nested->renderer = renderer;
    nested->owner = owner;
    nested->work = work;
    if (state && nested->current) {
        delete nested->current;
        nested->current = new GState(state);
    }

    char buf[NEST_TOKEN_BUF];
    // Resources given by reference are read before the stream is positioned: an unfiltered
    // stream is read from the document's own file, and reading an object moves that file.
    if (res && res->Type() == PDF_INDIRECT)
        res = xref ? xref->Object(static_cast<PdfIndirect*>(res)->refNum) : nullptr;
    // A form without resources of its own (or with a reference that leads nowhere) draws with
    // those of the stream that called it; they stay valid while that stream's scanner runs.
    if (!res)
        res = resources;

    FILE* fp = nullptr;
    int fromPdf = 1;
    PdfNumber ref;
    ref.value = objNum;
    bool haveStream = pages->GetPageContent(&ref, &fp, &fromPdf) == 0 && fp;
    if (haveStream)
        HoldStream(objNum);

    if (haveStream && nested->current && nested->savedStates && nested->pendingClips) {
        XpsPage* page = BackPointerHolder(renderer);
        ContentParser* saved = page ? page->parser : nullptr;
        if (page)
            page->parser = nested;

        if (clipBox)
            nested->ClipToBox(clipBox);
        nested->Scanner(fp, res, buf, sizeof buf);
        // Canvases the stream opened at any depth close here, so a form or tile never leaves
        // one open around what the caller draws next.
        nested->RunAllClips();

        if (page)
            page->parser = saved;
    }
    if (haveStream && !fromPdf)
        fclose(fp);

    delete nested;
    delete owner;
    return 0;
}
