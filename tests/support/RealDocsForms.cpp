#include "RealDocs.h"

namespace testpdf {

void FormsAndGroups(std::vector<RealDoc>* rows)
{
    (void)rows;
}

}  // namespace testpdf
