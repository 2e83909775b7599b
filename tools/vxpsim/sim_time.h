// Time keeping of the simulator: GPS time as integer nanoseconds from the start of the first GPS
// week of the run, converted to week and seconds of week for records and to double seconds for models.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int64_t kNanosPerSecond = 1000000000;
inline constexpr int64_t kSecondsPerWeek = 604800;
inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr int64_t kNanosPerWeek = kSecondsPerWeek * kNanosPerSecond;
// GLONASS ephemeris times are Moscow time: UTC + 3 h.
inline constexpr int64_t kMoscowOffsetSeconds = 10800;

struct WeekTime {
    int week = 0;
    double tow = 0.0;  // seconds of week
};

// Calendar date and time in the GPS time scale (no leap seconds).
struct GpsCalendar {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0.0;
};

// Splits nanoseconds from the start of `first_week` into week and seconds of week. The seconds are
// the correctly rounded quotient, so whole milliseconds give the double nearest to them.
WeekTime week_time(int first_week, int64_t nanos);

// Seconds from the start of `first_week` as a double (model time).
inline double model_seconds(int64_t nanos) {
    return static_cast<double>(nanos) / 1e9;
}

// GPS calendar <-> week and seconds of week.
WeekTime gps_calendar_to_week_time(const GpsCalendar& c);
GpsCalendar week_time_to_gps_calendar(const WeekTime& t);

// Parses "YYYY-MM-DDThh:mm:ss[.fff]" as a GPS calendar time; false when malformed.
bool parse_gps_calendar(const std::string& text, GpsCalendar& out);
