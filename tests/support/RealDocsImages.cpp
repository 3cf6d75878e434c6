#include "RealDocs.h"

namespace testpdf {

void ImagesAndMasks(std::vector<RealDoc>* rows)
{
    (void)rows;
}

}  // namespace testpdf
