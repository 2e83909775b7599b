// Helpers of the end-to-end tests: running the simulator, the converter and RTKLIB's rnx2rtkp in a
// scratch directory, and reading what they wrote (truth file, RINEX epochs, positions, IMR records).
#pragma once

#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

using Json = nlohmann::json;

struct Conversion {
    std::string dir;
    Json truth;
    std::string console;
    int exit_code = -1;
    bool simulated = false;
};

// IMR scale factors (degrees and metres per second per count) and unit conversions.
inline constexpr double kImrGyroScale = 5000.0 / 2147483648.0;
inline constexpr double kImrAccelScale = 490.5 / 2147483648.0;
inline constexpr double kImrDegreesPerRadian = 57.29577951308232;
inline constexpr double kStandardGravity = 9.80665;
inline constexpr std::size_t kImrHeaderSize = 512, kImrRecordSize = 32;

template <class T>
T little_endian(const std::vector<uint8_t>& bytes, std::size_t offset) {
    T v;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

// Simulates a log with `sim_args` in a new scratch directory and converts it there with
// the `options` given ("-inertial_data novatel" unless they name the inertial formats).
Conversion simulate_and_convert(const std::string& sim_args, const std::string& options = "");

// Copies a log and its truth file into a new scratch directory and converts the copy there.
Conversion convert_copy(const std::string& log, const std::string& truth, const std::string& options = "");

// True when rnx2rtkp can be run; installs the Debian package rtklib when it is missing.
bool rtklib_available();

// The one file in `dir` whose name starts with `prefix` and ends with `suffix` ("" when none or several).
std::string find_file(const std::string& dir, const std::string& prefix, const std::string& suffix);
std::string read_text(const std::string& path);
std::vector<uint8_t> read_bytes(const std::string& path);

struct Fix {
    int week = 0;
    double tow = 0.0;
    double x = 0.0, y = 0.0, z = 0.0;
    int quality = 0;
    int satellites = 0;
};

// Single-point positions of rnx2rtkp for the systems of the RTKLIB mask `navsys` (1 GPS, 4 GLONASS,
// 8 Galileo): without ionosphere and troposphere corrections, or with `atmosphere` the broadcast
// ionosphere and the Saastamoinen troposphere.
std::vector<Fix> single_point_positions(const std::string& dir, const std::string& obs,
                                        const std::string& nav, int navsys, bool atmosphere = false);

struct ObsEpoch {
    int flag = 0;
    double seconds_of_day = 0.0;
    int satellites = 0;
};
// Epoch lines ("> ...") of a RINEX 3 observation file.
std::vector<ObsEpoch> observation_epochs(const std::string& text);

// The truth file's receiver with this index (a null value when absent).
const Json& truth_receiver(const Json& truth, int index);
