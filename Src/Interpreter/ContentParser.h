// The content-stream interpreter: reads a decoded content stream token by token, collects
// operands, dispatches every operator through OpTable and draws through a RenderPage.
#ifndef VARDEX_INTERPRETER_CONTENTPARSER_H
#define VARDEX_INTERPRETER_CONTENTPARSER_H

#include <cstdio>
#include <unordered_set>

#include "Interpreter/GState.h"
#include "Interpreter/PathGeometry.h"
#include "Interpreter/RenderPage.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"

struct PdfXref;
class PdfPageTree;
class PdfDict;
class PatternInfo;
class TilePatternInfo;
class ShadePatternInfo;

enum {
    // One pending-clip list per depth 0..CP_MAX_DEPTH.
    CP_CLIP_LISTS = CP_MAX_DEPTH + 1,
    // Rows of OpTable.
    CP_OP_ROWS = 62
};

// One end-of-clip action queued by W or W* for the end of its q level.
struct PendingClip {
    int (*callback)(void*);
    void* arg;
    PendingClip* next;
};

// The budgets of Pdf/Limits.h a page can run out of.
enum PageBudget { PAGE_BUDGET_NONE, PAGE_BUDGET_TOKENS, PAGE_BUDGET_NESTED_RUNS, PAGE_BUDGET_MARKUP };

// What one page has spent so far, against the budgets of Pdf/Limits.h, and what it holds,
// which the budgets grow with. The page's parser owns it; every nested parser under that page
// counts into the same one, and the driver reads it when the page ends.
struct PageWork {
    long long tokens = 0;      // tokens scanned, nested streams included
    long long nestedRuns = 0;  // nested content streams run
    // Bytes in the file of the content streams the page has run, each counted once.
    long long heldBytes = 0;
    std::unordered_set<int> heldStreams;  // their object numbers
    // The first budget the page ran out of; PAGE_BUDGET_NONE while it has all it drew.
    PageBudget stoppedBy = PAGE_BUDGET_NONE;

    bool Holds(int objNum) const { return heldStreams.count(objNum) != 0; }
    // Counts the stored bytes of stream objNum into what the page holds, unless it holds
    // them already; the page never holds more than the file's `fileBytes`.
    void Hold(int objNum, long long storedBytes, long long fileBytes);
    long long TokenBudget() const;
    long long NestedRunBudget() const;
    unsigned long long MarkupBudget() const;
    // The budget's value as it stands now.
    long long Budget(PageBudget which) const;
    // True once the page may scan no more: its tokens are spent, or its renderer has
    // written all the markup a page may. The first budget found spent is remembered.
    bool Spent(RenderPage* renderer);
    // Records that the page ran out of `which`, unless it ran out of another before.
    void Stop(PageBudget which);
};

// Ends one clip on the renderer it is given.
int ClipCallback(void* renderer);

// The value of a number operand: an integer or a real gives 0 and *out; anything else
// (a name, a string, a missing operand) gives -1 and leaves *out alone.
int OperandNumber(PdfObj* obj, double* out);

class ContentParser {
public:
    // Counts and depth 0, the saved-state block and the zero-filled pending-clip block
    // allocated, a default current state; xref, pages, renderer, owner and page index are
    // the creator's to set.
    ContentParser();
    // Releases the operands left on the stack, the saved states below the current depth,
    // the current state, pending-clip nodes (without running them: call RunAllClips first
    // while the renderer is alive) and both blocks.
    ~ContentParser();
    ContentParser(const ContentParser&) = delete;
    ContentParser& operator=(const ContentParser&) = delete;

    // Interprets one content stream from its current position. 0 at "endstream" or at a
    // token that cannot occur in a content stream, -1 at end of file or on a lexer error.
    // Clips still queued stay queued: the caller ends them with RunAllClips when the page
    // (or the nested stream) is over.
    int Scanner(FILE* stream, PdfObj* resources, char* buffer, int bufferSize);
    // Runs the handler of the operator's row; an operator without a row is ignored.
    int Execute(char* op, PdfObj** operands);

    // Ends the clips queued at one depth, in the order they were opened.
    void RunClips(int level);
    // Ends every clip still queued, deepest level first: at the end of a page (before
    // EndPage) and of a nested stream.
    void RunAllClips();

    // n number operands, first operand first, into out: 0, or -1 (out untouched) when the
    // stack holds fewer than n or one of them is not a number.
    int NumberOperands(PdfObj** ops, int n, double* out);

    // Handlers: the operand array in, 0 out. Each checks the count and types it needs and
    // ignores an operator whose operands do not fit.
    // Text state, positioning and showing.
    int SetTextMatrix(PdfObj** ops);
    int ShowTextArray(PdfObj** ops);
    int ShowText(PdfObj** ops);
    int MoveStartNL(PdfObj** ops);
    int MoveStartNL_LD(PdfObj** ops);
    int SetTextLeading(PdfObj** ops);
    int SetTextRender(PdfObj** ops);
    int MoveNextLine(PdfObj** ops);
    int SetTextwordSpace(PdfObj** ops);
    int SetTextcharSpace(PdfObj** ops);
    int SetTextScale(PdfObj** ops);
    int SetTextRise(PdfObj** ops);
    int BeginText(PdfObj** ops);
    int EndText(PdfObj** ops);
    int MoveShowText(PdfObj** ops);
    int MoveWSShowText(PdfObj** ops);
    int SetFont(PdfObj** ops);
    // Colours, line style, parameters, matrix.
    int SetGrayStroke(PdfObj** ops);
    int SetGray(PdfObj** ops);
    int SetColorStroke(PdfObj** ops);
    int SetRgb(PdfObj** ops);
    int SetRgbStroke(PdfObj** ops);
    int SetColor(PdfObj** ops);
    int SetCMYKStroke(PdfObj** ops);
    int SetCMYK(PdfObj** ops);
    int SetLineWidth(PdfObj** ops);
    int SetLineCap(PdfObj** ops);
    int SetLineJoin(PdfObj** ops);
    int SetMiterLimit(PdfObj** ops);
    int SetGS(PdfObj** ops);
    int ConcatMatrix(PdfObj** ops);
    int SetColorSpace(PdfObj** ops);
    int SetColorSpaceStroke(PdfObj** ops);
    int SetCSColor(PdfObj** ops);
    int SetCSColorStroke(PdfObj** ops);
    int SetDash(PdfObj** ops);
    // Inline images, XObjects, shadings.
    int BeginImage(PdfObj** ops);
    int ImageData(PdfObj** ops);
    int EndImage(PdfObj** ops);
    int ExecuteXObject(PdfObj** ops);
    int FillShade(PdfObj** ops);
    // State stack.
    int PushGraphicState(PdfObj** ops);
    int PopGraphicState(PdfObj** ops);
    // Path construction, painting, clipping.
    int MoveTo(PdfObj** ops);
    int LineTo(PdfObj** ops);
    int Rectangle(PdfObj** ops);
    int CurveTo(PdfObj** ops);
    int CurveToV(PdfObj** ops);
    int CurveToY(PdfObj** ops);
    int ClosePath(PdfObj** ops);
    int StrokeClose(PdfObj** ops);
    int Stroke(PdfObj** ops);
    int FillNonZero(PdfObj** ops);
    int FillOddEven(PdfObj** ops);
    int FillStrokeNonZero(PdfObj** ops);
    int FillStrokeOddEven(PdfObj** ops);
    int FillStrokeNonZeroClose(PdfObj** ops);
    int FillStrokeOddEvenClose(PdfObj** ops);
    int EndPath(PdfObj** ops);
    int ClipNonZero(PdfObj** ops);
    int ClipOddEven(PdfObj** ops);

    // Services for the renderer and for nested content.
    // Draws the soft mask objNum for the renderer: an extracted image's (SetSMask), or the
    // form of the soft mask in the current state, drawn into whatever the renderer has open.
    int ProcessSMask(int objNum);
    int GetSmask(PdfObj* resources);
    // Runs stream objNum in a nested parser that starts from a copy of `state` (the default
    // state when null); with `clipBox` (llx lly urx ury in the stream's space) everything
    // the stream draws is clipped to that box.
    int ProcessPatternStream(int objNum, PdfObj* resources, GState* state,
                             const double* clipBox = nullptr);
    // Whether stream objNum may run nested here now: not already running further out, not
    // too deep, and within the page's budget.
    bool NestedRunAllowed(int objNum);
    // Counts stream objNum, which this parser's page is about to run, into what the page
    // holds (once per page).
    void HoldStream(int objNum);
    int GetPatternInfo(PatternInfo** out, GState* gs, int stroke);
    int GetShadingInfo(PdfName* name, PatternInfo** out);
    int GetTilePatternInfo(PdfObj* pattern, TilePatternInfo** info);
    int GetShadingPatternInfo(PdfObj* pattern, ShadePatternInfo** info);
    int LinearShading(PdfObj* shading, ShadePatternInfo* info);
    int RadialShading(PdfObj* shading, ShadePatternInfo* info);
    int MapChartoName(PdfDict* encoding, unsigned int code, PdfObj** name);

    PdfObj* operands[CP_MAX_OPERANDS]; // element 0 is an operator's first operand
    FILE* stream;                      // the stream being scanned
    int operandCount;                  // carries over between the streams of one page
    int pageIndex;                     // 0-based
    int inlineImageCount;
    GState** savedStates;              // CP_MAX_DEPTH slots: the q stack
    GState* current;
    // CP_CLIP_LISTS heads, one per depth. Each list is kept newest first so that queuing is
    // constant-time; RunClips ends them oldest first.
    PendingClip** pendingClips;
    int depth;
    PdfXref* xref;
    PdfPageTree* pages;
    PdfObj* resources;  // valid only while Scanner runs
    RenderPage* renderer;
    PdfObj* owner;      // the page dictionary, or a reference to the nested stream
    PageWork* work;     // the page's budget: ownWork, or the one of the parser that nests this
    PageWork ownWork;
    // The soft mask whose canvas this parser is asking the renderer to open, 0 otherwise.
    int maskOpening = 0;
    // The fill rule of a clip that W or W* asked for, -1 for none: it takes the path as the
    // painting operator that ends the path finds it, after that operator has painted.
    int clipAsked = -1;
    // Opens the clip that W or W* asked for, if one did, with the current path.
    void ClipAsked();

private:
    void Push(PdfObj* obj);
    void ClearOperands();
    int AddPathOp(PdfObj** ops, PDF_PATH_OP op, int points);
    int OpenClip(FillRule rule);
    // A clip to an upright box of the current user space, ended with the other clips of
    // the current depth; the current path is left as it was.
    void ClipToBox(const double box[4]);
    // Draws form XObject objNum (its dictionary `form`, a transparency group when `group`)
    // from a copy of `base`: for Do the current state, for a soft mask the state it is drawn
    // from.
    void DrawForm(int objNum, PdfObj* form, GState* base, bool group);
    // Around one piece of drawing: the canvas of the soft mask in force (its object number
    // kept in *mask), when there is one and the renderer opens it; false otherwise.
    bool OpenMaskedCanvas(int* mask);
    void CloseMaskedCanvas(bool open, int mask);
};

typedef int (ContentParser::*OpHandler)(PdfObj** ops);

struct OpTableRow {
    const char* op;
    OpHandler handler;
};

// Searched in order, case-sensitively; the first matching row wins.
extern const OpTableRow OpTable[CP_OP_ROWS];

#endif
