#include "Interpreter/Patterns.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"
#include "PageTreeDoc.h"

namespace {

using pagetreetest::Objects;

// A one-page document whose page resources name the patterns /P0 /P1 (objects 10, 11) and
// the shading /Sh0 (object 12), and a parser set up on it as for page content.
struct PatternDoc {
    explicit PatternDoc(const Objects& extra, pdfmatrix ctm = {1, 0, 0, 1, 0, 0})
        : doc(Build(extra))
    {
        cp.xref = doc.xref;
        cp.pages = doc.tree;
        char buf[PDF_PARSE_BUF];
        ParseIndirectObject(&page, doc.xref, 3, 0, buf, sizeof buf);
        cp.owner = page;
        cp.resources = PdfDictLookup(page, "Resources");
        cp.current->ctm = ctm;
        gs.fillPattern.str = strdup("P0");
        gs.strokePattern.str = strdup("P1");
    }
    ~PatternDoc() { delete page; }

    static testpdf::PdfBuilder Build(const Objects& extra)
    {
        Objects all = {
            {1, "<< /Type /Catalog /Pages 2 0 R >>"},
            {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
            {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << "
                "/Pattern << /P0 10 0 R /P1 11 0 R >> /Shading << /Sh0 12 0 R >> >> >>"},
        };
        testpdf::PdfBuilder b;
        for (const auto& o : all)
            b.Object(o.first, o.second);
        for (const auto& o : extra) {
            // A body starting with "stream:" is a pattern stream: entries, then its content.
            // "|" ends the entries of a stream given its own data.
            if (o.second.compare(0, 7, "stream:") == 0) {
                size_t bar = o.second.find('|');
                if (bar == std::string::npos)
                    b.Stream(o.first, o.second.substr(7), "0 0 5 5 re f");
                else
                    b.Stream(o.first, o.second.substr(7, bar - 7), o.second.substr(bar + 1));
            }
            else
                b.Object(o.first, o.second);
        }
        return b;
    }

    PatternInfo* Pattern(int stroke, int* result = nullptr)
    {
        PatternInfo* info = nullptr;
        int r = cp.GetPatternInfo(&info, &gs, stroke);
        if (result)
            *result = r;
        return info;
    }

    PatternInfo* Shading(const char* name, int* result = nullptr)
    {
        pagetreetest::Name n(name);
        PatternInfo* info = nullptr;
        int r = cp.GetShadingInfo(&n, &info);
        if (result)
            *result = r;
        return info;
    }

    pagetreetest::Doc doc;
    ContentParser cp;
    GState gs;
    PdfObj* page = nullptr;
};

std::string Numbers(const double* v, int n)
{
    std::string s;
    char t[32];
    for (int i = 0; i < n; i++) {
        snprintf(t, sizeof t, "%s%g", i ? " " : "", v[i] == 0 ? 0.0 : v[i]);
        s += t;
    }
    return s;
}

std::string MatrixText(const pdfmatrix& m)
{
    double v[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
    return Numbers(v, 6);
}

// "offset:RRGGBB" per stop, with "~AA" for a stop that is not opaque.
std::string StopsText(ShadePatternInfo* info)
{
    std::string s;
    for (uint32_t i = 0; i < info->stops.count; i++) {
        ShadeStop* st = static_cast<ShadeStop*>(info->stops.Get(i));
        char t[48];
        snprintf(t, sizeof t, "%s%g:%02X%02X%02X", i ? " " : "", st->offset, st->colour[0],
                 st->colour[1], st->colour[2]);
        s += t;
        if (st->alpha != 255) {
            snprintf(t, sizeof t, "~%02X", st->alpha);
            s += t;
        }
    }
    return s;
}

const char* kRgbRamp = "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>";
// Both ends extended, as most cases want the stops alone.
const char* kBoth = " /Extend [true true]";

struct ShadingCase {
    const char* what;
    std::string shading;  // object 12
    Objects extra;
    const char* coords;
    const char* stops;
};

TEST(Shading, StopsAndCoordinates)
{
    const std::string both = kBoth;
    const ShadingCase cases[] = {
        {"exponential ramp", std::string("<< /ShadingType 2 /Coords [10 20 30 40] /Function ") +
                                 kRgbRamp + both + " >>",
         {}, "10 20 0 30 40 0", "0:FF0000 1:0000FF"},
        {"ends that do not extend end in transparent stops",
         std::string("<< /ShadingType 2 /Function ") + kRgbRamp + " /Extend [false false] >>", {},
         "0 0 0 0 0 0", "0:FF0000~00 0.001:FF0000 0.999:0000FF 1:0000FF~00"},
        {"one end extended", std::string("<< /ShadingType 2 /Function ") + kRgbRamp + " /Extend [true] >>",
         {}, "0 0 0 0 0 0", "0:FF0000 0.999:0000FF 1:0000FF~00"},
        {"the shading's Domain picks the part of the function shown",
         std::string("<< /ShadingType 2 /Domain [0.5 1] /Function ") + kRgbRamp + both + " >>", {},
         "0 0 0 0 0 0", "0:7F007F 1:0000FF"},
        {"stitching: two stops per piece at the bounds, Encode reversing a piece",
         "<< /ShadingType 2 /Coords [0 0 1 0] /Extend [true true] /Function << /FunctionType 3 "
         "/Domain [0 1] /Bounds [0.3] /Encode [0 1 1 0] /Functions [<< /FunctionType 2 /Domain [0 1] "
         "/C0 [1 0 0] /C1 [0 1 0] /N 1 >> << /FunctionType 2 /Domain [0 1] /C0 [0 0 1] /C1 [0 1 0] "
         "/N 1 >>] >> >>",
         {}, "0 0 0 1 0 0", "0:FF0000 0.3:00FF00 0.3:00FF00 1:0000FF"},
        {"pieces by reference, without Domain or Encode",
         "<< /ShadingType 2 /Extend [true true] /Function << /FunctionType 3 /Bounds [0.25] "
         "/Functions [20 0 R 21 0 R] >> >>",
         {{20, "<< /FunctionType 2 /C0 [0 0 0] /C1 [1 1 1] >>"},
          {21, "<< /FunctionType 2 /C0 [1 1 1] /C1 [1 0 0] >>"}},
         "0 0 0 0 0 0", "0:000000 0.25:FFFFFF 0.25:FFFFFF 1:FF0000"},
        {"function by reference gives the inline stops",
         "<< /ShadingType 2 /Coords [0 0 1 1] /Extend [true true] /Function 20 0 R >>", {{20, kRgbRamp}},
         "0 0 0 1 1 0", "0:FF0000 1:0000FF"},
        {"bytes truncate and clamp",
         "<< /ShadingType 2 /Extend [true true] /Function << /FunctionType 2 /C0 [0.5 1 0.999] "
         "/C1 [1.2 -0.5 300] >> >>",
         {}, "0 0 0 0 0 0", "0:7FFFFE 1:FF00FF"},
        {"gray spreads over the three bytes",
         "<< /ShadingType 2 /ColorSpace /DeviceGray /Extend [true true] /Function << /FunctionType 2 "
         "/C0 [0.5] /C1 [1] >> >>",
         {}, "0 0 0 0 0 0", "0:7F7F7F 1:FFFFFF"},
        {"CMYK is converted: white stays white",
         "<< /ShadingType 2 /ColorSpace /DeviceCMYK /Extend [true true] /Function << /FunctionType 2 "
         "/C0 [0 0 0 0] /C1 [1 0 0 0] >> >>",
         {}, "0 0 0 0 0 0", "0:FFFFFF 1:00FFFF"},
        {"an ICC space by its components",
         "<< /ShadingType 2 /ColorSpace [/ICCBased 20 0 R] /Extend [true true] /Function "
         "<< /FunctionType 2 /C0 [0 0 0 0.5] /C1 [0 1 0 0] >> >>",
         {{20, "stream:/N 4|icc"}}, "0 0 0 0 0 0", "0:7F7F7F 1:FF00FF"},
        {"a Separation space through its tint transform",
         "<< /ShadingType 2 /ColorSpace [/Separation /Spot /DeviceRGB << /FunctionType 2 "
         "/Domain [0 1] /C0 [1 1 1] /C1 [0 0.5 1] /N 1 >>] /Extend [true true] /Function "
         "<< /FunctionType 2 /C0 [0] /C1 [1] >> >>",
         {}, "0 0 0 0 0 0", "0:FFFFFF 1:007FFF"},
        {"sampled function", "<< /ShadingType 2 /Coords [1 2 3 4] /Extend [true true] /Function 20 0 R >>",
         {{20, std::string("stream:/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [2] "
                           "/BitsPerSample 8|") + std::string("\xff\x00\x00\x00\x00\xff", 6)}},
         "1 2 0 3 4 0", "0:FF0000 1:0000FF"},
        {"one function per component",
         "<< /ShadingType 2 /Extend [true true] /Function [<< /FunctionType 2 /C0 [1] /C1 [0] >> "
         "<< /FunctionType 2 /C0 [0] /C1 [0] >> << /FunctionType 2 /C0 [0] /C1 [1] >>] >>",
         {}, "0 0 0 0 0 0", "0:FF0000 1:0000FF"},
        {"outputs that do not fit the space: no stops",
         "<< /ShadingType 2 /Function << /FunctionType 2 /C0 [1 1 1 1 1 1] /C1 [0 0 0 0 1 1] >> >>",
         {}, "0 0 0 0 0 0", ""},
        {"C0 and C1 of different sizes: no stops",
         "<< /ShadingType 2 /Function << /FunctionType 2 /C1 [1 0 0] >> >>", {}, "0 0 0 0 0 0", ""},
        {"radial coordinates", std::string("<< /ShadingType 3 /Coords [10 20 0 10 20 50] /Function ") +
                                   kRgbRamp + both + " >>",
         {}, "10 20 0 10 20 50", "0:FF0000 1:0000FF"},
        {"radial without Coords", std::string("<< /ShadingType 3 /Function ") + kRgbRamp + both + " >>",
         {}, "0 0 100 0 0 100", "0:FF0000 1:0000FF"},
        {"short Coords keep the defaults of the rest",
         std::string("<< /ShadingType 3 /Coords [5 6 /x] /Function ") + kRgbRamp + both + " >>", {},
         "5 6 100 0 0 100", "0:FF0000 1:0000FF"},
    };
    for (const ShadingCase& c : cases) {
        SCOPED_TRACE(c.what);
        Objects objs = c.extra;
        objs.push_back({12, c.shading});
        // CTM is not identity: the record of sh stays identity whatever the CTM.
        PatternDoc d(objs, {2, 0, 0, 2, 7, 9});
        int r = -5;
        PatternInfo* info = d.Shading("Sh0", &r);
        ASSERT_EQ(r, 0);
        ASSERT_NE(info, nullptr);
        ASSERT_EQ(info->patternType, PATTERN_SHADING);
        ShadePatternInfo* s = static_cast<ShadePatternInfo*>(info);
        EXPECT_EQ(MatrixText(s->matrix), "1 0 0 1 0 0");
        EXPECT_EQ(Numbers(s->coords, 6), c.coords);
        EXPECT_EQ(StopsText(s), c.stops);
        delete info;
    }
}

// Offset and gray level of every stop.
std::vector<std::pair<double, int>> GrayStops(ShadePatternInfo* s)
{
    std::vector<std::pair<double, int>> v;
    for (uint32_t i = 0; i < s->stops.count; i++) {
        ShadeStop* st = static_cast<ShadeStop*>(s->stops.Get(i));
        v.push_back({st->offset, st->colour[0]});
    }
    return v;
}

TEST(Shading, RepeatedGradientGivesOneBandPerPiece)
{
    // Thirteen repeats of a black-to-white ramp over Domain [0 13], as a repeating gradient is
    // written: every band must run black to white, not one ramp over the whole length.
    std::string bounds, encode, parts;
    for (int i = 1; i <= 12; i++)
        bounds += std::to_string(i) + " ";
    for (int i = 0; i < 13; i++) {
        encode += "0 1 ";
        parts += "20 0 R ";
    }
    PatternDoc d({{20, "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>"},
                  {12, "<< /ShadingType 2 /ColorSpace /DeviceGray /Coords [0 0 130 0] "
                       "/Domain [0 13] /Extend [true true] /Function << /FunctionType 3 "
                       "/Domain [0 13] /Bounds [" + bounds + "] /Encode [" + encode +
                       "] /Functions [" + parts + "] >> >>"}},
                 {1, 0, 0, 1, 0, 0});
    PatternInfo* info = d.Shading("Sh0");
    ASSERT_NE(info, nullptr);
    auto stops = GrayStops(static_cast<ShadePatternInfo*>(info));
    ASSERT_EQ(stops.size(), 26u);
    for (int band = 0; band < 13; band++) {
        EXPECT_NEAR(stops[2 * band].first, band / 13.0, 1e-9);
        EXPECT_EQ(stops[2 * band].second, 0);
        EXPECT_NEAR(stops[2 * band + 1].first, (band + 1) / 13.0, 1e-9);
        EXPECT_GE(stops[2 * band + 1].second, 254);
    }
    delete info;
}

TEST(Shading, CurvesAreSampledAndStopsStayBounded)
{
    // N 2: the middle of the ramp is a quarter of the way, not half.
    PatternDoc d({{12, "<< /ShadingType 2 /ColorSpace /DeviceGray /Extend [true true] /Function "
                       "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 2 >> >>"}},
                 {1, 0, 0, 1, 0, 0});
    PatternInfo* info = d.Shading("Sh0");
    ASSERT_NE(info, nullptr);
    auto stops = GrayStops(static_cast<ShadePatternInfo*>(info));
    ASSERT_GT(stops.size(), 8u);
    ASSERT_LE(stops.size(), (size_t)SHADING_MAX_STOPS);
    for (auto& st : stops)
        EXPECT_NEAR(st.second, 255 * st.first * st.first, 1.5) << st.first;
    delete info;

    // A curve in each of many pieces: the stops stay within the limit.
    std::string bounds, parts;
    for (int i = 1; i < 1000; i++)
        bounds += std::to_string(i / 1000.0) + " ";
    for (int i = 0; i < 1000; i++)
        parts += "20 0 R ";
    PatternDoc many({{20, "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 3 >>"},
                     {12, "<< /ShadingType 2 /ColorSpace /DeviceGray /Function << /FunctionType 3 "
                          "/Domain [0 1] /Bounds [" + bounds + "] /Functions [" + parts + "] >> >>"}},
                    {1, 0, 0, 1, 0, 0});
    info = many.Shading("Sh0");
    ASSERT_NE(info, nullptr);
    EXPECT_LE(static_cast<ShadePatternInfo*>(info)->stops.count, (uint32_t)SHADING_MAX_STOPS + 2);
    delete info;
}

struct MatrixCase {
    const char* what;
    pdfmatrix ctm;
    std::string pattern;  // object 10
    const char* matrix;
};

TEST(Patterns, RecordMatrixIsPatternToUser)
{
    const std::string tile = "stream:/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 5 5] "
                             "/XStep 5 /YStep 5 ";
    const std::string shade = std::string("<< /PatternType 2 /Shading << /ShadingType 2 "
                                          "/Coords [0 0 1 0] /Function ") + kRgbRamp + " >> ";
    const MatrixCase cases[] = {
        {"identity CTM keeps Matrix", {1, 0, 0, 1, 0, 0}, tile + "/Matrix [1 0 0 1 10 20]",
         "1 0 0 1 10 20"},
        {"scaled CTM", {2, 0, 0, 2, 0, 0}, tile + "/Matrix [1 0 0 1 10 20]", "0.5 0 0 0.5 5 10"},
        {"no Matrix under a translation", {1, 0, 0, 1, 100, 50}, tile, "1 0 0 1 -100 -50"},
        {"rotated CTM", {0, 1, -1, 0, 0, 0}, tile + "/Matrix [1 0 0 1 10 0]", "0 -1 1 0 0 -10"},
        {"missing and non-number items take identity values", {1, 0, 0, 1, 0, 0},
         tile + "/Matrix [2 /x 0]", "2 0 0 1 0 0"},
        {"singular CTM is used as its own inverse", {0, 0, 0, 0, 5, 5}, tile, "0 0 0 0 5 5"},
        {"shading pattern, no Matrix", {2, 0, 0, 2, 0, 0}, shade + ">>", "0.5 0 0 0.5 0 0"},
        {"shading pattern Matrix", {1, 0, 0, 1, 0, 0}, shade + "/Matrix [3 0 0 3 1 2] >>",
         "3 0 0 3 1 2"},
    };
    for (const MatrixCase& c : cases) {
        SCOPED_TRACE(c.what);
        PatternDoc d({{10, c.pattern}}, c.ctm);
        PatternInfo* info = d.Pattern(0);
        ASSERT_NE(info, nullptr);
        pdfmatrix m = info->patternType == PATTERN_TILING
                          ? static_cast<TilePatternInfo*>(info)->matrix
                          : static_cast<ShadePatternInfo*>(info)->matrix;
        EXPECT_EQ(MatrixText(m), c.matrix);
        delete info;
    }
}

// The tiling record as text: what the writer draws the cell from.
std::string TileText(TilePatternInfo* t)
{
    char steps[64];
    snprintf(steps, sizeof steps, "%g %g", t->xStep, t->yStep);
    return "bbox=" + (t->hasBBox ? Numbers(t->bbox, 4) : std::string("none")) + " step=" + steps +
           " obj=" + std::to_string(t->objNum) + " res=" + testpdf::Describe(t->resources);
}

TEST(Patterns, TilingRecord)
{
    const std::string head = "stream:/PatternType 1 /PaintType 1 /TilingType 1 ";
    const struct {
        const char* what;
        std::string pattern;
        const char* text;
    } cases[] = {
        {"offset BBox as stored, resources copied",
         head + "/BBox [10 20 60 80] /XStep 12 /YStep 14.5 /Resources << /ProcSet [/PDF] >>",
         "bbox=10 20 60 80 step=12 14.5 obj=10 res=<</ProcSet [/PDF]>>"},
        {"resources by reference stay a reference",
         head + "/BBox [0 0 5 5] /XStep 5 /YStep 5 /Resources 7 0 R",
         "bbox=0 0 5 5 step=5 5 obj=10 res=7 0 R"},
        {"no BBox, no resources", head + "/XStep 5 /YStep 5", "bbox=none step=5 5 obj=10 res=<none>"},
        {"BBox of three numbers is none", head + "/BBox [0 0 5]", "bbox=none step=0 0 obj=10 res=<none>"},
        {"BBox with a name is none", head + "/BBox [0 0 /w 5]", "bbox=none step=0 0 obj=10 res=<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PatternDoc d({{10, c.pattern}});
        int r = -5;
        PatternInfo* info = d.Pattern(0, &r);
        ASSERT_EQ(r, 0);
        ASSERT_NE(info, nullptr);
        ASSERT_EQ(info->patternType, PATTERN_TILING);
        TilePatternInfo* t = static_cast<TilePatternInfo*>(info);
        EXPECT_EQ(TileText(t), c.text);
        EXPECT_EQ(t->fileOffset, (int)d.doc.xref->Entry(10)->offset);
        // The record releases its own copy of the resources: the registry slot of the
        // copy is cleared only when the copy is destroyed.
        uint32_t slot = t->resources ? t->resources->slot : (uint32_t)PDF_REGISTRY_SLOTS;
        delete info;
        if (slot < (uint32_t)PDF_REGISTRY_SLOTS) {
            EXPECT_EQ(PdfObj::refTable[slot], nullptr);
        }
    }
}

TEST(Patterns, LookupsAndFailures)
{
    const std::string tile = "stream:/PatternType 1 /BBox [0 0 5 5] /XStep 5 /YStep 5";
    // The shading of a pattern may stand elsewhere.
    const std::string shade = "<< /PatternType 2 /Shading 12 0 R >>";
    const std::string radial = std::string("<< /ShadingType 3 /Function ") + kRgbRamp + " >>";

    // Fill and stroke names select their own patterns; each paint gets its own record.
    {
        PatternDoc d({{10, tile}, {11, shade}, {12, radial}});
        PatternInfo* fill = d.Pattern(0);
        PatternInfo* stroke = d.Pattern(1);
        PatternInfo* again = d.Pattern(0);
        ASSERT_NE(fill, nullptr);
        ASSERT_NE(stroke, nullptr);
        EXPECT_EQ(fill->patternType, PATTERN_TILING);
        EXPECT_EQ(stroke->patternType, PATTERN_SHADING);
        EXPECT_EQ(static_cast<ShadePatternInfo*>(stroke)->shadingType, SHADING_RADIAL);
        EXPECT_NE(again, fill);
        delete fill;
        delete stroke;
        delete again;
    }
    // Names resolve in the resources the parser draws with, not in those of its owner.
    {
        PatternDoc d({{10, tile}, {11, shade}, {12, radial},
                      {30, "<< /Pattern << /P0 11 0 R >> >>"}});
        PdfIndirect formResources;
        formResources.refNum = 30;
        PdfObj* page = d.cp.resources;
        d.cp.resources = &formResources;
        PatternInfo* info = d.Pattern(0);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->patternType, PATTERN_SHADING);
        delete info;
        d.cp.resources = page;
    }

    // Failures leave the out-parameter as it was.
    const struct {
        const char* what;
        Objects objs;
        int stroke;  // 2: look up the shading /Sh0
        int result;
    } cases[] = {
        {"pattern name not in the resources", {{11, tile}}, 0, -1},
        {"pattern object missing", {}, 0, -1},
        {"unknown PatternType", {{10, "<< /PatternType 3 >>"}}, 0, -1},
        {"no PatternType", {{10, "<< /Shading << /ShadingType 2 >> >>"}}, 0, -1},
        {"shading of another type", {{12, "<< /ShadingType 4 >>"}}, 2, -1},
        {"shading object missing", {}, 2, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PatternDoc d(c.objs);
        PatternInfo sentinel;
        PatternInfo* info = &sentinel;
        pagetreetest::Name sh("Sh0");
        int r = c.stroke == 2 ? d.cp.GetShadingInfo(&sh, &info) : d.cp.GetPatternInfo(&info, &d.gs, c.stroke);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(info, &sentinel);
    }

    // A shading pattern whose shading cannot become a gradient still gives a record, without
    // stops, that the writer paints nothing with.
    for (const char* body : {"<< /PatternType 2 /Shading << /ShadingType 1 /Function 5 0 R >> >>",
                             "<< /PatternType 2 >>"}) {
        SCOPED_TRACE(body);
        PatternDoc d({{10, body}});
        PatternInfo* info = d.Pattern(0);
        ASSERT_NE(info, nullptr);
        ShadePatternInfo* s = static_cast<ShadePatternInfo*>(info);
        EXPECT_NE(s->shadingType, SHADING_AXIAL);
        EXPECT_NE(s->shadingType, SHADING_RADIAL);
        EXPECT_EQ(s->stops.count, 0u);
        delete info;
    }
}

}  // namespace
