// Decoding of the JPEG data this system cannot pass through: four-component (CMYK) images,
// which the package's image formats cannot carry, become R G B pixels; soft masks, images
// under a colour key or in a space readers do not know, and data whose colours the PDF reads
// otherwise than a reader of the file would, become samples for the PNG writers.
#ifndef VARDEX_RESOURCES_JPEGREADER_H
#define VARDEX_RESOURCES_JPEGREADER_H

// Per channel, what each decoded byte stands for: an image's Decode array as a table.
typedef unsigned char SampleMap[4][256];

// Fills `map` from a Decode array of four pairs (null or malformed: the identity).
void DecodeMap(double const* decode, int count, SampleMap map);

// How the PDF reads JPEG colours: the Adobe segment's transform flag when the data have one,
// else the /ColorTransform decode parameter (`colorTransform`, -1 when absent), else the
// transform for three components and none otherwise. A transform stores three components as
// YCbCr and four as YCCK.
enum { JPEG_TRANSFORM_UNSET = -1 };

// What the headers of JPEG data say: the component count and whether the PDF reads the
// colours through a transform. false when the headers do not decode.
bool JpegColours(const unsigned char* data, int size, int colorTransform, int* comps,
                 bool* transformed);

// Whether a reader of the data as a file would show other colours than the PDF: readers take
// three components of a file with a JFIF header (which every passed-through file gets) as
// YCbCr, so three components that the PDF reads without a transform must be decoded here.
bool JpegNeedsDecoding(const unsigned char* data, int size, int colorTransform);

// Decodes JPEG data into a malloc block of width × height pixels of *comps bytes each, the
// components as the PDF reads them: gray, R G B, or C M Y K as stored. Null, nothing held,
// when the data do not decode, have other than 1, 3 or 4 components, or ask for more than
// the limits allow: pixels beyond IMAGE_MAX_PIXELS or beyond JPEG_MAX_PIXELS_PER_BYTE for
// each byte of data, decoder memory beyond JPEG_MAX_DECODER_BYTES. Data that end early leave
// the rest of the image as the library makes it up; the library's warnings are not printed.
unsigned char* DecodeJpeg(const unsigned char* data, int size, int colorTransform, int* width,
                          int* height, int* comps);

// Decodes JPEG data of four components (CMYK, or YCCK as the PDF reads it) into a malloc
// block of width × height R G B pixels: each byte goes through `map` and then CmykToRgb.
// Null under the same conditions as DecodeJpeg, and for data of other than four components.
unsigned char* CmykJpegToRgb(const unsigned char* data, int size, const SampleMap map,
                             int colorTransform, int* width, int* height);

#endif
