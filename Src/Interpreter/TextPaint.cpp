// Glyph outlines painted as the text rendering mode asks. Each glyph's outline is made once
// for its face and handed to the renderer glyph by glyph with its place on the line; where
// the renderer leaves a show to the path operations, the outlines are joined into one path
// and filled as text (placed by the glyph matrix), or, where the mode strokes, moved into
// user space and stroked like any path with the stroke colour, line width and dashes of the
// graphics state.
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

// Fits a glyph is kept at; a glyph drawn at more (a stand-in face under many width sets)
// has the others made for each show.
const size_t kMaxKeptFits = 4;

unsigned long long nextShapeId = 0;

// The glyph's outline as a path at the fit: kept with the glyph, or made for the show alone.
const GlyphShape* ShapeOf(KeptGlyph* g, double fit, bool keep, GlyphShape* made)
{
    for (const GlyphShape& s : g->shapes)
        if (s.fit == fit)
            return &s;
    GlyphShape shape;
    shape.fit = fit;
    shape.id = ++nextShapeId;
    shape.path.reset(new PDF_PathGeometry);
    std::vector<FT_Vector> moved(g->points);
    if (fit != 1.0)
        for (FT_Vector& v : moved)
            v.x = (FT_Pos)std::lround((double)v.x * fit);
    FT_Outline outline = {};
    outline.n_contours = (short)g->contours.size();
    outline.n_points = (short)moved.size();
    outline.points = moved.data();
    outline.tags = g->tags.data();
    outline.contours = g->contours.data();
    FontEng eng;
    eng.GlyphtoPath(&outline, shape.path.get());
    if (keep && g->shapes.size() < kMaxKeptFits) {
        g->shapes.push_back(std::move(shape));
        return &g->shapes.back();
    }
    *made = std::move(shape);
    return made;
}

}  // namespace

bool AddGlyphOutline(FontEng& eng, unsigned int gi, double pen, ShowGlyphs* out,
                     KeptGlyph* scratch, double fitWidth)
{
    double p = std::isnan(pen) ? 0.0 : pen * 64.0;
    if (p > kMaxPen26_6)
        p = kMaxPen26_6;
    if (p < -kMaxPen26_6)
        p = -kMaxPen26_6;
    // The pen stands on whole 26.6 units, where FreeType would have moved the outline.
    const FT_Pos delta = (FT_Pos)p;
    KeptGlyph* g =
        LoadGlyph(eng.face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH, scratch);
    eng.error = g->error;
    if (eng.error != 0)
        return false;
    if (g->isOutline) {
        double fit = 1.0;
        if (fitWidth > 0 && g->advance > 0)
            fit = std::min(std::max(fitWidth * 64.0 / (double)g->advance, kMinFit), kMaxFit);
        GlyphShape made;
        const GlyphShape* shape = ShapeOf(g, fit, g != scratch, &made);
        PDF_PathGeometry* path = shape->path.get();
        if (shape == &made)
            out->own.push_back(std::move(made.path));
        if (path->lastOp != PDF_PATH_OP_NONE)
            out->glyphs.push_back({path, shape->id, fixed_to_real(delta)});
    }
    eng.advance = (double)g->advance;
    return true;
}

void PaintOutlines(const Show& s, const ShowGlyphs& glyphs, bool fill)
{
    ContentParser* cp = s.cp;
    GState* gs = cp->current;
    if (!cp->renderer || glyphs.glyphs.empty())
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
    if (cp->renderer->PaintGlyphs(gs, scaled, glyphs.glyphs.data(), (int)glyphs.glyphs.size(),
                                  fill, stroke))
        return;

    // The outlines joined into one path of glyph space, which stands in for the current path
    // while it is painted.
    PDF_PathGeometry* kept = gs->path;
    PDF_PathGeometry joined;
    for (const OutlineGlyph& g : glyphs.glyphs) {
        pdfmatrix along = {1, 0, 0, 1, g.pen, 0};
        TransformPath(g.outline, &along, &joined);
    }
    gs->path = &joined;
    // A pattern is placed in user space: text filled with one moves there like stroked text.
    const bool patterned = fill && gs->fillCS == CS_PATTERN;
    if (!stroke && !patterned) {
        // Filled text: the outlines stay in glyph space, placed by the matrix to the page.
        pdfmatrix saved = gs->tm;
        ConcatMatrix(&gs->ctm, &scaled, &gs->tm);
        cp->renderer->FillText(gs);
        gs->tm = saved;
    } else {
        // A stroke's width and dashes are lengths of user space, and a pattern lies there:
        // the outlines move there.
        PDF_PathGeometry user;
        TransformPath(&joined, &scaled, &user);
        gs->path = &user;
        if (fill && stroke)
            cp->renderer->FillStroke(gs, 1);
        else if (fill)
            cp->renderer->Fill(gs, 1);
        else
            cp->renderer->Stroke(gs);
    }
    gs->path = kept;
}

}  // namespace textshow
