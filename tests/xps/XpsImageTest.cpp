#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "Interpreter/ContentParser.h"
#include "Pdf/PdfXref.h"
#include "Resources/ResData.h"
#include "TestUtil.h"
#include "Xps/XpsPage.h"
#include "XpsTestUtil.h"

namespace {

std::string Brush(const char* transform, const char* size, const char* file)
{
    return std::string("<ImageBrush Transform=\"") + transform + ",0,1\" \nViewbox=\"0,0," +
           size + "\" \nViewport=\"0,0," + size + "\" \nTileMode=\"None\" \n"
           "ViewboxUnits=\"Absolute\" ViewportUnits=\"Absolute\" \n"
           "ImageSource=\"/Resources/" + file + "\"/>\n ";
}

const std::string kSquare =
    "<Path.Data>\n<PathGeometry FillRule=\"EvenOdd\" >\n"
    "<PathFigure StartPoint=\"0,1\" IsClosed=\"true\" IsFilled=\"true\" >\n"
    "<PolyLineSegment Points=\"1,1 1,0 0,0\" IsStroked=\"true\"/> \n"
    "</PathFigure>\n</PathGeometry>\n</Path.Data>\n";
const std::string kHead = "<Path RenderTransform=\"200,0,0,100,10,20\" \t\t\t\t>\n";
const std::string kBlackFill = "<Path.Fill>\n<SolidColorBrush Color=\"#FF000000\" /> \n</Path.Fill>\n";

// Records are not copyable: each is set up in place.
struct Info : ImageInfo {
    Info(int w, int h, int smask = 0)
    {
        width = w;
        bitsPerComponent = 8;
        height = h;
        smaskObj = smask;
    }
};

// A page whose parser knows one extracted soft mask, object 16 (4 × 2 pixels).
class ImagePage : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string folder = dir.path();
    XpsPage page;
    ContentParser cp;
    PdfXref xref{};
    GState gs;
    std::string maskPath = folder + "/IMG_016.png";

    void SetUp() override
    {
        xref.size = 20;
        xref.entries = (XrefEntry*)calloc(20, sizeof(XrefEntry));
        xref.entries[16].path = strdup(maskPath.c_str());
        xref.entries[16].resData = new Info(4, 2);
        cp.xref = &xref;
        cp.renderer = &page;
        page.parser = &cp;
        page.pageDir = &folder[0];
        gs.ctm = {200, 0, 0, 100, 10, 20};
        ASSERT_EQ(0, page.StartPage(0, 612, 792));
    }
    void TearDown() override
    {
        free(xref.entries[16].path);
        delete xref.entries[16].resData;
        free(xref.entries);
    }

    // What the calls wrote between the page head and its end; the page must be XML.
    std::string Body()
    {
        page.EndPage();
        std::string report;
        EXPECT_TRUE(xpstest::XmlWellFormed(dir.file("1.fpage"), &report)) << report;
        std::string text = testutil::ReadFile(dir.file("1.fpage"));
        size_t start = text.find("</Canvas.RenderTransform>\n");
        size_t end = text.rfind("</Canvas>");
        if (start == std::string::npos || end == std::string::npos)
            return "bad page";
        start += strlen("</Canvas.RenderTransform>\n");
        return text.substr(start, end - start);
    }
};

char* Name(const char* s)
{
    return const_cast<char*>(s);
}

}  // namespace

TEST_F(ImagePage, ImageFillsItsUnitSquare)
{
    Info info(100, 50);
    page.ShowImage(&gs, &info, Name("IMG_015.png"));
    EXPECT_EQ(Body(), kHead + "<Path.Fill>\n" + Brush("0.01,0,0,-0.02", "100,50", "IMG_015.png") +
                          "</Path.Fill>\n" + kSquare + "</Path>\n");
}

TEST_F(ImagePage, SoftMaskIsTheOpacityMaskBeforeTheFill)
{
    Info info(100, 50, 16);
    page.ShowImage(&gs, &info, Name("IMG_015.png"));
    EXPECT_EQ(Body(), kHead + "<Path.OpacityMask>\n" + Brush("0.25,0,0,-0.5", "4,2", "IMG_016.png") +
                          "</Path.OpacityMask>\n<Path.Fill>\n" +
                          Brush("0.01,0,0,-0.02", "100,50", "IMG_015.png") + "</Path.Fill>\n" +
                          kSquare + "</Path>\n");
}

TEST_F(ImagePage, StencilPaintsTheFillThroughItsOneMask)
{
    // Even an image record naming a soft mask gets only the stencil as opacity mask.
    Info info(10, 3, 16);
    page.ShowImageMask(&gs, &info, Name("IMG_IL_004_1.png"));
    EXPECT_EQ(Body(), kHead + "<Path.OpacityMask>\n" +
                          Brush("0.1,0,0,-0.333333", "10,3", "IMG_IL_004_1.png") +
                          "</Path.OpacityMask>\n" + kBlackFill + kSquare + "</Path>\n");
}

TEST_F(ImagePage, NothingWrittenThatWouldNotBeMarkup)
{
    Info none(0, 5), negative(5, -1), mask(4, 2);
    page.ShowImage(&gs, &none, Name("IMG_001.png"));
    page.ShowImageMask(&gs, &negative, Name("IMG_IL_001_1.png"));
    page.ShowImage(&gs, &mask, nullptr);
    page.SetSMask(&gs, &mask, Name("IMG_016.png"));  // outside an image Path
    gs.ctm.a = std::numeric_limits<double>::infinity();
    page.ShowImage(&gs, &mask, Name("IMG_001.png"));
    EXPECT_EQ(Body(), "");
}
