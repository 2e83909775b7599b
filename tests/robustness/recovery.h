// The recovery check: a damaged log is loaded through VxpDataStore::load_file, the store's packet
// observers record every good packet in wire order, and each delivery is accounted for.
//
// How losses are told apart: every delivered packet is located in the damaged bytes (the first
// occurrence after the previous delivery, which is where a forward-scanning framer must have
// found it). A delivery at the place of an untouched original packet delivers that packet; any
// other delivery is a chance frame, a checksum-valid frame formed by damage (across inserted,
// flipped or joined bytes) or, rarer still, at a misaligned place the damage made the framer
// look at. An untouched packet that was not delivered is explained only when a chance frame
// overlaps it (the frame consumed its bytes); every other loss is a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "damage.h"

namespace robustness {

struct RecoveryTally {
    std::size_t logs = 0;
    std::size_t packets = 0;    // packets of the original logs
    std::size_t untouched = 0;  // packets whose bytes survived the damage
    std::size_t untouched_delivered = 0;
    std::size_t lost_explained = 0;    // untouched, consumed by an overlapping chance frame
    std::size_t lost_unexplained = 0;  // untouched and lost for no accepted reason
    std::size_t chance_frames = 0;     // deliveries that are no original packet
    std::size_t chance_frames_across_damage = 0;
    std::size_t not_in_stream = 0;      // deliveries whose bytes the damaged log does not hold
    std::vector<std::string> failures;  // first few unexplained findings, for the report

    RecoveryTally& operator+=(const RecoveryTally& other);
    double recovery_rate() const;  // untouched_delivered / untouched
};

// Loads `log` from a file in `directory` through the store and accounts for every packet of the
// original log (packet p starts at starts[p]; original_size is the undamaged length).
RecoveryTally check_recovery(const DamagedLog& log, const std::vector<std::size_t>& starts,
                             std::size_t original_size, const std::filesystem::path& directory);

// `count` random logs of `packets` packets with 1 to 5 damage events each, seeds first_seed on.
RecoveryTally run_recovery_trials(uint32_t first_seed, std::size_t count, std::size_t packets,
                                  const std::filesystem::path& directory);

}  // namespace robustness
