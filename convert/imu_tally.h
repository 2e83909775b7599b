// What the IMR file's header needs to know of the sensor packets, gathered one packet at a time
// in log order: which kind of measurements the file carries and the sensor's data rate.
#pragma once

#include <vector>

#include "route/record_consumer.h"
#include "store/gps_time_window.h"

class ImuTally {
  public:
    explicit ImuTally(const GpsTimeWindow& window) : window_(window) {}

    void add(const SensorPacketRecords& records);

    // Increments when the log holds both increment kinds, else scaled rates.
    bool delta_mode() const { return any_delta_theta_ && any_delta_velocity_; }
    // Samples per second for the header.
    double rate_hz() const;

  private:
    GpsTimeWindow window_;
    bool any_delta_theta_ = false;
    bool any_delta_velocity_ = false;
    bool previous_usable_ = false;
    double previous_time_ = 0.0;
    std::vector<double> intervals_;
};
