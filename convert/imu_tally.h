// What the IMR file's header needs to know of the sensor packets, gathered one packet at a time
// in log order: which kind of measurements the file carries, the sensor's data rate in the
// window, and whether the window holds a record at all.
#pragma once

#include <cstdint>

#include "route/record_consumer.h"
#include "store/gps_time_window.h"
#include "store/imu_rate.h"

class ImuTally {
  public:
    explicit ImuTally(const GpsTimeWindow& window) : window_(window) {}

    void add(const SensorPacketRecords& records);

    // Increments when the log holds both increment kinds, else scaled rates.
    bool delta_mode() const { return any_delta_theta_ && any_delta_velocity_; }
    // Samples per second for the header: from the intervals between neighbouring time tags that
    // both lie in the window.
    double rate_hz() const { return rate_.rate_hz(); }
    // Records the file would hold: timed samples in the window with both measurements of its kind.
    uint64_t records() const { return delta_mode() ? delta_records_ : scaled_records_; }

  private:
    GpsTimeWindow window_;
    bool any_delta_theta_ = false;
    bool any_delta_velocity_ = false;
    bool previous_counted_ = false;
    double previous_time_ = 0.0;
    ImuRate rate_;
    uint64_t delta_records_ = 0;
    uint64_t scaled_records_ = 0;
};
