// RINEX 3 long file names of a receiver's observation and navigation files.
#pragma once

#include <cstdint>
#include <string>

class VxpDataStore;

// The nine characters that begin a receiver's file names ("QRV_00USA"): site, marker and
// receiver number, country.
std::string rinex_station_name(int32_t receiver_index);

std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const VxpDataStore& store);
