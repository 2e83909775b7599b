// RINEX 3.05 observation file of one receiver: header and epoch records.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "driver/writer_outcome.h"
#include "store/vxp_data_store.h"

WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store);

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

// The last base-station record from start_index on whose time is before the epoch time,
// provided a record at or after the epoch time follows it; -1 when the records run out first.
int32_t find_base_station_record(double time_of_week, uint32_t week_number, int32_t start_index,
                                 const VxpDataStore& store);
