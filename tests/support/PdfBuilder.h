// Writes small PDF files for tests: objects (streams too) in order, then cross-reference
// sections in classic or stream form, each listing the objects written since the one
// before, so update sections chain through Prev as in a real incremental save.
#ifndef VARDEX_TESTS_PDFBUILDER_H
#define VARDEX_TESTS_PDFBUILDER_H

#include <map>
#include <string>
#include <vector>

class PdfObj;

namespace testpdf {

struct XrefOptions {
    std::string extra;  // more trailer entries, such as "/Info 7 0 R"
    bool size = true;   // write /Size (highest object number + 1)
    bool root = true;   // write /Root <root> 0 R
    bool prev = true;   // write /Prev for every section after the first
    int w[3] = {1, 2, 1};  // field widths of a cross-reference stream
    bool compress = true;  // deflate the cross-reference stream
    bool index = true;     // write /Index (else the stream lists 0 .. Size-1)
    bool zeroEntry = true;  // the first section lists object 0 as free
    bool predictor = false;  // stream rows through the PNG Up predictor, as many writers do
};

class PdfBuilder {
public:
    PdfBuilder();

    // "num gen obj\n<body>\nendobj\n".
    void Object(int num, const std::string& body, int gen = 0);
    // A stream object. /Length is added unless `entries` has one; `eol` follows "stream".
    void Stream(int num, const std::string& entries, const std::string& data, int gen = 0,
                const std::string& eol = "\n");
    // Entries of the next section that are not objects in the file.
    void Free(int num, int nextGen = 1);
    void Compressed(int num, int objStream, int index);  // stream form only
    void Raw(const std::string& bytes) { out_ += bytes; }

    // Write a section and "startxref"; both return the section's offset.
    size_t ClassicXref(const XrefOptions& opt = XrefOptions());
    size_t XrefStream(int num, const XrefOptions& opt = XrefOptions());

    // Sections that list objects apart from the next one. SetAside takes objects already
    // written (or entries given) out of the next section and keeps them for one of these:
    // - a linearized file's first-page section, which lies before the objects it lists:
    //   Reserve keeps room for it where the file stands, and FrontXref writes the objects set
    //   aside there as a classic section whose Prev names the latest section (unless
    //   opt.prev is false) and makes the closing startxref name it;
    // - a hybrid file's stream: XrefStmStream writes them as cross-reference stream object
    //   `num`, without trailer entries or startxref, for a classic trailer's XRefStm to name;
    //   the stream object itself goes into the next section.
    void SetAside(const std::vector<int>& nums);
    size_t Reserve(size_t bytes);
    size_t FrontXref(size_t reserved, const XrefOptions& opt = XrefOptions());
    size_t XrefStmStream(int num, const XrefOptions& opt = XrefOptions());

    size_t Offset(int num) const;  // of the latest object written with that number
    size_t Tell() const { return out_.size(); }
    int Size() const { return maxNum_ + 1; }
    const std::string& Bytes() const { return out_; }
    bool Write(const std::string& path) const;

    int root = 1;

private:
    struct Entry {
        char type;  // 'f', 'n' or 'o'
        long long f2;
        long long f3;
    };
    std::map<int, Entry> Pending(bool zeroEntry);
    std::string TrailerEntries(const XrefOptions& opt) const;
    void EndSection(size_t offset);
    static std::string ClassicTable(const std::map<int, Entry>& list);
    std::string StreamObject(int num, const std::map<int, Entry>& list, const XrefOptions& opt,
                             const std::string& trailer) const;

    std::string out_;
    std::map<int, size_t> offsets_;
    std::map<int, Entry> pending_;
    std::map<int, Entry> aside_;
    int maxNum_ = 0;
    size_t lastSection_ = 0;
    bool haveSection_ = false;
};

// Encoders for stream data in tests.
std::string Deflate(const std::string& data);
std::string Ascii85Encode(const std::string& data);  // ends with "~>"
// 8-bit LZW with early change; starts with a clear code when `leadingClear`. A full
// dictionary is cleared when `clearWhenFull`, else it simply stops growing.
std::string LzwEncode(const std::string& data, bool leadingClear = true, bool endCode = true,
                      bool clearWhenFull = true);

// A PdfObj tree as compact text: null true 3 1.5 (a\x00b) /Name 5 0 R [1 2] <</K 1>>.
std::string Describe(PdfObj* obj);

}  // namespace testpdf

#endif
