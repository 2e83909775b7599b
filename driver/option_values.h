// The values of the command line's options read strictly: a value is taken whole or not at all.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "rinex/compression.h"

// A decimal number, the whole text ("1.5", "-2", "+0.25", "1e-3"); none for anything else,
// infinities and NaN included.
std::optional<double> parse_number(std::string_view text);

// Three numbers separated by commas ("1.5,0,-0.02"; blanks around each allowed).
std::optional<std::array<double, 3>> parse_three_numbers(std::string_view text);

// A GPS time "YYYY-MM-DDThh:mm:ss" with an optional fraction of the second (".5", ".125"), as
// seconds since the start of GPS week 0; none for any other text or a date or time that does
// not exist.
std::optional<double> parse_gps_time(std::string_view text);

// The inertial files that -inertial_data asks for.
struct InertialFormats {
    bool imr = false;      // "novatel": the IMR file
    bool csv = false;      // "csv": the IMU CSV file
    bool unknown = false;  // any other item, an empty one too: no inertial file is written
};

// A comma-separated list of formats in any letter case ("novatel", "CSV", "NovAtel,csv"); an item
// may repeat.
InertialFormats parse_inertial_formats(std::string_view text);

// Whether the text is printable ASCII only, as the header fields must be: the files are ASCII, and
// a field's width counts characters, one byte each.
bool is_printable_ascii(std::string_view text);

// A compression of the RINEX files: "gz", "crx" or "crx.gz", in any letter case; none for anything
// else.
std::optional<RinexCompression> parse_compression(std::string_view text);
