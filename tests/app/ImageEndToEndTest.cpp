// Images through the whole program, judged by both readers: every page shows a four-stripe
// test image (red, green, blue, yellow) filling its square, and no page names a part the
// package lacks.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "XpsTestUtil.h"

using namespace std::string_literals;
using testutil::Quote;
using testutil::RunCommand;

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

// Every page is 200 × 200 points with the image on the square from (50, 50) to (150, 150).
const char* kPlace = "q 100 0 0 100 50 50 cm ";

struct PageSpec {
    const char* what;
    std::string content;               // drawn inside kPlace ... Q
    std::vector<std::string> images;   // stream objects: "entries|data", numbered from 100
    bool maskedBottom;                 // the lower half is masked away (white)
};

std::string ImageDict(int w, int h, const std::string& extra)
{
    return "/Type /XObject /Subtype /Image /Width " + std::to_string(w) + " /Height " +
           std::to_string(h) + " /BitsPerComponent 8 /ColorSpace /DeviceRGB " + extra;
}

// The stripe image's rows as a 1-bit stencil: the left half painted (bit 0), the right not.
std::string HalfStencil()
{
    return std::string(8, '\x0F');  // 8 × 8, one byte per row
}

std::vector<PageSpec> Pages()
{
    std::string mask;
    for (int y = 0; y < 40; y++)
        mask += std::string(40, y < 20 ? '\xFF' : '\x00');  // top rows opaque
    // Not smaller: one of the readers fades the edges of a tiny image and drops a one-row one.
    std::string rgb = testimg::StripeRgb(16, 8);
    return {
        {"RGB image with a soft mask", "/Im0 Do ",
         {ImageDict(40, 40, "/Filter /FlateDecode /SMask 101 0 R") + "|" +
              testpdf::Deflate(testimg::StripeRgb(40, 40)),
          "/Type /XObject /Subtype /Image /Width 40 /Height 40 /BitsPerComponent 8 "
          "/ColorSpace /DeviceGray /Filter /FlateDecode|" + testpdf::Deflate(mask)},
         true},
        {"72-dpi JFIF JPEG", "/Im0 Do ",
         {ImageDict(40, 40, "/Filter /DCTDecode") + "|" +
          testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, 40, 40)},
         false},
        {"Exif JPEG", "/Im0 Do ",
         {ImageDict(40, 40, "/Filter /DCTDecode") + "|" +
          testimg::MakeJpeg(testimg::JPEG_EXIF, 40, 40)},
         false},
        {"Adobe JPEG", "/Im0 Do ",
         {ImageDict(40, 40, "/Filter /DCTDecode") + "|" +
          testimg::MakeJpeg(testimg::JPEG_ADOBE, 40, 40)},
         false},
        {"RGB inline image", "BI /W 16 /H 8 /BPC 8 /CS /RGB ID " + rgb + " EI ", {}, false},
    };
}

// A document of the pages above, then one page of a 1-bit inline stencil in red.
std::string Document()
{
    testpdf::PdfBuilder b;
    std::vector<PageSpec> pages = Pages();
    int count = (int)pages.size() + 1;
    std::string kids;
    for (int i = 0; i < count; i++)
        kids += std::to_string(10 + 2 * i) + " 0 R ";
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
    int next = 100;
    for (int i = 0; i < count; i++) {
        std::string content, xobjects;
        if (i < (int)pages.size()) {
            content = kPlace + pages[i].content + "Q";
            for (size_t k = 0; k < pages[i].images.size(); k++) {
                const std::string& spec = pages[i].images[k];
                size_t bar = spec.find('|');
                b.Stream(next, spec.substr(0, bar), spec.substr(bar + 1));
                if (k == 0)
                    xobjects = "/XObject << /Im0 " + std::to_string(next) + " 0 R >>";
                next++;
            }
        } else {
            content = "1 0 0 rg "s + kPlace + "BI /IM true /W 8 /H 8 ID " + HalfStencil() + " EI Q";
        }
        b.Object(10 + 2 * i, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << " +
                                 xobjects + " >> /Contents " + std::to_string(11 + 2 * i) + " 0 R >>");
        b.Stream(11 + 2 * i, "", content);
    }
    b.ClassicXref();
    return b.Bytes();
}

std::set<std::string> Parts(const std::string& xps)
{
    std::string list;
    RunCommand("unzip -Z1 " + Quote(xps), &list);
    std::set<std::string> parts;
    for (size_t at = 0, end; at < list.size(); at = end + 1) {
        end = list.find('\n', at);
        if (end == std::string::npos)
            end = list.size();
        parts.insert("/" + list.substr(at, end - at));
    }
    return parts;
}

// Every "/Resources/..." named in a page or its relationships.
std::vector<std::string> Named(const std::string& xps)
{
    std::string text;
    RunCommand("unzip -p " + Quote(xps) + " 'Documents/1/Pages/*'", &text);
    std::vector<std::string> names;
    for (size_t at = 0; (at = text.find("\"/Resources/", at)) != std::string::npos;) {
        size_t end = text.find('"', at + 1);
        names.push_back(text.substr(at + 1, end - at - 1));
        at = end;
    }
    return names;
}

}  // namespace

TEST(ImageEndToEnd, ImagesInPlaceInBothReaders)
{
    if (!testutil::FileExists(kVardex) || !testutil::HaveTool("mutool") ||
        !testutil::HaveTool("xpstopng"))
        GTEST_SKIP() << "needs the converter, mutool and xpstopng";
    testutil::TempDir dir;
    ASSERT_TRUE(testutil::WriteFile(dir.file("img.pdf"), Document()));
    std::string out;
    ASSERT_EQ(RunCommand("cd " + Quote(dir.path()) + " && mkdir -p tmp out && " + Quote(kVardex) +
                             " -q --tmpdir tmp -o out img.pdf 2>&1", &out), 0) << out;
    std::string xps = dir.file("out/img.XPS");
    ASSERT_TRUE(testutil::FileExists(xps)) << out;

    std::set<std::string> parts = Parts(xps);
    std::vector<std::string> named = Named(xps);
    EXPECT_GE(named.size(), 6u);
    for (const std::string& n : named)
        EXPECT_TRUE(parts.count(n)) << n << " is named but not in the package";
    std::string report;
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << report;

    std::vector<PageSpec> pages = Pages();
    int count = (int)pages.size() + 1;
    const unsigned char white[3] = {255, 255, 255};
    for (const char* reader : {"mutool", "xpstopng"}) {
        std::string prefix = dir.file(std::string(reader) + "-");
        std::string cmd = std::string(reader) == "mutool"
                              ? "mutool draw -q -r 72 -o " + Quote(prefix + "%d.png") + " " + Quote(xps)
                              : "xpstopng -r 72 " + Quote(xps) + " " + Quote(prefix.substr(0, prefix.size() - 1));
        ASSERT_EQ(RunCommand(cmd + " 2>/dev/null"), 0) << reader;
        for (int i = 0; i < count; i++) {
            std::string png = prefix + std::to_string(i + 1) + ".png";
            testimg::Png p = testimg::ReadPng(png);
            ASSERT_TRUE(p.ok) << reader << " page " << i + 1;
            bool stencil = i == (int)pages.size();
            std::string what = std::string(reader) + ": " + (stencil ? "1-bit inline mask" : pages[i].what);
            // Outside the square the page stays white.
            EXPECT_TRUE(testimg::Near(p.At(44, 100), white)) << what << " left";
            EXPECT_TRUE(testimg::Near(p.At(156, 100), white)) << what << " right";
            EXPECT_TRUE(testimg::Near(p.At(100, 44), white)) << what << " above";
            EXPECT_TRUE(testimg::Near(p.At(100, 156), white)) << what << " below";
            if (stencil) {
                // The fill colour shows through the painted half.
                EXPECT_FALSE(testimg::Near(p.At(60, 100), white)) << what;
                EXPECT_TRUE(testimg::Near(p.At(140, 100), white)) << what;
                continue;
            }
            // The stripes' centres, in the upper half (y 70) and the lower half (y 130).
            for (int s = 0; s < 4; s++) {
                int x = 50 + 25 * s + 12;
                EXPECT_TRUE(testimg::Near(p.At(x, 70), testimg::kStripes[s])) << what << " stripe " << s;
                EXPECT_TRUE(testimg::Near(p.At(x, 130),
                                          pages[i].maskedBottom ? white : testimg::kStripes[s]))
                    << what << " stripe " << s << " below";
            }
        }
    }
}
