#include "rinex/epoch_tally.h"

#include "rinex/codes.h"

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
    if (count != 0)
        last_ = observations[0];
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
