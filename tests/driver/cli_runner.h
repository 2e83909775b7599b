// Runs the built kelvartix executable in a given working directory and captures what it prints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CliResult {
    int exit_code = -1000;  // the process status as a POSIX parent sees it (-1 shows as 255)
    std::string out;
    std::string err;
};

CliResult run_kelvartix(const std::filesystem::path& working_directory,
                        const std::vector<std::string>& arguments);

// The seven banner lines that every run prints first.
std::vector<std::string> banner_lines();
