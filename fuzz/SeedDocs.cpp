#include "SeedDocs.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "PdfBuilder.h"
#include "Resources/JpegWriter.h"

namespace fuzz {

namespace {

using testpdf::PdfBuilder;
using testpdf::XrefOptions;

// A profile header that reads as a three-component display profile, and nothing more.
std::string TinyIcc()
{
    std::string icc(128, '\0');
    icc[3] = (char)128;
    icc.replace(12, 4, "mntr");
    icc.replace(16, 4, "RGB ");
    icc.replace(20, 4, "XYZ ");
    icc.replace(36, 4, "acsp");
    return icc;
}

// A small baseline JPEG made by the program's own writer, so the image parts that read JPEG
// headers get real ones to start from.
std::string TinyJpeg(bool gray)
{
    const char* base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/vardex-seed-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back(0);
    char* path = name.data();
    int fd = mkstemp(path);
    if (fd < 0)
        return std::string();
    close(fd);
    std::string pixels;
    for (int i = 0; i < 8 * 8; i++)
        for (int c = 0; c < (gray ? 1 : 3); c++)
            pixels.push_back((char)(i * 4 + c * 60));
    std::string out;
    if (ImageBufToDCT(path, &pixels[0], 8, 8, gray ? 1 : 0) == 0) {
        if (FILE* f = fopen(path, "rb")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0)
                out.append(buf, n);
            fclose(f);
        }
    }
    remove(path);
    return out;
}

const char kResources[] =
    "<< /Font << /F1 5 0 R /F2 6 0 R /F3 7 0 R >>\n"
    "   /ExtGState << /G1 << /ca 0.5 /CA 0.25 /LW 3 /LJ 1 /LC 2 /ML 4 >> /G2 8 0 R >>\n"
    "   /ColorSpace << /C1 [/ICCBased 9 0 R] /C2 [/Indexed /DeviceRGB 1 <FF000000FF00>]\n"
    "                  /C3 [/Pattern /DeviceRGB] /C4 /DeviceCMYK /C5 [/CalRGB << >>] >>\n"
    "   /XObject << /Im1 10 0 R /Mk1 11 0 R /Fm1 12 0 R /Im2 13 0 R /Im3 17 0 R /Im4 18 0 R >>\n"
    "   /Pattern << /P1 14 0 R /P2 15 0 R >>\n"
    "   /Shading << /Sh1 16 0 R >> >>";

}  // namespace

std::string ResourceDocument(const std::string& content, bool deflate)
{
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 200 200] >>");
    b.Object(3, std::string("<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources ") + kResources +
                    " >>");
    if (deflate)
        b.Stream(4, "/Filter /FlateDecode", testpdf::Deflate(content));
    else
        b.Stream(4, "", content);
    b.Object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>");
    b.Object(6, "<< /Type /Font /Subtype /TrueType /BaseFont /Arial,Italic /FirstChar 32 /LastChar 34 "
                "/Widths [250 300 350] /Encoding /WinAnsiEncoding >>");
    b.Object(7, "<< /Type /Font /Subtype /Type0 /BaseFont /Dingbats /Encoding /Identity-H "
                "/DescendantFonts [<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Dingbats "
                "/W [1 [500 600] 10 20 700] >>] >>");
    b.Object(8, "<< /Type /ExtGState /ca 0.75 /LW 0.5 >>");
    b.Stream(9, "/N 3", TinyIcc());
    b.Stream(10, "/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB "
                 "/BitsPerComponent 8 /Filter /FlateDecode",
             testpdf::Deflate(std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\xFF", 12)));
    b.Stream(11, "/Type /XObject /Subtype /Image /Width 8 /Height 2 /ImageMask true "
                 "/BitsPerComponent 1 /Decode [1 0]",
             std::string("\xA5\x5A", 2));
    b.Stream(12, "/Type /XObject /Subtype /Form /BBox [0 0 50 50] /Matrix [1 0 0 1 5 5] "
                 "/Resources << /XObject << /Fm1 12 0 R >> >>",
             "0 0 1 rg 0 0 20 20 re f /Fm1 Do");
    b.Stream(13, "/Type /XObject /Subtype /Image /Width 3 /Height 1 /ColorSpace "
                 "[/Indexed /DeviceRGB 2 <FF0000 00FF00 0000FF>] /BitsPerComponent 2 "
                 "/SMask 11 0 R",
             std::string("\x1B", 1));
    b.Stream(14, "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 "
                 "/Resources << >>",
             "1 0 0 rg 0 0 5 5 re f");
    b.Object(15, "<< /PatternType 2 /Shading 16 0 R /Matrix [1 0 0 1 0 0] >>");
    b.Object(16, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] /Extend [true true] "
                 "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>");
    b.Stream(17, "/Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceRGB "
                 "/BitsPerComponent 8 /Filter /DCTDecode",
             TinyJpeg(false));
    b.Stream(18, "/Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceGray "
                 "/BitsPerComponent 8 /Filter [/FlateDecode /DCTDecode]",
             testpdf::Deflate(TinyJpeg(true)));
    b.ClassicXref();
    return b.Bytes();
}

std::vector<std::string> ContentSeeds()
{
    return {
        "10 20 30 40 re f 0 0 m 10 0 l 10 10 c 5 5 0 0 v 1 1 2 2 y h S s B B* b b* f* F n",
        "q 2 0 0 2 10 10 cm 0 0 m 100 100 l W n Q 5 w 1 J 2 j 3 M [3 1] 0 d 0 0 m 9 9 l S",
        "0.5 g 0.2 G 1 0 0 rg 0 1 0 RG 0 0 0 1 k 1 1 0 0 K 0 0 9 9 re B",
        "/C1 cs 0.1 0.2 0.3 sc /C2 CS 1 SC /C4 cs 0 1 0 0 scn /C5 CS 1 1 1 SCN 0 0 9 9 re b",
        "/C3 cs 1 0 0 /P1 scn /P2 SCN /Pattern cs /P1 scn 0 0 50 50 re B",
        "/G1 gs /G2 gs /Nope gs 0 0 9 9 re f",
        "q 20 0 0 20 0 0 cm /Im1 Do /Mk1 Do /Im2 Do Q /Fm1 Do /Nope Do",
        "q 50 0 0 50 0 0 cm /Im3 Do 1 0 0 1 1 0 cm /Im4 Do Q",
        "/Sh1 sh q 0 0 50 50 re W n /Sh1 sh Q",
        "BT /F1 12 Tf 10 20 Td (Hello) Tj 14 TL T* [(A) -120 (B)] TJ (line) ' 1 2 (x) \" ET",
        "BT /F2 9 Tf 2 Tc 3 Tw 90 Tz 1 Ts 2 Tr 1 0 0 1 50 50 Tm 5 6 TD <2021> Tj ET",
        "BT /F3 20 Tf <00010002> Tj [<0001> 50 <000A>] TJ 7 Tr (clip) Tj ET 0 0 9 9 re f",
        "BI /W 2 /H 2 /CS /RGB /BPC 8 ID \xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\xFF EI "
        "BI /W 8 /H 1 /IM true /D [1 0] ID \xAA EI 0 0 9 9 re f",
        "BI /W 2 /H 1 /CS /G /BPC 8 /F /AHx ID 00FF> EI BI /W 1 /H 1 /CS /C2 /BPC 1 ID \x80 EI",
        "q q q 0 0 m W* n Q Q Q Q Q 1 2 3 4 5 6 cm (str) <414243> [1 [2]] << /K /V >> true "
        "false null /Name 1.5 -.5 4. cm",
        "% comment\n0 0 m 1e9 1e9 l 99999999999 -99999999999 l S endstream 0 0 9 9 re f",
        // Numbers at the ends of their range wherever an operator takes one.
        "99999999999 0 0 99999999999 0 0 cm 0 0 m 99999999999 99999999999 l S 0 0 0 0 0 0 cm "
        "0 0 m 1 1 l S [99999999999 -99999999999 0 0.0000001] 99999999999 d 99999999999 w -5 J "
        "99 j -3 M 0 0 9 9 re B",
        "BT /F1 99999999999 Tf 99999999999 Tz 99999999999 Tc 99999999999 Tw 99999999999 TL "
        "99999999999 Ts (abc) Tj [(a) 99999999999 (b) -99999999999] TJ T* (x) Tj /F2 -1 Tf 0 Tz "
        "(  !\"#) Tj /F3 0 Tf <0001FFFF> Tj 1e9 0 0 1e9 1e9 1e9 Tm 7 Tr (x) Tj ET",
        "BI /W 99999999 /H 99999999 /CS /RGB /BPC 8 ID xyz EI BI /W -1 /H -5 /BPC 3 ID x EI "
        "BI /W 2 /H 2 /CS /C2 /BPC 16 ID abcdefgh EI 0.0000001 0 0 0.0000001 0 0 cm /Im1 Do /Sh1 sh",
    };
}

std::vector<std::pair<std::string, std::string>> DocumentSeeds()
{
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<std::string> contents = ContentSeeds();
    for (size_t i = 0; i < contents.size(); i++)
        out.push_back({"resources-" + std::to_string(i) + ".pdf", ResourceDocument(contents[i], i % 2 == 1)});

    {
        // A cross-reference stream, an object stream and an incremental update that adds a
        // page through a second, classic section.
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents [4 0 R 5 0 R] >>");
        b.Stream(4, "/Filter [/ASCII85Decode /LZWDecode]",
                 testpdf::Ascii85Encode(testpdf::LzwEncode("0 0 1 rg 0 0 50 50 re f\n")));
        b.Stream(5, "", "1 0 0 RG 0 0 m 90 90 l S");
        b.Stream(6, "/Type /ObjStm /N 1 /First 4", "7 0 (in a stream)");
        b.Compressed(7, 6, 0);
        b.XrefStream(8);
        b.Object(2, "<< /Type /Pages /Kids [3 0 R 9 0 R] /Count 2 >>");
        b.Object(9, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Rotate 90 >>");
        XrefOptions opt;
        opt.extra = "/Info 7 0 R";
        b.ClassicXref(opt);
        out.push_back({"xrefstream-update.pdf", b.Bytes()});
    }
    {
        // A page tree of inherited attributes and nested nodes.
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 /MediaBox [0 0 300 300] "
                    "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Courier >> >> >> >>");
        b.Object(3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 /Rotate 180 >>");
        b.Object(4, "<< /Type /Page /Parent 3 0 R /Contents 7 0 R >>");
        b.Object(5, "<< /Type /Page /Parent 3 0 R /Contents 7 0 R /CropBox [10 10 200 200] >>");
        b.Object(6, "<< /Type /Page /Parent 2 0 R /Contents 8 0 R >>");
        b.Stream(7, "", "BT /F1 10 Tf 20 20 Td (page) Tj ET");
        b.Stream(8, "", "0 0 m 10 10 l S");
        b.ClassicXref();
        out.push_back({"pagetree.pdf", b.Bytes()});
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> FilterSeeds()
{
    const std::string text = "0 0 m 100 100 l S BT /F1 12 Tf (repeat repeat repeat repeat) Tj ET\n";
    std::string longText;
    for (int i = 0; i < 300; i++)
        longText += text;
    return {
        {"flate", "/FlateDecode\n" + testpdf::Deflate(text)},
        {"flate-long", "/FlateDecode\n" + testpdf::Deflate(longText)},
        {"lzw", "/LZWDecode\n" + testpdf::LzwEncode(longText)},
        {"lzw-noclear", "/LZWDecode\n" + testpdf::LzwEncode(longText, false, false, false)},
        {"a85", "/ASCII85Decode\n" + testpdf::Ascii85Encode(text)},
        {"a85-lzw", "[/ASCII85Decode /LZWDecode]\n" + testpdf::Ascii85Encode(testpdf::LzwEncode(text))},
        {"a85-flate", "[/ASCII85Decode /FlateDecode]\n" + testpdf::Ascii85Encode(testpdf::Deflate(text))},
        {"dct", "/DCTDecode\n\xFF\xD8\xFF\xE0 not really a JPEG \xFF\xD9"},
        {"unknown", "[/FlateDecode /RunLengthDecode]\n" + testpdf::Deflate(text)},
        {"ref", "[1 0 R /FlateDecode]\n" + testpdf::Deflate(text)},
        {"none", "/\nraw bytes"},
    };
}

std::vector<std::pair<std::string, std::string>> ObjectSeeds()
{
    return {
        {"dict", "<< /Type /Page /Kids [1 0 R 2 0 R] /Count 2 /N -3.5 /B true /Z null >>"},
        {"strings", "(a\\(b\\)c\\n\\t\\101\\\n(nested)) <41 42 4> <> ()"},
        {"names", "/A#20B /#41 /a/b/c// /x#zz /long" + std::string(300, 'n')},
        {"numbers", "1 -2 +3 4.5 -.5 5. 1-2 99999999999 -99999999999 1.0e5 .-"},
        {"object", "7 0 obj\n[1 [2 [3 [4]]] << /K << /V (x) >> >>]\nendobj\nxref\ntrailer\nstartxref"},
        {"stream", "1 0 obj << /Length 5 >> stream\nabcde\nendstream endobj"},
        {"deep", std::string(300, '[') + std::string(300, ']') + std::string(300, '<') + ">"},
        {"junk", "{ } ) > >> ]] %comment\n R true false"},
    };
}

}  // namespace fuzz
