#include "Resources/JpegWriter.h"

#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "TestUtil.h"

namespace {

// What libjpeg reads back. Filled by a C-style reader: a library error jumps into its frame,
// so it holds nothing with a destructor.
struct JpegRead {
    bool ok;
    unsigned width, height;
    int components;
    J_COLOR_SPACE colorSpace;
    bool progressive;
    int hSamp[3], vSamp[3];
    int lumaQ[2];    // first two luminance quantisers in natural order
    int chromaQ0;    // first chrominance quantiser, 0 when there is no such table
    unsigned char* pixels;  // malloc'd, height × width × components
};

struct ReadErr {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void ReadErrExit(j_common_ptr cinfo)
{
    longjmp(((ReadErr*)cinfo->err)->jump, 1);
}

void ReadJpegInto(const char* path, JpegRead* out, jpeg_decompress_struct* cinfo, ReadErr* err)
{
    memset(out, 0, sizeof *out);
    FILE* fp = fopen(path, "rb");
    if (!fp)
        return;
    cinfo->err = jpeg_std_error(&err->mgr);
    err->mgr.error_exit = ReadErrExit;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(cinfo);
        fclose(fp);
        free(out->pixels);
        out->pixels = nullptr;
        out->ok = false;
        return;
    }
    jpeg_create_decompress(cinfo);
    jpeg_stdio_src(cinfo, fp);
    jpeg_read_header(cinfo, TRUE);
    out->width = cinfo->image_width;
    out->height = cinfo->image_height;
    out->components = cinfo->num_components;
    out->colorSpace = cinfo->jpeg_color_space;
    out->progressive = cinfo->progressive_mode;
    for (int i = 0; i < cinfo->num_components && i < 3; i++) {
        out->hSamp[i] = cinfo->comp_info[i].h_samp_factor;
        out->vSamp[i] = cinfo->comp_info[i].v_samp_factor;
    }
    out->lumaQ[0] = cinfo->quant_tbl_ptrs[0]->quantval[0];
    out->lumaQ[1] = cinfo->quant_tbl_ptrs[0]->quantval[1];
    out->chromaQ0 = cinfo->quant_tbl_ptrs[1] ? cinfo->quant_tbl_ptrs[1]->quantval[0] : 0;
    jpeg_start_decompress(cinfo);
    size_t stride = (size_t)cinfo->output_width * cinfo->output_components;
    out->pixels = (unsigned char*)malloc(stride * cinfo->output_height);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->pixels + cinfo->output_scanline * stride;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    fclose(fp);
    out->ok = true;
}

struct JpegImage {
    JpegRead head;
    std::vector<unsigned char> pixels;
};

JpegImage ReadJpeg(const std::string& path)
{
    JpegImage img;
    jpeg_decompress_struct cinfo;
    ReadErr err;
    ReadJpegInto(path.c_str(), &img.head, &cinfo, &err);
    if (img.head.pixels)
        img.pixels.assign(img.head.pixels, img.head.pixels + (size_t)img.head.width *
                                                              img.head.height * img.head.components);
    free(img.head.pixels);
    img.head.pixels = nullptr;
    return img;
}

char* P(std::string& s) { return &s[0]; }

int MaxDiff(const std::vector<unsigned char>& got, const std::vector<char>& want)
{
    int worst = 0;
    for (size_t i = 0; i < got.size() && i < want.size(); i++)
        worst = std::max(worst, std::abs((int)got[i] - (int)(unsigned char)want[i]));
    return worst;
}

TEST(JpegWriter, BaselineQuality80WithItsSampling)
{
    struct Case {
        const char* name;
        int gray;
        int components;
        J_COLOR_SPACE space;
        int hSamp[3], vSamp[3];
    };
    const Case cases[] = {
        {"rgb", 0, 3, JCS_YCbCr, {2, 1, 1}, {2, 1, 1}},
        {"gray", 1, 1, JCS_GRAYSCALE, {2, 0, 0}, {2, 0, 0}},
    };
    testutil::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char color[3] = {(char)200, (char)100, (char)50};
        std::vector<char> px;
        for (int i = 0; i < 16 * 16; i++)
            px.insert(px.end(), color, color + c.components);
        std::string path = dir.file(std::string(c.name) + ".jpg");
        EXPECT_EQ(ImageBufToDCT(P(path), px.data(), 16, 16, c.gray), 0);

        std::string bytes = testutil::ReadFile(path);
        EXPECT_NE(bytes.find("\xff\xc0"), std::string::npos) << "no baseline frame header";
        JpegImage img = ReadJpeg(path);
        ASSERT_TRUE(img.head.ok);
        EXPECT_EQ(img.head.width, 16u);
        EXPECT_EQ(img.head.height, 16u);
        EXPECT_EQ(img.head.components, c.components);
        EXPECT_EQ(img.head.colorSpace, c.space);
        EXPECT_FALSE(img.head.progressive);
        for (int i = 0; i < c.components; i++) {
            EXPECT_EQ(img.head.hSamp[i], c.hSamp[i]) << "component " << i;
            EXPECT_EQ(img.head.vSamp[i], c.vSamp[i]) << "component " << i;
        }
        // The standard tables scaled to quality 80: 16 -> 6, 11 -> 4, chrominance 17 -> 7.
        EXPECT_EQ(img.head.lumaQ[0], 6);
        EXPECT_EQ(img.head.lumaQ[1], 4);
        if (c.components == 3) {
            EXPECT_EQ(img.head.chromaQ0, 7);
        }
        EXPECT_LE(MaxDiff(img.pixels, px), 6);
    }
}

TEST(JpegWriter, OutputLongerThanTheBufferIsWhole)
{
    // Noise compresses badly: several full 4096-byte buffers go out before the rest.
    const int w = 128, h = 128;
    std::vector<char> px((size_t)w * h * 3);
    unsigned seed = 99;
    for (char& c : px) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(seed >> 16);
    }
    testutil::TempDir dir;
    std::string path = dir.file("noise.jpg");
    ASSERT_EQ(ImageBufToDCT(P(path), px.data(), w, h, 0), 0);
    std::string bytes = testutil::ReadFile(path);
    EXPECT_GT(bytes.size(), 2u * 4096);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xff\xd9");
    JpegImage img = ReadJpeg(path);
    ASSERT_TRUE(img.head.ok);
    EXPECT_EQ(img.head.width, (unsigned)w);
    EXPECT_EQ(img.head.height, (unsigned)h);
}

TEST(JpegWriter, RefusedSizesAndUnwritablePathsGiveMinusOne)
{
    static char px[64];
    testutil::TempDir dir;
    struct Size { int w, h; };
    // 70000 is beyond what the library can encode.
    const Size refused[] = {{0, 1}, {1, 0}, {-3, 2}, {2, -3}, {70000, 1}, {1, 70000}};
    for (const Size& s : refused) {
        std::string path = dir.file("refused.jpg");
        EXPECT_EQ(ImageBufToDCT(P(path), px, s.w, s.h, 0), -1) << s.w << "x" << s.h;
        EXPECT_FALSE(testutil::FileExists(path));
    }
    std::string missing = dir.file("no/such/folder.jpg");
    EXPECT_EQ(ImageBufToDCT(P(missing), px, 2, 2, 1), -1);
    EXPECT_FALSE(testutil::FileExists(missing));
}

// Runs in a child process of its own: the limit stays there.
int WriteWithFileLimit(std::string path, std::vector<char>& rgb128, rlim_t limit)
{
    struct rlimit lim;
    lim.rlim_cur = lim.rlim_max = limit;
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lim);
    return ImageBufToDCT(P(path), rgb128.data(), 128, 128, 0);
}

TEST(JpegWriter, ShortWriteInsideTheLibraryFailsTheImage)
{
    // A file size limit of one buffer: the first 4096 bytes go out, the next write inside
    // libjpeg's buffer callback comes up short while closing the file still succeeds, so only
    // the library error can tell the caller.
    std::vector<char> noise(128 * 128 * 3);
    unsigned seed = 7;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(seed >> 16);
    }
    testutil::TempDir dir;
    std::string path = dir.file("short.jpg");
    EXPECT_EXIT(_exit(WriteWithFileLimit(path, noise, 4096) == -1 ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(testutil::ReadFile(path).size(), 4096u);
}

}  // namespace
