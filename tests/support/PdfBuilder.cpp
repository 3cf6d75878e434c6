#include "PdfBuilder.h"

#include <cstdio>
#include <fstream>
#include <zlib.h>

#include "Pdf/PdfObj.h"

namespace testpdf {

PdfBuilder::PdfBuilder()
{
    out_ = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
}

void PdfBuilder::Object(int num, const std::string& body, int gen)
{
    offsets_[num] = out_.size();
    pending_[num] = Entry{'n', (long long)out_.size(), gen};
    if (num > maxNum_)
        maxNum_ = num;
    out_ += std::to_string(num) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
}

void PdfBuilder::Stream(int num, const std::string& entries, const std::string& data, int gen,
                        const std::string& eol)
{
    std::string dict = "<< ";
    if (entries.find("/Length") == std::string::npos)
        dict += "/Length " + std::to_string(data.size()) + " ";
    dict += entries + " >>\nstream" + eol + data + "\nendstream";
    Object(num, dict, gen);
}

void PdfBuilder::Free(int num, int nextGen)
{
    pending_[num] = Entry{'f', 0, nextGen};
    if (num > maxNum_)
        maxNum_ = num;
}

void PdfBuilder::Compressed(int num, int objStream, int index)
{
    pending_[num] = Entry{'o', objStream, index};
    if (num > maxNum_)
        maxNum_ = num;
}

size_t PdfBuilder::Offset(int num) const
{
    auto it = offsets_.find(num);
    return it == offsets_.end() ? 0 : it->second;
}

std::map<int, PdfBuilder::Entry> PdfBuilder::Pending(bool zeroEntry)
{
    std::map<int, Entry> list = pending_;
    if (zeroEntry && !list.count(0))
        list[0] = Entry{'f', 0, 65535};
    pending_.clear();
    return list;
}

std::string PdfBuilder::TrailerEntries(const XrefOptions& opt) const
{
    std::string t;
    if (opt.size)
        t += "/Size " + std::to_string(maxNum_ + 1) + " ";
    if (opt.root)
        t += "/Root " + std::to_string(root) + " 0 R ";
    if (opt.prev && haveSection_)
        t += "/Prev " + std::to_string(lastSection_) + " ";
    return t + opt.extra;
}

void PdfBuilder::EndSection(size_t offset)
{
    out_ += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
    lastSection_ = offset;
    haveSection_ = true;
}

// Runs of consecutive object numbers: {first, count}.
template <class M>
static std::vector<std::pair<int, int>> Runs(const M& list)
{
    std::vector<std::pair<int, int>> runs;
    for (const auto& kv : list) {
        if (!runs.empty() && runs.back().first + runs.back().second == kv.first)
            runs.back().second++;
        else
            runs.push_back({kv.first, 1});
    }
    return runs;
}

std::string PdfBuilder::ClassicTable(const std::map<int, Entry>& list)
{
    std::string t = "xref\n";
    for (const auto& run : Runs(list)) {
        t += std::to_string(run.first) + " " + std::to_string(run.second) + "\n";
        for (int n = run.first; n < run.first + run.second; n++) {
            const Entry& e = list.at(n);
            char rec[32];
            snprintf(rec, sizeof rec, "%010lld %05lld %c\r\n", e.f2, e.f3, e.type == 'n' ? 'n' : 'f');
            t += rec;
        }
    }
    return t;
}

size_t PdfBuilder::ClassicXref(const XrefOptions& opt)
{
    std::map<int, Entry> list = Pending(!haveSection_ && opt.zeroEntry);
    size_t at = out_.size();
    out_ += ClassicTable(list) + "trailer\n<< " + TrailerEntries(opt) + " >>\n";
    EndSection(at);
    return at;
}

void PdfBuilder::SetAside(const std::vector<int>& nums)
{
    for (int n : nums) {
        auto it = pending_.find(n);
        if (it != pending_.end()) {
            aside_[n] = it->second;
            pending_.erase(it);
        }
    }
}

size_t PdfBuilder::Reserve(size_t bytes)
{
    size_t at = out_.size();
    out_ += std::string(bytes - 1, ' ') + "\n";
    return at;
}

size_t PdfBuilder::FrontXref(size_t reserved, const XrefOptions& opt)
{
    if (!haveSection_ && opt.zeroEntry && !aside_.count(0))
        aside_[0] = Entry{'f', 0, 65535};
    std::string section = ClassicTable(aside_) + "trailer\n<< " + TrailerEntries(opt) +
                          " >>\nstartxref\n0\n%%EOF\n";
    aside_.clear();
    size_t room = out_.find('\n', reserved) - reserved;
    if (section.size() > room)
        return 0;  // the caller reserved too little
    out_.replace(reserved, section.size(), section);
    EndSection(reserved);
    return reserved;
}

static void PutField(std::string& row, long long v, int width)
{
    for (int i = width - 1; i >= 0; i--)
        row += (char)((v >> (8 * i)) & 0xff);
}

std::string PdfBuilder::StreamObject(int num, const std::map<int, Entry>& list,
                                     const XrefOptions& opt, const std::string& trailer) const
{
    std::string rows, index;
    for (const auto& run : Runs(list))
        index += std::to_string(run.first) + " " + std::to_string(run.second) + " ";
    const int rowBytes = opt.w[0] + opt.w[1] + opt.w[2];
    std::string above((size_t)rowBytes, '\0');
    for (const auto& kv : list) {
        const Entry& e = kv.second;
        std::string row;
        PutField(row, e.type == 'f' ? 0 : e.type == 'n' ? 1 : 2, opt.w[0]);
        PutField(row, e.f2, opt.w[1]);
        PutField(row, e.f3, opt.w[2]);
        if (opt.predictor) {
            // PNG Up: each row is the byte 2 and its differences from the row above.
            std::string up = "\x02";
            for (int i = 0; i < rowBytes; i++)
                up += (char)(row[(size_t)i] - above[(size_t)i]);
            above = row;
            row = up;
        }
        rows += row;
    }
    std::string data = opt.compress ? Deflate(rows) : rows;
    std::string entries = "/Type /XRef /W [" + std::to_string(opt.w[0]) + " " + std::to_string(opt.w[1]) +
                          " " + std::to_string(opt.w[2]) + "] ";
    if (opt.index)
        entries += "/Index [" + index + "] ";
    if (opt.compress)
        entries += "/Filter /FlateDecode ";
    if (opt.predictor)
        entries += "/DecodeParms << /Columns " + std::to_string(rowBytes) + " /Predictor 12 >> ";
    return std::to_string(num) + " 0 obj\n<< /Length " + std::to_string(data.size()) + " " + entries +
           trailer + " >>\nstream\n" + data + "\nendstream\nendobj\n";
}

size_t PdfBuilder::XrefStream(int num, const XrefOptions& opt)
{
    size_t at = out_.size();
    // The stream lists itself.
    pending_[num] = Entry{'n', (long long)at, 0};
    if (num > maxNum_)
        maxNum_ = num;
    std::map<int, Entry> list = Pending(!haveSection_ && opt.zeroEntry);
    offsets_[num] = at;
    out_ += StreamObject(num, list, opt, TrailerEntries(opt));
    EndSection(at);
    return at;
}

size_t PdfBuilder::XrefStmStream(int num, const XrefOptions& opt)
{
    size_t at = out_.size();
    if (num > maxNum_)
        maxNum_ = num;
    out_ += StreamObject(num, aside_, opt, "/Size " + std::to_string(maxNum_ + 1));
    aside_.clear();
    offsets_[num] = at;
    pending_[num] = Entry{'n', (long long)at, 0};
    return at;
}

bool PdfBuilder::Write(const std::string& path) const
{
    std::ofstream f(path, std::ios::binary);
    f.write(out_.data(), (std::streamsize)out_.size());
    return (bool)f;
}

std::string Deflate(const std::string& data)
{
    uLongf n = compressBound((uLong)data.size());
    std::string out(n, '\0');
    compress2((Bytef*)&out[0], &n, (const Bytef*)data.data(), (uLong)data.size(), 9);
    out.resize(n);
    return out;
}

std::string Ascii85Encode(const std::string& data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); i += 4) {
        size_t k = data.size() - i < 4 ? data.size() - i : 4;
        unsigned long v = 0;
        for (size_t j = 0; j < 4; j++)
            v = v * 256 + (j < k ? (unsigned char)data[i + j] : 0);
        if (v == 0 && k == 4) {
            out += 'z';
            continue;
        }
        char g[5];
        for (int j = 4; j >= 0; j--) {
            g[j] = (char)('!' + v % 85);
            v /= 85;
        }
        out.append(g, k + 1);
    }
    return out + "~>";
}

std::string LzwEncode(const std::string& data, bool leadingClear, bool endCode, bool clearWhenFull)
{
    std::string out;
    unsigned long acc = 0;
    int bits = 0;
    int width = 9;
    auto put = [&](int code) {
        acc = (acc << width) | (unsigned long)code;
        bits += width;
        while (bits >= 8) {
            out += (char)((acc >> (bits - 8)) & 0xff);
            bits -= 8;
        }
    };
    std::map<std::string, int> dict;
    auto reset = [&]() {
        dict.clear();
        for (int i = 0; i < 256; i++)
            dict[std::string(1, (char)i)] = i;
    };
    reset();
    int next = 258;
    if (leadingClear)
        put(256);
    std::string w;
    for (char c : data) {
        std::string wc = w + c;
        if (dict.count(wc)) {
            w = wc;
            continue;
        }
        put(dict[w]);
        if (next < 4096) {
            dict[wc] = next++;
            // The decoder widens one code early.
            if (next + 1 > (1 << width) && width < 12)
                width++;
        }
        if (next >= 4096 && clearWhenFull) {
            put(256);
            reset();
            next = 258;
            width = 9;
        }
        w = std::string(1, c);
    }
    if (!w.empty())
        put(dict[w]);
    if (endCode)
        put(257);
    if (bits > 0)
        out += (char)((acc << (8 - bits)) & 0xff);
    return out;
}

std::string Describe(PdfObj* obj)
{
    if (!obj)
        return "<none>";
    char num[64];
    switch (obj->Type()) {
    case PDF_NULL:
        return "null";
    case PDF_BOOL:
        return static_cast<PdfBool*>(obj)->value ? "true" : "false";
    case PDF_NUMBER:
        return std::to_string(static_cast<PdfNumber*>(obj)->value);
    case PDF_REAL:
        snprintf(num, sizeof num, "%g", static_cast<PdfReal*>(obj)->value);
        return num;
    case PDF_STRING: {
        PdfString* s = static_cast<PdfString*>(obj);
        std::string t = "(";
        for (int i = 0; i < s->len; i++) {
            unsigned char c = (unsigned char)s->str[i];
            if (c >= 32 && c < 127) {
                t += (char)c;
            } else {
                snprintf(num, sizeof num, "\\x%02x", c);
                t += num;
            }
        }
        return t + ")";
    }
    case PDF_NAME: {
        PdfName* n = static_cast<PdfName*>(obj);
        return n->str ? "/" + std::string(n->str) : "/<null>";
    }
    case PDF_INDIRECT: {
        PdfIndirect* r = static_cast<PdfIndirect*>(obj);
        return std::to_string(r->refNum) + " " + std::to_string(r->refGen) + " R";
    }
    case PDF_ARRAY: {
        PdfArray* a = static_cast<PdfArray*>(obj);
        std::string t = "[";
        for (int i = 0; i < a->count; i++)
            t += (i ? " " : "") + Describe(a->items[i]);
        return t + "]";
    }
    case PDF_DICT: {
        PdfDict* d = static_cast<PdfDict*>(obj);
        std::string t = "<<";
        for (int i = 0; i < d->count; i++)
            t += (i ? " " : "") + Describe(d->entries[i].key) + " " + Describe(d->entries[i].value);
        return t + ">>";
    }
    default:
        return "<type " + std::to_string(obj->Type()) + ">";
    }
}

}  // namespace testpdf
