// Writes the seed inputs of every fuzz target: makeseeds FOLDER fills FOLDER/<target>/.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "HostileDocs.h"
#include "SeedDocs.h"

namespace {

// The parser target reads inputs up to this length (scripts/fuzz): a longer document would
// reach it cut, and its head is already among the shorter ones.
const size_t kParserMaxLen = 65536;

bool Put(const std::string& dir, const std::string& name, const std::string& bytes)
{
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        perror(path.c_str());
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: makeseeds FOLDER\n");
        return 2;
    }
    std::string root = argv[1];
    mkdir(root.c_str(), 0755);
    bool ok = true;
    for (const auto& doc : fuzz::DocumentSeeds()) {
        ok = Put(root + "/xref", doc.first, doc.second) && ok;
        ok = Put(root + "/convert", doc.first, doc.second) && ok;
        ok = Put(root + "/parser", doc.first, doc.second) && ok;
    }
    // The hostile documents of the converter's tests: each was built to break one structure,
    // so each starts the whole-file targets at a case that matters.
    for (const auto& row : testpdf::HostileDocs()) {
        std::string doc = row.make();
        std::string name = "hostile-" + row.name + ".pdf";
        ok = Put(root + "/xref", name, doc) && ok;
        ok = Put(root + "/convert", name, doc) && ok;
        if (doc.size() <= kParserMaxLen)
            ok = Put(root + "/parser", name, doc) && ok;
    }
    std::vector<std::string> contents = fuzz::ContentSeeds();
    for (size_t i = 0; i < contents.size(); i++)
        ok = Put(root + "/content", "ops-" + std::to_string(i), contents[i]) && ok;
    for (const auto& f : fuzz::FilterSeeds())
        ok = Put(root + "/filter", f.first, f.second) && ok;
    for (const auto& f : fuzz::FunctionSeeds())
        ok = Put(root + "/function", f.first, f.second) && ok;
    for (const auto& o : fuzz::ObjectSeeds())
        ok = Put(root + "/parser", o.first, o.second) && ok;
    return ok ? 0 : 1;
}
