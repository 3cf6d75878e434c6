// Rotated pages through the whole program: the page gets the turned size, and text, an image
// and a clip show upright where a PDF reader shows them, in both readers.
#include <gtest/gtest.h>

#include <string>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

using testutil::Quote;
using testutil::Raster;
using testutil::Render;

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";
const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A 300 × 200 box away from the origin, so that a turn that forgets the box's corner shows.
// Nothing on it is symmetric: text near the top left, a clipped triangle below it, the
// stripe image at the right and a black square in the bottom right corner.
const char* kBox = "[50 20 350 220]";
const char* kContent =
    "BT /F1 40 Tf 70 170 Td (Rot) Tj ET\n"
    "q 60 40 m 180 40 l 60 140 l h W n 0 0 1 rg 50 20 300 200 re f Q\n"
    "q 80 0 0 60 230 110 cm /Im0 Do Q\n"
    "0 g 310 30 30 30 re f\n";

// `pagesRotate` goes on the Pages node and `pageRotate` on the page; either may be empty.
std::string RotatedPdf(const std::string& pagesRotate, const std::string& pageRotate)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox " + std::string(kBox) +
                    (pagesRotate.empty() ? "" : " /Rotate " + pagesRotate) + " >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R " +
                    (pageRotate.empty() ? "" : "/Rotate " + pageRotate + " ") +
                    "/Resources << /Font << /F1 6 0 R >> /XObject << /Im0 5 0 R >> >> >>");
    b.Stream(4, "", kContent);
    b.Stream(5,
             "/Type /XObject /Subtype /Image /Width 16 /Height 8 /BitsPerComponent 8 "
             "/ColorSpace /DeviceRGB",
             testimg::StripeRgb(16, 8));
    // An embedded TrueType font, so that the text is written as text.
    b.Object(6, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans "
                "/Encoding /WinAnsiEncoding /FontDescriptor 7 0 R >>");
    b.Object(7, "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 "
                "/FontBBox [-1021 -463 1793 1232] /ItalicAngle 0 /Ascent 928 /Descent -236 "
                "/CapHeight 729 /StemV 80 /FontFile2 8 0 R >>");
    b.Stream(8, "", testutil::ReadFile(kDejaVu));
    b.ClassicXref();
    return b.Bytes();
}

TEST(RotatedPageEndToEnd, PagesShowAsAReaderTurnsThem)
{
    struct Case {
        const char* what;
        std::string pagesRotate, pageRotate;
        int width, height;  // rendering at 72 dpi
        bool compare;       // the PDF's own rendering is the reference
    };
    const Case cases[] = {
        {"no Rotate", "", "", 300, 200, true},
        {"0 from the Pages node", "0", "", 300, 200, true},
        {"90 from the Pages node", "90", "", 200, 300, true},
        {"180 from the Pages node", "180", "", 300, 200, true},
        {"270 from the Pages node", "270", "", 200, 300, true},
        {"the page's own 180 wins over the node's 90", "90", "180", 300, 200, true},
        {"-90 is 270", "-90", "", 200, 300, true},
        {"450 is 90", "450", "", 200, 300, true},
        {"-540 is 180", "", "-540", 300, 200, true},
        {"a real 270.0", "", "270.0", 200, 300, true},
        // Not a quarter turn: readers differ, the page stays upright here.
        {"45 is ignored", "", "45", 300, 200, false},
        {"a name is ignored", "", "/R90", 300, 200, true},
    };
    if (!testutil::FileExists(kDejaVu))
        GTEST_SKIP() << "no " << kDejaVu;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir tmp;
        std::string pdf = tmp.file("r.pdf");
        ASSERT_TRUE(testutil::WriteFile(pdf, RotatedPdf(c.pagesRotate, c.pageRotate)));
        std::string err;
        ASSERT_EQ(testutil::RunCommand("cd " + Quote(tmp.path()) + " && TMPDIR=. " +
                                       Quote(kVardex) + " -q -o out r.pdf 2>&1", &err),
                  0)
            << err;
        std::string package = tmp.file("out/r.XPS");

        std::string report;
        EXPECT_TRUE(xpstest::XpsCheckPasses(package, &report)) << report;
        EXPECT_TRUE(testutil::OpensInXpstopng(package, tmp.path()));
        std::string page;
        testutil::RunCommand("unzip -p " + Quote(package) + " 'Documents/1/Pages/1.fpage'", &page);
        EXPECT_NE(page.find("<Glyphs"), std::string::npos) << "the text is no longer text";

        Raster got;
        ASSERT_TRUE(Render(package, 72, &got, tmp.path()));
        EXPECT_NEAR(got.width, c.width, 1);
        EXPECT_NEAR(got.height, c.height, 1);
        if (!c.compare)
            continue;
        Raster want;
        ASSERT_TRUE(Render(pdf, 72, &want, tmp.path()));
        ASSERT_EQ(want.width, got.width);
        ASSERT_EQ(want.height, got.height);
        EXPECT_LE(testutil::Unmatched(want, got), 0.01);
        EXPECT_LE(testutil::Unmatched(got, want), 0.01);
    }
}

}  // namespace
