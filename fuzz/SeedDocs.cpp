#include "SeedDocs.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>
#include <vector>

#include "CffFonts.h"
#include "PdfBuilder.h"
#include "Resources/Fonts/CffOpenType.h"
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

// What one of the program's own writers puts into a file, read back: the writer gets the
// path of a fresh temporary file and returns 0 once it has written it.
std::string WrittenBy(const std::function<int(char* path)>& writer)
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
    std::string out;
    if (writer(path) == 0) {
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

// A small baseline JPEG made by the program's own writer, so the image parts that read JPEG
// headers get real ones to start from.
std::string TinyJpeg(bool gray)
{
    std::string pixels;
    for (int i = 0; i < 8 * 8; i++)
        for (int c = 0; c < (gray ? 1 : 3); c++)
            pixels.push_back((char)(i * 4 + c * 60));
    return WrittenBy([&](char* path) { return ImageBufToDCT(path, &pixels[0], 8, 8, gray ? 1 : 0); });
}

// A CID-keyed compact program of three box glyphs (CIDs 1, 2 and 10).
std::string TinyCff()
{
    return testcff::CidKeyedCff({{1, 50, 450, 700}, {2, 50, 550, 500}, {10, 100, 300, 300}});
}

// The same program wrapped into an OpenType font by the program's own writer.
std::string TinyOpenType()
{
    const std::string cff = TinyCff();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(cff.data());
    CffProgram program;
    if (!ReadCffProgram(bytes, cff.size(), &program))
        return std::string();
    return WrittenBy([&](char* path) { return WriteCffAsOpenType(path, bytes, cff.size(), "Tiny", program); });
}

// Big-endian bytes of v.
std::string Be(uint32_t v, int bytes)
{
    std::string s;
    for (int i = bytes - 1; i >= 0; i--)
        s.push_back((char)(v >> (8 * i)));
    return s;
}

// A TrueType program of four glyphs: an empty .notdef and three boxes for 'a' to 'c', which
// a Windows Unicode map and a Macintosh Roman map both reach.
std::string TinyTrueType()
{
    std::string glyf, loca;
    const int heights[] = {700, 500, 300};
    loca += Be(0, 2) + Be(0, 2);  // .notdef holds no outline
    for (int h : heights) {
        // One contour of four on-curve points, x and y as 16-bit deltas.
        glyf += Be(1, 2) + Be(50, 2) + Be(0, 2) + Be(550, 2) + Be((uint32_t)h, 2) + Be(3, 2) + Be(0, 2);
        glyf += std::string(4, '\x01');
        glyf += Be(50, 2) + Be(500, 2) + Be(0, 2) + Be((uint32_t)-500 & 0xFFFF, 2);
        glyf += Be(0, 2) + Be(0, 2) + Be((uint32_t)h, 2) + Be(0, 2);
        loca += Be((uint32_t)glyf.size() / 2, 2);
    }
    std::string mac = Be(0, 2) + Be(262, 2) + Be(0, 2);
    for (int c = 0; c < 256; c++)
        mac.push_back(c >= 'a' && c <= 'c' ? (char)(c - 'a' + 1) : '\0');
    const std::string win = Be(4, 2) + Be(32, 2) + Be(0, 2) + Be(4, 2) + Be(4, 2) + Be(1, 2) + Be(0, 2) +
                            Be('c', 2) + Be(0xFFFF, 2) + Be(0, 2) + Be('a', 2) + Be(0xFFFF, 2) +
                            Be((1 - 'a') & 0xFFFF, 2) + Be(1, 2) + Be(0, 2) + Be(0, 2);
    const std::string cmap = Be(0, 2) + Be(2, 2) + Be(1, 2) + Be(0, 2) + Be(20, 4) + Be(3, 2) + Be(1, 2) +
                             Be(20 + (uint32_t)mac.size(), 4) + mac + win;
    const std::pair<const char*, std::string> tables[] = {
        {"OS/2", Be(3, 2) + std::string(94, '\0')},
        {"cmap", cmap},
        {"glyf", glyf},
        {"head", Be(0x10000, 4) + Be(0x10000, 4) + Be(0, 4) + Be(0x5F0F3CF5, 4) + Be(0, 2) + Be(1000, 2) +
                     std::string(16, '\0') + Be(0, 2) + Be(0, 2) + Be(600, 2) + Be(700, 2) + Be(0, 2) +
                     Be(8, 2) + Be(2, 2) + Be(0, 2) + Be(0, 2)},
        {"hhea", Be(0x10000, 4) + Be(800, 2) + Be((uint32_t)-200 & 0xFFFF, 2) + Be(0, 2) + Be(600, 2) +
                     std::string(22, '\0') + Be(4, 2)},
        {"hmtx", Be(500, 2) + Be(0, 2) + Be(600, 2) + Be(50, 2) + Be(600, 2) + Be(50, 2) + Be(600, 2) + Be(50, 2)},
        {"loca", loca},
        {"maxp", Be(0x10000, 4) + Be(4, 2) + Be(4, 2) + Be(1, 2) + std::string(22, '\0')},
        {"name", Be(0, 2) + Be(1, 2) + Be(18, 2) + Be(1, 2) + Be(0, 2) + Be(0, 2) + Be(4, 2) + Be(4, 2) +
                     Be(0, 2) + "Tiny"},
        {"post", Be(0x30000, 4) + std::string(28, '\0')},
    };
    const size_t n = sizeof tables / sizeof tables[0];
    std::string dir = Be(0x10000, 4) + Be((uint32_t)n, 2) + Be(128, 2) + Be(3, 2) + Be(32, 2);
    std::string body;
    for (const auto& t : tables) {
        std::string data = t.second + std::string((4 - t.second.size() % 4) % 4, '\0');
        uint32_t sum = 0;
        for (size_t i = 0; i < data.size(); i += 4)
            sum += (uint32_t)(unsigned char)data[i] << 24 | (uint32_t)(unsigned char)data[i + 1] << 16 |
                   (uint32_t)(unsigned char)data[i + 2] << 8 | (unsigned char)data[i + 3];
        dir += std::string(t.first) + Be(sum, 4) + Be((uint32_t)(12 + 16 * n + body.size()), 4) +
               Be((uint32_t)t.second.size(), 4);
        body += data;
    }
    return dir + body;
}

// Type 1 encryption (eexec with key 55665, charstrings with 4330), after four leading bytes.
std::string Encrypt(const std::string& plain, uint16_t key)
{
    std::string out;
    uint16_t r = key;
    for (unsigned char p : std::string(4, '\0') + plain) {
        unsigned char c = (unsigned char)(p ^ (r >> 8));
        r = (uint16_t)((c + r) * 52845u + 22719u);
        out.push_back((char)c);
    }
    return out;
}

// A charstring number.
std::string CsNumber(int v)
{
    if (v >= -107 && v <= 107)
        return std::string(1, (char)(v + 139));
    if (v >= 108 && v <= 1131)
        return std::string{(char)(247 + (v - 108) / 256), (char)((v - 108) % 256)};
    return std::string{(char)(251 + (-v - 108) / 256), (char)((-v - 108) % 256)};  // -1131..-108
}

// A Type 1 program of three box glyphs named a, b and c, the standard encoding's letters.
std::string TinyType1()
{
    const char kHsbw = 13, kRmoveto = 21, kRlineto = 5, kClosepath = 9, kEndchar = 14;
    auto box = [&](int height) {
        return CsNumber(0) + CsNumber(600) + kHsbw + CsNumber(50) + CsNumber(0) + kRmoveto +
               CsNumber(500) + CsNumber(0) + kRlineto + CsNumber(0) + CsNumber(height) + kRlineto +
               CsNumber(-500) + CsNumber(0) + kRlineto + kClosepath + kEndchar;
    };
    auto glyph = [&](const std::string& name, const std::string& cs) {
        std::string enc = Encrypt(cs, 4330);
        return "/" + name + " " + std::to_string(enc.size()) + " RD " + enc + " ND\n";
    };
    std::string priv =
        "dup /Private 8 dict dup begin\n"
        "/RD {string currentfile exch readstring pop} executeonly def\n"
        "/ND {noaccess def} executeonly def\n/NP {noaccess put} executeonly def\n"
        "/lenIV 4 def\n/BlueValues [] def\n/MinFeature {16 16} def\n/password 5839 def\n"
        "/Subrs 0 array\n"
        "2 index /CharStrings 4 dict dup begin\n";
    priv += glyph(".notdef", CsNumber(0) + CsNumber(500) + kHsbw + kEndchar);
    priv += glyph("a", box(700)) + glyph("b", box(500)) + glyph("c", box(300));
    priv += "end\nend\nreadonly put\nnoaccess put\ndup /FontName get exch definefont pop\n"
            "mark currentfile closefile\n";
    std::string zeros;
    for (int i = 0; i < 8; i++)
        zeros += std::string(64, '0') + "\n";
    return "%!PS-AdobeFont-1.0: Tiny 001.000\n"
           "11 dict begin\n/FontInfo 1 dict dup begin /FullName (Tiny) readonly def end readonly def\n"
           "/FontName /Tiny def\n/Encoding StandardEncoding def\n/PaintType 0 def\n/FontType 1 def\n"
           "/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n/FontBBox {0 0 600 700} readonly def\n"
           "currentdict end\ncurrentfile eexec\n" +
           Encrypt(priv, 55665) + "\n" + zeros + "cleartomark\n";
}

const char kResources[] =
    "<< /Font << /F1 5 0 R /F2 6 0 R /F3 7 0 R /F4 19 0 R /F5 22 0 R /F6 25 0 R /F7 28 0 R\n"
    "            /F8 32 0 R /F9 35 0 R >>\n"
    "   /ExtGState << /G1 << /ca 0.5 /CA 0.25 /LW 3 /LJ 1 /LC 2 /ML 4 >> /G2 8 0 R >>\n"
    "   /ColorSpace << /C1 [/ICCBased 9 0 R] /C2 [/Indexed /DeviceRGB 1 <FF000000FF00>]\n"
    "                  /C3 [/Pattern /DeviceRGB] /C4 /DeviceCMYK /C5 [/CalRGB << >>]\n"
    "                  /C6 [/Separation /Spot /DeviceCMYK 38 0 R] /C7 [/DeviceN [/A /B] /DeviceRGB 39 0 R]\n"
    "                  /C8 [/Separation /All /DeviceGray << /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] >>]\n"
    "                  /C9 [/Lab << /WhitePoint [0.9505 1 1.089] /Range [-100 100 -100 100] >>]\n"
    "                  /C10 [/Indexed [/Separation /Spot /DeviceCMYK 38 0 R] 1 <00FF>] >>\n"
    "   /XObject << /Im1 10 0 R /Mk1 11 0 R /Fm1 12 0 R /Im2 13 0 R /Im3 17 0 R /Im4 18 0 R >>\n"
    "   /Pattern << /P1 14 0 R /P2 15 0 R >>\n"
    "   /Shading << /Sh1 16 0 R /Sh2 43 0 R /Sh3 44 0 R >> >>";

const char kDescriptor[] = "/Type /FontDescriptor /Flags 4 /FontBBox [0 0 600 700] /ItalicAngle 0 "
                          "/Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 ";

// The font programs of every kind and the functions of every type that kResources names,
// from object 19 on, each with what shows or paints it; their streams are uncompressed, so
// that a byte changed in a seed reaches their parsers.
struct Embedded {
    const char* name;
    const char* resources;  // entries of a Resources dictionary naming it
    const char* content;
    void (*add)(PdfBuilder& b);
};

const Embedded kEmbedded[] = {
    {"type1", "/Font << /F4 19 0 R >>", "BT /F4 24 Tf 10 150 Td (abc) Tj 7 Tr (ab) Tj ET 0 0 9 9 re f",
     [](PdfBuilder& b) {
         const std::string type1 = TinyType1();
         const size_t clear = type1.find("eexec\n") + 6, zeros = type1.rfind("\n0000") + 1;
         b.Object(19, "<< /Type /Font /Subtype /Type1 /BaseFont /Tiny /FirstChar 97 /LastChar 99 "
                      "/Widths [600 600 600] /FontDescriptor 20 0 R >>");
         b.Object(20, std::string("<< ") + kDescriptor + "/FontName /Tiny /FontFile 21 0 R >>");
         b.Stream(21, "/Length " + std::to_string(type1.size()) + " /Length1 " + std::to_string(clear) +
                          " /Length2 " + std::to_string(zeros - clear) +
                          " /Length3 " + std::to_string(type1.size() - zeros),
                  type1);
     }},
    {"type1c", "/Font << /F5 22 0 R >>", "BT /F5 24 Tf 10 150 Td (abc) Tj ET",
     [](PdfBuilder& b) {
         b.Object(22, "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+TinyC /FontDescriptor 23 0 R "
                      "/Encoding << /Differences [97 /a /b /c] >> >>");
         b.Object(23, std::string("<< ") + kDescriptor + "/FontName /ABCDEF+TinyC /FontFile3 24 0 R >>");
         b.Stream(24, "/Subtype /Type1C", TinyCff());
     }},
    {"truetype", "/Font << /F6 25 0 R /F8 32 0 R >>",
     "BT /F6 24 Tf 10 150 Td (abc) Tj /F8 24 Tf <0001 0002 0003 0063> Tj ET",
     [](PdfBuilder& b) {
         b.Object(25, "<< /Type /Font /Subtype /TrueType /BaseFont /TinyTT /FirstChar 97 /LastChar 99 "
                      "/Widths [600 600 600] /Encoding /WinAnsiEncoding /FontDescriptor 26 0 R >>");
         b.Object(26, std::string("<< ") + kDescriptor + "/FontName /TinyTT /FontFile2 27 0 R >>");
         b.Stream(27, "", TinyTrueType());
         b.Object(32, "<< /Type /Font /Subtype /Type0 /BaseFont /TinyTT2 /Encoding /Identity-H "
                      "/DescendantFonts [33 0 R] >>");
         b.Object(33, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /TinyTT2 /CIDToGIDMap /Identity "
                      "/DW 600 /FontDescriptor 34 0 R >>");
         b.Object(34, std::string("<< ") + kDescriptor + "/FontName /TinyTT2 /FontFile2 45 0 R >>");
         b.Stream(45, "", TinyTrueType());
     }},
    {"cid-cff", "/Font << /F7 28 0 R >>", "BT /F7 24 Tf 10 150 Td <0001 0002 000A 0003> Tj ET",
     [](PdfBuilder& b) {
         b.Object(28, "<< /Type /Font /Subtype /Type0 /BaseFont /TinyCID /Encoding /Identity-H "
                      "/DescendantFonts [29 0 R] >>");
         b.Object(29, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /TinyCID /W [1 [500 600] 10 [300]] "
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                      "/FontDescriptor 30 0 R >>");
         b.Object(30, std::string("<< ") + kDescriptor + "/FontName /TinyCID /FontFile3 31 0 R >>");
         b.Stream(31, "/Subtype /CIDFontType0C", TinyCff());
     }},
    {"opentype", "/Font << /F9 35 0 R >>", "BT /F9 24 Tf 10 150 Td (\001\002\003) Tj ET",
     [](PdfBuilder& b) {
         b.Object(35, "<< /Type /Font /Subtype /TrueType /BaseFont /TinyOT /FirstChar 1 /LastChar 3 "
                      "/Widths [500 500 500] /FontDescriptor 36 0 R >>");
         b.Object(36, std::string("<< ") + kDescriptor + "/FontName /TinyOT /FontFile3 37 0 R >>");
         b.Stream(37, "/Subtype /OpenType", TinyOpenType());
     }},
    // A calculator tint into CMYK, a sampled one of two tints into RGB, and shadings over a
    // stitching of an exponential, a sampled and a calculator piece, and over one function
    // per component.
    {"functions",
     "/ColorSpace << /C6 [/Separation /Spot /DeviceCMYK 38 0 R] /C7 [/DeviceN [/A /B] /DeviceRGB 39 0 R] "
     "/C10 [/Indexed [/Separation /Spot /DeviceCMYK 38 0 R] 1 <00FF>] >> /Shading << /Sh2 43 0 R /Sh3 44 0 R >>",
     "/C6 cs 0.5 sc 0 0 40 40 re f /C7 CS 0.25 0.75 SC 5 w 0 0 m 100 100 l S /C10 cs 1 sc "
     "80 80 9 9 re f /Sh2 sh q 0 0 100 100 re W n /Sh3 sh Q",
     [](PdfBuilder& b) {
         b.Stream(38, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1 0 1]",
                  "{ dup 0.5 mul exch dup 2 index add 2 div exch cvi 3 and 3 div 1 index abs }");
         b.Stream(39, "/FunctionType 0 /Domain [0 1 0 1] /Range [0 1 0 1 0 1] /Size [2 2] /BitsPerSample 8",
                  std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\x80\x80\x80", 12));
         b.Object(40, "<< /FunctionType 3 /Domain [0 1] /Bounds [0.3 0.6] /Encode [0 1 1 0 0 1] "
                      "/Functions [<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 1 0] /N 2 >> "
                      "41 0 R 42 0 R] >>");
         b.Stream(41, "/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [3] /BitsPerSample 4 "
                      "/Encode [0 2] /Decode [0 1 0 1 0 1]",
                  std::string("\x0F\x0F\xF0\xF0\x0F", 5));
         b.Stream(42, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]",
                  "{ dup 0.5 gt { 1 exch sub } if dup dup dup mul exch sqrt }");
         b.Object(43, "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 200 0] /Domain [0 1] "
                      "/Extend [true false] /Function 40 0 R >>");
         b.Object(44, "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [100 100 0 100 100 80] "
                      "/Function [<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] >> 46 0 R 46 0 R] >>");
         b.Stream(46, "/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ 2 mul dup 1 gt { 2 exch sub } if }");
     }},
};

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
    for (const Embedded& e : kEmbedded)
        e.add(b);
    b.ClassicXref();
    return b.Bytes();
}

std::vector<std::string> ContentSeeds()
{
    std::vector<std::string> seeds = {
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
        // Spot colours out of range, Lab and the colorant All.
        "/C6 cs 99999999999 sc -1 sc 0 0 9 9 re f /C9 cs 50 20 -30 sc 50 50 20 20 re f /C8 cs 1 scn "
        "10 10 20 20 re f /C7 cs 2 -2 scn 0 0 5 5 re f",
    };
    for (const Embedded& e : kEmbedded)
        seeds.push_back(e.content);
    return seeds;
}

std::vector<std::pair<std::string, std::string>> DocumentSeeds()
{
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<std::string> contents = ContentSeeds();
    for (size_t i = 0; i < contents.size(); i++)
        out.push_back({"resources-" + std::to_string(i) + ".pdf", ResourceDocument(contents[i], i % 2 == 1)});
    // Each font kind and the functions alone on a page, nothing compressed.
    for (const Embedded& e : kEmbedded) {
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 200 200] >>");
        b.Object(3, std::string("<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << ") +
                        e.resources + " >> >>");
        b.Stream(4, "", e.content);
        e.add(b);
        b.ClassicXref();
        out.push_back({std::string("embedded-") + e.name + ".pdf", b.Bytes()});
    }

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

std::vector<std::pair<std::string, std::string>> FunctionSeeds()
{
    const std::string stream = "\nstream\n";
    const std::string calc = "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]" + stream;
    return {
        {"exponential", "/FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 1 1] /N 1.5"},
        {"exponential-range", "/FunctionType 2 /Domain [-1 2] /Range [0 1 0 0.5 0 1] /C0 [0 0 0] /C1 [1 1 1]"},
        {"sampled", "/FunctionType 0 /Domain [0 1] /Range [0 1 0 1 0 1] /Size [4] /BitsPerSample 8" + stream +
                        std::string("\x00\x40\x80\xc0\xff\x00\x10\x20\x30\x40\x50\x60", 12)},
        {"sampled-two-inputs-12-bit",
         "/FunctionType 0 /Domain [0 1 0 1] /Range [0 1 0 1 0 1] /Size [2 3] /BitsPerSample 12 "
         "/Encode [0 1 0 2] /Decode [0 1 1 0 0 0.5] /Order 3" + stream + std::string(27, '\x5a')},
        {"sampled-32-bit", "/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] /BitsPerSample 32" + stream +
                               std::string("\x00\x00\x00\x00\xff\xff\xff\xff", 8)},
        {"sampled-short-data", "/FunctionType 0 /Domain [0 1 0 1 0 1] /Range [0 1] /Size [9 9 9] /BitsPerSample 16" +
                                   stream + "\x01\x02"},
        {"stitching", "/FunctionType 3 /Domain [0 1] /Bounds [0.2 0.7] /Encode [0 1 1 0 0.5 1] "
                      "/Functions [11 0 R 12 0 R 13 0 R]"},
        {"stitching-nested", "/FunctionType 3 /Domain [0 2] /Bounds [1] /Functions [14 0 R 14 0 R]"},
        {"stitching-inline", "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [<< /FunctionType 2 "
                             "/Domain [0 1] /C0 [0 0 1] /C1 [1 0 0] >> << /FunctionType 3 /Domain [0 1] "
                             "/Bounds [0.5] /Encode [0 0 0 1] /Functions [11 0 R 11 0 R] >>]"},
        {"stitching-holds-itself", "/FunctionType 3 /Domain [0 1] /Bounds [0.5] /Functions [10 0 R 11 0 R]"},
        {"calculator-arithmetic", calc + "{ dup 2 mul 1 add sqrt exch dup 90 mul sin exch 3 exp 2 div "
                                         "4 1 roll 3 copy pop pop atan 360 div 3 1 roll }"},
        {"calculator-integers", calc + "{ 255 mul cvi dup 7 and exch dup 3 bitshift exch -1 bitshift xor "
                                       "3 idiv 5 mod 0 or not abs 100 div 1 index 2 index }"},
        {"calculator-conditions", calc + "{ dup 0.5 lt { 0.5 mul } { dup 0.75 ge { pop 1 } "
                                         "{ 2 mul 1 sub } ifelse } ifelse dup true false and not "
                                         "{ dup } if 1 index ne { dup } { 0 } ifelse }"},
        {"calculator-beyond-integers", calc + "{ 1e300 mul cvi 99999999999 1 index 4294967297 and "
                                              "-2147483648 neg 1 bitshift 1e308 dup mul cvi -1 sqrt "
                                              "cvi 0 ln cvi copy roll }"},
        {"calculator-two-inputs", "/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]" + stream +
                                      "{ 2 copy add 2 div 3 1 roll mul exch }"},
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
