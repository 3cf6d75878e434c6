// Rewrites the TrueType program of a PDF font into a standalone font file the package can
// carry: every table copied on a 4-byte boundary under a new directory; a font without
// "OS/2" gets one, a name table built from the PDF font name and a Windows cmap made from a
// lone Macintosh subtable; a font without "cmap" gets an identity symbol cmap.
//
// An OpenType program with CFF outlines is rewritten the same way and keeps its flavour.
//
// The program comes out of the PDF and is checked whole before anything is written: a
// directory, table range, head, maxp or cmap subtable that does not hold up, units per em
// that readers refuse, no glyphs, or a missing head, hhea, hmtx, maxp or outline table (glyf
// and loca, or CFF), fails WriteNewFont, and then no file is left behind.
#ifndef VARDEX_RESOURCES_FONTS_TRUETYPEWRITER_H
#define VARDEX_RESOURCES_FONTS_TRUETYPEWRITER_H

#include <cstddef>
#include <cstdio>
#include <vector>

// One table-directory record exactly as in the file: every field big-endian.
struct TT_Table {
    unsigned char tag[4];
    unsigned char checkSum[4];
    unsigned char offset[4];
    unsigned char length[4];
};

class TrueTypeWriter {
public:
    // `length` is the number of bytes at `sfnt` (the decoded font program).
    TrueTypeWriter(char* sfnt, size_t length);
    // Reads the sfnt from the stream's current position to its end, then seeks back.
    explicit TrueTypeWriter(FILE* file);
    ~TrueTypeWriter();
    TrueTypeWriter(const TrueTypeWriter&) = delete;
    TrueTypeWriter& operator=(const TrueTypeWriter&) = delete;

    // 0 when the whole file was written and closed; -1 when the program does not hold up
    // (then `refused` is set), the file cannot be created or a write fails (a partly written
    // file is removed).
    int WriteNewFont(const char* path, const char* fontName);

    // needOS2 (needCmap) := 1 and 0 when no record has the tag, else 0 and 1.
    int CheckForOS2();
    int CheckForCMAP();

    // Host byte order, for nothing in the font itself.
    int WriteUShort(FILE* fp, unsigned short v);
    int WriteULong(FILE* fp, unsigned int v);
    // Not supported: -1.
    int WriteTrueTypeFont(int, char*);

    FILE* sourceFile;          // the stream given to the file constructor, else null
    unsigned short macStyle;   // head.macStyle
    unsigned short firstCode;  // first code of the converted Macintosh subtable
    unsigned short codeCount;  // number of codes it maps
    int sourceOffset;          // stream position of the sfnt (file constructor)
    unsigned int checksum;     // running sum for head.checkSumAdjustment
    unsigned short numTables;
    const char* fontName;      // not owned
    char* source;              // the sfnt in memory (owned only when read from a stream)
    TT_Table* records;         // copy of the source directory, owned
    int needOS2;
    int needCmap;
    int numGlyphs;             // maxp.numGlyphs
    int headOffset;            // where "head" went in the output; -1 when there is none
    bool refused;              // WriteNewFont found the program unfit for a font part

private:
    struct Segment {
        unsigned short start, end, delta;
    };

    bool CheckSource();
    bool CheckCmap(const unsigned char* cmap, size_t len);
    bool BuildSegments(const unsigned char* cmap);
    bool ConvertsCmap(const unsigned char* cmap) const;

    int WriteTable(FILE* fp, TT_Table* rec);
    int WriteNameTable(FILE* fp, TT_Table* rec, unsigned int*);
    int WriteNewOS2Table(FILE* fp, TT_Table* rec);
    int WriteNewCMapTable(FILE* fp, TT_Table* rec);
    int WriteCMapTable(FILE* fp, TT_Table* rec);
    int CopyTable(FILE* fp, TT_Table* rec);
    int Put(FILE* fp, const void* bytes, size_t n);
    int Pad(FILE* fp, size_t len);

    size_t sourceLength;
    bool ownsSource;
    bool failed;                    // a write went wrong
    std::vector<Segment> segments;  // the Windows segments of a converted Macintosh cmap
};

#endif
