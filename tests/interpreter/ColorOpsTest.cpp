#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "Interpreter/ContentParser.h"
#include "Interpreter/GState.h"
#include "PageTreeDoc.h"
#include "PdfBuilder.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "TestUtil.h"
#include "Xps/InternalResource.h"

namespace {

// A document whose object 2 holds the resources every case runs with.
testpdf::PdfBuilder Fixture()
{
    testpdf::PdfBuilder b;
    b.Object(2,
             "<< /ColorSpace << /CMYKICC [/ICCBased 7 0 R] /GrayICC [/ICCBased 8 0 R]"
             " /RgbICC [/ICCBased 9 0 R] /NoN [/ICCBased 10 0 R] /Lost [/ICCBased 90 0 R]"
             " /CalG [/CalGray << /Gamma 2 >>] /CalR [/CalRGB << /Gamma [2 2 2] >>]"
             " /Idx [/Indexed /DeviceRGB 1 <FF000000FF00>] /Cmyk /DeviceCMYK"
             " /PatRGB [/Pattern /DeviceRGB] /PatGray [/Pattern /DeviceGray]"
             " /PatCMYK [/Pattern /DeviceCMYK] /PatLab [/Pattern [/Lab << >>]]"
             " /Spot [/Separation /Spot /DeviceCMYK 11 0 R] /All [/Separation /All /DeviceCMYK 11 0 R]"
             " /None [/Separation /None /DeviceRGB 11 0 R] /DN [/DeviceN [/A /B] /DeviceRGB 12 0 R]"
             " /NoFn [/Separation /Spot /DeviceRGB 90 0 R] /Lab [/Lab << /WhitePoint [0.9505 1 1.089] >>]"
             " /IdxCmyk [/Indexed /DeviceCMYK 1 <00000000FF000000>] /IdxSpot [/Indexed [/Separation /Spot /DeviceCMYK 11 0 R] 1 <0080>] >>"
             " /ExtGState << /GS1 << /CA 0.5 /ca 0.25 /LW 3 /LJ 1 /LC 2 /ML 5 /D [[9] 0] >> >> >>");
    b.Stream(7, "/N 4", "icc");
    b.Stream(8, "/N 1", "icc");
    b.Stream(9, "/N 3", "icc");
    b.Stream(10, "/Alternate /DeviceCMYK", "icc");
    b.Object(11, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 1 0.5 0] /N 1 >>");
    // Two tints to red = A, green = B, blue 0.
    b.Stream(12, "/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]", "{ 0 }");
    return b;
}

struct PageRun {
    PageRun() : doc(Fixture(), 100)
    {
        cp.xref = doc.xref;
        cp.pages = doc.tree;
        cp.pageIndex = 3;
        res.refNum = 2;
    }

    void Scan(const std::string& content)
    {
        FILE* f = testutil::StreamOf(content + " endstream");
        ASSERT_NE(f, nullptr);
        char buf[PDF_PARSE_BUF];
        cp.Scanner(f, &res, buf, sizeof buf);
        fclose(f);
    }

    // Records of the built-in CMYK profile for the page.
    int ProfileUses()
    {
        int n = 0;
        XGE_List& l = doc.tree->iResources;
        for (uint32_t i = 0; i < l.count; i++) {
            int* rec = (int*)l.Get(i);
            n += rec[0] == 3 && rec[1] == INTERNAL_RESOURCE_CMYK_PROFILE;
        }
        return n;
    }

    pagetreetest::Doc doc;
    ContentParser cp;
    PdfIndirect res;
};

std::string DeviceText(int kind, double gray, const double* rgb, const double* cmyk)
{
    char s[120];
    switch (kind) {
    case 1: snprintf(s, sizeof s, "gray %g", gray); break;
    case 2: snprintf(s, sizeof s, "rgb %g %g %g", rgb[0], rgb[1], rgb[2]); break;
    case 3: snprintf(s, sizeof s, "cmyk %g %g %g %g", cmyk[0], cmyk[1], cmyk[2], cmyk[3]); break;
    default: snprintf(s, sizeof s, "nothing"); break;
    }
    return s;
}

std::string SideText(GState* g, bool stroke)
{
    int kind = stroke ? g->strokeCS : g->fillCS;
    double gray = stroke ? g->strokeGray : g->fillGray;
    const double* rgb = stroke ? g->strokeRgb : g->fillRgb;
    const double* cmyk = stroke ? g->strokeCmyk : g->fillCmyk;
    char s[120];
    switch (kind) {
    case 1: case 2: case 3:
        return DeviceText(kind, gray, rgb, cmyk);
    case 4: {
        PdfName& pattern = stroke ? g->strokePattern : g->fillPattern;
        snprintf(s, sizeof s, "pattern %s base %d", pattern.str ? pattern.str : "-",
                 stroke ? g->strokePatternCS : g->fillPatternCS);
        return s;
    }
    default:
        // A space the brush cannot name paints the device colour it was converted to.
        if (stroke ? g->strokeSpace : g->fillSpace) {
            // Rounded: Lab goes through floating-point conversion.
            double r[3], c[4];
            for (int i = 0; i < 3; i++)
                r[i] = std::round(rgb[i] * 100) / 100;
            for (int i = 0; i < 4; i++)
                c[i] = std::round(cmyk[i] * 100) / 100;
            snprintf(s, sizeof s, "kind %d paints ", kind);
            return s + DeviceText(stroke ? g->strokePaint : g->fillPaint,
                                  std::round(gray * 100) / 100, r, c);
        }
        snprintf(s, sizeof s, "kind %d rgb %g %g %g", kind, rgb[0], rgb[1], rgb[2]);
        return s;
    }
}

std::string Fill(GState* g)
{
    return SideText(g, false);
}

std::string Stroke(GState* g)
{
    return SideText(g, true);
}

TEST(ColorOps, ColoursInEachKindOfSpace)
{
    const struct {
        const char* content;
        const char* fill;
        const char* stroke;
        int profile;  // CMYK profile records for the page
    } cases[] = {
        {"0.5 g", "gray 0.5", "gray 0", 0},
        {"0.25 G", "gray 0", "gray 0.25", 0},
        {"1 0 0 rg 0 0 1 RG", "rgb 1 0 0", "rgb 0 0 1", 0},
        {"0 1 0.5 0 k", "cmyk 0 1 0.5 0", "gray 0", 1},
        {"0 0 0 1 K 0 1 0 0 k 1 1 1 1 K", "cmyk 0 1 0 0", "cmyk 1 1 1 1", 1},
        {"2 -1 0 rg", "rgb 2 -1 0", "gray 0", 0},
        // Too few or wrongly typed components: the operator is ignored.
        {"0.5 0.5 rg", "gray 0", "gray 0", 0},
        {"1 0 0 k", "gray 0", "gray 0", 0},
        {"/x g (s) G", "gray 0", "gray 0", 0},
        {"0.1 0.2 0.3 0.4 rg", "rgb 0.1 0.2 0.3", "gray 0", 0},

        {"/DeviceRGB cs 1 0 0 sc", "rgb 1 0 0", "gray 0", 0},
        {"/DeviceGray CS 0.5 SC", "gray 0", "gray 0.5", 0},
        {"/DeviceRGB cs 1 0 sc", "rgb 0 0 0", "gray 0", 0},
        // CMYK set through a colour space lists the profile just as k does.
        {"/DeviceCMYK cs 0 0 0 1 sc", "cmyk 0 0 0 1", "gray 0", 1},
        {"/Cmyk CS", "gray 0", "cmyk 0 0 0 1", 1},
        {"/CMYKICC cs 0 1 1 0 scn", "cmyk 0 1 1 0", "gray 0", 1},
        {"/GrayICC cs 0.25 sc", "gray 0.25", "gray 0", 0},
        {"/RgbICC CS 0 1 0 SCN", "gray 0", "rgb 0 1 0", 0},
        {"/NoN cs", "rgb 0 0 0", "gray 0", 0},
        {"/Lost cs", "rgb 0 0 0", "gray 0", 0},
        {"/CalR cs 0 0 1 sc", "rgb 0 0 1", "gray 0", 0},
        {"/Unknown cs 1 0 0 sc", "kind 9 rgb 0 0 0", "gray 0", 0},
        {"/Unknown cs 1 0 0 scn", "kind 9 rgb 1 0 0", "gray 0", 0},

        // Spaces without a brush of their own: selecting one sets its initial colour, and
        // each colour is converted into a device colour.
        {"/CalG cs", "kind 7 paints gray 0", "gray 0", 0},
        {"/CalG cs 0.5 sc", "kind 7 paints gray 0.5", "gray 0", 0},
        {"/CalG CS 0.25 SCN", "gray 0", "kind 7 paints gray 0.25", 0},
        {"/Idx cs", "kind 6 paints rgb 1 0 0", "gray 0", 0},
        {"/Idx cs 1 sc", "kind 6 paints rgb 0 1 0", "gray 0", 0},
        {"/Idx cs 7 sc", "kind 6 paints rgb 0 1 0", "gray 0", 0},
        {"/IdxCmyk CS 1 SC", "gray 0", "kind 6 paints cmyk 1 0 0 0", 1},
        {"/IdxSpot cs 1 sc", "kind 6 paints cmyk 0 0.5 0.25 0", "gray 0", 1},
        {"/Spot cs", "kind 9 paints cmyk 0 1 0.5 0", "gray 0", 1},
        {"/Spot cs 0.5 scn", "kind 9 paints cmyk 0 0.5 0.25 0", "gray 0", 1},
        {"/Spot CS 0 SC", "gray 0", "kind 9 paints cmyk 0 0 0 0", 1},
        {"/All cs 0.25 sc", "kind 9 paints gray 0.75", "gray 0", 0},
        {"/All cs", "kind 9 paints gray 0", "gray 0", 0},
        {"/None cs 1 sc", "kind 9 paints nothing", "gray 0", 0},
        {"/DN cs 0.25 0.5 scn", "kind 9 paints rgb 0.25 0.5 0", "gray 0", 0},
        {"/DN cs 0.25 scn", "kind 9 paints rgb 1 1 0", "gray 0", 0},
        {"/NoFn cs 0.25 sc", "kind 9 paints gray 0.75", "gray 0", 0},
        {"/Lab cs 0 0 0 sc", "kind 9 paints rgb 0 0 0", "gray 0", 0},
        {"/Lab cs 50 0 0 sc", "kind 9 paints rgb 0.47 0.47 0.47", "gray 0", 0},
        {"/Lab cs 50 80 0 sc", "kind 9 paints rgb 0.91 0 0.48", "gray 0", 0},
        {"0.5 g /DeviceRGB cs", "rgb 0 0 0", "gray 0", 0},
        {"1 cs", "gray 0", "gray 0", 0},

        // Pattern names follow the components of the underlying space.
        {"/Pattern cs /P0 scn", "pattern P0 base 10", "gray 0", 0},
        {"/PatRGB cs 0.2 0.4 0.6 /P1 scn", "pattern P1 base 2", "gray 0", 0},
        {"/PatGray CS 0.5 /P2 SCN", "gray 0", "pattern P2 base 1", 0},
        {"/PatCMYK cs 0 0 0 1 /P3 scn", "pattern P3 base 3", "gray 0", 0},
        {"/PatLab cs 1 2 3 /P4 scn", "pattern P4 base 9", "gray 0", 0},
        {"/Pattern cs /P0 scn 1 scn", "pattern - base 10", "gray 0", 0},
        {"/Pattern cs /P0 sc", "pattern - base 10", "gray 0", 0},
    };
    for (const auto& c : cases) {
        PageRun r;
        r.Scan(c.content);
        EXPECT_EQ(Fill(r.cp.current), c.fill) << c.content;
        EXPECT_EQ(Stroke(r.cp.current), c.stroke) << c.content;
        EXPECT_EQ(r.ProfileUses(), c.profile) << c.content;
    }
}

std::string LineText(GState* g)
{
    char s[200];
    snprintf(s, sizeof s, "w %g J %d j %d M %g d %s %g ctm %g %g %g %g %g %g ca %g CA %g",
             g->lineWidth, g->lineCap, g->lineJoin, g->miterLimit,
             testpdf::Describe(&g->dash).c_str(), g->dashPhase, g->ctm.a, g->ctm.b, g->ctm.c,
             g->ctm.d, g->ctm.e, g->ctm.f, g->fillAlpha, g->strokeAlpha);
    return s;
}

TEST(ColorOps, LineStyleMatrixAndParameters)
{
    const char* plain = "w 1 J 0 j 0 M 10 d [] 0 ctm 1 0 0 1 0 0 ca 1 CA 1";
    const struct {
        const char* content;
        const char* want;
    } cases[] = {
        {"2.5 w 1 J 2 j 4 M", "w 2.5 J 1 j 2 M 4 d [] 0 ctm 1 0 0 1 0 0 ca 1 CA 1"},
        {"1.9 J 2.2 j", "w 1 J 1 j 2 M 10 d [] 0 ctm 1 0 0 1 0 0 ca 1 CA 1"},
        {"/a w /r J (x) j [1] M w", plain},
        {"[3] 0 d", "w 1 J 0 j 0 M 10 d [3 3] 0 ctm 1 0 0 1 0 0 ca 1 CA 1"},
        {"[2 1.5] 0.5 d", "w 1 J 0 j 0 M 10 d [2 1.5] 0.5 ctm 1 0 0 1 0 0 ca 1 CA 1"},
        {"[4] 1 d [] 0 d", plain},
        {"[3] d", plain},
        {"[3 /x] 0 d", plain},
        {"0 [3] d", plain},
        {"[3] 0 d q [1] 0 d Q", "w 1 J 0 j 0 M 10 d [3 3] 0 ctm 1 0 0 1 0 0 ca 1 CA 1"},
        {"1 0 0 1 10 20 cm 2 0 0 2 0 0 cm",
         "w 1 J 0 j 0 M 10 d [] 0 ctm 2 0 0 2 10 20 ca 1 CA 1"},
        {"0 1 -1 0 0 0 cm 1 0 0 1 5 0 cm",
         "w 1 J 0 j 0 M 10 d [] 0 ctm 0 1 -1 0 0 5 ca 1 CA 1"},
        {"1 0 0 1 5 cm", plain},
        {"/GS1 gs", "w 3 J 2 j 1 M 5 d [] 0 ctm 1 0 0 1 0 0 ca 0.25 CA 0.5"},
        {"/Nope gs 7 gs", plain},
    };
    for (const auto& c : cases) {
        PageRun r;
        r.Scan(c.content);
        EXPECT_EQ(LineText(r.cp.current), c.want) << c.content;
    }
}

// The resource pass's record of a profile is taken before the stream's own N.
TEST(ColorOps, ProfileRecordFromTheResourcePass)
{
    PageRun r;
    IccInfo* icc = new IccInfo;
    icc->N = 4;
    r.doc.xref->entries[10].resData = icc;
    r.Scan("/NoN cs 0 0 1 0 sc");
    r.doc.xref->entries[10].resData = nullptr;
    delete icc;
    EXPECT_EQ(Fill(r.cp.current), "cmyk 0 0 1 0");
    EXPECT_EQ(r.ProfileUses(), 1);
}

// Without a page tree (no document behind the stream) the device names still work.
TEST(ColorOps, NoDocument)
{
    ContentParser cp;
    FILE* f = testutil::StreamOf("/DeviceCMYK cs 0 0 0 1 sc /CS0 CS /GS1 gs endstream");
    ASSERT_NE(f, nullptr);
    char buf[256];
    cp.Scanner(f, nullptr, buf, sizeof buf);
    fclose(f);
    EXPECT_EQ(Fill(cp.current), "cmyk 0 0 0 1");
    EXPECT_EQ(cp.current->strokeCS, CS_OTHER);
}

}  // namespace
