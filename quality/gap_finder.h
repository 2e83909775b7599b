// Gaps in a stream of record times (epochs or sensor samples), found in one pass without keeping
// the times: each interval is compared with the nominal interval known so far, the longer ones are
// listed (the first kMaxListed, the rest only counted), and at the end the list is cut to the
// intervals longer than 1.5 nominal intervals. The intervals' spread (jitter) is tallied too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

struct TimeGap {
    double start = 0.0;  // the last record before the gap, GPS seconds since week 0
    double end = 0.0;    // the first record after it
    uint64_t missing = 0;
};

class GapFinder {
  public:
    static constexpr std::size_t kMaxListed = 1000;
    static constexpr std::size_t kMaxIntervalValues = 64;

    // The next record time, in order; `period` is the nominal interval as far as the caller
    // knows it (0: use the most common interval so far).
    void add(double t, double period = 0.0);

    bool any() const { return count_ != 0; }
    uint64_t count() const { return count_; }
    double first() const { return first_; }
    double last() const { return last_; }
    // The most common interval (to the microsecond); 0 with fewer than two records.
    double most_common_interval() const;
    // Records a span from first to last would hold at `period`.
    uint64_t expected(double period) const;

    struct Gaps {
        std::vector<TimeGap> listed;
        uint64_t total = 0;      // listed and beyond the list
        double longest_s = 0.0;  // of them all
        uint64_t missing = 0;    // records missing in them all
    };
    Gaps gaps(double period) const;
    // Standard deviation of the intervals that are not gaps (within 1.5 periods), s.
    double jitter_s() const;

  private:
    uint64_t count_ = 0;
    double first_ = 0.0;
    double last_ = 0.0;
    std::map<int64_t, uint64_t> interval_counts_;  // microseconds -> how many
    int64_t mode_us_ = 0;
    uint64_t mode_count_ = 0;
    std::vector<TimeGap> candidates_;
    uint64_t unlisted_ = 0;
    double unlisted_longest_ = 0.0;
    double unlisted_sum_ = 0.0;
    // Running mean and spread of the regular intervals (Welford).
    uint64_t regular_ = 0;
    double regular_mean_ = 0.0;
    double regular_m2_ = 0.0;
};
