// The site of an observation file: marker, receiver, antenna and position. Each value is decided in
// one place, and each of its header records is laid out in one place, for the header and the
// new-site events alike.
#pragma once

#include <cstdint>
#include <string>

#include "store/vxp_data_store.h"

// The values of the site records. A default-made one is a site nothing is known of: blank texts,
// position and antenna offsets zero.
struct ObsHeaderValues {
    std::string marker_name;      // MARKER NAME
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

// The fixed site: its data set carries the base-station records and its file is a static one.
inline constexpr int32_t OBS_FIXED_SITE_RECEIVER = 2;

// The header values of a receiver's file as the log gives them: for the fixed site with
// base-station records, the station, position and antenna height of the record in force at the
// first epoch; for every other file the station name that begins the file's name, and nothing
// else known.
ObsHeaderValues observation_header_values(int32_t receiver_index, const VxpDataStore& store);

// The values with the station, position and antenna height of a base-station record.
ObsHeaderValues with_base_station(ObsHeaderValues values, const BaseStationInfo& site);

// The index of the base-station record in force at the first epoch of the fixed site (0 when
// every record is later); -1 without records.
int32_t header_site_index(const VxpDataStore& store);

// The records, each a line to be written wrapped (label in columns 61-80).
std::string marker_name_record(const ObsHeaderValues& values);
std::string receiver_record(const ObsHeaderValues& values);
std::string antenna_type_record(const ObsHeaderValues& values);
std::string approx_position_record(const ObsHeaderValues& values);
std::string antenna_delta_record(const ObsHeaderValues& values);
