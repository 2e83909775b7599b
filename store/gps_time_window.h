// A span of GPS time that an output file takes its records from: both bounds included, either one
// open. Shared by the observation and the inertial writers, so that both cut at the same times.
#pragma once

#include <cstdint>
#include <optional>

inline constexpr double kSecondsPerGpsWeek = 604800.0;
// Times this close count as the same. It absorbs only the binary representation of times: record
// times are whole milliseconds held as binary fractions (100.2 s is 100.19999999999999), and GPS
// seconds since week 0 (1.4e9 in 2024) are held to a quarter of a microsecond. Records a
// millisecond apart stay apart.
inline constexpr double kGpsTimeTolerance = 1e-6;

// Seconds since the start of GPS week 0.
inline double gps_seconds(double time_of_week, uint32_t week_number) {
    return time_of_week + static_cast<double>(week_number) * kSecondsPerGpsWeek;
}

struct GpsTimeWindow {
    std::optional<double> start{};  // GPS seconds since the start of week 0
    std::optional<double> end{};

    bool bounded() const { return start.has_value() || end.has_value(); }
    // A time without a value (NaN) lies outside every bounded window.
    bool contains(double seconds) const {
        return (!start || seconds >= *start - kGpsTimeTolerance) &&
               (!end || seconds <= *end + kGpsTimeTolerance);
    }
};
