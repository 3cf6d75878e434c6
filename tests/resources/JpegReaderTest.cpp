#include "Resources/JpegReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Pdf/Limits.h"
#include "TestImages.h"

namespace {

unsigned char* Decode(const std::string& jpeg, const SampleMap map, int* w, int* h)
{
    return CmykJpegToRgb((const unsigned char*)jpeg.data(), (int)jpeg.size(), map,
                         JPEG_TRANSFORM_UNSET, w, h);
}

}  // namespace

TEST(JpegReader, DecodeMapFollowsTheDecodeArray)
{
    SampleMap map;
    const double inverted[8] = {1, 0, 1, 0, 0, 1, 0.5, 1};
    DecodeMap(inverted, 8, map);
    EXPECT_EQ(map[0][0], 255);
    EXPECT_EQ(map[0][255], 0);
    EXPECT_EQ(map[2][200], 200);
    EXPECT_EQ(map[3][0], 128);
    EXPECT_EQ(map[3][255], 255);
    // Too few numbers, or none: the identity.
    DecodeMap(inverted, 6, map);
    EXPECT_EQ(map[0][10], 10);
    DecodeMap(nullptr, 0, map);
    EXPECT_EQ(map[3][77], 77);
    // Values beyond 0..1 are clamped.
    const double wide[8] = {-1, 2, 0, 1, 0, 1, 0, 1};
    DecodeMap(wide, 8, map);
    EXPECT_EQ(map[0][0], 0);
    EXPECT_EQ(map[0][255], 255);
    EXPECT_EQ(map[0][128], 129);
}

// The decoder's own memory is capped: a progressive image keeps every coefficient until
// its last scan, two bytes for each sample of each component.
TEST(JpegReader, ProgressiveCoefficientsWithinTheDecoderLimit)
{
    SampleMap map;
    DecodeMap(nullptr, 0, map);
    const struct {
        int width, height;
        bool decodes;
    } cases[] = {
        {2048, 2048, true},   // 32 MiB of coefficients
        {4096, 2112, false},  // 66 MiB, beyond JPEG_MAX_DECODER_BYTES
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.decodes,
                  (double)c.width * c.height * 4 * 2 < (double)JPEG_MAX_DECODER_BYTES);
        std::string jpeg = testimg::MakeCmykJpeg(c.width, c.height, false, false, true);
        int w = 0, h = 0;
        unsigned char* rgb = Decode(jpeg, map, &w, &h);
        EXPECT_EQ(rgb != nullptr, c.decodes) << c.width << " x " << c.height;
        if (rgb) {
            EXPECT_EQ(w, c.width);
            EXPECT_TRUE(testimg::Near(rgb + ((size_t)h / 2 * w + w * 5 / 8) * 3,
                                      testimg::kCmykStripesRgb[2], 24));
        }
        free(rgb);
    }
}

// Data that end inside the scan still give the whole image (the library makes up the rest),
// read within the data; data that end before the frame give nothing.
TEST(JpegReader, TruncatedData)
{
    SampleMap map;
    DecodeMap(nullptr, 0, map);
    std::string jpeg = testimg::MakeCmykJpeg(64, 64);
    size_t scan = jpeg.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    int w = 0, h = 0;
    unsigned char* rgb = Decode(jpeg.substr(0, scan + 40), map, &w, &h);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    EXPECT_TRUE(testimg::Near(rgb + 8 * 3, testimg::kCmykStripesRgb[0], 24));
    free(rgb);
    EXPECT_EQ(Decode("", map, &w, &h), nullptr);
    EXPECT_EQ(Decode(jpeg.substr(0, 20), map, &w, &h), nullptr);
}
