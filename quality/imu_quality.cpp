#include "quality/imu_quality.h"

#include <cmath>

void ImuQuality::add(const SensorPacketRecords& records) {
    const GpsTimestamp* tag = records.tag();
    if (tag == nullptr || tag->week_number == 0 || !(tag->time_of_week >= 0.0)) {
        ++untimed_;
        return;
    }
    const double t = gps_seconds(tag->time_of_week, tag->week_number);
    if (!window_.contains(t))
        return;
    if (samples_.any()) {
        rate_.add(t - previous_);
        intervals_.add(previous_, t - previous_);
    }
    previous_ = t;
    samples_.add(t, provisional_period_);
    if (samples_.count() % kRateRefresh == 0 && rate_.rate_hz() > 0.0)
        provisional_period_ = 1.0 / rate_.rate_hz();
}

double ImuQuality::period() const {
    const double rate = rate_.rate_hz();
    return rate > 0.0 ? 1.0 / rate : 0.0;
}

uint64_t ImuQuality::expected() const {
    return samples_.expected(period());
}

GapFinder::Gaps ImuQuality::gaps() const {
    return samples_.gaps(period());
}
