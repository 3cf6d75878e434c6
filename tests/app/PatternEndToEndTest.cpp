// Shadings, patterns and dashes through the whole converter, judged by pixel probes: at each probe
// the package drawn by `mutool draw` and by `xpstopng` must show the colour that the PDF's
// own rendering by `mutool draw` shows there.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"

namespace {

using testutil::Quote;

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

struct Rgb {
    int r = -1, g = -1, b = -1;
};

// An RGB picture of page 1 at 72 dpi: one pixel per PDF point.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> px;  // RGB rows, top row first
    // The pixel covering the PDF point (x, y), y measured from the bottom of the page.
    Rgb At(int x, int y) const
    {
        Rgb c;
        int row = height - 1 - y;
        if (x < 0 || row < 0 || x >= width || row >= height)
            return c;
        const unsigned char* p = &px[((size_t)row * width + x) * 3];
        c.r = p[0];
        c.g = p[1];
        c.b = p[2];
        return c;
    }
};

Picture ByMutool(const std::string& file, const std::string& work)
{
    Picture pic;
    std::string ppm = work + "/probe.ppm";
    remove(ppm.c_str());
    if (testutil::RunCommand("mutool draw -q -r 72 -c rgb -o " + Quote(ppm) + " " + Quote(file) +
                             " 1 >/dev/null 2>&1") != 0)
        return pic;
    std::string data = testutil::ReadFile(ppm);
    std::istringstream in(data);
    std::string magic;
    int maxval = 0;
    in >> magic >> pic.width >> pic.height >> maxval;
    in.get();
    size_t start = (size_t)in.tellg();
    size_t n = (size_t)pic.width * pic.height * 3;
    if (magic != "P6" || maxval != 255 || pic.width <= 0 || pic.height <= 0 || data.size() < start + n)
        return Picture();
    pic.px.assign(data.begin() + (long)start, data.begin() + (long)(start + n));
    return pic;
}

Picture ByXpstopng(const std::string& package, const std::string& work)
{
    Picture pic;
    std::string prefix = work + "/gx";
    std::string png = prefix + "-1.png";
    remove(png.c_str());
    if (testutil::RunCommand("xpstopng -r 72 -f 1 -l 1 " + Quote(package) + " " + Quote(prefix) +
                             " >/dev/null 2>&1") != 0)
        return pic;
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, png.c_str()))
        return pic;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> buf(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buf.data(), 0, nullptr)) {
        png_image_free(&image);
        return pic;
    }
    pic.width = (int)image.width;
    pic.height = (int)image.height;
    pic.px = std::move(buf);
    return pic;
}

// One page of 200 x 200 points with the given resources and content, and further objects.
std::string MakePdf(const std::string& resources, const std::string& content,
                    const std::vector<std::pair<int, std::string>>& objects,
                    const std::vector<std::pair<int, std::pair<std::string, std::string>>>& streams = {})
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources " + resources +
                    " /Contents 4 0 R >>");
    b.Stream(4, "", content);
    for (const auto& o : objects)
        b.Object(o.first, o.second);
    for (const auto& s : streams)
        b.Stream(s.first, s.second.first, s.second.second);
    b.ClassicXref();
    return b.Bytes();
}

const char* kRedToBlue = "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>";

struct Probe {
    int x, y;
    Rgb want;  // roughly, in the PDF's own rendering: the fixture draws what it means to
};

const Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kMid{127, 0, 127}, kWhite{255, 255, 255},
    kGreen{0, 255, 0}, kBlack{0, 0, 0};

bool Near(Rgb a, Rgb b, int tolerance)
{
    return a.r >= 0 && b.r >= 0 && abs(a.r - b.r) <= tolerance && abs(a.g - b.g) <= tolerance &&
           abs(a.b - b.b) <= tolerance;
}

std::string Text(Rgb c)
{
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

struct Case {
    const char* what;
    std::string pdf;
    std::vector<Probe> probes;
    // xpstopng applies the Transform of a gradient brush inverted (a scale of 2 draws the
    // gradient at half size): it is asked only where the brush transform is the identity.
    bool gxps = true;
};

// Converts each case and compares the probes of both readers' renderings of the package with
// the PDF's own rendering.
template <size_t N>
void ProbeAll(const Case (&cases)[N])
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir dir;
        ASSERT_TRUE(testutil::WriteFile(dir.file("x.pdf"), c.pdf));
        ASSERT_EQ(testutil::RunCommand("mkdir " + Quote(dir.file("tmp"))), 0);
        ASSERT_EQ(testutil::RunCommand("cd " + Quote(dir.path()) + " && " + Quote(kVardex) +
                                       " -q -t tmp -o out x.pdf >/dev/null 2>&1"),
                  0);
        std::string package = dir.file("out/x.XPS");
        std::string report;
        EXPECT_EQ(testutil::RunCommand("unzip -p " + Quote(package) + " Documents/1/Pages/1.fpage | "
                                       "xmllint --noout - 2>&1", &report), 0) << report;
        Picture pdf = ByMutool(dir.file("x.pdf"), dir.path());
        Picture mu = ByMutool(package, dir.path());
        Picture gx = ByXpstopng(package, dir.path());
        // Page units are 4/3 of a point: a reader may round the size up by a pixel.
        ASSERT_EQ(pdf.width, 200);
        ASSERT_NEAR(mu.width, 200, 1) << "mutool draw cannot render the package";
        ASSERT_NEAR(gx.width, 200, 1) << "xpstopng cannot render the package";
        ASSERT_NEAR(gx.height, 200, 1);
        for (const Probe& p : c.probes) {
            SCOPED_TRACE("at " + std::to_string(p.x) + "," + std::to_string(p.y));
            Rgb ref = pdf.At(p.x, p.y);
            ASSERT_TRUE(Near(ref, p.want, 40)) << "the PDF shows " << Text(ref);
            EXPECT_TRUE(Near(mu.At(p.x, p.y), ref, 40)) << "mutool " << Text(mu.At(p.x, p.y)) << " vs " << Text(ref);
            if (c.gxps) {
                EXPECT_TRUE(Near(gx.At(p.x, p.y), ref, 40)) << "xpstopng " << Text(gx.At(p.x, p.y)) << " vs " << Text(ref);
            }
        }
    }
}

TEST(PatternEndToEnd, GradientsAndTilesWhereThePdfHasThem)
{
    const std::string axial = std::string("<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords ") +
                              "[0 0 100 0] /Extend [true true] /Function " + kRedToBlue + " >>";
    const std::string stroked = std::string("<< /PatternType 2 /Shading << /ShadingType 2 ") +
                                "/ColorSpace /DeviceRGB /Coords [20 0 180 0] /Extend [true true] "
                                "/Function " + kRedToBlue + " >> >>";
    // Without its closing ">>".
    const std::string radial = std::string("<< /PatternType 2 /Shading << /ShadingType 3 ") +
                               "/ColorSpace /DeviceRGB /Coords [100 100 0 100 100 80] "
                               "/Extend [true true] /Function " + kRedToBlue + " >>";
    const std::string tile = "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [10 10 30 30] "
                             "/XStep 20 /YStep 20 /Resources << >>";
    // Streams that name a shading and a pattern without resources of their own: a form, and
    // the glyph of a Type 3 font. A green shading clipped to the left part, a blue tiled
    // right part.
    const std::string green = "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 0] "
                              "/Extend [true true] /Function << /FunctionType 2 /Domain [0 1] "
                              "/C0 [0 1 0] /C1 [0 1 0] /N 1 >> >>";
    const std::string blueTile = "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] "
                                 "/XStep 10 /YStep 10";
    const std::string named = "/Shading << /Sh0 5 0 R >> /Pattern << /P0 7 0 R >>";
    const std::string glyph = "100 0 d0 q 0 0 40 100 re W n /Sh0 sh Q /Pattern cs /P0 scn 60 0 40 100 re f";
    auto type3 = [&](const std::string& ownResources) {
        return "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 100 100] /FontMatrix [0.01 0 0 0.01 0 0] "
               "/CharProcs << /a 9 0 R >> /Encoding << /Type /Encoding /Differences [97 /a] >> "
               "/FirstChar 97 /LastChar 97 /Widths [100]" + ownResources + " >>";
    };
    const std::vector<Probe> glyphProbes = {
        {70, 100, kGreen}, {130, 100, kBlue}, {100, 100, kWhite}, {20, 20, kWhite}};
    const Case cases[] = {
        // Under a rotated CTM the page corners are still painted.
        {"axial sh under a rotation",
         MakePdf("<< /Shading << /Sh0 5 0 R >> >>", "0.7071 0.7071 -0.7071 0.7071 100 30 cm /Sh0 sh",
                 {{5, axial}}),
         {{8, 8, kRed}, {191, 191, kBlue}, {191, 8, kMid}, {8, 191, kMid}}},
        {"radial shading pattern",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern cs /P0 scn 20 20 160 160 re f",
                 {{5, radial + " >>"}}),
         {{100, 100, kRed}, {140, 100, kMid}, {100, 60, kMid}, {25, 25, kBlue}, {10, 10, kWhite}}},
        // The pattern lives in the page's space whatever the CTM of the painted path.
        {"radial shading pattern with a Matrix, painted under a scaled CTM",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "2 0 0 2 0 0 cm /Pattern cs /P0 scn 10 10 80 80 re f",
                 {{5, radial + " /Matrix [1 0 0 1 10 0] >>"}}),
         {{110, 100, kRed}, {110, 140, kMid}, {70, 100, kMid}, {25, 25, kBlue}, {10, 10, kWhite}},
         false},
        {"tiling pattern with an offset BBox",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern cs /P0 scn 0 0 200 200 re f", {},
                 {{5, {tile, "1 0 0 rg 10 10 10 10 re f 0 0 1 rg 20 20 10 10 re f"}}}),
         {{15, 15, kRed}, {25, 25, kBlue}, {15, 25, kWhite}, {25, 15, kWhite}, {95, 115, kRed},
          {165, 145, kBlue}}},
        // Steps larger than the cell leave gaps between the cells.
        {"tiling cell smaller than its steps",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern cs /P0 scn 0 0 200 200 re f", {},
                 {{5, {"/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 20 "
                       "/YStep 20 /Resources << >>",
                       "1 0 0 rg 0 0 10 10 re f"}}}),
         {{5, 5, kRed}, {15, 5, kWhite}, {5, 15, kWhite}, {15, 15, kWhite}, {25, 25, kRed},
          {105, 45, kRed}, {115, 45, kWhite}}},
        // Steps smaller than the cell: each cell's right part lies over its neighbour, and
        // what the cell draws beyond its BBox is cut off.
        {"tiling cells overlapping their neighbours",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern cs /P0 scn 0 0 200 200 re f", {},
                 {{5, {"/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 30 30] /XStep 20 "
                       "/YStep 20 /Resources << >>",
                       "1 0 0 rg 22 0 6 5 re f 0 0 1 rg 0 32 5 5 re f"}}}),
         {{5, 2, kRed}, {15, 2, kWhite}, {25, 2, kRed}, {105, 62, kRed}, {2, 12, kWhite},
          {2, 52, kWhite}, {5, 8, kWhite}}},
        // Where cells overlap, the one painted later (to the right, above) lies on top.
        {"overlapping tiling cells in order",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern cs /P0 scn 0 0 200 200 re f", {},
                 {{5, {"/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 30 30] /XStep 20 "
                       "/YStep 20 /Resources << >>",
                       "1 0 0 rg 0 0 15 30 re f 0 0 1 rg 15 0 15 30 re f"}}}),
         {{45, 45, kRed}, {57, 57, kBlue}, {25, 5, kRed}, {77, 135, kBlue}}},
        // The cell fills its upper square with its own pattern: drawn once, that square
        // stays empty, as in the PDF's rendering.
        {"tiling pattern that uses itself",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern cs /P0 scn 0 0 200 200 re f", {},
                 {{5, {"/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 20 "
                       "/YStep 20 /Resources << /Pattern << /P0 5 0 R >> >>",
                       "0 1 0 rg 0 0 10 10 re f /Pattern cs /P0 scn 10 10 10 10 re f"}}}),
         {{5, 5, kGreen}, {45, 65, kGreen}, {15, 15, kWhite}, {15, 5, kWhite}}},
        {"form without resources names the page's shading and pattern",
         MakePdf("<< /XObject << /Fm 6 0 R >> " + named + " >>", "/Fm Do", {{5, green}},
                 {{6, {"/Type /XObject /Subtype /Form /BBox [0 0 200 200]",
                       "q 50 50 40 100 re W n /Sh0 sh Q /Pattern cs /P0 scn 110 50 40 100 re f"}},
                  {7, {blueTile, "0 0 1 rg 0 0 10 10 re f"}}}),
         glyphProbes},
        {"Type 3 glyph names its font's shading and pattern",
         MakePdf("<< /Font << /F1 8 0 R >> >>", "BT /F1 100 Tf 50 50 Td (a) Tj ET",
                 {{5, green}, {8, type3(" /Resources << " + named + " >>")}},
                 {{7, {blueTile, "0 0 1 rg 0 0 10 10 re f"}}, {9, {"", glyph}}}),
         glyphProbes},
        {"Type 3 glyph of a font without resources names the page's",
         MakePdf("<< /Font << /F1 8 0 R >> " + named + " >>", "BT /F1 100 Tf 50 50 Td (a) Tj ET",
                 {{5, green}, {8, type3("")}},
                 {{7, {blueTile, "0 0 1 rg 0 0 10 10 re f"}}, {9, {"", glyph}}}),
         glyphProbes},
        {"axial pattern on a stroke",
         MakePdf("<< /Pattern << /P0 5 0 R >> >>", "/Pattern CS /P0 SCN 20 w 20 100 m 180 100 l S",
                 {{5, stroked}}),
         {{22, 100, kRed}, {100, 100, kMid}, {178, 100, kBlue}, {100, 130, kWhite}}},
    };
    ProbeAll(cases);
}

// Dashes are capped as the line is: zero-length round dashes are dots, square ones squares,
// flat ones nothing.
TEST(StrokeEndToEnd, DashesTakeTheLineCap)
{
    // xpstopng takes dash lengths as lengths, not as multiples of the thickness, and draws
    // no zero-length dash at all: only mutool is asked.
    const Case cases[] = {
        {"zero-length dashes, flat, round and square",
         MakePdf("<< >>", "10 w [0 20] 0 d 0 J 20 50 m 180 50 l S 1 J 20 100 m 180 100 l S "
                          "2 J 20 150 m 180 150 l S", {}),
         {{20, 50, kWhite},
          {20, 100, kBlack}, {60, 100, kBlack}, {30, 100, kWhite}, {24, 104, kWhite},
          {20, 150, kBlack}, {24, 154, kBlack}, {30, 150, kWhite}},
         false},
    };
    ProbeAll(cases);
}

}  // namespace
