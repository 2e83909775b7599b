// ImuRate: intervals counted per nanosecond value, the median and the near-median mean from the
// counts.
#include "store/imu_rate.h"

#include <cmath>

namespace {

constexpr double kNanosecondsPerSecond = 1e9;
// Longer intervals (and infinite ones) count as this long: 2^60 ns, about 36 years. The bound
// keeps four times a value inside 64 bits for the band test below.
constexpr int64_t kLongestNs = int64_t{1} << 60;

int64_t to_grain(int64_t ns, int64_t grain) {
    return (ns + grain / 2) / grain * grain;
}

}  // namespace

void ImuRate::add(double interval_seconds) {
    if (!(interval_seconds > 0))
        return;
    const double ns = interval_seconds * kNanosecondsPerSecond;
    const int64_t key =
        ns >= static_cast<double>(kLongestNs) ? kLongestNs : to_grain(std::llround(ns), grain_ns_);
    ++count_;
    const auto [entry, added] = counts_.try_emplace(key, 0);
    ++entry->second;
    if (added && counts_.size() > kMaxValues)
        coarsen();
}

void ImuRate::coarsen() {
    while (counts_.size() > kMaxValues) {
        grain_ns_ *= 2;
        std::map<int64_t, uint64_t> merged;
        for (const auto& [key, count] : counts_)
            merged[key == kLongestNs ? key : to_grain(key, grain_ns_)] += count;
        counts_.swap(merged);
    }
}

double ImuRate::rate_hz() const {
    if (count_ == 0)
        return 0.0;
    // The two middle values (one and the same for an odd count): ranks (n - 1) / 2 and n / 2.
    const uint64_t lower_rank = (count_ - 1) / 2;
    const uint64_t upper_rank = count_ / 2;
    int64_t lower = 0;
    int64_t upper = 0;
    uint64_t below = 0;
    for (const auto& [key, count] : counts_) {
        if (below <= lower_rank && lower_rank < below + count)
            lower = key;
        if (below <= upper_rank && upper_rank < below + count) {
            upper = key;
            break;
        }
        below += count;
    }
    // With M twice the median, |d - M / 2| <= M / 4 reads |4d - 2M| <= M: whole numbers, so that a
    // value on the edge of the band (3 ms around a median of 2 ms) is always in it. An empty band
    // (two middle values far apart) leaves the median, an empty second band the first mean.
    const int64_t twice_median = lower + upper;
    const double first_mean = mean_of(
        [&](int64_t d) {
            const int64_t offset = 4 * d - 2 * twice_median;
            return (offset < 0 ? -offset : offset) <= twice_median;
        },
        static_cast<double>(twice_median) / 2);
    // The median of quantised intervals may lie a whole quantum off the period (600 Hz in whole
    // milliseconds: 2 ms for 1.67 ms), and the band around it then takes in the 3 ms of a dropped
    // sample; the band around the first mean leaves it out.
    const double mean =
        mean_of([&](int64_t d) { return std::abs(static_cast<double>(d) - first_mean) <= first_mean / 2; },
                first_mean);
    const double rate = std::round(kNanosecondsPerSecond / mean);
    return std::isfinite(rate) ? rate : 0.0;
}
