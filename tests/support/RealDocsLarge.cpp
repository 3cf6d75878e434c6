#include "RealDocs.h"

namespace testpdf {

void LargeDocuments(std::vector<RealDoc>* rows)
{
    (void)rows;
}

}  // namespace testpdf
