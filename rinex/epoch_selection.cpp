#include "rinex/epoch_selection.h"

#include <algorithm>
#include <cmath>

namespace {

// Whether the GPS time is a whole multiple of the interval, within the tolerance. The week and the
// time of week are reduced apart: fmod is exact, and neither sum loses the milliseconds that one
// 1.4e9-second total would hold only to a few tenths of a microsecond. A decimal interval is a
// binary fraction (0.2 is 0.2 + 1.1e-17), so a week's whole multiple of it leaves a remainder of
// its seconds times that relative error (1.5e-7 s in 2024) for the tolerance to absorb.
bool on_interval(double time_of_week, uint32_t week_number, double interval) {
    const double week_part = std::fmod(static_cast<double>(week_number) * kSecondsPerGpsWeek, interval);
    double remainder = std::fmod(week_part + std::fmod(time_of_week, interval), interval);
    if (remainder < 0.0)
        remainder += interval;
    return std::min(remainder, interval - remainder) <= kGpsTimeTolerance;  // NaN: false
}

}  // namespace

bool EpochSelection::keeps(const RawObservation* observations, std::size_t count) const {
    if (keeps_every_epoch())
        return true;
    if (count == 0)
        return false;
    const RawObservation& first = observations[0];
    if (!window.contains(gps_seconds(first.time_of_week, first.week_number)))
        return false;
    return !(interval > 0.0) || on_interval(first.time_of_week, first.week_number, interval);
}

const RawEpoch* first_kept_epoch(const Sequence<RawEpoch>& epochs, const EpochSelection& selection) {
    for (const RawEpoch& epoch : epochs) {
        if (selection.keeps(epoch))
            return &epoch;
    }
    return nullptr;
}
