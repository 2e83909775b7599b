// The parts of the observation writer, shared by its files (obs_writer.cpp, obs_header.cpp,
// obs_epochs.cpp) and by its tests; not for the run, which calls write_observation_file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "output/output_file.h"
#include "output/writer_context.h"
#include "rinex/epoch_selection.h"
#include "rinex/epoch_tally.h"
#include "rinex/line.h"
#include "rinex/obs_site.h"
#include "rinex/observation_kinds.h"
#include "store/vxp_data_store.h"

// (frequency number, slot number) of each GLONASS slot with an ephemeris, ascending slot.
using GlonassSlots = std::vector<std::pair<int32_t, int32_t>>;

// The signals of the receiver's kept observations; constellation 0 is left out.
SignalPresence collect_signals_present(int32_t receiver_index, const VxpDataStore& store,
                                       const EpochSelection& selection = {});
GlonassSlots collect_glonass_slots(int32_t receiver_index, const VxpDataStore& store);

// How the header ended: complete, stopped by its content (after an error line), or stopped by a
// failed write (the file keeps the reason).
enum class HeaderEnd { complete, content_error, write_error };

// The header of the tallied epochs (the first kept one has observations), with the types of the
// kinds written; `signals` receives the signals the file declares, those without a RINEX code left
// out.
HeaderEnd write_observation_header(RinexLines& out, int32_t receiver_index, const EpochTally& tally,
                                   const GlonassSlots& glonass_slots, const ObsHeaderValues& values,
                                   const ObservationKinds& kinds, const WriterContext& context,
                                   SignalPresence& signals);

// The epoch records after the header, one epoch at a time in log order: those the selection keeps,
// each signal with the values of the kinds written.
// The new-site events of the fixed site keep `header_values` but for the station, position and
// height; a site that changes between two kept epochs gives an event before the later one.
class EpochRecords {
  public:
    // `sites`: the store with the base-station records; `first_kept`: the first kept observation.
    EpochRecords(RinexLines& out, int32_t receiver_index, const VxpDataStore& sites,
                 const SignalPresence& signals, const ObservationKinds& kinds,
                 const ObsHeaderValues& header_values, const EpochSelection& selection,
                 const RawObservation& first_kept);
    ~EpochRecords();
    // False when a write failed (the file keeps the reason).
    bool add(const RawObservation* observations, std::size_t count);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Copies the epoch into `sorted` (reused buffer), ordered by constellation, satellite and signal
// (equal keys in arrival order); returns the number of satellites outside constellation 0. The
// order in which the epoch writer takes the observations, for the tests.
uint32_t prepare_epoch(const RawEpoch& epoch, std::vector<RawObservation>& sorted);
