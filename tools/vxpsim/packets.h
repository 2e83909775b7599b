// Composition of the simulator's packets: which fields go together in one packet of which descriptor
// set, each record encoded for the wire by its own field decoder. Observations of one epoch are split
// over packets of at most three RawObservation fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/vxpsim/log_output.h"
#include "tools/vxpsim/sim_options.h"
#include "tools/vxpsim/sim_time.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

// valid_flags of every record the simulator writes: the data are valid.
inline constexpr uint16_t kValidFlags = 0x0007;
// RawObservation fields per packet, so that a packet with its time field stays well inside 261 bytes.
inline constexpr std::size_t kObservationsPerPacket = 3;
// GLONASS ephemeris fields per packet.
inline constexpr std::size_t kGlonassEphemeridesPerPacket = 2;

GpsTimestamp make_timestamp(const WeekTime& t);

// The time fields of a packet: the shared 0xD3 field, the set's own field, or both.
void add_time_fields(VxpLogWriter& w, TimeFields fields, uint8_t own_descriptor, const GpsTimestamp& ts);

// Per-epoch receiver state reported in the records that no output reads (position, velocity, DOP, ...).
struct ReceiverStatus {
    double latitude_deg = 0.0, longitude_deg = 0.0, height_m = 0.0;
    double ecef[3] = {0.0, 0.0, 0.0};
    double velocity_ned[3] = {0.0, 0.0, 0.0};
    double velocity_ecef[3] = {0.0, 0.0, 0.0};
    double clock_bias_s = 0.0, clock_drift = 0.0;
    int satellites = 0;
    GpsCalendar utc;
};

// One GNSS epoch: two status packets, then the observations three per packet.
void write_status_packets(LogOutput& out, uint8_t set, const GpsTimestamp& ts, const ReceiverStatus& s,
                          const PacketTag& tag);
void write_observation_packets(LogOutput& out, uint8_t set, const GpsTimestamp& ts, const RawObservation* obs,
                               std::size_t count, const PacketTag& tag);
// One GPS (field 0x61) or Galileo (0x63) ephemeris in a packet.
void write_kepler_ephemeris(LogOutput& out, uint8_t set, uint8_t field, const GpsTimestamp& ts,
                            const GpsEphemeris& eph, const PacketTag& tag);
// GLONASS ephemerides, two per packet.
void write_glonass_ephemerides(LogOutput& out, uint8_t set, const GpsTimestamp& ts,
                               const GlonassEphemeris* eph, std::size_t count, const PacketTag& tag);
// Ionospheric parameters of both systems and the leap seconds.
void write_aux_packet(LogOutput& out, uint8_t set, const GpsTimestamp& ts, double leap_seconds,
                      const PacketTag& tag);
void write_base_packet(LogOutput& out, uint8_t set, const GpsTimestamp& ts, const BaseStationInfo& info,
                       const PacketTag& tag);

// Sensor packet (set 0x80) of one sample.
void write_imu_packet(LogOutput& out, TimeFields time, ImuData data, const GpsTimestamp& ts,
                      const SensorVector& angular, const SensorVector& linear, const SensorVector& rate,
                      const SensorVector& force, const PacketTag& tag);

struct FilterSolution {
    double latitude_deg = 0.0, longitude_deg = 0.0, height_m = 0.0;
    float velocity_ned[3] = {0.f, 0.f, 0.f};
    float attitude_rad[3] = {0.f, 0.f, 0.f};  // roll, pitch, heading
};
// Navigation filter packet (set 0x82).
void write_filter_packet(LogOutput& out, TimeFields time, const GpsTimestamp& ts, const FilterSolution& f,
                         const PacketTag& tag);
// A device command exchange: commands and acknowledgements in sets 0x01, 0x0C and 0x0D.
// Returns the number of packets written per set (0x01, 0x0C, 0x0D).
void write_command_exchange(LogOutput& out, int sequence, const PacketTag& tag, uint64_t counts[3]);
