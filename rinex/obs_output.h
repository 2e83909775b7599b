// The epoch records of the observation file, written after its header by the same writer.
#pragma once

#include <cstdint>

#include "output/output_file.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer.h"

// The epoch records after the header; false when a write failed (the file keeps the reason). The
// new-site events of the fixed site keep `header_values` but for the station, position and height.
bool write_observation_epochs(OutputFile& out, int32_t receiver_index, const VxpDataStore& store,
                              const SignalPresence& signals, const ObsHeaderValues& header_values);
