// The header of a navigation file: version, program, leap seconds and ionospheric corrections.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/writer_context.h"
#include "rinex/nav_writer.h"
#include "store/vxp_data_store.h"

// The header lines of the receiver's file, each to be written wrapped.
std::vector<std::string> navigation_header_lines(int32_t receiver_index, const VxpDataStore& store,
                                                 const NavigationFileSettings& settings,
                                                 const WriterContext& context);
