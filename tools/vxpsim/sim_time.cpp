#include "tools/vxpsim/sim_time.h"

#include <cmath>
#include <cstdio>

namespace {
// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t days_from_civil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr int64_t kGpsEpochDays = 3657;  // 1980-01-06 counted from 1970-01-01
}  // namespace

WeekTime week_time(int first_week, int64_t nanos) {
    int64_t weeks = nanos / kNanosPerWeek;
    int64_t rest = nanos % kNanosPerWeek;
    if (rest < 0) {
        rest += kNanosPerWeek;
        --weeks;
    }
    return {first_week + static_cast<int>(weeks), static_cast<double>(rest) / 1e9};
}

WeekTime gps_calendar_to_week_time(const GpsCalendar& c) {
    const int64_t days = days_from_civil(c.year, c.month, c.day) - kGpsEpochDays;
    const int week = static_cast<int>(days / 7);
    const double tow =
        static_cast<double>((days % 7) * kSecondsPerDay + c.hour * 3600 + c.minute * 60) + c.second;
    return {week, tow};
}

GpsCalendar week_time_to_gps_calendar(const WeekTime& t) {
    GpsCalendar c;
    const double whole = std::floor(t.tow);
    const int64_t seconds = static_cast<int64_t>(t.week) * kSecondsPerWeek + static_cast<int64_t>(whole);
    civil_from_days(seconds / kSecondsPerDay + kGpsEpochDays, c.year, c.month, c.day);
    const int64_t of_day = seconds % kSecondsPerDay;
    c.hour = static_cast<int>(of_day / 3600);
    c.minute = static_cast<int>(of_day % 3600 / 60);
    c.second = static_cast<double>(of_day % 60) + (t.tow - whole);
    return c;
}

bool parse_gps_calendar(const std::string& text, GpsCalendar& out) {
    GpsCalendar c;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%lf%n", &c.year, &c.month, &c.day, &c.hour, &c.minute,
                    &c.second, &consumed) != 6 ||
        consumed != static_cast<int>(text.size()))
        return false;
    if (c.year < 1980 || c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31 || c.hour < 0 ||
        c.hour > 23 || c.minute < 0 || c.minute > 59 || c.second < 0.0 || c.second >= 60.0)
        return false;
    out = c;
    return true;
}
