// Small documents for the fuzz targets: the resource-rich page the content target runs its
// inputs on, and the seed files of every target.
#ifndef VARDEX_FUZZ_SEEDDOCS_H
#define VARDEX_FUZZ_SEEDDOCS_H

#include <string>
#include <utility>
#include <vector>

namespace fuzz {

// One page whose Resources name a font of each kind (standard, named, and embedded Type 1,
// compact, TrueType, CID-keyed compact and OpenType programs), parameter sets, colour spaces
// (spot, DeviceN, Lab and indexed ones through functions of every type among them), images,
// a mask, a form (that also calls itself), a tiling and a shading pattern and shadings, with
// `content` as its content stream (deflated when `deflate`); nothing else is compressed.
std::string ResourceDocument(const std::string& content, bool deflate = false);

// Content streams that use those resources and every operator.
std::vector<std::string> ContentSeeds();

// Named seeds: whole documents, filter inputs, object texts.
std::vector<std::pair<std::string, std::string>> DocumentSeeds();
std::vector<std::pair<std::string, std::string>> FilterSeeds();
// Inputs of the function target: dictionary entries, and a stream's data after "\nstream\n".
std::vector<std::pair<std::string, std::string>> FunctionSeeds();
std::vector<std::pair<std::string, std::string>> ObjectSeeds();

}  // namespace fuzz

#endif
