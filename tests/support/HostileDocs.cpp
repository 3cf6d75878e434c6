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
    (void)docs;
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
