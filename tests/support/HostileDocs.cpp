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

// Each section appends its rows; keep a section's rows together so that work on one kind of
// fault does not touch the lines of another.

void Crashes(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

void UnboundedWork(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

void RunawayMemory(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

void SilentLoss(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

void Readers(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

}  // namespace

std::vector<HostileDoc> HostileDocs()
{
    std::vector<HostileDoc> docs;
    Crashes(&docs);
    UnboundedWork(&docs);
    RunawayMemory(&docs);
    SilentLoss(&docs);
    Readers(&docs);
    return docs;
}

}  // namespace testpdf
