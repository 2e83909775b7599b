// Whole epochs from routed observations, for consumers that take an epoch at a time: an epoch is
// handed on when the next one of its receiver starts, or at the end of the log. Holds one epoch
// per receiver, never more.
#pragma once

#include <array>
#include <vector>

#include "route/record_consumer.h"

class EpochAssembler {
  public:
    // Calls complete(receiver, observations, count) for the epoch this observation closes.
    template <class Complete>
    void observation(int receiver, const RawObservation& observation, bool starts_epoch,
                     Complete&& complete) {
        std::vector<RawObservation>& epoch = epochs_[static_cast<std::size_t>(receiver)];
        if (starts_epoch && !epoch.empty()) {
            complete(receiver, epoch.data(), epoch.size());
            epoch.clear();
        }
        epoch.push_back(observation);
    }

    // The end of the log: every receiver's last epoch, in receiver order.
    template <class Complete>
    void finish(Complete&& complete) {
        for (std::size_t r = 0; r < epochs_.size(); ++r) {
            if (!epochs_[r].empty())
                complete(static_cast<int>(r), epochs_[r].data(), epochs_[r].size());
            epochs_[r].clear();
        }
    }

  private:
    std::array<std::vector<RawObservation>, kReceiverCount> epochs_;
};
