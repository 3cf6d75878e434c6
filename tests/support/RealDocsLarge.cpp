#include <cstdio>
#include <string>

#include "PdfBuilder.h"
#include "Pdf/Limits.h"
#include "RealDocs.h"

namespace testpdf {

namespace {

// Catalog 1, pages 2, page 3 and its content stream 4.
void OnePageOf(const std::string& mediaBox, const std::string& resources, const std::string& filter,
               const std::string& content, PdfBuilder* b)
{
    b->Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b->Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b->Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox + " /Resources " + resources +
                     " /Contents 4 0 R >>");
    b->Stream(4, filter, content);
}

// A plot of 500,000 filled rectangles, 2 by 1 points each, tiling a 1000-point page in ten
// by ten blocks of colour: 8.6 MB of content, 1.2 MB packed, some 80 MB of markup.
std::string PageOfRectangles()
{
    std::string content;
    content.reserve(9 << 20);
    char op[64];
    for (int row = 0; row < 1000; row++) {
        for (int col = 0; col < 500; col++) {
            if (col % 50 == 0) {
                int bx = col / 50, by = row / 100;
                snprintf(op, sizeof op, "%g %g %g rg\n", ((bx * 3 + by) % 10) / 9.0,
                         ((bx + by * 7) % 10) / 9.0, ((bx * by) % 10) / 9.0);
                content += op;
            }
            snprintf(op, sizeof op, "%d %d 2 1 re f\n", 2 * col, row);
            content += op;
        }
    }
    PdfBuilder b;
    OnePageOf("[0 0 1000 1000]", "<< >>", "/Filter /FlateDecode", Deflate(content), &b);
    b.ClassicXref();
    return b.Bytes();
}

// 40,000 pages of one square each, placed by the page's number: a package of 80,004 parts.
std::string ManyPages(int pages)
{
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    kids.reserve((size_t)pages * 10);
    for (int k = 0; k < pages; k++)
        kids += std::to_string(3 + 2 * k) + " 0 R ";
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int k = 0; k < pages; k++) {
        b.Object(3 + 2 * k, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents " +
                                std::to_string(4 + 2 * k) + " 0 R >>");
        b.Stream(4 + 2 * k, "", std::to_string(k % 80) + " " + std::to_string(k / 80 % 80) +
                                    " 20 20 re f");
    }
    b.ClassicXref();
    return b.Bytes();
}

// A page that paints a red band, runs a form that draws a blue square and runs the next form
// twice, fifteen levels down (32,767 runs, far past the page's budget), and then paints a
// green square of its own. Every run draws the same square, so the page looks whole with the
// runs its budget allows, and the green square shows that the page went on past them.
const int kFanLevels = 15;
const std::string kFanPage = "1 0 0 rg 20 20 160 60 re f /X Do 0 0.6 0 rg 120 30 40 40 re f\n";

std::string FanForm(int level)
{
    return level + 1 < kFanLevels ? "0 0 1 rg 40 30 40 40 re f /X Do /X Do\n"
                                  : "0 0 1 rg 40 30 40 40 re f\n";
}

std::string FanningPage()
{
    PdfBuilder b;
    OnePageOf("[0 0 200 100]", "<< /XObject << /X 5 0 R >> >>", "", kFanPage, &b);
    for (int k = 0; k < kFanLevels; k++)
        b.Stream(5 + k, "/Type /XObject /Subtype /Form /BBox [0 0 200 100] /Resources << /XObject "
                        "<< /X " + std::to_string(6 + k) + " 0 R >> >>",
                 FanForm(k));
    b.ClassicXref();
    return b.Bytes();
}

// The line for that page: its budget holds the page's stream and every form once.
std::string FanningMessage()
{
    long long held = (long long)kFanPage.size();
    for (int k = 0; k < kFanLevels; k++)
        held += (long long)FanForm(k).size();
    return "page 1 is drawn in part: it reached its limit of " +
           std::to_string(PAGE_MAX_NESTED_RUNS + PAGE_NESTED_RUNS_PER_HELD_BYTE * held) +
           " nested content streams (PAGE_MAX_NESTED_RUNS)";
}

}  // namespace

void LargeDocuments(std::vector<RealDoc>* rows)
{
    RealDoc rects;
    rects.name = "page-of-500000-rectangles";
    rects.make = PageOfRectangles;
    rows->push_back(rects);

    RealDoc pages;
    pages.name = "document-of-40000-pages";
    pages.make = [] { return ManyPages(40000); };
    pages.pages = {1, 20000, 40000};
    rows->push_back(pages);

    RealDoc fans;
    fans.name = "page-fanning-out-past-its-budget";
    fans.make = FanningPage;
    fans.message = FanningMessage();
    rows->push_back(fans);
}

}  // namespace testpdf
