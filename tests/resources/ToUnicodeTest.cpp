// The ToUnicode reader: single codes and both forms of range, what it passes over, and the cap
// on the codes that ranges may assign.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Pdf/Limits.h"
#include "Resources/Fonts/ToUnicode.h"

namespace {

long Read(const std::string& map, std::vector<uint16_t>* u)
{
    return ReadToUnicode((const unsigned char*)map.data(), map.size(), u);
}

TEST(ToUnicode, SingleCodesAndRanges)
{
    const std::string map =
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
        "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
        "% a comment <0001> <0002>\n"
        "3 beginbfchar <0041> <0061> <00 42><0062> <43> <0063> endbfchar\n"
        "3 beginbfrange <0010> <0012> <0041>\n"
        "<0020> <0022> [<0058> <D83DDE00> <0059005A>]\n"
        "<FFFE> <FFFF> <00410042> endbfrange\n"
        "1 beginbfchar <0050> <D83D> endbfchar\n"
        "endcmap\n";
    std::vector<uint16_t> u;
    EXPECT_EQ(2 + 3 + 3 + 2 + 1, Read(map, &u));
    ASSERT_EQ(65536u, u.size());
    const struct {
        unsigned code;
        uint16_t want;
    } cases[] = {
        {0x41, 'a'},   {0x42, 'b'},  {0x43, 0},  // a one-byte source code is no code here
        {0x10, 'A'},   {0x11, 'B'},  {0x12, 'C'},    {0x13, 0},
        {0x20, 'X'},   {0x21, 0},    {0x22, 'Y'},  // a character beyond the BMP gives nothing
        {0xFFFE, 'A'}, {0xFFFF, 'B'}, {0x50, 0},  {0x01, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, u[c.code]) << std::hex << c.code;
}

TEST(ToUnicode, DamagedMapsGiveWhatIsReadable)
{
    const char* maps[] = {
        "", "beginbfrange <0001>", "beginbfrange <0001> <0002>", "beginbfchar <0001>",
        "beginbfrange <0005> <0001> <0041> endbfrange", "<0001> <0041> beginbfchar",
    };
    for (const char* m : maps) {
        std::vector<uint16_t> u;
        Read(m, &u);
        EXPECT_EQ(65536u, u.size()) << m;
        EXPECT_EQ(0, u[1] + u[2] + u[5]) << m;
    }
    // An array cut short gives the codes it lists.
    std::vector<uint16_t> u;
    Read("beginbfrange <0001> <0003> [<0041>", &u);
    EXPECT_EQ('A', u[1]);
    EXPECT_EQ(0, u[2]);
}

// Ranges assign at most FONT_MAX_TOUNICODE_CODES codes: a map made of ranges over every code
// stops at that many, and a range after them assigns nothing.
TEST(ToUnicode, RangesStopAtTheCap)
{
    ASSERT_EQ(0, FONT_MAX_TOUNICODE_CODES % 65536);
    std::string map = "beginbfrange\n";
    for (int i = 0; i < FONT_MAX_TOUNICODE_CODES / 65536; i++)
        map += "<0000> <FFFF> <0020>\n";
    std::vector<uint16_t> u;
    EXPECT_EQ(FONT_MAX_TOUNICODE_CODES, Read(map + "endbfrange", &u));
    EXPECT_EQ(0x20, u[0]);
    map += "<0000> <0000> <0041>\nendbfrange";
    EXPECT_EQ(FONT_MAX_TOUNICODE_CODES, Read(map, &u));
    EXPECT_EQ(0x20, u[0]);
}

}  // namespace
