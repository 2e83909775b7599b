#include "quality/broadcast_ephemerides.h"

#include <cmath>

namespace {
// Broadcast orbits are fitted for a few hours around their reference time.
constexpr double kLongestEphemerisAgeS = 4.0 * 3600.0;
// Semi-major axes of navigation satellites lie far above this, m.
constexpr double kSmallestOrbitM = 1e7;
}  // namespace

void BroadcastEphemerides::add(KeplerSystem system, const GpsEphemeris& ephemeris) {
    if (ephemeris.satellite_id >= slots(system))
        return;
    Slot& slot =
        system == KeplerSystem::gps ? gps_[ephemeris.satellite_id] : galileo_[ephemeris.satellite_id];
    slot.present = true;
    slot.ephemeris = ephemeris;
}

void BroadcastEphemerides::add_iono(const GpsIonoCorrection& correction) {
    has_iono_ = true;
    iono_ = correction;
}

const GpsEphemeris* BroadcastEphemerides::usable(KeplerSystem system, int satellite, double t) const {
    if (satellite < 0 || satellite >= slots(system))
        return nullptr;
    const Slot& slot = system == KeplerSystem::gps ? gps_[satellite] : galileo_[satellite];
    if (!slot.present)
        return nullptr;
    const GpsEphemeris& e = slot.ephemeris;
    const bool orbit = e.a > kSmallestOrbitM && e.eccentricity >= 0.0 && e.eccentricity < 1.0;
    const bool healthy = system != KeplerSystem::gps || e.health == 0;
    const bool current = std::fabs(ephemeris_age_s(e, t)) <= kLongestEphemerisAgeS;
    return orbit && healthy && current ? &e : nullptr;
}
