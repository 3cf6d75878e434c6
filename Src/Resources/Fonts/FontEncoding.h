// The Encoding of a simple font, taken out of the file once so that text showing can map codes
// to glyphs without parsing it again for every string.
#ifndef VARDEX_RESOURCES_FONTS_FONTENCODING_H
#define VARDEX_RESOURCES_FONTS_FONTENCODING_H

class PdfObj;
struct PdfXref;

// The font dictionary's Encoding with its references followed: a name, or a dictionary whose
// BaseEncoding (a name) and Differences (an array) are held directly. Null when the font has
// no Encoding of either form. The caller owns the result.
PdfObj* SimpleFontEncoding(PdfXref* xref, PdfObj* font);

#endif
