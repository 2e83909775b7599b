#include "quality/quality_survey.h"

#include "output/output_file.h"

QualitySurvey::QualitySurvey(const EpochSelection& epochs, const GpsTimeWindow& imu_window,
                             const QualitySettings& settings)
    : selection_(epochs), settings_(settings), imu_(imu_window) {}

void QualitySurvey::finish() {
    assembler_.finish(
        [&](int r, const RawObservation* observations, std::size_t count) { epoch(r, observations, count); });
}

void QualitySurvey::epoch(int receiver, const RawObservation* observations, std::size_t count) {
    if (selection_.keeps(observations, count))
        receivers_[static_cast<std::size_t>(receiver)]->add(observations, count, ephemerides_);
}

std::optional<MedianPosition> QualitySurvey::median_position(int index) const {
    const ReceiverQuality* r = receiver(index);
    return r != nullptr ? r->median_position() : std::nullopt;
}

void QualitySurvey::checksum_error(uint8_t descriptor_set) {
    damage_.checksum_error(descriptor_set);
}

void QualitySurvey::sensor_packet(const SensorPacketRecords& records) {
    damage_.good_time(records.tag());
    imu_.add(records);
}

void QualitySurvey::filter_packet(const FilterPacketRecords& records) {
    damage_.good_time(records.shared_time != nullptr ? records.shared_time : records.own_time);
}

void QualitySurvey::gnss_packet(int /*receiver*/, const GnssPacketRecords& records) {
    damage_.good_time(records.shared_time != nullptr ? records.shared_time : records.own_time);
}

void QualitySurvey::observation(int receiver, const RawObservation& observation, bool starts_epoch) {
    auto& quality = receivers_[static_cast<std::size_t>(receiver)];
    if (!quality)
        quality = std::make_unique<ReceiverQuality>(settings_);
    const GpsTimestamp time{observation.time_of_week, observation.week_number, 0};
    damage_.good_time(&time);
    assembler_.observation(
        receiver, observation, starts_epoch,
        [&](int r, const RawObservation* observations, std::size_t count) { epoch(r, observations, count); });
}

void QualitySurvey::gps_ephemeris(int /*receiver*/, const GpsEphemeris& ephemeris) {
    ephemerides_.add(KeplerSystem::gps, ephemeris);
}

void QualitySurvey::galileo_ephemeris(int /*receiver*/, const GalileoEphemeris& ephemeris) {
    ephemerides_.add(KeplerSystem::galileo, ephemeris);
}

void QualitySurvey::gps_iono(int /*receiver*/, const GpsIonoCorrection& correction) {
    ephemerides_.add_iono(correction);
}

WriterOutcome QualitySurvey::write_json(const std::string& path) const {
    const std::string text = json_text();
    OutputFile file;
    if (!file.open(path) || !file.write(text) || !file.close())
        return file.failure();
    return {WriterOutcome::Status::written, path, {}};
}
