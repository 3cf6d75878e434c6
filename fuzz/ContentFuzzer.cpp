// The content-stream scanner over arbitrary bytes, with a renderer that records every call.
// The stream runs as the content of one page of a small document whose resources name a
// font of each kind, colour spaces, images, a form, patterns and a shading, so that the
// operators that look up resources find them.
#include <cstdint>
#include <cstring>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "FuzzUtil.h"
#include "RecordingRenderer.h"
#include "SeedDocs.h"
#include "Interpreter/ContentParser.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

namespace {

std::string docPath;
std::string workDir;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string doc = fuzz::ResourceDocument("");
    docPath = fuzz::WriteScratch("content.pdf", reinterpret_cast<const uint8_t*>(doc.data()), doc.size());
    workDir = fuzz::ScratchDir() + "/work";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every input starts from an empty work folder and a freshly loaded document, as a page of
    // a conversion does.
    nftw(workDir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    mkdir(workDir.c_str(), 0700);
    fuzz::Document doc;
    if (doc.Load(docPath) != 0)
        abort();
    doc.LoadPages(workDir);
    if (doc.pages->pageCount != 1)
        abort();
    doc.pages->ExtractResources(0);

    fuzz::MemoryStream in(data, size);
    if (!in.fp())
        return 0;
    RecordingRenderer rec;
    ContentParser* parser = new ContentParser();
    parser->xref = doc.xref;
    parser->pages = doc.pages;
    parser->pageIndex = 0;
    parser->renderer = &rec;
    parser->owner = doc.pages->pageDict[0];
    rec.StartPage(0, 200, 200);

    PdfName key;
    key.str = strdup("Resources");
    PdfObj* resources = nullptr;
    doc.pages->GetPageItem(&resources, &key, 0);
    std::vector<char> buf(PDF_PARSE_BUF);
    parser->Scanner(in.fp(), resources, buf.data(), (int)buf.size());
    RemoveObj(resources);
    parser->RunAllClips();
    rec.EndPage();
    delete parser;
    return 0;
}
