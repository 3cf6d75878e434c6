// PNG output for decoded pixel buffers: a small encoder over libpng and one free function per
// kind of buffer the image extraction produces.
#ifndef VARDEX_RESOURCES_PNGWRITER_H
#define VARDEX_RESOURCES_PNGWRITER_H

#include <cstdint>
#include <cstdio>
#include <png.h>

// Pixel formats of the encoder:
//   0  gray, 1 byte per pixel                    -> PNG gray
//   1  R G B, 3 bytes per pixel                  -> PNG RGB
//   2  R G B A, 4 bytes per pixel                -> PNG RGBA
//   3  as 1
//   4  packed 1-bit gray, most significant first -> PNG gray, depth 1
//   5  packed 1-bit mask, set bit transparent    -> PNG RGBA (white)
//   6  alpha, 1 byte per pixel                   -> PNG RGBA (black)
//   any other: as 1
class PNG_SurfaceEncoder {
public:
    PNG_SurfaceEncoder();
    explicit PNG_SurfaceEncoder(int format);
    ~PNG_SurfaceEncoder();

    PNG_SurfaceEncoder(const PNG_SurfaceEncoder&) = delete;
    PNG_SurfaceEncoder& operator=(const PNG_SurfaceEncoder&) = delete;

    // Opens `path` and writes the header chunks for a width × height image whose rows start at
    // `pixels`. 1 on success; 0 when the sizes are refused (0, or beyond what libpng accepts),
    // the file cannot be created or libpng fails, and then nothing stays open.
    int StartImage(char* path, char* pixels, unsigned int width, unsigned int height,
                   unsigned int bitDepth);
    // Write the next `rows` rows; 1 while no error occurred. After an error the image is
    // already abandoned (structures destroyed, file closed) and further calls do nothing.
    int WriteScanlines(unsigned int rows);
    int Write1BppScanlines(unsigned int rows);
    // Finishes the file and destroys the libpng structures; 1 when no error occurred.
    int EndImage();

    // libpng callbacks. ErrorHandler never returns into libpng: it jumps back to the encoder
    // operation that called the library.
    static void ErrorHandler(png_structp png, png_const_charp message);
    static void WriteData(png_structp png, png_bytep data, size_t length);

    unsigned char* expandBuffer;  // one RGBA row, formats 5 and 6 only
    bool interlace;               // Adam7, not for formats 0, 5 and 6; rows then go once per pass
    png_structp png;
    png_infop info;
    FILE* file;
    unsigned int width;
    unsigned int height;
    unsigned int bitDepth;
    int format;
    char* pixels;
    bool error;
    bool spare;

private:
    size_t RowBytes() const;
    unsigned char* SourceRow();
    void Abandon();

    unsigned int rowCount;  // rows handed to libpng so far (all passes)
    unsigned int passes;    // 7 for an interlaced image, else 1
};

// Each writes a whole image and closes the file; the result is always 0 (a file that could not
// be written is simply missing or incomplete). Sizes of 0 or below, or beyond libpng's limits,
// write nothing.
int ImageBufToPNG(char* path, void* pixels, int width, int height, int unused);
int ImageBufToPNGGray(char* path, char* pixels, int width, int height);
// R G B A pixels, 4 bytes each (images under a colour-key mask).
int ImageBufToPNGRgba(char* path, char* pixels, int width, int height);
// Black pixels whose alpha is the mask byte (soft masks).
int ImageBufToPNGAlpha(char* path, char* mask, int width, int height);
// Packed 1-bit rows of (width + 7) / 8 bytes: a set bit becomes transparent white, a clear bit
// opaque white (the opacity mask of an inline image).
int Image1BppBufToPNGGray(char* path, char* bits, int width, int height);
// Packed 1-bit rows of (width + 7) / 8 bytes written as a 1-bit gray PNG.
int ImageBufToPNGBilevel(char* path, char* bits, int width, int height);

#endif
