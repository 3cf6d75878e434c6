#include "Resources/PngWriter.h"

#include <climits>
#include <csetjmp>
#include <cstdlib>

#include "Pdf/FileAccess.h"

// Every operation that calls into libpng sets its own jump point first: libpng keeps one jump
// buffer per write structure, and the frame that owns it must still be live when an error
// jumps there. Nothing with a destructor lives in these frames, and state that must survive a
// jump is kept in the encoder, not in locals.

PNG_SurfaceEncoder::PNG_SurfaceEncoder() : PNG_SurfaceEncoder(1) {}

PNG_SurfaceEncoder::PNG_SurfaceEncoder(int fmt)
    : expandBuffer(nullptr), interlace(false), png(nullptr), info(nullptr), file(nullptr),
      width(0), height(0), bitDepth(0), format(fmt), pixels(nullptr), error(false),
      spare(false), rowCount(0), passes(1)
{
}

PNG_SurfaceEncoder::~PNG_SurfaceEncoder()
{
    if (png)
        EndImage();
    free(expandBuffer);
    expandBuffer = nullptr;
    if (file) {
        pdfclose(file);
        file = nullptr;
    }
}

size_t PNG_SurfaceEncoder::RowBytes() const
{
    switch (format) {
    case 0:
    case 6: return width;
    case 2: return (size_t)width * 4;
    case 4:
    case 5: return ((size_t)width + 7) / 8;
    default: return (size_t)width * 3;
    }
}

// Rows wrap around so that an interlaced image can be given once per pass.
unsigned char* PNG_SurfaceEncoder::SourceRow()
{
    return (unsigned char*)pixels + (size_t)(rowCount % height) * RowBytes();
}

void PNG_SurfaceEncoder::Abandon()
{
    if (png)
        png_destroy_write_struct(&png, info ? &info : nullptr);
    png = nullptr;
    info = nullptr;
    if (file)
        pdfclose(file);
    file = nullptr;
    free(expandBuffer);
    expandBuffer = nullptr;
}

int PNG_SurfaceEncoder::StartImage(char* path, char* pix, unsigned int w, unsigned int h,
                                   unsigned int depth)
{
    if (png)
        return 0;
    error = false;
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, ErrorHandler, nullptr);
    if (!png)
        return 0;
    if (setjmp(png_jmpbuf(png))) {
        Abandon();
        return 0;
    }
    // libpng would refuse these only in png_set_IHDR, after the file exists and the expand
    // row is allocated; refuse them before anything is made.
    if (w == 0 || h == 0 || w > png_get_user_width_max(png) ||
        h > png_get_user_height_max(png) || !pix) {
        png_destroy_write_struct(&png, nullptr);
        png = nullptr;
        return 0;
    }
    if (pdfcreatfile(&file, path) != 0) {
        file = nullptr;
        png_destroy_write_struct(&png, nullptr);
        png = nullptr;
        return 0;
    }
    info = png_create_info_struct(png);
    if (!info) {
        Abandon();
        return 0;
    }
    width = w;
    height = h;
    bitDepth = depth;
    pixels = pix;
    rowCount = 0;
    passes = 1;
    if (format == 5 || format == 6) {
        // Only the row being written is ever expanded.
        free(expandBuffer);
        expandBuffer = (unsigned char*)malloc((size_t)w * 4);
        if (!expandBuffer) {
            Abandon();
            return 0;
        }
    }
    png_set_write_fn(png, this, WriteData, nullptr);

    png_color_8 sig;
    sig.red = sig.green = sig.blue = sig.gray = sig.alpha = (png_byte)depth;
    png_set_sBIT(png, info, &sig);
    png_set_pHYs(png, info, 3779, 3779, PNG_RESOLUTION_METER);

    int colorType;
    switch (format) {
    case 0:
    case 4: colorType = PNG_COLOR_TYPE_GRAY; break;
    case 2:
    case 5:
    case 6: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
    default: colorType = PNG_COLOR_TYPE_RGB; break;
    }
    bool adam7 = interlace && format != 0 && format != 5 && format != 6;
    png_set_IHDR(png, info, w, h, (int)depth, colorType,
                 adam7 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // Rows of 8 and 16 bits try three filters, not all five: Average and Paeth cost most of
    // libpng's own time and win little (about 2 % larger parts on photographs, smaller ones
    // on flat drawings); leaving them out saves about a sixth of an image page's conversion.
    if (depth >= 8)
        png_set_filter(png, PNG_FILTER_TYPE_BASE,
                       PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP);
    png_write_info(png, info);
    if (adam7)
        passes = (unsigned int)png_set_interlace_handling(png);
    return error ? 0 : 1;
}

int PNG_SurfaceEncoder::WriteScanlines(unsigned int rows)
{
    if (format == 5 || format == 6)
        return Write1BppScanlines(rows);
    if (!png || error)
        return 0;
    if (setjmp(png_jmpbuf(png))) {
        Abandon();
        return 0;
    }
    for (unsigned int i = 0; i < rows && !error && rowCount < height * passes; i++) {
        png_write_row(png, SourceRow());
        rowCount++;
    }
    return error ? 0 : 1;
}

int PNG_SurfaceEncoder::Write1BppScanlines(unsigned int rows)
{
    static const unsigned char bta[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
    if (!png || error || !expandBuffer)
        return 0;
    if (setjmp(png_jmpbuf(png))) {
        Abandon();
        return 0;
    }
    for (unsigned int i = 0; i < rows && !error && rowCount < height * passes; i++) {
        const unsigned char* src = SourceRow();
        for (unsigned int x = 0; x < width; x++) {
            unsigned char* px = expandBuffer + (size_t)x * 4;
            if (format == 6) {
                px[0] = px[1] = px[2] = 0;
                px[3] = src[x];
            } else {
                px[0] = px[1] = px[2] = 255;
                px[3] = (src[x / 8] & bta[x % 8]) ? 0 : 255;
            }
        }
        png_write_row(png, expandBuffer);
        rowCount++;
    }
    return error ? 0 : 1;
}

int PNG_SurfaceEncoder::EndImage()
{
    if (!png)
        return 0;
    if (setjmp(png_jmpbuf(png))) {
        Abandon();
        return 0;
    }
    free(expandBuffer);
    expandBuffer = nullptr;
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    png = nullptr;
    info = nullptr;
    int closed = pdfclose(file);
    file = nullptr;
    // A file that lost its tail on close, or an image missing rows, is not a written image.
    return (!error && closed == 0 && rowCount == height * passes) ? 1 : 0;
}

void PNG_SurfaceEncoder::ErrorHandler(png_structp p, png_const_charp)
{
    PNG_SurfaceEncoder* enc = (PNG_SurfaceEncoder*)png_get_error_ptr(p);
    if (enc)
        enc->error = true;
    png_longjmp(p, 1);
}

void PNG_SurfaceEncoder::WriteData(png_structp p, png_bytep data, size_t length)
{
    PNG_SurfaceEncoder* enc = (PNG_SurfaceEncoder*)png_get_io_ptr(p);
    while (length > 0) {
        int chunk = length > (size_t)INT_MAX ? INT_MAX : (int)length;
        if (!enc || pdfwrite(enc->file, data, chunk) != chunk)
            png_error(p, "Write Error");
        data += chunk;
        length -= (size_t)chunk;
    }
}

namespace {

// The sizes every free function accepts; the encoder checks the same limits again.
bool DimensionsOk(int width, int height)
{
    return width > 0 && height > 0 && width <= PNG_USER_WIDTH_MAX && height <= PNG_USER_HEIGHT_MAX;
}

// One whole image from memory in one of the encoder's formats.
int WholeImage(int format, char* path, char* pixels, int width, int height, unsigned depth)
{
    if (!DimensionsOk(width, height) || !pixels)
        return 0;
    PNG_SurfaceEncoder enc(format);
    if (enc.StartImage(path, pixels, (unsigned)width, (unsigned)height, depth)) {
        if (format == 5)
            enc.Write1BppScanlines((unsigned)height);
        else
            enc.WriteScanlines((unsigned)height);
    }
    enc.EndImage();
    return 0;
}

}  // namespace

int ImageBufToPNG(char* path, void* pixels, int width, int height, int)
{
    return WholeImage(1, path, (char*)pixels, width, height, 8);
}

int ImageBufToPNGGray(char* path, char* pixels, int width, int height)
{
    return WholeImage(0, path, pixels, width, height, 8);
}

int ImageBufToPNGRgba(char* path, char* pixels, int width, int height)
{
    return WholeImage(2, path, pixels, width, height, 8);
}

// Each row is expanded to RGBA only as it is written.
int ImageBufToPNGAlpha(char* path, char* mask, int width, int height)
{
    return WholeImage(6, path, mask, width, height, 8);
}

int Image1BppBufToPNGGray(char* path, char* bits, int width, int height)
{
    return WholeImage(5, path, bits, width, height, 8);
}

int ImageBufToPNGBilevel(char* path, char* bits, int width, int height)
{
    return WholeImage(4, path, bits, width, height, 1);
}
