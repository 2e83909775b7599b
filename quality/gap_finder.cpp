#include "quality/gap_finder.h"

#include <cmath>

namespace {
constexpr double kGapFactor = 1.5;
constexpr double kMicroseconds = 1e6;
}  // namespace

void GapFinder::add(double t, double period) {
    if (!std::isfinite(t))
        return;
    if (count_++ == 0) {
        first_ = last_ = t;
        return;
    }
    const double interval = t - last_;
    last_ = t;
    if (!(interval > 0.0))
        return;
    const auto key = static_cast<int64_t>(std::llround(interval * kMicroseconds));
    auto it = interval_counts_.find(key);
    if (it == interval_counts_.end() && interval_counts_.size() < kMaxIntervalValues)
        it = interval_counts_.emplace(key, 0).first;
    if (it != interval_counts_.end() && ++it->second > mode_count_) {
        mode_count_ = it->second;
        mode_us_ = key;
    }
    const double nominal = period > 0.0 ? period : static_cast<double>(mode_us_) / kMicroseconds;
    if (interval > kGapFactor * nominal) {
        if (candidates_.size() < kMaxListed) {
            candidates_.push_back({t - interval, t, 0});
        } else {
            ++unlisted_;
            unlisted_sum_ += interval;
            unlisted_longest_ = std::max(unlisted_longest_, interval);
        }
        return;
    }
    ++regular_;
    const double delta = interval - regular_mean_;
    regular_mean_ += delta / static_cast<double>(regular_);
    regular_m2_ += delta * (interval - regular_mean_);
}

double GapFinder::most_common_interval() const {
    return static_cast<double>(mode_us_) / kMicroseconds;
}

uint64_t GapFinder::expected(double period) const {
    if (count_ == 0)
        return 0;
    if (!(period > 0.0))
        return count_;
    return static_cast<uint64_t>(std::llround((last_ - first_) / period)) + 1;
}

GapFinder::Gaps GapFinder::gaps(double period) const {
    Gaps g;
    if (!(period > 0.0))
        return g;
    for (const TimeGap& c : candidates_) {
        const double length = c.end - c.start;
        if (!(length > kGapFactor * period))
            continue;
        TimeGap gap = c;
        gap.missing = static_cast<uint64_t>(std::max<long long>(std::llround(length / period) - 1, 1));
        g.listed.push_back(gap);
        g.longest_s = std::max(g.longest_s, length);
        g.missing += gap.missing;
    }
    // Beyond the list only the count, the longest and the total length are known.
    g.total = g.listed.size() + unlisted_;
    g.longest_s = std::max(g.longest_s, unlisted_longest_);
    if (unlisted_ > 0)
        g.missing += static_cast<uint64_t>(
            std::max<long long>(std::llround(unlisted_sum_ / period) - static_cast<long long>(unlisted_), 0));
    return g;
}

double GapFinder::jitter_s() const {
    return regular_ > 1 ? std::sqrt(regular_m2_ / static_cast<double>(regular_ - 1)) : 0.0;
}
