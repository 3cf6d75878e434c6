// One part of a page's markup on its way into the page file: the page's content, or its
// resource dictionary, which the page file holds before the content and which is complete
// only when the page ends. A part collects in memory; past XPS_MARKUP_IN_MEMORY bytes it goes
// on in a file of the temporary folder, so that a page of any size takes no more memory than
// that, and is read back from there when the page file is assembled.
#ifndef VARDEX_XPS_PAGEMARKUP_H
#define VARDEX_XPS_PAGEMARKUP_H

#include <cstdio>
#include <string>

// Bytes of one part kept in memory (4 MiB): past them they go to the part's file.
enum { XPS_MARKUP_IN_MEMORY = 4 << 20 };

class PageMarkup {
public:
    PageMarkup() = default;
    // A file not yet read back is removed with the part.
    ~PageMarkup();
    PageMarkup(const PageMarkup&) = delete;
    PageMarkup& operator=(const PageMarkup&) = delete;

    // Empties the part for a new page; `spillPath` names the file it goes on in (made only
    // when the part grows past what memory keeps).
    void Reset(const std::string& spillPath);

    void Append(const char* text, size_t length)
    {
        if (failed_)
            return;
        text_.append(text, length);
        if (text_.size() >= XPS_MARKUP_IN_MEMORY)
            Spill();
    }
    void Append(const std::string& text) { Append(text.data(), text.size()); }

    bool Empty() const { return spilled_ == 0 && text_.empty(); }
    // True once the part's file could not be made or written: the part is lost, and what
    // comes after is dropped.
    bool Failed() const { return failed_; }

    // Writes the whole part to `out`, in order, and empties it, its file removed. False when
    // the part failed or its file could not be read back whole.
    bool CopyTo(FILE* out);

    // The memory block, for a caller that keeps blocks from page to page.
    std::string& Block() { return text_; }

private:
    void Spill();
    void Drop();

    std::string text_;       // what is not in the file
    FILE* file_ = nullptr;   // the part's file, once it has one
    std::string path_;
    unsigned long long spilled_ = 0;  // bytes in the file
    bool failed_ = false;
};

#endif
