// The built-in standard font that stands in for a font the PDF names but does not embed.
#ifndef VARDEX_RESOURCES_FONTS_FONTSUBSTITUTE_H
#define VARDEX_RESOURCES_FONTS_FONTSUBSTITUTE_H

// What the font descriptor tells about a font's looks (all optional).
struct FontLooks {
    int flags = 0;             // the descriptor's Flags
    double weight = 0;         // FontWeight, 0 when absent
    double italicAngle = 0;    // ItalicAngle
};

// Descriptor flag bits (bit 1 is the value 1).
enum {
    FONT_FLAG_FIXED_PITCH = 1 << 0,
    FONT_FLAG_SERIF = 1 << 1,
    FONT_FLAG_SYMBOLIC = 1 << 2,
    FONT_FLAG_ITALIC = 1 << 6,
    FONT_FLAG_FORCE_BOLD = 1 << 18
};

// The name of the standard font nearest to `baseFont` (a subset prefix is passed over):
// family from the name (sans names to Helvetica, serif names to Times, fixed-pitch names to
// Courier, Symbol, ZapfDingbats), else from the FixedPitch and Serif flags, else Helvetica;
// bold and italic from the name's parts, the flags, the weight and the italic angle. Always
// one of the names GetStandardFontdata knows.
const char* SubstituteFontName(const char* baseFont, const FontLooks& looks);

#endif
