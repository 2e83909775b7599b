// The broadcast records positioning needs, as they arrive in the log: the latest ephemeris of each
// GPS and Galileo satellite (from any receiver) and the latest GPS ionospheric coefficients.
#pragma once

#include <array>

#include "quality/broadcast_orbit.h"
#include "route/record_consumer.h"

class BroadcastEphemerides {
  public:
    void add(KeplerSystem system, const GpsEphemeris& ephemeris);
    void add_iono(const GpsIonoCorrection& correction);

    // The satellite's latest ephemeris when it is usable at `gps_seconds`: a plausible orbit, a GPS
    // satellite marked healthy, a reference time within four hours. Null otherwise.
    const GpsEphemeris* usable(KeplerSystem system, int satellite, double gps_seconds) const;
    const GpsIonoCorrection* iono() const { return has_iono_ ? &iono_ : nullptr; }

    static int slots(KeplerSystem system) { return system == KeplerSystem::gps ? kGpsSlots : kGalileoSlots; }

  private:
    struct Slot {
        bool present = false;
        GpsEphemeris ephemeris{};
    };
    std::array<Slot, kGpsSlots> gps_{};
    std::array<Slot, kGalileoSlots> galileo_{};
    bool has_iono_ = false;
    GpsIonoCorrection iono_{};
};
