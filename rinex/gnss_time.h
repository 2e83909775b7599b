// GPS week and time of week to calendar date and time, in GPS time (no leap seconds).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "store/gps_time_window.h"

inline constexpr double SECONDS_PER_WEEK = kSecondsPerGpsWeek;

struct CalendarTime {
    int32_t day;          // 1-31
    int32_t month;        // 1-12
    int32_t year;         // e.g. 2024
    int32_t day_of_year;  // 1-366
    int32_t hour;
    int32_t minute;
    double second;  // 0 <= second < 60, whole milliseconds
};

CalendarTime gps_to_calendar(double time_of_week, uint32_t week);

// The other way: seconds since the start of GPS week 0 at a calendar date and time of GPS time;
// none for a date the calendar does not have (2023-02-29) or a time of day outside 00:00:00 to
// 23:59:59.999...
std::optional<double> gps_seconds_from_calendar(int32_t year, int32_t month, int32_t day, int32_t hour,
                                                int32_t minute, double second);

// "%i%02i%02i %02i%02i%02i UTC" of the current UTC time, for the RINEX header date fields.
std::string rinex_creation_stamp();
// "dd-Mon-yy hh:mm" of the same time, for the CRINEX PROG / DATE line of a compact file.
std::string crinex_creation_stamp();
// Replaces the clock read by the creation stamps (null: the system clock); for reproducible files.
void set_creation_time_source(std::time_t (*source)());
