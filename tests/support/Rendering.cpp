#include "Rendering.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

#include "TestImages.h"
#include "TestUtil.h"

namespace testutil {

// The project's shared folder (sample PDFs, checking tools) lies beside the checkout, or one
// further up for a worktree; the tests run without it.
std::string SharedDir()
{
    for (const char* up : {"/..", "/../.."}) {
        std::string dir = std::string(VARDEX_SOURCE_DIR) + up + "/shared";
        struct stat st;
        if (stat((dir + "/corpus/dev/index.tsv").c_str(), &st) == 0)
            return dir;
    }
    return "";
}

double Raster::InkShare() const
{
    size_t n = 0;
    for (bool b : ink)
        n += b;
    return ink.empty() ? 0 : (double)n / ink.size();
}

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Standard error without the package writer's own diagnostic lines ("DEBUG: ..." and the
// file-access trace of standard-output mode): what is left are the converter's messages.
std::string Messages(const std::string& err)
{
    std::string kept, line;
    for (size_t at = 0; at < err.size();) {
        size_t end = err.find('\n', at);
        end = end == std::string::npos ? err.size() : end + 1;
        line = err.substr(at, end - at);
        at = end;
        bool trace = line.size() > 10 && line.compare(line.size() - 11, 11, "_file_func\n") == 0;
        if (line.compare(0, 7, "DEBUG: ") != 0 && !trace)
            kept += line;
    }
    return kept;
}

namespace {

// A binary PGM file as a raster.
bool ReadPgm(const std::string& pgm, Raster* r, int inkBelow = 128)
{
    std::string data = testutil::ReadFile(pgm);
    std::istringstream in(data);
    std::string magic;
    int maxval = 0;
    in >> magic >> r->width >> r->height >> maxval;
    in.get();
    if (magic != "P5" || maxval != 255 || r->width <= 0 || r->height <= 0)
        return false;
    size_t start = (size_t)in.tellg();
    size_t n = (size_t)r->width * r->height;
    if (data.size() < start + n)
        return false;
    r->ink.resize(n);
    for (size_t i = 0; i < n; i++)
        r->ink[i] = (unsigned char)data[start + i] < inkBelow;
    return true;
}

// The files of `dir` named `prefix`, digits, `suffix`, in the order of their numbers.
std::vector<std::string> NumberedFiles(const std::string& dir, const std::string& prefix,
                                       const std::string& suffix)
{
    std::vector<std::pair<long, std::string>> found;
    for (const std::string& name : Entries(dir)) {
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.find_first_not_of("0123456789") == std::string::npos)
            found.push_back({atol(digits.c_str()), dir + "/" + name});
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> files;
    for (const auto& f : found)
        files.push_back(f.second);
    return files;
}

}  // namespace

// Page 1 of `file` rendered by mutool at `dpi` into a binary PGM, read back.
bool Render(const std::string& file, int dpi, Raster* r, const std::string& work)
{
    std::string pgm = work + "/render.pgm";
    remove(pgm.c_str());
    if (RunCommand("mutool draw -q -r " + std::to_string(dpi) + " -c gray -o " + Quote(pgm) + " " +
              Quote(file) + " 1 >/dev/null 2>&1") != 0)
        return false;
    return ReadPgm(pgm, r);
}

std::vector<Raster> RenderPages(const std::string& file, int dpi, const std::string& work, int inkBelow)
{
    std::string dir = work + "/mutool-pages";
    RunCommand("rm -rf " + Quote(dir) + " && mkdir -p " + Quote(dir));
    std::vector<Raster> pages;
    if (RunCommand("mutool draw -q -r " + std::to_string(dpi) + " -c gray -o " +
                   Quote(dir + "/p%d.pgm") + " " + Quote(file) + " >/dev/null 2>&1") != 0)
        return pages;
    for (const std::string& pgm : NumberedFiles(dir, "p", ".pgm")) {
        Raster r;
        if (!ReadPgm(pgm, &r, inkBelow))
            return {};
        pages.push_back(std::move(r));
    }
    return pages;
}

std::vector<Raster> XpstopngPages(const std::string& package, int dpi, const std::string& work, int inkBelow)
{
    std::string dir = work + "/xpstopng-pages";
    RunCommand("rm -rf " + Quote(dir) + " && mkdir -p " + Quote(dir));
    std::vector<Raster> pages;
    if (RunCommand("xpstopng -r " + std::to_string(dpi) + " " + Quote(package) + " " +
                   Quote(dir + "/p") + " >/dev/null 2>&1") != 0)
        return pages;
    for (const std::string& png : NumberedFiles(dir, "p-", ".png")) {
        testimg::Png img = testimg::ReadPng(png);
        if (!img.ok)
            return {};
        Raster r;
        r.width = img.width;
        r.height = img.height;
        r.ink.resize((size_t)img.width * img.height);
        for (int y = 0; y < img.height; y++)
            for (int x = 0; x < img.width; x++) {
                const unsigned char* p = img.At(x, y);
                r.ink[(size_t)y * img.width + x] = (p[0] + p[1] + p[2]) / 3 < inkBelow;
            }
        pages.push_back(std::move(r));
    }
    return pages;
}

// Pixels of `a` whose ink has no match in `b` at the same place or one pixel around it, as a
// share of all pixels. Edges drawn half a pixel apart by two readers stay within the play.
double Unmatched(const Raster& a, const Raster& b)
{
    size_t bad = 0;
    for (int y = 0; y < a.height; y++) {
        for (int x = 0; x < a.width; x++) {
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; dy++) {
                for (int dx = -1; dx <= 1 && !found; dx++) {
                    int u = x + dx, v = y + dy;
                    if (u >= 0 && v >= 0 && u < b.width && v < b.height && b.at(u, v) == a.at(x, y))
                        found = true;
                }
            }
            bad += !found;
        }
    }
    return (double)bad / ((double)a.width * a.height);
}

bool OpensInXpstopng(const std::string& package, const std::string& work)
{
    std::string prefix = work + "/gxps";
    return RunCommand("xpstopng -f 1 -l 1 " + Quote(package) + " " + Quote(prefix) +
                 " >/dev/null 2>&1") == 0 &&
           RunCommand("ls " + Quote(work) + "/gxps*.png >/dev/null 2>&1") == 0;
}

}  // namespace testutil
