// The options beyond the log file and the original three, through the built program: where the
// files go, what the headers say, which epochs and IMR records are kept, and every bad value as
// an argument error that writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
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
const fs::path kSample = fs::path(KELVARTIX_SOURCE_DIR) / "samples" / "sample.vxp";

// A header record: the text in columns 1-60, the label in 61-80.
std::string record(std::string text, const std::string& label) {
    text.resize(60, ' ');
    std::string padded_label = label;
    padded_label.resize(20, ' ');
    return text + padded_label;
}

std::string label_of(const std::string& line) {
    std::string label = line.size() > 60 ? line.substr(60) : "";
    label.erase(label.find_last_not_of(' ') + 1);
    return label;
}

// The header lines of an observation file that carry one of the labels, in file order.
Lines header_records(const fs::path& file, const Lines& labels) {
    Lines found;
    for (const std::string& line : split_lines(read_file(file))) {
        if (label_of(line) == "END OF HEADER")
            break;
        if (std::find(labels.begin(), labels.end(), label_of(line)) != labels.end())
            found.push_back(line);
    }
    return found;
}

// The names in a folder that end with `suffix`, sorted.
Lines names_ending(const fs::path& folder, const std::string& suffix) {
    Lines names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(suffix))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Options : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::vector<uint8_t> log = two_receiver_log();
        write_file(dir / "day.vxp", std::string(log.begin(), log.end()));
    }

    // Runs the program in the test's folder; returns the lines printed after the banner (which the
    // command-line tests compare).
    Lines run(const std::vector<std::string>& arguments, int expected_exit_code) {
        const ProgramRun result = run_kelvartix(dir.path(), arguments);
        EXPECT_EQ(result.exit_code, expected_exit_code);
        EXPECT_EQ(result.err, "");
        const Lines lines = split_lines(result.out);
        return Lines(
            lines.begin() + static_cast<std::ptrdiff_t>(std::min(banner_lines().size(), lines.size())),
            lines.end());
    }

    TempDir dir;
};

struct BadValue {
    std::vector<std::string> options;
    std::string error;
};

TEST_F(Options, EveryBadValueIsOneErrorLineThenTheArgumentErrorAndNoFile) {
    const std::string interval_error = "Error: -interval must be a positive number of seconds!";
    const std::string delta_error =
        "Error: -antenna_delta must be three numbers in metres: height,east,north!";
    const std::string time_error = " must be a GPS time YYYY-MM-DDThh:mm:ss[.fff]!";
    const std::string position_error =
        "Error: -approx_position must be three numbers in metres: x,y,z, or auto!";
    const std::string kinds_error =
        "Error: -observables must be letters of C, L, D and S, each at most once!";
    const std::vector<BadValue> cases = {
        {{"-interval", "0"}, interval_error},
        {{"-interval", "-1"}, interval_error},
        {{"-interval", "-0.5"}, interval_error},
        {{"-interval", "abc"}, interval_error},
        {{"-interval", "1s"}, interval_error},
        {{"-interval", "nan"}, interval_error},
        {{"-antenna_delta", "1.5,0"}, delta_error},
        {{"-antenna_delta", "1.5,0,x"}, delta_error},
        {{"-antenna_delta", "1,2,3,4"}, delta_error},
        {{"-antenna_delta", "1.5;0;0"}, delta_error},
        {{"-antenna_delta", "1e9,0,0"}, "Error: -antenna_delta values must lie within +/-99999999 m!"},
        {{"-start", "2024-03-05 12:00:00"}, "Error: -start" + time_error},
        {{"-start", "2024-3-5T12:00:00"}, "Error: -start" + time_error},
        {{"-start", "2024-02-30T12:00:00"}, "Error: -start" + time_error},
        {{"-end", "2024-03-05T24:00:00"}, "Error: -end" + time_error},
        {{"-end", "2024-03-05T12:00:60"}, "Error: -end" + time_error},
        {{"-end", "2024-03-05T12:00:00."}, "Error: -end" + time_error},
        {{"-end", "2024-03-05T12:00:00Z"}, "Error: -end" + time_error},
        {{"-start", "2024-03-05T12:00:01", "-end", "2024-03-05T12:00:00.5"}, "Error: -end is before -start!"},
        {{"-end", "2024-03-05T12:00:00", "-start", "2024-03-05T12:00:00.001"},
         "Error: -end is before -start!"},
        {{"-marker_name", std::string(61, 'M')}, "Error: -marker_name is longer than 60 characters!"},
        {{"-antenna_number", std::string(21, 'N')}, "Error: -antenna_number is longer than 20 characters!"},
        {{"-antenna_type", "TRM59800.00     NONEX"}, "Error: -antenna_type is longer than 20 characters!"},
        {{"-receiver_type", std::string(21, 'R')}, "Error: -receiver_type is longer than 20 characters!"},
        {{"-observer", std::string(21, 'O')}, "Error: -observer is longer than 20 characters!"},
        {{"-agency", std::string(41, 'A')}, "Error: -agency is longer than 40 characters!"},
        {{"-observer", "J\xc3\xbcrgen"}, "Error: -observer must be printable ASCII text!"},
        // 19 characters, 23 bytes: refused as non-ASCII, whatever its length.
        {{"-observer",
          "\xc3\x89quipe G\xc3\xa9od\xc3\xa9sie S\xc3\xbc"
          "d"},
         "Error: -observer must be printable ASCII text!"},
        {{"-agency", std::string(41, 'A') + "\xc3\xa9"}, "Error: -agency must be printable ASCII text!"},
        {{"-output_dir", ""}, "Error: -output_dir requires a value!"},
        {{"-approx_position", "4000000,500000"}, position_error},
        {{"-approx_position", "Auto"}, position_error},
        {{"-approx_position", "0,0,-1e8"}, "Error: -approx_position values must lie within +/-99999999 m!"},
        {{"-observables", ""}, kinds_error},
        {{"-observables", "CLDSC"}, kinds_error},
        {{"-observables", "CLX"}, kinds_error},
        {{"-observables", "cl"}, kinds_error},
        {{"-compress", "zip"}, "Error: -compress must be gz, crx or crx.gz!"},
        {{"-compress", "crx.gz.gz"}, "Error: -compress must be gz, crx or crx.gz!"},
        // A good option before a bad one creates no folder either.
        {{"-output_dir", "out", "-interval", "0"}, interval_error},
    };
    for (const BadValue& bad : cases) {
        std::vector<std::string> arguments = {"day.vxp"};
        arguments.insert(arguments.end(), bad.options.begin(), bad.options.end());
        SCOPED_TRACE(bad.error);
        EXPECT_EQ(run(arguments, kFailureStatus), (Lines{bad.error, "Argument error, use -h for help"}));
        EXPECT_EQ(dir.entries(), std::set<std::string>{"day.vxp"});
    }
}

TEST_F(Options, EveryOptionWithoutItsValueIsAnArgumentError) {
    for (const char* option : {"-output_dir", "-marker_name", "-antenna_number", "-antenna_type",
                               "-receiver_type", "-observer", "-agency", "-antenna_delta", "-approx_position",
                               "-observables", "-interval", "-start", "-end", "-compress"}) {
        EXPECT_EQ(run({"day.vxp", "-interval", "1", option}, kFailureStatus),
                  (Lines{"Error: " + std::string(option) + " requires a value!",
                         "Argument error, use -h for help"}));
    }
    EXPECT_EQ(dir.entries(), std::set<std::string>{"day.vxp"});
}

TEST_F(Options, HeaderOptionsFillTheSiteRecordsOfEveryObservationFile) {
    // Repeated options: the last one wins; the value is the next word whatever it looks like.
    const Lines printed =
        run({"day.vxp",        "-marker_name",      "first",
             "-marker_name",   "FIELD DAY 7",       "-antenna_number",
             "-interval",      "-antenna_type",     "TRM59800.00     NONE",
             "-receiver_type", "SEPT POLARX5",      "-observer",
             "A. Surveyor",    "-agency",           "Kelvartix Field Services",
             "-antenna_delta", "1.5, 0.1 ,-0.0205", "-approx_position",
             "auto",           "-approx_position",  "4075580.3966,931853.9889,4801568.2012"},
            0);
    EXPECT_EQ(printed.front(), "Loading VXP binary file day.vxp");
    const Lines observation_files = names_ending(dir.path(), "_MO.rnx");
    ASSERT_EQ(observation_files.size(), 2u);  // receivers 0 and 1
    const Lines expected = {
        record("FIELD DAY 7", "MARKER NAME"),
        record("GROUND_CRAFT", "MARKER TYPE"),
        record("A. Surveyor         Kelvartix Field Services", "OBSERVER / AGENCY"),
        record("                    SEPT POLARX5", "REC # / TYPE / VERS"),
        record("-interval           TRM59800.00     NONE", "ANT # / TYPE"),
        record("  4075580.3966   931853.9889  4801568.2012", "APPROX POSITION XYZ"),
        record("        1.5000        0.1000       -0.0205", "ANTENNA: DELTA H/E/N"),
    };
    for (const std::string& name : observation_files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(header_records(dir / name,
                                 {"MARKER NAME", "MARKER TYPE", "OBSERVER / AGENCY", "REC # / TYPE / VERS",
                                  "ANT # / TYPE", "APPROX POSITION XYZ", "ANTENNA: DELTA H/E/N"}),
                  expected);
    }
}

// With "auto", receiver 0 of the sample is placed at its median single-point position, the one the
// summary file gives; receiver 2's base-station records keep their position.
TEST_F(Options, ApproxPositionAutoIsTheMedianSinglePointPosition) {
    fs::copy_file(kSample, dir / "sample.vxp");
    run({"sample.vxp", "-output_dir", "given"}, 0);
    run({"sample.vxp", "-approx_position", "auto", "-output_dir", "auto"}, 0);
    const nlohmann::json position =
        nlohmann::json::parse(read_file(dir / "auto" / "sample.qc.json"))["receivers"][0]["position"];
    char xyz[64];
    std::snprintf(xyz, sizeof xyz, "%14.4f%14.4f%14.4f", position["x"].get<double>(),
                  position["y"].get<double>(), position["z"].get<double>());
    EXPECT_EQ(
        header_records(dir / "auto" / "QRV_00USA_R_20240651200_00U_01S_MO.rnx", {"APPROX POSITION XYZ"}),
        Lines{record(xyz, "APPROX POSITION XYZ")});
    const fs::path receiver2 = "QRV_02USA_S_20240651200_00U_01S_MO.rnx";
    EXPECT_EQ(header_records(dir / "auto" / receiver2, {"APPROX POSITION XYZ"}),
              header_records(dir / "given" / receiver2, {"APPROX POSITION XYZ"}));
}

TEST_F(Options, OutputDirHoldsEveryFileNamedFromTheInputsLastComponent) {
    fs::create_directory(dir / "in");
    fs::rename(dir / "day.vxp", dir / "in" / "day.vxp");
    const Lines printed = run({"in/day.vxp", "-output_dir", "out/a/b/", "-inertial_data", "novatel"}, 0);
    const fs::path out = dir / "out" / "a" / "b";
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"in", "out"}));
    EXPECT_EQ(names_ending(dir / "in", ""), Lines{"day.vxp"});
    EXPECT_EQ(names_ending(out, ".log"), Lines{"day.log"});
    EXPECT_EQ(names_ending(out, ".imr"), Lines{"day.imr"});
    EXPECT_EQ(names_ending(out, ".qc.json"), Lines{"day.qc.json"});
    EXPECT_EQ(names_ending(out, ".rnx").size(), 3u);  // obs and nav of receiver 0, obs of receiver 1
    EXPECT_EQ(split_lines(read_file(out / "day.log")), printed);
}

TEST_F(Options, AnOutputFolderThatCannotBeCreatedStopsTheRunBeforeTheLog) {
    write_file(dir / "blocked", "a file, not a folder");
    EXPECT_EQ(
        run({"day.vxp", "-output_dir", "blocked/sub"}, kFailureStatus),
        Lines{"Error: could not create output folder blocked/sub: " + std::string(std::strerror(ENOTDIR))});
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"blocked", "day.vxp"}));
}

TEST_F(Options, AWindowWithoutEpochsWritesNoRinexFileAndSaysSo) {
    const Lines printed = run({"day.vxp", "-start", "2030-01-01T00:00:00"}, 0);
    const Lines expected = {
        "Loading VXP binary file day.vxp",
        "VXP binary file load complete",
        "Using leap seconds from binary data = 17",
        "Warning: GNSS id 0 has no observation epoch in the selected times; no RINEX files "
        "written for it.",
        "Warning: GNSS id 1 has no observation epoch in the selected times; no RINEX files "
        "written for it.",
        "Warning: GNSS3 data has 1 checksum errors.  Data may be incomplete!"};
    EXPECT_EQ(without_quality_summary(printed), expected);
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"day.log", "day.qc.json", "day.vxp"}));
}

// An observation file cut into its header and its epochs: each epoch line with its data lines,
// and before it the new-site event that precedes it, if any.
struct ObservationFile {
    Lines header;
    std::vector<Lines> epochs;
    Lines times;  // of each epoch line: "2024 03 05 12 01 30.0000000"
};

ObservationFile read_observation_file(const fs::path& file) {
    constexpr std::size_t kFlagColumn = 31;
    ObservationFile parsed;
    Lines event;
    Lines* current = &parsed.header;
    for (const std::string& line : split_lines(read_file(file))) {
        if (line.starts_with(">") && line.size() > kFlagColumn && line[kFlagColumn] == '0') {
            std::string time = line.substr(2, kFlagColumn - 2);
            time.erase(time.find_last_not_of(' ') + 1);
            parsed.times.push_back(time);
            parsed.epochs.push_back(event);
            parsed.epochs.back().push_back(line);
            event.clear();
            current = &parsed.epochs.back();
        } else if (line.starts_with(">")) {
            event = {line};
            current = &event;
        } else {
            current->push_back(line);
        }
    }
    return parsed;
}

// Header lines but the one with the time of the run: the two runs compared may fall in different
// seconds.
Lines without_run_date(Lines lines) {
    std::erase_if(lines, [](const std::string& line) { return label_of(line) == "PGM / RUN BY / DATE"; });
    return lines;
}

// IMR records: 32 bytes each after a 512-byte header, the GPS time of week first.
constexpr std::size_t kImrHeaderSize = 512;
constexpr std::size_t kImrRecordSize = 32;

double imr_record_time(const std::string& imr, std::size_t record) {
    double time = 0.0;
    std::memcpy(&time, imr.data() + kImrHeaderSize + record * kImrRecordSize, sizeof time);
    return time;
}

TEST_F(Options, IntervalStartAndEndOnTheSampleKeepTheEpochsAndRecordsOfTheWindow) {
    fs::copy_file(kSample, dir / "sample.vxp");
    run({"sample.vxp", "-inertial_data", "novatel"}, 0);
    // 12:00:45 to 12:03:30 every 30 s: 12:01:00 ... 12:03:30, across receiver 2's move at 12:03:00.
    run({"sample.vxp", "-end", "2024-03-05T12:03:30", "-interval", "30", "-inertial_data", "novatel",
         "-start", "2024-03-05T12:00:45", "-output_dir", "window"},
        0);
    const fs::path window = dir / "window";
    EXPECT_EQ(names_ending(window, ".rnx"),
              (Lines{"QRV_00USA_R_20240651201_00U_30S_MO.rnx", "QRV_00USA_R_20240651201_00U_MN.rnx",
                     "QRV_02USA_S_20240651201_00U_30S_MO.rnx", "QRV_02USA_S_20240651201_00U_MN.rnx"}));
    const Lines kept_times = {"2024 03 05 12 01  0.0000000", "2024 03 05 12 01 30.0000000",
                              "2024 03 05 12 02  0.0000000", "2024 03 05 12 02 30.0000000",
                              "2024 03 05 12 03  0.0000000", "2024 03 05 12 03 30.0000000"};
    const std::vector<std::pair<std::string, std::string>> files = {
        {"QRV_00USA_R_20240651200_00U_01S_MO.rnx", "QRV_00USA_R_20240651201_00U_30S_MO.rnx"},
        {"QRV_02USA_S_20240651200_00U_01S_MO.rnx", "QRV_02USA_S_20240651201_00U_30S_MO.rnx"}};
    for (const auto& [whole_name, thinned_name] : files) {
        SCOPED_TRACE(thinned_name);
        const ObservationFile all = read_observation_file(dir / whole_name);
        const ObservationFile thinned = read_observation_file(window / thinned_name);
        // The header of the whole file but for the interval and the times of the first and last
        // observations.
        Lines header = all.header;
        for (std::string& line : header) {
            if (label_of(line) == "INTERVAL")
                line = record("    30.000", "INTERVAL");
            if (label_of(line) == "TIME OF FIRST OBS")
                line = record("  2024     3     5    12     1    0.0000000     GPS", "TIME OF FIRST OBS");
            if (label_of(line) == "TIME OF LAST OBS")
                line = record("  2024     3     5    12     3   30.0000000     GPS", "TIME OF LAST OBS");
        }
        EXPECT_EQ(without_run_date(thinned.header), without_run_date(header));
        // Every kept epoch as the whole file has it, receiver 2's new-site event included.
        ASSERT_EQ(thinned.times, kept_times);
        for (std::size_t i = 0; i < kept_times.size(); ++i) {
            const std::size_t at = static_cast<std::size_t>(
                std::find(all.times.begin(), all.times.end(), kept_times[i]) - all.times.begin());
            ASSERT_LT(at, all.epochs.size());
            EXPECT_EQ(thinned.epochs[i], all.epochs[at]);
        }
    }
    // The navigation files keep every record; only their names follow the first kept epoch.
    EXPECT_EQ(without_run_date(read_lines(window / "QRV_00USA_R_20240651201_00U_MN.rnx")),
              without_run_date(read_lines(dir / "QRV_00USA_R_20240651200_00U_MN.rnx")));
    // The IMR file: the same header, the records from 12:00:45 to 12:03:30 (time of week 216045 to
    // 216210), not thinned.
    const std::string all_imr = read_file(dir / "sample.imr");
    const std::string window_imr = read_file(window / "sample.imr");
    std::string expected_imr = all_imr.substr(0, kImrHeaderSize);
    for (std::size_t i = 0; i < (all_imr.size() - kImrHeaderSize) / kImrRecordSize; ++i) {
        const double time = imr_record_time(all_imr, i);
        if (time >= 216045.0 - 0.001 && time <= 216210.0 + 0.001)
            expected_imr += all_imr.substr(kImrHeaderSize + i * kImrRecordSize, kImrRecordSize);
    }
    EXPECT_EQ((expected_imr.size() - kImrHeaderSize) / kImrRecordSize, 16501u);  // 165 s at 100 Hz
    EXPECT_TRUE(window_imr == expected_imr);
}

}  // namespace
