// A path read back operator by operator with the points each one carries, and a comparison
// of two such lists, for the tests of what builds paths.
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
int PathSegPoints(PDF_PATH_OP op);

// Operators in chain order, each taking its points from the point chain and moving on once
// a chunk's stored points are used up; an operator whose points run out keeps what it got.
std::vector<PathSeg> ReadPathSegs(const PDF_PathGeometry& p);

// Same operators and exactly the same points, in order; a failure names the operator and
// point that differ.
void ExpectSegs(const std::vector<PathSeg>& got, const std::vector<PathSeg>& want);

#endif
