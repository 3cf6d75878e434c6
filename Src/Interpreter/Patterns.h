// Pattern records: self-contained descriptions of a tiling pattern, a shading pattern or a
// shading painted by sh, built by the interpreter for the page writer. Each paint that needs
// one gets a fresh record on the heap; the writer turns it into a brush and deletes it.
#ifndef VARDEX_INTERPRETER_PATTERNS_H
#define VARDEX_INTERPRETER_PATTERNS_H

#include <cstdint>

#include "Interpreter/PathGeometry.h"
#include "Pdf/XGE_List.h"
#include "Resources/ResData.h"

class PdfObj;
class PdfPageTree;

// Token buffer of the pattern and shading lookups.
enum { PATTERN_PARSE_BUF = 2080 };

enum {
    PATTERN_TILING = 1,
    PATTERN_SHADING = 2
};

enum {
    SHADING_AXIAL = 2,
    SHADING_RADIAL = 3
};

// One gradient stop: colour bytes 0..2 are red, green and blue (converted from the
// shading's colour space; byte 3 is unused), alpha 0 where the shading paints nothing.
struct ShadeStop {
    double offset;
    uint8_t colour[4];
    uint8_t alpha = 255;
};

class PatternInfo : public ResData {
public:
    ~PatternInfo() override;

    int32_t patternType = 0;  // PATTERN_TILING or PATTERN_SHADING
};

class TilePatternInfo : public PatternInfo {
public:
    explicit TilePatternInfo(int objNum);
    // The record owns its copy of the pattern's resources, so no way out of a consumer can
    // leak it.
    ~TilePatternInfo() override;

    double xStep = 0.0;
    double yStep = 0.0;
    double bbox[4] = {0, 0, 0, 0};  // as stored: llx lly urx ury
    // 0 when the pattern has no BBox of four numbers: there is no cell to tile then.
    int32_t hasBBox = 0;
    pdfmatrix matrix = {1, 0, 0, 1, 0, 0};  // pattern space to current user space
    int32_t objNum;                         // the pattern stream, the cell's content
    int32_t fileOffset = 0;
    PdfObj* resources = nullptr;  // owned deep copy of "Resources" as stored, or null
};

class ShadePatternInfo : public PatternInfo {
public:
    ShadePatternInfo();

    int32_t shadingType = 0;
    double coords[6] = {0, 0, 0, 0, 0, 0};  // x0 y0 r0 x1 y1 r1
    pdfmatrix matrix = {1, 0, 0, 1, 0, 0};
    XGE_List stops;  // of ShadeStop, in the order the function gave them
};

// m := m followed by the inverse of ctm: a pattern matrix that maps pattern space into the
// space the painted path is drawn in. A singular ctm is "inverted" to itself.
void PatternToUser(pdfmatrix* m, pdfmatrix* ctm);

// The "Matrix" of a pattern or form dictionary; identity when absent, and an item that is
// missing or not a number takes its identity value.
void ReadDictMatrix(PdfPageTree* pages, PdfObj* dict, pdfmatrix* out);

// The "BBox" of a pattern or form dictionary as stored (llx lly urx ury): false, and `box`
// untouched, unless the entry begins with four numbers.
bool ReadDictBox(PdfPageTree* pages, PdfObj* dict, double box[4]);

// The kind a pattern, shading or function dictionary gives under `key` ("PatternType",
// "ShadingType", "FunctionType"); 0 when absent.
int ReadTypeNumber(PdfPageTree* pages, PdfObj* dict, const char* key);

#endif
