#include "Type1Fonts.h"

#include <cstdint>

namespace testfont {

namespace {

// The encryption of both layers: eexec with key 55665, charstrings with 4330.
std::string Encrypt(const std::string& plain, uint16_t key)
{
    std::string out;
    uint16_t r = key;
    for (unsigned char p : plain) {
        const unsigned char c = (unsigned char)(p ^ (r >> 8));
        r = (uint16_t)((c + r) * 52845u + 22719u);
        out += (char)c;
    }
    return out;
}

// A charstring number.
std::string Num(int v)
{
    std::string s;
    if (v >= -107 && v <= 107) {
        s += (char)(v + 139);
    } else if (v >= 108 && v <= 1131) {
        s += (char)(247 + ((v - 108) >> 8));
        s += (char)((v - 108) & 0xFF);
    } else if (v >= -1131 && v <= -108) {
        s += (char)(251 + ((-v - 108) >> 8));
        s += (char)((-v - 108) & 0xFF);
    } else {
        s += (char)255;
        for (int shift = 24; shift >= 0; shift -= 8)
            s += (char)((uint32_t)v >> shift & 0xFF);
    }
    return s;
}

// A charstring with its four leading bytes (lenIV), encrypted.
std::string CharString(const std::string& plain)
{
    return Encrypt(std::string(4, '\0') + plain, 4330);
}

}  // namespace

std::string BoxType1(const std::string& fontName, const std::vector<Type1Box>& glyphs)
{
    std::string clear = "%!PS-AdobeFont-1.0: " + fontName + " 001.000\n"
                        "11 dict begin\n"
                        "/FontName /" + fontName + " def\n"
                        "/PaintType 0 def\n"
                        "/FontType 1 def\n"
                        "/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n"
                        "/FontBBox {0 0 1000 1000} readonly def\n"
                        "/Encoding 256 array\n"
                        "0 1 255 {1 index exch /.notdef put} for\n";
    for (const Type1Box& g : glyphs)
        if (g.code >= 0 && g.code < 256)
            clear += "dup " + std::to_string(g.code) + " /" + g.name + " put\n";
    clear += "readonly def\ncurrentdict end\ncurrentfile eexec\n";

    std::string priv = "dup /Private 8 dict dup begin\n"
                       "/RD {string currentfile exch readstring pop} executeonly def\n"
                       "/ND {noaccess def} executeonly def\n"
                       "/NP {noaccess put} executeonly def\n"
                       "/MinFeature {16 16} def\n"
                       "/password 5839 def\n"
                       "/BlueValues [] def\n"
                       "2 index /CharStrings " + std::to_string(glyphs.size() + 1) +
                       " dict dup begin\n";
    auto add = [&priv](const std::string& name, const std::string& plain) {
        const std::string cs = CharString(plain);
        priv += "/" + name + " " + std::to_string(cs.size()) + " RD " + cs + " ND\n";
    };
    add(".notdef", Num(0) + Num(500) + (char)13 + (char)14);  // hsbw, endchar
    for (const Type1Box& g : glyphs) {
        std::string c = Num(0) + Num(g.advance) + (char)13;    // hsbw
        c += Num(g.x0) + Num(0) + (char)21;                    // rmoveto
        c += Num(g.height) + (char)7;                          // vlineto
        c += Num(g.x1 - g.x0) + (char)6;                       // hlineto
        c += Num(-g.height) + (char)7;                         // vlineto
        c += (char)9;                                          // closepath
        c += (char)14;                                         // endchar
        add(g.name, c);
    }
    priv += "end\nend\nreadonly put\nnoaccess put\n"
            "dup /FontName get exch definefont pop\n"
            "mark currentfile closefile\n";

    std::string trailer;
    for (int i = 0; i < 8; i++)
        trailer += std::string(64, '0') + "\n";
    trailer += "cleartomark\n";
    return clear + Encrypt("abcd" + priv, 55665) + trailer;
}

}  // namespace testfont
