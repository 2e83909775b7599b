// Which observation epochs of a receiver its file holds: every one, or those inside a GPS time
// window whose time is a whole multiple of an interval.
#pragma once

#include "store/gps_time_window.h"
#include "store/vxp_data_store.h"

struct EpochSelection {
    GpsTimeWindow window{};
    double interval = 0.0;  // seconds between kept epochs; 0 keeps every epoch

    bool keeps_every_epoch() const { return !window.bounded() && !(interval > 0.0); }
    // An epoch without observations has no time: kept only when every epoch is.
    bool keeps(const RawObservation* observations, std::size_t count) const;
    bool keeps(const RawEpoch& epoch) const { return keeps(epoch.data(), epoch.size()); }
};

// The first epoch the selection keeps; null when it keeps none. With every epoch kept, the first
// epoch of the receiver as it is (even an empty one).
const RawEpoch* first_kept_epoch(const Sequence<RawEpoch>& epochs, const EpochSelection& selection);
