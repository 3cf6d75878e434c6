// Path construction, painting and clipping operators.
#include <cstdlib>

#include "Interpreter/ContentParser.h"

// Appends op with `points` points read from the first 2 * points operands; an operator
// whose operands are missing or not numbers is ignored.
int ContentParser::AddPathOp(PdfObj** ops, PDF_PATH_OP op, int points)
{
    double v[6];
    if (!current || NumberOperands(ops, 2 * points, v) != 0)
        return 0;
    PDF_POINT_REAL pts[3];
    for (int i = 0; i < points; i++) {
        pts[i].x = v[2 * i];
        pts[i].y = v[2 * i + 1];
    }
    current->path->Add(op, pts, points);
    return 0;
}

int ContentParser::MoveTo(PdfObj** ops)
{
    return AddPathOp(ops, PDF_PATH_OP_MOVETO, 1);
}

int ContentParser::LineTo(PdfObj** ops)
{
    return AddPathOp(ops, PDF_PATH_OP_LINETO, 1);
}

int ContentParser::CurveTo(PdfObj** ops)
{
    return AddPathOp(ops, PDF_PATH_OP_CURVETO, 3);
}

int ContentParser::CurveToV(PdfObj** ops)
{
    return AddPathOp(ops, PDF_PATH_OP_CURVETO_V, 2);
}

int ContentParser::CurveToY(PdfObj** ops)
{
    return AddPathOp(ops, PDF_PATH_OP_CURVETO_Y, 2);
}

int ContentParser::ClosePath(PdfObj** ops)
{
    return AddPathOp(ops, PDF_PATH_OP_CLOSEPATH, 0);
}

int ContentParser::Rectangle(PdfObj** ops)
{
    double v[4];
    if (!current || NumberOperands(ops, 4, v) != 0)
        return 0;
    double x = v[0], y = v[1], w = v[2], h = v[3];
    PDF_POINT_REAL corner[4] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    PDF_PathGeometry* path = current->path;
    path->Add(PDF_PATH_OP_MOVETO, &corner[0], 1);
    path->Add(PDF_PATH_OP_LINETO, &corner[1], 1);
    path->Add(PDF_PATH_OP_LINETO, &corner[2], 1);
    path->Add(PDF_PATH_OP_LINETO, &corner[3], 1);
    path->Add(PDF_PATH_OP_CLOSEPATH, nullptr, 0);
    return 0;
}

int ContentParser::Stroke(PdfObj**)
{
    if (!current)
        return 0;
    if (renderer)
        renderer->Stroke(current);
    ClipAsked();
    current->NewPath();
    return 0;
}

int ContentParser::StrokeClose(PdfObj** ops)
{
    if (current)
        current->path->Add(PDF_PATH_OP_CLOSEPATH, nullptr, 0);
    return Stroke(ops);
}

// Fills (and strokes) the current path, then starts a new one.
static int Paint(ContentParser* cp, FillRule rule, bool stroke, bool close)
{
    GState* gs = cp->current;
    if (!gs)
        return 0;
    if (close)
        gs->path->Add(PDF_PATH_OP_CLOSEPATH, nullptr, 0);
    if (cp->renderer) {
        if (stroke)
            cp->renderer->FillStroke(gs, rule);
        else
            cp->renderer->Fill(gs, rule);
    }
    cp->ClipAsked();
    gs->NewPath();
    return 0;
}

int ContentParser::FillNonZero(PdfObj**)
{
    return Paint(this, 1, false, false);
}

int ContentParser::FillOddEven(PdfObj**)
{
    return Paint(this, 0, false, false);
}

int ContentParser::FillStrokeNonZero(PdfObj**)
{
    return Paint(this, 1, true, false);
}

int ContentParser::FillStrokeOddEven(PdfObj**)
{
    return Paint(this, 0, true, false);
}

int ContentParser::FillStrokeNonZeroClose(PdfObj**)
{
    return Paint(this, 1, true, true);
}

int ContentParser::FillStrokeOddEvenClose(PdfObj**)
{
    return Paint(this, 0, true, true);
}

int ContentParser::EndPath(PdfObj**)
{
    ClipAsked();
    if (current)
        current->NewPath();
    return 0;
}

// Opens the clip at once and queues its end for the end of the current q level. The node
// is had first: a clip whose end could not be queued is not opened at all.
int ContentParser::OpenClip(FillRule rule)
{
    if (!current || !pendingClips || depth < 0 || depth >= CP_CLIP_LISTS)
        return 0;
    PendingClip* node = (PendingClip*)malloc(sizeof(PendingClip));
    if (!node)
        return 0;
    node->callback = ClipCallback;
    node->arg = renderer;
    node->next = pendingClips[depth];
    pendingClips[depth] = node;
    if (renderer)
        renderer->Clip(current, rule);
    return 0;
}

void ContentParser::ClipToBox(const double box[4])
{
    if (!current)
        return;
    PDF_PathGeometry* kept = current->path;
    current->path = new PDF_PathGeometry;
    PDF_POINT_REAL p[4] = {{box[0], box[1]}, {box[2], box[1]}, {box[2], box[3]}, {box[0], box[3]}};
    current->path->Add(PDF_PATH_OP_MOVETO, &p[0], 1);
    for (int i = 1; i < 4; i++)
        current->path->Add(PDF_PATH_OP_LINETO, &p[i], 1);
    current->path->Add(PDF_PATH_OP_CLOSEPATH, nullptr, 0);
    OpenClip(1);
    delete current->path;
    current->path = kept;
}

// W and W* only mark the path: the clip is made from the path as it stands when a painting
// operator ends it. A path that goes on growing past W (as damaged files have it, W after
// W) then makes one clip, not one for every mark.
int ContentParser::ClipNonZero(PdfObj**)
{
    clipAsked = 1;
    return 0;
}

int ContentParser::ClipOddEven(PdfObj**)
{
    clipAsked = 0;
    return 0;
}

void ContentParser::ClipAsked()
{
    if (clipAsked < 0)
        return;
    FillRule rule = clipAsked;
    clipAsked = -1;
    OpenClip(rule);
}
