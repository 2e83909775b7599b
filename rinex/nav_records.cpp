// GPS, Galileo and GLONASS navigation records, every value in one 19-column exponent format, four
// values to a line; and the list of the distinct ephemerides a file holds.
#include "rinex/nav_records.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "rinex/gnss_time.h"
#include "rinex/line.h"

namespace {

// Record layout: four 19-column value slots from column 5 on every line ("% 0.12e" values); the
// first line holds the satellite in columns 1-3 and the epoch in the first slot.
constexpr RinexSlots kRecordSlots{5, 19, 4};
constexpr int kNavValuePrecision = 12;

// Fixed GPS slots.
constexpr double kGpsCodesOnL2 = 2.0;
constexpr double kGpsL2PDataFlag = 0.0;
constexpr int kGpsUraIndexWritten = 0;
// Transmission time of message: not known from the record.
constexpr double kTransmissionTimeUnknown = 999999999.999;

// Fixed Galileo slots.
constexpr double kGalileoDataSources = 514.0;  // bits 1 and 9
constexpr double kGalileoSisaMetres = 2.0;
constexpr double kGalileoHealth = 0.0;
constexpr double kGalileoBgdE5aE1 = 0.0;
constexpr double kGalileoBgdE5bE1 = 0.0;

// GLONASS times: the reference time tb is Moscow time (UTC + 3 h) of day.
constexpr double kSecondsPerDay = 86400.0;
constexpr uint32_t kSecondsPerDayU32 = 86400u;
constexpr double kMoscowMinusUtcSeconds = 10800.0;
constexpr uint32_t kMoscowMinusUtcSecondsU32 = 10800u;
constexpr double kHalfDaySeconds = 43200.0;
constexpr double kMetresPerKilometre = 1000.0;

// The lines of one record: satellite code, epoch, then the values in reading order.
class RecordLayout {
  public:
    RecordLayout(const char* system_letter, int satellite_id, const CalendarTime& epoch)
        : record_(line_, kRecordSlots) {
        std::string code(system_letter);
        code += number_.integer(satellite_id, 2);
        line_.place(code, 1);
        // Whole seconds: the fraction is dropped, as in every navigation epoch.
        std::string text(number_.integer(epoch.year));
        for (int part : {epoch.month, epoch.day, epoch.hour, epoch.minute, static_cast<int>(epoch.second)}) {
            text += ' ';
            text += number_.integer(part, 2);
        }
        record_.next(text);
    }

    void value(double v) { record_.next(number_.scientific(v, kNavValuePrecision)); }
    // An empty slot: stays blank, the next value goes where it would have after a value.
    void skip() { record_.skip(); }

    std::string text() { return std::string(record_.text()); }

  private:
    RinexLineBuilder line_;
    RinexContinuedRecord record_;
    RinexNumberText number_;
};

// The compared block of a GPS/Galileo record: the orbit and clock, satellite_id through crs.
constexpr std::size_t kKeplerBlockBegin = offsetof(GpsEphemeris, satellite_id);
constexpr std::size_t kKeplerBlockEnd = offsetof(GpsEphemeris, crs) + sizeof(double);
static_assert(kKeplerBlockEnd - kKeplerBlockBegin == 204, "GPS/Galileo compared block");
// Of a GLONASS record: position, velocity and acceleration.
constexpr std::size_t kGlonassBlockBegin = offsetof(GlonassEphemeris, x);
constexpr std::size_t kGlonassBlockEnd = offsetof(GlonassEphemeris, az) + sizeof(float);
static_assert(kGlonassBlockEnd - kGlonassBlockBegin == 48, "GLONASS compared block");

template <std::size_t Begin, std::size_t End, class Record>
bool same_block(const Record& a, const Record& b) {
    const auto* pa = reinterpret_cast<const unsigned char*>(&a);
    const auto* pb = reinterpret_cast<const unsigned char*>(&b);
    return std::memcmp(pa + Begin, pb + Begin, End - Begin) == 0;
}

// Appends the records of each slot that differ from the record before them in the same slot.
template <std::size_t Begin, std::size_t End, class Slots, class Append>
void append_distinct(const Slots& slots, Append append) {
    for (const auto& slot : slots) {
        for (std::size_t j = 0; j < slot.size(); ++j) {
            if (j == 0 || !same_block<Begin, End>(slot[j], slot[j - 1]))
                append(&slot[j]);
        }
    }
}

// Day of the GPS week of a time stamp; stamps that are not finite count as day 0, and the value
// is kept inside the 32-bit range so that damaged stamps cannot overflow the conversion.
int32_t day_count_of(double time_of_week) {
    if (!std::isfinite(time_of_week))
        return 0;
    const double day = std::floor(time_of_week / kSecondsPerDay);
    constexpr double kMaxDay = 2147483647.0;
    constexpr double kMinDay = -2147483648.0;
    if (day > kMaxDay)
        return INT32_MAX;
    if (day < kMinDay)
        return INT32_MIN;
    return static_cast<int32_t>(day);
}

}  // namespace

std::string format_nav_value(double value) {
    RinexNumberText number;
    return std::string(number.scientific(value, kNavValuePrecision));
}

double ura_index_to_metres(int index) {
    constexpr int kLastHalfStepIndex = 6;
    if (index <= kLastHalfStepIndex)
        return std::pow(2.0, 1.0 + index / 2.0);
    return std::pow(2.0, index - 2);
}

std::string kepler_record_text(const GpsEphemeris& e, EphemerisSystem system) {
    const bool galileo = system == EphemerisSystem::galileo;
    RecordLayout record(galileo ? "E" : "G", e.satellite_id, gps_to_calendar(e.t_oc, e.week_number));
    record.value(e.af0);
    record.value(e.af1);
    record.value(e.af2);

    record.value(e.iode);  // IODE, or Galileo IODnav
    record.value(e.crs);
    record.value(e.delta_mean_motion);
    record.value(e.mean_anomaly);

    record.value(e.cuc);
    record.value(e.eccentricity);
    record.value(e.cus);
    record.value(std::sqrt(e.a));

    record.value(e.t_oe);
    record.value(e.cic);
    record.value(e.right_ascension);
    record.value(e.cis);

    record.value(e.inclination);
    record.value(e.crc);
    record.value(e.argument_of_perigee);
    record.value(e.right_ascension_rate);

    record.value(e.inclination_rate);
    if (galileo) {
        record.value(kGalileoDataSources);
        record.value(e.week_number);
        record.skip();

        record.value(kGalileoSisaMetres);
        record.value(kGalileoHealth);
        record.value(kGalileoBgdE5aE1);
        record.value(kGalileoBgdE5bE1);
    } else {
        record.value(kGpsCodesOnL2);
        record.value(e.week_number);
        record.value(kGpsL2PDataFlag);

        record.value(ura_index_to_metres(kGpsUraIndexWritten));
        record.value(e.health);
        record.value(e.t_gd);
        record.value(e.iodc);
    }
    record.value(kTransmissionTimeUnknown);
    return record.text();
}

double glonass_epoch_seconds(const GlonassEphemeris& e) {
    const int32_t day_count = day_count_of(e.time_of_week);
    double utc_time_of_day = static_cast<double>(e.tb) - kMoscowMinusUtcSeconds;
    // Before 03:00 Moscow time it is still the previous UTC day: 21:00-24:00 UTC of the stamp's day.
    if (utc_time_of_day < 0.0)
        utc_time_of_day += kSecondsPerDay;
    double epoch = utc_time_of_day + static_cast<double>(day_count) * kSecondsPerDay;
    // An ephemeris is received close to its reference time, but around UTC midnight the two can
    // fall on different days (received 23:50 for 00:00, or 00:05 for 23:45); the reference time
    // is then the one within half a day of the stamp.
    if (std::isfinite(e.time_of_week)) {
        if (epoch - e.time_of_week > kHalfDaySeconds)
            epoch -= kSecondsPerDay;
        if (e.time_of_week - epoch > kHalfDaySeconds)
            epoch += kSecondsPerDay;
    }
    return epoch;
}

double glonass_frame_time(const GlonassEphemeris& e) {
    const double epoch = glonass_epoch_seconds(e);
    // Seconds of the epoch's own week, which is where a reader places it (from its calendar date).
    const double epoch_of_week = epoch - std::floor(epoch / SECONDS_PER_WEEK) * SECONDS_PER_WEEK;
    const double epoch_of_day = std::fmod(epoch_of_week, kSecondsPerDay);
    // tk: seconds of the Moscow day at which the frame began; its UTC time of day, 0-86399.
    const uint32_t tk_of_day = e.tk % kSecondsPerDayU32;
    const uint32_t frame_of_day =
        (tk_of_day + kSecondsPerDayU32 - kMoscowMinusUtcSecondsU32) % kSecondsPerDayU32;
    // The frame is transmitted close to the reference time: the same time of day on the nearest day.
    double offset = static_cast<double>(frame_of_day) - epoch_of_day;
    if (offset >= kHalfDaySeconds)
        offset -= kSecondsPerDay;
    if (offset < -kHalfDaySeconds)
        offset += kSecondsPerDay;
    return epoch_of_week + offset;
}

std::string glonass_record_text(const GlonassEphemeris& e) {
    RecordLayout record("R", e.satellite_id, gps_to_calendar(glonass_epoch_seconds(e), e.week_number));
    // The clock bias is written as -tau_n; a zero bias prints as 0, not as -0.
    record.value(0.0 - e.tau_n);
    record.value(e.gamma);
    record.value(glonass_frame_time(e));

    record.value(e.x / kMetresPerKilometre);
    record.value(static_cast<double>(e.vx) / kMetresPerKilometre);
    record.value(static_cast<double>(e.ax) / kMetresPerKilometre);
    record.value(e.health);

    record.value(e.y / kMetresPerKilometre);
    record.value(static_cast<double>(e.vy) / kMetresPerKilometre);
    record.value(static_cast<double>(e.ay) / kMetresPerKilometre);
    record.value(e.frequency_number);

    record.value(e.z / kMetresPerKilometre);
    record.value(static_cast<double>(e.vz) / kMetresPerKilometre);
    record.value(static_cast<double>(e.az) / kMetresPerKilometre);
    record.value(e.age);
    return record.text();
}

std::vector<EphemerisRef> build_ephemeris_list(int32_t receiver_index, const VxpDataStore& store) {
    std::vector<EphemerisRef> list;
    append_distinct<kKeplerBlockBegin, kKeplerBlockEnd>(
        store.receiver_gps_ephemerides(receiver_index), [&](const GpsEphemeris* e) {
            list.push_back({EphemerisSystem::gps, e, nullptr});
        });
    append_distinct<kKeplerBlockBegin, kKeplerBlockEnd>(
        store.receiver_galileo_ephemerides(receiver_index), [&](const GalileoEphemeris* e) {
            list.push_back({EphemerisSystem::galileo, e, nullptr});
        });
    append_distinct<kGlonassBlockBegin, kGlonassBlockEnd>(
        store.receiver_glonass_ephemerides(receiver_index), [&](const GlonassEphemeris* e) {
            list.push_back({EphemerisSystem::glonass, nullptr, e});
        });
    return list;
}
