// A whole conversion of one file into a package in a temporary folder: the cross-reference
// loader, the page tree, the resource pass, the interpreter and the XPS writer together.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzUtil.h"
#include "Apps/converter/Larkspan.h"

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
    Larkspan app(1, argv);
    app.Convert(in.data(), out.data());
    remove(output.c_str());
    return 0;
}
