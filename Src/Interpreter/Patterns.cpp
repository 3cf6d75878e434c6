#include "Interpreter/Patterns.h"

#include <cstdlib>
#include <cstring>

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

namespace {

// Object objNum as the document keeps it (read once: a pattern painted many times costs its
// dictionary once; read it, never change it) and its kind under typeKey; null when it cannot
// be parsed.
PdfObj* ParseTyped(PdfPageTree* pages, PdfXref* xref, int objNum, const char* typeKey, int* type)
{
    PdfObj* obj = xref ? xref->Object(objNum) : nullptr;
    if (obj)
        *type = ReadTypeNumber(pages, obj, typeKey);
    return obj;
}

}  // namespace

PatternInfo::~PatternInfo() {}

TilePatternInfo::TilePatternInfo(int num) : objNum(num)
{
    patternType = PATTERN_TILING;
}

TilePatternInfo::~TilePatternInfo()
{
    delete resources;
}

ShadePatternInfo::ShadePatternInfo() : stops(sizeof(ShadeStop), 0, 8)
{
    patternType = PATTERN_SHADING;
}

void PatternToUser(pdfmatrix* m, pdfmatrix* ctm)
{
    pdfmatrix inv;
    InvertMatrix(&inv, ctm);
    // m first, then inv.
    ConcatMatrix(&inv, m, m);
}

void ReadDictMatrix(PdfPageTree* pages, PdfObj* dict, pdfmatrix* out)
{
    double v[6] = {1, 0, 0, 1, 0, 0};
    PdfArray arr;
    PdfKey key("Matrix");
    if (pages && pages->GetArray(arr, &key, dict) == 0) {
        for (int i = 0; i < 6 && i < arr.count; i++) {
            double x;
            if (OperandNumber(arr.items[i], &x) == 0)
                v[i] = x;
        }
    }
    *out = {v[0], v[1], v[2], v[3], v[4], v[5]};
}

bool ReadDictBox(PdfPageTree* pages, PdfObj* dict, double box[4])
{
    PdfArray arr;
    PdfKey key("BBox");
    if (!pages || pages->GetArray(arr, &key, dict) != 0 || arr.count < 4)
        return false;
    double v[4];
    for (int n = 0; n < 4; n++)
        if (OperandNumber(arr.items[n], &v[n]) != 0)
            return false;
    memcpy(box, v, sizeof v);
    return true;
}

int ReadTypeNumber(PdfPageTree* pages, PdfObj* dict, const char* key)
{
    PdfNumber type;
    type.value = 0;
    PdfKey k(key);
    pages->GetNumber(type, &k, dict);
    return type.value;
}

int ContentParser::GetPatternInfo(PatternInfo** out, GState* gs, int stroke)
{
    if (!out || !gs || !pages || !xref)
        return -1;
    int objNum = 0;
    PdfName* name = stroke ? &gs->strokePattern : &gs->fillPattern;
    if (pages->FindPattern(name, &objNum, resources) != 0)
        return -1;
    int type = 0;
    PdfObj* pattern = ParseTyped(pages, xref, objNum, "PatternType", &type);
    if (!pattern)
        return -1;

    PatternInfo* info = nullptr;
    if (type == PATTERN_TILING) {
        TilePatternInfo* tile = new TilePatternInfo(objNum);
        GetTilePatternInfo(pattern, &tile);
        info = tile;
    } else if (type == PATTERN_SHADING) {
        ShadePatternInfo* shade = new ShadePatternInfo;
        GetShadingPatternInfo(pattern, &shade);
        info = shade;
    }
    if (!info)
        return -1;
    *out = info;
    return 0;
}

int ContentParser::GetShadingInfo(PdfName* name, PatternInfo** out)
{
    if (!out || !pages || !xref)
        return -1;
    int objNum = 0;
    if (pages->FindShading(name, &objNum, resources) != 0)
        return -1;
    int type = 0;
    PdfObj* shading = ParseTyped(pages, xref, objNum, "ShadingType", &type);
    if (!shading)
        return -1;

    ShadePatternInfo* info = nullptr;
    if (type == SHADING_AXIAL || type == SHADING_RADIAL) {
        // The coordinates of a shading painted by sh are in the current user space, in which
        // the writer already draws: the matrix stays identity.
        info = new ShadePatternInfo;
        info->shadingType = type;
        if (type == SHADING_RADIAL)
            RadialShading(shading, info);
        else
            LinearShading(shading, info);
    }
    if (!info)
        return -1;
    *out = info;
    return 0;
}

int ContentParser::GetTilePatternInfo(PdfObj* pattern, TilePatternInfo** info)
{
    if (!info || !*info || !pages || !xref || !current)
        return 0;
    TilePatternInfo* tile = *info;

    PdfReal step;
    step.value = 0.0;
    PdfKey xKey("XStep");
    if (pages->GetReal(step, &xKey, pattern) == 0)
        tile->xStep = step.value;
    PdfKey yKey("YStep");
    if (pages->GetReal(step, &yKey, pattern) == 0)
        tile->yStep = step.value;

    // Without four numbers there is no cell: the record says so instead of inventing one.
    if (ReadDictBox(pages, pattern, tile->bbox))
        tile->hasBBox = 1;

    ReadDictMatrix(pages, pattern, &tile->matrix);
    PatternToUser(&tile->matrix, &current->ctm);

    PdfObj* res = ResourceValue(pattern, "Resources");
    delete tile->resources;
    tile->resources = res ? res->Dup() : nullptr;

    XrefEntry* entry = xref->Entry(tile->objNum);
    tile->fileOffset = entry ? entry->offset : 0;
    return 0;
}
