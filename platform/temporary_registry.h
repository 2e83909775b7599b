// The temporary files of this process that exist now, kept where an interruption can reach them:
// on Ctrl-C or a request to terminate, they are removed before the process ends.
#pragma once

#include <filesystem>

// From now on SIGINT, SIGTERM and SIGHUP (on Windows the console's Ctrl-C, Ctrl-Break and close
// events) remove every registered temporary file and end the process with exit code -1. A signal
// that the process was started to ignore (a background job's SIGINT, nohup's SIGHUP) stays ignored.
void remove_temporaries_on_interruption();

// Registers the path of a temporary file about to be created, before it exists, so that no moment
// passes in which the file exists unregistered. False, with errno set, when it cannot be held (every
// place taken, or a path longer than a path may be).
bool register_temporary(const std::filesystem::path& path);

// On Windows the system handle of the registered file just created, which an interruption closes
// before it removes the file (an open file cannot be removed there). Nothing elsewhere.
void register_temporary_descriptor(const std::filesystem::path& path, int descriptor);

// Forgets the path once the file is gone: renamed to its final name, or removed.
void release_temporary(const std::filesystem::path& path);
