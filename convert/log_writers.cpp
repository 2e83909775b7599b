#include "convert/log_writers.h"

unsigned LogWriters::interest() const {
    unsigned wanted = 0;
    for (const ObservationFiles* file : observation_files_) {
        if (file != nullptr)
            wanted |= kRouteObservations;
    }
    if (imr_file_ != nullptr || imu_csv_file_ != nullptr)
        wanted |= kRouteSensorPackets;
    return wanted;
}

void LogWriters::finish() {
    assembler_.finish([&](int r, const RawObservation* observations, std::size_t count) {
        write_epoch(r, observations, count);
    });
}

void LogWriters::sensor_packet(const SensorPacketRecords& r) {
    // An untimed packet's samples have no time to be written under.
    const GpsTimestamp* const tag = r.tag();
    if (tag == nullptr)
        return;
    if (imr_file_ != nullptr)
        imr_file_->add(*tag, r.delta_theta, r.delta_velocity, r.scaled_gyro, r.scaled_accel);
    if (imu_csv_file_ != nullptr)
        imu_csv_file_->add(*tag, r.delta_theta, r.delta_velocity, r.scaled_gyro, r.scaled_accel);
}

void LogWriters::observation(int receiver, const RawObservation& observation, bool starts_epoch) {
    if (observation_files_[static_cast<std::size_t>(receiver)] == nullptr)
        return;
    assembler_.observation(receiver, observation, starts_epoch,
                           [&](int r, const RawObservation* observations, std::size_t count) {
                               write_epoch(r, observations, count);
                           });
}

void LogWriters::write_epoch(int receiver, const RawObservation* observations, std::size_t count) {
    observation_files_[static_cast<std::size_t>(receiver)]->add_epoch(observations, count);
}
