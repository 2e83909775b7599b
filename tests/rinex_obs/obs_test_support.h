// Helpers of the observation-file tests: host-order records, and a scratch working directory
// (the writers create their RINEX files in the current directory).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vxp/records/gnss_records.h"

struct ObservationValues {
    double pseudorange = 0;
    double carrier_phase = 0;
    float doppler = 0;
    float signal_strength = 0;
};

inline RawObservation make_observation(double time_of_week, uint16_t week, uint8_t gnss_id,
                                       uint8_t satellite_id, uint8_t signal_id,
                                       ObservationValues values = {}) {
    RawObservation o{};
    o.time_of_week = time_of_week;
    o.week_number = week;
    o.gnss_id = gnss_id;
    o.satellite_id = satellite_id;
    o.signal_id = signal_id;
    o.pseudorange = values.pseudorange;
    o.carrier_phase = values.carrier_phase;
    o.doppler = values.doppler;
    o.signal_strength = values.signal_strength;
    o.valid_flags = 0xFFFF;
    return o;
}

// Creates a fresh directory, makes it the working directory, and on destruction goes back and
// removes it with everything in it.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "rinex_obs_XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// The lines of a file (without their line feeds); a missing final line feed shows as a last
// line with a trailing "<no newline>" marker so that it cannot go unnoticed.
inline std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no newline>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
