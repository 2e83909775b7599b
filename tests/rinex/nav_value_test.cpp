// The navigation value format and the URA table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "rinex/line.h"
#include "rinex/nav_records.h"

namespace {

std::string printf_format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

TEST(NavValueFormat, ConstantsAndExamples) {
    EXPECT_EQ(format_nav_value(2.0), " 2.000000000000e+00");
    EXPECT_EQ(format_nav_value(0.0), " 0.000000000000e+00");
    EXPECT_EQ(format_nav_value(514.0), " 5.140000000000e+02");
    EXPECT_EQ(format_nav_value(999999999.999), " 9.999999999990e+08");
    EXPECT_EQ(format_nav_value(12345678.9 / 1000.0), " 1.234567890000e+04");
    EXPECT_EQ(format_nav_value(std::sqrt(26560000.0)), " 5.153639490690e+03");
    EXPECT_EQ(format_nav_value(-7.0), "-7.000000000000e+00");
    EXPECT_EQ(format_nav_value(-7.068132981658e-05), "-7.068132981658e-05");
    EXPECT_EQ(format_nav_value(1e-99), " 1.000000000000e-99");
    EXPECT_EQ(format_nav_value(-9.999999999999e+99), "-9.999999999999e+99");
}

TEST(NavValueFormat, NineteenCharactersSignInFirstColumn) {
    for (double v : {1.0, -1.0, 0.5, -0.25, 3.0e-12, -4.6566e-09, 2.0e+03, -1.0e+08, 65535.0}) {
        const std::string text = format_nav_value(v);
        ASSERT_EQ(text.size(), 19u) << v;
        EXPECT_EQ(text[0], v < 0 ? '-' : ' ') << v;
        EXPECT_EQ(text[2], '.') << v;
        EXPECT_EQ(text[15], 'e') << v;
    }
}

// The text must be exactly what "% 0.12e" prints, rounding of exact ties included (GLONASS
// coordinates are multiples of 2^-11 km and hit them), for values over the whole range.
TEST(NavValueFormat, SameTextAsPrintf) {
    std::mt19937_64 random(20180729);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::ldexp(mantissa(random), exponent(random));
        ASSERT_EQ(format_nav_value(v), printf_format("% 0.12e", v)) << v;
    }
    for (int64_t k = -5000; k <= 5000; ++k) {
        const double km = static_cast<double>(k * 1048573) / 2048.0;  // multiples of 2^-11 km
        ASSERT_EQ(format_nav_value(km), printf_format("% 0.12e", km)) << km;
        const double tie = 1.0 + static_cast<double>(k + 5000) * 5e-13;
        ASSERT_EQ(format_nav_value(tie), printf_format("% 0.12e", tie)) << tie;
    }
    for (double v : {-0.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(), 7.5983955078125e3, 2.5e-13}) {
        EXPECT_EQ(format_nav_value(v), printf_format("% 0.12e", v)) << v;
    }
}

TEST(NavValueFormat, HeaderCoefficientsAsPrintf) {
    RinexNumberText number;
    EXPECT_EQ(number.scientific(4.6566e-09, 4), " 4.6566e-09");
    EXPECT_EQ(number.scientific(-6.5536e+04, 4), "-6.5536e+04");
    std::mt19937_64 random(210);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 5000; ++i) {
        const double v = std::ldexp(mantissa(random), exponent(random));
        ASSERT_EQ(number.scientific(v, 4), printf_format("% .4e", v)) << v;
    }
}

TEST(UraIndex, HalfStepsUpToSixThenWholeSteps) {
    EXPECT_DOUBLE_EQ(ura_index_to_metres(0), 2.0);
    EXPECT_DOUBLE_EQ(ura_index_to_metres(1), std::sqrt(8.0));
    EXPECT_DOUBLE_EQ(ura_index_to_metres(2), 4.0);
    EXPECT_DOUBLE_EQ(ura_index_to_metres(6), 16.0);
    EXPECT_DOUBLE_EQ(ura_index_to_metres(7), 32.0);
    EXPECT_DOUBLE_EQ(ura_index_to_metres(15), 8192.0);
}

}  // namespace
