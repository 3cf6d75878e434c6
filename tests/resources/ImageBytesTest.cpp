#include "Resources/ImageExtract.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <cstdlib>
#include <string>
#include <vector>

#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Resources/Functions.h"
#include "Resources/PaintColour.h"
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

// A colour key compares samples as stored, at their own depth: 16-bit samples whole, indexes
// unscaled, every component within its range.
TEST(ImageBytes, ColourKeyAlphaFromSamplesAsStored)
{
    struct {
        const char* what;
        std::string src;
        int w, comps, bpc;
        std::vector<long> ranges;
        const char* alpha;
    } cases[] = {
        {"RGB: every component within", std::string("\x00\x00\xFF\x00\x00\xF0\x00\x10\xFF", 9), 3, 3, 8,
         {0, 0, 0, 0, 250, 255}, "0 255 255 "},
        {"4-bit indexes", "\x12\x32", 4, 1, 4, {2, 2}, "255 0 255 0 "},
        {"1-bit gray", "\xA0", 3, 1, 1, {1, 1}, "0 255 0 "},
        {"16 bits compared whole", std::string("\x01\x00\x01\x01", 4), 2, 1, 16, {256, 256}, "0 255 "},
        {"missing samples read as 0", "", 2, 1, 8, {0, 0}, "0 0 "},
        {"an empty range keys nothing", "\x05\x05", 2, 1, 8, {6, 4}, "255 255 "},
    };
    for (auto& c : cases) {
        std::vector<unsigned char> alpha((size_t)c.w, 0xEE);
        ASSERT_EQ(KeyAlpha((const unsigned char*)c.src.data(), (int64_t)c.src.size(), c.w, 1,
                           c.comps, c.bpc, c.ranges.data(), alpha.data()), 0) << c.what;
        std::string out;
        for (unsigned char a : alpha)
            out += std::to_string(a) + " ";
        EXPECT_EQ(out, c.alpha) << c.what;
    }
    std::vector<long> ranges = {0, 0};
    unsigned char alpha[1];
    EXPECT_EQ(KeyAlpha((const unsigned char*)"x", 1, 1, 1, 1, 3, ranges.data(), alpha), -1);
}

namespace {

PaintSpaceRef Space(PaintSpace::Family family, int comps, PaintSpaceRef base = nullptr,
                    FunctionRef tint = nullptr)
{
    auto s = std::make_shared<PaintSpace>();
    s->family = family;
    s->comps = comps;
    s->base = base;
    s->tint = tint;
    return s;
}

// The exponential function c0 + t (c1 - c0).
FunctionRef Linear(std::vector<double> c0, std::vector<double> c1)
{
    auto f = std::make_shared<PdfFunction>();
    f->type = 2;
    f->inputs = 1;
    f->outputs = (int)c0.size();
    f->domain = {0, 1};
    f->c0 = c0;
    f->c1 = c1;
    return f;
}

// The pixels, each within one level of `want` (a level of rounding is the conversion's own).
std::string Pixels(const std::string& src, int w, int bpc, const PaintSpace& space,
                   const std::vector<double>& decode, int* comps, const std::vector<int>& want)
{
    FunctionWork work;
    unsigned char* px = SpaceRowsToPixels((const unsigned char*)src.data(), (int64_t)src.size(),
                                          w, 1, bpc, space, decode.empty() ? nullptr : decode.data(),
                                          &work, comps);
    if (!px)
        return "refused";
    std::string out;
    for (int i = 0; i < w * *comps; i++)
        out += std::to_string(i < (int)want.size() && abs(px[i] - want[i]) <= 1 ? want[i] : px[i]) + " ";
    free(px);
    return out;
}

std::string Text(const std::vector<int>& values)
{
    std::string out;
    for (int v : values)
        out += std::to_string(v) + " ";
    return values.empty() ? "refused" : out;
}

}  // namespace

// Samples of the spaces fills are drawn in become the colours those fills show, under the
// Decode range, as gray where every colour of the space is gray.
TEST(ImageBytes, SpaceSamplesBecomeTheirFillColours)
{
    PaintSpaceRef gray = Space(PaintSpace::GRAY, 1), rgb = Space(PaintSpace::RGB, 3);
    PaintSpaceRef cmyk = Space(PaintSpace::CMYK, 4), lab = Space(PaintSpace::LAB, 3);
    PaintSpaceRef toGray = Space(PaintSpace::TINT, 1, gray, Linear({1}, {0}));
    PaintSpaceRef toCmyk = Space(PaintSpace::TINT, 1, cmyk, Linear({0, 0, 0, 0}, {0, 1, 1, 0}));
    PaintSpaceRef noTint = Space(PaintSpace::TINT, 2);
    struct {
        const char* what;
        const PaintSpace& space;
        std::string src;
        int w, bpc;
        std::vector<double> decode;
        int comps;
        std::vector<int> out;  // empty: refused
    } cases[] = {
        {"CalGray as stored", *gray, std::string("\x00\x80\xFF", 3), 3, 8, {}, 1, {0, 128, 255}},
        {"CalGray under [1 0]", *gray, std::string("\x00\x80\xFF", 3), 3, 8, {1, 0}, 1, {255, 127, 0}},
        {"CalGray at 2 bits", *gray, "\x1B", 4, 2, {}, 1, {0, 85, 170, 255}},
        {"CalRGB under a Decode", *rgb, std::string("\x00\x80\xFF", 3), 1, 8, {1, 0, 0, 1, 0.5, 1}, 3,
         {255, 128, 255}},
        {"Lab white and black, its own ranges", *lab, std::string("\xFF\x80\x80\x00\x80\x80", 6),
         2, 8, {}, 3, {255, 255, 255, 0, 0, 0}},
        {"Lab under a Decode", *lab, std::string("\x00\x00\x00", 3), 1, 8, {100, 0, 0, 0, 0, 0}, 3,
         {255, 255, 255}},
        {"a tint into gray stays gray", *toGray, std::string("\x00\xFF", 2), 2, 8, {}, 1, {255, 0}},
        {"a tint into CMYK becomes RGB", *toCmyk, std::string("\x00\xFF", 2), 2, 8, {}, 3,
         {255, 255, 255, 255, 0, 0}},
        {"a tint under [1 0]", *toCmyk, std::string("\x00", 1), 1, 8, {1, 0}, 3, {255, 0, 0}},
        {"no usable transform: gray by the largest tint", *noTint,
         std::string("\x00\xFF\x00\x00", 4), 2, 8, {}, 3, {0, 0, 0, 255, 255, 255}},
        {"depth 3", *gray, "\xFF", 1, 3, {}, 1, {}},
    };
    for (auto& c : cases) {
        int comps = 0;
        EXPECT_EQ(Pixels(c.src, c.w, c.bpc, c.space, c.decode, &comps, c.out), Text(c.out)) << c.what;
        if (!c.out.empty()) {
            EXPECT_EQ(comps, c.comps) << c.what;
        }
    }
}

// A tint transform of one input runs once per sample value, not per pixel; one of more inputs
// runs per colour and stops with the conversion's budget, which bounds a hostile image.
TEST(ImageBytes, TintImagesWithinTheFunctionBudget)
{
    PaintSpaceRef rgb = Space(PaintSpace::RGB, 3);
    PaintSpaceRef one = Space(PaintSpace::TINT, 1, rgb, Linear({1, 1, 1}, {0, 0, 1}));
    const int w = 4096;
    std::string ramp;
    for (int x = 0; x < w; x++)
        ramp += (char)(x % 256);
    FunctionWork work;
    work.left = 256;
    int comps = 0;
    unsigned char* px = SpaceRowsToPixels((const unsigned char*)ramp.data(), w, w, 1, 8, *one,
                                          nullptr, &work, &comps);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(comps, 3);
    // The last pixel (tint 255) is as blue as the first of its value: the 256 evaluations did.
    EXPECT_EQ(px[(w - 1) * 3], 0);
    EXPECT_EQ(px[(w - 1) * 3 + 2], 255);
    free(px);

    // Two inputs: each new colour costs its own evaluation, until the budget is spent.
    auto f = std::make_shared<PdfFunction>(*Linear({1, 1, 0}, {1, 1, 0}));
    f->inputs = 2;
    f->domain = {0, 1, 0, 1};
    PaintSpaceRef two = Space(PaintSpace::TINT, 2, rgb, f);
    std::string pairs;
    for (int x = 0; x < w; x++)
        pairs += std::string(1, (char)(x % 256)) + (char)(x / 256);
    work.left = 100;
    px = SpaceRowsToPixels((const unsigned char*)pairs.data(), 2 * w, w, 1, 8, *two, nullptr,
                           &work, &comps);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[1], 255);              // yellow while the budget lasts
    EXPECT_EQ(px[99 * 3 + 1], 255);
    EXPECT_EQ(px[(w - 1) * 3 + 1], 0);  // then the zeros of a spent budget: black
    free(px);
}
