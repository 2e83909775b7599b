// A synthetic log of the benchmark's mix, built in memory for the micro-benchmarks: per 10 ms of
// log five inertial packets (0xD3 time tag, delta theta, delta velocity) and one filter packet,
// and every 100 ms an epoch of 31 satellites on two signals for receivers 0 and 2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

namespace bench_log {

constexpr uint16_t kWeek = 2304;
constexpr double kStart = 216000.0;
constexpr int kSatellites = 31;
constexpr int kSignals = 2;
// Raw observations per GNSS packet: three 63-byte fields and the 14-byte time fill 203 of 255 bytes.
constexpr int kObservationsPerPacket = 3;

inline RawObservation observation(double time, int satellite, int signal) {
    RawObservation o{};
    o.time_of_week = time;
    o.week_number = kWeek;
    o.gnss_id = static_cast<uint8_t>(1 + satellite % 4);
    o.satellite_id = static_cast<uint8_t>(1 + satellite);
    o.signal_id = static_cast<uint8_t>(1 + 3 * signal);
    o.signal_strength = 30.0f + static_cast<float>(satellite % 20);
    o.pseudorange = 20000000.0 + 123456.789 * satellite + 1000.0 * time / 7.0;
    o.carrier_phase = 105000000.0 + 654321.123 * satellite - 5000.0 * time / 3.0;
    o.doppler = static_cast<float>(-3000.0 + 191.7 * satellite);
    o.valid_flags = 0xFFFF;
    return o;
}

inline void add_epoch(VxpLogWriter& log, uint8_t descriptor_set, double time) {
    const GpsTimestamp stamp{time, kWeek, 3};
    int in_packet = kObservationsPerPacket;
    for (int satellite = 0; satellite < kSatellites; ++satellite) {
        for (int signal = 0; signal < kSignals; ++signal) {
            if (in_packet == kObservationsPerPacket) {
                log.begin(descriptor_set);
                log.field(VXP_FIELD_SHARED_TIME, stamp, vxp_decode_gps_timestamp);
                in_packet = 0;
            }
            log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(time, satellite, signal),
                      vxp_decode_raw_observation);
            ++in_packet;
        }
    }
}

// About `bytes` bytes of log.
inline std::vector<uint8_t> make(std::size_t bytes) {
    VxpLogWriter log;
    for (int tick = 0; log.bytes().size() < bytes; ++tick) {
        const double time = kStart + 0.01 * tick;
        for (int k = 0; k < 5; ++k) {
            const float v = 0.001f * static_cast<float>((tick + k) % 1000);
            log.begin(VXP_SET_SENSOR);
            log.field(VXP_FIELD_SHARED_TIME, GpsTimestamp{time + 0.002 * k, kWeek, 3},
                      vxp_decode_gps_timestamp);
            log.field(VXP_SENSOR_FIELD_DELTA_THETA, SensorVector{v, -v, 0.5f}, vxp_decode_sensor_vector);
            log.field(VXP_SENSOR_FIELD_DELTA_VELOCITY, SensorVector{0.01f, v, -1.0f},
                      vxp_decode_sensor_vector);
        }
        log.begin(VXP_SET_FILTER);
        log.field(VXP_FIELD_SHARED_TIME, GpsTimestamp{time, kWeek, 3}, vxp_decode_gps_timestamp);
        log.field(VXP_FILTER_FIELD_VECTOR02, FilterVector{}, vxp_decode_filter_vector);
        log.field(VXP_FILTER_FIELD_VECTOR05, FilterVector{}, vxp_decode_filter_vector);
        if (tick % 10 == 0) {
            add_epoch(log, VXP_SET_GNSS_FIRST, time);
            add_epoch(log, VXP_SET_GNSS_BASE, time);
        }
    }
    return log.bytes();
}

}  // namespace bench_log
