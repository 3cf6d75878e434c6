#include "Resources/Fonts/FontEng.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Pt { long x, y; int tag; };  // 26.6 units; tag 1 on, 0 conic, 2 cubic
struct Seg { PDF_PATH_OP op; std::vector<PDF_POINT_REAL> pts; };

int PointsOf(PDF_PATH_OP op)
{
    return op == PDF_PATH_OP_CURVETO ? 3 : op == PDF_PATH_OP_CLOSEPATH ? 0 : 1;
}

std::vector<Seg> ReadBack(const PDF_PathGeometry& p)
{
    std::vector<Seg> out;
    const PDF_POINT_CHUNK* pc = p.firstPts;
    int taken = 0;
    for (const PDF_PATH_OP_CHUNK* oc = p.firstOps; oc; oc = oc->next)
        for (int i = 0; i < oc->count; i++) {
            Seg s{oc->ops[i], {}};
            for (int k = 0; k < PointsOf(s.op); k++) {
                while (pc && taken == pc->count) {
                    pc = pc->next;
                    taken = 0;
                }
                if (pc)
                    s.pts.push_back(pc->pts[taken++]);
            }
            out.push_back(s);
        }
    return out;
}

void ExpectSegs(const std::vector<Seg>& got, const std::vector<Seg>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].op, want[i].op) << "segment " << i;
        ASSERT_EQ(got[i].pts.size(), want[i].pts.size()) << "segment " << i;
        for (size_t k = 0; k < got[i].pts.size(); k++) {
            EXPECT_EQ(got[i].pts[k].x, want[i].pts[k].x) << "segment " << i << " point " << k;
            EXPECT_EQ(got[i].pts[k].y, want[i].pts[k].y) << "segment " << i << " point " << k;
        }
    }
}

// Coordinates as 26.6 integers, divided the way the path receives them.
PDF_POINT_REAL U(long x, long y)
{
    return PDF_POINT_REAL{x / 64.0, y / 64.0};
}

const PDF_PATH_OP M = PDF_PATH_OP_MOVETO, L = PDF_PATH_OP_LINETO, C = PDF_PATH_OP_CURVETO;

struct ContourCase {
    const char* name;
    std::vector<Pt> pts;
    int result;
    std::vector<Seg> segs;
};

TEST(FontEng, EmitContourTurnsOutlinePointsIntoPathOperators)
{
    const ContourCase cases[] = {
        {"two conics with an implied on-point",
         {{0, 0, 1}, {64, 128, 0}, {192, 128, 0}, {256, 0, 1}}, 0,
         {{M, {U(0, 0)}},
          {C, {U(42, 85), U(84, 127), U(128, 128)}},
          {C, {U(170, 128), U(212, 86), U(256, 0)}}}},
        {"last point conic closes back to the start",
         {{0, 0, 1}, {64, 0, 1}, {64, 64, 0}}, 0,
         {{M, {U(0, 0)}}, {L, {U(64, 0)}}, {C, {U(64, 42), U(43, 42), U(0, 0)}}}},
        {"two conics at the end close through the implied point",
         {{0, 0, 1}, {64, 64, 0}, {128, 64, 0}}, 0,
         {{M, {U(0, 0)}},
          {C, {U(42, 42), U(74, 63), U(96, 64)}},
          {C, {U(117, 64), U(85, 43), U(0, 0)}}}},
        {"ends on-curve without a closing segment",
         {{0, 0, 1}, {64, 0, 1}, {64, 64, 1}}, 0,
         {{M, {U(0, 0)}}, {L, {U(64, 0)}}, {L, {U(64, 64)}}}},
        {"negative thirds truncate toward zero",
         {{0, 0, 1}, {-64, -128, 0}, {-256, 0, 1}}, 0,
         {{M, {U(0, 0)}}, {C, {U(-42, -85), U(-127, -85), U(-256, 0)}}}},
        {"cubic controls", {{0, 0, 1}, {0, 64, 2}, {64, 64, 2}, {64, 0, 1}}, 0,
         {{M, {U(0, 0)}}, {C, {U(0, 64), U(64, 64), U(64, 0)}}}},
        {"cubic running past the end ends at the start", {{0, 0, 1}, {0, 64, 2}, {64, 64, 2}}, 0,
         {{M, {U(0, 0)}}, {C, {U(0, 64), U(64, 64), U(0, 0)}}}},
        {"one point adds nothing", {{5, 5, 1}}, 0, {}},
        {"starting on a conic adds nothing", {{0, 0, 0}, {64, 0, 1}}, -1, {}},
        {"lone cubic control", {{0, 0, 1}, {0, 64, 2}, {64, 64, 1}}, -1, {{M, {U(0, 0)}}}},
        {"cubic control as the last point", {{0, 0, 1}, {64, 0, 1}, {0, 64, 2}}, -1,
         {{M, {U(0, 0)}}, {L, {U(64, 0)}}}},
        {"conic followed by cubic", {{0, 0, 1}, {0, 64, 0}, {64, 64, 2}, {64, 0, 2}}, -1,
         {{M, {U(0, 0)}}}},
        {"unknown tag", {{0, 0, 1}, {64, 0, 3}}, -1, {{M, {U(0, 0)}}}},
    };
    for (const ContourCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FT_Vector> pts;
        std::vector<char> tags;
        for (const Pt& p : c.pts) {
            pts.push_back(FT_Vector{p.x, p.y});
            tags.push_back((char)(p.tag | 0x10));  // high bits carry other flags; ignored
        }
        PDF_PathGeometry path;
        FontEng eng;
        EXPECT_EQ(eng.EmitContour(0, (short)(pts.size() - 1), tags.data(), pts.data(), &path),
                  c.result);
        ExpectSegs(ReadBack(path), c.segs);
    }
}

TEST(FontEng, GlyphtoPathWalksContoursAndSurvivesBadOnes)
{
    // Contour 0 starts on a conic (dropped), contour 1 is a triangle, contour 2 ends past the
    // outline's points and stops the walk.
    FT_Vector pts[] = {{0, 0}, {64, 0}, {0, 64}, {64, 64}, {128, 64}};
    char tags[] = {0, 1, 1, 1, 1};
    short ends[] = {1, 4, 9};
    FT_Outline outline = {};
    outline.n_contours = 3;
    outline.n_points = 5;
    outline.points = pts;
    outline.tags = tags;
    outline.contours = ends;
    PDF_PathGeometry path;
    FontEng().GlyphtoPath(&outline, &path);
    ExpectSegs(ReadBack(path), {{M, {U(0, 64)}}, {L, {U(64, 64)}}, {L, {U(128, 64)}}});

    // Ends out of order stop the walk too; no contours at all add nothing.
    tags[0] = 1;
    short backwards[] = {4, 2};
    outline.n_contours = 2;
    outline.contours = backwards;
    PDF_PathGeometry path2;
    FontEng().GlyphtoPath(&outline, &path2);
    EXPECT_EQ(ReadBack(path2).size(), 5u);
    outline.n_contours = 0;
    PDF_PathGeometry path3;
    FontEng().GlyphtoPath(&outline, &path3);
    EXPECT_TRUE(ReadBack(path3).empty());
}

}  // namespace
