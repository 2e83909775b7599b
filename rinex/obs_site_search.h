// The observation writer's base-station search: the results of find_base_station_record, but an
// epoch after every remaining record is answered at once instead of by a walk to the list's end.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "rinex/gnss_time.h"
#include "rinex/obs_writer.h"

class SiteSearch {
  public:
    explicit SiteSearch(const VxpDataStore& store) : store_(store) {
        const Sequence<BaseStationInfo>& sites = store.base_station_records();
        latest_from_.resize(sites.size());
        // The latest record time from each position to the end; a NaN time stops every walk
        // (no epoch time is greater than it), so it counts as the latest possible time.
        double latest = -std::numeric_limits<double>::infinity();
        for (std::size_t k = sites.size(); k-- > 0;) {
            const double time = site_time(sites[k]);
            latest = std::isnan(time) ? std::numeric_limits<double>::infinity() : std::max(latest, time);
            latest_from_[k] = latest;
        }
    }

    int32_t find(double time_of_week, uint32_t week_number, int32_t start_index) const {
        const int64_t next = static_cast<int64_t>(start_index) + 1;
        const double epoch_time = time_of_week + static_cast<double>(week_number) * SECONDS_PER_WEEK;
        const bool in_range = next >= 0 && next < static_cast<int64_t>(latest_from_.size());
        if (in_range && epoch_time > latest_from_[static_cast<std::size_t>(next)])
            return -1;
        return find_base_station_record(time_of_week, week_number, start_index, store_);
    }

  private:
    static double site_time(const BaseStationInfo& site) {
        return site.time_of_week + static_cast<double>(site.week_number) * SECONDS_PER_WEEK;
    }

    const VxpDataStore& store_;
    std::vector<double> latest_from_;
};
