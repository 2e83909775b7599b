// Median of values that can be visited again and again, found without holding them: the IMU time
// tags of a day's log are tens of millions, and a copy of their intervals would grow the run's
// peak memory by a sixth.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace median_select {

// Non-negative doubles (infinity included) order like their bit patterns, so a value of given
// rank is found digit by digit: each counting pass fixes the next 16 bits of its pattern.
inline constexpr int kDigitBits = 16;
inline constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;

// visit(f) calls f(value) once for every value, the same values on every call; every value is
// >= 0 and not NaN. Returns the value of rank rank_of(n) (0 the smallest) among the n values and
// sets n; with no value at all, n is 0 and the result `none`.
template <class Visit, class Rank>
double value_of_rank(const Visit& visit, Rank rank_of, double none, uint64_t& n) {
    std::vector<uint64_t> counts(kDigitMask + 1);
    uint64_t prefix = 0;  // the bits fixed so far
    uint64_t fixed = 0;   // which bits those are
    uint64_t k = 0;
    for (int shift = 64 - kDigitBits; shift >= 0; shift -= kDigitBits) {
        std::fill(counts.begin(), counts.end(), 0);
        visit([&](double value) {
            const uint64_t bits = std::bit_cast<uint64_t>(value);
            if ((bits & fixed) == prefix)
                ++counts[(bits >> shift) & kDigitMask];
        });
        if (fixed == 0) {  // the first pass counts every value
            n = 0;
            for (uint64_t c : counts)
                n += c;
            if (n == 0)
                return none;
            k = rank_of(n);
        }
        uint64_t digit = 0;
        while (k >= counts[digit])
            k -= counts[digit++];
        prefix |= digit << shift;
        fixed |= kDigitMask << shift;
    }
    return std::bit_cast<double>(prefix);
}

// Up to this many values are copied and partly sorted rather than counted digit by digit: a copy
// of them takes no more memory than the counting table, and the few values of a short log are
// then not counted in four passes over 65536 counters (which made the median of ten values cost
// a millisecond).
inline constexpr uint64_t kCopiedValues = kDigitMask + 1;

// The median of the values, copied.
template <class Visit>
double median_of_copy(const Visit& visit, uint64_t n, double none) {
    if (n == 0)
        return none;
    std::vector<double> values;
    values.reserve(n);
    visit([&](double value) { values.push_back(value); });
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double lower = *middle;
    if (values.size() % 2 == 1)
        return lower;
    const double upper = *std::min_element(middle + 1, values.end());
    return lower + (upper - lower) / 2;
}

// The median (the mean of the two middle values for an even number of them), or `none` when
// there is no value at all. Up to `copied` values are copied (see kCopiedValues).
template <class Visit>
double median(const Visit& visit, double none, uint64_t copied = kCopiedValues) {
    uint64_t n = 0;
    visit([&](double) { ++n; });
    if (n <= copied)
        return median_of_copy(visit, n, none);
    const double lower = value_of_rank(
        visit, [](uint64_t count) { return (count - 1) / 2; }, none, n);
    if (n % 2 == 1 || n == 0)
        return lower;
    // The upper middle value equals the lower one when more than half the values are at or
    // below it; otherwise it is the smallest value above it.
    uint64_t at_or_below = 0;
    double above = std::numeric_limits<double>::infinity();
    visit([&](double value) {
        if (value <= lower)
            ++at_or_below;
        else if (value < above)
            above = value;
    });
    const double upper = at_or_below > n / 2 ? lower : above;
    return lower + (upper - lower) / 2;
}

}  // namespace median_select
