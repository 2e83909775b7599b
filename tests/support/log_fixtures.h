// Records and packets for the logs the tests build with the log writer (tools/log_writer), and
// the way such a log reaches a store: what every suite needs before its own fixtures.
#pragma once

#include <cstdint>
#include <string>

#include "route/record_consumer.h"
#include "store/vxp_data_store.h"
#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

// Time-record flags: time of week and week number valid.
inline constexpr uint16_t kTimeTagValid = 0x0003;
// Record flags: every field valid.
inline constexpr uint16_t kAllFieldsValid = 0xFFFF;

GpsTimestamp time_tag(double time_of_week, uint16_t week, uint16_t valid_flags = kTimeTagValid);

// The measured values of one observation; zero where not given.
struct ObservationValues {
    double pseudorange = 0;
    double carrier_phase = 0;
    float doppler = 0;
    float signal_strength = 0;
};

// One raw observation of a signal with every field marked valid.
RawObservation make_observation(double time_of_week, uint16_t week, uint8_t gnss_id, uint8_t satellite_id,
                                uint8_t signal_id, ObservationValues values = {});

// A GPS ephemeris of a plain orbit (semi-major axis 26560 km, eccentricity 0.01, inclination
// 0.96 rad), issue 12, clock and ephemeris referred to 100800 s of the week.
GpsEphemeris plain_gps_ephemeris(uint8_t satellite, double time_of_week, uint16_t week);

// The descriptor set of receiver index `receiver` (index 0: the first GNSS set).
uint8_t receiver_set(int receiver);

// One packet of `descriptor_set` holding one field of `record`; false when the record does not fit.
template <class Record>
bool add_packet(VxpLogWriter& log, uint8_t descriptor_set, uint8_t descriptor, const Record& record,
                VxpLogWriter::Encoder encode) {
    log.begin(descriptor_set);
    const bool added = log.field(descriptor, record, encode);
    log.finish();
    return added;
}

// One packet of `descriptor_set` with a field of zeros whose checksum no longer matches: a data
// byte is changed after the checksum was made.
void add_damaged_packet(VxpLogWriter& log, uint8_t descriptor_set, uint8_t descriptor);

// Writes the log to the file `path` and loads that file into the store, as the program does;
// false when either fails.
bool load_log(VxpLogWriter& log, VxpDataStore& store, const std::string& path);

// Reads the log file `path` through a packet router into `consumer`, as one reading of the run
// does; false when the file cannot be read.
bool feed_log_file(const std::string& path, RecordConsumer& consumer);
