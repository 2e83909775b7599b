#include "tools/vxpsim/packets.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Command set fields of the device command exchange.
constexpr uint8_t kCommandPing = 0x01;           // set 0x01: ping, no data
constexpr uint8_t kCommandAcknowledge = 0xF1;    // reply field: echoed command, error code
constexpr uint8_t kCommandMessageFormat = 0x08;  // set 0x0C: message format of a data set
constexpr uint8_t kCommandAntennaOffset = 0x13;  // set 0x0D: antenna offset (selector, 3 x f32)
constexpr uint8_t kReplyAntennaOffset = 0x83;    // its reply field
constexpr uint8_t kCommandApply = 1;             // function selector: apply the values
constexpr uint8_t kCommandRead = 2;              // function selector: read the values back

// Klobuchar and NeQuick-G coefficients of a quiet ionosphere, as broadcast.
constexpr double kGpsIonoAlpha[4] = {1.1176e-08, 7.4506e-09, -5.9605e-08, -5.9605e-08};
constexpr double kGpsIonoBeta[4] = {9.0112e+04, 1.6384e+04, -1.9661e+05, -6.5536e+04};
constexpr double kGalileoIonoAlpha[3] = {6.2500e+01, -1.5625e-01, 7.5684e-03};

// A big-endian f32 in command data (command packets are not records; they are written as bytes).
void put_f32(uint8_t* at, float v) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    at[0] = b[3];
    at[1] = b[2];
    at[2] = b[1];
    at[3] = b[0];
}

void add_vector(VxpLogWriter& w, uint8_t descriptor, const SensorVector& v) {
    w.field(descriptor, v, vxp_decode_sensor_vector);
}
}  // namespace

GpsTimestamp make_timestamp(const WeekTime& t) {
    GpsTimestamp ts{};
    ts.time_of_week = t.tow;
    ts.week_number = static_cast<uint16_t>(t.week);
    ts.valid_flags = kValidFlags;
    return ts;
}

void add_time_fields(VxpLogWriter& w, TimeFields fields, uint8_t own_descriptor, const GpsTimestamp& ts) {
    if (fields != TimeFields::shared)
        w.field(own_descriptor, ts, vxp_decode_gps_timestamp);
    if (fields != TimeFields::own)
        w.field(VXP_FIELD_SHARED_TIME, ts, vxp_decode_gps_timestamp);
}

void write_status_packets(LogOutput& out, uint8_t set, const GpsTimestamp& ts, const ReceiverStatus& s,
                          const PacketTag& tag) {
    GnssRecord03 llh{s.latitude_deg, s.longitude_deg, s.height_m, s.height_m - 48.0, 1.5f, 2.5f, kValidFlags};
    GnssRecord04 ecef{s.ecef[0], s.ecef[1], s.ecef[2], 2.0f, kValidFlags};
    const float vn = static_cast<float>(s.velocity_ned[0]), ve = static_cast<float>(s.velocity_ned[1]);
    const float vd = static_cast<float>(s.velocity_ned[2]);
    const float ground = std::sqrt(vn * vn + ve * ve);
    GnssRecord05 ned{{vn, ve, vd, std::sqrt(ground * ground + vd * vd), ground,
                      std::atan2(ve, vn) * 57.29578f, 0.05f, 1.0f},
                     kValidFlags};
    GnssRecord06 vel{{static_cast<float>(s.velocity_ecef[0]), static_cast<float>(s.velocity_ecef[1]),
                      static_cast<float>(s.velocity_ecef[2]), 0.05f},
                     kValidFlags};
    GnssRecord07 dop{{1.8f, 1.5f, 0.8f, 1.2f, 0.9f, 0.6f, 0.5f}, kValidFlags};
    GnssRecord08 utc{static_cast<uint16_t>(s.utc.year),
                     static_cast<uint8_t>(s.utc.month),
                     static_cast<uint8_t>(s.utc.day),
                     static_cast<uint8_t>(s.utc.hour),
                     static_cast<uint8_t>(s.utc.minute),
                     static_cast<uint8_t>(s.utc.second),
                     static_cast<uint32_t>((s.utc.second - static_cast<int>(s.utc.second)) * 1000.0 + 0.5),
                     kValidFlags};
    GnssRecord0A clock{s.clock_bias_s, s.clock_drift, 2e-8, kValidFlags};
    GnssRecord0B fix{3, static_cast<uint8_t>(std::min(s.satellites, 255)), 0x0003, kValidFlags};
    GnssRecord0D hardware{1, 2, 1, kValidFlags};

    VxpLogWriter& a = out.begin(set);
    add_time_fields(a, TimeFields::both, VXP_GNSS_FIELD_TIME, ts);
    a.field(VXP_GNSS_FIELD_RECORD03, llh, vxp_decode_gnss_record03);
    a.field(VXP_GNSS_FIELD_RECORD04, ecef, vxp_decode_gnss_record04);
    a.field(VXP_GNSS_FIELD_RECORD05, ned, vxp_decode_gnss_record05);
    out.end(tag);
    VxpLogWriter& b = out.begin(set);
    add_time_fields(b, TimeFields::shared, VXP_GNSS_FIELD_TIME, ts);
    b.field(VXP_GNSS_FIELD_RECORD06, vel, vxp_decode_gnss_record06);
    b.field(VXP_GNSS_FIELD_RECORD07, dop, vxp_decode_gnss_record07);
    b.field(VXP_GNSS_FIELD_RECORD08, utc, vxp_decode_gnss_record08);
    b.field(VXP_GNSS_FIELD_RECORD0A, clock, vxp_decode_gnss_record0A);
    b.field(VXP_GNSS_FIELD_RECORD0B, fix, vxp_decode_gnss_record0B);
    b.field(VXP_GNSS_FIELD_RECORD0D, hardware, vxp_decode_gnss_record0D);
    out.end(tag);
}

void write_observation_packets(LogOutput& out, uint8_t set, const GpsTimestamp& ts, const RawObservation* obs,
                               std::size_t count, const PacketTag& tag) {
    for (std::size_t first = 0; first < count; first += kObservationsPerPacket) {
        VxpLogWriter& w = out.begin(set);
        add_time_fields(w, TimeFields::shared, VXP_GNSS_FIELD_TIME, ts);
        const std::size_t last = std::min(count, first + kObservationsPerPacket);
        for (std::size_t i = first; i < last; ++i)
            w.field(VXP_GNSS_FIELD_RAW_OBSERVATION, obs[i], vxp_decode_raw_observation);
        out.end(tag);
    }
}

void write_kepler_ephemeris(LogOutput& out, uint8_t set, uint8_t field, const GpsTimestamp& ts,
                            const GpsEphemeris& eph, const PacketTag& tag) {
    VxpLogWriter& w = out.begin(set);
    add_time_fields(w, TimeFields::shared, VXP_GNSS_FIELD_TIME, ts);
    w.field(field, eph, vxp_decode_gps_ephemeris);
    out.end(tag);
}

void write_glonass_ephemerides(LogOutput& out, uint8_t set, const GpsTimestamp& ts,
                               const GlonassEphemeris* eph, std::size_t count, const PacketTag& tag) {
    for (std::size_t first = 0; first < count; first += kGlonassEphemeridesPerPacket) {
        VxpLogWriter& w = out.begin(set);
        add_time_fields(w, TimeFields::shared, VXP_GNSS_FIELD_TIME, ts);
        const std::size_t last = std::min(count, first + kGlonassEphemeridesPerPacket);
        for (std::size_t i = first; i < last; ++i)
            w.field(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, eph[i], vxp_decode_glonass_ephemeris);
        out.end(tag);
    }
}

void write_aux_packet(LogOutput& out, uint8_t set, const GpsTimestamp& ts, double leap_seconds,
                      const PacketTag& tag) {
    GpsIonoCorrection gps{};
    gps.time_of_week = ts.time_of_week;
    gps.week_number = ts.week_number;
    std::copy(std::begin(kGpsIonoAlpha), std::end(kGpsIonoAlpha), gps.alpha);
    std::copy(std::begin(kGpsIonoBeta), std::end(kGpsIonoBeta), gps.beta);
    gps.valid_flags = kValidFlags;
    GalileoIonoCorrection gal{};
    gal.time_of_week = ts.time_of_week;
    gal.week_number = ts.week_number;
    std::copy(std::begin(kGalileoIonoAlpha), std::end(kGalileoIonoAlpha), gal.alpha);
    gal.valid_flags = kValidFlags;
    GnssLeapSeconds leap{static_cast<uint8_t>(leap_seconds), kValidFlags};
    VxpLogWriter& w = out.begin(set);
    add_time_fields(w, TimeFields::shared, VXP_GNSS_FIELD_TIME, ts);
    w.field(VXP_GNSS_FIELD_GPS_IONO, gps, vxp_decode_gps_iono);
    w.field(VXP_GNSS_FIELD_GALILEO_IONO, gal, vxp_decode_galileo_iono);
    w.field(VXP_GNSS_FIELD_LEAP_SECONDS, leap, vxp_decode_leap_seconds);
    out.end(tag);
}

void write_base_packet(LogOutput& out, uint8_t set, const GpsTimestamp& ts, const BaseStationInfo& info,
                       const PacketTag& tag) {
    VxpLogWriter& w = out.begin(set);
    add_time_fields(w, TimeFields::shared, VXP_GNSS_FIELD_TIME, ts);
    w.field(VXP_GNSS_FIELD_BASE_STATION, info, vxp_decode_base_station_info);
    out.end(tag);
}

void write_imu_packet(LogOutput& out, TimeFields time, ImuData data, const GpsTimestamp& ts,
                      const SensorVector& angular, const SensorVector& linear, const SensorVector& rate,
                      const SensorVector& force, const PacketTag& tag) {
    VxpLogWriter& w = out.begin(VXP_SET_SENSOR);
    add_time_fields(w, time, VXP_SENSOR_FIELD_TIME, ts);
    if (data != ImuData::delta) {
        add_vector(w, VXP_SENSOR_FIELD_SCALED_ACCEL, force);
        add_vector(w, VXP_SENSOR_FIELD_SCALED_GYRO, rate);
    }
    if (data != ImuData::scaled) {
        add_vector(w, VXP_SENSOR_FIELD_DELTA_THETA, angular);
        add_vector(w, VXP_SENSOR_FIELD_DELTA_VELOCITY, linear);
    }
    out.end(tag);
}

void write_filter_packet(LogOutput& out, TimeFields time, const GpsTimestamp& ts, const FilterSolution& f,
                         const PacketTag& tag) {
    FilterRecord01 position{f.latitude_deg, f.longitude_deg, f.height_m, kValidFlags};
    FilterVector velocity{f.velocity_ned[0], f.velocity_ned[1], f.velocity_ned[2], kValidFlags};
    FilterVector attitude{f.attitude_rad[0], f.attitude_rad[1], f.attitude_rad[2], kValidFlags};
    FilterRecord10 status{2, 1, 0};  // filter running, vehicle mode, no flags
    VxpLogWriter& w = out.begin(VXP_SET_FILTER);
    add_time_fields(w, time, VXP_FILTER_FIELD_TIME, ts);
    w.field(VXP_FILTER_FIELD_RECORD10, status, vxp_decode_filter_record10);
    w.field(VXP_FILTER_FIELD_RECORD01, position, vxp_decode_filter_record01);
    w.field(VXP_FILTER_FIELD_VECTOR02, velocity, vxp_decode_filter_vector);
    w.field(VXP_FILTER_FIELD_VECTOR05, attitude, vxp_decode_filter_vector);
    out.end(tag);
}

void write_command_exchange(LogOutput& out, int sequence, const PacketTag& tag, uint64_t counts[3]) {
    // Ping and its acknowledgement.
    const uint8_t no_data[1] = {0};  // a valid pointer even for no bytes (memcpy must not see null)
    out.begin(VXP_SET_COMMAND_01).raw_field(kCommandPing, no_data, 0);
    out.end(tag);
    const uint8_t ping_ack[2] = {kCommandPing, 0};
    out.begin(VXP_SET_COMMAND_01).raw_field(kCommandAcknowledge, ping_ack, sizeof ping_ack);
    out.end(tag);
    counts[0] += 2;
    // Message format of the sensor set: selector, set, count, then (descriptor, rate divider u16) pairs.
    const uint8_t format[9] = {kCommandApply,
                               VXP_SET_SENSOR,
                               2,
                               VXP_SENSOR_FIELD_DELTA_THETA,
                               0,
                               1,
                               VXP_SENSOR_FIELD_DELTA_VELOCITY,
                               0,
                               1};
    out.begin(VXP_SET_COMMAND_0C).raw_field(kCommandMessageFormat, format, sizeof format);
    out.end(tag);
    const uint8_t format_ack[2] = {kCommandMessageFormat, 0};
    out.begin(VXP_SET_COMMAND_0C).raw_field(kCommandAcknowledge, format_ack, sizeof format_ack);
    out.end(tag);
    counts[1] += 2;
    // Antenna offset: applied on the first exchange, read back later.
    uint8_t offset[13] = {static_cast<uint8_t>(sequence == 0 ? kCommandApply : kCommandRead)};
    uint8_t values[12];
    put_f32(values, 0.35f);
    put_f32(values + 4, -0.10f);
    put_f32(values + 8, -1.20f);
    if (sequence == 0)
        std::memcpy(offset + 1, values, sizeof values);
    out.begin(VXP_SET_COMMAND_0D).raw_field(kCommandAntennaOffset, offset, sizeof offset);
    out.end(tag);
    const uint8_t offset_ack[2] = {kCommandAntennaOffset, 0};
    VxpLogWriter& reply = out.begin(VXP_SET_COMMAND_0D);
    reply.raw_field(kCommandAcknowledge, offset_ack, sizeof offset_ack);
    reply.raw_field(kReplyAntennaOffset, values, sizeof values);
    out.end(tag);
    counts[2] += 2;
}
