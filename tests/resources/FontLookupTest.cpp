// The font lookup of text showing: what each kind of font resource is answered with, and
// the on-demand extraction of fonts the resource pass did not reach.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "CffFonts.h"
#include "PageTreeDoc.h"
#include "PdfBuilder.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "TestUtil.h"
#include "TrueTypeFonts.h"
#include "Type1Fonts.h"

namespace {

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class Name : public PdfName {
public:
    explicit Name(const char* text) { str = strdup(text); }
};

class LookupDoc {
public:
    // The fonts of object 4 as `fonts` lists them, or those the tests below share.
    explicit LookupDoc(const testpdf::PdfBuilder* given = nullptr)
        : type1(testfont::BoxType1("ABCDEF+Garamond", {{"A", 65, 0, 500, 700, 600}})),
          compact(testcff::NameKeyedCff({{"A.sc", 0, 500, 600, 600}}))
    {
        if (given) {
            Open(*given);
            return;
        }
        testpdf::PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        b.Object(3, "<< /Font 4 0 R >>");
        b.Object(4, "<< /Done 10 0 R /Fresh 20 0 R /Std 30 0 R /Emb 40 0 R /T3 50 0 R "
                    "/NoFile 60 0 R /MM 70 0 R /MMEmb 71 0 R /Broken 80 0 R /CFF 90 0 R /NotCFF 95 0 R "
                    "/Compact 100 0 R /Named 110 0 R /NamedTT 111 0 R /StdEmb 120 0 R "
                    "/Dangling 130 0 R /NextKey 132 0 R "
                    "/Direct << /Subtype /Type3 /FontMatrix [1 0 0 1 0 0] >> >>");
        // Extracted by the pass already.
        b.Object(10, "<< /Subtype /TrueType /FontDescriptor 11 0 R >>");
        b.Object(11, "<< /FontName /Done /FontFile2 27 0 R >>");
        b.Stream(27, "", "not read");
        // Reached by nothing but this lookup.
        b.Object(20, "<< /Subtype /TrueType /FirstChar 65 /Widths [600 700] /FontDescriptor 21 0 R >>");
        b.Object(21, "<< /FontName /ABCDEF+DejaVuSans /FontFile2 22 0 R >>");
        b.Stream(22, "", testutil::ReadFile(kDejaVu));
        // A standard name embedding a program that is no font: drawn from the built-in data.
        b.Object(30, "<< /Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 31 0 R >>");
        b.Object(31, "<< /FontName /Helvetica /FontFile 32 0 R >>");
        b.Object(33, "<< /FontName /Arial,Bold /Flags 262176 >>");
        b.Stream(32, "", "%!PS-AdobeFont-1.0: Helvetica");
        b.Object(40, "<< /Subtype /Type1 /BaseFont /ABCDEF+Garamond /FontDescriptor 41 0 R >>");
        b.Object(41, "<< /FontName /ABCDEF+Garamond /FontFile 42 0 R >>");
        b.Stream(42, "", type1);
        b.Object(50, "<< /Subtype /Type3 /CharProcs << >> /FontMatrix [0.001 0 0 0.001 0 0] >>");
        b.Object(60, "<< /Subtype /Type0 /DescendantFonts [61 0 R] >>");
        b.Object(61, "<< /Subtype /CIDFontType2 /FontDescriptor 62 0 R >>");
        b.Object(62, "<< /FontName /NoFile >>");
        // Instances of multiple-master fonts are Type 1 fonts, with a program or without.
        b.Object(70, "<< /Subtype /MMType1 /BaseFont /Myriad >>");
        b.Object(71, "<< /Subtype /MMType1 /BaseFont /ABCDEF+Garamond_400_ /FontDescriptor 41 0 R >>");
        // The font file is no stream: the font embeds nothing.
        b.Object(80, "<< /Subtype /TrueType /FontDescriptor 81 0 R >>");
        b.Object(81, "<< /FontName /Broken /FontFile2 82 0 R >>");
        b.Object(82, "<< /Length 0 >>");
        b.Object(90, "<< /Subtype /Type0 /DescendantFonts [91 0 R] >>");
        b.Object(91, "<< /Subtype /CIDFontType0 /DW 500 /W [3 [250]] /FontDescriptor 92 0 R >>");
        b.Object(92, "<< /FontName /CFF /FontFile3 93 0 R >>");
        b.Stream(93, "/Subtype /CIDFontType0C", testcff::CidKeyedCff({{3, 0, 500, 700}}));
        // A program that is neither CFF nor an sfnt becomes no font part: the font is drawn
        // as one without a program.
        b.Object(95, "<< /Subtype /Type0 /DescendantFonts [<< /Subtype /CIDFontType0 "
                     "/FontDescriptor << /FontName /NotCFF /FontFile3 96 0 R >> >>] >>");
        b.Stream(96, "/Subtype /CIDFontType0C", "CFF program");
        // A Type 1 font whose program is in compact form, with the dictionary's Encoding.
        b.Object(100, "<< /Subtype /Type1 /BaseFont /ABCDEF+Utopia /FontDescriptor 101 0 R "
                      "/Encoding 103 0 R >>");
        b.Object(101, "<< /FontName /ABCDEF+Utopia /FontFile3 102 0 R >>");
        b.Stream(102, "/Subtype /Type1C", compact);
        b.Object(103, "<< /BaseEncoding /WinAnsiEncoding /Differences 104 0 R >>");
        b.Object(104, "[65 /A.sc]");
        // Named, not embedded: drawn from the dictionary with a built-in font.
        b.Object(110, "<< /Subtype /Type1 /BaseFont /Arial,Bold /FontDescriptor 33 0 R >>");
        b.Object(111, "<< /Subtype /TrueType /BaseFont /TimesNewRomanPSMT >>");
        // A standard name with a program of its own: the program holds what its Encoding names.
        b.Object(120, "<< /Subtype /Type1 /BaseFont /Times-Roman /FontDescriptor 121 0 R >>");
        b.Object(121, "<< /FontName /Times-Roman /FontFile3 122 0 R >>");
        b.Stream(122, "/Subtype /Type1C", compact);
        // Program entries that refer to nothing: the font embeds no program, or the next key's.
        b.Object(130, "<< /Subtype /TrueType /BaseFont /ArialMT /FontDescriptor 131 0 R >>");
        b.Object(131, "<< /FontName /ArialMT /FontFile2 0 0 R >>");
        b.Object(132, "<< /Subtype /Type1 /BaseFont /ABCDEF+Utopia /FontDescriptor 133 0 R >>");
        b.Object(133, "<< /FontName /ABCDEF+Utopia /FontFile 999 0 R /FontFile3 102 0 R >>");
        Open(b);
        std::string done = dir.file("Done027.ttf");
        xref->entries[27].path = strdup(done.c_str());
        xref->entries[27].resData = new FontInfo;
    }

    void Open(const testpdf::PdfBuilder& b)
    {
        pdf = dir.file("doc.pdf");
        xref = pagetreetest::OpenXref(b, pdf);
        tree = new PdfPageTree(xref);
        snprintf(tree->tmpDir, sizeof tree->tmpDir, "%s/", dir.path().c_str());
        ParseIndirectObject(&resources, xref, 3, 0, xref->buf, sizeof xref->buf);
    }

    ~LookupDoc()
    {
        delete resources;
        delete tree;
        fclose(xref->fp);
        ReleaseXref(xref);
    }

    LookupDoc(const LookupDoc&) = delete;
    LookupDoc& operator=(const LookupDoc&) = delete;

    // The answer as text: the object number, the font dictionary's Subtype, or -1.
    std::string Find(const char* name, PdfObj* res)
    {
        Name n(name);
        PdfObj sentinel;
        PdfObj* out = &sentinel;
        if (tree->FindFontFile(&n, &out, res) != 0)
            return out == &sentinel ? "-1" : "-1 but out was set";
        std::string s;
        if (out && out->Type() == PDF_NUMBER)
            s = std::to_string(static_cast<PdfNumber*>(out)->value);
        else if (out && out->Type() == PDF_DICT)
            s = "copy " + testpdf::Describe(out);
        else if (out && out->Type() == PDF_ARRAY)
            s = testpdf::Describe(out);
        else
            s = "?";
        delete out;
        return s;
    }

    std::string Path(int n) { return xref->entries[n].path ? xref->entries[n].path : ""; }

    const std::string type1;    // a Type 1 program and a compact one
    const std::string compact;
    testutil::TempDir dir;
    std::string pdf;
    PdfXref* xref;
    PdfPageTree* tree;
    PdfObj* resources = nullptr;
};

TEST(FindFontFile, AnswersByKind)
{
    LookupDoc doc;
    const struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"Done", "27"},
        {"Fresh", "22"},
        {"Std", "copy <</Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 31 0 R>>"},
        {"Emb", "42"},
        {"T3", "copy <</Subtype /Type3 /CharProcs <<>> /FontMatrix [0.001 0 0 0.001 0 0]>>"},
        {"Direct", "copy <</Subtype /Type3 /FontMatrix [1 0 0 1 0 0]>>"},
        {"CFF", "93"},
        {"Compact", "102"},
        {"NotCFF", "copy <</Subtype /Type0 /DescendantFonts [<</Subtype /CIDFontType0 "
                   "/FontDescriptor <</FontName /NotCFF /FontFile3 96 0 R>>>>]>>"},
        {"NoFile", "copy <</Subtype /Type0 /DescendantFonts [61 0 R]>>"},
        {"Named", "copy <</Subtype /Type1 /BaseFont /Arial,Bold /FontDescriptor 33 0 R>>"},
        {"NamedTT", "copy <</Subtype /TrueType /BaseFont /TimesNewRomanPSMT>>"},
        {"MM", "copy <</Subtype /MMType1 /BaseFont /Myriad>>"},
        {"MMEmb", "42"},
        {"Broken", "copy <</Subtype /TrueType /FontDescriptor 81 0 R>>"},
        {"StdEmb", "122"},
        {"Dangling", "copy <</Subtype /TrueType /BaseFont /ArialMT /FontDescriptor 131 0 R>>"},
        {"NextKey", "102"},
        {"Absent", "-1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, doc.Find(c.name, doc.resources)) << c.name;

    // Only what had not been extracted was; the program that is no font is kept as refused.
    EXPECT_EQ(doc.dir.file("Done027.ttf"), doc.Path(27));
    EXPECT_FALSE(testutil::FileExists(doc.Path(27)));
    EXPECT_EQ(doc.dir.file("ABCDEF+DejaVuSans_022.ttf"), doc.Path(22));
    EXPECT_TRUE(testutil::FileExists(doc.Path(22)));
    FontInfo* fresh = dynamic_cast<FontInfo*>(doc.xref->entries[22].resData);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(65, fresh->firstChar);
    EXPECT_EQ(2, fresh->count);
    EXPECT_EQ(doc.dir.file("ABCDEF+Garamond_042.pfa"), doc.Path(42));
    EXPECT_EQ(doc.type1, testutil::ReadFile(doc.Path(42)));
    EXPECT_EQ("OTTO", testutil::ReadFile(doc.Path(93)).substr(0, 4));
    EXPECT_EQ("", doc.Path(96));
    EXPECT_NE(nullptr, RecordAs<RefusedFontProgram>(doc.xref->entries[96].resData));
    FontInfo* cid = dynamic_cast<FontInfo*>(doc.xref->entries[93].resData);
    ASSERT_TRUE(cid);
    EXPECT_EQ(500, cid->defaultWidth);
    EXPECT_EQ(1, cid->count);
    EXPECT_EQ("", doc.Path(32));
    EXPECT_NE(nullptr, RecordAs<RefusedFontProgram>(doc.xref->entries[32].resData));
    EXPECT_EQ("", doc.Path(82));
    // The compact program is written as it decodes; the record keeps the Encoding with its
    // references followed.
    EXPECT_EQ(doc.dir.file("ABCDEF+Utopia_102.cff"), doc.Path(102));
    EXPECT_EQ(doc.compact, testutil::ReadFile(doc.Path(102)));
    FontInfo* compact = dynamic_cast<FontInfo*>(doc.xref->entries[102].resData);
    ASSERT_TRUE(compact);
    EXPECT_EQ(FONT_KIND_TYPE1, compact->kind);
    ASSERT_TRUE(compact->encoding);
    EXPECT_EQ("<</BaseEncoding /WinAnsiEncoding /Differences [65 /A.sc]>>",
              testpdf::Describe(compact->encoding));
}

TEST(FindFontFile, ResourcesGivenEachWay)
{
    LookupDoc doc;
    PdfIndirect ref;
    ref.refNum = 3;
    EXPECT_EQ("27", doc.Find("Done", &ref));
    EXPECT_EQ("-1", doc.Find("Done", nullptr));
    PdfNumber notADict;
    EXPECT_EQ("-1", doc.Find("Done", &notADict));
    PdfDict noFonts;
    EXPECT_EQ("-1", doc.Find("Done", &noFonts));
}

// Font dictionaries that share one program each keep their own widths: the first one met
// the program's record, every other its own width set, up to FONT_MAX_WIDTH_SETS sets.
TEST(FindFontFile, EachFontDictionaryKeepsItsOwnWidths)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    b.Object(3, "<< /Font 4 0 R >>");
    const int distinct = FONT_MAX_WIDTH_SETS + 1;
    std::string fonts = "<<";
    for (int i = 0; i < distinct; i++) {
        fonts += " /T" + std::to_string(i) + " " + std::to_string(100 + i) + " 0 R";
        b.Object(100 + i, "<< /Subtype /TrueType /FirstChar 65 /Widths [" + std::to_string(500 + i) +
                              "] /FontDescriptor 11 0 R >>");
    }
    // The widths of T3 again, in a dictionary of its own; and a font of the same widths
    // given directly.
    b.Object(99, "<< /Subtype /TrueType /FirstChar 65 /Widths [503] /FontDescriptor 11 0 R >>");
    fonts += " /Again 99 0 R /Direct << /Subtype /TrueType /FirstChar 65 /Widths [502] "
             "/FontDescriptor 11 0 R >>";
    b.Object(11, "<< /FontName /Shared /FontFile2 12 0 R >>");
    b.Stream(12, "", testutil::ReadFile(kDejaVu));
    // Two CIDFonts on one compact program: W and DW count.
    fonts += " /C0 20 0 R /C1 21 0 R /C2 22 0 R >>";
    b.Object(20, "<< /Subtype /Type0 /DescendantFonts [<< /Subtype /CIDFontType0 /W [3 [250]] "
                 "/FontDescriptor 23 0 R >>] >>");
    b.Object(21, "<< /Subtype /Type0 /DescendantFonts [<< /Subtype /CIDFontType0 /W [3 [800]] "
                 "/FontDescriptor 23 0 R >>] >>");
    b.Object(22, "<< /Subtype /Type0 /DescendantFonts [<< /Subtype /CIDFontType0 /DW 500 /W [3 [250]] "
                 "/FontDescriptor 23 0 R >>] >>");
    b.Object(23, "<< /FontName /CidShared /FontFile3 24 0 R >>");
    b.Stream(24, "/Subtype /CIDFontType0C", testcff::CidKeyedCff({{3, 0, 500, 700}}));
    b.Object(4, fonts);
    LookupDoc doc(&b);

    for (int i = 0; i < distinct; i++) {
        // Past the last set, the program's own widths.
        const int set = i < FONT_MAX_WIDTH_SETS ? i : 0;
        EXPECT_EQ(set ? "[12 " + std::to_string(set) + "]" : "12", doc.Find(("T" + std::to_string(i)).c_str(), doc.resources))
            << i;
    }
    EXPECT_EQ("[12 3]", doc.Find("Again", doc.resources));
    EXPECT_EQ("[12 2]", doc.Find("Direct", doc.resources));
    FontInfo* record = dynamic_cast<FontInfo*>(doc.xref->entries[12].resData);
    ASSERT_TRUE(record);
    ASSERT_EQ((size_t)FONT_MAX_WIDTH_SETS - 1, record->variants.size());
    for (int k = 0; k < FONT_MAX_WIDTH_SETS; k++) {
        FontInfo* set = record->WidthSet(k);
        ASSERT_EQ(1, set->count);
        EXPECT_EQ(500 + k, set->widths[0]);
        EXPECT_EQ(65, set->firstChar);
        EXPECT_EQ(record->numGlyphs, set->numGlyphs);
    }
    EXPECT_EQ(record, record->WidthSet(FONT_MAX_WIDTH_SETS));
    EXPECT_EQ(record, record->WidthSet(-1));

    EXPECT_EQ("24", doc.Find("C0", doc.resources));
    EXPECT_EQ("[24 1]", doc.Find("C1", doc.resources));
    EXPECT_EQ("[24 2]", doc.Find("C2", doc.resources));
    FontInfo* cid = dynamic_cast<FontInfo*>(doc.xref->entries[24].resData);
    ASSERT_TRUE(cid && cid->cidToGid);
    EXPECT_EQ(800, cid->WidthSet(1)->widths[0]);
    EXPECT_EQ(500, cid->WidthSet(2)->defaultWidth);
    // The charset belongs to the program: every set maps CIDs the same way.
    EXPECT_EQ(cid->cidToGid, cid->WidthSet(1)->cidToGid);
}

// A CIDToGIDMap belongs to its CIDFont: TrueType CIDFonts sharing one program but not their
// map each map CIDs their own way, and only a CIDFontType2's stream counts.
TEST(FindFontFile, EachCidFontKeepsItsOwnCidToGidMap)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    b.Object(3, "<< /Font 4 0 R >>");
    b.Object(4, "<< /M0 10 0 R /M1 11 0 R /Same 12 0 R /Identity 13 0 R /Compact 14 0 R >>");
    auto cidFont = [](const char* subtype, const char* map) {
        return std::string("<< /Subtype /Type0 /DescendantFonts [<< /Subtype /") + subtype +
               " /CIDToGIDMap " + map + " /FontDescriptor 20 0 R >>] >>";
    };
    b.Object(10, cidFont("CIDFontType2", "30 0 R"));
    b.Object(11, cidFont("CIDFontType2", "31 0 R"));
    b.Object(12, cidFont("CIDFontType2", "30 0 R"));
    b.Object(13, cidFont("CIDFontType2", "/Identity"));
    b.Object(14, cidFont("CIDFontType0", "31 0 R"));
    b.Object(20, "<< /FontName /Boxes /FontFile2 21 0 R >>");
    b.Stream(21, "", testfont::BoxTrueType({{0, 500, 700, 600}, {0, 900, 300, 1000}}));
    // CIDs 0 to 2; the odd last byte maps no CID.
    b.Stream(30, "", std::string("\0\0\0\0\0\1\7", 7));
    b.Stream(31, "/Filter /FlateDecode", testpdf::Deflate(std::string("\0\2\0\1", 4)));
    LookupDoc doc(&b);

    EXPECT_EQ("21", doc.Find("M0", doc.resources));
    EXPECT_EQ("[21 1]", doc.Find("M1", doc.resources));
    EXPECT_EQ("21", doc.Find("Same", doc.resources));
    EXPECT_EQ("[21 2]", doc.Find("Identity", doc.resources));
    EXPECT_EQ("[21 2]", doc.Find("Compact", doc.resources));
    FontInfo* record = dynamic_cast<FontInfo*>(doc.xref->entries[21].resData);
    ASSERT_TRUE(record);
    ASSERT_TRUE(record->cidMap);
    EXPECT_EQ((std::vector<uint16_t>{0, 0, 1}), *record->cidMap);
    ASSERT_TRUE(record->WidthSet(1)->cidMap);
    EXPECT_EQ((std::vector<uint16_t>{2, 1}), *record->WidthSet(1)->cidMap);
    EXPECT_FALSE(record->WidthSet(2)->cidMap);
}

}  // namespace
