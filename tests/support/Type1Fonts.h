// Type 1 programs for tests, in the form a PDF's FontFile carries them: a clear-text part, then
// the eexec-encrypted private dictionary and charstrings, then the trailer of zeros. Their
// glyphs are boxes of different sizes, so that a glyph drawn for the wrong code shows.
#ifndef VARDEX_TESTS_TYPE1FONTS_H
#define VARDEX_TESTS_TYPE1FONTS_H

#include <string>
#include <vector>

namespace testfont {

// One glyph: its name, a box from (x0, 0) to (x1, height) and its advance, in thousandths of
// the em; `code` (0 to 255, or -1 for none) places it in the program's own encoding.
struct Type1Box {
    std::string name;
    int code;
    int x0, x1, height, advance;
};

// A Type 1 program named `fontName` with an empty .notdef and the given glyphs.
std::string BoxType1(const std::string& fontName, const std::vector<Type1Box>& glyphs);

}  // namespace testfont

#endif
