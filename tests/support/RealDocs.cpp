#include "RealDocs.h"

namespace testpdf {

std::vector<RealDoc> RealDocs()
{
    std::vector<RealDoc> rows;
    ObjectTables(&rows);
    LargeDocuments(&rows);
    FormsAndGroups(&rows);
    ImagesAndMasks(&rows);
    FontCases(&rows);
    RefusalsAndMessages(&rows);
    return rows;
}

}  // namespace testpdf
