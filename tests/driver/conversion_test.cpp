// Whole conversions through the built program: the order of the run's messages, where each
// output file goes, and how failing output files end the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "settings_reset.h"
#include "test_logs.h"
#include "tests/support/lines.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
constexpr int kFailureStatus = 255;  // exit code -1 as a POSIX parent sees it
constexpr std::uintmax_t kImrHeaderSize = 512;
constexpr std::uintmax_t kImrRecordSize = 32;

const Lines kLoad = {"Loading VXP binary file in/day.bin", "VXP binary file load complete"};
const std::string kGnss3Warning = "Warning: GNSS3 data has 1 checksum errors.  Data may be incomplete!";
const std::string kImuWarning = "Warning: IMU data has 1 checksum errors.  Data may be incomplete!";

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The input lies in "in/", the working directory is the test's directory: log and IMR files go
// beside the input, RINEX files into the working directory.
class Conversion : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(dir / "in");
        const std::vector<uint8_t> log = two_receiver_log();
        write_file(dir / "in" / "day.bin", std::string(log.begin(), log.end()));
    }

    Lines run(const std::vector<std::string>& options, int expected_exit_code) {
        std::vector<std::string> arguments = {"in/day.bin"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ProgramRun result = run_kelvartix(dir.path(), arguments);
        EXPECT_EQ(result.exit_code, expected_exit_code);
        EXPECT_EQ(result.err, "");
        const Lines lines = lines_after_banner(result.out);
        // Everything after the banner also went to the log file, in the same order.
        EXPECT_EQ(split_lines(read_file(dir / "in" / "day.log")), lines);
        return lines;
    }

    // The RINEX files of a complete run of the test log, in name order: obs 0, nav 0, obs 1.
    Lines rinex_names() {
        TempDir other;
        fs::create_directory(other / "in");
        fs::copy_file(dir / "in" / "day.bin", other / "in" / "day.bin");
        EXPECT_EQ(run_kelvartix(other.path(), {"in/day.bin"}).exit_code, 0);
        Lines names;
        for (const std::string& name : other.entries()) {
            if (name != "in") {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

// The quality summary of the test log, which follows every other message.
const Lines kSummary = {
    "Quality of GNSS id 0: 2024-02-04 00:01:40.000 to 2024-02-04 00:01:41.000 GPS, interval 1 s",
    "  Epochs: 2 of 2 expected (100.0 %), no gaps",
    "  Satellites: G 1; observations left out: 0",
    "  Observations: G1C 2",
    "  Mean C/N0 (dB-Hz): G1 45.0",
    "  Position: none (no GPS or Galileo epoch with enough satellites and ephemerides)",
    "Quality of GNSS id 1: 2024-02-04 00:01:40.000 to 2024-02-04 00:01:41.000 GPS, interval 1 s",
    "  Epochs: 2 of 2 expected (100.0 %), no gaps",
    "  Satellites: G 1; observations left out: 0",
    "  Observations: G1C 2",
    "  Mean C/N0 (dB-Hz): G1 45.0",
    "  Position: none (no GPS or Galileo epoch with enough satellites and ephemerides)",
    "IMU: 2024-02-04 00:01:40.000 to 2024-02-04 00:01:40.020 GPS, 100 Hz",
    "  Samples: 3 of 3 expected (100.0 %), no gaps; interval jitter 0.000 ms; untimed packets 0",
    "Damage: 2 checksum errors (GNSS id 2 1, IMU 1) in 1 stretch: after 2024-02-04 00:01:40.020"};

const Lines kWriteAllRinex = {"Writing RINEX obs file for GNSS id 0... ",
                              "done.",
                              "Writing RINEX nav file for GNSS id 0... ",
                              "done.",
                              "Writing RINEX obs file for GNSS id 1... ",
                              "done.",
                              kGnss3Warning};

TEST_F(Conversion, WritesEveryFileInOrderAndPlacesThem) {
    const Lines expected = kLoad + Lines{"Using leap seconds from binary data = 17"} + kWriteAllRinex +
                           Lines{kImuWarning, "Writing inertial data to IMR file... done."};
    EXPECT_EQ(without_quality_summary(run({"-inertial_data", "NovAtel"}, 0)), expected);

    EXPECT_EQ(fs::file_size(dir / "in" / "day.imr"), kImrHeaderSize + 3 * kImrRecordSize);
    EXPECT_EQ(dir.entries().size(), 4u);  // "in" and three RINEX files
    for (const std::string& name : dir.entries()) {
        EXPECT_TRUE(name == "in" || name.ends_with(".rnx")) << name;
    }
    EXPECT_EQ(rinex_names().size(), 3u);
}

TEST_F(Conversion, UserLeapSecondsWinOverTheData) {
    EXPECT_EQ(without_quality_summary(run({"-leap_seconds", "17.5"}, 0)),
              kLoad + Lines{"Using user-set leap seconds = 17.5"} + kWriteAllRinex);
}

// The error comes after the RINEX files; the quality summary still follows it, and its file is
// written.
TEST_F(Conversion, AnUnsupportedInertialFormatFailsAfterTheRinexFiles) {
    EXPECT_EQ(run({"-inertial_data", "xyz"}, kFailureStatus),
              kLoad + Lines{"Using leap seconds from binary data = 17"} + kWriteAllRinex +
                  Lines{"Error: Unsupported inertial data format requested - xyz"} + kSummary);
    EXPECT_FALSE(fs::exists(dir / "in" / "day.imr"));
    EXPECT_TRUE(fs::is_regular_file(dir / "in" / "day.qc.json"));
    EXPECT_EQ(dir.entries().size(), 4u);
}

// The summary ends the messages, on the console and in the log alike (run() compares the two), and
// its JSON file lies beside the log.
TEST_F(Conversion, TheQualitySummaryComesLastAndItsFileBesideTheLog) {
    const Lines lines = run({"-inertial_data", "novatel"}, 0);
    EXPECT_EQ(lines, without_quality_summary(lines) + kSummary);
    EXPECT_EQ(without_quality_summary(lines).back(), "Writing inertial data to IMR file... done.");
    const nlohmann::json summary = nlohmann::json::parse(read_file(dir / "in" / "day.qc.json"));
    EXPECT_EQ(summary["receivers"].size(), 2u);
}

// A summary file that cannot be written is an output file error like the others: after the summary
// lines, and the run fails.
TEST_F(Conversion, AQualityFileThatCannotBeWrittenFailsTheRun) {
    fs::create_directory(dir / "in" / "day.qc.json");
    EXPECT_EQ(run({}, kFailureStatus), kLoad + Lines{"Using leap seconds from binary data = 17"} +
                                           kWriteAllRinex + kSummary +
                                           Lines{"Error: could not write in/day.qc.json: Is a directory"});
}

TEST_F(Conversion, ARinexFileThatCannotBeCreatedFailsTheRunButNotTheOthers) {
    const Lines names = rinex_names();
    ASSERT_EQ(names.size(), 3u);
    // Names sort as obs 0 ("..._01S_MO"), nav 0 ("..._MN"), obs 1; block the first.
    const std::string obs0 = names[0];
    ASSERT_TRUE(obs0.ends_with("_MO.rnx") && names[1].ends_with("_MN.rnx")) << obs0 << " " << names[1];
    fs::create_directory(dir / obs0);

    const Lines lines = run({"-inertial_data", "novatel"}, kFailureStatus);
    const Lines expected = kLoad + Lines{"Using leap seconds from binary data = 17",
                                         "Error: could not write " + obs0 + ": Is a directory",
                                         "Writing RINEX nav file for GNSS id 0... ",
                                         "done.",
                                         "Writing RINEX obs file for GNSS id 1... ",
                                         "done.",
                                         kGnss3Warning,
                                         kImuWarning,
                                         "Writing inertial data to IMR file... done."};
    EXPECT_EQ(without_quality_summary(lines), expected);
    EXPECT_TRUE(fs::is_regular_file(dir / names[1]));
    EXPECT_TRUE(fs::is_regular_file(dir / names[2]));
    EXPECT_TRUE(fs::is_regular_file(dir / "in" / "day.imr"));
}

TEST_F(Conversion, AFullDiskIsReportedForEveryRinexFile) {
#ifdef _WIN32
    GTEST_SKIP() << "writes to /dev/full through symbolic links";
#endif
    const Lines names = rinex_names();
    ASSERT_EQ(names.size(), 3u);
    for (const std::string& name : names) {
        fs::create_symlink("/dev/full", dir / name);
    }
    const Lines lines = run({}, kFailureStatus);
    // Whatever a writer printed before its file failed, each failure is named once.
    for (const std::string& name : names) {
        const std::string error = "Error: could not write " + name + ": No space left on device";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), error), 1) << error;
    }
    EXPECT_EQ(without_quality_summary(lines).back(), kGnss3Warning);
}

TEST_F(Conversion, AnImrFileThatCannotBeCreated) {
    fs::create_directory(dir / "in" / "day.imr");
    const Lines expected = kLoad + Lines{"Using leap seconds from binary data = 17"} + kWriteAllRinex +
                           Lines{kImuWarning, "Error: could not write in/day.imr: Is a directory",
                                 "Error writing novatel inertial data file!"};
    EXPECT_EQ(without_quality_summary(run({"-inertial_data", "novatel"}, kFailureStatus)), expected);
}

TEST_F(Conversion, AnImrFileOnAFullDisk) {
#ifdef _WIN32
    GTEST_SKIP() << "writes to /dev/full through a symbolic link";
#endif
    fs::create_symlink("/dev/full", dir / "in" / "day.imr");
    const Lines lines = without_quality_summary(run({"-inertial_data", "novatel"}, kFailureStatus));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"Error: could not write in/day.imr: No space left on device",
                     "Error writing novatel inertial data file!"}));
}

TEST_F(Conversion, ALogFromANamedPipeConvertsLikeTheFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a POSIX named pipe fed by a forked process";
#else
    const std::string bytes = read_file(dir / "in" / "day.bin");
    fs::remove(dir / "in" / "day.bin");
    ASSERT_EQ(mkfifo((dir / "in" / "day.bin").c_str(), 0600), 0);
    // Another process feeds the pipe in small pieces, as a decompressor would; it waits in its
    // open until the converter opens the pipe for reading.
    const pid_t writer = fork();
    if (writer == 0) {
        const int fd = open((dir / "in" / "day.bin").c_str(), O_WRONLY);
        constexpr std::size_t kPiece = 7;
        for (std::size_t at = 0; fd >= 0 && at < bytes.size(); at += kPiece) {
            if (write(fd, bytes.data() + at, std::min(kPiece, bytes.size() - at)) < 0) {
                _exit(1);
            }
        }
        _exit(fd >= 0 ? 0 : 1);
    }
    ASSERT_GT(writer, 0);
    const Lines lines = run({"-inertial_data", "novatel"}, 0);
    // A converter that never opened the pipe leaves the writer waiting: end it either way.
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    const Lines expected = kLoad + Lines{"Using leap seconds from binary data = 17"} + kWriteAllRinex +
                           Lines{kImuWarning, "Writing inertial data to IMR file... done."};
    EXPECT_EQ(without_quality_summary(lines), expected);
    std::error_code missing;
    EXPECT_EQ(fs::file_size(dir / "in" / "day.imr", missing), kImrHeaderSize + 3 * kImrRecordSize);
#endif
}

TEST(ConversionContent, AWriterContentErrorIsLeftToTheWriter) {
    TempDir dir;
    const std::vector<uint8_t> log = unknown_constellation_log();
    write_file(dir / "zero.bin", std::string(log.begin(), log.end()));
    const ProgramRun result = run_kelvartix(dir.path(), {"zero.bin"});
    EXPECT_EQ(result.exit_code, 0);
    const Lines lines = without_quality_summary(split_lines(result.out));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"Warning!  Using default program leap seconds = 18",
                     "Writing RINEX obs file for GNSS id 0... ",
                     "ERROR: Signal map could not be generated from VXP data for GNSS0!"}));
}

}  // namespace
