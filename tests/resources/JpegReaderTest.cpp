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

// The PDF reads colours through a transform as the Adobe segment says, else as /ColorTransform
// says, else for three components; readers of a file with a JFIF header take three
// components as transformed, so only three components read without one need decoding.
TEST(JpegReader, ColourTransformAsThePdfReadsIt)
{
    using namespace testimg;
    const std::string rgb = StripeRgb(16, 8);
    const struct {
        const char* what;
        std::string jpeg;
        int colorTransform;
        int comps;
        bool transformed;
    } cases[] = {
        {"YCbCr, nothing said", MakeRgbJpeg(rgb, 16, 8, JPEG_YCC_JFIF), JPEG_TRANSFORM_UNSET, 3, true},
        {"YCbCr, /ColorTransform 1", MakeRgbJpeg(rgb, 16, 8, JPEG_YCC_JFIF), 1, 3, true},
        {"unmarked RGB, /ColorTransform 0", MakeRgbJpeg(rgb, 16, 8, JPEG_RGB_UNMARKED), 0, 3, false},
        {"unmarked RGB, nothing said: the PDF's default", MakeRgbJpeg(rgb, 16, 8, JPEG_RGB_UNMARKED),
         JPEG_TRANSFORM_UNSET, 3, true},
        {"the Adobe segment over /ColorTransform 1", MakeRgbJpeg(rgb, 16, 8, JPEG_RGB_ADOBE), 1, 3, false},
        {"gray: never", MakeGrayJpeg(std::string(128, '\x40'), 16, 8), 1, 1, false},
        {"CMYK with its Adobe segment", MakeCmykJpeg(16, 8), 1, 4, false},
        {"YCCK with its Adobe segment", MakeCmykJpeg(16, 8, false, true), 0, 4, true},
    };
    for (const auto& c : cases) {
        const unsigned char* data = (const unsigned char*)c.jpeg.data();
        int comps = 0;
        bool transformed = !c.transformed;
        ASSERT_TRUE(JpegColours(data, (int)c.jpeg.size(), c.colorTransform, &comps, &transformed))
            << c.what;
        EXPECT_EQ(comps, c.comps) << c.what;
        EXPECT_EQ(transformed, c.transformed) << c.what;
        EXPECT_EQ(JpegNeedsDecoding(data, (int)c.jpeg.size(), c.colorTransform),
                  c.comps == 3 && !c.transformed) << c.what;

        // Decoded as the PDF reads it, the stripes come back in their own colours.
        int w = 0, h = 0, n = 0;
        unsigned char* px = DecodeJpeg(data, (int)c.jpeg.size(), c.colorTransform, &w, &h, &n);
        ASSERT_NE(px, nullptr) << c.what;
        EXPECT_EQ(w, 16);
        EXPECT_EQ(h, 8);
        EXPECT_EQ(n, c.comps);
        if (n == 3 && c.transformed == (c.jpeg.find("JFIF") != std::string::npos)) {
            for (int s = 0; s < 4; s++)
                EXPECT_TRUE(Near(px + (4 * 8 + s * 4 + 2) * 3, kStripes[s], 12)) << c.what << s;
        }
        free(px);
    }
    EXPECT_FALSE(JpegColours((const unsigned char*)"not a JPEG", 10, 0, nullptr, nullptr));
    int w, h, n;
    EXPECT_EQ(DecodeJpeg((const unsigned char*)"\xFF\xD8\xFF", 3, 0, &w, &h, &n), nullptr);
}

// A header that declares a huge frame over a few bytes is refused before anything of its size
// is allocated.
TEST(JpegReader, DeclaredFrameBeyondTheDataIsRefused)
{
    std::string jpeg = testimg::MakeGrayJpeg(std::string(64, '\x80'), 8, 8);
    // The frame header's height and width fields follow its marker, length and precision.
    size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = jpeg[sof + 6] = jpeg[sof + 7] = jpeg[sof + 8] = '\x7F';
    int w = 0, h = 0, n = 0;
    EXPECT_EQ(DecodeJpeg((const unsigned char*)jpeg.data(), (int)jpeg.size(), 0, &w, &h, &n), nullptr);
}
