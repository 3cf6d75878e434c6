#include "Xps/XpsNumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 Wide;

// 10^0 to 10^10, as integers and as doubles (each exact).
const uint64_t kPow10[] = {1ull,         10ull,         100ull,        1000ull,
                           10000ull,     100000ull,     1000000ull,    10000000ull,
                           100000000ull, 1000000000ull, 10000000000ull};
const double kPow10d[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
// 10^-5 to 10^6: the bounds of the decimal exponents "%g" writes without an exponent.
const double kPowers[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// a * 10^d rounded half to even, exactly: the double is m * 2^-s, so m * 10^d rounded at bit
// s is what "%.*f" rounds to d places.
uint64_t ExactScaled(double a, int d)
{
    uint64_t bits;
    memcpy(&bits, &a, sizeof bits);
    const uint64_t m = (bits & ((1ull << 52) - 1)) | (1ull << 52);
    const int s = 1075 - (int)(bits >> 52);  // 33 to 66 for the values taken here
    const Wide n = (Wide)m * kPow10[d];
    uint64_t q = (uint64_t)(n >> s);
    const Wide rest = n & (((Wide)1 << s) - 1);
    const Wide half = (Wide)1 << (s - 1);
    if (rest > half || (rest == half && (q & 1)))
        q++;
    return q;
}

// The same, first in double arithmetic: below 2^20 the product lies within 2^-34 of the exact
// one, so its rounding is the exact rounding unless it falls that close to a half. Those few
// are left to the integer arithmetic.
uint64_t Scaled(double a, int d)
{
    const double y = a * kPow10d[d];
    const double whole = std::floor(y);
    const double frac = y - whole;
    const double kTieBand = 1e-9;
    if (frac < 0.5 - kTieBand)
        return (uint64_t)whole;
    if (frac > 0.5 + kTieBand)
        return (uint64_t)whole + 1;
    return ExactScaled(a, d);
}

// "%g" of a nonzero finite value that "%g" writes without an exponent: six significant
// digits with a decimal exponent of -4 to 5. Path data and glyph advances are almost all
// such numbers. 0 for every other value, which is left to the general conversion.
size_t PlainNumber(double v, char* out)
{
    const double a = std::fabs(v);
    if (!(a >= 9e-5 && a < 1e6))
        return 0;
    // A first guess at the decimal exponent from the binary one (1233 / 4096 is just below
    // log10(2)); the comparison and the rounding below correct it.
    uint64_t bits;
    memcpy(&bits, &a, sizeof bits);
    const int e2 = (int)(bits >> 52) - 1023;
    int x = e2 >= 0 ? (e2 * 1233) >> 12 : -((-e2 * 1233 + 4095) >> 12);
    if (x < 5 && a >= kPowers[x + 6])
        x++;
    uint64_t q = 0;
    for (int tries = 0;; tries++) {
        if (tries == 4 || x < -5 || x > 5)
            return 0;
        q = Scaled(a, 5 - x);
        // The exponent is the one of the rounded digits: 9.999996 becomes 10.
        if (q >= 1000000)
            x++;
        else if (q < 100000)
            x--;
        else
            break;
    }
    if (x < -4)
        return 0;

    char digits[6];
    const unsigned q32 = (unsigned)q;
    memcpy(digits, kDigitPairs + 2 * (q32 / 10000), 2);
    memcpy(digits + 2, kDigitPairs + 2 * (q32 / 100 % 100), 2);
    memcpy(digits + 4, kDigitPairs + 2 * (q32 % 100), 2);
    int last = 5;  // the last digit written: trailing zeros are dropped
    while (last > 0 && digits[last] == '0')
        last--;

    char* p = out;
    if (v < 0)
        *p++ = '-';
    if (x >= 0) {
        memcpy(p, digits, (size_t)x + 1);
        p += x + 1;
        if (last > x) {
            *p++ = '.';
            memcpy(p, digits + x + 1, (size_t)(last - x));
            p += last - x;
        }
    } else {
        *p++ = '0';
        *p++ = '.';
        for (int i = 0; i < -x - 1; i++)
            *p++ = '0';
        memcpy(p, digits, (size_t)last + 1);
        p += last + 1;
    }
    *p = 0;
    return (size_t)(p - out);
}

// Whole numbers and tenths below 10^4 in magnitude, which most coordinates, sizes and glyph
// advances (widths in thousandths of the em, written in hundredths) are. A value whose ten
// times is a whole number in double arithmetic lies within a few units of its last bit of
// that tenth, far inside the six digits "%g" rounds to, so the tenth is what "%g" writes.
// 0 for every other value.
size_t TenthsNumber(double v, char* out)
{
    const double t = v * 10;
    if (!(t > -1e5 && t < 1e5))
        return 0;
    const long long whole = (long long)t;
    if ((double)whole != t)
        return 0;
    unsigned long long u = whole < 0 ? 0ull - (unsigned long long)whole : (unsigned long long)whole;
    char* p = out;
    if (v < 0)
        *p++ = '-';
    p += FormatXpsUnsigned(u / 10, p);
    if (u % 10) {
        *p++ = '.';
        *p++ = (char)('0' + u % 10);
        *p = 0;
    }
    return (size_t)(p - out);
}

}  // namespace

size_t FormatXpsNumber(double v, char* out)
{
    if (!std::isfinite(v))
        v = 0;
    if (v == 0) {
        const char* zero = std::signbit(v) ? "-0" : "0";
        strcpy(out, zero);
        return strlen(zero);
    }
    if (size_t n = TenthsNumber(v, out))
        return n;
    if (size_t n = PlainNumber(v, out))
        return n;
    // to_chars with the general format and precision 6 is "%g" in the C locale, whatever
    // locale the process runs in.
    std::to_chars_result r =
        std::to_chars(out, out + XPS_NUMBER_CHARS - 1, v, std::chars_format::general, 6);
    *r.ptr = 0;
    return (size_t)(r.ptr - out);
}

size_t FormatXpsUnsigned(unsigned long long v, char* out)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    for (int i = 0; i < n; i++)
        out[i] = digits[n - 1 - i];
    out[n] = 0;
    return (size_t)n;
}

size_t FormatXpsInteger(long long v, char* out)
{
    if (v >= 0)
        return FormatXpsUnsigned((unsigned long long)v, out);
    out[0] = '-';
    // The magnitude of the most negative value does not fit its own type.
    return 1 + FormatXpsUnsigned(0ull - (unsigned long long)v, out + 1);
}

size_t FormatXpsCharRef(unsigned long code, char* out)
{
    static const char kHex[] = "0123456789abcdef";
    char digits[2 * sizeof code];
    int n = 0;
    do {
        digits[n++] = kHex[code & 0xF];
        code >>= 4;
    } while (code);
    char* p = out;
    memcpy(p, "&#x", 3);
    p += 3;
    while (n)
        *p++ = digits[--n];
    *p++ = ';';
    *p = 0;
    return (size_t)(p - out);
}

XpsNumber::XpsNumber(double v) : length(FormatXpsNumber(v, text)) {}

XpsMatrix::XpsMatrix(const pdfmatrix& m)
{
    const double v[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
    char* p = text;
    for (int i = 0; i < 6; i++) {
        if (i > 0)
            *p++ = ',';
        p += FormatXpsNumber(v[i], p);
    }
    length = (size_t)(p - text);
}
