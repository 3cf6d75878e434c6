#include "HostileDocs.h"

#include "Pdf/Limits.h"
#include "PdfBuilder.h"
#include "TestImages.h"

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

    // CMYK JPEG data whose frame header declares far more pixels than the data hold: a
    // frame of 65535 x 65535 over a few hundred bytes, and one of 4096 x 4096 padded to the
    // size that lets the decoder take it (the decoder makes up the pixels).
    auto cmykFrame = [](int side, size_t padTo) {
        std::string j = testimg::MakeCmykJpeg(16, 8);
        size_t sof = j.find("\xFF\xC0");
        for (int at : {5, 7}) {
            j[sof + at] = (char)(side >> 8);
            j[sof + at + 1] = (char)side;
        }
        if (j.size() < padTo)
            j.resize(padTo, '\0');
        return j;
    };
    const std::string cmykJpeg = image + "/BitsPerComponent 8 /ColorSpace /DeviceCMYK "
                                         "/Filter /DCTDecode ";
    add("cmyk-jpeg-frame-65535-square", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, cmykJpeg + "/Width 16 /Height 8", cmykFrame(65535, 0), true}});
    });
    add("cmyk-jpeg-frame-4096-square-padded", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, cmykJpeg + "/Width 4096 /Height 4096",
                         cmykFrame(4096, 4096 * 4096 / JPEG_MAX_PIXELS_PER_BYTE), true}});
    });
    add("cmyk-flate-image-huge-short-stream", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, image + "/Width 40000 /Height 40000 /BitsPerComponent 8 "
                                    "/ColorSpace /DeviceCMYK /Filter /FlateDecode",
                         Deflate(std::string(4096, '\x20')), true}});
    });

    // Image masks of absurd sizes, drawn by Do and named by /Mask.
    const struct {
        const char* name;
        const char* size;
    } maskSizes[] = {
        {"image-mask-2-31-square", "/Width 2147483647 /Height 2147483647"},
        {"image-mask-60000-square-short-stream", "/Width 60000 /Height 60000"},
        {"image-mask-width-0", "/Width 0 /Height 5"},
        {"image-mask-negative-width", "/Width -8 /Height 1"},
    };
    for (const auto& ms : maskSizes) {
        std::string size = ms.size;
        add(ms.name, 0, [=] {
            return OnePage("<< /XObject << /Im 5 0 R /M 6 0 R >> >>",
                           "1 0 0 rg q 100 0 0 100 50 50 cm /M Do /Im Do Q",
                           {{5, image + "/Width 2 /Height 2 /BitsPerComponent 8 "
                                        "/ColorSpace /DeviceGray /Mask 6 0 R",
                             "\x10\x20\x30\x40", true},
                            {6, image + size + " /ImageMask true /Filter /FlateDecode",
                             Deflate(std::string(2048, '\x55')), true}});
        });
    }

    // /Mask naming the image itself, a plain dictionary, a form, a missing object, an image
    // that is no mask and names the first back, and a number.
    const struct {
        const char* name;
        std::string mask;
        std::vector<ExtraObject> more;
    } masks[] = {
        {"mask-is-the-image-itself", "5 0 R", {}},
        {"mask-is-a-dictionary", "6 0 R", {{6, "<< /Type /Font >>", "", false}}},
        {"mask-is-a-form", "6 0 R",
         {{6, "/Type /XObject /Subtype /Form /BBox [0 0 1 1]", "0 0 m 1 1 l S", true}}},
        {"mask-is-missing", "60 0 R", {}},
        {"mask-is-an-image-masked-by-the-first", "6 0 R",
         {{6, image + "/Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray "
                      "/Mask 5 0 R", "\x10\x20\x30\x40", true}}},
        {"mask-is-a-number", "7", {}},
    };
    for (const auto& m : masks) {
        std::vector<ExtraObject> objs = {{5, image + "/Width 2 /Height 2 /BitsPerComponent 8 "
                                                     "/ColorSpace /DeviceGray /Mask " + m.mask,
                                          "\x10\x20\x30\x40", true}};
        objs.insert(objs.end(), m.more.begin(), m.more.end());
        add(m.name, 0, [=] {
            return OnePage("<< /XObject << /Im 5 0 R /M 6 0 R >> >>",
                           "q 100 0 0 100 50 50 cm /Im Do /M Do Q", objs);
        });
    }

    // An indexed space over Lab with parameters of nonsense, and a palette shorter than hival.
    add("indexed-over-lab-nonsense-parameters", 0, [=] {
        return OnePage(xobject, drawIm,
                       {{5, image + "/Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace "
                                    "[/Indexed [/Lab << /WhitePoint [0 -1 1e308] /Range [1e308 "
                                    "-1e308 /x 5] >>] 255 <FF00>]",
                         "\x00\x01\xFE\xFF", true}});
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
    Functions(&docs);
    return docs;
}

}  // namespace testpdf
