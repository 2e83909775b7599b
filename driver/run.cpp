// The conversion run: command line, log file, then the log read twice as a stream (first for what
// the names and headers need, then for the records, which go to every file at once), RINEX files
// per receiver and the optional inertial files (IMR, CSV). Every message after the log file is open goes
// through console_log to standard output and the log file alike, in the order of the files.
#include "driver/run.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "convert/log_reader.h"
#include "convert/log_source.h"
#include "convert/log_survey.h"
#include "convert/log_writers.h"
#include "convert/observation_files.h"
#include "driver/arguments.h"
#include "driver/output_names.h"
#include "driver/progress_line.h"
#include "driver/run_settings.h"
#include "imr/imr_writer.h"
#include "imu_csv/imu_csv_writer.h"
#include "output/held_messages.h"
#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "platform/cores.h"
#include "platform/terminal.h"
#include "platform/utf8_files.h"
#include "quality/quality_survey.h"
#include "report/report_page.h"
#include "rinex/epoch_selection.h"
#include "rinex/nav_writer.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer.h"
#include "route/record_fan_out.h"
#include "route/record_relay.h"
#include "store/vxp_data_store.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = -1;
constexpr const char* kLogExtension = ".log";
constexpr const char* kImrExtension = ".imr";
constexpr const char* kQualityExtension = ".qc.json";
constexpr const char* kReportExtension = ".html";
constexpr const char* kImuCsvExtension = ".imu.csv";
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

// The observation files of each receiver, headed from the first reading and written during the
// second; their messages are held until the run shows them in the order of the files.
using ReceiverFiles = std::unique_ptr<ObservationFiles>;

// One inertial file, likewise; `skipped` when the chosen times hold no record of it (no file).
template <class Settings, class Stream>
struct InertialFile {
    bool skipped = false;
    Settings settings;
    HeldMessages messages;
    WriterContext context{run_settings.version_text, messages};
    std::unique_ptr<Stream> stream;
};

// The inertial files -inertial_data asks for; none while its list names an unknown format.
struct InertialFiles {
    InertialFile<ImrFileSettings, ImrFileStream> imr;
    InertialFile<ImuCsvSettings, ImuCsvFileStream> csv;
};

// The observation file of every receiver with observations the selection keeps, headed from the
// survey and begun; the writers get each file that began.
// What the user states of a receiver's site; with -approx_position auto, its median single-point
// position (base-station records, where the receiver has them, still win).
SiteOverrides site_overrides_of(int receiver, const QualitySurvey& quality) {
    SiteOverrides overrides = run_settings.site_overrides;
    if (run_settings.approx_position_auto) {
        if (const std::optional<MedianPosition> median = quality.median_position(receiver))
            overrides.approx_position =
                std::array<double, 3>{median->position.x, median->position.y, median->position.z};
    }
    return overrides;
}

void begin_observation_files(const LogSurvey& survey, const QualitySurvey& quality,
                             const EpochSelection& epochs, std::array<ReceiverFiles, kReceiverCount>& files,
                             std::array<LogWriters, kReceiverCount>& writers) {
    for (int receiver = 0; receiver < kReceiverCount; ++receiver) {
        if (!survey.has_observations(receiver) || !survey.epochs(receiver).has_kept_epoch())
            continue;
        const SiteOverrides overrides = site_overrides_of(receiver, quality);
        const ObservationFileSettings settings{
            {}, epochs, run_settings.output_dir, run_settings.observables, run_settings.compression};
        // The fixed site's header describes the base-station record in force at its file's first
        // epoch; the other receivers' headers do not depend on it.
        const auto header_values = [&, receiver](const RawObservation& first_kept) {
            const EpochTally& fixed_site = survey.epochs(kFixedSiteReceiver);
            const RawObservation* const fixed_site_first =
                receiver == kFixedSiteReceiver                               ? &first_kept
                : fixed_site.has_kept_epoch() && fixed_site.first_is_dated() ? &fixed_site.first()
                                                                             : nullptr;
            return observation_header_values(receiver, survey.store(), overrides, fixed_site_first);
        };
        ReceiverFiles& file = files[static_cast<std::size_t>(receiver)];
        file = std::make_unique<ObservationFiles>(receiver, survey, settings, header_values,
                                                  run_settings.version_text);
        writers[static_cast<std::size_t>(receiver)].set_observation_file(receiver, file.get());
    }
}

// Starts `file` with the stream `make_stream` gives, unless a bounded window holds none of its
// `records`: chosen times without a record give no file, and one of that name keeps its bytes.
template <class File, class MakeStream>
bool begin_inertial_file(File& file, uint64_t records, MakeStream&& make_stream) {
    file.skipped = file.settings.window.bounded() && records == 0;
    if (file.skipped)
        return false;
    file.stream = make_stream(file.settings, file.context);
    return file.stream->begin();
}

void begin_inertial_files(const LogSurvey& survey, InertialFiles& files, LogWriters& writers) {
    const InertialFormats& formats = run_settings.inertial_formats;
    if (!run_settings.inertial_requested || formats.unknown)
        return;
    const ImuTally& imu = survey.imu();
    if (formats.imr) {
        files.imr.settings = ImrFileSettings{
            output_name(run_settings.input_file_name, run_settings.output_dir, kImrExtension),
            run_settings.imr_gyro_scale, run_settings.imr_accel_scale, run_settings.time_window};
        if (begin_inertial_file(files.imr, imu.records(), [&](const auto& settings, const auto& context) {
                return std::make_unique<ImrFileStream>(settings, imu.delta_mode(), imu.rate_hz(), context);
            }))
            writers.set_imr_file(files.imr.stream.get());
    }
    if (formats.csv) {
        files.csv.settings = ImuCsvSettings{
            output_name(run_settings.input_file_name, run_settings.output_dir, kImuCsvExtension),
            imu.csv_columns(), run_settings.time_window};
        if (begin_inertial_file(files.csv, imu.csv_rows(), [](const auto& settings, const auto& context) {
                return std::make_unique<ImuCsvFileStream>(settings, context);
            }))
            writers.set_imu_csv_file(files.csv.stream.get());
    }
}

// The observation file, then the navigation file, of every receiver with observations the
// selection keeps, with their messages. Returns false when any of these files could not be
// written; the other receivers are still written.
bool finish_rinex_files(const LogSurvey& survey, const EpochSelection& epochs, double leap_seconds,
                        std::array<ReceiverFiles, kReceiverCount>& files, const WriterContext& context) {
    const VxpDataStore& store = survey.store();
    bool all_written = true;
    for (int receiver = 0; receiver < kReceiverCount; ++receiver) {
        const uint32_t errors = store.gnss_checksum_errors(static_cast<uint8_t>(receiver));
        if (errors != 0) {
            log_line(checksum_warning("GNSS" + std::to_string(receiver + 1), errors));
        }
        if (!survey.has_observations(receiver)) {
            continue;
        }
        // As a receiver without observations, one with none in the selected times has no files.
        ReceiverFiles& file = files[static_cast<std::size_t>(receiver)];
        if (file == nullptr) {
            log_line("Warning: GNSS id " + std::to_string(receiver) +
                     " has no observation epoch in the selected times; no RINEX files written for it.");
            continue;
        }
        file->finish();
        file->report(context.messages,
                     [&](const WriterOutcome& outcome) { all_written &= report_outcome(outcome); });
        if (store.has_navigation_data(receiver)) {
            NavigationFileSettings navigation{leap_seconds, epochs, run_settings.output_dir};
            navigation.observation_epochs = &survey.epochs(receiver);
            navigation.compression = run_settings.compression;
            all_written &= report_outcome(write_navigation_file(receiver, store, navigation, context));
        }
    }
    return all_written;
}

// One inertial file's messages and outcome; `kind` names it in the messages. Returns false after an
// error message.
template <class File>
bool finish_inertial_file(File& file, const std::string& kind, const std::string& format,
                          const WriterContext& context) {
    if (file.skipped) {
        log_line("Warning: no inertial record in the selected times; no " + kind + " file written.");
        return true;
    }
    if (file.stream == nullptr)
        return true;
    const WriterOutcome outcome = file.stream->finish();
    file.messages.release_to(context.messages);
    if (outcome) {
        return true;
    }
    if (!outcome.file_name.empty() && !outcome.reason.empty()) {
        log_line("Error: could not write " + outcome.file_name + ": " + outcome.reason);
    }
    log_line("Error writing " + format + " inertial data file!");
    return false;
}

// The inertial files' messages and outcomes, the IMR file first. Returns false after an error
// message.
bool finish_inertial_files(const LogSurvey& survey, InertialFiles& files, const WriterContext& context) {
    if (run_settings.inertial_formats.unknown) {
        log_line("Error: Unsupported inertial data format requested - " + run_settings.inertial_format);
        return false;
    }
    const uint32_t errors = survey.store().imu_checksum_errors();
    if (errors != 0) {
        log_line(checksum_warning("IMU", errors));
    }
    const bool imr_written = finish_inertial_file(files.imr, "IMR", "novatel", context);
    const bool csv_written = finish_inertial_file(files.csv, "CSV", "csv", context);
    return imr_written && csv_written;
}

// The quality summary: its lines after the files' messages, and its JSON file. False when that file
// could not be written.
bool report_quality(const QualitySurvey& quality) {
    for (const std::string& line : quality.summary_lines())
        log_line(line);
    return report_outcome(quality.write_json(
        output_name(run_settings.input_file_name, run_settings.output_dir, kQualityExtension)));
}

// "2024-03-05 12:00:00 UTC", the time of the run for the report.
std::string utc_now_text() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "unknown";
    if (const std::tm* utc = std::gmtime(&now))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", utc);
    return text;
}

// The report page (-report). False when it could not be written.
bool write_quality_report(const QualitySurvey& quality, const std::string& run_time) {
    if (!run_settings.report_requested)
        return true;
    const ReportFacts facts{run_settings.input_file_name, run_settings.version_text,
                            run_settings.options_text, run_time};
    return report_outcome(
        write_report(quality, facts,
                     output_name(run_settings.input_file_name, run_settings.output_dir, kReportExtension)));
}

bool any_file_begun(const std::array<ReceiverFiles, kReceiverCount>& files, const InertialFiles& inertial) {
    for (const ReceiverFiles& file : files) {
        if (file != nullptr)
            return true;
    }
    return inertial.imr.stream != nullptr || inertial.csv.stream != nullptr;
}

// The consumers of one reading, spread over the run's threads: `here` take the records on the
// reading thread, which reads, frames and converts; the consumers `there` take them on threads of
// their own meanwhile, as many as the run has threads besides the reading one (several share a
// thread when there are fewer), or on the reading thread too when it is the only one. Every
// consumer gets the same calls in the same order whatever the threads: the outputs do not depend
// on them.
class ReadingConsumers {
  public:
    ReadingConsumers(std::vector<RecordConsumer*> here, const std::vector<RecordConsumer*>& there,
                     int threads) {
        const std::size_t workers = threads > 1 ? std::min<std::size_t>(threads - 1, there.size()) : 0;
        std::vector<std::vector<RecordConsumer*>> groups(workers);
        for (std::size_t i = 0; i < there.size(); ++i) {
            if (workers == 0)
                here.push_back(there[i]);
            else
                groups[i % workers].push_back(there[i]);
        }
        for (std::vector<RecordConsumer*>& group : groups) {
            RecordConsumer* target = group.front();
            if (group.size() > 1)
                target = fan_outs_.emplace_back(std::make_unique<RecordFanOut>(group)).get();
            try {
                here.push_back(relays_.emplace_back(std::make_unique<RecordRelay>(*target)).get());
            } catch (const std::system_error&) {
                here.push_back(target);  // no thread to be had: the reading thread does it
            }
        }
        all_ = std::make_unique<RecordFanOut>(std::move(here));
    }

    RecordConsumer& all() { return *all_; }
    // Waits until every consumer on another thread has taken every record.
    void finish() {
        for (const std::unique_ptr<RecordRelay>& relay : relays_)
            relay->finish();
    }

  private:
    std::vector<std::unique_ptr<RecordFanOut>> fan_outs_;
    std::vector<std::unique_ptr<RecordRelay>> relays_;
    std::unique_ptr<RecordFanOut> all_;
};

bool read_log(LogReader& reader, const std::vector<RecordConsumer*>& here,
              const std::vector<RecordConsumer*>& there, int threads, const LogReader::Progress& progress) {
    ReadingConsumers consumers(here, there, threads);
    const bool complete = reader.read(consumers.all(), progress);
    consumers.finish();
    return complete;
}

// The conversion once the log file is open: both readings of the log and every output file.
int convert_log() {
    const std::string run_time = utc_now_text();
    log_line("Loading VXP binary file " + run_settings.input_file_name);
    LogSource source;
    if (!source.open(run_settings.input_file_name, run_settings.output_dir)) {
        log_line("Error opening VXP binary file!");
        log_line(run_settings.input_file_name + ": " + source.error());
        return end_run(kExitFailure);
    }
    // Two readings of the log: the progress counts both.
    ProgressLine progress(source.known_size() * 2, standard_error_is_terminal());
    LogReader reader(source);
    const int threads = run_settings.threads > 0 ? run_settings.threads : available_cores();

    const EpochSelection epochs{run_settings.time_window, run_settings.interval};
    LogSurvey survey(epochs, run_settings.time_window, run_settings.split_seconds);
    QualitySurvey quality(epochs, run_settings.time_window);
    // The store's filer is light work (navigation records, counts); the tallies and the quality
    // survey are not.
    uint64_t first_reading = 0;
    const bool surveyed =
        read_log(reader, {&survey.store_filer()}, {&survey, &quality}, threads, [&](uint64_t bytes) {
            first_reading = bytes;
            progress.update(bytes);
        });
    progress.erase();
    if (!surveyed) {
        log_line("Error reading VXP binary file: " + reader.error());
        return end_run(kExitFailure);
    }
    survey.finish();
    quality.finish();
    log_line("VXP binary file load complete");

    const double leap_seconds = choose_leap_seconds(survey.store());
    std::array<ReceiverFiles, kReceiverCount> files;
    InertialFiles inertial;
    // The inertial files stay with the reading; the observation files of each receiver go to a
    // thread of their own where there are threads enough.
    std::array<LogWriters, kReceiverCount> observation_writers;
    LogWriters inertial_writers;
    begin_observation_files(survey, quality, epochs, files, observation_writers);
    begin_inertial_files(survey, inertial, inertial_writers);
    if (any_file_begun(files, inertial)) {
        std::vector<RecordConsumer*> receivers;
        for (int receiver = 0; receiver < kReceiverCount; ++receiver) {
            if (files[static_cast<std::size_t>(receiver)] != nullptr)
                receivers.push_back(&observation_writers[static_cast<std::size_t>(receiver)]);
        }
        const bool written = read_log(reader, {&inertial_writers}, receivers, threads,
                                      [&](uint64_t bytes) { progress.update(first_reading + bytes); });
        progress.erase();
        if (!written) {
            // The files begun are discarded with their writers.
            log_line("Error reading VXP binary file: " + reader.error());
            return end_run(kExitFailure);
        }
        for (LogWriters& writers : observation_writers)
            writers.finish();
        inertial_writers.finish();
    }

    ConsoleLogSink messages;
    const WriterContext context{run_settings.version_text, messages};
    const bool rinex_written = finish_rinex_files(survey, epochs, leap_seconds, files, context);
    const bool inertial_written =
        !run_settings.inertial_requested || finish_inertial_files(survey, inertial, context);
    const bool summary_written = report_quality(quality);
    const bool report_written = write_quality_report(quality, run_time);
    return end_run(rinex_written && inertial_written && summary_written && report_written ? kExitSuccess
                                                                                          : kExitFailure);
}

}  // namespace

int run_conversion(int argc, char** argv) {
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

    // Out of memory anywhere ends the run with one clear line; the files begun are discarded as
    // their writers are unwound.
    try {
        return convert_log();
    } catch (const std::bad_alloc&) {
        log_line("Error: not enough memory to convert " + run_settings.input_file_name + ".");
        return end_run(kExitFailure);
    }
}
