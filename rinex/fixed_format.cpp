// Fixed-point text equal to printf's "%.Nf": the value is scaled to an integer count of the last
// decimal, rounded to nearest with ties to even on its exact binary value, and printed as
// digits. Values outside the fast range go to std::to_chars, which prints the same text.
#include "rinex/fixed_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kFastDecimals = 9;
constexpr double kScale[kFastDecimals + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// "00" "01" ... "99": the decimal text of every two-digit group.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Scaled magnitudes below 2^50 take the fast path. There doubles lie at most 1/8 apart, so every
// half-integer is a double: the product rounded to a double then rounds to the same integer as
// the exact product, except when it lands on a half, where the exact product is asked for.
constexpr double kFastLimit = 1125899906842624.0;  // 2^50

constexpr int kMaxDigits = 16;  // of a count below 2^50
// Where the digits start in the text buffer (room for the sign before them), and how much of
// the buffer is copied out: every text of the fast path, sign, 16 digits and point.
constexpr int kTextDigits = 8;
constexpr std::size_t kCopiedText = 32;
constexpr uint64_t kEightDigits = 100000000;
constexpr std::array<uint64_t, kMaxDigits + 1> kPowerOfTen = [] {
    std::array<uint64_t, kMaxDigits + 1> powers{};
    uint64_t power = 1;
    for (uint64_t& p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

// Decimal digits of v (0 has none): log10 from the bit length, corrected by one comparison.
int digit_count(uint64_t v) {
    const int estimate = (std::bit_width(v) * 1233) >> 12;  // 1233 / 4096 ~ log10(2)
    return estimate + (v >= kPowerOfTen[estimate] ? 1 : 0);
}

// The eight digits of v < 10^8, zero-padded.
void eight_digits(char* out, uint32_t v) {
    const uint32_t high = v / 10000;
    const uint32_t low = v % 10000;
    std::memcpy(out, &kDigitPairs[2 * (high / 100)], 2);
    std::memcpy(out + 2, &kDigitPairs[2 * (high % 100)], 2);
    std::memcpy(out + 4, &kDigitPairs[2 * (low / 100)], 2);
    std::memcpy(out + 6, &kDigitPairs[2 * (low % 100)], 2);
}

char* slow_path(char* out, double value, int decimals) {
    return std::to_chars(out, out + kFixedTextCapacity, value, std::chars_format::fixed, decimals).ptr;
}

}  // namespace

char* format_fixed(char* out, double value, int decimals) {
    if (decimals < 0 || decimals > kFastDecimals)
        return slow_path(out, value, decimals);
    const double scale = kScale[decimals];
    const double magnitude = std::fabs(value);
    const double scaled = magnitude * scale;
    if (!(scaled < kFastLimit))  // also NaN and infinity
        return slow_path(out, value, decimals);

    uint64_t units = static_cast<uint64_t>(scaled);  // truncation: the floor of a non-negative value
    const double fraction = scaled - static_cast<double>(units);  // exact (Sterbenz, or units = 0)
    units += fraction > 0.5 ? 1u : 0u;
    if (fraction == 0.5) [[unlikely]] {
        // The rounded product sits on a half: the rounding error of the product, exact from fma,
        // says on which side the exact product lies; an exact half goes to the even neighbour.
        const double error = std::fma(magnitude, scale, -scaled);
        if (error > 0.0 || (error == 0.0 && (units & 1u) != 0))
            ++units;
    }

    // All 16 digits of units < 2^50, zero-padded, in two independent halves, laid out as
    // [16 digits][fraction moved one place right, behind its point] in one buffer; then as many
    // whole digits as the value has (at least one). Every copy has a fixed size, so none is a call.
    char text[64];
    char* const digits = text + kTextDigits;
    if (units >= kEightDigits)
        eight_digits(digits, static_cast<uint32_t>(units / kEightDigits));
    else
        std::memcpy(digits, "00000000", 8);
    eight_digits(digits + 8, static_cast<uint32_t>(units % kEightDigits));
    char* const point = digits + kMaxDigits - decimals;
    const int whole_digits = std::max(digit_count(units) - decimals, 1);
    std::size_t length = static_cast<std::size_t>(whole_digits);
    if (decimals > 0) {
        char fraction[kFastDecimals];
        std::memcpy(fraction, point, kFastDecimals);
        std::memcpy(point + 1, fraction, kFastDecimals);
        *point = '.';
        length += 1 + static_cast<std::size_t>(decimals);
    }
    char* start = point - whole_digits;
    if (std::signbit(value))
        *--start = '-';  // printf keeps the sign of a negative value that rounds to zero
    length += static_cast<std::size_t>(point - whole_digits - start);
    std::memcpy(out, start, kCopiedText);  // out holds kFixedTextCapacity characters
    return out + length;
}
