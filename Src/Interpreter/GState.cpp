#include "Interpreter/GState.h"

#include <cstdlib>

#include "Interpreter/ContentParser.h"

static const pdfmatrix kIdentity = {1.0, 0.0, 0.0, 1.0, 0.0, 0.0};

GState::GState()
    : ctm(kIdentity),
      charSpace(0.0),
      wordSpace(0.0),
      hScale(100.0),
      leading(0.0),
      renderMode(0),
      rise(0.0),
      tm(kIdentity),
      tlm(kIdentity),
      strokeGray(0.0),
      fillGray(0.0),
      // Black wherever a colour space is selected before any colour is given.
      fillRgb{0.0, 0.0, 0.0},
      strokeRgb{0.0, 0.0, 0.0},
      fillCmyk{0.0, 0.0, 0.0, 1.0},
      strokeCmyk{0.0, 0.0, 0.0, 1.0},
      lineWidth(1.0),
      lineCap(0),
      lineJoin(0),
      miterLimit(10.0),
      fillAlpha(1.0),
      strokeAlpha(1.0),
      strokeCS(1),
      fillCS(1),
      strokePatternCS(PATTERN_BASE_NONE),
      fillPatternCS(PATTERN_BASE_NONE),
      path(new PDF_PathGeometry),
      dashPhase(0.0)
{
}

// Duplicates every item of src into dst; an item that cannot be stored is left out.
static void CopyItems(PdfArray* dst, PdfArray* src)
{
    for (int i = 0; i < src->count; i++) {
        PdfObj* item = src->items[i] ? src->items[i]->Dup() : nullptr;
        if (!item)
            continue;
        if (dst->Append(item) != 0)
            delete item;
    }
}

GState::GState(GState* src) : GState()
{
    delete path;
    path = new PDF_PathGeometry(src->path);
    ctm = src->ctm;
    charSpace = src->charSpace;
    wordSpace = src->wordSpace;
    hScale = src->hScale;
    leading = src->leading;
    renderMode = src->renderMode;
    rise = src->rise;
    tm = src->tm;
    tlm = src->tlm;
    strokeGray = src->strokeGray;
    fillGray = src->fillGray;
    for (int i = 0; i < 3; i++) {
        fillRgb[i] = src->fillRgb[i];
        strokeRgb[i] = src->strokeRgb[i];
    }
    for (int i = 0; i < 4; i++) {
        fillCmyk[i] = src->fillCmyk[i];
        strokeCmyk[i] = src->strokeCmyk[i];
    }
    lineWidth = src->lineWidth;
    lineCap = src->lineCap;
    lineJoin = src->lineJoin;
    miterLimit = src->miterLimit;
    fillAlpha = src->fillAlpha;
    strokeAlpha = src->strokeAlpha;
    strokeCS = src->strokeCS;
    fillCS = src->fillCS;
    strokePatternCS = src->strokePatternCS;
    fillPatternCS = src->fillPatternCS;
    fillSpace = src->fillSpace;
    strokeSpace = src->strokeSpace;
    fillPaint = src->fillPaint;
    strokePaint = src->strokePaint;
    dashPhase = src->dashPhase;
    softMask = src->softMask;
    softMaskLuminosity = src->softMaskLuminosity;
    softMaskCtm = src->softMaskCtm;
    softMaskBackdrop = src->softMaskBackdrop;
    strokePattern = src->strokePattern;
    fillPattern = src->fillPattern;
    CopyItems(&dash, &src->dash);
    // The font selection survives q.
    CopyItems(&font, &src->font);
}

GState::~GState()
{
    delete path;
}

void GState::NewPath()
{
    delete path;
    path = new PDF_PathGeometry;
}

int ClipCallback(void* renderer)
{
    if (renderer)
        static_cast<RenderPage*>(renderer)->EndClip();
    return 0;
}

void ContentParser::RunClips(int level)
{
    if (!pendingClips || level < 0 || level >= CP_CLIP_LISTS)
        return;
    // The list is newest first: turn it round so clips end in the order they were opened.
    PendingClip* node = pendingClips[level];
    pendingClips[level] = nullptr;
    PendingClip* oldest = nullptr;
    while (node) {
        PendingClip* next = node->next;
        node->next = oldest;
        oldest = node;
        node = next;
    }
    while (oldest) {
        PendingClip* next = oldest->next;
        if (oldest->callback)
            oldest->callback(oldest->arg);
        free(oldest);
        oldest = next;
    }
}

void ContentParser::RunAllClips()
{
    for (int level = CP_MAX_DEPTH; level >= 0; level--)
        RunClips(level);
}

int ContentParser::PushGraphicState(PdfObj**)
{
    if (depth >= CP_MAX_DEPTH || !savedStates || !current)
        return 0;
    savedStates[depth] = current;
    current = new GState(current);
    depth++;
    return 0;
}

int ContentParser::PopGraphicState(PdfObj**)
{
    if (depth <= 0 || !savedStates)
        return 0;
    RunClips(depth);
    delete current;
    depth--;
    current = savedStates[depth];
    savedStates[depth] = nullptr;
    return 0;
}
