#include "Interpreter/ContentParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "Interpreter/ResourceUse.h"
#include "Pdf/Limits.h"
#include "PageTreeDoc.h"
#include "PdfBuilder.h"
#include "RecordingRenderer.h"
#include "Resources/ResData.h"
#include "TestUtil.h"

using testutil::FileExists;
using namespace std::string_literals;

namespace {

const char* kImage = "/Type /XObject /Subtype /Image ";

// Objects every test may draw: an RGB image with a soft mask, a form, and the page's
// resources as object 5.
testpdf::PdfBuilder Objects()
{
    testpdf::PdfBuilder b;
    b.Object(5, "<< /XObject << /Im1 15 0 R /Fm1 20 0 R /Bad 21 0 R /Fm2 22 0 R /Fm3 23 0 R "
                "/Mk 24 0 R /Masked 25 0 R /SelfMasked 26 0 R /FormMasked 27 0 R "
                "/Placed 40 0 R /Unboxed 41 0 R /Odd 42 0 R /Group 43 0 R /NoGroup 44 0 R "
                "/Outer 45 0 R /GroupRef 46 0 R >> "
                "/ExtGState << /SMask << /G 30 0 R >> /Half << /ca 0.5 /CA 0.25 >> "
                "/Thin << /CA 0.25 >> /Masked << /SMask << /S /Alpha /G 48 0 R >> >> >> >>");
    b.Stream(15, std::string(kImage) + "/Width 2 /Height 1 /BitsPerComponent 8 "
                 "/ColorSpace /DeviceRGB /SMask 16 0 R", "\x01\x02\x03\x04\x05\x06");
    b.Stream(16, std::string(kImage) + "/Width 2 /Height 1 /BitsPerComponent 8 "
                 "/ColorSpace /DeviceGray", "\x10\x20");
    b.Stream(20, "/Type /XObject /Subtype /Form /BBox [0 0 1 1]", "0 0 m 1 1 l S");
    b.Stream(21, std::string(kImage) + "/Width 2 /Height 1 /BitsPerComponent 8 "
                 "/ColorSpace /NoSuchSpace", "12345678");
    // A form with an inline image, and one without resources of its own.
    b.Stream(22, "/Type /XObject /Subtype /Form", "BI /W 1 /H 1 /BPC 8 ID \x10 EI");
    b.Stream(23, "/Type /XObject /Subtype /Form", "/Im1 Do");
    // An image mask, and images whose /Mask names it, themselves and a form.
    b.Stream(24, std::string(kImage) + "/Width 8 /Height 2 /ImageMask true", "\x0F\xF0");
    const std::string rgb = std::string(kImage) + "/Width 2 /Height 1 /BitsPerComponent 8 "
                            "/ColorSpace /DeviceRGB ";
    b.Stream(25, rgb + "/Mask 24 0 R", "\x01\x02\x03\x04\x05\x06");
    b.Stream(26, rgb + "/Mask 26 0 R", "\x01\x02\x03\x04\x05\x06");
    b.Stream(27, rgb + "/Mask 20 0 R", "\x01\x02\x03\x04\x05\x06");
    // Forms with matrices and boxes, sound and not; transparency groups and a form whose
    // group is of another kind; a form drawing another.
    const std::string form = "/Type /XObject /Subtype /Form ";
    b.Stream(40, form + "/BBox [0 0 10 20] /Matrix [2 0 0 3 5 7]", "0 0 m 1 1 l S");
    b.Stream(41, form + "/Matrix [1 0 0 1 4 4]", "0 0 m 1 1 l S");
    b.Stream(42, form + "/BBox [10 10 0 0 5] /Matrix [2 0 0 /d 1]", "0 0 m 1 1 l S");
    b.Stream(43, form + "/BBox [0 0 1 1] /Group << /S /Transparency >>", "0 0 m f 0 0 m S");
    b.Stream(44, form + "/BBox [0 0 1 1] /Group << /S /Other >>", "0 0 m f 0 0 m S");
    b.Stream(45, form + "/BBox [0 0 50 50] /Matrix [1 0 0 1 100 0] "
                        "/Resources << /XObject << /In 40 0 R >> >>", "/In Do");
    b.Stream(46, form + "/BBox [0 0 1 1] /Group 47 0 R", "0 0 m f");
    b.Object(47, "<< /Type /Group /S /Transparency >>");
    b.Stream(48, form + "/BBox [0 0 4 4] /Matrix [1 0 0 1 1 1] /Group << /S /Transparency >>",
             "0 0 m f");
    return b;
}

struct Page {
    Page() : doc(Objects())
    {
        snprintf(doc.tree->tmpDir, sizeof doc.tree->tmpDir, "%s/", doc.dir.path().c_str());
        pageDict.objNum = 4;
        cp.xref = doc.xref;
        cp.pages = doc.tree;
        cp.renderer = &rec;
        cp.owner = &pageDict;
        res.refNum = 5;
        res.refGen = 0;
    }

    // Scans one content stream (it must end with endstream) and returns the log since the
    // last call.
    std::string Run(const std::string& content)
    {
        rec.log.clear();
        FILE* f = testutil::StreamOf(content);
        char buf[PDF_PARSE_BUF];
        cp.Scanner(f, &res, buf, sizeof buf);
        fclose(f);
        std::string s = rec.Joined();
        // The comment is written for every Do; the tests look at what follows it.
        for (size_t at; (at = s.find("OutComment <!-- Form -->\n; ")) != std::string::npos;)
            s.replace(at, 27, "Do; ");
        return s;
    }

    std::string Records() const
    {
        std::string s;
        XGE_List& l = doc.tree->resources;
        for (uint32_t i = 0; i < l.count; i++) {
            ResourceRecord* r = (ResourceRecord*)l.Get(i);
            s += "{" + std::to_string(r->page) + "," + std::to_string(r->objNum) + "}";
        }
        return s;
    }

    std::string Inline() const
    {
        std::string s;
        XGE_List& l = doc.tree->inlineResources;
        for (uint32_t i = 0; i < l.count; i++) {
            InlineRecord* r = (InlineRecord*)l.Get(i);
            std::string p = r->path;
            s += "{" + std::to_string(r->page) + "," + p.substr(p.rfind('/') + 1) + "}";
        }
        return s;
    }

    pagetreetest::Doc doc;
    PdfDict pageDict;
    PdfIndirect res;
    RecordingRenderer rec;
    ContentParser cp;
};

}  // namespace

TEST(XObject, ImagesDrawnAndRecordedOncePerPage)
{
    Page p;
    EXPECT_EQ(p.Run("/Im1 Do /Im1 Do /Nope Do /Bad Do 1 Do endstream"),
              "Do; ShowImage IMG_015.png; Do; ShowImage IMG_015.png; Do; Do; "
              "OutComment <!-- Form -->\n");
    EXPECT_EQ(p.Records(), "{0,15}");
    EXPECT_FALSE(FileExists(p.doc.dir.file("IMG_021.png")));  // unknown space: refused
    p.cp.pageIndex = 1;
    p.Run("/Im1 Do endstream");
    EXPECT_EQ(p.Records(), "{0,15}{1,15}");

    // The renderer's call back for the image's soft mask: drawn and recorded for the page.
    p.rec.log.clear();
    EXPECT_EQ(p.cp.ProcessSMask(16), 0);
    EXPECT_EQ(p.rec.Joined(), "SetSMask IMG_016.png");
    EXPECT_EQ(p.Records(), "{0,15}{1,15}{1,16}");
    p.rec.log.clear();
    p.cp.ProcessSMask(99);  // never extracted
    p.cp.ProcessSMask(21);  // refused
    // A form is drawn only for the masked canvas being opened, never inside an image.
    p.Run("/Masked gs endstream");
    p.cp.ProcessSMask(48);
    EXPECT_EQ(p.rec.Joined(), "");

    EXPECT_EQ(p.cp.GetSmask(&p.res), 30);
    EXPECT_EQ(p.cp.GetSmask(nullptr), 0);
}

// An image mask drawn by Do paints the fill colour through its file; named by an image's
// /Mask it becomes that image's mask, but only an image mask can be one.
TEST(XObject, ImageMasks)
{
    Page p;
    EXPECT_EQ(p.Run("/Mk Do /Masked Do /SelfMasked Do /FormMasked Do endstream"),
              "Do; ShowImageMask IMG_024.png; Do; ShowImage IMG_025.png; Do; "
              "ShowImage IMG_026.png; Do; ShowImage IMG_027.png");
    auto maskOf = [&](int num) {
        ImageInfo* info = RecordAs<ImageInfo>(p.doc.xref->Entry(num)->resData);
        return info ? info->smaskObj : -1;
    };
    EXPECT_EQ(maskOf(25), 24);
    EXPECT_EQ(maskOf(26), 0);
    EXPECT_EQ(maskOf(27), 0);
    EXPECT_EQ(p.Records(), "{0,24}{0,25}{0,26}{0,27}");

    // Named as a mask first, then drawn: still a stencil.
    Page q;
    EXPECT_EQ(q.Run("/Masked Do /Mk Do endstream"),
              "Do; ShowImage IMG_025.png; Do; ShowImageMask IMG_024.png");
}

TEST(XObject, FormsRunNested)
{
    Page p;
    // Everything the form draws is clipped to its box, and the clip ends with the form.
    EXPECT_EQ(p.Run("/Fm1 Do endstream"),
              "Do; Clip 1 M 0 0 L 1 0 L 1 1 L 0 1 Z; Stroke M 0 0 L 1 1; EndClip");
    // Drawn twice, the form's inline image is written once and recorded once for the page.
    EXPECT_EQ(p.Run("/Fm2 Do /Fm2 Do endstream"),
              "Do; ShowImage IMG_IL_022_1.png; Do; ShowImage IMG_IL_022_1.png");
    EXPECT_EQ(p.Inline(), "{0,IMG_IL_022_1.png}");
    // Without resources of its own a form draws with those of the stream that runs it.
    EXPECT_EQ(p.Run("/Fm3 Do endstream"), "Do; Do; ShowImage IMG_015.png");
}

namespace {

// Logs where each clip and painting lies (its CTM) and the alphas it paints with, and opens
// group canvases or refuses them as told.
class PlacingRenderer : public RecordingRenderer {
public:
    int canvasResult = 0;
    // Draws the soft masks of masked canvases, as the page writer does through its back
    // pointer; without one, this is always the page's parser, told which mask it opens.
    ContentParser* parser = nullptr;
    int StartMaskedCanvas(GState* gs) override
    {
        log.push_back("StartMaskedCanvas " + std::to_string(gs->softMask) + " {");
        if (canvasResult == 0 && parser) {
            const int opening = parser->maskOpening;
            parser->maskOpening = gs->softMask;
            parser->ProcessSMask(gs->softMask);
            parser->maskOpening = opening;
        }
        log.push_back("}");
        return canvasResult;
    }
    static std::string Where(GState* gs)
    {
        char text[160];
        const pdfmatrix& m = gs->ctm;
        snprintf(text, sizeof text, " [%g %g %g %g %g %g] %g/%g", m.a, m.b, m.c, m.d, m.e, m.f,
                 gs->fillAlpha, gs->strokeAlpha);
        return text;
    }
    int StartCanvas(_matrix* m, double value) override
    {
        RecordingRenderer::StartCanvas(m, value);
        return canvasResult;
    }
    int Clip(GState* gs, FillRule rule) override
    {
        log.push_back("Clip" + Where(gs) + " " + PathText(gs->path));
        (void)rule;
        return 0;
    }
    int Fill(GState* gs, FillRule) override
    {
        log.push_back("Fill" + Where(gs));
        return 0;
    }
    int Stroke(GState* gs) override
    {
        log.push_back("Stroke" + Where(gs));
        return 0;
    }
};

}  // namespace

// A form draws in its own space: its Matrix places it in the user space of the Do and its
// BBox clips it there, at every depth. A transparency group takes the Do's fill alpha as one
// opacity around its content, which starts opaque; where that canvas cannot be had the
// content keeps the Do's alphas. A soft mask's form is placed and clipped alike.
TEST(XObject, FormsArePlacedClippedAndGrouped)
{
    struct Case {
        const char* what;
        std::string content;
        std::string log;
        int canvasResult = 0;
    };
    const Case cases[] = {
        {"matrix after the CTM, box in form space", "2 0 0 2 0 0 cm /Placed Do",
         "Do; Clip [4 0 0 6 10 14] 1/1 M 0 0 L 10 0 L 10 20 L 0 20 Z; "
         "Stroke [4 0 0 6 10 14] 1/1; EndClip"},
        {"no box: placed, not clipped", "/Unboxed Do", "Do; Stroke [1 0 0 1 4 4] 1/1"},
        {"items that are no numbers keep their identity value; a box as given",
         "/Odd Do",
         "Do; Clip [2 0 0 1 1 0] 1/1 M 10 10 L 0 10 L 0 0 L 10 0 Z; Stroke [2 0 0 1 1 0] 1/1; "
         "EndClip"},
        {"a form inside a form", "/Outer Do",
         "Do; Clip [1 0 0 1 100 0] 1/1 M 0 0 L 50 0 L 50 50 L 0 50 Z; Do; "
         "Clip [2 0 0 3 105 7] 1/1 M 0 0 L 10 0 L 10 20 L 0 20 Z; "
         "Stroke [2 0 0 3 105 7] 1/1; EndClip; EndClip"},
        {"a group under half opacity", "/Half gs /Group Do",
         "Do; StartCanvas 0.5; Clip [1 0 0 1 0 0] 1/1 M 0 0 L 1 0 L 1 1 L 0 1 Z; "
         "Fill [1 0 0 1 0 0] 1/1; Stroke [1 0 0 1 0 0] 1/1; EndClip; EndCanvas"},
        {"a group named by reference", "/Half gs /GroupRef Do",
         "Do; StartCanvas 0.5; Clip [1 0 0 1 0 0] 1/1 M 0 0 L 1 0 L 1 1 L 0 1 Z; "
         "Fill [1 0 0 1 0 0] 1/1; EndClip; EndCanvas"},
        {"a group whose canvas is refused", "/Half gs /Group Do",
         "Do; StartCanvas 0.5; Clip [1 0 0 1 0 0] 0.5/0.25 M 0 0 L 1 0 L 1 1 L 0 1 Z; "
         "Fill [1 0 0 1 0 0] 0.5/0.25; Stroke [1 0 0 1 0 0] 0.5/0.25; EndClip", -1},
        {"an opaque group needs no canvas, and its content starts opaque", "/Thin gs /Group Do",
         "Do; Clip [1 0 0 1 0 0] 1/1 M 0 0 L 1 0 L 1 1 L 0 1 Z; Fill [1 0 0 1 0 0] 1/1; "
         "Stroke [1 0 0 1 0 0] 1/1; EndClip"},
        {"a group of another kind is no group", "/Half gs /NoGroup Do",
         "Do; Clip [1 0 0 1 0 0] 0.5/0.25 M 0 0 L 1 0 L 1 1 L 0 1 Z; "
         "Fill [1 0 0 1 0 0] 0.5/0.25; Stroke [1 0 0 1 0 0] 0.5/0.25; EndClip"},
        // Soft masks: each thing painted lies in a canvas the mask's form covers, the form
        // placed by its Matrix and the CTM of the gs that set the mask, and clipped by its box.
        {"a fill under a soft mask", "/Masked gs 2 0 0 2 0 0 cm 0 0 m f",
         "StartMaskedCanvas 48 {; Clip [1 0 0 1 1 1] 1/1 M 0 0 L 4 0 L 4 4 L 0 4 Z; "
         "Fill [1 0 0 1 1 1] 1/1; EndClip; }; Fill [2 0 0 2 0 0] 1/1; EndCanvas"},
        {"a group is masked as one picture", "/Masked gs /Group Do",
         "Do; StartMaskedCanvas 48 {; Clip [1 0 0 1 1 1] 1/1 M 0 0 L 4 0 L 4 4 L 0 4 Z; "
         "Fill [1 0 0 1 1 1] 1/1; EndClip; }; "
         "Clip [1 0 0 1 0 0] 1/1 M 0 0 L 1 0 L 1 1 L 0 1 Z; Fill [1 0 0 1 0 0] 1/1; "
         "Stroke [1 0 0 1 0 0] 1/1; EndClip; EndCanvas"},
        {"any other form is masked piece by piece", "/Masked gs 1 0 0 1 5 0 cm /NoGroup Do",
         "Do; Clip [1 0 0 1 5 0] 1/1 M 0 0 L 1 0 L 1 1 L 0 1 Z; "
         "StartMaskedCanvas 48 {; Clip [1 0 0 1 1 1] 1/1 M 0 0 L 4 0 L 4 4 L 0 4 Z; "
         "Fill [1 0 0 1 1 1] 1/1; EndClip; }; Fill [1 0 0 1 5 0] 1/1; EndCanvas; "
         "StartMaskedCanvas 48 {; Clip [1 0 0 1 1 1] 1/1 M 0 0 L 4 0 L 4 4 L 0 4 Z; "
         "Fill [1 0 0 1 1 1] 1/1; EndClip; }; Stroke [1 0 0 1 5 0] 1/1; EndCanvas; EndClip"},
        {"an image", "/Masked gs /Im1 Do",
         "Do; StartMaskedCanvas 48 {; Clip [1 0 0 1 1 1] 1/1 M 0 0 L 4 0 L 4 4 L 0 4 Z; "
         "Fill [1 0 0 1 1 1] 1/1; EndClip; }; ShowImage IMG_015.png; EndCanvas"},
        {"a masked canvas refused: unmasked", "/Masked gs 0 0 m f",
         "StartMaskedCanvas 48 {; }; Fill [1 0 0 1 0 0] 1/1", -1},
        {"the mask ends with its q level", "q /Masked gs Q 0 0 m f 0 0 m n",
         "Fill [1 0 0 1 0 0] 1/1"},
    };
    for (const Case& c : cases) {
        Page p;
        PlacingRenderer placing;
        placing.canvasResult = c.canvasResult;
        placing.parser = &p.cp;
        p.cp.renderer = &placing;
        FILE* f = testutil::StreamOf(c.content + " endstream");
        char buf[PDF_PARSE_BUF];
        p.cp.Scanner(f, &p.res, buf, sizeof buf);
        fclose(f);
        std::string log = placing.Joined();
        for (size_t at; (at = log.find("OutComment <!-- Form -->\n")) != std::string::npos;)
            log.replace(at, 25, "Do");
        EXPECT_EQ(c.log, log) << c.what;
    }
}

TEST(XObject, ShadingNamesReachTheRenderer)
{
    Page p;
    EXPECT_EQ(p.Run("/Sh0 sh 5 sh sh endstream"), "FillShade Sh0");
}

TEST(XObject, InlineImages)
{
    struct Case {
        const char* what;
        std::string content;  // followed by "0 0 m S endstream"
        const char* log;      // before the stroke
        bool recorded;
    };
    const std::string gray8(8, '\x80');
    const Case cases[] = {
        {"abbreviations", "BI /W 4 /H 2 /BPC 8 /CS /G ID "s + gray8 + " EI ",
         "ShowImage IMG_IL_004_1.png; ", true},
        {"full names", "BI /Width 4 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray ID "s +
         gray8 + "\nEI ", "ShowImage IMG_IL_004_1.png; ", true},
        {"no colour space is gray", "BI /W 4 /H 2 /BPC 8 ID "s + gray8 + " EI ",
         "ShowImage IMG_IL_004_1.png; ", true},
        {"1-bit stencil", "BI /W 10 /H 3 /BPC 1 ID \x80\x00\x40\x00\x20\x00 EI "s,
         "ShowImageMask IMG_IL_004_1.png; ", true},
        {"image mask", "BI /IM true /W 10 /H 3 ID \x80\x00\x40\x00\x20\x00 EI "s,
         "ShowImageMask IMG_IL_004_1.png; ", true},
        {"RGB", "BI /W 2 /H 1 /BPC 8 /CS /RGB ID \x01\x02\x03\x04\x05\x06 EI "s,
         "ShowImage IMG_IL_004_1.png; ", true},
        {"2-bit gray becomes an 8-bit image", "BI /W 4 /H 1 /BPC 2 /CS /G ID \x1B EI "s,
         "ShowImage IMG_IL_004_1.png; ", true},
        {"data holding EI are read by size", "BI /W 4 /H 1 /BPC 8 ID  EI  EI "s,
         "ShowImage IMG_IL_004_1.png; ", true},
        {"CMYK", "BI /W 1 /H 1 /BPC 8 /CS /CMYK ID abcd EI "s, "ShowImage IMG_IL_004_1.png; ", true},
        {"unknown space: neither drawn nor recorded", "BI /W 1 /H 1 /BPC 8 /CS /Spot ID abc EI "s,
         "", false},
        {"indexed: no rendering", "BI /W 2 /H 1 /BPC 8 /CS [/I /RGB 1 <000000FFFFFF>] ID \x00\x01 EI "s,
         "", false},
        {"filtered: skipped to its EI", "BI /W 4 /H 4 /BPC 8 /F /AHx ID 0a0bEIx 0c> EI "s, "", false},
        {"a filter array", "BI /W 4 /H 4 /BPC 8 /Filter [/FlateDecode] ID x\x9c"s "EI EI2\n EI\n",
         "", false},
        {"more data declared than given", "BI /W 8 /H 8 /BPC 8 /CS /G ID \x01\x02 EI "s,
         "ShowImage IMG_IL_004_1.png; ", true},
        {"far more declared than the stream holds: left out",
         "BI /W 40 /H 40 /BPC 8 /CS /G ID \x01\x02 EI "s, "", false},
        {"sizes near 2^31: left out", "BI /W 2147483647 /H 2147483647 /BPC 16 /CS /RGB ID "
         "\x01\x02 EI "s, "", false},
        {"less data declared than given", "BI /W 1 /H 1 /BPC 8 /CS /G ID \x01\x02\x03 6 w EI "s,
         "ShowImage IMG_IL_004_1.png; ", true},
        {"no size", "BI /BPC 8 /CS /G ID \x01 EI "s, "", false},
    };
    for (const Case& c : cases) {
        Page p;
        EXPECT_EQ(p.Run(c.content + "0 0 m S endstream"), std::string(c.log) + "Stroke M 0 0")
            << c.what;
        EXPECT_EQ(p.Inline(), c.recorded ? "{0,IMG_IL_004_1.png}" : "") << c.what;
        EXPECT_EQ(FileExists(p.doc.dir.file("IMG_IL_004_1.png")), c.recorded) << c.what;
    }
}

TEST(XObject, InlineFileNamesAndReuse)
{
    Page p;
    const std::string two = "BI /W 1 /H 1 /BPC 8 ID \x10 EI BI /W 1 /H 1 /BPC 1 ID \x80 EI endstream";
    EXPECT_EQ(p.Run(two), "ShowImage IMG_IL_004_1.png; ShowImageMask IMG_IL_004_2.png");

    // A parser that meets the same images again (a form drawn twice) finds their files: the
    // data are passed over and nothing is written again; the page records each path once.
    remove(p.doc.dir.file("IMG_IL_004_1.png").c_str());
    p.cp.inlineImageCount = 0;
    EXPECT_EQ(p.Run(two), "ShowImage IMG_IL_004_1.png; ShowImageMask IMG_IL_004_2.png");
    EXPECT_FALSE(FileExists(p.doc.dir.file("IMG_IL_004_1.png")));
    EXPECT_EQ(p.Inline(), "{0,IMG_IL_004_1.png}{0,IMG_IL_004_2.png}");

    // Nested content is named by its stream's object number.
    PdfIndirect form;
    form.refNum = 20;
    p.cp.owner = &form;
    p.cp.inlineImageCount = 0;
    EXPECT_EQ(p.Run("BI /W 1 /H 1 /BPC 8 ID \x10 EI endstream"), "ShowImage IMG_IL_020_1.png");

    // The last image of the page's budget is drawn; past it the data are passed over, nothing
    // is drawn, and the operators after the image still run.
    p.cp.inlineImageCount = CP_MAX_INLINE_IMAGES - 1;
    EXPECT_EQ(p.Run("BI /W 1 /H 1 /BPC 8 ID \x10 EI endstream"),
              "ShowImage IMG_IL_020_" + std::to_string(CP_MAX_INLINE_IMAGES) + ".png");
    p.cp.inlineImageCount = CP_MAX_INLINE_IMAGES;
    EXPECT_EQ(p.Run("BI /W 1 /H 1 /BPC 8 ID \x10 EI 0 0 m S endstream"), "Stroke M 0 0");

    // A name that does not fit its record is not written, drawn or recorded.
    Page q;
    snprintf(q.doc.tree->tmpDir, sizeof q.doc.tree->tmpDir, "%s/%s/", q.doc.dir.path().c_str(),
             std::string(250, 'd').c_str());
    EXPECT_EQ(q.Run("BI /W 1 /H 1 /BPC 8 ID \x10 EI 0 0 m S endstream"), "Stroke M 0 0");
    EXPECT_EQ(q.Inline(), "");

    // The longest name made (the highest object number, the last image of the budget) fits
    // TMP_MAX_FILE_NAME, and is written, drawn and recorded in a folder of the longest path
    // a conversion accepts.
    Page r;
    std::string folder = r.doc.dir.path() + "/";
    folder += std::string(TMP_MAX_FOLDER - folder.size(), 'd');
    ASSERT_EQ(folder.size(), (size_t)TMP_MAX_FOLDER);
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    snprintf(r.doc.tree->tmpDir, sizeof r.doc.tree->tmpDir, "%s/", folder.c_str());
    PdfIndirect last;
    last.refNum = XREF_MAX_SIZE - 1;
    r.cp.owner = &last;
    r.cp.inlineImageCount = CP_MAX_INLINE_IMAGES - 1;
    const std::string name = "IMG_IL_" + std::to_string(last.refNum) + "_" +
                             std::to_string(CP_MAX_INLINE_IMAGES) + ".png";
    EXPECT_LE(name.size(), (size_t)TMP_MAX_FILE_NAME);
    EXPECT_EQ(r.Run("BI /W 1 /H 1 /BPC 8 ID \x10 EI endstream"), "ShowImage " + name);
    EXPECT_EQ(r.Inline(), "{0," + name + "}");
    EXPECT_TRUE(FileExists(folder + "/" + name));
}

namespace {

// Stands for a renderer whose drawing runs a nested stream from the same file, which leaves
// the file somewhere else.
class MovingRenderer : public RecordingRenderer {
public:
    FILE** stream = nullptr;
    int ShowImage(GState* gs, ImageInfo* info, char* name) override
    {
        fseek(*stream, 0, SEEK_SET);
        return RecordingRenderer::ShowImage(gs, info, name);
    }
};

}  // namespace

TEST(XObject, ScanningResumesAfterInlineDataWhateverDrawingDid)
{
    Page p;
    MovingRenderer moving;
    moving.stream = &p.cp.stream;
    p.cp.renderer = &moving;
    p.Run("1 w BI /W 1 /H 1 /BPC 8 ID \x10 EI 0 0 m S endstream");
    EXPECT_EQ(moving.Joined(), "ShowImage IMG_IL_004_1.png; Stroke M 0 0");
}
