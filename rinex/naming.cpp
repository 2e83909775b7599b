#include "rinex/naming.h"

#include <cmath>
#include <limits>
#include <span>

#include "rinex/gnss_time.h"
#include "rinex/line.h"
#include "store/gps_time_window.h"
#include "store/vxp_data_store.h"

namespace {

constexpr const char* kStation = "QRV_0";
constexpr const char* kCountry = "USA";
constexpr const char* kFixedSiteSource = "S_";
constexpr const char* kReceiverSource = "R_";
constexpr const char* kFilePeriod = "00U_";
constexpr const char* kNavigationType = "MN";
constexpr const char* kObservationType = "MO";
constexpr const char* kExtension = ".rnx";

// The frequency field: a two-digit count and a unit letter, or "00U" (unspecified) when no unit
// expresses the rate exactly in two digits.
constexpr double kLargestCount = 99.0;
constexpr int kCountDigits = 2;
constexpr const char* kUnspecifiedFrequency = "00U_";
// Time stamp: year (I4), day of year (three digits), hour and minute (two digits each).
constexpr int kYearWidth = 4;
constexpr int kDayOfYearDigits = 3;

// A unit of the frequency field: periods in seconds, minutes, hours or days from one second on;
// below it, rates in hertz or hundreds of hertz. Each list runs from the coarsest unit, so a rate
// that two units express takes the shorter count (60 s is "01M", 100 Hz "01C").
struct RateUnit {
    double size;  // seconds per unit of a period, hertz per unit of a rate
    char letter;
};
constexpr RateUnit kPeriodUnits[] = {{86400.0, 'D'}, {3600.0, 'H'}, {60.0, 'M'}, {1.0, 'S'}};
constexpr RateUnit kRateUnits[] = {{100.0, 'C'}, {1.0, 'Z'}};

// The periods of -split and their names' period fields.
struct PeriodName {
    int64_t seconds;
    const char* field;
};
constexpr PeriodName kPeriodNames[] = {{900, "15M_"},   {1800, "30M_"},  {3600, "01H_"},  {7200, "02H_"},
                                       {10800, "03H_"}, {21600, "06H_"}, {43200, "12H_"}, {86400, "01D_"}};
constexpr int64_t kSecondsPerWeekWhole = 604800;

std::string period_name(int64_t seconds) {
    for (const PeriodName& period : kPeriodNames) {
        if (period.seconds == seconds)
            return period.field;
    }
    return kFilePeriod;
}

bool valid_receiver(int32_t receiver_index) {
    return receiver_index >= 0 && receiver_index < kReceiverCount;
}

// "30S_", "05M_", "10Z_", "01C_": the coarsest unit of which the rate is a whole count from 1 to
// 99; "00U_" when there is none. Epoch intervals are differences of binary fractions
// (100.2 - 100.0 is 0.2000000000000028 s), so the count's own interval need only match within the
// tolerance of GPS times; intervals of whole milliseconds that no count names (0.3 s, 1.5 s) lie
// at least ten microseconds from every count's.
std::string frequency_field(double interval) {
    const bool period = interval >= 1.0 - kGpsTimeTolerance;  // 1 s held as 0.99999999999 too
    for (const RateUnit& unit :
         period ? std::span<const RateUnit>(kPeriodUnits) : std::span<const RateUnit>(kRateUnits)) {
        const double count = std::round(period ? interval / unit.size : 1.0 / (interval * unit.size));
        if (!(count >= 1.0 && count <= kLargestCount))
            continue;
        const double named_interval = period ? count * unit.size : 1.0 / (count * unit.size);
        if (std::fabs(interval - named_interval) <= kGpsTimeTolerance) {
            RinexNumberText number;
            return std::string(number.integer(static_cast<long>(count), kCountDigits)) + unit.letter + '_';
        }
    }
    return kUnspecifiedFrequency;
}

}  // namespace

std::string rinex_station_name(int32_t receiver_index) {
    return kStation + std::to_string(receiver_index) + kCountry;
}

std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const VxpDataStore& store,
                                 const EpochSelection& selection) {
    if (!valid_receiver(receiver_index))
        return {};
    EpochTally tally(selection);
    for (const RawEpoch& epoch : store.receiver_raw_epochs(receiver_index))
        tally.add(epoch.data(), epoch.size());
    return make_rinex_file_name(is_navigation, receiver_index, tally);
}

bool is_file_period(int64_t seconds) {
    for (const PeriodName& period : kPeriodNames) {
        if (period.seconds == seconds)
            return true;
    }
    return false;
}

bool period_of(double time_of_week, uint32_t week_number, int64_t seconds, int64_t& index) {
    // A time a binary fraction below a period's start belongs to that period.
    const double t = gps_seconds(time_of_week, week_number) + kGpsTimeTolerance;
    // A damaged record's absurd time (beyond some thirty million years) has no period either.
    constexpr double kLatestTime = 1e15;
    if (!(std::fabs(t) < kLatestTime) || seconds <= 0)
        return false;
    index = static_cast<int64_t>(std::floor(t / static_cast<double>(seconds)));
    return true;
}

std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const EpochTally& tally,
                                 const FilePeriod* period) {
    if (!valid_receiver(receiver_index) || !tally.has_kept_epoch() || !tally.first_is_dated())
        return {};
    std::string name = rinex_station_name(receiver_index);
    name += '_';
    name += receiver_index == kFixedSiteReceiver ? kFixedSiteSource : kReceiverSource;
    const RawObservation& first = tally.first();
    CalendarTime start = gps_to_calendar(first.time_of_week, first.week_number);
    if (period != nullptr) {
        const int64_t start_seconds = period->index * period->seconds;
        const int64_t week = start_seconds / kSecondsPerWeekWhole;
        start = gps_to_calendar(static_cast<double>(start_seconds - week * kSecondsPerWeekWhole),
                                static_cast<uint32_t>(week));
    }
    RinexNumberText number;
    name += number.integer_field(start.year, kYearWidth);
    name += number.integer(start.day_of_year, kDayOfYearDigits);
    name += number.integer(start.hour, 2);
    name += number.integer(start.minute, 2);
    name += '_';
    name += period != nullptr ? period_name(period->seconds) : kFilePeriod;
    if (!is_navigation)
        name += frequency_field(tally.smallest_interval());
    name += is_navigation ? kNavigationType : kObservationType;
    name += kExtension;
    return name;
}
