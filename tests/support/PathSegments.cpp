#include "PathSegments.h"

#include <gtest/gtest.h>

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
