// How far the conversion has come, on one line of standard error that is rewritten a few times a
// second and erased at the end: the share of the input read, MB/s and the time left (for an input
// of unknown size, the bytes read). Only when standard error is a terminal; never on standard
// output or in the log file, whose texts stay as they are.
#pragma once

#include <chrono>
#include <cstdint>

class ProgressLine {
  public:
    // `total_bytes`: the bytes all readings of the input will take together; 0 when unknown.
    explicit ProgressLine(uint64_t total_bytes, bool shown);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() { erase(); }

    // `bytes_done` of all readings so far; redrawn when the last drawing is old enough.
    void update(uint64_t bytes_done);
    // Removes the line (once shown), so that the next text starts on a clean line.
    void erase();

  private:
    using Clock = std::chrono::steady_clock;

    bool shown_;
    bool drawn_ = false;
    uint64_t total_;
    Clock::time_point start_;
    Clock::time_point last_drawn_;
};
