#include "tools/vxpsim/geodesy.h"

#include <cmath>

namespace {
constexpr double kEccentricitySquared = kWgs84Flattening * (2.0 - kWgs84Flattening);
}

Vec3 geodetic_to_ecef(const Geodetic& g) {
    const double s = std::sin(g.latitude_rad);
    const double n = kWgs84SemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * s * s);
    const double c = std::cos(g.latitude_rad);
    return {(n + g.height_m) * c * std::cos(g.longitude_rad),
            (n + g.height_m) * c * std::sin(g.longitude_rad),
            (n * (1.0 - kEccentricitySquared) + g.height_m) * s};
}

Geodetic ecef_to_geodetic(const Vec3& p) {
    const double rho = std::hypot(p.x, p.y);
    Geodetic g;
    g.longitude_rad = std::atan2(p.y, p.x);
    double lat = std::atan2(p.z, rho * (1.0 - kEccentricitySquared));
    double height = 0.0;
    // Fixed-point iteration converges to far below a millimetre in a handful of steps near the surface.
    for (int i = 0; i < 10; ++i) {
        const double s = std::sin(lat);
        const double n = kWgs84SemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * s * s);
        height = rho / std::cos(lat) - n;
        lat = std::atan2(p.z, rho * (1.0 - kEccentricitySquared * n / (n + height)));
    }
    g.latitude_rad = lat;
    g.height_m = height;
    return g;
}

LocalFrame local_frame(const Geodetic& g) {
    const double sl = std::sin(g.latitude_rad), cl = std::cos(g.latitude_rad);
    const double so = std::sin(g.longitude_rad), co = std::cos(g.longitude_rad);
    return {{-so, co, 0.0}, {-sl * co, -sl * so, cl}, {cl * co, cl * so, sl}};
}

double elevation_angle(const Vec3& origin, const LocalFrame& frame, const Vec3& target) {
    const Vec3 d = target - origin;
    return std::asin(d.dot(frame.up) / d.norm());
}

double normal_gravity(const Geodetic& g) {
    const double s2 = std::pow(std::sin(g.latitude_rad), 2);
    const double gamma =
        9.7803253359 * (1.0 + 0.00193185265241 * s2) / std::sqrt(1.0 - kEccentricitySquared * s2);
    return gamma - 3.086e-6 * g.height_m;
}
