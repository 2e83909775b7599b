// The command line: one binary log file name, then options in name/value pairs.
#include "driver/arguments.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "driver/run_settings.h"

namespace {

constexpr const char* kHelpOption = "-h";
constexpr const char* kInertialDataOption = "-inertial_data";
constexpr const char* kLeapSecondsOption = "-leap_seconds";
constexpr int kHelpExitCode = -1;

bool is(const char* argument, const char* option) {
    return std::strcmp(argument, option) == 0;
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
           "\n";
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

    int i = 2;
    while (i < argc) {
        if (is(argv[i], kInertialDataOption)) {
            if (i + 1 >= argc) {
                std::cout << "Error: Intertial data flag requires a format!\n";
                return false;
            }
            // The format is checked only after the RINEX files are written.
            run_settings.inertial_requested = true;
            run_settings.inertial_format = argv[i + 1];
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
        } else {
            return false;
        }
    }
    return true;
}
