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
    // Two embedded fonts whose name and object number once ran together into one file name
    // ("Font1" + 102, "Font" + 1102), the second program overwriting the first.
    docs->push_back({"font-names-run-into-numbers", [] {
        std::string program = "%!PS-AdobeFont-1.0: X\n";
        return OnePage("<< /Font << /F1 5 0 R /F2 8 0 R >> >>",
                       "BT /F1 12 Tf 10 10 Td (a) Tj /F2 12 Tf (b) Tj ET\n",
                       {{5, "<< /Type /Font /Subtype /Type1 /BaseFont /A /FontDescriptor 6 0 R >>", "", false},
                        {6, "<< /Type /FontDescriptor /FontName /Font1 /FontFile 102 0 R >>", "", false},
                        {8, "<< /Type /Font /Subtype /Type1 /BaseFont /B /FontDescriptor 9 0 R >>", "", false},
                        {9, "<< /Type /FontDescriptor /FontName /Font /FontFile 1102 0 R >>", "", false},
                        {102, "", program, true},
                        {1102, "", program, true}});
    }, 0});
    // A FontName that is a path out of the temporary folder, and one of 400 bytes.
    docs->push_back({"font-name-is-a-path", [] {
        return OnePage("<< /Font << /F1 5 0 R /F2 7 0 R >> >>", "BT /F1 12 Tf 10 10 Td (a) Tj ET\n",
                       {{5, "<< /Type /Font /Subtype /TrueType /BaseFont /A /FontDescriptor 6 0 R >>", "", false},
                        {6, "<< /Type /FontDescriptor /FontName /#2E#2E#2F#2E#2E#2Fetc#2Fpasswd /FontFile2 9 0 R >>", "", false},
                        {7, "<< /Type /Font /Subtype /Type1 /BaseFont /B /FontDescriptor 8 0 R >>", "", false},
                        {8, "<< /Type /FontDescriptor /FontName /" + std::string(400, 'L') + " /FontFile 10 0 R >>", "", false},
                        {9, "", "not a font", true},
                        {10, "", "%!PS", true}});
    }, 0});
}

}  // namespace

std::vector<HostileDoc> HostileDocs()
{
    std::vector<HostileDoc> docs;
    ObjectStructure(&docs);
    ImagesAndColour(&docs);
    PageWork(&docs);
    FilesAndFolders(&docs);
    return docs;
}

}  // namespace testpdf
