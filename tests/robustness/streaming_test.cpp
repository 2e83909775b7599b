// A log streamed through the built program: memory that does not grow with the log (a process
// limit far below the log's size still converts it), one clear line when memory runs out, an input
// that can be read only once (a pipe), and the progress line on a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/lines.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFailureStatus = 255;  // exit code -1 as a POSIX parent sees it
constexpr const char* kRunDateLabel = "PGM / RUN BY / DATE";
// Seven and a half minutes of two 10 Hz receivers, a 500 Hz IMU and filter data: about 47 MB.
constexpr const char* kSimulatedSeconds = "450";
constexpr rlim_t kMegabyte = 1024 * 1024;
// Address space for the whole process (program, libraries, stacks) well under the log's size.
constexpr rlim_t kBelowTheLog = 20 * kMegabyte;
// Enough to start the program, not to convert.
constexpr rlim_t kTooSmall = 9 * kMegabyte;

std::map<std::string, std::string> outputs(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string text;
        for (const std::string& line : split_lines(read_file(entry.path()))) {
            if (line.find(kRunDateLabel) == std::string::npos)
                text += line + "\n";
        }
        files[entry.path().filename().string()] = text;
    }
    return files;
}

ChildPreparation address_space_limit(rlim_t bytes) {
    return [bytes]() -> std::string {
        const rlimit limit{bytes, bytes};
        return setrlimit(RLIMIT_AS, &limit) == 0 ? "" : "setrlimit failed";
    };
}

class Streaming : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        log_ = new TempDir;
        const std::string command = std::string(VXPSIM_BIN) + " -o " + (log_->path() / "day.vxp").string() +
                                    " --duration " + kSimulatedSeconds +
                                    " --receivers 0,2 --systems G,R,E,C --dual-frequency --obs-rate 10"
                                    " --imu-rate 500 --imu-data delta --imu-time shared --filter-rate 100"
                                    " --start 2024-03-05T00:00:00 --seed 7 --no-truth-epochs >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() { delete log_; }

    static fs::path log_path() { return log_->path() / "day.vxp"; }
    // The run in a fresh folder of the test's, with the log given as `input`.
    ProgramRun convert(const std::string& folder, const std::string& input,
                       const ChildPreparation& prepare = {}, const std::string& threads = "2") {
        fs::create_directories(dir_.path() / folder);
        return run_kelvartix(dir_.path() / folder,
                             {input, "-inertial_data", "novatel", "-output_dir", ".", "-threads", threads},
                             prepare);
    }
    std::map<std::string, std::string> reference() {
        if (reference_.empty()) {
            EXPECT_EQ(convert("reference", log_path().string()).exit_code, 0);
            reference_ = outputs(dir_.path() / "reference");
        }
        return reference_;
    }

    TempDir dir_;
    std::map<std::string, std::string> reference_;
    static inline TempDir* log_ = nullptr;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_F(Streaming, ConvertsALogMuchLargerThanItsMemoryLimit) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "the address sanitizer reserves more address space than any such limit";
    ASSERT_GT(fs::file_size(log_path()), 2 * kBelowTheLog);
    // A second thread reserves address space for its stack (8 MB) and its batches of records.
    for (const auto& [threads, limit] :
         {std::pair{"1", kBelowTheLog}, std::pair{"2", kBelowTheLog + 12 * kMegabyte}}) {
        SCOPED_TRACE(threads);
        const std::string folder = std::string("limited") + threads;
        const ProgramRun run = convert(folder, log_path().string(), address_space_limit(limit), threads);
        EXPECT_EQ(run.setup_error, "");
        EXPECT_EQ(run.exit_code, 0) << run.out.substr(0, 2000);
        EXPECT_EQ(outputs(dir_.path() / folder), reference());
    }
}

TEST_F(Streaming, RunningOutOfMemoryEndsWithOneLineAndNoOutputFile) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "the address sanitizer reserves more address space than any such limit";
    const ProgramRun run = convert("starved", log_path().string(), address_space_limit(kTooSmall));
    EXPECT_EQ(run.setup_error, "");
    EXPECT_EQ(run.exit_code, kFailureStatus);
    const std::string error = "Error: not enough memory to convert " + log_path().string() + ".";
    EXPECT_EQ(split_lines(read_file(dir_.path() / "starved" / "day.log")),
              (std::vector<std::string>{"Loading VXP binary file " + log_path().string(), error}));
    // The log alone: no file begun is left, finished or not.
    EXPECT_EQ(outputs(dir_.path() / "starved").size(), 1u);
}

// A named pipe gives the bytes once: they are spooled beside the outputs for the second reading,
// and the spool is gone at the end.
TEST_F(Streaming, AnInputReadOnlyOnceConvertsTheSame) {
    const fs::path fifo = dir_.path() / "piped.vxp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread feeder([&] { write_file(fifo, read_file(log_path())); });
    const ProgramRun run = convert("piped", fifo.string());
    feeder.join();
    EXPECT_EQ(run.exit_code, 0) << run.out;
    std::map<std::string, std::string> expected = reference();
    // The log, IMR and summary files are named after the input.
    for (const std::string extension : {".log", ".imr", ".qc.json"}) {
        expected["piped" + extension] = expected["day" + extension];
        expected.erase("day" + extension);
    }
    std::map<std::string, std::string> piped = outputs(dir_.path() / "piped");
    // The log file's first line names the input.
    ASSERT_TRUE(piped.count("piped.log"));
    EXPECT_EQ(split_lines(piped["piped.log"]).size(), split_lines(expected["piped.log"]).size());
    piped.erase("piped.log");
    expected.erase("piped.log");
    EXPECT_EQ(piped, expected);
}

// On a terminal, standard error shows the progress and erases it; standard output and the log
// file hold what they hold without it.
TEST_F(Streaming, ProgressOnATerminalOnly) {
    int master = -1;
    int terminal = -1;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const fs::path fifo = dir_.path() / "slow.vxp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Half the log, a pause long enough for a redraw, then the rest.
    std::thread feeder([&] {
        const std::string bytes = read_file(log_path());
        const int out = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(out, 0);
        const std::size_t half = bytes.size() / 2;
        EXPECT_EQ(::write(out, bytes.data(), half), static_cast<ssize_t>(half));
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        EXPECT_EQ(::write(out, bytes.data() + half, bytes.size() - half),
                  static_cast<ssize_t>(bytes.size() - half));
        ::close(out);
    });
    const ProgramRun run = convert("slow", fifo.string(), [terminal]() -> std::string {
        return dup2(terminal, STDERR_FILENO) < 0 ? "dup2 failed" : "";
    });
    feeder.join();
    ::close(terminal);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(n));
    ::close(master);
    EXPECT_EQ(run.exit_code, 0);
    // An input of unknown size shows the bytes read; every drawing starts at the line's start and
    // the last one is blanked out.
    EXPECT_NE(shown.find(" MB read "), std::string::npos) << shown;
    EXPECT_EQ(shown.front(), '\r');
    const std::string blank = "\r" + std::string(60, ' ') + "\r";
    EXPECT_EQ(shown.substr(shown.size() - blank.size()), blank);
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
    EXPECT_EQ(read_file(dir_.path() / "slow" / "slow.log").find('\r'), std::string::npos);
}

}  // namespace
