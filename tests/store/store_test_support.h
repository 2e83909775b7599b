// Helpers of the store tests: host records for the log writer, and routing of a whole log's
// packets into a store the way the parser hands them over (one exact-size buffer per packet).
// Tests compare members of packed records through a unary + (a copy of the value): gtest would
// otherwise bind a reference to a possibly misaligned member.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "store/vxp_data_store.h"
#include "tests/support/log_fixtures.h"
#include "tools/log_writer/log_writer.h"

namespace store_test {

inline constexpr uint16_t kWeek = 2200;

inline GpsTimestamp time_record(double time_of_week, uint16_t week = kWeek,
                                uint16_t valid_flags = kTimeTagValid) {
    return time_tag(time_of_week, week, valid_flags);
}

inline SensorVector vector(float x, float y, float z) {
    return SensorVector{x, y, z};
}

// A GPS L1 C/A observation.
inline RawObservation observation(double time_of_week, uint8_t satellite, double pseudorange = 2.1e7) {
    return make_observation(time_of_week, kWeek, 1, satellite, 1, {.pseudorange = pseudorange});
}

inline GpsEphemeris ephemeris(uint8_t satellite, double time_of_week, double t_oc = 7200.0) {
    GpsEphemeris e{};
    e.time_of_week = time_of_week;
    e.week_number = kWeek;
    e.satellite_id = satellite;
    e.t_oc = t_oc;
    e.eccentricity = 0.01;
    return e;
}

inline GlonassEphemeris glonass_ephemeris(uint8_t slot, double time_of_week) {
    GlonassEphemeris e{};
    e.time_of_week = time_of_week;
    e.week_number = kWeek;
    e.satellite_id = slot;
    e.frequency_number = -7;
    e.x = 1.0e7;
    return e;
}

// Splits a log of well-formed packets and routes each packet, in a buffer of exactly its size,
// with the given kind (so the sanitizer sees any read beyond the packet).
inline void route_log(VxpDataStore& store, const std::vector<uint8_t>& log, uint8_t kind = VXP_PACKET_OK) {
    std::size_t at = 0;
    while (at + VXP_HEADER_SIZE <= log.size()) {
        const std::size_t size = log[at + 3] + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE;
        std::vector<uint8_t> packet(log.begin() + at, log.begin() + at + size);
        store.route_packet(packet.data(), static_cast<uint16_t>(size), kind);
        at += size;
    }
}

inline void route(VxpDataStore& store, VxpLogWriter& writer, uint8_t kind = VXP_PACKET_OK) {
    route_log(store, writer.bytes(), kind);
}

// A packet laid out byte by byte (header, payload as given, checksum), for malformed fields the
// writer refuses to build.
inline std::vector<uint8_t> raw_packet(uint8_t descriptor_set, const std::vector<uint8_t>& payload) {
    // Sized once and filled in place: g++ 12 misreports a vector insert here at -O2.
    std::vector<uint8_t> packet(VXP_HEADER_SIZE + payload.size() + VXP_CHECKSUM_SIZE);
    packet[0] = VXP_SYNC1;
    packet[1] = VXP_SYNC2;
    packet[2] = descriptor_set;
    packet[3] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), packet.begin() + VXP_HEADER_SIZE);
    vxp_packet_finalize(packet.data());
    return packet;
}

// The wire bytes of a field: length byte, descriptor, the record encoded for the wire.
template <class R>
std::vector<uint8_t> wire_field(uint8_t descriptor, R record, void (*encode)(uint8_t*)) {
    std::vector<uint8_t> field(VXP_FIELD_HEADER_SIZE + sizeof(R));
    field[0] = static_cast<uint8_t>(sizeof(R) + VXP_FIELD_HEADER_SIZE);
    field[1] = descriptor;
    std::memcpy(field.data() + VXP_FIELD_HEADER_SIZE, &record, sizeof(R));
    encode(field.data() + VXP_FIELD_HEADER_SIZE);
    return field;
}

}  // namespace store_test
