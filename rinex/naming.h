// RINEX 3 long file names of a receiver's observation and navigation files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rinex/epoch_selection.h"
#include "rinex/epoch_tally.h"

// The nine characters that begin a receiver's file names ("QRV_00USA"): site, marker and
// receiver number, country.
std::string rinex_station_name(int32_t receiver_index);

// No long name is shorter: "QRV_0" + index + "USA_R_" + 11 time digits + "_00U_MN.rnx".
inline constexpr std::size_t RINEX_SHORTEST_FILE_NAME = 34;

// The name of a receiver's file, or an empty one when the receiver has no observation to date it:
// dated by the first epoch the selection keeps, the observation file's rate from the kept epochs.
std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const VxpDataStore& store,
                                 const EpochSelection& selection = {});
// A file that holds one period of the log (-split): periods are aligned to the start of the GPS
// day, the `index`-th of `seconds` each since the start of GPS week 0.
struct FilePeriod {
    int64_t index = 0;
    int64_t seconds = 0;
};
// The periods -split accepts (seconds), each dividing a day.
bool is_file_period(int64_t seconds);
// The period of an epoch's GPS time; NaN and infinite times have none (false).
bool period_of(double time_of_week, uint32_t week_number, int64_t seconds, int64_t& index);

// The same from a tally of the receiver's epochs; a file of one period is dated by the period's
// start and carries its length in the name's period field ("01H", "15M", "01D").
std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const EpochTally& tally,
                                 const FilePeriod* period = nullptr);
