// The command line and the run's own messages, seen from outside: the built program run in a
// fresh directory, its whole output lines and exit code compared.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "settings_reset.h"
#include "tests/support/lines.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;
constexpr int kFailureStatus = 255;  // exit code -1 as a POSIX parent sees it

class Cli : public ::testing::Test {
  protected:
    // Runs the program in the test's directory; checks the banner and returns the lines after it.
    Lines run(const std::vector<std::string>& arguments, int expected_exit_code) {
        const ProgramRun result = run_kelvartix(dir.path(), arguments);
        EXPECT_EQ(result.exit_code, expected_exit_code);
        EXPECT_EQ(result.err, "");
        return lines_after_banner(result.out);
    }
    std::string log_of(const std::string& name) { return read_file(dir / name); }

    TempDir dir;
};

const Lines kArgumentError = {"Argument error, use -h for help"};

TEST_F(Cli, NoArgumentsIsAnArgumentErrorWithoutAnyFile) {
    EXPECT_EQ(run({}, kFailureStatus), kArgumentError);
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Cli, HelpFirstPrintsTheUsageAfterTheBanner) {
    const Lines help = {
        "usage:  kelvartix filename.bin {options}",
        "",
        "Notes:",
        "\tThe binary file is a required argument",
        "",
        "{options}:",
        "",
        "\t-h                       Print this help information",
        "\t-inertial_data (string)  Output inertial data for use in post processing. "
        "Supported formats: [Novatel] - Inertial Explorer",
        "\t-leap_seconds  (int)     Number of GPS leap seconds (overrides value in data, if present)",
        "\t-output_dir    (string)  Folder for every output file (created if missing)",
        "\t-marker_name   (string)  MARKER NAME of the observation files (up to 60 characters)",
        "\t-antenna_number (string) Antenna serial number (up to 20 characters)",
        "\t-antenna_type  (string)  Antenna type with radome, IGS name (up to 20 characters)",
        "\t-receiver_type (string)  Receiver type (up to 20 characters)",
        "\t-observer      (string)  Observer (up to 20 characters, default: Observer)",
        "\t-agency        (string)  Agency (up to 40 characters, default: Agency)",
        "\t-antenna_delta (h,e,n)   Antenna height, east and north offsets in metres (receivers without "
        "base-station records)",
        "\t-approx_position (x,y,z) APPROX POSITION XYZ in ECEF metres (receivers without base-station "
        "records), or auto",
        "\t-observables   (letters) Observation kinds of every signal from C, L, D, S (default: CLD)",
        "\t-interval      (float)   Keep only observation epochs at whole multiples of this many "
        "seconds of GPS time",
        "\t-start         (time)    Leave out observation epochs and inertial records before this GPS time, "
        "YYYY-MM-DDThh:mm:ss[.fff]",
        "\t-end           (time)    Leave out observation epochs and inertial records after this GPS time, "
        "YYYY-MM-DDThh:mm:ss[.fff]",
        "\t-inertial_data csv       The IMU as text columns (.imu.csv beside the log file); novatel,csv "
        "writes both files",
        "\t-compress      (string)  Compress the RINEX files: gz (gzip, .gz appended), crx (observation "
        "files "
        "in Compact RINEX, .crx) or crx.gz (both)",
        "\t-split         (string)  One observation file per period of the GPS day: 15M, 30M, 1H, 2H, 3H, 6H, "
        "12H or 1D",
        "\t-threads       (int)     Threads of the conversion, 1 to 256 (default: one per core available; 1: a "
        "single thread)",
        "\t-report                  Also write a quality report page with figures (.html beside the log file)",
        "\t--help                   Print this help information without the banner (exit code 0)",
        "\t--version                Print the version (exit code 0)",
        ""};
    EXPECT_EQ(run({"-h"}, kFailureStatus), help);
    EXPECT_EQ(run({"-h", "file.bin", "-leap_seconds"}, kFailureStatus), help);
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Cli, LongHelpAndVersionFirstPrintOnlyThatAndSucceed) {
    // The usage text as "-h" prints it after the banner.
    const ProgramRun help = run_kelvartix(dir.path(), {"--help", "file.bin"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(split_lines(help.out), run({"-h"}, kFailureStatus));
    const ProgramRun version = run_kelvartix(dir.path(), {"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, "kelvartix V1.1\n");
    EXPECT_EQ(run({"file.bin", "--version"}, kFailureStatus), kArgumentError);
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Cli, HelpAfterTheFileNameIsAnArgumentError) {
    write_file(dir / "file.bin", "");
    EXPECT_EQ(run({"file.bin", "-h"}, kFailureStatus), kArgumentError);
    EXPECT_EQ(run({"file.bin", "extra"}, kFailureStatus), kArgumentError);
    EXPECT_EQ(dir.entries(), std::set<std::string>{"file.bin"});
}

TEST_F(Cli, AMissingOptionValueGivesTwoLines) {
    EXPECT_EQ(run({"file.bin", "-leap_seconds"}, kFailureStatus),
              (Lines{"Error: Leap seconds requires a value!", "Argument error, use -h for help"}));
    EXPECT_EQ(run({"file.bin", "-inertial_data"}, kFailureStatus),
              (Lines{"Error: Intertial data flag requires a format!", "Argument error, use -h for help"}));
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Cli, AnEmptyLogLoadsAndUsesTheDefaultLeapSeconds) {
    write_file(dir / "empty.bin", "");
    const Lines expected = {"Loading VXP binary file empty.bin", "VXP binary file load complete",
                            "Warning!  Using default program leap seconds = 18"};
    EXPECT_EQ(without_quality_summary(run({"empty.bin"}, 0)), expected);
    // The log holds every message after it was opened, and nothing else.
    EXPECT_EQ(without_quality_summary(split_lines(log_of("empty.log"))), expected);
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"empty.bin", "empty.log", "empty.qc.json"}));
}

TEST_F(Cli, LeapSecondsOptionRepeatedUsesTheLastValue) {
    write_file(dir / "empty.bin", "");
    EXPECT_EQ(without_quality_summary(run({"empty.bin", "-leap_seconds", "16", "-leap_seconds", "17.5"}, 0)),
              (Lines{"Loading VXP binary file empty.bin", "VXP binary file load complete",
                     "Using user-set leap seconds = 17.5"}));
    EXPECT_EQ(without_quality_summary(run({"empty.bin", "-leap_seconds", "abc"}, 0)),
              (Lines{"Loading VXP binary file empty.bin", "VXP binary file load complete",
                     "Using user-set leap seconds = 0"}));
}

TEST_F(Cli, LogFileNameCutsAtTheLastDotOfTheFileNameOnly) {
    write_file(dir / "run", "");
    run({"run"}, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "run.log"));

    // A dot in a directory name is not the input's extension: an unrelated file named like the
    // directory stays as it was.
    std::filesystem::create_directory(dir / "data.v2");
    write_file(dir / "data.v2" / "run", "");
    write_file(dir / "data.log", "someone else's file");
    const Lines lines = run({"data.v2/run"}, 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Loading VXP binary file data.v2/run");
    EXPECT_EQ(split_lines(log_of("data.v2/run.log")), lines);
    EXPECT_EQ(log_of("data.log"), "someone else's file");
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"data.v2", "data.log", "run", "run.log", "run.qc.json"}));

    // Nor are the dots of "." and "..": the log lies beside the input, not in a file "..log".
    EXPECT_EQ(run_kelvartix(dir / "data.v2", {"./../run"}).exit_code, 0);
    const Lines log = split_lines(log_of("run.log"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Loading VXP binary file ./../run");
    EXPECT_FALSE(std::filesystem::exists(dir / "data.v2" / "..log"));
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"data.v2", "data.log", "run", "run.log", "run.qc.json"}));
}

TEST_F(Cli, AnInputNamedLikeItsLogIsNeverOverwritten) {
    const std::string data = "no packet in here";
    write_file(dir / "day.log", data);
    run({"day.log"}, 0);
    EXPECT_EQ(log_of("day.log"), data);
    EXPECT_EQ(without_quality_summary(split_lines(log_of("day.log.log"))),
              (Lines{"Loading VXP binary file day.log", "VXP binary file load complete",
                     "Warning!  Using default program leap seconds = 18"}));
}

TEST_F(Cli, LogFileThatCannotBeOpened) {
    EXPECT_EQ(run({"no_such_dir/file.bin"}, kFailureStatus),
              (Lines{"Could not open log file!", "no_such_dir/file.log: No such file or directory"}));
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Cli, InputThatCannotBeOpenedLeavesTheLogFile) {
    const Lines expected = {"Loading VXP binary file missing.bin", "Error opening VXP binary file!",
                            "missing.bin: No such file or directory"};
    EXPECT_EQ(run({"missing.bin"}, kFailureStatus), expected);
    EXPECT_EQ(split_lines(log_of("missing.log")), expected);
    EXPECT_EQ(dir.entries(), std::set<std::string>{"missing.log"});
}

TEST_F(Cli, ADirectoryIsNotALogAndWritesNothing) {
    std::filesystem::create_directory(dir / "day.bin");
    EXPECT_EQ(run({"day.bin", "-output_dir", "out"}, kFailureStatus),
              (Lines{"Error opening VXP binary file!", "day.bin: Is a directory"}));
    EXPECT_EQ(run({"day.bin/"}, kFailureStatus),
              (Lines{"Error opening VXP binary file!", "day.bin/: Is a directory"}));
    EXPECT_EQ(dir.entries(), std::set<std::string>{"day.bin"});
    EXPECT_TRUE(std::filesystem::is_empty(dir / "day.bin"));
}

TEST_F(Cli, AReadFailureIsNotACompleteLoad) {
#ifdef _WIN32
    GTEST_SKIP() << "reads /proc/self/mem through a symbolic link";
#endif
    // Reading this process's own memory at offset 0 fails with an I/O error right after a
    // successful open.
    std::filesystem::create_symlink("/proc/self/mem", dir / "mem.bin");
    const Lines expected = {"Loading VXP binary file mem.bin",
                            std::string("Error reading VXP binary file: ") + std::strerror(EIO)};
    EXPECT_EQ(run({"mem.bin"}, kFailureStatus), expected);
    EXPECT_EQ(split_lines(log_of("mem.log")), expected);
}

}  // namespace
