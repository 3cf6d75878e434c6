// Decoding of the JPEG data this system cannot pass through: four-component (CMYK) images,
// which the package's image formats cannot carry, become R G B pixels.
#ifndef VARDEX_RESOURCES_JPEGREADER_H
#define VARDEX_RESOURCES_JPEGREADER_H

// Per channel, what each decoded byte stands for: an image's Decode array as a table.
typedef unsigned char SampleMap[4][256];

// Fills `map` from a Decode array of four pairs (null or malformed: the identity).
void DecodeMap(double const* decode, int count, SampleMap map);

// Decodes JPEG data of four components (CMYK as stored, or YCCK, which the library turns
// back into CMYK) into a malloc block of width × height R G B pixels: each byte goes through
// `map` and then CmykToRgb. Null, nothing held, when the data do not decode, have other than
// four components, or ask for more than the limits allow: pixels beyond IMAGE_MAX_PIXELS or
// beyond JPEG_MAX_PIXELS_PER_BYTE for each byte of data, decoder memory beyond
// JPEG_MAX_DECODER_BYTES. Data that end early leave the rest of the image as the library
// makes it up; the library's warnings are not printed.
unsigned char* CmykJpegToRgb(const unsigned char* data, int size, const SampleMap map,
                             int* width, int* height);

#endif
