// Fixed-point text of a double, character for character what printf's "%.<decimals>f" prints,
// at the cost of a multiplication and an integer conversion for the values of RINEX records.
#pragma once

#include <cstddef>

// Longest text format_fixed writes (std::to_chars' fixed form of the largest double, with its
// sign, decimal point and up to nine decimals).
inline constexpr std::size_t kFixedTextCapacity = 330;

// Writes the text of `value` with `decimals` digits after the point (0-9) to `out`, which holds
// at least kFixedTextCapacity characters, and returns the end of the text. No terminating zero.
char* format_fixed(char* out, double value, int decimals);
