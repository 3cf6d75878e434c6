#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "HostileDocs.h"
#include "PdfBuilder.h"
#include "RealDocs.h"
#include "TestImages.h"

namespace testpdf {

namespace {

// Every image is drawn at one pixel per point, so that no reader has to scale it and the
// renderings compare pixel for pixel.
std::string Place(int side, int x, int y, const std::string& name)
{
    const std::string s = std::to_string(side);
    return "q " + s + " 0 0 " + s + " " + std::to_string(x) + " " + std::to_string(y) + " cm /" +
           name + " Do Q\n";
}

std::string Image(int side, const std::string& entries)
{
    const std::string s = std::to_string(side);
    return "/Type /XObject /Subtype /Image /Width " + s + " /Height " + s + " " + entries;
}

// `comps` bytes per pixel, each `f`(component, x, y) of a side × side square.
template <class F>
std::string Samples(int side, int comps, F f)
{
    std::string px;
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            for (int c = 0; c < comps; c++)
                px += (char)f(c, x, y);
    return px;
}

// The same, fading into `white` (the samples that show as the white around the image) over
// the last twelve pixels of each row and column: xpstopng leaves an image's last row and
// column out (a libgxps bug), which then shows as nothing against the page. The colours
// change smoothly, as a photograph's do, since xpstopng also places an image's pixels a
// fraction of a pixel off, which sharp edges inside it would show.
template <class F>
std::string Faded(int side, int comps, const unsigned char* white, F f)
{
    return Samples(side, comps, [side, white, f](int c, int x, int y) {
        double w = std::fmin(std::fmin((side - 4 - x) / 8.0, (side - 4 - y) / 8.0), 1.0);
        w = w < 0 ? 0 : w;
        return (int)std::lround(white[c] + (f(c, x, y) - white[c]) * w);
    });
}

const unsigned char kWhite[3] = {255, 255, 255};
const unsigned char kZero[3] = {0, 0, 0};

// A photograph in miniature: colours that change smoothly across the square.
std::string Photo(int side)
{
    return Faded(side, 3, kWhite, [side](int c, int x, int y) {
        return c == 0 ? 40 + x * 200 / side : c == 1 ? 60 + y * 180 / side : 200 - (x + y) * 80 / side;
    });
}

// Opaque in the middle, fading to clear at the rim.
std::string Vignette(int side)
{
    return Samples(side, 1, [side](int, int x, int y) {
        double dx = x - side / 2.0, dy = y - side / 2.0;
        double a = 1.6 - std::sqrt(dx * dx + dy * dy) / (side / 2.0) * 1.4;
        return (int)(255 * (a < 0 ? 0 : a > 1 ? 1 : a));
    });
}

// Four vertical stripes of the given 3-byte colours.
std::string Stripes(int side, const char* colours)
{
    return Samples(side, 3, [side, colours](int c, int x, int) {
        return (unsigned char)colours[x * 4 / side * 3 + c];
    });
}

// The top row of a page without Decode, the bottom row the same samples under one.
std::string TwoByTwo(const char* a, const char* b)
{
    return Place(80, 10, 110, std::string(a) + "0") + Place(80, 110, 110, std::string(b) + "0") +
           Place(80, 10, 10, std::string(a) + "1") + Place(80, 110, 10, std::string(b) + "1");
}

// A page of four images of 80 pixels, objects 5 to 8, placed by TwoByTwo: a0, b0, a1, b1,
// each {dictionary entries, data}. `more` adds objects from 9 on.
std::string FourImages(const std::string& a, const std::string& b,
                       const std::vector<std::pair<std::string, std::string>>& images,
                       std::vector<ExtraObject> more = {})
{
    const std::string names[4] = {a + "0", b + "0", a + "1", b + "1"};
    std::string xobjects;
    for (int k = 0; k < 4; k++) {
        xobjects += "/" + names[k] + " " + std::to_string(5 + k) + " 0 R ";
        more.push_back({5 + k, Image(80, images[k].first), images[k].second, true});
    }
    return OnePage("<< /XObject << " + xobjects + ">> >>", TwoByTwo(a.c_str(), b.c_str()), more);
}

RealDoc Row(const std::string& name, std::function<std::string()> make)
{
    RealDoc row;
    row.name = name;
    row.make = std::move(make);
    return row;
}

// Lab colours as a palette of the Lab space would hold them (L, a + 128, b + 128 under the
// ranges -128..127): blocks of 5 pixels of slowly changing colours, inside the sRGB gamut,
// and the last block of each row and column white.
std::string LabBlocks(bool across)
{
    return Samples(80, 3, [across](int c, int x, int y) {
        int i = x / 5, j = y / 5;
        if (i == 15 || j == 15)
            return c == 0 ? 255 : 128;
        if (!across)
            std::swap(i, j);
        return c == 0 ? 140 + 2 * i : c == 1 ? 86 + 6 * i : 86 + 6 * j;
    });
}

const char* kLabSpace = "[/Lab << /WhitePoint [0.9642 1 0.8249] /Range [-128 127 -128 127] >>]";

// The Lab page drawn through palettes instead, which mutool converts as it converts Lab
// fills: an indexed image of the same colours in place of each Lab image.
std::string LabThroughPalettes()
{
    std::vector<std::pair<std::string, std::string>> images;
    for (int k = 0; k < 2; k++) {
        std::string lab = LabBlocks(k == 0), palette, indexes;
        std::vector<std::string> colours;
        for (size_t i = 0; i < lab.size(); i += 3) {
            std::string colour = lab.substr(i, 3);
            size_t at = std::find(colours.begin(), colours.end(), colour) - colours.begin();
            if (at == colours.size()) {
                colours.push_back(colour);
                palette += colour;
            }
            indexes += (char)at;
        }
        std::string hex;
        for (unsigned char ch : palette) {
            char buf[3];
            snprintf(buf, sizeof buf, "%02X", ch);
            hex += buf;
        }
        images.push_back({"/BitsPerComponent 8 /ColorSpace [/Indexed " + std::string(kLabSpace) +
                              " " + std::to_string(colours.size() - 1) + " <" + hex + ">]",
                          indexes});
    }
    // The bottom row's Decode arrays give the top row's colours.
    return FourImages("A", "B", {images[0], images[1], images[0], images[1]});
}

}  // namespace

void ImagesAndMasks(std::vector<RealDoc>* rows)
{
    // A layout program's photograph over a coloured panel, faded out at its rim by a soft mask
    // that is itself a grayscale JPEG (at half the photograph's resolution).
    rows->push_back(Row("photo-with-dct-soft-mask", [] {
        return OnePage("<< /XObject << /Im 5 0 R >> >>",
                       "0.2 0.5 0.8 rg 0 0 200 200 re f\n" + Place(160, 20, 20, "Im"),
                       {{5, Image(160, "/BitsPerComponent 8 /ColorSpace /DeviceRGB "
                                       "/Filter /DCTDecode /SMask 6 0 R"),
                         testimg::MakeRgbJpeg(Photo(160), 160, 160, testimg::JPEG_YCC_JFIF), true},
                        {6, Image(80, "/BitsPerComponent 8 /ColorSpace /DeviceGray /Filter /DCTDecode"),
                         testimg::MakeGrayJpeg(Vignette(80), 80, 80), true}});
    }));

    // Colour-key masks: the keyed-out colours show what lies beneath. The RGB key is a range
    // around pure blue; the indexed one keys index 2. (mutool leaves the key of an indexed
    // image of fewer than 8 bits unapplied, so these indexes are bytes.)
    rows->push_back(Row("colour-key-rgb-image", [] {
        const char stripes[] = "\xFF\x00\x00\x00\xFF\x00\x08\x04\xF8\xFF\xFF\x00";
        return OnePage("<< /XObject << /Im 5 0 R >> >>",
                       "1 0.6 0 rg 0 0 200 200 re f\n" + Place(160, 20, 20, "Im"),
                       {{5, Image(160, "/BitsPerComponent 8 /ColorSpace /DeviceRGB "
                                       "/Mask [0 10 0 10 240 255] /Filter /FlateDecode"),
                         Deflate(Stripes(160, stripes)), true}});
    }));
    rows->push_back(Row("colour-key-indexed-image", [] {
        std::string indexes = Samples(160, 1, [](int, int x, int) { return x / 40; });
        return OnePage("<< /XObject << /Im 5 0 R >> >>",
                       "0.5 g 0 0 200 200 re f\n" + Place(160, 20, 20, "Im"),
                       {{5, Image(160, "/BitsPerComponent 8 /ColorSpace [/Indexed /DeviceRGB 3 "
                                       "<C04040 C0C040 0000FF 808080>] /Mask [2 2] /Filter /FlateDecode"),
                         Deflate(indexes), true}});
    }));

    // Images in the spaces fills are drawn in, each on the top row as stored and on the
    // bottom row under a Decode array.
    rows->push_back(Row("calibrated-images", [] {
        const unsigned char one[3] = {0, 255, 255};
        auto gray = [](int, int x, int y) { return 20 + (x + y) * 3 / 2; };
        auto rgb = [](int c, int x, int y) { return c == 0 ? 250 - x * 3 : c == 1 ? 30 + y * 2 : 40 + x + y; };
        const std::string cg = "/BitsPerComponent 8 /ColorSpace [/CalGray << /WhitePoint "
                               "[0.9505 1 1.089] /Gamma 1 >>] ";
        const std::string cr = "/BitsPerComponent 8 /ColorSpace [/CalRGB << /WhitePoint "
                               "[0.9505 1 1.089] >>] ";
        return FourImages("G", "R",
                          {{cg, Faded(80, 1, kWhite, gray)},
                           {cr, Faded(80, 3, kWhite, rgb)},
                           {cg + "/Decode [1 0]", Faded(80, 1, kZero, gray)},
                           {cr + "/Decode [1 0 0 1 0.5 1]", Faded(80, 3, one, rgb)}});
    }));
    // mutool draws Lab images in colours of their own (Lab fills and Lab palettes it draws
    // right): the page is held to the same colours drawn through palettes.
    RealDoc lab = Row("lab-images", [] {
        const std::string space = "/BitsPerComponent 8 /ColorSpace " + std::string(kLabSpace) + " ";
        std::string across = LabBlocks(true), up = LabBlocks(false);
        // Under Decode [100 0 ...] the inverse samples are the same colours; under
        // [100 0 -100 155 -100 155] as well once a and b are moved by 28.
        std::string inverse = across, shifted = up;
        for (char& c : inverse)
            c = (char)(255 - (unsigned char)c);
        for (size_t i = 0; i < shifted.size(); i++)
            shifted[i] = (char)(i % 3 == 0 ? 255 - (unsigned char)up[i] : (unsigned char)up[i] - 28);
        return FourImages("A", "B",
                          {{space, across},
                           {space, up},
                           {space + "/Decode [100 0 127 -128 127 -128]", inverse},
                           {space + "/Decode [100 0 -100 155 -100 155]", shifted}});
    });
    lab.reference = LabThroughPalettes;
    rows->push_back(lab);
    // mutool draws a tint as the mix of white and the transform's colour at full tint: the
    // transforms here are of that kind, so that its rendering shows what they mean.
    rows->push_back(Row("separation-images", [] {
        const unsigned char full[1] = {255};
        auto tint = [](int, int x, int y) { return 30 + x * 2 + y; };
        const std::string orange = "/BitsPerComponent 8 /ColorSpace [/Separation /Orange "
                                   "/DeviceCMYK << /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] "
                                   "/C1 [0 0.6 1 0] /N 1 >>] ";
        const std::string blue = "/BitsPerComponent 8 /ColorSpace [/Separation /Blue /DeviceRGB 9 0 R] ";
        const std::string program = "{ dup 0.8 mul 1 exch sub exch 0.5 mul 1 exch sub 1 }";
        return FourImages("O", "B",
                          {{orange, Faded(80, 1, kZero, tint)},
                           {blue, Faded(80, 1, kZero, tint)},
                           {orange + "/Decode [1 0]", Faded(80, 1, full, tint)},
                           {blue + "/Decode [0.25 0.75]", Faded(80, 1, kZero, tint)}},
                          {{9, "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", program, true}});
    }));
    rows->push_back(Row("devicen-image", [] {
        // Cyan across, magenta up, and a spot colour the transform mixes from half its yellow.
        const unsigned char cyanFull[3] = {255, 0, 0};
        auto inks = [](int c, int x, int y) { return c == 0 ? x * 3 : c == 1 ? y * 3 : 0; };
        auto spot = [](int c, int x, int y) { return c == 2 ? 20 + (x + y) * 3 / 2 : 0; };
        const std::string space = "/BitsPerComponent 8 /ColorSpace [/DeviceN [/Cyan /Magenta "
                                  "/Spot] /DeviceCMYK 9 0 R] ";
        return FourImages("N", "U",
                          {{space, Faded(80, 3, kZero, inks)},
                           {space, Faded(80, 3, kZero, spot)},
                           {space + "/Decode [1 0 0 1 0 1]", Faded(80, 3, cyanFull, inks)},
                           {space + "/Decode [0 1 0 1 0 0.5]", Faded(80, 3, kZero, spot)}},
                          {{9, "/FunctionType 4 /Domain [0 1 0 1 0 1] /Range [0 1 0 1 0 1 0 1]",
                            "{ 0.5 mul 0 }", true}});
    }));

    // JPEG data stored as R G B, which the PDF reads without a colour transform: once because
    // its decode parameters say so, once because its Adobe segment does (over parameters that
    // say otherwise).
    rows->push_back(Row("jpeg-color-transform-0", [] {
        return OnePage("<< /XObject << /Im 5 0 R >> >>", Place(160, 20, 20, "Im"),
                       {{5, Image(160, "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter "
                                       "/DCTDecode /DecodeParms << /ColorTransform 0 >>"),
                         testimg::MakeRgbJpeg(Photo(160), 160, 160, testimg::JPEG_RGB_UNMARKED), true}});
    }));
    rows->push_back(Row("jpeg-adobe-rgb", [] {
        return OnePage("<< /XObject << /Im 5 0 R >> >>", Place(160, 20, 20, "Im"),
                       {{5, Image(160, "/BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter "
                                       "[/DCTDecode] /DecodeParms [<< /ColorTransform 1 >>]"),
                         testimg::MakeRgbJpeg(Photo(160), 160, 160, testimg::JPEG_RGB_ADOBE), true}});
    }));
}

}  // namespace testpdf
