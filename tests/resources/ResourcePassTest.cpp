// The resource pass end to end: a PDF written by the test, its entry table, the page tree,
// then ExtractResources, and a look at what landed in the temporary folder and the entries.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "CffFonts.h"
#include "PageTreeDoc.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "PdfBuilder.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "TestUtil.h"
#include "TrueTypeFonts.h"
#include "Type1Fonts.h"

namespace {

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The page-tree document, its tree loaded and tmpDir set to `outDir` as the conversion
// driver sets it.
class Doc : public pagetreetest::Doc {
public:
    Doc(const testpdf::PdfBuilder& b, const std::string& outDir) : pagetreetest::Doc(b)
    {
        tree->Load();
        snprintf(tree->tmpDir, sizeof tree->tmpDir, "%s/", outDir.c_str());
    }

    void RunPass()
    {
        for (int p = 0; p < tree->pageCount; p++)
            tree->ExtractResources(p);
    }

    XrefEntry* E(int n) { return xref->Entry(n); }
    FontInfo* Font(int n) { return E(n) ? dynamic_cast<FontInfo*>(E(n)->resData) : nullptr; }
    std::string Path(int n) { return E(n) && E(n)->path ? E(n)->path : ""; }
};

// One page whose resources are `resources`.
void OnePage(testpdf::PdfBuilder& b, const std::string& resources)
{
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Resources " + resources + " >>");
}

// Every file below `dir`, relative to it, sorted.
std::vector<std::string> Files(const std::string& dir)
{
    std::vector<std::string> out;
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir))
        if (!f.is_directory())
            out.push_back(std::filesystem::relative(f.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string Widths(FontInfo* info)
{
    std::string s;
    char buf[64];
    for (int i = 0; info && i < info->count; i++) {
        if (info->cids)
            snprintf(buf, sizeof buf, "%s%u:%g", i ? " " : "", info->cids[i], info->widths[i]);
        else
            snprintf(buf, sizeof buf, "%s%g", i ? " " : "", info->widths[i]);
        s += buf;
    }
    return s;
}

// Glyph of `code` through the font's (3,1) charmap; -1 when the file does not open as a
// font or has no such charmap.
long WindowsGlyph(const std::string& path, unsigned long code)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib))
        return -1;
    long glyph = -1;
    FT_Face face;
    if (FT_New_Face(lib, path.c_str(), 0, &face) == 0) {
        for (int i = 0; i < face->num_charmaps; i++)
            if (face->charmaps[i]->platform_id == 3 && face->charmaps[i]->encoding_id == 1 &&
                FT_Set_Charmap(face, face->charmaps[i]) == 0)
                glyph = (long)FT_Get_Char_Index(face, code);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    return glyph;
}

TEST(ResourcePass, FontsAndProfileOfTwoPagesYieldExactlyTheirFiles)
{
    std::string ttf = testutil::ReadFile(kDejaVu);
    ASSERT_GT(ttf.size(), 100000u) << kDejaVu;
    const std::string type1 = testfont::BoxType1("Foo-Regular", {{"A", 65, 0, 500, 700, 600}});
    const std::string cff = testcff::CidKeyedCff({{10, 0, 500, 700}});
    const std::string icc = std::string("\x00\x00\x02\x0c", 4) + "lcms" + std::string(120, '\x7f');

    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Resources 5 0 R >>");
    b.Object(4, "<< /Type /Page /Parent 2 0 R /Resources 5 0 R >>");
    b.Object(5, "<< /Font 6 0 R /ColorSpace << /CS0 /DeviceRGB /CS1 [/Indexed /DeviceRGB 1 <000000FFFFFF>] "
                "/CS2 51 0 R >> >>");
    b.Object(6, "<< /F1 10 0 R /F2 20 0 R /F3 30 0 R /F4 40 0 R >>");
    b.Object(10, "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+DejaVuSans /FirstChar 32 "
                 "/Widths [500 250.5 0] /FontDescriptor 11 0 R >>");
    b.Object(11, "<< /Type /FontDescriptor /FontName /ABCDEF+DejaVuSans /FontFile2 12 0 R >>");
    b.Stream(12, "/Filter /FlateDecode", testpdf::Deflate(ttf));
    b.Object(20, "<< /Type /Font /Subtype /Type0 /BaseFont /CIDSans /Encoding /Identity-H "
                 "/DescendantFonts [21 0 R] >>");
    b.Object(21, "<< /Type /Font /Subtype /CIDFontType0 /FontDescriptor 22 0 R /W [1 [500 600] 10 12 250] >>");
    b.Object(22, "<< /Type /FontDescriptor /FontName /CIDSans /FontFile3 23 0 R >>");
    b.Stream(23, "/Subtype /CIDFontType0C", cff);
    b.Object(30, "<< /Type /Font /Subtype /Type1 /BaseFont /Foo-Regular /FirstChar 65 /Widths 33 0 R "
                 "/FontDescriptor 31 0 R >>");
    b.Object(31, "<< /Type /FontDescriptor /FontName /Foo-Regular /FontFile 32 0 R >>");
    // A Type 1 program behind a chain of two filters.
    b.Stream(32, "/Filter [/ASCII85Decode /FlateDecode]", testpdf::Ascii85Encode(testpdf::Deflate(type1)));
    b.Object(33, "[600 700.25]");
    b.Object(40, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1 1] /FontMatrix [1 0 0 1 0 0] "
                 "/CharProcs << >> /Encoding << >> /FirstChar 0 /LastChar 0 /Widths [0] >>");
    b.Stream(50, "/N 3 /Filter /FlateDecode", testpdf::Deflate(icc));
    b.Object(51, "[/ICCBased 50 0 R]");
    b.ClassicXref();

    testutil::TempDir out;
    Doc doc(b, out.path());
    ASSERT_EQ(doc.tree->pageCount, 2);
    EXPECT_EQ(doc.tree->ExtractResources(2), -1);
    EXPECT_EQ(doc.tree->ExtractResources(-1), -1);
    EXPECT_EQ(doc.tree->ExtractResources(0), 0);

    const std::vector<std::string> expected = {"ABCDEF+DejaVuSans_012.ttf", "CIDSans_023.ttf", "Foo-Regular_032.pfa",
                                               "profilenf00050.icc"};
    EXPECT_EQ(Files(out.path()), expected);

    EXPECT_EQ(doc.Path(12), out.file("ABCDEF+DejaVuSans_012.ttf"));
    ASSERT_NE(doc.Font(12), nullptr);
    EXPECT_EQ(doc.Font(12)->kind, FONT_KIND_TRUETYPE);
    EXPECT_EQ(doc.Font(12)->firstChar, 32);
    EXPECT_EQ(Widths(doc.Font(12)), "500 250.5 0");
    EXPECT_GT(WindowsGlyph(doc.Path(12), 'A'), 0);

    ASSERT_NE(doc.Font(23), nullptr);
    EXPECT_EQ(doc.Font(23)->kind, FONT_KIND_TYPE0);
    EXPECT_EQ(Widths(doc.Font(23)), "1:500 2:600 10:250 11:250 12:250");
    // The bare CFF program, wrapped into an OpenType font of its own.
    const std::string wrapped = testutil::ReadFile(doc.Path(23));
    EXPECT_EQ(wrapped.substr(0, 4), "OTTO");
    EXPECT_EQ(testcff::SfntTable(wrapped, "CFF "), cff);
    EXPECT_EQ(doc.Font(23)->numGlyphs, 2);
    ASSERT_TRUE(doc.Font(23)->cidToGid);
    EXPECT_EQ((*doc.Font(23)->cidToGid)[10], 1);

    ASSERT_NE(doc.Font(32), nullptr);
    EXPECT_EQ(doc.Font(32)->kind, FONT_KIND_TYPE1);
    EXPECT_EQ(doc.Font(32)->firstChar, 65);
    EXPECT_EQ(Widths(doc.Font(32)), "600 700.25");
    EXPECT_EQ(testutil::ReadFile(doc.Path(32)), type1);

    IccInfo* profile = dynamic_cast<IccInfo*>(doc.E(50)->resData);
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->N, 3);
    EXPECT_EQ(testutil::ReadFile(doc.Path(50)), icc);

    // Page two shares everything: its fonts and its profile are done, and nothing is
    // decoded or written again.
    for (const auto& f : expected)
        std::remove(out.file(f).c_str());
    FontInfo* first = doc.Font(12);
    EXPECT_EQ(doc.tree->ExtractResources(1), 0);
    EXPECT_TRUE(Files(out.path()).empty());
    EXPECT_EQ(doc.Font(12), first);
    EXPECT_EQ(dynamic_cast<IccInfo*>(doc.E(50)->resData), profile);
}

// FontName comes from the file; whatever it holds, the file lands in the temporary folder
// under a name of plain characters.
TEST(ResourcePass, FontNamesCannotLeaveTheFolderOrBreakTheName)
{
    const std::string longName(300, 'x');
    struct Case {
        std::string fontName;  // PDF syntax
        std::string stem;      // expected file name without the object number
    } cases[] = {
        {"/#2F#2E#2E#2F#2E#2E#2Fevil", "_.._.._evil"},
        {"(/../../evil)", "_.._.._evil"},
        {"/#2E#2E/#2E#2E/evil", ".."},  // three names: the FontName is ".."
        {"(..\\\\..\\\\evil)", ".._.._evil"},
        {"/A#22#26#3C#25#20#C3#A9#27+B", "A________+B"},
        {"/" + longName, ""},  // cut to fit; checked below
    };

    const std::string program = testfont::BoxType1("X", {});
    testpdf::PdfBuilder b;
    std::string fonts = "<<";
    int obj = 100;
    for (const auto& c : cases) {
        fonts += " /F" + std::to_string(obj) + " " + std::to_string(obj) + " 0 R";
        b.Object(obj, "<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor " + std::to_string(obj + 1) +
                          " 0 R >>");
        b.Object(obj + 1, "<< /Type /FontDescriptor /FontName " + c.fontName + " /FontFile " +
                              std::to_string(obj + 2) + " 0 R >>");
        b.Stream(obj + 2, "", program);
        obj += 3;
    }
    OnePage(b, "<< /Font " + fonts + " >> >>");
    b.ClassicXref();

    // The folder sits two levels down, so "../../" from it would still be inside `root`.
    testutil::TempDir root;
    std::string dir = root.file("a/b");
    std::filesystem::create_directories(dir);
    Doc doc(b, dir);
    doc.RunPass();

    std::vector<std::string> expected;
    obj = 102;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fontName);
        std::string path = doc.Path(obj);
        if (c.stem.empty()) {
            EXPECT_EQ(path.size(), 259u);
            EXPECT_EQ(path, dir + "/" + longName.substr(0, 259 - dir.size() - 1 - 8) + "_" + std::to_string(obj) + ".pfa");
        } else {
            EXPECT_EQ(path, dir + "/" + c.stem + "_" + std::to_string(obj) + ".pfa");
        }
        EXPECT_EQ(testutil::ReadFile(path), program);
        expected.push_back("a/b/" + path.substr(dir.size() + 1));
        obj += 3;
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Files(root.path()), expected);
}

// A name ending in digits never runs into the object number: "Font1" of object 102 and
// "Font" of object 1102 once both became Font1102.pfa, and the second program overwrote the
// first, so both fonts drew with one.
TEST(ResourcePass, FontFilesOfDifferentObjectsNeverShareAName)
{
    const std::string first = testfont::BoxType1("Font1", {});
    const std::string second = testfont::BoxType1("Font", {});
    testpdf::PdfBuilder b;
    b.Object(100, "<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor 101 0 R >>");
    b.Object(101, "<< /Type /FontDescriptor /FontName /Font1 /FontFile 102 0 R >>");
    b.Stream(102, "", first);
    b.Object(1100, "<< /Type /Font /Subtype /Type1 /BaseFont /Y /FontDescriptor 1101 0 R >>");
    b.Object(1101, "<< /Type /FontDescriptor /FontName /Font /FontFile 1102 0 R >>");
    b.Stream(1102, "", second);
    OnePage(b, "<< /Font << /F1 100 0 R /F2 1100 0 R >> >>");
    b.ClassicXref();
    testutil::TempDir out;
    Doc doc(b, out.path());
    doc.RunPass();
    EXPECT_EQ(doc.Path(102), out.file("Font1_102.pfa"));
    EXPECT_EQ(doc.Path(1102), out.file("Font_1102.pfa"));
    EXPECT_EQ(testutil::ReadFile(doc.Path(102)), first);
    EXPECT_EQ(testutil::ReadFile(doc.Path(1102)), second);
}

// Damaged or unusual font and colour-space structures: what may be extracted is, the rest
// leaves no file behind, and no record but that of a program refused.
TEST(ResourcePass, UnusualStructuresExtractSoundlyOrNotAtAll)
{
    const std::string direct = testfont::BoxType1("Direct", {});
    testpdf::PdfBuilder b;
    OnePage(b,
            "<< /Font << /Direct 10 0 R /DirectCID 20 0 R /Shared 13 0 R /NotRef 30 0 R /NotStream 32 0 R "
            "/Missing 34 0 R /Bad 40 0 R /NoValue 5 >> "
            "/ColorSpace << /A [/ICCBased] /B [/ICCBased 5] /C [/ICCBased 999 0 R] /D [/ICCBased 42 0 R] "
            "/E [/ICCBased 12 0 R] >> >>");
    // A descriptor given directly, and a second font sharing its file with other widths.
    b.Object(10, "<< /Subtype /Type1 /FirstChar 1 /Widths [100] "
                 "/FontDescriptor << /FontName /Direct /FontFile 12 0 R >> >>");
    b.Stream(12, "/Filter /FlateDecode", testpdf::Deflate(direct));
    b.Object(13, "<< /Subtype /Type1 /FirstChar 1 /Widths [999 999] "
                 "/FontDescriptor << /FontName /Shared /FontFile 12 0 R >> >>");
    // A CIDFont given directly in DescendantFonts.
    b.Object(20, "<< /Subtype /Type0 /DescendantFonts [<< /Subtype /CIDFontType2 /W [3 [7]] "
                 "/FontDescriptor << /FontName /DirectCID /FontFile2 21 0 R >> >>] >>");
    b.Stream(21, "/Filter /FlateDecode", testpdf::Deflate(testutil::ReadFile(kDejaVu)));
    // A font file given as a number, not a reference: the stream it names stays untouched.
    b.Object(30, "<< /Subtype /Type1 /FontDescriptor << /FontName /NotRef /FontFile 31 >> >>");
    b.Stream(31, "", "never extracted");
    // A font file that is no stream, and one that is no object at all.
    b.Object(32, "<< /Subtype /TrueType /FontDescriptor << /FontName /NotStream /FontFile2 33 0 R >> >>");
    b.Object(33, "<< /Length 0 >>");
    b.Object(34, "<< /Subtype /TrueType /FontDescriptor << /FontName /Missing /FontFile2 999 0 R >> >>");
    // A program the rewriter refuses: no file, and the entry keeps it as refused, so that it
    // is not read again.
    b.Object(40, "<< /Subtype /TrueType /Widths [1 2 3] /FontDescriptor << /FontName /Bad /FontFile2 41 0 R >> >>");
    b.Stream(41, "", std::string("\x00\x01\x00\x00\xff\xff", 6) + "not a font");
    b.Stream(42, "/N 1", "gray profile");
    b.ClassicXref();

    testutil::TempDir out;
    Doc doc(b, out.path());
    doc.RunPass();

    EXPECT_EQ(Files(out.path()), (std::vector<std::string>{"DirectCID_021.ttf", "Direct_012.pfa", "profilenf00042.icc"}));
    EXPECT_EQ(testutil::ReadFile(doc.Path(12)), direct);
    EXPECT_EQ(Widths(doc.Font(12)), "100");  // the first dictionary met decides
    EXPECT_EQ(Widths(doc.Font(21)), "3:7");
    EXPECT_EQ(doc.E(31)->path, nullptr);
    EXPECT_EQ(doc.E(31)->resData, nullptr);
    EXPECT_EQ(doc.E(33)->path, nullptr);
    EXPECT_EQ(doc.E(41)->path, nullptr);
    EXPECT_NE(RecordAs<RefusedFontProgram>(doc.E(41)->resData), nullptr);
    ASSERT_NE(dynamic_cast<IccInfo*>(doc.E(42)->resData), nullptr);
    EXPECT_EQ(dynamic_cast<IccInfo*>(doc.E(42)->resData)->N, 1);
    // A profile naming a font file does not take that font's record.
    EXPECT_NE(doc.Font(12), nullptr);
    EXPECT_EQ(doc.Path(12), out.file("Direct_012.pfa"));
}

// The W array of CIDFonts, read by two walks that must agree whatever the array holds.
TEST(ResourcePass, CidWidthsFromTheWArray)
{
    std::string overflow = "[0 2147483647 500 2147483000 [1 2] -2147483648 2147483647 7 5 [] 65535 70000 300 9]";
    std::string manyRanges = "[";
    std::string fullRanges = "[";
    for (int i = 0; i < 20; i++) {
        manyRanges += "0 65535 1 ";
        if (i < FONT_MAX_W_PAIRS / FONT_MAX_RANGE_CIDS)
            fullRanges += "0 65535 1 ";
    }
    manyRanges += "]";
    fullRanges += "]";
    const std::string lastCid = std::to_string(FONT_MAX_RANGE_CIDS - 1);
    struct Case {
        std::string w;
        std::string pairs;  // checked for the short ones
        int count;
    } cases[] = {
        {"[1 [500 600] 10 12 250]", "1:500 2:600 10:250 11:250 12:250", 5},
        {"[5 5 100]", "5:100", 1},
        {"[7 3 100]", "", 0},
        {"[70000 [300]]", "4464:300", 1},
        {"[1 2.9 300.5]", "1:300.5 2:300.5", 2},
        {"[1 5]", "", 0},        // a range without its width
        {"[1 [2] 9]", "1:2", 1},  // a first CID left alone
        {"[/Bad 4 [8]]", "4:8", 1},
        {overflow, "", 65536 + 2 + 65536 + 4466},
        {manyRanges, "", FONT_MAX_W_PAIRS},
        {fullRanges, "", FONT_MAX_W_PAIRS},
        {"[0 " + lastCid + " 4]", "", FONT_MAX_RANGE_CIDS},
        {"[0 " + std::to_string(FONT_MAX_RANGE_CIDS) + " 4]", "", FONT_MAX_RANGE_CIDS},
    };

    const std::string program = testcff::CidKeyedCff({{1, 0, 500, 700}});
    testpdf::PdfBuilder b;
    std::string fonts = "<<";
    int obj = 100;
    for (const auto& c : cases) {
        fonts += " /F" + std::to_string(obj) + " " + std::to_string(obj) + " 0 R";
        b.Object(obj, "<< /Subtype /Type0 /DescendantFonts [" + std::to_string(obj + 1) + " 0 R] >>");
        b.Object(obj + 1, "<< /Subtype /CIDFontType0 /W " + c.w + " /FontDescriptor << /FontName /C /FontFile3 " +
                              std::to_string(obj + 2) + " 0 R >> >>");
        b.Stream(obj + 2, "", program);
        obj += 3;
    }
    OnePage(b, "<< /Font " + fonts + " >> >>");
    b.ClassicXref();

    testutil::TempDir out;
    Doc doc(b, out.path());
    doc.RunPass();

    obj = 102;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w.substr(0, 40));
        FontInfo* info = doc.Font(obj);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->count, c.count);
        if (c.count < 100) {
            EXPECT_EQ(Widths(info), c.pairs);
        }
        if (c.w == overflow) {
            EXPECT_EQ(info->cids[65535], 65535);
            EXPECT_EQ(info->widths[65535], 500);
            EXPECT_EQ(info->cids[65536], (2147483000 & 0xFFFF));
            EXPECT_EQ(info->widths[65537], 2);
            EXPECT_EQ(info->cids[65538], 0);  // -2147483648 in 16 bits
            EXPECT_EQ(info->widths[65538], 7);
            EXPECT_EQ(info->cids[info->count - 1], 70000 & 0xFFFF);
            EXPECT_EQ(info->widths[info->count - 1], 300);
        }
        EXPECT_EQ(testcff::SfntTable(testutil::ReadFile(doc.Path(obj)), "CFF "), program);
        obj += 3;
    }
}

// Charmaps of a font file by FreeType, as "platform/encoding ..."; "unreadable" when it does
// not open.
std::string Charmaps(const std::string& path)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib))
        return "unreadable";
    std::string out = "unreadable";
    FT_Face face;
    if (FT_New_Face(lib, path.c_str(), 0, &face) == 0) {
        out.clear();
        for (int i = 0; i < face->num_charmaps; i++)
            out += (i ? " " : "") + std::to_string(face->charmaps[i]->platform_id) + "/" +
                   std::to_string(face->charmaps[i]->encoding_id);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    return out;
}

TEST(ResourcePass, CidTrueTypeProgramsBecomeCompleteFonts)
{
    // A subset as CID fonts carry it: no cmap and no OS/2 table (their tags renamed away).
    std::string ttf = testutil::ReadFile(kDejaVu);
    ASSERT_GT(ttf.size(), 1000u);
    unsigned tables = (unsigned char)ttf[4] << 8 | (unsigned char)ttf[5];
    for (unsigned i = 0; i < tables; i++) {
        std::string tag = ttf.substr(12 + 16 * i, 4);
        if (tag == "cmap" || tag == "OS/2")
            ttf[12 + 16 * i + 3] = 'x';
    }
    ASSERT_EQ(Charmaps(kDejaVu).empty(), false);
    testpdf::PdfBuilder b;
    OnePage(b, "<< /Font << /C 20 0 R >> >>");
    b.Object(20, "<< /Subtype /Type0 /DescendantFonts [21 0 R] >>");
    b.Object(21, "<< /Subtype /CIDFontType2 /W [3 [600]] /FontDescriptor 22 0 R >>");
    b.Object(22, "<< /FontName /ABCDEF+Subset /FontFile2 23 0 R >>");
    b.Stream(23, "/Filter /FlateDecode", testpdf::Deflate(ttf));
    b.ClassicXref();

    testutil::TempDir out;
    Doc doc(b, out.path());
    doc.RunPass();
    ASSERT_EQ(doc.Path(23), out.file("ABCDEF+Subset_023.ttf"));
    EXPECT_EQ(Widths(doc.Font(23)), "3:600");
    // The rewriter's symbol cmap: glyphs stay addressed by their index.
    EXPECT_EQ(Charmaps(doc.Path(23)), "3/0");
}

// The package packs whatever an entry names: a folder that takes no files leaves every
// entry empty, so nothing names a missing file.
TEST(ResourcePass, FilesThatCannotBeCreatedLeaveNoEntry)
{
    std::string ttf = testutil::ReadFile(kDejaVu);
    testpdf::PdfBuilder b;
    OnePage(b, "<< /Font << /T 10 0 R /C 20 0 R /P 30 0 R >> /ColorSpace << /I [/ICCBased 40 0 R] >> >>");
    b.Object(10, "<< /Subtype /TrueType /FontDescriptor << /FontName /T /FontFile2 11 0 R >> >>");
    b.Stream(11, "/Filter /FlateDecode", testpdf::Deflate(ttf));
    b.Object(20, "<< /Subtype /Type0 /DescendantFonts [<< /FontDescriptor << /FontName /C /FontFile2 21 0 R >> >>] >>");
    b.Stream(21, "", testfont::BoxTrueType({{0, 500, 700, 600}}));
    b.Object(30, "<< /Subtype /Type1 /FontDescriptor << /FontName /P /FontFile 31 0 R >> >>");
    b.Stream(31, "", testfont::BoxType1("P", {}));
    b.Stream(40, "/N 4", "cmyk");
    b.ClassicXref();

    testutil::TempDir out;
    Doc doc(b, out.file("missing"));
    doc.RunPass();
    for (int n : {11, 21, 31, 40}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(doc.E(n)->path, nullptr);
        // The profile keeps its record, so that it is not decoded again for every use.
        if (n != 40) {
            EXPECT_EQ(doc.E(n)->resData, nullptr);
        }
    }
    IccInfo* profile = dynamic_cast<IccInfo*>(doc.E(40)->resData);
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->N, 4);
    EXPECT_TRUE(Files(out.path()).empty());
}

}  // namespace
