// The satellites of the simulated sky: GPS, GLONASS, Galileo and BeiDou constellations of our own
// design (Walker-like planes at each system's radius and inclination, GLONASS frequency channels shared
// by antipodal satellites), each satellite with its truth orbit and clock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tools/vxpsim/glonass_orbit.h"
#include "tools/vxpsim/kepler_orbit.h"

// VXP constellation identifiers.
enum class GnssSystem : uint8_t { gps = 1, glonass = 2, galileo = 3, beidou = 4 };

struct Satellite {
    GnssSystem system = GnssSystem::gps;
    uint8_t id = 0;        // PRN, GLONASS slot
    int8_t channel = 0;    // GLONASS frequency channel
    KeplerOrbit orbit;     // GPS, Galileo, BeiDou
    SatelliteClock clock;  // GPS, Galileo, BeiDou
    std::shared_ptr<const GlonassTrack> glonass;

    // Truth ECEF position (m) and clock offset from GPS time (s, without group delay) at model time t.
    OrbitPoint at(double t) const;
    // Group delay of the first signal (GPS TGD), s.
    double group_delay() const { return system == GnssSystem::gps ? clock.tgd : 0.0; }
};

struct ConstellationConfig {
    bool gps = true, glonass = true, galileo = true, beidou = true;
    double t_begin = 0.0;  // model seconds covered by the GLONASS tracks
    double t_end = 0.0;
    double leap_seconds = 18.0;
    uint64_t seed = 1;
};

std::vector<Satellite> build_constellation(const ConstellationConfig& config);

// Model time of the GLONASS ephemeris reference grid: reference times fall on UTC hh:15 and hh:45.
double glonass_grid_origin(double leap_seconds);
