// What the name and the header of an observation file need to know of its kept epochs, gathered
// one epoch at a time in log order: from the whole-log store, or from a log streaming past before
// its records are written.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "rinex/epoch_selection.h"
#include "vxp/records/gnss_records.h"

// Constellation identifier (ascending) -> its signal identifiers in order of first occurrence.
using SignalPresence = std::map<uint8_t, std::vector<uint8_t>>;

class EpochTally {
  public:
    explicit EpochTally(const EpochSelection& selection = {}) : selection_(selection) {}
    EpochTally(const EpochTally&) = delete;
    EpochTally& operator=(const EpochTally&) = delete;

    // One epoch of the receiver, in log order; true when the selection keeps it.
    bool add(const RawObservation* observations, std::size_t count);

    const EpochSelection& selection() const { return selection_; }
    // Whether an epoch was kept; the first kept epoch may be empty (only from a hand-filled store),
    // which leaves the file without a date.
    bool has_kept_epoch() const { return kept_epochs_ != 0; }
    bool first_is_dated() const { return first_dated_; }
    // The first observation of the first and of the last kept epoch (when dated).
    const RawObservation& first() const { return first_; }
    const RawObservation& last() const { return last_; }
    uint64_t kept_epochs() const { return kept_epochs_; }
    // The smallest positive difference between the times of week of consecutive kept epochs;
    // kNoInterval when there is none.
    double smallest_interval() const { return smallest_interval_; }
    static constexpr double kNoInterval = std::numeric_limits<double>::infinity();
    // The nominal spacing of the kept epochs: the most common difference between the GPS times of
    // consecutive dated kept epochs, to the microsecond (of equally common ones the shortest);
    // kNoInterval when there is none (a single epoch).
    double nominal_interval() const;

    // The signals of the kept observations (constellation 0 left out), with the observation counts
    // that say what leaving out a constellation or a signal costs.
    const SignalPresence& signals() const { return signals_; }
    uint64_t observations_of_constellation(uint8_t constellation) const {
        return by_constellation_[constellation];
    }
    // Observations of the signal among constellations with a RINEX letter.
    uint64_t lettered_observations_of_signal(uint8_t signal) const { return by_signal_[signal]; }

  private:
    void count(const RawObservation& observation);
    void count_interval(const RawObservation& previous, const RawObservation& next);

    // The intervals are counted per distinct value in a table of at most this many values; an
    // interval that would need another row makes every count ten times coarser (1 us, 10 us,
    // 100 us, ...), so that epoch times with a fine jitter still gather round their rate.
    static constexpr std::size_t kIntervalValues = 256;

    EpochSelection selection_;
    uint64_t kept_epochs_ = 0;
    bool first_dated_ = false;
    RawObservation first_{};
    RawObservation last_{};
    double previous_time_ = 0.0;
    double smallest_interval_ = kNoInterval;
    std::map<int64_t, uint64_t> interval_counts_;  // interval in grains -> epochs
    int64_t interval_grain_ = 1;                   // microseconds
    SignalPresence signals_;
    std::array<std::bitset<256>, 256> listed_{};
    std::array<std::vector<uint8_t>*, 256> lists_{};
    std::array<bool, 256> lettered_{};
    std::array<uint64_t, 256> by_constellation_{};
    std::array<uint64_t, 256> by_signal_{};
};
