#include "TrueTypeFonts.h"

#include <algorithm>
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

// A cmap of the (1,0) and (3,0) maps; an empty map is left out.
std::string CmapTable(const CodeMap& symbol, const CodeMap& mac)
{
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
    return cmap;
}

// An sfnt of the tables, in tag order, with their checksums.
std::string Sfnt(const std::map<std::string, std::string>& tables)
{
    const unsigned n = (unsigned)tables.size();
    unsigned power = 1, log2 = 0;
    while (power * 2 <= n) {
        power *= 2;
        log2++;
    }
    std::string out;
    Put32(&out, 0x00010000);
    Put16(&out, n);
    Put16(&out, 16 * power);
    Put16(&out, log2);
    Put16(&out, 16 * n - 16 * power);
    std::string data;
    for (const auto& t : tables) {
        out += t.first;
        Put32(&out, CheckSum(t.second));
        Put32(&out, 12 + 16 * n + (uint32_t)data.size());
        Put32(&out, (uint32_t)t.second.size());
        data += t.second + std::string((4 - t.second.size() % 4) % 4, '\0');
    }
    return out + data;
}

}  // namespace

std::string WithCharMaps(const std::string& font, const CodeMap& symbol, const CodeMap& mac)
{
    if (font.size() < 12)
        return "";
    const unsigned numTables = Get16(font, 4);
    if (font.size() < 12 + 16 * (size_t)numTables)
        return "";
    const std::string cmap = CmapTable(symbol, mac);

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

std::string BoxTrueType(const std::vector<Box>& glyphs, const CodeMap& symbol)
{
    const unsigned count = (unsigned)glyphs.size() + 1;
    std::string glyf, loca, hmtx;
    Put32(&loca, 0);
    Put16(&hmtx, 500);  // .notdef: no outline
    Put16(&hmtx, 0);
    Put32(&loca, 0);
    int maxWidth = 500, maxHeight = 0, maxX = 0;
    for (const Box& b : glyphs) {
        // One contour of four on-curve points, clockwise, each coordinate a 16-bit delta.
        Put16(&glyf, 1);
        Put16(&glyf, (unsigned)b.x0 & 0xFFFF);
        Put16(&glyf, 0);
        Put16(&glyf, (unsigned)b.x1 & 0xFFFF);
        Put16(&glyf, (unsigned)b.height & 0xFFFF);
        Put16(&glyf, 3);  // last point of the contour
        Put16(&glyf, 0);  // no instructions
        glyf += std::string(4, '\x01');
        for (int dx : {b.x0, 0, b.x1 - b.x0, 0})
            Put16(&glyf, (unsigned)dx & 0xFFFF);
        for (int dy : {0, b.height, 0, -b.height})
            Put16(&glyf, (unsigned)dy & 0xFFFF);
        glyf += std::string((4 - glyf.size() % 4) % 4, '\0');
        Put32(&loca, (uint32_t)glyf.size());
        Put16(&hmtx, (unsigned)b.advance);
        Put16(&hmtx, (unsigned)b.x0 & 0xFFFF);
        maxWidth = std::max(maxWidth, b.advance);
        maxHeight = std::max(maxHeight, b.height);
        maxX = std::max(maxX, b.x1);
    }

    std::string head;
    Put32(&head, 0x00010000);
    Put32(&head, 0x00010000);  // fontRevision
    Put32(&head, 0);           // checkSumAdjustment
    Put32(&head, 0x5F0F3CF5);
    Put16(&head, 0x000B);      // flags
    Put16(&head, 1000);        // unitsPerEm
    head += std::string(16, '\0');  // created, modified
    Put16(&head, 0);
    Put16(&head, 0);
    Put16(&head, (unsigned)maxX);
    Put16(&head, (unsigned)maxHeight);
    Put16(&head, 0);  // macStyle
    Put16(&head, 8);  // lowestRecPPEM
    Put16(&head, 2);  // fontDirectionHint
    Put16(&head, 1);  // indexToLocFormat: 32-bit offsets
    Put16(&head, 0);

    std::string hhea;
    Put32(&hhea, 0x00010000);
    Put16(&hhea, 1000);  // ascender
    Put16(&hhea, 0);     // descender
    Put16(&hhea, 0);     // lineGap
    Put16(&hhea, (unsigned)maxWidth);
    hhea += std::string(6, '\0');  // min side bearings, xMaxExtent
    Put16(&hhea, 1);  // caretSlopeRise
    hhea += std::string(14, '\0');
    Put16(&hhea, count);  // numberOfHMetrics

    std::string maxp;
    Put32(&maxp, 0x00010000);
    Put16(&maxp, count);
    Put16(&maxp, 4);  // maxPoints
    Put16(&maxp, 1);  // maxContours
    Put16(&maxp, 0);
    Put16(&maxp, 0);
    Put16(&maxp, 2);  // maxZones
    maxp += std::string(16, '\0');

    std::string post;
    Put32(&post, 0x00030000);
    post += std::string(28, '\0');

    std::map<std::string, std::string> tables = {{"glyf", glyf}, {"head", head}, {"hhea", hhea},
                                                 {"hmtx", hmtx}, {"loca", loca}, {"maxp", maxp},
                                                 {"post", post}};
    if (!symbol.empty())
        tables["cmap"] = CmapTable(symbol, {});
    return Sfnt(tables);
}

std::string WithField16(const std::string& font, const char* tag, size_t at, unsigned value)
{
    if (font.size() < 12)
        return "";
    const unsigned n = Get16(font, 4);
    for (unsigned i = 0; i < n && 12 + 16 * (size_t)(i + 1) <= font.size(); i++) {
        const size_t r = 12 + 16 * (size_t)i;
        const uint32_t off = Get32(font, r + 8), len = Get32(font, r + 12);
        if (font.compare(r, 4, tag) != 0 || at + 2 > len || (size_t)off + len > font.size())
            continue;
        std::string out = font;
        out[off + at] = (char)((value >> 8) & 0xFF);
        out[off + at + 1] = (char)(value & 0xFF);
        return out;
    }
    return "";
}

}  // namespace testfont
