// A file whose reads fail in the middle: a one-file FUSE file system, served by a process of its
// own inside a private mount namespace, that returns the file's bytes up to a given offset and an
// I/O error for every read from there on. Used to test a read error during a load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace robustness {

// The name of the one file under the mount point.
inline constexpr const char* kFailingFileName = "day.bin";

// To be run in a child process that is about to exec the program under test: makes a private
// mount namespace, mounts the file system at `mount_point` and forks its server, which ends with
// the exec'd program. Reads at or past `fail_from` fail with EIO. Returns an empty string, or
// what could not be done.
std::string serve_failing_file(const std::filesystem::path& mount_point, const std::vector<uint8_t>& content,
                               std::size_t fail_from);

}  // namespace robustness
