// Runs the built kelvartix in a child process prepared for a failure: a removed working directory,
// an unprivileged user, a private tiny file system. Captures what the program printed.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace robustness {

struct ProgramRun {
    int exit_code = -1000;    // as a POSIX parent sees it: exit code -1 shows as 255
    std::string out;          // standard output
    std::string err;          // standard error
    std::string setup_error;  // what the preparation in the child could not do; empty when it could
};

// Prepares the child after it changed into the working directory and before the program runs.
// Returns an empty string, or what failed. Runs in the forked child: it may change the process
// (its directory, user, mount namespace) but not the test's.
using ChildPreparation = std::function<std::string()>;

ProgramRun run_kelvartix(const std::filesystem::path& working_directory,
                         const std::vector<std::string>& arguments, const ChildPreparation& prepare = {});

// Preparations.
// Removes the (empty) working directory while the child stands in it: nothing can be created there,
// whoever the user is.
std::string remove_working_directory();
// Becomes the unprivileged user "nobody" when running as root, so that permissions apply.
std::string drop_privileges();
// Mounts a tmpfs of `bytes` at `target` (read-only when asked) in a mount namespace of the child's
// own, which disappears with the child; changes into the working directory again so that it lies
// on the new mount when that is the target.
std::string mount_tiny_tmpfs(const std::filesystem::path& target, std::size_t bytes, bool read_only = false);

// Whether a user other than the owner can reach `path` (every directory on the way searchable by
// others) and, for a file, read and execute it.
bool reachable_by_others(const std::filesystem::path& path);

}  // namespace robustness
