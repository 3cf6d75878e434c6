// Helpers shared by the fuzz targets: a scratch folder for the files the system insists on
// reading by path, an in-memory stream over an input, and the release of a loaded document.
#ifndef VARDEX_FUZZ_FUZZUTIL_H
#define VARDEX_FUZZ_FUZZUTIL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct PdfXref;
class PdfPageTree;

namespace fuzz {

// A folder of this process under TMPDIR, or when that is unset under /dev/shm (memory, so
// that the many small files of every input cost no disk writes) or else /tmp; made on first
// use and removed with all it holds when the process exits.
const std::string& ScratchDir();

// Writes the bytes to ScratchDir()/name and returns the path (empty on failure).
std::string WriteScratch(const char* name, const uint8_t* data, size_t size);

// A read-only stream over a private copy of the bytes, so that a read past the input is an
// ordinary end of file rather than a read past the fuzzer's buffer. Null for no bytes.
class MemoryStream {
public:
    MemoryStream(const uint8_t* data, size_t size);
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    FILE* fp() const { return fp_; }

private:
    std::vector<char> bytes_;
    FILE* fp_ = nullptr;
};

// The heap one input may hold at its peak. The process as a whole holds more: the fuzzer's
// corpus, its tables and the sanitizers' own memory, which together pass 500 MB in the
// whole-conversion target, so its RSS limit cannot tell one input's memory from the rest.
// HeapWatch counts the bytes live between its start and its end, through the sanitizer's
// allocation hooks, and aborts (which the fuzzer reports with the input) when their peak
// passes the limit.
class HeapWatch {
public:
    explicit HeapWatch(size_t limitBytes);
    ~HeapWatch();
    HeapWatch(const HeapWatch&) = delete;
    HeapWatch& operator=(const HeapWatch&) = delete;
};

// A document opened as the converter opens it, released as the converter releases it.
struct Document {
    PdfXref* xref = nullptr;
    PdfPageTree* pages = nullptr;
    FILE* fp = nullptr;

    // 0 when the cross-reference data and catalog were read.
    int Load(const std::string& path);
    // The page tree walk; pages is null until then.
    void LoadPages(const std::string& tmpDir);
    ~Document();
};

}  // namespace fuzz

#endif
