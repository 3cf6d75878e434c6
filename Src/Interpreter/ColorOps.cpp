// Colour, line-style and graphics-state operators. They change the current state only;
// the renderer reads the colour fields named by each side's colour-space kind when it
// paints. An operator whose operands are missing or of the wrong type changes nothing.
#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Interpreter/GState.h"
#include "Interpreter/ResourceUse.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/ColorSpace.h"
#include "Resources/PaintColour.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "Xps/InternalResource.h"

namespace {

// One side of the state: fill or stroke.
struct Side {
    int* kind;
    int* patternBase;
    double* gray;
    double* rgb;
    double* cmyk;
    PdfName* pattern;
    PaintSpaceRef* space;
    int* paint;
};

Side FillSide(GState* gs)
{
    return {&gs->fillCS, &gs->fillPatternCS, &gs->fillGray, gs->fillRgb, gs->fillCmyk,
            &gs->fillPattern, &gs->fillSpace, &gs->fillPaint};
}

Side StrokeSide(GState* gs)
{
    return {&gs->strokeCS, &gs->strokePatternCS, &gs->strokeGray, gs->strokeRgb,
            gs->strokeCmyk, &gs->strokePattern, &gs->strokeSpace, &gs->strokePaint};
}

bool IsName(PdfObj* obj)
{
    return obj && obj->Type() == PDF_NAME;
}

// Integers as they are, reals truncated toward zero.
bool IntegerOperand(PdfObj* obj, int* out)
{
    if (obj && obj->Type() == PDF_NUMBER) {
        *out = static_cast<PdfNumber*>(obj)->value;
        return true;
    }
    if (obj && obj->Type() == PDF_REAL) {
        *out = PdfRealToInt(static_cast<PdfReal*>(obj)->value);
        return true;
    }
    return false;
}

// Every CMYK colour in the page markup refers to the built-in profile, so a page that can
// paint in CMYK must list it, however its colour was set.
void UseCmykProfile(ContentParser* p)
{
    if (p->pages)
        AddIResource(&p->pages->iResources, p->pageIndex, INTERNAL_RESOURCE_CMYK_PROFILE);
}

// A colour of a space without a brush of its own, converted into the side's device fields.
void Paint(ContentParser* p, Side s, const double* comps)
{
    DeviceColour c = ToDevice(**s.space, comps, p->pages ? &p->pages->functionWork : nullptr);
    *s.paint = c.kind;
    if (c.kind == CS_DEVICEGRAY)
        *s.gray = c.c[0];
    else if (c.kind == CS_DEVICERGB)
        memcpy(s.rgb, c.c, 3 * sizeof(double));
    else if (c.kind == CS_DEVICECMYK) {
        memcpy(s.cmyk, c.c, 4 * sizeof(double));
        UseCmykProfile(p);
    }
}

bool ConvertedKind(int kind)
{
    return kind == CS_INDEXED || kind == CS_CALGRAY || kind == CS_OTHER;
}

void SetSpace(ContentParser* p, PdfObj** ops, Side s)
{
    if (p->operandCount < 1 || !IsName(ops[0]))
        return;
    PdfObj* param = nullptr;
    PdfObj* whole = nullptr;
    ColorSpace found = CS_OTHER;
    if (p->pages)
        p->pages->FindCS(ops[0], &param, &found, p->resources, &whole);
    else
        found = NameToCS(ops[0]);

    int kind = found;
    s.space->reset();
    *s.paint = 0;
    switch (found) {
    case CS_ICCBASED: {
        int n = ProfileComponents(p->pages, param);
        kind = n == 1 ? CS_DEVICEGRAY : n == 4 ? CS_DEVICECMYK : CS_DEVICERGB;
        break;
    }
    case CS_PATTERN:
        *s.patternBase = param ? (int)NameToCS(param) : PATTERN_BASE_NONE;
        break;
    case CS_CALRGB:
        kind = CS_DEVICERGB;
        break;
    default:
        break;
    }
    *s.kind = kind;
    if (kind == CS_DEVICECMYK)
        UseCmykProfile(p);
    // Spaces a brush cannot name start at their initial colour, which sc then replaces.
    if (ConvertedKind(kind)) {
        *s.space = LoadPaintSpace(p->pages, whole);
        if (*s.space) {
            double comps[FUNCTION_MAX_COMPONENTS];
            InitialColour(**s.space, comps);
            Paint(p, s, comps);
        }
    }
    delete whole;
    delete param;
}

// The pattern name follows the components of the underlying space.
void SetPatternName(ContentParser* p, PdfObj** ops, Side s)
{
    int index;
    switch (*s.patternBase) {
    case PATTERN_BASE_NONE: index = 0; break;
    case CS_DEVICEGRAY: index = 1; break;
    case CS_DEVICERGB: index = 3; break;
    case CS_DEVICECMYK: index = 4; break;
    default: index = p->operandCount - 1; break;
    }
    if (index >= 0 && index < p->operandCount && IsName(ops[index])) {
        *s.pattern = *static_cast<PdfName*>(ops[index]);
    } else {
        PdfName empty;
        *s.pattern = empty;
    }
}

// sc/SC (any = false) and scn/SCN (any = true) by the side's kind.
void SetComponents(ContentParser* p, PdfObj** ops, Side s, bool any)
{
    switch (*s.kind) {
    case CS_DEVICEGRAY:
        p->NumberOperands(ops, 1, s.gray);
        return;
    case CS_DEVICECMYK:
        if (p->NumberOperands(ops, 4, s.cmyk) == 0)
            UseCmykProfile(p);
        return;
    case CS_PATTERN:
        if (any)
            SetPatternName(p, ops, s);
        return;
    case CS_DEVICERGB:
        p->NumberOperands(ops, 3, s.rgb);
        return;
    default: {
        if (*s.space) {
            double comps[FUNCTION_MAX_COMPONENTS];
            if (p->NumberOperands(ops, (*s.space)->comps, comps) == 0)
                Paint(p, s, comps);
            return;
        }
        // A space that cannot be painted: scn keeps three components, sc leaves them alone.
        if (any)
            p->NumberOperands(ops, 3, s.rgb);
        return;
    }
    }
}

void SetDevice(ContentParser* p, PdfObj** ops, Side s, int kind)
{
    double* dst = kind == CS_DEVICEGRAY ? s.gray : kind == CS_DEVICERGB ? s.rgb : s.cmyk;
    int n = kind == CS_DEVICEGRAY ? 1 : kind == CS_DEVICERGB ? 3 : 4;
    if (p->NumberOperands(ops, n, dst) != 0)
        return;
    *s.kind = kind;
    if (kind == CS_DEVICECMYK)
        UseCmykProfile(p);
}

}  // namespace

int ContentParser::SetGray(PdfObj** ops)
{
    SetDevice(this, ops, FillSide(current), CS_DEVICEGRAY);
    return 0;
}

int ContentParser::SetGrayStroke(PdfObj** ops)
{
    SetDevice(this, ops, StrokeSide(current), CS_DEVICEGRAY);
    return 0;
}

int ContentParser::SetRgb(PdfObj** ops)
{
    SetDevice(this, ops, FillSide(current), CS_DEVICERGB);
    return 0;
}

int ContentParser::SetRgbStroke(PdfObj** ops)
{
    SetDevice(this, ops, StrokeSide(current), CS_DEVICERGB);
    return 0;
}

int ContentParser::SetCMYK(PdfObj** ops)
{
    SetDevice(this, ops, FillSide(current), CS_DEVICECMYK);
    return 0;
}

int ContentParser::SetCMYKStroke(PdfObj** ops)
{
    SetDevice(this, ops, StrokeSide(current), CS_DEVICECMYK);
    return 0;
}

int ContentParser::SetColorSpace(PdfObj** ops)
{
    SetSpace(this, ops, FillSide(current));
    return 0;
}

int ContentParser::SetColorSpaceStroke(PdfObj** ops)
{
    SetSpace(this, ops, StrokeSide(current));
    return 0;
}

int ContentParser::SetColor(PdfObj** ops)
{
    SetComponents(this, ops, FillSide(current), false);
    return 0;
}

int ContentParser::SetColorStroke(PdfObj** ops)
{
    SetComponents(this, ops, StrokeSide(current), false);
    return 0;
}

int ContentParser::SetCSColor(PdfObj** ops)
{
    SetComponents(this, ops, FillSide(current), true);
    return 0;
}

int ContentParser::SetCSColorStroke(PdfObj** ops)
{
    SetComponents(this, ops, StrokeSide(current), true);
    return 0;
}

int ContentParser::SetLineWidth(PdfObj** ops)
{
    NumberOperands(ops, 1, &current->lineWidth);
    return 0;
}

int ContentParser::SetMiterLimit(PdfObj** ops)
{
    NumberOperands(ops, 1, &current->miterLimit);
    return 0;
}

int ContentParser::SetLineCap(PdfObj** ops)
{
    if (operandCount >= 1)
        IntegerOperand(ops[0], &current->lineCap);
    return 0;
}

int ContentParser::SetLineJoin(PdfObj** ops)
{
    if (operandCount >= 1)
        IntegerOperand(ops[0], &current->lineJoin);
    return 0;
}

int ContentParser::SetDash(PdfObj** ops)
{
    double phase;
    if (operandCount < 2 || !ops[0] || ops[0]->Type() != PDF_ARRAY ||
        OperandNumber(ops[1], &phase) != 0)
        return 0;
    PdfArray* src = static_cast<PdfArray*>(ops[0]);
    // The renderer reads every item as a length: an array with anything else is refused.
    for (int i = 0; i < src->count; i++) {
        double unused;
        if (OperandNumber(src->items[i], &unused) != 0)
            return 0;
    }

    PdfArray& dash = current->dash;
    for (int i = 0; i < dash.count; i++)
        delete dash.items[i];
    dash.count = 0;
    dash.growStep = 8;
    // [3] means on 3, off 3.
    int copies = src->count == 1 ? 2 : src->count;
    for (int i = 0; i < copies; i++) {
        PdfObj* item = src->items[src->count == 1 ? 0 : i]->Dup();
        if (dash.Append(item) != 0)
            delete item;
    }
    current->dashPhase = phase;
    return 0;
}

int ContentParser::ConcatMatrix(PdfObj** ops)
{
    // The operand matrix applies first, then the current one.
    pdfmatrix m;
    if (operandCount >= 6 && StackToCtm(ops, &m) == 0)
        ::ConcatMatrix(&current->ctm, &m, &current->ctm);
    return 0;
}

int ContentParser::SetGS(PdfObj** ops)
{
    if (operandCount >= 1 && IsName(ops[0]) && pages)
        pages->SetExtGState(ops[0], current, resources);
    return 0;
}
