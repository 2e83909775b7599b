// RINEX 3.05 observation file of one receiver: header and epoch records.
#pragma once

#include <cstdint>
#include <string>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "rinex/epoch_selection.h"
#include "rinex/obs_site.h"
#include "store/vxp_data_store.h"

// What the run decides for one observation file.
struct ObservationFileSettings {
    ObsHeaderValues header_values;  // from observation_header_values
    EpochSelection epochs{};        // the epochs the file holds (default: every one)
    std::string output_folder{};    // where the file is created; empty: the current folder
};

// The file of one receiver, named from its first kept observation and created in the settings'
// folder.
WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store,
                                     const ObservationFileSettings& settings, const WriterContext& context);
