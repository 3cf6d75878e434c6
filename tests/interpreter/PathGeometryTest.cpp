#include "Interpreter/PathGeometry.h"
#include "Pdf/PdfObj.h"
#include "PathSegments.h"

#include <gtest/gtest.h>
#include <new>
#include <vector>

// Chunks are allocated with the non-throwing new; this replacement lets a test make the
// next few of those allocations fail. Everything else goes through unchanged.
namespace {
int g_failNothrowAfter = -1;  // -1: never fail; k: let k more succeed, then fail
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_failNothrowAfter == 0)
        return nullptr;
    if (g_failNothrowAfter > 0)
        g_failNothrowAfter--;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

using Seg = PathSeg;

template <class Chunk>
std::vector<int> Counts(const Chunk* c)
{
    std::vector<int> v;
    const Chunk* prev = nullptr;
    for (; c; prev = c, c = c->next) {
        EXPECT_EQ(c->prev, prev);
        v.push_back(c->count);
    }
    return v;
}

void Build(PDF_PathGeometry& p, const std::vector<Seg>& segs)
{
    for (Seg s : segs)
        ASSERT_EQ(p.Add(s.op, s.pts.data(), (int)s.pts.size()), 0);
}

const PDF_PATH_OP M = PDF_PATH_OP_MOVETO, L = PDF_PATH_OP_LINETO, C = PDF_PATH_OP_CURVETO,
                  V = PDF_PATH_OP_CURVETO_V, Y = PDF_PATH_OP_CURVETO_Y,
                  H = PDF_PATH_OP_CLOSEPATH;

struct PathCase {
    const char* name;
    std::vector<Seg> segs;
    std::vector<int> opChunks, ptChunks;
    PDF_POINT_REAL current, start;
};

TEST(PathGeometry, StoresOperatorsAndPointsInChunks)
{
    const PathCase cases[] = {
        {"five lines",
         {{L, {{1, 1}}}, {L, {{2, 2}}}, {L, {{3, 3}}}, {L, {{4, 4}}}, {L, {{5, 5}}}},
         {4, 1}, {4, 1}, {5, 5}, {0, 0}},
        {"curve never splits across chunks",
         {{M, {{0, 0}}}, {L, {{1, 0}}}, {C, {{2, 1}, {3, 1}, {4, 0}}}},
         {3}, {2, 3}, {4, 0}, {0, 0}},
        {"close first takes no point",
         {{H, {}}, {M, {{7, 8}}}, {L, {{9, 10}}}},
         {3}, {2}, {9, 10}, {7, 8}},
        {"close returns to the subpath start",
         {{M, {{1, 2}}}, {L, {{5, 6}}}, {H, {}}, {M, {{10, 20}}}, {V, {{11, 21}, {12, 22}}},
          {Y, {{13, 23}, {14, 24}}}, {H, {}}},
         {4, 3}, {3, 4}, {10, 20}, {10, 20}},
        {"three curves in a row",
         {{C, {{1, 1}, {2, 2}, {3, 3}}}, {C, {{4, 4}, {5, 5}, {6, 6}}},
          {C, {{7, 7}, {8, 8}, {9, 9}}}},
         {3}, {3, 3, 3}, {9, 9}, {0, 0}},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        PDF_PathGeometry p;
        Build(p, c.segs);
        ExpectSegs(ReadPathSegs(p), c.segs);
        EXPECT_EQ(Counts(p.firstOps), c.opChunks);
        EXPECT_EQ(Counts(p.firstPts), c.ptChunks);
        EXPECT_EQ(p.lastOp, c.segs.back().op);
        EXPECT_EQ(p.currentPoint.x, c.current.x);
        EXPECT_EQ(p.currentPoint.y, c.current.y);
        EXPECT_EQ(p.subpathStart.x, c.start.x);
        EXPECT_EQ(p.subpathStart.y, c.start.y);
    }
}

TEST(PathGeometry, EmptyPathAndLastOperatorState)
{
    PDF_PathGeometry p;
    EXPECT_EQ(p.lastOp, PDF_PATH_OP_NONE);
    EXPECT_TRUE(ReadPathSegs(p).empty());
    EXPECT_EQ(Counts(p.firstOps), std::vector<int>{0});
    EXPECT_EQ(Counts(p.firstPts), std::vector<int>{0});

    PDF_POINT_REAL pts[2] = {{1, 2}, {3, 4}};
    ASSERT_EQ(p.Add(V, pts, 2), 0);
    EXPECT_EQ(p.lastOpPointCount, 2);
    EXPECT_EQ(p.lastOpPoints[1].x, 3);
    ASSERT_EQ(p.Add(H, nullptr, 0), 0);
    EXPECT_EQ(p.lastOpPointCount, 1);

    // Impossible point counts are refused and leave the path alone.
    PDF_POINT_REAL four[4] = {};
    EXPECT_EQ(p.Add(C, four, 4), -1);
    EXPECT_EQ(p.Add(L, nullptr, 1), -1);
    EXPECT_EQ(p.Add(L, four, -1), -1);
    EXPECT_EQ(ReadPathSegs(p).size(), 2u);
}

TEST(PathGeometry, FailedAddLeavesThePathAsItWas)
{
    // Four lines fill both first chunks: the fifth operator needs a new operator chunk and a
    // new point chunk. Whichever allocation fails, nothing of it may be stored.
    for (int succeed : {0, 1}) {
        SCOPED_TRACE(succeed ? "point chunk fails" : "operator chunk fails");
        PDF_PathGeometry p;
        const std::vector<Seg> four = {{M, {{0, 0}}}, {L, {{1, 0}}}, {L, {{1, 1}}}, {L, {{0, 1}}}};
        Build(p, four);
        PDF_POINT_REAL pt = {9, 9};
        g_failNothrowAfter = succeed;
        int r = p.Add(L, &pt, 1);
        g_failNothrowAfter = -1;
        EXPECT_EQ(r, -1);
        ExpectSegs(ReadPathSegs(p), four);
        EXPECT_EQ(Counts(p.firstOps), std::vector<int>{4});
        EXPECT_EQ(Counts(p.firstPts), std::vector<int>{4});
        EXPECT_EQ(p.currentPoint.x, 0);
        EXPECT_EQ(p.currentPoint.y, 1);
        // The path still works afterwards.
        ASSERT_EQ(p.Add(H, nullptr, 0), 0);
        EXPECT_EQ(ReadPathSegs(p).back().op, H);
    }

    // A path whose first chunks could not be had refuses to grow instead of crashing.
    g_failNothrowAfter = 0;
    PDF_PathGeometry broken;
    g_failNothrowAfter = -1;
    PDF_POINT_REAL pt = {1, 1};
    EXPECT_EQ(broken.Add(M, &pt, 1), -1);
    broken.Destroy();
    PDF_PathGeometry copy(&broken);
    EXPECT_EQ(copy.Add(M, &pt, 1), 0);
}

TEST(PathGeometry, CopyIsDeepAndDestroyEmptiesInPlace)
{
    const std::vector<Seg> segs = {{M, {{0, 0}}}, {L, {{1, 0}}}, {C, {{2, 1}, {3, 1}, {4, 0}}},
                                   {Y, {{5, 5}, {6, 6}}}, {H, {}}};
    PDF_PathGeometry p;
    Build(p, segs);
    PDF_PathGeometry copy(&p);
    PDF_POINT_REAL pt = {50, 50};
    ASSERT_EQ(p.Add(L, &pt, 1), 0);
    ExpectSegs(ReadPathSegs(copy), segs);
    EXPECT_EQ(Counts(copy.firstOps), (std::vector<int>{4, 1}));
    EXPECT_EQ(Counts(copy.firstPts), (std::vector<int>{2, 3, 2}));
    EXPECT_EQ(copy.lastOp, H);
    EXPECT_EQ(copy.lastOpPointCount, 1);

    copy.Destroy();
    EXPECT_TRUE(ReadPathSegs(copy).empty());
    EXPECT_EQ(Counts(copy.firstOps), std::vector<int>{0});
    EXPECT_EQ(Counts(copy.firstPts), std::vector<int>{0});
    Build(copy, segs);
    ExpectSegs(ReadPathSegs(copy), segs);

    PDF_PathGeometry fromEmpty(nullptr);
    EXPECT_EQ(fromEmpty.lastOp, PDF_PATH_OP_NONE);
    EXPECT_TRUE(ReadPathSegs(fromEmpty).empty());
}

void ExpectMatrix(const pdfmatrix& m, const pdfmatrix& want)
{
    EXPECT_DOUBLE_EQ(m.a, want.a);
    EXPECT_DOUBLE_EQ(m.b, want.b);
    EXPECT_DOUBLE_EQ(m.c, want.c);
    EXPECT_DOUBLE_EQ(m.d, want.d);
    EXPECT_DOUBLE_EQ(m.e, want.e);
    EXPECT_DOUBLE_EQ(m.f, want.f);
}

TEST(PathGeometry, MatrixHelpers)
{
    struct PointCase { pdfmatrix m; double x, y, tx, ty, dx, dy; };
    const PointCase points[] = {
        {{1, 0, 0, 1, 0, 0}, 3, 4, 3, 4, 3, 4},
        {{2, 0, 0, 3, 10, 20}, 1, 1, 12, 23, 2, 3},
        {{0, 1, -1, 0, 5, 0}, 2, 0, 5, 2, 0, 2},  // quarter turn, then shift
        {{1, 2, 3, 4, 5, 6}, 1, 1, 9, 12, 4, 6},
    };
    for (PointCase c : points) {
        double x, y;
        Transform(c.x, c.y, &c.m, &x, &y);
        EXPECT_DOUBLE_EQ(x, c.tx);
        EXPECT_DOUBLE_EQ(y, c.ty);
        DistTransform(c.x, c.y, &c.m, &x, &y);
        EXPECT_DOUBLE_EQ(x, c.dx);
        EXPECT_DOUBLE_EQ(y, c.dy);
    }

    struct InvertCase { pdfmatrix in, out; };
    const InvertCase inverts[] = {
        {{2, 0, 0, 2, 10, 20}, {0.5, 0, 0, 0.5, -5, -10}},
        {{1, 2, 2, 4, 7, 8}, {1, 2, 2, 4, 7, 8}},  // singular: copied
        {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
        {{0, 1, -1, 0, 5, 0}, {0, -1, 1, 0, 0, 5}},
    };
    for (InvertCase c : inverts) {
        pdfmatrix out;
        InvertMatrix(&out, &c.in);
        ExpectMatrix(out, c.out);
    }

    // Inverse times matrix is the identity for a general matrix.
    pdfmatrix m = {1, 2, 3, 4, 5, 6}, inv, r;
    InvertMatrix(&inv, &m);
    ConcatMatrix(&m, &inv, &r);
    ExpectMatrix(r, {1, 0, 0, 1, 0, 0});

    struct ConcatCase { pdfmatrix A, B, R; };
    const ConcatCase concats[] = {
        // B (scale) first, then A (translate).
        {{1, 0, 0, 1, 10, 0}, {2, 0, 0, 2, 0, 0}, {2, 0, 0, 2, 10, 0}},
        {{2, 0, 0, 2, 0, 0}, {1, 0, 0, 1, 10, 0}, {2, 0, 0, 2, 20, 0}},
        {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {31, 46, 39, 58, 52, 76}},
    };
    for (ConcatCase c : concats) {
        pdfmatrix r2;
        ConcatMatrix(&c.A, &c.B, &r2);
        ExpectMatrix(r2, c.R);
        // The result may overwrite either input.
        pdfmatrix a = c.A, b = c.B;
        ConcatMatrix(&a, &b, &a);
        ExpectMatrix(a, c.R);
        a = c.A;
        ConcatMatrix(&a, &b, &b);
        ExpectMatrix(b, c.R);
    }
}

}  // namespace

TEST(PathGeometry, StackToCtmTakesIntegersAndRealsOnly)
{
    PdfNumber one;
    one.value = 1;
    PdfReal half;
    half.value = 0.5;
    PdfName name;
    PdfObj* good[6] = {&one, &half, &half, &one, &one, &half};
    pdfmatrix m = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(StackToCtm(good, &m), 0);
    EXPECT_EQ(m.a, 1);
    EXPECT_EQ(m.b, 0.5);
    EXPECT_EQ(m.f, 0.5);

    PdfObj* bad[6] = {&one, &half, &name, &one, &one, &half};
    pdfmatrix kept = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(StackToCtm(bad, &kept), -1);
    EXPECT_EQ(kept.a, 9);
    PdfObj* missing[6] = {&one, &half, nullptr, &one, &one, &half};
    EXPECT_EQ(StackToCtm(missing, &kept), -1);
    EXPECT_EQ(kept.c, 9);
}
