#include "tools/vxpsim/constellation.h"

#include <cmath>
#include <random>

#include "tools/vxpsim/geodesy.h"

namespace {
struct Design {
    GnssSystem system;
    int planes;
    int per_plane;
    double a;            // m
    double inclination;  // deg
    double max_e;
    double mu;
    double raan_rate;    // rad/s, nodal regression at this radius and inclination
    double delta_n;      // rad/s
    double plane_phase;  // deg: phase offset between neighbouring planes
    int first_id;
};

// Our constellations: radii and inclinations of the real systems, plane layouts of our own.
constexpr Design kGps{GnssSystem::gps, 6, 5, 26559700.0, 55.0, 0.015, kGpsMu, -7.84e-9, 4.5e-9, 12.0, 1};
constexpr Design kGalileo{GnssSystem::galileo, 3,        8,      29599800.0, 56.0, 0.002,
                          kGalileoMu,          -5.18e-9, 3.0e-9, 15.0,       1};
constexpr Design kBeidou{GnssSystem::beidou, 3,       3,      27906100.0, 55.0, 0.003,
                         kGalileoMu,         -6.6e-9, 3.5e-9, 20.0,       19};
constexpr Design kGlonass{GnssSystem::glonass, 3, 8, 25508200.0, 64.8, 0.001, kGlonassMu, 0.0, 0.0, 15.0, 1};
// Frequency channel of each pair of antipodal GLONASS satellites (slots s and s + 4 of a plane).
constexpr int kGlonassPairChannels[12] = {2, -5, 4, -1, -7, 1, 3, -3, 0, -6, -2, 6};

double uniform(std::mt19937_64& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

KeplerOrbit design_orbit(const Design& d, int plane, int slot, std::mt19937_64& rng, double t_ref) {
    KeplerOrbit o;
    o.mu = d.mu;
    o.t_ref = t_ref;
    o.a = d.a + uniform(rng, -2000.0, 2000.0);
    o.e = uniform(rng, 0.1, 1.0) * d.max_e;
    o.i0 = (d.inclination + uniform(rng, -0.8, 0.8)) * kDegToRad;
    o.idot = uniform(rng, -4e-10, 4e-10);
    o.raan0 = (360.0 / d.planes * plane + uniform(rng, -0.5, 0.5)) * kDegToRad;
    o.raan_rate = d.raan_rate * uniform(rng, 0.97, 1.03);
    o.omega = uniform(rng, -kPi, kPi);
    const double latitude_argument = (360.0 / d.per_plane * slot + d.plane_phase * plane) * kDegToRad;
    o.m0 = std::remainder(latitude_argument - o.omega, 2.0 * kPi);
    o.delta_n = d.delta_n * uniform(rng, 0.8, 1.2);
    o.cuc = uniform(rng, -6e-6, 6e-6);
    o.cus = uniform(rng, -6e-6, 6e-6);
    o.crc = uniform(rng, 100.0, 350.0);
    o.crs = uniform(rng, -150.0, 150.0);
    o.cic = uniform(rng, -2e-7, 2e-7);
    o.cis = uniform(rng, -2e-7, 2e-7);
    if (d.system == GnssSystem::glonass) {
        // GLONASS orbits come from integrating their equations of motion; the nominal orbit only
        // gives the starting state.
        o.cuc = o.cus = o.crc = o.crs = o.cic = o.cis = 0.0;
        o.idot = 0.0;
    }
    return o;
}

// Inertial Keplerian state of a near-circular orbit, turned into the rotating frame at model time t.
GlonassState glonass_initial_state(const KeplerOrbit& o, double t) {
    const SatelliteClock no_clock;
    const Vec3 p = kepler_truth(o, no_clock, t).position;
    // Velocity of the inertial orbit by a central difference, then the frame's rotation removed.
    const double h = 0.5;
    const Vec3 before = kepler_truth(o, no_clock, t - h).position;
    const Vec3 after = kepler_truth(o, no_clock, t + h).position;
    // Differencing ECEF positions already gives the rotating-frame velocity.
    return {p, (after - before) * (1.0 / (2.0 * h))};
}
}  // namespace

double glonass_grid_origin(double leap_seconds) {
    return leap_seconds + kGlonassHalfInterval;
}

OrbitPoint Satellite::at(double t) const {
    if (glonass)
        return {glonass->position(t), glonass->clock(t)};
    return kepler_truth(orbit, clock, t);
}

std::vector<Satellite> build_constellation(const ConstellationConfig& config) {
    std::vector<Satellite> sats;
    std::mt19937_64 rng(config.seed);
    const double t_ref = config.t_begin;
    auto add_kepler = [&](const Design& d, bool enabled) {
        for (int p = 0; p < d.planes; ++p) {
            for (int s = 0; s < d.per_plane; ++s) {
                Satellite sat;
                sat.system = d.system;
                sat.id = static_cast<uint8_t>(d.first_id + p * d.per_plane + s);
                sat.orbit = design_orbit(d, p, s, rng, t_ref);
                sat.clock.t_ref = t_ref;
                sat.clock.af0 = uniform(rng, -4e-4, 4e-4);
                sat.clock.af1 = uniform(rng, -8e-12, 8e-12);
                sat.clock.af2 = 0.0;
                sat.clock.tgd = d.system == GnssSystem::gps ? uniform(rng, -1.2e-8, 1.2e-8) : 0.0;
                if (enabled)
                    sats.push_back(sat);
            }
        }
    };
    // Random draws happen whether or not a system is enabled, so each system's sky is the same in
    // every selection.
    add_kepler(kGps, config.gps);
    add_kepler(kGalileo, config.galileo);
    add_kepler(kBeidou, config.beidou);

    const double origin = glonass_grid_origin(config.leap_seconds);
    const double first_ref = GlonassTrack::reference_time(origin, config.t_begin);
    for (int p = 0; p < kGlonass.planes; ++p) {
        for (int s = 0; s < kGlonass.per_plane; ++s) {
            Satellite sat;
            sat.system = GnssSystem::glonass;
            sat.id = static_cast<uint8_t>(kGlonass.first_id + p * kGlonass.per_plane + s);
            sat.channel = static_cast<int8_t>(kGlonassPairChannels[p * 4 + s % 4]);
            const KeplerOrbit nominal = design_orbit(kGlonass, p, s, rng, first_ref);
            const double offset = uniform(rng, -3e-4, 3e-4);
            const double rate = uniform(rng, -4e-12, 4e-12);
            if (!config.glonass)
                continue;
            sat.glonass = std::make_shared<GlonassTrack>(glonass_initial_state(nominal, first_ref), origin,
                                                         config.t_begin, config.t_end, sat.id, offset, rate);
            sats.push_back(sat);
        }
    }
    return sats;
}
