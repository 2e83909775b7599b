// The conversion run: command line, log file, load, RINEX files per receiver, optional IMR file.
// Every message after the log file is open goes through console_log to standard output and the
// log file alike.
#include "driver/run.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "driver/arguments.h"
#include "driver/output_names.h"
#include "driver/run_settings.h"
#include "imr/imr_writer.h"
#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "platform/utf8_files.h"
#include "rinex/epoch_selection.h"
#include "rinex/nav_writer.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer.h"
#include "store/vxp_data_store.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = -1;
constexpr const char* kLogExtension = ".log";
constexpr const char* kImrExtension = ".imr";
// The one inertial format the run can write, compared after lower-casing the user's text.
constexpr const char* kNovatelFormat = "novatel";
constexpr const char* kBannerRule =
    "-------------------------------------------------------------------------------------------------";

void print_banner() {
    std::cout << "\n\n"
              << kBannerRule << '\n'
              << run_settings.version_text << '\n'
              << "Kestravonic VXP Binary file to RINEX 3.05 Converter:\n"
              << kBannerRule << "\n\n";
}

// One whole message line to standard output and the log file.
void log_line(const std::string& text) {
    run_settings.console_log << text << std::endl;
    flush_console_log();
}

// Numbers in the run's messages use the default stream formatting (18.0 gives "18", 17.5 gives
// "17.5"), whatever formatting a writer may have left set on the console log.
std::string default_format(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string checksum_warning(const std::string& source, uint32_t errors) {
    return "Warning: " + source + " data has " + std::to_string(errors) +
           " checksum errors.  Data may be incomplete!";
}

// The line that follows a file error: the file's name and the system's reason.
std::string file_reason_line(const std::string& file_name, int error) {
    return file_name + ": " + std::strerror(error != 0 ? error : EIO);
}

// Why the input does not open for reading, as the line that follows "Error opening VXP binary
// file!". Asked again after the load failed (the store keeps no reason for an open); a named pipe
// that opens now is left unread.
std::string input_reason_line(const std::string& input) {
    errno = 0;
    std::FILE* file = open_file(input, "rb");
    if (file != nullptr) {
        std::fclose(file);
        return {};
    }
    return file_reason_line(input, errno);
}

// Every return after the log file was opened goes through here: the log is closed and standard
// output, buffered until now, is pushed out.
int end_run(int exit_code) {
    run_settings.log_file.close();
    std::cout.flush();
    return exit_code;
}

// The user's value wins; else the first valid leap-second record of the data; else the default.
double choose_leap_seconds(const VxpDataStore& store) {
    double leap_seconds = run_settings.leap_seconds;  // the user's value, or the default
    if (run_settings.leap_seconds_user_set) {
        log_line("Using user-set leap seconds = " + default_format(leap_seconds));
    } else if (store.leap_seconds_from_data(leap_seconds)) {
        log_line("Using leap seconds from binary data = " + default_format(leap_seconds));
    } else {
        log_line("Warning!  Using default program leap seconds = " + default_format(leap_seconds));
    }
    return leap_seconds;
}

// A file that could not be created, written or closed is named with its reason. Returns false
// for such a failure; a writer's content errors are its own to report and do not fail the run.
bool report_outcome(const WriterOutcome& outcome) {
    if (outcome.status != WriterOutcome::Status::file_error) {
        return true;
    }
    log_line("Error: could not write " + outcome.file_name + ": " + outcome.reason);
    return false;
}

// The observation file, then the navigation file, of every receiver with observations the
// selection keeps. Returns false when any of these files could not be written; the other
// receivers are still written.
bool write_rinex_files(const VxpDataStore& store, double leap_seconds, const WriterContext& context) {
    const EpochSelection epochs{run_settings.time_window, run_settings.interval};
    bool all_written = true;
    for (int receiver = 0; receiver < kReceiverCount; ++receiver) {
        const uint32_t errors = store.gnss_checksum_errors(static_cast<uint8_t>(receiver));
        if (errors != 0) {
            log_line(checksum_warning("GNSS" + std::to_string(receiver + 1), errors));
        }
        if (!store.has_receiver_data(receiver)) {
            continue;
        }
        // As a receiver without observations, one with none in the selected times has no files.
        if (first_kept_epoch(store.receiver_raw_epochs(receiver), epochs) == nullptr) {
            log_line("Warning: GNSS id " + std::to_string(receiver) +
                     " has no observation epoch in the selected times; no RINEX files written for it.");
            continue;
        }
        const ObservationFileSettings observation{
            observation_header_values(receiver, store, run_settings.site_overrides, epochs), epochs,
            run_settings.output_dir, run_settings.compression};
        all_written &= report_outcome(write_observation_file(receiver, store, observation, context));
        if (store.has_navigation_data(receiver)) {
            const NavigationFileSettings navigation{leap_seconds, epochs, run_settings.output_dir, nullptr,
                                                    run_settings.compression};
            all_written &= report_outcome(write_navigation_file(receiver, store, navigation, context));
        }
    }
    return all_written;
}

// The IMR file beside the input, when the format asked for is NovAtel's. Returns false after an
// error message.
bool write_inertial_file(VxpDataStore& store, const WriterContext& context) {
    std::string format = run_settings.inertial_format;
    for (char& c : format) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string imr_file_name =
        output_name(run_settings.input_file_name, run_settings.output_dir, kImrExtension);
    if (format != kNovatelFormat) {
        log_line("Error: Unsupported inertial data format requested - " + run_settings.inertial_format);
        return false;
    }
    const uint32_t errors = store.imu_checksum_errors();
    if (errors != 0) {
        log_line(checksum_warning("IMU", errors));
    }
    const ImrFileSettings settings{imr_file_name, run_settings.imr_gyro_scale, run_settings.imr_accel_scale,
                                   run_settings.time_window};
    const WriterOutcome outcome = write_imr_file(store, settings, context);
    if (outcome.status == WriterOutcome::Status::skipped) {
        log_line("Warning: no inertial record in the selected times; no IMR file written.");
        return true;
    }
    if (outcome) {
        return true;
    }
    if (!outcome.file_name.empty() && !outcome.reason.empty()) {
        log_line("Error: could not write " + outcome.file_name + ": " + outcome.reason);
    }
    log_line("Error writing novatel inertial data file!");
    return false;
}

}  // namespace

int run_conversion(int argc, char** argv) {
    // The store holds the whole log; it is released on every return.
    const auto store = std::make_unique<VxpDataStore>();

    if (print_requested_information(argc, argv)) {
        std::cout.flush();
        return kExitSuccess;
    }
    print_banner();
    if (!parse_arguments(argc, argv)) {
        std::cout << "Argument error, use -h for help\n";
        std::cout.flush();
        return kExitFailure;
    }

    // A folder is no log: refused before any file or folder is made.
    std::error_code input_status;
    if (std::filesystem::is_directory(path_from_utf8(run_settings.input_file_name), input_status)) {
        std::cout << "Error opening VXP binary file!\n"
                  << file_reason_line(run_settings.input_file_name, EISDIR) << '\n';
        std::cout.flush();
        return kExitFailure;
    }
    if (!run_settings.output_dir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(path_from_utf8(run_settings.output_dir), error);
        if (error) {
            std::cout << "Error: could not create output folder " << run_settings.output_dir << ": "
                      << error.message() << '\n';
            std::cout.flush();
            return kExitFailure;
        }
    }
    const std::string log_file_name =
        output_name(run_settings.input_file_name, run_settings.output_dir, kLogExtension);
    // Binary, so that the log holds the same bytes on every system ("\n" line ends, as every
    // other file the run writes).
    errno = 0;
    run_settings.log_file.open(path_from_utf8(log_file_name),
                               std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
    if (!run_settings.log_file.is_open()) {
        const int error = errno;
        std::cout << "Could not open log file!\n" << file_reason_line(log_file_name, error) << '\n';
        std::cout.flush();
        return kExitFailure;
    }

    log_line("Loading VXP binary file " + run_settings.input_file_name);
    if (!store->load_file(run_settings.input_file_name.c_str())) {
        if (store->read_error().empty()) {
            log_line("Error opening VXP binary file!");
            if (const std::string reason = input_reason_line(run_settings.input_file_name); !reason.empty())
                log_line(reason);
        } else {
            log_line("Error reading VXP binary file: " + store->read_error());
        }
        return end_run(kExitFailure);
    }
    log_line("VXP binary file load complete");

    const double leap_seconds = choose_leap_seconds(*store);
    ConsoleLogSink messages;
    const WriterContext context{run_settings.version_text, messages};
    const bool rinex_written = write_rinex_files(*store, leap_seconds, context);

    if (run_settings.inertial_requested && !write_inertial_file(*store, context)) {
        return end_run(kExitFailure);
    }
    return end_run(rinex_written ? kExitSuccess : kExitFailure);
}
