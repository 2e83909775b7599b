// Runs the built kelvartix (path given by the build) with fork and exec; a setup failure in the
// child is reported back through a close-on-exec pipe.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kSetupFailed = 125;
constexpr int kSignalBase = 128;

std::string errno_text(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string read_all(int fd) {
    std::string text;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

ProgramRun run_kelvartix(const std::filesystem::path& working_directory,
                         const std::vector<std::string>& arguments, const ChildPreparation& prepare) {
    TempDir capture;
    const std::string out_path = (capture / "stdout").string();
    const std::string err_path = (capture / "stderr").string();

    std::vector<std::string> words = {KELVARTIX_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    ProgramRun run;
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        run.setup_error = errno_text("pipe");
        return run;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string failure;
        if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0)
            failure = errno_text("capture");
        else if (chdir(working_directory.c_str()) != 0)
            failure = errno_text("chdir");
        else if (prepare)
            failure = prepare();
        if (failure.empty()) {
            execv(argv[0], argv.data());
            failure = errno_text("exec");
        }
        write_all(report[1], failure);
        _exit(kSetupFailed);
    }
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        run.setup_error = errno_text("fork");
        return run;
    }
    run.setup_error = read_all(report[0]);
    close(report[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        run.setup_error = errno_text("waitpid");
        return run;
    }
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalBase + WTERMSIG(status);
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    return run;
}
