#include "Resources/Fonts/FontEng.h"
#include "PathSegments.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Pt { long x, y; int tag; };  // 26.6 units; tag 1 on, 0 conic, 2 cubic
using Seg = PathSeg;

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
        ExpectSegs(ReadPathSegs(path), c.segs);
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
    ExpectSegs(ReadPathSegs(path), {{M, {U(0, 64)}}, {L, {U(64, 64)}}, {L, {U(128, 64)}}});

    // Ends out of order stop the walk too; no contours at all add nothing.
    tags[0] = 1;
    short backwards[] = {4, 2};
    outline.n_contours = 2;
    outline.contours = backwards;
    PDF_PathGeometry path2;
    FontEng().GlyphtoPath(&outline, &path2);
    EXPECT_EQ(ReadPathSegs(path2).size(), 5u);
    outline.n_contours = 0;
    PDF_PathGeometry path3;
    FontEng().GlyphtoPath(&outline, &path3);
    EXPECT_TRUE(ReadPathSegs(path3).empty());
}

}  // namespace
