// Compact font programs (CFF) for the package. A font part must be an sfnt font, so a bare
// CFF program, as a CIDFont's FontFile3 carries it, is wrapped into an OpenType font: its
// own bytes as the "CFF " table, with the head, hhea, hmtx, maxp, name, OS/2, post and cmap
// tables made around it. The glyph runs of such a font address glyphs by index, so the
// program's charset, which names the CID of every glyph of a CID-keyed program, is read to
// turn CIDs into glyph indices.
//
// Every offset and count of the program is checked against its length before it is used; a
// program that does not hold up is refused, and nothing is written for it.
#ifndef VARDEX_RESOURCES_FONTS_CFFOPENTYPE_H
#define VARDEX_RESOURCES_FONTS_CFFOPENTYPE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// What the package needs to know of a CFF program.
struct CffProgram {
    int numGlyphs = 0;         // entries of the CharStrings INDEX
    bool cidKeyed = false;     // the Top DICT begins with ROS
    int unitsPerEm = 1000;     // from the FontMatrix
    int bbox[4] = {0, 0, 0, 0};
    // CID-keyed programs: the glyph index of every 16-bit CID (0 where no glyph has it).
    std::shared_ptr<const std::vector<uint16_t>> cidToGid;
};

// Reads the header, the INDEXes up to the CharStrings, the Top DICT and the charset of the
// first font of the program. False when any of it runs past the data or is malformed.
bool ReadCffProgram(const unsigned char* data, size_t length, CffProgram* out);

// The bytes of table `tag` of an sfnt, or null when the directory does not hold it within
// the data.
const unsigned char* SfntTable(const unsigned char* sfnt, size_t length, const char* tag,
                               size_t* tableLength);

// Writes the OpenType font around the program to `path`: 0 once the whole file is written,
// closed and opens as a font in FreeType with the program's glyph count; -1 otherwise, with
// no file left behind, and *refused (when given) set where the font itself is at fault
// rather than the writing.
int WriteCffAsOpenType(const char* path, const unsigned char* cff, size_t length,
                       const char* fontName, const CffProgram& program, bool* refused = nullptr);

#endif
