// Hostile documents: small PDFs built to crash, hang or exhaust the converter, each paired
// with what a sound conversion of it does. The converter test runs every one through the
// program; the fuzz seed writer adds them to the seeds of the whole-file targets.
#ifndef VARDEX_TESTS_HOSTILEDOCS_H
#define VARDEX_TESTS_HOSTILEDOCS_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testpdf {

struct HostileDoc {
    std::string name;                  // a file-name stem, also the row's name in test output
    std::function<std::string()> make;  // writes the PDF (some are large: made when run)
    int status;                        // the exit status a sound conversion gives: 0, 1, or -1
                                       // for either
    // With status 0, every page as both readers draw it is held to the PDF's own rendering,
    // as the real-document rows are: the row checks what the page drew, not only that it
    // ended.
    bool drawnAsPdf = false;
    // Pixels (x, y from the top left of page 1 drawn at 72 dpi) that the page inks before
    // anything hostile runs: a conversion that stops at a budget, and so draws the rest
    // otherwise than the PDF, still keeps them.
    std::vector<std::pair<int, int>> drawnBefore = {};
};

// Every hostile document, section by section.
std::vector<HostileDoc> HostileDocs();

// A one-page document: catalog 1, pages 2, page 3 with `resources` (a dictionary's text) and
// the content stream 4 holding `content`; `more` adds objects from number 5 on, in order.
struct ExtraObject {
    int num;
    std::string entries;  // a stream's dictionary entries, or the whole body of an object
    std::string data;     // stream data; an object without `stream` is written as it stands
    bool stream = false;
};
std::string OnePage(const std::string& resources, const std::string& content,
                    const std::vector<ExtraObject>& more = {});

}  // namespace testpdf

#endif
