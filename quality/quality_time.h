// GPS times of the quality summary: seconds since week 0 as week and seconds of week, and as
// calendar text to the millisecond.
#pragma once

#include <cstdint>
#include <string>

struct GpsWeekTime {
    uint32_t week = 0;
    double seconds = 0.0;
};

GpsWeekTime week_time(double gps_seconds);
// "2024-03-05 12:00:00.000" (separator ' '), or ISO 8601 "2024-03-05T12:00:00.000" (separator 'T').
std::string gps_time_text(double gps_seconds, char separator = ' ');
