#include "driver/progress_line.h"

#include <cstdio>
#include <string>

namespace {

// A few redraws a second: readable, and no cost beside the conversion.
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr double kBytesPerMegabyte = 1e6;
// Wide enough for every text the line shows, so that a shorter one covers a longer one.
constexpr int kLineWidth = 60;

std::string minutes_and_seconds(double seconds) {
    const long whole = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

ProgressLine::ProgressLine(uint64_t total_bytes, bool shown)
    : shown_(shown), total_(total_bytes), start_(Clock::now()), last_drawn_(start_) {}

void ProgressLine::update(uint64_t bytes_done) {
    if (!shown_)
        return;
    const Clock::time_point now = Clock::now();
    if (now - last_drawn_ < kRedrawInterval)
        return;
    last_drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(bytes_done) / seconds : 0.0;
    char text[128];
    if (total_ != 0) {
        const double share = static_cast<double>(bytes_done) / static_cast<double>(total_);
        const double left =
            rate > 0 ? static_cast<double>(total_ - std::min(bytes_done, total_)) / rate : 0.0;
        std::snprintf(text, sizeof text, "%3.0f %%  %.0f MB/s  %s left", share * 100.0,
                      rate / kBytesPerMegabyte, minutes_and_seconds(left).c_str());
    } else {
        std::snprintf(text, sizeof text, "%.0f MB read  %.0f MB/s",
                      static_cast<double>(bytes_done) / kBytesPerMegabyte, rate / kBytesPerMegabyte);
    }
    std::fprintf(stderr, "\r%-*s", kLineWidth, text);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::erase() {
    if (!drawn_)
        return;
    std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
    std::fflush(stderr);
    drawn_ = false;
}
