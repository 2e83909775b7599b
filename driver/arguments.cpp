// The command line: one binary log file name, then options in name/value pairs.
#include "driver/arguments.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

#include "driver/option_values.h"
#include "driver/run_settings.h"
#include "rinex/naming.h"

namespace {

constexpr const char* kHelpOption = "-h";
// The GNU conventions' long options, which end the run with exit code 0.
constexpr const char* kLongHelpOption = "--help";
constexpr const char* kVersionOption = "--version";
constexpr const char* kInertialDataOption = "-inertial_data";
constexpr const char* kLeapSecondsOption = "-leap_seconds";
constexpr const char* kReportOption = "-report";
constexpr int kHelpExitCode = -1;

// Header field widths: MARKER NAME A60; OBSERVER / AGENCY A20, A40; the receiver and antenna
// texts A20.
constexpr std::size_t kMarkerNameWidth = 60;
constexpr std::size_t kAgencyWidth = 40;
constexpr std::size_t kTextFieldWidth = 20;
// The widest value the F14.4 fields of ANTENNA: DELTA H/E/N and APPROX POSITION XYZ hold.
constexpr double kLargestMetres = 99999999.0;
// The value of -approx_position that asks for a position from the observations themselves.
constexpr const char* kAutomaticPosition = "auto";

bool is(const char* argument, const char* option) {
    return std::strcmp(argument, option) == 0;
}

// Reads an option's value into run_settings; returns the problem with the value, empty when taken.
using ValueReader = std::string (*)(const std::string& value);

std::string read_output_dir(const std::string& value) {
    if (value.empty())
        return "requires a value!";
    run_settings.output_dir = value;
    return {};
}

template <std::size_t Width, std::optional<std::string> SiteOverrides::*Field>
std::string read_header_text(const std::string& value) {
    // Checked as text first: a non-ASCII character takes several bytes, and its text is refused as
    // what it is, not as too long.
    if (!is_printable_ascii(value))
        return "must be printable ASCII text!";
    if (value.size() > Width)
        return "is longer than " + std::to_string(Width) + " characters!";
    run_settings.site_overrides.*Field = value;
    return {};
}

// Three numbers in metres for 3F14.4 fields into `metres`; the problem with them, empty when taken.
std::string read_three_metres(const std::string& value, const char* form,
                              std::optional<std::array<double, 3>>& metres) {
    const std::optional<std::array<double, 3>> numbers = parse_three_numbers(value);
    if (!numbers)
        return std::string("must be three numbers in metres: ") + form + "!";
    for (double number : *numbers) {
        if (std::fabs(number) > kLargestMetres)
            return "values must lie within +/-99999999 m!";
    }
    metres = numbers;
    return {};
}

std::string read_antenna_delta(const std::string& value) {
    return read_three_metres(value, "height,east,north", run_settings.site_overrides.antenna_delta);
}

std::string read_approx_position(const std::string& value) {
    run_settings.approx_position_auto = value == kAutomaticPosition;
    if (run_settings.approx_position_auto) {
        run_settings.site_overrides.approx_position.reset();
        return {};
    }
    return read_three_metres(value, "x,y,z, or auto", run_settings.site_overrides.approx_position);
}

std::string read_observables(const std::string& value) {
    const std::optional<ObservationKinds> kinds = ObservationKinds::from_letters(value);
    if (!kinds)
        return "must be letters of C, L, D and S, each at most once!";
    run_settings.observables = *kinds;
    return {};
}

std::string read_interval(const std::string& value) {
    const std::optional<double> seconds = parse_number(value);
    if (!seconds || !(*seconds > 0.0))
        return "must be a positive number of seconds!";
    run_settings.interval = *seconds;
    return {};
}

template <std::optional<double> GpsTimeWindow::*Bound>
std::string read_time(const std::string& value) {
    const std::optional<double> time = parse_gps_time(value);
    if (!time)
        return "must be a GPS time YYYY-MM-DDThh:mm:ss[.fff]!";
    run_settings.time_window.*Bound = time;
    return {};
}

std::string read_compression(const std::string& value) {
    const std::optional<RinexCompression> kind = parse_compression(value);
    if (!kind)
        return "must be gz, crx or crx.gz!";
    run_settings.compression = *kind;
    return {};
}

// -threads: a whole number from 1 to kMaxThreads, digits only.
constexpr int kMaxThreads = 256;

std::string read_threads(const std::string& value) {
    int count = 0;
    const char* const end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, count);
    if (value.empty() || value.front() == '-' || error != std::errc() || stop != end || count < 1 ||
        count > kMaxThreads)
        return "must be a whole number from 1 to " + std::to_string(kMaxThreads) + "!";
    run_settings.threads = count;
    return {};
}

// -split: a count of one or two digits and a unit (M minutes, H hours, D days, any letter case)
// whose period is one of the file periods (each divides a day).
std::string read_split(const std::string& value) {
    constexpr const char* kSplitError = "must be one of 15M, 30M, 1H, 2H, 3H, 6H, 12H and 1D!";
    if (value.size() < 2 || value.size() > 3)
        return kSplitError;
    int64_t count = 0;
    for (std::size_t i = 0; i + 1 < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9')
            return kSplitError;
        count = count * 10 + (value[i] - '0');
    }
    const char unit = static_cast<char>(std::toupper(static_cast<unsigned char>(value.back())));
    const int64_t unit_seconds = unit == 'M' ? 60 : unit == 'H' ? 3600 : unit == 'D' ? 86400 : 0;
    if (!is_file_period(count * unit_seconds))
        return kSplitError;
    run_settings.split_seconds = count * unit_seconds;
    return {};
}

struct ValueOption {
    const char* name;
    ValueReader read;
};

// The options beyond the original two, each with the next word as its value.
constexpr ValueOption kValueOptions[] = {
    {"-output_dir", read_output_dir},
    {"-marker_name", read_header_text<kMarkerNameWidth, &SiteOverrides::marker_name>},
    {"-antenna_number", read_header_text<kTextFieldWidth, &SiteOverrides::antenna_number>},
    {"-antenna_type", read_header_text<kTextFieldWidth, &SiteOverrides::antenna_type>},
    {"-receiver_type", read_header_text<kTextFieldWidth, &SiteOverrides::receiver_type>},
    {"-observer", read_header_text<kTextFieldWidth, &SiteOverrides::observer>},
    {"-agency", read_header_text<kAgencyWidth, &SiteOverrides::agency>},
    {"-antenna_delta", read_antenna_delta},
    {"-approx_position", read_approx_position},
    {"-observables", read_observables},
    {"-interval", read_interval},
    {"-start", read_time<&GpsTimeWindow::start>},
    {"-end", read_time<&GpsTimeWindow::end>},
    {"-compress", read_compression},
    {"-split", read_split},
    {"-threads", read_threads},
};

const ValueOption* find_value_option(const char* argument) {
    for (const ValueOption& option : kValueOptions) {
        if (is(argument, option.name))
            return &option;
    }
    return nullptr;
}

bool argument_error(const std::string& option, const std::string& problem) {
    std::cout << "Error: " << option << ' ' << problem << '\n';
    return false;
}

}  // namespace

void print_help() {
    std::cout
        << "usage:  kelvartix filename.bin {options}\n"
           "\n"
           "Notes:\n"
           "\tThe binary file is a required argument\n"
           "\n"
           "{options}:\n"
           "\n"
           "\t-h                       Print this help information\n"
           "\t-inertial_data (string)  Output inertial data for use in post processing. Supported "
           "formats: [Novatel] - Inertial Explorer\n"
           "\t-leap_seconds  (int)     Number of GPS leap seconds (overrides value in data, if present)\n"
           "\t-output_dir    (string)  Folder for every output file (created if missing)\n"
           "\t-marker_name   (string)  MARKER NAME of the observation files (up to 60 characters)\n"
           "\t-antenna_number (string) Antenna serial number (up to 20 characters)\n"
           "\t-antenna_type  (string)  Antenna type with radome, IGS name (up to 20 characters)\n"
           "\t-receiver_type (string)  Receiver type (up to 20 characters)\n"
           "\t-observer      (string)  Observer (up to 20 characters, default: Observer)\n"
           "\t-agency        (string)  Agency (up to 40 characters, default: Agency)\n"
           "\t-antenna_delta (h,e,n)   Antenna height, east and north offsets in metres (receivers "
           "without base-station records)\n"
           "\t-approx_position (x,y,z) APPROX POSITION XYZ in ECEF metres (receivers without base-station "
           "records), or auto\n"
           "\t-observables   (letters) Observation kinds of every signal from C, L, D, S (default: CLD)\n"
           "\t-interval      (float)   Keep only observation epochs at whole multiples of this many "
           "seconds of GPS time\n"
           "\t-start         (time)    Leave out observation epochs and inertial records before this GPS "
           "time, YYYY-MM-DDThh:mm:ss[.fff]\n"
           "\t-end           (time)    Leave out observation epochs and inertial records after this GPS "
           "time, YYYY-MM-DDThh:mm:ss[.fff]\n"
           "\t-inertial_data csv       The IMU as text columns (.imu.csv beside the log file); "
           "novatel,csv writes both files\n"
           "\t-compress      (string)  Compress the RINEX files: gz (gzip, .gz appended), crx (observation "
           "files in Compact RINEX, .crx) or crx.gz (both)\n"
           "\t-split         (string)  One observation file per period of the GPS day: 15M, 30M, 1H, 2H, 3H, "
           "6H, 12H or 1D\n"
           "\t-threads       (int)     Threads of the conversion, 1 to 256 (default: one per core "
           "available; 1: a single thread)\n"
           "\t-report                  Also write a quality report page with figures (.html beside the log "
           "file)\n"
           "\t--help                   Print this help information without the banner (exit code 0)\n"
           "\t--version                Print the version (exit code 0)\n"
           "\n";
}

bool print_requested_information(int argc, char** argv) {
    if (argc < 2)
        return false;
    if (is(argv[1], kLongHelpOption)) {
        print_help();
        return true;
    }
    if (is(argv[1], kVersionOption)) {
        std::cout << run_settings.version_text << '\n';
        return true;
    }
    return false;
}

bool parse_arguments(int argc, char** argv) {
    // "-h" is recognised only in place of the file name; anywhere else it is an argument error.
    if (argc >= 2 && is(argv[1], kHelpOption)) {
        print_help();
        std::exit(kHelpExitCode);
    }
    if (argc < 2) {
        return false;
    }
    // Taken as it is, even when it starts with "-".
    run_settings.input_file_name = argv[1];

    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        const bool quoted = word.empty() || word.find_first_of(" \t\"'") != std::string::npos;
        run_settings.options_text += (i > 2 ? " " : "") + (quoted ? "\"" + word + "\"" : word);
    }
    int i = 2;
    while (i < argc) {
        if (is(argv[i], kReportOption)) {
            run_settings.report_requested = true;
            ++i;
        } else if (is(argv[i], kInertialDataOption)) {
            if (i + 1 >= argc) {
                std::cout << "Error: Intertial data flag requires a format!\n";
                return false;
            }
            // The format is checked only after the RINEX files are written.
            run_settings.inertial_requested = true;
            run_settings.inertial_format = argv[i + 1];
            run_settings.inertial_formats = parse_inertial_formats(run_settings.inertial_format);
            i += 2;
        } else if (is(argv[i], kLeapSecondsOption)) {
            if (i + 1 >= argc) {
                std::cout << "Error: Leap seconds requires a value!\n";
                return false;
            }
            // As atof: leading blanks skipped, the longest numeric prefix taken, 0 when there is none.
            // strtod itself, because MinGW's atof stops at a hexadecimal prefix that strtod reads.
            run_settings.leap_seconds_user_set = true;
            run_settings.leap_seconds = std::strtod(argv[i + 1], nullptr);
            i += 2;
        } else if (const ValueOption* option = find_value_option(argv[i])) {
            if (i + 1 >= argc)
                return argument_error(option->name, "requires a value!");
            const std::string problem = option->read(argv[i + 1]);
            if (!problem.empty())
                return argument_error(option->name, problem);
            i += 2;
        } else {
            return false;
        }
    }
    const GpsTimeWindow& window = run_settings.time_window;
    if (window.start && window.end && *window.end < *window.start)
        return argument_error("-end", "is before -start!");
    return true;
}
