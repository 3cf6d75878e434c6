#include "Rendering.h"

#include <sstream>
#include <sys/stat.h>

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

// Page 1 of `file` rendered by mutool at `dpi` into a binary PGM, read back.
bool Render(const std::string& file, int dpi, Raster* r, const std::string& work)
{
    std::string pgm = work + "/render.pgm";
    remove(pgm.c_str());
    if (RunCommand("mutool draw -q -r " + std::to_string(dpi) + " -c gray -o " + Quote(pgm) + " " +
              Quote(file) + " 1 >/dev/null 2>&1") != 0)
        return false;
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
        r->ink[i] = (unsigned char)data[start + i] < 128;
    return true;
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
