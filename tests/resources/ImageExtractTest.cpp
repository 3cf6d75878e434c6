#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PageTreeDoc.h"
#include "Pdf/Limits.h"
#include "PdfBuilder.h"
#include "Resources/ResData.h"
#include "TestImages.h"
#include "TestUtil.h"

using pagetreetest::Doc;
using testpdf::Deflate;
using testutil::FileExists;
using testutil::ReadFile;

namespace {

// A document of image objects with the temporary folder set.
struct ImageDoc {
    explicit ImageDoc(const testpdf::PdfBuilder& b) : doc(b)
    {
        snprintf(doc.tree->tmpDir, sizeof doc.tree->tmpDir, "%s/", doc.dir.path().c_str());
    }
    int Extract(int num) { return doc.tree->ExtractSingleImage(num); }
    std::string File(const std::string& name) const { return doc.dir.file(name); }
    XrefEntry* Entry(int num) { return doc.xref->Entry(num); }
    ImageInfo* Info(int num) { return dynamic_cast<ImageInfo*>(Entry(num)->resData); }
    testimg::Png Png(const std::string& name) const { return testimg::ReadPng(File(name)); }

    Doc doc;
};

// Bytes 1 to 251 in an order that does not compress.
std::string Noise(int n)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += (char)((i * 73 + 11) % 251 + 1);
    return s;
}

std::string Rgba(const testimg::Png& p, int x, int y)
{
    const unsigned char* c = p.At(x, y);
    char buf[32];
    snprintf(buf, sizeof buf, "%d,%d,%d,%d", c[0], c[1], c[2], c[3]);
    return buf;
}

const char* kImage = "/Type /XObject /Subtype /Image ";

}  // namespace

TEST(ImageExtract, RgbImageOnceWithItsRecord)
{
    testpdf::PdfBuilder b;
    std::string px = testimg::StripeRgb(8, 2);
    b.Stream(15, std::string(kImage) + "/Width 8 /Height 2 /BitsPerComponent 8 "
                 "/ColorSpace /DeviceRGB /Filter /FlateDecode", Deflate(px));
    ImageDoc d(b);
    ASSERT_EQ(d.Extract(15), 0);
    ASSERT_NE(d.Entry(15)->path, nullptr);
    EXPECT_EQ(std::string(d.Entry(15)->path), d.File("IMG_015.png"));
    ImageInfo* info = d.Info(15);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->width, 8);
    EXPECT_EQ(info->bitsPerComponent, 8);
    EXPECT_EQ(info->height, 2);
    EXPECT_EQ(info->smaskObj, 0);
    testimg::Png p = d.Png("IMG_015.png");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(Rgba(p, 0, 0), "255,0,0,255");
    EXPECT_EQ(Rgba(p, 7, 1), "255,255,0,255");

    // Done before: nothing is written again.
    remove(d.File("IMG_015.png").c_str());
    EXPECT_EQ(d.Extract(15), 0);
    EXPECT_FALSE(FileExists(d.File("IMG_015.png")));
}

TEST(ImageExtract, JpegPassesThroughAt96Dpi)
{
    std::string jpeg = testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, 16, 8);
    std::string exif = testimg::MakeJpeg(testimg::JPEG_EXIF, 16, 8);
    testpdf::PdfBuilder b;
    const std::string dict = std::string(kImage) +
        "/Width 16 /Height 8 /BitsPerComponent 8 /ColorSpace /DeviceRGB ";
    b.Stream(7, dict + "/Filter /DCTDecode", jpeg);
    b.Stream(8, dict + "/Filter [/FlateDecode /DCTDecode]", Deflate(exif));
    ImageDoc d(b);
    ASSERT_EQ(d.Extract(7), 0);
    std::string out = ReadFile(d.File("IMG_007.jpg"));
    ASSERT_EQ(out.size(), jpeg.size());
    EXPECT_EQ(out.substr(13, 5), std::string("\x01\x00\x60\x00\x60", 5));
    EXPECT_EQ(out.substr(0, 13) + out.substr(18), jpeg.substr(0, 13) + jpeg.substr(18));

    ASSERT_EQ(d.Extract(8), 0);
    testimg::JpegHeader h = testimg::ReadJpegHeader(ReadFile(d.File("IMG_008.jpg")));
    EXPECT_TRUE(h.ok && h.jfif);
    EXPECT_EQ(h.xDensity, 96);
    ASSERT_NE(d.Info(8), nullptr);
    EXPECT_EQ(d.Info(8)->width, 16);
}

// Images this system cannot render: refused with nothing written or recorded, so the page
// draws nothing for them.
TEST(ImageExtract, RefusedImagesLeaveNoTrace)
{
    struct Case {
        const char* what;
        std::string entries;
        std::string data;
    };
    const std::string gray4x2 = "/Width 4 /Height 2 /BitsPerComponent 8 ";
    const Case cases[] = {
        {"ICC profile of two components", gray4x2 + "/ColorSpace [/ICCBased 31 0 R]",
         std::string(16, 'x')},
        {"ICC profile of no known count", gray4x2 + "/ColorSpace [/ICCBased 30 0 R]",
         std::string(32, 'x')},
        {"CCITT data", gray4x2 + "/ColorSpace /DeviceGray /Filter /CCITTFaxDecode",
         std::string(8, 'x')},
        {"JPX data", gray4x2 + "/ColorSpace /DeviceRGB /Filter [/JPXDecode]", std::string(8, 'x')},
        {"no data at all", gray4x2 + "/ColorSpace /DeviceGray", ""},
        {"PNG predictor", gray4x2 + "/ColorSpace /DeviceGray /Filter /FlateDecode "
         "/DecodeParms << /Predictor 15 /Columns 4 >>", Deflate(std::string(10, '\x01'))},
        {"predictor in an array of parameters", gray4x2 + "/ColorSpace /DeviceGray "
         "/Filter [/ASCII85Decode /FlateDecode] /DecodeParms [null << /Predictor 2 >>]",
         testpdf::Ascii85Encode(Deflate(std::string(8, 'x')))},
        {"predictor parameters by reference", gray4x2 + "/ColorSpace /DeviceGray "
         "/Filter /FlateDecode /DecodeParms 32 0 R", Deflate(std::string(10, '\x01'))},
        {"width 0", "/Width 0 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray", "xx"},
        {"negative height", "/Width 2 /Height -2 /BitsPerComponent 8 /ColorSpace /DeviceGray",
         "xx"},
        {"depth 3", "/Width 2 /Height 2 /BitsPerComponent 3 /ColorSpace /DeviceGray", "xx"},
        {"no colour space", gray4x2, std::string(8, 'x')},
        // Samples in a space that paints nothing draw nothing.
        {"the colorant None", gray4x2 + "/ColorSpace [/Separation /None /DeviceGray 35 0 R]",
         std::string(8, 'x')},
        {"an unknown family", gray4x2 + "/ColorSpace [/Spot << >>]", std::string(8, 'x')},
        // A family name without its parameters has no palette or profile to read.
        {"bare /Indexed", gray4x2 + "/ColorSpace /Indexed", std::string(8, 'x')},
        {"bare /ICCBased", gray4x2 + "/ColorSpace /ICCBased", std::string(24, 'x')},
        {"bare /Indexed by reference", gray4x2 + "/ColorSpace 33 0 R", std::string(8, 'x')},
        {"bare /ICCBased by reference", gray4x2 + "/ColorSpace 34 0 R", std::string(24, 'x')},
        // Less than a quarter of the declared data: not padded up to the declared size.
        {"a quarter of the data, less one byte", "/Width 4 /Height 3 /BitsPerComponent 8 "
         "/ColorSpace /DeviceGray", "xx"},
        {"indexed, far less data than declared", "/Width 4000 /Height 4000 /BitsPerComponent 8 "
         "/ColorSpace [/Indexed /DeviceRGB 0 <FF0000>]", std::string(100, '\0')},
        {"sizes near 2^31", "/Width 2147483647 /Height 2147483647 /BitsPerComponent 16 "
         "/ColorSpace /DeviceRGB", std::string(64, 'x')},
        // DCT data that no reader can decode is not passed on.
        {"DCT data that is not JPEG", gray4x2 + "/ColorSpace /DeviceGray /Filter /DCTDecode",
         "not a JPEG"},
        {"DCT data without a frame header", gray4x2 + "/ColorSpace /DeviceGray /Filter /DCTDecode",
         std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xDA\x00\x02", 12)},
        {"not an image", "/Subtype /Form", "0 0 m"},
    };
    for (const Case& c : cases) {
        testpdf::PdfBuilder b;
        std::string head = c.entries.find("/Subtype") == std::string::npos ? kImage : "";
        b.Stream(20, head + c.entries, c.data);
        b.Stream(30, "/Alternate /Lab", "profile");
        b.Stream(31, "/N 2", "profile");
        b.Object(32, "<< /Predictor 12 /Columns 4 >>");
        b.Object(33, "/Indexed");
        b.Object(34, "/ICCBased");
        b.Object(35, "<< /FunctionType 2 /Domain [0 1] /N 1 >>");
        ImageDoc d(b);
        EXPECT_EQ(d.Extract(20), -1) << c.what;
        EXPECT_EQ(d.Entry(20)->path, nullptr) << c.what;
        EXPECT_EQ(d.Entry(20)->resData, nullptr) << c.what;
        EXPECT_FALSE(FileExists(d.File("IMG_020.png"))) << c.what;
        EXPECT_FALSE(FileExists(d.File("IMG_020.jpg"))) << c.what;
    }
}

// Pixels as the writers get them: every depth at 8 bits, short streams padded with zeros.
TEST(ImageExtract, DecodedPixelsOfEveryKind)
{
    struct Case {
        const char* what;
        std::string entries;
        std::string data;
        int x, y;
        const char* rgba;
    };
    const Case cases[] = {
        {"8-bit gray", "/Width 2 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray",
         "\x10\x80", 1, 0, "128,128,128,255"},
        {"1-bit gray", "/Width 10 /Height 1 /BitsPerComponent 1 /ColorSpace /DeviceGray",
         std::string("\x80\x40", 2), 9, 0, "255,255,255,255"},
        {"1-bit gray, clear bit", "/Width 10 /Height 1 /BitsPerComponent 1 /ColorSpace /DeviceGray",
         std::string("\x80\x40", 2), 8, 0, "0,0,0,255"},
        {"16-bit RGB keeps the high byte",
         "/Width 1 /Height 1 /BitsPerComponent 16 /ColorSpace /DeviceRGB",
         std::string("\x12\xFF\x80\x00\xFF\x01", 6), 0, 0, "18,128,255,255"},
        {"truncated Flate is padded black",
         "/Width 16 /Height 16 /BitsPerComponent 8 /ColorSpace /DeviceGray /Filter /FlateDecode",
         Deflate(Noise(256)).substr(0, 140), 15, 15, "0,0,0,255"},
        {"ICC profile of RGB", "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace [/ICCBased 30 0 R]",
         "\x01\x02\x03", 0, 0, "1,2,3,255"},
        {"ICC gray with a gray alternate",
         "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace [/ICCBased 31 0 R]", "\x40", 0, 0,
         "64,64,64,255"},
        // The count of components is what the data hold; Alternate is optional.
        {"ICC gray without an alternate",
         "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace [/ICCBased 32 0 R]", "\x40", 0, 0,
         "64,64,64,255"},
        {"ICC RGB whose alternate says gray",
         "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace [/ICCBased 33 0 R]",
         "\x01\x02\x03", 0, 0, "1,2,3,255"},
        {"4-bit indexed", "/Width 3 /Height 1 /BitsPerComponent 4 "
         "/ColorSpace [/Indexed /DeviceRGB 2 <FF0000 00FF00 0000FF>]",
         std::string("\x01\x20", 2), 1, 0, "0,255,0,255"},
        {"4-bit indexed, short stream", "/Width 3 /Height 2 /BitsPerComponent 4 "
         "/ColorSpace [/Indexed /DeviceRGB 2 <FF0000 00FF00 0000FF>]",
         std::string("\x12", 1), 2, 1, "255,0,0,255"},
        {"a quarter of the data is padded", "/Width 4 /Height 2 /BitsPerComponent 8 "
         "/ColorSpace /DeviceGray", "\x80\x80", 3, 1, "0,0,0,255"},
    };
    for (const Case& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(20, std::string(kImage) + c.entries, c.data);
        b.Stream(30, "/N 3", "profile");
        b.Stream(31, "/N 1 /Alternate /DeviceGray", "profile");
        b.Stream(32, "/N 1", "profile");
        b.Stream(33, "/N 3 /Alternate /DeviceGray", "profile");
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(20), 0) << c.what;
        testimg::Png p = d.Png("IMG_020.png");
        ASSERT_TRUE(p.ok) << c.what;
        EXPECT_EQ(Rgba(p, c.x, c.y), c.rgba) << c.what;
    }
}

TEST(ImageExtract, SoftMasksBecomeAlpha)
{
    struct Case {
        const char* what;
        std::string maskEntries;
        std::string maskData;
        const char* alpha;  // of pixels 0 and 3
    };
    const std::string mask("\x00\x40\x80\xFF", 4);
    const Case cases[] = {
        {"FlateDecode", "/Filter /FlateDecode", Deflate(mask), "0 255"},
        {"a Filter array", "/Filter [/ASCII85Decode /FlateDecode]",
         testpdf::Ascii85Encode(Deflate(mask)), "0 255"},
        {"unfiltered", "", mask, "0 255"},
        {"a filter this system does not know", "/Filter /RunLengthDecode", std::string("\x03\x00\x40\x80\xFF", 5),
         "102 102"},
        {"a predictor", "/Filter /FlateDecode /DecodeParms << /Predictor 10 /Columns 4 >>",
         Deflate(std::string("\x00\x00\x40\x80\xFF", 5)), "102 102"},
        {"predictor 1 is none", "/Filter /FlateDecode /DecodeParms << /Predictor 1 >>", Deflate(mask), "0 255"},
        {"1-bit mask", "/BitsPerComponent 1", "\x10\xF0\x00\x00", "0 255"},
        {"short stream: the rest transparent", "", "\xFF\xFF", "255 0"},
    };
    for (const Case& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(15, std::string(kImage) + "/Width 4 /Height 1 /BitsPerComponent 8 "
                     "/ColorSpace /DeviceGray /SMask 16 0 R", "\x10\x20\x30\x40");
        std::string bpc = c.maskEntries.find("/BitsPerComponent") == std::string::npos
                              ? "/BitsPerComponent 8 " : "";
        b.Stream(16, std::string(kImage) + "/Width 4 /Height 1 /ColorSpace /DeviceGray " + bpc +
                     c.maskEntries, c.maskData);
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(15), 0) << c.what;
        ASSERT_NE(d.Info(15), nullptr);
        EXPECT_EQ(d.Info(15)->smaskObj, 16) << c.what;
        ASSERT_NE(d.Info(16), nullptr) << c.what;
        testimg::Png p = d.Png("IMG_016.png");
        ASSERT_TRUE(p.ok) << c.what;
        // A mask of one alpha everywhere is written as a single pixel.
        EXPECT_EQ(std::to_string(p.At(0, 0)[3]) + " " + std::to_string(p.At(p.width - 1, 0)[3]),
                  c.alpha)
            << c.what;
        EXPECT_EQ(Rgba(p, p.width - 1, 0).substr(0, 6), "0,0,0,") << c.what;  // black under the alpha
    }

    // A mask that decodes to nothing is no mask: the image stands, unmasked.
    testpdf::PdfBuilder b;
    b.Stream(15, std::string(kImage) + "/Width 1 /Height 1 /BitsPerComponent 8 "
                 "/ColorSpace /DeviceGray /SMask 16 0 R", "\x10");
    b.Stream(16, std::string(kImage) + "/Width 1 /Height 1 /BitsPerComponent 8 /Filter /FlateDecode", "");
    ImageDoc d(b);
    EXPECT_EQ(d.Extract(15), 0);
    EXPECT_EQ(d.Entry(16)->path, nullptr);
    EXPECT_EQ(d.Entry(16)->resData, nullptr);
}

TEST(ImageExtract, FileNamesAndUnwritableFolder)
{
    testpdf::PdfBuilder b;
    b.Stream(1234, std::string(kImage) + "/Width 1 /Height 1 /BitsPerComponent 8 "
                   "/ColorSpace /DeviceGray", "\x7F");
    {
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(1234), 0);
        EXPECT_TRUE(FileExists(d.File("IMG_1234.png")));
    }
    {
        // A file that cannot be created leaves the object unextracted: no path to a missing
        // file, no record.
        ImageDoc d(b);
        snprintf(d.doc.tree->tmpDir, sizeof d.doc.tree->tmpDir, "%s/missing/",
                 d.doc.dir.path().c_str());
        EXPECT_EQ(d.Extract(1234), -1);
        EXPECT_EQ(d.Entry(1234)->path, nullptr);
        EXPECT_EQ(d.Entry(1234)->resData, nullptr);
    }
    {
        // A folder name that leaves no room for the file name fails the image.
        ImageDoc d(b);
        snprintf(d.doc.tree->tmpDir, sizeof d.doc.tree->tmpDir, "%s/", std::string(250, 'd').c_str());
        EXPECT_EQ(d.Extract(1234), -1);
        EXPECT_EQ(d.Entry(1234)->path, nullptr);
    }
}

// Width × Height is capped before anything is allocated: at the cap an image is decoded, one
// row past it the image (or soft mask) is left out whole, and a mask of one alpha everywhere
// is a single pixel whatever size it declares.
TEST(ImageExtract, PixelCapAndUniformMasks)
{
    const int side = 8192;
    static_assert((int64_t)side * side == IMAGE_MAX_PIXELS, "the cases sit at the cap");
    const std::string zeros = Deflate(std::string((size_t)side * side / 8, '\0'));
    auto bilevel = [&](int height) {
        return std::string(kImage) + "/Width 8192 /Height " + std::to_string(height) +
               " /BitsPerComponent 1 /ColorSpace /DeviceGray /Filter /FlateDecode";
    };
    testpdf::PdfBuilder b;
    b.Stream(20, bilevel(side), zeros);
    b.Stream(21, bilevel(side + 1), zeros);
    const std::string masked = std::string(kImage) +
        "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray /SMask ";
    b.Stream(22, masked + "30 0 R", "\x10");
    b.Stream(23, masked + "31 0 R", "\x10");
    const std::string unknownMask = std::string(kImage) +
        "/BitsPerComponent 8 /ColorSpace /DeviceGray /Filter /JBIG2Decode /Width 8192 /Height ";
    b.Stream(30, unknownMask + "8192", "\x01");
    b.Stream(31, unknownMask + "8193", "\x01");
    ImageDoc d(b);

    ASSERT_EQ(d.Extract(20), 0);
    EXPECT_EQ(d.Info(20)->width, side);
    EXPECT_EQ(d.Extract(21), -1);
    EXPECT_EQ(d.Entry(21)->resData, nullptr);
    EXPECT_FALSE(FileExists(d.File("IMG_021.png")));

    ASSERT_EQ(d.Extract(22), 0);
    ASSERT_NE(d.Info(30), nullptr);
    EXPECT_EQ(d.Info(30)->width, 1);
    EXPECT_EQ(d.Info(30)->height, 1);
    testimg::Png p = d.Png("IMG_030.png");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.width * p.height, 1);
    EXPECT_EQ(Rgba(p, 0, 0), "0,0,0,102");

    // The image stands, without its mask.
    ASSERT_EQ(d.Extract(23), 0);
    EXPECT_EQ(d.Info(23)->smaskObj, 31);
    EXPECT_EQ(d.Entry(31)->resData, nullptr);
    EXPECT_FALSE(FileExists(d.File("IMG_031.png")));
}

// CMYK samples become RGB PNGs whatever carries them: packed data of any depth, a profile of
// four components, JPEG data stored plainly, in the YCCK transform or progressively. A Decode
// array of inverted pairs undoes data stored inverted.
TEST(ImageExtract, CmykImagesBecomeRgb)
{
    const int w = 16, h = 8;
    const std::string cmyk = testimg::StripeCmyk(w, h);
    std::string cmyk16, cmyk4;
    for (char c : cmyk)
        cmyk16 += std::string{c, '\x55'};
    for (size_t i = 0; i < cmyk.size(); i += 2)  // every value is 0, 128 or 255: 0, 8 or 15
        cmyk4 += (char)(((unsigned char)cmyk[i] >> 4) << 4 | ((unsigned char)cmyk[i + 1] >> 4));
    const std::string inverse = " /Decode [1 0 1 0 1 0 1 0]";
    const std::string size = "/Width 16 /Height 8 ";
    const struct {
        const char* what;
        std::string entries;
        std::string data;
        int tolerance;
    } cases[] = {
        {"DeviceCMYK, 8 bits", size + "/BitsPerComponent 8 /ColorSpace /DeviceCMYK", cmyk, 0},
        {"DeviceCMYK, 16 bits", size + "/BitsPerComponent 16 /ColorSpace /DeviceCMYK", cmyk16, 0},
        {"DeviceCMYK, 4 bits", size + "/BitsPerComponent 4 /ColorSpace /DeviceCMYK", cmyk4, 8},
        {"inverted by Decode", size + "/BitsPerComponent 8 /ColorSpace /DeviceCMYK" + inverse,
         testimg::StripeCmyk(w, h, true), 1},
        {"ICC profile of four components", size + "/BitsPerComponent 8 /ColorSpace [/ICCBased 30 0 R]",
         cmyk, 0},
        {"ICC profile of four components, Alternate only",
         size + "/BitsPerComponent 8 /ColorSpace [/ICCBased 31 0 R] /Filter /FlateDecode",
         Deflate(cmyk), 0},
        {"JPEG", size + "/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /DCTDecode",
         testimg::MakeCmykJpeg(w, h), 24},
        {"JPEG in YCCK", size + "/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /DCTDecode",
         testimg::MakeCmykJpeg(w, h, false, true), 24},
        {"progressive JPEG under a profile",
         size + "/BitsPerComponent 8 /ColorSpace [/ICCBased 30 0 R] /Filter /DCTDecode",
         testimg::MakeCmykJpeg(w, h, false, false, true), 24},
        {"inverted JPEG with Decode, behind Flate",
         size + "/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter [/FlateDecode /DCTDecode]" +
             inverse,
         Deflate(testimg::MakeCmykJpeg(w, h, true)), 24},
        // The pixels are the JPEG's own: its frame gives the record's size.
        {"JPEG whose dictionary gives another size",
         "/Width 99 /Height 3 /BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /DCTDecode",
         testimg::MakeCmykJpeg(w, h), 24},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(20, kImage + c.entries, c.data);
        b.Stream(30, "/N 4", "profile");
        b.Stream(31, "/Alternate /DeviceCMYK", "profile");
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(20), 0) << c.what;
        EXPECT_EQ(std::string(d.Entry(20)->path), d.File("IMG_020.png")) << c.what;
        ImageInfo* info = d.Info(20);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->width, w) << c.what;
        EXPECT_EQ(info->height, h) << c.what;
        testimg::Png p = d.Png("IMG_020.png");
        ASSERT_TRUE(p.ok) << c.what;
        for (int s = 0; s < 4; s++)
            for (int y : {0, h - 1}) {
                const unsigned char* px = p.At(s * 4 + 2, y);
                EXPECT_TRUE(testimg::Near(px, testimg::kCmykStripesRgb[s], c.tolerance))
                    << c.what << " stripe " << s << ": " << Rgba(p, s * 4 + 2, y);
            }
    }
}

// CMYK data the decoder refuses leave no trace: JPEG data of three components, and frames
// larger than the data can stand for.
TEST(ImageExtract, CmykJpegRefusals)
{
    // A frame header's size patched into a real JPEG: the data then stand for far more
    // pixels than they hold.
    auto resized = [](int width, int height) {
        std::string j = testimg::MakeCmykJpeg(16, 8);
        size_t sof = j.find("\xFF\xC0");
        j[sof + 5] = (char)(height >> 8);
        j[sof + 6] = (char)height;
        j[sof + 7] = (char)(width >> 8);
        j[sof + 8] = (char)width;
        return j;
    };
    // Exactly JPEG_MAX_PIXELS_PER_BYTE pixels for each byte, with bytes after the end marker
    // making up the size; one byte less is refused.
    std::string atLimit = resized(1024, 512);
    ASSERT_LT(atLimit.size(), 512u);
    atLimit.resize(1024 * 512 / JPEG_MAX_PIXELS_PER_BYTE, '\0');
    const struct {
        const char* what;
        std::string data;
        int rc;
    } cases[] = {
        {"three components", testimg::MakeJpeg(testimg::JPEG_ADOBE, 16, 8), -1},
        {"at the pixels each byte may stand for", atLimit, 0},
        {"one byte short of it", atLimit.substr(0, atLimit.size() - 1), -1},
        {"a frame of 65535 x 65535", resized(65535, 65535), -1},
        {"no frame at all", std::string("\xFF\xD8\xFF\xD9", 4), -1},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(20, std::string(kImage) + "/Width 16 /Height 8 /BitsPerComponent 8 "
                     "/ColorSpace /DeviceCMYK /Filter /DCTDecode", c.data);
        ImageDoc d(b);
        EXPECT_EQ(d.Extract(20), c.rc) << c.what;
        EXPECT_EQ(FileExists(d.File("IMG_020.png")), c.rc == 0) << c.what;
        EXPECT_EQ(d.Entry(20)->resData != nullptr, c.rc == 0) << c.what;
    }
}

// An image mask's file is opaque where it paints (bits of 0, or of 1 under Decode [1 0]) and
// transparent elsewhere, as is whatever a short stream leaves out; its record says it is a
// stencil.
TEST(ImageExtract, ImageMasksBecomeStencils)
{
    const struct {
        const char* what;
        std::string entries;
        std::string data;
        int rc;
        const char* row0;  // alpha of the first row's 8 pixels, "" for none
        const char* row1;
    } cases[] = {
        {"plain", "/Width 8 /Height 2 /ImageMask true", "\x0F\xF0", 0, "++++....", "....++++"},
        {"Decode [1 0]", "/Width 8 /Height 2 /ImageMask true /Decode [1 0]", "\x0F\xF0", 0,
         "....++++", "++++...."},
        {"BitsPerComponent 1, Flate", "/Width 8 /Height 2 /ImageMask true /BitsPerComponent 1 "
         "/Filter /FlateDecode", Deflate("\x3C\xC3"), 0, "++....++", "..++++.."},
        {"stream cut short", "/Width 8 /Height 2 /ImageMask true /Decode [1 0]", "\xFF", 0,
         "++++++++", "........"},
        {"eight bits are no mask", "/Width 1 /Height 2 /ImageMask true /BitsPerComponent 8",
         "\x00\x00", -1, "", ""},
        {"far less data than declared", "/Width 4000 /Height 4000 /ImageMask true", "\x00", -1,
         "", ""},
        {"a mask of 2^31 pixels", "/Width 65536 /Height 32768 /ImageMask true",
         std::string(1024, '\0'), -1, "", ""},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(20, kImage + c.entries, c.data);
        ImageDoc d(b);
        EXPECT_EQ(d.Extract(20), c.rc) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(d.Entry(20)->resData, nullptr) << c.what;
            continue;
        }
        ImageInfo* info = d.Info(20);
        ASSERT_NE(info, nullptr) << c.what;
        EXPECT_TRUE(info->stencil) << c.what;
        testimg::Png p = d.Png("IMG_020.png");
        ASSERT_TRUE(p.ok) << c.what;
        std::string rows[2];
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 8; x++)
                rows[y] += p.At(x, y)[3] == 255 ? '+' : p.At(x, y)[3] == 0 ? '.' : '?';
        EXPECT_EQ(rows[0], c.row0) << c.what;
        EXPECT_EQ(rows[1], c.row1) << c.what;
    }
}

// A soft mask of DCT data is a gray JPEG: decoded, its samples become the mask's alpha at the
// JPEG's own size. A JPEG of other than one component is no mask.
TEST(ImageExtract, DctSoftMasksBecomeAlpha)
{
    std::string ramp;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++)
            ramp += (char)(x < 8 ? 0 : 255);
    struct {
        const char* what;
        std::string entries;
        std::string data;
        bool mask;
    } cases[] = {
        {"gray JPEG", "/Width 16 /Height 8 /Filter /DCTDecode", testimg::MakeGrayJpeg(ramp, 16, 8), true},
        {"gray JPEG under Flate, declared at another size", "/Width 4 /Height 4 /Filter [/FlateDecode /DCTDecode]",
         Deflate(testimg::MakeGrayJpeg(ramp, 16, 8)), true},
        {"three components", "/Width 16 /Height 8 /Filter /DCTDecode",
         testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, 16, 8), false},
        {"not JPEG data", "/Width 16 /Height 8 /Filter /DCTDecode", "not a JPEG", false},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(15, std::string(kImage) + "/Width 2 /Height 1 /BitsPerComponent 8 "
                     "/ColorSpace /DeviceGray /SMask 16 0 R", "\x10\x20");
        b.Stream(16, std::string(kImage) + "/ColorSpace /DeviceGray /BitsPerComponent 8 " + c.entries,
                 c.data);
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(15), 0) << c.what;
        EXPECT_EQ(d.Info(15)->smaskObj, 16) << c.what;
        EXPECT_FALSE(FileExists(d.File("IMG_016.jpg"))) << c.what;
        if (!c.mask) {
            EXPECT_EQ(d.Entry(16)->path, nullptr) << c.what;
            continue;
        }
        ASSERT_NE(d.Info(16), nullptr) << c.what;
        EXPECT_EQ(d.Info(16)->width, 16) << c.what;
        EXPECT_EQ(d.Info(16)->height, 8) << c.what;
        testimg::Png p = d.Png("IMG_016.png");
        ASSERT_TRUE(p.ok) << c.what;
        EXPECT_LE(p.At(2, 4)[3], 8) << c.what;
        EXPECT_GE(p.At(13, 4)[3], 247) << c.what;
        EXPECT_EQ(Rgba(p, 13, 4).substr(0, 6), "0,0,0,") << c.what;
    }
}

// A /Mask array keys out the pixels whose samples, as stored, all lie within its ranges:
// the image is written with an alpha of its own. A soft mask takes the place of the key, and
// an array that does not fit the space keys nothing.
TEST(ImageExtract, ColourKeysBecomeTheImagesAlpha)
{
    const std::string rgb = testimg::StripeRgb(8, 1);  // red, green, blue, yellow, two pixels each
    struct {
        const char* what;
        std::string entries;
        std::string data;
        const char* alpha;  // of pixels 0, 2, 4 and 6
        const char* first;  // R,G,B of pixel 0: the colours stay what they are
    } cases[] = {
        {"RGB, blue keyed", "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Mask [0 0 0 0 250 255]", rgb,
         "255 255 0 255", "255,0,0"},
        {"RGB by reference", "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Mask 17 0 R", rgb,
         "255 0 255 255", "255,0,0"},
        {"4-bit indexes, index 2 keyed",
         "/BitsPerComponent 4 /ColorSpace [/Indexed /DeviceRGB 3 <FF0000 00FF00 0000FF FFFF00>] "
         "/Mask [2 2]", std::string("\x00\x11\x22\x33", 4), "255 255 0 255", "255,0,0"},
        {"gray at 1 bit", "/BitsPerComponent 1 /ColorSpace /DeviceGray /Mask [1 1]", "\x0F",
         "255 255 0 0", "0,0,0"},
        {"a tint image", "/BitsPerComponent 8 /ColorSpace [/Separation /S /DeviceGray 18 0 R] "
         "/Mask [0 10]", std::string("\x00\x00\x80\x80\xFF\xFF\x05\x05", 8), "0 255 255 0", "255,255,255"},
        {"a soft mask wins", "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Mask [0 0 0 0 250 255] "
         "/SMask 19 0 R", rgb, "255 255 255 255", "255,0,0"},
        {"too few numbers", "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Mask [0 0 0 0 250]", rgb,
         "255 255 255 255", "255,0,0"},
        {"not numbers", "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Mask [0 0 0 0 /A 255]", rgb,
         "255 255 255 255", "255,0,0"},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(15, std::string(kImage) + "/Width 8 /Height 1 " + c.entries, c.data);
        b.Object(17, "[0 0 250 255 0 0]");
        b.Object(18, "<< /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] /N 1 >>");
        b.Stream(19, std::string(kImage) + "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceGray",
                 "\xFF");
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(15), 0) << c.what;
        testimg::Png p = d.Png("IMG_015.png");
        ASSERT_TRUE(p.ok) << c.what;
        std::string alpha;
        for (int x = 0; x < 8; x += 2)
            alpha += (x ? " " : "") + std::to_string(p.At(x, 0)[3]);
        EXPECT_EQ(alpha, c.alpha) << c.what;
        EXPECT_EQ(Rgba(p, 0, 0).substr(0, strlen(c.first)), c.first) << c.what;
    }
}

// Images in the spaces fills are drawn in become gray or RGB files of the fills' colours, and
// JPEG data go through a decoding of their own where needed.
TEST(ImageExtract, SpacesOfFillsAndJpegColourTransforms)
{
    struct {
        const char* what;
        std::string entries;
        std::string data;
        const char* file;
        const char* first;  // R,G,B,A of pixel 0
    } cases[] = {
        {"CalRGB", "/BitsPerComponent 8 /ColorSpace [/CalRGB << /WhitePoint [0.9505 1 1.089] >>]",
         std::string("\x10\x20\x30\x00\x00\x00", 6), "IMG_015.png", "16,32,48,255"},
        {"CalGray by name, under Decode [1 0]", "/BitsPerComponent 8 /ColorSpace /CalGray /Decode [1 0]",
         std::string("\x00\x00", 2), "IMG_015.png", "255,255,255,255"},
        {"Lab", "/BitsPerComponent 8 /ColorSpace [/Lab << /WhitePoint [0.9642 1 0.8249] >>]",
         std::string("\x00\x80\x80\x00\x80\x80", 6), "IMG_015.png", "0,0,0,255"},
        {"Separation over CMYK", "/BitsPerComponent 8 /ColorSpace [/Separation /Spot /DeviceCMYK "
         "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 1 1 0] /N 1 >>]",
         std::string("\xFF\x00", 2), "IMG_015.png", "255,0,0,255"},
        {"DeviceN of five colorants", "/BitsPerComponent 8 /ColorSpace [/DeviceN [/A /B /C /D /E] "
         "/DeviceGray 18 0 R]", std::string("\x00\x00\x00\x00\xFF\x00\x00\x00\x00\x00", 10),
         "IMG_015.png", "0,0,0,255"},
        {"JPEG of RGB read without a transform", "/BitsPerComponent 8 /ColorSpace /DeviceRGB "
         "/Filter /DCTDecode /DecodeParms << /ColorTransform 0 >>",
         testimg::MakeRgbJpeg(testimg::StripeRgb(2, 1), 2, 1, testimg::JPEG_RGB_UNMARKED),
         "IMG_015.png", "255,0,0,255"},
        {"JPEG of RGB with its Adobe segment", "/BitsPerComponent 8 /ColorSpace /DeviceRGB "
         "/Filter [/DCTDecode] /DecodeParms [<< /ColorTransform 1 >>]",
         testimg::MakeRgbJpeg(testimg::StripeRgb(2, 1), 2, 1, testimg::JPEG_RGB_ADOBE),
         "IMG_015.png", "255,0,0,255"},
        {"JPEG of YCbCr passes through", "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /DCTDecode "
         "/DecodeParms 17 0 R", testimg::MakeRgbJpeg(testimg::StripeRgb(2, 1), 2, 1, testimg::JPEG_YCC_JFIF),
         "IMG_015.jpg", nullptr},
        {"JPEG in a Separation space", "/BitsPerComponent 8 /ColorSpace [/Separation /S /DeviceGray 19 0 R] "
         "/Filter /DCTDecode", testimg::MakeGrayJpeg(std::string(2, '\xFF'), 2, 1), "IMG_015.png",
         "0,0,0,255"},
    };
    for (const auto& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(15, std::string(kImage) + "/Width 2 /Height 1 " + c.entries, c.data);
        b.Object(17, "<< /ColorTransform 1 >>");
        b.Stream(18, "/FunctionType 4 /Domain [0 1 0 1 0 1 0 1 0 1] /Range [0 1]",
                 "{ 1 exch sub 5 1 roll pop pop pop pop }");
        b.Object(19, "<< /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] /N 1 >>");
        ImageDoc d(b);
        ASSERT_EQ(d.Extract(15), 0) << c.what;
        ASSERT_NE(d.Entry(15)->path, nullptr) << c.what;
        EXPECT_EQ(std::string(d.Entry(15)->path), d.File(c.file)) << c.what;
        if (!c.first)
            continue;
        testimg::Png p = d.Png(c.file);
        ASSERT_TRUE(p.ok) << c.what;
        const unsigned char* px = p.At(0, 0);
        int want[4];
        ASSERT_EQ(sscanf(c.first, "%d,%d,%d,%d", &want[0], &want[1], &want[2], &want[3]), 4);
        for (int i = 0; i < 4; i++)
            EXPECT_NEAR(px[i], want[i], 8) << c.what << ": " << Rgba(p, 0, 0);
    }
}
