// Helpers for tests that judge whole packages by real readers: quoting for the shell, the
// shared folder beside the checkout, page renderings by mutool and their comparison.
#ifndef VARDEX_TESTS_RENDERING_H
#define VARDEX_TESTS_RENDERING_H

#include <string>
#include <vector>

namespace testutil {

// The project's shared folder (sample PDFs, checking tools), or "" when it is not there.
std::string SharedDir();

// `s` as one single-quoted shell word.
std::string Quote(const std::string& s);

// Standard error without the package writer's own diagnostic lines ("DEBUG: ..." and the
// file-access trace of standard-output mode): what is left are the converter's messages.
std::string Messages(const std::string& err);

// A grey-level rendering: `ink` is true where the pixel is darker than mid-grey.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<bool> ink;
    bool at(int x, int y) const { return ink[(size_t)y * width + x]; }
    double InkShare() const;
};

// Page 1 of `file` (PDF or XPS) rendered by mutool at `dpi`; `work` is a scratch folder.
bool Render(const std::string& file, int dpi, Raster* r, const std::string& work);

// Every page of `file` (PDF or XPS) rendered by mutool at `dpi`, in page order; empty when
// mutool fails. `work` is a scratch folder. Ink is a grey level below `inkBelow`: a lighter
// bar than mid-grey counts the anti-aliased edges of thin strokes too.
std::vector<Raster> RenderPages(const std::string& file, int dpi, const std::string& work, int inkBelow = 128);

// Every page of an XPS package rendered by xpstopng at `dpi`, in page order, ink as above;
// empty when xpstopng fails.
std::vector<Raster> XpstopngPages(const std::string& package, int dpi, const std::string& work,
                                  int inkBelow = 128);

// Pixels of `a` whose ink has no match in `b` at the same place or one pixel around it, as a
// share of all pixels.
double Unmatched(const Raster& a, const Raster& b);

// True when xpstopng renders page 1 of the package into `work`.
bool OpensInXpstopng(const std::string& package, const std::string& work);

}  // namespace testutil

#endif
