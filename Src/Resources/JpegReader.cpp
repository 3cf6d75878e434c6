#include "Resources/JpegReader.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

#include "Pdf/Limits.h"
#include "Resources/ColorSpace.h"

namespace {

// One decompression on the heap: after a library error jumps back, the records hold what the
// library left in them, which locals of the jumping frame would not be guaranteed to.
struct ReadJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    jmp_buf jump;
    unsigned char* row;
    unsigned char* out;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    longjmp(((ReadJob*)cinfo->client_data)->jump, 1);
}

// Standard output may carry the package and standard error only the one message of a
// failure: the library's warnings about damaged data go nowhere.
void Quiet(j_common_ptr) {}

}  // namespace

void DecodeMap(double const* decode, int count, SampleMap map)
{
    for (int c = 0; c < 4; c++) {
        double lo = 0, hi = 1;
        if (decode && count >= 8) {
            lo = decode[2 * c];
            hi = decode[2 * c + 1];
        }
        for (int v = 0; v < 256; v++) {
            double x = (lo + v * (hi - lo) / 255) * 255;
            map[c][v] = (unsigned char)(x <= 0 ? 0 : x >= 255 ? 255 : (int)(x + 0.5));
        }
    }
}

// No object with a destructor may live in this frame: a library error jumps back into it.
unsigned char* CmykJpegToRgb(const unsigned char* data, int size, const SampleMap map,
                             int* width, int* height)
{
    if (!data || size <= 0 || !width || !height)
        return nullptr;
    ReadJob* job = (ReadJob*)calloc(1, sizeof(ReadJob));
    if (!job)
        return nullptr;
    job->cinfo.err = jpeg_std_error(&job->jerr);
    job->jerr.error_exit = ErrorExit;
    job->jerr.output_message = Quiet;
    job->cinfo.client_data = job;
    if (setjmp(job->jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        free(job->row);
        free(job->out);
        free(job);
        return nullptr;
    }
    jpeg_create_decompress(&job->cinfo);
    jpeg_decompress_struct* cinfo = &job->cinfo;
    // Coefficient buffers of a progressive image beyond this have no backing store to go to:
    // the library then fails instead of allocating them.
    cinfo->mem->max_memory_to_use = JPEG_MAX_DECODER_BYTES;
    jpeg_mem_src(cinfo, data, (unsigned long)size);
    jpeg_read_header(cinfo, TRUE);

    const uint64_t w = cinfo->image_width, h = cinfo->image_height;
    const uint64_t pixels = w * h;
    if (cinfo->num_components != 4 || pixels == 0 || pixels > IMAGE_MAX_PIXELS ||
        pixels > (uint64_t)size * JPEG_MAX_PIXELS_PER_BYTE)
        longjmp(job->jump, 1);
    cinfo->out_color_space = JCS_CMYK;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 4 || cinfo->output_width != w || cinfo->output_height != h)
        longjmp(job->jump, 1);
    job->row = (unsigned char*)malloc((size_t)w * 4);
    job->out = (unsigned char*)malloc((size_t)pixels * 3);
    if (!job->row || !job->out)
        longjmp(job->jump, 1);
    unsigned char* o = job->out;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = job->row;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1)
            break;  // no more data: the library does not suspend on memory input
        for (uint64_t x = 0; x < w; x++, o += 3) {
            unsigned char cmyk[4];
            for (int c = 0; c < 4; c++)
                cmyk[c] = map[c][job->row[x * 4 + c]];
            CmykToRgb(cmyk, o);
        }
    }
    // The library makes up the rows of data that end early; should it give fewer rows, the
    // rest are white, as no ink.
    for (unsigned char* end = job->out + pixels * 3; o < end; o++)
        *o = 255;
    jpeg_abort_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    unsigned char* out = job->out;
    *width = (int)w;
    *height = (int)h;
    free(job->row);
    free(job);
    return out;
}
