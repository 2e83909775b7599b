// Median of values that can be visited again and again, found without holding them: the IMU time
// tags of a day's log are tens of millions, and a copy of their intervals would grow the run's
// peak memory by a sixth.
#pragma once

#include <bit>
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

// The median (the mean of the two middle values for an even number of them), or `none` when
// there is no value at all.
template <class Visit>
double median(const Visit& visit, double none) {
    uint64_t n = 0;
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
