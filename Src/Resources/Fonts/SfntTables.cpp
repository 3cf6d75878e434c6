#include "Resources/Fonts/SfntTables.h"

std::vector<unsigned char> IdentitySymbolCmap(unsigned last)
{
    if (last > 0xFFFE)
        last = 0xFFFE;
    SfntOut o;
    o.u16(0);  // version
    o.u16(1);  // one subtable
    o.u16(3);  // Windows
    o.u16(0);  // symbol
    o.u32(12);
    o.u16(4);   // format
    o.u16(32);  // length
    o.u16(0);   // language
    o.u16(4);   // segCountX2
    o.u16(4);   // searchRange
    o.u16(1);   // entrySelector
    o.u16(0);   // rangeShift
    o.u16(last);
    o.u16(0xFFFF);
    o.u16(0);  // reservedPad
    o.u16(0);
    o.u16(0xFFFF);
    o.u16(0);  // idDelta
    o.u16(1);
    o.u16(0);  // idRangeOffset
    o.u16(0);
    return o.b;
}
