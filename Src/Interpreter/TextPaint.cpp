// Glyph outlines painted as the text rendering mode asks: filled as text (one path placed by
// the glyph matrix), or, where the mode strokes, moved into user space and stroked like any
// path with the stroke colour, line width and dashes of the graphics state.
#include "Interpreter/TextShow.h"

#include <algorithm>
#include <cmath>

#include "Interpreter/ContentParser.h"
#include "Interpreter/GState.h"
#include "Interpreter/RenderPage.h"
#include "Resources/ColorSpace.h"

#include FT_FREETYPE_H

namespace textshow {

namespace {

// Beyond this a pen position in 26.6 units cannot be handed to FreeType; such offsets come only
// from absurd adjustments and are clamped rather than converted out of range.
const double kMaxPen26_6 = 1e15;

// How far a stand-in glyph is stretched or squeezed to the PDF's width; beyond this the
// width belongs to some other glyph than the one drawn and the shape would be lost.
const double kMinFit = 0.5;
const double kMaxFit = 2.0;

}  // namespace

bool AddGlyphOutline(FontEng& eng, unsigned int gi, double pen, PDF_PathGeometry* path,
                     KeptGlyph* scratch, std::vector<FT_Vector>* moved, double fitWidth)
{
    double p = std::isnan(pen) ? 0.0 : pen * 64.0;
    if (p > kMaxPen26_6)
        p = kMaxPen26_6;
    if (p < -kMaxPen26_6)
        p = -kMaxPen26_6;
    const FT_Pos delta = (FT_Pos)p;
    const KeptGlyph* g =
        LoadGlyph(eng.face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH, scratch);
    eng.error = g->error;
    if (eng.error != 0)
        return false;
    if (g->isOutline) {
        double scale = 1.0;
        if (fitWidth > 0 && g->advance > 0)
            scale = std::min(std::max(fitWidth * 64.0 / (double)g->advance, kMinFit), kMaxFit);
        moved->resize(g->points.size());
        for (size_t k = 0; k < moved->size(); k++) {
            FT_Pos x = g->points[k].x;
            if (scale != 1.0)
                x = (FT_Pos)std::lround((double)x * scale);
            (*moved)[k] = {x + delta, g->points[k].y};
        }
        FT_Outline outline = {};
        outline.n_contours = (short)g->contours.size();
        outline.n_points = (short)g->points.size();
        outline.points = moved->data();
        outline.tags = const_cast<char*>(g->tags.data());
        outline.contours = const_cast<short*>(g->contours.data());
        eng.GlyphtoPath(&outline, path);
    }
    eng.advance = (double)g->advance;
    return true;
}

void PaintOutlines(const Show& s, bool fill)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;
    if (!cp->renderer || gs->path->lastOp == PDF_PATH_OP_NONE)
        return;
    const bool stroke = Stroked(gs->renderMode);
    fill = fill && Filled(gs->renderMode);
    if (!fill && !stroke)
        return;
    // Glyph space (thousandths of the em) to user space: the size, then the horizontal
    // scaling and the rise with Tm.
    pdfmatrix scaled = LineSpace(gs, 0.0);
    scaled.a *= s.size / 1000.0;
    scaled.b *= s.size / 1000.0;
    scaled.c *= s.size / 1000.0;
    scaled.d *= s.size / 1000.0;
    // A pattern is placed in user space: text filled with one moves there like stroked text.
    const bool patterned = fill && gs->fillCS == CS_PATTERN;
    if (!stroke && !patterned) {
        // Filled text: the outlines stay in glyph space, placed by the matrix to the page.
        pdfmatrix saved = gs->tm;
        ConcatMatrix(&gs->ctm, &scaled, &gs->tm);
        cp->renderer->FillText(gs);
        gs->tm = saved;
        return;
    }
    // A stroke's width and dashes are lengths of user space, and a pattern lies there: the
    // outlines move there.
    PDF_PathGeometry* glyphSpace = gs->path;
    gs->path = new PDF_PathGeometry;
    TransformPath(glyphSpace, &scaled, gs->path);
    if (fill && stroke)
        cp->renderer->FillStroke(gs, 1);
    else if (fill)
        cp->renderer->Fill(gs, 1);
    else
        cp->renderer->Stroke(gs);
    delete gs->path;
    gs->path = glyphSpace;
}

}  // namespace textshow
