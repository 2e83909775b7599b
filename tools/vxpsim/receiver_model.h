// Simulated GNSS receivers: the antenna's truth trajectory (static, a circle or a straight line around
// a geodetic point), the receiver clock (bias and drift), and the heading and rates an IMU on the
// same vehicle senses.
#pragma once

#include <string>

#include "tools/vxpsim/geodesy.h"
#include "tools/vxpsim/vec3.h"

enum class TrajectoryKind { fixed, circle, line };

struct TrajectoryConfig {
    TrajectoryKind kind = TrajectoryKind::fixed;
    double latitude_deg = 0.0;
    double longitude_deg = 0.0;
    double height_m = 0.0;
    double radius_m = 0.0;     // circle
    double speed_mps = 0.0;    // circle, line
    double heading_deg = 0.0;  // line: direction of travel from north, clockwise
};

// Parses "static:lat,lon,h", "circle:lat,lon,h,radius,speed" or "line:lat,lon,h,heading,speed".
bool parse_trajectory(const std::string& text, TrajectoryConfig& out);
std::string trajectory_text(const TrajectoryConfig& t);

// Position and motion of the antenna at t seconds after the start of the run.
class Trajectory {
  public:
    Trajectory() : Trajectory(TrajectoryConfig{}) {}
    explicit Trajectory(const TrajectoryConfig& config);

    Vec3 position(double t) const;
    // Velocity in the local east/north/up frame of the trajectory's centre, m/s.
    Vec3 velocity_enu(double t) const;
    Vec3 acceleration_enu(double t) const;
    // Heading of travel (rad from north, clockwise) and its rate (rad/s).
    double heading(double t) const;
    double heading_rate() const;

    const Geodetic& centre() const { return centre_; }
    const LocalFrame& frame() const { return frame_; }
    const TrajectoryConfig& config() const { return config_; }

  private:
    Vec3 offset_enu(double t) const;

    TrajectoryConfig config_;
    Geodetic centre_;
    Vec3 centre_ecef_;
    LocalFrame frame_;
};

// Receiver clock: reading minus GPS time = bias + drift * t (t seconds after the start of the run).
struct ReceiverClock {
    double bias_s = 0.0;
    double drift = 0.0;  // s/s
    double offset(double t) const { return bias_s + drift * t; }
};
