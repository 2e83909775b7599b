// What the inertial files need to know of the sensor packets before their first record, gathered
// one packet at a time in log order: which kind of measurements the IMR file carries and which
// column groups the CSV file has, the sensor's data rate in the window, and whether the window
// holds a record of either file at all.
#pragma once

#include <cstdint>

#include "imu_csv/imu_csv_writer.h"
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
    // The CSV file's columns: rates when any packet of the log has a scaled vector, increments when
    // any has a delta vector.
    ImuCsvColumns csv_columns() const { return {any_scaled_, any_delta_theta_ || any_delta_velocity_}; }
    // Rows the CSV file would hold: timed samples in the window with any of the four vectors.
    uint64_t csv_rows() const { return csv_rows_; }

  private:
    GpsTimeWindow window_;
    bool any_delta_theta_ = false;
    bool any_delta_velocity_ = false;
    bool any_scaled_ = false;
    bool previous_counted_ = false;
    double previous_time_ = 0.0;
    ImuRate rate_;
    uint64_t delta_records_ = 0;
    uint64_t scaled_records_ = 0;
    uint64_t csv_rows_ = 0;
};
