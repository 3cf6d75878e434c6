#include "Resources/ImageExtract.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "TestImages.h"

namespace {

std::string Unpack(const std::string& src, int w, int h, int comps, int bpc)
{
    std::vector<unsigned char> dst((size_t)w * h * comps, 0xEE);
    if (UnpackSamples((const unsigned char*)src.data(), (int64_t)src.size(), w, h, comps, bpc,
                      dst.data()) != 0)
        return "refused";
    std::string out;
    for (unsigned char c : dst)
        out += std::to_string(c) + " ";
    return out;
}

std::string At96(const std::string& jpeg)
{
    ByteBuffer out;
    EXPECT_EQ(JpegAt96Dpi((const unsigned char*)jpeg.data(), (int)jpeg.size(), &out), 0);
    std::string s((const char*)out.data, out.size);
    free(out.data);
    return s;
}

}  // namespace

TEST(ImageBytes, PackedSizes)
{
    struct { int w, h, comps, bpc; int64_t bytes; } cases[] = {
        {10, 3, 1, 1, 6},   // 2 bytes per row
        {4, 2, 1, 8, 8},
        {3, 1, 3, 16, 18},
        {5, 2, 1, 4, 6},    // 3 bytes per row
        {0, 2, 1, 8, -1},
        {2, -1, 1, 8, -1},
        {2, 2, 1, 3, -1},
        {2, 2, 0, 8, -1},
        {65536, 65536, 3, 8, -1},  // beyond 32 bits
        // Sizes near 2^31: every product is checked before the next one is formed.
        {INT_MAX, INT_MAX, 3, 16, -1},
        {INT_MAX, INT_MAX, 4, 16, -1},
        {INT_MAX, 1, 1, 8, INT_MAX},
        {INT_MAX, 2, 1, 8, -1},
        {1, INT_MAX, 1, 8, INT_MAX},
        {2, INT_MAX, 1, 1, INT_MAX},
        {INT_MAX, INT_MAX, 1, 1, -1},
        {1, 1, INT_MAX, 16, -1},   // no colour space has more than 32 components
        {1, 1, 33, 8, -1},
        {3, 1, 5, 8, 15},          // DeviceN of five colorants
    };
    for (auto& c : cases)
        EXPECT_EQ(PackedImageBytes(c.w, c.h, c.comps, c.bpc), c.bytes) << c.w << "x" << c.h;
}

TEST(ImageBytes, UnpackScalesEveryDepthToEightBits)
{
    struct { const char* what; std::string src; int w, h, comps, bpc; const char* out; } cases[] = {
        {"1 bit", "\xA0", 3, 1, 1, 1, "255 0 255 "},
        {"2 bits", "\x1B", 4, 1, 1, 2, "0 85 170 255 "},
        {"4 bits", "\x0F", 2, 1, 1, 4, "0 255 "},
        {"8 bits", "\x01\x02", 2, 1, 1, 8, "1 2 "},
        {"16 bits keep the high byte", "\x12\x34\xAB\xCD", 2, 1, 1, 16, "18 171 "},
        {"rows start on a byte", std::string("\xE0\x20", 2), 3, 2, 1, 1, "255 255 255 0 0 255 "},
        {"RGB at 4 bits", "\xF0\x0F", 1, 1, 3, 4, "255 0 0 "},
        {"truncated: zeros", "\xFF", 2, 2, 1, 8, "255 0 0 0 "},
        {"no data at all", "", 2, 1, 1, 1, "0 0 "},
        {"depth 3", "\xFF", 2, 1, 1, 3, "refused"},
    };
    for (auto& c : cases)
        EXPECT_EQ(Unpack(c.src, c.w, c.h, c.comps, c.bpc), c.out) << c.what;
}

TEST(ImageBytes, JpegDensityIs96ForEveryKindOfHeader)
{
    using namespace testimg;
    struct { JpegKind kind; bool adobe; } kinds[] = {
        {JPEG_JFIF_72DPI, false}, {JPEG_EXIF, false}, {JPEG_ADOBE, true}};
    for (auto& k : kinds) {
        std::string in = MakeJpeg(k.kind, 16, 8);
        std::string out = At96(in);
        JpegHeader h = ReadJpegHeader(out);
        ASSERT_TRUE(h.ok) << k.kind;
        EXPECT_TRUE(h.jfif) << k.kind;
        EXPECT_EQ(h.adobe, k.adobe) << k.kind;
        EXPECT_EQ(h.unit, 1) << k.kind;
        EXPECT_EQ(h.xDensity, 96) << k.kind;
        EXPECT_EQ(h.yDensity, 96) << k.kind;
        EXPECT_EQ(h.width, 16);
        // Readers take Exif resolution over the JFIF header, so none may remain.
        EXPECT_EQ(out.find("Exif"), std::string::npos) << k.kind;
    }

    // A real JFIF header is patched in place: bytes 13 to 17 and nothing else.
    std::string jfif = MakeJpeg(JPEG_JFIF_72DPI, 16, 8);
    std::string patched = At96(jfif);
    ASSERT_EQ(patched.size(), jfif.size());
    EXPECT_EQ(patched.substr(13, 5), std::string("\x01\x00\x60\x00\x60", 5));
    EXPECT_EQ(patched.substr(0, 13), jfif.substr(0, 13));
    EXPECT_EQ(patched.substr(18), jfif.substr(18));

    // Without a header, one is inserted right after the start marker; the rest follows as is.
    std::string adobe = MakeJpeg(JPEG_ADOBE, 16, 8);
    std::string fixed = At96(adobe);
    EXPECT_EQ(fixed.size(), adobe.size() + 18);
    EXPECT_EQ(fixed.substr(2, 11), std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01", 11));
    EXPECT_EQ(fixed.substr(20), adobe.substr(2));
}

TEST(ImageBytes, DamagedJpegHeadersStayInBounds)
{
    struct { const char* what; std::string in; std::string out; } cases[] = {
        {"not a JPEG", "GIF89a", "GIF89a"},
        {"start marker only", std::string("\xFF\xD8", 2), std::string("\xFF\xD8", 2)},
        // A segment whose length runs past the end is kept as it is, after the new header.
        {"segment past the end", std::string("\xFF\xD8\xFF\xE1\x7F\xFF" "Exif", 10),
         std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x60\x00\x60\x00\x00"
                     "\xFF\xE1\x7F\xFF" "Exif", 28)},
        // A JFIF header too short to hold densities is replaced.
        {"short JFIF", std::string("\xFF\xD8\xFF\xE0\x00\x07JFIF\x00\xFF\xD9", 13),
         std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x60\x00\x60\x00\x00"
                     "\xFF\xD9", 22)},
    };
    for (auto& c : cases)
        EXPECT_EQ(At96(c.in), c.out) << c.what;
}

// Only data a reader can decode passes as JPEG: a start marker and, walking the segments, a
// frame header of non-zero size before any scan.
TEST(ImageBytes, JpegHasFrameOnlyWhenAFrameHeaderIsReachable)
{
    const std::string soi("\xFF\xD8", 2);
    const std::string app0("\xFF\xE0\x00\x04\x00\x00", 6);
    auto sof = [](char marker, int h, int w, int comps) {
        return std::string("\xFF", 1) + marker + std::string("\x00\x0B\x08", 3) + (char)(h >> 8) +
               (char)h + (char)(w >> 8) + (char)w + (char)comps + std::string("\x01\x11\x00", 3);
    };
    const std::string sos("\xFF\xDA\x00\x02", 4);
    const struct {
        const char* what;
        std::string data;
        bool frame;
    } cases[] = {
        {"real baseline", testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, 16, 8), true},
        {"real with Exif", testimg::MakeJpeg(testimg::JPEG_EXIF, 16, 8), true},
        {"frame after APP0", soi + app0 + sof('\xC0', 8, 8, 1) + sos, true},
        {"progressive frame", soi + sof('\xC2', 1, 1, 3), true},
        {"fill bytes before the frame", soi + "\xFF\xFF" + sof('\xC1', 2, 2, 1), true},
        {"not JPEG", "not a JPEG at all", false},
        {"empty", "", false},
        {"start marker only", soi, false},
        {"scan before any frame", soi + app0 + sos + sof('\xC0', 8, 8, 1), false},
        {"end before any frame", soi + "\xFF\xD9" + sof('\xC0', 8, 8, 1), false},
        {"height 0", soi + sof('\xC0', 0, 8, 1), false},
        {"width 0", soi + sof('\xC0', 8, 0, 1), false},
        {"no components", soi + sof('\xC0', 8, 8, 0), false},
        {"DHT is no frame", soi + sof('\xC4', 8, 8, 1), false},
        {"frame header cut short", (soi + sof('\xC0', 8, 8, 1)).substr(0, 9), false},
        {"segment length past the end", soi + std::string("\xFF\xE0\x7F\xFF", 4) + sof('\xC0', 8, 8, 1),
         false},
        {"segment length below 2", soi + std::string("\xFF\xE0\x00\x01", 4), false},
        {"garbage where a marker belongs", soi + "ab" + sof('\xC0', 8, 8, 1), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JpegHasFrame((const unsigned char*)c.data.data(), (int)c.data.size()), c.frame)
            << c.what;

    // The walk gives up after its segment budget: a frame beyond it is not looked for.
    std::string many = soi;
    for (int i = 0; i < JPEG_MAX_HEADER_SEGMENTS - 1; i++)
        many += app0;
    std::string atLimit = many + sof('\xC0', 8, 8, 1);
    std::string pastLimit = many + app0 + sof('\xC0', 8, 8, 1);
    EXPECT_TRUE(JpegHasFrame((const unsigned char*)atLimit.data(), (int)atLimit.size()));
    EXPECT_FALSE(JpegHasFrame((const unsigned char*)pastLimit.data(), (int)pastLimit.size()));
}
