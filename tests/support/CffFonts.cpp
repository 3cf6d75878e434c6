#include "CffFonts.h"

#include <cstdint>

namespace testcff {

const char* const kNimbusSansOtf = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";

namespace {

uint32_t Be32(const std::string& s, size_t at)
{
    return (uint32_t)(unsigned char)s[at] << 24 | (uint32_t)(unsigned char)s[at + 1] << 16 |
           (uint32_t)(unsigned char)s[at + 2] << 8 | (unsigned char)s[at + 3];
}

struct Bytes {
    std::string s;
    Bytes& u8(unsigned v)
    {
        s += (char)(v & 0xFF);
        return *this;
    }
    Bytes& u16(unsigned v) { return u8(v >> 8).u8(v); }
    Bytes& u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    // A DICT or charstring integer in its 16-bit form, and a DICT integer in its 32-bit one.
    Bytes& i16(int v) { return u8(28).u16((unsigned)v & 0xFFFF); }
    Bytes& i32(int v) { return u8(29).u32((uint32_t)v); }
    Bytes& raw(const std::string& t)
    {
        s += t;
        return *this;
    }
};

std::string Index(const std::vector<std::string>& items)
{
    Bytes b;
    b.u16((unsigned)items.size());
    if (items.empty())
        return b.s;
    b.u8(4);
    uint32_t off = 1;
    b.u32(off);
    for (const std::string& i : items)
        b.u32(off += (uint32_t)i.size());
    for (const std::string& i : items)
        b.raw(i);
    return b.s;
}

}  // namespace

std::string SfntTable(const std::string& sfnt, const char* tag)
{
    if (sfnt.size() < 12)
        return "";
    const unsigned n = (unsigned char)sfnt[4] << 8 | (unsigned char)sfnt[5];
    for (unsigned i = 0; i < n && 12 + 16 * (size_t)(i + 1) <= sfnt.size(); i++) {
        const size_t r = 12 + 16 * (size_t)i;
        if (sfnt.compare(r, 4, tag) == 0 && (uint64_t)Be32(sfnt, r + 8) + Be32(sfnt, r + 12) <= sfnt.size())
            return sfnt.substr(Be32(sfnt, r + 8), Be32(sfnt, r + 12));
    }
    return "";
}

std::string CidKeyedCff(const std::vector<BoxGlyph>& glyphs)
{
    const unsigned count = (unsigned)glyphs.size() + 1;
    std::vector<std::string> charStrings = {Bytes().u8(14).s};  // .notdef: endchar
    for (const BoxGlyph& g : glyphs) {
        Bytes c;
        c.i16(g.x0).i16(0).u8(21);                 // rmoveto
        c.i16(g.x1 - g.x0).u8(6);                  // hlineto
        c.i16(g.height).u8(7);                     // vlineto
        c.i16(g.x0 - g.x1).u8(6);                  // hlineto
        c.u8(14);                                  // endchar
        charStrings.push_back(c.s);
    }
    Bytes charset;
    charset.u8(0);
    for (const BoxGlyph& g : glyphs)
        charset.u16(g.cid);
    Bytes fdSelect;
    fdSelect.u8(3).u16(1).u16(0).u8(0).u16(count);
    const std::string priv = Bytes().u8(139).u8(20).s;  // defaultWidthX 0

    const std::string header = Bytes().u8(1).u8(0).u8(4).u8(4).s;
    const std::string names = Index({"Tiny"});
    const std::string strings = Index({"Adobe", "Identity"});
    const std::string globals = Index({});
    // The Top DICT with every offset in five bytes, so its length does not depend on them.
    auto top = [&](int charsetAt, int charStringsAt, int fdArrayAt, int fdSelectAt) {
        Bytes t;
        t.i32(391).i32(392).i32(0).u8(12).u8(30);  // ROS Adobe Identity 0
        t.i32(count).u8(12).u8(34);                // CIDCount
        t.i32(charsetAt).u8(15);
        t.i32(charStringsAt).u8(17);
        t.i32(fdArrayAt).u8(12).u8(36);
        t.i32(fdSelectAt).u8(12).u8(37);
        return t.s;
    };
    const size_t topIndexSize = Index({top(0, 0, 0, 0)}).size();
    const int charsetAt = (int)(header.size() + names.size() + topIndexSize + strings.size() + globals.size());
    const int fdSelectAt = charsetAt + (int)charset.s.size();
    const int charStringsAt = fdSelectAt + (int)fdSelect.s.size();
    const std::string charStringsIndex = Index(charStrings);
    const int fdArrayAt = charStringsAt + (int)charStringsIndex.size();
    auto fontDict = [&](int privateAt) {
        return Bytes().i32((int)priv.size()).i32(privateAt).u8(18).s;
    };
    const size_t fdArraySize = Index({fontDict(0)}).size();
    const int privateAt = fdArrayAt + (int)fdArraySize;

    return header + names + Index({top(charsetAt, charStringsAt, fdArrayAt, fdSelectAt)}) + strings +
           globals + charset.s + fdSelect.s + charStringsIndex + Index({fontDict(privateAt)}) + priv;
}

std::string NameKeyedCff(const std::vector<NamedBox>& glyphs)
{
    std::vector<std::string> charStrings = {Bytes().u8(14).s};  // .notdef: endchar
    std::vector<std::string> names;
    Bytes charset;
    charset.u8(0);
    for (const NamedBox& g : glyphs) {
        Bytes c;
        c.i16(g.advance).i16(g.x0).i16(0).u8(21);  // width, rmoveto
        c.i16(g.x1 - g.x0).u8(6);                  // hlineto
        c.i16(g.height).u8(7);                     // vlineto
        c.i16(g.x0 - g.x1).u8(6);                  // hlineto
        c.u8(14);                                  // endchar
        charStrings.push_back(c.s);
        charset.u16(391 + (unsigned)names.size());
        names.push_back(g.name);
    }
    const std::string priv = Bytes().u8(139).u8(20).s;  // defaultWidthX 0

    const std::string header = Bytes().u8(1).u8(0).u8(4).u8(4).s;
    const std::string nameIndex = Index({"Tiny"});
    const std::string strings = Index(names);
    const std::string globals = Index({});
    // Every offset in five bytes, so the Top DICT's length does not depend on them.
    auto top = [&](int charsetAt, int charStringsAt, int privateAt) {
        Bytes t;
        t.i32(charsetAt).u8(15);
        t.i32(charStringsAt).u8(17);
        t.i32((int)priv.size()).i32(privateAt).u8(18);
        return t.s;
    };
    const size_t topIndexSize = Index({top(0, 0, 0)}).size();
    const int charsetAt =
        (int)(header.size() + nameIndex.size() + topIndexSize + strings.size() + globals.size());
    const int charStringsAt = charsetAt + (int)charset.s.size();
    const std::string charStringsIndex = Index(charStrings);
    const int privateAt = charStringsAt + (int)charStringsIndex.size();
    return header + nameIndex + Index({top(charsetAt, charStringsAt, privateAt)}) + strings +
           globals + charset.s + charStringsIndex + priv;
}

}  // namespace testcff
