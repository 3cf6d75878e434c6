// Byte work of the image extraction: decoded samples brought to the one depth the writers
// take, and JPEG data made to show at the resolution the page markup assumes.
#ifndef VARDEX_RESOURCES_IMAGEEXTRACT_H
#define VARDEX_RESOURCES_IMAGEEXTRACT_H

#include <cstdint>
#include <vector>

#include "Resources/PaintColour.h"

#include "Pdf/PdfFilter.h"

struct IndexColorSpace;
struct FunctionWork;

// Bytes of `height` rows of `width` pixels of `comps` components at `bpc` bits, each row
// padded to a whole byte; -1 when a value is out of range (a size of 0 or below, components
// other than 1 to FUNCTION_MAX_COMPONENTS, a depth other than 1, 2, 4, 8 or 16) or the
// product does not fit in 32 bits.
int64_t PackedImageBytes(int width, int height, int comps, int bpc);

// Unpacks packed rows (PackedImageBytes layout, srcSize bytes of them) into one byte per
// component: 1, 2 and 4-bit values are scaled to 0..255, 16-bit values keep their high byte.
// `dst` holds width × height × comps bytes; samples the source lacks become 0. 0, or -1 for
// sizes PackedImageBytes refuses.
int UnpackSamples(const unsigned char* src, int64_t srcSize, int width, int height, int comps,
                  int bpc, unsigned char* dst);

// Packed CMYK rows (PackedImageBytes layout with 4 components, srcSize bytes of them) as
// width × height R G B pixels in `rgb`: each sample brought to 8 bits, through `map` (an
// image's Decode, see JpegReader.h) and CmykToRgb. Samples the source lacks read as 0.
// 0, or -1 for sizes PackedImageBytes refuses.
int CmykRowsToRgb(const unsigned char* src, int64_t srcSize, int width, int height, int bpc,
                  const unsigned char map[4][256], unsigned char* rgb);

// The alpha of a colour-key mask into `alpha` (width × height bytes): 0 for a pixel each of
// whose samples, as stored at `bpc` bits, lies within its pair of `ranges` (a minimum and a
// maximum for every component), 255 for every other. Packed rows as PackedImageBytes lays
// them out, srcSize bytes of them; samples the source lacks read as 0. 0, or -1 for sizes
// PackedImageBytes refuses.
int KeyAlpha(const unsigned char* src, int64_t srcSize, int width, int height, int comps, int bpc,
             const long* ranges, unsigned char* alpha);

// Packed rows of samples in `space` (PackedImageBytes layout with space.comps components,
// srcSize bytes of them) as a malloc block of width × height pixels of *outComps bytes: gray
// (1) when the space paints every colour as gray, else R G B (3). Each sample, brought to 8
// bits, stands for a value of its Decode range (`decode`: a pair for every component, or null
// for the space's own: 0 to 1, and for Lab L 0 to 100 and its a and b ranges), and becomes the
// colour a fill in the space shows, its tint transform spending from `work`. Samples the
// source lacks read as 0. Null for sizes PackedImageBytes refuses, a block beyond
// PNG_MAX_BUFFER_BYTES, or no memory.
unsigned char* SpaceRowsToPixels(const unsigned char* src, int64_t srcSize, int width,
                                 int height, int bpc, const PaintSpace& space,
                                 const double* decode, FunctionWork* work, int* outComps);

// The rows of an image in `space` one at a time, converted as SpaceRowsToPixels converts them
// (the conversions that do not depend on the pixel are made once, for the whole image).
class SpaceRows {
public:
    SpaceRows(const PaintSpace& space, const double* decode, FunctionWork* work);
    // A packed row (`have` bytes of it there) into `out`, width pixels of outComps bytes.
    int Row(const unsigned char* src, int64_t have, int width, int bpc, unsigned char* out);
    int outComps = 3;

private:
    static void Bytes(const DeviceColour& colour, unsigned char* rgb);
    const PaintSpace& space;
    FunctionWork* work;
    std::vector<double> value;
    unsigned char table[256][3];
    std::vector<unsigned char> row;
};

// width × height pixels of `comps` bytes (1 gray, 3 R G B) with their alpha, as a malloc block
// of R G B A pixels; null for other counts, sizes of 0 or below, a block beyond
// PNG_MAX_BUFFER_BYTES, or no memory.
unsigned char* WithAlpha(const unsigned char* pixels, int comps, const unsigned char* alpha,
                         int width, int height);

// Whether data handed over as JPEG can be decoded by a reader at all: it starts with the
// start-of-image marker, and walking the marker segments from there (at most
// JPEG_MAX_HEADER_SEGMENTS of them, never past `size`) reaches a frame header (SOF0 to SOF15
// but for DHT, JPG and DAC) with a non-zero width, height and component count before any
// scan or end marker.
bool JpegHasFrame(const unsigned char* data, int size);

// The density readers take from a JPEG. The page markup maps an image's pixels onto its unit
// square on the assumption that the image is 96 dpi, and readers size it by what the file says.
enum { JPEG_MARKUP_DPI = 96 };

// Appends the JPEG data to `out` so that every reader sees 96 dpi: a leading JFIF header gets
// its density fields set (every other byte kept), a stream without one gets one inserted after
// the start marker, and the segments that readers prefer to it (Exif and Photoshop resolution,
// a second JFIF header) are left out. Data that does not begin with a JPEG start marker is
// copied unchanged. 0, or -1 when `out` cannot grow.
int JpegAt96Dpi(const unsigned char* data, int size, ByteBuffer* out);

// What an image's samples are drawn in: a device space the writers take (gray, RGB, or CMYK
// written as RGB), a palette, a space converted as its fills are, or, for a soft mask, the
// alpha of black.
struct ImageSpace {
    int comps = 0;                       // components of a sample; 0: no rendering here
    IndexColorSpace* indexed = nullptr;  // the palette of an indexed image (borrowed)
    PaintSpaceRef paint;                 // CalGray, CalRGB, Lab, Separation, DeviceN
    bool alpha = false;                  // one component: the alpha of black pixels
    FunctionWork* work = nullptr;        // the conversion's budget for tint transforms
};

// An image written as PNG a row at a time: each packed row (PackedImageBytes layout) is
// converted as it comes and goes to the file, so neither the samples nor the pixels of the
// whole image are held. Decode is a pair for each component, or null; `key`, when given, is a
// colour key (a minimum and a maximum for each component) whose pixels become transparent.
class ImageRowWriter {
public:
    ImageRowWriter(const char* path, int width, int height, int bpc, const ImageSpace& space,
                   const double* decode, int decodeCount, const long* key);
    ~ImageRowWriter();
    ImageRowWriter(const ImageRowWriter&) = delete;
    ImageRowWriter& operator=(const ImageRowWriter&) = delete;

    // Bytes of one packed row; -1 when the sizes or the space have no rendering here.
    int64_t RowBytes() const { return rowBytes_; }
    // The next row, `have` bytes of it there (what it lacks reads as 0): 0, or -1 when the
    // file could not be started or written (errno set).
    int Row(const unsigned char* packed, int64_t have);
    // Writes what rows are missing as zeros and ends the file: 0 once it is complete, -1
    // (errno set) when it is not, and then no file is left.
    int End();
    // Gives the image up: no file is left.
    void Abandon();
    int RowsWritten() const { return rows_; }

private:
    struct State;
    State* s_;
    int64_t rowBytes_;
    int rows_ = 0;
};

// The decoded data of an image XObject or soft mask as the filter chain makes them: JPEG data
// passed through are gathered whole in `jpeg`; any other data go to `rows` a row at a time,
// and only as many as the image needs are decoded. `need` is the image's packed size.
class ImageStream {
public:
    ImageStream(ImageRowWriter* rows, int64_t need) : rows_(rows), need_(need) {}
    ImageStream(const ImageStream&) = delete;
    ImageStream& operator=(const ImageStream&) = delete;
    ~ImageStream();

    FilterResult passed = 1;  // set by the chain before the first byte arrives
    ByteBuffer* jpeg;         // the caller's buffer for JPEG data
    int64_t have = 0;         // bytes of samples that arrived

    // The chain's sink: 0 to go on, 1 once the image has all its bytes, -1 when a row could
    // not be written.
    int Take(const unsigned char* p, int n);
    // After the chain: the last rows padded with zeros when the data justify it (at least a
    // quarter of the image, IMAGE_MAX_PAD_FACTOR) and the file ended; 0 once it is complete,
    // -1 otherwise (no file is left; *writeFailed tells a file that could not be written).
    int Finish(bool* writeFailed);

private:
    ImageRowWriter* rows_;
    int64_t need_;
    std::vector<unsigned char> row_;
    bool failed_ = false;
};

#endif
