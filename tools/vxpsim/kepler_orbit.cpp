#include "tools/vxpsim/kepler_orbit.h"

#include <cmath>

#include "tools/vxpsim/geodesy.h"
#include "tools/vxpsim/sim_time.h"

namespace {
double solve_kepler(double mean_anomaly, double e) {
    double ecc = mean_anomaly;
    for (int i = 0; i < 30; ++i) {
        const double step = (ecc - e * std::sin(ecc) - mean_anomaly) / (1.0 - e * std::cos(ecc));
        ecc -= step;
        if (std::fabs(step) < 1e-15)
            break;
    }
    return ecc;
}

double wrap_angle(double a) {
    return std::remainder(a, 2.0 * kPi);
}

double relativistic_clock(double mu, double a, double e, double ecc_anomaly) {
    return -2.0 * std::sqrt(mu) / (kSpeedOfLight * kSpeedOfLight) * e * std::sqrt(a) * std::sin(ecc_anomaly);
}

Vec3 rotate_z(const Vec3& v, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
}

Vec3 rotate_x(const Vec3& v, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
}
}  // namespace

OrbitPoint kepler_truth(const KeplerOrbit& o, const SatelliteClock& clock, double t) {
    const double tk = t - o.t_ref;
    const double n = std::sqrt(o.mu / (o.a * o.a * o.a)) + o.delta_n;
    const double ecc = solve_kepler(o.m0 + n * tk, o.e);
    const double nu = std::atan2(std::sqrt(1.0 - o.e * o.e) * std::sin(ecc), std::cos(ecc) - o.e);
    const double phi = nu + o.omega;
    const double s2 = std::sin(2.0 * phi), c2 = std::cos(2.0 * phi);
    const double u = phi + o.cus * s2 + o.cuc * c2;
    const double r = o.a * (1.0 - o.e * std::cos(ecc)) + o.crs * s2 + o.crc * c2;
    const double inc = o.i0 + o.idot * tk + o.cis * s2 + o.cic * c2;
    const Vec3 in_plane{r * std::cos(u), r * std::sin(u), 0.0};
    const Vec3 inertial = rotate_z(rotate_x(in_plane, inc), o.raan0 + o.raan_rate * tk);
    OrbitPoint p;
    p.position = rotate_z(inertial, -kEarthRotationRate * t);
    const double dt = t - clock.t_ref;
    p.clock = clock.af0 + clock.af1 * dt + clock.af2 * dt * dt + relativistic_clock(o.mu, o.a, o.e, ecc);
    return p;
}

GpsEphemeris make_broadcast_ephemeris(const KeplerOrbit& o, const SatelliteClock& clock, double toe,
                                      int first_week) {
    GpsEphemeris eph{};
    const double weeks = std::floor(toe / static_cast<double>(kSecondsPerWeek));
    const double week_start = weeks * static_cast<double>(kSecondsPerWeek);
    const double toe_sow = toe - week_start;
    const double dt = toe - o.t_ref;
    const double n = std::sqrt(o.mu / (o.a * o.a * o.a)) + o.delta_n;
    eph.week_number = static_cast<uint16_t>(first_week + static_cast<int>(weeks));
    eph.t_oe = toe_sow;
    eph.t_oc = toe_sow;
    eph.a = o.a;
    eph.eccentricity = o.e;
    eph.argument_of_perigee = o.omega;
    eph.delta_mean_motion = o.delta_n;
    eph.mean_anomaly = wrap_angle(o.m0 + n * dt);
    eph.inclination = o.i0 + o.idot * dt;
    eph.inclination_rate = o.idot;
    // The broadcast node longitude is counted from the Greenwich meridian at the start of the week.
    eph.right_ascension = wrap_angle(o.raan0 + o.raan_rate * dt - kEarthRotationRate * week_start);
    eph.right_ascension_rate = o.raan_rate;
    eph.cuc = o.cuc;
    eph.cus = o.cus;
    eph.crc = o.crc;
    eph.crs = o.crs;
    eph.cic = o.cic;
    eph.cis = o.cis;
    const double dc = toe - clock.t_ref;
    eph.af0 = clock.af0 + clock.af1 * dc + clock.af2 * dc * dc;
    eph.af1 = clock.af1 + 2.0 * clock.af2 * dc;
    eph.af2 = clock.af2;
    eph.t_gd = clock.tgd;
    return eph;
}

OrbitPoint broadcast_position(const GpsEphemeris& eph, double mu, int week, double tow) {
    const double a = eph.a;
    const double tk =
        static_cast<double>(week - static_cast<int>(eph.week_number)) * kSecondsPerWeek + tow - eph.t_oe;
    const double n = std::sqrt(mu / (a * a * a)) + eph.delta_mean_motion;
    const double ecc = solve_kepler(eph.mean_anomaly + n * tk, eph.eccentricity);
    const double e = eph.eccentricity;
    const double nu = std::atan2(std::sqrt(1.0 - e * e) * std::sin(ecc), std::cos(ecc) - e);
    const double phi = nu + eph.argument_of_perigee;
    const double s2 = std::sin(2.0 * phi), c2 = std::cos(2.0 * phi);
    const double u = phi + eph.cus * s2 + eph.cuc * c2;
    const double r = a * (1.0 - e * std::cos(ecc)) + eph.crs * s2 + eph.crc * c2;
    const double inc = eph.inclination + eph.inclination_rate * tk + eph.cis * s2 + eph.cic * c2;
    const double xp = r * std::cos(u), yp = r * std::sin(u);
    const double node = eph.right_ascension + (eph.right_ascension_rate - kEarthRotationRate) * tk -
                        kEarthRotationRate * eph.t_oe;
    const double cn = std::cos(node), sn = std::sin(node), ci = std::cos(inc);
    OrbitPoint p;
    p.position = {xp * cn - yp * ci * sn, xp * sn + yp * ci * cn, yp * std::sin(inc)};
    const double dc =
        static_cast<double>(week - static_cast<int>(eph.week_number)) * kSecondsPerWeek + tow - eph.t_oc;
    p.clock = eph.af0 + eph.af1 * dc + eph.af2 * dc * dc + relativistic_clock(mu, a, e, ecc);
    return p;
}
