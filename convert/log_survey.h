// The first reading of a streamed log: everything the file names and headers need to know before
// the first record is written, in memory that does not grow with the bulk of the log. The small,
// slowly growing records (ephemerides, ionospheric, leap-second and base-station records) and the
// damaged-packet counts go into a store that keeps only them; the observations and sensor samples
// are only tallied.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "convert/imu_tally.h"
#include "rinex/epoch_tally.h"
#include "route/epoch_assembler.h"
#include "route/record_consumer.h"
#include "route/record_fan_out.h"
#include "store/vxp_data_store.h"

// The store files the navigation and site records (and counts the packets); the survey itself
// tallies the observations and sensor packets. consumer() hands every record to both.
class LogSurvey final : public RecordConsumer {
  public:
    // The tallies of every period of the log too, when `split_seconds` is not 0 (-split).
    using PeriodTallies = std::map<int64_t, std::unique_ptr<EpochTally>>;

    LogSurvey(const EpochSelection& epochs, const GpsTimeWindow& imu_window, int64_t split_seconds = 0);

    // Hands on the last epochs: call once the log has been read.
    void finish();

    VxpDataStore& store() { return *store_; }
    const VxpDataStore& store() const { return *store_; }
    // Whether the receiver has any observation at all, and the tally of its kept epochs.
    bool has_observations(int receiver) const {
        return has_observations_[static_cast<std::size_t>(receiver)];
    }
    const EpochTally& epochs(int receiver) const { return *epochs_[static_cast<std::size_t>(receiver)]; }
    // The periods with kept epochs, in time order (empty without -split).
    const PeriodTallies& periods(int receiver) const { return periods_[static_cast<std::size_t>(receiver)]; }
    int64_t split_seconds() const { return split_seconds_; }
    const ImuTally& imu() const { return imu_; }

    // What the first reading routes to: the store's filer and the tallies (the survey itself).
    RecordConsumer& consumer() { return both_; }
    RecordConsumer& store_filer() { return store_->record_filer(); }

    unsigned interest() const override { return kRouteObservations | kRouteSensorPackets; }
    void sensor_packet(const SensorPacketRecords& records) override;
    void observation(int receiver, const RawObservation& observation, bool starts_epoch) override;

  private:
    void add_epoch(int receiver, const RawObservation* observations, std::size_t count);

    EpochSelection selection_;
    int64_t split_seconds_;
    std::array<PeriodTallies, kReceiverCount> periods_;
    std::unique_ptr<VxpDataStore> store_;
    RecordFanOut both_;
    EpochAssembler assembler_;
    std::array<std::unique_ptr<EpochTally>, kReceiverCount> epochs_;
    std::array<bool, kReceiverCount> has_observations_{};
    ImuTally imu_;
};
