#include "PathSegments.h"

#include <gtest/gtest.h>

int PathSegPoints(PDF_PATH_OP op)
{
    static const int n[] = {1, 1, 3, 2, 2, 0};
    return op >= 0 && op <= 5 ? n[op] : 0;
}

std::vector<PathSeg> ReadPathSegs(const PDF_PathGeometry& p)
{
    std::vector<PathSeg> out;
    const PDF_POINT_CHUNK* pc = p.firstPts;
    int taken = 0;
    for (const PDF_PATH_OP_CHUNK* oc = p.firstOps; oc; oc = oc->next) {
        for (int i = 0; i < oc->count; i++) {
            PathSeg s{oc->ops[i], {}};
            for (int k = 0; k < PathSegPoints(s.op); k++) {
                while (pc && taken == pc->count) {
                    pc = pc->next;
                    taken = 0;
                }
                if (!pc)
                    break;
                s.pts.push_back(pc->pts[taken++]);
            }
            out.push_back(s);
        }
    }
    return out;
}

void ExpectSegs(const std::vector<PathSeg>& got, const std::vector<PathSeg>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].op, want[i].op) << "operator " << i;
        ASSERT_EQ(got[i].pts.size(), want[i].pts.size()) << "operator " << i;
        for (size_t k = 0; k < got[i].pts.size(); k++) {
            EXPECT_EQ(got[i].pts[k].x, want[i].pts[k].x) << "operator " << i << " point " << k;
            EXPECT_EQ(got[i].pts[k].y, want[i].pts[k].y) << "operator " << i << " point " << k;
        }
    }
}
