// VXP constellation and signal identifiers to RINEX system letters and observation codes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

extern const std::map<uint8_t, std::string> vxp_constellation_letters;
extern const std::map<uint8_t, std::string> vxp_signal_codes;
