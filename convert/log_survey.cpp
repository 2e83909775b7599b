#include "convert/log_survey.h"

#include "rinex/naming.h"

LogSurvey::LogSurvey(const EpochSelection& epochs, const GpsTimeWindow& imu_window, int64_t split_seconds)
    : selection_(epochs),
      split_seconds_(split_seconds),
      store_(std::make_unique<VxpDataStore>(StoreContents::navigation_and_sites)),
      both_{&store_->record_filer(), this},
      imu_(imu_window) {
    for (auto& tally : epochs_)
        tally = std::make_unique<EpochTally>(epochs);
}

void LogSurvey::finish() {
    assembler_.finish([&](int r, const RawObservation* observations, std::size_t count) {
        add_epoch(r, observations, count);
    });
}

void LogSurvey::add_epoch(int receiver, const RawObservation* observations, std::size_t count) {
    if (!epochs_[static_cast<std::size_t>(receiver)]->add(observations, count) || split_seconds_ == 0 ||
        count == 0)
        return;
    // A kept epoch of a split log also counts in its period's tally (an epoch without a time has
    // no period and goes into no file of one).
    int64_t period = 0;
    if (!period_of(observations[0].time_of_week, observations[0].week_number, split_seconds_, period))
        return;
    std::unique_ptr<EpochTally>& tally = periods_[static_cast<std::size_t>(receiver)][period];
    if (tally == nullptr)
        tally = std::make_unique<EpochTally>(selection_);
    tally->add(observations, count);
}

void LogSurvey::sensor_packet(const SensorPacketRecords& records) {
    imu_.add(records);
}

void LogSurvey::observation(int receiver, const RawObservation& observation, bool starts_epoch) {
    has_observations_[static_cast<std::size_t>(receiver)] = true;
    assembler_.observation(receiver, observation, starts_epoch,
                           [&](int r, const RawObservation* observations, std::size_t count) {
                               add_epoch(r, observations, count);
                           });
}
