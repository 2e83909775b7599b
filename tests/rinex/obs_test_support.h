// Helpers of the observation-file tests: host-order records, small logs loaded into a store, and
// the writer run in the working directory (a WorkingDirectory: the writers create their RINEX
// files in the current directory).
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
#include "tests/support/lines.h"
#include "tests/support/log_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

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
    void observation(int receiver, const RawObservation& o) {
        EXPECT_TRUE(add_packet(writer_, receiver_set(receiver), VXP_GNSS_FIELD_RAW_OBSERVATION, o,
                               vxp_decode_raw_observation));
    }
    void site(const BaseStationInfo& s) {
        EXPECT_TRUE(add_packet(writer_, VXP_SET_GNSS_BASE, VXP_GNSS_FIELD_BASE_STATION, s,
                               vxp_decode_base_station_info));
    }
    void glonass(int receiver, const GlonassEphemeris& e) {
        EXPECT_TRUE(add_packet(writer_, receiver_set(receiver), VXP_GNSS_FIELD_GLONASS_EPHEMERIS, e,
                               vxp_decode_glonass_ephemeris));
    }
    void load(VxpDataStore& store) { ASSERT_TRUE(load_log(writer_, store, "input.bin")); }

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

// The writer with the header values (and kinds) given, or with those the log gives (as the run
// calls it).
inline ObsRun run_observation_writer(int receiver, const VxpDataStore& store, const ObsHeaderValues& values,
                                     const ObservationKinds& kinds = {}) {
    set_creation_time_source(fixed_creation_time);
    ObsRun run;
    CapturedMessages messages;
    run.outcome = write_observation_file(receiver, store, ObservationFileSettings{values, {}, {}, kinds},
                                         test_context(messages));
    run.messages = split_lines(messages.text());
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
