// The observation files of one receiver while the log streams past: one for the whole log, or
// with -split one for every period that has kept epochs, each begun when its first epoch comes and
// finished when the next period's does, so that one file is open at a time. Their messages and
// outcomes are kept for the run to show in the order of the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/log_survey.h"
#include "output/held_messages.h"
#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "rinex/obs_writer.h"

class ObservationFiles {
  public:
    // The header values of a file from its first kept observation.
    using HeaderValues = std::function<ObsHeaderValues(const RawObservation& first_kept)>;

    // `settings`: every file's, but for the header values and the period.
    ObservationFiles(int receiver, const LogSurvey& survey, const ObservationFileSettings& settings,
                     const HeaderValues& header_values, const std::string& program);
    ObservationFiles(const ObservationFiles&) = delete;
    ObservationFiles& operator=(const ObservationFiles&) = delete;
    ~ObservationFiles();

    // One epoch of the receiver, in log order.
    void add_epoch(const RawObservation* observations, std::size_t count);
    // Finishes the file still open; call once the log has been read.
    void finish();
    // Each file's messages to `sink` and its outcome to `report`, in the order of the files.
    void report(MessageSink& sink, const std::function<void(const WriterOutcome&)>& report);

  private:
    struct Part;

    void open(Part& part);
    void close();
    bool settings_keep(const RawObservation* observations, std::size_t count) const;

    int receiver_;
    const LogSurvey& survey_;
    int64_t period_seconds_;
    std::vector<std::unique_ptr<Part>> parts_;
    Part* open_ = nullptr;
    std::size_t next_ = 0;  // the first part not yet opened
};
