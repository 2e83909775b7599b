// The site of an observation file: marker, observer, receiver, antenna and position. Each value is
// decided in one place, and its records are laid out in one place, for the header and the
// new-site events alike.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rinex/epoch_selection.h"
#include "store/vxp_data_store.h"

// The values of the site records. A default-made one is a moving site nothing is known of: blank
// texts, position and antenna offsets zero, the default observer and agency.
struct ObsHeaderValues {
    std::string marker_name;                   // MARKER NAME
    std::string marker_type = "GROUND_CRAFT";  // MARKER TYPE
    std::string observer = "Observer";         // OBSERVER / AGENCY
    std::string agency = "Agency";
    std::string receiver_number;  // REC # / TYPE / VERS
    std::string receiver_type;
    std::string receiver_version;
    std::string antenna_number;  // ANT # / TYPE
    std::string antenna_type;
    double position_x = 0.0;  // APPROX POSITION XYZ, ECEF metres (all zero: unknown, moving)
    double position_y = 0.0;
    double position_z = 0.0;
    double antenna_height = 0.0;  // ANTENNA: DELTA H/E/N, metres
    double antenna_east = 0.0;
    double antenna_north = 0.0;
};

// What the user states about the site; each value given replaces the one the log gives.
struct SiteOverrides {
    std::optional<std::string> marker_name;  // the header's; a new-site event keeps its station's
    std::optional<std::string> antenna_number;
    std::optional<std::string> antenna_type;
    std::optional<std::string> receiver_type;
    std::optional<std::string> observer;
    std::optional<std::string> agency;
    // Height, east, north in metres: for a file without base-station records, whose own records
    // give the height of each site.
    std::optional<std::array<double, 3>> antenna_delta;
    // ECEF X, Y, Z in metres: likewise for a file without base-station records, whose own records
    // give the position of each site.
    std::optional<std::array<double, 3>> approx_position;
};

// The header values of a receiver's file: as the log gives them, then what the user states. From
// the log: for the fixed site, a geodetic marker, with base-station records the station, position
// and antenna height of the record in force at the first kept epoch; for every other file a
// moving one, named as its file begins, and nothing else known.
ObsHeaderValues observation_header_values(int32_t receiver_index, const VxpDataStore& store,
                                          const SiteOverrides& overrides = {},
                                          const EpochSelection& selection = {});
// The same for a log streaming past: `sites` holds the base-station records, and
// `fixed_site_first_kept` is the first kept observation of the fixed site (null when it has none).
ObsHeaderValues observation_header_values(int32_t receiver_index, const VxpDataStore& sites,
                                          const SiteOverrides& overrides,
                                          const RawObservation* fixed_site_first_kept);

// The base-station record in force at an epoch: from start_index on, the last record of the run
// whose times are at or before the epoch time (start_index itself when the next record is later,
// or when no record follows it).
int32_t find_base_station_record(double time_of_week, uint32_t week_number, int32_t start_index,
                                 const VxpDataStore& store);

// The values with the station, position and antenna height of a base-station record.
ObsHeaderValues with_base_station(ObsHeaderValues values, const BaseStationInfo& site);

// Whether a record describes another site than the one before it: any value with_base_station
// takes differs (station, position or antenna height; a NaN differs from everything), so that a
// new-site event is written whenever the records it would repeat change.
bool site_changes(const BaseStationInfo& old_site, const BaseStationInfo& new_site);

// The index of the base-station record in force at the first kept epoch of the fixed site (0 when
// every record is later); -1 without records.
int32_t header_site_index(const VxpDataStore& store, const EpochSelection& selection = {});
// The same from the first kept observation of the fixed site (null when it has none).
int32_t header_site_index(const VxpDataStore& sites, const RawObservation* first_kept);

// Which site records: all of the header's, or those a new-site event repeats (marker name,
// position, antenna height).
enum class SiteRecords { header, new_site };

// The records in file order, each a line to be written wrapped (label in columns 61-80).
std::vector<std::string> site_records(const ObsHeaderValues& values, SiteRecords which);
