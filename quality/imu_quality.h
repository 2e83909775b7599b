// The inertial sensor's quality in a time window, gathered one sensor packet at a time: its data
// rate, samples present against those the rate expects over the span, gaps and interval jitter.
#pragma once

#include <cstdint>

#include "quality/envelope_series.h"
#include "quality/gap_finder.h"
#include "route/record_consumer.h"
#include "store/gps_time_window.h"
#include "store/imu_rate.h"

class ImuQuality {
  public:
    explicit ImuQuality(const GpsTimeWindow& window) : window_(window) {}

    void add(const SensorPacketRecords& records);

    bool any() const { return samples_.any() || untimed_ != 0; }
    double rate_hz() const { return rate_.rate_hz(); }
    const GapFinder& samples() const { return samples_; }
    uint64_t expected() const;
    GapFinder::Gaps gaps() const;
    // Sensor packets without a usable time tag (no time field, week 0, negative time).
    uint64_t untimed() const { return untimed_; }
    // The intervals between timed samples over time (s), as an envelope.
    const EnvelopeSeries& intervals() const { return intervals_; }

  private:
    double period() const;

    // The provisional rate is recomputed after this many samples.
    static constexpr uint64_t kRateRefresh = 4096;
    static constexpr std::size_t kMaxIntervalPoints = 2048;

    GpsTimeWindow window_;
    ImuRate rate_;
    GapFinder samples_;
    double previous_ = 0.0;
    double provisional_period_ = 0.0;
    uint64_t untimed_ = 0;
    EnvelopeSeries intervals_{kMaxIntervalPoints};
};
