#include "convert/imu_tally.h"

#include <algorithm>
#include <cmath>

void ImuTally::add(const SensorPacketRecords& records) {
    any_delta_theta_ = any_delta_theta_ || records.delta_theta != nullptr;
    any_delta_velocity_ = any_delta_velocity_ || records.delta_velocity != nullptr;
    const GpsTimestamp* const tag = records.tag();
    if (tag == nullptr)
        return;
    // Intervals between neighbouring tags that both have a week and a time that is not negative;
    // a week rollover adds a week.
    const bool usable = tag->time_of_week >= 0 && tag->week_number != 0;
    if (previous_usable_ && usable) {
        double d = tag->time_of_week - previous_time_;
        if (d < 0)
            d += kSecondsPerGpsWeek;
        if (d > 0)
            intervals_.push_back(d);
    }
    previous_usable_ = usable;
    previous_time_ = tag->time_of_week;
}

double ImuTally::rate_hz() const {
    if (intervals_.empty())
        return 0.0;
    std::vector<double> sorted = intervals_;
    const std::size_t middle = (sorted.size() - 1) / 2;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(middle), sorted.end());
    const double rate = std::round(1.0 / sorted[middle]);
    return std::isfinite(rate) ? rate : 0.0;
}
