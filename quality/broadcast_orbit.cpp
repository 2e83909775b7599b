#include "quality/broadcast_orbit.h"

#include <cmath>

#include "store/gps_time_window.h"

namespace {
// Earth's gravitational constants of each system's orbit model, m^3/s^2.
constexpr double kGpsGravitationalConstant = 3.986005e14;
constexpr double kGalileoGravitationalConstant = 3.986004418e14;
constexpr int kKeplerIterations = 30;

double eccentric_anomaly(double mean_anomaly, double e) {
    double ecc = mean_anomaly;
    for (int i = 0; i < kKeplerIterations; ++i) {
        const double step = (ecc - e * std::sin(ecc) - mean_anomaly) / (1.0 - e * std::cos(ecc));
        ecc -= step;
        if (std::fabs(step) < 1e-14)
            break;
    }
    return ecc;
}
}  // namespace

double ephemeris_age_s(const GpsEphemeris& eph, double t) {
    return t - gps_seconds(eph.t_oe, eph.week_number);
}

SatelliteState kepler_satellite(const GpsEphemeris& eph, KeplerSystem system, double t) {
    const double mu = system == KeplerSystem::gps ? kGpsGravitationalConstant : kGalileoGravitationalConstant;
    const double a = eph.a;
    const double e = eph.eccentricity;
    const double tk = ephemeris_age_s(eph, t);
    const double n = std::sqrt(mu / (a * a * a)) + eph.delta_mean_motion;
    const double ecc = eccentric_anomaly(eph.mean_anomaly + n * tk, e);
    const double nu = std::atan2(std::sqrt(1.0 - e * e) * std::sin(ecc), std::cos(ecc) - e);
    const double phi = nu + eph.argument_of_perigee;
    const double s2 = std::sin(2.0 * phi), c2 = std::cos(2.0 * phi);
    const double u = phi + eph.cus * s2 + eph.cuc * c2;
    const double r = a * (1.0 - e * std::cos(ecc)) + eph.crs * s2 + eph.crc * c2;
    const double inc = eph.inclination + eph.inclination_rate * tk + eph.cis * s2 + eph.cic * c2;
    const double xp = r * std::cos(u), yp = r * std::sin(u);
    // The node's longitude is counted from Greenwich at the start of the ephemeris week.
    const double node = eph.right_ascension + (eph.right_ascension_rate - kEarthRotationRate) * tk -
                        kEarthRotationRate * eph.t_oe;
    const double cn = std::cos(node), sn = std::sin(node), ci = std::cos(inc);
    SatelliteState s;
    s.position = {xp * cn - yp * ci * sn, xp * sn + yp * ci * cn, yp * std::sin(inc)};
    const double dt = t - gps_seconds(eph.t_oc, eph.week_number);
    const double relativistic =
        -2.0 * std::sqrt(mu) / (kSpeedOfLight * kSpeedOfLight) * e * std::sqrt(a) * std::sin(ecc);
    s.clock_s = eph.af0 + eph.af1 * dt + eph.af2 * dt * dt + relativistic;
    if (system == KeplerSystem::gps)
        s.clock_s -= eph.t_gd;
    return s;
}
