#include <gtest/gtest.h>

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
        {"CalRGB", gray4x2 + "/ColorSpace [/CalRGB << >>]", std::string(24, 'x')},
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
