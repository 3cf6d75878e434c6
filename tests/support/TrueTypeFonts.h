// TrueType programs for tests, made from a real font by replacing its character maps: the
// kind of subset a PDF producer embeds for a symbolic font, whose codes reach the glyphs only
// through a Windows symbol map (3,0) and a Macintosh Roman map (1,0).
#ifndef VARDEX_TESTS_TRUETYPEFONTS_H
#define VARDEX_TESTS_TRUETYPEFONTS_H

#include <map>
#include <string>

namespace testfont {

// Single-byte code -> glyph index.
using CodeMap = std::map<unsigned, unsigned>;

// `font` (a TrueType file) with its "cmap" table replaced by one holding only a (3,0) map of
// U+F000 + code for each entry of `symbol` and a (1,0) map of each entry of `mac`; an empty
// map is left out. "" when `font` is no TrueType file.
std::string WithCharMaps(const std::string& font, const CodeMap& symbol, const CodeMap& mac);

}  // namespace testfont

#endif
