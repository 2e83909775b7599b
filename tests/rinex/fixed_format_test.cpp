// The fixed-point formatter against snprintf: random values over the whole range, exact halves
// (ties go to the even neighbour), the doubles next to them, the edge of the fast range and the
// special values, for every number of decimals the writers use and more.
#include "rinex/fixed_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

std::string printf_text(double value, int decimals) {
#ifdef _WIN32
    // MinGW's printf drops the sign of a NaN; glibc's, and format_fixed on every system, keep it.
    if (std::isnan(value) && std::signbit(value))
        return "-nan";
#endif
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string formatted(double value, int decimals) {
    char text[kFixedTextCapacity];
    return std::string(text, format_fixed(text, value, decimals));
}

// Counts the values compared; every mismatch fails with the value's bits.
class Comparison {
  public:
    void check(double value, int decimals) {
        ++compared;
        const std::string expected = printf_text(value, decimals);
        const std::string actual = formatted(value, decimals);
        if (actual != expected) {
            ++mismatches;
            if (mismatches <= 10) {
                ADD_FAILURE() << "%." << decimals << "f of " << std::hexfloat << value << ": printf \""
                              << expected << "\", format_fixed \"" << actual << "\"";
            }
        }
    }
    // The value and its neighbours on both sides.
    void check_around(double value, int decimals) {
        check(value, decimals);
        check(std::nextafter(value, HUGE_VAL), decimals);
        check(std::nextafter(value, -HUGE_VAL), decimals);
        check(-value, decimals);
    }

    long compared = 0;
    long mismatches = 0;
};

constexpr int kDecimalsTried[] = {0, 1, 2, 3, 4, 5, 7, 9, 12};

TEST(FixedFormat, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 random(20240305);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 20);
    Comparison comparison;
    for (int decimals : kDecimalsTried) {
        for (int i = 0; i < 40000; ++i) {
            const double value = mantissa(random) * std::pow(10.0, exponent(random));
            comparison.check(random() & 1 ? value : -value, decimals);
        }
    }
    EXPECT_EQ(comparison.mismatches, 0) << "of " << comparison.compared;
}

TEST(FixedFormat, ObservationLikeValuesWithThreeDecimals) {
    // Pseudoranges, carrier phases and Dopplers as the data lines carry them.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> range(1.9e7, 2.6e7);
    std::uniform_real_distribution<double> phase(-2e8, 2e8);
    std::uniform_real_distribution<double> doppler(-6000.0, 6000.0);
    Comparison comparison;
    for (int i = 0; i < 200000; ++i) {
        comparison.check(range(random), 3);
        comparison.check(phase(random), 3);
        comparison.check(static_cast<double>(static_cast<float>(doppler(random))), 3);
    }
    EXPECT_EQ(comparison.mismatches, 0) << "of " << comparison.compared;
}

TEST(FixedFormat, ExactHalvesGoToTheEvenNeighbourAndTheirNeighboursDoNot) {
    // m / 2^k is exact; with k >= decimals + 1 many of these are exact halves of the last digit.
    std::mt19937_64 random(11);
    Comparison comparison;
    for (int decimals : kDecimalsTried) {
        for (int k = 1; k <= 30; ++k) {
            std::uniform_int_distribution<int64_t> numerator(0, (int64_t{1} << 40) - 1);
            for (int i = 0; i < 300; ++i)
                comparison.check_around(std::ldexp(static_cast<double>(numerator(random)), -k), decimals);
        }
        // Small exact halves: 0.5, 1.5, 2.5 ... scaled down to the last decimal.
        for (int n = 0; n < 2000; ++n)
            comparison.check_around((n + 0.5) / std::pow(10.0, decimals), decimals);
    }
    EXPECT_EQ(comparison.mismatches, 0) << "of " << comparison.compared;
}

TEST(FixedFormat, TheEdgeOfTheFastRangeAndBeyond) {
    Comparison comparison;
    for (int decimals : kDecimalsTried) {
        // The fast range ends below 10^15 counts of the last decimal; 2^50 is where doubles
        // start to lie half a unit apart.
        for (double counts : {1e15 - 1, 1e15, std::ldexp(1.0, 50)}) {
            const double edge = counts / std::pow(10.0, decimals);
            double value = edge;
            for (int i = 0; i < 200; ++i) {
                comparison.check_around(value, decimals);
                value = std::nextafter(value, 0.0);
            }
            value = edge;
            for (int i = 0; i < 200; ++i) {
                comparison.check_around(value, decimals);
                value = std::nextafter(value, HUGE_VAL);
            }
        }
        for (double big : {1e15, 1e16, 9007199254740993.0, 1e22, 1e300, DBL_MAX})
            comparison.check_around(big, decimals);
    }
    EXPECT_EQ(comparison.mismatches, 0) << "of " << comparison.compared;
}

TEST(FixedFormat, ZerosTinyValuesAndSpecialValues) {
    Comparison comparison;
    for (int decimals : kDecimalsTried) {
        for (double value : {0.0,
                             -0.0,
                             1e-300,
                             -1e-300,
                             DBL_MIN,
                             DBL_TRUE_MIN,
                             -DBL_TRUE_MIN,
                             0.4999999999999999,
                             0.5,
                             1.0,
                             9.9999,
                             0.0005,
                             0.0015,
                             0.0025,
                             1.0005,
                             2.675,
                             1e-3,
                             123456.789,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN()}) {
            comparison.check(value, decimals);
        }
    }
    EXPECT_EQ(comparison.mismatches, 0) << "of " << comparison.compared;
    // A negative value that rounds to zero keeps its sign, as printf prints it.
    EXPECT_EQ(formatted(-0.0001, 3), "-0.000");
    EXPECT_EQ(formatted(1.0625, 3), "1.062");
    EXPECT_EQ(formatted(1.1875, 3), "1.188");
    EXPECT_EQ(formatted(21444907.112, 3), "21444907.112");
}

// The right-aligned field: the same text, blanks before it in the 16 characters, nothing
// written outside them, and nothing at all for a text longer than allowed.
void expect_right_aligned(double value, int decimals, std::size_t max_length) {
    const std::string text = formatted(value, decimals);
    std::string area(40, '#');
    char* const last = area.data() + 30;
    const std::size_t length = format_fixed_right(last, value, decimals, max_length);
    ASSERT_EQ(length, text.size()) << text;
    std::string expected(40, '#');
    if (length <= max_length && length <= kRightFieldWidth)
        expected.replace(15, 16, std::string(16 - length, ' ') + text);
    ASSERT_EQ(area, expected) << "%." << decimals << "f of " << std::hexfloat << value;
}

TEST(FixedFormat, RightAlignedFieldsHoldTheSameText) {
    std::mt19937_64 random(13);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-6, 16);
    for (int decimals : {3, 3, 3, 2, 7}) {
        for (int i = 0; i < 50000; ++i) {
            const double magnitude = mantissa(random) * std::pow(10.0, exponent(random));
            const double value = random() & 1 ? magnitude : -magnitude;
            expect_right_aligned(value, decimals, 14);
            expect_right_aligned(value, decimals, 16);
        }
    }
    for (double value :
         {0.0, -0.0, -0.0001, 0.0005, 1.0625, -1.0625, 9999999999.9995, -999999999.9995, 99999999999.999,
          -99999999999.999, 999999999999.999, 1e300, std::numeric_limits<double>::quiet_NaN(),
          -std::numeric_limits<double>::infinity()}) {
        for (std::size_t max_length : {std::size_t{6}, std::size_t{14}, std::size_t{16}})
            expect_right_aligned(value, 3, max_length);
    }
}

}  // namespace
