#include "Xps/XpsPackage.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Pdf/FileAccess.h"
#include "Pdf/PdfXref.h"
#include "Resources/PngWriter.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "Xps/InternalResource.h"
#include "XpsTestUtil.h"

using testutil::ReadFile;
using testutil::RunCommand;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kPageHead =
    "<FixedPage xmlns=\"http://schemas.microsoft.com/xps/2005/06\" Width=\"816\" "
    "Height=\"1056\" xml:lang=\"en-US\">\n";
const char* const kBlackSquare =
    "<Path Data=\"M 96,96 L 480,96 480,480 96,480 z\" Fill=\"#FF000000\"/>\n";
const char* const kCmykSquare =
    "<Path Data=\"M 96,96 L 480,96 480,480 96,480 z\" "
    "Fill=\"ContextColor /Resources/Swop.icc 1.0,0,0,0,1\"/>\n";

std::string ImagePath(const std::string& source, int x)
{
    return "<Path Data=\"M " + std::to_string(x) + ",100 l 200,0 0,200 -200,0 z\"><Path.Fill>"
           "<ImageBrush ImageSource=\"/Resources/" + source + "\" Viewbox=\"0,0,4,4\" Viewport=\"" +
           std::to_string(x) + ",100,200,200\" ViewboxUnits=\"Absolute\" "
           "ViewportUnits=\"Absolute\" TileMode=\"None\"/></Path.Fill></Path>\n";
}

struct PairRec {
    int page;
    int value;
};
struct InlineRec {
    int page;
    char path[PDF_MAX_PATH];
};

// Hand-made pages and resources in a temporary folder, with the resource-use lists and the
// cross-reference entries a conversion would leave behind.
struct Sample {
    TempDir dir;
    std::string pages = dir.file("pages");
    std::vector<std::string> paths;  // kept alive for the entries
    std::vector<XrefEntry> entries = std::vector<XrefEntry>(20);
    std::unique_ptr<PdfXref> xref{new PdfXref()};
    XGE_List resources, internal, inlineImages;

    Sample()
    {
        mkdir(pages.c_str(), 0755);
        resources.elemSize = internal.elemSize = sizeof(PairRec);
        inlineImages.elemSize = sizeof(InlineRec);
        xref->size = (int)entries.size();
        xref->entries = entries.data();
        paths.reserve(8);

        char pixels[16];
        for (int i = 0; i < 16; i++)
            pixels[i] = (char)(i * 16);
        std::string img = pages + "/IMG_005.png";
        std::string inl = pages + "/IMG_IL_003_1.png";
        ImageBufToPNGGray(&img[0], pixels, 4, 4);
        ImageBufToPNGGray(&inl[0], pixels, 4, 4);
        WriteFile(pages + "/Font_007.ttf", ReadFile(kFont));

        Extracted(5, img);
        Extracted(7, pages + "/Font_007.ttf");
        Extracted(9, pages + "/IMG_009.png");  // the file was never written
        WriteFile(pages + "/1.fpage",
                  std::string(kPageHead) + kBlackSquare + ImagePath("IMG_005.png", 500) +
                      "<Glyphs FontUri=\"/Resources/Font_007.ttf\" FontRenderingEmSize=\"48\" "
                      "OriginX=\"96\" OriginY=\"700\" Indices=\"36;37\" UnicodeString=\"AB\" "
                      "Fill=\"ContextColor /Resources/Swop.icc 1.0,0,0,0,1\"/>\n</FixedPage>\n");
        WriteFile(pages + "/2.fpage", std::string(kPageHead) + ImagePath("IMG_005.png", 100) +
                                          ImagePath("IMG_IL_003_1.png", 400) + "</FixedPage>\n");
        WriteFile(pages + "/3.fpage", std::string(kPageHead) + kCmykSquare + "</FixedPage>\n");

        for (PairRec r : {PairRec{0, 5}, PairRec{0, 7}, PairRec{1, 5}, PairRec{0, 9},
                          PairRec{1, 11} /* no extracted file */, PairRec{0, 99999} /* no entry */,
                          PairRec{0, 5} /* repeated */, PairRec{5, 7} /* no such page */})
            resources.Add(&r);
        for (PairRec r : {PairRec{0, 1}, PairRec{2, 1}, PairRec{1, 42} /* unknown id */})
            internal.Add(&r);
        AddInline(1, inl);
        AddInline(1, pages + "/IMG_IL_003_2.png");  // missing
    }

    void Extracted(int obj, const std::string& path)
    {
        paths.push_back(path);
        entries[obj].path = &paths.back()[0];
    }

    void AddInline(int page, const std::string& path)
    {
        InlineRec r{};
        r.page = page;
        snprintf(r.path, sizeof r.path, "%s", path.c_str());
        inlineImages.Add(&r);
    }

    int Write(const char* out, int pageCount = 3, const std::string& pageDir = "")
    {
        std::string d = pageDir.empty() ? pages : pageDir;
        return WriteXpsPackage(pageCount, &resources, &internal, &inlineImages, out, d.c_str(),
                               xref.get());
    }
};

std::vector<std::string> EntryNames(const std::string& zip)
{
    std::string listing;
    RunCommand("unzip -Z1 '" + zip + "' 2>/dev/null", &listing);
    std::vector<std::string> names;
    size_t at = 0;
    for (size_t nl; (nl = listing.find('\n', at)) != std::string::npos; at = nl + 1)
        names.push_back(listing.substr(at, nl - at));
    return names;
}

std::string Entry(const std::string& zip, const std::string& name)
{
    std::string out;
    RunCommand("unzip -p '" + zip + "' '" + name + "' 2>/dev/null", &out);
    return out;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

std::string Rel(const std::string& target, const std::string& id)
{
    return "<Relationship Type=\"http://schemas.microsoft.com/xps/2005/06/required-resource\" "
           "Target=\"/Resources/" + target + "\" Id=\"" + id + "\"/> \n";
}

const std::string kRelsHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> \n<Relationships "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"> \n";

TEST(XpsPackage, PagesAndResourcesMakeAPackageThatReadersShow)
{
    Sample s;
    const std::string xps = s.dir.file("out.xps");
    ASSERT_EQ(0, s.Write(xps.c_str()));
    ASSERT_EQ(0, RunCommand("unzip -tqq '" + xps + "' >/dev/null 2>&1"));

    // Each file once, missing files nowhere, resources before the pages.
    const std::vector<std::string> want = {
        "FixedDocumentSequence.fdseq", "[Content_Types].xml", "_rels/.rels",
        "Documents/1/FixedDocument.fdoc", "Documents/1/Pages/_rels/1.fpage.rels",
        "Documents/1/Pages/_rels/2.fpage.rels", "Documents/1/Pages/_rels/3.fpage.rels",
        "Resources/IMG_005.png", "Resources/Font_007.ttf", "Resources/IMG_IL_003_1.png",
        "Resources/SWOP.ICC", "Documents/1/Pages/1.fpage", "Documents/1/Pages/2.fpage",
        "Documents/1/Pages/3.fpage"};
    const std::vector<std::string> names = EntryNames(xps);
    EXPECT_EQ(want, names);

    EXPECT_EQ(kRelsHead + Rel("IMG_005.png", "Q5") + Rel("Font_007.ttf", "Q7") +
                  Rel("SWOP.ICC", "Q0_1") + "</Relationships>\n",
              Entry(xps, "Documents/1/Pages/_rels/1.fpage.rels"));
    EXPECT_EQ(kRelsHead + Rel("IMG_005.png", "Q5") + Rel("IMG_IL_003_1.png", "I1") +
                  "</Relationships>\n",
              Entry(xps, "Documents/1/Pages/_rels/2.fpage.rels"));
    EXPECT_EQ(kRelsHead + Rel("SWOP.ICC", "Q2_1") + "</Relationships>\n",
              Entry(xps, "Documents/1/Pages/_rels/3.fpage.rels"));

    // Every relationship names a part that is there (part names ignore ASCII case).
    std::map<std::string, std::string> lower;
    for (const std::string& n : names)
        lower["/" + Lower(n)] = n;
    const std::regex target("Target=\"([^\"]*)\"");
    for (const std::string& n : names) {
        if (n.size() < 5 || n.compare(n.size() - 5, 5, ".rels") != 0)
            continue;
        std::string rels = Entry(xps, n);
        for (std::sregex_iterator m(rels.begin(), rels.end(), target), end; m != end; ++m) {
            std::string t = (*m)[1];
            if (t[0] != '/')
                t = "/Documents/1/Pages/" + t;
            EXPECT_TRUE(lower.count(Lower(t))) << n << " -> " << t;
        }
    }

    EXPECT_EQ(std::string((const char*)SwapIcc, (size_t)SwapIccSize), Entry(xps, "Resources/SWOP.ICC"));
    EXPECT_EQ(ReadFile(kFont), Entry(xps, "Resources/Font_007.ttf"));
    EXPECT_EQ(ReadFile(s.pages + "/2.fpage"), Entry(xps, "Documents/1/Pages/2.fpage"));
    EXPECT_NE(std::string::npos, Entry(xps, "Documents/1/FixedDocument.fdoc")
                                     .find("<PageContent Source=\"Pages/3.fpage\"/>\n</FixedDocument>\n"));

    std::string report;
    EXPECT_TRUE(xpstest::ReadersRender(xps, s.dir.path(), 3, &report)) << report;
    for (int page : {1, 3}) {
        xpstest::GrayPage g = xpstest::RenderGray(xps, s.dir.path(), page);
        ASSERT_EQ(612, g.width) << page;
        EXPECT_LT(g.At(200, 200), 64) << "square of page " << page;
        EXPECT_GT(g.At(600, 780), 192) << "corner of page " << page;
    }
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << report;
}

// PNG and JPEG parts go in as they are; every other part is deflated. The package's image
// parts still hold the files' bytes.
TEST(XpsPackage, ImagePartsAreStoredAndTheRestDeflated)
{
    Sample s;
    const std::string jpeg = s.pages + "/IMG_012.jpg";
    ASSERT_TRUE(WriteFile(jpeg, testimg::MakeJpeg(testimg::JPEG_JFIF_72DPI, 8, 8)));
    s.Extracted(12, jpeg);
    PairRec r{2, 12};
    s.resources.Add(&r);
    const std::string xps = s.dir.file("out.xps");
    ASSERT_EQ(0, s.Write(xps.c_str()));
    ASSERT_EQ(0, RunCommand("unzip -tqq '" + xps + "' >/dev/null 2>&1"));

    const std::map<std::string, unsigned> stored = {{"Resources/IMG_005.png", 0},
                                                    {"Resources/IMG_IL_003_1.png", 0},
                                                    {"Resources/IMG_012.jpg", 0}};
    std::set<std::string> seen;
    for (const xpstest::CentralEntry& e : xpstest::CentralDirectory(ReadFile(xps))) {
        auto it = stored.find(e.name);
        EXPECT_EQ(it == stored.end() ? 8u : it->second, e.method) << e.name;
        seen.insert(e.name);
    }
    for (const auto& image : stored)
        EXPECT_TRUE(seen.count(image.first)) << image.first;
    EXPECT_EQ(ReadFile(jpeg), Entry(xps, "Resources/IMG_012.jpg"));
    EXPECT_EQ(ReadFile(s.pages + "/IMG_005.png"), Entry(xps, "Resources/IMG_005.png"));
}

// A font that every page of a long document uses is one part, named by every page's
// relationships, and the package opens in both readers and passes the checker.
TEST(XpsPackage, AFontOnEveryPageIsOnePartThatEveryPageNames)
{
    Sample s;
    const int pageCount = 60;
    const std::string glyphs =
        "<Glyphs FontUri=\"/Resources/Font_007.ttf\" FontRenderingEmSize=\"48\" OriginX=\"96\" "
        "OriginY=\"700\" Indices=\"36;37\" UnicodeString=\"AB\" Fill=\"#FF000000\"/>\n";
    s.resources.count = 0;
    s.internal.count = 0;
    s.inlineImages.count = 0;
    for (int p = 0; p < pageCount; p++) {
        ASSERT_TRUE(WriteFile(s.pages + "/" + std::to_string(p + 1) + ".fpage",
                              std::string(kPageHead) + glyphs + "</FixedPage>\n"));
        // As text showing leaves them: a record per page, the font's first on each.
        for (int obj : {7, 5})
            if (obj == 7 || p % 10 == 0) {
                PairRec r{p, obj};
                s.resources.Add(&r);
            }
    }
    const std::string xps = s.dir.file("out.xps");
    ASSERT_EQ(0, s.Write(xps.c_str(), pageCount));

    const std::vector<std::string> names = EntryNames(xps);
    std::vector<std::string> resources;
    for (const std::string& n : names)
        if (n.compare(0, 10, "Resources/") == 0)
            resources.push_back(n);
    EXPECT_EQ((std::vector<std::string>{"Resources/Font_007.ttf", "Resources/IMG_005.png"}), resources);
    EXPECT_EQ(ReadFile(kFont), Entry(xps, "Resources/Font_007.ttf"));
    for (int p = 0; p < pageCount; p++) {
        std::string want = kRelsHead + Rel("Font_007.ttf", "Q7");
        if (p % 10 == 0)
            want += Rel("IMG_005.png", "Q5");
        EXPECT_EQ(want + "</Relationships>\n",
                  Entry(xps, "Documents/1/Pages/_rels/" + std::to_string(p + 1) + ".fpage.rels"))
            << "page " << p + 1;
    }
    std::string report;
    EXPECT_TRUE(xpstest::ReadersRender(xps, s.dir.path(), pageCount, &report)) << report;
    EXPECT_TRUE(xpstest::XpsCheckPasses(xps, &report)) << report;
}

// Writes the sample package in a child whose standard output is a pipe.
std::string WrittenIntoPipe(Sample& s)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "";
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        int rc = s.Write(nullptr);
        fflush(stdout);
        _exit(rc == 0 ? 0 : 1);
    }
    close(fds[1]);
    std::string bytes;
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        bytes.append(buf, (size_t)n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? bytes : "";
}

TEST(XpsPackage, SameBytesWhereverWritten)
{
    Sample s;
    const std::string file = s.dir.file("file.xps"), slash = s.dir.file("slash.xps");
    ASSERT_EQ(0, s.Write(file.c_str()));
    ASSERT_EQ(0, s.Write(slash.c_str(), 3, s.pages + "/"));
    const std::string bytes = ReadFile(file);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == ReadFile(slash)) << "page folder with a trailing '/'";
    EXPECT_TRUE(bytes == WrittenIntoPipe(s)) << "standard output into a pipe";
}

TEST(XpsPackage, FailuresAreReported)
{
    Sample s;
    const std::string xps = s.dir.file("out.xps");

    EXPECT_EQ(-1, s.Write(s.dir.file("no/such/folder.xps").c_str()));
    EXPECT_FALSE(testutil::FileExists(s.dir.file("no")));
    if (testutil::FileExists("/dev/full")) {
        EXPECT_EQ(-1, s.Write("/dev/full")) << "writes that fail";
    }

    ASSERT_EQ(0, rename((s.pages + "/2.fpage").c_str(), (s.pages + "/2.moved").c_str()));
    EXPECT_EQ(-1, s.Write(xps.c_str())) << "a page file that cannot be read";
    ASSERT_EQ(0, mkdir((s.pages + "/2.fpage").c_str(), 0755));
    EXPECT_EQ(-1, s.Write(xps.c_str())) << "a page file that opens but does not read";

    // No pages: the four document parts only, with an empty fixed document.
    ASSERT_EQ(0, s.Write(xps.c_str(), 0));
    EXPECT_EQ((std::vector<std::string>{"FixedDocumentSequence.fdseq", "[Content_Types].xml",
                                        "_rels/.rels", "Documents/1/FixedDocument.fdoc"}),
              EntryNames(xps));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> \n<FixedDocument "
              "xmlns=\"http://schemas.microsoft.com/xps/2005/06\"> \n</FixedDocument>\n",
              Entry(xps, "Documents/1/FixedDocument.fdoc"));
    EXPECT_EQ(1097u, strlen(ContentType));
}

}  // namespace
