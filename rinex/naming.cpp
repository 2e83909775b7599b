#include "rinex/naming.h"

#include <algorithm>
#include <cmath>

#include "rinex/gnss_time.h"
#include "rinex/line.h"
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

// The frequency field holds a two-digit count; a rate it cannot express is "unspecified".
constexpr int kLargestCount = 99;
constexpr const char* kUnspecifiedFrequency = "00U_";
constexpr int kCountDigits = 2;
constexpr const char* kPerSecond = "H_";
constexpr const char* kSeconds = "S_";
// Start time: year (I4), day of year (three digits), hour and minute (two digits each).
constexpr int kYearWidth = 4;
constexpr int kDayOfYearDigits = 3;
// Epoch times are binary fractions of decimal intervals (0.2 s is 0.2000000000000028 between
// 100.0 and 100.2), so a quotient that should be whole can land just below it. Truncation is
// applied after this relative allowance: 4.99999999999993 counts as 5, 6.67 stays 6.
constexpr double kTruncationAllowance = 1e-6;
// Keeps the integer conversion defined for absurdly small intervals of damaged logs.
constexpr double kLargestFrequency = 1e9;

bool valid_receiver(int32_t receiver_index) {
    return receiver_index >= 0 && receiver_index < kReceiverCount;
}

int truncated_count(double value) {
    const double allowed = value * (1.0 + kTruncationAllowance);
    return static_cast<int>(std::min(allowed, kLargestFrequency));
}

// Observations per second below one second ("10H_"), else the interval in seconds ("30S_"); a
// single epoch, an interval of 100 s or more, or 100 and more per second: "00U_".
std::string frequency_field(double interval) {
    const bool per_second = interval < 1.0;
    const int count = truncated_count(per_second ? 1.0 / interval : interval);
    if (count > kLargestCount)
        return kUnspecifiedFrequency;
    RinexNumberText number;
    return std::string(number.integer(count, kCountDigits)) + (per_second ? kPerSecond : kSeconds);
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

std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const EpochTally& tally) {
    if (!valid_receiver(receiver_index) || !tally.has_kept_epoch() || !tally.first_is_dated())
        return {};
    std::string name = rinex_station_name(receiver_index);
    name += '_';
    name += receiver_index == kFixedSiteReceiver ? kFixedSiteSource : kReceiverSource;
    const RawObservation& first = tally.first();
    const CalendarTime start = gps_to_calendar(first.time_of_week, first.week_number);
    RinexNumberText number;
    name += number.integer_field(start.year, kYearWidth);
    name += number.integer(start.day_of_year, kDayOfYearDigits);
    name += number.integer(start.hour, 2);
    name += number.integer(start.minute, 2);
    name += '_';
    name += kFilePeriod;
    if (!is_navigation)
        name += frequency_field(tally.smallest_interval());
    name += is_navigation ? kNavigationType : kObservationType;
    name += kExtension;
    return name;
}
