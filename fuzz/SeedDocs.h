// Small documents for the fuzz targets: the resource-rich page the content target runs its
// inputs on, and the seed files of every target.
#ifndef VARDEX_FUZZ_SEEDDOCS_H
#define VARDEX_FUZZ_SEEDDOCS_H

#include <string>
#include <utility>
#include <vector>

namespace fuzz {

// One page whose Resources name a font of each kind, parameter sets, colour spaces, an
// image, a mask, a form (that also calls itself), a tiling and a shading pattern and a
// shading, with `content` as its content stream (deflated when `deflate`).
std::string ResourceDocument(const std::string& content, bool deflate = false);

// Content streams that use those resources and every operator.
std::vector<std::string> ContentSeeds();

// Named seeds: whole documents, filter inputs, object texts.
std::vector<std::pair<std::string, std::string>> DocumentSeeds();
std::vector<std::pair<std::string, std::string>> FilterSeeds();
std::vector<std::pair<std::string, std::string>> ObjectSeeds();

}  // namespace fuzz

#endif
