// A full disk in the middle of a run, through the built program: a file that does not fit leaves
// nothing behind, not even a part of itself, and a file that had its name keeps its bytes; a file
// that fits replaces its old one whole. Messages and exit code are those of any failed file.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_preparations.h"
#include "packet_catalogue.h"
#include "tests/support/lines.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace robustness {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr int kFailureStatus = 255;  // exit code -1 as a POSIX parent sees it
constexpr std::ptrdiff_t kBannerLines = 7;
// Observation files several times larger than the file system; the navigation file fits.
constexpr int kManyEpochs = 300;
constexpr std::size_t kTinyFileSystem = 16 * 1024;
constexpr const char* kOldBytes = "a file of an earlier run\n";

Lines entries(const fs::path& folder) {
    Lines names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The lines of a RINEX file but the one with the time of the run, which differs between runs.
Lines without_run_date(const fs::path& file) {
    Lines lines = split_lines(read_file(file));
    std::erase_if(
        lines, [](const std::string& line) { return line.find("PGM / RUN BY / DATE") != std::string::npos; });
    return lines;
}

class AtomicOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const TempDir* where : {&dir, &reference}) {
            fs::create_directory(*where / "in");
            fs::create_directory(*where / "work");
            write_file(*where / "in" / "day.bin", sample_log(kManyEpochs));
        }
    }
    void TearDown() override {
        if (mounted)
            umount2(work().c_str(), MNT_DETACH);
    }
    fs::path work() const { return dir / "work"; }

    TempDir dir;
    TempDir reference;
    bool mounted = false;
};

TEST_F(AtomicOutput, AFullFileSystemLeavesOldFilesAndNoPartOfNewOnes) {
    ASSERT_EQ(run_kelvartix(reference / "work", {"../in/day.bin"}).exit_code, 0);
    const Lines names = entries(reference / "work");
    ASSERT_EQ(names.size(), 3u);
    const std::string &obs0 = names[0], &nav0 = names[1], &obs2 = names[2];
    ASSERT_TRUE(obs0.ends_with("_MO.rnx") && nav0.ends_with("_MN.rnx") && obs2.ends_with("_MO.rnx"));

    // Mounted in this process's own mount namespace (the program inherits it), so that the file
    // system can still be looked at once the program has ended.
    const std::string setup = mount_tiny_tmpfs(work(), kTinyFileSystem);
    if (!setup.empty())
        GTEST_SKIP() << "no private tmpfs here: " << setup;
    mounted = true;
    std::ofstream(work() / obs0) << kOldBytes;
    std::ofstream(work() / nav0) << kOldBytes;

    const ProgramRun run = run_kelvartix(work(), {"../in/day.bin"});
    EXPECT_EQ(run.exit_code, kFailureStatus);
    Lines lines = split_lines(run.out);
    lines.erase(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(kBannerLines, std::ssize(lines)));
    EXPECT_EQ(without_quality_summary(lines),
              (Lines{"Loading VXP binary file ../in/day.bin", "VXP binary file load complete",
                     "Using leap seconds from binary data = 18", "Writing RINEX obs file for GNSS id 0... ",
                     "Error: could not write " + obs0 + ": No space left on device",
                     "Writing RINEX nav file for GNSS id 0... ", "done.",
                     "Writing RINEX obs file for GNSS id 2... ",
                     "Error: could not write " + obs2 + ": No space left on device"}));
    EXPECT_EQ(entries(work()), (Lines{obs0, nav0}));
    EXPECT_EQ(read_file(work() / obs0), kOldBytes);
    EXPECT_EQ(without_run_date(work() / nav0), without_run_date(reference / "work" / nav0));
}

}  // namespace
}  // namespace robustness
