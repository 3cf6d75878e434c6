// Images for tests: a JPEG of each kind of header, written with libjpeg, and a PNG reader for
// probing the pixels of what a writer or a reader produced.
#ifndef VARDEX_TESTS_TESTIMAGES_H
#define VARDEX_TESTS_TESTIMAGES_H

#include <string>
#include <vector>

namespace testimg {

// The stripe colours, left to right, of StripeRgb and of the test JPEGs.
extern const unsigned char kStripes[4][3];

// width × height RGB pixels in four vertical stripes: red, green, blue, yellow.
std::string StripeRgb(int width, int height);

enum JpegKind {
    JPEG_JFIF_72DPI,  // a JFIF header with 72 dots per inch
    JPEG_EXIF,        // no JFIF header; an Exif segment saying 72 dpi
    JPEG_ADOBE        // no JFIF header; an Adobe segment
};
// The stripe image of width × height as a JPEG with that header.
std::string MakeJpeg(JpegKind kind, int width, int height);

// CMYK stripes, left to right: cyan, magenta, yellow, half black; and the R G B each shows
// without colour management (the complement of each channel plus black).
extern const unsigned char kCmykStripes[4][4];
extern const unsigned char kCmykStripesRgb[4][3];

// width × height CMYK pixels in those four stripes; with `inverted` every byte is 255 - v.
std::string StripeCmyk(int width, int height, bool inverted = false);

// The CMYK stripe image as a JPEG of four components with an Adobe segment; with `ycck` the
// data are stored in the YCCK transform, and with `progressive` as a progressive scan series.
std::string MakeCmykJpeg(int width, int height, bool inverted = false, bool ycck = false,
                         bool progressive = false);

// width × height gray samples as a JPEG of one component with a JFIF header.
std::string MakeGrayJpeg(const std::string& gray, int width, int height);

// width × height R G B pixels as a JPEG of three components (quality 95, no subsampling).
enum RgbJpegKind {
    JPEG_YCC_JFIF,       // stored as YCbCr under a JFIF header: what every reader reads alike
    JPEG_RGB_ADOBE,      // stored as R G B; an Adobe segment says so (transform flag 0)
    JPEG_RGB_UNMARKED    // stored as R G B with no JFIF or Adobe segment, and components
                         // numbered 1, 2, 3 as a YCbCr file's are: only the PDF can tell
};
std::string MakeRgbJpeg(const std::string& rgb, int width, int height, RgbJpegKind kind);

// What libjpeg reads from a JPEG's headers; ok false when it does not decode.
struct JpegHeader {
    bool ok = false;
    bool jfif = false, adobe = false;
    int unit = -1, xDensity = -1, yDensity = -1;
    int width = 0, height = 0;
};
JpegHeader ReadJpegHeader(const std::string& bytes);

// A PNG file as 8-bit RGBA rows; ok false when it does not read.
struct Png {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
    const unsigned char* At(int x, int y) const { return &rgba[((size_t)y * width + x) * 4]; }
};
Png ReadPng(const std::string& path);

// Whether the pixel's colour is within `tolerance` of rgb in each channel.
bool Near(const unsigned char* px, const unsigned char* rgb, int tolerance = 40);

}  // namespace testimg

#endif
