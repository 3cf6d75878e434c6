#include "Pdf/PdfXref.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "Pdf/PdfObj.h"
#include "Pdf/PdfParser.h"
#include "PdfBuilder.h"
#include "TestUtil.h"

using testpdf::Describe;
using testpdf::PdfBuilder;
using testpdf::XrefOptions;

namespace {

// A document loaded from bytes; released the way the conversion driver releases it.
struct Loaded {
    explicit Loaded(const std::string& bytes)
    {
        path = dir.file("doc.pdf");
        testutil::WriteFile(path, bytes);
        x = new PdfXref();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        rc = x->Load(&fp, &path[0]);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
    }
    ~Loaded()
    {
        delete x->trailer;
        delete x->root;
        free(x->entries);
        ReleaseObjectMemo(x);
        if (fp)
            fclose(fp);
        delete x;
    }
    // In-use and compressed entries in the form qpdf --show-xref prints them.
    std::string Table() const
    {
        std::string t;
        for (int n = 0; n < x->size; n++) {
            const XrefEntry& e = x->entries[n];
            if (e.type == 'n')
                t += std::to_string(n) + "/" + std::to_string(e.gen) + ": uncompressed; offset = " +
                     std::to_string(e.offset) + "\n";
            else if (e.type == 'o')
                t += std::to_string(n) + "/0: compressed; stream = " + std::to_string(e.offset) +
                     ", index = " + std::to_string(e.gen) + "\n";
        }
        return t;
    }
    testutil::TempDir dir;
    std::string path;
    PdfXref* x;
    FILE* fp = nullptr;
    int rc;
    std::string out, err;
};

void Pages(PdfBuilder& b)
{
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
}

XrefOptions W(int a, int b, int c)
{
    XrefOptions o;
    o.w[0] = a;
    o.w[1] = b;
    o.w[2] = c;
    return o;
}

struct Fixture {
    const char* name;
    std::function<void(PdfBuilder&)> build;
};

// Well-formed documents: every object the builder wrote is found at its latest offset,
// and the whole table agrees with qpdf's.
const Fixture kWellFormed[] = {
    {"one classic section",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(four)");
         b.ClassicXref();
     }},
    {"update lists object 5 again",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(four)");
         b.Object(5, "(old five)");
         b.ClassicXref();
         b.Object(5, "(new five)");
         b.ClassicXref();
     }},
    {"stream W 1 2 1",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(four)", 3);
         b.XrefStream(5, W(1, 2, 1));
     }},
    {"stream W 1 3 0",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(four)");
         b.XrefStream(5, W(1, 3, 0));
     }},
    {"stream W 0 3 0",
     [](PdfBuilder& b) {
         Pages(b);
         XrefOptions o = W(0, 3, 0);
         o.zeroEntry = false;
         b.XrefStream(4, o);
     }},
    {"stream with an object-stream entry",
     [](PdfBuilder& b) {
         Pages(b);
         b.Stream(8, "/Type /ObjStm /N 1 /First 4", "7 0 (in a stream)");
         b.Compressed(7, 8, 0);
         b.XrefStream(9, W(1, 2, 2));
     }},
    {"stream update over a classic section, two Index pairs",
     [](PdfBuilder& b) {
         Pages(b);
         for (int n = 4; n <= 8; n++)
             b.Object(n, "(old " + std::to_string(n) + ")");
         b.ClassicXref();
         b.Object(4, "(new 4)");
         b.Object(7, "(new 7)");  // listed in the second pair
         b.XrefStream(9, W(1, 4, 1));
     }},
    {"stream without a filter",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(four)", 2);
         XrefOptions o = W(1, 2, 1);
         o.compress = false;
         b.XrefStream(5, o);
     }},
    {"stream without a filter over a filtered one",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(old four)");
         b.XrefStream(5);
         b.Object(4, "(new four)");
         XrefOptions o = W(1, 3, 0);
         o.compress = false;
         b.XrefStream(6, o);
     }},
    {"first-page section at the front, the main one through Prev",
     [](PdfBuilder& b) {
         size_t front = b.Reserve(300);
         Pages(b);
         b.SetAside({1, 2, 3});
         b.Object(4, "(four)");
         XrefOptions main;
         main.prev = false;
         b.ClassicXref(main);
         b.FrontXref(front);
     }},
    {"hybrid: the XRefStm stream lists what the table leaves out",
     [](PdfBuilder& b) {
         Pages(b);
         b.Object(4, "(four)");
         b.Stream(6, "/Type /ObjStm /N 1 /First 4", "5 0 (in a stream)");
         b.Compressed(5, 6, 0);
         b.SetAside({3, 5});
         size_t at = b.XrefStmStream(7, W(1, 2, 1));
         XrefOptions o;
         o.extra = "/XRefStm " + std::to_string(at);
         b.ClassicXref(o);
     }},
    {"three stream sections",
     [](PdfBuilder& b) {
         Pages(b);
         b.XrefStream(4);
         b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>");
         b.XrefStream(5);
         b.Object(6, "(six)");
         b.XrefStream(7);
     }},
};

TEST(Xref, WellFormedDocuments)
{
    bool haveQpdf = testutil::HaveTool("qpdf");
    for (const Fixture& f : kWellFormed) {
        PdfBuilder b;
        f.build(b);
        Loaded doc(b.Bytes());
        ASSERT_EQ(doc.rc, 0) << f.name << doc.err;
        EXPECT_EQ(doc.out, "") << f.name;
        EXPECT_EQ(doc.x->size, b.Size()) << f.name;
        ASSERT_NE(doc.x->root, nullptr) << f.name;
        EXPECT_EQ(Describe(doc.x->root), "<</Type /Catalog /Pages 2 0 R>>") << f.name;
        EXPECT_EQ(doc.x->root->objNum, 1);
        for (int n = 1; n < b.Size(); n++) {
            XrefEntry* e = doc.x->Entry(n);
            ASSERT_NE(e, nullptr);
            if (b.Offset(n) && e->type == 'n') {
                EXPECT_EQ(e->offset, (int)b.Offset(n)) << f.name << " object " << n;
            }
        }
        if (haveQpdf) {
            std::string qpdf;
            testutil::RunCommand("qpdf --show-xref '" + doc.path + "' 2>/dev/null", &qpdf);
            EXPECT_EQ(doc.Table(), qpdf) << f.name;
        }
    }
}

TEST(Xref, FieldsOfStreamRecords)
{
    PdfBuilder b;
    Pages(b);
    b.Object(4, "(four)", 3);
    b.Free(5, 2);
    b.Compressed(6, 8, 4);
    b.XrefStream(7, W(1, 2, 1));
    Loaded doc(b.Bytes());
    ASSERT_EQ(doc.rc, 0);
    struct Want { int num; char type; int offset; int gen; };
    const Want want[] = {
        {0, 'f', 0, 255},  // 65535 in a one-byte field
        {4, 'n', (int)b.Offset(4), 3},
        {5, 'f', 0, 2},
        {6, 'o', 8, 4},
        {7, 'n', (int)b.Offset(7), 0},
    };
    for (const Want& w : want) {
        XrefEntry* e = doc.x->Entry(w.num);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->type, w.type) << w.num;
        EXPECT_EQ(e->offset, w.offset) << w.num;
        EXPECT_EQ(e->gen, w.gen) << w.num;
    }
    // The section's own entry knows where its data starts.
    EXPECT_EQ(b.Bytes().substr((size_t)doc.x->Entry(7)->streamOffset - 7, 7), "stream\n");
    // The data is inflated in memory: nothing is left in the working folder.
    EXPECT_FALSE(testutil::FileExists("C:\\PdfTemp"));
    EXPECT_FALSE(testutil::FileExists("C:\\PdfTemp/xref.tmp"));
}

TEST(Xref, StartxrefNumberAfterWhitespace)
{
    PdfBuilder b;
    Pages(b);
    size_t at = b.ClassicXref();
    std::string bytes = b.Bytes();
    size_t tail = bytes.rfind("startxref");
    bytes = bytes.substr(0, tail) + "startxref\n  \t" + std::to_string(at) + "\n%%EOF\n";
    Loaded doc(bytes);
    EXPECT_EQ(doc.rc, 0);
    EXPECT_EQ(doc.x->sectionOffset, (int)at);
}

// "startxref" is looked for in the last XREF_TAIL_BYTES bytes: found when it begins exactly
// that far from the end, not one byte further.
TEST(Xref, StartxrefIsSearchedInTheFilesTail)
{
    for (int distance : {(int)XREF_TAIL_BYTES, XREF_TAIL_BYTES + 1}) {
        PdfBuilder b;
        Pages(b);
        b.ClassicXref();
        std::string bytes = b.Bytes();
        const int tail = (int)(bytes.size() - bytes.rfind("startxref"));
        bytes += "%" + std::string((size_t)(distance - tail - 2), 'x') + "\n";
        ASSERT_EQ((size_t)distance, bytes.size() - bytes.rfind("startxref"));
        Loaded doc(bytes);
        EXPECT_EQ(doc.rc, distance <= XREF_TAIL_BYTES ? 0 : -1) << distance << " " << doc.err;
    }
}

std::string WithTrailer(const std::string& entries)
{
    PdfBuilder b;
    Pages(b);
    XrefOptions o;
    o.size = false;
    o.root = false;
    o.extra = entries;
    b.ClassicXref(o);
    return b.Bytes();
}

TEST(Xref, LoadFailures)
{
    struct Case { const char* name; std::string bytes; const char* stderrHas; };
    PdfBuilder good;
    Pages(good);
    good.ClassicXref();
    std::string far = good.Bytes() + "%" + std::string(1100, 'x') + "\n";
    std::string badOffset = good.Bytes() + "startxref\n3\n%%EOF\n";
    PdfBuilder freeRoot;
    Pages(freeRoot);
    freeRoot.root = 9;
    freeRoot.Free(9);
    freeRoot.ClassicXref();
    PdfBuilder numberRoot;
    Pages(numberRoot);
    numberRoot.root = 4;
    numberRoot.Object(4, "17");
    numberRoot.ClassicXref();
    PdfBuilder olderEncrypt;
    Pages(olderEncrypt);
    XrefOptions encrypt;
    encrypt.extra = "/Encrypt << /Filter /Standard >>";
    olderEncrypt.ClassicXref(encrypt);
    olderEncrypt.Object(4, "(four)");
    olderEncrypt.XrefStream(5);
    PdfBuilder predictor;
    Pages(predictor);
    XrefOptions predicted;
    predicted.predictor = true;
    predictor.XrefStream(4, predicted);
    PdfBuilder packedRoot;
    Pages(packedRoot);
    packedRoot.root = 5;
    packedRoot.Stream(6, "/Type /ObjStm /N 1 /First 4", "5 0 << /Type /Catalog /Pages 2 0 R >>");
    packedRoot.Compressed(5, 6, 0);
    packedRoot.XrefStream(7);
    const Case cases[] = {
        {"startxref too far from the end", far, "no cross-reference data"},
        {"shorter than 9 bytes", "%PDF-1", "no cross-reference data"},
        {"no startxref", std::string(2000, ' '), "no cross-reference data"},
        {"section start is neither table nor stream", badOffset, "startxref"},
        {"Size absent", WithTrailer("/Root 1 0 R"), "Size"},
        {"Size negative", WithTrailer("/Size -4 /Root 1 0 R"), "Size"},
        {"Size zero", WithTrailer("/Size 0 /Root 1 0 R"), "Size"},
        {"Size 2^31-1", WithTrailer("/Size 2147483647 /Root 1 0 R"), "Size"},
        {"Size above the limit", WithTrailer("/Size 8388608 /Root 1 0 R"), "Size"},
        {"Size a name", WithTrailer("/Size /Big /Root 1 0 R"), "Size"},
        {"Root absent", WithTrailer("/Size 4"), "Root"},
        {"Root a direct dictionary", WithTrailer("/Size 4 /Root << /Pages 2 0 R >>"), "Root"},
        {"Root a free entry", freeRoot.Bytes(), "catalog"},
        {"Root not a dictionary", numberRoot.Bytes(), "catalog"},
        {"encrypted", WithTrailer("/Size 4 /Root 1 0 R /Encrypt << /Filter /Standard >>"), "encrypted"},
        {"encrypted, said by an older trailer only", olderEncrypt.Bytes(), "encrypted"},
        {"stream rows through a predictor", predictor.Bytes(), "predictor"},
        {"catalog in an object stream", packedRoot.Bytes(), "object stream"},
    };
    for (const Case& c : cases) {
        Loaded doc(c.bytes);
        EXPECT_EQ(doc.rc, -1) << c.name;
        EXPECT_EQ(doc.out, "") << c.name;
        // Exactly one line says why, whatever the cause.
        EXPECT_NE(doc.err.find(c.stderrHas), std::string::npos) << c.name << ": " << doc.err;
        EXPECT_EQ(std::count(doc.err.begin(), doc.err.end(), '\n'), 1) << c.name;
        // What Load made is released again; the caller still holds the open file.
        EXPECT_EQ(doc.x->trailer, nullptr) << c.name;
        EXPECT_EQ(doc.x->root, nullptr) << c.name;
        EXPECT_EQ(doc.x->entries, nullptr) << c.name;
        EXPECT_EQ(doc.x->Entry(1), nullptr) << c.name;
    }
    PdfXref x = {};
    FILE* fp = nullptr;
    char missing[] = "/nonexistent/file.pdf";
    EXPECT_EQ(x.Load(&fp, missing), -1);
    EXPECT_EQ(fp, nullptr);
}

// Replaces the first occurrence of `from` in the builder's bytes.
std::string Patched(const PdfBuilder& b, const std::string& from, const std::string& to)
{
    std::string s = b.Bytes();
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        s.replace(at, from.size(), to);
    return s;
}

// Objects 1 to 4 and a stream section (object 5) whose own Length entry reads `length`.
std::string StreamSectionWithLength(const std::string& length)
{
    PdfBuilder b;
    Pages(b);
    b.Object(4, "(four)");
    b.XrefStream(5);
    std::string s = b.Bytes();
    size_t at = s.rfind("/Length ");
    size_t end = s.find(' ', at + 8);
    s.replace(at, end - at, length);
    return s;
}

TEST(Xref, HostileSectionsTerminate)
{
    struct Case { const char* name; std::function<std::string()> bytes; int rc; int checkNum; };
    const Case cases[] = {
        {"Prev to itself",
         [] {
             PdfBuilder b;
             Pages(b);
             XrefOptions o;
             o.extra = "/Prev 9999";
             size_t at = b.ClassicXref(o);
             return Patched(b, "/Prev 9999", "/Prev " + std::to_string(at));
         },
         0, 3},
        {"Prev loop through two stream sections",
         [] {
             PdfBuilder b;
             Pages(b);
             XrefOptions o;
             o.extra = "/Prev 0000000";  // patched to the second section below
             b.XrefStream(4, o);
             b.Object(5, "(five)");
             size_t second = b.XrefStream(6);
             std::string s = b.Bytes();
             char pad[16];
             snprintf(pad, sizeof pad, "%07zu", second);
             s.replace(s.find("/Prev 0000000"), 13, std::string("/Prev ") + pad);
             return s;
         },
         0, 5},
        {"Prev beyond the file",
         [] {
             PdfBuilder b;
             Pages(b);
             XrefOptions o;
             o.extra = "/Prev 99999999";
             b.ClassicXref(o);
             return b.Bytes();
         },
         0, 3},
        {"subsection past Size",
         [] {
             PdfBuilder b;
             Pages(b);
             XrefOptions o;
             o.size = false;
             o.extra = "/Size 2";  // records 2 and 3 lie outside the table
             b.ClassicXref(o);
             return b.Bytes();
         },
         0, 1},
        {"subsection with a huge count",
         [] {
             PdfBuilder b;
             Pages(b);
             b.ClassicXref();
             return Patched(b, "0 4\n", "0 2147483647\n");
         },
         -1, 0},
        {"subsection with a huge start",
         [] {
             PdfBuilder b;
             Pages(b);
             b.ClassicXref();
             b.Object(3, "<< /Type /Page >>");
             b.ClassicXref();
             return Patched(b, "3 1\n", "9999999999 1\n");
         },
         0, 3},
        {"records on the subsection line",
         [] {
             PdfBuilder b;
             Pages(b);
             b.ClassicXref();
             return Patched(b, "0 4\n", "0 4 ");
         },
         0, 3},
        {"stream Length indirect",
         [] { return StreamSectionWithLength("/Length 4 0 R"); },
         0, 4},
        {"stream Length too short",
         [] { return StreamSectionWithLength("/Length 6"); },  // a truncated zlib stream
         -1, 0},
        {"stream data cut by the end of the file",
         [] {
             PdfBuilder b;
             Pages(b);
             b.Object(4, "(four)");
             b.XrefStream(5);
             std::string s = b.Bytes();
             return s.substr(0, s.rfind("stream\n") + 12) + "\nstartxref\n" +
                    std::to_string(b.Offset(5)) + "\n%%EOF\n";
         },
         0, 1},
        {"W with a field of the widest size",
         [] {
             PdfBuilder b;
             Pages(b);
             b.XrefStream(4, W(1, XREF_MAX_FIELD_WIDTH, 1));
             return b.Bytes();
         },
         0, 3},
        {"W with a field one byte wider than allowed",
         [] {
             PdfBuilder b;
             Pages(b);
             b.XrefStream(4);
             return Patched(b, "/W [1 2 1]",
                            "/W [1 " + std::to_string(XREF_MAX_FIELD_WIDTH + 1) + " 1]");
         },
         -1, 0},
        {"W with a negative field",
         [] {
             PdfBuilder b;
             Pages(b);
             b.XrefStream(4);
             return Patched(b, "/W [1 2 1]", "/W [1 -2 1]");
         },
         -1, 0},
        {"W all zero",
         [] {
             PdfBuilder b;
             Pages(b);
             b.XrefStream(4);
             return Patched(b, "/W [1 2 1]", "/W [0 0 0]");
         },
         -1, 0},
        {"W with one field repeats it",
         [] {
             PdfBuilder b;
             Pages(b);
             XrefOptions o = W(2, 2, 2);
             b.XrefStream(4, o);
             return Patched(b, "/W [2 2 2]", "/W [2]     ");
         },
         0, 3},
        {"Index with a negative start and a huge count",
         [] {
             PdfBuilder b;
             Pages(b);
             b.XrefStream(4);
             return Patched(b, "/Index [0 5 ]", "/Index [-3 2147483647]");  // rows 3, 4 are 0, 1
         },
         0, 1},
        {"Index pairs beyond the table",
         [] {
             PdfBuilder b;
             Pages(b);
             b.XrefStream(4);
             return Patched(b, "/Index [0 5 ]", "/Index [0 5 2000000000 2000000000 7]");
         },
         0, 3},
        {"classic record cut by the end of the file",
         [] {
             PdfBuilder b;
             Pages(b);
             size_t at = b.ClassicXref();
             std::string s = b.Bytes();
             return s.substr(0, at + 30) + "\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
         },
         -1, 0},
    };
    for (const Case& c : cases) {
        Loaded doc(c.bytes());
        EXPECT_EQ(doc.rc, c.rc) << c.name << " " << doc.out << doc.err;
        if (c.checkNum && doc.rc == 0) {
            XrefEntry* e = doc.x->Entry(c.checkNum);
            ASSERT_NE(e, nullptr) << c.name;
            EXPECT_EQ(e->type, 'n') << c.name;
        }
        if (doc.rc == 0) {
            EXPECT_EQ(doc.x->Entry(doc.x->size), nullptr);
        }
    }
}

TEST(Xref, UnfilteredStreamIsBoundedByItsLength)
{
    // Rows 0 to 5 of five bytes each; object 5 is the section itself, in the last row. A
    // Length that ends inside that row reads the rows before it only; one that is not a
    // direct integer reads until the rows are complete.
    struct Case { const char* name; const char* length; char typeOf5; };
    const Case cases[] = {
        {"Length of every row", "/Length 30", 'n'},
        {"Length ends in the last row", "/Length 27", 0},
        {"Length indirect", "/Length 4 0 R", 'n'},
    };
    for (const Case& c : cases) {
        PdfBuilder b;
        Pages(b);
        b.Object(4, "(four)");
        XrefOptions o = W(1, 3, 1);
        o.compress = false;
        b.XrefStream(5, o);
        Loaded doc(Patched(b, "/Length 30", c.length));
        ASSERT_EQ(doc.rc, 0) << c.name << doc.err;
        ASSERT_NE(doc.x->root, nullptr) << c.name;
        EXPECT_EQ(doc.x->Entry(4)->type, 'n') << c.name;
        EXPECT_EQ(doc.x->Entry(4)->offset, (int)b.Offset(4)) << c.name;
        EXPECT_EQ(doc.x->Entry(5)->type, c.typeOf5) << c.name;
    }
}

TEST(Xref, SectionsListingObjectsPastSizeGrowTheTable)
{
    // The trailer says 8 objects; the catalog and its pages are objects 57 to 59. Both forms
    // of cross-reference data serve them.
    for (bool stream : {false, true}) {
        PdfBuilder b;
        b.Object(57, "<< /Type /Catalog /Pages 58 0 R >>");
        b.Object(58, "<< /Type /Pages /Kids [59 0 R] /Count 1 >>");
        b.Object(59, "<< /Type /Page /Parent 58 0 R /MediaBox [0 0 612 792] >>");
        b.root = 57;
        XrefOptions o;
        o.size = false;
        o.extra = "/Size 8";
        if (stream)
            b.XrefStream(60, o);
        else
            b.ClassicXref(o);
        Loaded doc(b.Bytes());
        ASSERT_EQ(doc.rc, 0) << stream << doc.err;
        ASSERT_NE(doc.x->root, nullptr);
        EXPECT_EQ(Describe(doc.x->root), "<</Type /Catalog /Pages 58 0 R>>");
        ASSERT_GE(doc.x->size, 60);
        for (int n : {57, 58, 59}) {
            ASSERT_NE(doc.x->Entry(n), nullptr) << n;
            EXPECT_EQ(doc.x->Entry(n)->offset, (int)b.Offset(n)) << n;
        }
        EXPECT_EQ(doc.x->Entry(9)->type, 0);
    }
}

TEST(Xref, TableFollowsTheRecordsNotTheClaims)
{
    // Records of the first section: objects 0 to 3, and then one more numbered `num`. The
    // table may hold XREF_TABLE_SLACK entries plus XREF_ENTRIES_PER_RECORD per record read.
    const long long bound = XREF_TABLE_SLACK + 5LL * XREF_ENTRIES_PER_RECORD;
    struct Case { long long num; bool kept; };
    const Case cases[] = {{bound - 1, true}, {bound, false}, {8388000, false}, {XREF_MAX_SIZE, false}};
    for (const Case& c : cases) {
        PdfBuilder b;
        Pages(b);
        size_t third = b.Offset(3);
        b.ClassicXref();
        char rec[64];
        snprintf(rec, sizeof rec, "%lld 1\n%010zu 00000 n \n", c.num, third);
        std::string s = b.Bytes();
        s.insert(s.rfind("trailer"), rec);
        Loaded doc(s);
        ASSERT_EQ(doc.rc, 0) << c.num << doc.err;
        EXPECT_LE(doc.x->size, bound) << c.num;
        XrefEntry* e = doc.x->Entry((int)c.num);
        EXPECT_EQ(e != nullptr && e->type == 'n', c.kept) << c.num;
    }

    // Compressed records cost next to nothing: 100,000 of them in use still give a table of at
    // most one entry per byte of the file beyond the slack.
    {
        PdfBuilder b;
        Pages(b);
        std::string rows;
        const int n = 100000;
        for (int i = 0; i < n; i++) {
            size_t off = i >= 1 && i <= 3 ? b.Offset(i) : 9;
            rows += std::string(1, i == 0 ? '\0' : '\1') + (char)(off >> 8) + (char)(off & 255) + '\0';
        }
        std::string data = testpdf::Deflate(rows);
        size_t at = b.Tell();
        b.Raw("4 0 obj\n<< /Type /XRef /Size 5 /Index [0 " + std::to_string(n) +
              "] /W [1 2 1] /Root 1 0 R /Filter /FlateDecode /Length " + std::to_string(data.size()) +
              " >>\nstream\n" + data + "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n");
        Loaded doc(b.Bytes());
        ASSERT_EQ(doc.rc, 0) << doc.err;
        const long long fileBound = XREF_TABLE_SLACK + (long long)b.Bytes().size();
        ASSERT_LT(fileBound, n);
        EXPECT_EQ(doc.x->size, fileBound);
        ASSERT_NE(doc.x->Entry((int)fileBound - 1), nullptr);
        EXPECT_EQ(doc.x->Entry((int)fileBound - 1)->type, 'n');
        EXPECT_EQ(doc.x->Entry((int)fileBound), nullptr);
    }

    // A Size that claims millions of objects does not size the table.
    PdfBuilder b;
    Pages(b);
    XrefOptions o;
    o.size = false;
    o.extra = "/Size " + std::to_string((int)XREF_MAX_SIZE);
    b.ClassicXref(o);
    Loaded doc(b.Bytes());
    ASSERT_EQ(doc.rc, 0) << doc.err;
    EXPECT_EQ(doc.x->size, XREF_TABLE_SLACK);
}

// The records of every section count, whichever is read first: the section read first may
// list the highest numbers (the first-page section of a linearized file). `num` is one record
// of the section read first; the table holds XREF_TABLE_SLACK entries plus
// XREF_ENTRIES_PER_RECORD for each record of the file's sections.
TEST(Xref, TableBoundCountsTheRecordsOfEverySection)
{
    struct Shape {
        const char* name;
        long long records;  // in all sections, `num`'s own included
        std::function<std::string(long long num)> bytes;
    };
    // One record numbered `num` pointing at object 3, inserted before the first "trailer" the
    // builder wrote after `from`.
    auto withRecord = [](const PdfBuilder& b, size_t from, long long num) {
        char rec[64];
        snprintf(rec, sizeof rec, "%lld 1\n%010zu 00000 n \n", num, b.Offset(3));
        std::string s = b.Bytes();
        s.insert(s.find("trailer", from), rec);
        return s;
    };
    const Shape shapes[] = {
        {"an update read before the section of the pages", 5,
         [&](long long num) {
             PdfBuilder b;
             Pages(b);
             b.ClassicXref();  // 0 to 3
             size_t update = b.ClassicXref();
             return withRecord(b, update, num);
         }},
        {"a table read before the XRefStm stream of the pages", 6,
         [&](long long num) {
             PdfBuilder b;
             Pages(b);
             b.SetAside({1, 2, 3});
             size_t at = b.XrefStmStream(4);  // 1 to 3
             XrefOptions o;
             o.extra = "/XRefStm " + std::to_string(at);
             size_t table = b.ClassicXref(o);  // 0 and 4
             return withRecord(b, table, num);
         }},
    };
    for (const Shape& shape : shapes) {
        const long long bound = XREF_TABLE_SLACK + shape.records * XREF_ENTRIES_PER_RECORD;
        for (long long num : {bound - 1, bound}) {
            Loaded doc(shape.bytes(num));
            ASSERT_EQ(doc.rc, 0) << shape.name << " " << num << doc.err;
            XrefEntry* e = doc.x->Entry((int)num);
            EXPECT_EQ(e != nullptr && e->type == 'n' && e->offset == doc.x->Entry(3)->offset, num < bound)
                << shape.name << " " << num;
            EXPECT_LE(doc.x->size, bound) << shape.name;
        }
    }

    // An older section whose header claims 2,000,000 records over a few hundred bytes counts
    // for what those bytes hold: a record numbered 1,000,000 in the update still misses.
    PdfBuilder b;
    Pages(b);
    b.ClassicXref();
    size_t update = b.ClassicXref();
    std::string s = withRecord(b, update, 1000000);
    const std::string claim = "0 2000000\n";
    s.replace(s.find("0 4\n"), 4, claim);
    size_t startxref = s.rfind("startxref\n") + 10;
    s.replace(startxref, s.find('\n', startxref) - startxref, std::to_string(update + claim.size() - 4));
    Loaded doc(s);
    ASSERT_EQ(doc.rc, 0) << doc.err;
    EXPECT_EQ(doc.x->Entry(1000000), nullptr);
    EXPECT_LE(doc.x->size, XREF_TABLE_SLACK + (long long)s.size());
}

// A hybrid file: the table's records come first, then those of the stream its XRefStm
// names, then those of Prev. A stream beside the table that uses a predictor is passed by:
// the table stands for readers without it, and the older section still counts.
TEST(Xref, HybridStreamComesBetweenTheTableAndPrev)
{
    for (bool predictor : {false, true}) {
        PdfBuilder b;
        Pages(b);
        b.Object(4, "(oldest four)");
        b.Object(5, "(oldest five)");
        b.ClassicXref();
        size_t oldestFive = b.Offset(5);
        b.Object(4, "(four in the stream)");
        b.Object(5, "(five in the stream)");
        b.Object(6, "(six in the stream)");
        size_t streamFive = b.Offset(5), streamSix = b.Offset(6);
        b.SetAside({4, 5, 6});
        b.Object(4, "(four in the table)");
        size_t tableFour = b.Offset(4);
        XrefOptions stm;
        stm.predictor = predictor;
        size_t at = b.XrefStmStream(7, stm);
        XrefOptions o;
        o.extra = "/XRefStm " + std::to_string(at);
        b.ClassicXref(o);
        Loaded doc(b.Bytes());
        ASSERT_EQ(doc.rc, 0) << predictor << doc.err;
        EXPECT_EQ(doc.err, "");
        EXPECT_EQ(doc.x->Entry(4)->offset, (int)tableFour) << predictor;
        EXPECT_EQ(doc.x->Entry(5)->offset, (int)(predictor ? oldestFive : streamFive)) << predictor;
        EXPECT_EQ(doc.x->Entry(6)->type, predictor ? 0 : 'n') << predictor;
        if (!predictor) {
            EXPECT_EQ(doc.x->Entry(6)->offset, (int)streamSix);
        }
    }
}

TEST(Xref, DamagedSectionIsNotedSilently)
{
    // An update whose Prev lands inside the section before it: that section cannot be
    // walked; the update lists every object, so the document loads all the same. The reader
    // prints nothing: the converter says it once the document has converted.
    PdfBuilder b;
    Pages(b);
    size_t older = b.ClassicXref();
    Pages(b);
    XrefOptions o;
    o.prev = false;
    o.extra = "/Prev " + std::to_string(older + 2);
    b.ClassicXref(o);
    Loaded doc(b.Bytes());
    ASSERT_EQ(doc.rc, 0) << doc.err;
    EXPECT_EQ(doc.out, "");
    EXPECT_EQ(doc.err, "");
    EXPECT_TRUE(doc.x->sectionDamaged);
}

TEST(Xref, EntryAccessorIsRangeChecked)
{
    PdfBuilder b;
    Pages(b);
    b.ClassicXref();
    Loaded doc(b.Bytes());
    ASSERT_EQ(doc.rc, 0);
    for (int n : {-1, -2147483647 - 1, doc.x->size, 2147483647})
        EXPECT_EQ(doc.x->Entry(n), nullptr) << n;
    EXPECT_EQ(doc.x->Entry(0), &doc.x->entries[0]);
    EXPECT_EQ(doc.x->Entry(doc.x->size - 1), &doc.x->entries[doc.x->size - 1]);
}

}  // namespace

namespace {

TEST(Xref, SectionWalkStopsAfterItsLimit)
{
    // The catalog is listed only in the oldest section; each update lists object 4 again.
    struct Case { int updates; int rc; };
    const Case cases[] = {{XREF_MAX_SECTIONS - 1, 0}, {XREF_MAX_SECTIONS, -1}};
    for (const Case& c : cases) {
        PdfBuilder b;
        Pages(b);
        b.Object(4, "(four)");
        b.ClassicXref();
        for (int i = 0; i < c.updates; i++) {
            b.Object(4, "(four)");
            b.ClassicXref();
        }
        Loaded doc(b.Bytes());
        EXPECT_EQ(doc.rc, c.rc) << c.updates;
    }
}

}  // namespace
