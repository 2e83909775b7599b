#include "rinex/obs_site.h"

#include <string_view>
#include <vector>

#include "rinex/gnss_time.h"
#include "rinex/line.h"
#include "rinex/naming.h"

namespace {

// Field layouts: MARKER NAME A60; MARKER TYPE A20; OBSERVER / AGENCY A20, A40; REC # / TYPE /
// VERS 3A20; ANT # / TYPE 2A20; APPROX POSITION XYZ and ANTENNA: DELTA H/E/N 3F14.4.
constexpr std::size_t kMarkerNameWidth = 60;
constexpr std::size_t kAgencyWidth = 40;
constexpr std::size_t kTextFieldWidth = 20;
constexpr int32_t kFirstTextColumn = 1;
constexpr int32_t kSecondTextColumn = 21;
constexpr int32_t kThirdTextColumn = 41;
constexpr int kMetresWidth = 14;
constexpr int kMetresDecimals = 4;

constexpr const char* kFixedMarker = "GEODETIC";

// A text cut to its field, so that it never reaches the next field or the label.
std::string field_text(std::string_view text, std::size_t width) {
    return std::string(text.substr(0, width));
}

std::string three_metres(double a, double b, double c, const char* label) {
    return rinex_header_record({{rinex_fixed_field(a, kMetresWidth, kMetresDecimals) +
                                     rinex_fixed_field(b, kMetresWidth, kMetresDecimals) +
                                     rinex_fixed_field(c, kMetresWidth, kMetresDecimals),
                                 kFirstTextColumn}},
                               label);
}

std::string marker_name_record(const ObsHeaderValues& values) {
    return rinex_header_record({{field_text(values.marker_name, kMarkerNameWidth), kFirstTextColumn}},
                               "MARKER NAME");
}

std::string marker_type_record(const ObsHeaderValues& values) {
    return rinex_header_record({{field_text(values.marker_type, kTextFieldWidth), kFirstTextColumn}},
                               "MARKER TYPE");
}

std::string observer_record(const ObsHeaderValues& values) {
    return rinex_header_record({{field_text(values.observer, kTextFieldWidth), kFirstTextColumn},
                                {field_text(values.agency, kAgencyWidth), kSecondTextColumn}},
                               "OBSERVER / AGENCY");
}

std::string receiver_record(const ObsHeaderValues& values) {
    return rinex_header_record({{field_text(values.receiver_number, kTextFieldWidth), kFirstTextColumn},
                                {field_text(values.receiver_type, kTextFieldWidth), kSecondTextColumn},
                                {field_text(values.receiver_version, kTextFieldWidth), kThirdTextColumn}},
                               "REC # / TYPE / VERS");
}

std::string antenna_type_record(const ObsHeaderValues& values) {
    return rinex_header_record({{field_text(values.antenna_number, kTextFieldWidth), kFirstTextColumn},
                                {field_text(values.antenna_type, kTextFieldWidth), kSecondTextColumn}},
                               "ANT # / TYPE");
}

std::string approx_position_record(const ObsHeaderValues& values) {
    return three_metres(values.position_x, values.position_y, values.position_z, "APPROX POSITION XYZ");
}

std::string antenna_delta_record(const ObsHeaderValues& values) {
    return three_metres(values.antenna_height, values.antenna_east, values.antenna_north,
                        "ANTENNA: DELTA H/E/N");
}

}  // namespace

int32_t find_base_station_record(double time_of_week, uint32_t week_number, int32_t start_index,
                                 const VxpDataStore& store) {
    const Sequence<BaseStationInfo>& sites = store.base_station_records();
    const double epoch_time = gps_seconds(time_of_week, week_number);
    int32_t index = start_index;
    for (;;) {
        const int64_t next = static_cast<int64_t>(index) + 1;
        if (next < 0 || next >= static_cast<int64_t>(sites.size()))
            return index;
        const BaseStationInfo& site = sites[static_cast<std::size_t>(next)];
        // A later record, or one without a usable time (NaN), ends the run.
        if (!(gps_seconds(site.time_of_week, site.week_number) <= epoch_time))
            return index;
        index = static_cast<int32_t>(next);
    }
}

ObsHeaderValues with_base_station(ObsHeaderValues values, const BaseStationInfo& site) {
    values.marker_name = std::to_string(site.station_id);
    values.position_x = site.ecef_x;
    values.position_y = site.ecef_y;
    values.position_z = site.ecef_z;
    values.antenna_height = static_cast<double>(site.antenna_height);
    return values;
}

bool site_changes(const BaseStationInfo& old_site, const BaseStationInfo& new_site) {
    const auto differs = [](double a, double b) { return !(a == b); };  // a NaN differs from everything
    return old_site.station_id != new_site.station_id || differs(old_site.ecef_x, new_site.ecef_x) ||
           differs(old_site.ecef_y, new_site.ecef_y) || differs(old_site.ecef_z, new_site.ecef_z) ||
           differs(old_site.antenna_height, new_site.antenna_height);
}

namespace {

const RawObservation* first_kept_observation(const VxpDataStore& store, const EpochSelection& selection) {
    const RawEpoch* const first_epoch =
        first_kept_epoch(store.receiver_raw_epochs(kFixedSiteReceiver), selection);
    return first_epoch == nullptr || first_epoch->empty() ? nullptr : &first_epoch->front();
}

}  // namespace

int32_t header_site_index(const VxpDataStore& sites, const RawObservation* first_kept) {
    if (sites.base_station_records().empty())
        return -1;
    if (first_kept == nullptr)
        return 0;
    return find_base_station_record(first_kept->time_of_week, first_kept->week_number, 0, sites);
}

int32_t header_site_index(const VxpDataStore& store, const EpochSelection& selection) {
    return header_site_index(store, first_kept_observation(store, selection));
}

ObsHeaderValues observation_header_values(int32_t receiver_index, const VxpDataStore& store,
                                          const SiteOverrides& overrides, const EpochSelection& selection) {
    return observation_header_values(receiver_index, store, overrides,
                                     first_kept_observation(store, selection));
}

ObsHeaderValues observation_header_values(int32_t receiver_index, const VxpDataStore& store,
                                          const SiteOverrides& overrides,
                                          const RawObservation* fixed_site_first_kept) {
    ObsHeaderValues values;
    values.marker_name = rinex_station_name(receiver_index);
    bool site_records = false;
    if (receiver_index == kFixedSiteReceiver) {
        values.marker_type = kFixedMarker;
        const int32_t site = header_site_index(store, fixed_site_first_kept);
        site_records = site >= 0;
        if (site_records)
            values = with_base_station(values, store.base_station_records()[static_cast<std::size_t>(site)]);
    }
    values.marker_name = overrides.marker_name.value_or(values.marker_name);
    values.antenna_number = overrides.antenna_number.value_or(values.antenna_number);
    values.antenna_type = overrides.antenna_type.value_or(values.antenna_type);
    values.receiver_type = overrides.receiver_type.value_or(values.receiver_type);
    values.observer = overrides.observer.value_or(values.observer);
    values.agency = overrides.agency.value_or(values.agency);
    if (overrides.antenna_delta && !site_records) {
        values.antenna_height = (*overrides.antenna_delta)[0];
        values.antenna_east = (*overrides.antenna_delta)[1];
        values.antenna_north = (*overrides.antenna_delta)[2];
    }
    if (overrides.approx_position && !site_records) {
        values.position_x = (*overrides.approx_position)[0];
        values.position_y = (*overrides.approx_position)[1];
        values.position_z = (*overrides.approx_position)[2];
    }
    return values;
}

std::vector<std::string> site_records(const ObsHeaderValues& values, SiteRecords which) {
    if (which == SiteRecords::new_site)
        return {marker_name_record(values), approx_position_record(values), antenna_delta_record(values)};
    return {marker_name_record(values),  marker_type_record(values),  observer_record(values),
            receiver_record(values),     antenna_type_record(values), approx_position_record(values),
            antenna_delta_record(values)};
}
