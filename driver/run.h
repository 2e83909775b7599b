// The conversion run: command line, log file, load, RINEX files per receiver, optional IMR file.
#pragma once

// Returns the process exit code: 0 after a complete run, -1 on any failure.
int run_conversion(int argc, char** argv);
