// Byte work of the image extraction: decoded samples brought to the one depth the writers
// take, and JPEG data made to show at the resolution the page markup assumes.
#ifndef VARDEX_RESOURCES_IMAGEEXTRACT_H
#define VARDEX_RESOURCES_IMAGEEXTRACT_H

#include <cstdint>

struct ByteBuffer;
struct FunctionWork;
struct PaintSpace;

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

#endif
