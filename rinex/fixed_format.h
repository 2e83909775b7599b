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

// Width of the field format_fixed_right writes.
inline constexpr std::size_t kRightFieldWidth = 16;

// Writes the text of format_fixed right-aligned into the 16 characters ending at `last`, blanks
// before it, and returns its length; a text longer than `max_length` (or 16) is not written at
// all. The observation values use it to write straight into their line.
std::size_t format_fixed_right(char* last, double value, int decimals, std::size_t max_length);
