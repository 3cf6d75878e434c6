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
    // Entries from which a dictionary keeps an index of its keys; smaller ones are searched
    // in order, which is as fast for them.
    PDF_DICT_INDEX_FROM = 16,

    // Entries of the cross-reference table beyond those the sections' records can account for:
    // the table holds at most XREF_TABLE_SLACK + XREF_ENTRIES_PER_RECORD entries per record
    // read (and no more than XREF_TABLE_SLACK + one per byte of the file), whatever Size or a
    // record's number claims. A record numbered past that is dropped.
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

    // -- Work of one page: nested content streams, markup written, markup nesting.

    // -- Files and folders.

    PDF_LIMITS_END
};

#endif
