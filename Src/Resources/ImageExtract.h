// Byte work of the image extraction: decoded samples brought to the one depth the writers
// take, and JPEG data made to show at the resolution the page markup assumes.
#ifndef VARDEX_RESOURCES_IMAGEEXTRACT_H
#define VARDEX_RESOURCES_IMAGEEXTRACT_H

#include <cstdint>

struct ByteBuffer;

// Bytes of `height` rows of `width` pixels of `comps` components at `bpc` bits, each row
// padded to a whole byte; -1 when a value is out of range (a size of 0 or below, components
// other than 1 to 4, a depth other than 1, 2, 4, 8 or 16) or the product does not fit in
// 32 bits.
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
