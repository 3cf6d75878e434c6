// The text state operators (Tc, Tw, Tz, TL, Tr, Ts) and text positioning (BT, Tm, Td, TD, T*).
#include "Interpreter/TextShow.h"

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfObj.h"

using namespace textshow;

// ---------------------------------------------------------------------------------------------
// Text state.

int ContentParser::SetTextcharSpace(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->charSpace = v;
    return 0;
}

int ContentParser::SetTextwordSpace(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->wordSpace = v;
    return 0;
}

int ContentParser::SetTextScale(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->hScale = v;
    return 0;
}

// The leading is kept negated: T* then moves by (0, leading).
int ContentParser::SetTextLeading(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->leading = -v;
    return 0;
}

int ContentParser::SetTextRender(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) != 0)
        return 0;
    int mode = ops[0]->Type() == PDF_NUMBER ? static_cast<PdfNumber*>(ops[0])->value
                                              : PdfRealToInt(v);
    if (mode >= 0 && mode <= 7)
        current->renderMode = mode;
    return 0;
}

int ContentParser::SetTextRise(PdfObj** ops)
{
    double v;
    if (NumberOperands(ops, 1, &v) == 0)
        current->rise = v;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Text positioning.

int ContentParser::BeginText(PdfObj**)
{
    const pdfmatrix identity = {1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
    current->tm = identity;
    current->tlm = identity;
    return 0;
}

int ContentParser::SetTextMatrix(PdfObj** ops)
{
    pdfmatrix m;
    if (operandCount < 6 || StackToCtm(ops, &m) != 0)
        return 0;
    current->tm = m;
    current->tlm = m;
    return 0;
}

namespace textshow {

// Tm := Tlm := [1 0 0 1 tx ty] x Tlm.
void NextLine(GState* gs, double tx, double ty)
{
    pdfmatrix m = gs->tlm;
    m.e = tx * m.a + ty * m.c + m.e;
    m.f = tx * m.b + ty * m.d + m.f;
    gs->tm = m;
    gs->tlm = m;
}

}  // namespace textshow

int ContentParser::MoveStartNL(PdfObj** ops)
{
    double v[2];
    if (NumberOperands(ops, 2, v) == 0)
        NextLine(current, v[0], v[1]);
    return 0;
}

int ContentParser::MoveStartNL_LD(PdfObj** ops)
{
    double v[2];
    if (NumberOperands(ops, 2, v) != 0)
        return 0;
    current->leading = v[1];
    NextLine(current, v[0], v[1]);
    return 0;
}

int ContentParser::MoveNextLine(PdfObj**)
{
    NextLine(current, 0.0, current->leading);
    return 0;
}
