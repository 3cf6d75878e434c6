// Compact font programs for tests: the CFF table of an OpenType font on disk, and small
// CID-keyed programs made here, whose glyphs are boxes of different heights so that a glyph
// drawn for the wrong CID shows.
#ifndef VARDEX_TESTS_CFFFONTS_H
#define VARDEX_TESTS_CFFFONTS_H

#include <string>
#include <vector>

namespace testcff {

// A CFF-based OpenType font of fonts-urw-base35.
extern const char* const kNimbusSansOtf;

// The bytes of table `tag` of an sfnt, or "" when it has none.
std::string SfntTable(const std::string& sfnt, const char* tag);

// One glyph of a CID-keyed program: its CID and a box from (x0, 0) to (x1, height) in
// thousandths of the em.
struct BoxGlyph {
    unsigned cid;
    int x0, x1, height;
};

// A CID-keyed CFF program (Adobe-Identity) whose glyph 0 is an empty .notdef and glyph k the
// k-th of `glyphs`, charset format 0.
std::string CidKeyedCff(const std::vector<BoxGlyph>& glyphs);

// One glyph of a name-keyed program: its name, a box as a BoxGlyph's, and its advance.
struct NamedBox {
    std::string name;
    int x0, x1, height, advance;
};

// A name-keyed CFF program (a Type 1C font) whose glyph 0 is an empty .notdef and glyph k the
// k-th of `glyphs`; every name is a string of its own String INDEX (charset format 0), and the
// program's encoding is the standard one.
std::string NameKeyedCff(const std::vector<NamedBox>& glyphs);

}  // namespace testcff

#endif
