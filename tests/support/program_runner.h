// Runs the built kelvartix in a working directory of the test's choosing and captures what it
// prints: fork and exec on POSIX systems (program_runner_posix.cpp), CreateProcessW on Windows
// (program_runner_win32.cpp). The build gives the program's path.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct ProgramRun {
    int exit_code = -1000;    // as a POSIX parent sees it: exit code -1 shows as 255
    std::string out;          // standard output
    std::string err;          // standard error
    std::string setup_error;  // what the preparation of the child could not do; empty when it could
};

// Prepares the child after it changed into the working directory and before the program runs.
// Returns an empty string, or what failed. Runs in the forked child: it may change the process
// (its directory, user, mount namespace) but not the test's. POSIX systems only: on Windows a
// preparation is refused with a setup error.
using ChildPreparation = std::function<std::string()>;

ProgramRun run_kelvartix(const std::filesystem::path& working_directory,
                         const std::vector<std::string>& arguments, const ChildPreparation& prepare = {});

// The seven banner lines that every run prints first.
std::vector<std::string> banner_lines();

// The lines of standard output after the banner; a banner other than banner_lines() fails the test.
std::vector<std::string> lines_after_banner(const std::string& out);
