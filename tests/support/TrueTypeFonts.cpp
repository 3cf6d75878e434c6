#include "TrueTypeFonts.h"

#include <cstdint>
#include <vector>

namespace testfont {

namespace {

unsigned Get16(const std::string& s, size_t at)
{
    return ((unsigned char)s[at] << 8) | (unsigned char)s[at + 1];
}

uint32_t Get32(const std::string& s, size_t at)
{
    return ((uint32_t)Get16(s, at) << 16) | Get16(s, at + 2);
}

void Put16(std::string* s, unsigned v)
{
    s->push_back((char)((v >> 8) & 0xFF));
    s->push_back((char)(v & 0xFF));
}

void Put32(std::string* s, uint32_t v)
{
    Put16(s, v >> 16);
    Put16(s, v & 0xFFFF);
}

uint32_t CheckSum(const std::string& table)
{
    std::string padded = table + std::string((4 - table.size() % 4) % 4, '\0');
    uint32_t sum = 0;
    for (size_t i = 0; i < padded.size(); i += 4)
        sum += Get32(padded, i);
    return sum;
}

// Format 4: one segment per code, each through its idDelta, then the closing segment.
std::string Format4(const CodeMap& m)
{
    std::vector<unsigned> start, end, delta;
    for (const auto& e : m) {
        unsigned c = 0xF000 + e.first;
        start.push_back(c);
        end.push_back(c);
        delta.push_back((e.second - c) & 0xFFFF);
    }
    start.push_back(0xFFFF);
    end.push_back(0xFFFF);
    delta.push_back(1);
    unsigned segs = (unsigned)start.size();
    unsigned searchRange = 2, selector = 0;
    while (searchRange * 2 <= segs * 2) {
        searchRange *= 2;
        selector++;
    }
    std::string t;
    Put16(&t, 4);
    Put16(&t, 16 + segs * 8);
    Put16(&t, 0);
    Put16(&t, segs * 2);
    Put16(&t, searchRange);
    Put16(&t, selector);
    Put16(&t, segs * 2 - searchRange);
    for (unsigned v : end)
        Put16(&t, v);
    Put16(&t, 0);
    for (unsigned v : start)
        Put16(&t, v);
    for (unsigned v : delta)
        Put16(&t, v);
    for (unsigned i = 0; i < segs; i++)
        Put16(&t, 0);
    return t;
}

// Format 6: the codes 0 to 255, glyph 0 where the map has none.
std::string Format6(const CodeMap& m)
{
    std::string t;
    Put16(&t, 6);
    Put16(&t, 10 + 256 * 2);
    Put16(&t, 0);
    Put16(&t, 0);
    Put16(&t, 256);
    for (unsigned c = 0; c < 256; c++) {
        auto it = m.find(c);
        Put16(&t, it == m.end() ? 0 : it->second);
    }
    return t;
}

}  // namespace

std::string WithCharMaps(const std::string& font, const CodeMap& symbol, const CodeMap& mac)
{
    if (font.size() < 12)
        return "";
    const unsigned numTables = Get16(font, 4);
    if (font.size() < 12 + 16 * (size_t)numTables)
        return "";

    std::vector<std::pair<std::string, std::string>> subtables;  // (platform, encoding) head
    if (!mac.empty()) {
        std::string h;
        Put16(&h, 1);
        Put16(&h, 0);
        subtables.push_back({h, Format6(mac)});
    }
    if (!symbol.empty()) {
        std::string h;
        Put16(&h, 3);
        Put16(&h, 0);
        subtables.push_back({h, Format4(symbol)});
    }
    std::string cmap;
    Put16(&cmap, 0);
    Put16(&cmap, (unsigned)subtables.size());
    uint32_t offset = 4 + 8 * (uint32_t)subtables.size();
    for (const auto& s : subtables) {
        cmap += s.first;
        Put32(&cmap, offset);
        offset += (uint32_t)s.second.size();
    }
    for (const auto& s : subtables)
        cmap += s.second;

    std::string out = font.substr(0, 12);
    std::string data;
    const uint32_t dataStart = 12 + 16 * numTables;
    for (unsigned i = 0; i < numTables; i++) {
        size_t rec = 12 + 16 * (size_t)i;
        std::string tag = font.substr(rec, 4);
        uint32_t at = Get32(font, rec + 8), length = Get32(font, rec + 12);
        if ((size_t)at + length > font.size())
            return "";
        std::string table = tag == "cmap" ? cmap : font.substr(at, length);
        out += tag;
        Put32(&out, CheckSum(table));
        Put32(&out, dataStart + (uint32_t)data.size());
        Put32(&out, (uint32_t)table.size());
        data += table + std::string((4 - table.size() % 4) % 4, '\0');
    }
    return out + data;
}

}  // namespace testfont
