// Process-wide settings of one conversion run, filled from the command line, and the two
// message sinks (the in-memory console log and the .log file) that every part writes through.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "driver/option_values.h"
#include "output/message_sink.h"
#include "rinex/compression.h"
#include "rinex/obs_site.h"
#include "rinex/observation_kinds.h"
#include "store/gps_time_window.h"

using ConsoleLog = std::stringstream;

struct RunSettings {
    std::string input_file_name;
    std::string inertial_format;       // as given, for the messages
    InertialFormats inertial_formats;  // what it asks for
    std::fstream log_file;
    ConsoleLog console_log;
    std::string version_text = "kelvartix V1.1";
    double imr_gyro_scale;   // 5000 / 2^31, degrees per count
    double imr_accel_scale;  // 490.5 / 2^31, m/s or m/s^2 per count
    bool leap_seconds_user_set = false;
    bool inertial_requested = false;
    double leap_seconds = 18.0;
    // What the user states beyond the log file; each left unset keeps the outputs as without it.
    std::string output_dir;        // empty: RINEX files in the current folder, log and IMR beside the input
    SiteOverrides site_overrides;  // header values of the observation files
    // -approx_position auto: a position from the observations (until then APPROX POSITION XYZ stays
    // as without the option).
    bool approx_position_auto = false;
    ObservationKinds observables;  // the kinds each signal of the observation files gets
    double interval = 0.0;         // seconds between kept observation epochs; 0: every epoch
    GpsTimeWindow time_window;     // observation epochs and IMR records kept
    RinexCompression compression = RinexCompression::none;  // of the RINEX files
    int64_t split_seconds = 0;  // -split: one observation file per period of this length; 0: one file
    bool report_requested = false;                          // -report: the quality report page beside the log
    int threads = 0;  // -threads: threads of the conversion; 0: one per core available
    std::string options_text;  // the options after the log's name as given, for the report

    RunSettings();
};

extern RunSettings run_settings;

// Copies what has accumulated in run_settings.console_log to standard output and, when it is
// open, to the log file; then empties the console log.
void flush_console_log();

// The writers' messages take the same path as the run's own: into console_log, then flushed.
class ConsoleLogSink final : public MessageSink {
  public:
    void write(std::string_view text) override;
};
