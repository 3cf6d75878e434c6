#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Interpreter/GState.h"
#include "PageTreeDoc.h"
#include "PdfBuilder.h"
#include "Resources/ColorSpace.h"

using pagetreetest::Doc;
using pagetreetest::Name;

namespace {

struct Ref : PdfIndirect {
    explicit Ref(int num) { refNum = num; }
};

// Resources 2 (by reference) and 3 (a variant whose sub-dictionaries are references).
testpdf::PdfBuilder Fixture()
{
    testpdf::PdfBuilder b;
    b.Object(2,
             "<< /ColorSpace << /CS0 [/ICCBased 7 0 R] /CS1 [/Indexed /DeviceRGB 255 <00>]"
             " /CS2 [/CalRGB << /Gamma [2 2 2] >>] /CS3 [/CalGray << /Gamma 2 >>]"
             " /P [/Pattern] /P2 [/Pattern /DeviceRGB] /CS4 /DeviceGray /CS5 8 0 R"
             " /Bad 5 /Empty [] /NotName [1 2] /Nul null >>"
             " /XObject << /Fm 10 0 R /Im 11 0 R /PS 12 0 R /Direct << /Subtype /Form >>"
             " /Gone 99 0 R >>"
             " /ExtGState << /GS1 << /Type /ExtGState /CA 0.5 /ca 1 /LW 2 /D [[3] 0] >>"
             " /GS2 30 0 R /Bad << /CA /Half /LW (x) /LJ 1.7 /LC 2 /ML 4 /ca 31 0 R >> >>"
             " /Pattern << /P0 20 0 R /PD << /PatternType 1 >> >> /Shading << /Sh0 21 0 R >> >>");
    b.Object(3, "<< /ColorSpace 4 0 R /XObject 5 0 R /ExtGState 6 0 R >>");
    b.Object(4, "<< /CS0 /DeviceCMYK >>");
    b.Object(5, "<< /Fm 10 0 R >>");
    b.Object(6, "<< /G << /LW 7 >> >>");
    b.Stream(7, "/N 3", "icc");
    b.Object(8, "[/ICCBased 7 0 R]");
    b.Stream(10, "/Subtype /Form /BBox [0 0 1 1]", "0 0 m");
    b.Stream(11, "/Subtype /Image /Width 1 /Height 1", "x");
    b.Stream(12, "/Subtype /PS", "%!");
    b.Object(30, "<< /LJ 2 /ML 3.5 >>");
    b.Object(31, "0.25");
    // A page that holds resources 2 (a page is not itself resources), and resources whose
    // Shading entry is no dictionary.
    b.Object(40, "<< /Type /Page /Resources 2 0 R >>");
    b.Object(41, "<< /Pattern << /Q 22 0 R >> /Shading 5 >>");
    // Resources whose ColorSpace reference is broken but which have a direct Pattern dict.
    b.Object(43, "<< /ColorSpace 98 0 R /Pattern << /CS9 /DeviceCMYK >> >>");
    b.Object(44, "<< /ColorSpace /DeviceRGB >>");
    return b;
}

TEST(ResourceLookup, FindCS)
{
    Doc doc(Fixture(), 100);
    Ref res2(2), res3(3), res43(43), res44(44);
    const struct {
        const char* name;
        PdfObj* resources;
        int rc;
        int out;
        const char* param;  // "-": untouched
    } cases[] = {
        {"DeviceRGB", nullptr, 0, 2, "-"},
        {"CalGray", nullptr, 0, 7, "-"},
        {"CS0", &res2, 0, 5, "7 0 R"},
        {"CS1", &res2, 0, 6, "/DeviceRGB"},
        {"CS2", &res2, 0, 8, "-"},
        {"CS3", &res2, 0, 7, "<</Gamma 2>>"},
        {"P", &res2, 0, 4, "-"},
        {"P2", &res2, 0, 4, "/DeviceRGB"},
        {"CS4", &res2, 0, 1, "-"},
        {"CS5", &res2, 0, 5, "7 0 R"},
        {"Bad", &res2, -1, 9, "-"},
        {"Empty", &res2, -1, 9, "-"},
        {"NotName", &res2, -1, 9, "-"},
        {"Nul", &res2, -1, 9, "-"},
        {"Missing", &res2, -1, 9, "-"},
        {"CS0", nullptr, -1, 9, "-"},
        {"CS0", &res3, 0, 3, "-"},
        {"CS9", &res43, 0, 3, "-"},
        {"CS0", &res44, -1, 9, "-"},
    };
    for (const auto& c : cases) {
        Name n(c.name);
        PdfObj* param = nullptr;
        ColorSpace out = CS_DEVICEGRAY;
        EXPECT_EQ(doc.tree->FindCS(&n, &param, &out, c.resources), c.rc) << c.name;
        EXPECT_EQ(out, c.out) << c.name;
        EXPECT_EQ(param ? testpdf::Describe(param) : "-", c.param) << c.name;
        delete param;
    }

    // Resources handed over as a parsed dictionary work like a reference to it.
    PdfObj* direct = nullptr;
    char buf[256];
    ParseIndirectObject(&direct, doc.xref, 2, 0, buf, sizeof buf);
    Name n("CS1");
    PdfObj* param = nullptr;
    ColorSpace out = CS_OTHER;
    EXPECT_EQ(doc.tree->FindCS(&n, &param, &out, direct), 0);
    EXPECT_EQ(out, CS_INDEXED);
    delete param;
    delete direct;

    // An operand that is not a name is refused outright.
    PdfNumber num;
    out = CS_DEVICEGRAY;
    EXPECT_EQ(doc.tree->FindCS(&num, &param, &out, &res2), -1);
    EXPECT_EQ(out, CS_DEVICEGRAY);
}

TEST(ResourceLookup, FindXObject)
{
    Doc doc(Fixture(), 100);
    Ref res2(2), res3(3), res44(44);
    const struct {
        const char* name;
        PdfObj* resources;
        int rc, objNum, type;
    } cases[] = {
        {"Fm", &res2, 0, 10, XOBJECT_FORM},
        {"Im", &res2, 0, 11, XOBJECT_IMAGE},
        {"Fm", &res3, 0, 10, XOBJECT_FORM},
        {"PS", &res2, -1, -7, -7},
        {"Direct", &res2, -1, -7, -7},
        {"Gone", &res2, -1, -7, -7},
        {"Nope", &res2, -1, -7, -7},
        {"Fm", &res44, -1, -7, -7},
        {"Fm", nullptr, -1, -7, -7},
    };
    for (const auto& c : cases) {
        Name n(c.name);
        int objNum = -7;
        XObjectType type = (XObjectType)-7;
        EXPECT_EQ(doc.tree->FindXObject(&n, &objNum, &type, c.resources), c.rc) << c.name;
        EXPECT_EQ(objNum, c.objNum) << c.name;
        EXPECT_EQ((int)type, c.type) << c.name;
    }
}

TEST(ResourceLookup, FindPatternAndShading)
{
    Doc doc(Fixture(), 100);
    Ref page40(40), res41(41), res2(2);
    const struct {
        const char* what;
        bool shading;
        const char* name;
        PdfObj* resources;
        int rc, objNum;
    } cases[] = {
        {"pattern by reference", false, "P0", &res2, 0, 20},
        {"shading by reference", true, "Sh0", &res2, 0, 21},
        {"direct pattern dictionary refused", false, "PD", &res2, -1, -7},
        {"a shading is not a pattern", false, "Sh0", &res2, -1, -7},
        {"other resources", false, "Q", &res41, 0, 22},
        {"Shading not a dictionary", true, "Sh0", &res41, -1, -7},
        {"a page is no resources", false, "P0", &page40, -1, -7},
        {"no resources", false, "P0", nullptr, -1, -7},
    };
    for (const auto& c : cases) {
        Name n(c.name);
        int objNum = -7;
        int rc = c.shading ? doc.tree->FindShading(&n, &objNum, c.resources)
                           : doc.tree->FindPattern(&n, &objNum, c.resources);
        EXPECT_EQ(rc, c.rc) << c.what;
        EXPECT_EQ(objNum, c.objNum) << c.what;
    }
}

std::string Params(GState& gs)
{
    char s[160];
    snprintf(s, sizeof s, "ca %g CA %g LW %g LJ %d ML %g LC %d dash %d", gs.fillAlpha,
             gs.strokeAlpha, gs.lineWidth, gs.lineJoin, gs.miterLimit, gs.lineCap,
             gs.dash.count);
    return s;
}

TEST(ResourceLookup, SetExtGState)
{
    Doc doc(Fixture(), 100);
    Ref res2(2), res3(3), res44(44);
    const struct {
        const char* name;
        PdfObj* resources;
        int rc;
        const char* want;
    } cases[] = {
        {"GS1", &res2, 0, "ca 1 CA 0.5 LW 2 LJ 0 ML 10 LC 0 dash 1"},
        {"GS2", &res2, 0, "ca 0.7 CA 1 LW 1 LJ 2 ML 3.5 LC 0 dash 1"},
        // Names, strings and references are no numbers; LJ given as a real is truncated.
        {"Bad", &res2, 0, "ca 0.7 CA 1 LW 1 LJ 1 ML 4 LC 2 dash 1"},
        {"G", &res3, 0, "ca 0.7 CA 1 LW 7 LJ 0 ML 10 LC 0 dash 1"},
        {"Missing", &res2, -1, "ca 0.7 CA 1 LW 1 LJ 0 ML 10 LC 0 dash 1"},
        {"GS1", &res44, -1, "ca 0.7 CA 1 LW 1 LJ 0 ML 10 LC 0 dash 1"},
        {"GS1", nullptr, -1, "ca 0.7 CA 1 LW 1 LJ 0 ML 10 LC 0 dash 1"},
    };
    for (const auto& c : cases) {
        GState gs;
        gs.fillAlpha = 0.7;
        PdfNumber* three = new PdfNumber;
        three->value = 3;
        gs.dash.Append(three);
        Name n(c.name);
        EXPECT_EQ(doc.tree->SetExtGState(&n, &gs, c.resources), c.rc) << c.name;
        EXPECT_EQ(Params(gs), c.want) << c.name;
        EXPECT_EQ(testpdf::Describe(&gs.dash), "[3]") << c.name;
    }
}

// Soft masks: a mask dictionary names its form and its kind, and the gs that sets it places
// it; /None, and anything that names no form, takes the mask away.
TEST(ResourceLookup, SoftMasksOfExtGState)
{
    testpdf::PdfBuilder b;
    b.Object(2, "<< /ExtGState << "
                "/Lum << /SMask << /S /Luminosity /G 10 0 R /BC [1 0 0] >> >> "
                "/Alpha << /SMask 12 0 R >> "
                "/Cmyk << /SMask << /S /Luminosity /G 10 0 R /BC [0 0 0 0.5] >> >> "
                "/None << /SMask /None >> "
                "/Image << /SMask << /S /Alpha /G 11 0 R >> >> "
                "/Direct << /SMask << /S /Alpha /G << /Subtype /Form >> >> >> "
                "/Kind << /SMask << /S /Colour /G 10 0 R >> >> "
                "/Absent << /SMask << /S /Alpha /G 99 0 R >> >> >> >>");
    b.Stream(10, "/Type /XObject /Subtype /Form /BBox [0 0 1 1]", "0 0 m");
    b.Stream(11, "/Type /XObject /Subtype /Image /Width 1 /Height 1", "x");
    b.Object(12, "<< /S /Alpha /G 10 0 R >>");
    Doc doc(b, 100);
    Ref res(2);
    const struct {
        const char* name;
        const char* want;  // the mask after gs, set over a mask of object 7
    } cases[] = {
        {"Lum", "10 lum bc 0.3 ctm 2"},
        {"Alpha", "10 alpha bc 0 ctm 2"},
        {"Cmyk", "10 lum bc 0.5 ctm 2"},
        {"None", "0"},
        {"Image", "0"},
        {"Direct", "0"},
        {"Kind", "0"},
        {"Absent", "0"},
    };
    for (const auto& c : cases) {
        GState gs;
        gs.softMask = 7;
        gs.ctm.a = 2;
        Name n(c.name);
        EXPECT_EQ(0, doc.tree->SetExtGState(&n, &gs, &res)) << c.name;
        char got[80];
        if (gs.softMask)
            snprintf(got, sizeof got, "%d %s bc %g ctm %g", gs.softMask,
                     gs.softMaskLuminosity ? "lum" : "alpha", gs.softMaskBackdrop,
                     gs.softMaskCtm.a);
        else
            snprintf(got, sizeof got, "0");
        EXPECT_STREQ(c.want, got) << c.name;
    }
}

}  // namespace
