// FreeType faces kept open for the glyph-run and outline roads.
//
// Faces stay open from one show to the next: opening a Type 1 program decrypts and parses all
// of it, which a page of many short shows would otherwise do for each. A face of the built-in
// data is known by that data; a face of a file by the file itself, so that a file written
// anew under the same name (by a later conversion) is opened anew. The library closes what
// is left open when the process ends.
#include "Interpreter/TextShow.h"

#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <sys/stat.h>
#include <vector>

#include "Resources/Fonts/FontEng.h"

#include FT_FREETYPE_H

namespace textshow {

static bool InitFreeType()
{
    if (!FontEng::m_library && FT_Init_FreeType(&FontEng::m_library) != 0) {
        FontEng::m_library = nullptr;
        return false;
    }
    return true;
}

namespace {

struct OpenFace {
    const unsigned char* data;  // built-in data, or null for a file
    std::string path;
    dev_t dev;
    ino_t ino;
    off_t size;
    struct timespec mtime;
    FT_Face face;
    // Glyph indices by name as FreeType found them; it searches the names one by one.
    std::map<std::string, unsigned int> byName;
    // Glyph indices of the codes 0 to 255 through a character map, by that map.
    std::map<FT_CharMap, std::vector<unsigned int>> byCode;
    // Hinted outlines as loaded at the pen's origin, by glyph index, for the size in
    // `outlineScale`: hinting a glyph at 1000 pixels per em costs far more than moving it.
    std::unordered_map<unsigned int, KeptGlyph> outlines;
    FT_Fixed outlineScale[2] = {0, 0};
};

enum { FACES_KEPT = 16 };
std::vector<OpenFace> openFaces;  // oldest first

FT_Face KeepFace(OpenFace f)
{
    if (openFaces.size() >= FACES_KEPT) {
        FT_Done_Face(openFaces.front().face);
        openFaces.erase(openFaces.begin());
    }
    FT_Face face = f.face;
    openFaces.push_back(std::move(f));
    return face;
}

OpenFace* OpenFaceOf(FT_Face face)
{
    for (OpenFace& f : openFaces)
        if (f.face == face)
            return &f;
    return nullptr;
}

}  // namespace

// FT_Get_Char_Index of the codes 0 to 255 through the face's selected map.
void CodesThroughCharmap(FT_Face face, unsigned int glyphs[256])
{
    OpenFace* f = OpenFaceOf(face);
    std::vector<unsigned int>* kept = nullptr;
    if (f) {
        kept = &f->byCode[face->charmap];
        if (kept->size() == 256) {
            memcpy(glyphs, kept->data(), 256 * sizeof(unsigned int));
            return;
        }
    }
    for (unsigned int c = 0; c < 256; c++)
        glyphs[c] = FT_Get_Char_Index(face, c);
    if (kept)
        kept->assign(glyphs, glyphs + 256);
}

// FT_Load_Glyph at the pen's origin, kept for the face: FreeType moves an outline by the
// transform's offset only after hinting it, so one load serves every pen position.
KeptGlyph* LoadGlyph(FT_Face face, unsigned int gi, FT_Int32 flags, KeptGlyph* scratch)
{
    OpenFace* f = OpenFaceOf(face);
    KeptGlyph* g = scratch;
    if (f && face->size) {
        if (f->outlineScale[0] != face->size->metrics.x_scale ||
            f->outlineScale[1] != face->size->metrics.y_scale) {
            f->outlines.clear();
            f->outlineScale[0] = face->size->metrics.x_scale;
            f->outlineScale[1] = face->size->metrics.y_scale;
        }
        auto found = f->outlines.find(gi);
        if (found != f->outlines.end())
            return &found->second;
        g = &f->outlines[gi];
    }
    // Nothing of the glyph loaded before may stay with this one.
    if (g == scratch)
        *scratch = KeptGlyph();
    FT_Set_Transform(face, nullptr, nullptr);
    g->error = FT_Load_Glyph(face, gi, flags);
    if (g->error == 0 && !face->glyph)
        g->error = -1;
    if (g->error != 0)
        return g;
    const FT_GlyphSlot slot = face->glyph;
    g->advance = slot->advance.x;
    g->isOutline = slot->format == FT_GLYPH_FORMAT_OUTLINE;
    const FT_Outline& o = slot->outline;
    if (g->isOutline && o.n_points > 0 && o.points && o.tags) {
        g->points.assign(o.points, o.points + o.n_points);
        g->tags.assign(o.tags, o.tags + o.n_points);
    }
    if (g->isOutline && o.n_contours > 0 && o.contours)
        g->contours.assign(o.contours, o.contours + o.n_contours);
    return g;
}

// FT_Get_Name_Index through the names already looked up in that face.
unsigned int GlyphNamed(FT_Face face, const char* name)
{
    for (OpenFace& f : openFaces) {
        if (f.face != face)
            continue;
        auto it = f.byName.find(name);
        if (it != f.byName.end())
            return it->second;
        unsigned int gi = FT_Get_Name_Index(face, name);
        f.byName.emplace(name, gi);
        return gi;
    }
    return FT_Get_Name_Index(face, name);
}

FT_Face FaceOfData(const unsigned char* data, unsigned int length)
{
    for (const OpenFace& f : openFaces)
        if (f.data == data)
            return f.face;
    FT_Face face = nullptr;
    if (!InitFreeType() ||
        FT_New_Memory_Face(FontEng::m_library, data, (FT_Long)length, 0, &face) != 0 || !face)
        return nullptr;
    return KeepFace({data, std::string(), 0, 0, 0, {0, 0}, face, {}, {}, {}, {0, 0}});
}

FT_Face FaceOfFile(const char* path)
{
    struct stat st;
    if (!path || stat(path, &st) != 0)
        return nullptr;
    for (size_t i = 0; i < openFaces.size(); i++) {
        const OpenFace& f = openFaces[i];
        if (f.data || f.path != path)
            continue;
        if (f.dev == st.st_dev && f.ino == st.st_ino && f.size == st.st_size &&
            f.mtime.tv_sec == st.st_mtim.tv_sec && f.mtime.tv_nsec == st.st_mtim.tv_nsec)
            return f.face;
        FT_Done_Face(f.face);
        openFaces.erase(openFaces.begin() + (long)i);
        break;
    }
    FT_Face face = nullptr;
    if (!InitFreeType() || FT_New_Face(FontEng::m_library, path, 0, &face) != 0 || !face)
        return nullptr;
    return KeepFace(
        {nullptr, path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, face, {}, {}, {}, {0, 0}});
}

}  // namespace textshow
