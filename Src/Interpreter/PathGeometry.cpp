#include "Interpreter/PathGeometry.h"
#include "Interpreter/ContentParser.h"

#include <cstdio>
#include <new>

namespace {

const PDF_POINT_REAL kOrigin = {0.0, 0.0};

template <class Chunk>
Chunk* NewChunk(Chunk* prev)
{
    Chunk* c = new (std::nothrow) Chunk;
    if (!c)
        return nullptr;
    c->count = 0;
    c->next = nullptr;
    c->prev = prev;
    return c;
}

template <class Chunk>
void FreeChain(Chunk* c)
{
    while (c) {
        Chunk* next = c->next;
        delete c;
        c = next;
    }
}

// Copies a chain; null when any chunk could not be had (nothing is left allocated).
template <class Chunk>
Chunk* CopyChain(const Chunk* src, Chunk** last)
{
    Chunk* first = nullptr;
    Chunk* prev = nullptr;
    for (; src; src = src->next) {
        Chunk* c = new (std::nothrow) Chunk(*src);
        if (!c) {
            FreeChain(first);
            return nullptr;
        }
        c->next = nullptr;
        c->prev = prev;
        if (prev)
            prev->next = c;
        else
            first = c;
        prev = c;
    }
    *last = prev;
    return first;
}

const char* OpName(PDF_PATH_OP op)
{
    switch (op) {
    case PDF_PATH_OP_MOVETO: return "PDF_PATH_OP_MOVETO";
    case PDF_PATH_OP_LINETO: return "PDF_PATH_OP_LINETO";
    case PDF_PATH_OP_CURVETO: return "PDF_PATH_OP_CURVETO";
    case PDF_PATH_OP_CURVETO_V: return "PDF_PATH_OP_CURVETO_V";
    case PDF_PATH_OP_CURVETO_Y: return "PDF_PATH_OP_CURVETO_Y";
    case PDF_PATH_OP_CLOSEPATH: return "PDF_PATH_OP_CLOSEPATHO";
    default: return "?";
    }
}

}  // namespace

PDF_PathGeometry::PDF_PathGeometry()
    : firstPts(NewChunk<PDF_POINT_CHUNK>(nullptr)), lastPts(firstPts),
      lastOps(NewChunk<PDF_PATH_OP_CHUNK>(nullptr)), firstOps(lastOps), currentPoint(kOrigin),
      secondPoint(kOrigin), subpathStart(kOrigin), lastOpPointCount(0), lastOp(PDF_PATH_OP_NONE),
      lastOpPoints{kOrigin, kOrigin, kOrigin}
{
    if (!firstPts || !firstOps) {
        delete firstPts;
        delete firstOps;
        firstPts = lastPts = nullptr;
        firstOps = lastOps = nullptr;
    }
}

// Unlike a fresh path, the copy keeps the current point and the last operator's points, so
// whatever reads them after q sees the same state as before it.
PDF_PathGeometry::PDF_PathGeometry(PDF_PathGeometry* src)
    : firstPts(nullptr), lastPts(nullptr), lastOps(nullptr), firstOps(nullptr),
      currentPoint(kOrigin), secondPoint(kOrigin), subpathStart(kOrigin), lastOpPointCount(0),
      lastOp(PDF_PATH_OP_NONE), lastOpPoints{kOrigin, kOrigin, kOrigin}
{
    if (!src || !src->firstPts || !src->firstOps) {
        firstPts = lastPts = NewChunk<PDF_POINT_CHUNK>(nullptr);
        firstOps = lastOps = NewChunk<PDF_PATH_OP_CHUNK>(nullptr);
    } else {
        firstPts = CopyChain(src->firstPts, &lastPts);
        firstOps = CopyChain(src->firstOps, &lastOps);
        if (firstPts && firstOps) {
            currentPoint = src->currentPoint;
            subpathStart = src->subpathStart;
            lastOpPointCount = src->lastOpPointCount;
            lastOp = src->lastOp;
            for (int i = 0; i < 3; i++)
                lastOpPoints[i] = src->lastOpPoints[i];
        }
    }
    if (!firstPts || !firstOps) {
        FreeChain(firstPts);
        FreeChain(firstOps);
        firstPts = lastPts = nullptr;
        firstOps = lastOps = nullptr;
    }
}

PDF_PathGeometry::~PDF_PathGeometry()
{
    FreeChain(firstPts);
    FreeChain(firstOps);
}

int PDF_PathGeometry::Add(PDF_PATH_OP op, PDF_POINT_REAL* pts, int n)
{
    if (!lastOps || !lastPts || n < 0 || n > 3 || (n > 0 && !pts))
        return -1;

    // Both chunks are had before anything is stored, so that an operator never ends up in
    // the path without its points.
    PDF_PATH_OP_CHUNK* newOps = nullptr;
    if (lastOps->count >= PDF_PATH_CHUNK_SLOTS) {
        newOps = NewChunk(lastOps);
        if (!newOps)
            return -1;
    }
    PDF_POINT_CHUNK* newPts = nullptr;
    if (lastPts->count + n > PDF_PATH_CHUNK_SLOTS) {
        newPts = NewChunk(lastPts);
        if (!newPts) {
            delete newOps;
            return -1;
        }
    }

    if (newOps) {
        lastOps->next = newOps;
        lastOps = newOps;
    }
    lastOps->ops[lastOps->count++] = op;
    lastOp = op;

    if (newPts) {
        lastPts->next = newPts;
        lastPts = newPts;
    }
    for (int i = 0; i < n; i++) {
        lastPts->pts[lastPts->count++] = pts[i];
        lastOpPoints[i] = pts[i];
    }
    if (n > 0)
        currentPoint = pts[n - 1];

    lastOpPointCount = op == PDF_PATH_OP_CLOSEPATH ? 1 : n;
    if (op == PDF_PATH_OP_MOVETO && n > 0)
        subpathStart = pts[0];
    else if (op == PDF_PATH_OP_CLOSEPATH)
        currentPoint = subpathStart;
    return 0;
}

void PDF_PathGeometry::Destroy()
{
    if (firstPts) {
        FreeChain(firstPts->next);
        firstPts->next = firstPts->prev = nullptr;
        firstPts->count = 0;
        lastPts = firstPts;
    }
    if (firstOps) {
        FreeChain(firstOps->next);
        firstOps->next = firstOps->prev = nullptr;
        firstOps->count = 0;
        lastOps = firstOps;
    }
}

void TransformPath(PDF_PathGeometry* src, pdfmatrix* m, PDF_PathGeometry* dst)
{
    const PDF_POINT_CHUNK* pc = src->firstPts;
    int taken = 0;
    for (const PDF_PATH_OP_CHUNK* oc = src->firstOps; oc; oc = oc->next) {
        for (int i = 0; i < oc->count && i < PDF_PATH_CHUNK_SLOTS; i++) {
            int n = PathOpPointCount(oc->ops[i]);
            if (n < 0)
                return;
            // All points of an operator lie in one chunk; a chunk may end with spare slots.
            while (n > 0 && pc && taken + n > pc->count) {
                pc = pc->next;
                taken = 0;
            }
            if (n > 0 && (!pc || pc->count > PDF_PATH_CHUNK_SLOTS))
                return;
            PDF_POINT_REAL pts[3];
            for (int k = 0; k < n; k++, taken++)
                Transform(pc->pts[taken].x, pc->pts[taken].y, m, &pts[k].x, &pts[k].y);
            dst->Add(oc->ops[i], pts, n);
        }
    }
}

void PDF_PathGeometry::DumpPath()
{
    const PDF_POINT_CHUNK* pc = firstPts;
    int taken = 0;
    for (const PDF_PATH_OP_CHUNK* oc = firstOps; oc; oc = oc->next) {
        printf("*** New Op Buffer ");
        for (int i = 0; i < oc->count; i++) {
            printf("%s ", OpName(oc->ops[i]));
            int n = PathOpPointCount(oc->ops[i]);
            if (n > 0 && pc && taken + n > pc->count && pc->next) {
                pc = pc->next;
                taken = 0;
                printf("*** New Arg Buffer ");
            }
            for (int k = 0; k < n && pc && taken < pc->count; k++, taken++)
                printf("%g,%g ", pc->pts[taken].x, pc->pts[taken].y);
            printf("\n");
        }
    }
}

int PathOpPointCount(PDF_PATH_OP op)
{
    switch (op) {
    case PDF_PATH_OP_MOVETO:
    case PDF_PATH_OP_LINETO: return 1;
    case PDF_PATH_OP_CURVETO: return 3;
    case PDF_PATH_OP_CURVETO_V:
    case PDF_PATH_OP_CURVETO_Y: return 2;
    case PDF_PATH_OP_CLOSEPATH: return 0;
    default: return -1;
    }
}

void Transform(double x, double y, pdfmatrix* m, double* outX, double* outY)
{
    *outX = x * m->a + y * m->c + m->e;
    *outY = x * m->b + y * m->d + m->f;
}

void DistTransform(double x, double y, pdfmatrix* m, double* outX, double* outY)
{
    *outX = x * m->a + y * m->c;
    *outY = x * m->b + y * m->d;
}

void InvertMatrix(pdfmatrix* out, pdfmatrix* in)
{
    const pdfmatrix s = *in;
    const double det = s.a * s.d - s.b * s.c;
    if (det == 0.0) {
        *out = s;
        return;
    }
    out->a = s.d / det;
    out->b = -s.b / det;
    out->c = -s.c / det;
    out->d = s.a / det;
    out->e = (s.c * s.f - s.d * s.e) / det;
    out->f = (s.b * s.e - s.a * s.f) / det;
}

void ConcatMatrix(pdfmatrix* A, pdfmatrix* B, pdfmatrix* R)
{
    const pdfmatrix a = *A;
    const pdfmatrix b = *B;
    R->a = b.a * a.a + b.b * a.c;
    R->b = b.a * a.b + b.b * a.d;
    R->c = b.c * a.a + b.d * a.c;
    R->d = b.c * a.b + b.d * a.d;
    R->e = b.e * a.a + b.f * a.c + a.e;
    R->f = b.e * a.b + b.f * a.d + a.f;
}

int StackToCtm(PdfObj** operands, pdfmatrix* m)
{
    if (!operands || !m)
        return -1;
    double v[6];
    for (int i = 0; i < 6; i++)
        if (OperandNumber(operands[i], &v[i]) != 0)
            return -1;
    m->a = v[0];
    m->b = v[1];
    m->c = v[2];
    m->d = v[3];
    m->e = v[4];
    m->f = v[5];
    return 0;
}
