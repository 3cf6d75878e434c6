#include "RealDocs.h"

namespace testpdf {

void FontCases(std::vector<RealDoc>* rows)
{
    (void)rows;
}

}  // namespace testpdf
