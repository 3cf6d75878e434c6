#include "Resources/ImageExtract.h"

#include <climits>
#include <cmath>
#include <vector>
#include <cstdlib>
#include <cstring>

#include "Pdf/Limits.h"
#include "Pdf/PdfFilter.h"
#include "Resources/ColorSpace.h"
#include "Resources/PaintColour.h"

int64_t PackedImageBytes(int width, int height, int comps, int bpc)
{
    if (width <= 0 || height <= 0 || comps <= 0)
        return -1;
    if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16)
        return -1;
    // Each factor is checked before the next product: width, comps and bpc are below 2^31,
    // 2^6 and 2^5, and a row is at most INT_MAX before it is multiplied by the height.
    if (comps > FUNCTION_MAX_COMPONENTS)
        return -1;
    int64_t row = ((int64_t)width * comps * bpc + 7) / 8;
    if (row > INT_MAX)
        return -1;
    int64_t total = row * height;
    if (total > INT_MAX)
        return -1;
    return total;
}

namespace {

// Sample `index` of a packed row (`have` bytes of it there) as stored, at `bpc` bits; -1 when
// the row lacks it.
long RawSample(const unsigned char* row, int64_t have, int64_t index, int bpc)
{
    int64_t bit = index * bpc;
    int64_t at = bit / 8;
    if (bpc == 16)
        return at + 1 < have ? ((long)row[at] << 8) | row[at + 1] : at < have ? (long)row[at] << 8 : -1;
    if (at >= have)
        return -1;
    if (bpc == 8)
        return row[at];
    return (row[at] >> (8 - bpc - bit % 8)) & ((1 << bpc) - 1);
}

}  // namespace

int UnpackSamples(const unsigned char* src, int64_t srcSize, int width, int height, int comps,
                  int bpc, unsigned char* dst)
{
    int64_t total = PackedImageBytes(width, height, comps, bpc);
    if (total < 0 || !dst)
        return -1;
    if (!src || srcSize < 0)
        srcSize = 0;
    int64_t rowBytes = total / height;
    int64_t perRow = (int64_t)width * comps;
    long maxValue = bpc >= 8 ? 255 : (1L << bpc) - 1;
    for (int y = 0; y < height; y++) {
        int64_t rowStart = rowBytes * y;
        int64_t have = srcSize > rowStart ? srcSize - rowStart : 0;
        unsigned char* out = dst + perRow * y;
        for (int64_t i = 0; i < perRow; i++) {
            long v = RawSample(src + rowStart, have, i, bpc);
            if (v < 0) {
                // What a truncated stream leaves out is black (zero), never unread memory.
                memset(out + i, 0, (size_t)(perRow - i));
                break;
            }
            // 16-bit samples keep their high byte; fewer bits are scaled up.
            out[i] = (unsigned char)(bpc == 16 ? v >> 8 : v * 255 / maxValue);
        }
    }
    return 0;
}

int KeyAlpha(const unsigned char* src, int64_t srcSize, int width, int height, int comps, int bpc,
             const long* ranges, unsigned char* alpha)
{
    int64_t total = PackedImageBytes(width, height, comps, bpc);
    if (total < 0 || !alpha || !ranges)
        return -1;
    if (!src || srcSize < 0)
        srcSize = 0;
    int64_t rowBytes = total / height;
    for (int y = 0; y < height; y++) {
        int64_t rowStart = rowBytes * y;
        int64_t have = srcSize > rowStart ? srcSize - rowStart : 0;
        const unsigned char* row = src + (have > 0 ? rowStart : 0);
        unsigned char* out = alpha + (size_t)width * (size_t)y;
        for (int x = 0; x < width; x++) {
            bool keyed = true;
            for (int c = 0; c < comps && keyed; c++) {
                long v = RawSample(row, have, (int64_t)x * comps + c, bpc);
                if (v < 0)
                    v = 0;
                keyed = v >= ranges[2 * c] && v <= ranges[2 * c + 1];
            }
            out[x] = keyed ? 0 : 255;
        }
    }
    return 0;
}

SpaceRows::SpaceRows(const PaintSpace& s, const double* decode, FunctionWork* w)
    : space(s), work(w)
{
    const int comps = space.comps;
    // What each 8-bit sample of each component stands for.
    value.resize((size_t)comps * 256);
    for (int c = 0; c < comps; c++) {
        double lo = 0, hi = 1;
        if (decode) {
            lo = decode[2 * c];
            hi = decode[2 * c + 1];
        } else if (space.family == PaintSpace::LAB) {
            lo = c == 0 ? 0 : space.labRange[2 * c - 2];
            hi = c == 0 ? 100 : space.labRange[2 * c - 1];
        }
        for (int v = 0; v < 256; v++)
            value[(size_t)c * 256 + v] = lo + v * (hi - lo) / 255;
    }
    // A space of one component takes one conversion per sample value, not per pixel: a tint
    // transform runs 256 times for the whole image.
    bool gray = comps == 1;
    if (comps == 1) {
        for (int v = 0; v < 256; v++) {
            DeviceColour colour = ToDevice(space, &value[v], work);
            gray = gray && colour.kind == CS_DEVICEGRAY;
            Bytes(colour, table[v]);
        }
    }
    outComps = gray ? 1 : 3;
}

void SpaceRows::Bytes(const DeviceColour& colour, unsigned char* rgb)
{
    double d[3];
    DeviceToRgb(colour, d);
    for (int i = 0; i < 3; i++)
        rgb[i] = (unsigned char)lround(d[i] * 255);
}

int SpaceRows::Row(const unsigned char* src, int64_t have, int width, int bpc, unsigned char* out)
{
    const int comps = space.comps;
    if (PackedImageBytes(width, 1, comps, bpc) < 0 || !out)
        return -1;
    row.resize((size_t)width * (size_t)comps);
    UnpackSamples(have > 0 ? src : nullptr, have, width, 1, comps, bpc, row.data());
    double colour[FUNCTION_MAX_COMPONENTS];
    const int n = outComps;
    unsigned char* o = out;
    for (int x = 0; x < width; x++, o += n) {
        const unsigned char* s = row.data() + (size_t)x * comps;
        if (comps == 1) {
            memcpy(o, table[s[0]], (size_t)n);
        } else if (x > 0 && memcmp(s, s - comps, (size_t)comps) == 0) {
            // Runs of one colour, as images have them, convert once.
            memcpy(o, o - n, (size_t)n);
        } else {
            for (int c = 0; c < comps; c++)
                colour[c] = value[(size_t)c * 256 + s[c]];
            Bytes(ToDevice(space, colour, work), o);
        }
    }
    return 0;
}

unsigned char* SpaceRowsToPixels(const unsigned char* src, int64_t srcSize, int width,
                                 int height, int bpc, const PaintSpace& space,
                                 const double* decode, FunctionWork* work, int* outComps)
{
    int64_t total = PackedImageBytes(width, height, space.comps, bpc);
    if (total < 0 || !outComps || (uint64_t)width * (uint64_t)height * 3 > PNG_MAX_BUFFER_BYTES)
        return nullptr;
    if (!src || srcSize < 0)
        srcSize = 0;
    SpaceRows rows(space, decode, work);
    const int n = rows.outComps;
    unsigned char* out = (unsigned char*)malloc((size_t)width * (size_t)height * n);
    if (!out)
        return nullptr;
    int64_t rowBytes = total / height;
    for (int y = 0; y < height; y++) {
        int64_t at = rowBytes * y;
        int64_t have = srcSize > at ? srcSize - at : 0;
        rows.Row(have > 0 ? src + at : nullptr, have, width, bpc, out + (size_t)y * (size_t)width * n);
    }
    *outComps = n;
    return out;
}

unsigned char* WithAlpha(const unsigned char* pixels, int comps, const unsigned char* alpha,
                         int width, int height)
{
    if (!pixels || !alpha || (comps != 1 && comps != 3) || width <= 0 || height <= 0 ||
        (uint64_t)width * (uint64_t)height * 4 > PNG_MAX_BUFFER_BYTES)
        return nullptr;
    const size_t count = (size_t)width * (size_t)height;
    unsigned char* out = (unsigned char*)malloc(count * 4);
    if (!out)
        return nullptr;
    for (size_t i = 0; i < count; i++) {
        const unsigned char* p = pixels + i * comps;
        unsigned char* o = out + i * 4;
        o[0] = p[0];
        o[1] = p[comps == 3 ? 1 : 0];
        o[2] = p[comps == 3 ? 2 : 0];
        o[3] = alpha[i];
    }
    return out;
}

int CmykRowsToRgb(const unsigned char* src, int64_t srcSize, int width, int height, int bpc,
                  const unsigned char map[4][256], unsigned char* rgb)
{
    int64_t total = PackedImageBytes(width, height, 4, bpc);
    if (total < 0 || !rgb || !map)
        return -1;
    if (!src || srcSize < 0)
        srcSize = 0;
    // One row at a time, so that only a row of unpacked samples is held.
    unsigned char* row = (unsigned char*)malloc((size_t)width * 4);
    if (!row)
        return -1;
    int64_t rowBytes = total / height;
    for (int y = 0; y < height; y++) {
        int64_t at = rowBytes * y;
        int64_t have = srcSize > at ? srcSize - at : 0;
        UnpackSamples(have > 0 ? src + at : nullptr, have, width, 1, 4, bpc, row);
        unsigned char* out = rgb + (size_t)y * (size_t)width * 3;
        for (int x = 0; x < width; x++) {
            unsigned char cmyk[4];
            for (int c = 0; c < 4; c++)
                cmyk[c] = map[c][row[x * 4 + c]];
            CmykToRgb(cmyk, out + x * 3);
        }
    }
    free(row);
    return 0;
}

bool JpegHasFrame(const unsigned char* data, int size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    int pos = 2;
    for (int segments = 0; segments < JPEG_MAX_HEADER_SEGMENTS; segments++) {
        // Fill bytes may stand before any marker.
        while (pos + 1 < size && data[pos] == 0xFF && data[pos + 1] == 0xFF)
            pos++;
        if (pos + 4 > size || data[pos] != 0xFF)
            return false;
        unsigned char marker = data[pos + 1];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length of their own
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9 || marker == 0xD8)
            return false;  // a scan, the end or a second start before any frame
        int len = (data[pos + 2] << 8) | data[pos + 3];
        if (len < 2 || len > size - pos - 2)
            return false;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                     marker != 0xCC;
        if (frame) {
            // Length, precision, height, width, component count.
            if (len < 8)
                return false;
            const unsigned char* f = data + pos + 4;
            int height = (f[1] << 8) | f[2];
            int width = (f[3] << 8) | f[4];
            return height > 0 && width > 0 && f[5] > 0;
        }
        pos += 2 + len;
    }
    return false;
}

static bool SegmentIs(const unsigned char* seg, int len, unsigned char marker, const char* id,
                      int idLen)
{
    // seg points at the 0xFF of the marker; the identifier follows the two length bytes.
    return seg[1] == marker && len - 2 >= idLen && memcmp(seg + 4, id, (size_t)idLen) == 0;
}

int JpegAt96Dpi(const unsigned char* data, int size, ByteBuffer* out)
{
    if (!out)
        return -1;
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return out->Append(data, size > 0 ? size : 0);

    static const unsigned char jfif96[18] = {
        0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01,
        0x01, 0x00, JPEG_MARKUP_DPI, 0x00, JPEG_MARKUP_DPI, 0x00, 0x00};

    if (out->Append(data, 2) != 0)
        return -1;
    int pos = 2;
    bool haveJfif = false;
    // The header segments before the scan: each is FF, marker, two length bytes that count
    // themselves, and the body. Anything that does not parse ends the walk and is kept as is.
    while (pos + 4 <= size && data[pos] == 0xFF) {
        unsigned char marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            if (out->Append(data + pos, 1) != 0)
                return -1;
            pos++;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            break;
        int len = (data[pos + 2] << 8) | data[pos + 3];
        if (len < 2 || len > size - pos - 2)
            break;
        const unsigned char* seg = data + pos;
        bool jfif = SegmentIs(seg, len, 0xE0, "JFIF\0", 5);
        if (jfif && pos == 2 && len >= 16) {
            // A real JFIF header first: only its unit and densities change.
            if (out->Append(seg, 2 + len) != 0)
                return -1;
            unsigned char* d = out->data + out->size - (2 + len);
            memcpy(d + 11, jfif96 + 11, 5);  // file offsets 13 to 17
            haveJfif = true;
        } else {
            if (!haveJfif) {
                if (out->Append(jfif96, sizeof jfif96) != 0)
                    return -1;
                haveJfif = true;
            }
            bool preferred = jfif || SegmentIs(seg, len, 0xE1, "Exif\0", 5) ||
                             SegmentIs(seg, len, 0xED, "Photoshop 3.0\0", 14);
            if (!preferred && out->Append(seg, 2 + len) != 0)
                return -1;
        }
        pos += 2 + len;
    }
    if (!haveJfif && out->Append(jfif96, sizeof jfif96) != 0)
        return -1;
    return out->Append(data + pos, size - pos);
}
