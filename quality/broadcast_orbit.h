// Satellite positions and clocks from the broadcast Kepler records of GPS and Galileo, computed as
// their interface documents (IS-GPS-200, Galileo OS SIS ICD) define them.
#pragma once

#include "quality/geodesy.h"
#include "vxp/records/gnss_records.h"

enum class KeplerSystem { gps, galileo };

struct SatelliteState {
    Ecef position;         // Earth-fixed at the time of transmission, m
    double clock_s = 0.0;  // satellite clock offset: polynomial, relativistic term, minus TGD for GPS
};

// Seconds from the ephemeris reference time (its week and t_oe) to `gps_seconds`.
double ephemeris_age_s(const GpsEphemeris& ephemeris, double gps_seconds);

// Position and clock at `gps_seconds` (GPS seconds since week 0, the satellite's time of transmission).
// Galileo clocks are left without the broadcast group delay, which the record does not carry.
SatelliteState kepler_satellite(const GpsEphemeris& ephemeris, KeplerSystem system, double gps_seconds);
