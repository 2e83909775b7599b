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

// Scaled magnitudes below 10^15 - 1 take the fast path: the count of the last decimal then has at
// most 15 digits, and doubles lie at most 1/8 apart there (below 2^50), so every half-integer is
// a double: the product rounded to a double rounds to the same integer as the exact product,
// except when it lands on a half, where the exact product is asked for.
constexpr double kFastLimit = 999999999999999.0;

constexpr int kMaxDigits = 16;  // two words of eight digits
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

// The eight digits of v < 10^8 as the bytes of a 64-bit word, first digit in the lowest byte
// (on a little-endian machine: its text). Each step works on all lanes of the word together: v
// splits into two 4-digit lanes of 32 bits, each into two 2-digit lanes of 16 bits, each into two
// digits of 8 bits; the divisions by 100 and 10 are multiplications by 10486 / 2^20 and
// 103 / 2^10, exact for these ranges.
uint64_t eight_digit_word(uint32_t v) {
    const uint64_t fours = v / 10000 | (static_cast<uint64_t>(v % 10000) << 32);
    const uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007Fu;
    const uint64_t twos = hundreds | ((fours - hundreds * 100) << 16);
    const uint64_t tens = ((twos * 103) >> 10) & 0x000F000F000F000Fu;
    const uint64_t ones = twos - tens * 10;
    return (tens | (ones << 8)) + 0x3030303030303030u;  // '0' in every byte
}

// Writes the text of `units` with `decimals` digits after the point (whole digits as the number
// has, at least one) and returns its length.
std::size_t digits_text(char* out, uint64_t units, int decimals) {
    const uint64_t first = eight_digit_word(static_cast<uint32_t>(units / kEightDigits));
    const uint64_t last = eight_digit_word(static_cast<uint32_t>(units % kEightDigits));
    const int whole = std::max(digit_count(units) - decimals, 1);
    char digits[kMaxDigits];
    for (int i = 0; i < 8; ++i) {
        digits[i] = static_cast<char>(first >> (8 * i));
        digits[8 + i] = static_cast<char>(last >> (8 * i));
    }
    const char* start = digits + kMaxDigits - decimals - whole;
    std::memcpy(out, start, static_cast<std::size_t>(whole));
    if (decimals == 0)
        return static_cast<std::size_t>(whole);
    out[whole] = '.';
    std::memcpy(out + whole + 1, digits + kMaxDigits - decimals, static_cast<std::size_t>(decimals));
    return static_cast<std::size_t>(whole + 1 + decimals);
}

char* slow_path(char* out, double value, int decimals) {
    return std::to_chars(out, out + kFixedTextCapacity, value, std::chars_format::fixed, decimals).ptr;
}

// The count of the last decimal, rounded as printf rounds; false outside the fast range.
bool scaled_units(double value, int decimals, uint64_t& units) {
    if (decimals < 0 || decimals > kFastDecimals)
        return false;
    const double scale = kScale[decimals];
    const double magnitude = std::fabs(value);
    const double scaled = magnitude * scale;
    if (!(scaled < kFastLimit))  // also NaN and infinity
        return false;
    // Truncation, the floor of a non-negative value; through a signed integer, which the machine
    // converts in one instruction either way (the value is below 2^50).
    const int64_t whole = static_cast<int64_t>(scaled);
    units = static_cast<uint64_t>(whole);
    const double fraction = scaled - static_cast<double>(whole);  // exact (Sterbenz, or units = 0)
    units += fraction > 0.5 ? 1u : 0u;
    if (fraction == 0.5) [[unlikely]] {
        // The rounded product sits on a half: the rounding error of the product, exact from fma,
        // says on which side the exact product lies; an exact half goes to the even neighbour.
        const double error = std::fma(magnitude, scale, -scaled);
        if (error > 0.0 || (error == 0.0 && (units & 1u) != 0))
            ++units;
    }
    return true;
}

// The right-aligned field of the observation values, built in two words. Digits d0 .. d15 of
// the 16-digit count (d0 always 0 below 10^15) go to the 16 characters as d1 .. d12, the point,
// d13 d14 d15; then the leading zeros become blanks and the last blank before the text the sign.
constexpr int kWordDecimals = 3;
constexpr uint64_t kBlanks = 0x2020202020202020u;
constexpr uint64_t kMinusOverBlank = '-' - ' ';

// A mask of the lowest n bytes of a word (n from 0 to 8).
uint64_t low_bytes(int n) {
    return n >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1;
}

}  // namespace

char* format_fixed(char* out, double value, int decimals) {
    uint64_t units = 0;
    if (!scaled_units(value, decimals, units))
        return slow_path(out, value, decimals);
    char* text = out;
    if (std::signbit(value))
        *text++ = '-';  // printf keeps the sign of a negative value that rounds to zero
    return text + digits_text(text, units, decimals);
}

std::size_t format_fixed_right(char* last, double value, int decimals, std::size_t max_length) {
    char* const field = last + 1 - kRightFieldWidth;
    uint64_t units = 0;
    if (decimals != kWordDecimals || std::endian::native != std::endian::little ||
        !scaled_units(value, decimals, units)) {
        char text[kFixedTextCapacity];
        const std::size_t length = static_cast<std::size_t>(format_fixed(text, value, decimals) - text);
        if (length > max_length || length > kRightFieldWidth)
            return length;
        std::memset(field, ' ', kRightFieldWidth - length);
        std::memcpy(last + 1 - length, text, length);
        return length;
    }
    const bool negative = std::signbit(value);
    const int whole = std::max(digit_count(units) - kWordDecimals, 1);
    const std::size_t length = static_cast<std::size_t>(whole + 1 + kWordDecimals + (negative ? 1 : 0));
    if (length > max_length || length > kRightFieldWidth)
        return length;
    constexpr uint64_t kEightZeros = 0x3030303030303030u;
    const uint64_t first =
        units >= kEightDigits ? eight_digit_word(static_cast<uint32_t>(units / kEightDigits)) : kEightZeros;
    const uint64_t second = eight_digit_word(static_cast<uint32_t>(units % kEightDigits));
    uint64_t low = (first >> 8) | (second << 56);
    uint64_t high = ((second >> 8) & 0xFFFFFFFFu) | (uint64_t{'.'} << 32) | (second & 0xFFFFFF0000000000u);
    const int blanks = kRightFieldWidth - 1 - kWordDecimals - whole;  // before the whole digits
    const uint64_t low_blank = low_bytes(blanks);
    const uint64_t high_blank = low_bytes(std::max(blanks - 8, 0));
    low = (low & ~low_blank) | (kBlanks & low_blank);
    high = (high & ~high_blank) | (kBlanks & high_blank);
    if (negative) {
        const int sign = blanks - 1;
        if (sign < 8)
            low += kMinusOverBlank << (8 * sign);
        else
            high += kMinusOverBlank << (8 * (sign - 8));
    }
    std::memcpy(field, &low, sizeof low);
    std::memcpy(field + 8, &high, sizeof high);
    return length;
}
