#include "FuzzUtil.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <ftw.h>
#include <sanitizer/allocator_interface.h>
#include <thread>
#include <unistd.h>

#include "Pdf/FileAccess.h"
#include "Pdf/PdfObj.h"
#include "Pdf/PdfXref.h"
#include "Resources/PdfPageTree.h"

// The sanitizer settings of every target, so that a target run by hand behaves as under
// scripts/fuzz; ASAN_OPTIONS still overrides them. The quarantine that holds freed memory
// back to catch a late use is cut from 256 MB to 64 MB: the whole conversion frees a few
// megabytes per input, so a use after free within one input is still caught, while the
// fuzzer's RSS stays near what the program itself holds (the RSS limit then flags the
// program's memory, not the sanitizer's) and fresh pages stop dominating the run time.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=64:detect_leaks=1";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

namespace fuzz {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path);
    return 0;
}

std::string scratch;

void RemoveScratch()
{
    if (!scratch.empty())
        nftw(scratch.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Bytes the files of the scratch folder may hold together: as much as the fuzzer lets the
// process hold in memory. An input that makes the program write more (temporary files, the
// package) is reported like one that allocates more; on /dev/shm those files are memory too,
// which the fuzzer's RSS limit does not see.
const unsigned long long kMaxScratchBytes = 512ULL * 1024 * 1024;

unsigned long long scratchBytes;  // used by the watcher thread alone

int AddSize(const char*, const struct stat* st, int kind, struct FTW*)
{
    if (kind == FTW_F)
        scratchBytes += (unsigned long long)st->st_blocks * 512;
    return 0;
}

// Sums the scratch folder twice a second and aborts, which the fuzzer reports with the
// input, when it holds more than the limit.
void WatchScratch(std::string path)
{
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        scratchBytes = 0;
        nftw(path.c_str(), AddSize, 16, FTW_PHYS);
        if (scratchBytes > kMaxScratchBytes) {
            fprintf(stderr, "==ERROR: the scratch folder %s holds %llu bytes, more than %llu\n",
                    path.c_str(), scratchBytes, kMaxScratchBytes);
            abort();
        }
    }
}

const char* ScratchBase()
{
    const char* base = getenv("TMPDIR");
    if (base && *base)
        return base;
    if (access("/dev/shm", W_OK | X_OK) == 0)
        return "/dev/shm";
    return "/tmp";
}

}  // namespace

const std::string& ScratchDir()
{
    if (scratch.empty()) {
        std::string tmpl = std::string(ScratchBase()) + "/vardex-fuzz.XXXXXX";
        std::vector<char> path(tmpl.begin(), tmpl.end());
        path.push_back(0);
        if (!mkdtemp(path.data())) {
            perror("mkdtemp");
            abort();
        }
        scratch = path.data();
        atexit(RemoveScratch);
        std::thread(WatchScratch, scratch).detach();
    }
    return scratch;
}

std::string WriteScratch(const char* name, const uint8_t* data, size_t size)
{
    std::string path = ScratchDir() + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return std::string();
    bool ok = fwrite(data, 1, size, f) == size;
    ok = fclose(f) == 0 && ok;
    return ok ? path : std::string();
}

namespace {

std::atomic<bool> watching{false};
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
std::atomic<bool> hooksInstalled{false};

void OnMalloc(const volatile void*, size_t size)
{
    if (!watching.load(std::memory_order_relaxed))
        return;
    long long now = liveBytes.fetch_add((long long)size, std::memory_order_relaxed) + (long long)size;
    long long peak = peakBytes.load(std::memory_order_relaxed);
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void OnFree(const volatile void* p)
{
    // A pointer the allocator does not own is left for the sanitizer to report as the bad
    // free it is.
    if (!watching.load(std::memory_order_relaxed) || !p ||
        !__sanitizer_get_ownership(const_cast<const void*>(p)))
        return;
    liveBytes.fetch_sub((long long)__sanitizer_get_allocated_size(const_cast<const void*>(p)),
                        std::memory_order_relaxed);
}

size_t heapLimit;

}  // namespace

HeapWatch::HeapWatch(size_t limitBytes)
{
    if (!hooksInstalled.exchange(true))
        __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    heapLimit = limitBytes;
    liveBytes = 0;
    peakBytes = 0;
    watching = true;
}

HeapWatch::~HeapWatch()
{
    watching = false;
    long long peak = peakBytes.load();
    if (peak > (long long)heapLimit) {
        fprintf(stderr, "==ERROR: this input held %lld bytes of heap at its peak, more than %zu\n",
                peak, heapLimit);
        abort();
    }
}

MemoryStream::MemoryStream(const uint8_t* data, size_t size) : bytes_(data, data + size)
{
    if (!bytes_.empty())
        fp_ = fmemopen(bytes_.data(), bytes_.size(), "rb");
}

MemoryStream::~MemoryStream()
{
    if (fp_)
        fclose(fp_);
}

int Document::Load(const std::string& path)
{
    xref = new PdfXref();
    xref->fp = nullptr;
    xref->trailer = nullptr;
    xref->root = nullptr;
    xref->reserved = 0;
    xref->entries = nullptr;
    xref->size = 0;
    std::vector<char> name(path.begin(), path.end());
    name.push_back(0);
    int loaded = xref->Load(&fp, name.data());
    if (!fp)
        fp = xref->fp;
    return loaded;
}

void Document::LoadPages(const std::string& tmpDir)
{
    pages = new PdfPageTree(xref);
    pages->Load();
    snprintf(pages->tmpDir, sizeof pages->tmpDir, "%s/", tmpDir.c_str());
}

Document::~Document()
{
    ReleasePageTree(pages);
    ReleaseXref(xref);
    if (fp)
        pdfclose(fp);
}

}  // namespace fuzz
