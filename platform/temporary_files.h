// Files that replace others only once they are whole: a new file beside the one it will replace,
// under a name no other file or run takes, and the system's own answer to "may this be written?".
#pragma once

#include <cstdio>
#include <filesystem>
#include <system_error>

// Creates a new, empty file for writing in the folder of `final_path`, under a hidden name made of
// the final name, this process's id, a number and ".tmp", never one that exists already (the
// creation is exclusive, so two runs at once cannot share it). The final name is shortened in it
// where the whole would be longer than a file name may be. Its permissions are those std::fopen
// would give a new file. Puts the path in `temporary_path`; null, with errno set, when no such file
// can be created. The file is registered for removal on an interruption (temporary_registry.h)
// until rename_temporary or remove_temporary.
std::FILE* create_temporary_beside(const std::filesystem::path& final_path,
                                   std::filesystem::path& temporary_path);

// Gives the closed temporary file its final name, replacing a file of that name; `error` says why
// not, and the temporary file then stays for remove_temporary.
void rename_temporary(const std::filesystem::path& temporary_path, const std::filesystem::path& final_path,
                      std::error_code& error);

// Removes the temporary file (nothing when it is gone).
void remove_temporary(const std::filesystem::path& temporary_path);

// 0 when the existing file at `path` may be opened for writing, otherwise the errno of the refusal.
// The file is neither created nor changed.
int write_access_error(const std::filesystem::path& path);
