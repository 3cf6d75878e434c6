// Real documents in miniature: small PDFs, each built like a kind of file that real programs
// write and that once came out refused, cut short or drawn wrong. The converter test turns
// every one into a package and holds each page, as both readers draw it, to the PDF's own
// rendering.
#ifndef VARDEX_TESTS_REALDOCS_H
#define VARDEX_TESTS_REALDOCS_H

#include <functional>
#include <string>
#include <vector>

namespace testpdf {

struct RealDoc {
    std::string name;                   // a file-name stem, also the row's name in test output
    std::function<std::string()> make;  // writes the PDF (the large ones are made when run)
    int status = 0;                     // the exit status a sound conversion gives
    std::string message;                // what standard error must say ("" for nothing at all)
    std::vector<int> pages;             // the pages compared (1-based); empty for every page
    double maxDiff = 0.01;              // bounds on each compared page, as the corpus run has
    double minInkF1 = 0.98;
    std::string gxpsSkip;               // why xpstopng's drawing is not judged, or ""
    bool toStdout = false;              // convert with --stdout rather than into a folder
    // Where mutool draws the row's own PDF wrongly (the row names the bug): a PDF of the same
    // pages drawn by other means, whose rendering the package is held to instead; or null.
    std::function<std::string()> reference;
};

// Every row, section by section.
std::vector<RealDoc> RealDocs();

// The sections, each in a file of its own kind.
void ObjectTables(std::vector<RealDoc>* rows);      // cross-reference data of large documents
void LargeDocuments(std::vector<RealDoc>* rows);    // large pages, packages of many parts
void FormsAndGroups(std::vector<RealDoc>* rows);    // form matrices and boxes, groups
void ImagesAndMasks(std::vector<RealDoc>* rows);    // masks, image colour spaces, JPEG data
void FontCases(std::vector<RealDoc>* rows);         // font programs and font dictionaries
void RefusalsAndMessages(std::vector<RealDoc>* rows);  // what a refusal says, and where

}  // namespace testpdf

#endif
