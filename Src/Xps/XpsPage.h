// The page writer: the renderer that turns the interpreter's drawing calls into the markup
// of one FixedPage file in the temporary folder, written element by element as they come.
// Paths keep their PDF user-space coordinates and carry the CTM as their RenderTransform;
// one page canvas maps PDF points (y up) to page units (1/96 inch, y down).
#ifndef VARDEX_XPS_XPSPAGE_H
#define VARDEX_XPS_XPSPAGE_H

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "Interpreter/GState.h"
#include "Interpreter/PathGeometry.h"
#include "Interpreter/RenderPage.h"
#include "Pdf/Limits.h"
#include "Xps/PageMarkup.h"
#include "Xps/XpsNumber.h"

class ContentParser;
class PdfName;
class ShadePatternInfo;
class TilePatternInfo;

// Element depths of the markup. The page's content lies below FixedPage and the page Canvas;
// the deepest drawing reaches four elements below its own (a Path, its Fill, a gradient
// brush, its stops, one stop); a tiling brush's content lies five below the painted element
// (its Fill, VisualBrush, the Visual, the Canvas), and two further (a placing canvas and a
// clipping one) when the cell is laid into a tile of the pattern's step. A soft mask's form
// lies five below its masked canvas (the OpacityMask, VisualBrush, the Visual, the Canvas),
// and one further inside the clip of its box.
enum { XPS_PAGE_CONTENT_DEPTH = 3, XPS_DRAWING_DEPTH = 4, XPS_TILE_DEPTH = 5, XPS_TILE_COPY_DEPTH = 2,
       XPS_MASK_DEPTH = 6 };

// PDF points to page units. The decimal, not 4/3: 612 points must come out as 816.
const double XPS_UNITS_PER_POINT = 1.333333333;

bool XpsFinite(double v);
// An element whose matrix is not finite places nothing anywhere and is left out.
bool XpsFinite(const pdfmatrix& m);
// An opacity below 1 is written; 1, and anything that is not a fraction, is left out.
bool Translucent(double alpha);

// Appends the abbreviated path data of `path` (each item followed by one blank); the points
// pass through `m` unless it is null. False when nothing was written (an empty path, or one
// whose first move lies beyond any page).
bool XpsPathData(PDF_PathGeometry* path, const pdfmatrix* m, std::string* out);

// Names of a PDF line join and cap in page markup; unknown values fall back to the default.
const char* LineJoin(int join);
const char* LineCap(int cap);

// The Color value of one side's brush where it is a solid colour (what SetFill and SetStroke
// write inside a SolidColorBrush); "" for a pattern, or a colour kind that paints nothing.
// With `luminosity` the colour is black at an alpha of its luminosity, as a luminosity mask
// reads it.
std::string XpsSolidColour(GState* gs, bool stroke, bool luminosity = false);

class XpsPage : public RenderPage {
public:
    XpsPage();

    ContentParser* parser;  // the parser drawing through this page now
    double pageWidth, pageHeight;  // PDF points
    // The MediaBox's lower-left corner, PDF points: the page canvas shows the box, wherever
    // it lies in user space. Set before StartPage; 0 0 by default.
    double originX, originY;
    // Quarter turns clockwise (0 to 3) in which the page is shown, as its Rotate entry asks:
    // the FixedPage takes the turned size and the page canvas turns the drawing with it.
    // Set before StartPage; 0 by default.
    int quarterTurns;
    int pagesStarted;
    char* pageDir;  // the temporary folder (not owned)
    FILE* out;      // the page file, null while no page is open

    // Creates "<pageDir>/<pageIndex + 1>.fpage" and writes the page head. -1 when the file
    // cannot be created: the page is then not written anywhere and every later call does
    // nothing until the next StartPage. The rest of the markup collects until the page ends
    // (in memory, and past XPS_MARKUP_IN_MEMORY bytes in "<n>.fbody" and "<n>.fres" beside
    // the page file).
    int StartPage(int pageIndex, double width, double height) override;
    // Closes every clip still open, the page canvas and the page, and writes the page file
    // (with the page's resources after the FixedPage start tag). -1 when the page could not
    // be created or a write failed (the page file is then not usable).
    int EndPage() override;

    int Stroke(GState* gs) override;
    int Fill(GState* gs, FillRule rule) override;
    int FillStroke(GState* gs, FillRule rule) override;
    // A clip whose path is empty excludes everything, so that its EndClip still pairs.
    int Clip(GState* gs, FillRule rule) override;
    // Closes the innermost clip; does nothing when no clip is open.
    int EndClip() override;
    // A transparency group's canvas: what it holds is laid on the page as one picture at the
    // opacity `value` (opaque when that is not a fraction below 1). -1, and nothing written,
    // when the page is full or the canvas would nest too deep for what is drawn inside it.
    // Clips opened inside end with it.
    int StartCanvas(_matrix* m, double value) override;
    void EndCanvas() override;
    // A canvas under an opacity mask that shows gs's soft mask: a visual of the mask's form,
    // drawn on the page's own space (colours as their luminosity for a luminosity mask). -1,
    // and nothing written, where the mask cannot be drawn: inside a tiling cell (another
    // space), too deep, on a full page, or when the form may not run (the page's budget, a
    // mask inside itself). Ended by EndCanvas.
    int StartMaskedCanvas(GState* gs) override;
    int OutComment(char* text) override;

    // Images: a Path over the image's unit square, placed by the CTM. ShowImage fills it
    // with the image (and asks the parser for its soft mask, which arrives through SetSMask
    // as the Path's opacity mask); ShowImageMask paints the fill colour through a 1-bit
    // image. An image of no width or height is not written.
    int ShowImage(GState* gs, ImageInfo* info, char* fileName) override;
    int ShowImageMask(GState* gs, ImageInfo* info, char* fileName) override;
    // Writes nothing outside an image Path, or when the Path has its opacity mask already.
    int SetSMask(GState* gs, ImageInfo* mask, char* fileName) override;

    // Text. A glyph run of a packaged font: glyphs are {code, advance in thousandths of the
    // em} pairs ended by code 0; with `text` non-null the codes are characters, else glyph
    // indices. A run without glyphs writes nothing.
    int ShowTextEx(GState* gs, char* text, char* fontFile, double fontSize, double* glyphs,
                   const unsigned int* indices = nullptr) override;
    // Fills the glyph outlines in gs's path, placed by gs's text-matrix field.
    int FillText(GState* gs) override;
    // Outline text: each outline is written once into the page's resource dictionary, and
    // each glyph is a Path naming it, placed by its own matrix. Shows that only the joined
    // path draws exactly as the PDF does are left to it: those painted with a pattern (which
    // lies in user space) or translucently (the opacity of one path is not that of many),
    // and strokes through a glyph matrix that does not scale alike in every direction.
    bool PaintGlyphs(GState* gs, const pdfmatrix& glyphSpace, const OutlineGlyph* glyphs,
                     int count, bool fill, bool stroke) override;
    int ShowText(GState* gs, char* text, char* font, double size) override;

    // Writes the path data of `path` into the page (points through `m` unless it is null).
    int EvaluatePath(PDF_PathGeometry* path, pdfmatrix* m);

    // Brush elements of a painted path: Path.Fill (Glyphs.Fill with `glyphs`) and Path.Stroke.
    int SetFill(GState* gs, bool glyphs);
    int SetStroke(GState* gs);

    // The sh operator: the page rectangle filled with the shading's gradient, so that only
    // the open clips bound it. Nothing for a shading that gives no gradient.
    int FillShade(GState* gs, PdfName* shadingName) override;

    // Gradient brushes of a shading record: linear (axial), radial with the record's
    // Transform (shading patterns) and radial in user space (sh). A record without stops
    // writes nothing, as every colour without a brush.
    int OutLinearGadient(ShadePatternInfo* info);
    int OutRadialGadient(ShadePatternInfo* info);
    int OutRadialGadientShade(ShadePatternInfo* info);

    // Clips opened and not yet ended (whether or not each wrote a canvas). Code that opens a
    // canvas of its own around a nested content stream closes what the stream left open
    // with CloseClips(count before).
    int openClips;
    void CloseClips(int keep);

    // Bytes of markup the page has written so far; past the page's markup budget (that of
    // the parser's PageWork, PAGE_MAX_MARKUP_BYTES without a parser) the page is full: it
    // starts no new element and only closes what is open. A page whose markup cannot be
    // kept (its file failed) is full too.
    unsigned long long markupBytes;
    bool Full() override;
    // Element depth at which the next element of the page is written: 3 on the page canvas
    // (below FixedPage and the page Canvas), one more inside each clip canvas, five more
    // inside a tiling brush's canvas.
    int contentDepth;
    // True while a luminosity mask's form is drawn: every colour is written as the alpha
    // its luminosity gives.
    bool luminosity = false;

protected:
    // The page's markup after its head collects in `markup` and goes to its file at
    // EndPage; nothing is kept while no page file is open. Out formats as printf does, Put
    // appends text as it stands, PutNumber a number as XpsNumber writes it.
    void Out(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Out(const std::string& text);
    void Put(const char* text, size_t length);
    void Put(const char* text);
    void PutNumber(double v);

private:
    void StrokeAttributes(GState* gs, bool dashes);
    void OpenFilledPath(GState* gs, FillRule rule, const std::string& data);
    void ImageBrush(ImageInfo* info, const char* fileName);
    void UnitSquare();
    void OpenImagePath(GState* gs);
    void CloseImagePath();

    enum { IMAGE_PATH_NONE, IMAGE_PATH_OPEN, IMAGE_PATH_MASKED };
    int imagePath = IMAGE_PATH_NONE;  // the image Path being written, and whether it has a mask

    // The brush of one side's pattern inside a property element named `element`; black
    // when the pattern cannot be had, nothing when it gives no brush.
    int PatternBrush(GState* gs, bool stroke, const char* element);
    void TileBrush(TilePatternInfo* tile, const char* element);
    // One run of the cell's content, closing the clips it leaves open.
    void TileCell(TilePatternInfo* tile);

    // One clip the interpreter opened. Clips are written as nested canvases, and readers
    // refuse markup nested too deep, so a clip that adds nothing to the canvas it would nest
    // in writes no canvas; one that would nest too deep is merged into that canvas when both
    // are rectangles, and otherwise left out (the page then draws a little more).
    struct ClipCanvas {
        bool written = false;   // this clip has a canvas of its own, open now or reopened
        // 1 + the index of the innermost clip up to this one that has a canvas, 0 for none:
        // however many clips are left out, the canvas a new one nests in is found at once.
        size_t innermost = 0;
        bool replaced = false;  // its canvas took the place of the one before, which reopens
        bool rect = false;      // the clip is one upright rectangle: box
        double box[4] = {0, 0, 0, 0};  // left, bottom, right, top
        std::string value;      // the canvas's Clip value, while written
    };
    std::vector<ClipCanvas> clips;
    // Clips below this index are canvases outside the brush or group canvas being drawn.
    size_t clipFloor = 0;
    // The floor of each open group or masked canvas's surroundings, outermost first.
    std::vector<size_t> groupFloors;
    // Counts a group or masked canvas just opened as one the page's content lies in.
    void EnterCanvas();
    ClipCanvas* InnermostCanvas();
    void OpenClipCanvas(const std::string& value);
    void PopClip();
    // True when a new element may be written (a page is open and not full).
    bool Writing();

    // The page's markup after the FixedPage start tag, which is in the page file already:
    // the page's resources go in before it when the page ends.
    PageMarkup markup;
    // Completes the page file: the page's resources, then the rest of the markup.
    int WritePageFile();

    // The page's resource dictionary: the PathGeometry of every glyph outline written on
    // the page, keyed "p<page>g<n>" by its place n, and the place by the outline's id (-1: an
    // outline that writes no figure). Keys differ from page to page as well: a reader may
    // keep a key it has seen for the pages after.
    PageMarkup glyphDictionary;
    std::string keyPrefix;
    std::unordered_map<unsigned long long, int> glyphKeys;
    int glyphsDefined = 0;
    // The key number of the glyph's outline, defining it where the page has not; -1 when it
    // has no figure.
    int GlyphKey(const OutlineGlyph& glyph);
    // Writes the FixedPage.Resources element of the page's dictionary into the page file,
    // where the page has one; false when the dictionary could not be kept whole.
    bool WritePageResources();

    // Object numbers of the tiling patterns whose cells are being drawn, outermost first: a
    // cell that paints with one of them again gets no brush, so a pattern that uses itself
    // ends after one cell.
    int tileStack[XPS_MAX_TILE_DEPTH] = {};
    int tileDepth = 0;
    int failed;  // the page could not be created, or a write failed
};

#endif
