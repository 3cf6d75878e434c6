// A whole conversion of one file into a package, as the command line runs it: the
// cross-reference loader, the page tree, the resource pass, the interpreter and the XPS
// writer together. Besides crashes, leaks and hangs it flags a conversion that reports
// success without a package, reports failure but leaves one, or leaves its work files behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "FuzzUtil.h"
#include "Apps/converter/Larkspan.h"

namespace {

std::string workBase;

// What one conversion may hold: the memory bound of a Release build's conversion.
const size_t kMaxConversionHeap = 256u << 20;

bool IsEmptyFolder(const std::string& path)
{
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return false;
    int entries = 0;
    while (dirent* e = readdir(dir))
        entries++;
    closedir(dir);
    return entries == 2;  // . and ..
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The conversion makes its work folder under TMPDIR: put it in the scratch folder too, on
    // the same (memory-backed) file system, where the check below can see that it went.
    workBase = fuzz::ScratchDir() + "/work";
    mkdir(workBase.c_str(), 0700);
    setenv("TMPDIR", workBase.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input = fuzz::WriteScratch("in.pdf", data, size);
    if (input.empty())
        return 0;
    std::string output = fuzz::ScratchDir() + "/out.XPS";
    std::vector<char> in(input.begin(), input.end()), out(output.begin(), output.end());
    in.push_back(0);
    out.push_back(0);

    char name[] = "Vardex";
    char* argv[] = {name, nullptr};
    int status;
    {
        fuzz::HeapWatch heap(kMaxConversionHeap);
        Larkspan app(1, argv);
        status = app.Convert(in.data(), out.data());
    }
    struct stat st;
    bool package = stat(output.c_str(), &st) == 0;
    if (status == 0 && (!package || st.st_size == 0)) {
        fprintf(stderr, "conversion reported success without a package\n");
        abort();
    }
    if (status != 0 && package) {
        fprintf(stderr, "failed conversion left a package behind\n");
        abort();
    }
    if (!IsEmptyFolder(workBase)) {
        fprintf(stderr, "conversion left files in its temporary folder %s\n", workBase.c_str());
        abort();
    }
    remove(output.c_str());
    return 0;
}
