// RINEX 3 long file names of a receiver's observation and navigation files.
#pragma once

#include <cstdint>
#include <string>

class VxpDataStore;

std::string make_rinex_file_name(bool is_navigation, int32_t receiver_index, const VxpDataStore& store);
