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

// Writes `pdf` as NAME.pdf in `t`, converts it and renders page 1 of both at 72 dpi:
// want.png (the PDF by mutool), m.png (the package by mutool) and g-1.png (by xpstopng).
void ConvertAndRender(const testutil::TempDir& t, const std::string& name, const std::string& pdf)
{
    ASSERT_TRUE(testutil::WriteFile(t.file(name + ".pdf"), pdf));
    std::string out;
    ASSERT_EQ(0, testutil::RunCommand("cd " + Quote(t.path()) + " && mkdir tmp && TMPDIR=tmp " +
                                          Quote(kVardex) + " -q -t tmp -o out " + name + ".pdf 2>&1",
                                      &out))
        << out;
    const std::string xps = t.file("out/" + name + ".XPS");
    ASSERT_EQ(0, testutil::RunCommand("mutool draw -q -r 72 -o " + Quote(t.file("want.png")) + " " +
                                          Quote(t.file(name + ".pdf")) + " 1 2>&1", &out)) << out;
    ASSERT_EQ(0, testutil::RunCommand("mutool draw -q -r 72 -o " + Quote(t.file("m.png")) + " " +
                                          Quote(xps) + " 1 2>&1", &out)) << out;
    ASSERT_EQ(0, testutil::RunCommand("xpstopng -r 72 " + Quote(xps) + " " + Quote(t.file("g")) +
                                          " 2>&1", &out)) << out;
}

TEST(ColourEndToEnd, ColoursAndOpacitiesLookLikeThePdf)
{
    if (!testutil::HaveTool("mutool") || !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "no reader";
    testutil::TempDir t;
    ASSERT_NO_FATAL_FAILURE(ConvertAndRender(t, "c", MakePdf()));

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


// One fixture per colour space and use: each row is the region of the page it paints.
struct SpaceRow {
    const char* what;
    int x0, y0, x1, y1;  // PDF points
    bool gxps;           // also held to xpstopng's rendering
};
const SpaceRow kSpaceRows[] = {
    {"Separation fill through a calculator tint transform", 10, 140, 60, 190, true},
    {"Separation stroke", 65, 140, 125, 190, true},
    {"DeviceN fill", 130, 140, 180, 190, true},
    {"Lab fill", 190, 140, 240, 190, true},
    {"Indexed fill", 250, 140, 290, 190, true},
    {"CalGray fill", 10, 80, 60, 130, true},
    {"Separation text", 65, 80, 125, 130, true},
    {"Lab text", 128, 80, 185, 130, true},
    {"CMYK shading stops (white to red)", 190, 80, 290, 130, true},
    {"sampled stitching shading over Domain [0 13]", 10, 10, 140, 70, true},
    // mutool's XPS reader pads past the last stop with the opaque stop before a transparent
    // one at the same offset, so the end that does not extend (x 270..290) is left out of
    // its comparison; xpstopng leaves it unpainted, as the PDF does.
    {"Separation shading stops", 150, 10, 268, 70, true},
    {"Separation shading, unpainted past its end", 272, 10, 290, 70, true},
};

std::string SpacesPdf()
{
    const std::string content =
        "/Sp cs 0.8 sc 10 140 50 50 re f\n"
        "/Sp CS 0.5 SC 8 w 70 145 m 120 185 l S\n"
        "/DN cs 0.2 0.9 scn 130 140 50 50 re f\n"
        "/Lab cs 60 40 -50 sc 190 140 50 50 re f\n"
        "/Idx cs 1 sc 250 140 40 50 re f\n"
        "/CalG cs 0.3 sc 10 80 50 50 re f\n"
        "BT /F 36 Tf /Sp cs 1 sc 70 90 Td (Ab) Tj ET\n"
        "BT /F 36 Tf /Lab cs 40 -60 40 sc 130 90 Td (Cd) Tj ET\n"
        "q 190 80 100 50 re W n /S1 sh Q\n"
        "q 10 10 130 60 re W n /S2 sh Q\n"
        "q 150 10 140 60 re W n /S3 sh Q\n";
    std::string encode, parts;
    for (int i = 0; i < 13; i++) {
        encode += "0 1 ";
        parts += "11 0 R ";
    }
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 4 0 R "
                "/Contents 12 0 R >>");
    b.Object(4, "<< /ColorSpace << /Sp [/Separation /Spot /DeviceCMYK 5 0 R] "
                "/DN [/DeviceN [/A /B] /DeviceRGB 6 0 R] /Lab [/Lab << /WhitePoint [0.9505 1 1.089] >>] "
                "/Idx [/Indexed /DeviceRGB 2 <FF80000080FF20C040>] "
                "/CalG [/CalGray << /WhitePoint [0.9505 1 1.089] >>] >> "
                "/Shading << /S1 7 0 R /S2 8 0 R /S3 9 0 R >> "
                "/Font << /F << /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >> >> >>");
    b.Stream(5, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1 0 1]",
             "{ dup 0.9 mul exch dup 0.2 mul exch 0 exch 0.1 mul }");
    b.Stream(6, "/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]", "{ 0.5 }");
    b.Object(7, "<< /ShadingType 2 /ColorSpace /DeviceCMYK /Coords [190 0 290 0] /Function "
                "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 1 1 0] /N 1 >> >>");
    b.Object(8, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [10 0 140 0] /Domain [0 13] "
                "/Function 10 0 R >>");
    b.Object(9, "<< /ShadingType 2 /ColorSpace [/Separation /Spot /DeviceCMYK 5 0 R] "
                "/Coords [170 0 270 0] /Function << /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] "
                "/N 1 >> >>");
    b.Object(10, "<< /FunctionType 3 /Domain [0 13] /Bounds [1 2 3 4 5 6 7 8 9 10 11 12] /Encode [" +
                     encode + "] /Functions [" + parts + "] >>");
    b.Stream(11, "/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [2] /BitsPerSample 8",
             std::string("\xff\x20\x20\x20\x20\xff", 6));
    b.Stream(12, "", content);
    b.ClassicXref();
    return b.Bytes();
}

TEST(ColourEndToEnd, EverySpaceAndUseLooksLikeThePdf)
{
    if (!testutil::HaveTool("mutool") || !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "no reader";
    testutil::TempDir t;
    ASSERT_NO_FATAL_FAILURE(ConvertAndRender(t, "s", SpacesPdf()));
    testimg::Png want = testimg::ReadPng(t.file("want.png"));
    ASSERT_TRUE(want.ok);
    for (const std::string& file : {t.file("m.png"), t.file("g-1.png")}) {
        SCOPED_TRACE(file);
        const bool gxps = file == t.file("g-1.png");
        testimg::Png got = testimg::ReadPng(file);
        ASSERT_TRUE(got.ok);
        for (const SpaceRow& row : kSpaceRows) {
            if (!gxps && row.x0 >= 270)
                continue;
            if (gxps && !row.gxps)
                continue;
            // A pixel is off when no pixel of the PDF's rendering beside it (one to the left or
            // right) matches it either: sharp colour edges, such as the bands of a repeated
            // gradient, may fall a pixel apart in the two readers' sampling.
            int off = 0, all = 0;
            for (int y = 200 - row.y1; y < 200 - row.y0; y++)
                for (int x = row.x0; x < row.x1; x++, all++) {
                    int best = 255;
                    for (int dx = -1; dx <= 1; dx++)
                        best = std::min(best, MaxChannelDifference(want.At(x + dx, y), got.At(x, y)));
                    off += best > 40;
                }
            EXPECT_LE(off, all / 50) << row.what << ": " << off << " of " << all << " pixels differ";
        }
    }
}

}  // namespace
