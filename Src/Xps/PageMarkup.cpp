#include "Xps/PageMarkup.h"

#include <cstdio>

#include "Pdf/FileAccess.h"

PageMarkup::~PageMarkup()
{
    Drop();
}

void PageMarkup::Drop()
{
    if (file_) {
        pdfclose(file_);
        file_ = nullptr;
        remove(path_.c_str());
    }
    spilled_ = 0;
}

void PageMarkup::Reset(const std::string& spillPath)
{
    Drop();
    text_.clear();
    failed_ = false;
    path_ = spillPath;
}

void PageMarkup::Spill()
{
    // The file is made like every other temporary file: one that cannot be made or written
    // whole is remembered as a write failure, which fails the conversion.
    if (!file_ && (path_.empty() || pdfcreatfile(&file_, path_.c_str(), true) != 0)) {
        file_ = nullptr;
        failed_ = true;
    }
    if (file_ && fwrite(text_.data(), 1, text_.size(), file_) != text_.size())
        failed_ = true;
    spilled_ += text_.size();
    text_.clear();
}

bool PageMarkup::CopyTo(FILE* out)
{
    bool ok = !failed_ && out;
    if (file_) {
        FILE* fp = file_;
        file_ = nullptr;
        // Read back through the descriptor it was written with; one that did not reach the
        // disk whole is closed there.
        if (pdfreadback(fp) != 0) {
            ok = false;
        } else {
            char block[1 << 16];
            unsigned long long copied = 0;
            size_t n;
            while (ok && (n = fread(block, 1, sizeof block, fp)) > 0) {
                copied += n;
                ok = fwrite(block, 1, n, out) == n;
            }
            ok = ok && !ferror(fp) && copied == spilled_;
            pdfclose(fp);
        }
        remove(path_.c_str());
    }
    if (ok && !text_.empty())
        ok = fwrite(text_.data(), 1, text_.size(), out) == text_.size();
    text_.clear();
    spilled_ = 0;
    return ok;
}
