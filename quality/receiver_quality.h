// The quality of one receiver's kept epochs, gathered one epoch at a time in log order: span,
// interval, gaps, satellites, observations per signal, signal strength, observations RINEX cannot
// name, and a single-point position every few seconds with the sky of every satellite.
#pragma once

#include <array>
#include <bitset>
#include <cmath>
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

// Where a satellite stood at a positioned epoch, and its signal strength on band 1 there.
struct TrackPoint {
    double time = 0.0;  // GPS seconds since week 0
    float elevation_deg = 0.0F;
    float azimuth_deg = 0.0F;
    float cn0_dbhz = NAN;  // NaN when the epoch has no strength of it (not tracked, or not given)
};

// The systems whose satellites and strength are followed over time, in this order.
inline constexpr std::array<char, 4> kSeriesSystems{'G', 'R', 'E', 'C'};
inline constexpr int kSeriesBands = 10;  // RINEX band digits 0 to 9

// What one kept epoch held, per system of kSeriesSystems: satellites and mean strength per band.
struct EpochSample {
    double time = 0.0;
    std::array<uint8_t, kSeriesSystems.size()> satellites{};
    std::array<std::array<float, kSeriesBands>, kSeriesSystems.size()> mean_cn0_dbhz{};  // NaN: none
};

// A single-point solution and its time.
struct TimedFix {
    double time = 0.0;
    Ecef position;
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
    static constexpr std::size_t kMaxEpochSamples = 2048;

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
    // The kept epochs and the single-point solutions over time, thinned evenly.
    const DecimatedSeries<EpochSample>& epoch_samples() const { return epoch_samples_; }
    const DecimatedSeries<TimedFix>& solutions() const { return solutions_; }

  private:
    void position(double t, const RawObservation* observations, std::size_t count,
                  const BroadcastEphemerides& ephemerides);
    // Band-1 strength of the epoch's GPS and Galileo satellites; NaN where not tracked.
    using SkyStrength = std::array<std::array<float, 64>, 2>;
    void survey_sky(double t, const Ecef& receiver, const std::array<std::bitset<64>, 2>& present,
                    const SkyStrength& strength, const BroadcastEphemerides& ephemerides);

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
    DecimatedSeries<TimedFix> solutions_{kMaxSolutions};
    DecimatedSeries<EpochSample> epoch_samples_{kMaxEpochSamples};
    uint64_t expected_above_mask_ = 0;
    uint64_t tracked_above_mask_ = 0;
    std::array<std::unique_ptr<DecimatedSeries<TrackPoint>>, kGpsSlots + kGalileoSlots> tracks_{};
};
