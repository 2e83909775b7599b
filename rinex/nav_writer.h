// RINEX 3.04 mixed navigation file of one receiver: header, GPS, Galileo and GLONASS records.
#pragma once

#include <cstdint>

#include "output/writer_outcome.h"
#include "store/vxp_data_store.h"

WriterOutcome write_navigation_file(int32_t receiver_index, const VxpDataStore& store);
