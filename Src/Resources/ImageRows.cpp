// Images written a row at a time: each packed row of samples becomes a row of gray, RGB or
// RGBA pixels (or of alpha, for a soft mask) and goes to the PNG file at once, so that an
// image of any size inside the pixel cap costs memory of a few rows.
#include "Resources/ImageExtract.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Pdf/FileAccess.h"
#include "Pdf/Limits.h"
#include "Resources/ColorSpace.h"
#include "Resources/JpegReader.h"
#include "Resources/PngWriter.h"

struct ImageRowWriter::State {
    char path[PDF_MAX_PATH];
    int width = 0, height = 0, bpc = 0;
    ImageSpace space;
    SampleMap map;                       // CMYK: the Decode of each component
    std::unique_ptr<SpaceRows> paint;    // spaces converted as their fills are
    bool keyed = false;
    long key[2 * FUNCTION_MAX_COMPONENTS];
    int format = 1;                      // of the PNG encoder
    int pixelBytes = 3;                  // of a converted pixel before any alpha
    std::vector<unsigned char> pixels, alpha, out;
    PNG_SurfaceEncoder* png = nullptr;
    bool started = false;
};

ImageRowWriter::ImageRowWriter(const char* path, int width, int height, int bpc,
                               const ImageSpace& space, const double* decode, int decodeCount,
                               const long* key)
    : s_(new State), rowBytes_(-1)
{
    State& s = *s_;
    snprintf(s.path, sizeof s.path, "%s", path ? path : "");
    s.width = width;
    s.height = height;
    s.bpc = bpc;
    s.space = space;
    const int comps = space.comps;
    const int64_t total = PackedImageBytes(width, height, comps, bpc);
    if (total <= 0 || comps < 1 || (space.alpha && comps != 1) ||
        (uint64_t)width * (uint64_t)height > IMAGE_MAX_PIXELS)
        return;
    if (space.indexed && (bpc > 8 || !space.indexed->lookup))
        return;
    int n = comps;
    if (space.indexed) {
        n = 3;
    } else if (space.paint) {
        const bool given = decode && decodeCount == 2 * comps;
        s.paint.reset(new SpaceRows(*space.paint, given ? decode : nullptr, space.work));
        n = s.paint->outComps;
    } else if (comps == 4) {
        DecodeMap(decode, decode ? decodeCount : 0, s.map);
        n = 3;
    } else if (comps != 1 && comps != 3) {
        return;
    }
    s.pixelBytes = n;
    if (key) {
        s.keyed = true;
        memcpy(s.key, key, sizeof(long) * 2 * (size_t)comps);
        s.format = 2;
    } else {
        s.format = space.alpha ? 6 : n == 1 ? 0 : 1;
    }
    s.pixels.resize((size_t)width * (size_t)n);
    if (s.keyed) {
        s.alpha.resize((size_t)width);
        s.out.resize((size_t)width * 4);
    }
    rowBytes_ = total / height;
}

ImageRowWriter::~ImageRowWriter()
{
    if (s_->png)
        Abandon();
    delete s_;
}

void ImageRowWriter::Abandon()
{
    const int err = errno;
    if (s_->png) {
        s_->png->EndImage();
        delete s_->png;
        s_->png = nullptr;
    }
    if (s_->started)
        remove(s_->path);
    s_->started = false;
    errno = err;
}

int ImageRowWriter::Row(const unsigned char* packed, int64_t have)
{
    State& s = *s_;
    if (rowBytes_ < 0 || rows_ >= s.height)
        return -1;
    if (!s.started) {
        // A stale file of the same name must not pass for the one about to be written.
        remove(s.path);
        s.started = true;
        s.png = new PNG_SurfaceEncoder(s.format);
        if (!s.png->StartImage(s.path, (char*)s.pixels.data(), (unsigned)s.width,
                               (unsigned)s.height, 8)) {
            errno = s.png->writeErrno ? s.png->writeErrno : EIO;
            return -1;
        }
    }
    if (!s.png || !s.png->png) {
        errno = EIO;
        return -1;
    }
    if (have < 0)
        have = 0;
    const unsigned char* src = have > 0 ? packed : nullptr;
    unsigned char* px = s.pixels.data();
    const int comps = s.space.comps;
    if (s.space.indexed) {
        // What the row lacks is index 0.
        const unsigned char* in = src;
        std::vector<unsigned char> padded;
        if (have < rowBytes_) {
            padded.assign((size_t)rowBytes_, 0);
            if (have > 0)
                memcpy(padded.data(), src, (size_t)have);
            in = padded.data();
        }
        unsigned char* rgb = IndexToRgb(s.space.indexed, in, s.width, 1, s.bpc);
        if (!rgb) {
            errno = ENOMEM;
            return -1;
        }
        memcpy(px, rgb, s.pixels.size());
        free(rgb);
    } else if (s.paint) {
        s.paint->Row(src, have, s.width, s.bpc, px);
    } else if (comps == 4) {
        CmykRowsToRgb(src, have, s.width, 1, s.bpc, s.map, px);
    } else {
        UnpackSamples(src, have, s.width, 1, comps, s.bpc, px);
    }
    const unsigned char* row = px;
    if (s.keyed) {
        KeyAlpha(src, have, s.width, 1, comps, s.bpc, s.key, s.alpha.data());
        const int n = s.pixelBytes;
        for (int x = 0; x < s.width; x++) {
            const unsigned char* p = px + (size_t)x * n;
            unsigned char* o = s.out.data() + (size_t)x * 4;
            o[0] = p[0];
            o[1] = p[n == 3 ? 1 : 0];
            o[2] = p[n == 3 ? 2 : 0];
            o[3] = s.alpha[(size_t)x];
        }
        row = s.out.data();
    }
    if (!s.png->WriteRow(row)) {
        errno = s.png->writeErrno ? s.png->writeErrno : EIO;
        return -1;
    }
    rows_++;
    return 0;
}

int ImageRowWriter::End()
{
    State& s = *s_;
    while (rows_ < s.height) {
        if (Row(nullptr, 0) != 0) {
            Abandon();
            return -1;
        }
    }
    if (!s.png || s.png->EndImage() != 1) {
        errno = s.png && s.png->writeErrno ? s.png->writeErrno : EIO;
        Abandon();
        return -1;
    }
    delete s.png;
    s.png = nullptr;
    return 0;
}

ImageStream::~ImageStream() {}

int ImageStream::Take(const unsigned char* p, int n)
{
    if (passed == 0)
        return jpeg && AppendCapped(jpeg, p, n, PDF_MAX_STREAM_BYTES) != 0 ? 1 : 0;
    const int64_t rowBytes = rows_ ? rows_->RowBytes() : -1;
    if (rowBytes <= 0 || need_ <= 0)
        return 1;
    // Whole rows go to the file as they are complete; what the image does not need is not
    // decoded.
    while (n > 0 && have < need_) {
        int64_t take = rowBytes - (int64_t)row_.size();
        if (take > n)
            take = n;
        if (take > need_ - have)
            take = need_ - have;
        row_.insert(row_.end(), p, p + take);
        p += take;
        n -= (int)take;
        have += take;
        if ((int64_t)row_.size() == rowBytes) {
            if (rows_->Row(row_.data(), rowBytes) != 0) {
                failed_ = true;
                return -1;
            }
            row_.clear();
        }
    }
    return have >= need_ ? 1 : 0;
}

int ImageStream::Finish(bool* writeFailed)
{
    *writeFailed = false;
    if (passed == 0 || !rows_)
        return -1;
    if (failed_) {
        *writeFailed = true;
        rows_->Abandon();
        return -1;
    }
    // A stream cut short is padded with zeros (index 0, no ink, black), but a few bytes
    // standing for a huge declared image leave it out instead.
    if (have <= 0 || need_ <= 0 || need_ > have * (int64_t)IMAGE_MAX_PAD_FACTOR) {
        rows_->Abandon();
        return -1;
    }
    if (!row_.empty() && rows_->Row(row_.data(), (int64_t)row_.size()) != 0) {
        *writeFailed = true;
        rows_->Abandon();
        return -1;
    }
    row_.clear();
    if (rows_->End() != 0) {
        *writeFailed = true;
        return -1;
    }
    return 0;
}
