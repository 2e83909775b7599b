// -split: a day of a simulated log that crosses the GPS week change, converted whole and split.
// Every period with kept epochs has a file named after the period's start and length, with a
// header of its own, and the split files' data records, in order, are the whole file's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/lines.h"

namespace fs = std::filesystem;

namespace {

// 24 h at 0.1 Hz from 23:30 GPS on Saturday 2024-03-09 (day 069) across the week change at
// midnight; receivers 0 and 2 (with base-station records).
constexpr const char* kDayLog =
    "--start 2024-03-09T23:30:00 --duration 86400 --obs-rate 0.1 --receivers 0,2 --systems G,E "
    "--imu-rate 0 --filter-rate 0 --command-interval 0 --eph-interval 3600 --aux-interval 3600 "
    "--base-interval 600 --no-truth-epochs";

class Split : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        whole_ = new Conversion(simulate_and_convert(kDayLog, "-output_dir whole"));
    }
    static void TearDownTestSuite() { delete whole_; }

    // The observation files of the folder, by name.
    static std::map<std::string, std::string> observation_files(const fs::path& dir) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 7 && name.compare(name.size() - 7, 7, "_MO.rnx") == 0)
                files[name] = read_text(entry.path().string());
        }
        return files;
    }
    // The run's folder split with `period`.
    static fs::path split(const std::string& period) {
        const fs::path dir = fs::path(whole_->dir) / ("split-" + period);
        const std::string command = "cd '" + whole_->dir + "' && " + KELVARTIX_BIN +
                                    " log.vxp -output_dir split-" + period + " -split " + period +
                                    " > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << period;
        return dir;
    }
    static std::string data_records(const std::string& file) {
        const std::size_t end_of_header = file.find("END OF HEADER");
        return end_of_header == std::string::npos ? "" : file.substr(file.find('\n', end_of_header) + 1);
    }
    static inline Conversion* whole_ = nullptr;
};

TEST_F(Split, HourlyFilesHoldTheWholeFilesRecordsInOrder) {
    ASSERT_TRUE(whole_->simulated);
    ASSERT_EQ(whole_->exit_code, 0);
    const auto whole = observation_files(fs::path(whole_->dir) / "whole");
    const auto hourly = observation_files(split("1H"));
    for (const std::string station : {"QRV_00USA_R_", "QRV_02USA_S_"}) {
        SCOPED_TRACE(station);
        std::vector<std::string> names;
        std::string records;
        for (const auto& [name, text] : hourly) {
            if (name.rfind(station, 0) != 0)
                continue;
            names.push_back(name);
            records += data_records(text);
        }
        // 23:00 of day 069 (from 23:30), then every hour of day 070 up to 23:00 (until 23:29:50).
        ASSERT_EQ(names.size(), 25u);
        EXPECT_EQ(names.front(), station + "20240692300_01H_10S_MO.rnx");
        EXPECT_EQ(names[1], station + "20240700000_01H_10S_MO.rnx");
        EXPECT_EQ(names.back(), station + "20240702300_01H_10S_MO.rnx");
        const std::string whole_name = station + "20240692330_00U_10S_MO.rnx";
        ASSERT_EQ(whole.count(whole_name), 1u);
        // Compared as a whole: megabytes of text, not to be printed.
        EXPECT_TRUE(records == data_records(whole.at(whole_name)));
    }
}

TEST_F(Split, EachFileHasAHeaderOfItsOwnPeriod) {
    const auto hourly = observation_files(split("01h"));
    const std::vector<std::string> lines = split_lines(hourly.at("QRV_02USA_S_20240700100_01H_10S_MO.rnx"));
    const auto record = [&](const std::string& label) {
        for (const std::string& line : lines) {
            if (line.size() > 60 && line.compare(60, label.size(), label) == 0)
                return line;
        }
        return std::string();
    };
    EXPECT_EQ(record("TIME OF FIRST OBS"),
              "  2024     3    10     1     0    0.0000000     GPS         TIME OF FIRST OBS   ");
    EXPECT_EQ(record("TIME OF LAST OBS"),
              "  2024     3    10     1    59   50.0000000     GPS         TIME OF LAST OBS    ");
    EXPECT_EQ(record("MARKER NAME"),
              "1200                                                        MARKER NAME         ");
}

TEST_F(Split, QuarterHoursAndDaysAreNamedByTheirPeriod) {
    const auto quarters = observation_files(split("15m"));
    EXPECT_EQ(quarters.size(), 2u * 96u);  // 23:30 and 23:45 of day 069, then 94 of day 070
    EXPECT_EQ(quarters.count("QRV_00USA_R_20240692330_15M_10S_MO.rnx"), 1u);
    EXPECT_EQ(quarters.count("QRV_00USA_R_20240702315_15M_10S_MO.rnx"), 1u);
    const auto days = observation_files(split("1D"));
    std::vector<std::string> names;
    for (const auto& entry : days)
        names.push_back(entry.first);
    EXPECT_EQ(names,
              (std::vector<std::string>{
                  "QRV_00USA_R_20240690000_01D_10S_MO.rnx", "QRV_00USA_R_20240700000_01D_10S_MO.rnx",
                  "QRV_02USA_S_20240690000_01D_10S_MO.rnx", "QRV_02USA_S_20240700000_01D_10S_MO.rnx"}));
}

TEST_F(Split, APeriodThatIsNotOneOfTheFilePeriodsIsAnArgumentError) {
    for (const std::string period : {"45M", "2D", "1W", "H", "001H", "1.5H"}) {
        const std::string command =
            "cd '" + whole_->dir + "' && " + KELVARTIX_BIN + " log.vxp -split " + period + " > refused.txt";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 255) << period;
        const std::vector<std::string> lines = split_lines(read_text(whole_->dir + "/refused.txt"));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2],
                  "Error: -split must be one of 15M, 30M, 1H, 2H, 3H, 6H, 12H and 1D!");
    }
}

}  // namespace
