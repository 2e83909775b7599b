// Single-point positioning of one epoch: the receiver's position and clock by least squares from
// its code pseudoranges and the broadcast orbits, with an elevation mask and the broadcast
// ionosphere and a standard troposphere removed from the ranges.
#pragma once

#include <vector>

#include "quality/broadcast_orbit.h"
#include "quality/geodesy.h"
#include "vxp/records/gnss_records.h"

struct PositioningSettings {
    double elevation_mask_deg = 10.0;
    bool ionosphere = true;   // the GPS broadcast model, when the log has its coefficients
    bool troposphere = true;  // the standard-atmosphere model
};

struct PseudorangeMeasurement {
    KeplerSystem system = KeplerSystem::gps;
    const GpsEphemeris* ephemeris = nullptr;
    double pseudorange = 0.0;  // m
};

struct PositionFix {
    bool valid = false;
    Ecef position;
    int satellites = 0;           // used, above the mask
    double residual_rms_m = 0.0;  // of the post-fit residuals
};

// `gps_seconds` is the epoch's receiver time (GPS seconds since week 0); `start` a position to
// start from (the origin will do: the first steps ignore the mask). Each system has its own
// receiver clock, so GPS and Galileo together need five satellites. `ionosphere` may be null.
PositionFix single_point_position(double gps_seconds, const std::vector<PseudorangeMeasurement>& measurements,
                                  const GpsIonoCorrection* ionosphere, const PositioningSettings& settings,
                                  const Ecef& start);
