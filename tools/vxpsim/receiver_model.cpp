#include "tools/vxpsim/receiver_model.h"

#include <cmath>
#include <cstdio>

bool parse_trajectory(const std::string& text, TrajectoryConfig& out) {
    TrajectoryConfig t;
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    const std::string kind = text.substr(0, colon);
    const std::string values = text.substr(colon + 1);
    int consumed = 0;
    int fields = 0;
    if (kind == "static") {
        t.kind = TrajectoryKind::fixed;
        fields = std::sscanf(values.c_str(), "%lf,%lf,%lf%n", &t.latitude_deg, &t.longitude_deg, &t.height_m,
                             &consumed);
        if (fields != 3)
            return false;
    } else if (kind == "circle") {
        t.kind = TrajectoryKind::circle;
        fields = std::sscanf(values.c_str(), "%lf,%lf,%lf,%lf,%lf%n", &t.latitude_deg, &t.longitude_deg,
                             &t.height_m, &t.radius_m, &t.speed_mps, &consumed);
        if (fields != 5 || t.radius_m <= 0.0)
            return false;
    } else if (kind == "line") {
        t.kind = TrajectoryKind::line;
        fields = std::sscanf(values.c_str(), "%lf,%lf,%lf,%lf,%lf%n", &t.latitude_deg, &t.longitude_deg,
                             &t.height_m, &t.heading_deg, &t.speed_mps, &consumed);
        if (fields != 5)
            return false;
    } else {
        return false;
    }
    if (consumed != static_cast<int>(values.size()) || std::fabs(t.latitude_deg) > 89.0)
        return false;
    out = t;
    return true;
}

std::string trajectory_text(const TrajectoryConfig& t) {
    char buffer[160];
    switch (t.kind) {
        case TrajectoryKind::fixed:
            std::snprintf(buffer, sizeof buffer, "static:%.9f,%.9f,%.4f", t.latitude_deg, t.longitude_deg,
                          t.height_m);
            break;
        case TrajectoryKind::circle:
            std::snprintf(buffer, sizeof buffer, "circle:%.9f,%.9f,%.4f,%.4f,%.4f", t.latitude_deg,
                          t.longitude_deg, t.height_m, t.radius_m, t.speed_mps);
            break;
        case TrajectoryKind::line:
            std::snprintf(buffer, sizeof buffer, "line:%.9f,%.9f,%.4f,%.4f,%.4f", t.latitude_deg,
                          t.longitude_deg, t.height_m, t.heading_deg, t.speed_mps);
            break;
    }
    return buffer;
}

Trajectory::Trajectory(const TrajectoryConfig& config) : config_(config) {
    centre_ = {config.latitude_deg * kDegToRad, config.longitude_deg * kDegToRad, config.height_m};
    centre_ecef_ = geodetic_to_ecef(centre_);
    frame_ = local_frame(centre_);
}

Vec3 Trajectory::offset_enu(double t) const {
    switch (config_.kind) {
        case TrajectoryKind::circle: {
            // Counter-clockwise seen from above, starting east of the centre.
            const double angle = config_.speed_mps / config_.radius_m * t;
            return {config_.radius_m * std::cos(angle), config_.radius_m * std::sin(angle), 0.0};
        }
        case TrajectoryKind::line: {
            const double h = config_.heading_deg * kDegToRad;
            const double d = config_.speed_mps * t;
            return {d * std::sin(h), d * std::cos(h), 0.0};
        }
        case TrajectoryKind::fixed:
            break;
    }
    return {};
}

Vec3 Trajectory::position(double t) const {
    const Vec3 d = offset_enu(t);
    return centre_ecef_ + frame_.east * d.x + frame_.north * d.y + frame_.up * d.z;
}

Vec3 Trajectory::velocity_enu(double t) const {
    switch (config_.kind) {
        case TrajectoryKind::circle: {
            const double angle = config_.speed_mps / config_.radius_m * t;
            return {-config_.speed_mps * std::sin(angle), config_.speed_mps * std::cos(angle), 0.0};
        }
        case TrajectoryKind::line: {
            const double h = config_.heading_deg * kDegToRad;
            return {config_.speed_mps * std::sin(h), config_.speed_mps * std::cos(h), 0.0};
        }
        case TrajectoryKind::fixed:
            break;
    }
    return {};
}

double Trajectory::heading(double t) const {
    if (config_.kind == TrajectoryKind::fixed)
        return 0.0;
    const Vec3 v = velocity_enu(t);
    return std::atan2(v.x, v.y);
}

double Trajectory::heading_rate() const {
    // Counter-clockwise travel turns left: the heading decreases.
    return config_.kind == TrajectoryKind::circle ? -config_.speed_mps / config_.radius_m : 0.0;
}

Vec3 Trajectory::acceleration_enu(double t) const {
    if (config_.kind != TrajectoryKind::circle)
        return {};
    const double rate = config_.speed_mps / config_.radius_m;
    const double angle = rate * t;
    return {-config_.speed_mps * rate * std::cos(angle), -config_.speed_mps * rate * std::sin(angle), 0.0};
}
