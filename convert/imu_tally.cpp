#include "convert/imu_tally.h"

void ImuTally::add(const SensorPacketRecords& r) {
    any_delta_theta_ = any_delta_theta_ || r.delta_theta != nullptr;
    any_delta_velocity_ = any_delta_velocity_ || r.delta_velocity != nullptr;
    const bool scaled = r.scaled_gyro != nullptr || r.scaled_accel != nullptr;
    any_scaled_ = any_scaled_ || scaled;
    // An untimed packet's samples are left out, and it is no neighbour of any tag.
    const GpsTimestamp* const tag = r.tag();
    if (tag == nullptr)
        return;
    const bool in_window = window_.contains(gps_seconds(tag->time_of_week, tag->week_number));
    if (in_window) {
        delta_records_ += r.delta_theta != nullptr && r.delta_velocity != nullptr ? 1 : 0;
        scaled_records_ += r.scaled_gyro != nullptr && r.scaled_accel != nullptr ? 1 : 0;
        csv_rows_ += scaled || r.delta_theta != nullptr || r.delta_velocity != nullptr ? 1 : 0;
    }
    // Intervals between neighbouring tags that both have a week and a time that is not negative
    // (a NaN time fails too) and both lie in the window; a week rollover adds a week.
    const bool counted = in_window && tag->time_of_week >= 0 && tag->week_number != 0;
    if (previous_counted_ && counted) {
        double d = tag->time_of_week - previous_time_;
        if (d < 0)
            d += kSecondsPerGpsWeek;
        rate_.add(d);
    }
    previous_counted_ = counted;
    previous_time_ = tag->time_of_week;
}
