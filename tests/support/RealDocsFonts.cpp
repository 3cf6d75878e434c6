#include "RealDocs.h"

#include "CffFonts.h"
#include "HostileDocs.h"
#include "PdfBuilder.h"
#include "TrueTypeFonts.h"
#include "Type1Fonts.h"

namespace testpdf {

namespace {

// A descriptor of a font of box glyphs (object `num`), its program in `fontFile` ("" for none).
ExtraObject BoxDescriptor(int num, const std::string& name, const std::string& fontFile,
                          int flags = 4)
{
    return {num, "<< /Type /FontDescriptor /FontName /" + name + " /Flags " + std::to_string(flags) +
                     " /FontBBox [0 0 1000 1000] /ItalicAngle 0 /Ascent 1000 /Descent 0 "
                     "/CapHeight 700 /StemV 80 " + fontFile + " >>",
            ""};
}

RealDoc Row(const std::string& name, std::function<std::string()> make)
{
    RealDoc row;
    row.name = name;
    row.make = std::move(make);
    return row;
}

}  // namespace

void FontCases(std::vector<RealDoc>* rows)
{
    // A compact Type 1 program embedded under a standard name, whose Differences name small
    // capitals and an ornament: glyphs that only the program holds, not the built-in font of
    // that name.
    rows->push_back(Row("type1c-under-a-standard-name", [] {
        const std::string cff = testcff::NameKeyedCff({{"V.small", 50, 450, 500, 500},
                                                       {"blacksmallsquare", 100, 700, 300, 800},
                                                       {"a", 50, 250, 700, 300}});
        return OnePage("<< /Font << /F1 5 0 R >> >>",
                       "BT /F1 40 Tf 10 120 Td (ABCCBA) Tj 0 -60 Td (CAB) Tj ET",
                       {{5, "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /FirstChar 65 "
                            "/LastChar 67 /Widths [500 800 300] /Encoding << /Type /Encoding "
                            "/Differences [65 /V.small /blacksmallsquare /a] >> /FontDescriptor 6 0 R >>", ""},
                        BoxDescriptor(6, "Times-Roman", "/FontFile3 7 0 R"),
                        {7, "/Subtype /Type1C", cff, true}});
    }));

    // An instance of a multiple-master font with its Type 1 program, and one without a
    // program, drawn with the nearest built-in font at its widths.
    rows->push_back(Row("mmtype1-instances", [] {
        // Widths of M, i, n and o as a serif face has them.
        std::string minionWidths;
        for (int c = 77; c <= 111; c++)
            minionWidths += std::string(c == 77 ? "889" : c == 105 ? "278" : c >= 110 ? "500" : "0") + " ";
        const std::string t1 = testfont::BoxType1("ABCDEF+TinyMM_400_600_", {{"A", 65, 50, 450, 700, 500},
                                                                            {"B", 66, 50, 950, 300, 1000}});
        return OnePage("<< /Font << /F1 5 0 R /F2 8 0 R >> >>",
                       "BT /F1 40 Tf 10 140 Td (ABBA) Tj /F2 24 Tf 0 -80 Td (Minion) Tj ET",
                       {{5, "<< /Type /Font /Subtype /MMType1 /BaseFont /ABCDEF+TinyMM_400_600_ /FirstChar 65 "
                            "/LastChar 66 /Widths [500 1000] /FontDescriptor 6 0 R >>", ""},
                        BoxDescriptor(6, "ABCDEF+TinyMM_400_600_", "/FontFile 7 0 R"),
                        {7, "", t1, true},
                        {8, "<< /Type /Font /Subtype /MMType1 /BaseFont /MinionMM_367_400_12_ /FirstChar 77 "
                            "/LastChar 111 /Widths [" + minionWidths + "] /Encoding /WinAnsiEncoding "
                            "/FontDescriptor 9 0 R >>", ""},
                        {9, "<< /Type /FontDescriptor /FontName /MinionMM_367_400_12_ /Flags 34 "
                            "/FontBBox [-150 -250 1150 900] /ItalicAngle 0 /Ascent 700 /Descent -250 "
                            "/CapHeight 650 /StemV 80 >>", ""}});
    }));

    // Font descriptors whose program entry refers to nothing, as a plotting library writes
    // them when it does not embed: a free object 0, and an object the file does not hold.
    rows->push_back(Row("font-file-refers-to-nothing", [] {
        auto font = [](const char* subtype, const char* baseFont, int descriptor) {
            return std::string("<< /Type /Font /Subtype /") + subtype + " /BaseFont /" + baseFont +
                   " /Encoding /WinAnsiEncoding /FontDescriptor " + std::to_string(descriptor) + " 0 R >>";
        };
        auto descriptor = [](int num, const char* name, int flags, const char* file) {
            return ExtraObject{num, std::string("<< /Type /FontDescriptor /FontName /") + name + " /Flags " +
                                        std::to_string(flags) + " /FontBBox [-200 -200 1000 900] "
                                        "/ItalicAngle 0 /Ascent 900 /Descent -200 /CapHeight 700 /StemV 80 " +
                                        file + " >>",
                               ""};
        };
        return OnePage("<< /Font << /F1 5 0 R /F2 7 0 R /F3 9 0 R >> >>",
                       "BT /F1 20 Tf 10 150 Td (Plot title) Tj /F2 20 Tf 0 -50 Td (Axis label) Tj "
                       "/F3 20 Tf 0 -50 Td (Legend 42) Tj ET",
                       {{5, font("TrueType", "ArialMT", 6), ""},
                        descriptor(6, "ArialMT", 32, "/FontFile2 0 0 R"),
                        {7, font("Type1", "Helvetica-Bold", 8), ""},
                        descriptor(8, "Helvetica-Bold", 32, "/FontFile 0 0 R"),
                        {9, font("Type1", "ABCDEF+TimesNewRoman", 10), ""},
                        descriptor(10, "ABCDEF+TimesNewRoman", 34, "/FontFile3 77 0 R")});
    }));

    // A font named only, whose Widths cover the capitals: every other code, the space among
    // them, is as wide as the descriptor's MissingWidth.
    rows->push_back(Row("missing-width-past-the-widths", [] {
        // The capitals as wide as the stand-in's own.
        const std::string capitals = "667 667 722 722 667 611 778 722 278 500 667 556 833 722 778 "
                                     "667 778 722 667 611 722 667 944 667 667 611";
        return OnePage("<< /Font << /F1 5 0 R >> >>",
                       "BT /F1 18 Tf 10 150 Td (ABC DEF GHI) Tj 0 -40 Td (a b c d e g h n o p q u) Tj "
                       "0 -40 Td (AB ab NO no UV uv) Tj ET",
                       {{5, "<< /Type /Font /Subtype /TrueType /BaseFont /Arial /FirstChar 65 /LastChar 90 "
                            "/Widths [" + capitals + "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>", ""},
                        {6, "<< /Type /FontDescriptor /FontName /Arial /Flags 32 /FontBBox [-665 -325 2000 1006] "
                            "/ItalicAngle 0 /Ascent 905 /Descent -212 /CapHeight 716 /StemV 80 "
                            "/MissingWidth 540 >>", ""}});
    }));

    // TrueType CIDFonts whose CIDs reach their glyphs through a CIDToGIDMap stream: one that
    // maps every CID shown, and one of a single entry, past which CIDs are glyph indices.
    rows->push_back(Row("cidfonttype2-cidtogidmap-stream", [] {
        const std::string ttf = testfont::BoxTrueType({{50, 450, 700, 500}, {50, 950, 300, 1000}, {50, 250, 500, 300}});
        // CID 100 is glyph 1, CID 7 glyph 2, CID 300 glyph 3, every other CID to 300 glyph 0.
        std::string map(2 * 301, '\0');
        map[2 * 100 + 1] = 1;
        map[2 * 7 + 1] = 2;
        map[2 * 300 + 1] = 3;
        auto cidFont = [](int map) {
            return "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /ABCDEF+Boxes /CIDSystemInfo "
                   "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /W [1 [500 1000 300] "
                   "7 [1000] 100 [500] 300 [300]] /CIDToGIDMap " + std::to_string(map) +
                   " 0 R /FontDescriptor 7 0 R >>";
        };
        return OnePage("<< /Font << /F1 5 0 R /F2 10 0 R >> >>",
                       "BT /F1 40 Tf 10 140 Td <0064 012C 0007 0064 0007> Tj 0 -50 Td <012C 0064 0007> Tj "
                       "/F2 40 Tf 0 -50 Td <0001 0003 0002 0003> Tj ET",
                       {{5, "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Boxes /Encoding /Identity-H "
                            "/DescendantFonts [6 0 R] >>", ""},
                        {6, cidFont(9), ""},
                        BoxDescriptor(7, "ABCDEF+Boxes", "/FontFile2 8 0 R"),
                        {8, "", ttf, true},
                        {9, "/Filter /FlateDecode", Deflate(map), true},
                        {10, "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Boxes /Encoding /Identity-H "
                             "/DescendantFonts [11 0 R] >>", ""},
                        {11, cidFont(12), ""},
                        {12, "", std::string(2, '\0'), true}});
    }));

    // A TrueType program whose head gives units per em that readers refuse: the PDF's own
    // rendering draws its text with a stand-in font, and so must the package.
    rows->push_back(Row("truetype-units-per-em-refused", [] {
        const std::string ttf = testfont::WithField16(
            testfont::BoxTrueType({{50, 450, 700, 500}, {50, 950, 300, 1000}}, {{65, 1}, {66, 2}}), "head", 18, 0);
        return OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 30 Tf 10 120 Td (Refused units) Tj ET",
                       {{5, "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Arial /FirstChar 32 /LastChar 126 "
                            "/Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>", ""},
                        BoxDescriptor(6, "ABCDEF+Arial", "/FontFile2 7 0 R", 32),
                        {7, "", ttf, true}});
    }));
}

}  // namespace testpdf
