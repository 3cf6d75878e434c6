#include "Resources/JpegWriter.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <jerror.h>

#include "Pdf/FileAccess.h"

namespace {

enum { DCT_BUFFER_SIZE = 4096 };

// Everything one compression needs, on the heap: after a library error jumps back, the
// records still hold what the library left in them, which locals of the jumping frame would
// not be guaranteed to.
struct DctJob {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    jpeg_destination_mgr dest;
    JPEG_Encoder enc;
};

JPEG_Encoder* EncoderOf(j_compress_ptr cinfo)
{
    return (JPEG_Encoder*)cinfo->client_data;
}

void AddWritten(JPEG_Encoder* enc, int n)
{
    enc->written = enc->written > INT_MAX - n ? INT_MAX : enc->written + n;
}

}  // namespace

void JPEG_Encoder::InitDestination(j_compress_ptr cinfo)
{
    JPEG_Encoder* enc = EncoderOf(cinfo);
    cinfo->dest->next_output_byte = enc->buffer;
    cinfo->dest->free_in_buffer = DCT_BUFFER_SIZE;
}

boolean JPEG_Encoder::EmptyOutputBuffer(j_compress_ptr cinfo)
{
    JPEG_Encoder* enc = EncoderOf(cinfo);
    // A short write must not look like suspension: it is an error of the image.
    if (pdfwrite(enc->file, enc->buffer, DCT_BUFFER_SIZE) != DCT_BUFFER_SIZE)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    AddWritten(enc, DCT_BUFFER_SIZE);
    cinfo->dest->next_output_byte = enc->buffer;
    cinfo->dest->free_in_buffer = DCT_BUFFER_SIZE;
    return TRUE;
}

void JPEG_Encoder::TermDestination(j_compress_ptr cinfo)
{
    JPEG_Encoder* enc = EncoderOf(cinfo);
    int n = DCT_BUFFER_SIZE - (int)cinfo->dest->free_in_buffer;
    if (n <= 0)
        return;
    if (pdfwrite(enc->file, enc->buffer, n) != n)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    AddWritten(enc, n);
}

void JPEG_Encoder::ErrorHandler(j_common_ptr cinfo)
{
    JPEG_Encoder* enc = (JPEG_Encoder*)cinfo->client_data;
    enc->error = true;
    longjmp(enc->jump, 1);
}

// No object with a destructor may live in this frame: a library error jumps back into it
// straight out of libjpeg.
int ImageBufToDCT(char* path, char* pixels, int width, int height, int gray)
{
    if (width <= 0 || height <= 0 || width > (int)JPEG_MAX_DIMENSION ||
        height > (int)JPEG_MAX_DIMENSION || !pixels)
        return -1;
    DctJob* job = (DctJob*)calloc(1, sizeof(DctJob));
    if (!job)
        return -1;
    if (pdfcreatfile(&job->enc.file, path) != 0) {
        free(job);
        return -1;
    }
    job->cinfo.err = jpeg_std_error(&job->jerr);
    job->jerr.error_exit = JPEG_Encoder::ErrorHandler;
    job->cinfo.client_data = &job->enc;
    if (setjmp(job->enc.jump)) {
        jpeg_destroy_compress(&job->cinfo);
        free(job->enc.buffer);
        pdfclose(job->enc.file);
        free(job);
        return -1;
    }
    jpeg_create_compress(&job->cinfo);

    jpeg_compress_struct* cinfo = &job->cinfo;
    cinfo->image_width = (JDIMENSION)width;
    cinfo->image_height = (JDIMENSION)height;
    cinfo->input_components = gray ? 1 : 3;
    cinfo->in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, 80, TRUE);
    cinfo->data_precision = 8;
    cinfo->comp_info[0].h_samp_factor = 2;
    cinfo->comp_info[0].v_samp_factor = 2;
    if (!gray) {
        cinfo->comp_info[1].h_samp_factor = cinfo->comp_info[1].v_samp_factor = 1;
        cinfo->comp_info[2].h_samp_factor = cinfo->comp_info[2].v_samp_factor = 1;
    }

    job->enc.buffer = (unsigned char*)malloc(DCT_BUFFER_SIZE);
    if (!job->enc.buffer)
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    job->dest.init_destination = JPEG_Encoder::InitDestination;
    job->dest.empty_output_buffer = JPEG_Encoder::EmptyOutputBuffer;
    job->dest.term_destination = JPEG_Encoder::TermDestination;
    cinfo->dest = &job->dest;

    jpeg_start_compress(cinfo, TRUE);
    size_t rowBytes = (size_t)width * (size_t)cinfo->input_components;
    for (int y = 0; y < height && !job->enc.error; y++) {
        JSAMPROW row = (JSAMPROW)(pixels + (size_t)y * rowBytes);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    free(job->enc.buffer);
    int closed = pdfclose(job->enc.file);
    free(job);
    // The last bytes reach the file only on close.
    return closed == 0 ? 0 : -1;
}
