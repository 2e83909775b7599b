// GPS week and time of week to calendar time, and the creation stamp of the RINEX headers.
#include "rinex/gnss_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// "YYYY-MM-DD hh:mm:ss.sssssss doy" so that one comparison shows every field.
std::string show(const CalendarTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04i-%02i-%02i %02i:%02i:%.7f %03i", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.day_of_year);
    return text;
}

// 2024-03-05 (a Tuesday) is in GPS week 2304; its midnight is tow 2 * 86400.
constexpr uint32_t kWeek2304 = 2304;

TEST(GpsToCalendar, WeekZeroStartsAtTheGpsEpoch) {
    EXPECT_EQ(show(gps_to_calendar(0.0, 0)), "1980-01-06 00:00:0.0000000 006");
}

TEST(GpsToCalendar, TruncatesToTheMillisecondWithoutCarryingIntoTheNextDay) {
    EXPECT_EQ(show(gps_to_calendar(604799.9996, kWeek2304)), "2024-03-09 23:59:59.9990000 069");
    EXPECT_EQ(show(gps_to_calendar(604799.9996, 0)), "1980-01-12 23:59:59.9990000 012");
}

TEST(GpsToCalendar, FractionIsWholeMillisecondsAtPresentDayDates) {
    EXPECT_EQ(show(gps_to_calendar(345600.0994, kWeek2304)), "2024-03-07 00:00:0.0990000 067");
    // Tenths of a second as the receiver stores them (binary approximations) stay on the tenth.
    EXPECT_EQ(show(gps_to_calendar(2 * 86400 + 12 * 3600 + 34 * 60 + 5.1, kWeek2304)),
              "2024-03-05 12:34:5.1000000 065");
    // Values whose double quotient ms/1000 is not the nearest double to the milliseconds.
    EXPECT_EQ(show(gps_to_calendar(2.991, 2100)), "2020-04-05 00:00:2.9910000 096");
    EXPECT_EQ(show(gps_to_calendar(5.982, 2100)), "2020-04-05 00:00:5.9820000 096");
}

TEST(GpsToCalendar, TimeOfWeekBeyondAWeekCarriesIntoTheNextWeek) {
    EXPECT_EQ(show(gps_to_calendar(604800.0 + 3600.5, kWeek2304)),
              show(gps_to_calendar(3600.5, kWeek2304 + 1)));
    EXPECT_EQ(show(gps_to_calendar(604800.0 + 3600.5, kWeek2304)), "2024-03-10 01:00:0.5000000 070");
}

TEST(GpsToCalendar, DayOfYearRunsFromOneToThreeHundredSixtySix) {
    // 2024-01-01 is the Monday of week 2295; 2024-12-31 is the Tuesday of week 2347.
    EXPECT_EQ(show(gps_to_calendar(86400.0, 2295)), "2024-01-01 00:00:0.0000000 001");
    EXPECT_EQ(show(gps_to_calendar(2 * 86400.0 + 86399.0, 2347)), "2024-12-31 23:59:59.0000000 366");
    EXPECT_EQ(show(gps_to_calendar(3 * 86400.0, 2347)), "2025-01-01 00:00:0.0000000 001");
    // A common year ends on day 365.
    EXPECT_EQ(show(gps_to_calendar(3 * 86400.0 + 86399.0, 2399)), "2025-12-31 23:59:59.0000000 365");
}

TEST(GpsToCalendar, LeapDayAndCenturyRules) {
    EXPECT_EQ(show(gps_to_calendar(4 * 86400.0, 2303)), "2024-02-29 00:00:0.0000000 060");
    // 2100 is not a leap year: 28 February (the Sunday of week 6269) is followed by 1 March.
    EXPECT_EQ(show(gps_to_calendar(86399.0, 6269)), "2100-02-28 23:59:59.0000000 059");
    EXPECT_EQ(show(gps_to_calendar(86400.0, 6269)), "2100-03-01 00:00:0.0000000 060");
}

TEST(GpsToCalendar, DatesPastTheYear3000AreStillCalendarDates) {
    // 3000-12-31 is the Wednesday of week 53272; the breakdown continues into 3001 and beyond.
    EXPECT_EQ(show(gps_to_calendar(3 * 86400.0 + 86399.0, 53272)), "3000-12-31 23:59:59.0000000 365");
    EXPECT_EQ(show(gps_to_calendar(4 * 86400.0, 53272)), "3001-01-01 00:00:0.0000000 001");
    // The largest week a 16-bit field can carry.
    EXPECT_EQ(gps_to_calendar(0.0, 65535).year, 3236);
}

TEST(GpsToCalendar, DamagedTimesArePinnedInsteadOfOverflowing) {
    EXPECT_EQ(show(gps_to_calendar(std::nan(""), 2304)), "1980-01-06 00:00:0.0000000 006");
    EXPECT_EQ(show(gps_to_calendar(-1e12, 0)), "1970-01-01 00:00:0.0000000 001");
    EXPECT_EQ(show(gps_to_calendar(std::numeric_limits<double>::infinity(), 0)),
              "9999-12-31 23:59:59.9990000 365");
    EXPECT_EQ(show(gps_to_calendar(1e300, 0)), "9999-12-31 23:59:59.9990000 365");
}

TEST(GpsToCalendar, DoesNotDependOnTheLocalTimeZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TZ", "Pacific/Kiritimati", 1);
    tzset();
    const std::string far_east = show(gps_to_calendar(123456.789, kWeek2304));
    setenv("TZ", "America/Adak", 1);
    tzset();
    const std::string far_west = show(gps_to_calendar(123456.789, kWeek2304));
    if (saved != nullptr) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_EQ(far_east, "2024-03-04 10:17:36.7890000 064");
    EXPECT_EQ(far_west, far_east);
}

std::time_t fixed_clock() {
    return 1709642096;
}  // 2024-03-05 12:34:56 UTC
std::time_t year_end_clock() {
    return 1735689599;
}  // 2024-12-31 23:59:59 UTC

TEST(CreationStamp, IsTheUtcTimeOfTheClockSource) {
    set_creation_time_source(fixed_clock);
    EXPECT_EQ(rinex_creation_stamp(), "20240305 123456 UTC");
    set_creation_time_source(year_end_clock);
    EXPECT_EQ(rinex_creation_stamp(), "20241231 235959 UTC");
    set_creation_time_source(nullptr);
    const std::string now = rinex_creation_stamp();
    EXPECT_EQ(now.size(), 19u);
    EXPECT_EQ(now.substr(15), " UTC");
}

}  // namespace
