// Pieces of the RINEX navigation writer: the value format, the list of distinct ephemerides and
// the text of one GPS, Galileo or GLONASS record (eight or four lines of the file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/vxp_data_store.h"
#include "vxp/records/gnss_records.h"

// Satellite system of one navigation record; the values are the codes written in the list.
enum class EphemerisSystem : uint8_t {
    gps = 1,
    glonass = 2,
    galileo = 3,
};

// One entry of the ephemeris list: a record held by the store, not owned. GPS and Galileo share
// one layout and use `kepler`; GLONASS uses `glonass`.
struct EphemerisRef {
    EphemerisSystem system;
    const GpsEphemeris* kepler = nullptr;
    const GlonassEphemeris* glonass = nullptr;
};

// Every record value: "% 0.12e", 19 characters for decimal exponents -99 to 99.
std::string format_nav_value(double value);

// GPS user range accuracy index to metres.
double ura_index_to_metres(int index);

// The receiver's ephemerides in file order: GPS slots 0-32, Galileo slots 0-36, GLONASS slots
// 0-31; within a slot in arrival order, a record repeating its predecessor's orbit left out.
std::vector<EphemerisRef> build_ephemeris_list(int32_t receiver_index, const VxpDataStore& store);

// Composed text of one record, before it is cut into 80-column lines. `system` selects the GPS
// or the Galileo layout.
std::string kepler_record_text(const GpsEphemeris& record, EphemerisSystem system);
std::string glonass_record_text(const GlonassEphemeris& record);

// GPS seconds of week (of the record's own week) of a GLONASS ephemeris reference time.
double glonass_epoch_seconds(const GlonassEphemeris& record);
// The message frame time: the instant whose UTC time of day is tk - 3 h nearest the record's epoch,
// in seconds of the week in which that epoch falls (below 0 or past a week near a week change).
double glonass_frame_time(const GlonassEphemeris& record);
