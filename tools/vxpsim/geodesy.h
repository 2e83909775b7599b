// WGS84 geodesy of the simulator: geodetic and ECEF coordinates, local east/north/up frames,
// satellite elevation, and the physical constants shared by the orbit and signal models.
#pragma once

#include "tools/vxpsim/vec3.h"

inline constexpr double kSpeedOfLight = 299792458.0;           // m/s
inline constexpr double kEarthRotationRate = 7.2921151467e-5;  // rad/s, WGS84 / IS-GPS-200
inline constexpr double kWgs84SemiMajorAxis = 6378137.0;       // m
inline constexpr double kWgs84Flattening = 1.0 / 298.257223563;
inline constexpr double kStandardGravity = 9.80665;  // m/s^2 per g, the unit of the IMU's linear data
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kDegToRad = kPi / 180.0;

struct Geodetic {
    double latitude_rad = 0.0;
    double longitude_rad = 0.0;
    double height_m = 0.0;
};

// Unit vectors of the local level frame at a geodetic position, in ECEF.
struct LocalFrame {
    Vec3 east;
    Vec3 north;
    Vec3 up;
};

Vec3 geodetic_to_ecef(const Geodetic& g);
Geodetic ecef_to_geodetic(const Vec3& ecef);
LocalFrame local_frame(const Geodetic& g);

// Elevation (rad) of `target` seen from `origin`, both ECEF.
double elevation_angle(const Vec3& origin, const LocalFrame& frame, const Vec3& target);

// Normal gravity (m/s^2) on the ellipsoid at the latitude, reduced for height (Somigliana, free air).
double normal_gravity(const Geodetic& g);
