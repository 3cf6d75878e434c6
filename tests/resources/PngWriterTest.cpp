#include "Resources/PngWriter.h"

#include <cerrno>

#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

// What libpng reads back from a file. Filled by a C-style reader: a libpng error jumps into
// its frame, so it holds nothing with a destructor.
struct PngRead {
    bool ok;
    png_uint_32 width, height;
    int depth, colorType, interlace;
    bool hasSBIT;
    png_color_8 sbit;
    bool hasPhys;
    png_uint_32 xres, yres;
    int unit;
    size_t rowBytes;
    unsigned char* pixels;  // malloc'd, height × rowBytes
};

void ReadPngInto(const char* path, PngRead* out)
{
    memset(out, 0, sizeof *out);
    FILE* fp = fopen(path, "rb");
    if (!fp)
        return;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(fp);
        free(out->pixels);
        out->pixels = nullptr;
        out->ok = false;
        return;
    }
    png_init_io(png, fp);
    png_read_info(png, info);
    png_get_IHDR(png, info, &out->width, &out->height, &out->depth, &out->colorType,
                 &out->interlace, nullptr, nullptr);
    png_color_8p sbit;
    if (png_get_sBIT(png, info, &sbit)) {
        out->hasSBIT = true;
        out->sbit = *sbit;
    }
    if (png_get_pHYs(png, info, &out->xres, &out->yres, &out->unit))
        out->hasPhys = true;
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->rowBytes = png_get_rowbytes(png, info);
    out->pixels = (unsigned char*)calloc(out->height, out->rowBytes);
    for (int pass = 0; pass < passes; pass++)
        for (png_uint_32 y = 0; y < out->height; y++)
            png_read_row(png, out->pixels + y * out->rowBytes, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(fp);
    out->ok = true;
}

struct PngImage {
    PngRead head;
    std::vector<unsigned char> pixels;
};

PngImage ReadPng(const std::string& path)
{
    PngImage img;
    ReadPngInto(path.c_str(), &img.head);
    if (img.head.pixels)
        img.pixels.assign(img.head.pixels, img.head.pixels + img.head.height * img.head.rowBytes);
    free(img.head.pixels);
    img.head.pixels = nullptr;
    return img;
}

char* P(std::string& s) { return &s[0]; }

std::vector<unsigned char> Bytes(std::initializer_list<int> v)
{
    return std::vector<unsigned char>(v.begin(), v.end());
}

// RGBA pixels of the 1-bit mask writer: white, alpha 0 for a set bit and 255 for a clear one.
std::vector<unsigned char> MaskRow(const char* bits)
{
    std::vector<unsigned char> px;
    for (const char* b = bits; *b; b++)
        px.insert(px.end(), {255, 255, 255, (unsigned char)(*b == '1' ? 0 : 255)});
    return px;
}

typedef std::function<int(char* path)> Writer;

TEST(PngWriter, EachWriterGivesItsLayoutChunksAndPixels)
{
    static char rgb[] = {'\xff', 0, 0, 0, 0, '\xff'};
    static char gray[] = {0, '\x80', '\xff', 1, 2, 3};
    static char mask[] = {'\x80', 0, '\xff', '\x10'};
    // Width 10: two bytes per row. Row 0 starts 1, 0, 1 and then seven 0 bits; row 1 has
    // only pixel 9 set.
    static char bits10[] = {'\xa0', 0, 0, '\x40'};
    static char bilevel[] = {'\xa0', '\xc0', 0, '\x40'};

    std::vector<unsigned char> maskPixels = MaskRow("1010000000");
    std::vector<unsigned char> row1 = MaskRow("0000000001");
    maskPixels.insert(maskPixels.end(), row1.begin(), row1.end());

    struct Case {
        const char* name;
        Writer write;
        png_uint_32 width, height;
        int depth, colorType;
        std::vector<unsigned char> pixels;
    };
    const Case cases[] = {
        {"rgb", [](char* p) { return ImageBufToPNG(p, rgb, 2, 1, 0); }, 2, 1, 8,
         PNG_COLOR_TYPE_RGB, Bytes({255, 0, 0, 0, 0, 255})},
        {"gray", [](char* p) { return ImageBufToPNGGray(p, gray, 3, 2); }, 3, 2, 8,
         PNG_COLOR_TYPE_GRAY, Bytes({0, 0x80, 0xff, 1, 2, 3})},
        {"soft mask", [](char* p) { return ImageBufToPNGAlpha(p, mask, 2, 2); }, 2, 2, 8,
         PNG_COLOR_TYPE_RGB_ALPHA, Bytes({0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0xff, 0, 0, 0, 0x10})},
        {"1-bit mask", [](char* p) { return Image1BppBufToPNGGray(p, bits10, 10, 2); }, 10, 2, 8,
         PNG_COLOR_TYPE_RGB_ALPHA, maskPixels},
        {"bilevel", [](char* p) { return ImageBufToPNGBilevel(p, bilevel, 10, 2); }, 10, 2, 1,
         PNG_COLOR_TYPE_GRAY, Bytes({0xa0, 0xc0, 0x00, 0x40})},
    };
    testutil::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file(std::string(c.name) + ".png");
        EXPECT_EQ(c.write(P(path)), 0);
        PngImage img = ReadPng(path);
        ASSERT_TRUE(img.head.ok);
        EXPECT_EQ(img.head.width, c.width);
        EXPECT_EQ(img.head.height, c.height);
        EXPECT_EQ(img.head.depth, c.depth);
        EXPECT_EQ(img.head.colorType, c.colorType);
        EXPECT_EQ(img.head.interlace, PNG_INTERLACE_NONE);
        ASSERT_TRUE(img.head.hasSBIT);
        if (c.colorType & PNG_COLOR_MASK_COLOR) {
            EXPECT_EQ(img.head.sbit.red, c.depth);
            EXPECT_EQ(img.head.sbit.green, c.depth);
            EXPECT_EQ(img.head.sbit.blue, c.depth);
        } else {
            EXPECT_EQ(img.head.sbit.gray, c.depth);
        }
        if (c.colorType & PNG_COLOR_MASK_ALPHA) {
            EXPECT_EQ(img.head.sbit.alpha, c.depth);
        }
        ASSERT_TRUE(img.head.hasPhys);
        EXPECT_EQ(img.head.xres, 3779u);
        EXPECT_EQ(img.head.yres, 3779u);
        EXPECT_EQ(img.head.unit, PNG_RESOLUTION_METER);
        EXPECT_EQ(img.pixels, c.pixels);
    }
}

TEST(PngWriter, InterlacedImageTakesItsRowsOncePerPass)
{
    const unsigned w = 9, h = 9;
    std::vector<char> rgb(w * h * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (char)(i * 7);
    testutil::TempDir dir;
    std::string path = dir.file("adam7.png");
    PNG_SurfaceEncoder enc(1);
    enc.interlace = true;
    ASSERT_EQ(enc.StartImage(P(path), rgb.data(), w, h, 8), 1);
    for (int pass = 0; pass < 7; pass++)
        EXPECT_EQ(enc.WriteScanlines(h), 1);
    EXPECT_EQ(enc.EndImage(), 1);
    PngImage img = ReadPng(path);
    ASSERT_TRUE(img.head.ok);
    EXPECT_EQ(img.head.interlace, PNG_INTERLACE_ADAM7);
    EXPECT_EQ(img.pixels, std::vector<unsigned char>(rgb.begin(), rgb.end()));
}

// Every writer with one path and one size; used for the refusals below.
std::vector<std::pair<const char*, std::function<void(char*, int, int)>>> AllWriters()
{
    static char buf[64];
    return {
        {"rgb", [](char* p, int w, int h) { ImageBufToPNG(p, buf, w, h, 0); }},
        {"gray", [](char* p, int w, int h) { ImageBufToPNGGray(p, buf, w, h); }},
        {"soft mask", [](char* p, int w, int h) { ImageBufToPNGAlpha(p, buf, w, h); }},
        {"1-bit mask", [](char* p, int w, int h) { Image1BppBufToPNGGray(p, buf, w, h); }},
        {"bilevel", [](char* p, int w, int h) { ImageBufToPNGBilevel(p, buf, w, h); }},
    };
}

TEST(PngWriter, RefusedSizesAndUnwritablePathsWriteNothing)
{
    struct Size { int w, h; };
    // Zero and negative sizes, and sizes beyond libpng's limits.
    const Size refused[] = {{0, 1}, {1, 0}, {-1, 4}, {4, -1}, {2000000, 1}, {1, 2000000},
                            {INT_MAX, INT_MAX}};
    testutil::TempDir dir;
    for (auto& w : AllWriters()) {
        for (const Size& s : refused) {
            SCOPED_TRACE(std::string(w.first) + " " + std::to_string(s.w) + "x" +
                         std::to_string(s.h));
            std::string path = dir.file("refused.png");
            w.second(P(path), s.w, s.h);
            EXPECT_FALSE(testutil::FileExists(path));
        }
        std::string missing = dir.file("no/such/folder.png");
        w.second(P(missing), 2, 2);
        EXPECT_FALSE(testutil::FileExists(missing)) << w.first;
    }
    char px[4] = {};
    PNG_SurfaceEncoder enc(0);
    std::string path = dir.file("zero.png");
    EXPECT_EQ(enc.StartImage(P(path), px, 0, 1, 8), 0);
    EXPECT_EQ(enc.StartImage(P(path), px, 1, 0, 8), 0);
    EXPECT_FALSE(testutil::FileExists(path));
    std::string missing = dir.file("no/such/folder.png");
    EXPECT_EQ(enc.StartImage(P(missing), px, 1, 1, 8), 0);
    EXPECT_EQ(enc.png, nullptr);
    EXPECT_EQ(enc.file, nullptr);
}

TEST(PngWriter, OneBitMaskExpandsOnlyOneRow)
{
    // At the largest size libpng takes, a whole-image RGBA block would be 4 TB; one row is
    // 4 MB.
    std::vector<char> bits(1000000 / 8, '\x55');
    testutil::TempDir dir;
    std::string path = dir.file("big.png");
    PNG_SurfaceEncoder enc(5);
    ASSERT_EQ(enc.StartImage(P(path), bits.data(), 1000000, 1000000, 8), 1);
    EXPECT_EQ(enc.Write1BppScanlines(1), 1);
    EXPECT_EQ(enc.expandBuffer[0], 255);
    EXPECT_EQ(enc.expandBuffer[3], 255);  // 0x55: pixel 0 clear, opaque
    EXPECT_EQ(enc.expandBuffer[7], 0);    // pixel 1 set, transparent
    // Most rows are missing: not a finished image.
    EXPECT_EQ(enc.EndImage(), 0);
    EXPECT_EQ(enc.png, nullptr);
    EXPECT_EQ(enc.file, nullptr);
}

TEST(PngWriter, AlphaMaskExpandsOnlyOneRow)
{
    // 40000 × 40000 × 4 bytes of RGBA would wrap in 32 bits; the mask writer expands the row
    // being written and nothing more.
    std::vector<char> alpha(40000, '\x40');
    alpha[1] = '\x7f';
    testutil::TempDir dir;
    std::string path = dir.file("big.png");
    PNG_SurfaceEncoder enc(6);
    ASSERT_EQ(enc.StartImage(P(path), alpha.data(), 40000, 40000, 8), 1);
    EXPECT_EQ(enc.WriteScanlines(1), 1);
    const unsigned char* px = enc.expandBuffer;
    EXPECT_EQ(std::vector<int>({px[0], px[1], px[2], px[3], px[7]}),
              std::vector<int>({0, 0, 0, 0x40, 0x7f}));
    EXPECT_EQ(enc.EndImage(), 0);
    EXPECT_EQ(enc.png, nullptr);
}

TEST(PngWriter, WriteErrorEndsTheImageWithoutReturningIntoLibpng)
{
    // Noise does not compress, so libpng hands over full IDAT blocks while rows are written;
    // the file cannot grow past 4 KiB (a full disk).
    const unsigned w = 256, h = 256;
    std::vector<char> rgb(w * h * 3);
    unsigned seed = 12345;
    for (char& c : rgb) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(seed >> 16);
    }
    testutil::TempDir dir;
    std::string path = dir.file("full.png");
    testutil::FileSizeLimit diskFull(4096);
    PNG_SurfaceEncoder enc(1);
    ASSERT_EQ(enc.StartImage(P(path), rgb.data(), w, h, 8), 1);
    EXPECT_EQ(enc.WriteScanlines(h), 0);
    EXPECT_TRUE(enc.error);
    EXPECT_EQ(enc.png, nullptr);
    EXPECT_EQ(enc.file, nullptr);
    EXPECT_EQ(enc.WriteScanlines(1), 0);
    EXPECT_EQ(enc.WriteRow((const unsigned char*)rgb.data()), 0);
    EXPECT_EQ(enc.EndImage(), 0);
    EXPECT_EQ(enc.writeErrno, EFBIG);

    // The free functions take the same road and say so.
    errno = 0;
    EXPECT_EQ(ImageBufToPNG(P(path), rgb.data(), (int)w, (int)h, 0), -1);
    EXPECT_EQ(errno, EFBIG);
}

}  // namespace
