#include "tools/vxpsim/imu_model.h"

#include <cmath>

namespace {
// Local level (north, east, down) to body for a level vehicle with heading psi.
Vec3 to_body(double n, double e, double d, double psi) {
    const double c = std::cos(psi), s = std::sin(psi);
    return {c * n + s * e, -s * n + c * e, d};
}
}  // namespace

ImuTruth imu_truth(const Trajectory& trajectory, double t) {
    const Geodetic& g = trajectory.centre();
    const double psi = trajectory.heading(t);
    ImuTruth out;
    // Earth rate seen in the local level frame, plus the turn of the vehicle about the down axis.
    out.angular_rate = to_body(kEarthRotationRate * std::cos(g.latitude_rad), 0.0,
                               -kEarthRotationRate * std::sin(g.latitude_rad), psi);
    out.angular_rate.z += trajectory.heading_rate();
    const Vec3 a = trajectory.acceleration_enu(t);
    out.specific_force = to_body(a.y, a.x, -a.z - normal_gravity(g), psi);
    return out;
}
