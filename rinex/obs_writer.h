// RINEX 3.05 observation file of one receiver: header and epoch records.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "rinex/obs_site.h"
#include "store/vxp_data_store.h"

// What the run decides for one observation file.
struct ObservationFileSettings {
    ObsHeaderValues header_values;  // from observation_header_values
};

// The file of one receiver, named from its first observation and created in the current folder.
WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store,
                                     const ObservationFileSettings& settings, const WriterContext& context);

// Constellation identifier (ascending) -> its signal identifiers in order of first occurrence.
using SignalPresence = std::map<uint8_t, std::vector<uint8_t>>;
// (frequency number, slot number) of each GLONASS slot with an ephemeris, ascending slot.
using GlonassSlots = std::vector<std::pair<int32_t, int32_t>>;

// The signals of the receiver's observations; constellation 0 is left out.
SignalPresence collect_signals_present(int32_t receiver_index, const VxpDataStore& store);
GlonassSlots collect_glonass_slots(int32_t receiver_index, const VxpDataStore& store);

// Copies the epoch into `sorted` (reused buffer), ordered by constellation, satellite and signal
// (equal keys in arrival order); returns the number of satellites outside constellation 0.
uint32_t prepare_epoch(const RawEpoch& epoch, std::vector<RawObservation>& sorted);

// The base-station record in force at an epoch: from start_index on, the last record of the run
// whose times are at or before the epoch time (start_index itself when the next record is later,
// or when no record follows it).
int32_t find_base_station_record(double time_of_week, uint32_t week_number, int32_t start_index,
                                 const VxpDataStore& store);
