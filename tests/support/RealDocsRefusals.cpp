#include "RealDocs.h"

#include <functional>
#include <iterator>

#include "PdfBuilder.h"

namespace testpdf {

namespace {

const char kCatalog[] = "<< /Type /Catalog /Pages 2 0 R >>";
const char kTree[] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
const char kPage[] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>";
const char kSquare[] = "0 0 1 rg 40 40 120 120 re f";
const char kEncrypt[] = "<< /Filter /Standard /V 5 /R 6 /Length 256 /P -4 /O <00> /U <00> "
                        "/OE <00> /UE <00> /Perms <00> >>";
const char kEncryptEntries[] = "/Encrypt 5 0 R /ID [<0123456789abcdef0123456789abcdef> "
                               "<0123456789abcdef0123456789abcdef>]";

// Object stream 5 holding the objects `nums` of the one-page document (catalog 1, page tree
// 2, page 3), the others written as they stand (the contents 4 among them), and a
// cross-reference stream 6. With `damagedBefore` an older section comes first, one that the
// stream's Prev misses by two bytes, so it cannot be walked.
std::string InObjectStream(const std::vector<int>& nums, bool damagedBefore = false)
{
    const char* bodies[] = {nullptr, kCatalog, kTree, kPage};
    PdfBuilder b;
    size_t older = 0;
    if (damagedBefore) {
        b.Object(1, kCatalog);
        older = b.ClassicXref();
    }
    std::string head, data;
    for (int n = 1; n <= 3; n++) {
        bool packed = false;
        for (int k : nums)
            packed = packed || k == n;
        if (!packed) {
            b.Object(n, bodies[n]);
            continue;
        }
        head += std::to_string(n) + " " + std::to_string(data.size()) + " ";
        data += std::string(bodies[n]) + "\n";
    }
    b.Stream(4, "", kSquare);
    b.Stream(5, "/Type /ObjStm /N " + std::to_string(nums.size()) + " /First " +
                    std::to_string(head.size()) + " /Filter /FlateDecode",
             Deflate(head + data));
    for (size_t i = 0; i < nums.size(); i++)
        b.Compressed(nums[i], 5, (int)i);
    XrefOptions o;
    if (damagedBefore) {
        o.prev = false;
        o.extra = "/Prev " + std::to_string(older + 2);
    }
    b.XrefStream(6, o);
    return b.Bytes();
}

// The one-page document with its objects as they stand; `contents` is the data of stream 4.
void Plain(PdfBuilder& b, const std::string& entries = "", const std::string& contents = kSquare)
{
    b.Object(1, kCatalog);
    b.Object(2, kTree);
    b.Object(3, kPage);
    b.Stream(4, entries, contents);
}

std::string PredictedRows()
{
    PdfBuilder b;
    Plain(b);
    XrefOptions o;
    o.predictor = true;
    b.XrefStream(5, o);
    return b.Bytes();
}

// An encrypted document as common tools write one: the trailer is a cross-reference stream
// with a predictor, which the encryption outranks as the reason.
std::string Encrypted()
{
    PdfBuilder b;
    Plain(b);
    b.Object(5, kEncrypt);
    XrefOptions o;
    o.predictor = true;
    o.extra = kEncryptEntries;
    b.XrefStream(6, o);
    return b.Bytes();
}

// An update whose trailer does not repeat Encrypt leaves the older objects encrypted all the
// same: the content stream is ciphertext.
std::string EncryptedUpdateWithoutEncrypt()
{
    PdfBuilder b;
    Plain(b, "/Filter /FlateDecode", "\x8f\x13\xd2\x7a\x55\x01\xee\x9c\x40\x3b\xa7\x18\x6d\xf0");
    b.Object(5, kEncrypt);
    XrefOptions o;
    o.extra = kEncryptEntries;
    b.ClassicXref(o);
    b.Object(6, "<< /Producer (an update) >>");
    XrefOptions update;
    update.extra = "/Info 6 0 R";
    b.ClassicXref(update);
    return b.Bytes();
}

// An update whose Prev lands two bytes into the section before it, so that section cannot be
// walked; the update lists every object again (the blue square drawn green), and the
// document still converts.
std::string DamagedOlderSection()
{
    PdfBuilder b;
    Plain(b);
    size_t older = b.ClassicXref();
    Plain(b, "", "0 0.6 0 rg 40 40 120 120 re f");
    XrefOptions o;
    o.prev = false;
    o.extra = "/Prev " + std::to_string(older + 2);
    b.ClassicXref(o);
    return b.Bytes();
}

RealDoc Row(const char* name, std::function<std::string()> make, int status, const char* message)
{
    RealDoc doc;
    doc.name = name;
    doc.make = make;
    doc.status = status;
    doc.message = message;
    return doc;
}

const char kPagesPacked[] = "the page tree lies in object streams, which are not supported";
const char kEncryptedSaid[] = "the document is encrypted, which is not supported";

}  // namespace

void RefusalsAndMessages(std::vector<RealDoc>* rows)
{
    const RealDoc table[] = {
        Row("catalog-in-object-stream", [] { return InObjectStream({1}); }, 1,
            "the document catalog lies in an object stream, which is not supported"),
        Row("pages-in-object-stream", [] { return InObjectStream({2, 3}); }, 1, kPagesPacked),
        Row("only-the-page-in-object-stream", [] { return InObjectStream({3}); }, 1, kPagesPacked),
        // A section that could not be walked is not said beside the reason of a refusal.
        Row("pages-in-object-stream-after-a-damaged-section",
            [] { return InObjectStream({2, 3}, true); }, 1, kPagesPacked),
        Row("xref-stream-with-predictor", PredictedRows, 1,
            "the cross-reference stream uses a predictor, which is not supported"),
        Row("encrypted", Encrypted, 1, kEncryptedSaid),
        Row("encrypted-update-without-encrypt", EncryptedUpdateWithoutEncrypt, 1, kEncryptedSaid),
        // What the reader says of a section it could not walk goes to standard error, whether
        // standard output carries nothing at all or the package (the row after this one).
        Row("damaged-older-section", DamagedOlderSection, 0, "xref error"),
    };
    rows->insert(rows->end(), std::begin(table), std::end(table));
    RealDoc toStdout = rows->back();
    toStdout.name += "-stdout";
    toStdout.toStdout = true;
    rows->push_back(toStdout);
}

}  // namespace testpdf
