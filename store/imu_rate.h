// The inertial sensor's sample rate, tallied from the intervals between its time tags one at a
// time, in memory that does not grow with the number of intervals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

// Samples per second: the inverse of the mean of the intervals near the sensor's period, rounded
// to the nearest whole number (halves away from zero). The intervals near it are first those
// within half of the median interval (|d - median| <= median / 2), then those within half of
// their mean. The median is the period, which an early or late tag and a dropped sample do not
// move, and those stay out of the mean; the mean of the intervals near the period averages away
// the quantisation of whole-millisecond tags (a 400 Hz sensor steps 2, 3, 2, 3 ms), which the
// median alone turns into 333 or 500 Hz.
//
// Intervals are counted per value to the nanosecond. A sensor's intervals take very few values,
// so the table stays small, and the rule then works on whole nanoseconds: the binary fractions of
// the tags (100.003 - 100.001 is not exactly 0.002) cannot move an interval across the edge of
// the near-median band. The table holds at most kMaxValues values; an interval of a new value
// beyond that (tags with a fine jitter) doubles the grain of the count, merging neighbouring
// values, until the table fits again. Every interval still counts; the rule then sees intervals
// rounded to the grain, a few nanoseconds for any real sensor.
class ImuRate {
  public:
    static constexpr std::size_t kMaxValues = 4096;

    // An interval not above 0 (or NaN) says nothing about the rate and is passed over.
    void add(double interval_seconds);

    // 0 with no interval counted, and when the mean interval is too small for a finite rate.
    double rate_hz() const;

    uint64_t count() const { return count_; }
    // The distinct values in the table, and the grain they are counted to.
    std::size_t values() const { return counts_.size(); }
    int64_t grain_ns() const { return grain_ns_; }

  private:
    void coarsen();
    // The mean in ns of the counted values for which near(value) holds; `none` when none does.
    template <class Near>
    double mean_of(Near near, double none) const {
        double sum = 0.0;
        double count = 0.0;
        for (const auto& [key, n] : counts_) {
            if (near(key)) {
                sum += static_cast<double>(key) * static_cast<double>(n);
                count += static_cast<double>(n);
            }
        }
        return count > 0 ? sum / count : none;
    }

    std::map<int64_t, uint64_t> counts_;  // interval in ns, rounded to the grain -> how many
    int64_t grain_ns_ = 1;
    uint64_t count_ = 0;
};
