// The quality summary of a log, gathered from the routed records in one reading: per receiver the
// span, interval, epochs present and expected, gaps, satellites, observations per signal, signal
// strength, left-out observations and a single-point position (GPS and Galileo); the inertial
// sensor's rate, samples and gaps; the damaged stretches. Memory does not grow with the log: counts,
// bounded lists and thinned series only.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/writer_outcome.h"
#include "quality/damage_log.h"
#include "quality/imu_quality.h"
#include "quality/receiver_quality.h"
#include "rinex/epoch_selection.h"
#include "route/epoch_assembler.h"
#include "route/record_consumer.h"

class QualitySurvey final : public RecordConsumer {
  public:
    // `epochs` selects the observation epochs counted (those the observation files keep),
    // `imu_window` the sensor samples.
    QualitySurvey(const EpochSelection& epochs, const GpsTimeWindow& imu_window,
                  const QualitySettings& settings = {});

    // Hands on the last epochs: call once the log has been read.
    void finish();

    // The summary for the run's messages, a few lines per receiver, one block for the inertial
    // sensor and one line for the damage.
    std::vector<std::string> summary_lines() const;
    // Its parts: a receiver's lines (none without observations), the sensor's, the damage line.
    std::vector<std::string> receiver_summary_lines(int index) const;
    std::vector<std::string> imu_summary_lines() const;
    std::string damage_summary_line() const;
    const QualitySettings& settings() const { return settings_; }
    // The summary as a JSON document, and that document written whole (or not at all) to `path`.
    std::string json_text() const;
    WriterOutcome write_json(const std::string& path) const;

    // Null for a receiver without observations.
    const ReceiverQuality* receiver(int index) const {
        return receivers_[static_cast<std::size_t>(index)].get();
    }
    // The receiver's median single-point position, when it has one.
    std::optional<MedianPosition> median_position(int index) const;
    const ImuQuality& imu() const { return imu_; }
    const DamageLog& damage() const { return damage_; }

    // The times of filter and GNSS packets date the damage; command packets are not needed.
    unsigned interest() const override {
        return kRouteFilterRecords | kRouteGnssTimedRecords | kRouteObservations | kRouteSensorPackets;
    }
    void checksum_error(uint8_t descriptor_set) override;
    void sensor_packet(const SensorPacketRecords& records) override;
    void filter_packet(const FilterPacketRecords& records) override;
    void gnss_packet(int receiver, const GnssPacketRecords& records) override;
    void observation(int receiver, const RawObservation& observation, bool starts_epoch) override;
    void gps_ephemeris(int receiver, const GpsEphemeris& ephemeris) override;
    void galileo_ephemeris(int receiver, const GalileoEphemeris& ephemeris) override;
    void gps_iono(int receiver, const GpsIonoCorrection& correction) override;

  private:
    void epoch(int receiver, const RawObservation* observations, std::size_t count);

    EpochSelection selection_;
    QualitySettings settings_;
    EpochAssembler assembler_;
    BroadcastEphemerides ephemerides_;
    std::array<std::unique_ptr<ReceiverQuality>, kReceiverCount> receivers_{};
    ImuQuality imu_;
    DamageLog damage_;
};
