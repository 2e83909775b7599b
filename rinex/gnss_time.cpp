#include "rinex/gnss_time.h"

#include <chrono>
#include <cmath>

#include "rinex/line.h"

namespace {

// 1980-01-06 00:00:00 (start of GPS week 0) counted from 1970-01-01 00:00:00, in milliseconds.
constexpr double kGpsEpochUnixMs = 315964800000.0;
constexpr double kMsPerSecond = 1000.0;
constexpr double kDaysPerWeek = 7.0;
constexpr double kHoursPerDay = 24.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kMinutesPerHour = 60.0;

// Times outside these bounds (damaged records, NaN) are pinned to them so the breakdown stays
// defined and the year keeps four digits: 1970-01-01 00:00:00.000 .. 9999-12-31 23:59:59.999.
constexpr double kEarliestUnixMs = 0.0;
constexpr double kLatestUnixMs = 253402300799999.0;

std::time_t system_clock_now() {
    return std::time(nullptr);
}

std::time_t (*creation_time_source)() = system_clock_now;

struct CivilTime {
    int32_t year, month, day, day_of_year, hour, minute, second;
};

// UTC breakdown of whole seconds since 1970-01-01 without leap seconds (proleptic Gregorian).
CivilTime break_down(int64_t unix_seconds) {
    using namespace std::chrono;
    const sys_seconds instant{seconds{unix_seconds}};
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss<seconds> clock{instant - day};
    const sys_days new_year{date.year() / January / 1};
    CivilTime civil;
    civil.year = static_cast<int32_t>(int{date.year()});
    civil.month = static_cast<int32_t>(unsigned{date.month()});
    civil.day = static_cast<int32_t>(unsigned{date.day()});
    civil.day_of_year = static_cast<int32_t>((day - new_year).count()) + 1;
    civil.hour = static_cast<int32_t>(clock.hours().count());
    civil.minute = static_cast<int32_t>(clock.minutes().count());
    civil.second = static_cast<int32_t>(clock.seconds().count());
    return civil;
}

}  // namespace

CalendarTime gps_to_calendar(double time_of_week, uint32_t week) {
    const double gps_seconds =
        time_of_week + static_cast<double>(week) * kDaysPerWeek * kHoursPerDay * kSecondsPerHour;
    double unix_ms = gps_seconds * kMsPerSecond + kGpsEpochUnixMs;
    if (std::isnan(unix_ms))
        unix_ms = kGpsEpochUnixMs;
    if (unix_ms < kEarliestUnixMs)
        unix_ms = kEarliestUnixMs;
    if (unix_ms > kLatestUnixMs)
        unix_ms = kLatestUnixMs;
    // Truncation: the sub-millisecond part is dropped, never rounded into the next second.
    const int64_t ms = static_cast<int64_t>(unix_ms);
    const CivilTime civil = break_down(ms / 1000);

    CalendarTime time;
    time.day = civil.day;
    time.month = civil.month;
    time.year = civil.year;
    time.day_of_year = civil.day_of_year;
    time.hour = civil.hour;
    time.minute = civil.minute;
    // The fraction from the integer milliseconds: exact to the millisecond, whatever the date.
    time.second = civil.second + static_cast<double>(ms % 1000) / kMsPerSecond;
    return time;
}

std::optional<double> gps_seconds_from_calendar(int32_t year, int32_t month, int32_t day, int32_t hour,
                                                int32_t minute, double second) {
    using namespace std::chrono;
    if (month < 1 || day < 1 || hour < 0 || hour >= kHoursPerDay || minute < 0 || minute >= kMinutesPerHour ||
        !(second >= 0.0 && second < kSecondsPerMinute))
        return std::nullopt;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return std::nullopt;
    constexpr sys_days kGpsWeekZero{std::chrono::year{1980} / January / 6};
    const double days_since = static_cast<double>((sys_days{date} - kGpsWeekZero).count());
    return (days_since * kHoursPerDay + hour) * kSecondsPerHour + minute * kSecondsPerMinute + second;
}

std::string rinex_creation_stamp() {
    const std::time_t now = creation_time_source();
    const CivilTime civil = break_down(static_cast<int64_t>(now));
    // yyyymmdd hhmmss UTC
    RinexNumberText number;
    std::string text(number.integer(civil.year));
    text += number.integer(civil.month, 2);
    text += number.integer(civil.day, 2);
    text += ' ';
    text += number.integer(civil.hour, 2);
    text += number.integer(civil.minute, 2);
    text += number.integer(civil.second, 2);
    text += " UTC";
    return text;
}

std::string crinex_creation_stamp() {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    constexpr int32_t kYearsPerCentury = 100;
    const CivilTime civil = break_down(static_cast<int64_t>(creation_time_source()));
    RinexNumberText number;
    std::string text(number.integer(civil.day, 2));
    text += '-';
    text += kMonths[civil.month - 1];
    text += '-';
    text += number.integer(civil.year % kYearsPerCentury, 2);
    text += ' ';
    text += number.integer(civil.hour, 2);
    text += ':';
    text += number.integer(civil.minute, 2);
    return text;
}

void set_creation_time_source(std::time_t (*source)()) {
    creation_time_source = source != nullptr ? source : system_clock_now;
}
