#include "Interpreter/ContentParser.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

int OperandNumber(PdfObj* obj, double* out)
{
    if (!obj)
        return -1;
    switch (obj->Type()) {
    case PDF_NUMBER:
        *out = static_cast<PdfNumber*>(obj)->value;
        return 0;
    case PDF_REAL:
        *out = static_cast<PdfReal*>(obj)->value;
        return 0;
    default:
        return -1;
    }
}

ContentParser::ContentParser()
    : stream(nullptr),
      operandCount(0),
      pageIndex(0),
      inlineImageCount(0),
      savedStates((GState**)calloc(CP_MAX_DEPTH, sizeof(GState*))),
      current(new GState),
      pendingClips((PendingClip**)calloc(CP_CLIP_LISTS, sizeof(PendingClip*))),
      depth(0),
      xref(nullptr),
      pages(nullptr),
      resources(nullptr),
      renderer(nullptr),
      owner(nullptr),
      work(&ownWork)
{
    for (int i = 0; i < CP_MAX_OPERANDS; i++)
        operands[i] = nullptr;
}

void PageWork::Hold(int objNum, long long storedBytes, long long fileBytes)
{
    if (!heldStreams.insert(objNum).second || storedBytes <= 0)
        return;
    long long room = fileBytes - heldBytes;
    heldBytes += storedBytes < room ? storedBytes : (room > 0 ? room : 0);
}

void ContentParser::HoldStream(int objNum)
{
    if (work && pages && xref && !work->Holds(objNum))
        work->Hold(objNum, pages->StoredBytes(objNum), xref->fileBytes);
}

long long PageWork::TokenBudget() const
{
    return PAGE_MAX_CONTENT_TOKENS + PAGE_TOKENS_PER_HELD_BYTE * heldBytes;
}

long long PageWork::NestedRunBudget() const
{
    return PAGE_MAX_NESTED_RUNS + PAGE_NESTED_RUNS_PER_HELD_BYTE * heldBytes;
}

unsigned long long PageWork::MarkupBudget() const
{
    return (unsigned long long)PAGE_MAX_MARKUP_BYTES +
           (unsigned long long)PAGE_MARKUP_PER_HELD_BYTE * (unsigned long long)heldBytes;
}

long long PageWork::Budget(PageBudget which) const
{
    switch (which) {
    case PAGE_BUDGET_TOKENS: return TokenBudget();
    case PAGE_BUDGET_NESTED_RUNS: return NestedRunBudget();
    case PAGE_BUDGET_MARKUP: return (long long)MarkupBudget();
    default: return 0;
    }
}

void PageWork::Stop(PageBudget which)
{
    if (stoppedBy == PAGE_BUDGET_NONE)
        stoppedBy = which;
}

bool PageWork::Spent(RenderPage* renderer)
{
    if (tokens >= TokenBudget()) {
        Stop(PAGE_BUDGET_TOKENS);
        return true;
    }
    if (renderer && renderer->Full()) {
        Stop(PAGE_BUDGET_MARKUP);
        return true;
    }
    return false;
}

ContentParser::~ContentParser()
{
    ClearOperands();
    if (savedStates) {
        for (int i = 0; i < depth && i < CP_MAX_DEPTH; i++)
            delete savedStates[i];
        free(savedStates);
    }
    delete current;
    if (pendingClips) {
        for (int i = 0; i < CP_CLIP_LISTS; i++) {
            PendingClip* node = pendingClips[i];
            while (node) {
                PendingClip* next = node->next;
                free(node);
                node = next;
            }
        }
        free(pendingClips);
    }
}

void ContentParser::Push(PdfObj* obj)
{
    if (!obj)
        return;
    // A stack that is full drops what comes after; the operator then sees the first ones.
    if (operandCount >= CP_MAX_OPERANDS || operandCount < 0) {
        delete obj;
        return;
    }
    operands[operandCount++] = obj;
}

void ContentParser::ClearOperands()
{
    // Every slot is cleared, so no handler can reach an operand of an earlier operator.
    for (int i = 0; i < CP_MAX_OPERANDS; i++) {
        delete operands[i];
        operands[i] = nullptr;
    }
    operandCount = 0;
}

int ContentParser::NumberOperands(PdfObj** ops, int n, double* out)
{
    if (!ops || n < 0 || n > operandCount)
        return -1;
    double v[CP_MAX_OPERANDS];
    for (int i = 0; i < n; i++)
        if (OperandNumber(ops[i], &v[i]) != 0)
            return -1;
    for (int i = 0; i < n; i++)
        out[i] = v[i];
    return 0;
}

static PdfObj* NewName(const char* text)
{
    PdfName* n = new PdfName;
    size_t len = strlen(text);
    n->str = (char*)malloc(len + 1);
    if (n->str)
        memcpy(n->str, text, len + 1);
    return n;
}

static PdfObj* NewString(const char* bytes, int len, int bufferSize)
{
    if (len < 0)
        len = 0;
    if (len > bufferSize)
        len = bufferSize;
    PdfString* s = new PdfString;
    s->str = (char*)malloc((size_t)len + 1);
    if (s->str) {
        memcpy(s->str, bytes, (size_t)len);
        s->str[len] = 0;
        s->len = len;
    }
    return s;
}

// Longest operator text that can match a row; a longer word is an unknown operator.
enum { CP_OP_TEXT = 8 };

// Operators whose handlers read no object and no file: path construction, clipping, the
// state stack and the plain state and colour operators. Painting is not among them (a
// pattern brush runs its cell's stream), nor anything that looks a resource up.
static bool KeepsStream(const char* op)
{
    static const std::unordered_set<std::string> kOps = {
        "m",  "l",  "c",  "v",  "y",  "h",  "re", "n",  "W",  "W*", "q",  "Q",  "cm",
        "w",  "J",  "j",  "M",  "d",  "g",  "G",  "rg", "RG", "k",  "K",  "Tc", "Tw",
        "Tz", "TL", "Ts", "Td", "TD", "Tm", "T*", "BT", "ET", "BI", "EI"};
    return kOps.count(op) != 0;
}

int ContentParser::Scanner(FILE* fp, PdfObj* res, char* buf, int size)
{
    stream = fp;
    if (!fp || !buf || size < 2 || !current || !savedStates || !pendingClips)
        return -1;

    // Resources given by reference are the document's, read once for the whole conversion.
    bool indirectResources = res && res->Type() == PDF_INDIRECT;
    if (indirectResources) {
        resources = xref ? xref->Object(static_cast<PdfIndirect*>(res)->refNum) : nullptr;
    } else {
        resources = res;
    }

    // Only a stream read in place shares its file with the rest of the conversion: a decoded
    // stream has a file of its own, which no handler but ID (reading its image data from it)
    // moves, so its position needs no keeping.
    const bool sharedFile = xref && fp == xref->fp;

    int result = 0;
    bool done = false;
    while (!done) {
        // A page whose budget is spent keeps what it drew and reads no further, here or in
        // any stream of the page after this one.
        if (!work || work->Spent(renderer))
            break;
        work->tokens++;
        int len = 0;
        int kind = PdfLexicon(fp, buf, size, &len);
        PdfObj* obj = nullptr;
        switch (kind) {
        case TOK_ENDSTREAM:
            result = 0;
            done = true;
            break;
        case TOK_ERROR:
        case TOK_EOF:
            result = -1;
            done = true;
            break;
        case TOK_ARRAY_OPEN:
            PdfParseArray(&obj, fp, buf, size);
            break;
        case TOK_DICT_OPEN:
            PdfParseDict(&obj, fp, buf, size);
            break;
        case TOK_NAME:
            obj = NewName(buf);
            break;
        case TOK_INTEGER: {
            PdfNumber* n = new PdfNumber;
            n->value = lexint(buf);
            obj = n;
            break;
        }
        case TOK_REAL: {
            PdfReal* r = new PdfReal;
            r->value = lexreal(buf);
            obj = r;
            break;
        }
        case TOK_STRING:
            obj = NewString(buf, len, size);
            break;
        case TOK_TRUE:
        case TOK_FALSE: {
            PdfBool* b = new PdfBool;
            b->value = kind == TOK_TRUE ? 1 : 0;
            obj = b;
            break;
        }
        case TOK_NULL:
            obj = new PdfNull;
            break;
        case TOK_KEYWORD: {
            // Handlers may read the shared buffer or reposition the stream (forms and inline
            // images live in the same file), so the operator text and the position are
            // taken first.
            char op[CP_OP_TEXT];
            bool known = strlen(buf) < sizeof op;
            if (known)
                strcpy(op, buf);
            // Taking the position costs a system call and seeking drops the stream's buffer,
            // so both are left out for the operators that never read a file, and for a file
            // that nothing else reads.
            bool still = !sharedFile || !known || KeepsStream(op);
            int pos = still ? -1 : pdftell(fp);
            if (known)
                Execute(op, operands);
            // ID leaves the stream after the image data it consumed.
            if (pos >= 0 && strcmp(op, "ID") != 0)
                pdfseek(fp, pos, SEEK_SET);
            ClearOperands();
            break;
        }
        default:
            // A structural token or file keyword cannot occur in a content stream.
            result = 0;
            done = true;
            break;
        }
        Push(obj);
    }

    // Clips stay open with the q depth they belong to: like the rest of the graphics state
    // they carry into the page's next content stream, and end at their Q or at the end of
    // the page (RunAllClips).
    if (indirectResources)
        resources = nullptr;
    return result;
}

// The operator table by name, built once: a page of millions of operators must not compare
// each one with every row. The first row of a name wins, as a walk of the table would find.
static const std::unordered_map<std::string, OpHandler>& HandlersByName()
{
    static const std::unordered_map<std::string, OpHandler> byName = [] {
        std::unordered_map<std::string, OpHandler> m;
        for (const OpTableRow* row = OpTable; row != OpTable + CP_OP_ROWS; ++row)
            m.emplace(row->op, row->handler);
        return m;
    }();
    return byName;
}

// Operators that put something on the page, each shown through the soft mask in force as
// one piece. Do decides for itself: a form that is no group is masked piece by piece.
static bool Paints(const char* op)
{
    static const std::unordered_set<std::string> kOps = {
        "f", "F", "f*", "B", "B*", "b", "b*", "S", "s", "sh", "ID", "Tj", "TJ", "'", "\""};
    return kOps.count(op) != 0;
}

bool ContentParser::OpenMaskedCanvas(int* mask)
{
    *mask = current ? current->softMask : 0;
    if (*mask == 0 || !renderer)
        return false;
    // Only the canvas being opened has its mask's form drawn: a form named as an image's
    // soft mask would land inside that image's element.
    maskOpening = *mask;
    const bool open = renderer->StartMaskedCanvas(current) == 0;
    maskOpening = 0;
    if (!open)
        return false;
    // What is drawn inside is masked once, by the canvas: nothing nested inherits the mask.
    current->softMask = 0;
    return true;
}

void ContentParser::CloseMaskedCanvas(bool open, int mask)
{
    if (!open)
        return;
    if (current)
        current->softMask = mask;
    renderer->EndCanvas();
}

int ContentParser::Execute(char* op, PdfObj** ops)
{
    if (!op)
        return 0;
    const auto& byName = HandlersByName();
    auto found = byName.find(op);
    if (found != byName.end()) {
        OpHandler handler = found->second;
        int mask = 0;
        // The mask is looked at first: most pages have none, and Paints costs a lookup.
        const bool masked = current && current->softMask && Paints(op) && OpenMaskedCanvas(&mask);
        (this->*handler)(ops);
        CloseMaskedCanvas(masked, mask);
    }
    return 0;
}

int ContentParser::BeginImage(PdfObj**) { return 0; }
int ContentParser::EndImage(PdfObj**) { return 0; }
int ContentParser::EndText(PdfObj**) { return 0; }

const OpTableRow OpTable[CP_OP_ROWS] = {
    {"Tm", &ContentParser::SetTextMatrix},
    {"TJ", &ContentParser::ShowTextArray},
    {"Tj", &ContentParser::ShowText},
    {"Td", &ContentParser::MoveStartNL},
    {"TD", &ContentParser::MoveStartNL_LD},
    {"TL", &ContentParser::SetTextLeading},
    {"Tr", &ContentParser::SetTextRender},
    {"T*", &ContentParser::MoveNextLine},
    {"Tw", &ContentParser::SetTextwordSpace},
    {"Tc", &ContentParser::SetTextcharSpace},
    {"Tz", &ContentParser::SetTextScale},
    {"Ts", &ContentParser::SetTextRise},
    {"BT", &ContentParser::BeginText},
    {"ET", &ContentParser::EndText},
    {"'", &ContentParser::MoveShowText},
    {"\"", &ContentParser::MoveWSShowText},
    {"Tf", &ContentParser::SetFont},
    {"G", &ContentParser::SetGrayStroke},
    {"g", &ContentParser::SetGray},
    {"SC", &ContentParser::SetColorStroke},
    {"rg", &ContentParser::SetRgb},
    {"RG", &ContentParser::SetRgbStroke},
    {"sc", &ContentParser::SetColor},
    {"K", &ContentParser::SetCMYKStroke},
    {"k", &ContentParser::SetCMYK},
    {"BI", &ContentParser::BeginImage},
    {"ID", &ContentParser::ImageData},
    {"EI", &ContentParser::EndImage},
    {"w", &ContentParser::SetLineWidth},
    {"J", &ContentParser::SetLineCap},
    {"j", &ContentParser::SetLineJoin},
    {"M", &ContentParser::SetMiterLimit},
    {"m", &ContentParser::MoveTo},
    {"l", &ContentParser::LineTo},
    {"re", &ContentParser::Rectangle},
    {"c", &ContentParser::CurveTo},
    {"v", &ContentParser::CurveToV},
    {"y", &ContentParser::CurveToY},
    {"gs", &ContentParser::SetGS},
    {"q", &ContentParser::PushGraphicState},
    {"Q", &ContentParser::PopGraphicState},
    {"cm", &ContentParser::ConcatMatrix},
    {"Do", &ContentParser::ExecuteXObject},
    {"s", &ContentParser::StrokeClose},
    {"S", &ContentParser::Stroke},
    {"h", &ContentParser::ClosePath},
    {"cs", &ContentParser::SetColorSpace},
    {"CS", &ContentParser::SetColorSpaceStroke},
    {"scn", &ContentParser::SetCSColor},
    {"SCN", &ContentParser::SetCSColorStroke},
    {"f*", &ContentParser::FillOddEven},
    {"f", &ContentParser::FillNonZero},
    {"F", &ContentParser::FillNonZero},
    {"sh", &ContentParser::FillShade},
    {"d", &ContentParser::SetDash},
    {"B", &ContentParser::FillStrokeNonZero},
    {"B*", &ContentParser::FillStrokeOddEven},
    {"b", &ContentParser::FillStrokeNonZeroClose},
    {"b*", &ContentParser::FillStrokeOddEvenClose},
    {"n", &ContentParser::EndPath},
    {"W", &ContentParser::ClipNonZero},
    {"W*", &ContentParser::ClipOddEven},
};
