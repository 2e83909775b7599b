#include "convert/observation_files.h"

#include <utility>

struct ObservationFiles::Part {
    Part(const EpochTally& epochs, ObservationFileSettings file_settings, const std::string& program)
        : tally(epochs), settings(std::move(file_settings)), context{program, messages} {}

    const EpochTally& tally;
    ObservationFileSettings settings;
    HeldMessages messages;
    WriterContext context;
    std::unique_ptr<ObservationFileStream> stream;
    WriterOutcome outcome;
    bool ended = false;
};

ObservationFiles::ObservationFiles(int receiver, const LogSurvey& survey,
                                   const ObservationFileSettings& settings, const HeaderValues& header_values,
                                   const std::string& program)
    : receiver_(receiver), survey_(survey), period_seconds_(survey.split_seconds()) {
    const auto add_part = [&](const EpochTally& tally, std::optional<FilePeriod> period) {
        if (!tally.has_kept_epoch())
            return;
        ObservationFileSettings part_settings = settings;
        part_settings.header_values = header_values(tally.first());
        part_settings.period = period;
        parts_.push_back(std::make_unique<Part>(tally, std::move(part_settings), program));
    };
    if (period_seconds_ == 0) {
        add_part(survey.epochs(receiver), std::nullopt);
    } else {
        for (const auto& [index, tally] : survey.periods(receiver))
            add_part(*tally, FilePeriod{index, period_seconds_});
    }
}

ObservationFiles::~ObservationFiles() = default;

void ObservationFiles::open(Part& part) {
    part.stream = std::make_unique<ObservationFileStream>(receiver_, part.tally, survey_.store(),
                                                          part.settings, part.context);
    part.stream->begin();
    open_ = &part;
}

void ObservationFiles::close() {
    if (open_ == nullptr)
        return;
    open_->outcome = open_->stream->finish();
    open_->stream.reset();
    open_->ended = true;
    open_ = nullptr;
}

void ObservationFiles::add_epoch(const RawObservation* observations, std::size_t count) {
    if (period_seconds_ == 0) {
        if (open_ == nullptr && next_ < parts_.size())
            open(*parts_[next_++]);
        if (open_ != nullptr)
            open_->stream->add_epoch(observations, count);
        return;
    }
    int64_t period = 0;
    if (count == 0 ||
        !period_of(observations[0].time_of_week, observations[0].week_number, period_seconds_, period))
        return;
    if (open_ == nullptr || open_->settings.period->index != period) {
        // Only a kept epoch opens its period's file: a period without one has no file. Epochs come
        // in time order; one that goes back into a finished period (a damaged log) is passed over.
        if (!settings_keep(observations, count))
            return;
        while (next_ < parts_.size() && parts_[next_]->settings.period->index < period)
            ++next_;
        if (next_ >= parts_.size() || parts_[next_]->settings.period->index != period)
            return;
        close();
        open(*parts_[next_++]);
    }
    open_->stream->add_epoch(observations, count);
}

bool ObservationFiles::settings_keep(const RawObservation* observations, std::size_t count) const {
    return parts_.empty() || parts_.front()->settings.epochs.keeps(observations, count);
}

void ObservationFiles::finish() {
    close();
}

void ObservationFiles::report(MessageSink& sink, const std::function<void(const WriterOutcome&)>& report) {
    for (const std::unique_ptr<Part>& part : parts_) {
        if (!part->ended)
            continue;
        part->messages.release_to(sink);
        report(part->outcome);
    }
}
