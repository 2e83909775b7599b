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

#include "output/writer_outcome.h"
#include "rinex/gnss_time.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer.h"
#include "rinex/obs_writer_internal.h"
#include "store/vxp_data_store.h"
#include "tests/support/captured_messages.h"
#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

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

inline BaseStationInfo make_site(double time_of_week, uint16_t week, uint16_t station_id, double x, double y,
                                 double z, float antenna_height) {
    BaseStationInfo site{};
    site.time_of_week = time_of_week;
    site.week_number = week;
    site.station_id = station_id;
    site.ecef_x = x;
    site.ecef_y = y;
    site.ecef_z = z;
    site.antenna_height = antenna_height;
    site.valid_flags = 0xFFFF;
    return site;
}

inline GlonassEphemeris make_glonass_ephemeris(uint8_t slot, int8_t frequency_number, double time_of_week,
                                               uint16_t week) {
    GlonassEphemeris e{};
    e.time_of_week = time_of_week;
    e.week_number = week;
    e.satellite_id = slot;
    e.frequency_number = frequency_number;
    return e;
}

// A binary log built packet by packet, written into the current directory and loaded into a store.
class TestLog {
  public:
    static uint8_t receiver_set(int receiver) { return static_cast<uint8_t>(VXP_SET_GNSS_FIRST + receiver); }

    void observation(int receiver, const RawObservation& o) {
        writer_.begin(receiver_set(receiver));
        EXPECT_TRUE(writer_.field(VXP_GNSS_FIELD_RAW_OBSERVATION, o, vxp_decode_raw_observation));
    }
    void site(const BaseStationInfo& s) {
        writer_.begin(VXP_SET_GNSS_BASE);
        EXPECT_TRUE(writer_.field(VXP_GNSS_FIELD_BASE_STATION, s, vxp_decode_base_station_info));
    }
    void glonass(int receiver, const GlonassEphemeris& e) {
        writer_.begin(receiver_set(receiver));
        EXPECT_TRUE(writer_.field(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, e, vxp_decode_glonass_ephemeris));
    }
    void load(VxpDataStore& store) {
        ASSERT_TRUE(writer_.write_file("input.bin"));
        ASSERT_TRUE(store.load_file("input.bin"));
    }

  private:
    VxpLogWriter writer_;
};

// What one call of the observation writer did: its outcome, its messages and the file it wrote.
struct ObsRun {
    WriterOutcome outcome;
    std::vector<std::string> messages;
    std::vector<std::string> lines;
};

inline std::time_t fixed_creation_time() {
    return 1709642096;
}  // 2024-03-05 12:34:56 UTC

inline std::vector<std::string> split_text(const std::string& text) {
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

// The lines of a file (without their line feeds).
inline std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    return split_text(whole.str());
}

// The writer with the header values given, or with those the log gives (as the run calls it).
inline ObsRun run_observation_writer(int receiver, const VxpDataStore& store, const ObsHeaderValues& values) {
    set_creation_time_source(fixed_creation_time);
    ObsRun run;
    CapturedMessages messages;
    run.outcome =
        write_observation_file(receiver, store, ObservationFileSettings{values}, test_context(messages));
    run.messages = split_text(messages.text());
    set_creation_time_source(nullptr);
    // A file the writer failed on is not read back: it may be a device such as /dev/full.
    const bool file_complete = run.outcome.status == WriterOutcome::Status::written ||
                               run.outcome.status == WriterOutcome::Status::content_error;
    if (file_complete)
        run.lines = read_lines(run.outcome.file_name);
    return run;
}

inline ObsRun run_observation_writer(int receiver, const VxpDataStore& store) {
    return run_observation_writer(receiver, store, observation_header_values(receiver, store));
}

// A header line: 60 columns of content, then the label in columns 61-80.
inline std::string header(const std::string& content, const std::string& label) {
    std::string line = content;
    line.resize(60, ' ');
    line += label;
    line.resize(80, ' ');
    return line;
}

inline std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Blank-fills a line to at least 80 columns.
inline std::string padded(std::string line, std::size_t width = 80) {
    if (line.size() < width)
        line.resize(width, ' ');
    return line;
}
