// RINEX 3.04 mixed navigation file of one receiver: header, GPS, Galileo and GLONASS records.
#pragma once

#include <cstdint>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "store/vxp_data_store.h"

// What the run decides for one navigation file.
struct NavigationFileSettings {
    double leap_seconds;  // GPS - UTC: the user's value, the log's, or the default
};

// The file of one receiver, named from its first observation and created in the current folder.
WriterOutcome write_navigation_file(int32_t receiver_index, const VxpDataStore& store,
                                    const NavigationFileSettings& settings, const WriterContext& context);
