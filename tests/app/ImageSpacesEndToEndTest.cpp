// Images in every colour space and their masks through the whole converter: each package
// page, drawn by both readers, must look like the PDF page drawn by mutool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "HostileDocs.h"
#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

using testutil::Quote;
using testutil::RunCommand;

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

// Each case draws one 100 x 100 image at one pixel per point, so that no reader has to
// scale it; pages are 220 x 120 points with two cases side by side.
struct Case {
    const char* what;
    std::string content;  // drawn with the square's placement; /Im names object `num`
    std::vector<testpdf::ExtraObject> objects;
    bool gxps = true;  // whether xpstopng is judged too
};

const int kSide = 100;

std::string Image(const std::string& entries)
{
    return "/Type /XObject /Subtype /Image /Width 100 /Height 100 " + entries;
}

// A 1-bit mask of the square: rows of 13 bytes, the top half 0 bits and the bottom half 1.
std::string HalfMask(bool topPainted)
{
    std::string m;
    for (int y = 0; y < kSide; y++)
        m += std::string(13, (y < kSide / 2) == topPainted ? '\x00' : '\xFF');
    return m;
}

// Four stripes of Lab colours inside the sRGB gamut, as indexes 0 to 3 and their palette
// (L, a + 128, b + 128 over Range [-128 127 -128 127]).
std::string LabPalette()
{
    return "<88D0C3 B0406A 70AA50 8080C0>";
}

std::string StripeIndexes()
{
    std::string idx;
    for (int y = 0; y < kSide; y++)
        for (int x = 0; x < kSide; x++)
            idx += (char)(x * 4 / kSide);
    return idx;
}

// Case i's objects are numbered from Base(i); the image drawn is the first of them.
int Base(int i)
{
    return 100 + 10 * i;
}

std::vector<Case> Cases()
{
    const std::string cmyk = testimg::StripeCmyk(kSide, kSide);
    const std::string inverse = "/Decode [1 0 1 0 1 0 1 0] ";
    std::vector<Case> c;
    // The case about to be added: its first object number, and the second as text.
    int n = Base(0);
    std::string second = std::to_string(n + 1);
    auto add = [&](Case one) {
        c.push_back(std::move(one));
        n = Base((int)c.size());
        second = std::to_string(n + 1);
    };
    add({"DeviceCMYK image", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /FlateDecode"),
           testpdf::Deflate(cmyk), true}}});
    add({"ICC image of four components", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace [/ICCBased " + second +
                    " 0 R] /Filter /FlateDecode"),
           testpdf::Deflate(cmyk), true},
          {n + 1, "/N 4 /Alternate /DeviceCMYK", "not a profile", true}}});
    add({"CMYK JPEG", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /DCTDecode"),
           testimg::MakeCmykJpeg(kSide, kSide), true}}});
    add({"inverted YCCK JPEG under Decode", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /DCTDecode " + inverse),
           testimg::MakeCmykJpeg(kSide, kSide, true, true), true}}});
    add({"indexed over Lab", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace [/Indexed [/Lab << /WhitePoint "
                    "[0.9505 1 1.089] /Range [-128 127 -128 127] >>] 3 " + LabPalette() +
                    "] /Filter /FlateDecode"),
           testpdf::Deflate(StripeIndexes()), true}}});
    add({"image mask in red", "1 0 0 rg /Im Do",
         {{n, Image("/ImageMask true"), HalfMask(true), true}}});
    add({"image mask under Decode [1 0], in blue", "0 0 1 rg /Im Do",
         {{n, Image("/ImageMask true /Decode [1 0] /Filter /FlateDecode"),
           testpdf::Deflate(HalfMask(true)), true}}});
    add({"RGB image under a stencil /Mask", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace /DeviceRGB /Mask " + second + " 0 R"),
           testimg::StripeRgb(kSide, kSide), true},
          {n + 1, Image("/ImageMask true"), HalfMask(false), true}}});
    add({"JPEG under a stencil /Mask", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /DCTDecode /Mask " +
                    second + " 0 R"),
           testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, kSide, kSide), true},
          {n + 1, Image("/ImageMask true /Decode [1 0]"), HalfMask(true), true}},
         // The JPEG's colour halves are subsampled, and xpstopng's decoder fills them in
         // otherwise than mutool's at the stripes' sharp edges (some 40 levels for 3 pixels
         // each side): a difference of the passed-through JPEG, not of the mask.
         false});
    add({"inline CMYK image", "BI /W 100 /H 100 /BPC 8 /CS /CMYK ID " + cmyk + " EI", {}});
    add({"inline image mask under /D [1 0], in green",
         "0 0.6 0 rg BI /IM true /W 100 /H 100 /D [1 0] ID " + HalfMask(true) + " EI", {}});
    add({"progressive CMYK JPEG", "/Im Do",
         {{n, Image("/BitsPerComponent 8 /ColorSpace /DeviceCMYK /Filter /DCTDecode"),
           testimg::MakeCmykJpeg(kSide, kSide, false, false, true), true}}});
    return c;
}

// How many pixels of two renderings differ by more than 40 in some channel.
int Differing(const testimg::Png& a, const testimg::Png& b)
{
    int n = 0;
    for (int y = 0; y < a.height && y < b.height; y++)
        for (int x = 0; x < a.width && x < b.width; x++) {
            const unsigned char *p = a.At(x, y), *q = b.At(x, y);
            for (int i = 0; i < 3; i++)
                if (std::abs(p[i] - q[i]) > 40) {
                    n++;
                    break;
                }
        }
    return n;
}

}  // namespace

TEST(ImageSpacesEndToEnd, EveryKindLooksLikeThePdfInBothReaders)
{
    if (!testutil::FileExists(kVardex) || !testutil::HaveTool("mutool") ||
        !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "needs the converter, mutool and xpstopng";

    const std::vector<Case> cases = Cases();
    const int pages = ((int)cases.size() + 1) / 2;
    ASSERT_LE(pages, 9);  // one-digit page numbers in the readers' file names

    testpdf::PdfBuilder b;
    std::string kids;
    for (int p = 0; p < pages; p++)
        kids += std::to_string(10 + 2 * p) + " 0 R ";
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int p = 0; p < pages; p++) {
        std::string content, xobjects;
        for (int k = 0; k < 2 && 2 * p + k < (int)cases.size(); k++) {
            int i = 2 * p + k;
            content += "q 100 0 0 100 " + std::to_string(10 + 100 * k) + " 10 cm " +
                       cases[i].content + " Q\n";
            if (!cases[i].objects.empty())
                xobjects += "/Im" + std::to_string(k) + " " + std::to_string(Base(i)) + " 0 R ";
            size_t at;
            while ((at = content.find("/Im Do")) != std::string::npos)
                content.replace(at, 6, "/Im" + std::to_string(k) + " Do");
            for (const auto& o : cases[i].objects)
                b.Stream(o.num, o.entries, o.data);
        }
        b.Object(10 + 2 * p, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 220 120] "
                             "/Resources << /XObject << " + xobjects + ">> >> /Contents " +
                                 std::to_string(11 + 2 * p) + " 0 R >>");
        b.Stream(11 + 2 * p, "", content);
    }
    b.ClassicXref();

    testutil::TempDir dir;
    ASSERT_TRUE(testutil::WriteFile(dir.file("im.pdf"), b.Bytes()));
    std::string out;
    ASSERT_EQ(RunCommand("cd " + Quote(dir.path()) + " && mkdir tmp && " + Quote(kVardex) +
                             " -q -t tmp -o out im.pdf 2>&1", &out), 0) << out;
    const std::string xps = dir.file("out/im.XPS");
    std::string report;
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << report;
    ASSERT_EQ(RunCommand("mutool draw -q -r 72 -o " + Quote(dir.file("pdf-%d.png")) + " " +
                         Quote(dir.file("im.pdf")) + " 2>&1", &out), 0) << out;
    ASSERT_EQ(RunCommand("mutool draw -q -r 72 -o " + Quote(dir.file("mu-%d.png")) + " " +
                         Quote(xps) + " 2>&1", &out), 0) << out;
    ASSERT_EQ(RunCommand("xpstopng -r 72 " + Quote(xps) + " " + Quote(dir.file("gx")) + " 2>&1",
                         &out), 0) << out;

    for (int p = 0; p < pages; p++) {
        const std::string num = std::to_string(p + 1);
        testimg::Png want = testimg::ReadPng(dir.file("pdf-" + num + ".png"));
        ASSERT_TRUE(want.ok);
        for (const std::string reader : {"mu-", "gx-"}) {
            testimg::Png got = testimg::ReadPng(dir.file(reader + num + ".png"));
            ASSERT_TRUE(got.ok) << reader << num;
            // Page units of 4/3 pixel may round to one pixel more.
            ASSERT_NEAR(want.width, got.width, 1);
            ASSERT_NEAR(want.height, got.height, 1);
            // Each half of the page is one case.
            for (int k = 0; k < 2 && 2 * p + k < (int)cases.size(); k++) {
                const Case& c = cases[2 * p + k];
                if (reader == "gx-" && !c.gxps)
                    continue;
                testimg::Png half[2];
                for (int h = 0; h < 2; h++) {
                    const testimg::Png& src = h == 0 ? want : got;
                    half[h].width = 110;
                    half[h].height = want.height;
                    for (int y = 0; y < want.height; y++)
                        half[h].rgba.insert(half[h].rgba.end(), src.At(110 * k, y),
                                            src.At(110 * k, y) + 110 * 4);
                }
                int differing = Differing(half[0], half[1]);
                EXPECT_LE(differing, 110 * want.height / 50)
                    << c.what << " by " << (reader == "mu-" ? "mutool" : "xpstopng");
            }
        }
    }
}
