// The built-in standard fonts: the fourteen standard PDF font names and "Chancery", each
// mapped to a font program carried inside the converter, and the style words the TrueType
// rewriter puts into a generated name table.
#ifndef VARDEX_RESOURCES_FONTS_BASEFONTS_H
#define VARDEX_RESOURCES_FONTS_BASEFONTS_H

class PdfName;

struct BaseFont {
    const char* name;
    const unsigned char* data;
    const unsigned int* length;
};

// Fifteen rows in lookup order, then a row of nulls.
extern const BaseFont basefonts[];

// The data of the row whose name equals the name's text exactly (case counts), with its
// length in *length; null, with *length untouched, for any other name or an empty one.
const unsigned char* GetStandardFontdata(PdfName* name, unsigned int* length);
bool IsStandardFont(PdfName* name);

// Indexed by the two low bits of head.macStyle (bit 0 bold, bit 1 italic).
extern const char Reg[];
extern const char Bold[];
extern const char Italic[];
extern const char BoldItalic[];

#endif
