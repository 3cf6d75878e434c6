// The content-stream scanner over arbitrary bytes, with a renderer that records every call.
// The stream runs as the content of one page of a small document whose resources name a
// font of each kind (embedded programs of every kind among them), colour spaces (spot,
// DeviceN, Lab and indexed ones through functions of every type), images, a form, patterns
// and shadings, so that the operators that look up resources find them.
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
#include "Interpreter/Patterns.h"
#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

namespace {

// The recording renderer, asking for the brushes the page writer asks for: the records of
// shadings and of pattern fills and strokes are read, their functions sampled into stops, and
// released, as when a page is written. Nested streams ask the page's parser.
class BrushRenderer : public RecordingRenderer {
public:
    ContentParser* parser = nullptr;

    int FillShade(GState* gs, PdfName* shadingName) override
    {
        PatternInfo* info = nullptr;
        if (parser)
            parser->GetShadingInfo(shadingName, &info);
        delete info;
        return RecordingRenderer::FillShade(gs, shadingName);
    }
    int Fill(GState* gs, FillRule rule) override
    {
        Pattern(gs, false);
        return RecordingRenderer::Fill(gs, rule);
    }
    int Stroke(GState* gs) override
    {
        Pattern(gs, true);
        return RecordingRenderer::Stroke(gs);
    }
    int FillStroke(GState* gs, FillRule rule) override
    {
        Pattern(gs, false);
        Pattern(gs, true);
        return RecordingRenderer::FillStroke(gs, rule);
    }

private:
    void Pattern(GState* gs, bool stroke)
    {
        if (!parser || !gs || (stroke ? gs->strokeCS : gs->fillCS) != CS_PATTERN)
            return;
        PatternInfo* info = nullptr;
        parser->GetPatternInfo(&info, gs, stroke ? 1 : 0);
        delete info;
    }
};

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
    BrushRenderer rec;
    ContentParser* parser = new ContentParser();
    rec.parser = parser;
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
