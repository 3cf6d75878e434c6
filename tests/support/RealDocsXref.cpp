#include "RealDocs.h"

namespace testpdf {

void ObjectTables(std::vector<RealDoc>* rows)
{
    (void)rows;
}

}  // namespace testpdf
