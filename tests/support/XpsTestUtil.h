// Checks of written packages and pages with real readers, shared by the xps tests.
#ifndef VARDEX_TESTS_XPSTESTUTIL_H
#define VARDEX_TESTS_XPSTESTUTIL_H

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Rendering.h"
#include "TestUtil.h"
#include "Xps/XpsPage.h"

namespace xpstest {

// What the page writer puts before and after the drawing of a 612 x 792 page.
inline const std::string kPageHead =
    "<FixedPage xmlns=\"http://schemas.microsoft.com/xps/2005/06\" Width=\"816\" Height=\"1056\" "
    "xml:lang=\"en-US\">\n<Canvas>\n<Canvas.RenderTransform>\n"
    " <MatrixTransform Matrix=\"1.333333333,0,0,-1.333333333,0,1056\"/>\n"
    "</Canvas.RenderTransform>\n";
inline const std::string kPageTail = "</Canvas>\n</FixedPage>\n";

// The strict package checker of the shared folder beside the repository, or "" when it is
// not there.
inline std::string XpsCheckTool()
{
    const std::string shared = testutil::SharedDir();
    const std::string tool = shared + "/tools/xps-check";
    if (shared.empty() || testutil::RunCommand("test -x '" + tool + "'") != 0)
        return "";
    return tool;
}

// Runs the checker when it exists: true when it is absent or passes; its report in *report.
inline bool XpsCheckPasses(const std::string& xps, std::string* report)
{
    std::string tool = XpsCheckTool();
    report->clear();
    if (tool.empty())
        return true;
    return testutil::RunCommand("'" + tool + "' '" + xps + "' 2>&1", report) == 0;
}

inline bool XmlWellFormed(const std::string& file, std::string* report)
{
    return testutil::RunCommand("xmllint --noout '" + file + "' 2>&1", report) == 0;
}

// Ends the page and reads back its file, which must be well-formed whatever was drawn.
inline std::string EndAndRead(XpsPage& page, const std::string& file)
{
    EXPECT_EQ(0, page.EndPage());
    std::string report;
    EXPECT_TRUE(XmlWellFormed(file, &report)) << report;
    return testutil::ReadFile(file);
}

// A 612 x 792 page without its head and tail, or "bad page: " and the whole text.
inline std::string PageBody(const std::string& text)
{
    if (text.size() < kPageHead.size() + kPageTail.size() ||
        text.compare(0, kPageHead.size(), kPageHead) != 0 ||
        text.compare(text.size() - kPageTail.size(), kPageTail.size(), kPageTail) != 0)
        return "bad page: " + text;
    return text.substr(kPageHead.size(), text.size() - kPageHead.size() - kPageTail.size());
}

inline bool NonEmptyFile(const std::string& path)
{
    return !testutil::ReadFile(path).empty();
}

// Both readers open the package, exit 0 and give one picture per page.
inline bool ReadersRender(const std::string& xps, const std::string& dir, int pages,
                          std::string* report)
{
    std::string out;
    report->clear();
    if (testutil::RunCommand("mutool draw -q -o '" + dir + "/m%d.png' '" + xps + "' 2>&1", &out) != 0) {
        *report = "mutool draw: " + out;
        return false;
    }
    if (testutil::RunCommand("xpstopng '" + xps + "' '" + dir + "/g' 2>&1", &out) != 0) {
        *report = "xpstopng: " + out;
        return false;
    }
    // xpstopng pads the page numbers of its files to the digits of the page count.
    const int digits = (int)std::to_string(pages).size();
    for (int i = 1; i <= pages; i++) {
        std::string number = std::to_string(i);
        number.insert(0, (size_t)std::max(0, digits - (int)number.size()), '0');
        if (!NonEmptyFile(dir + "/m" + std::to_string(i) + ".png") ||
            !NonEmptyFile(dir + "/g-" + number + ".png")) {
            *report = "no picture of page " + std::to_string(i);
            return false;
        }
    }
    if (testutil::FileExists(dir + "/m" + std::to_string(pages + 1) + ".png")) {
        *report = "more pages than expected";
        return false;
    }
    return true;
}

// Gray rendering of one page at 72 dpi (mupdf), row by row; empty when it fails.
struct GrayPage {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    int At(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

inline GrayPage RenderGray(const std::string& xps, const std::string& dir, int page)
{
    GrayPage g;
    std::string pgm = dir + "/gray" + std::to_string(page) + ".pgm";
    if (testutil::RunCommand("mutool draw -q -c gray -o '" + pgm + "' '" + xps + "' " +
                             std::to_string(page) + " 2>&1") != 0)
        return g;
    std::string b = testutil::ReadFile(pgm);
    int maxval = 0, consumed = 0;
    if (sscanf(b.c_str(), "P5 %d %d %d%n", &g.width, &g.height, &maxval, &consumed) != 3 ||
        maxval != 255 || g.width <= 0 || g.height <= 0)
        return GrayPage();
    size_t start = (size_t)consumed + 1;
    if (b.size() < start + (size_t)g.width * g.height)
        return GrayPage();
    g.pixels.assign(b.begin() + (long)start, b.begin() + (long)(start + (size_t)g.width * g.height));
    return g;
}

// One entry of a zip central directory; method 0 is stored, 8 deflated.
struct CentralEntry {
    std::string name;
    unsigned method;
};

inline unsigned Le16(const std::string& b, size_t at)
{
    return (unsigned char)b[at] | (unsigned char)b[at + 1] << 8;
}

inline unsigned Le32(const std::string& b, size_t at)
{
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

// The entries of an archive as its central directory lists them; empty when the archive's
// end record or directory is damaged.
inline std::vector<CentralEntry> CentralDirectory(const std::string& zip)
{
    std::vector<CentralEntry> out;
    if (zip.size() < 22)
        return out;
    size_t end = zip.size() - 22;
    while (end > 0 && Le32(zip, end) != 0x06054b50)
        end--;
    if (Le32(zip, end) != 0x06054b50)
        return out;
    unsigned count = Le16(zip, end + 10);
    size_t at = Le32(zip, end + 16);
    for (unsigned i = 0; i < count; i++) {
        if (at + 46 > zip.size() || Le32(zip, at) != 0x02014b50)
            return {};
        unsigned nameLen = Le16(zip, at + 28);
        out.push_back({zip.substr(at + 46, nameLen), Le16(zip, at + 10)});
        at += 46 + nameLen + Le16(zip, at + 30) + Le16(zip, at + 32);
    }
    return out;
}

}  // namespace xpstest

#endif
