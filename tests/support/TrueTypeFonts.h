// TrueType programs for tests: made from a real font by replacing its character maps (the
// kind of subset a PDF producer embeds for a symbolic font, whose codes reach the glyphs only
// through a Windows symbol map (3,0) and a Macintosh Roman map (1,0)), and small programs of
// box glyphs made here, so that a glyph drawn for the wrong code shows.
#ifndef VARDEX_TESTS_TRUETYPEFONTS_H
#define VARDEX_TESTS_TRUETYPEFONTS_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace testfont {

// Single-byte code -> glyph index.
using CodeMap = std::map<unsigned, unsigned>;

// `font` (a TrueType file) with its "cmap" table replaced by one holding only a (3,0) map of
// U+F000 + code for each entry of `symbol` and a (1,0) map of each entry of `mac`; an empty
// map is left out. "" when `font` is no TrueType file.
std::string WithCharMaps(const std::string& font, const CodeMap& symbol, const CodeMap& mac);

// One glyph of a box font: a box from (x0, 0) to (x1, height) and its advance, in thousandths
// of the em.
struct Box {
    int x0, x1, height, advance;
};

// A TrueType program of 1000 units per em with an empty glyph 0 and glyph k the k-th box:
// head, hhea, hmtx, maxp, glyf, loca, post and, when `symbol` maps codes, a cmap holding only
// a (3,0) map of U+F000 + code for each entry (no OS/2 or name table, as in many subsets).
std::string BoxTrueType(const std::vector<Box>& glyphs, const CodeMap& symbol = {});

// `font` with the 16-bit field at byte `at` of table `tag` set to `value` (the table's
// checksum left as it was); "" when the font has no such table.
std::string WithField16(const std::string& font, const char* tag, size_t at, unsigned value);

}  // namespace testfont

#endif
