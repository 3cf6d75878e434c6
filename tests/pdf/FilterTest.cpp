#include "Pdf/PdfFilter.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

#include "Pdf/Limits.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "Pdf/PdfXref.h"
#include "PdfBuilder.h"
#include "Resources/PdfPageTree.h"
#include "TestUtil.h"

using testpdf::Ascii85Encode;
using testpdf::Deflate;
using testpdf::LzwEncode;
using testutil::StreamOf;

namespace {

// One object from its source text, or null for the empty text.
PdfObj* Obj(const std::string& text)
{
    if (text.empty())
        return nullptr;
    FILE* fp = StreamOf(text + " ]");
    char buf[256];
    PdfObj* arr = nullptr;
    PdfParseArray(&arr, fp, buf, sizeof buf);
    fclose(fp);
    PdfArray* a = static_cast<PdfArray*>(arr);
    PdfObj* item = a->count ? a->items[0] : nullptr;
    if (a->count)
        a->count = 0;
    delete arr;
    return item;
}

std::string Text(const ByteBuffer& b)
{
    return b.data ? std::string((const char*)b.data, (size_t)b.size) : std::string();
}

// A page tree on an empty document: enough for filters that need no object.
struct Chain {
    Chain() : tree(&xref) {}
    std::string Decode(const std::string& filter, const std::string& data, int length, int* result)
    {
        PdfObj* f = Obj(filter);
        FILE* fp = StreamOf(data);
        ByteBuffer out;
        tree.DecodeFilters(fp, f, length, &out, result);
        fclose(fp);
        delete f;
        std::string s = Text(out);
        free(out.data);
        return s;
    }
    PdfXref xref = {};
    PdfPageTree tree;
};

std::string Sample(size_t n)
{
    std::string s;
    unsigned v = 12345;
    while (s.size() < n) {
        v = v * 1103515245u + 12345u;
        s += "word" + std::to_string((v >> 16) % 97) + ((v >> 8) % 5 ? " " : "\n");
    }
    return s.substr(0, n);
}

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "not really a jpeg" + std::string("\xFF\xD9", 2);

TEST(Filters, Chain)
{
    std::string text = Sample(100000);
    struct Case { const char* name; std::string filter; std::string data; std::string want; int result; };
    const Case cases[] = {
        {"no filter", "", "raw bytes", "raw bytes", 1},
        {"name without text", "/", "raw bytes", "raw bytes", 1},
        {"flate", "/FlateDecode", Deflate(text), text, 1},
        {"ascii85", "/ASCII85Decode", Ascii85Encode("Hello World!"), "Hello World!", 1},
        {"lzw", "/LZWDecode", LzwEncode(text), text, 1},
        {"ascii85 then flate", "[/ASCII85Decode /FlateDecode]", Ascii85Encode(Deflate(text)), text, 1},
        {"ascii85 then lzw", "[/ASCII85Decode /LZWDecode]", Ascii85Encode(LzwEncode(text)), text, 1},
        {"dct passes through", "/DCTDecode", kJpeg, kJpeg, 0},
        {"flate then dct", "[/FlateDecode /DCTDecode]", Deflate(kJpeg), kJpeg, 0},
        {"unknown filter", "/RunLengthDecode", "abc", "", 1},
        {"unknown filter in the middle", "[/FlateDecode /RunLengthDecode /ASCII85Decode]", Deflate("z~>"), "", 1},
        {"empty array", "[]", "abc", "", 1},
        {"not a name", "17", "abc", "", 1},
        {"truncated flate keeps what decoded", "/FlateDecode", Deflate(text).substr(0, 2000), "", 1},
        {"corrupt flate", "/FlateDecode", "this is not zlib", "", 1},
    };
    Chain chain;
    for (const Case& c : cases) {
        int result = -1;
        std::string got = chain.Decode(c.filter, c.data, (int)c.data.size(), &result);
        if (std::string(c.name).find("truncated") == 0) {
            EXPECT_GT(got.size(), 0u) << c.name;
            EXPECT_EQ(got, text.substr(0, got.size())) << c.name;
        } else {
            EXPECT_EQ(got, c.want) << c.name;
        }
        EXPECT_EQ(result, c.result) << c.name;
    }
}

TEST(Filters, RawLengthIsBoundedByTheFile)
{
    Chain chain;
    const struct { int length; const char* want; } cases[] = {
        {3, "abc"},
        {1 << 30, "abcdef"},  // only the bytes actually read count
        {-5, ""},
        {0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chain.Decode("", "abcdef", c.length, nullptr), c.want) << c.length;
        EXPECT_EQ(chain.Decode("/DCTDecode", "abcdef", c.length, nullptr), c.want) << c.length;
    }
}

TEST(Filters, Ascii85)
{
    struct Case { const char* data; std::string want; };
    const Case cases[] = {
        {"87cURD]i,\"Ebo80~>", "Hello World!"},
        {"0etOA2)[A~>", "1234567"},  // 9 digits: 4 + 3 bytes
        {"z~>", std::string(4, '\0')},
        {"z87cUR~>", std::string(4, '\0') + "Hell"},
        {"87 cU\nRD]i\t,\"Ebo80~ >", "Hello World!"},
        {"87cURD]i,\"Ebo8\x7f", "Hello Wo"},  // a bad character ends the data
        {"87cURD]i,\"Ebo8", "Hello Wo"},      // no end marker: the partial group is lost
        {"87cURD~>", "Hell"},                 // one leftover digit gives nothing
        {"87cUR!z~>", "Hell"},                // 'z' inside a group ends the data
        {"87cURD]~x", "Hell"},                // '~' without '>'
        {"s8W-!~>", "\xff\xff\xff\xff"},
    };
    Chain chain;
    for (const Case& c : cases)
        EXPECT_EQ(chain.Decode("/ASCII85Decode", c.data, (int)strlen(c.data), nullptr), c.want) << c.data;
}

// Codes of `width` bits each, most significant bit first.
std::string Codes(const std::vector<int>& codes, int width = 9)
{
    std::string out;
    unsigned long acc = 0;
    int bits = 0;
    for (int code : codes) {
        acc = (acc << width) | (unsigned)code;
        bits += width;
        while (bits >= 8) {
            out += (char)((acc >> (bits - 8)) & 0xff);
            bits -= 8;
        }
    }
    if (bits)
        out += (char)((acc << (8 - bits)) & 0xff);
    return out;
}

TEST(Filters, Lzw)
{
    std::string text = Sample(300000);  // several dictionary fills
    std::string noise;
    unsigned v = 7;
    for (int i = 0; i < 60000; i++) {
        v = v * 1103515245u + 12345u;
        noise += (char)(v >> 24);
    }
    struct Case { const char* name; std::string data; std::string want; };
    const Case cases[] = {
        {"the reference example", std::string("\x80\x0B\x60\x50\x22\x0C\x0C\x85\x01", 9), "-----A---B"},
        {"without a leading clear", LzwEncode("-----A---B", false), "-----A---B"},
        {"widths 9 to 12 and clears", LzwEncode(text), text},
        {"random bytes", LzwEncode(noise), noise},
        {"full dictionary without clear", LzwEncode(text, true, true, false), text},
        {"no end code", LzwEncode(text, true, false), text},
        {"code after a clear adds nothing", Codes({65, 66, 256, 67, 258, 257}), "ABCCC"},
        {"code beyond the dictionary ends", Codes({65, 66, 300, 67, 257}), "AB"},
        {"first code not a byte ends", Codes({258, 65, 257}), ""},
        {"code equal to next entry", Codes({65, 259 - 1, 257}), "AAA"},
        {"empty", "", ""},
    };
    Chain chain;
    for (const Case& c : cases) {
        std::string got = chain.Decode("/LZWDecode", c.data, (int)c.data.size(), nullptr);
        EXPECT_EQ(got.size(), c.want.size()) << c.name;
        EXPECT_TRUE(got == c.want) << c.name;
    }
}

TEST(Filters, LzwBeyondFullDictionaryWithRandomCodes)
{
    // Every code after the first adds an entry until the dictionary is full; the widths
    // follow. Past 4096 entries random codes keep decoding at 12 bits.
    std::string data;
    unsigned long acc = 0;
    int bits = 0;
    unsigned v = 99;
    const int n = 9000;
    for (int j = 0; j < n; j++) {
        int next = j == 0 ? 258 : 258 + (j - 1);
        int width = next < 511 ? 9 : next < 1023 ? 10 : next < 2047 ? 11 : 12;
        v = v * 1103515245u + 12345u;
        int limit = next > LZW_MAX_CODES ? LZW_MAX_CODES : next;
        int code = j == 0 ? 65 : (int)((v >> 8) % (unsigned)limit);
        if (code == 256 || code == 257)
            code = 66;
        acc = (acc << width) | (unsigned)code;
        bits += width;
        while (bits >= 8) {
            data += (char)((acc >> (bits - 8)) & 0xff);
            bits -= 8;
        }
    }
    Chain chain;
    std::string got = chain.Decode("/LZWDecode", data, (int)data.size(), nullptr);
    EXPECT_GE(got.size(), (size_t)n);
}

// Codes that each add an entry until the dictionary holds LZW_MAX_CODES entries, then the
// codes of a case, all at 12 bits: the last entry decodes, and codes past the full
// dictionary add nothing (were 4095 replaced, or the width grew to 13, the text would change).
TEST(Filters, LzwDictionaryStopsAtItsLimit)
{
    struct Case { const char* what; std::vector<int> tail; size_t want; };
    const int fill = LZW_MAX_CODES - 258;  // "A" after "A" adds "AA" each time
    const Case cases[] = {
        {"the last entry", {LZW_MAX_CODES - 1, 'A'}, (size_t)(1 + fill + 2 + 1)},
        {"codes past the full dictionary",
         {'B', 258, 'B', LZW_MAX_CODES - 1, 'A'}, (size_t)(1 + fill + 1 + 2 + 1 + 2 + 1)},
    };
    for (const Case& c : cases) {
        std::vector<int> codes(1 + fill, 'A');
        codes.insert(codes.end(), c.tail.begin(), c.tail.end());
        std::string data;
        unsigned long acc = 0;
        int bits = 0;
        for (size_t j = 0; j < codes.size(); j++) {
            int next = j == 0 ? 258 : 258 + (int)(j - 1);
            int width = next < 511 ? 9 : next < 1023 ? 10 : next < 2047 ? 11 : 12;
            acc = (acc << width) | (unsigned)codes[j];
            bits += width;
            while (bits >= 8) {
                data += (char)((acc >> (bits - 8)) & 0xff);
                bits -= 8;
            }
        }
        if (bits)
            data += (char)((acc << (8 - bits)) & 0xff);
        Chain chain;
        std::string got = chain.Decode("/LZWDecode", data, (int)data.size(), nullptr);
        std::string want(c.want, 'A');
        if (c.tail[0] == 'B')
            want.replace((size_t)(1 + fill), 1, "B").replace((size_t)(1 + fill + 3), 1, "B");
        EXPECT_EQ(got.size(), want.size()) << c.what;
        EXPECT_TRUE(got == want) << c.what;
    }
}

// A document with streams whose data offsets are known once they are parsed.
struct StreamDoc {
    explicit StreamDoc(const std::string& payload) : payload(payload)
    {
        testpdf::PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        b.Object(3, "/FlateDecode");
        b.Stream(4, "/Filter /FlateDecode", Deflate(payload));
        b.Stream(5, "/Filter [/ASCII85Decode /LZWDecode]", Ascii85Encode(LzwEncode(payload)));
        b.Object(6, "/DCTDecode");
        b.Stream(7, "/Filter /FlateDecode", "definitely not zlib data");
        b.ClassicXref();
        path = dir.file("doc.pdf");
        b.Write(path);
        xref = new PdfXref();
        rc = xref->Load(&fp, &path[0]);
        char buf[PDF_PARSE_BUF];
        for (int n : {4, 5, 7}) {
            PdfObj* obj = nullptr;
            ParseIndirectObject(&obj, xref, n, 0, buf, sizeof buf);
            PdfDict* d = static_cast<PdfDict*>(obj);
            length[n] = static_cast<PdfNumber*>(d->entries[0].value)->value;
            delete obj;
        }
    }
    ~StreamDoc()
    {
        delete xref->trailer;
        delete xref->root;
        free(xref->entries);
        ReleaseObjectMemo(xref);
        fclose(fp);
        delete xref;
    }
    testutil::TempDir dir;
    std::string payload, path;
    PdfXref* xref;
    FILE* fp = nullptr;
    int rc;
    int length[8] = {};
};

TEST(Filters, DirectRoutinesTakeAReferenceOrANumber)
{
    StreamDoc doc(Sample(20000));
    ASSERT_EQ(doc.rc, 0);
    struct Case { const char* obj; int rc; };
    const Case cases[] = {
        {"4 0 R", 0}, {"4", 0}, {"/Four", -1}, {"4.0", -1}, {"(4)", -1}, {"999", -1}, {"-1", -1}, {"", -1},
    };
    for (const Case& c : cases) {
        PdfObj* obj = Obj(c.obj);
        std::string out = doc.dir.file("flate.bin");
        EXPECT_EQ(DecodeFlate(doc.xref, obj, &out[0], doc.length[4], 1), c.rc) << c.obj;
        if (c.rc == 0) {
            EXPECT_EQ(testutil::ReadFile(out), doc.payload + "\nendstream") << c.obj;
        }
        std::vector<char> mem(doc.payload.size());
        EXPECT_EQ(DecodeFlateToMem(doc.xref, obj, mem.data(), doc.length[4], (int)mem.size()), c.rc) << c.obj;
        EXPECT_EQ(ExtractStream(doc.xref, obj, &out[0], doc.length[4]), c.rc) << c.obj;
        delete obj;
    }
}

TEST(Filters, DirectRoutines)
{
    StreamDoc doc(Sample(20000));
    ASSERT_EQ(doc.rc, 0);
    PdfNumber four, five, seven;
    four.value = 4;
    five.value = 5;
    seven.value = 7;
    std::string out = doc.dir.file("out.bin");

    EXPECT_EQ(DecodeFlate(doc.xref, &four, &out[0], doc.length[4], 0), 0);
    EXPECT_EQ(testutil::ReadFile(out), doc.payload);
    // A cut stream ends with what inflated; damaged data fails.
    EXPECT_EQ(DecodeFlate(doc.xref, &four, &out[0], doc.length[4] / 2, 0), 0);
    std::string part = testutil::ReadFile(out);
    EXPECT_EQ(part, doc.payload.substr(0, part.size()));
    EXPECT_EQ(DecodeFlate(doc.xref, &seven, &out[0], doc.length[7], 0), -1);
    EXPECT_EQ(DecodeFlate(doc.xref, &four, &out[0], 1 << 30, 0), 0);  // bounded by the file
    EXPECT_EQ(DecodeFlate(doc.xref, &four, &out[0], -3, 1), 0);
    EXPECT_EQ(testutil::ReadFile(out), "\nendstream");

    // Into memory: the first outSize bytes and nothing past the buffer.
    std::vector<char> mem(100 + 8, '#');
    EXPECT_EQ(DecodeFlateToMem(doc.xref, &four, mem.data(), doc.length[4], 100), 0);
    EXPECT_EQ(std::string(mem.data(), 100), doc.payload.substr(0, 100));
    EXPECT_EQ(std::string(mem.data() + 100, 8), "########");
    EXPECT_EQ(DecodeFlateToMem(doc.xref, &seven, mem.data(), doc.length[7], 100), -1);

    EXPECT_EQ(ExtractStream(doc.xref, &four, &out[0], doc.length[4]), 0);
    EXPECT_EQ(testutil::ReadFile(out), Deflate(doc.payload));

    EXPECT_EQ(DecodeLZWASCII85(doc.xref, &five, &out[0], doc.length[5], 1), 0);
    EXPECT_EQ(testutil::ReadFile(out), doc.payload + "endstream");

    char noDir[] = "/nonexistent/dir/out.bin";
    EXPECT_EQ(DecodeFlate(doc.xref, &four, noDir, doc.length[4], 0), -1);
    EXPECT_EQ(ExtractStream(doc.xref, &four, noDir, doc.length[4]), -1);
}

TEST(Filters, ChainResolvesReferencesAndWritesFiles)
{
    StreamDoc doc("some content 0 0 m 1 1 l S");
    ASSERT_EQ(doc.rc, 0);
    PdfPageTree tree(doc.xref);
    std::string out = doc.dir.file("stream.tmp");
    struct Case { const char* filter; bool endstream; std::string want; };
    const Case cases[] = {
        {"[3 0 R]", true, doc.payload + "\nendstream"},
        {"3 0 R", false, doc.payload},
        {"/FlateDecode", false, doc.payload},
        {"[9 0 R]", true, "\nendstream"},  // a reference to nothing: no stage output
        {"/RunLengthDecode", false, ""},   // the file is written even when empty
    };
    for (const Case& c : cases) {
        PdfObj* filter = Obj(c.filter);
        remove(out.c_str());
        pdfseek(doc.fp, doc.xref->entries[4].streamOffset, SEEK_SET);
        EXPECT_EQ(tree.DecodeFiltersToFile(doc.fp, filter, doc.length[4], &out[0], c.endstream), 0);
        EXPECT_TRUE(testutil::FileExists(out)) << c.filter;
        EXPECT_EQ(testutil::ReadFile(out), c.want) << c.filter;
        delete filter;
    }

    const struct { const char* filter; bool dct; } dct[] = {
        {"/DCTDecode", true},   {"[/DCTDecode /FlateDecode]", true}, {"[/FlateDecode /DCTDecode]", false},
        {"/FlateDecode", false}, {"6 0 R", true},                   {"[6 0 R]", true},
        {"[]", false},           {"", false},                        {"17", false},
    };
    for (const auto& c : dct) {
        PdfObj* filter = Obj(c.filter);
        EXPECT_EQ(tree.IsDCTFilter(filter), c.dct) << c.filter;
        delete filter;
    }
    delete tree.pagesRoot;
}

// A zlib stream of n zero bytes, made piece by piece: a few hundred kilobytes that stand for
// hundreds of megabytes.
std::string DeflatedZeros(size_t n)
{
    z_stream zs = {};
    deflateInit(&zs, 9);
    std::vector<unsigned char> zeros(1 << 20), chunk(1 << 16);
    std::string out;
    int ret = Z_OK;
    while (ret != Z_STREAM_END) {
        size_t piece = n < zeros.size() ? n : zeros.size();
        zs.next_in = zeros.data();
        zs.avail_in = (uInt)piece;
        n -= piece;
        do {
            zs.next_out = chunk.data();
            zs.avail_out = (uInt)chunk.size();
            ret = deflate(&zs, n == 0 ? Z_FINISH : Z_NO_FLUSH);
            out.append((const char*)chunk.data(), chunk.size() - zs.avail_out);
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    return out;
}

TEST(Filters, DecodedStreamIsCutAtTheCap)
{
    // Before the cap and the doubling growth this took hours: every 32 KiB of output copied
    // the whole buffer once more.
    std::string bomb = DeflatedZeros((size_t)PDF_MAX_STREAM_BYTES + (16 << 20));
    Chain chain;
    for (const char* filter : {"/FlateDecode", "[/FlateDecode /DCTDecode]"}) {
        PdfObj* f = Obj(filter);
        FILE* fp = StreamOf(bomb);
        ByteBuffer out;
        chain.tree.DecodeFilters(fp, f, (int)bomb.size(), &out, nullptr);
        fclose(fp);
        delete f;
        EXPECT_EQ(out.size, (int)PDF_MAX_STREAM_BYTES) << filter;
        ASSERT_NE(out.data, nullptr);
        EXPECT_EQ(out.data[0] | out.data[out.size / 2] | out.data[out.size - 1], 0) << filter;
        free(out.data);
    }
}

TEST(Filters, ByteBufferGrowth)
{
    ByteBuffer b;
    b.growStep = 1024;
    char chunk[700] = {};
    EXPECT_EQ(b.Append(chunk, 700), 0);
    EXPECT_EQ(b.capacity, 1024);
    EXPECT_EQ(b.Append(chunk, 700), 0);
    EXPECT_EQ(b.capacity, 2048);
    EXPECT_EQ(b.Append(chunk, 0), 0);
    EXPECT_EQ(b.size, 1400);
    b.size = 2147483000;  // pretend: the next append would pass the int range
    EXPECT_EQ(b.Append(chunk, 700), -1);
    b.size = 1400;
    free(b.data);
}

}  // namespace
