// RINEX 3.05 observation file of one receiver: header and epoch records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "rinex/compression.h"
#include "rinex/epoch_selection.h"
#include "rinex/epoch_tally.h"
#include "rinex/naming.h"
#include "rinex/obs_site.h"
#include "rinex/observation_kinds.h"
#include "store/vxp_data_store.h"

// What the run decides for one observation file.
struct ObservationFileSettings {
    ObsHeaderValues header_values;   // from observation_header_values
    EpochSelection epochs{};         // the epochs the file holds (default: every one)
    std::string output_folder{};     // where the file is created; empty: the current folder
    ObservationKinds observables{};  // the kinds of every signal: C, L and D unless chosen
    RinexCompression compression = RinexCompression::none;  // gzip, the compact form, or both
    std::optional<FilePeriod> period{};  // the period the file holds (-split); none: the whole log
};

// The file of one receiver, named from its first kept observation and created in the settings'
// folder.
WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store,
                                     const ObservationFileSettings& settings, const WriterContext& context);

class CompactRinexEncoder;
class EpochRecords;
class OutputFile;
class RinexLines;

// The observation file of one receiver written while its epochs stream past: named and headed
// from a tally of the kept epochs made beforehand (with the same selection as the settings'),
// then every epoch as it comes. `sites` is the store with the base-station records and GLONASS
// ephemerides (all a store that streams keeps).
class ObservationFileStream {
  public:
    ObservationFileStream(int32_t receiver_index, const EpochTally& tally, const VxpDataStore& sites,
                          const ObservationFileSettings& settings, const WriterContext& context);
    ObservationFileStream(const ObservationFileStream&) = delete;
    ObservationFileStream& operator=(const ObservationFileStream&) = delete;
    ~ObservationFileStream();

    // Names and creates the file and writes its header; false when the file ends there (finish()
    // then says why).
    bool begin();
    // One epoch of the receiver in log order; those the selection does not keep are passed over.
    // False once a write failed.
    bool add_epoch(const RawObservation* observations, std::size_t count);
    // Closes the file: the outcome of the whole file.
    WriterOutcome finish();

  private:
    int32_t receiver_index_;
    const EpochTally& tally_;
    const VxpDataStore& sites_;
    const ObservationFileSettings& settings_;
    const WriterContext& context_;
    std::unique_ptr<OutputFile> out_;
    std::unique_ptr<CompactRinexEncoder> compact_;  // the compact form only
    std::unique_ptr<RinexLines> lines_;
    std::unique_ptr<EpochRecords> epochs_;
    WriterOutcome outcome_;
    bool content_error_ = false;
    bool write_failed_ = false;
};
