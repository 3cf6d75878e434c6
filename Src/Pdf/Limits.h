// Named limits of the PDF side. Every number a file supplies is checked against one of
// these before it sizes an allocation or drives a loop.
#ifndef VARDEX_PDF_LIMITS_H
#define VARDEX_PDF_LIMITS_H

enum {
    // Slots of the live-object registry (indices 0 to 65000); the cursor wraps after the last.
    PDF_REGISTRY_SLOTS = 65001,

    // Deepest nesting of arrays and dictionaries the object parser follows; a container
    // opened below it is returned empty, as if its closing token had come at once.
    PDF_MAX_NESTING = 256,

    // Token buffer of the cross-reference object, the page tree and content streams.
    PDF_PARSE_BUF = 4096,

    // The trailer's Size: the entry table holds 1 to this many entries.
    XREF_MAX_SIZE = 8388607,

    // Bytes at the end of the file searched for "startxref".
    XREF_TAIL_BYTES = 1024,

    // Cross-reference sections followed through Prev before the walk gives up.
    XREF_MAX_SECTIONS = 1000,

    // Largest width of one field of a cross-reference stream record, in bytes.
    XREF_MAX_FIELD_WIDTH = 8,

    // One record of a classic cross-reference table.
    XREF_RECORD_BYTES = 20,

    // Codes of the LZW dictionary; at this many the dictionary stops growing.
    LZW_MAX_CODES = 4096,

    // Bytes one buffer of the filter chain holds, raw or decoded (256 MiB): what a stream
    // decodes to beyond it is dropped, so a few kilobytes of Flate or LZW cannot ask for
    // gigabytes.
    PDF_MAX_STREAM_BYTES = 256 * 1024 * 1024,

    // -- Object structure: cross-reference entries, parsed objects, dictionaries, page tree.

    // -- Images and colour spaces.

    // Pixels (Width x Height) of one image or soft mask decoded to PNG: an image beyond it is
    // left out whole, before anything is allocated for it.
    IMAGE_MAX_PIXELS = 1 << 26,

    // A stream shorter than its image's declared size is padded to that size only when the
    // size is at most this many times what the stream decoded to; shorter data leaves the
    // image out, so a few bytes cannot ask for the whole declared block.
    IMAGE_MAX_PAD_FACTOR = 4,

    // Marker segments walked in search of the frame header that makes DCT data decodable.
    JPEG_MAX_HEADER_SEGMENTS = 1024,

    // -- Work of one page: nested content streams, markup written, markup nesting.

    // -- Files and folders.

    // Longest name of a file a conversion writes into its temporary folder: the longest made
    // is an inline image's, "IMG_IL_" + a 7-digit object number + "_" + a 4-digit count +
    // ".png" (23 bytes); the rest is headroom.
    TMP_MAX_FILE_NAME = 32,

    // Longest path of a conversion's own temporary folder (226 bytes): with a separator and a
    // name of TMP_MAX_FILE_NAME bytes every file in it still fits a 260-byte path buffer. A
    // folder that leaves less room is refused before anything is converted.
    TMP_MAX_FOLDER = 260 - 1 - 1 - TMP_MAX_FILE_NAME,

    // -- Fonts and text.

    // -- Colour: functions, shadings, colour conversion.

    // Samples (the product of Size times the outputs) of one sampled function; a larger
    // table is refused before anything is read for it.
    FUNCTION_MAX_SAMPLES = 1 << 22,

    // Inputs of a sampled function: one evaluation blends 2^inputs samples.
    FUNCTION_MAX_SAMPLED_INPUTS = 8,

    // Inputs or outputs of any function (and components of a colour in any space).
    FUNCTION_MAX_COMPONENTS = 32,

    // Pieces of one stitching function.
    FUNCTION_MAX_PIECES = 1024,

    // Operators, operands and braces of a calculator program; a longer program is refused.
    FUNCTION_MAX_PROGRAM = 8192,

    // Operand stack of a calculator program; a program that overflows it gives no result.
    FUNCTION_MAX_STACK = 100,

    // Calculator instructions and sample lookups that evaluating functions may take in one
    // conversion; past it every evaluation gives its zeros at once, so a page that sets a
    // colour through the largest program millions of times still ends quickly.
    FUNCTION_MAX_WORK = 1 << 26,

    // Stitching functions inside one another, and braces inside one another in a calculator
    // program; deeper structures (and any that refers to itself) are refused.
    FUNCTION_MAX_DEPTH = 16,

    // Colour spaces inside one another (an Indexed base, a tint transform's alternate).
    COLOURSPACE_MAX_DEPTH = 4,

    // Gradient stops one shading gives; sampled curves are spread over them.
    SHADING_MAX_STOPS = 512,

    PDF_LIMITS_END
};

#endif
