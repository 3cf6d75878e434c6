// Glyph outlines into paths: FreeType's 26.6 outlines (on-curve points, conic and cubic
// controls) become moves, lines and cubic curves in doubles, conic arcs raised to cubics.
#ifndef VARDEX_RESOURCES_FONTS_FONTENG_H
#define VARDEX_RESOURCES_FONTS_FONTENG_H

#include <cstddef>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "Interpreter/PathGeometry.h"

// One outline show: text showing creates it, opens the face into it and deletes it when the
// string is drawn. The face is closed by its user, not here.
class FontEng {
public:
    double advance = 0.0;  // advance.x of the last loaded glyph, 26.6 units
    FT_Face face = nullptr;
    int error = 0;         // result of the last FreeType call

    // Created on first use by text showing, released at process exit.
    static FT_Library m_library;

    // Appends every contour of the outline; a malformed contour is dropped after whatever
    // it had appended and the next one follows.
    void GlyphtoPath(FT_Outline* outline, PDF_PathGeometry* path);
    // Points first..last as one contour: 0, or -1 when it is malformed or a curve cannot be
    // added. A contour ending on an on-curve point gets no segment back to its start.
    int EmitContour(short first, short last, char* tags, FT_Vector* points,
                    PDF_PathGeometry* path);
};

// Appends the cubic equal to the conic arc p0-control-p2.
void OutCubic(FT_Vector* p0, FT_Vector* control, FT_Vector* p2, PDF_PathGeometry* path);

// 26.6 fixed point to double.
double fixed_to_real(long v);

// The glyphs of the font program in data[0..length) as FreeType opens it (starting the
// library on first use), or -1 when it does not open: what readers will make of it.
long FontProgramGlyphs(const unsigned char* data, size_t length);

#endif
