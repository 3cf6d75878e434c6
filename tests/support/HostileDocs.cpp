#include "HostileDocs.h"

#include <cstdint>
#include <cstdio>

#include "CffFonts.h"
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

// A Type0 font /F1 (object 5) whose CIDFont carries `program` as its FontFile3, shown by
// `content`; `w` is the CIDFont's W array.
std::string CidFontPage(const std::string& program, const std::string& subtype, const std::string& content,
                        const std::string& w = "[]")
{
    return OnePage("<< /Font << /F1 5 0 R >> >>", content,
                   {{5, "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [6 0 R] >>", ""},
                    {6, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /X /W " + w + " /FontDescriptor 7 0 R >>", ""},
                    {7, "<< /Type /FontDescriptor /FontName /X /Flags 4 /FontBBox [0 0 1000 1000] "
                        "/ItalicAngle 0 /Ascent 1000 /Descent 0 /CapHeight 700 /StemV 80 /FontFile3 8 0 R >>", ""},
                    {8, "/Subtype /" + subtype, program, true}});
}

// Font programs and text showing.
void Fonts(std::vector<HostileDoc>* docs)
{
    // A CID-keyed CFF program whose Top DICT item starts at byte 30; its charset offset is
    // the four bytes from 55, the Name INDEX's last offset the four from 11.
    const std::string cff = testcff::CidKeyedCff({{100, 50, 450, 700}, {7, 50, 950, 300}});
    auto patched = [cff](size_t at, const std::string& bytes) {
        std::string s = cff;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    const std::string show = "BT /F1 40 Tf 10 20 Td <0064 0007 FFFF 0000 0001 0064> Tj ET";
    docs->push_back({"cff-charset-past-the-end",
                     [=] { return CidFontPage(patched(55, std::string("\x00\x7f\xff\xff", 4)), "CIDFontType0C", show); },
                     0});
    docs->push_back({"cff-index-offset-past-the-end",
                     [=] { return CidFontPage(patched(11, std::string("\x7f\xff\xff\xff", 4)), "CIDFontType0C", show); },
                     0});
    docs->push_back({"cff-cids-without-glyphs",
                     [=] {
                         std::string codes;
                         for (unsigned c = 0; c < 2000; c += 7) {
                             char buf[8];
                             snprintf(buf, sizeof buf, "%04X", c * 31 % 65536);
                             codes += buf;
                         }
                         return CidFontPage(cff, "CIDFontType0C", "BT /F1 10 Tf 0 100 Td <" + codes + "> Tj ET");
                     },
                     0});
    // An OpenType program of 65,535 tables in 20 bytes, and one whose tables are only a CFF.
    docs->push_back({"opentype-directory-past-the-end",
                     [=] {
                         return CidFontPage(std::string("OTTO\xff\xff", 6) + std::string(14, '\0'), "OpenType", show);
                     },
                     0});
    docs->push_back({"opentype-with-only-a-cff-table",
                     [=] {
                         std::string sfnt = std::string("OTTO\x00\x01\x00\x10\x00\x00\x00\x00", 12) + "CFF " +
                                            std::string(4, '\0') + std::string("\x00\x00\x00\x1c", 4);
                         const uint32_t n = (uint32_t)cff.size();
                         sfnt += std::string{(char)(n >> 24), (char)(n >> 16), (char)(n >> 8), (char)n};
                         return CidFontPage(sfnt + cff, "OpenType", show);
                     },
                     0});
    // Many Type0 fonts on one program, each with widths of its own over every CID: width sets
    // stop at their limit, and each set's table of all CIDs is made once.
    docs->push_back({"many-width-sets-on-one-program",
                     [=] {
                         std::string fonts, content = "BT ";
                         std::vector<ExtraObject> objs = {
                             {5, "<< /Type /FontDescriptor /FontName /X /Flags 4 /FontBBox [0 0 1000 1000] "
                                 "/ItalicAngle 0 /Ascent 1000 /Descent 0 /CapHeight 700 /StemV 80 /FontFile3 6 0 R >>", ""},
                             {6, "/Subtype /CIDFontType0C", cff, true}};
                         for (int i = 0; i < 40; i++) {
                             const int obj = 7 + 2 * i;
                             fonts += "/F" + std::to_string(i) + " " + std::to_string(obj) + " 0 R ";
                             objs.push_back({obj, "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H "
                                                  "/DescendantFonts [" + std::to_string(obj + 1) + " 0 R] >>", ""});
                             objs.push_back({obj + 1, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /X /W [0 65535 " +
                                                          std::to_string(100 + i) + "] /FontDescriptor 5 0 R >>", ""});
                             content += "/F" + std::to_string(i) + " 1 Tf 0 0.5 Td <00640007> Tj ";
                         }
                         return OnePage("<< /Font << " + fonts + ">> >>", content + "ET", objs);
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
