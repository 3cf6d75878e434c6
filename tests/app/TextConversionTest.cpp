// Text through the whole converter, one PDF per road text can take, judged by independent
// readers: the ink of the package, drawn by `mutool draw` and by `xpstopng`, must lie where
// the PDF's own rendering puts it, and the glyph runs must carry the text itself.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CffFonts.h"
#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "TrueTypeFonts.h"

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";
const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

using testutil::Quote;

// Advance widths (thousandths of the em) and glyph indices of a font on disk (DejaVu Sans
// unless told otherwise), for the Widths and W arrays a producer would write.
struct DejaVu {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    explicit DejaVu(const char* path = kDejaVu)
    {
        if (FT_Init_FreeType(&lib) == 0 && FT_New_Face(lib, path, 0, &face) != 0)
            face = nullptr;
    }
    ~DejaVu()
    {
        if (face)
            FT_Done_Face(face);
        if (lib)
            FT_Done_FreeType(lib);
    }
    unsigned Glyph(unsigned code) { return FT_Get_Char_Index(face, code); }
    int Width(unsigned glyph)
    {
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) != 0)
            return 0;
        return (int)(face->glyph->advance.x * 1000 / face->units_per_EM);
    }
};

struct Fixture {
    const char* what;
    const char* mediaBox;
    std::string font;     // the font dictionary of /F1 (object 5), objects 6.. its parts
    std::string content;  // the page's content stream
    const char* text;     // what the glyph runs must say, or null
    std::string fonts = "<< /F1 5 0 R >>";  // the page's Font resources
    bool strict = false;  // the package must also pass the strict checker, where it is
    std::string nextPage = "";  // the content of a second page in the same fonts, or none
};

std::string MakePdf(const Fixture& f, const std::vector<std::pair<int, std::string>>& extra,
                    const std::string& fontFile)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    const bool two = !f.nextPage.empty();
    b.Object(2, two ? "<< /Type /Pages /Kids [3 0 R 12 0 R] /Count 2 >>"
                    : "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    const std::string resources =
        " /Resources << /Font " + f.fonts + " /XObject << /Im1 8 0 R >> >> ";
    b.Object(3, std::string("<< /Type /Page /Parent 2 0 R /MediaBox ") + f.mediaBox + resources +
                    "/Contents 4 0 R >>");
    b.Stream(4, "", f.content);
    if (two) {
        b.Object(12, std::string("<< /Type /Page /Parent 2 0 R /MediaBox ") + f.mediaBox +
                         resources + "/Contents 13 0 R >>");
        b.Stream(13, "", f.nextPage);
    }
    b.Object(5, f.font);
    for (const auto& o : extra)
        b.Object(o.first, o.second);
    if (!fontFile.empty())
        b.Stream(9, "/Length " + std::to_string(fontFile.size()) + " /Length1 " +
                        std::to_string(fontFile.size()),
                 fontFile);
    b.ClassicXref();
    return b.Bytes();
}

// Where the ink is, in pixels of a 72 dpi rendering; empty when there is none.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int pixels = 0;
    bool Empty() const { return x1 < 0; }
    std::string Text() const
    {
        return Empty() ? "no ink"
                       : "(" + std::to_string(x0) + "," + std::to_string(y0) + ")-(" +
                             std::to_string(x1) + "," + std::to_string(y1) + ") " +
                             std::to_string(pixels) + " px";
    }
};

Box InkOf(const testimg::Png& png)
{
    Box b;
    for (int y = 0; y < png.height; y++)
        for (int x = 0; x < png.width; x++) {
            const unsigned char* p = png.At(x, y);
            if ((p[0] + p[1] + p[2]) / 3 < 128) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
                b.pixels++;
            }
        }
    return b;
}

Box MutoolInk(const std::string& file, const std::string& png, int page = 1)
{
    if (testutil::RunCommand("mutool draw -q -r 72 -o " + Quote(png) + " " + Quote(file) + " " +
                             std::to_string(page) + " >/dev/null 2>&1") != 0)
        return Box();
    return InkOf(testimg::ReadPng(png));
}

// The ink of every page (of fewer than ten), drawn in one run as a reader of the whole
// document draws them.
std::vector<Box> XpstopngInk(const std::string& xps, const std::string& prefix, int pages)
{
    if (testutil::RunCommand("xpstopng -r 72 " + Quote(xps) + " " + Quote(prefix) +
                             " >/dev/null 2>&1") != 0)
        return std::vector<Box>(pages);
    std::vector<Box> ink;
    for (int p = 1; p <= pages; p++)
        ink.push_back(InkOf(testimg::ReadPng(prefix + "-" + std::to_string(p) + ".png")));
    return ink;
}

// The ink boxes agree within a few pixels, and so does the amount of ink.
void ExpectSameInk(const Box& want, const Box& got, const char* reader)
{
    const int kPlay = 3;
    ASSERT_FALSE(got.Empty()) << reader << " shows no text";
    EXPECT_NEAR(want.x0, got.x0, kPlay) << reader << ": " << want.Text() << " vs " << got.Text();
    EXPECT_NEAR(want.y0, got.y0, kPlay) << reader << ": " << want.Text() << " vs " << got.Text();
    EXPECT_NEAR(want.x1, got.x1, kPlay) << reader << ": " << want.Text() << " vs " << got.Text();
    EXPECT_NEAR(want.y1, got.y1, kPlay) << reader << ": " << want.Text() << " vs " << got.Text();
    EXPECT_NEAR(want.pixels, got.pixels, want.pixels * 0.25 + 10)
        << reader << ": " << want.Text() << " vs " << got.Text();
}

std::string Squeezed(const std::string& s)
{
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r' && c != '\f')
            out += c;
    return out;
}

void Convert(const Fixture& f, const std::vector<std::pair<int, std::string>>& extra,
             const std::string& fontFile)
{
    SCOPED_TRACE(f.what);
    testutil::TempDir dir;
    std::string pdf = dir.file("t.pdf");
    ASSERT_TRUE(testutil::WriteFile(pdf, MakePdf(f, extra, fontFile)));
    std::string err;
    ASSERT_EQ(0, testutil::RunCommand("cd " + Quote(dir.path()) + " && " + Quote(kVardex) +
                                          " -q --tmpdir work -o out t.pdf 2>&1",
                                      &err))
        << err;
    std::string xps = dir.file("out/t.XPS");

    const int pages = f.nextPage.empty() ? 1 : 2;
    std::vector<Box> byGxps = XpstopngInk(xps, dir.file("g"), pages);
    for (int p = 1; p <= pages; p++) {
        SCOPED_TRACE("page " + std::to_string(p));
        Box want = MutoolInk(pdf, dir.file("pdf.png"), p);
        ASSERT_FALSE(want.Empty()) << "the fixture shows nothing";
        ExpectSameInk(want, MutoolInk(xps, dir.file("xps.png"), p), "mutool");
        ExpectSameInk(want, byGxps[p - 1], "xpstopng");
    }

    const std::string shared = testutil::SharedDir();
    if (f.strict && !shared.empty()) {
        std::string report;
        EXPECT_EQ(0, testutil::RunCommand(shared + "/tools/xps-check -q " + Quote(xps) + " 2>&1", &report))
            << report;
    }

    if (f.text) {
        std::string txt;
        testutil::RunCommand("mutool draw -q -F txt -o - " + Quote(xps) + " 1 2>/dev/null", &txt);
        EXPECT_EQ(f.text, Squeezed(txt));
    }
}

// The font dictionaries of the fixtures: DejaVu Sans as an embedded simple TrueType font in
// WinAnsiEncoding (its program object 9, its descriptor object 6), Helvetica from the
// built-in data, and a Type 3 font whose 'a' is a square and 'b' a triangle (glyph
// procedures in objects 6 and 7).
const char* kDejaVuDescriptor =
    "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox [-1021 -463 1793 1232] "
    "/ItalicAngle 0 /Ascent 928 /Descent -236 /CapHeight 729 /StemV 80 /FontFile2 9 0 R >>";
const char* kHelvetica = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
const char* kType3 =
    "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
    "/FirstChar 97 /LastChar 98 /Widths [1000 800] /Encoding << /Differences [97 /sq /tri] >> "
    "/CharProcs << /sq 6 0 R /tri 7 0 R >> >>";

std::string DejaVuTrueType(DejaVu& dv)
{
    std::string widths;
    for (unsigned c = 32; c <= 126; c++)
        widths += std::to_string(dv.Width(dv.Glyph(c))) + " ";
    return "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 /LastChar 126 "
           "/Widths [" + widths + "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>";
}

std::string StreamObject(const std::string& data, const std::string& entries = "")
{
    return "<< /Length " + std::to_string(data.size()) + " " + entries + " >>\nstream\n" + data +
           "\nendstream";
}

// The glyph procedures of kType3.
std::vector<std::pair<int, std::string>> Type3Procs()
{
    return {{6, StreamObject("1000 0 0 0 750 750 d1 0 0 750 750 re f")},
            {7, StreamObject("800 0 0 0 700 700 d1 0 0 m 700 0 l 350 700 l f")}};
}

TEST(TextConversion, EachRoadPutsTheTextWhereThePdfDoes)
{
    DejaVu dv;
    ASSERT_TRUE(dv.face) << kDejaVu;
    std::string ttf = testutil::ReadFile(kDejaVu);

    const std::string descriptor = kDejaVuDescriptor;
    const std::string trueType = DejaVuTrueType(dv);

    // The CIDFont's codes are DejaVu's glyph indices.
    std::string hex, w;
    for (const char* p = "Type0 text"; *p; p++) {
        unsigned g = dv.Glyph((unsigned char)*p);
        char buf[8];
        snprintf(buf, sizeof buf, "%04X", g);
        hex += buf;
        w += std::to_string(g) + " [" + std::to_string(dv.Width(g)) + "] ";
    }
    const std::string type0 = "<< /Type /Font /Subtype /Type0 /BaseFont /DejaVuSans "
                              "/Encoding /Identity-H /DescendantFonts [7 0 R] >>";
    const std::string cidFont = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /DejaVuSans "
                                "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                                "/Supplement 0 >> /CIDToGIDMap /Identity /DW 1000 /W [" +
                                w + "] /FontDescriptor 6 0 R >>";

    const std::string helvetica = kHelvetica;

    Convert({"embedded TrueType", "[0 0 320 100]", trueType,
             "BT /F1 28 Tf 16 40 Td (Hello) Tj (World) Tj [(, ) -500 (y) 100 (e) 200 (s)] TJ ET",
             "HelloWorld,yes"},
            {{6, descriptor}}, ttf);
    Convert({"Type0", "[0 0 320 100]", type0, "BT /F1 30 Tf 10 30 Td <" + hex + "> Tj ET", nullptr},
            {{6, descriptor}, {7, cidFont}}, ttf);
    Convert({"Helvetica under 2 0 0 2 0 0 cm", "[0 0 320 100]", helvetica,
             "2 0 0 2 0 0 cm BT /F1 14 Tf 6 14 Td (Hello) Tj ( World) Tj ET", nullptr, "<< /F1 5 0 R >>",
             true},
            {}, "");
    // Each page names its own glyph outlines: the second page's M and W are not the first
    // page's full stops to a reader that has drawn the first.
    Convert({"Helvetica on two pages", "[0 0 320 100]", helvetica,
             "BT /F1 40 Tf 10 30 Td (. .) Tj ET", nullptr, "<< /F1 5 0 R >>", true,
             "BT /F1 60 Tf 10 20 Td (MWM) Tj ET"},
            {}, "");
    // Text drawn through a cm that turns the page: up the page, not mirrored.
    Convert({"landscape page, rotating cm", "[0 0 320 200]", trueType,
             "0 1 -1 0 320 0 cm BT /F1 24 Tf 20 60 Td (Rotated) Tj 0 -30 Td (Text) Tj ET",
             "RotatedText"},
            {{6, descriptor}}, ttf);
    Convert({"landscape page, rotating cm, Helvetica", "[0 0 320 200]", helvetica,
             "0 1 -1 0 320 0 cm BT /F1 24 Tf 20 60 Td (Rotated) Tj ET", nullptr},
            {}, "");

    // Text in rendering mode 3 over a scanned page: the image shows, the text does not, and
    // the visible text after it on the same line still starts where the hidden text ends.
    // A white page with a black block in its top left corner.
    std::string page;
    for (int row = 0; row < 16; row++)
        page += std::string(4, row < 4 ? '\0' : '\xff') + std::string(28, '\xff');
    const std::string scan = StreamObject(page, "/Type /XObject /Subtype /Image /Width 32 /Height 16 "
                                          "/ColorSpace /DeviceGray /BitsPerComponent 8");
    Convert({"invisible text over an image", "[0 0 320 100]", trueType,
             "q 340 0 0 140 -10 -20 cm /Im1 Do Q BT /F1 24 Tf 10 40 Td 3 Tr (Hidden) Tj "
             "(Text ) Tj 0 Tr (Shown) Tj ET",
             "Shown"},
            {{6, descriptor}, {8, scan}}, ttf);

    // A square and a triangle, drawn by their glyph procedures.
    Convert({"Type 3", "[0 0 320 100]", kType3,
             "BT /F1 40 Tf 20 30 Td (ab) Tj 1 0 0 1 150 30 Tm [(b) -500 (a)] TJ ET", nullptr},
            Type3Procs(), "");
}

// A symbolic TrueType subset whose only character maps are a Windows symbol map (3,0) and a
// Macintosh Roman map (1,0), as producers embed them: control codes 1 to 4 and letters alike
// show their glyphs.
TEST(TextConversion, SymbolicTrueTypeSubsetsShowEveryCode)
{
    DejaVu dv;
    ASSERT_TRUE(dv.face) << kDejaVu;
    const char* letters = "Helo";
    testfont::CodeMap codes;
    for (int i = 0; i < 4; i++)
        codes[i + 1] = dv.Glyph((unsigned char)letters[i]);
    for (const char* p = "World"; *p; p++)
        codes[(unsigned char)*p] = dv.Glyph((unsigned char)*p);
    std::string ttf = testfont::WithCharMaps(testutil::ReadFile(kDejaVu), codes, codes);
    ASSERT_FALSE(ttf.empty());

    std::string widths;
    for (unsigned c = 1; c <= 114; c++)
        widths += std::to_string(codes.count(c) ? dv.Width(codes[c]) : 0) + " ";
    const std::string font = "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 1 "
                             "/LastChar 114 /Widths [" + widths + "] /FontDescriptor 6 0 R >>";
    std::string descriptor = kDejaVuDescriptor;
    descriptor.replace(descriptor.find("/Flags 32"), 9, "/Flags 4");
    Convert({"codes 1 to 4 and letters", "[0 0 320 100]", font,
             "BT /F1 28 Tf 10 40 Td (\001\002\003\003\004) Tj ( World) Tj ET", nullptr},
            {{6, descriptor}}, ttf);
    Convert({"letters alone", "[0 0 320 100]", font, "BT /F1 28 Tf 10 40 Td (World) Tj ET",
             "World"},
            {{6, descriptor}}, ttf);
}

// WinAnsi's codes 128 to 159 (curly quotes, dashes, bullet, euro) show those characters,
// in the font with a Unicode map and in the symbolic subset alike.
TEST(TextConversion, WinAnsiQuotesDashesAndEuro)
{
    DejaVu dv;
    ASSERT_TRUE(dv.face) << kDejaVu;
    const unsigned kHigh[][2] = {{0x80, 0x20AC}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C},
                                 {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}};
    auto unicodeOf = [&](unsigned code) {
        for (const auto& h : kHigh)
            if (h[0] == code)
                return h[1];
        return code;
    };
    std::string widths;
    for (unsigned c = 32; c <= 159; c++)
        widths += std::to_string(dv.Width(dv.Glyph(unicodeOf(c)))) + " ";
    const std::string font = "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 "
                             "/LastChar 159 /Widths [" + widths + "] /Encoding /WinAnsiEncoding "
                             "/FontDescriptor 6 0 R >>";
    const char* content = "BT /F1 24 Tf 10 40 Td (\223Hi\224 \221x\222 \226 \227 \225 \200) Tj ET";
    const char* text = "\u201cHi\u201d\u2018x\u2019\u2013\u2014\u2022\u20ac";
    Convert({"a Unicode map", "[0 0 320 100]", font, content, text}, {{6, kDejaVuDescriptor}},
            testutil::ReadFile(kDejaVu));

    // The same glyphs reached only through a Macintosh map at their Mac OS Roman codes.
    const unsigned kMacCodes[][2] = {{0x80, 0xDB}, {0x91, 0xD4}, {0x92, 0xD5}, {0x93, 0xD2},
                                     {0x94, 0xD3}, {0x95, 0xA5}, {0x96, 0xD0}, {0x97, 0xD1}};
    testfont::CodeMap mac;
    for (unsigned c = 32; c < 127; c++)
        mac[c] = dv.Glyph(c);
    for (const auto& m : kMacCodes)
        mac[m[1]] = dv.Glyph(unicodeOf(m[0]));
    std::string ttf = testfont::WithCharMaps(testutil::ReadFile(kDejaVu), {}, mac);
    Convert({"a Macintosh map", "[0 0 320 100]", font, content, text}, {{6, kDejaVuDescriptor}},
            ttf);
}

// Rendering mode 1 strokes the glyphs: an O stays an open ring, drawn with the line width of
// the graphics state; mode 2 fills and strokes, so a thick stroke makes the glyphs bolder.
TEST(TextConversion, StrokedTextIsStroked)
{
    DejaVu dv;
    ASSERT_TRUE(dv.face) << kDejaVu;
    const char* outlined = "BT /F1 70 Tf 10 20 Td 1 Tr 0.5 w (OoO) Tj ET";
    const char* bold = "BT /F1 40 Tf 10 30 Td 2 Tr 3 w 1 J (Bold) Tj ET";
    // Turned text strokes as wide as upright text; condensed text (which the page writer
    // strokes in user space) keeps its dashes; the clipping modes stroke, and fill, as the
    // others do (the clip they add would clip only what follows).
    const char* turned = "BT /F1 40 Tf 0.866 0.5 -0.5 0.866 40 5 Tm 1 Tr 2 w (Turn) Tj ET";
    const char* dashed = "BT /F1 60 Tf 10 25 Td 60 Tz 1 Tr 1.5 w [4 2] 0 d (Dash) Tj ET";
    const char* strokeClip = "BT /F1 40 Tf 10 30 Td 5 Tr 2 w (Clip) Tj ET";
    const char* paintClip = "BT /F1 40 Tf 10 30 Td 6 Tr 2 w (Clip) Tj ET";
    for (const char* content : {outlined, bold, turned, dashed, strokeClip, paintClip}) {
        Convert({"embedded TrueType", "[0 0 320 100]", DejaVuTrueType(dv), content, nullptr},
                {{6, kDejaVuDescriptor}}, testutil::ReadFile(kDejaVu));
        Convert({"Helvetica", "[0 0 320 100]", kHelvetica, content, nullptr, "<< /F1 5 0 R >>", true},
                {}, "");
    }
}

// Condensed text (Tz) keeps to its column, spacing and adjustments included, and raised text
// (Ts) sits above the line, on every road.
TEST(TextConversion, HorizontalScalingAndRiseOnEveryRoad)
{
    DejaVu dv;
    ASSERT_TRUE(dv.face) << kDejaVu;
    std::string ttf = testutil::ReadFile(kDejaVu);
    // A line squeezed to 40 %, then a raised word, then the line carries on at the baseline.
    const char* content = "BT /F1 28 Tf 10 20 Td 40 Tz 2 Tc [(Con) -300 (densed)] TJ 100 Tz "
                          "0 Tc 30 Ts (up) Tj 0 Ts (x) Tj ET";
    Convert({"embedded TrueType", "[0 0 320 100]", DejaVuTrueType(dv), content, "Condensedupx"},
            {{6, kDejaVuDescriptor}}, ttf);
    Convert({"Helvetica", "[0 0 320 100]", kHelvetica, content, nullptr}, {}, "");
    Convert({"Type 3", "[0 0 320 100]", kType3,
             "BT /F1 30 Tf 10 20 Td 50 Tz 5 Tc [(abab) -500 (ba)] TJ 100 Tz 0 Tc 35 Ts (a) Tj ET",
             nullptr},
            Type3Procs(), "");
}

const char* kUrwType1 = "/usr/share/fonts/type1/urw-base35/";
const char* kUrwOpenType = "/usr/share/fonts/opentype/urw-base35/";

// Advance widths (thousandths of the em) of a font file's glyphs, by glyph name.
struct FaceWidths {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    explicit FaceWidths(const std::string& path)
    {
        if (FT_Init_FreeType(&lib) == 0 && FT_New_Face(lib, path.c_str(), 0, &face) != 0)
            face = nullptr;
    }
    ~FaceWidths()
    {
        if (face)
            FT_Done_Face(face);
        if (lib)
            FT_Done_FreeType(lib);
    }
    int Width(const char* glyphName)
    {
        FT_UInt g = FT_Get_Name_Index(face, const_cast<char*>(glyphName));
        if (g == 0 || FT_Load_Glyph(face, g, FT_LOAD_NO_SCALE) != 0)
            return 0;
        return (int)(face->glyph->advance.x * 1000 / face->units_per_EM);
    }
    // "/Widths [...]" for codes first .. first + names - 1, each scaled by `stretch`.
    std::string Widths(const std::vector<std::string>& names, double stretch = 1.0)
    {
        std::string w;
        for (const std::string& n : names)
            w += std::to_string((int)(Width(n.c_str()) * stretch)) + " ";
        return "/Widths [" + w + "]";
    }
};

// The glyph names of the ASCII letters, digits and blank, by code.
std::vector<std::string> AsciiNames(unsigned first, unsigned last)
{
    static const char* const kPunct[] = {"space", "exclam", "quotedbl", "numbersign", "dollar",
                                         "percent", "ampersand", "quoteright", "parenleft",
                                         "parenright", "asterisk", "plus", "comma", "hyphen",
                                         "period", "slash"};
    static const char* const kDigits[] = {"zero", "one", "two", "three", "four",
                                          "five", "six", "seven", "eight", "nine"};
    std::vector<std::string> names;
    for (unsigned c = first; c <= last; c++) {
        if (c >= 32 && c < 48)
            names.push_back(kPunct[c - 32]);
        else if (c >= '0' && c <= '9')
            names.push_back(kDigits[c - '0']);
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            names.push_back(std::string(1, (char)c));
        else
            names.push_back(".notdef");
    }
    return names;
}

// The bare CFF program inside an OpenType file (its "CFF " table), or "".
std::string CffTable(const std::string& otf)
{
    auto u16 = [&](size_t at) { return (unsigned)(unsigned char)otf[at] << 8 | (unsigned char)otf[at + 1]; };
    auto u32 = [&](size_t at) { return (size_t)u16(at) << 16 | u16(at + 2); };
    if (otf.size() < 12)
        return "";
    unsigned tables = u16(4);
    for (unsigned i = 0; i < tables && 12 + 16 * (i + 1) <= otf.size(); i++) {
        size_t rec = 12 + 16 * i;
        if (otf.compare(rec, 4, "CFF ") == 0 && u32(rec + 8) + u32(rec + 12) <= otf.size())
            return otf.substr(u32(rec + 8), u32(rec + 12));
    }
    return "";
}

// Type 1 fonts: embedded in either program form, their codes through the dictionary's
// Encoding (the program's own encoding is only the base), and fonts that are only named,
// drawn with the nearest built-in font at the PDF's widths.
TEST(TextConversion, TypeOneAndNamedFontsDrawTheirText)
{
    const std::string roman = std::string(kUrwType1) + "NimbusRoman-Regular.t1";
    const std::string sansOtf = std::string(kUrwOpenType) + "NimbusSans-Regular.otf";
    if (!testutil::FileExists(roman) || !testutil::FileExists(sansOtf))
        GTEST_SKIP() << "the URW base-35 fonts (fonts-urw-base35) are not installed";
    FaceWidths romanWidths(roman), sansWidths(sansOtf);
    ASSERT_TRUE(romanWidths.face && sansWidths.face);

    // Codes 1 to 9 name the glyphs of "Welcome to TeX", as a subset of a TeX font does: its
    // own encoding gives those codes nothing.
    const std::vector<std::string> subset = {"W", "e", "l", "c", "o", "m", "space", "t", "T"};
    std::string differences = "/Differences [1";
    for (const std::string& n : subset)
        differences += " /" + n;
    differences += "]";
    const std::string welcome = "(\\001\\002\\003\\004\\005\\006\\002\\007\\010\\005\\007\\011\\002X) Tj";
    std::vector<std::string> subsetX = subset;
    subsetX.push_back("X");
    differences.insert(differences.size() - 1, " /X");

    const std::string t1Descriptor =
        "<< /Type /FontDescriptor /FontName /ABCDEF+NimbusRoman-Regular /Flags 4 "
        "/FontBBox [-168 -281 1031 924] /ItalicAngle 0 /Ascent 683 /Descent -217 /CapHeight 662 "
        "/StemV 84 /FontFile 7 0 R >>";
    const std::string t1Program = testutil::ReadFile(roman);
    Convert({"embedded Type 1, codes through Differences", "[0 0 320 100]",
             "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+NimbusRoman-Regular /FirstChar 1 "
             "/LastChar 10 " + romanWidths.Widths(subsetX) + " /Encoding << /Type /Encoding " +
                 differences + " >> /FontDescriptor 6 0 R >>",
             "BT /F1 28 Tf 10 40 Td " + welcome + " ET", nullptr},
            {{6, t1Descriptor},
             {7, StreamObject(t1Program, "/Length1 " + std::to_string(t1Program.size()) +
                                             " /Length2 0 /Length3 0")}},
            "");

    const std::string cff = CffTable(testutil::ReadFile(sansOtf));
    ASSERT_FALSE(cff.empty());
    const std::string cffDescriptor =
        "<< /Type /FontDescriptor /FontName /ABCDEF+NimbusSans-Regular /Flags 32 "
        "/FontBBox [-210 -299 1032 1075] /ItalicAngle 0 /Ascent 729 /Descent -218 "
        "/CapHeight 729 /StemV 85 /FontFile3 7 0 R >>";
    const std::vector<std::string> ascii = AsciiNames(32, 122);
    Convert({"compact Type 1, WinAnsi", "[0 0 320 100]",
             "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+NimbusSans-Regular /FirstChar 32 "
             "/LastChar 122 " + sansWidths.Widths(ascii) + " /Encoding /WinAnsiEncoding "
             "/FontDescriptor 6 0 R >>",
             "BT /F1 28 Tf 10 40 Td (Compact Type 1) Tj ET", nullptr},
            {{6, cffDescriptor}, {7, StreamObject(cff, "/Subtype /Type1C")}}, "");
    Convert({"compact Type 1, codes through Differences", "[0 0 320 100]",
             "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+NimbusSans-Regular /FirstChar 1 "
             "/LastChar 10 " + sansWidths.Widths(subsetX) + " /Encoding << " + differences +
                 " >> /FontDescriptor 6 0 R >>",
             "BT /F1 28 Tf 10 40 Td " + welcome + " ET", nullptr},
            {{6, cffDescriptor}, {7, StreamObject(cff, "/Subtype /Type1C")}}, "");

    // Named only. The widths are those of the face that stands in, or wider (Verdana runs
    // wider than Helvetica): every line keeps the length the PDF gives it.
    const struct {
        const char* what;
        const char* subtype;
        const char* baseFont;
        const char* face;
        int flags;
        double stretch;
    } named[] = {
        {"Arial,Bold", "TrueType", "Arial,Bold", "NimbusSans-Bold", 32, 1.0},
        {"Times New Roman", "TrueType", "TimesNewRomanPSMT", "NimbusRoman-Regular", 34, 1.0},
        {"Courier New italic", "Type1", "CourierNewPS-ItalicMT", "NimbusMonoPS-Italic", 35 + 64, 1.0},
        {"Verdana", "TrueType", "Verdana", "NimbusSans-Regular", 32, 1.15},
        {"a serif font by its flags", "Type1", "ABCDEF+Unknown", "NimbusRoman-Regular", 34, 1.0},
    };
    for (const auto& n : named) {
        FaceWidths face(std::string(kUrwType1) + n.face + ".t1");
        ASSERT_TRUE(face.face) << n.face;
        const std::string font = std::string("<< /Type /Font /Subtype /") + n.subtype +
                                 " /BaseFont /" + n.baseFont + " /FirstChar 32 /LastChar 122 " +
                                 face.Widths(ascii, n.stretch) +
                                 " /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>";
        const std::string descriptor = std::string("<< /Type /FontDescriptor /FontName /") +
                                       n.baseFont + " /Flags " + std::to_string(n.flags) +
                                       " /FontBBox [-200 -300 1000 1000] /ItalicAngle 0 /Ascent 900 "
                                       "/Descent -200 /CapHeight 700 /StemV 80 >>";
        Convert({n.what, "[0 0 320 100]", font,
                 "BT /F1 24 Tf 10 60 Td (Named only, 42) Tj 0 -30 Td [(Kern) 300 (ed)] TJ ET",
                 nullptr},
                {{6, descriptor}}, "");
    }

    // A Type0 font named only: CIDs drawn by the characters its ToUnicode map gives them.
    FaceWidths sans(std::string(kUrwType1) + "NimbusSans-Regular.t1");
    std::string hex, w, bfchar;
    const std::string text = "Type0 named";
    for (size_t i = 0; i < text.size(); i++) {
        char cidHex[8], uniHex[8];
        snprintf(cidHex, sizeof cidHex, "%04X", (unsigned)(100 + i));
        snprintf(uniHex, sizeof uniHex, "%04X", (unsigned char)text[i]);
        hex += cidHex;
        bfchar += std::string("<") + cidHex + "> <" + uniHex + ">\n";
        w += std::to_string(100 + i) + " [" +
             std::to_string(sans.Width(AsciiNames(text[i], text[i])[0].c_str())) + "] ";
    }
    const std::string cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                             "1 begincodespacerange <0000> <FFFF> endcodespacerange\n" +
                             std::to_string(text.size()) + " beginbfchar\n" + bfchar +
                             "endbfchar\nendcmap CMapName currentdict /CMap defineresource pop "
                             "end end\n";
    Convert({"Type0 named only", "[0 0 320 100]",
             "<< /Type /Font /Subtype /Type0 /BaseFont /ArialMT /Encoding /Identity-H "
             "/DescendantFonts [6 0 R] /ToUnicode 7 0 R >>",
             "BT /F1 28 Tf 10 40 Td <" + hex + "> Tj ET", nullptr},
            {{6, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /ArialMT /CIDSystemInfo "
                 "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW 1000 /W [" +
                     w + "] /FontDescriptor 8 0 R >>"},
             {7, StreamObject(cmap, "")},
             {8, "<< /Type /FontDescriptor /FontName /ArialMT /Flags 32 /FontBBox [-665 -325 2000 "
                 "1006] /ItalicAngle 0 /Ascent 905 /Descent -212 /CapHeight 716 /StemV 80 >>"}},
            "");
}

// Fonts whose program is a FontFile3: a Type0 font whose CIDFont carries a compact program,
// bare or in an OpenType font, and a TrueType font carrying an OpenType font. The package
// holds a font part every reader opens, and each code is drawn with its own glyph.
TEST(TextConversion, CompactAndOpenTypeProgramsBecomeFontParts)
{
    DejaVu nimbus(testcff::kNimbusSansOtf);
    if (!nimbus.face)
        GTEST_SKIP() << testcff::kNimbusSansOtf << " is not installed (fonts-urw-base35)";
    const std::string otf = testutil::ReadFile(testcff::kNimbusSansOtf);
    const std::string bare = testcff::SfntTable(otf, "CFF ");
    ASSERT_FALSE(bare.empty());

    // A name-keyed program: CIDs are glyph indices.
    std::string hex, w;
    for (const char* p = "Compact text"; *p; p++) {
        unsigned g = nimbus.Glyph((unsigned char)*p);
        char buf[8];
        snprintf(buf, sizeof buf, "%04X", g);
        hex += buf;
        w += std::to_string(g) + " [" + std::to_string(nimbus.Width(g)) + "] ";
    }
    const std::string type0 = "<< /Type /Font /Subtype /Type0 /BaseFont /NimbusSans-Regular "
                              "/Encoding /Identity-H /DescendantFonts [7 0 R] >>";
    const std::string cidFont = "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /NimbusSans-Regular "
                                "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                                "/DW 1000 /W [" + w + "] /FontDescriptor 6 0 R >>";
    const std::string descriptor =
        "<< /Type /FontDescriptor /FontName /NimbusSans-Regular /Flags 32 /FontBBox [-200 -300 1000 1000] "
        "/ItalicAngle 0 /Ascent 900 /Descent -200 /CapHeight 700 /StemV 80 /FontFile3 9 0 R >>";
    const std::string show = "BT /F1 30 Tf 10 30 Td <" + hex + "> Tj ET";

    Fixture f = {"bare CFF program", "[0 0 320 100]", type0, show, nullptr};
    f.strict = true;
    Convert(f, {{6, descriptor}, {7, cidFont}}, bare);
    // The stream's Subtype is not written by MakePdf; the program itself tells which it is.
    f.what = "OpenType program";
    Convert(f, {{6, descriptor}, {7, cidFont}}, otf);

    // A CID-keyed program: boxes of three heights under CIDs that are not their glyph
    // indices, shown in an order of their own.
    const std::string cid = testcff::CidKeyedCff({{100, 50, 450, 700}, {7, 50, 950, 300}, {300, 50, 250, 500}});
    const std::string boxes = "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /Tiny "
                              "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                              "/W [7 [1000] 100 [500] 300 [300]] /FontDescriptor 6 0 R >>";
    const std::string tinyDescriptor =
        "<< /Type /FontDescriptor /FontName /Tiny /Flags 4 /FontBBox [0 0 1000 1000] "
        "/ItalicAngle 0 /Ascent 1000 /Descent 0 /CapHeight 700 /StemV 80 /FontFile3 9 0 R >>";
    Fixture t = {"CID-keyed program", "[0 0 320 100]",
                 "<< /Type /Font /Subtype /Type0 /BaseFont /Tiny /Encoding /Identity-H "
                 "/DescendantFonts [7 0 R] >>",
                 "BT /F1 40 Tf 10 20 Td <0064 012C 0007 0064 0007> Tj ET", nullptr};
    t.strict = true;
    Convert(t, {{6, tinyDescriptor}, {7, boxes}}, cid);

    std::string widths;
    for (unsigned c = 32; c <= 126; c++)
        widths += std::to_string(nimbus.Width(nimbus.Glyph(c))) + " ";
    Fixture simple = {"TrueType font with an OpenType program", "[0 0 320 100]",
                      "<< /Type /Font /Subtype /TrueType /BaseFont /NimbusSans-Regular /FirstChar 32 "
                      "/LastChar 126 /Widths [" + widths + "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>",
                      "BT /F1 28 Tf 16 40 Td (Open) Tj (Type) Tj ET", "OpenType"};
    simple.strict = true;
    Convert(simple, {{6, descriptor}}, otf);
}

// Two font dictionaries on one TrueType program, the second stating every width as 1000:
// each line keeps the advances of its own dictionary.
TEST(TextConversion, FontsSharingAProgramKeepTheirOwnWidths)
{
    DejaVu dv;
    ASSERT_TRUE(dv.face) << kDejaVu;
    std::string widths, wide;
    for (unsigned c = 32; c <= 126; c++) {
        widths += std::to_string(dv.Width(dv.Glyph(c))) + " ";
        wide += "1000 ";
    }
    const std::string descriptor =
        "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox [-1021 -463 1793 1232] "
        "/ItalicAngle 0 /Ascent 928 /Descent -236 /CapHeight 729 /StemV 80 /FontFile2 9 0 R >>";
    auto trueType = [&](const std::string& w) {
        return "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 /LastChar 126 "
               "/Widths [" + w + "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>";
    };
    for (bool wideFirst : {false, true}) {
        Fixture f = {wideFirst ? "spaced font met first" : "spaced font met second", "[0 0 320 100]",
                     trueType(wideFirst ? wide : widths),
                     "BT /F1 20 Tf 10 60 Td (Same) Tj /F2 20 Tf 0 -40 Td (Same) Tj ET", "SameSame"};
        f.fonts = "<< /F1 5 0 R /F2 10 0 R >>";
        Convert(f, {{6, descriptor}, {10, trueType(wideFirst ? widths : wide)}}, testutil::ReadFile(kDejaVu));
    }
}

}  // namespace
