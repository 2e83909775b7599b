// What the packet router hands on: the decoded records of every good packet, in host order, to
// a consumer that keeps them (the store), writes them (the streaming writers) or counts them.
// Every pointer is valid only during the call; an absent record is a null pointer.
#pragma once

#include <array>
#include <cstdint>

#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

inline constexpr int kReceiverCount = 5;
// Ephemeris slots, one per satellite number: GPS satellites count 1-32 and Galileo 1-36, so their
// slots run to the highest number; GLONASS slots run 0-31. A record of a higher number is dropped.
inline constexpr int kGpsSlots = 33;
inline constexpr int kGalileoSlots = 37;
inline constexpr int kGlonassSlots = 32;

// Receiver index of a GNSS data set (the legacy set feeds receiver 0 like the first set).
int receiver_for_set(uint8_t descriptor_set);
bool is_gnss_set(uint8_t descriptor_set);

// The records of one sensor packet (set 0x80).
struct SensorPacketRecords {
    const GpsTimestamp* own_time = nullptr;     // field 0x12
    const GpsTimestamp* shared_time = nullptr;  // field 0xD3
    const SensorVector* scaled_accel = nullptr;
    const SensorVector* scaled_gyro = nullptr;
    const SensorVector* vector06 = nullptr;
    const SensorScalar17* scalar17 = nullptr;
    const SensorVector* delta_theta = nullptr;
    const SensorVector* delta_velocity = nullptr;

    // The packet's time tag: its shared time record, else its own; null for an untimed packet.
    const GpsTimestamp* tag() const { return shared_time != nullptr ? shared_time : own_time; }
};

// The time-indexed records of one GNSS packet (the observations, ephemerides and other records
// that are filed by themselves come through their own calls, during the packet's field walk).
struct GnssPacketRecords {
    const GpsTimestamp* own_time = nullptr;     // field 0x09
    const GpsTimestamp* shared_time = nullptr;  // field 0xD3
    const GnssRecord03* record03 = nullptr;
    const GnssRecord05* record05 = nullptr;
    const GnssRecord04* record04 = nullptr;
    const GnssRecord06* record06 = nullptr;
    const GnssRecord0B* record0B = nullptr;
    const GnssRecord07* record07 = nullptr;
    const GnssRecord08* record08 = nullptr;
    const GnssRecord0A* record0A = nullptr;
    const GnssRecord0D* record0D = nullptr;
};

// Number of filter vector descriptors 0x05 .. 0x0C.
inline constexpr int kFilterVectorRun = VXP_FILTER_FIELD_VECTOR0C - VXP_FILTER_FIELD_VECTOR05 + 1;

// The records of one navigation filter packet (set 0x82).
struct FilterPacketRecords {
    const GpsTimestamp* own_time = nullptr;     // field 0x11
    const GpsTimestamp* shared_time = nullptr;  // field 0xD3
    const FilterRecord10* record10 = nullptr;
    const FilterRecord01* record01 = nullptr;
    const FilterVector* vector02 = nullptr;
    std::array<const FilterVector*, kFilterVectorRun> vectors{};  // 0x05 .. 0x0C
};

// Families of records a consumer may go without: the router then spends nothing on converting
// them (the packets are still counted through good_packet). The router makes the calls of the last
// three families whatever the interest; a relay to another thread (route/record_relay.h) hands on
// only the calls its consumer's interest names.
enum RouteInterest : unsigned {
    kRouteFilterRecords = 1u << 0,     // navigation filter packets
    kRouteGnssTimedRecords = 1u << 1,  // GNSS records 0x03-0x0D and their time records
    kRouteSensorExtras = 1u << 2,      // sensor fields 0x06 and 0x17
    kRouteCommandPackets = 1u << 3,    // device command and reply packets
    // The bytes of every good packet in good_packet. Without it a consumer fed from another thread
    // (route/record_relay.h) gets the packet's set, size and kind with a null packet.
    kRoutePacketBytes = 1u << 4,
    kRouteObservations = 1u << 5,   // observation
    kRouteSensorPackets = 1u << 6,  // sensor_packet
    kRouteGoodPackets = 1u << 7,    // good_packet
    kRouteEverything = ~0u,
};

// Receives what the router finds. Every call has an empty default, so that a consumer overrides
// only what it uses.
class RecordConsumer {
  public:
    virtual ~RecordConsumer() = default;

    // The families this consumer takes (asked once, when a router is made for it).
    virtual unsigned interest() const { return kRouteEverything; }
    // Whether it takes the observations of this receiver (a relay hands on no others).
    virtual bool takes_receiver(int /*receiver*/) const { return true; }

    // A packet whose checksum failed; its set byte is trusted as received.
    virtual void checksum_error(uint8_t /*descriptor_set*/) {}
    // Every good packet, before any of its fields is converted.
    virtual void good_packet(uint8_t /*descriptor_set*/, const uint8_t* /*packet*/, uint16_t /*size*/,
                             uint8_t /*kind*/) {}

    virtual void sensor_packet(const SensorPacketRecords& /*records*/) {}
    virtual void filter_packet(const FilterPacketRecords& /*records*/) {}
    // After the packet's observations, ephemerides and other records below.
    virtual void gnss_packet(int /*receiver*/, const GnssPacketRecords& /*records*/) {}

    // A raw observation; `starts_epoch` when it begins a new epoch of its receiver (consecutive
    // observations of a receiver with the same time of week form one epoch).
    virtual void observation(int /*receiver*/, const RawObservation& /*observation*/, bool /*starts_epoch*/) {
    }
    // Ephemerides of a satellite number that has a slot, repeated broadcasts left out.
    virtual void gps_ephemeris(int /*receiver*/, const GpsEphemeris& /*ephemeris*/) {}
    virtual void galileo_ephemeris(int /*receiver*/, const GalileoEphemeris& /*ephemeris*/) {}
    virtual void glonass_ephemeris(int /*receiver*/, const GlonassEphemeris& /*ephemeris*/) {}
    virtual void gps_iono(int /*receiver*/, const GpsIonoCorrection& /*correction*/) {}
    virtual void galileo_iono(int /*receiver*/, const GalileoIonoCorrection& /*correction*/) {}
    virtual void leap_seconds(int /*receiver*/, const GnssLeapSeconds& /*record*/) {}
    // Only the base receiver's set carries a meaningful base-station record.
    virtual void base_station(const BaseStationInfo& /*record*/) {}

    // A device command or reply packet (sets 0x01, 0x0C, 0x0D), whole.
    virtual void command_packet(uint8_t /*descriptor_set*/, const uint8_t* /*packet*/, uint16_t /*size*/) {}
};
