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

    // Cross-reference sections followed through Prev before the walk gives up (each with at
    // most the one stream its XRefStm names).
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

    // -- Page-tree walk.
    // Deepest page-tree node the walk descends to; a node below it is treated like a cycle.
    PAGE_TREE_MAX_DEPTH = 64,

    // -- Content-stream interpreter: operands, saved states, inline images, nested runs.
    // Operands kept for one operator. An inline-image dictionary alone puts 18 on the stack;
    // what does not fit is dropped.
    CP_MAX_OPERANDS = 64,

    // Inline images drawn by one parser (a page, or one run of a nested stream); later ones
    // are passed over. Each image becomes a file and a record, so a page of thousands of
    // one-pixel images would otherwise write thousands of files.
    CP_MAX_INLINE_IMAGES = 4096,

    // Deepest q nesting; a q beyond it is ignored.
    CP_MAX_DEPTH = 1024,

    // Nested runs below one page. Deep enough for any real document; a file that nests
    // further (or loops) is drawn down to here and no further.
    NEST_MAX_LEVELS = 32,

    // Tiling cells drawn inside one another at most; a cell deeper down gets no brush.
    XPS_MAX_TILE_DEPTH = 8,

    // -- CIDFont widths.
    // Pairs a CIDFont's W array may give. CIDs are 16-bit, so one range never yields more than
    // FONT_MAX_RANGE_CIDS pairs; the whole array is cut at FONT_MAX_W_PAIRS.
    FONT_MAX_RANGE_CIDS = 65536,
    FONT_MAX_W_PAIRS = 16 * 65536,

    // -- Pixel buffers.
    // Largest pixel block allocated for one image (the RGB image expanded from an indexed one),
    // in bytes (1 GiB). Anything bigger is refused before allocating: a hostile Width x Height
    // must not turn into a giant or wrapped allocation.
    PNG_MAX_BUFFER_BYTES = 1 << 30,

    // -- Object structure: cross-reference entries, parsed objects, dictionaries, page tree.
    // Entries from which a dictionary keeps an index of its keys; smaller ones are searched
    // in order, which is as fast for them.
    PDF_DICT_INDEX_FROM = 16,

    // Entries of the cross-reference table beyond those the sections' records can account for:
    // the table holds at most XREF_TABLE_SLACK + XREF_ENTRIES_PER_RECORD entries per record
    // of the file's sections (all of them, counted before any is stored, each only when its
    // bytes are there: 20 for a classic record, the sum of the widths of decoded data for a
    // stream's), and no more than XREF_TABLE_SLACK + one per byte of the file, whatever Size,
    // a subsection header or a record's number claims. A record numbered past that is dropped.
    XREF_TABLE_SLACK = 65536,
    XREF_ENTRIES_PER_RECORD = 16,

    // White space allowed before an object's header "N G obj" and between its parts, in bytes;
    // and the digits of each of its numbers.
    PDF_OBJ_HEADER_SPACE = 32,
    PDF_OBJ_HEADER_DIGITS = 10,

    // Bytes that reading objects may take from the file over one conversion: each object is
    // read once, so a document reads about its own size; what objects share (data that several
    // headers lead into) counts for each of them. Past PDF_OBJ_READ_SLACK plus
    // PDF_OBJ_READ_PER_FILE_BYTE times the file's size, objects not yet read are absent.
    PDF_OBJ_READ_SLACK = 4 * 1024 * 1024,
    PDF_OBJ_READ_PER_FILE_BYTE = 4,

    // Objects the page-tree walk may copy into the pages it stores (each page's dictionary
    // and the values it inherits), counted one per number, name, string, array or
    // dictionary. Once spent, the walk stops and the pages stored so far are the document's.
    PAGE_TREE_MAX_COPIED = 2 * 1024 * 1024,

    // -- Images and colour spaces.

    // Pixels a JPEG decoded here (CMYK data, soft masks, colours a reader would misread) may
    // have for each byte of its data: a header that declares a huge frame over a few bytes is
    // refused before the pixel block is allocated. Blank areas of real images stay far below it.
    JPEG_MAX_PIXELS_PER_BYTE = 1024,

    // Memory the JPEG library may take for one decoded image (64 MiB) beyond its output: a
    // progressive image whose coefficients need more is refused.
    JPEG_MAX_DECODER_BYTES = 64 * 1024 * 1024,

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

    // Copies of one tiling cell drawn into a tile of the pattern's step size, where a cell
    // larger than the step overlaps its neighbours. A cell that would need more is drawn once
    // into its tile, clipped to its BBox.
    PAGE_MAX_TILE_COPIES = 64,

    // The three budgets of one page below each grow with the bytes its content holds: the
    // bytes that the content streams the page runs (its own, its forms, tiling cells and
    // Type 3 glyphs) take up in the file, each stream counted once however often it runs and
    // the whole never more than the file's size. A page of any size is drawn whole, while a
    // few kilobytes that run one another, or a small form drawn a million times, stay within
    // the fixed allowance. A page that reaches a budget keeps what it drew, and the
    // conversion says so in one line.

    // Tokens the content streams of one page may scan, operands and operators together, the
    // page's forms, tiling cells and Type 3 glyphs included: PAGE_MAX_CONTENT_TOKENS plus
    // PAGE_TOKENS_PER_HELD_BYTE for each byte held. Past it the page stops interpreting, so a
    // stream of millions of no-op operators that inflates from a few kilobytes ends. Content
    // that Flate packs tightly still gives far fewer than 16 tokens per byte packed.
    PAGE_MAX_CONTENT_TOKENS = 3 * 1000 * 1000,
    PAGE_TOKENS_PER_HELD_BYTE = 16,

    // Nested content streams (forms, tiling cells, Type 3 glyph procedures) run for one
    // page: PAGE_MAX_NESTED_RUNS plus PAGE_NESTED_RUNS_PER_HELD_BYTE for each byte held. Past
    // it the page draws no further nested content: streams that each run the next one
    // several times would otherwise run 2^depth streams inside the depth cap. Each run takes
    // a Do or a shown character of some stream, a byte or more of the file.
    PAGE_MAX_NESTED_RUNS = 10000,
    PAGE_NESTED_RUNS_PER_HELD_BYTE = 4,

    // Bytes of markup one page may write: PAGE_MAX_MARKUP_BYTES plus
    // PAGE_MARKUP_PER_HELD_BYTE for each byte held. Past it the page starts no new element,
    // only closes what is open, so a few kilobytes of content cannot write gigabytes. A
    // painted path is some hundred bytes of markup for the dozen its operators take, and a
    // shown character drawn as an outline about as much for one byte of text.
    PAGE_MAX_MARKUP_BYTES = 16 * 1024 * 1024,
    PAGE_MARKUP_PER_HELD_BYTE = 512,

    // Deepest element nesting of a page's markup, counting the page's own elements and the
    // deepest brush a drawing can carry: readers stop reading somewhat past 200. A clip or a
    // tiling cell that would nest deeper is not written as a canvas of its own.
    PAGE_MAX_MARKUP_DEPTH = 192,

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
    // Codes a ToUnicode map may assign, ranges and single codes together (16 times every
    // two-byte code): what a file lists beyond it is passed over, so overlapping ranges
    // cannot make reading the map take time out of proportion to what it can mean.
    FONT_MAX_TOUNICODE_CODES = 16 * 65536,

    // -- Colour: functions, shadings, colour conversion.
    // Width sets one font program keeps for the font dictionaries that share it with widths
    // of their own; dictionaries past it take the first dictionary's widths.
    FONT_MAX_WIDTH_SETS = 16,

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

    // Steps that evaluating and walking functions may take in one conversion: calculator
    // instructions, sample lookups, and the pieces of every stitching function a walk for a
    // gradient's breaks visits. Past it every evaluation gives its zeros at once and walks
    // stop where they are, so a page that sets a colour through the largest program millions
    // of times, or paints a gradient whose shared pieces fan out, still ends quickly.
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
