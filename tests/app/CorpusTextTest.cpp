// The text of real documents: every PDF of the shared corpus that carries fonts converts, and
// on every page each line of text that the PDF's rendering inks is inked in the package, as
// mutool draws it and as xpstopng does. One case per file, so ctest runs them side by side;
// without the shared corpus there are none.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Rendering.h"
#include "TestUtil.h"

namespace {

const std::string kVardex = VARDEX_BINARY_DIR "/Vardex";

using testutil::Quote;
using testutil::Raster;

// The reasons the corpus index gives for what a file holds beyond the converter that keep its
// text away from the package. Any other reason leaves the text drawn: the font kinds it names
// (font-Type1C-emb, font-Type0/CID0C-emb, font-TrueType-nonemb and its standard-name form,
// font-OpenType-emb) are all drawn, and so are pages around images behind ASCIIHex or
// RunLength filters.
const struct {
    const char* scope;
    const char* why;
} kOtherReasons[] = {
    {"filter-CCITT", "its text is a CCITTFax scan, which is not decoded"},
};

// Files whose text is kept away by something the index does not name.
const struct {
    const char* file;
    const char* why;
} kFileReasons[] = {
    {"pdfjs__issue19532.pdf", "its Type 3 glyphs are inline image masks behind CCITTFaxDecode, which is not decoded"},
};

struct CorpusFile {
    std::string file;
    std::string skip;  // why its text is not held to the package, or ""
};

void PrintTo(const CorpusFile& f, std::ostream* os)
{
    *os << f.file;
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string p; std::getline(in, p, sep);)
        parts.push_back(p);
    return parts;
}

// The files of the corpus index that use fonts, each with the reason it is passed over, if
// one holds.
std::vector<CorpusFile> FilesWithText()
{
    std::vector<CorpusFile> files;
    const std::string shared = testutil::SharedDir();
    if (shared.empty())
        return files;
    std::ifstream index(shared + "/corpus/dev/index.tsv");
    std::string line;
    std::getline(index, line);
    const std::vector<std::string> head = Split(line, '\t');
    while (std::getline(index, line)) {
        const std::vector<std::string> row = Split(line, '\t');
        auto column = [&](const char* name) {
            for (size_t i = 0; i < head.size() && i < row.size(); i++)
                if (head[i] == name)
                    return row[i];
            return std::string();
        };
        if (column("fonts") == "-" || column("fonts").empty())
            continue;
        CorpusFile f{column("file"), ""};
        if (column("convertible") != "yes")
            f.skip = "the converter refuses it (" + column("reasons") + ")";
        for (const std::string& scope : Split(column("beyond_scope"), ',')) {
            for (const auto& other : kOtherReasons)
                if (scope == other.scope && f.skip.empty())
                    f.skip = other.why;
        }
        for (const auto& other : kFileReasons)
            if (f.file == other.file && f.skip.empty())
                f.skip = other.why;
        files.push_back(f);
    }
    return files;
}

// The lines of text of each page of a PDF as mutool finds them: boxes in points from the top
// left, which are pixels of a 72 dpi rendering. Lines of blanks only are left out.
struct Line {
    double x0, y0, x1, y1;
};

std::vector<std::vector<Line>> TextLines(const std::string& pdf)
{
    std::string xml;
    testutil::RunCommand("mutool draw -q -F stext -o - " + Quote(pdf) + " 2>/dev/null", &xml);
    std::vector<std::vector<Line>> pages;
    for (size_t page = xml.find("<page "); page != std::string::npos;) {
        size_t next = xml.find("<page ", page + 1);
        const std::string body = xml.substr(page, next == std::string::npos ? std::string::npos : next - page);
        page = next;
        pages.emplace_back();
        for (size_t at = body.find("<line bbox=\""); at != std::string::npos;
             at = body.find("<line bbox=\"", at + 1)) {
            Line l;
            if (sscanf(body.c_str() + at, "<line bbox=\"%lf %lf %lf %lf\"", &l.x0, &l.y0, &l.x1, &l.y1) != 4)
                continue;
            size_t end = body.find("</line>", at);
            const std::string text = body.substr(at, end == std::string::npos ? std::string::npos : end - at);
            bool ink = false;
            for (size_t c = text.find(" c=\""); c != std::string::npos && !ink; c = text.find(" c=\"", c + 1))
                ink = text.compare(c, 7, " c=\" \"/") != 0;
            if (ink)
                pages.back().push_back(l);
        }
    }
    return pages;
}

// Pages are drawn at twice 72 dpi: at 72, a row of dots or a macron is a pixel or two that
// two rasterisers anti-alias to different greys.
const int kDpi = 144;
const double kScale = kDpi / 72.0;

// The inked pixels in the box of a line, and a pixel around it.
int InkIn(const Raster& r, const Line& l)
{
    int n = 0;
    for (int y = std::max(0, (int)(l.y0 * kScale) - 1); y <= std::min(r.height - 1, (int)(l.y1 * kScale) + 1); y++)
        for (int x = std::max(0, (int)(l.x0 * kScale) - 1); x <= std::min(r.width - 1, (int)(l.x1 * kScale) + 1); x++)
            n += r.at(x, y);
    return n;
}

// A copy of the PDF with the keys of `names` renamed in place (offsets stay), so readers draw
// its pages without them.
std::string WithoutKeys(const std::string& pdf, std::initializer_list<const char*> names)
{
    std::string data = testutil::ReadFile(pdf);
    for (const char* name : names) {
        const std::string key = std::string("/") + name;
        for (size_t at = data.find(key); at != std::string::npos; at = data.find(key, at + 1)) {
            size_t after = at + key.size();
            if (after < data.size() && strchr(" \t\r\n[]<>/()%0123456789", data[after]))
                data[after - 1] = 'X';
        }
    }
    return data;
}

// Ink is any grey level a reader sees as a mark: small and thin print is mostly anti-aliased
// edge, which two renderers put on either side of mid-grey.
const int kInk = 224;

// A PDF as a reader shows it and as the converter lays it out, with its text lines and pages.
struct Reference {
    std::vector<std::vector<Line>> lines;
    std::vector<Raster> pages;
};

Reference ReferenceOf(const std::string& pdf, const std::string& work)
{
    Reference r;
    r.lines = TextLines(pdf);
    r.pages = testutil::RenderPages(pdf, kDpi, work, kInk);
    return r;
}

class CorpusTextStaysVisible : public testing::TestWithParam<CorpusFile> {};

TEST_P(CorpusTextStaysVisible, OnEveryPage)
{
    const CorpusFile& c = GetParam();
    if (!c.skip.empty())
        GTEST_SKIP() << c.skip;
    const std::string pdf = testutil::SharedDir() + "/corpus/dev/" + c.file;
    testutil::TempDir dir;
    std::string err;
    ASSERT_EQ(0, testutil::RunCommand("cd " + Quote(dir.path()) + " && " + Quote(kVardex) +
                                          " -q --tmpdir work -o out " + Quote(pdf) + " 2>&1",
                                      &err))
        << err;
    std::vector<std::string> made = testutil::Entries(dir.file("out"));
    ASSERT_EQ(1u, made.size());
    const std::string xps = dir.file("out/" + made[0]);

    const std::string checker = testutil::SharedDir() + "/tools/xps-check";
    std::string report;
    if (testutil::FileExists(checker)) {
        EXPECT_EQ(0, testutil::RunCommand(Quote(checker) + " -q " + Quote(xps) + " 2>&1", &report)) << report;
    }

    // Annotations and form fields are not drawn by design. A page is shown by its crop box
    // and turned by its Rotate entry, or is its media box upright: the reference is the one
    // whose page has the package's size, the second made only when a page needs it.
    ASSERT_TRUE(testutil::WriteFile(dir.file("shown.pdf"), WithoutKeys(pdf, {"Annots"})));
    const Reference shown = ReferenceOf(dir.file("shown.pdf"), dir.path());
    ASSERT_FALSE(shown.pages.empty());
    ASSERT_EQ(shown.pages.size(), shown.lines.size());
    Reference laid;

    const std::vector<Raster> byMutool = testutil::RenderPages(xps, kDpi, dir.path(), kInk);
    const std::vector<Raster> byGxps = testutil::XpstopngPages(xps, kDpi, dir.path(), kInk);
    ASSERT_EQ(shown.pages.size(), byMutool.size()) << "pages drawn by mutool";
    ASSERT_EQ(shown.pages.size(), byGxps.size()) << "pages drawn by xpstopng";

    auto sameSize = [](const Raster& a, const Raster& b) {
        return std::abs(a.width - b.width) <= 1 && std::abs(a.height - b.height) <= 1;
    };
    int checked = 0;
    for (size_t p = 0; p < shown.pages.size(); p++) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        if (shown.lines[p].empty())
            continue;
        if (!sameSize(shown.pages[p], byMutool[p]) && laid.pages.empty()) {
            ASSERT_TRUE(testutil::WriteFile(dir.file("laid.pdf"), WithoutKeys(pdf, {"Annots", "CropBox", "Rotate"})));
            laid = ReferenceOf(dir.file("laid.pdf"), dir.path());
            ASSERT_EQ(shown.pages.size(), laid.pages.size());
            ASSERT_EQ(shown.pages.size(), laid.lines.size());
        }
        const Reference& ref = sameSize(shown.pages[p], byMutool[p]) ? shown : laid;
        ASSERT_TRUE(sameSize(ref.pages[p], byMutool[p]));
        ASSERT_TRUE(sameSize(ref.pages[p], byGxps[p]));
        const struct {
            const char* reader;
            const Raster& page;
        } readers[] = {{"mutool", byMutool[p]}, {"xpstopng", byGxps[p]}};
        for (const auto& r : readers) {
            // libgxps paints nothing of a linear gradient brush that ends in transparent stops
            // under this file's flipped brush transform, where mutool and the PDF show black
            // text: a bug of that reader (the same brush without the transparent end stops
            // shows the text there).
            if (std::string(r.reader) == "xpstopng" &&
                GetParam().file == "pdfjs__issue16091.qpdf-rewrite.pdf")
                continue;
            int inked = 0, visible = 0;
            std::string missing;
            for (const Line& l : ref.lines[p]) {
                int want = InkIn(ref.pages[p], l);
                if (want == 0)
                    continue;
                inked++;
                int got = InkIn(r.page, l);
                if (got * 2 >= want)
                    visible++;
                else if (missing.size() < 200)
                    missing += " (" + std::to_string((int)l.x0) + "," + std::to_string((int)l.y0) + ": " +
                               std::to_string(got) + " of " + std::to_string(want) + " px)";
            }
            EXPECT_EQ(inked, visible) << r.reader << ": " << visible << " of " << inked
                                      << " lines visible; missing at" << missing;
            checked += inked;
        }
    }
    if (checked == 0)
        GTEST_SKIP() << "the PDF's rendering inks no line of text";
}

std::string CaseName(const testing::TestParamInfo<CorpusFile>& info)
{
    std::string name = info.param.file;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0)
        name.resize(name.size() - 4);
    for (char& ch : name)
        if (!isalnum((unsigned char)ch))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(TextConversion, CorpusTextStaysVisible, testing::ValuesIn(FilesWithText()), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusTextStaysVisible);

}  // namespace
