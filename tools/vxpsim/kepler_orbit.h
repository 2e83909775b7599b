// GPS, Galileo and BeiDou satellite orbits and clocks: the truth orbit of each satellite as mean
// elements with secular drifts and second-harmonic perturbations in an Earth-centred inertial frame,
// the broadcast ephemeris record that describes it exactly at a chosen reference time, and the
// broadcast user algorithm (IS-GPS-200, also used for Galileo) that a receiver applies to that record.
#pragma once

#include "tools/vxpsim/vec3.h"
#include "vxp/records/gnss_records.h"

// Gravitational constants of the broadcast algorithms (m^3/s^2).
inline constexpr double kGpsMu = 3.986005e14;
inline constexpr double kGalileoMu = 3.986004418e14;
// Relativistic clock constant F = -2 sqrt(mu) / c^2 uses the system's mu: see relativistic_clock().

// Truth orbit. The inertial frame coincides with ECEF at model time 0 (the start of the first GPS
// week of the run) and the Earth turns at kEarthRotationRate, so ECEF = Rz(-we t) * inertial.
struct KeplerOrbit {
    double mu = kGpsMu;
    double a = 0.0;          // semi-major axis, m
    double e = 0.0;          // eccentricity
    double omega = 0.0;      // argument of perigee, rad
    double i0 = 0.0;         // inclination at t_ref, rad
    double idot = 0.0;       // rad/s
    double raan0 = 0.0;      // inertial right ascension of the ascending node at t_ref, rad
    double raan_rate = 0.0;  // rad/s (nodal regression)
    double m0 = 0.0;         // mean anomaly at t_ref, rad
    double delta_n = 0.0;    // mean motion correction, rad/s
    double cuc = 0.0, cus = 0.0, crc = 0.0, crs = 0.0, cic = 0.0, cis = 0.0;
    double t_ref = 0.0;  // model seconds
};

// Satellite clock offset from GPS time (s): af0 + af1 dt + af2 dt^2 about t_ref, plus the relativistic
// term of the eccentric orbit; tgd is the L1 group delay (GPS only, 0 elsewhere).
struct SatelliteClock {
    double af0 = 0.0, af1 = 0.0, af2 = 0.0;
    double t_ref = 0.0;
    double tgd = 0.0;
};

struct OrbitPoint {
    Vec3 position;       // ECEF, m
    double clock = 0.0;  // satellite clock minus GPS time, s, incl. relativistic term, without TGD
};

// Truth: ECEF position and clock at model time t, evaluated through explicit frame rotations.
OrbitPoint kepler_truth(const KeplerOrbit& orbit, const SatelliteClock& clock, double t);

// The broadcast record (GPS 0x61 or Galileo 0x63 layout) of the truth orbit with ephemeris and clock
// reference time `toe` (model seconds). `first_week` is the GPS week of model time 0. The caller fills
// satellite_id, health, iodc, iode, the time stamp and valid_flags.
GpsEphemeris make_broadcast_ephemeris(const KeplerOrbit& orbit, const SatelliteClock& clock, double toe,
                                      int first_week);

// The user algorithm on a broadcast record at GPS week/time of week: ECEF position and clock
// (af polynomial about t_oc plus the relativistic term; TGD not applied).
OrbitPoint broadcast_position(const GpsEphemeris& eph, double mu, int week, double tow);
