// The page writer's bounds on one page: the markup it may write, and how deep its elements
// may nest however many clips are open, with the page still clipped as the content says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Pdf/Limits.h"
#include "TestUtil.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

using testutil::TempDir;

namespace {

void Rect(PDF_PathGeometry* path, double x0, double y0, double x1, double y1)
{
    PDF_POINT_REAL p[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    ASSERT_EQ(0, path->Add(PDF_PATH_OP_MOVETO, &p[0], 1));
    for (int i = 1; i < 4; i++)
        ASSERT_EQ(0, path->Add(PDF_PATH_OP_LINETO, &p[i], 1));
    ASSERT_EQ(0, path->Add(PDF_PATH_OP_CLOSEPATH, nullptr, 0));
}

void Triangle(PDF_PathGeometry* path, double lo, double hi)
{
    PDF_POINT_REAL p[3] = {{lo, lo}, {hi, lo}, {lo, hi}};
    ASSERT_EQ(0, path->Add(PDF_PATH_OP_MOVETO, &p[0], 1));
    for (int i = 1; i < 3; i++)
        ASSERT_EQ(0, path->Add(PDF_PATH_OP_LINETO, &p[i], 1));
}

// Deepest element nesting of a page, FixedPage counting 1.
int MaxDepth(const std::string& xml)
{
    int depth = 0, deepest = 0;
    for (size_t i = 0; (i = xml.find('<', i)) != std::string::npos; i++) {
        if (xml.compare(i, 2, "</") == 0) {
            depth--;
            continue;
        }
        if (xml.compare(i, 4, "<!--") == 0)
            continue;
        size_t end = xml.find('>', i);
        deepest = std::max(deepest, ++depth);
        if (end != std::string::npos && xml[end - 1] == '/')
            depth--;
    }
    return deepest;
}

// The Clip value of the innermost clip canvas open at `pos`.
std::string InnermostClip(const std::string& xml, size_t pos)
{
    std::vector<std::string> open;
    for (size_t i = 0; (i = xml.find("Canvas", i)) != std::string::npos && i < pos; i++) {
        if (xml.compare(i - 2, 2, "</") == 0) {
            if (!open.empty())
                open.pop_back();
        } else if (xml.compare(i - 1, 1, "<") == 0) {
            std::string value;
            if (xml.compare(i, 13, "Canvas\nClip=\"") == 0)
                value = xml.substr(i + 13, xml.find('"', i + 13) - (i + 13));
            open.push_back(value);
        }
    }
    for (size_t k = open.size(); k > 0; k--)
        if (!open[k - 1].empty())
            return open[k - 1];
    return "";
}

// The innermost clip in force at each Path of the page, in order.
std::vector<std::string> ClipsOfPaths(const std::string& xml)
{
    std::vector<std::string> clips;
    for (size_t at = xml.find("<Path "); at != std::string::npos; at = xml.find("<Path ", at + 1))
        clips.push_back(InnermostClip(xml, at));
    return clips;
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t i = 0; (i = text.find(what, i)) != std::string::npos; i += what.size())
        n++;
    return n;
}

class Nesting : public ::testing::Test {
protected:
    TempDir dir;
    std::string folder = dir.path();
    XpsPage page;

    void SetUp() override
    {
        page.pageDir = &folder[0];
        ASSERT_EQ(0, page.StartPage(0, 612, 792));
    }

    void Clip(void (*shape)(PDF_PathGeometry*, int))
    {
        GState gs;
        shape(gs.path, page.openClips);
        page.Clip(&gs, 1);
    }

    void FillPage()
    {
        GState gs;
        Rect(gs.path, 0, 0, 612, 792);
        page.Fill(&gs, 1);
    }

    std::string Finish() { return xpstest::EndAndRead(page, dir.file("1.fpage")); }
};

// Clips open far past the limit: the markup stays within it; shrinking rectangles merge into
// the innermost canvas, so the last clip in force is still the innermost rectangle, and each
// clip that ends gives back the canvas it merged into.
TEST_F(Nesting, RectanglesPastTheLimitMergeIntoTheInnermostCanvas)
{
    const int n = 300;
    for (int i = 0; i < n; i++)
        Clip([](PDF_PathGeometry* p, int k) { Rect(p, k, k, 600 - k, 700 - k); });
    FillPage();
    // Half of them end, and the page is filled again inside those left.
    page.CloseClips(n / 2);
    FillPage();
    std::string xml = Finish();
    EXPECT_LE(MaxDepth(xml), (int)PAGE_MAX_MARKUP_DEPTH);
    // The first fill is clipped to the innermost rectangle, the second to the 150th.
    EXPECT_EQ((std::vector<std::string>{"F1M 299,299 L 301,299 301,401 299,401 z ",
                                        "F1M 149,149 L 451,149 451,551 149,551 z "}),
              ClipsOfPaths(xml));
}

// Clips that cannot be merged: a repeat of the canvas it would nest in adds nothing, and a
// shape that is no rectangle is left out once the page is as deep as it may go, so the
// page draws a little more but every reader opens it.
TEST_F(Nesting, OtherShapesPastTheLimitAreLeftOut)
{
    for (int i = 0; i < 250; i++)
        Clip([](PDF_PathGeometry* p, int k) { Triangle(p, k, 600 - k); });
    for (int i = 0; i < 50; i++)
        Clip([](PDF_PathGeometry* p, int) { Rect(p, 0, 0, 10, 10); });
    FillPage();
    EXPECT_EQ(300, page.openClips);
    std::string xml = Finish();
    EXPECT_LE(MaxDepth(xml), (int)PAGE_MAX_MARKUP_DEPTH);
    size_t canvases = Occurrences(xml, "<Canvas\nClip=");
    EXPECT_EQ(canvases + 1, Occurrences(xml, "</Canvas>"));
    EXPECT_EQ(std::string::npos, xml.find("M 249,249 "));
    EXPECT_EQ(std::string::npos, xml.find("M 0,0 L 10,0 10,10 0,10 z"));
}

// Up to the limit every clip nests as it always has, one canvas each.
TEST_F(Nesting, ClipsWithinTheLimitNestAsBefore)
{
    const int room = PAGE_MAX_MARKUP_DEPTH - XPS_PAGE_CONTENT_DEPTH - XPS_DRAWING_DEPTH;
    for (int i = 0; i < room; i++)
        Clip([](PDF_PathGeometry* p, int) { Rect(p, 0, 0, 10, 10); });
    FillPage();
    std::string xml = Finish();
    EXPECT_EQ((size_t)room, Occurrences(xml, "Clip=\"F1M 0,0 L 10,0 10,10 0,10 z \""));
    EXPECT_EQ(PAGE_MAX_MARKUP_DEPTH - 2, MaxDepth(xml));
}

// Past the limit, clips left out (no rectangles) do not hide the rectangle canvas further
// out: a rectangle after a thousand of them still merges into it, and gives it back.
TEST_F(Nesting, ClipsLeftOutLeaveTheCanvasTheyWouldNestIn)
{
    for (int i = 0; i < 300; i++)
        Clip([](PDF_PathGeometry* p, int k) { Rect(p, k, k, 600 - k, 700 - k); });
    for (int i = 0; i < 1000; i++)
        Clip([](PDF_PathGeometry* p, int k) { Triangle(p, k, 600 - k); });
    Clip([](PDF_PathGeometry* p, int) { Rect(p, 0, 0, 310, 310); });
    FillPage();
    page.EndClip();
    FillPage();
    std::string xml = Finish();
    EXPECT_LE(MaxDepth(xml), (int)PAGE_MAX_MARKUP_DEPTH);
    EXPECT_EQ((std::vector<std::string>{"F1M 299,299 L 301,299 301,310 299,310 z ",
                                        "F1M 299,299 L 301,299 301,401 299,401 z "}),
              ClipsOfPaths(xml));
}

// A transparency group's canvas: one opacity mask over all it holds, the clips opened inside
// ending with it. Past the limit a clip inside cannot take the place of a canvas outside
// (that would close the group's canvas instead), and a group that would nest too deep gets
// no canvas.
TEST_F(Nesting, GroupCanvasesHoldTheirClips)
{
    Clip([](PDF_PathGeometry* p, int) { Rect(p, 0, 0, 500, 500); });
    ASSERT_EQ(0, page.StartCanvas(nullptr, 0.5));
    Clip([](PDF_PathGeometry* p, int) { Rect(p, 10, 10, 400, 400); });
    FillPage();
    page.EndCanvas();
    FillPage();
    std::string body = xpstest::PageBody(Finish());
    EXPECT_EQ("<Canvas\nClip=\"F1M 0,0 L 500,0 500,500 0,500 z \" >\n<Canvas>\n"
              "<Canvas.OpacityMask>\n<LinearGradientBrush Opacity=\"0.5\" MappingMode=\"Absolute\" "
              "StartPoint=\"0,0\" EndPoint=\"1,0\" SpreadMethod=\"Pad\">\n"
              "<LinearGradientBrush.GradientStops>\n"
              "<GradientStop Color=\"#FF000000\" Offset=\"0\" />\n"
              "<GradientStop Color=\"#FF000000\" Offset=\"1\" />\n"
              "</LinearGradientBrush.GradientStops>\n</LinearGradientBrush>\n"
              "</Canvas.OpacityMask>\n<Canvas\nClip=\"F1M 10,10 L 400,10 400,400 10,400 z \" >\n",
              body.substr(0, body.find("<Path ")));
    size_t first = body.find("<Path "), second = body.find("<Path ", first + 1);
    ASSERT_NE(std::string::npos, second);
    EXPECT_EQ("</Path>\n</Canvas>\n</Canvas>\n",
              body.substr(body.find("</Path>"), second - body.find("</Path>")));
    EXPECT_EQ(0, page.openClips);
}

TEST_F(Nesting, GroupCanvasesPastTheLimit)
{
    const int room = PAGE_MAX_MARKUP_DEPTH - XPS_PAGE_CONTENT_DEPTH - XPS_DRAWING_DEPTH;
    for (int i = 0; i < room - 1; i++)
        Clip([](PDF_PathGeometry* p, int k) { Rect(p, k, k, 600 - k, 700 - k); });
    // One level is left: a group takes it (an opaque one writes no mask), the next cannot.
    ASSERT_EQ(0, page.StartCanvas(nullptr, 1));
    EXPECT_EQ(-1, page.StartCanvas(nullptr, 0.5));
    for (int i = 0; i < 20; i++)
        Clip([](PDF_PathGeometry* p, int k) { Rect(p, k, k, 600 - k, 700 - k); });
    FillPage();
    page.EndCanvas();
    FillPage();
    std::string xml = Finish();
    EXPECT_LE(MaxDepth(xml), (int)PAGE_MAX_MARKUP_DEPTH);
    EXPECT_EQ(std::string::npos, xml.find("OpacityMask"));
    // Inside the group the clips were left out; outside, the innermost rectangle stands.
    const std::vector<std::string> clips = ClipsOfPaths(xml);
    ASSERT_EQ(2u, clips.size());
    EXPECT_EQ(clips[1], clips[0]);
    EXPECT_EQ((size_t)room - 1, Occurrences(xml, "<Canvas\nClip="));
}

// The markup budget: an element begun below it is written whole; at it the page starts no
// new element, yet clips still pair and the page ends well formed.
TEST_F(Nesting, AFullPageStartsNoNewElement)
{
    Clip([](PDF_PathGeometry* p, int) { Rect(p, 0, 0, 10, 10); });
    page.markupBytes = PAGE_MAX_MARKUP_BYTES - 1;
    EXPECT_FALSE(page.Full());
    FillPage();
    EXPECT_TRUE(page.Full());
    FillPage();
    Clip([](PDF_PathGeometry* p, int) { Rect(p, 1, 1, 5, 5); });
    page.OutComment((char*)"<!-- Form -->\n");
    page.EndClip();
    std::string xml = Finish();
    EXPECT_EQ(1u, Occurrences(xml, "<Path "));
    EXPECT_EQ(1u, Occurrences(xml, "<Canvas\nClip="));
    EXPECT_EQ(std::string::npos, xml.find("<!-- Form -->"));
}

}  // namespace
