// Files that replace others only once they are whole: a new file beside the one it will replace,
// under a name no other file or run takes, and the system's own answer to "may this be written?".
#pragma once

#include <cstdio>
#include <filesystem>

// Creates a new, empty file for writing in the folder of `final_path`, under a hidden name made of
// the final name, this process's id, a number and ".tmp", never one that exists already (the
// creation is exclusive, so two runs at once cannot share it). Its permissions are those std::fopen
// would give a new file. Puts the path in `temporary_path`; null, with errno set, when no such file
// can be created.
std::FILE* create_temporary_beside(const std::filesystem::path& final_path,
                                   std::filesystem::path& temporary_path);

// 0 when the existing file at `path` may be opened for writing, otherwise the errno of the refusal.
// The file is neither created nor changed.
int write_access_error(const std::filesystem::path& path);
