// The second reading of a streamed log: every kept epoch to its receiver's observation file and
// every sensor packet to the inertial files, as they come.
#pragma once

#include <array>

#include "convert/observation_files.h"
#include "imr/imr_writer.h"
#include "imu_csv/imu_csv_writer.h"
#include "route/epoch_assembler.h"
#include "route/record_consumer.h"

class LogWriters final : public RecordConsumer {
  public:
    // The files to feed (begun; null: none for that receiver, no IMR or no CSV file). The writers
    // outlive this object.
    void set_observation_file(int receiver, ObservationFiles* file) {
        observation_files_[static_cast<std::size_t>(receiver)] = file;
    }
    void set_imr_file(ImrFileStream* file) { imr_file_ = file; }
    void set_imu_csv_file(ImuCsvFileStream* file) { imu_csv_file_ = file; }

    // Hands on the last epochs: call once the log has been read.
    void finish();

    // Observations when it has an observation file, sensor vectors when it has an inertial file.
    unsigned interest() const override;
    bool takes_receiver(int receiver) const override {
        return observation_files_[static_cast<std::size_t>(receiver)] != nullptr;
    }
    void sensor_packet(const SensorPacketRecords& records) override;
    void observation(int receiver, const RawObservation& observation, bool starts_epoch) override;

  private:
    void write_epoch(int receiver, const RawObservation* observations, std::size_t count);

    std::array<ObservationFiles*, kReceiverCount> observation_files_{};
    ImrFileStream* imr_file_ = nullptr;
    ImuCsvFileStream* imu_csv_file_ = nullptr;
    EpochAssembler assembler_;
};
