// Fixed-point text equal to printf's "%.Nf": the value is scaled to an integer count of the last
// decimal, rounded to nearest with ties to even on its exact binary value, and printed as
// digits. Values outside the fast range go to std::to_chars, which prints the same text.
#include "rinex/fixed_format.h"

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
    if (fraction > 0.5) {
        ++units;
    } else if (fraction == 0.5) {
        // The rounded product sits on a half: the rounding error of the product, exact from fma,
        // says on which side the exact product lies; an exact half goes to the even neighbour.
        const double error = std::fma(magnitude, scale, -scaled);
        if (error > 0.0 || (error == 0.0 && (units & 1u) != 0))
            ++units;
    }

    // The digits from the right, two at a time: the decimals, the point, then the whole part
    // (at least one digit). At most 16 digits: units < 2^50.
    char digits[24];
    char* const digits_end = digits + sizeof digits;
    char* first = digits_end;
    for (int left = decimals; left > 0;) {
        if (left >= 2) {
            first -= 2;
            std::memcpy(first, &kDigitPairs[2 * (units % 100)], 2);
            units /= 100;
            left -= 2;
        } else {
            *--first = static_cast<char>('0' + units % 10);
            units /= 10;
            left = 0;
        }
    }
    if (decimals > 0)
        *--first = '.';
    while (units >= 100) {
        first -= 2;
        std::memcpy(first, &kDigitPairs[2 * (units % 100)], 2);
        units /= 100;
    }
    if (units >= 10) {
        first -= 2;
        std::memcpy(first, &kDigitPairs[2 * units], 2);
    } else {
        *--first = static_cast<char>('0' + units);
    }

    char* text = out;
    if (std::signbit(value))
        *text++ = '-';  // printf keeps the sign of a negative value that rounds to zero
    const std::size_t length = static_cast<std::size_t>(digits_end - first);
    std::memcpy(text, first, length);
    return text + length;
}
