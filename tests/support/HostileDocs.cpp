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
    const std::string drawIm = "q 100 0 0 100 50 50 cm /Im Do Q";
    const std::string xobject = "<< /XObject << /Im 5 0 R >> >>";
    const std::string image = "/Type /XObject /Subtype /Image ";
    auto add = [docs](const std::string& name, int status, std::function<std::string()> make) {
        docs->push_back({name, std::move(make), status});
    };

    // A colour space given as the bare name of a family that needs parameters, directly or
    // through a reference.
    for (const char* family : {"Indexed", "ICCBased"}) {
        for (bool byRef : {false, true}) {
            std::string space = byRef ? "6 0 R" : std::string("/") + family;
            std::vector<ExtraObject> objs = {
                {5, image + "/Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace " + space,
                 std::string(12, '\x7f'), true}};
            if (byRef)
                objs.push_back({6, std::string("/") + family, "", false});
            add(std::string("bare-") + family + (byRef ? "-by-reference" : "") + "-image", 0,
                [=] { return OnePage(xobject, drawIm, objs); });
        }
    }

    // Sizes near 2^31 on an image XObject and on inline images.
    add("image-width-near-2-31", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, image + "/Width 2147483647 /Height 2147483647 /BitsPerComponent 16 "
                                    "/ColorSpace /DeviceRGB",
                         std::string(64, '\x40'), true}});
    });
    add("inline-image-width-near-2-31", 0, [] {
        return OnePage("<< >>", "q 100 0 0 100 50 50 cm BI /W 2147483647 /H 2147483647 /BPC 16 "
                                "/CS /RGB ID \x40\x40\x40\x40 EI Q "
                                "q 100 0 0 100 0 0 cm BI /W 2147483000 /H 1 /BPC 8 /CS /G ID "
                                "\x40\x40 EI Q");
    });

    // Declared sizes far beyond the data: memory must follow what the stream holds.
    add("indexed-image-huge-short-stream", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, image + "/Width 40000 /Height 40000 /BitsPerComponent 8 "
                                    "/ColorSpace [/Indexed /DeviceRGB 1 <FF000000FF00>] "
                                    "/Filter /FlateDecode",
                         Deflate(std::string(64, '\x01')), true}});
    });
    add("gray-image-32768-one-byte", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, image + "/Width 32768 /Height 32768 /BitsPerComponent 8 "
                                    "/ColorSpace /DeviceGray",
                         "\x80", true}});
    });
    add("gray-image-6000-one-byte", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, image + "/Width 6000 /Height 6000 /BitsPerComponent 8 "
                                    "/ColorSpace /DeviceGray",
                         "\x80", true}});
    });
    for (int side : {16000, 6000}) {
        add("soft-mask-" + std::to_string(side) + "-unknown-filter", 0, [=] {
            return OnePage(xobject, drawIm,
                           {{5, image + "/Width 2 /Height 2 /BitsPerComponent 8 "
                                        "/ColorSpace /DeviceGray /SMask 6 0 R",
                             "\x10\x20\x30\x40", true},
                            {6, image + "/Width " + std::to_string(side) + " /Height " +
                                    std::to_string(side) +
                                    " /BitsPerComponent 8 /ColorSpace /DeviceGray "
                                    "/Filter /JBIG2Decode",
                             "\x01\x02\x03", true}});
        });
    }

    // DCT data that no reader can decode.
    const struct {
        const char* name;
        std::string data;
    } notJpeg[] = {
        {"dct-data-not-jpeg", "not a JPEG at all"},
        {"dct-data-soi-only", "\xFF\xD8"},
        {"dct-data-no-frame-header", std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xDA\x00\x02", 12)},
        {"dct-data-frame-of-size-0",
         std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\x00\x00\x00\x00\x01\x01\x11\x00"
                     "\xFF\xD9",
                     17)},
    };
    for (const auto& n : notJpeg) {
        std::string data = n.data;
        add(n.name, 0, [=] {
            return OnePage(xobject, drawIm,
                           {{5, image + "/Width 8 /Height 8 /BitsPerComponent 8 "
                                        "/ColorSpace /DeviceRGB /Filter /DCTDecode",
                             data, true}});
        });
    }

    // One profile object named by 200 colour spaces: extracted once.
    add("icc-profile-named-200-times", 0, [] {
        std::string spaces;
        for (int i = 0; i < 200; i++)
            spaces += "/CS" + std::to_string(i) + " [/ICCBased 5 0 R] ";
        return OnePage("<< /ColorSpace << " + spaces + ">> >>", "0 0 1 rg 10 10 50 50 re f",
                       {{5, "/N 3 /Filter /FlateDecode",
                         Deflate(std::string(64 << 20, '\0')), true}});
    });
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

// Font programs and text showing.
void Fonts(std::vector<HostileDoc>* docs)
{
    (void)docs;
}

// Functions, tint transforms and shadings.
void Functions(std::vector<HostileDoc>* docs)
{
    auto add = [docs](const std::string& name, std::function<std::string()> make) {
        docs->push_back({name, std::move(make), 0});
    };
    // Fills and strokes in a spot colour whose tint transform is object 5, and an axial
    // shading whose function is object 5 as well.
    const std::string resources =
        "<< /ColorSpace << /S [/Separation /Spot /DeviceRGB 5 0 R] >> /Shading << /Sh 6 0 R >> >>";
    const std::string paint = "/S cs 0.5 sc 10 10 80 80 re f /S CS 1 SC 4 w 100 10 m 190 90 l S "
                              "q 0 100 200 100 re W n /Sh sh Q\n";
    const ExtraObject shading = {6, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 200 0] "
                                    "/Function 5 0 R >>", "", false};
    auto tint = [=](const std::string& entries, const std::string& data, bool stream,
                    std::vector<ExtraObject> more) {
        more.insert(more.begin(), {5, entries, data, stream});
        more.push_back(shading);
        return OnePage(resources, paint, more);
    };

    // A sampled table of 2^31 x 2^31 entries backed by four bytes.
    add("function-huge-size", [=] {
        return tint("/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /BitsPerSample 8 "
                    "/Size [2147483647]", "\x01\x02\x03\x04", true, {});
    });
    // A calculator program four times the longest allowed, and one of braces nested 20,000 deep.
    add("function-program-too-long", [=] {
        std::string prog = "{ ";
        for (int i = 0; i < 16384; i++)
            prog += "1 add 1 sub ";
        return tint("/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", prog + "dup dup }", true, {});
    });
    add("function-program-nested-braces", [=] {
        return tint("/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]",
                    std::string(20000, '{') + std::string(20000, '}'), true, {});
    });
    // A program that overflows its stack on every evaluation.
    add("function-program-stack-overflow", [=] {
        std::string prog = "{ ";
        for (int i = 0; i < 150; i++)
            prog += "dup ";
        return tint("/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", prog + "}", true, {});
    });
    // Stitching that holds itself, directly and through a cycle of two.
    add("function-stitching-holds-itself", [=] {
        return tint("<< /FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [5 0 R 5 0 R] >>", "",
                    false, {});
    });
    add("function-stitching-cycle", [=] {
        return tint("<< /FunctionType 3 /Domain [0 1] /Functions [7 0 R] >>", "", false,
                    {{7, "<< /FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [8 0 R 5 0 R] >>", "", false},
                     {8, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 1 1] >>", "", false}});
    });
    // A stitching function of a thousand pieces, each a stitching function of a thousand
    // pieces, 16 deep: parsed once per object, evaluated along one path.
    add("function-stitching-wide-and-deep", [=] {
        std::string bounds;
        for (int i = 1; i < 1000; i++)
            bounds += std::to_string(i / 1000.0) + " ";
        // Level 0 is object 5, levels 1 to 15 objects 10 to 24; the pieces of the last are 30.
        std::vector<ExtraObject> more;
        std::string top;
        for (int level = 0; level < 16; level++) {
            std::string parts;
            for (int i = 0; i < 1000; i++)
                parts += std::to_string(level == 15 ? 30 : 10 + level) + " 0 R ";
            std::string body = "<< /FunctionType 3 /Domain [0 1] /Bounds [" + bounds +
                               "] /Functions [" + parts + "] >>";
            if (level == 0)
                top = body;
            else
                more.push_back({9 + level, body, "", false});
        }
        more.push_back({30, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 0 0] /N 2.5 >>", "", false});
        return tint(top, "", false, more);
    });
    // The longest program allowed, run for each of 100,000 colours set on the page.
    add("function-program-run-often", [=] {
        std::string prog = "{ ";
        for (int i = 0; i < 2040; i++)
            prog += "1 add 1 sub ";
        std::string content;
        for (int i = 0; i < 100000; i++)
            content += i % 2 ? "/S cs 0.25 sc\n" : "0.75 sc\n";
        content += "10 10 80 80 re f\n";
        return OnePage(resources, content,
                       {{5, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", prog + "dup dup }", true},
                        shading});
    });
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
    Functions(&docs);
    return docs;
}

}  // namespace testpdf
