// Where a log is damaged: checksum errors per source, and the stretches of the log they fall in,
// placed in time by the good packets around them (the last timed one before a stretch, the first
// one after it). Errors whose preceding good packets lie within kJoinSeconds of each other form one
// stretch; the first kMaxListed stretches are listed, the rest counted.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "route/record_consumer.h"

struct DamagedStretch {
    double after = NAN;   // GPS seconds of the last good packet before it; NaN at the log's start
    double before = NAN;  // of the first good packet after it; NaN at the log's end
    uint64_t checksum_errors = 0;
};

class DamageLog {
  public:
    static constexpr std::size_t kMaxListed = 1000;
    static constexpr double kJoinSeconds = 1.0;
    // Sources: the five receivers, then the inertial sensor, the navigation filter and the rest.
    static constexpr int kImuSource = kReceiverCount;
    static constexpr int kFilterSource = kReceiverCount + 1;
    static constexpr int kOtherSource = kReceiverCount + 2;
    static constexpr int kSources = kReceiverCount + 3;

    void checksum_error(uint8_t descriptor_set);
    // A good packet with a time tag.
    void good_time(const GpsTimestamp* tag);

    uint64_t errors(int source) const { return errors_[static_cast<std::size_t>(source)]; }
    uint64_t total_errors() const;
    const std::vector<DamagedStretch>& stretches() const { return stretches_; }
    uint64_t total_stretches() const { return stretches_.size() + unlisted_; }

  private:
    std::array<uint64_t, kSources> errors_{};
    double last_good_ = NAN;
    bool awaiting_end_ = false;
    std::vector<DamagedStretch> stretches_;
    DamagedStretch unlisted_current_{};
    uint64_t unlisted_ = 0;
};
