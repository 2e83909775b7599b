// A read error in the middle of the input, through the built program: the input is a file on a
// file system of the test's own whose reads fail past a given offset (failing_file.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "failing_file.h"
#include "packet_catalogue.h"
#include "tests/support/lines.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace robustness {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr int kFailureStatus = 255;      // exit code -1 as a POSIX parent sees it
constexpr int kEpochs = 20;              // about 14 KB of log
constexpr std::size_t kFailFrom = 8192;  // two of the C library's 4 KiB reads succeed first

class ReadError : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(dir / "in");
        fs::create_directory(dir / "work");
        fs::create_directory(dir / "mnt");
        // The log file goes beside the input's name: the name lies on a real disk, the bytes on
        // the failing file system.
        fs::create_symlink(dir / "mnt" / kFailingFileName, dir / "in" / "day.bin");
        ASSERT_GT(log.size(), 3 * kFailFrom / 2);
    }

    // Runs the conversion of the file served with reads failing from `fail_from`; skips when
    // this machine cannot mount such a file system.
    Lines run(std::size_t fail_from, int expected_exit_code) {
        const fs::path mount_point = dir / "mnt";
        const ProgramRun result =
            run_kelvartix(dir / "work", {"../in/day.bin", "-inertial_data", "novatel"},
                          [&] { return serve_failing_file(mount_point, log, fail_from); });
        if (!result.setup_error.empty()) {
            skipped = "no private FUSE mount here: " + result.setup_error;
            return {};
        }
        EXPECT_EQ(result.exit_code, expected_exit_code);
        EXPECT_EQ(result.err, "");
        const Lines lines = lines_after_banner(result.out);
        EXPECT_EQ(split_lines(read_file(dir / "in" / "day.log")), lines);
        return lines;
    }

    TempDir dir;
    const std::vector<uint8_t> log = sample_log(kEpochs);
    std::string skipped;
};

TEST_F(ReadError, AFileSystemThatReadsWellConvertsCompletely) {
    // The same set-up without a failing read: whatever the next test sees comes from the error.
    const Lines lines = run(log.size() + 1, 0);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "VXP binary file load complete");
    EXPECT_EQ(without_quality_summary(lines).back(), "Writing inertial data to IMR file... done.");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "work"), fs::directory_iterator()), 3);
}

TEST_F(ReadError, AReadErrorInTheMiddleOfTheInputFailsTheLoad) {
    const Lines lines = run(kFailFrom, kFailureStatus);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    const Lines expected = {"Loading VXP binary file ../in/day.bin",
                            "Error reading VXP binary file: Input/output error"};
    EXPECT_EQ(lines, expected);
    // Nothing is written from a partial load.
    EXPECT_TRUE(fs::is_empty(dir / "work"));
    EXPECT_FALSE(fs::exists(dir / "in" / "day.imr"));
}

}  // namespace
}  // namespace robustness
