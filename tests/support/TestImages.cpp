#include "TestImages.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <jpeglib.h>
#include <png.h>

namespace testimg {

const unsigned char kStripes[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

std::string StripeRgb(int width, int height)
{
    std::string px;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char* c = kStripes[x * 4 / width];
            px.append((const char*)c, 3);
        }
    return px;
}

// An Exif segment body: a big-endian TIFF header and IFD0 with X and Y resolution 72/1, inch.
static const unsigned char kExif72[] = {
    'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
    0, 3,
    0x01, 0x1A, 0, 5, 0, 0, 0, 1, 0, 0, 0, 50,
    0x01, 0x1B, 0, 5, 0, 0, 0, 1, 0, 0, 0, 58,
    0x01, 0x28, 0, 3, 0, 0, 0, 1, 0, 2, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 72, 0, 0, 0, 1, 0, 0, 0, 72, 0, 0, 0, 1};

// Compresses `pixels` (rows of width x components bytes in `space`) with libjpeg at quality
// 95; `setup` adjusts the compressor before it starts and `start` writes markers after.
std::string CompressJpeg(const std::string& pixels, int width, int height, int components,
                         J_COLOR_SPACE space, const std::function<void(jpeg_compress_struct&)>& setup,
                         const std::function<void(jpeg_compress_struct&)>& start)
{
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    setup(c);
    jpeg_start_compress(&c, TRUE);
    start(c);
    for (int y = 0; y < height; y++) {
        JSAMPROW row = (JSAMPROW)&pixels[(size_t)y * width * components];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string out((const char*)mem, size);
    free(mem);
    return out;
}

std::string MakeJpeg(JpegKind kind, int width, int height)
{
    return CompressJpeg(
        StripeRgb(width, height), width, height, 3, JCS_RGB,
        [kind](jpeg_compress_struct& c) {
            c.write_JFIF_header = kind == JPEG_JFIF_72DPI;
            c.density_unit = 1;
            c.X_density = 72;
            c.Y_density = 72;
            c.write_Adobe_marker = kind == JPEG_ADOBE;
        },
        [kind](jpeg_compress_struct& c) {
            if (kind == JPEG_EXIF)
                jpeg_write_marker(&c, JPEG_APP0 + 1, kExif72, sizeof kExif72);
        });
}

std::string MakeGrayJpeg(const std::string& gray, int width, int height)
{
    return CompressJpeg(gray, width, height, 1, JCS_GRAYSCALE, [](jpeg_compress_struct&) {},
                        [](jpeg_compress_struct&) {});
}

std::string MakeRgbJpeg(const std::string& rgb, int width, int height, RgbJpegKind kind)
{
    return CompressJpeg(
        rgb, width, height, 3, JCS_RGB,
        [kind](jpeg_compress_struct& c) {
            if (kind != JPEG_YCC_JFIF)
                jpeg_set_colorspace(&c, JCS_RGB);
            for (int i = 0; i < c.num_components; i++) {
                c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
                if (kind == JPEG_RGB_UNMARKED)
                    c.comp_info[i].component_id = i + 1;
            }
            c.write_JFIF_header = kind == JPEG_YCC_JFIF;
            c.write_Adobe_marker = kind == JPEG_RGB_ADOBE;
        },
        [](jpeg_compress_struct&) {});
}

const unsigned char kCmykStripes[4][4] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {0, 0, 0, 128}};
const unsigned char kCmykStripesRgb[4][3] = {{0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {127, 127, 127}};

std::string StripeCmyk(int width, int height, bool inverted)
{
    std::string px;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < 4; c++) {
                unsigned char v = kCmykStripes[x * 4 / width][c];
                px += (char)(inverted ? 255 - v : v);
            }
    return px;
}

std::string MakeCmykJpeg(int width, int height, bool inverted, bool ycck, bool progressive)
{
    return CompressJpeg(
        StripeCmyk(width, height, inverted), width, height, 4, JCS_CMYK,
        [ycck, progressive](jpeg_compress_struct& c) {
            if (ycck)
                jpeg_set_colorspace(&c, JCS_YCCK);
            for (int i = 0; i < c.num_components; i++)
                c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
            if (progressive)
                jpeg_simple_progression(&c);
            c.write_Adobe_marker = TRUE;
        },
        [](jpeg_compress_struct&) {});
}

struct JumpingError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

JpegHeader ReadJpegHeader(const std::string& bytes)
{
    JpegHeader h;
    jpeg_decompress_struct d;
    JumpingError err;
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr c) { longjmp(((JumpingError*)c->err)->jump, 1); };
    jpeg_create_decompress(&d);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&d, (const unsigned char*)bytes.data(), bytes.size());
        jpeg_read_header(&d, TRUE);
        h.jfif = d.saw_JFIF_marker;
        h.adobe = d.saw_Adobe_marker;
        h.unit = d.density_unit;
        h.xDensity = d.X_density;
        h.yDensity = d.Y_density;
        h.width = d.image_width;
        h.height = d.image_height;
        h.ok = true;
    }
    jpeg_destroy_decompress(&d);
    return h;
}

Png ReadPng(const std::string& path)
{
    Png p;
    png_image img;
    memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return p;
    img.format = PNG_FORMAT_RGBA;
    p.width = img.width;
    p.height = img.height;
    p.rgba.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, p.rgba.data(), 0, nullptr)) {
        png_image_free(&img);
        return p;
    }
    p.ok = true;
    return p;
}

bool Near(const unsigned char* px, const unsigned char* rgb, int tolerance)
{
    for (int i = 0; i < 3; i++)
        if (abs((int)px[i] - (int)rgb[i]) > tolerance)
            return false;
    return true;
}

}  // namespace testimg
