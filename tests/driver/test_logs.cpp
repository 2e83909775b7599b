// Small binary logs for the command-line tests.
#include "test_logs.h"

#include "tests/support/log_fixtures.h"
#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

namespace {

constexpr uint16_t kWeek = 2300;  // 2024-02-04 .. 2024-02-10
constexpr uint8_t kGps = 1;
constexpr uint8_t kSignalL1CA = 1;

GpsTimestamp timestamp(double time_of_week) {
    return time_tag(time_of_week, kWeek);
}

RawObservation observation(uint8_t gnss_id, uint8_t satellite, double time_of_week) {
    return make_observation(time_of_week, kWeek, gnss_id, satellite, kSignalL1CA,
                            {21000000.0 + satellite, 110000000.5, -1200.25f, 45.0f});
}

void add_epoch(VxpLogWriter& log, uint8_t set, uint8_t gnss_id, uint8_t satellite, double time_of_week) {
    log.begin(set);
    log.field(VXP_GNSS_FIELD_TIME, timestamp(time_of_week), vxp_decode_gps_timestamp);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(gnss_id, satellite, time_of_week),
              vxp_decode_raw_observation);
    log.finish();
}

}  // namespace

std::vector<uint8_t> two_receiver_log() {
    VxpLogWriter log;
    const uint8_t receiver0 = receiver_set(0);
    const uint8_t receiver1 = receiver_set(1);
    const uint8_t receiver2 = receiver_set(2);

    log.begin(receiver0);
    log.field(VXP_GNSS_FIELD_LEAP_SECONDS, GnssLeapSeconds{17, 1}, vxp_decode_leap_seconds);
    log.finish();
    log.begin(receiver0);
    log.field(VXP_GNSS_FIELD_GPS_EPHEMERIS, plain_gps_ephemeris(5, 100.0, kWeek), vxp_decode_gps_ephemeris);
    log.finish();

    for (int i = 0; i < 3; ++i) {
        const double time_of_week = 100.0 + 0.01 * i;
        log.begin(VXP_SET_SENSOR);
        log.field(VXP_SENSOR_FIELD_TIME, timestamp(time_of_week), vxp_decode_gps_timestamp);
        log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, SensorVector{0.0f, 0.0f, -1.0f}, vxp_decode_sensor_vector);
        log.field(VXP_SENSOR_FIELD_SCALED_GYRO, SensorVector{0.001f, 0.0f, 0.0f}, vxp_decode_sensor_vector);
        log.finish();
    }
    add_damaged_packet(log, VXP_SET_SENSOR, VXP_SENSOR_FIELD_SCALAR17);

    add_epoch(log, receiver0, kGps, 5, 100.0);
    add_epoch(log, receiver1, kGps, 7, 100.0);
    add_epoch(log, receiver0, kGps, 5, 101.0);
    add_epoch(log, receiver1, kGps, 7, 101.0);
    add_damaged_packet(log, receiver2, VXP_GNSS_FIELD_RECORD0D);
    return log.bytes();
}

std::vector<uint8_t> unknown_constellation_log() {
    VxpLogWriter log;
    add_epoch(log, receiver_set(0), 0, 5, 100.0);
    add_epoch(log, receiver_set(0), 0, 5, 101.0);
    return log.bytes();
}
