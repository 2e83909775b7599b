// Earth-centred coordinates on the WGS-84 ellipsoid: geodetic latitude, longitude and height of a
// point, and where a satellite stands in the sky of a receiver.
#pragma once

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kSpeedOfLight = 299792458.0;           // m/s
inline constexpr double kEarthRotationRate = 7.2921151467e-5;  // rad/s, WGS-84
inline constexpr double kDegreesPerRadian = 180.0 / kPi;

struct Ecef {
    double x = 0.0, y = 0.0, z = 0.0;
};

struct Geodetic {
    double latitude = 0.0;   // rad
    double longitude = 0.0;  // rad
    double height = 0.0;     // m above the ellipsoid
};

Geodetic ecef_to_geodetic(const Ecef& p);

struct SkyPosition {
    double elevation = 0.0;  // rad
    double azimuth = 0.0;    // rad, 0 to 2 pi from north towards east
};

// The direction from a receiver (at `receiver`, `site` its geodetic coordinates) to `satellite`.
SkyPosition sky_position(const Ecef& receiver, const Geodetic& site, const Ecef& satellite);

double distance(const Ecef& a, const Ecef& b);
