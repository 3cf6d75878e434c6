#include "HostileDocs.h"

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>
#include <zlib.h>

#include "CffFonts.h"
#include "Pdf/Limits.h"
#include "PdfBuilder.h"
#include "TestImages.h"
#include "TrueTypeFonts.h"
#include "Type1Fonts.h"

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

std::string Repeat(const std::string& text, size_t times)
{
    std::string out;
    out.reserve(text.size() * times);
    for (size_t i = 0; i < times; i++)
        out += text;
    return out;
}

// Each section holds the rows of one kind of fault; keep a row with its kind.

// Cross-reference data, object parsing and memory, dictionaries, the page tree.
// A catalog, a Pages node with `kids` and `count`, and the pages themselves are the caller's.
void Catalog(PdfBuilder& b, const std::string& kids, int count)
{
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
}

void ObjectStructure(std::vector<HostileDoc>* docs)
{
    // A page dictionary of 50,000 keys: building and searching it must stay near linear.
    docs->push_back({"page-dictionary-50000-keys",
                     [] {
                         std::string keys;
                         for (int i = 0; i < 50000; i++)
                             keys += "/K" + std::to_string(i) + " " + std::to_string(i) + " ";
                         PdfBuilder b;
                         Catalog(b, "3 0 R", 1);
                         b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] " + keys +
                                         "/Contents 4 0 R >>");
                         b.Stream(4, "", "0 0 1 rg 10 10 50 50 re f\n");
                         b.ClassicXref();
                         return b.Bytes();
                     },
                     0});

    // One ColorSpace dictionary of 5,000 entries, by reference, named by 1,000 operators.
    docs->push_back({"colour-space-dictionary-named-1000-times",
                     [] {
                         std::string spaces;
                         for (int i = 0; i < 5000; i++)
                             spaces += "/CS" + std::to_string(i) + " /DeviceRGB ";
                         std::string content;
                         content += Repeat("/CS4999 cs 0 0 1 sc\n", 1000);
                         content += "10 10 50 50 re f\n";
                         return OnePage("<< /ColorSpace 5 0 R >>", content, {{5, "<< " + spaces + ">>", ""}});
                     },
                     0});

    // 2,000 pages share one Contents object whose entry leads into 2 MB of blanks: the entry
    // names no object, and finding that out must not cost the blanks once per page.
    docs->push_back({"shared-contents-behind-2mb-of-blanks",
                     [] {
                         const int pages = 2000;
                         std::string kids;
                         for (int i = 0; i < pages; i++)
                             kids += std::to_string(10 + i) + " 0 R ";
                         PdfBuilder b;
                         Catalog(b, kids, pages);
                         for (int i = 0; i < pages; i++)
                             b.Object(10 + i, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 20 20] /Contents 3 0 R >>");
                         size_t blanks = b.Tell();
                         b.Raw(std::string(2 * 1024 * 1024, ' '));
                         b.Stream(3, "", "0 0 1 rg 1 1 5 5 re f\n");
                         size_t table = b.ClassicXref();
                         // The entry of object 3 points at the first blank.
                         std::string bytes = b.Bytes();
                         char from[32], to[32];
                         snprintf(from, sizeof from, "%010zu 00000 n", b.Offset(3));
                         snprintf(to, sizeof to, "%010zu 00000 n", blanks);
                         size_t at = bytes.find(from, table);
                         if (at != std::string::npos)
                             bytes.replace(at, strlen(from), to);
                         return bytes;
                     },
                     0});

    // A form XObject whose dictionary holds an array of a megabyte, drawn 20,000 times.
    docs->push_back({"form-with-1mb-array-drawn-20000-times",
                     [] {
                         const std::string big = "[" + Repeat("0 ", 512 * 1024) + "]";
                         std::string content;
                         content += Repeat("/Fm0 Do\n", 20000);
                         return OnePage("<< /XObject << /Fm0 5 0 R >> >>", content,
                                        {{5, "/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Big " + big,
                                          "0 0 1 rg 1 1 5 5 re f\n", true}});
                     },
                     0});

    // A tiling pattern whose dictionary holds an array of a megabyte, painted 2,000 times.
    docs->push_back({"pattern-with-1mb-array-painted-2000-times",
                     [] {
                         const std::string big = "[" + Repeat("0 ", 512 * 1024) + "]";
                         std::string content;
                         content += Repeat("/Pattern cs /P0 scn 1 1 5 5 re f\n", 2000);
                         return OnePage("<< /Pattern << /P0 5 0 R >> >>", content,
                                        {{5, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 4 4] /XStep 4 "
                                             "/YStep 4 /Resources << >> /Big " + big,
                                          "0 0 1 rg 0 0 2 2 re f\n", true}});
                     },
                     0});

    // Intermediate Pages nodes shared many times over (no cycle): 40 kids at each of six
    // levels, all the same node, above one page; and a Size that claims millions of objects.
    docs->push_back({"kids-dag-shared-intermediate-nodes",
                     [] {
                         auto repeated = [](int num) {
                             std::string kids;
                             for (int i = 0; i < 40; i++)
                                 kids += std::to_string(num) + " 0 R ";
                             std::string big;
                             big += Repeat("0 ", 500);
                             return "<< /Type /Pages /Count 1000000 /Resources << /Big [" + big +
                                    "] >> /Kids [" + kids + "] >>";
                         };
                         PdfBuilder b;
                         b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                         for (int n = 2; n <= 7; n++)
                             b.Object(n, repeated(n + 1));
                         b.Object(8, "<< /Type /Page /MediaBox [0 0 20 20] /Contents 9 0 R >>");
                         b.Stream(9, "", "0 0 1 rg 1 1 5 5 re f\n");
                         XrefOptions o;
                         o.size = false;
                         o.extra = "/Size 8000000";
                         b.ClassicXref(o);
                         return b.Bytes();
                     },
                     0});

    // One classic record numbered near the top of the allowed range in a file of a few
    // hundred bytes: the table must not grow to hold it.
    docs->push_back({"classic-record-numbered-8388000",
                     [] {
                         PdfBuilder b;
                         b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                         b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
                         b.Object(3, "<< /Type /Page /MediaBox [0 0 20 20] >>");
                         size_t third = b.Offset(3);
                         b.ClassicXref();
                         std::string s = b.Bytes();
                         char rec[64];
                         snprintf(rec, sizeof rec, "8388000 1\n%010zu 00000 n \n", third);
                         s.insert(s.rfind("trailer"), rec);
                         return s;
                     },
                     0});

    // A cross-reference stream of a few kilobytes whose 8,388,600 compressed records are all in
    // use: the table must not grow to hold them.
    docs->push_back({"xref-stream-8388600-records-in-use",
                     [] {
                         PdfBuilder b;
                         b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                         b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
                         b.Object(3, "<< /Type /Page /MediaBox [0 0 20 20] >>");
                         const int n = 8388600;
                         std::string rows;
                         rows.reserve((size_t)n * 4);
                         for (int i = 0; i < n; i++) {
                             size_t off = i >= 1 && i <= 3 ? b.Offset(i) : 9;
                             rows += std::string(1, i == 0 ? '\0' : '\1') + (char)(off >> 8) + (char)(off & 255) + '\0';
                         }
                         std::string data = Deflate(rows);
                         size_t at = b.Tell();
                         b.Raw("4 0 obj\n<< /Type /XRef /Size 5 /Index [0 " + std::to_string(n) +
                               "] /W [1 2 1] /Root 1 0 R /Filter /FlateDecode /Length " +
                               std::to_string(data.size()) + " >>\nstream\n" + data +
                               "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n");
                         return b.Bytes();
                     },
                     0});

    // A trailer Size below the highest object number, in both forms of cross-reference data:
    // the objects the sections list are there whatever Size says.
    for (bool stream : {false, true}) {
        docs->push_back({stream ? "size-below-objects-xref-stream" : "size-below-objects-xref-table",
                         [stream] {
                             PdfBuilder b;
                             b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
                             b.Object(2, "<< /Type /Pages /Kids [30 0 R] /Count 1 >>");
                             b.Object(30, "<< /Type /Page /MediaBox [0 0 20 20] /Contents 31 0 R >>");
                             b.Stream(31, "", "0 0 1 rg 1 1 5 5 re f\n");
                             XrefOptions o;
                             o.size = false;
                             o.extra = "/Size 3";
                             if (stream)
                                 b.XrefStream(40, o);
                             else
                                 b.ClassicXref(o);
                             return b.Bytes();
                         },
                         0});
    }
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
    // Nested content that fans out: every level runs the next one more than once, so a
    // few dozen levels inside the depth caps would run millions of streams.
    const int levels = 24;
    docs->push_back({"forms-fan-out", [] {
        std::vector<ExtraObject> more;
        for (int k = 0; k < levels; k++) {
            int next = 5 + k + 1;
            std::string res = k + 1 < levels
                                  ? "/Resources << /XObject << /X " + std::to_string(next) +
                                        " 0 R /Y " + std::to_string(next) + " 0 R >> >>"
                                  : "";
            more.push_back({5 + k, "/Type /XObject /Subtype /Form /BBox [0 0 200 200] " + res,
                            "0 0 1 1 re f /X Do /Y Do", true});
        }
        return OnePage("<< /XObject << /X 5 0 R >> >>", "/X Do", more);
    }, 0});
    docs->push_back({"tiling-cells-fan-out", [] {
        // Eight levels of cells (the tiling depth cap), each painting the next four times.
        std::vector<ExtraObject> more;
        for (int k = 0; k < 8; k++) {
            std::string res = "/Resources << /Pattern << /P " + std::to_string(5 + k + 1) +
                              " 0 R >> >>";
            more.push_back({5 + k, "/PatternType 1 /PaintType 1 /TilingType 1 "
                                   "/BBox [0 0 20 20] /XStep 20 /YStep 20 " + res,
                            "/Pattern cs /P scn 0 0 5 5 re f 5 5 5 5 re f 10 10 5 5 re f "
                            "15 15 5 5 re f", true});
        }
        more.push_back({13, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] "
                            "/XStep 20 /YStep 20 /Resources << >>", "0 0 5 5 re f", true});
        return OnePage("<< /Pattern << /P 5 0 R >> >>", "/Pattern cs /P scn 0 0 200 200 re f",
                       more);
    }, 0});
    docs->push_back({"type3-glyphs-fan-out", [] {
        // Font k's glyph shows two glyphs of font k + 1.
        std::vector<ExtraObject> more;
        for (int k = 0; k < levels; k++) {
            int font = 5 + 2 * k, proc = font + 1;
            std::string res = k + 1 < levels
                                  ? "/Resources << /Font << /F " + std::to_string(font + 2) +
                                        " 0 R >> >> "
                                  : "";
            more.push_back({font, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] "
                                  "/FontMatrix [0.001 0 0 0.001 0 0] /FirstChar 97 /LastChar 97 "
                                  "/Widths [1000] /Encoding << /Differences [97 /a] >> "
                                  "/CharProcs << /a " + std::to_string(proc) + " 0 R >> " +
                                  res + ">>", ""});
            std::string show = k + 1 < levels ? "BT /F 1000 Tf (aa) Tj ET " : "";
            more.push_back({proc, "", "1000 0 d0 0 0 100 100 re f " + show, true});
        }
        return OnePage("<< /Font << /F 5 0 R >> >>", "BT /F 12 Tf 10 10 Td (aa) Tj ET", more);
    }, 0});
    docs->push_back({"forms-and-glyphs-fan-out", [] {
        // Forms and Type 3 glyphs taking turns: form k draws glyph font k twice, whose glyph
        // draws form k + 1 twice.
        std::vector<ExtraObject> more;
        for (int k = 0; k < levels; k++) {
            int form = 5 + 3 * k, font = form + 1, proc = form + 2, next = form + 3;
            more.push_back({form, "/Type /XObject /Subtype /Form /BBox [0 0 200 200] "
                                  "/Resources << /Font << /F " + std::to_string(font) +
                                  " 0 R >> >>",
                            "0 0 1 1 re f BT /F 10 Tf (aa) Tj ET", true});
            std::string res = k + 1 < levels ? "/Resources << /XObject << /X " +
                                                   std::to_string(next) + " 0 R >> >> "
                                             : "";
            more.push_back({font, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] "
                                  "/FontMatrix [0.001 0 0 0.001 0 0] /FirstChar 97 /LastChar 97 "
                                  "/Widths [1000] /Encoding << /Differences [97 /a] >> "
                                  "/CharProcs << /a " + std::to_string(proc) + " 0 R >> " +
                                  res + ">>", ""});
            std::string draw = k + 1 < levels ? "/X Do /X Do" : "";
            more.push_back({proc, "", "1000 0 d0 " + draw, true});
        }
        return OnePage("<< /XObject << /X 5 0 R >> >>", "/X Do", more);
    }, 0});
    docs->push_back({"form-of-many-paths-drawn-often", [] {
        // A form of a thousand paths drawn by a content stream that inflates to 100,000 Do.
        std::string paths, calls;
        for (int i = 0; i < 1000; i++)
            paths += std::to_string(i % 200) + " 0 1 200 re f\n";
        calls += Repeat("/X Do\n", 100000);
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] "
                    "/Resources << /XObject << /X 5 0 R >> >> /Contents 4 0 R >>");
        b.Stream(4, "/Filter /FlateDecode", Deflate(calls));
        b.Stream(5, "/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Filter /FlateDecode",
                 Deflate(paths));
        b.ClassicXref();
        return b.Bytes();
    }, 0});
    docs->push_back({"content-inflating-to-paths", [] {
        // 3 million painted rectangles from about 100 KB of Flate data.
        std::string unit;
        for (int i = 0; i < 100; i++)
            unit += std::to_string(i) + " " + std::to_string(i) + " 50 50 re f\n";
        std::string content;
        content.reserve(unit.size() * 30000);
        for (int i = 0; i < 30000; i++)
            content += unit;
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
        b.Stream(4, "/Filter /FlateDecode", Deflate(content));
        b.ClassicXref();
        return b.Bytes();
    }, 0});
    docs->push_back({"content-of-no-op-operators", [] {
        // 12 million operators that draw nothing, inflating from a few kilobytes.
        std::string content;
        content.reserve(24u * 1000 * 1000);
        for (int i = 0; i < 12 * 1000 * 1000; i++)
            content += "n\n";
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
        b.Stream(4, "/Filter /FlateDecode", Deflate(content));
        b.ClassicXref();
        return b.Bytes();
    }, 0});

    // Clips open at once far past what readers nest: rectangles (merged once the page is as
    // deep as it may go), other shapes (left out there), inside q and without, in forms.
    auto clips = [](int n, bool inQ, bool rectangles) {
        std::string c;
        for (int i = 0; i < n; i++) {
            double lo = i * 0.3, hi = 200 - i * 0.3;
            char shape[160];
            if (rectangles)
                snprintf(shape, sizeof shape, "%g %g %g %g re W n ", lo, lo, hi - lo, hi - lo);
            else
                snprintf(shape, sizeof shape, "%g %g m %g %g l %g %g l h W n ", lo, lo, hi, lo,
                         lo, hi);
            c += (inQ ? "q " : "") + std::string(shape);
        }
        c += "0 0 200 200 re f";
        for (int i = 0; inQ && i < n; i++)
            c += " Q";
        return c;
    };
    docs->push_back({"clips-nested-300-in-q", [=] { return OnePage("<< >>", clips(300, true, true)); }, 0});
    docs->push_back({"clips-nested-300-no-q", [=] { return OnePage("<< >>", clips(300, false, true)); }, 0});
    docs->push_back({"clips-nested-300-triangles", [=] { return OnePage("<< >>", clips(300, true, false)); }, 0});
    docs->push_back({"clips-in-nested-forms", [] {
        // Thirty forms inside one another, each opening ten clips before drawing the next.
        std::vector<ExtraObject> more;
        for (int k = 0; k < 30; k++) {
            std::string c;
            for (int i = 0; i < 10; i++) {
                double lo = (k * 10 + i) * 0.3, size = 200 - 2 * lo;
                c += "q " + std::to_string(lo) + " " + std::to_string(lo) + " " +
                     std::to_string(size) + " " + std::to_string(size) + " re W n ";
            }
            c += k + 1 < 30 ? "/X Do" : "0 0 200 200 re f";
            std::string res = "/Resources << /XObject << /X " + std::to_string(5 + k + 1) +
                              " 0 R >> >>";
            more.push_back({5 + k, "/Type /XObject /Subtype /Form /BBox [0 0 200 200] " + res, c,
                            true});
        }
        return OnePage("<< /XObject << /X 5 0 R >> >>", "/X Do", more);
    }, 0});
    docs->push_back({"clips-around-tiling-cells", [] {
        // Clips nested on the page, then in every cell of nested tiling patterns.
        std::string inner;
        inner += Repeat("q 0 0 20 20 re W n 1 1 18 18 re W* n ", 60);
        std::vector<ExtraObject> more;
        for (int k = 0; k < 8; k++)
            more.push_back({5 + k, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] "
                                   "/XStep 20 /YStep 20 /Resources << /Pattern << /P " +
                                       std::to_string(5 + k + 1) + " 0 R >> >>",
                            inner + "/Pattern cs /P scn 0 0 20 20 re f", true});
        more.push_back({13, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] "
                            "/XStep 20 /YStep 20", "0 0 10 10 re f", true});
        std::string page;
        for (int i = 0; i < 150; i++)
            page += "q " + std::to_string(i) + " 0 m 200 0 l 100 " + std::to_string(200 - i) +
                    " l h W n ";
        return OnePage("<< /Pattern << /P 5 0 R >> >>",
                       page + "/Pattern cs /P scn 0 0 200 200 re f", more);
    }, 0});
    // Tiling cells far larger than their steps: each level's cell is overlapped by 64
    // neighbours (as many copies as a tile takes) and paints the next level; the last level
    // is overlapped by millions, and its steps are nearly 0.
    docs->push_back({"tiling-cells-overlapping-fan-out", [] {
        std::vector<ExtraObject> more;
        for (int k = 0; k < 8; k++)
            more.push_back({5 + k, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 8 8] "
                                   "/XStep 1 /YStep 1 /Resources << /Pattern << /P " +
                                   std::to_string(5 + k + 1) + " 0 R >> >>",
                            "/Pattern cs /P scn 0 0 1 1 re f", true});
        more.push_back({13, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 200 200] "
                            "/XStep 0.0001 /YStep 0.00000001 /Resources << >>", "0 0 5 5 re f", true});
        return OnePage("<< /Pattern << /P 5 0 R >> >>", "/Pattern cs /P scn 0 0 200 200 re f",
                       more);
    }, 0});
    // One small stream listed 1,100 times in Contents, each time opening a clip that stays
    // open into the next stream: past the q stack and the markup depth, across streams.
    auto clipsAcrossStreams = [](bool inQ) {
        PdfBuilder b;
        Catalog(b, "3 0 R", 1);
        std::string contents;
        contents += Repeat("4 0 R ", 1100);
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents [" +
                        contents + "5 0 R] >>");
        b.Stream(4, "", std::string(inQ ? "q " : "") + "10 10 m 190 10 l 100 190 l h W n");
        b.Stream(5, "", "0 0 1 rg 0 0 200 200 re f");
        b.ClassicXref();
        return b.Bytes();
    };
    docs->push_back({"clips-left-open-by-1100-streams-in-q", [=] { return clipsAcrossStreams(true); }, 0});
    docs->push_back({"clips-left-open-by-1100-streams-no-q", [=] { return clipsAcrossStreams(false); }, 0});
    // Rotate entries at the ends of the integer range, far beyond it, and between quarter
    // turns; page boxes reversed, thin and empty.
    auto pages = [](const std::vector<std::string>& entries) {
        PdfBuilder b;
        std::string kids;
        for (size_t i = 0; i < entries.size(); i++)
            kids += std::to_string(10 + 2 * i) + " 0 R ";
        Catalog(b, kids, (int)entries.size());
        for (size_t i = 0; i < entries.size(); i++) {
            int page = 10 + 2 * (int)i;
            b.Object(page, "<< /Type /Page /Parent 2 0 R " + entries[i] + " /Contents " +
                               std::to_string(page + 1) + " 0 R >>");
            b.Stream(page + 1, "", "0 0 1 rg 0 0 100 100 re f BT ET");
        }
        b.ClassicXref();
        return b.Bytes();
    };
    docs->push_back({"rotate-extreme-values", [=] {
        return pages({"/MediaBox [0 0 200 100] /Rotate 2147483647",
                      "/MediaBox [0 0 200 100] /Rotate -2147483648",
                      "/MediaBox [0 0 200 100] /Rotate 2147483550",
                      "/MediaBox [0 0 200 100] /Rotate 99999999999999999999.0",
                      "/MediaBox [0 0 200 100] /Rotate -0.0000001",
                      "/MediaBox [0 0 200 100] /Rotate [90]",
                      "/MediaBox [0 0 200 100] /Rotate 9 0 R"});
    }, 0});
    docs->push_back({"page-boxes-reversed-thin-empty", [=] {
        return pages({"/MediaBox [200 100 0 0] /Rotate 90", "/MediaBox [0 0 0.5 0.5]",
                      "/MediaBox [5 5 5 5] /Rotate 270", "/MediaBox [0 100 200 0]",
                      "/MediaBox [0 0 1 -1]", "/MediaBox [-2147483648 -2147483648 0 -2147483647]"});
    }, 0});
    // A cross-reference stream without a filter whose Length and Index reach far past the
    // end of the file: the rows end with the file.
    docs->push_back({"xref-stream-unfiltered-past-the-file", [] {
        PdfBuilder b;
        Catalog(b, "3 0 R", 1);
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
        b.Stream(4, "", "0 0 1 rg 10 10 50 50 re f");
        XrefOptions o;
        o.compress = false;
        o.index = false;
        o.size = false;
        o.extra = "/Size 2000000";
        size_t at = b.XrefStream(5, o);
        std::string s = b.Bytes();
        size_t length = s.find("/Length ", at);
        s.replace(length, s.find(' ', length + 8) - length, "/Length 2147483647");
        return s;
    }, 0});
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
    // A Type0 font without a program whose ToUnicode map (a few kilobytes of Flate) lists
    // the whole code space over and over, with a W range over every CID and beyond.
    docs->push_back({"font-named-cid-tounicode-ranges",
                     [] {
                         std::string map = "begincmap 1 begincodespacerange <0000> <FFFF> "
                                           "endcodespacerange\n";
                         for (int k = 0; k < 50; k++) {
                             map += "100 beginbfrange\n";
                             map += Repeat("<0000> <FFFF> <0041>\n", 100);
                             map += "endbfrange\n";
                         }
                         map += "endcmap\n";
                         std::string codes;
                         codes += Repeat("0041FFFF", 2000);
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

// TrueType programs whose header readers refuse, programs without glyphs, CIDToGIDMap streams
// and font-file entries that lead nowhere: the package names no glyph its fonts lack and
// holds no font a reader cannot open.
void BrokenTrueTypePrograms(std::vector<HostileDoc>* docs)
{
    const std::string boxes =
        testfont::BoxTrueType({{50, 450, 700, 500}, {50, 950, 300, 1000}, {50, 250, 500, 300}},
                              {{65, 1}, {66, 2}, {67, 3}});
    const std::string descriptor = "<< /Type /FontDescriptor /FontName /ABCDEF+Boxes /Flags 4 "
                                   "/FontBBox [0 0 1000 1000] /ItalicAngle 0 /Ascent 1000 /Descent 0 "
                                   "/CapHeight 700 /StemV 80 /FontFile2 7 0 R >>";
    for (unsigned unitsPerEm : {0u, 1u, 65535u}) {
        docs->push_back({"truetype-units-per-em-" + std::to_string(unitsPerEm),
                         [=] {
                             return OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 30 Tf 10 100 Td (ABCBA) Tj ET",
                                            {{5, "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Boxes "
                                                 "/FirstChar 65 /LastChar 67 /Widths [500 1000 300] "
                                                 "/FontDescriptor 6 0 R >>", ""},
                                             {6, descriptor, ""},
                                             {7, "", testfont::WithField16(boxes, "head", 18, unitsPerEm), true}});
                         },
                         0});
    }
    // A CIDFont of a program without glyphs, and CIDFonts whose maps hold an odd byte, name
    // glyphs past the program's, or are no stream: each of /F1 to /F4 shows CIDs 0 to 3 and
    // 0xFFFF.
    docs->push_back({"cidfonttype2-no-glyphs-and-damaged-maps",
                     [=] {
                         std::string map;
                         for (unsigned g : {0u, 0xFFFFu, 3u, 4u, 2u})
                             map += std::string{(char)(g >> 8), (char)(g & 0xFF)};
                         std::vector<ExtraObject> objs = {
                             {6, descriptor, ""},
                             {7, "", boxes, true},
                             {8, "<< /Type /FontDescriptor /FontName /ABCDEF+Empty /Flags 4 "
                                 "/FontBBox [0 0 1000 1000] /ItalicAngle 0 /Ascent 1000 /Descent 0 "
                                 "/CapHeight 700 /StemV 80 /FontFile2 9 0 R >>", ""},
                             {9, "", testfont::WithField16(boxes, "maxp", 4, 0), true},
                             {10, "", map + "\x01", true},
                             {11, "/Filter /FlateDecode", Deflate(std::string(1 << 20, '\xff')), true},
                             {12, "<< /Not /AStream >>", ""}};
                         const char* cidFonts[4][2] = {{"8", "/Identity"}, {"6", "10 0 R"}, {"6", "11 0 R"},
                                                       {"6", "12 0 R"}};
                         std::string fonts, content = "BT ";
                         for (int i = 0; i < 4; i++) {
                             const int obj = 20 + 2 * i;
                             fonts += "/F" + std::to_string(i + 1) + " " + std::to_string(obj) + " 0 R ";
                             objs.push_back({obj, "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H "
                                                  "/DescendantFonts [" + std::to_string(obj + 1) + " 0 R] >>", ""});
                             objs.push_back({obj + 1, std::string("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /X "
                                                                  "/CIDToGIDMap ") + cidFonts[i][1] +
                                                          " /FontDescriptor " + cidFonts[i][0] + " 0 R >>", ""});
                             content += "/F" + std::to_string(i + 1) + " 20 Tf 10 " + std::to_string(160 - 40 * i) +
                                        " Td <0000 0001 0002 0003 FFFF> Tj ";
                         }
                         return OnePage("<< /Font << " + fonts + ">> >>", content + "ET", objs);
                     },
                     0});
    // Font-file entries that refer to no program: past the table, a negative number, the page,
    // the font dictionary itself.
    docs->push_back({"font-files-refer-to-no-program",
                     [] {
                         std::string fonts, content = "BT ";
                         std::vector<ExtraObject> objs;
                         const char* refs[] = {"/FontFile2 2147483647 0 R", "/FontFile -1 0 R", "/FontFile3 3 0 R",
                                               "/FontFile2 5 0 R"};
                         const char* subtypes[] = {"TrueType", "Type1", "MMType1", "TrueType"};
                         for (int i = 0; i < 4; i++) {
                             const int obj = 5 + 2 * i;
                             fonts += "/F" + std::to_string(i + 1) + " " + std::to_string(obj) + " 0 R ";
                             objs.push_back({obj, std::string("<< /Type /Font /Subtype /") + subtypes[i] +
                                                      " /BaseFont /Arial /FontDescriptor " + std::to_string(obj + 1) +
                                                      " 0 R >>", ""});
                             objs.push_back({obj + 1, std::string("<< /Type /FontDescriptor /FontName /Arial /Flags 32 ") +
                                                          refs[i] + " >>", ""});
                             content += "/F" + std::to_string(i + 1) + " 12 Tf 10 " + std::to_string(160 - 30 * i) +
                                        " Td (Nothing there) Tj ";
                         }
                         return OnePage("<< /Font << " + fonts + ">> >>", content + "ET", objs);
                     },
                     0});
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
        prog += Repeat("1 add 1 sub ", 16384);
        return tint("/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", prog + "dup dup }", true, {});
    });
    add("function-program-nested-braces", [=] {
        return tint("/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]",
                    std::string(20000, '{') + std::string(20000, '}'), true, {});
    });
    // A program that overflows its stack on every evaluation.
    add("function-program-stack-overflow", [=] {
        std::string prog = "{ ";
        prog += Repeat("dup ", 150);
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
        prog += Repeat("1 add 1 sub ", 2040);
        std::string content;
        for (int i = 0; i < 100000; i++)
            content += i % 2 ? "/S cs 0.25 sc\n" : "0.75 sc\n";
        content += "10 10 80 80 re f\n";
        return OnePage(resources, content,
                       {{5, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", prog + "dup dup }", true},
                        shading});
    });
}

// Stitching functions that share their parts, as the gradient of an axial shading and as
// the tint transform of a spot colour. Each page first fills a blue square, which a sound
// conversion keeps whatever the functions cost.
const std::string kBlueSquare = "0 0 1 rg 20 20 60 60 re f\n";
const std::vector<std::pair<int, int>> kBlueSquareInk = {{50, 150}};

// Levels of stitching functions from object `first` on, each naming the next `fan` times
// over equal pieces, each piece encoded onto `encode`; the object after them is `leaf`.
std::vector<ExtraObject> SharedLevels(int first, int levels, int fan, const std::string& encode,
                                      const std::string& leaf)
{
    std::string bounds;
    for (int i = 1; i < fan; i++) {
        char b[32];
        snprintf(b, sizeof b, "%.6f ", (double)i / fan);
        bounds += b;
    }
    std::vector<ExtraObject> objs;
    for (int l = 0; l < levels; l++)
        objs.push_back({first + l, "<< /FunctionType 3 /Domain [0 1] /Bounds [" + bounds +
                                       "] /Encode [" + Repeat(encode + " ", fan) + "] /Functions [" +
                                       Repeat(std::to_string(first + l + 1) + " 0 R ", fan) + "] >>", ""});
    objs.push_back({first + levels, leaf, ""});
    return objs;
}

// A page whose shading /Sh (object 5) and spot colour /S take function 10 of `functions`.
std::string SharedFunctionPage(const std::vector<ExtraObject>& functions, const std::string& paint)
{
    std::vector<ExtraObject> objs = {
        {5, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 200 0] /Function 10 0 R >>", ""}};
    objs.insert(objs.end(), functions.begin(), functions.end());
    return OnePage("<< /ColorSpace << /S [/Separation /Spot /DeviceRGB 10 0 R] >> /Shading << /Sh 5 0 R >> >>",
                   kBlueSquare + paint, objs);
}

void FunctionWalks(std::vector<HostileDoc>* docs)
{
    const std::string straight = "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 0.5 0] >>";
    const std::string paint = "q 0 100 200 100 re W n /Sh sh Q /S cs 0.5 sc 100 10 80 80 re f\n";
    // mutool draws functions this deep otherwise than their arithmetic gives (a tint of 0.5
    // reaches the start of a piece on every level below, and so black), so the PDF's
    // rendering is no measure of them: a page is held to its square.
    auto add = [docs](const std::string& name, std::function<std::string()> make) {
        HostileDoc d{name, std::move(make), 0};
        d.drawnBefore = kBlueSquareInk;
        docs->push_back(d);
    };
    // 15 levels, each naming the next 8 times (8^15 paths, 4.9 KB): whether the gradient is
    // straight is asked of every path unless each object answers it once.
    add("function-shared-parts-15-levels-of-8", [=] {
        return SharedFunctionPage(SharedLevels(10, 15, 8, "0 1", straight), paint);
    });
    // The same with every piece encoded to a point: the breaks of the gradient lie nowhere an
    // input reaches, so a walk that looks for them in every path finds none to stop it.
    add("function-shared-parts-encoded-to-a-point", [=] {
        return SharedFunctionPage(SharedLevels(10, 12, 8, "0 0", straight), paint);
    });
    // 1,024 pieces, each a tree of 14 levels of 3 pieces encoded to a point.
    add("function-1024-pieces-of-shared-trees", [=] {
        std::vector<ExtraObject> objs = SharedLevels(11, 14, 3, "0 0", straight);
        std::string bounds;
        for (int i = 1; i < 1024; i++) {
            char b[32];
            snprintf(b, sizeof b, "%.8f ", i / 1024.0);
            bounds += b;
        }
        objs.insert(objs.begin(), {10, "<< /FunctionType 3 /Domain [0 1] /Bounds [" + bounds +
                                            "] /Functions [" + Repeat("11 0 R ", 1024) + "] >>", ""});
        return SharedFunctionPage(objs, paint);
    });
    // 12 levels of 1,024 pieces, two of them halves and the rest empty at the end, under a
    // gradient painted 2,000 times: each gradient's breaks cost a quarter of a million
    // steps, so the conversion's function budget ends the walks, and the page keeps what it
    // drew before.
    HostileDoc wide{"function-wide-pieces-shaded-2000-times", [=] {
        std::vector<ExtraObject> objs;
        for (int l = 0; l < 12; l++)
            objs.push_back({10 + l, "<< /FunctionType 3 /Domain [0 1] /Bounds [0.5 " + Repeat("1 ", 1022) +
                                        "] /Functions [" + Repeat(std::to_string(11 + l) + " 0 R ", 1024) + "] >>", ""});
        objs.push_back({22, straight, ""});
        return SharedFunctionPage(objs, Repeat("q 0 100 200 100 re W n /Sh sh Q\n", 2000));
    }, 0};
    wide.drawnBefore = kBlueSquareInk;
    docs->push_back(wide);
}

// Calculator programs whose integer operators get operands far beyond the integers: huge
// numbers, and the infinite and undefined results of real arithmetic. Each is the tint
// transform of a spot colour of its own, and one is also a shading's gradient. (mutool reads
// no exponent in a program, so its rendering is no measure of these colours.)
void CalculatorOperands(std::vector<HostileDoc>* docs)
{
    HostileDoc d{"function-calculator-operands-beyond-integers", [] {
        const char* programs[] = {
            "{ 1e300 mul cvi dup dup }",
            "{ pop 99999999999999999999 index dup dup }",
            "{ 1e300 mul cvi copy dup dup }",
            "{ 1 2 3 1e300 cvi 1 roll dup }",
            "{ 1 2 2 1e300 cvi roll dup }",
            "{ 1e300 mul cvi not dup dup }",
            "{ 1e300 mul cvi 1 and 1 1e300 cvi or 4294967297 1 xor }",
            "{ 1e300 mul cvi 1 bitshift 1 1e300 cvi bitshift dup }",
            "{ 1e308 mul 1e308 mul cvi 1 and -1 sqrt cvi 1 or 0 ln cvi 1 xor }",
            "{ -2147483648 neg 1 and dup dup }",
        };
        std::string spaces, paint;
        std::vector<ExtraObject> objs = {
            {5, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 200 0] /Function 10 0 R >>", ""}};
        int i = 0;
        for (const char* prog : programs) {
            const int num = 10 + i;
            spaces += "/S" + std::to_string(i) + " [/Separation /Spot /DeviceRGB " + std::to_string(num) + " 0 R] ";
            objs.push_back({num, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", prog, true});
            paint += "/S" + std::to_string(i) + " cs 0.5 sc " + std::to_string(10 + 18 * i) + " 100 16 16 re f\n";
            i++;
        }
        return OnePage("<< /ColorSpace << " + spaces + ">> /Shading << /Sh 5 0 R >> >>",
                       kBlueSquare + paint + "q 0 140 200 60 re W n /Sh sh Q\n", objs);
    }, 0};
    d.drawnBefore = kBlueSquareInk;
    docs->push_back(d);
}

// Canvases the content opens in bulk. Clips by the hundred thousand, none of them ended
// before the page is: past the markup's nesting limit each is kept unwritten, and the page
// still draws what they leave. Soft masks, whose form is drawn again for every thing painted
// under them.
void CanvasesInBulk(std::vector<HostileDoc>* docs)
{
    auto clips = [](const std::string& shape) {
        std::string content = Repeat(shape + " W n\n", 100000);
        content += "0 0 1 rg 20 20 160 160 re f 60 60 80 80 re W n 1 0 0 rg 0 0 200 200 re f";
        PdfBuilder b;
        Catalog(b, "3 0 R", 1);
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
        b.Stream(4, "/Filter /FlateDecode", Deflate(content));
        b.ClassicXref();
        return b.Bytes();
    };
    HostileDoc rects{"clips-100000-rectangles-no-q", [=] { return clips("0 0 200 200 re"); }, 0};
    rects.drawnAsPdf = true;
    docs->push_back(rects);
    // Shapes that cannot merge are left out past the limit, so the page draws more than the
    // PDF there (and mutool takes gigabytes to draw the PDF itself): time and memory only.
    docs->push_back({"clips-100000-triangles-no-q",
                     [=] { return clips("-10 -10 m 400 -10 l -10 400 l h"); }, 0});
    // W marks without painting while the path grows: one clip of the whole path, not one
    // per mark (each of the paths 1 to 6,000 rectangles long, formatted and kept).
    auto page = [](const std::string& content) {
        PdfBuilder b;
        Catalog(b, "3 0 R", 1);
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
        b.Stream(4, "/Filter /FlateDecode",
                 Deflate(content + "0 0 1 rg 20 20 160 160 re f 60 60 80 80 re W n 1 0 0 rg 0 0 200 200 re f"));
        b.ClassicXref();
        return b.Bytes();
    };
    HostileDoc marks{"clip-marks-on-a-growing-path",
                     [=] { return page(Repeat("0 0 200 200 re W\n", 6000) + "n\n"); }, 0};
    marks.drawnAsPdf = true;
    docs->push_back(marks);
    // Clips of 200 rectangles each, 20,000 of them, most past the nesting limit: none that is
    // left out keeps its path.
    docs->push_back({"clips-20000-of-long-paths-no-q",
                     [=] { return page(Repeat(Repeat("0 0 200 200 re ", 200) + "W n\n", 20000)); }, 0});

    const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 200 200] ";
    // A mask of 2,000 paths under 200,000 fills.
    docs->push_back({"soft-mask-of-many-paths-under-many-fills", [=] {
        PdfBuilder b;
        Catalog(b, "3 0 R", 1);
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << "
                    "/ExtGState << /M << /SMask << /S /Luminosity /G 5 0 R >> >> >> >> "
                    "/Contents 4 0 R >>");
        b.Stream(4, "/Filter /FlateDecode", Deflate("/M gs " + Repeat("0 0 1 1 re f\n", 200000)));
        b.Stream(5, form + "/Filter /FlateDecode", Deflate(Repeat("1 g 0 0 9 9 re f\n", 2000)));
        b.ClassicXref();
        return b.Bytes();
    }, 0});
    // Masks inside masks: the form of mask k paints twice under mask k + 1.
    docs->push_back({"soft-masks-inside-soft-masks-fan-out", [=] {
        const int levels = 40;
        std::vector<ExtraObject> more;
        for (int k = 0; k < levels; k++) {
            std::string next = std::to_string(5 + k + 1);
            more.push_back({5 + k, form + "/Resources << /ExtGState << /M << /SMask << /S "
                                          "/Alpha /G " + next + " 0 R >> >> >> >>",
                            "/M gs 0 0 100 100 re f 50 50 100 100 re f", true});
        }
        more.push_back({5 + levels, form, "0 0 200 200 re f", true});
        return OnePage("<< /ExtGState << /M << /SMask << /S /Alpha /G 5 0 R >> >> >> >>",
                       "/M gs 0 0 1 rg 0 0 200 200 re f", more);
    }, 0});
}

// Streams that inflate to the decoded-size cap, one of each kind whose use the format bounds,
// and an image of 8000 x 8000 RGB pixels: a conversion decodes only the bytes a use needs,
// writes an image a row at a time, and stays under the table's memory bound.

// Flate data made a piece at a time: the test never holds a large stream's decoded bytes.
class Deflater {
public:
    Deflater() { deflateInit(&zs_, 6); }
    ~Deflater() { deflateEnd(&zs_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void Feed(const unsigned char* p, size_t n, bool last = false)
    {
        zs_.next_in = const_cast<unsigned char*>(p);
        zs_.avail_in = (uInt)n;
        do {
            zs_.next_out = chunk_.data();
            zs_.avail_out = (uInt)chunk_.size();
            deflate(&zs_, last ? Z_FINISH : Z_NO_FLUSH);
            out_.append((const char*)chunk_.data(), chunk_.size() - zs_.avail_out);
        } while (zs_.avail_out == 0);
    }
    std::string Finish()
    {
        Feed(nullptr, 0, true);
        return out_;
    }

private:
    z_stream zs_ = {};
    std::vector<unsigned char> chunk_ = std::vector<unsigned char>(1 << 16);
    std::string out_;
};

// Flate data of `head` followed by `zeros` zero bytes.
std::string DeflatedWithZeros(const std::string& head, size_t zeros)
{
    Deflater d;
    d.Feed((const unsigned char*)head.data(), head.size());
    std::vector<unsigned char> blank(1 << 20, 0);
    for (size_t left = zeros; left > 0;) {
        size_t n = std::min(left, blank.size());
        d.Feed(blank.data(), n);
        left -= n;
    }
    return d.Finish();
}

void StreamsAtTheDecodedCap(std::vector<HostileDoc>* docs)
{
    auto add = [docs](const std::string& name, std::function<std::string()> make) {
        docs->push_back({name, std::move(make), 0});
    };
    const size_t cap = PDF_MAX_STREAM_BYTES;
    const std::string text = "BT /F1 24 Tf 20 100 Td (AB) Tj ET\n";

    // A Type 1 program whose three portions (Length1 to Length3) are followed by zeros.
    add("type1-program-inflating-to-the-cap", [=] {
        std::string program = testfont::BoxType1("Boxes", {{"A", 65, 50, 450, 700, 500},
                                                           {"B", 66, 50, 950, 300, 1000}});
        size_t clear = program.find("eexec");
        clear = clear == std::string::npos ? 0 : clear + 6;
        // The entries name Length1 to Length3, so Length is given here too.
        const std::string data = DeflatedWithZeros(program, cap);
        return OnePage("<< /Font << /F1 5 0 R >> >>", text,
                       {{5, "<< /Type /Font /Subtype /Type1 /BaseFont /Boxes /FirstChar 65 "
                            "/LastChar 66 /Widths [500 1000] /FontDescriptor 6 0 R >>", "", false},
                        {6, "<< /Type /FontDescriptor /FontName /Boxes /Flags 4 /FontFile 7 0 R >>",
                         "", false},
                        {7, "/Filter /FlateDecode /Length " + std::to_string(data.size()) +
                                " /Length1 " + std::to_string(clear) + " /Length2 " +
                                std::to_string(program.size() - clear) + " /Length3 0",
                         data, true}});
    });
    // TrueType programs, simple and CID-keyed, whose last table is followed by zeros.
    const std::string trueType =
        testfont::BoxTrueType({{50, 450, 700, 500}, {50, 950, 300, 1000}}, {{65, 1}, {66, 2}});
    add("truetype-program-inflating-to-the-cap", [=] {
        return OnePage("<< /Font << /F1 5 0 R >> >>", text,
                       {{5, "<< /Type /Font /Subtype /TrueType /BaseFont /Boxes /FirstChar 65 "
                            "/LastChar 66 /Widths [500 1000] /FontDescriptor 6 0 R >>", "", false},
                        {6, "<< /Type /FontDescriptor /FontName /Boxes /Flags 4 /FontFile2 7 0 R >>",
                         "", false},
                        {7, "/Filter /FlateDecode", DeflatedWithZeros(trueType, cap), true}});
    });
    add("cid-truetype-program-inflating-to-the-cap", [=] {
        return OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 24 Tf 20 100 Td <00010002> Tj ET\n",
                       {{5, "<< /Type /Font /Subtype /Type0 /BaseFont /Boxes /Encoding /Identity-H "
                            "/DescendantFonts [8 0 R] >>", "", false},
                        {6, "<< /Type /FontDescriptor /FontName /Boxes /Flags 4 /FontFile2 7 0 R >>",
                         "", false},
                        {7, "/Filter /FlateDecode", DeflatedWithZeros(trueType, cap), true},
                        {8, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Boxes /CIDSystemInfo "
                            "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                            "/FontDescriptor 6 0 R /CIDToGIDMap 9 0 R >>", "", false},
                        {9, "/Filter /FlateDecode", DeflatedWithZeros(std::string("\0\0\0\1\0\2", 6), cap),
                         true}});
    });
    // An ICC profile that declares nothing of its size.
    add("icc-profile-inflating-to-the-cap", [=] {
        return OnePage("<< /ColorSpace << /CS0 [/ICCBased 5 0 R] >> >>", "/CS0 cs 0 0 1 sc 10 10 80 80 re f\n",
                       {{5, "/N 3 /Filter /FlateDecode", DeflatedWithZeros("", cap), true}});
    });
    // A tint transform of two samples, a shading function of two, and a palette of two entries,
    // each followed by zeros; the palette serves a fill and an image.
    const std::string sampled = "/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [2] "
                                "/BitsPerSample 8 /Filter /FlateDecode";
    const std::string samples("\xFF\x00\x00\x00\x00\xFF", 6);
    add("sampled-function-inflating-to-the-cap", [=] {
        return OnePage("<< /ColorSpace << /S [/Separation /Spot /DeviceRGB 5 0 R] >> >>",
                       "/S cs 0.5 sc 10 10 80 80 re f\n",
                       {{5, sampled, DeflatedWithZeros(samples, cap), true}});
    });
    add("shading-function-inflating-to-the-cap", [=] {
        return OnePage("<< /Shading << /Sh 6 0 R >> >>", "q 0 0 200 200 re W n /Sh sh Q\n",
                       {{5, sampled, DeflatedWithZeros(samples, cap), true},
                        {6, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 200 0] "
                            "/Function 5 0 R >>", "", false}});
    });
    add("indexed-lookup-inflating-to-the-cap", [=] {
        return OnePage("<< /ColorSpace << /I 5 0 R >> /XObject << /Im 7 0 R >> >>",
                       "/I cs 1 sc 10 10 80 80 re f q 80 0 0 80 100 100 cm /Im Do Q\n",
                       {{5, "[/Indexed /DeviceRGB 1 6 0 R]", "", false},
                        {6, "/Filter /FlateDecode", DeflatedWithZeros(samples, cap), true},
                        {7, "/Type /XObject /Subtype /Image /Width 2 /Height 2 /BitsPerComponent 8 "
                            "/ColorSpace 5 0 R", std::string("\0\1\1\0", 4), true}});
    });

    // An RGB image of 8000 x 8000 pixels (192,000,000 bytes of samples, inside the pixel cap):
    // drawn, a row at a time.
    add("rgb-image-8000-square", [] {
        const int side = 8000;
        Deflater d;
        std::vector<unsigned char> row((size_t)side * 3);
        for (int y = 0; y < side; y++) {
            for (int x = 0; x < side; x++) {
                row[3 * (size_t)x] = (unsigned char)(x * 255 / side);
                row[3 * (size_t)x + 1] = (unsigned char)(y * 255 / side);
                row[3 * (size_t)x + 2] = (unsigned char)((x / 500 + y / 500) % 2 ? 200 : 40);
            }
            d.Feed(row.data(), row.size());
        }
        const std::string data = d.Finish();
        return OnePage("<< /XObject << /Im 5 0 R >> >>", "q 180 0 0 180 10 10 cm /Im Do Q\n",
                       {{5, "/Type /XObject /Subtype /Image /Width 8000 /Height 8000 "
                            "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /FlateDecode",
                         data, true}});
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
    BrokenTrueTypePrograms(&docs);
    Functions(&docs);
    FunctionWalks(&docs);
    CalculatorOperands(&docs);
    CanvasesInBulk(&docs);
    StreamsAtTheDecodedCap(&docs);
    return docs;
}

}  // namespace testpdf
