#include "Resources/Fonts/FontEng.h"

#include <climits>

FT_Library FontEng::m_library = nullptr;

namespace {

const double kUnit = 0.015625;  // one 26.6 unit

enum { TAG_CONIC = 0, TAG_ON = 1, TAG_CUBIC = 2 };

int TagOf(const char* tags, int i)
{
    return (unsigned char)tags[i] & 3;
}

PDF_POINT_REAL Real(const FT_Vector& v)
{
    return PDF_POINT_REAL{v.x * kUnit, v.y * kUnit};
}

int AddPoint(PDF_PathGeometry* path, PDF_PATH_OP op, const FT_Vector& v)
{
    PDF_POINT_REAL p = Real(v);
    return path->Add(op, &p, 1);
}

int AddCurve(PDF_PathGeometry* path, const FT_Vector& c1, const FT_Vector& c2,
             const FT_Vector& end)
{
    PDF_POINT_REAL p[3] = {Real(c1), Real(c2), Real(end)};
    return path->Add(PDF_PATH_OP_CURVETO, p, 3);
}

// The library lives for the whole process; this closes it on the way out.
struct LibraryCloser {
    ~LibraryCloser()
    {
        if (FontEng::m_library) {
            FT_Done_FreeType(FontEng::m_library);
            FontEng::m_library = nullptr;
        }
    }
} g_libraryCloser;

}  // namespace

double fixed_to_real(long v)
{
    return v * kUnit;
}

long FontProgramGlyphs(const unsigned char* data, size_t length)
{
    if (!data || length == 0 || length > (size_t)LONG_MAX)
        return -1;
    if (!FontEng::m_library && FT_Init_FreeType(&FontEng::m_library) != 0) {
        FontEng::m_library = nullptr;
        return -1;
    }
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(FontEng::m_library, data, (FT_Long)length, 0, &face) != 0 || !face)
        return -1;
    const long glyphs = face->num_glyphs;
    FT_Done_Face(face);
    return glyphs;
}

void OutCubic(FT_Vector* p0, FT_Vector* control, FT_Vector* p2, PDF_PathGeometry* path)
{
    FT_Vector c1, c2;
    c1.x = p0->x + ((control->x - p0->x) * 2) / 3;
    c1.y = p0->y + ((control->y - p0->y) * 2) / 3;
    c2.x = c1.x + (p2->x - p0->x) / 3;
    c2.y = c1.y + (p2->y - p0->y) / 3;
    AddCurve(path, c1, c2, *p2);
}

void FontEng::GlyphtoPath(FT_Outline* outline, PDF_PathGeometry* path)
{
    if (!outline || !path || outline->n_contours <= 0 || !outline->contours ||
        !outline->points || !outline->tags)
        return;
    const int points = outline->n_points;
    int first = 0;
    for (int i = 0; i < outline->n_contours; i++) {
        const int last = outline->contours[i];
        // Contour ends out of order or past the points: the rest of the outline is unusable.
        if (last < first || last >= points || last > SHRT_MAX)
            return;
        EmitContour((short)first, (short)last, outline->tags, outline->points, path);
        first = last + 1;
    }
}

int FontEng::EmitContour(short first, short last, char* tags, FT_Vector* points,
                         PDF_PathGeometry* path)
{
    if (first < 0 || !tags || !points || !path)
        return -1;
    if (TagOf(tags, first) != TAG_ON)
        return -1;
    if (last <= first)
        return 0;

    FT_Vector start = points[first];
    FT_Vector current = start;
    AddPoint(path, PDF_PATH_OP_MOVETO, start);

    int p = first;
    while (p < last) {
        const int tag = TagOf(tags, p + 1);
        if (tag == TAG_ON) {
            AddPoint(path, PDF_PATH_OP_LINETO, points[p + 1]);
            current = points[p + 1];
            p++;
        } else if (tag == TAG_CUBIC) {
            if (p + 2 > last || TagOf(tags, p + 2) != TAG_CUBIC)
                return -1;
            const bool closes = p + 3 > last;
            const FT_Vector end = closes ? start : points[p + 3];
            if (AddCurve(path, points[p + 1], points[p + 2], end) != 0)
                return -1;
            current = end;
            if (closes)
                return 0;
            p += 3;
        } else if (tag == TAG_CONIC) {
            int q = p + 1;
            if (q == last) {
                OutCubic(&current, &points[q], &start, path);
                return 0;
            }
            for (;;) {
                const int next = q + 1;
                const int nextTag = TagOf(tags, next);
                if (nextTag == TAG_ON) {
                    OutCubic(&current, &points[q], &points[next], path);
                    current = points[next];
                    p = next;
                    break;
                }
                if (nextTag != TAG_CONIC)
                    return -1;
                FT_Vector mid;
                mid.x = (points[q].x + points[next].x) / 2;
                mid.y = (points[q].y + points[next].y) / 2;
                OutCubic(&current, &points[q], &mid, path);
                current = mid;
                q = next;
                if (q == last) {
                    OutCubic(&mid, &points[q], &start, path);
                    return 0;
                }
            }
        } else {
            return -1;  // both tag bits set: no such point kind
        }
    }
    return 0;
}
