#include "quality/quality_time.h"

#include <cmath>
#include <cstdio>

#include "rinex/gnss_time.h"

GpsWeekTime week_time(double t) {
    const double week = std::floor(t / SECONDS_PER_WEEK);
    return {static_cast<uint32_t>(week), t - week * SECONDS_PER_WEEK};
}

std::string gps_time_text(double t, char separator) {
    const GpsWeekTime w = week_time(t);
    const CalendarTime c = gps_to_calendar(w.seconds, w.week);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%06.3f", c.year, c.month, c.day, separator,
                  c.hour, c.minute, c.second);
    return text;
}
