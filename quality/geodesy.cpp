#include "quality/geodesy.h"

#include <cmath>

namespace {
constexpr double kWgs84SemiMajorAxis = 6378137.0;
constexpr double kWgs84Flattening = 1.0 / 298.257223563;
}  // namespace

Geodetic ecef_to_geodetic(const Ecef& p) {
    const double e2 = kWgs84Flattening * (2.0 - kWgs84Flattening);
    const double r2 = p.x * p.x + p.y * p.y;
    // Fixed-point iteration on the height above the equatorial plane; converges to the
    // micrometre in a few steps for any point outside the Earth's core.
    double z = p.z;
    double zk = 0.0;
    double v = kWgs84SemiMajorAxis;
    for (int i = 0; i < 20 && std::fabs(z - zk) >= 1e-4; ++i) {
        zk = z;
        const double sinp = z / std::sqrt(r2 + z * z);
        v = kWgs84SemiMajorAxis / std::sqrt(1.0 - e2 * sinp * sinp);
        z = p.z + v * e2 * sinp;
    }
    Geodetic g;
    g.latitude = r2 > 1e-12 ? std::atan(z / std::sqrt(r2)) : (p.z > 0.0 ? kPi / 2.0 : -kPi / 2.0);
    g.longitude = r2 > 1e-12 ? std::atan2(p.y, p.x) : 0.0;
    g.height = std::sqrt(r2 + z * z) - v;
    return g;
}

SkyPosition sky_position(const Ecef& receiver, const Geodetic& site, const Ecef& satellite) {
    const double dx = satellite.x - receiver.x, dy = satellite.y - receiver.y, dz = satellite.z - receiver.z;
    const double sl = std::sin(site.latitude), cl = std::cos(site.latitude);
    const double so = std::sin(site.longitude), co = std::cos(site.longitude);
    const double east = -so * dx + co * dy;
    const double north = -sl * co * dx - sl * so * dy + cl * dz;
    const double up = cl * co * dx + cl * so * dy + sl * dz;
    SkyPosition s;
    s.elevation = std::atan2(up, std::hypot(east, north));
    s.azimuth = std::atan2(east, north);
    if (s.azimuth < 0.0)
        s.azimuth += 2.0 * kPi;
    return s;
}

double distance(const Ecef& a, const Ecef& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}
