// Text operators: the text state they set, where they put the text matrix, and what each
// road of text showing hands to the renderer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Interpreter/ContentParser.h"
#include "Interpreter/ResourceUse.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "PageTreeDoc.h"
#include "PdfBuilder.h"
#include "RecordingRenderer.h"
#include "Resources/PdfPageTree.h"
#include "Resources/ResData.h"
#include "TestUtil.h"
#include "TrueTypeFonts.h"

namespace {

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string Num(double v)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string Mat(const pdfmatrix& m)
{
    return "[" + Num(m.a) + " " + Num(m.b) + " " + Num(m.c) + " " + Num(m.d) + " " + Num(m.e) +
           " " + Num(m.f) + "]";
}

// Logs what text showing hands over: the matrix that places it, and the glyphs.
class TextRecorder : public RecordingRenderer {
public:
    // A pair with a glyph index of its own shows as code/index:advance.
    int ShowTextEx(GState* gs, char* text, char* fontFile, double fontSize, double* glyphs,
                   const unsigned int* indices) override
    {
        std::string line = std::string("Run ") + (text ? "text " : "glyphs ") +
                           (fontFile ? fontFile : "(null)") + " " + Num(fontSize) + " " +
                           Mat(gs->tm);
        for (int i = 0; glyphs && glyphs[2 * i] != 0.0; i++)
            line += " " + Num(glyphs[2 * i]) +
                    (indices && indices[i] ? "/" + std::to_string(indices[i]) : "") + ":" +
                    Num(glyphs[2 * i + 1]);
        log.push_back(line);
        return 0;
    }
    int FillText(GState* gs) override
    {
        int moves = 0;
        for (PDF_PATH_OP_CHUNK* c = gs->path->firstOps; c; c = c->next)
            for (int i = 0; i < c->count; i++)
                moves += c->ops[i] == PDF_PATH_OP_MOVETO;
        log.push_back("Outline " + Mat(gs->tm) + (moves ? " inked" : " blank"));
        outlines.push_back(PathText(gs->path));
        return 0;
    }
    // Stroked glyphs arrive as a path in user space: logged with the box of its points.
    int Stroke(GState* gs) override
    {
        log.push_back("Stroke " + Box(gs->path));
        return 0;
    }
    int FillStroke(GState* gs, FillRule) override
    {
        log.push_back("FillStroke " + Box(gs->path));
        return 0;
    }
    static std::string Box(PDF_PathGeometry* path)
    {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (PDF_POINT_CHUNK* c = path->firstPts; c; c = c->next)
            for (int i = 0; i < c->count; i++) {
                x0 = std::min(x0, c->pts[i].x);
                y0 = std::min(y0, c->pts[i].y);
                x1 = std::max(x1, c->pts[i].x);
                y1 = std::max(y1, c->pts[i].y);
            }
        char buf[96];
        snprintf(buf, sizeof buf, "(%.0f %.0f %.0f %.0f)", x0, y0, x1, y1);
        return buf;
    }
    // Type 3 glyphs paint with the CTM that places them.
    int Fill(GState* gs, FillRule) override
    {
        log.push_back("Fill " + Mat(gs->ctm) + " " + PathText(gs->path));
        return 0;
    }
    // With takeGlyphs the glyphs of outline text are taken one by one: logged with their
    // outlines named a, b, ... in the order they first come, and their pens.
    bool PaintGlyphs(GState* gs, const pdfmatrix& glyphSpace, const OutlineGlyph* glyphs,
                     int count, bool fill, bool stroke) override
    {
        if (!takeGlyphs)
            return false;
        pdfmatrix placed;
        ConcatMatrix(&gs->ctm, const_cast<pdfmatrix*>(&glyphSpace), &placed);
        std::string line = "Glyphs " + Mat(placed) + (fill ? " fill" : "") + (stroke ? " stroke" : "");
        for (int i = 0; i < count; i++) {
            auto known = std::find(outlineIds.begin(), outlineIds.end(), glyphs[i].id);
            if (known == outlineIds.end())
                known = outlineIds.insert(outlineIds.end(), glyphs[i].id);
            line += " " + std::string(1, (char)('a' + (known - outlineIds.begin()))) + "@" +
                    Num(glyphs[i].pen);
        }
        log.push_back(line);
        return true;
    }
    std::vector<std::string> outlines;
    bool takeGlyphs = false;
    std::vector<unsigned long long> outlineIds;
};

int Scan(ContentParser& cp, const std::string& content, PdfObj* resources)
{
    FILE* f = tmpfile();
    if (!f)
        return -99;
    std::string s = content + " endstream";
    fwrite(s.data(), 1, s.size(), f);
    rewind(f);
    char buf[PDF_PARSE_BUF];
    int r = cp.Scanner(f, resources, buf, sizeof buf);
    fclose(f);
    return r;
}

std::string TextState(GState* gs)
{
    return "tm " + Mat(gs->tm) + " tlm " + Mat(gs->tlm) + " L " + Num(gs->leading) + " Tc " +
           Num(gs->charSpace) + " Tw " + Num(gs->wordSpace) + " Tz " + Num(gs->hScale) + " Ts " +
           Num(gs->rise) + " Tr " + std::to_string(gs->renderMode);
}

TEST(TextOps, StateAndPositioning)
{
    const struct {
        const char* content;
        const char* want;
    } cases[] = {
        {"BT 72 712 Td", "tm [1 0 0 1 72 712] tlm [1 0 0 1 72 712] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        // Each BT starts from the identity.
        {"BT 72 712 Td ET BT 72 700 Td ET",
         "tm [1 0 0 1 72 700] tlm [1 0 0 1 72 700] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        // Td moves through Tlm; Tm keeps its standard form, c included.
        {"BT 2 0 0 2 10 10 Tm 5 5 Td",
         "tm [2 0 0 2 20 20] tlm [2 0 0 2 20 20] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        {"BT 1 0 0.5 1 0 0 Tm 0 10 Td",
         "tm [1 0 0.5 1 5 10] tlm [1 0 0.5 1 5 10] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        {"BT 0 1 -1 0 100 0 Tm 10 0 Td T*",
         "tm [0 1 -1 0 100 10] tlm [0 1 -1 0 100 10] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        {"BT 14 TL 0 100 Td T*",
         "tm [1 0 0 1 0 86] tlm [1 0 0 1 0 86] L -14 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        {"BT 10 -14 TD T*",
         "tm [1 0 0 1 10 -28] tlm [1 0 0 1 10 -28] L -14 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        {"BT 2 0 0 2 0 0 Tm 12 TL T*",
         "tm [2 0 0 2 0 -24] tlm [2 0 0 2 0 -24] L -12 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        // ' and " move to the next line, with or without a font to show the string in.
        {"BT 14 TL 0 100 Td (x) '",
         "tm [1 0 0 1 0 86] tlm [1 0 0 1 0 86] L -14 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        {"BT 14 TL 2 1 (x) \"",
         "tm [1 0 0 1 0 -14] tlm [1 0 0 1 0 -14] L -14 Tc 1 Tw 2 Tz 100 Ts 0 Tr 0"},
        {"1.5 Tc 2 Tw 80 Tz 3 Ts 2 Tr",
         "tm [1 0 0 1 0 0] tlm [1 0 0 1 0 0] L 0 Tc 1.5 Tw 2 Tz 80 Ts 3 Tr 2"},
        {"1 Tr 9 Tr -1 Tr", "tm [1 0 0 1 0 0] tlm [1 0 0 1 0 0] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 1"},
        {"1 Tr 0 Tr 3.7 Tr", "tm [1 0 0 1 0 0] tlm [1 0 0 1 0 0] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 3"},
        // Operands that do not fit leave everything as it was.
        {"BT 5 5 Td /N 1 Td 1 2 3 4 5 Tm (s) 0 0 0 0 0 Tm 9 TD /X Tc () Tw",
         "tm [1 0 0 1 5 5] tlm [1 0 0 1 5 5] L 0 Tc 0 Tw 0 Tz 100 Ts 0 Tr 0"},
        // The text state survives q and Q restores it.
        {"BT 2 Tc 5 5 Td q 7 Tc 9 9 Td Q",
         "tm [1 0 0 1 5 5] tlm [1 0 0 1 5 5] L 0 Tc 2 Tw 0 Tz 100 Ts 0 Tr 0"},
    };
    for (const auto& c : cases) {
        ContentParser cp;
        RecordingRenderer rec;
        cp.renderer = &rec;
        Scan(cp, c.content, nullptr);
        EXPECT_EQ(c.want, TextState(cp.current)) << c.content;
        EXPECT_EQ(0u, rec.log.size()) << c.content;
    }
}

TEST(TextOps, TfKeepsNameAndSizeWithTheirTypes)
{
    ContentParser cp;
    Scan(cp, "/F1 12 Tf", nullptr);
    EXPECT_EQ("[/F1 12]", testpdf::Describe(&cp.current->font));
    Scan(cp, "/F2 10.5 Tf /F3 Tf", nullptr);
    EXPECT_EQ("[/F2 10.5]", testpdf::Describe(&cp.current->font));
}

// A document with one font of each kind. The font files of the TrueType and the Type0 font
// count as extracted already (their entries hold a path and a record made here), so no test
// depends on the extractors.
class TextDoc {
public:
    TextDoc()
    {
        testpdf::PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /Resources 4 0 R >>");
        b.Object(4, "<< /Font << /TT 10 0 R /T0 13 0 R /HV 17 0 R /XX 19 0 R /HW 20 0 R "
                    "/HM 21 0 R /HD 22 0 R /TW 30 0 R /TD 31 0 R /SW 32 0 R /SX 33 0 R /T3 24 0 R /T3bare 27 0 R /T3res 28 0 R /XObject 10 0 R "
                    "/Font 10 0 R >> >>");
        // The dictionaries state the widths of the records made for their programs below.
        std::string widths = "250";
        for (int i = 1; i < 59; i++)
            widths += " 500";
        b.Object(10, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 "
                     "/LastChar 90 /Widths [" + widths + "] /FontDescriptor 11 0 R >>");
        b.Object(11, "<< /Type /FontDescriptor /FontName /DejaVuSans /FontFile2 12 0 R >>");
        b.Stream(12, "", "not read");
        b.Object(13, "<< /Type /Font /Subtype /Type0 /BaseFont /CID /Encoding /Identity-H "
                     "/DescendantFonts [14 0 R] >>");
        b.Object(14, "<< /Subtype /CIDFontType2 /DW 900 /W [36 [600 700] 36 [999]] "
                     "/FontDescriptor 15 0 R >>");
        b.Object(15, "<< /Type /FontDescriptor /FontName /CID /FontFile2 16 0 R >>");
        b.Stream(16, "", "not read");
        b.Object(17, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        b.Object(19, "<< /Type /Font /Subtype /Type1 /BaseFont /NoSuchFont >>");
        b.Object(20, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                     "/Encoding /WinAnsiEncoding >>");
        b.Object(21, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding 23 0 R >>");
        b.Object(22, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding "
                     "<< /BaseEncoding /WinAnsiEncoding /Differences [65 /eacute /Oslash 200 /fi] >> >>");
        b.Object(23, "/MacRomanEncoding");
        // A square 'a' 1000 units wide and a triangle 'b' 500 wide, in glyph space of 1/1000.
        const std::string charProcs = "/CharProcs << /sq 25 0 R /tri 26 0 R >>";
        b.Object(24, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] "
                     "/FontMatrix [0.001 0 0 0.001 0 0] /FirstChar 97 /LastChar 98 "
                     "/Widths [1000 500] /Encoding << /Differences [97 /sq /tri] >> " +
                         charProcs + " >>");
        b.Stream(25, "", "1000 0 0 0 750 750 d1 0 0 750 750 re f");
        b.Stream(26, "", "500 0 0 0 500 500 d1 0 0 m 500 0 l 250 500 l f");
        // No Encoding; a FontMatrix too short to use.
        b.Object(27, "<< /Type /Font /Subtype /Type3 /FontMatrix [2 0] /FirstChar 97 "
                     "/Widths [1000 500] " + charProcs + " >>");
        // Resources of its own, which its glyphs use.
        b.Object(28, "<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0] "
                     "/FirstChar 65 /Widths [1000] /Encoding << /Differences [65 /g] >> "
                     "/CharProcs << /g 29 0 R >> /Resources << /Font << /Own 10 0 R >> >> >>");
        b.Stream(29, "", "BT /Own 1000 Tf (A) Tj ET");
        // The TrueType program of /TT in WinAnsiEncoding, and with Differences over it.
        b.Object(30, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 "
                     "/LastChar 90 /Widths [" + widths + "] /Encoding /WinAnsiEncoding "
                     "/FontDescriptor 11 0 R >>");
        b.Object(31, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 "
                     "/LastChar 90 /Widths [" + widths + "] "
                     "/Encoding << /BaseEncoding /WinAnsiEncoding /Differences [146 /A] >> "
                     "/FontDescriptor 11 0 R >>");
        // Two fonts drawn with one stand-in face, each fitting its glyphs to its own widths.
        b.Object(32, "<< /Type /Font /Subtype /Type1 /BaseFont /NoSuchFont /FirstChar 65 "
                     "/Widths [600] >>");
        b.Object(33, "<< /Type /Font /Subtype /Type1 /BaseFont /NoSuchFont /FirstChar 65 "
                     "/Widths [700] >>");
        pdf = dir.file("doc.pdf");
        xref = pagetreetest::OpenXref(b, pdf);
        tree = new PdfPageTree(xref);
        snprintf(tree->tmpDir, sizeof tree->tmpDir, "%s/", dir.path().c_str());

        // Codes 32 to 90: the space 250, everything else 500.
        FontInfo* tt = new FontInfo;
        tt->kind = FONT_KIND_TRUETYPE;
        tt->firstChar = 32;
        tt->count = 59;
        tt->widths = (double*)malloc(59 * sizeof(double));
        for (int i = 0; i < 59; i++)
            tt->widths[i] = i == 0 ? 250 : 500;
        // Glyph indices are what these cases look at, not the font's count of glyphs: both
        // fonts take every 16-bit index as theirs.
        tt->numGlyphs = 65535;
        xref->entries[12].path = strdup(kDejaVu);
        xref->entries[12].resData = tt;

        FontInfo* cid = new FontInfo;
        cid->kind = FONT_KIND_TYPE0;
        cid->count = 3;
        cid->defaultWidth = 900;
        cid->widths = (double*)malloc(3 * sizeof(double));
        cid->cids = (uint16_t*)malloc(3 * sizeof(uint16_t));
        cid->cids[0] = 36;
        cid->widths[0] = 600;
        cid->cids[1] = 37;
        cid->widths[1] = 700;
        cid->cids[2] = 36;  // a later pair of a CID does not count
        cid->widths[2] = 999;
        cid->numGlyphs = 65535;
        std::string cidPath = dir.file("CID016.ttf");
        xref->entries[16].path = strdup(cidPath.c_str());
        xref->entries[16].resData = cid;

        resources.refNum = 4;
        cp.xref = xref;
        cp.pages = tree;
        cp.renderer = &rec;
    }

    ~TextDoc()
    {
        delete tree;
        fclose(xref->fp);
        ReleaseXref(xref);
    }

    TextDoc(const TextDoc&) = delete;
    TextDoc& operator=(const TextDoc&) = delete;

    std::string Show(const std::vector<std::string>& streams)
    {
        for (const std::string& s : streams)
            Scan(cp, s, &resources);
        return rec.Joined();
    }

    // Object numbers the page was recorded as using.
    std::string Used()
    {
        std::string s;
        for (uint32_t i = 0; i < tree->resources.count; i++) {
            ResourceRecord* r = (ResourceRecord*)tree->resources.Get(i);
            s += (s.empty() ? "" : " ") + std::to_string(r->page) + ":" + std::to_string(r->objNum);
        }
        return s;
    }

    testutil::TempDir dir;
    std::string pdf;
    PdfXref* xref;
    PdfPageTree* tree;
    PdfIndirect resources;
    TextRecorder rec;
    ContentParser cp;
};

TEST(TextOps, GlyphRuns)
{
    const struct {
        const char* what;
        std::vector<std::string> streams;
        const char* log;
    } cases[] = {
        {"one string", {"BT /TT 12 Tf 72 700 Td (AB) Tj ET"},
         "Run text DejaVuSans.ttf 12 [1 0 0 1 72 700] 65:500 66:500"},
        // Each show moves Tm on by what it showed: 1000 thousandths of 12.
        {"two Tj follow each other", {"BT /TT 12 Tf (AB) Tj (C) Tj ET"},
         "Run text DejaVuSans.ttf 12 [1 0 0 1 0 0] 65:500 66:500; "
         "Run text DejaVuSans.ttf 12 [1 0 0 1 12 0] 67:500"},
        {"the advance goes through Tm", {"BT /TT 10 Tf 0 1 -1 0 100 100 Tm (AB) Tj (C) Tj ET"},
         "Run text DejaVuSans.ttf 10 [0 1 -1 0 100 100] 65:500 66:500; "
         "Run text DejaVuSans.ttf 10 [0 1 -1 0 100 110] 67:500"},
        {"TJ adjustment belongs to the glyph before it",
         {"BT /TT 10 Tf [(XY) -250 (Z)] TJ (A) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 88:500 89:750 90:500; "
         "Run text DejaVuSans.ttf 10 [1 0 0 1 17.5 0] 65:500"},
        {"strings without numbers", {"BT /TT 10 Tf [(X) (Y)] TJ ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 88:500 89:500"},
        {"a leading number moves the start", {"BT /TT 10 Tf [-1000 (X) 200 300] TJ (Y) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 10 0] 88:0; "
         "Run text DejaVuSans.ttf 10 [1 0 0 1 10 0] 89:500"},
        {"Tc on every glyph, Tw on spaces", {"BT /TT 10 Tf 1 Tc 2 Tw (A B) Tj (C) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 65:600 32:550 66:600; "
         "Run text DejaVuSans.ttf 10 [1 0 0 1 17.5 0] 67:600"},
        // Tz scales the glyphs and every advance, spacing and adjustments included; Ts
        // lifts the run along Tm's own vertical.
        {"Tz and Ts", {"BT /TT 10 Tf 50 Tz 2 Ts 1 Tc [(AB) -1000] TJ (C) Tj ET"},
         "Run text DejaVuSans.ttf 10 [0.5 0 0 1 0 2] 65:600 66:1600; "
         "Run text DejaVuSans.ttf 10 [0.5 0 0 1 11 2] 67:600"},
        {"Ts under a turning Tm", {"BT /TT 10 Tf 0 1 -1 0 100 100 Tm 4 Ts 200 Tz (A) Tj (B) Tj ET"},
         "Run text DejaVuSans.ttf 10 [0 2 -1 0 96 100] 65:500; "
         "Run text DejaVuSans.ttf 10 [0 2 -1 0 96 110] 66:500"},
        {"Tw does not apply to two-byte codes", {"BT /T0 10 Tf 5 Tw <00200024> Tj ET"},
         "Run glyphs CID016.ttf 10 [1 0 0 1 0 0] 32:900 36:600"},
        {"Type0: five bytes give two codes", {"BT /T0 10 Tf <0024002500> Tj (AB) Tj ET"},
         "Run glyphs CID016.ttf 10 [1 0 0 1 0 0] 36:600 37:700; "
         "Run glyphs CID016.ttf 10 [1 0 0 1 13 0] 16706:900"},
        // A CID without a pair is as wide as the CIDFont's DW (900 here). Glyph 0 cannot
        // stand in the run; the glyphs after it stay, and so does its advance.
        {"Type0: glyph 0 in the middle", {"BT /T0 10 Tf <002400000025> Tj ET"},
         "Run glyphs CID016.ttf 10 [1 0 0 1 0 0] 36:1500 37:700"},
        {"Type0: glyph 0 first", {"BT /T0 10 Tf <00000024> Tj ET"},
         "Run glyphs CID016.ttf 10 [1 0 0 1 9 0] 36:600"},
        // Control codes cannot be characters in the markup: the run takes glyph indices
        // from the font's own character map instead.
        {"a control code", {"BT /TT 10 Tf (A\\001B) Tj ET"},
         "Run glyphs DejaVuSans.ttf 10 [1 0 0 1 0 0] 36:500 37:500"},
        {"invisible text moves Tm but draws nothing",
         {"BT /TT 10 Tf 3 Tr (AB) Tj 7 Tr (C) Tj 0 Tr (D) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 15 0] 68:500"},
        // A glyph run cannot be stroked: the outlines are, in user space, after the fill.
        {"stroked text", {"BT /TT 100 Tf 100 200 Td 1 Tr (A) Tj 2 Tr (A) Tj 4 Tr (A) Tj ET"},
         "Stroke (101 200 168 273); Run text DejaVuSans.ttf 100 [1 0 0 1 150 200] 65:500; "
         "Stroke (151 200 218 273); Run text DejaVuSans.ttf 100 [1 0 0 1 200 200] 65:500"},
        // The dollar sign reaches from -15 to 76 and from 8 to 56 across.
        {"stroked, condensed and raised", {"BT /TT 100 Tf 50 Tz 10 Ts 5 Tr ($) Tj ET"},
         "Stroke (4 -5 28 86)"},
        {"size 0 shows nothing", {"BT /TT 0 Tf (AB) Tj /TT 10 Tf (C) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 67:500"},
        {"negative size runs backwards", {"BT /TT -10 Tf 100 0 Td (AB) Tj (C) Tj ET"},
         "Run text DejaVuSans.ttf -10 [1 0 0 1 100 0] 65:500 66:500; "
         "Run text DejaVuSans.ttf -10 [1 0 0 1 90 0] 67:500"},
        {"no font, an unknown font", {"BT (A) Tj /Nope 10 Tf (B) Tj ET"}, ""},
        // A font named but not embedded is drawn with the nearest built-in font.
        {"a font without a program", {"BT /XX 10 Tf (C) Tj ET"},
         "Outline [0.01 0 0 0.01 0 0] inked"},
        {"codes without a width advance by nothing", {"BT /TT 10 Tf (a\\037A) Tj ET"},
         "Run glyphs DejaVuSans.ttf 10 [1 0 0 1 0 0] 68:0 36:500"},
        {"empty strings show nothing", {"BT /TT 10 Tf () Tj [() 10] TJ ET"}, ""},
        // The font is looked up again in a stream whose resources are parsed afresh.
        {"font selected in the stream before", {"BT /TT 10 Tf ET", "BT (A) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 65:500"},
        {"font kept through q", {"BT /TT 10 Tf ET q BT (A) Tj ET Q"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 65:500"},
        // Fonts named like the resources' own keys are found without touching those keys.
        {"fonts named Font and XObject", {"BT /Font 10 Tf (A) Tj /XObject 10 Tf (B) Tj ET"},
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 65:500; "
         "Run text DejaVuSans.ttf 10 [1 0 0 1 5 0] 66:500"},
    };
    for (const auto& c : cases) {
        TextDoc doc;
        EXPECT_EQ(c.log, doc.Show(c.streams)) << c.what;
    }
}

TEST(TextOps, Type3GlyphProcedures)
{
    const std::string square = "M 0 0 L 750 0 L 750 750 L 0 750 Z";
    const std::string triangle = "M 0 0 L 500 0 L 250 500";
    const struct {
        const char* what;
        pdfmatrix ctm;
        const char* content;
        std::string log;
    } cases[] = {
        // FontMatrix, size, the pen, Tm, CTM; each glyph's width moves the pen.
        {"two glyphs", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf 72 700 Td (ab) Tj ET",
         "Fill [0.01 0 0 0.01 72 700] " + square + "; Fill [0.01 0 0 0.01 82 700] " + triangle},
        {"Tm moves on", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf 72 700 Td (b) Tj (a) Tj ET",
         "Fill [0.01 0 0 0.01 72 700] " + triangle + "; Fill [0.01 0 0 0.01 77 700] " + square},
        {"through the CTM", {2, 0, 0, 2, 10, 0}, "BT /T3 10 Tf 72 700 Td (aa) Tj ET",
         "Fill [0.02 0 0 0.02 154 1400] " + square + "; Fill [0.02 0 0 0.02 174 1400] " + square},
        {"a turning Tm", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf 0 1 -1 0 100 100 Tm (aa) Tj ET",
         "Fill [0 0.01 -0.01 0 100 100] " + square + "; Fill [0 0.01 -0.01 0 100 110] " + square},
        {"Tc and adjustments", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf 1 Tc [(a) -1000 (a)] TJ ET",
         "Fill [0.01 0 0 0.01 0 0] " + square + "; Fill [0.01 0 0 0.01 21 0] " + square},
        {"invisible", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf 3 Tr (a) Tj 0 Tr (b) Tj ET",
         "Fill [0.01 0 0 0.01 10 0] " + triangle},
        {"Tz and Ts", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf 50 Tz 5 Ts (ab) Tj (a) Tj ET",
         "Fill [0.005 0 0 0.01 0 5] " + square + "; Fill [0.005 0 0 0.01 5 5] " + triangle +
             "; Fill [0.005 0 0 0.01 7.5 5] " + square},
        {"a code without a glyph or a width", {1, 0, 0, 1, 0, 0}, "BT /T3 10 Tf (ca) Tj ET",
         "Fill [0.01 0 0 0.01 0 0] " + square},
        {"no Encoding: nothing drawn, widths kept", {1, 0, 0, 1, 0, 0},
         "BT /T3bare 10 Tf (a) Tj /T3 10 Tf (a) Tj ET", "Fill [0.01 0 0 0.01 10 0] " + square},
        {"the font's own resources", {1, 0, 0, 1, 0, 0}, "BT /T3res 10 Tf 5 5 Td (A) Tj ET",
         "Run text DejaVuSans.ttf 1000 [1 0 0 1 0 0] 65:500"},
    };
    for (const auto& c : cases) {
        TextDoc doc;
        doc.cp.current->ctm = c.ctm;
        EXPECT_EQ(c.log, doc.Show({c.content})) << c.what;
    }
}

// The stream's resources keep what each selected font stands for, a font that cannot be found
// included, so that neither is looked up (nor its program extracted) again in that stream.
TEST(TextOps, FontCacheKeepsAnswersAndFailures)
{
    TextDoc doc;
    PdfObj* resources = nullptr;
    ParseIndirectObject(&resources, doc.xref, 4, 0, doc.xref->buf, sizeof doc.xref->buf);
    ASSERT_TRUE(resources);
    Scan(doc.cp, "BT /TT 10 Tf /XX 10 Tf (A) Tj /Nope 9 Tf /TT 12 Tf (B) Tj ET", resources);
    std::string text = testpdf::Describe(resources);
    EXPECT_NE(std::string::npos,
              text.find(">> /TT 12 /XX <</Type /Font /Subtype /Type1 /BaseFont /NoSuchFont>> "
                        "/Nope false>>"))
        << text;
    EXPECT_EQ("Outline [0.01 0 0 0.01 0 0] inked; Run text DejaVuSans.ttf 12 [1 0 0 1 6.67 0] 66:500",
              doc.rec.Joined());
    delete resources;
}

// A font file written again under the same name (as a later conversion may) is read again.
TEST(TextOps, AFontFileWrittenAnewIsOpenedAnew)
{
    TextDoc doc;
    std::string copy = doc.dir.file("DejaVuSans.ttf");
    ASSERT_TRUE(testutil::WriteFile(copy, testutil::ReadFile(kDejaVu)));
    free(doc.xref->entries[12].path);
    doc.xref->entries[12].path = strdup(copy.c_str());
    EXPECT_EQ("Run glyphs DejaVuSans.ttf 10 [1 0 0 1 0 0] 36:500",
              doc.Show({"BT /TT 10 Tf (A\\001) Tj ET"}));
    ASSERT_TRUE(testutil::WriteFile(copy, "no longer a font"));
    doc.rec.log.clear();
    EXPECT_EQ("", doc.Show({"BT /TT 10 Tf (A\\001) Tj ET"}));
}

// A symbolic subset reaches its glyphs only through a Windows symbol map (3,0) at U+F000 and
// up, or a Macintosh Roman map (1,0): a run with a control code takes its glyph indices from
// the symbol map first, else from the Macintosh map.
TEST(TextOps, SymbolicTrueTypeRunsTakeTheirGlyphsFromTheSymbolOrMacMap)
{
    const std::string dejaVu = testutil::ReadFile(kDejaVu);
    ASSERT_FALSE(dejaVu.empty()) << kDejaVu;
    const testfont::CodeMap symbol = {{1, 36}, {2, 37}, {65, 38}};
    const testfont::CodeMap mac = {{1, 50}, {2, 51}, {65, 52}};
    const struct {
        const char* file;
        testfont::CodeMap symbol, mac;
        const char* log;
    } cases[] = {
        {"Both.ttf", symbol, mac, "Run glyphs Both.ttf 10 [1 0 0 1 0 0] 36:0 37:0 38:500"},
        {"Mac.ttf", {}, mac, "Run glyphs Mac.ttf 10 [1 0 0 1 0 0] 50:0 51:0 52:500"},
        {"Symbol.ttf", symbol, {}, "Run glyphs Symbol.ttf 10 [1 0 0 1 0 0] 36:0 37:0 38:500"},
    };
    for (const auto& c : cases) {
        TextDoc doc;
        std::string path = doc.dir.file(c.file);
        ASSERT_TRUE(testutil::WriteFile(path, testfont::WithCharMaps(dejaVu, c.symbol, c.mac)));
        free(doc.xref->entries[12].path);
        doc.xref->entries[12].path = strdup(path.c_str());
        EXPECT_EQ(c.log, doc.Show({"BT /TT 10 Tf (\\001\\002A) Tj ET"})) << c.file;
    }
}

// WinAnsi's codes 128 to 159 are characters such as quotes, dashes and the euro: the run
// carries those characters, each with the glyph the font has for it through whichever map
// it has; codes of other encodings, codes Differences rename and undefined codes stay codes.
TEST(TextOps, WinAnsiCodes128To159AreTheirCharacters)
{
    const std::string dejaVu = testutil::ReadFile(kDejaVu);
    ASSERT_FALSE(dejaVu.empty()) << kDejaVu;
    // The glyphs DejaVu has for U+2019 and U+20AC, as its own Unicode map finds them.
    TextDoc probe;
    const std::string unicodeRun = probe.Show({"BT /TW 10 Tf (\\222\\200\\201A) Tj ET"});
    unsigned quote = 0, euro = 0;
    ASSERT_EQ(2, sscanf(unicodeRun.c_str(),
                        "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 8217/%u:0 8364/%u:0 129:0 65:500",
                        &quote, &euro))
        << unicodeRun;
    EXPECT_NE(quote, euro);

    const struct {
        const char* what;
        testfont::CodeMap symbol, mac;  // none: DejaVu's own maps
        const char* font;
        std::string log;
    } cases[] = {
        {"no Encoding", {}, {}, "TT", "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 146:0 65:500"},
        {"Differences rename a code", {}, {}, "TD",
         "Run text DejaVuSans.ttf 10 [1 0 0 1 0 0] 146:0 65:500"},
        {"a symbol map", {{0x92, 70}, {65, 71}}, {}, "TW",
         "Run text Font.ttf 10 [1 0 0 1 0 0] 8217/70:0 65:500"},
        // Mac OS Roman has the right single quote at 0xD5.
        {"a Macintosh map", {}, {{0x92, 60}, {0xD5, 61}, {65, 62}}, "TW",
         "Run text Font.ttf 10 [1 0 0 1 0 0] 8217/61:0 65:500"},
    };
    for (const auto& c : cases) {
        TextDoc doc;
        if (!c.symbol.empty() || !c.mac.empty()) {
            std::string path = doc.dir.file("Font.ttf");
            ASSERT_TRUE(testutil::WriteFile(path, testfont::WithCharMaps(dejaVu, c.symbol, c.mac)));
            free(doc.xref->entries[12].path);
            doc.xref->entries[12].path = strdup(path.c_str());
        }
        EXPECT_EQ(c.log, doc.Show({std::string("BT /") + c.font + " 10 Tf (\\222A) Tj ET"}))
            << c.what;
    }
}

TEST(TextOps, GlyphRunRecordsTheFontFileOncePerPage)
{
    TextDoc doc;
    doc.Show({"BT /TT 10 Tf (A) Tj (B) Tj /T0 10 Tf <0024> Tj 3 Tr /HV 10 Tf (C) Tj ET"});
    EXPECT_EQ("0:12 0:16", doc.Used());
    TextDoc invisible;
    invisible.Show({"BT 3 Tr /TT 10 Tf (A) Tj ET"});
    EXPECT_EQ("", invisible.Used());
}

TEST(TextOps, OutlinesOfStandardFonts)
{
    const struct {
        const char* what;
        pdfmatrix ctm;
        const char* content;
        const char* log;
    } cases[] = {
        {"size, then Tm", {1, 0, 0, 1, 0, 0}, "BT /HV 12 Tf 72 700 Td (AB) Tj (C) Tj ET",
         "Outline [0.012 0 0 0.012 72 700] inked; Outline [0.012 0 0 0.012 88.008 700] inked"},
        {"the CTM too", {2, 0, 0, 2, 0, 0}, "BT /HV 12 Tf 72 700 Td (AB) Tj (C) Tj ET",
         "Outline [0.024 0 0 0.024 144 1400] inked; Outline [0.024 0 0 0.024 176.016 1400] inked"},
        {"a rotating CTM", {0, 1, -1, 0, 612, 0}, "BT /HV 10 Tf 100 50 Td (A) Tj ET",
         "Outline [0 0.01 -0.01 0 562 100] inked"},
        {"spaces alone fill nothing", {1, 0, 0, 1, 0, 0}, "BT /HV 10 Tf (  ) Tj (A) Tj ET",
         "Outline [0.01 0 0 0.01 5.56 0] inked"},
        {"Tc through Tm", {1, 0, 0, 1, 0, 0}, "BT /HV 10 Tf 2 0 0 2 0 0 Tm 1 Tc (A) Tj (A) Tj ET",
         "Outline [0.02 0 0 0.02 0 0] inked; Outline [0.02 0 0 0.02 15.34 0] inked"},
        {"invisible", {1, 0, 0, 1, 0, 0}, "BT /HV 10 Tf 3 Tr (A) Tj 0 Tr (A) Tj ET",
         "Outline [0.01 0 0 0.01 6.67 0] inked"},
        // Stroking modes stroke the outlines in user space; 2 and 6 fill them too.
        {"stroked", {1, 0, 0, 1, 0, 0},
         "BT /HV 100 Tf 1 Tr (A) Tj 2 Tr (A) Tj 5 Tr (A) Tj 6 Tr (A) Tj ET",
         "Stroke (2 0 65 73); FillStroke (68 0 132 73); Stroke (135 0 199 73); "
         "FillStroke (202 0 265 73)"},
        {"Tz and Ts", {1, 0, 0, 1, 0, 0}, "BT /HV 10 Tf 50 Tz 3 Ts (A) Tj (A) Tj ET",
         "Outline [0.005 0 0 0.01 0 3] inked; Outline [0.005 0 0 0.01 3.335 3] inked"},
    };
    for (const auto& c : cases) {
        TextDoc doc;
        doc.cp.current->ctm = c.ctm;
        EXPECT_EQ(c.log, doc.Show({c.content})) << c.what;
    }
}

// The built-in data has the standard encoding of its own; the codes are in the encoding the
// font names, through a base encoding and Differences.
TEST(TextOps, StandardFontsFollowTheirEncoding)
{
    auto outline = [](const char* font, const char* text) {
        TextDoc doc;
        doc.Show({std::string("BT /") + font + " 10 Tf (" + text + ") Tj ET"});
        return doc.rec.outlines.size() == 1 ? doc.rec.outlines[0] : "no outline";
    };
    const std::string eacute = outline("HW", "\\351");
    const std::string oslash = outline("HV", "\\351");  // the standard encoding's 0xE9
    EXPECT_NE(eacute, oslash);
    EXPECT_NE("no outline", eacute);
    EXPECT_EQ(eacute, outline("HM", "\\216"));  // MacRoman's e acute
    EXPECT_EQ(eacute, outline("HD", "A"));
    EXPECT_EQ(oslash, outline("HD", "B"));
    EXPECT_EQ(outline("HW", "\\223"), outline("HV", "\\252"));  // the left double quote
    EXPECT_EQ(outline("HD", "\\310"), outline("HV", "\\256"));  // the fi ligature
    EXPECT_EQ(outline("HW", "a"), outline("HV", "a"));
}

// A renderer that takes outline text glyph by glyph gets each glyph's place on the line and
// one outline for every glyph of a face, in any show; glyphs without contours (spaces) are
// not handed over. The joined path is then not painted.
TEST(TextOps, OutlineGlyphsComeOneByOneWithTheirPlace)
{
    const struct {
        const char* what;
        const char* content;
        const char* log;
    } cases[] = {
        {"repeated glyphs, two shows", "BT /HV 10 Tf 72 700 Td (ABA) Tj (A) Tj ET",
         "Glyphs [0.01 0 0 0.01 72 700] fill a@0 b@667 a@1334; "
         "Glyphs [0.01 0 0 0.01 92.01 700] fill a@0"},
        {"a space and Tc", "BT /HV 10 Tf 1 Tc (A A) Tj ET", "Glyphs [0.01 0 0 0.01 0 0] fill a@0 a@1145"},
        {"stroked and both", "BT /HV 10 Tf 1 Tr (A) Tj 2 Tr (A) Tj ET",
         "Glyphs [0.01 0 0 0.01 0 0] stroke a@0; Glyphs [0.01 0 0 0.01 6.67 0] fill stroke a@0"},
        // A glyph run's stroke comes from the font file's outlines.
        {"a stroked glyph run", "BT /TT 10 Tf 1 Tr (AA) Tj ET",
         "Glyphs [0.01 0 0 0.01 0 0] stroke a@0 a@500"},
        // A stand-in glyph fitted to another width is another outline.
        {"a stand-in at two widths", "BT /SW 10 Tf (A) Tj /SX 10 Tf (A) Tj /SW 10 Tf (A) Tj ET",
         "Glyphs [0.01 0 0 0.01 0 0] fill a@0; Glyphs [0.01 0 0 0.01 6 0] fill b@0; "
         "Glyphs [0.01 0 0 0.01 13 0] fill a@0"},
    };
    for (const auto& c : cases) {
        TextDoc doc;
        doc.rec.takeGlyphs = true;
        EXPECT_EQ(c.log, doc.Show({c.content})) << c.what;
    }
}

TEST(TextOps, OutlinesLeaveAnUnpaintedPathAlone)
{
    TextDoc doc;
    EXPECT_EQ("Outline [0.01 0 0 0.01 0 0] inked; Stroke (1 2 3 4)",
              doc.Show({"1 2 m 3 4 l BT /HV 10 Tf (A) Tj ET S"}));
}

PdfObj* ParseDict(const char* text)
{
    PdfObj* dict = nullptr;
    FILE* f = tmpfile();
    fputs(text, f);
    rewind(f);
    char buf[256];
    int len = 0;
    PdfLexicon(f, buf, sizeof buf, &len);
    PdfParseDict(&dict, f, buf, sizeof buf);
    fclose(f);
    return dict;
}

TEST(TextOps, MapChartoNameWalksDifferencesThenTheBaseEncoding)
{
    TextDoc doc;
    const struct {
        const char* encoding;
        unsigned int code;
        const char* want;
    } cases[] = {
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 65, "/A"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 66, "/B"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 97, "/a"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 67, "-1"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 98, "-1"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 64, "-1"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 200, "-1"},
        {"<< /Differences [/Skipped 65 /A /B 97 /a 200] >>", 0, "-1"},
        // The first run that covers a code wins.
        {"<< /Differences [65 /A 65 /Z] >>", 65, "/A"},
        {"<< /BaseEncoding /WinAnsiEncoding /Differences [65 /X] >>", 65, "/X"},
        {"<< /BaseEncoding /WinAnsiEncoding /Differences [65 /X] >>", 66, "/B"},
        {"<< /BaseEncoding /WinAnsiEncoding >>", 0xE9, "/eacute"},
        {"<< /BaseEncoding /WinAnsiEncoding >>", 0x27, "/quotesingle"},
        {"<< /BaseEncoding /WinAnsiEncoding >>", 0x81, "-1"},
        {"<< /BaseEncoding /StandardEncoding >>", 0x27, "/quoteright"},
        {"<< /BaseEncoding /StandardEncoding >>", 0xAE, "/fi"},
        {"<< /BaseEncoding /StandardEncoding >>", 0xE0, "-1"},
        {"<< /BaseEncoding /MacRomanEncoding >>", 0x31, "/one"},
        {"<< /BaseEncoding /NoSuchEncoding >>", 0x41, "-1"},
        {"<< >>", 0x41, "-1"},
    };
    for (const auto& c : cases) {
        PdfObj* enc = ParseDict(c.encoding);
        ASSERT_TRUE(enc) << c.encoding;
        PdfObj* name = nullptr;
        int r = doc.cp.MapChartoName(static_cast<PdfDict*>(enc), c.code, &name);
        EXPECT_EQ(c.want, r == 0 ? testpdf::Describe(name) : std::to_string(r))
            << c.encoding << " " << c.code;
        delete name;
        delete enc;
    }
}

}  // namespace
