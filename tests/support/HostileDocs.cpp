#include "HostileDocs.h"

#include "PdfBuilder.h"

namespace testpdf {

std::string OnePage(const std::string& resources, const std::string& content,
                    const std::vector<ExtraObject>& more)
{
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources " +
                    resources + " /Contents 4 0 R >>");
    b.Stream(4, "", content);
    for (const ExtraObject& o : more) {
        if (o.stream)
            b.Stream(o.num, o.entries, o.data);
        else
            b.Object(o.num, o.entries);
    }
    b.ClassicXref();
    return b.Bytes();
}

namespace {

// Each section holds the rows of one kind of fault; keep a row with its kind.

// Cross-reference data, object parsing and memory, dictionaries, the page tree.
void ObjectStructure(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Images, colour-space records, ICC profiles.
void ImagesAndColour(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Nested content (forms, patterns, Type 3 glyphs), the page budget, markup nesting.
void PageWork(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Temporary files, fonts on disk, packages that must be written whole.
void FilesAndFolders(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Font programs and text showing.
void Fonts(std::vector<HostileDoc>* docs)
{
    // A Type0 font without a program whose ToUnicode map (a few kilobytes of Flate) lists
    // the whole code space over and over, with a W range over every CID and beyond.
    docs->push_back({"font-named-cid-tounicode-ranges",
                     [] {
                         std::string map = "begincmap 1 begincodespacerange <0000> <FFFF> "
                                           "endcodespacerange\n";
                         for (int k = 0; k < 50; k++) {
                             map += "100 beginbfrange\n";
                             for (int i = 0; i < 100; i++)
                                 map += "<0000> <FFFF> <0041>\n";
                             map += "endbfrange\n";
                         }
                         map += "endcmap\n";
                         std::string codes;
                         for (int i = 0; i < 2000; i++)
                             codes += "0041FFFF";
                         return OnePage(
                             "<< /Font << /F1 5 0 R >> >>",
                             "BT /F1 12 Tf 0 100 Td <" + codes + "> Tj [<0041> -1e30 <0042>] TJ ET",
                             {{5, "<< /Type /Font /Subtype /Type0 /BaseFont /ArialMT "
                                  "/Encoding /Identity-H /DescendantFonts [6 0 R] /ToUnicode 7 0 R >>", ""},
                              {6, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /ArialMT "
                                  "/DW -1e30 /W [0 2147483647 1e30 5 [1 2 3] -4 [7]] >>", ""},
                              {7, "/Filter /FlateDecode", Deflate(map), true}});
                     },
                     0});
    // Fonts that are only named, with widths, flags and Differences out of every range, and
    // a compact Type 1 program that is no program.
    docs->push_back({"font-named-and-compact-damaged",
                     [] {
                         return OnePage(
                             "<< /Font << /F1 5 0 R /F2 6 0 R /F3 8 0 R >> >>",
                             "BT /F1 12 Tf 0 100 Td (\000\377abc) Tj /F2 1e30 Tf (abc) Tj "
                             "/F3 12 Tf (abc) Tj ET",
                             {{5, "<< /Type /Font /Subtype /TrueType /BaseFont /Verdana-BoldItalic "
                                  "/FirstChar -2147483647 /Widths [1e300 -1e300 0 5] "
                                  "/Encoding << /BaseEncoding /Nope /Differences [-5 /a 300 /b "
                                  "2147483647 /c /d 97 /zzz 98 99] >> /FontDescriptor 7 0 R >>", ""},
                              {6, "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+ "
                                  "/FirstChar 97 /Widths [0 0 0] /Encoding 6 0 R >>", ""},
                              {7, "<< /Flags -1 /FontWeight 1e308 /ItalicAngle -1e308 >>", ""},
                              {8, "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Cmp "
                                  "/FontDescriptor 9 0 R /Encoding /WinAnsiEncoding >>", ""},
                              {9, "<< /FontName /ABCDEF+Cmp /FontFile3 10 0 R >>", ""},
                              {10, "/Subtype /Type1C", std::string("\001\000\004\004garbage", 11), true}});
                     },
                     0});
}

}  // namespace

std::vector<HostileDoc> HostileDocs()
{
    std::vector<HostileDoc> docs;
    ObjectStructure(&docs);
    ImagesAndColour(&docs);
    PageWork(&docs);
    FilesAndFolders(&docs);
    Fonts(&docs);
    return docs;
}

}  // namespace testpdf
