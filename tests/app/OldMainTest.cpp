#include "Apps/converter/OldMain.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "Apps/converter/Larkspan.h"
#include "PdfBuilder.h"
#include "Rendering.h"
#include "Pdf/PdfObj.h"
#include "TestImages.h"
#include "TestUtil.h"

using testutil::Entries;

namespace {

std::string Dump(PdfObj* const* table, uint32_t count)
{
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    DumpObjects(out, table, count);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

std::string DumpRegistry()
{
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    DumpLiveObjects(out);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

TEST(ObjectDump, OneObjectLeftPrintsItsSlotAndTypeName)
{
    struct Case { int code; const char* line; };
    const Case cases[] = {
        {PDF_NULL, "OBJECT 12 : TYPE NULL__OBJ"},
        {PDF_DICT, "OBJECT 12 : TYPE DICT_OBJ"},
        {PDF_STRING, "OBJECT 12 : TYPE STRING_OBJ"},
        {PDF_NUMBER, "OBJECT 12 : TYPE NUMBER_OBJ"},
        {PDF_ARRAY, "OBJECT 12 : TYPE ARRAY_OBJ"},
        {PDF_NAME, "OBJECT 12 : TYPE NAME_OBJ"},
        {PDF_STREAM, "OBJECT 12 : TYPE STREAM_OBJ"},
        {PDF_BOOL, "OBJECT 12 : TYPE BOOL_OBJ"},
        {PDF_INDIRECT, "OBJECT 12 : TYPE INDIRECT_OBJ"},
        {PDF_REAL, "OBJECT 12 : TYPE "},  // a real has no name of its own
        {42, "OBJECT 12 : TYPE "},
        {-1, "OBJECT 12 : TYPE "},
    };
    for (const Case& c : cases) {
        PdfNull obj;
        obj.type = c.code;
        PdfObj* table[13] = {};
        table[12] = &obj;
        EXPECT_EQ(Dump(table, 13), std::string("<!--\n") + c.line + "\n\n\n-->\n") << c.code;
    }
}

TEST(ObjectDump, OneCommentAroundAllObjectsAndNothingWhenEmpty)
{
    PdfArray array;
    PdfName name;
    PdfObj* table[6] = {nullptr, &array, nullptr, nullptr, &name, nullptr};
    EXPECT_EQ(Dump(table, 6),
              "<!--\n"
              "OBJECT 1 : TYPE ARRAY_OBJ\n\n"
              "OBJECT 4 : TYPE NAME_OBJ\n\n"
              "\n-->\n");
    // Slots at or above the count are not looked at.
    EXPECT_EQ(Dump(table, 1), "");
    PdfObj* empty[4] = {};
    EXPECT_EQ(Dump(empty, 4), "");
}

TEST(ObjectDump, RegistryShowsLiveObjectsBelowTheCursorOnly)
{
    PdfDict* dict = new PdfDict();
    uint32_t slot = dict->slot;
    const std::string line = "OBJECT " + std::to_string(slot) + " : TYPE DICT_OBJ\n";
    EXPECT_NE(DumpRegistry().find(line), std::string::npos);

    // After the cursor wrapped past it, the slot is no longer examined.
    uint32_t cursor = PdfObj::rcnt;
    PdfObj::rcnt = slot;
    EXPECT_EQ(DumpRegistry().find(line), std::string::npos);
    PdfObj::rcnt = cursor;

    delete dict;
    EXPECT_EQ(DumpRegistry().find(line), std::string::npos);
}

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A document that reaches as much of the conversion as one file can: a nested page tree with
// inherited attributes, content split over several streams, paths, clips, dashes, text in a
// standard, an embedded TrueType, a Type0 and a Type 3 font, images of several kinds with a
// soft mask, an inline image, a form, tiling and shading patterns, shadings, an ICC space,
// graphics-state parameters, a q left open at the end of a page and a page without contents.
void WriteRichPdf(const std::string& path)
{
    const std::string ttf = testutil::ReadFile(kDejaVu);
    ASSERT_GT(ttf.size(), 100000u) << kDejaVu;
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 8 0 R] /Count 3 /MediaBox [0 0 612 792] "
                "/Resources 6 0 R >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.3 841.9] /Resources 7 0 R "
                "/Contents [9 0 R 10 0 R] >>");
    b.Object(8, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 >>");
    b.Object(4, "<< /Type /Page /Parent 8 0 R /Contents 11 0 R >>");
    b.Object(5, "<< /Type /Page /Parent 8 0 R >>");
    b.Object(6, "<< /Font << /F3 50 0 R /F4 55 0 R >> >>");
    b.Object(7, "<< /Font << /F1 20 0 R /F2 21 0 R >> "
                "/XObject << /Im1 30 0 R /Im2 32 0 R /Im3 33 0 R /Im4 34 0 R /Fm1 35 0 R >> "
                "/ExtGState << /GS1 << /CA 0.5 /ca 0.5 /LW 2 /D [[3 2] 0] /SMask /None >> >> "
                "/ColorSpace << /CS1 [/ICCBased 36 0 R] >> "
                "/Pattern << /P1 40 0 R /P2 << /PatternType 2 /Shading 41 0 R >> >> "
                "/Shading << /Sh1 41 0 R /Sh2 42 0 R >> >>");
    b.Stream(9, "/Filter /FlateDecode", testpdf::Deflate(
        "q 1 0 0 RG 2 w [4 2] 0 d 10 10 m 100 100 l 50 10 80 90 200 20 c h S Q\n"
        "q 0 0 1 rg 20 20 100 50 re f* Q /GS1 gs\n"
        "q 10 10 300 300 re W n\n"
        "BT /F1 12 Tf 72 700 Td 14 TL (Hello) Tj T* [(W) 120 (orld)] TJ ET\n"
        "BT /F2 10 Tf 72 650 Td (TrueType) Tj ET Q\n"));
    b.Stream(10, "", "q 100 0 0 100 50 50 cm /Im1 Do Q q 50 0 0 50 200 50 cm /Im2 Do Q\n"
                     "q 20 0 0 20 300 50 cm /Im3 Do Q q 0 1 0 rg 20 0 0 20 350 50 cm /Im4 Do Q\n"
                     "/Fm1 Do /CS1 cs 0.5 0.2 0.1 sc 0 0 10 10 re f\n"
                     "/Pattern cs /P1 scn 0 300 50 50 re f /P2 scn 100 300 50 50 re f\n"
                     "q 0 0 100 100 re W n /Sh1 sh Q /Sh2 sh\n"
                     "q 10 0 0 10 400 400 cm BI /W 2 /H 2 /CS /RGB /BPC 8 ID \x10\x20\x30\x40"
                     "\x50\x60\x70\x80\x90\xa0\xb0\xc0 EI Q\n"
                     "0.1 0.2 0.3 0.4 k 0 400 10 10 re f\n");
    b.Stream(11, "", "BT /F3 12 Tf 72 700 Td <00240025> Tj ET\n"
                     "BT /F4 1 Tf 10 0 0 10 72 600 Tm (ab) Tj ET\n"
                     "q q 1 0 0 1 5 5 cm 0 0 m 10 10 l S\n");
    b.Object(20, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    std::string widths;
    for (int c = 32; c <= 126; c++)
        widths += "600 ";
    b.Object(21, "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 "
                 "/LastChar 126 /Widths [" + widths + "] /FontDescriptor 22 0 R >>");
    b.Object(22, "<< /Type /FontDescriptor /FontName /DejaVuSans /FontFile2 23 0 R >>");
    b.Stream(23, "/Filter /FlateDecode", testpdf::Deflate(ttf));
    const std::string rgb = testimg::StripeRgb(4, 2);
    b.Stream(30, "/Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceRGB "
                 "/BitsPerComponent 8 /SMask 31 0 R /Filter /FlateDecode", testpdf::Deflate(rgb));
    b.Stream(31, "/Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                 "/BitsPerComponent 8", std::string("\x00\x40\x80\xff\xff\x80\x40\x00", 8));
    b.Stream(32, "/Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceRGB "
                 "/BitsPerComponent 8 /Filter /DCTDecode",
             testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, 8, 8));
    b.Stream(33, "/Type /XObject /Subtype /Image /Width 2 /Height 2 /BitsPerComponent 8 "
                 "/ColorSpace [/Indexed /DeviceRGB 1 <ff000000ff00>]",
             std::string("\x00\x01\x01\x00", 4));
    b.Stream(34, "/Type /XObject /Subtype /Image /Width 8 /Height 2 /ImageMask true "
                 "/BitsPerComponent 1", std::string("\xa5\x5a", 2));
    b.Stream(35, "/Type /XObject /Subtype /Form /BBox [0 0 50 50] "
                 "/Resources << /Font << /F1 20 0 R >> >>",
             "0 0 5 5 re f BT /F1 8 Tf 1 1 Td (form) Tj ET");
    b.Stream(36, "/N 3", std::string(128, '\x01'));
    b.Stream(40, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 "
                 "/YStep 10 /Resources << >>", "0 0 5 5 re f");
    b.Object(41, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
                 "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> "
                 "/Extend [true true] >>");
    b.Object(42, "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [50 50 0 50 50 40] "
                 "/Function << /FunctionType 3 /Domain [0 1] /Bounds [0.5] /Encode [0 1 0 1] "
                 "/Functions [<< /FunctionType 2 /Domain [0 1] /C0 [1 1 0] /C1 [0 1 0] /N 1 >> "
                 "<< /FunctionType 2 /Domain [0 1] /C0 [0 1 0] /C1 [0 0 0] /N 2 >>] >> >>");
    b.Object(50, "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+DejaVuSans "
                 "/Encoding /Identity-H /DescendantFonts [51 0 R] >>");
    b.Object(51, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /ABCDEF+DejaVuSans "
                 "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                 "/FontDescriptor 52 0 R /W [36 [600 700] 40 50 500] /DW 1000 "
                 "/CIDToGIDMap /Identity >>");
    b.Object(52, "<< /Type /FontDescriptor /FontName /ABCDEF+DejaVuSans /FontFile2 53 0 R >>");
    b.Stream(53, "/Filter /FlateDecode", testpdf::Deflate(ttf));
    b.Object(55, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] "
                 "/FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << /a 56 0 R /b 57 0 R >> "
                 "/Encoding << /Type /Encoding /Differences [97 /a /b] >> /FirstChar 97 "
                 "/LastChar 98 /Widths [1000 1000] /Resources << >> >>");
    b.Stream(56, "", "1000 0 d0 0 0 1000 1000 re f");
    b.Stream(57, "", "1000 0 0 0 1000 1000 d1 0 0 500 500 re f");
    b.ClassicXref();
    ASSERT_TRUE(b.Write(path));
}

TEST(LeakCheck, WholeConversionLeavesNoObjectRegistered)
{
    testutil::TempDir work;
    const std::string pdf = work.file("rich.pdf");
    WriteRichPdf(pdf);
    const std::string tmp = work.file("tmp");
    ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
    ASSERT_EQ(DumpRegistry(), "") << "objects alive before the conversion";

    Larkspan app(0, nullptr);
    app.tempDir = const_cast<char*>(tmp.c_str());
    std::string out = work.file("rich.XPS");
    ASSERT_EQ(app.Convert(const_cast<char*>(pdf.c_str()), const_cast<char*>(out.c_str())), 0);
    EXPECT_TRUE(testutil::FileExists(out));
    EXPECT_EQ(DumpRegistry(), "");
}

// Every document of the shared sample set, when it is present.
TEST(LeakCheck, SampleDocumentsLeaveNoObjectRegistered)
{
    const std::string shared = testutil::SharedDir();
    if (shared.empty())
        GTEST_SKIP() << "no sample documents";
    const std::string corpus = shared + "/corpus/dev";
    testutil::TempDir work;
    for (const std::string& name : Entries(corpus)) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".pdf") != 0)
            continue;
        // Compared with what was alive before, so that one leaking document is named alone.
        const std::string before = DumpRegistry();
        const std::string tmp = work.file(name + ".tmp");
        ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
        Larkspan app(0, nullptr);
        app.tempDir = const_cast<char*>(tmp.c_str());
        std::string pdf = corpus + "/" + name;
        std::string out = work.file(name + ".XPS");
        app.Convert(const_cast<char*>(pdf.c_str()), const_cast<char*>(out.c_str()));
        EXPECT_EQ(DumpRegistry(), before) << name;
    }
}

// Runs oldmain with TMPDIR pointing at a folder of its own, capturing both output streams.
struct OldMainRun {
    int result;
    std::string out, err;
    std::vector<std::string> leftInTmp;
};

OldMainRun RunOldMain(const char* input, const char* output)
{
    testutil::TempDir tmp;
    const char* saved = getenv("TMPDIR");
    std::string savedValue = saved ? saved : "";
    setenv("TMPDIR", tmp.path().c_str(), 1);
    g_pszInputFile = input ? strdup(input) : nullptr;
    char program[] = "oldmain", first[] = "unused";
    std::string outputArg = output ? output : "";
    char* argv[] = {program, first, output ? &outputArg[0] : nullptr, nullptr};

    OldMainRun run;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    run.result = oldmain(output ? 3 : 2, argv);
    fflush(stdout);
    run.err = testing::internal::GetCapturedStderr();
    run.out = testing::internal::GetCapturedStdout();
    run.leftInTmp = Entries(tmp.path());
    if (saved)
        setenv("TMPDIR", savedValue.c_str(), 1);
    else
        unsetenv("TMPDIR");
    return run;
}

TEST(OldMain, InputThatCannotBeLoadedFailsWithTheMessage)
{
    testutil::TempDir work;
    const std::string text = work.file("not.pdf");
    ASSERT_TRUE(testutil::WriteFile(text, "no PDF here\n"));
    const std::string missing = work.file("missing.pdf");
    struct Case { const char* input; };
    const Case cases[] = {{nullptr}, {text.c_str()}, {missing.c_str()}};
    for (const Case& c : cases) {
        const std::string out = work.file("never.XPS");
        OldMainRun run = RunOldMain(c.input, out.c_str());
        const char* label = c.input ? c.input : "(null)";
        EXPECT_EQ(run.result, -1) << label;
        EXPECT_NE(run.err.find("ERROR: Unable to open read PDF\n"), std::string::npos) << label;
        EXPECT_EQ(run.out, "") << label;
        EXPECT_FALSE(testutil::FileExists(out)) << label;
        EXPECT_TRUE(run.leftInTmp.empty()) << label;
        EXPECT_EQ(g_pszInputFile, nullptr) << label;
    }
}

TEST(OldMain, ConvertsIntoItsOwnFolderAndDumpsWhatIsLeft)
{
    testutil::TempDir work;
    const std::string pdf = work.file("rich.pdf");
    WriteRichPdf(pdf);
    const std::string out = work.file("rich.XPS");

    // Everything released: no dump at all, and the private folder is gone.
    OldMainRun clean = RunOldMain(pdf.c_str(), out.c_str());
    EXPECT_EQ(clean.result, 0);
    EXPECT_EQ(clean.out, "");
    EXPECT_TRUE(clean.leftInTmp.empty());
    EXPECT_EQ(g_pszInputFile, nullptr);
    EXPECT_EQ(testutil::ReadFile(out).compare(0, 2, "PK"), 0);

    // An object someone forgot shows up with its slot and type.
    PdfArray* forgotten = new PdfArray();
    const std::string comment =
        "<!--\nOBJECT " + std::to_string(forgotten->slot) + " : TYPE ARRAY_OBJ\n\n\n-->\n";
    OldMainRun leak = RunOldMain(pdf.c_str(), out.c_str());
    EXPECT_EQ(leak.result, 0);
    EXPECT_EQ(leak.out, comment);

    // With the package on standard output the comment goes to standard error, so the package
    // ends where the zip ends.
    OldMainRun piped = RunOldMain(pdf.c_str(), nullptr);
    EXPECT_EQ(piped.result, 0);
    ASSERT_GT(piped.out.size(), 22u);
    EXPECT_EQ(piped.out.compare(0, 2, "PK"), 0);
    EXPECT_EQ(piped.out.compare(piped.out.size() - 22, 4, "PK\x05\x06"), 0);
    EXPECT_NE(piped.err.find(comment), std::string::npos);
    EXPECT_TRUE(piped.leftInTmp.empty());
    delete forgotten;
}

}  // namespace
