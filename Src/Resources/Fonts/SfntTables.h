// Pieces shared by the writers that build sfnt (TrueType or OpenType) fonts: big-endian table
// building and the symbol character map they give fonts that need one.
#ifndef VARDEX_RESOURCES_FONTS_SFNTTABLES_H
#define VARDEX_RESOURCES_FONTS_SFNTTABLES_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The units per em that readers accept in a head table (FreeType refuses a font outside them).
enum { SFNT_MIN_UNITS_PER_EM = 16, SFNT_MAX_UNITS_PER_EM = 16384 };

// Appends big-endian fields to a table under construction.
struct SfntOut {
    std::vector<unsigned char> b;
    void u8(unsigned v) { b.push_back((unsigned char)v); }
    void u16(unsigned v)
    {
        b.push_back((unsigned char)(v >> 8));
        b.push_back((unsigned char)v);
    }
    void u32(uint32_t v)
    {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    void zeros(size_t k) { b.insert(b.end(), k, 0); }
};

// A cmap table with one Windows symbol (3,0) subtable of format 4 that maps every code from
// 0 to `last` (at most 0xFFFE; the closing segment owns 0xFFFF) to the glyph of that index.
std::vector<unsigned char> IdentitySymbolCmap(unsigned last);

#endif
