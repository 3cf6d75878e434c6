// One function given directly: the entries of its dictionary, and after a line "stream" the
// data of its stream (a calculator program or samples):
//     /FunctionType 4 /Domain [0 1] /Range [0 1]\nstream\n{ 2 mul }
// Without that line the function is a dictionary. It becomes object 10 of a small document
// whose objects 11 to 14 are functions of every type for a stitching function to name (10
// itself too), and is then parsed, evaluated at the ends, the middle and values of no size,
// walked for its breaks and linearity, and used as a tint transform and a shading's gradient.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzUtil.h"
#include "PdfBuilder.h"
#include "Interpreter/ContentParser.h"
#include "Interpreter/Patterns.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/Functions.h"
#include "Resources/PaintColour.h"
#include "Resources/PdfPageTree.h"

namespace {

const char kStreamLine[] = "\nstream\n";

std::string Document(const std::string& entries, const std::string* data)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    // The function as a shading's gradient, and as the tint transform of two tints.
    b.Object(5, "<< /ShadingType 2 /Coords [0 0 100 0] /Extend [true true] /Function 10 0 R >>");
    b.Object(6, "[/DeviceN [/A /B] /DeviceRGB 10 0 R]");
    if (data)
        b.Stream(10, entries, *data);
    else
        b.Object(10, "<< " + entries + " >>");
    b.Object(11, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 0.5 0] /N 2 >>");
    b.Stream(12, "/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [2] /BitsPerSample 8",
             std::string("\x00\x80\xff\xff\x80\x00", 6));
    b.Stream(13, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", "{ dup dup mul exch sqrt 1 index }");
    b.Object(14, "<< /FunctionType 3 /Domain [0 1] /Bounds [0.25 0.5] /Encode [0 1 1 0 0 1] "
                 "/Functions [11 0 R 12 0 R 13 0 R] >>");
    b.ClassicXref();
    return b.Bytes();
}

void Evaluate(const PdfFunction& f, FunctionWork* work)
{
    const double values[] = {0, 1, 0.5, -1, 2, 1e300, -1e300, HUGE_VAL, std::nan("")};
    std::vector<double> in(f.inputs), out(f.outputs);
    for (double v : values) {
        for (int i = 0; i < f.inputs; i++)
            in[i] = i % 2 ? 1 - v : v;
        EvalFunction(f, in.data(), out.data(), work);
    }
    std::vector<double> breaks;
    FunctionBreaks(f, -1, 2, &breaks, 64, work);
    (void)FunctionIsLinear(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find(kStreamLine);
    std::string stream;
    if (split != std::string::npos)
        stream = input.substr(split + strlen(kStreamLine));
    const std::string doc = Document(input.substr(0, split), split != std::string::npos ? &stream : nullptr);
    std::string path = fuzz::WriteScratch("function.pdf", reinterpret_cast<const uint8_t*>(doc.data()), doc.size());
    if (path.empty())
        return 0;

    fuzz::Document d;
    if (d.Load(path) != 0)
        return 0;
    d.LoadPages(fuzz::ScratchDir());
    FunctionWork* work = &d.pages->functionWork;
    PdfIndirect ref;
    ref.refNum = 10;
    FunctionRef f = LoadFunction(d.pages, &ref);
    if (!f)
        return 0;
    Evaluate(*f, work);

    PdfIndirect space;
    space.refNum = 6;
    if (PaintSpaceRef s = LoadPaintSpace(d.pages, &space)) {
        double tints[2] = {0.25, 0.75};
        ToDevice(*s, tints, work);
    }
    if (f->inputs == 1) {
        PdfObj* shading = d.xref->Object(5);
        ContentParser parser;
        parser.xref = d.xref;
        parser.pages = d.pages;
        ShadePatternInfo info;
        if (shading)
            parser.LinearShading(shading, &info);
    }
    return 0;
}
