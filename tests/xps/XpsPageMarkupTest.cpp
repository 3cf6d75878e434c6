// The page's markup on its way into the page file: how much a page may write, which grows
// with what the page holds, and pages whose markup (content or resources) is too large to
// keep in memory, which go through files of the temporary folder and come out the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Interpreter/GState.h"
#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "TestUtil.h"
#include "Xps/PageMarkup.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

using testutil::Entries;
using testutil::ReadFile;
using testutil::TempDir;

namespace {

void FillRect(XpsPage& page)
{
    GState gs;
    PDF_POINT_REAL p[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    gs.path->Add(PDF_PATH_OP_MOVETO, &p[0], 1);
    for (int i = 1; i < 4; i++)
        gs.path->Add(PDF_PATH_OP_LINETO, &p[i], 1);
    page.Fill(&gs, 1);
}

// The markup budget is PAGE_MAX_MARKUP_BYTES and PAGE_MARKUP_PER_HELD_BYTE bytes for each byte
// the page holds, read from the page's work through the parser drawing on it: an element
// begun below it is written whole, and at it the page starts none, and the scan stops.
TEST(XpsPageMarkup, TheBudgetGrowsWithWhatThePageHolds)
{
    for (long long held : {0LL, 1000LL}) {
        SCOPED_TRACE(held);
        TempDir dir;
        std::string folder = dir.path();
        XpsPage page;
        ContentParser cp;
        page.pageDir = &folder[0];
        page.parser = &cp;
        cp.renderer = &page;
        cp.work->Hold(5, held, 1 << 30);
        const unsigned long long budget =
            PAGE_MAX_MARKUP_BYTES + (unsigned long long)PAGE_MARKUP_PER_HELD_BYTE * held;
        ASSERT_EQ(0, page.StartPage(0, 612, 792));
        page.markupBytes = budget - 1;
        EXPECT_FALSE(page.Full());
        EXPECT_FALSE(cp.work->Spent(&page));
        FillRect(page);
        EXPECT_TRUE(page.Full());
        FillRect(page);
        EXPECT_TRUE(cp.work->Spent(&page));
        EXPECT_EQ(PAGE_BUDGET_MARKUP, cp.work->stoppedBy);
        EXPECT_EQ((long long)budget, cp.work->Budget(PAGE_BUDGET_MARKUP));
        std::string xml = xpstest::EndAndRead(page, dir.file("1.fpage"));
        EXPECT_EQ(xml.find("<Path "), xml.rfind("<Path ")) << xml;
        EXPECT_NE(std::string::npos, xml.find("<Path ")) << xml;
    }
}

// A glyph alone, named by its key: `n` distinct outlines give `n` dictionary entries and `n`
// Paths, so both parts of the page grow as large as a test needs.
struct OutlinePage {
    std::string file;       // the page file as written
    std::string expected;   // what it must hold
    std::vector<std::string> whileOpen;  // the folder's files before the page ended
    std::vector<std::string> after;      // and after
    int ended = 0;
    size_t resourceBytes = 0, contentBytes = 0;  // of the two parts
};

OutlinePage DrawOutlines(int n, const std::string& folder)
{
    OutlinePage got;
    PDF_PathGeometry triangle;
    PDF_POINT_REAL t[] = {{0, 0}, {500, 0}, {500, 700}};
    triangle.Add(PDF_PATH_OP_MOVETO, t, 1);
    triangle.Add(PDF_PATH_OP_LINETO, t + 1, 1);
    triangle.Add(PDF_PATH_OP_LINETO, t + 2, 1);
    GState gs;
    gs.ctm = {2, 0, 0, 2, 0, 0};
    const pdfmatrix glyphSpace = {0.006, 0, 0, 0.006, 36, 350};

    std::string dir = folder;
    XpsPage page;
    page.pageDir = &dir[0];
    EXPECT_EQ(0, page.StartPage(0, 612, 792));
    std::string entries, body;
    for (int i = 0; i < n; i++) {
        const OutlineGlyph glyph[] = {{&triangle, (unsigned long long)i + 1, 250}};
        EXPECT_TRUE(page.PaintGlyphs(&gs, glyphSpace, glyph, 1, true, false));
        const std::string key = "p1g" + std::to_string(i);
        entries += "<PathGeometry x:Key=\"" + key +
                   "\" FillRule=\"NonZero\" Figures=\"M 0,0 L 500,0 500,700 \"/>\n";
        body += "<Path Data=\"{StaticResource " + key +
                "}\" RenderTransform=\"0.012,0,0,0.012,75,700\" Fill=\"#FF000000\"/>\n";
    }
    got.whileOpen = Entries(folder);
    got.ended = page.EndPage();
    got.after = Entries(folder);
    got.file = ReadFile(folder + "/1.fpage");
    const std::string& head = xpstest::kPageHead;
    const std::string tag = head.substr(0, head.find('\n') + 1);
    got.expected = tag;
    if (n > 0)
        got.expected += "<FixedPage.Resources>\n<ResourceDictionary xmlns:x=\""
                        "http://schemas.microsoft.com/xps/2005/06/resourcedictionary-key\">\n" +
                        entries + "</ResourceDictionary>\n</FixedPage.Resources>\n";
    got.expected += head.substr(tag.size()) + body + xpstest::kPageTail;
    got.resourceBytes = entries.size();
    got.contentBytes = head.size() - tag.size() + body.size() + xpstest::kPageTail.size();
    return got;
}

// Each part, content and resources, goes to a file of its own past what memory keeps, once
// or several times, and the page file comes out byte for byte as a page kept in memory does,
// resources first; the parts' files are gone once the page is written.
TEST(XpsPageMarkup, LargePagesComeOutAsSmallOnesDo)
{
    // Each glyph gives about 84 bytes of resources and 98 of content: no part past what
    // memory keeps, the content alone, both, and the content twice over (nearly all the
    // markup a page may write).
    const size_t kept = XPS_MARKUP_IN_MEMORY;
    int spilledParts = 0;
    for (int glyphs : {0, 1000, 40000, 46000, 52000, 88000}) {
        SCOPED_TRACE(glyphs);
        TempDir dir;
        OutlinePage got = DrawOutlines(glyphs, dir.path());
        EXPECT_EQ(0, got.ended);
        EXPECT_TRUE(got.file == got.expected) << got.file.size() << " bytes, " << got.expected.size()
                                              << " expected";
        auto has = [](const std::vector<std::string>& names, const std::string& name) {
            return std::find(names.begin(), names.end(), name) != names.end();
        };
        EXPECT_EQ(got.contentBytes >= kept, has(got.whileOpen, "1.fbody")) << got.contentBytes;
        EXPECT_EQ(got.resourceBytes >= kept, has(got.whileOpen, "1.fres")) << got.resourceBytes;
        spilledParts += has(got.whileOpen, "1.fbody") + has(got.whileOpen, "1.fres");
        EXPECT_EQ(std::vector<std::string>{"1.fpage"}, got.after);
        if (glyphs == 52000) {
            std::string report;
            EXPECT_TRUE(xpstest::XmlWellFormed(dir.file("1.fpage"), &report)) << report;
        }
    }
    EXPECT_EQ(5, spilledParts);
}

// A part's file that cannot be written whole fails the page, as every temporary file that
// cannot be written fails the conversion; the page is full from then on, and leaves no file
// of its parts behind.
TEST(XpsPageMarkup, APartThatCannotBeWrittenFailsThePage)
{
    TempDir dir;
    ResetWriteFailures();
    OutlinePage got;
    {
        testutil::FileSizeLimit diskFull(1 << 20);
        got = DrawOutlines(XPS_MARKUP_IN_MEMORY / 80, dir.path());
    }
    EXPECT_EQ(-1, got.ended);
    EXPECT_GT(WriteFailures(), 0);
    EXPECT_EQ(std::vector<std::string>{"1.fpage"}, got.after);
    ResetWriteFailures();

    // Past the failure the page writes nothing more.
    std::string folder = dir.path();
    XpsPage page;
    page.pageDir = &folder[0];
    ASSERT_EQ(0, page.StartPage(1, 612, 792));
    {
        testutil::FileSizeLimit diskFull(1 << 20);
        while (!page.Full())
            FillRect(page);
        EXPECT_LT(page.markupBytes, (unsigned long long)PAGE_MAX_MARKUP_BYTES);
        EXPECT_EQ(-1, page.EndPage());
    }
    ResetWriteFailures();
}

}  // namespace
