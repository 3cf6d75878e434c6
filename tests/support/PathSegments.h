// A path read back operator by operator with the points each one carries, and a comparison
// of two such lists, for the tests of what builds paths. The read-back lives in this header
// so that what links without the test framework (the recording renderer in the fuzz build)
// needs nothing more.
#ifndef VARDEX_TESTS_PATHSEGMENTS_H
#define VARDEX_TESTS_PATHSEGMENTS_H

#include <vector>

#include "Interpreter/PathGeometry.h"

struct PathSeg {
    PDF_PATH_OP op;
    std::vector<PDF_POINT_REAL> pts;
};

// Points an operator carries (0 for a value that is no operator), written out in the tests
// rather than asked of the path code, so that a wrong count there shows.
inline int PathSegPoints(PDF_PATH_OP op)
{
    static const int n[] = {1, 1, 3, 2, 2, 0};
    return op >= 0 && op <= 5 ? n[op] : 0;
}

// Operators in chain order, each taking its points from the point chain and moving on once
// a chunk's stored points are used up; an operator whose points run out keeps what it got.
inline std::vector<PathSeg> ReadPathSegs(const PDF_PathGeometry& p)
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

// Same operators and exactly the same points, in order; a failure names the operator and
// point that differ.
void ExpectSegs(const std::vector<PathSeg>& got, const std::vector<PathSeg>& want);

#endif
