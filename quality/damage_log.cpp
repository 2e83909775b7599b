#include "quality/damage_log.h"

#include "store/gps_time_window.h"

void DamageLog::checksum_error(uint8_t set) {
    int source = kOtherSource;
    if (set == VXP_SET_SENSOR)
        source = kImuSource;
    else if (set == VXP_SET_FILTER)
        source = kFilterSource;
    else if (is_gnss_set(set))
        source = receiver_for_set(set);
    ++errors_[static_cast<std::size_t>(source)];

    DamagedStretch* current = nullptr;
    if (unlisted_ > 0)
        current = &unlisted_current_;
    else if (!stretches_.empty())
        current = &stretches_.back();
    // The error belongs to the current stretch when no good timed packet came since, or when the
    // good ones in between lie within the joining time.
    const bool joins = current != nullptr && (awaiting_end_ || last_good_ - current->before <= kJoinSeconds);
    if (joins) {
        ++current->checksum_errors;
        current->before = NAN;
    } else if (stretches_.size() < kMaxListed) {
        stretches_.push_back({last_good_, NAN, 1});
    } else {
        ++unlisted_;
        unlisted_current_ = {last_good_, NAN, 1};
    }
    awaiting_end_ = true;
}

void DamageLog::good_time(const GpsTimestamp* tag) {
    if (tag == nullptr || tag->week_number == 0 || !(tag->time_of_week >= 0.0))
        return;
    last_good_ = gps_seconds(tag->time_of_week, tag->week_number);
    if (!awaiting_end_)
        return;
    awaiting_end_ = false;
    DamagedStretch& current = unlisted_ > 0 ? unlisted_current_ : stretches_.back();
    current.before = last_good_;
}

uint64_t DamageLog::total_errors() const {
    uint64_t total = 0;
    for (uint64_t e : errors_)
        total += e;
    return total;
}
