// Numbers and character references as page markup writes them. Every markup writer formats
// through these, so a page reads the same in any locale and tests compare bytes; the page
// writer calls them tens of thousands of times a page, so none goes through printf.
#ifndef VARDEX_XPS_XPSNUMBER_H
#define VARDEX_XPS_XPSNUMBER_H

#include <cstddef>

#include "Interpreter/PathGeometry.h"

// Room for any text written here, terminator included.
enum { XPS_NUMBER_CHARS = 32 };

// "%g" of a finite value in the C locale ("-0" for negative zero), and "0" for a value that
// is not finite (a reader may abort on "inf" in path data, and "nan" is no number at all).
// Writes the text and its terminator into `out` (XPS_NUMBER_CHARS bytes); returns its length.
size_t FormatXpsNumber(double v, char* out);

// "%lld" and "%llu" of the value; the same contract.
size_t FormatXpsInteger(long long v, char* out);
size_t FormatXpsUnsigned(unsigned long long v, char* out);

// "&#x%lx;": the character reference of `code`, in lower-case hexadecimal; the same contract.
size_t FormatXpsCharRef(unsigned long code, char* out);

// The one number formatter of every markup writer, as a value: FormatXpsNumber of v.
struct XpsNumber {
    explicit XpsNumber(double v);
    char text[XPS_NUMBER_CHARS];
    size_t length;
};

// The six numbers of a matrix as "%g,%g,%g,%g,%g,%g".
struct XpsMatrix {
    explicit XpsMatrix(const pdfmatrix& m);
    char text[6 * XPS_NUMBER_CHARS];
    size_t length;
};

#endif
