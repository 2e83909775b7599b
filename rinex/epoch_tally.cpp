#include "rinex/epoch_tally.h"

#include <cmath>

#include "rinex/codes.h"
#include "rinex/gnss_time.h"

namespace {

constexpr double kMicrosecondsPerSecond = 1e6;

}  // namespace

bool EpochTally::add(const RawObservation* observations, std::size_t count) {
    if (!selection_.keeps(observations, count))
        return false;
    const bool first_kept = kept_epochs_ == 0;
    ++kept_epochs_;
    if (first_kept) {
        for (const auto& [constellation, letter] : vxp_constellation_letters)
            lettered_[constellation] = true;
        first_dated_ = count != 0;
        if (!first_dated_)
            return true;
        first_ = observations[0];
        previous_time_ = first_.time_of_week;
    } else if (count != 0 && first_dated_) {
        const double difference = observations[0].time_of_week - previous_time_;
        if (difference > 0 && difference < smallest_interval_)
            smallest_interval_ = difference;
        previous_time_ = observations[0].time_of_week;
    }
    if (count != 0) {
        if (!first_kept && first_dated_)
            count_interval(last_, observations[0]);
        last_ = observations[0];
    }
    for (std::size_t i = 0; i < count; ++i)
        this->count(observations[i]);
    return true;
}

void EpochTally::count(const RawObservation& o) {
    if (o.gnss_id == 0)
        return;
    ++by_constellation_[o.gnss_id];
    if (lettered_[o.gnss_id])
        ++by_signal_[o.signal_id];
    // Which signals each constellation already lists, and its list once it has one: one bit test
    // per observation, however many, and no map lookup.
    if (listed_[o.gnss_id].test(o.signal_id))
        return;
    std::vector<uint8_t>*& list = lists_[o.gnss_id];
    if (list == nullptr)
        list = &signals_[o.gnss_id];
    listed_[o.gnss_id].set(o.signal_id);
    list->push_back(o.signal_id);
}

void EpochTally::count_interval(const RawObservation& previous, const RawObservation& next) {
    // Week and time of week apart, so that the difference keeps the microseconds of both.
    const double seconds =
        (next.time_of_week - previous.time_of_week) +
        (static_cast<double>(next.week_number) - static_cast<double>(previous.week_number)) *
            SECONDS_PER_WEEK;
    if (!(seconds > 0.0) || !std::isfinite(seconds))
        return;
    auto grains = [&](double value) {
        return std::llround(value * kMicrosecondsPerSecond / static_cast<double>(interval_grain_));
    };
    while (interval_counts_.size() >= kIntervalValues && !interval_counts_.contains(grains(seconds))) {
        std::map<int64_t, uint64_t> coarser;
        for (const auto& [interval, epochs] : interval_counts_)
            coarser[std::llround(static_cast<double>(interval) / 10.0)] += epochs;
        interval_counts_ = std::move(coarser);
        interval_grain_ *= 10;
    }
    ++interval_counts_[grains(seconds)];
}

double EpochTally::nominal_interval() const {
    int64_t nominal = 0;
    uint64_t most = 0;
    for (const auto& [interval, epochs] : interval_counts_) {
        if (epochs > most && interval > 0) {
            nominal = interval;
            most = epochs;
        }
    }
    // A whole number of microseconds over 10^6: 0.1 s is the double nearest to 0.1.
    return most == 0 ? kNoInterval : static_cast<double>(nominal * interval_grain_) / kMicrosecondsPerSecond;
}
