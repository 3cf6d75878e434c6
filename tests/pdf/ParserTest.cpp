#include "Pdf/PdfParser.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "PdfBuilder.h"
#include "TestUtil.h"

using testpdf::Describe;
using testutil::StreamOf;

namespace {

// Every token of `input` as "kind:text" (text only for kinds that fill the buffer).
std::string Tokens(const std::string& input, int size = 64)
{
    FILE* fp = StreamOf(input);
    std::vector<char> buf(size);
    std::string out;
    for (int guard = 0; guard < 100; guard++) {
        int len = -1;
        int kind = PdfLexicon(fp, buf.data(), size, &len);
        if (!out.empty())
            out += ' ';
        out += std::to_string(kind);
        if (kind >= TOK_NAME)
            out += ":" + std::string(buf.data(), (size_t)len);
        if (kind == TOK_EOF || kind == TOK_ERROR)
            break;
    }
    fclose(fp);
    return out;
}

TEST(Lexer, Tokens)
{
    struct Case { std::string input; std::string tokens; };
    const Case cases[] = {
        {"[ ] << >> { }", "2 3 4 5 6 7 1"},
        {"/Name /A#42C /A#4 /a#2", "8:Name 8:ABC 8:A#4 8:a#2 1"},
        {"/#4z", "8:@ 1"},  // a bad digit counts as 0
        {"12 -3 12.5 +.5 1-2 .", "9:12 9:-3 10:12.5 10:+.5 9:1-2 10:. 1"},
        {"R true false null obj endobj stream endstream", "13:R 14:true 15:false 16:null 17:obj 18:endobj 19:stream 20:endstream 1"},
        {"xref trailer startxref BT ID Tj", "21:xref 22:trailer 23:startxref 12:BT 12:ID 12:Tj 1"},
        {"T#4a", "12:TJ 1"},  // escapes are decoded in keywords too
        {"obj/Name(x)", "17:obj 8:Name 11:x 1"},
        {"% comment\r1 %another\n2", "9:1 9:2 1"},
        {"%only a comment", "1"},
        {"", "1"},
        {") 1", "0"},
        {"> 1", "0"},
        {"<<<>>>", "4 11: 5 1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Tokens(c.input), c.tokens) << c.input;
}

TEST(Lexer, StrayTokensConsumeAsSpecified)
{
    // ')' stays in the stream; a lone '>' takes the byte after it with it.
    FILE* fp = StreamOf(")>x7");
    char buf[16];
    int len;
    EXPECT_EQ(PdfLexicon(fp, buf, sizeof buf, &len), TOK_ERROR);
    EXPECT_EQ(fgetc(fp), ')');
    EXPECT_EQ(PdfLexicon(fp, buf, sizeof buf, &len), TOK_ERROR);
    EXPECT_EQ(PdfLexicon(fp, buf, sizeof buf, &len), TOK_INTEGER);
    EXPECT_STREQ(buf, "7");
    fclose(fp);
}

TEST(Lexer, LongTokensAreCut)
{
    EXPECT_EQ(Tokens("/abcdefg", 4), "8:abc 12:def 12:g 1");
    EXPECT_EQ(Tokens("1234567", 4), "9:123 9:456 9:7 1");
    EXPECT_EQ(Tokens("(abcdef)", 4), "11:abcd 12:ef 0");
    EXPECT_EQ(Tokens("<41424344>", 3), "11:ABC 9:44 0");

    // The buffer of the document's parsers: a name or string one byte shorter is whole; one
    // that fills it is cut there, and what follows is read as tokens of its own.
    const std::string text(PDF_PARSE_BUF - 1, 't');
    EXPECT_EQ(Tokens("/" + text, PDF_PARSE_BUF), "8:" + text + " 1");
    EXPECT_EQ(Tokens("/" + text + "x", PDF_PARSE_BUF), "8:" + text + " 12:x 1");
    EXPECT_EQ(Tokens("(" + text + ")", PDF_PARSE_BUF), "11:" + text + " 1");
    EXPECT_EQ(Tokens("(" + text + "x)", PDF_PARSE_BUF), "11:" + text + "x 0");
}

TEST(Lexer, Strings)
{
    struct Case { std::string input; std::string bytes; };
    const Case cases[] = {
        {"(a(b)c)", "a(b)c"},
        {"(\\101)", "A"},
        {"(\\8)", "8"},
        {"(\\0053)", std::string("\x05" "3")},
        {"(\\777)", "\xff"},
        {"(\\n\\r\\t\\b\\f\\(\\)\\\\)", "\n\r\t\b\f()\\"},
        {"(a\\\nb)", "ab"},
        {"(a\\\r\nb)", "ab"},
        {"(a\\\rb)", "ab"},
        {"(\\q)", "q"},
        {"(\\))", ")"},
        {"(a\r\nb)", "a\r\nb"},
        {"<4142 43>", "ABC"},
        {"<414>", "A@"},
        {"<4\n1>", "A"},
        {"<41x42>", "A"},
        {"<>", ""},
        {"<61", "a"},
        {"(ab", std::string("ab") + std::string(6, '\xff')},  // unclosed: 255 fill
    };
    for (const Case& c : cases) {
        FILE* fp = StreamOf(c.input);
        char buf[8];
        int len = -1;
        EXPECT_EQ(PdfLexicon(fp, buf, sizeof buf, &len), TOK_STRING) << c.input;
        EXPECT_EQ(std::string(buf, (size_t)len), c.bytes) << c.input;
        fclose(fp);
    }
}

TEST(Lexer, NumberValuesAreClamped)
{
    const struct { const char* text; int i; double d; } cases[] = {
        {"1-2", 1, 1.0},
        {"-17", -17, -17.0},
        {"+5", 5, 5.0},
        {"99999999999999999999", 2147483647, 1e20},
        {"-99999999999999999999", -2147483647 - 1, -1e20},
        {"--", 0, 0.0},
        {".5.5", 0, 0.5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lexint(c.text), c.i) << c.text;
        EXPECT_DOUBLE_EQ(lexreal(c.text), c.d) << c.text;
    }
    std::string huge(400, '9');
    EXPECT_TRUE(std::isfinite(lexreal(huge.c_str())));
}

// Parses text that follows its opening "[" or "<<"; also reports the next token.
std::string ParseAfterOpen(const std::string& input, bool dict, std::string* rest = nullptr)
{
    FILE* fp = StreamOf(input);
    char buf[256];
    PdfObj* obj = nullptr;
    if (dict)
        PdfParseDict(&obj, fp, buf, sizeof buf);
    else
        PdfParseArray(&obj, fp, buf, sizeof buf);
    std::string text = Describe(obj);
    delete obj;
    if (rest) {
        int len = 0;
        int kind = PdfLexicon(fp, buf, sizeof buf, &len);
        *rest = kind >= TOK_NAME ? std::string(buf, (size_t)len) : std::to_string(kind);
    }
    fclose(fp);
    return text;
}

TEST(Parser, Arrays)
{
    struct Case { const char* input; const char* tree; const char* rest; };
    const Case cases[] = {
        {"1 2 3] x", "[1 2 3]", "x"},
        {"1 0 R 2] x", "[1 0 R 2]", "x"},
        {"1 2 R] x", "[1 2 R]", "x"},
        {"1 2 3 R] x", "[1 2 3 R]", "x"},
        {"1 2 3 4 R 5 6 R]", "[1 2 3 4 R 5 6 R]", "1"},
        {"/A (s) 1.5 true false null [1 [2]] << /K 2 >> 7] x", "[/A (s) 1.5 true false null [1 [2]] <</K 2>> 7]", "x"},
        {"1 R 2] x", "[]", "2"},        // "R" after one integer ends the array
        {"1 2 >> 3", "[1 2]", "3"},     // any other token ends it, consumed
        {"1 2 BT 3", "[1 2]", "3"},
        {"1 2", "[1 2]", "1"},          // end of file
    };
    for (const Case& c : cases) {
        std::string rest;
        EXPECT_EQ(ParseAfterOpen(c.input, false, &rest), c.tree) << c.input;
        EXPECT_EQ(rest, c.rest) << c.input;
    }
}

TEST(Parser, Dictionaries)
{
    struct Case { const char* input; const char* tree; const char* rest; };
    const Case cases[] = {
        {"/A 1 /B 2 >> x", "<</A 1 /B 2>>", "x"},
        {"/A 1 0 R >> x", "<</A 1 0 R>>", "x"},
        {"/A 1 0 R /B 3 >> x", "<</A 1 0 R /B 3>>", "x"},
        {"/A 1 /A 2 >> x", "<</A 2>>", "x"},
        {"/W 8 /H 8 ID x", "<</W 8 /H 8>>", "x"},     // an inline image's dictionary
        {"/IM true ID x", "<</IM true>>", "x"},
        {"/A [1 2] /B << /C /D >> /E (t) /F 1.5 /G null >> x",
         "<</A [1 2] /B <</C /D>> /E (t) /F 1.5 /G null>>", "x"},
        {"/A 1 2 /B 3 >> x", "<<>>", "3"},            // two integers without "R"
        {"/A 1 BT >> x", "<<>>", "5"},
        {"/A >> x", "<<>>", "x"},
        {"1 /A 2 >>", "<<>>", "A"},
        {"/A 1", "<<>>", "1"},
        // Stream data written inside a dictionary is passed over, "endstream" and all.
        {"/N << /Length 0 >>\nstream\nendstream>> x", "<</N <</Length 0>>>>", "x"},
        {"/N << >> stream\nend>>stream endstrea endstream /B 2 >> x", "<</N <<>> /B 2>>", "x"},
        {"/N << >> stream\nnever ended", "<</N <<>>>>", "1"},
    };
    for (const Case& c : cases) {
        std::string rest;
        EXPECT_EQ(ParseAfterOpen(c.input, true, &rest), c.tree) << c.input;
        EXPECT_EQ(rest, c.rest) << c.input;
    }
}

int Depth(PdfObj* obj)
{
    int d = 0;
    while (obj) {
        d++;
        if (obj->Type() == PDF_ARRAY) {
            PdfArray* a = static_cast<PdfArray*>(obj);
            obj = a->count ? a->items[0] : nullptr;
        } else if (obj->Type() == PDF_DICT) {
            PdfDict* dict = static_cast<PdfDict*>(obj);
            obj = dict->count ? dict->entries[0].value : nullptr;
        } else {
            obj = nullptr;
        }
    }
    return d;
}

TEST(Parser, NestingIsCapped)
{
    struct Case { std::string input; bool dict; };
    const Case cases[] = {
        {std::string(1 << 20, '['), false},
        {[] {
             std::string s;
             for (int i = 0; i < 100000; i++)
                 s += "/A <<";
             return s;
         }(),
         true},
        {[] {
             std::string s;
             for (int i = 0; i < 100000; i++)
                 s += "<< /A [";
             return s;
         }(),
         false},
    };
    for (const Case& c : cases) {
        FILE* fp = StreamOf(c.input);
        char buf[64];
        PdfObj* obj = nullptr;
        if (c.dict)
            PdfParseDict(&obj, fp, buf, sizeof buf);
        else
            PdfParseArray(&obj, fp, buf, sizeof buf);
        ASSERT_NE(obj, nullptr);
        EXPECT_LE(Depth(obj), PDF_MAX_NESTING + 1);
        EXPECT_GE(Depth(obj), PDF_MAX_NESTING);
        delete obj;
        fclose(fp);
    }
}

// A table built by hand from the builder's offsets (the reader has its own tests).
struct Doc {
    explicit Doc(const testpdf::PdfBuilder& b, int extraSize = 0)
    {
        path = dir.file("doc.pdf");
        b.Write(path);
        xref = new PdfXref();
        xref->fp = fopen(path.c_str(), "rb");
        xref->size = b.Size() + extraSize;
        xref->entries = (XrefEntry*)calloc((size_t)xref->size, sizeof(XrefEntry));
        for (int n = 1; n < b.Size(); n++) {
            xref->entries[n].offset = (int)b.Offset(n);
            xref->entries[n].type = b.Offset(n) ? 'n' : 0;
        }
    }
    ~Doc()
    {
        fclose(xref->fp);
        free(xref->entries);
        ReleaseObjectMemo(xref);
        delete xref;
    }
    testutil::TempDir dir;
    std::string path;
    PdfXref* xref;
};

TEST(Parser, IndirectObjects)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "5 0 R");
    b.Object(3, "42");
    b.Object(4, "[1 2]");
    b.Object(5, "(text)");
    b.Object(6, "/Name");
    b.Object(7, "3.5");
    b.Object(8, "true");
    b.Object(9, "null");
    b.Raw("10 0 obj\n42 stream\nendobj\n");  // a lone integer before "stream"
    Doc doc(b);
    struct Case { int num; const char* tree; int objNum; };
    const Case cases[] = {
        {1, "<</Type /Catalog /Pages 2 0 R>>", 1},
        {2, "5 0 R", 0},
        {3, "42", 0},
        {4, "[1 2]", 4},
        {5, "(text)", 5},
        {6, "/Name", 6},
        {7, "3.5", 7},
        {8, "true", 8},
        {9, "null", 9},
    };
    char buf[PDF_PARSE_BUF];
    for (const Case& c : cases) {
        PdfObj* obj = nullptr;
        EXPECT_EQ(ParseIndirectObject(&obj, doc.xref, c.num, 0, buf, sizeof buf), 0);
        EXPECT_EQ(Describe(obj), c.tree) << c.num;
        if (obj) {
            EXPECT_EQ(obj->objNum, c.objNum) << c.num;
        }
        delete obj;
    }
}

TEST(Parser, StreamDataOffsetAfterEndOfLine)
{
    struct Case { const char* eol; int skip; };
    const Case cases[] = {
        {"\r\n", 2},
        {"\n", 1},
        {"\r", 1},  // CR alone: the byte after the CR
    };
    for (const Case& c : cases) {
        testpdf::PdfBuilder b;
        b.Stream(1, "", "DATA", 0, c.eol);
        Doc doc(b);
        char buf[PDF_PARSE_BUF];
        PdfObj* obj = nullptr;
        ParseIndirectObject(&obj, doc.xref, 1, 0, buf, sizeof buf);
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(obj->Type(), PDF_DICT);
        EXPECT_EQ(Describe(obj), "<</Length 4>>");
        std::string bytes = b.Bytes();
        size_t at = bytes.find("stream") + 6 + c.skip;
        EXPECT_EQ(doc.xref->entries[1].streamOffset, (int)at) << "eol " << strlen(c.eol);
        EXPECT_EQ(bytes.substr((size_t)doc.xref->entries[1].streamOffset, 4), "DATA");
        delete obj;
    }
}

TEST(Parser, UnusableEntriesParseNothing)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /A 1 >>");
    b.Object(2, "<< /B 2 >>");
    b.Object(3, "<< /C 3 >>");
    b.Raw("4 0 garbage\n");
    b.Object(5, "<< /E 5 >>");
    b.Raw("6 0 obj\n7 BT\nendobj\n");
    b.Object(7, "endobj");
    Doc doc(b);
    doc.xref->entries[2].type = 'f';
    doc.xref->entries[3].type = 'o';
    doc.xref->entries[4].offset = (int)b.Bytes().find("4 0 garbage");
    doc.xref->entries[4].type = 'n';
    doc.xref->entries[5].offset = 1 << 30;  // far beyond the end of the file
    doc.xref->entries[6].offset = (int)b.Bytes().find("6 0 obj");
    doc.xref->entries[6].type = 'n';
    char buf[PDF_PARSE_BUF];
    PdfObj sentinel;
    for (int num : {-1, 0, 2, 3, 4, 5, 6, 7, doc.xref->size, 1 << 30}) {
        PdfObj* obj = &sentinel;
        EXPECT_EQ(ParseIndirectObject(&obj, doc.xref, num, 0, buf, sizeof buf), 0);
        EXPECT_EQ(obj, &sentinel) << num;
    }
    PdfXref empty = {};
    PdfObj* obj = &sentinel;
    ParseIndirectObject(&obj, &empty, 1, 0, buf, sizeof buf);
    EXPECT_EQ(obj, &sentinel);
}

TEST(Parser, HeaderMustFollowTheEntryOffsetClosely)
{
    // The entry of object 1 points at `lead` blanks before its header, whose parts are parted
    // by `gap` blanks.
    struct Case { int lead; int gap; bool found; };
    const Case cases[] = {
        {0, 1, true},
        {PDF_OBJ_HEADER_SPACE, 1, true},
        {PDF_OBJ_HEADER_SPACE + 1, 1, false},
        {2 * 1024 * 1024, 1, false},
        {1, PDF_OBJ_HEADER_SPACE, true},
        {1, PDF_OBJ_HEADER_SPACE + 1, false},
        {1, 0, false},  // "10obj"
    };
    for (const Case& c : cases) {
        testpdf::PdfBuilder b;
        int at = (int)b.Tell();
        b.Raw(std::string((size_t)c.lead, ' '));
        std::string gap((size_t)c.gap, '\n');
        b.Raw("1" + gap + "0" + gap + "obj\n<< /A 1 >>\nendobj\n");
        Doc doc(b, 1);
        doc.xref->entries[1].offset = at;
        doc.xref->entries[1].type = 'n';
        char buf[PDF_PARSE_BUF];
        PdfObj* obj = nullptr;
        ParseIndirectObject(&obj, doc.xref, 1, 0, buf, sizeof buf);
        EXPECT_EQ(Describe(obj), c.found ? "<</A 1>>" : "<none>") << c.lead << " " << c.gap;
        delete obj;
    }
    // Object 1 written with as many digits as a header may have is read; with one digit
    // more it is no header, leading zeros or not.
    for (int digits : {(int)PDF_OBJ_HEADER_DIGITS, PDF_OBJ_HEADER_DIGITS + 1}) {
        testpdf::PdfBuilder b;
        int at = (int)b.Tell();
        b.Raw(std::string((size_t)digits - 1, '0') + "1 0 obj\n<< /A 1 >>\nendobj\n");
        Doc doc(b, 1);
        doc.xref->entries[1].offset = at;
        doc.xref->entries[1].type = 'n';
        char buf[PDF_PARSE_BUF];
        PdfObj* obj = nullptr;
        ParseIndirectObject(&obj, doc.xref, 1, 0, buf, sizeof buf);
        EXPECT_EQ(Describe(obj), digits <= PDF_OBJ_HEADER_DIGITS ? "<</A 1>>" : "<none>") << digits;
        delete obj;
    }
    // Numbers longer than any object number are no header either.
    testpdf::PdfBuilder b;
    int at = (int)b.Tell();
    b.Raw(std::string(PDF_OBJ_HEADER_DIGITS + 1, '1') + " 0 obj\n1\nendobj\n");
    Doc doc(b, 1);
    doc.xref->entries[1].offset = at;
    doc.xref->entries[1].type = 'n';
    EXPECT_EQ(doc.xref->Object(1), nullptr);
}

TEST(Parser, ObjectsAreReadOnceAndCopiesAreTheCallers)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Kids [2 0 R] /Count 1 >>");
    b.Stream(2, "", "DATA");
    Doc doc(b, 1);
    doc.xref->entries[3].type = 'n';  // an entry whose offset leads to no object
    doc.xref->entries[3].offset = 3;

    PdfObj* shared = doc.xref->Object(1);
    ASSERT_NE(shared, nullptr);
    long long afterFirst = doc.xref->readBytes;
    EXPECT_GT(afterFirst, 0);
    EXPECT_EQ(doc.xref->Object(1), shared);
    EXPECT_EQ(doc.xref->Object(3), nullptr);
    long long afterMissing = doc.xref->readBytes;
    EXPECT_EQ(doc.xref->Object(3), nullptr);
    EXPECT_EQ(doc.xref->readBytes, afterMissing);  // a failed read is remembered too

    // Each caller's copy is its own: changing one leaves the document's tree as it was.
    char buf[PDF_PARSE_BUF];
    PdfObj* copy = nullptr;
    ParseIndirectObject(&copy, doc.xref, 1, 0, buf, sizeof buf);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, shared);
    EXPECT_EQ(copy->objNum, 1);
    static_cast<PdfDict*>(copy)->PutOwned(new PdfKey("Count"), new PdfNull);
    EXPECT_EQ(Describe(shared), "<</Kids [2 0 R] /Count 1>>");
    delete copy;

    // A stream's data offset is set again for every caller that cleared it.
    ASSERT_NE(doc.xref->Object(2), nullptr);
    int offset = doc.xref->entries[2].streamOffset;
    EXPECT_EQ(b.Bytes().substr((size_t)offset, 4), "DATA");
    long long afterStream = doc.xref->readBytes;
    doc.xref->entries[2].streamOffset = 0;
    doc.xref->Object(2);
    EXPECT_EQ(doc.xref->entries[2].streamOffset, offset);
    EXPECT_EQ(doc.xref->readBytes, afterStream);
}

TEST(Parser, ReadingStopsWhenItsBudgetIsSpent)
{
    // The budget of a file of n bytes is PDF_OBJ_READ_SLACK + PDF_OBJ_READ_PER_FILE_BYTE * n.
    struct Case { long long spent; long long fileBytes; bool read; };
    const long long slack = PDF_OBJ_READ_SLACK;
    const Case cases[] = {
        {slack - 1, 0, true},
        {slack, 0, false},
        {slack + PDF_OBJ_READ_PER_FILE_BYTE * 1000 - 1, 1000, true},
        {slack + PDF_OBJ_READ_PER_FILE_BYTE * 1000, 1000, false},
    };
    for (const Case& c : cases) {
        testpdf::PdfBuilder b;
        b.Object(1, "<< /A 1 >>");
        Doc doc(b);
        doc.xref->readBytes = c.spent;
        doc.xref->fileBytes = c.fileBytes;
        EXPECT_EQ(doc.xref->Object(1) != nullptr, c.read) << c.spent;
    }

    // What a read goes through counts, so objects that lead into the same long stretch of the
    // file spend the budget each time: a dictionary whose stream data hides the headers of
    // others is read in full by every one of them.
    testpdf::PdfBuilder b;
    std::string hidden;
    const int objects = 40;
    for (int n = 2; n <= objects; n++)
        hidden += std::to_string(n) + " 0 obj << /A /B stream\n";
    b.Raw("1 0 obj << /A /B stream\n" + hidden + "endstream /Pad 1 %" + std::string(200 * 1024, 'x') +
          "\n>>\nendobj\n");
    Doc doc(b, objects);
    for (int n = 1; n <= objects; n++) {
        doc.xref->entries[n].type = 'n';
        doc.xref->entries[n].offset = (int)b.Bytes().find(std::to_string(n) + " 0 obj <<");
    }
    doc.xref->fileBytes = (long long)b.Bytes().size();
    int read = 0;
    for (int n = 1; n <= objects; n++)
        read += doc.xref->Object(n) != nullptr;
    long long budget = PDF_OBJ_READ_SLACK + PDF_OBJ_READ_PER_FILE_BYTE * doc.xref->fileBytes;
    EXPECT_LT(read, objects);
    EXPECT_LT(doc.xref->readBytes, budget + (long long)b.Bytes().size());
}

}  // namespace
