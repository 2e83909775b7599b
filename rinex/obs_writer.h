// RINEX 3.05 observation file of one receiver: header and epoch records.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "driver/writer_outcome.h"
#include "store/vxp_data_store.h"

WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store);
