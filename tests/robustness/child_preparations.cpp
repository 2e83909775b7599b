// Preparations of the program's child process for the failure-path tests, and a check of what
// another user may reach.
#include "child_preparations.h"

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace robustness {
namespace {

constexpr uid_t kNobody = 65534;

std::string errno_text(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

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

std::string limit_file_size(std::size_t bytes) {
    const struct rlimit limit = {bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return errno_text("setrlimit");
    // An ignored signal stays ignored through exec.
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
        return errno_text("signal");
    return "";
}

std::string signal_before_first_rename(int signal_number) {
    // The hook is loaded before a sanitizer's runtime, which would refuse that order.
    if (setenv("LD_PRELOAD", KELVARTIX_INTERRUPT_HOOK, 1) != 0 ||
        setenv("KELVARTIX_TEST_SIGNAL", std::to_string(signal_number).c_str(), 1) != 0 ||
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1) != 0)
        return errno_text("setenv");
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
