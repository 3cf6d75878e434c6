// The markup formatter: numbers, integers and character references, written without printf.
// The comparison with printf over a large table of doubles is in XpsPageTest.
#include "Xps/XpsNumber.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

TEST(XpsNumber, WritesATableOfValuesAsPrintfGDoes)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double v;
        const char* want;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "-0"},
        {inf, "0"},
        {-inf, "0"},
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {63.5, "63.5"},
        {612.0 / 10, "61.2"},
        {100.0, "100"},
        {-1.0 / 3, "-0.333333"},
        {12.345678, "12.3457"},
        // Rounding to six digits carries into the exponent, both ways of the plain range.
        {815.9999998, "816"},
        {1055.9999997, "1056"},
        {999999.4, "999999"},
        {999999.5, "1e+06"},
        {-999999.5, "-1e+06"},
        {9.999995e-5, "0.0001"},
        {9.9999949e-5, "9.99999e-05"},
        // Halves: exact binary ties go to the even digit; a decimal "tie" that lies below
        // its half in binary goes down.
        {123456.5, "123456"},
        {123457.5, "123458"},
        {0.1234565, "0.123456"},
        // Beyond the plain range: the exponent form.
        {0.0001, "0.0001"},
        {1e-5, "1e-05"},
        {2.5e-7, "2.5e-07"},
        {1e6, "1e+06"},
        {-1234567.0, "-1.23457e+06"},
        {4294967295.0, "4.29497e+09"},
        {1e20, "1e+20"},
        {1.7976931348623157e308, "1.79769e+308"},
        {5e-324, "4.94066e-324"},
    };
    for (const auto& c : cases) {
        char text[XPS_NUMBER_CHARS];
        memset(text, 'x', sizeof text);
        size_t n = FormatXpsNumber(c.v, text);
        EXPECT_STREQ(c.want, text) << c.v;
        EXPECT_EQ(strlen(c.want), n) << c.v;
        const XpsNumber number(c.v);
        EXPECT_STREQ(c.want, number.text) << c.v;
        EXPECT_EQ(strlen(c.want), number.length) << c.v;
    }
}

// Whole numbers and tenths take a short road of their own: every one of them, made in the
// ways arithmetic makes them, and the doubles beside them, still reads as printf writes it.
TEST(XpsNumber, TenthsAndTheirNeighboursAsPrintfGDoes)
{
    int wrong = 0;
    for (int k = -100010; k <= 100010; k++) {
        const double made[] = {k / 10.0, k * 0.1, k / 100.0, (double)k};
        for (double v : made) {
            for (double w : {v, std::nextafter(v, -1e300), std::nextafter(v, 1e300)}) {
                char want[64], got[XPS_NUMBER_CHARS];
                snprintf(want, sizeof want, "%g", w);
                FormatXpsNumber(w, got);
                if (strcmp(want, got) != 0 && ++wrong <= 10)
                    ADD_FAILURE() << want << " written as " << got;
            }
        }
    }
    EXPECT_EQ(0, wrong);
}

TEST(XpsNumber, IntegersAndCharacterReferences)
{
    const struct {
        long long v;
        const char* want;
    } integers[] = {{0, "0"}, {7, "7"}, {-7, "-7"}, {1234567890123LL, "1234567890123"},
                    {LLONG_MAX, "9223372036854775807"}, {LLONG_MIN, "-9223372036854775808"}};
    for (const auto& c : integers) {
        char text[XPS_NUMBER_CHARS];
        EXPECT_EQ(strlen(c.want), FormatXpsInteger(c.v, text)) << c.v;
        EXPECT_STREQ(c.want, text) << c.v;
    }
    char text[XPS_NUMBER_CHARS];
    EXPECT_EQ(20u, FormatXpsUnsigned(ULLONG_MAX, text));
    EXPECT_STREQ("18446744073709551615", text);

    const struct {
        unsigned long code;
        const char* want;
    } refs[] = {{0, "&#x0;"},         {0x9, "&#x9;"},           {0x41, "&#x41;"},
                {0x2019, "&#x2019;"}, {0xFFFD, "&#xfffd;"},     {0x1F600, "&#x1f600;"},
                {0x10FFFF, "&#x10ffff;"}, {0xFFFFFFFFul, "&#xffffffff;"}};
    for (const auto& c : refs) {
        EXPECT_EQ(strlen(c.want), FormatXpsCharRef(c.code, text)) << c.code;
        EXPECT_STREQ(c.want, text) << c.code;
    }
}

TEST(XpsNumber, MatrixJoinsItsSixNumbers)
{
    const pdfmatrix m = {1.333333333, -0.0, 0.5, -1e-7, 1e20, 1056};
    const XpsMatrix text(m);
    EXPECT_STREQ("1.33333,-0,0.5,-1e-07,1e+20,1056", text.text);
    EXPECT_EQ(strlen(text.text), text.length);
    // The longest numbers there are still fit.
    const double big = -1.7976931348623157e308;
    const XpsMatrix widest(pdfmatrix{big, big, big, big, big, big});
    EXPECT_EQ(std::string("-1.79769e+308,-1.79769e+308,-1.79769e+308,-1.79769e+308,"
                          "-1.79769e+308,-1.79769e+308"),
              widest.text);
}

}  // namespace
