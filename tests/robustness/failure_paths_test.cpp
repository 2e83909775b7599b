// Output files that cannot be written, through the built program: every failing file is named
// with its reason on one line, the other files are still written, and the run ends with exit
// code -1. The causes are ones root cannot override: a removed working directory, a file name
// leading into a missing directory, /dev/full, a tiny file system, and an unprivileged user.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iterator>
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
constexpr int kEpochs = 3;
// Enough epochs for an observation file several times larger than the tiny file system.
constexpr int kManyEpochs = 300;
constexpr std::size_t kTinyFileSystem = 16 * 1024;
constexpr const char* kInput = "../in/day.bin";  // from the working directory
constexpr const char* kImr = "../in/day.imr";
// The header line that carries the time of the run; it differs between two runs.
constexpr const char* kRunDateLabel = "PGM / RUN BY / DATE";

const std::string kNoEntry = "No such file or directory";
const std::string kNoSpace = "No space left on device";
const std::string kNoPermission = "Permission denied";
const std::string kReadOnly = "Read-only file system";
const std::string kTooLarge = "File too large";

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string without_run_date(const std::string& text) {
    std::string kept;
    for (const std::string& line : split_lines(text)) {
        if (line.find(kRunDateLabel) == std::string::npos)
            kept += line + "\n";
    }
    return kept;
}

// The test directory holds in/day.bin (the input, where the log and IMR files go) and work/ (the
// working directory, where the RINEX files go).
class FailurePaths : public ::testing::Test {
  protected:
    void SetUp() override { make_layout(dir, sample_log(kEpochs)); }

    static void make_layout(const TempDir& where, const std::vector<uint8_t>& log) {
        fs::create_directory(where / "in");
        fs::create_directory(where / "work");
        write_file(where / "in" / "day.bin", log);
    }

    fs::path work() const { return dir / "work"; }
    fs::path in() const { return dir / "in"; }

    // Runs the conversion with an IMR file; checks that standard output after the banner and the
    // log file hold the same lines, and that nothing went to standard error.
    Lines run(int expected_exit_code, const ChildPreparation& prepare = {}) {
        const ProgramRun result = run_kelvartix(work(), {kInput, "-inertial_data", "novatel"}, prepare);
        EXPECT_EQ(result.setup_error, "");
        EXPECT_EQ(result.exit_code, expected_exit_code);
        EXPECT_EQ(result.err, "");
        const Lines lines = lines_after_banner(result.out);
        EXPECT_EQ(split_lines(read_file(in() / "day.log")), lines);
        return lines;
    }

    // The RINEX files of a complete run of the same log, by name: observation files of receiver
    // indexes 0 and 2 and the navigation file of 0, in name order.
    void make_reference(const std::vector<uint8_t>& log) {
        make_layout(reference, log);
        const ProgramRun result = run_kelvartix(reference / "work", {kInput, "-inertial_data", "novatel"});
        ASSERT_EQ(result.exit_code, 0);
        for (const auto& entry : fs::directory_iterator(reference / "work"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        ASSERT_EQ(names.size(), 3u);
        ASSERT_TRUE(names[0].ends_with("_MO.rnx") && names[1].ends_with("_MN.rnx") &&
                    names[2].ends_with("_MO.rnx"));
    }

    // The file is complete: as in the reference run, but for the time of the run.
    void expect_complete(const std::string& name) {
        const std::string written = read_file(work() / name);
        EXPECT_FALSE(written.empty()) << name;
        EXPECT_EQ(without_run_date(written), without_run_date(read_file(reference / "work" / name))) << name;
    }

    void expect_complete_imr() {
        EXPECT_EQ(read_file(in() / "day.imr"), read_file(reference / "in" / "day.imr"));
    }

    const std::string& obs0() const { return names[0]; }
    const std::string& nav0() const { return names[1]; }
    const std::string& obs2() const { return names[2]; }

    static std::string cannot_write(const std::string& name, const std::string& reason) {
        return "Error: could not write " + name + ": " + reason;
    }

    TempDir dir;
    TempDir reference;
    Lines names;
};

const Lines kLoaded = {"Loading VXP binary file ../in/day.bin", "VXP binary file load complete",
                       "Using leap seconds from binary data = 18"};
const Lines kImrWritten = {"Writing inertial data to IMR file... done."};
const Lines kRinexWritten = {"Writing RINEX obs file for GNSS id 0... ", "done.",
                             "Writing RINEX nav file for GNSS id 0... ", "done.",
                             "Writing RINEX obs file for GNSS id 2... ", "done."};

TEST_F(FailurePaths, ARemovedWorkingDirectoryFailsEveryRinexFileButNotTheImrFile) {
    make_reference(sample_log(kEpochs));
    const Lines lines = run(kFailureStatus, remove_working_directory);
    const Lines expected = kLoaded +
                           Lines{cannot_write(obs0(), kNoEntry), cannot_write(nav0(), kNoEntry),
                                 cannot_write(obs2(), kNoEntry)} +
                           kImrWritten;
    EXPECT_EQ(without_quality_summary(lines), expected);
    EXPECT_FALSE(fs::exists(work()));
    expect_complete_imr();
}

TEST_F(FailurePaths, AReadOnlyWorkingDirectoryForAnUnprivilegedUser) {
    make_reference(sample_log(kEpochs));
    // The user must reach the input and may write beside it, but not in the working directory.
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(in(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(work(),
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::replace);
    if (!reachable_by_others(dir.path()) || !reachable_by_others(KELVARTIX_BINARY))
        GTEST_SKIP() << "the test directory or the program is out of reach of an unprivileged user";
    const Lines lines = run(kFailureStatus, drop_privileges);
    const Lines expected = kLoaded +
                           Lines{cannot_write(obs0(), kNoPermission), cannot_write(nav0(), kNoPermission),
                                 cannot_write(obs2(), kNoPermission)} +
                           kImrWritten;
    EXPECT_EQ(without_quality_summary(lines), expected);
    EXPECT_TRUE(fs::is_empty(work()));
    expect_complete_imr();
}

TEST_F(FailurePaths, AReadOnlyFileSystemAsWorkingDirectory) {
    make_reference(sample_log(kEpochs));
    const fs::path target = work();
    const ChildPreparation read_only = [&] { return mount_tiny_tmpfs(target, kTinyFileSystem, true); };
    const ProgramRun probe = run_kelvartix(work(), {"-h"}, read_only);
    if (!probe.setup_error.empty())
        GTEST_SKIP() << "no private tmpfs here: " << probe.setup_error;

    const Lines lines = run(kFailureStatus, read_only);
    const Lines expected = kLoaded +
                           Lines{cannot_write(obs0(), kReadOnly), cannot_write(nav0(), kReadOnly),
                                 cannot_write(obs2(), kReadOnly)} +
                           kImrWritten;
    EXPECT_EQ(without_quality_summary(lines), expected);
    expect_complete_imr();
}

TEST_F(FailurePaths, ARinexFileThatCannotBeCreatedLeavesTheOthersWritten) {
    make_reference(sample_log(kEpochs));
    // A name that leads into a directory that does not exist.
    fs::create_symlink(dir / "missing" / "obs.rnx", work() / obs0());
    const Lines lines = run(kFailureStatus);
    const Lines expected = kLoaded +
                           Lines{cannot_write(obs0(), kNoEntry), "Writing RINEX nav file for GNSS id 0... ",
                                 "done.", "Writing RINEX obs file for GNSS id 2... ", "done."} +
                           kImrWritten;
    EXPECT_EQ(without_quality_summary(lines), expected);
    expect_complete(nav0());
    expect_complete(obs2());
    expect_complete_imr();
}

TEST_F(FailurePaths, ARinexFileOnAFullDeviceLeavesTheOthersWritten) {
    make_reference(sample_log(kEpochs));
    fs::create_symlink("/dev/full", work() / nav0());
    const Lines lines = run(kFailureStatus);
    const Lines expected = kLoaded +
                           Lines{"Writing RINEX obs file for GNSS id 0... ", "done.",
                                 "Writing RINEX nav file for GNSS id 0... ", cannot_write(nav0(), kNoSpace),
                                 "Writing RINEX obs file for GNSS id 2... ", "done."} +
                           kImrWritten;
    EXPECT_EQ(without_quality_summary(lines), expected);
    expect_complete(obs0());
    expect_complete(obs2());
    expect_complete_imr();
}

TEST_F(FailurePaths, RinexFilesOnAFullFileSystem) {
    const std::vector<uint8_t> log = sample_log(kManyEpochs);
    make_reference(log);
    write_file(in() / "day.bin", log);
    const fs::path target = work();
    const ProgramRun probe =
        run_kelvartix(work(), {"-h"}, [&] { return mount_tiny_tmpfs(target, kTinyFileSystem); });
    if (!probe.setup_error.empty())
        GTEST_SKIP() << "no private tmpfs here: " << probe.setup_error;

    const Lines lines = run(kFailureStatus, [&] { return mount_tiny_tmpfs(target, kTinyFileSystem); });
    // A file that failed leaves nothing behind: the small navigation file finds room after it.
    const Lines expected = kLoaded +
                           Lines{"Writing RINEX obs file for GNSS id 0... ", cannot_write(obs0(), kNoSpace),
                                 "Writing RINEX nav file for GNSS id 0... ", "done.",
                                 "Writing RINEX obs file for GNSS id 2... ", cannot_write(obs2(), kNoSpace)} +
                           kImrWritten;
    EXPECT_EQ(without_quality_summary(lines), expected);
    // The tmpfs was the child's own: nothing is left in the real working directory.
    EXPECT_TRUE(fs::is_empty(work()));
    expect_complete_imr();
}

TEST_F(FailurePaths, RinexFilesLargerThanTheFileSizeLimit) {
    const std::vector<uint8_t> log = sample_log(kManyEpochs);
    make_reference(log);
    write_file(in() / "day.bin", log);
    write_file(work() / obs0(), std::string("an older file\n"));
    const Lines lines = run(kFailureStatus, [] { return limit_file_size(kTinyFileSystem); });
    const Lines expected =
        kLoaded + Lines{"Writing RINEX obs file for GNSS id 0... ", cannot_write(obs0(), kTooLarge),
                        "Writing RINEX nav file for GNSS id 0... ", "done.",
                        "Writing RINEX obs file for GNSS id 2... ", cannot_write(obs2(), kTooLarge),
                        "Writing inertial data to IMR file... ",    cannot_write(kImr, kTooLarge),
                        "Error writing novatel inertial data file!"};
    EXPECT_EQ(without_quality_summary(lines), expected);
    // No partial file, no temporary file; the older file keeps its bytes.
    EXPECT_EQ(std::distance(fs::directory_iterator(work()), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(in()), fs::directory_iterator()), 2);  // input and log
    EXPECT_EQ(read_file(work() / obs0()), "an older file\n");
    expect_complete(nav0());
}

// Ctrl-C or a request to terminate while a whole file waits for its name: the temporary files of
// every file begun are removed, the older file keeps its bytes, and the run ends with exit code -1.
TEST_F(FailurePaths, AnInterruptedRunLeavesNoTemporaryFile) {
    make_reference(sample_log(kEpochs));
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        write_file(work() / obs0(), std::string("an older file\n"));
        const ProgramRun result = run_kelvartix(work(), {kInput, "-inertial_data", "novatel"},
                                                [&] { return signal_before_first_rename(signal_number); });
        EXPECT_EQ(result.setup_error, "");
        EXPECT_EQ(result.exit_code, kFailureStatus);
        // Every file is being written at once; their messages come when they are done.
        EXPECT_EQ(split_lines(read_file(in() / "day.log")), kLoaded);
        EXPECT_EQ(std::distance(fs::directory_iterator(work()), fs::directory_iterator()), 1);
        EXPECT_EQ(read_file(work() / obs0()), "an older file\n");
    }
}

TEST_F(FailurePaths, AnImrFileOnAFullDevice) {
    make_reference(sample_log(kEpochs));
    fs::create_symlink("/dev/full", in() / "day.imr");
    const Lines lines = run(kFailureStatus);
    const Lines expected = kLoaded + kRinexWritten +
                           Lines{"Writing inertial data to IMR file... ", cannot_write(kImr, kNoSpace),
                                 "Error writing novatel inertial data file!"};
    EXPECT_EQ(without_quality_summary(lines), expected);
    for (const std::string& name : names)
        expect_complete(name);
}

TEST_F(FailurePaths, AnImrFileThatCannotBeCreated) {
    make_reference(sample_log(kEpochs));
    fs::create_symlink(dir / "missing" / "day.imr", in() / "day.imr");
    const Lines lines = run(kFailureStatus);
    const Lines expected = kLoaded + kRinexWritten +
                           Lines{cannot_write(kImr, kNoEntry), "Error writing novatel inertial data file!"};
    EXPECT_EQ(without_quality_summary(lines), expected);
    for (const std::string& name : names)
        expect_complete(name);
}

TEST_F(FailurePaths, ADirectoryAsInputIsNotALoadAndLeavesNoLog) {
    fs::remove(in() / "day.bin");
    fs::create_directory(in() / "day.bin");
    const ProgramRun result = run_kelvartix(work(), {kInput, "-inertial_data", "novatel"});
    EXPECT_EQ(result.exit_code, kFailureStatus);
    EXPECT_EQ(lines_after_banner(result.out),
              (Lines{"Error opening VXP binary file!", std::string(kInput) + ": Is a directory"}));
    EXPECT_TRUE(fs::is_empty(work()));
    EXPECT_EQ(std::distance(fs::directory_iterator(in()), fs::directory_iterator()), 1);
}

TEST_F(FailurePaths, AnInputThatMayNotBeReadIsNamedWithTheReason) {
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(in(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(in() / "day.bin", fs::perms::none, fs::perm_options::replace);
    if (!reachable_by_others(in()) || !reachable_by_others(KELVARTIX_BINARY))
        GTEST_SKIP() << "the test directory or the program is out of reach of an unprivileged user";
    const Lines lines = run(kFailureStatus, drop_privileges);
    EXPECT_EQ(lines, (Lines{"Loading VXP binary file ../in/day.bin", "Error opening VXP binary file!",
                            std::string(kInput) + ": " + kNoPermission}));
    EXPECT_TRUE(fs::is_empty(work()));
    EXPECT_FALSE(fs::exists(in() / "day.imr"));
}

}  // namespace
}  // namespace robustness
