// flush_console_log: the same characters, in the same order, to standard output and the log file.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <iomanip>
#include <string>

#include "settings_reset.h"
#include "tests/support/temp_dir.h"

namespace {

class ConsoleLogFlush : public FreshRunSettings {};

TEST_F(ConsoleLogFlush, WithoutALogFileGoesToStandardOutputOnly) {
    ::testing::internal::CaptureStdout();
    run_settings.console_log << "Loading VXP binary file a.bin" << std::endl;
    flush_console_log();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Loading VXP binary file a.bin\n");
    EXPECT_EQ(run_settings.console_log.str(), "");
}

TEST_F(ConsoleLogFlush, CopiesPiecesOfALineToBothSinksAndEmptiesTheBuffer) {
    TempDir dir;
    const auto log_path = dir / "run.log";
    run_settings.log_file.open(log_path, std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
    ASSERT_TRUE(run_settings.log_file.is_open());

    ::testing::internal::CaptureStdout();
    run_settings.console_log << "Writing inertial data to IMR file... ";
    flush_console_log();
    // The log file is flushed with each message: it already holds the piece.
    EXPECT_EQ(read_file(log_path), "Writing inertial data to IMR file... ");
    EXPECT_EQ(run_settings.console_log.str(), "");
    run_settings.console_log << "done." << std::endl << "count " << 42u << ' ' << std::setprecision(3) << 2.5;
    flush_console_log();
    flush_console_log();  // nothing accumulated: nothing written
    const std::string expected = "Writing inertial data to IMR file... done.\ncount 42 2.5";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), expected);
    EXPECT_EQ(read_file(log_path), expected);
    run_settings.log_file.close();
}

TEST_F(ConsoleLogFlush, KeepsWorkingAfterAFailedInsertion) {
    ::testing::internal::CaptureStdout();
    run_settings.console_log.setstate(std::ios::failbit);
    flush_console_log();
    run_settings.console_log << "after" << std::endl;
    flush_console_log();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "after\n");
}

TEST_F(ConsoleLogFlush, PushesAnUnfinishedLineOutAtOnce) {
    // Standard output into a pipe is block-buffered: only an explicit flush makes the progress
    // text readable before its line is finished.
#ifdef _WIN32
    GTEST_SKIP() << "standard output is redirected into a pipe with POSIX calls";
#else
    std::fflush(stdout);
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    const int saved_stdout = dup(STDOUT_FILENO);
    dup2(pipe_ends[1], STDOUT_FILENO);

    run_settings.console_log << "Writing inertial data to IMR file... ";
    flush_console_log();
    fcntl(pipe_ends[0], F_SETFL, O_NONBLOCK);
    char seen[100];
    const ssize_t count = read(pipe_ends[0], seen, sizeof seen);

    run_settings.console_log << "done." << std::endl;
    flush_console_log();
    std::fflush(stdout);
    dup2(saved_stdout, STDOUT_FILENO);
    close(saved_stdout);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    EXPECT_EQ(std::string(seen, count > 0 ? static_cast<std::size_t>(count) : 0),
              "Writing inertial data to IMR file... ");
#endif
}

}  // namespace
