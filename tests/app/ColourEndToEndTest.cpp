// Colours and transparency through the whole converter: the package drawn by both readers
// must look like the PDF drawn by mutool, colour for colour.
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestImages.h"
#include "TestUtil.h"

namespace {

using testutil::Quote;

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

// Patches of 50 points on a 300 x 200 page; each probe is the middle of one.
const char* const kContent =
    "1 0 0 rg 10 140 50 50 re f\n"                       // RGB red
    "0.5 g 70 140 50 50 re f\n"                          // gray
    "1 0 0 0 k 130 140 50 50 re f\n"                     // CMYK cyan
    "/DeviceCMYK cs 0 1 0 0 sc 190 140 50 50 re f\n"     // CMYK magenta through a space
    "0 0 0 1 k 250 140 40 50 re f\n"                     // CMYK black
    "q /Half gs 0 0 1 rg 10 80 50 50 re f Q\n"           // half-transparent blue
    "1 0 0 rg 70 80 50 50 re f\n"                        // red under ...
    "q /Half gs 0 0 1 rg 95 80 50 50 re f Q\n"           // ... half-transparent blue
    "q /Half gs 0 G 20 w 160 105 m 230 105 l S Q\n"      // half-transparent black line
    "-0.1 1.2 -0.1 rg 10 20 50 50 re f\n"                // out of range: green
    "0 0 0 1.2 k 70 20 50 50 re f\n"                     // out of range: black
    "q 1 0 0 1 130 20 cm /F Do Q\n"                      // a form
    "q 1 0 0 1 160 20 cm /G Do Q\n";                     // a form that draws the form

// How far a reader may stray from the PDF's rendering in any channel. CMYK colours go through
// the package's profile, which one reader applies and the PDF reader does not (it converts
// cyan, for one, to 0,255,255 instead of about 0,175,240), so they get more room.
const int kDeviceTolerance = 48;
const int kProfileTolerance = 120;

// Where the colour patches painted in CMYK lie, in PDF points.
bool InCmykPatch(int x, int y)
{
    return y >= 140 && y <= 190 && x >= 130 && x <= 290;
}

struct Probe {
    const char* what;
    int x, y;  // PDF points
};
const Probe kProbes[] = {
    {"red", 35, 165},
    {"gray", 95, 165},
    {"cyan", 155, 165},
    {"magenta", 215, 165},
    {"black", 270, 165},
    {"translucent blue", 35, 105},
    {"red alone", 80, 105},
    {"blue over red", 108, 105},
    {"blue alone", 135, 105},
    {"translucent line", 195, 105},
    {"clamped green", 35, 45},
    {"clamped black", 95, 45},
    {"form", 140, 40},
    {"form in a form", 170, 40},
    {"white", 200, 45},
};

int Tolerance(int x, int y)
{
    return InCmykPatch(x, y) ? kProfileTolerance : kDeviceTolerance;
}

std::string MakePdf()
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 4 0 R "
                "/Contents 5 0 R >>");
    b.Object(4, "<< /ExtGState << /Half << /ca 0.5 /CA 0.5 >> >> /XObject << /F 6 0 R /G 7 0 R >> >>");
    b.Stream(5, "/Filter /FlateDecode", testpdf::Deflate(kContent));
    // F has no resources of its own; G names F through its own.
    b.Stream(6, "/Type /XObject /Subtype /Form /BBox [0 0 20 40]", "0 0.5 0 rg 0 0 20 40 re f");
    b.Stream(7, "/Type /XObject /Subtype /Form /BBox [0 0 20 40] /Resources << /XObject << /F 6 0 R >> >>",
             "/F Do");
    b.ClassicXref();
    return b.Bytes();
}

int MaxChannelDifference(const unsigned char* a, const unsigned char* b)
{
    int d = 0;
    for (int i = 0; i < 3; i++)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

TEST(ColourEndToEnd, ColoursAndOpacitiesLookLikeThePdf)
{
    if (!testutil::HaveTool("mutool") || !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "no reader";
    testutil::TempDir t;
    ASSERT_TRUE(testutil::WriteFile(t.file("c.pdf"), MakePdf()));
    std::string out;
    ASSERT_EQ(0, testutil::RunCommand("cd " + Quote(t.path()) + " && mkdir tmp && TMPDIR=tmp " +
                                          Quote(kVardex) + " -q -t tmp -o out c.pdf 2>&1",
                                      &out))
        << out;
    const std::string xps = t.file("out/c.XPS");
    ASSERT_EQ(0, testutil::RunCommand("mutool draw -q -r 72 -o " + Quote(t.file("want.png")) + " " +
                                          Quote(t.file("c.pdf")) + " 1 2>&1", &out)) << out;
    ASSERT_EQ(0, testutil::RunCommand("mutool draw -q -r 72 -o " + Quote(t.file("m.png")) + " " +
                                          Quote(xps) + " 1 2>&1", &out)) << out;
    ASSERT_EQ(0, testutil::RunCommand("xpstopng -r 72 " + Quote(xps) + " " + Quote(t.file("g")) +
                                          " 2>&1", &out)) << out;

    testimg::Png want = testimg::ReadPng(t.file("want.png"));
    ASSERT_TRUE(want.ok);
    ASSERT_EQ(300, want.width);
    ASSERT_EQ(200, want.height);
    for (const std::string& file : {t.file("m.png"), t.file("g-1.png")}) {
        SCOPED_TRACE(file);
        testimg::Png got = testimg::ReadPng(file);
        ASSERT_TRUE(got.ok);
        // Page units of 4/3 pixel may round to one pixel more.
        ASSERT_NEAR(want.width, got.width, 1);
        ASSERT_NEAR(want.height, got.height, 1);
        for (const Probe& p : kProbes) {
            const unsigned char* w = want.At(p.x, 200 - p.y);
            const unsigned char* g = got.At(p.x, 200 - p.y);
            EXPECT_LE(MaxChannelDifference(w, g), Tolerance(p.x, p.y))
                << p.what << ": " << (int)g[0] << "," << (int)g[1] << "," << (int)g[2] << " for "
                << (int)w[0] << "," << (int)w[1] << "," << (int)w[2];
        }
        // Away from the edges, the whole page agrees.
        int differing = 0;
        for (int y = 0; y < want.height; y++)
            for (int x = 0; x < want.width; x++)
                differing += MaxChannelDifference(want.At(x, y), got.At(x, y)) > Tolerance(x, 200 - y);
        EXPECT_LE(differing, want.width * want.height / 50);
    }
}

}  // namespace
