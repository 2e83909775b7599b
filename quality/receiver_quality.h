// The quality of one receiver's kept epochs, gathered one epoch at a time in log order: span,
// interval, gaps, satellites, observations per signal, signal strength, observations RINEX cannot
// name, and a single-point position every few seconds with the sky of every satellite.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "quality/broadcast_ephemerides.h"
#include "quality/decimated_series.h"
#include "quality/gap_finder.h"
#include "quality/single_point.h"

struct QualitySettings {
    PositioningSettings positioning;
    double position_interval_s = 10.0;  // one positioned epoch per this many seconds
};

// Where a satellite stood at a positioned epoch.
struct TrackPoint {
    double time = 0.0;  // GPS seconds since week 0
    float elevation_deg = 0.0F;
    float azimuth_deg = 0.0F;
};

struct MedianPosition {
    Ecef position;
    Geodetic geodetic;
    uint64_t epochs_used = 0;  // epochs positioned
    double rms_m = 0.0;        // of the kept solutions' distances from the median
};

class ReceiverQuality {
  public:
    static constexpr std::size_t kMaxSolutions = 4096;
    static constexpr std::size_t kMaxTrackPoints = 256;

    explicit ReceiverQuality(const QualitySettings& settings) : settings_(settings) {}

    // One kept epoch (non-empty) of the receiver.
    void add(const RawObservation* observations, std::size_t count, const BroadcastEphemerides& ephemerides);

    const GapFinder& epochs() const { return epochs_; }
    uint64_t kept_epochs() const { return kept_epochs_; }
    // The most common interval between kept epochs; 0 with fewer than two.
    double interval_s() const { return epochs_.most_common_interval(); }
    // Satellites seen per constellation identifier, observations per (constellation, signal).
    int satellites(uint8_t constellation) const {
        return static_cast<int>(satellites_[constellation].count());
    }
    uint64_t observations(uint8_t constellation, uint8_t signal) const;
    // Mean signal strength of a constellation's observations on a band (RINEX band digit); NaN when none.
    double mean_cn0(uint8_t constellation, int band) const;
    uint64_t left_out() const { return left_out_; }
    // Satellite epochs above the mask at positioned epochs: expected (with an ephemeris) and tracked.
    uint64_t expected_above_mask() const { return expected_above_mask_; }
    uint64_t tracked_above_mask() const { return tracked_above_mask_; }
    std::optional<MedianPosition> median_position() const;
    // The sky track of a satellite (null when it was never positioned above the horizon).
    const DecimatedSeries<TrackPoint>* track(KeplerSystem system, int satellite) const;

  private:
    void position(double t, const RawObservation* observations, std::size_t count,
                  const BroadcastEphemerides& ephemerides);
    void survey_sky(double t, const Ecef& receiver, const std::array<std::bitset<64>, 2>& present,
                    const BroadcastEphemerides& ephemerides);

    static constexpr int kBands = 10;
    struct Strength {
        double sum = 0.0;
        uint64_t count = 0;
    };

    QualitySettings settings_;
    GapFinder epochs_;
    uint64_t kept_epochs_ = 0;
    std::array<std::bitset<256>, 256> satellites_{};
    std::vector<uint64_t> observations_;  // 256 x 256, (constellation, signal)
    std::array<std::array<Strength, kBands>, 256> strength_{};
    uint64_t left_out_ = 0;

    double next_position_time_ = -1.0;
    Ecef last_fix_{};
    DecimatedSeries<Ecef> solutions_{kMaxSolutions};
    uint64_t expected_above_mask_ = 0;
    uint64_t tracked_above_mask_ = 0;
    std::array<std::unique_ptr<DecimatedSeries<TrackPoint>>, kGpsSlots + kGalileoSlots> tracks_{};
};
