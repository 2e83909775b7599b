// Signal delays of the atmosphere for single-point positioning: the broadcast ionospheric model of
// GPS (eight Klobuchar coefficients) and a standard-atmosphere troposphere.
#pragma once

#include "quality/geodesy.h"
#include "vxp/records/gnss_records.h"

// Ionospheric delay in metres on the GPS L1 frequency (Galileo E1 shares it) at `time_of_week`
// (GPS seconds of week at the receiver), for a satellite seen at `sky` from `site`.
double klobuchar_delay_m(const GpsIonoCorrection& coefficients, double time_of_week, const Geodetic& site,
                         const SkyPosition& sky);

// Tropospheric delay in metres: the Saastamoinen model with a standard atmosphere at the site's
// height (1013.25 hPa and 15 degrees C at sea level, 70 % humidity). 0 below the horizon and for
// heights outside -100 m to 10 km, where the standard atmosphere says nothing useful.
double troposphere_delay_m(const Geodetic& site, double elevation);
