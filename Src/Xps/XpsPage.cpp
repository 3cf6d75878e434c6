#include "Xps/XpsPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"

namespace {

// The markup buffer of the page written last, kept for the next page: a fresh buffer the
// size of a page costs more in page faults than writing its markup does. A page's buffer
// grows to what memory keeps of its markup and a little past; one larger still is let go.
const size_t kMaxSpareMarkup = 2 * (size_t)XPS_MARKUP_IN_MEMORY;

std::string& SpareMarkup()
{
    static std::string spare;
    return spare;
}

// MoveTo coordinates beyond this end the path data: nothing after them can be on a page.
const double kFarAway = 99999999999999.0;

// Dash lengths are multiples of the line width in page markup; a width of 0 (the thinnest
// line) would divide by 0, so the dashes are scaled by this width instead.
const double kThinnestDashWidth = 0.001;

}  // namespace

bool XpsFinite(double v)
{
    return std::isfinite(v);
}

bool XpsFinite(const pdfmatrix& m)
{
    return XpsFinite(m.a) && XpsFinite(m.b) && XpsFinite(m.c) && XpsFinite(m.d) &&
           XpsFinite(m.e) && XpsFinite(m.f);
}

const char* LineJoin(int join)
{
    switch (join) {
    case 1: return "Round";
    case 2: return "Bevel";
    default: return "Miter";
    }
}

const char* LineCap(int cap)
{
    switch (cap) {
    case 1: return "Round";
    case 2: return "Square";
    default: return "Flat";
    }
}

namespace {

void AppendPoint(std::string* out, PDF_POINT_REAL p, const pdfmatrix* m)
{
    double x = p.x, y = p.y;
    if (m)
        Transform(p.x, p.y, const_cast<pdfmatrix*>(m), &x, &y);
    // One append per point: path data is most of a page of text drawn as outlines.
    const XpsNumber nx(x), ny(y);
    char text[sizeof nx.text + sizeof ny.text + 2];
    size_t lx = nx.length, ly = ny.length;
    memcpy(text, nx.text, lx);
    text[lx] = ',';
    memcpy(text + lx + 1, ny.text, ly);
    text[lx + 1 + ly] = ' ';
    out->append(text, lx + ly + 2);
}

}  // namespace

bool XpsPathData(PDF_PathGeometry* path, const pdfmatrix* m, std::string* out)
{
    if (!path)
        return false;
    size_t start = out->size();
    PDF_PATH_OP previous = PDF_PATH_OP_NONE;
    PDF_POINT_REAL current = {0, 0}, subpath = {0, 0};
    PDF_POINT_CHUNK* pc = path->firstPts;
    int taken = 0;

    for (PDF_PATH_OP_CHUNK* oc = path->firstOps; oc; oc = oc->next) {
        for (int i = 0; i < oc->count && i < PDF_PATH_CHUNK_SLOTS; i++) {
            PDF_PATH_OP op = oc->ops[i];
            int n = PathOpPointCount(op);
            if (n < 0)
                return out->size() > start;
            PDF_POINT_REAL pts[3];
            if (n > 0) {
                // All points of an operator lie in one chunk; a chunk may end with spare slots.
                while (pc && taken + n > pc->count) {
                    pc = pc->next;
                    taken = 0;
                }
                if (!pc || pc->count > PDF_PATH_CHUNK_SLOTS)
                    return out->size() > start;
                memcpy(pts, pc->pts + taken, sizeof(PDF_POINT_REAL) * (size_t)n);
                taken += n;
            }

            if (op == PDF_PATH_OP_MOVETO) {
                double x = pts[0].x, y = pts[0].y;
                if (m)
                    Transform(x, y, const_cast<pdfmatrix*>(m), &x, &y);
                if (x > kFarAway || y > kFarAway)
                    return out->size() > start;
            } else if (previous == PDF_PATH_OP_NONE) {
                // Path data must begin with a move; the path starts at the origin.
                out->append("M ");
                AppendPoint(out, subpath, m);
            }

            // A move always writes its letter: points after "M" would be read as lines.
            if (op != previous || op == PDF_PATH_OP_MOVETO || op == PDF_PATH_OP_CLOSEPATH) {
                static const char* const letters[] = {"M ", "L ", "C ", "C ", "C ", "z "};
                out->append(letters[op]);
            }
            switch (op) {
            case PDF_PATH_OP_MOVETO:
                subpath = pts[0];
                // fall through
            case PDF_PATH_OP_LINETO:
                AppendPoint(out, pts[0], m);
                current = pts[0];
                break;
            case PDF_PATH_OP_CURVETO:
                for (int k = 0; k < 3; k++)
                    AppendPoint(out, pts[k], m);
                current = pts[2];
                break;
            case PDF_PATH_OP_CURVETO_V:
                AppendPoint(out, current, m);
                AppendPoint(out, pts[0], m);
                AppendPoint(out, pts[1], m);
                current = pts[1];
                break;
            case PDF_PATH_OP_CURVETO_Y:
                AppendPoint(out, pts[0], m);
                AppendPoint(out, pts[1], m);
                AppendPoint(out, pts[1], m);
                current = pts[1];
                break;
            case PDF_PATH_OP_CLOSEPATH:
                current = subpath;
                break;
            }
            previous = op;
        }
    }
    return out->size() > start;
}

XpsPage::XpsPage()
    : parser(nullptr), pageWidth(0), pageHeight(0), originX(0), originY(0), quarterTurns(0),
      pagesStarted(0),
      pageDir(nullptr),
      out(nullptr), openClips(0), markupBytes(0), contentDepth(XPS_PAGE_CONTENT_DEPTH), failed(0)
{
}

void XpsPage::Out(const char* format, ...)
{
    if (!out)
        return;
    if (!strchr(format, '%')) {
        Put(format);
        return;
    }
    va_list ap;
    va_start(ap, format);
    char text[512];
    int n = vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    if (n < 0) {
        failed = 1;
        return;
    }
    if ((size_t)n < sizeof text) {
        Put(text, (size_t)n);
        return;
    }
    // Longer text is formatted again, into a block of its size.
    std::string longer((size_t)n + 1, '\0');
    va_start(ap, format);
    vsnprintf(&longer[0], longer.size(), format, ap);
    va_end(ap);
    Put(longer.data(), (size_t)n);
}

void XpsPage::Out(const std::string& text)
{
    Put(text.data(), text.size());
}

void XpsPage::Put(const char* text, size_t length)
{
    if (!out)
        return;
    markup.Append(text, length);
    markupBytes += length;
}

void XpsPage::Put(const char* text)
{
    Put(text, strlen(text));
}

void XpsPage::PutNumber(double v)
{
    char text[XPS_NUMBER_CHARS];
    Put(text, FormatXpsNumber(v, text));
}

bool XpsPage::Full()
{
    const unsigned long long budget = parser && parser->work
                                          ? parser->work->MarkupBudget()
                                          : (unsigned long long)PAGE_MAX_MARKUP_BYTES;
    return markupBytes >= budget || markup.Failed() || glyphDictionary.Failed();
}

bool XpsPage::Writing()
{
    return out && !Full();
}

int XpsPage::StartPage(int pageIndex, double width, double height)
{
    if (out)
        EndPage();
    pageWidth = width;
    pageHeight = height;
    failed = 0;
    openClips = 0;
    clips.clear();
    clipFloor = 0;
    groupFloors.clear();
    markupBytes = 0;
    markup.Reset("");
    if (SpareMarkup().capacity() > markup.Block().capacity())
        markup.Block().swap(SpareMarkup());
    contentDepth = XPS_PAGE_CONTENT_DEPTH;
    glyphDictionary.Reset("");
    glyphKeys.clear();
    glyphsDefined = 0;
    keyPrefix = "p" + std::to_string(pageIndex + 1) + "g";

    // The page is never written anywhere else: in standard-output mode that would put
    // markup into the package stream.
    char name[PDF_MAX_PATH];
    int n = snprintf(name, sizeof name, "%s/%d.fpage", pageDir ? pageDir : "", pageIndex + 1);
    if (n < 0 || n >= (int)sizeof name || pdfcreatfile(&out, name) != 0) {
        failed = 1;
        return -1;
    }
    pagesStarted++;
    // Beside the page file, the files its markup goes on in when it grows large: ".fbody"
    // for the content, ".fres" for the resources (the names are shorter than the page's).
    name[n - (int)strlen("fpage")] = 0;
    markup.Reset(std::string(name) + "fbody");
    glyphDictionary.Reset(std::string(name) + "fres");

    const double s = XPS_UNITS_PER_POINT;
    const double w = width * s, h = height * s;
    const int turns = quarterTurns & 3;
    const bool sideways = turns == 1 || turns == 3;
    Out("<FixedPage xmlns=\"http://schemas.microsoft.com/xps/2005/06\" Width=\"%s\" "
        "Height=\"%s\" xml:lang=\"en-US\">\n",
        XpsNumber(sideways ? h : w).text, XpsNumber(sideways ? w : h).text);
    // The start tag is all that comes before the page's resources.
    if (!markup.CopyTo(out))
        failed = 1;
    Out("<Canvas>\n<Canvas.RenderTransform>\n");
    // The box's lower-left corner (ox, oy) is the page's origin, y turns downwards, and the
    // page turns clockwise by quarters: per turn the scale entries of the matrix and the
    // corner the origin goes to. The scale is written out in full ("%g" would round it).
    // "+ 0.0" keeps a zero from printing "-0".
    static const char* const kScale[4] = {
        "1.333333333,0,0,-1.333333333",   // upright: origin at the bottom left
        "0,1.333333333,1.333333333,0",    // 90: origin at the top left, y to the right
        "-1.333333333,0,0,1.333333333",   // 180: origin at the top right
        "0,-1.333333333,-1.333333333,0"}; // 270: origin at the bottom right
    const double ox = originX * s, oy = originY * s;
    double dx, dy;
    switch (turns) {
    case 1:
        dx = -oy;
        dy = -ox;
        break;
    case 2:
        dx = w + ox;
        dy = -oy;
        break;
    case 3:
        dx = h + oy;
        dy = w + ox;
        break;
    default:
        dx = -ox;
        dy = h + oy;
        break;
    }
    Out(" <MatrixTransform Matrix=\"%s,%s,%s\"/>\n", kScale[turns], XpsNumber(dx + 0.0).text,
        XpsNumber(dy + 0.0).text);
    Out("</Canvas.RenderTransform>\n");
    return 0;
}

int XpsPage::EndPage()
{
    if (!out)
        return -1;
    while (!groupFloors.empty())
        EndCanvas();
    CloseClips(0);
    Out("</Canvas>\n</FixedPage>\n");
    if (WritePageFile() != 0)
        failed = 1;
    if (pdfclose(out) != 0)
        failed = 1;
    out = nullptr;
    markup.Reset("");
    glyphDictionary.Reset("");
    std::string& block = markup.Block();
    if (block.capacity() > SpareMarkup().capacity() && block.capacity() <= kMaxSpareMarkup)
        block.swap(SpareMarkup());
    return failed ? -1 : 0;
}

int XpsPage::WritePageFile()
{
    bool ok = WritePageResources();
    ok = markup.CopyTo(out) && ok;
    return ok && !ferror(out) ? 0 : -1;
}

void XpsPage::CloseClips(int keep)
{
    while ((int)clips.size() > keep && !clips.empty())
        PopClip();
    openClips = (int)clips.size();
}

int XpsPage::EvaluatePath(PDF_PathGeometry* path, pdfmatrix* m)
{
    std::string data;
    XpsPathData(path, m, &data);
    Out(data);
    return 0;
}

bool Translucent(double alpha)
{
    return alpha >= 0 && alpha < 1;
}

namespace {

double DashValue(PdfObj* item, bool* ok)
{
    if (item && item->type == PDF_NUMBER)
        return (double)static_cast<PdfNumber*>(item)->value;
    if (item && item->type == PDF_REAL && XpsFinite(static_cast<PdfReal*>(item)->value))
        return static_cast<PdfReal*>(item)->value;
    *ok = false;
    return 0;
}

}  // namespace

void XpsPage::StrokeAttributes(GState* gs, bool dashes)
{
    const char* cap = LineCap(gs->lineCap);
    Out("StrokeEndLineCap=\"%s\" \nStrokeStartLineCap=\"%s\" \n", cap, cap);
    Out("StrokeLineJoin=\"%s\" \n", LineJoin(gs->lineJoin));

    PdfArray& dash = gs->dash;
    if (dashes && dash.count > 0 && dash.items) {
        // A dash list that is not a list of lengths, or whose lengths are all 0, draws a
        // solid line, as it does in PDF readers.
        bool ok = true;
        double total = 0;
        std::vector<double> lengths;
        for (int i = 0; i < dash.count && ok; i++) {
            double v = DashValue(dash.items[i], &ok);
            ok = ok && v >= 0;
            total += v;
            lengths.push_back(v);
        }
        if (ok && total > 0 && XpsFinite(total)) {
            double width = std::fabs(gs->lineWidth);
            if (!(width > 0))
                width = kThinnestDashWidth;
            // The markup takes dash and gap pairs: an odd list is repeated, as PDF repeats it.
            size_t n = lengths.size() % 2 ? 2 * lengths.size() : lengths.size();
            std::string text = "StrokeDashArray=\"";
            for (size_t i = 0; i < n && ok; i++) {
                double v = lengths[i % lengths.size()] / width;
                ok = XpsFinite(v);
                text += XpsNumber(v).text;
                text += ' ';
            }
            text += "\" \n";
            if (ok) {
                Out(text);
                Out("StrokeDashOffset=\"%s\" \n", XpsNumber(gs->dashPhase / width).text);
                // PDF caps every dash as it caps the line's ends: zero-length round dashes
                // are dots.
                Out("StrokeDashCap=\"%s\" \n", cap);
            }
        }
    }
}

// The Path element up to the end of its Data value, for the two forms that fill.
void XpsPage::OpenFilledPath(GState* gs, FillRule rule, const std::string& data)
{
    Out("<Path RenderTransform=\"%s\" \n", XpsMatrix(gs->ctm).text);
    if (Translucent(gs->fillAlpha))
        Out("Opacity=\"%s\" \n", XpsNumber(gs->fillAlpha).text);
    Out("Data=\"F%s ", rule == 1 ? "1" : "0");
    Out(data);
}

int XpsPage::Fill(GState* gs, FillRule rule)
{
    std::string data;
    if (!Writing() || !gs || !XpsFinite(gs->ctm) || !XpsPathData(gs->path, nullptr, &data))
        return 0;
    OpenFilledPath(gs, rule, data);
    Out("\" >");
    SetFill(gs, false);
    Out("</Path>\n");
    return 0;
}

int XpsPage::Stroke(GState* gs)
{
    std::string data;
    if (!Writing() || !gs || !XpsFinite(gs->ctm) || !XpsFinite(gs->lineWidth) ||
        !XpsPathData(gs->path, nullptr, &data))
        return 0;
    Out("<Path RenderTransform=\"%s\" \n", XpsMatrix(gs->ctm).text);
    Out("Data=\"");
    Out(data);
    Out("\" ");
    if (Translucent(gs->strokeAlpha))
        Out("Opacity=\"%s\" \n", XpsNumber(gs->strokeAlpha).text);
    StrokeAttributes(gs, true);
    Out("StrokeThickness=\"%s\" >\n", XpsNumber(std::fabs(gs->lineWidth)).text);
    SetStroke(gs);
    Out("</Path>\n");
    return 0;
}

int XpsPage::FillStroke(GState* gs, FillRule rule)
{
    if (!Writing() || !gs)
        return 0;
    if (gs->fillAlpha != gs->strokeAlpha || !XpsFinite(gs->lineWidth)) {
        Fill(gs, rule);
        Stroke(gs);
        return 0;
    }
    std::string data;
    if (!XpsFinite(gs->ctm) || !XpsPathData(gs->path, nullptr, &data))
        return 0;
    OpenFilledPath(gs, rule, data);
    Out("\" \n");
    // The dash belongs to the stroke whichever form paints it.
    StrokeAttributes(gs, true);
    Out("StrokeThickness=\"%s\" >\n", XpsNumber(std::fabs(gs->lineWidth)).text);
    SetFill(gs, false);
    SetStroke(gs);
    Out("</Path>\n");
    return 0;
}

namespace {

// The box of path data that is one upright rectangle: a move and three or four lines (the
// last back to the start), each along an axis, then an optional close. The data is read as
// written, so the box is exactly what the canvas would clip to.
bool RectOfPathData(const std::string& data, double box[4])
{
    // Four corners are a few dozen characters; longer data is no rectangle.
    if (data.size() > 256)
        return false;
    std::vector<double> xs, ys;
    size_t i = 0;
    int letter = 0;
    while (i < data.size()) {
        size_t end = data.find(' ', i);
        if (end == std::string::npos)
            end = data.size();
        std::string item = data.substr(i, end - i);
        i = end + 1;
        if (item.empty())
            continue;
        if (item == "M" || item == "L" || item == "z") {
            // M first, then one L, then at most a closing z at the very end.
            if ((item == "M") != (letter == 0) || (item == "L" && letter != 1) || letter == 3)
                return false;
            letter = item == "M" ? 1 : item == "L" ? 2 : 3;
            continue;
        }
        double x, y;
        size_t comma = item.find(',');
        if (letter == 0 || letter == 3 || comma == std::string::npos)
            return false;
        const char* text = item.c_str();
        std::from_chars_result rx = std::from_chars(text, text + comma, x);
        std::from_chars_result ry = std::from_chars(text + comma + 1, text + item.size(), y);
        if (rx.ptr != text + comma || ry.ptr != text + item.size() || rx.ec != std::errc() ||
            ry.ec != std::errc())
            return false;
        xs.push_back(x);
        ys.push_back(y);
    }
    size_t n = xs.size();
    if (n == 5 && xs[4] == xs[0] && ys[4] == ys[0])
        n = 4;
    if (n != 4)
        return false;
    // Edges alternate between horizontal and vertical, back to the start.
    for (int first = 0; first < 2; first++) {
        bool ok = true;
        for (size_t k = 0; k < 4 && ok; k++) {
            size_t a = k, b = (k + 1) % 4;
            bool horizontal = (k + first) % 2 == 0;
            ok = horizontal ? ys[a] == ys[b] : xs[a] == xs[b];
        }
        if (ok) {
            box[0] = std::min(std::min(xs[0], xs[1]), xs[2]);
            box[1] = std::min(std::min(ys[0], ys[1]), ys[2]);
            box[2] = std::max(std::max(xs[0], xs[1]), xs[2]);
            box[3] = std::max(std::max(ys[0], ys[1]), ys[2]);
            return true;
        }
    }
    return false;
}

std::string RectClipValue(const double b[4])
{
    std::string x0 = XpsNumber(b[0]).text, y0 = XpsNumber(b[1]).text;
    std::string x1 = XpsNumber(b[2]).text, y1 = XpsNumber(b[3]).text;
    return "F1M " + x0 + "," + y0 + " L " + x1 + "," + y0 + " " + x1 + "," + y1 + " " + x0 +
           "," + y1 + " z ";
}

}  // namespace

XpsPage::ClipCanvas* XpsPage::InnermostCanvas()
{
    size_t k = clips.empty() ? 0 : clips.back().innermost;
    return k > clipFloor ? &clips[k - 1] : nullptr;
}

void XpsPage::OpenClipCanvas(const std::string& value)
{
    Out("<Canvas\nClip=\"");
    Out(value);
    Out("\" >\n");
}

int XpsPage::Clip(GState* gs, FillRule rule)
{
    if (!out)
        return 0;
    ClipCanvas c;
    if (!Full()) {
        std::string data;
        // The clip canvas carries no transform: its points are placed by the CTM here. With
        // nothing to keep (an empty path, a CTM that is not finite) everything is clipped
        // away.
        if (!gs || !XpsFinite(gs->ctm) || !XpsPathData(gs->path, &gs->ctm, &data))
            data = "M 0,0 L 0,0 z ";
        c.value = std::string("F") + (rule == 1 ? "1" : "0") + data;
        c.rect = RectOfPathData(data, c.box);
        ClipCanvas* inner = InnermostCanvas();
        bool adds = true;
        if (inner && c.value == inner->value)
            adds = false;
        else if (inner && c.rect && inner->rect)
            adds = !(c.box[0] <= inner->box[0] && c.box[1] <= inner->box[1] &&
                     c.box[2] >= inner->box[2] && c.box[3] >= inner->box[3]);
        if (contentDepth + 1 + XPS_DRAWING_DEPTH <= PAGE_MAX_MARKUP_DEPTH) {
            OpenClipCanvas(c.value);
            c.written = true;
            contentDepth++;
        } else if (!adds) {
            // As deep as a page may go, and the canvas it would nest in clips to it already.
        } else if (inner && c.rect && inner->rect) {
            // As deep as a page may go: the innermost canvas gives way to one clipping to
            // both rectangles, and opens again when this clip ends.
            c.box[0] = std::max(c.box[0], inner->box[0]);
            c.box[1] = std::max(c.box[1], inner->box[1]);
            c.box[2] = std::max(c.box[0], std::min(c.box[2], inner->box[2]));
            c.box[3] = std::max(c.box[1], std::min(c.box[3], inner->box[3]));
            c.value = RectClipValue(c.box);
            Out("</Canvas>\n");
            OpenClipCanvas(c.value);
            c.written = true;
            c.replaced = true;
        }
        // Otherwise the clip is left out: the page draws a little more than the document,
        // which beats a page that no reader opens.
    }
    // A clip left out keeps nothing of its path: the page may hold thousands of them.
    if (!c.written)
        std::string().swap(c.value);
    c.innermost = c.written ? clips.size() + 1 : clips.empty() ? 0 : clips.back().innermost;
    clips.push_back(std::move(c));
    openClips = (int)clips.size();
    return 0;
}

void XpsPage::PopClip()
{
    ClipCanvas c = std::move(clips.back());
    clips.pop_back();
    if (!c.written)
        return;
    Out("</Canvas>\n");
    ClipCanvas* outer = c.replaced ? InnermostCanvas() : nullptr;
    if (outer)
        OpenClipCanvas(outer->value);
    else
        contentDepth--;
}

int XpsPage::EndClip()
{
    if (!clips.empty())
        CloseClips((int)clips.size() - 1);
    return 0;
}

int XpsPage::OutComment(char* text)
{
    if (text && Writing())
        Out("%s", text);
    return 0;
}
