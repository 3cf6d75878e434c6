#include "Resources/JpegReader.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    bool created;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    longjmp(((ReadJob*)cinfo->client_data)->jump, 1);
}

// Standard output may carry the package and standard error only the one message of a
// failure: the library's warnings about damaged data go nowhere.
void Quiet(j_common_ptr) {}

void Release(ReadJob* job)
{
    if (job->created)
        jpeg_destroy_decompress(&job->cinfo);
    free(job->row);
    free(job->out);
    free(job);
}

ReadJob* NewJob()
{
    ReadJob* job = (ReadJob*)calloc(1, sizeof(ReadJob));
    if (!job)
        return nullptr;
    job->cinfo.err = jpeg_std_error(&job->jerr);
    job->jerr.error_exit = ErrorExit;
    job->jerr.output_message = Quiet;
    job->cinfo.client_data = job;
    return job;
}

// After the job's jump point is set: the headers read, and the colour space the data are
// stored in set as the PDF reads it. The caller's setjmp catches what the library raises.
void ReadHeaders(ReadJob* job, const unsigned char* data, int size, int colorTransform)
{
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    jpeg_decompress_struct* cinfo = &job->cinfo;
    // Coefficient buffers of a progressive image beyond this have no backing store to go to:
    // the library then fails instead of allocating them.
    cinfo->mem->max_memory_to_use = JPEG_MAX_DECODER_BYTES;
    jpeg_mem_src(cinfo, data, (unsigned long)size);
    jpeg_read_header(cinfo, TRUE);
    int n = cinfo->num_components;
    bool transformed = cinfo->saw_Adobe_marker ? cinfo->Adobe_transform != 0
                     : colorTransform != JPEG_TRANSFORM_UNSET ? colorTransform != 0
                     : n == 3;
    if (n == 3) {
        cinfo->jpeg_color_space = transformed ? JCS_YCbCr : JCS_RGB;
        cinfo->out_color_space = JCS_RGB;
    } else if (n == 4) {
        cinfo->jpeg_color_space = transformed ? JCS_YCCK : JCS_CMYK;
        cinfo->out_color_space = JCS_CMYK;
    } else if (n == 1) {
        cinfo->jpeg_color_space = JCS_GRAYSCALE;
        cinfo->out_color_space = JCS_GRAYSCALE;
    }
}

// What one run over JPEG data found: its frame, and the pixels when they were asked for.
struct JpegResult {
    unsigned char* pixels = nullptr;
    int width = 0, height = 0, comps = 0;
    bool transformed = false;
};

// Every row of `comps` samples goes through `convert` (null: copied as it is) into pixels of
// `outBytes` bytes (0: as many as the samples).
typedef void (*RowConvert)(const unsigned char* row, int width, unsigned char* out, const void* context);

// Reads the headers of JPEG data and, with `decode`, every row into r->pixels, a block of
// width × height pixels. false, nothing held, when the data do not decode, or, decoding, are
// not of `wantComps` components (0: 1, 3 or 4 are taken) or break a limit.
// No object with a destructor may live in this frame: a library error jumps back into it.
bool Run(const unsigned char* data, int size, int colorTransform, bool decode, int wantComps,
         int outBytes, RowConvert convert, const void* context, JpegResult* r)
{
    if (!data || size <= 0 || !r)
        return false;
    ReadJob* job = NewJob();
    if (!job)
        return false;
    if (setjmp(job->jump)) {
        Release(job);
        return false;
    }
    ReadHeaders(job, data, size, colorTransform);
    jpeg_decompress_struct* cinfo = &job->cinfo;
    const int n = cinfo->num_components;
    r->comps = n;
    r->transformed = cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_YCCK;
    if (!decode) {
        Release(job);
        return true;
    }
    const uint64_t w = cinfo->image_width, h = cinfo->image_height;
    const uint64_t pixels = w * h;
    if ((n != 1 && n != 3 && n != 4) || (wantComps != 0 && n != wantComps) || pixels == 0 ||
        pixels > IMAGE_MAX_PIXELS || pixels > (uint64_t)size * JPEG_MAX_PIXELS_PER_BYTE)
        longjmp(job->jump, 1);
    const int bytes = outBytes != 0 ? outBytes : n;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != n || cinfo->output_width != w || cinfo->output_height != h)
        longjmp(job->jump, 1);
    job->row = (unsigned char*)malloc((size_t)w * (size_t)n);
    job->out = (unsigned char*)malloc((size_t)pixels * (size_t)bytes);
    if (!job->row || !job->out)
        longjmp(job->jump, 1);
    unsigned char* o = job->out;
    const size_t rowOut = (size_t)w * (size_t)bytes;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = job->row;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1)
            break;  // no more data: the library does not suspend on memory input
        if (convert)
            convert(job->row, (int)w, o, context);
        else
            memcpy(o, job->row, rowOut);
        o += rowOut;
    }
    // The library makes up the rows of data that end early; should it give fewer rows, the
    // rest are white: no ink, full gray.
    unsigned char* end = job->out + pixels * (size_t)bytes;
    memset(o, n == 4 && !convert ? 0 : 255, (size_t)(end - o));
    jpeg_abort_decompress(cinfo);
    r->pixels = job->out;
    job->out = nullptr;
    r->width = (int)w;
    r->height = (int)h;
    Release(job);
    return true;
}

void CmykRowToRgb(const unsigned char* row, int width, unsigned char* out, const void* context)
{
    const SampleMap& map = *(const SampleMap*)context;
    for (int x = 0; x < width; x++, out += 3) {
        unsigned char cmyk[4];
        for (int c = 0; c < 4; c++)
            cmyk[c] = map[c][row[x * 4 + c]];
        CmykToRgb(cmyk, out);
    }
}

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

bool JpegColours(const unsigned char* data, int size, int colorTransform, int* comps,
                 bool* transformed)
{
    JpegResult r;
    if (!Run(data, size, colorTransform, false, 0, 0, nullptr, nullptr, &r))
        return false;
    if (comps)
        *comps = r.comps;
    if (transformed)
        *transformed = r.transformed;
    return true;
}

bool JpegNeedsDecoding(const unsigned char* data, int size, int colorTransform)
{
    int comps = 0;
    bool transformed = true;
    return JpegColours(data, size, colorTransform, &comps, &transformed) && comps == 3 &&
           !transformed;
}

unsigned char* DecodeJpeg(const unsigned char* data, int size, int colorTransform, int* width,
                          int* height, int* comps)
{
    JpegResult r;
    if (!width || !height || !Run(data, size, colorTransform, true, 0, 0, nullptr, nullptr, &r))
        return nullptr;
    *width = r.width;
    *height = r.height;
    if (comps)
        *comps = r.comps;
    return r.pixels;
}

unsigned char* CmykJpegToRgb(const unsigned char* data, int size, const SampleMap map,
                             int colorTransform, int* width, int* height)
{
    JpegResult r;
    if (!map || !width || !height ||
        !Run(data, size, colorTransform, true, 4, 3, CmykRowToRgb, map, &r))
        return nullptr;
    *width = r.width;
    *height = r.height;
    return r.pixels;
}
