#include "Pdf/PdfXref.h"

XrefEntry* PdfXref::Entry(int objNum)
{
    if (!entries || objNum < 0 || objNum >= size)
        return nullptr;
    return &entries[objNum];
}
