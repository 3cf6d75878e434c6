#include "Resources/ColorSpace.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "PageTreeDoc.h"
#include "Pdf/Limits.h"
#include "PdfBuilder.h"
#include "TestUtil.h"

using pagetreetest::Doc;
using pagetreetest::Name;

namespace {

std::string Hex(const unsigned char* p, int n)
{
    std::string s;
    char b[4];
    for (int i = 0; i < n; i++) {
        snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s;
}

// A record as text. Palettes show their first three entries and how many of all 256
// entries are not black, so an entry filled from beyond the file's data shows up.
std::string Describe(ColorSpaceRecord* r)
{
    if (!r)
        return "null";
    std::string s = "cs " + std::to_string(r->cs);
    if (IndexColorSpace* x = AsIndexed(r)) {
        int lit = 0;
        for (int i = 0; i < INDEX_PALETTE_ENTRIES; i++)
            lit += (x->lookup[i * 3] | x->lookup[i * 3 + 1] | x->lookup[i * 3 + 2]) != 0;
        s += " base " + std::to_string(x->base) + " hival " + std::to_string(x->hival) + " " +
             Hex(x->lookup, 3) + " " + Hex(x->lookup + 3, 3) + " " + Hex(x->lookup + 6, 3) +
             " lit " + std::to_string(lit);
    } else if (IccColorSpace* x = AsIcc(r)) {
        s += " alt " + std::to_string(x->alternate) + " N " + std::to_string(x->N);
    }
    return s;
}

std::string Bytes(int n, unsigned char v)
{
    return std::string((size_t)n, (char)v);
}

TEST(ColorSpace, NameToCS)
{
    const struct {
        const char* name;
        int code;
    } cases[] = {
        {"DeviceGray", 1}, {"DeviceRGB", 2}, {"DeviceCMYK", 3}, {"Pattern", 4}, {"ICCBased", 5},
        {"Indexed", 6},    {"CalGray", 7},   {"CalRGB", 8},     {"G", 9},       {"devicergb", 9},
    };
    for (const auto& c : cases) {
        Name n(c.name);
        EXPECT_EQ(NameToCS(&n), c.code) << c.name;
    }
    PdfNumber notAName;
    EXPECT_EQ(NameToCS(&notAName), CS_OTHER);
    EXPECT_EQ(NameToCS(nullptr), CS_OTHER);
}

// Each case's colour space is object 1 (given by reference, which also covers the
// road through a referenced array); the other objects are what it points to.
TEST(ColorSpace, GetColorSpace)
{
    const std::string palette768 = [] {
        std::string p;
        for (int i = 0; i < 256; i++)
            p += std::string{(char)i, (char)(255 - i), (char)0x11};
        return p;
    }();
    const struct {
        const char* what;
        std::string space;
        std::vector<std::pair<int, std::string>> streams;  // {num, "dict|data"}
        const char* want;
    } cases[] = {
        {"a name", "/DeviceRGB", {}, "cs 2"},
        {"an unknown name", "/Lab", {}, "cs 9"},
        // A bare family name keeps its code but is no indexed or ICC record.
        {"bare Indexed", "/Indexed", {}, "cs 6"},
        {"bare ICCBased", "/ICCBased", {}, "cs 5"},
        {"ICC with N 3 and no Alternate", "[/ICCBased 12 0 R]", {{12, "/N 3|xyz"}},
         "cs 5 alt 2 N 3"},
        {"ICC CMYK", "[/ICCBased 12 0 R]", {{12, "/N 4 /Alternate /DeviceCMYK|x"}},
         "cs 5 alt 3 N 4"},
        {"ICC gray without Alternate", "[/ICCBased 12 0 R]", {{12, "/N 1|x"}}, "cs 5 alt 9 N 1"},
        {"ICC N 3 wins over Alternate", "[/ICCBased 12 0 R]",
         {{12, "/N 3 /Alternate /DeviceGray|x"}}, "cs 5 alt 2 N 3"},
        {"ICC without a reference", "[/ICCBased 12]", {}, "cs 5 alt 9 N 0"},
        {"ICC to a missing object", "[/ICCBased 40 0 R]", {}, "cs 5 alt 9 N 0"},
        {"CalRGB", "[/CalRGB << /WhitePoint [1 1 1] >>]", {}, "null"},
        {"Separation", "[/Separation /Spot /DeviceCMYK 5 0 R]", {}, "null"},
        {"empty array", "[]", {}, "null"},
        {"a number", "7", {}, "null"},

        {"indexed RGB string", "[/Indexed /DeviceRGB 1 <FF000000FF00>]", {},
         "cs 6 base 2 hival 1 ff0000 00ff00 000000 lit 2"},
        {"indexed gray expanded", "[/Indexed /DeviceGray 2 <0080FF>]", {},
         "cs 6 base 1 hival 2 000000 808080 ffffff lit 2"},
        {"indexed CMYK expanded", "[/Indexed /DeviceCMYK 2 <00000000 FF000040 10203040>]", {},
         "cs 6 base 3 hival 2 ffffff 00bfbf af9f8f lit 3"},
        {"indexed over an ICC CMYK base", "[/Indexed [/ICCBased 12 0 R] 0 <00FF0000>]",
         {{12, "/N 4|x"}}, "cs 6 base 5 hival 0 ff00ff 000000 000000 lit 1"},
        {"indexed over an ICC RGB base", "[/Indexed [/ICCBased 12 0 R] 0 <102030>]",
         {{12, "/N 3|x"}}, "cs 6 base 5 hival 0 102030 000000 000000 lit 1"},
        {"indexed base by reference", "[/Indexed 13 0 R 0 <40>]", {},
         "cs 6 base 1 hival 0 404040 000000 000000 lit 1"},
        {"hival above 255 is cut, short palette zero-filled",
         "[/Indexed /DeviceRGB 300 <AABBCC>]", {}, "cs 6 base 2 hival 255 aabbcc 000000 000000 lit 1"},
        {"palette longer than hival needs", "[/Indexed /DeviceRGB 0 <010203040506>]", {},
         "cs 6 base 2 hival 0 010203 000000 000000 lit 1"},
        {"real hival truncated", "[/Indexed /DeviceRGB 1.9 <FF000000FF00>]", {},
         "cs 6 base 2 hival 1 ff0000 00ff00 000000 lit 2"},
        {"negative hival", "[/Indexed /DeviceRGB -1 <FF0000>]", {}, "null"},
        {"hival not a number", "[/Indexed /DeviceRGB /x <FF0000>]", {}, "null"},
        {"too few elements", "[/Indexed /DeviceRGB 1]", {}, "null"},
        {"lookup not a string or stream", "[/Indexed /DeviceRGB 1 7]", {}, "null"},

        {"flate palette stream", "[/Indexed /DeviceRGB 255 9 0 R]",
         {{9, "/Filter /FlateDecode|" + testpdf::Deflate(palette768)}},
         "cs 6 base 2 hival 255 00ff11 01fe11 02fd11 lit 256"},
        {"flate palette named in a one-filter array", "[/Indexed /DeviceRGB 255 9 0 R]",
         {{9, "/Filter [/FlateDecode]|" + testpdf::Deflate(palette768)}},
         "cs 6 base 2 hival 255 00ff11 01fe11 02fd11 lit 256"},
        {"flate palette bigger than the palette", "[/Indexed /DeviceRGB 1 9 0 R]",
         {{9, "/Filter /FlateDecode|" + testpdf::Deflate(palette768)}},
         "cs 6 base 2 hival 1 00ff11 01fe11 000000 lit 2"},
        {"raw palette stream with a hostile Length", "[/Indexed /DeviceRGB 1 9 0 R]",
         {{9, "/Length 99999999|" + Bytes(6, 0x7f)}}, "cs 6 base 2 hival 1 7f7f7f 7f7f7f 000000 lit 2"},
        {"raw palette shorter than hival", "[/Indexed /DeviceRGB 255 9 0 R]",
         {{9, "|" + Bytes(4, 0x22)}}, "cs 6 base 2 hival 255 222222 220000 000000 lit 2"},
        // Lab entries are L, a and b scaled to a byte each over 0..100 and the Range.
        {"indexed over Lab", "[/Indexed [/Lab << /WhitePoint [0.9642 1 0.8249] >>] 2 "
         "<FF8080 008080 808080>]", {}, "cs 6 base 9 hival 2 fffffe 010000 787777 lit 3"},
        {"indexed over Lab with a Range, its dictionary by reference",
         "[/Indexed [/Lab 16 0 R] 0 <88D0C3>]", {}, "cs 6 base 9 hival 0 ff0201 000000 000000 lit 1"},
        {"indexed over a Lab base by reference", "[/Indexed 17 0 R 0 <FF8080>]", {},
         "cs 6 base 9 hival 0 fffffe 000000 000000 lit 1"},
        {"lookup names a plain dictionary", "[/Indexed /DeviceRGB 1 14 0 R]", {}, "null"},
        {"lookup names a string object", "[/Indexed /DeviceRGB 0 15 0 R]", {},
         "cs 6 base 2 hival 0 0a0b0c 000000 000000 lit 1"},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Object(1, c.space);
        b.Object(13, "[/DeviceGray]");
        b.Object(14, "<< /Length 6 >>");
        b.Object(15, "<0A0B0C>");
        b.Object(16, "<< /WhitePoint [0.9505 1 1.089] /Range [-128 127 -128 127] >>");
        b.Object(17, "[/Lab << /WhitePoint [0.9505 1 1.089] >>]");
        for (const auto& s : c.streams) {
            size_t bar = s.second.find('|');
            b.Stream(s.first, s.second.substr(0, bar), s.second.substr(bar + 1));
        }
        Doc doc(b, 41);
        PdfIndirect ref;
        ref.refNum = 1;
        std::unique_ptr<ColorSpaceRecord> rec(doc.tree->GetColorSpace(&ref));
        EXPECT_EQ(Describe(rec.get()), c.want) << c.what;
    }
}

TEST(ColorSpace, LabToRgb)
{
    const double d50[3] = {0.9642, 1, 0.8249}, d65[3] = {0.9505, 1, 1.089};
    const double broken[3] = {0, -1, 0};
    const struct {
        const char* what;
        double lab[3];
        const double* white;
        double rgb[3];
    } cases[] = {
        {"white under D50", {100, 0, 0}, d50, {1, 1, 1}},
        {"white under D65", {100, 0, 0}, d65, {1, 1, 1}},
        {"black", {0, 0, 0}, d50, {0, 0, 0}},
        {"mid grey", {50, 0, 0}, d65, {0.466, 0.466, 0.466}},
        {"sRGB red", {53.24, 80.09, 67.20}, d65, {1, 0, 0}},
        {"sRGB blue", {32.30, 79.19, -107.86}, d65, {0, 0, 1}},
        {"a muted violet", {60, 40, -30}, d65, {0.741, 0.467, 0.776}},
        {"beyond the gamut: clamped", {100, -200, 200}, d65, {0, 1, 0}},
        {"a white point of nonsense still gives finite colours", {50, 0, 0}, broken,
         {0.466, 0.466, 0.466}},
    };
    for (const auto& c : cases) {
        double rgb[3] = {-1, -1, -1};
        LabToRgb(c.lab, c.white, rgb);
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(rgb[i], c.rgb[i], 0.01) << c.what << " channel " << i;
    }
}

// Pixels of an RGB PNG as "rrggbb rrggbb / ..." (rows separated by "/"), read with libpng.
std::string ReadRgbPng(const std::string& path)
{
    png_image img;
    memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return "unreadable";
    if ((img.format & PNG_FORMAT_FLAG_COLOR) == 0) {
        png_image_free(&img);
        return "not RGB";
    }
    img.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> px(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr))
        return "unreadable";
    std::string s;
    for (unsigned y = 0; y < img.height; y++) {
        if (y)
            s += " /";
        for (unsigned x = 0; x < img.width; x++)
            s += (s.empty() ? "" : " ") + Hex(&px[(y * img.width + x) * 3], 3);
    }
    return s;
}

TEST(ColorSpace, IndexToPngUnpacksEveryDepth)
{
    IndexColorSpace ics;
    ics.base = CS_DEVICERGB;
    ics.hival = 3;
    memcpy(ics.lookup, "\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff", 12);
    const struct {
        const char* what;
        int width, height, bpc;
        std::vector<unsigned char> data;
        int rc;
        const char* want;  // null: no file
    } cases[] = {
        {"8 bits", 2, 1, 8, {1, 0}, 0, "00ff00 ff0000"},
        {"4 bits, rows padded, index above hival black", 3, 2, 4, {0x01, 0x20, 0x3f, 0x00}, 0,
         "ff0000 00ff00 0000ff / ffffff 000000 ff0000"},
        {"2 bits", 5, 1, 2, {0xe4, 0xc0}, 0, "ffffff 0000ff 00ff00 ff0000 ffffff"},
        {"1 bit, width 10", 10, 1, 1, {0xa0, 0x40}, 0,
         "00ff00 ff0000 00ff00 ff0000 ff0000 ff0000 ff0000 ff0000 ff0000 00ff00"},
        {"16 bits refused", 1, 1, 16, {0, 0}, -1, nullptr},
        {"3 bits refused", 1, 1, 3, {0}, -1, nullptr},
        {"width 0 refused", 0, 1, 8, {0}, -1, nullptr},
        {"negative height refused", 1, -1, 8, {0}, -1, nullptr},
        // Refused before anything is allocated or read: the data is one byte.
        {"a row past the pixel-buffer cap refused", PNG_MAX_BUFFER_BYTES / 3 + 1, 1, 8, {0}, -1,
         nullptr},
        {"width x height past the pixel-buffer cap refused", 32768, PNG_MAX_BUFFER_BYTES / 3 / 32768 + 1,
         8, {0}, -1, nullptr},
    };
    PdfPageTree tree(nullptr);
    testutil::TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        std::string path = dir.file("idx" + std::to_string(n++) + ".png");
        // Exactly the bytes the image needs, so any read beyond them is caught.
        std::unique_ptr<unsigned char[]> data(new unsigned char[c.data.size()]);
        memcpy(data.get(), c.data.data(), c.data.size());
        EXPECT_EQ(tree.IndexToPng(&ics, 1, data.get(), c.width, c.height, c.bpc, &path[0]), c.rc)
            << c.what;
        if (c.want)
            EXPECT_EQ(ReadRgbPng(path), c.want) << c.what;
        else
            EXPECT_FALSE(testutil::FileExists(path)) << c.what;
    }
}

}  // namespace
