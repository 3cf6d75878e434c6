// How close two renderings of a page are, measured as the corpus run measures them: the share
// of pixels that differ once both are blurred, and the overlap of their ink.
#ifndef VARDEX_TESTS_PAGECOMPARE_H
#define VARDEX_TESTS_PAGECOMPARE_H

#include <string>

#include "TestImages.h"

namespace testutil {

struct PageScore {
    double diff = 1;    // pixels whose largest channel differs by more than 40 after a 3x3 blur
    double inkF1 = 0;   // F1 of dark pixels matched within one pixel, both ways
    bool sameSize = false;  // sizes agree within a pixel
};

// `ref` and `got` compared over the area both cover.
PageScore ComparePages(const testimg::Png& ref, const testimg::Png& got);

// "diff 0.12 %, inkF1 0.995" for a failure message.
std::string Describe(const PageScore& s);

}  // namespace testutil

#endif
