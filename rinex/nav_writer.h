// RINEX 3.04 mixed navigation file of one receiver: header, GPS, Galileo and GLONASS records.
#pragma once

#include <cstdint>
#include <string>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "rinex/compression.h"
#include "rinex/epoch_selection.h"
#include "rinex/epoch_tally.h"
#include "store/vxp_data_store.h"

// What the run decides for one navigation file.
struct NavigationFileSettings {
    double leap_seconds;  // GPS - UTC: the user's value, the log's, or the default
    // The observation file's epochs: the file is named, as that one, from the first kept epoch
    // (its ephemerides are all written, whatever the epochs).
    EpochSelection epochs{};
    std::string output_folder{};  // where the file is created; empty: the current folder
    // The observation file's epochs as tallied while the log streamed past; when null, the name
    // comes from the store's epochs and the selection above.
    const EpochTally* observation_epochs = nullptr;
    // gzip under gzip and compact_gzip; the compact form is for observation files only.
    RinexCompression compression = RinexCompression::none;
};

// The file of one receiver, named from its first kept observation and created in the settings'
// folder.
WriterOutcome write_navigation_file(int32_t receiver_index, const VxpDataStore& store,
                                    const NavigationFileSettings& settings, const WriterContext& context);
