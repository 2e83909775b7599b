// Runs the built kelvartix (path given by the build) with fork and exec; a setup failure in the
// child is reported back through a close-on-exec pipe.
#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "test_support.h"

namespace robustness {
namespace {

constexpr int kSetupFailed = 125;
constexpr int kSignalBase = 128;
constexpr uid_t kNobody = 65534;

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

std::string remove_working_directory() {
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr)
        return errno_text("getcwd");
    if (rmdir(here) != 0)
        return errno_text("rmdir");
    return "";
}

std::string drop_privileges() {
    if (geteuid() != 0)
        return "";
    if (setgroups(0, nullptr) != 0)
        return errno_text("setgroups");
    if (setresgid(kNobody, kNobody, kNobody) != 0)
        return errno_text("setresgid");
    if (setresuid(kNobody, kNobody, kNobody) != 0)
        return errno_text("setresuid");
    return "";
}

std::string mount_tiny_tmpfs(const std::filesystem::path& target, std::size_t bytes, bool read_only) {
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr)
        return errno_text("getcwd");
    if (unshare(CLONE_NEWNS) != 0)
        return errno_text("unshare");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return errno_text("mount --make-rprivate /");
    const std::string options = "size=" + std::to_string(bytes);
    const unsigned long flags = MS_NOSUID | MS_NODEV | (read_only ? MS_RDONLY : 0);
    if (mount("tmpfs", target.c_str(), "tmpfs", flags, options.c_str()) != 0)
        return errno_text("mount tmpfs");
    if (chdir(here) != 0)
        return errno_text("chdir");
    return "";
}

bool reachable_by_others(const std::filesystem::path& path) {
    const std::filesystem::path absolute = std::filesystem::absolute(path);
    struct stat status {};
    if (stat(absolute.c_str(), &status) != 0)
        return false;
    if (S_ISREG(status.st_mode) && (status.st_mode & (S_IROTH | S_IXOTH)) != (S_IROTH | S_IXOTH))
        return false;
    for (std::filesystem::path up = absolute.parent_path();; up = up.parent_path()) {
        if (stat(up.c_str(), &status) != 0 || (status.st_mode & S_IXOTH) == 0)
            return false;
        if (up == up.root_path())
            return true;
    }
}

}  // namespace robustness
