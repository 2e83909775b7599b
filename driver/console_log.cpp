// The message path: what a part of the run has written to console_log goes, unchanged and in the
// same order, to standard output and to the open log file.
#include <iostream>
#include <string>

#include "driver/run_settings.h"

void flush_console_log() {
    const std::string text = run_settings.console_log.str();
    // Standard output keeps its own buffering (a line buffer on a terminal, a block buffer in a
    // pipe); the run flushes it once before it returns. A progress text that waits for the end
    // of its line ("Writing ... ") is pushed out at once, so that it shows while the work runs.
    std::cout << text;
    if (!text.empty() && text.back() != '\n') {
        std::cout.flush();
    }
    if (run_settings.log_file.is_open()) {
        run_settings.log_file << text;
        // The log file is flushed per message so that it holds everything said so far even if
        // the process is killed.
        run_settings.log_file.flush();
    }
    run_settings.console_log.str(std::string());
    run_settings.console_log.clear();
}

void ConsoleLogSink::write(std::string_view text) {
    run_settings.console_log << text;
    flush_console_log();
}
