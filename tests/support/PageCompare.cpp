#include "PageCompare.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace testutil {

namespace {

const int kThreshold = 40;
const int kStrong = 160;  // a pixel this dark is ink to be matched
const int kWeak = 200;    // and one this dark may match it

// The 3x3 box blur of one channel, edges repeated, as sums of nine (no division).
std::vector<int> Blur9(const testimg::Png& p, int w, int h, int channel)
{
    std::vector<int> out((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int s = 0;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    int xx = std::min(std::max(x + dx, 0), w - 1);
                    int yy = std::min(std::max(y + dy, 0), h - 1);
                    s += p.At(xx, yy)[channel];
                }
            out[(size_t)y * w + x] = s;
        }
    return out;
}

std::vector<float> Grey(const testimg::Png& p, int w, int h)
{
    std::vector<float> g((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char* c = p.At(x, y);
            g[(size_t)y * w + x] = 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2];
        }
    return g;
}

// Share of a's strong ink that has b's weak ink within one pixel.
long long Matched(const std::vector<float>& a, const std::vector<float>& b, int w, int h,
                  long long* strong)
{
    long long n = 0, m = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            if (!(a[(size_t)y * w + x] < kStrong))
                continue;
            n++;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; dy++)
                for (int dx = -1; dx <= 1 && !found; dx++) {
                    int xx = x + dx, yy = y + dy;
                    if (xx >= 0 && yy >= 0 && xx < w && yy < h && b[(size_t)yy * w + xx] < kWeak)
                        found = true;
                }
            m += found;
        }
    *strong = n;
    return m;
}

}  // namespace

PageScore ComparePages(const testimg::Png& ref, const testimg::Png& got)
{
    PageScore s;
    const int w = std::min(ref.width, got.width), h = std::min(ref.height, got.height);
    if (!ref.ok || !got.ok || w <= 0 || h <= 0)
        return s;
    s.sameSize = abs(ref.width - got.width) <= 1 && abs(ref.height - got.height) <= 1;

    long long differing = 0;
    std::vector<int> a[3], b[3];
    for (int c = 0; c < 3; c++) {
        a[c] = Blur9(ref, w, h, c);
        b[c] = Blur9(got, w, h, c);
    }
    for (size_t i = 0; i < (size_t)w * h; i++)
        for (int c = 0; c < 3; c++)
            if (abs(a[c][i] - b[c][i]) > 9 * kThreshold) {
                differing++;
                break;
            }
    s.diff = (double)differing / ((double)w * h);

    std::vector<float> ga = Grey(ref, w, h), gb = Grey(got, w, h);
    long long na = 0, nb = 0;
    long long ma = Matched(ga, gb, w, h, &na), mb = Matched(gb, ga, w, h, &nb);
    if (na == 0 && nb == 0)
        s.inkF1 = 1;
    else if (na == 0 || nb == 0)
        s.inkF1 = 0;
    else {
        double recall = (double)ma / na, precision = (double)mb / nb;
        s.inkF1 = recall + precision == 0 ? 0 : 2 * recall * precision / (recall + precision);
    }
    return s;
}

std::string Describe(const PageScore& s)
{
    char text[96];
    snprintf(text, sizeof text, "diff %.3f %%, inkF1 %.4f%s", 100 * s.diff, s.inkF1,
             s.sameSize ? "" : ", sizes differ");
    return text;
}

}  // namespace testutil
