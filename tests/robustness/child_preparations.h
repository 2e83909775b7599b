// Preparations of the program's child process for the failure-path tests (run_kelvartix's
// ChildPreparation), and a check of what another user may reach.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace robustness {

// Removes the (empty) working directory while the child stands in it: nothing can be created there,
// whoever the user is.
std::string remove_working_directory();
// Becomes the unprivileged user "nobody" when running as root, so that permissions apply.
std::string drop_privileges();
// Mounts a tmpfs of `bytes` at `target` (read-only when asked) in a mount namespace of the child's
// own, which disappears with the child; changes into the working directory again so that it lies
// on the new mount when that is the target.
std::string mount_tiny_tmpfs(const std::filesystem::path& target, std::size_t bytes, bool read_only = false);

// Limits every file the child writes to `bytes` (RLIMIT_FSIZE) and ignores SIGXFSZ, so that a
// write past the limit fails with EFBIG as on a full disk: the full-disk case on any POSIX system.
std::string limit_file_size(std::size_t bytes);
// Preloads the hook library (interrupt_hook.c) that sends the program `signal_number` just before
// its first rename of a temporary file, when that file is whole and not yet named.
std::string signal_before_first_rename(int signal_number);

// Whether a user other than the owner can reach `path` (every directory on the way searchable by
// others) and, for a file, read and execute it.
bool reachable_by_others(const std::filesystem::path& path);

}  // namespace robustness
