#include "RealDocs.h"

namespace testpdf {

void RefusalsAndMessages(std::vector<RealDoc>* rows)
{
    (void)rows;
}

}  // namespace testpdf
