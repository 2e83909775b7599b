// Runs the built kelvartix executable (path given by the build) with fork and exec; on Windows
// tests/windows/cli_runner_win32.cpp runs it.
#include "cli_runner.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

std::vector<std::string> banner_lines() {
    const std::string rule(97, '-');
    return {"", "", rule, "kelvartix V1.1", "Kestravonic VXP Binary file to RINEX 3.05 Converter:", rule, ""};
}

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kExecFailed = 127;
constexpr int kSignalBase = 128;

}  // namespace

CliResult run_kelvartix(const std::filesystem::path& working_directory,
                        const std::vector<std::string>& arguments) {
    TempDir capture;
    const std::string out_path = (capture / "stdout").string();
    const std::string err_path = (capture / "stderr").string();

    std::vector<std::string> words = {KELVARTIX_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    CliResult result;
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || chdir(working_directory.c_str()) != 0 || dup2(out, STDOUT_FILENO) < 0 ||
            dup2(err, STDERR_FILENO) < 0) {
            _exit(kExecFailed);
        }
        execv(argv[0], argv.data());
        _exit(kExecFailed);
    }
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        ADD_FAILURE() << "waitpid failed";
        return result;
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalBase + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}
#endif
