// The open observation file shared by the header and the epoch records: every line goes
// through it, so the first failed write stops the file and keeps the reason.
#pragma once

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "rinex/line.h"
#include "rinex/obs_writer.h"

struct ObsOutput {
    std::FILE* file = nullptr;
    int error = 0;  // errno of the first failed write, 0 while every write succeeded

    bool write(std::string_view line, bool wrap) {
        if (error != 0)
            return false;
        errno = 0;
        if (write_rinex_line(file, line, wrap))
            return true;
        error = errno != 0 ? errno : EIO;
        return false;
    }
};

// The epoch records after the header; false when a write failed (reason in out.error). The
// new-site events of the fixed site keep `header_values` but for the station, position and height.
bool write_observation_epochs(ObsOutput& out, int32_t receiver_index, const VxpDataStore& store,
                              const SignalPresence& signals, const ObsHeaderValues& header_values);
