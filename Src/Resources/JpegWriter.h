// Baseline JPEG output for RGB or gray pixel buffers, through libjpeg with the program's own
// destination manager and error exit.
#ifndef VARDEX_RESOURCES_JPEGWRITER_H
#define VARDEX_RESOURCES_JPEGWRITER_H

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

// The client record of one compression, reached through the compressor's client data.
struct JPEG_Encoder {
    bool error;
    unsigned char* buffer;  // 4096 bytes
    FILE* file;
    int written;            // bytes written to the file so far (stops counting at INT_MAX)
    jmp_buf jump;           // where a library error goes: the frame of ImageBufToDCT

    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);
    // The error exit: never returns into libjpeg.
    [[noreturn]] static void ErrorHandler(j_common_ptr cinfo);
};

// Writes width × height pixels (3 bytes each, or 1 with `gray`) as a JPEG of quality 80.
// 0 when the image was written; -1 when the sizes are refused (0 or below, or beyond the
// library's limit), the file cannot be created, or the library fails (an incomplete file may
// remain).
int ImageBufToDCT(char* path, char* pixels, int width, int height, int gray);

#endif
