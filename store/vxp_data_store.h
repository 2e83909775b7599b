// VxpDataStore: loads one binary log through the packet parser and keeps every decoded record
// in memory, filed by descriptor set, receiver index and satellite; the writers read it through
// the queries below.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "route/packet_router.h"
#include "route/record_consumer.h"
#include "store/gps_time_window.h"
#include "store/sequence.h"
#include "store/store_filer.h"
#include "store/store_memory.h"
#include "vxp/parser.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

// The receiver whose data set also carries the base-station records (set 0x93: index 2): a fixed
// site, where the others may move.
inline constexpr int kFixedSiteReceiver = VXP_SET_GNSS_BASE - VXP_SET_GNSS_FIRST;
inline constexpr std::size_t kRawPacketCopySize = 264;

// A record together with the position of its packet's time record in the time sequence in force.
template <class R>
struct TimeIndexed {
    R record;
    uint32_t time_index;
};

// One epoch's observations: a few dozen, so a plain vector (sized like the epoch before it), in
// the store's memory like every other record.
using RawEpoch = std::vector<RawObservation, StoreAllocator<RawObservation>>;
using RawPacketCopy = std::array<uint8_t, kRawPacketCopySize>;

// Observer of good packets of one family, called before any field is converted.
using PacketObserver = void (*)(void* user, const uint8_t* packet, uint16_t size, uint8_t kind);

template <class T>
using PerReceiver = std::array<T, kReceiverCount>;

class VxpDataStore {
  public:
    VxpDataStore();
    explicit VxpDataStore(const char* path);
    // A store that keeps only what the headers and navigation files need (StoreContents).
    explicit VxpDataStore(StoreContents contents);
    VxpDataStore(const VxpDataStore&) = delete;
    VxpDataStore& operator=(const VxpDataStore&) = delete;

    // Loading. Reads any input but a directory to its end (named pipes and devices included),
    // never asking for its size. False for a null path, a directory or a file that cannot be
    // opened for reading, and when a read fails before the end of the file (read_error() says why).
    bool load_file(const char* path);
    void clear();
    // Text of the read error that cut the last load short; empty when the load was complete.
    const std::string& read_error() const { return read_error_; }

    bool set_sensor_packet_observer(PacketObserver observer);
    bool set_gnss_packet_observer(PacketObserver observer);
    bool set_filter_packet_observer(PacketObserver observer);

    // The packet handler: counts damaged packets, files the records of good ones.
    void route_packet(uint8_t* packet, uint16_t size, uint8_t kind);
    // The consumer that files routed records into this store, for a router of someone else's
    // (a streaming run that hands the same records to its writers).
    RecordConsumer& record_filer() { return filer_; }
    // The router behind route_packet and load_file.
    PacketRouter& router() { return router_; }

    // Counts and presence.
    uint32_t imu_checksum_errors() const;
    uint32_t gnss_checksum_errors(uint8_t receiver_index) const;
    bool has_receiver_data(int receiver_index) const;
    bool has_navigation_data(int receiver_index) const;
    bool leap_seconds_from_data(double& leap_seconds) const;

    // Container access (receiver index 0..4, not validated).
    const Sequence<RawEpoch>& receiver_raw_epochs(int receiver_index) const;
    const std::array<Sequence<GpsEphemeris>, kGpsSlots>& receiver_gps_ephemerides(int receiver_index) const;
    const std::array<Sequence<GalileoEphemeris>, kGalileoSlots>& receiver_galileo_ephemerides(
        int receiver_index) const;
    const std::array<Sequence<GlonassEphemeris>, kGlonassSlots>& receiver_glonass_ephemerides(
        int receiver_index) const;
    const Sequence<GpsIonoCorrection>& receiver_gps_iono(int receiver_index) const;
    const Sequence<GalileoIonoCorrection>& receiver_galileo_iono(int receiver_index) const;
    const Sequence<BaseStationInfo>& base_station_records() const;
    const Sequence<TimeIndexed<DeltaThetaVector>>& delta_theta_records() const;
    const Sequence<TimeIndexed<DeltaVelocityVector>>& delta_velocity_records() const;

    // Time records.
    uint32_t imu_time_count() const;
    bool imu_time_at(uint32_t i, GpsTimestamp& out) const;
    bool gnss_time_at(int receiver_index, uint32_t i, GpsTimestamp& out) const;
    bool filter_time_at(uint32_t i, GpsTimestamp& out) const;
    uint32_t first_valid_gnss_time(int receiver_index) const;
    double imu_min_interval() const;
    // Samples per second of the IMU (ImuRate) from the intervals between neighbouring time tags
    // that both lie in the window: the rate of the records a file of that window holds.
    double imu_rate_hz(const GpsTimeWindow& window = {}) const;

    // Cursor lookups: the last element at or after the cursor whose time_index does not exceed t
    // (with exact, only an element whose time_index equals t). Rising t makes a pass linear.
    bool scaled_accel_at(uint32_t t, ScaledAccelVector& out, bool exact);
    bool scaled_gyro_at(uint32_t t, ScaledGyroVector& out, bool exact);
    bool sensor_vector06_at(uint32_t t, SensorVector06& out, bool exact);
    bool sensor_scalar17_at(uint32_t t, SensorScalar17& out, bool exact);
    bool delta_theta_at(uint32_t t, DeltaThetaVector& out, bool exact);
    bool delta_velocity_at(uint32_t t, DeltaVelocityVector& out, bool exact);
    bool gnss_record03_at(int receiver_index, uint32_t t, GnssRecord03& out, bool exact);
    bool gnss_record05_at(int receiver_index, uint32_t t, GnssRecord05& out, bool exact);
    bool gnss_record04_at(int receiver_index, uint32_t t, GnssRecord04& out, bool exact);
    bool gnss_record06_at(int receiver_index, uint32_t t, GnssRecord06& out, bool exact);
    bool gnss_record0B_at(int receiver_index, uint32_t t, GnssRecord0B& out, bool exact);
    bool gnss_record07_at(int receiver_index, uint32_t t, GnssRecord07& out, bool exact);
    bool gnss_record08_at(int receiver_index, uint32_t t, GnssRecord08& out, bool exact);
    bool gnss_record0A_at(int receiver_index, uint32_t t, GnssRecord0A& out, bool exact);
    bool gnss_record0D_at(int receiver_index, uint32_t t, GnssRecord0D& out, bool exact);
    bool filter_record10_at(uint32_t t, FilterRecord10& out, bool exact);
    bool filter_record01_at(uint32_t t, FilterRecord01& out, bool exact);
    bool filter_vector02_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector05_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector06_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector07_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector08_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector09_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector0A_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector0B_at(uint32_t t, FilterVector& out, bool exact);
    bool filter_vector0C_at(uint32_t t, FilterVector& out, bool exact);

    // Members, public as in a plain record: tests and tools may fill them directly.
    PacketObserver sensor_packet_observer = nullptr;
    PacketObserver gnss_packet_observer = nullptr;
    PacketObserver filter_packet_observer = nullptr;
    uint32_t imu_checksum_error_count = 0;
    uint32_t filter_checksum_error_count = 0;
    PerReceiver<uint32_t> gnss_checksum_error_count{};
    uint32_t packet_count = 0;
    uint32_t sensor_packet_count = 0;
    uint32_t filter_packet_count = 0;
    PerReceiver<uint32_t> gnss_packet_count{};
    Sequence<GpsTimestamp> imu_timestamps;
    Sequence<GpsTimestamp> imu_shared_timestamps;
    // Each timed sensor packet's tag (its 0xD3 record, else its 0x12 record) in arrival order, kept
    // only once the log mixes packets of the two kinds: the sensor records' time_index then counts
    // here. Empty while every timed packet has a tag of one kind.
    Sequence<GpsTimestamp> imu_packet_timestamps;
    Sequence<TimeIndexed<ScaledAccelVector>> scaled_accel;
    Sequence<TimeIndexed<ScaledGyroVector>> scaled_gyro;
    Sequence<TimeIndexed<SensorVector06>> sensor_vector06;
    Sequence<TimeIndexed<SensorScalar17>> sensor_scalar17;
    Sequence<TimeIndexed<DeltaThetaVector>> delta_theta;
    Sequence<TimeIndexed<DeltaVelocityVector>> delta_velocity;
    std::array<uint32_t, 6> sensor_cursors{};
    PerReceiver<Sequence<GpsTimestamp>> gnss_timestamps;
    PerReceiver<Sequence<GpsTimestamp>> gnss_shared_timestamps;
    PerReceiver<Sequence<TimeIndexed<GnssRecord03>>> gnss_record03;
    PerReceiver<Sequence<TimeIndexed<GnssRecord05>>> gnss_record05;
    PerReceiver<Sequence<TimeIndexed<GnssRecord04>>> gnss_record04;
    PerReceiver<Sequence<TimeIndexed<GnssRecord06>>> gnss_record06;
    PerReceiver<Sequence<TimeIndexed<GnssRecord0B>>> gnss_record0B;
    PerReceiver<Sequence<TimeIndexed<GnssRecord07>>> gnss_record07;
    PerReceiver<Sequence<TimeIndexed<GnssRecord08>>> gnss_record08;
    PerReceiver<Sequence<TimeIndexed<GnssRecord0A>>> gnss_record0A;
    PerReceiver<Sequence<TimeIndexed<GnssRecord0D>>> gnss_record0D;
    PerReceiver<Sequence<RawEpoch>> raw_epochs;
    PerReceiver<std::array<Sequence<GpsEphemeris>, kGpsSlots>> gps_ephemerides;
    PerReceiver<std::array<Sequence<GalileoEphemeris>, kGalileoSlots>> galileo_ephemerides;
    PerReceiver<std::array<Sequence<GlonassEphemeris>, kGlonassSlots>> glonass_ephemerides;
    PerReceiver<Sequence<GpsIonoCorrection>> gps_iono;
    PerReceiver<Sequence<GalileoIonoCorrection>> galileo_iono;
    PerReceiver<Sequence<GnssLeapSeconds>> leap_second_records;
    Sequence<BaseStationInfo> base_station_info;
    std::array<PerReceiver<uint32_t>, 9> gnss_cursors{};
    Sequence<GpsTimestamp> filter_timestamps;
    Sequence<GpsTimestamp> filter_shared_timestamps;
    Sequence<TimeIndexed<FilterRecord10>> filter_record10;
    Sequence<TimeIndexed<FilterRecord01>> filter_record01;
    Sequence<TimeIndexed<FilterVector>> filter_vector02;
    Sequence<TimeIndexed<FilterVector>> filter_vector05;
    Sequence<TimeIndexed<FilterVector>> filter_vector06;
    Sequence<TimeIndexed<FilterVector>> filter_vector07;
    Sequence<TimeIndexed<FilterVector>> filter_vector08;
    Sequence<TimeIndexed<FilterVector>> filter_vector09;
    Sequence<TimeIndexed<FilterVector>> filter_vector0A;
    Sequence<TimeIndexed<FilterVector>> filter_vector0B;
    Sequence<TimeIndexed<FilterVector>> filter_vector0C;
    std::array<uint32_t, 11> filter_cursors{};
    Sequence<TimeIndexed<RawPacketCopy>> raw_packets_01;
    Sequence<TimeIndexed<RawPacketCopy>> raw_packets_0C;
    Sequence<TimeIndexed<RawPacketCopy>> raw_packets_0D;
    vxp_parser parser{};
    uint32_t parser_timeout_ms = 1000;

  private:
    std::string read_error_;
    StoreFiler filer_{*this};
    PacketRouter router_{filer_};
};

// The parser callback handed to the parser by load_file: routes to the store in user_ptr.
extern "C" void vxp_store_packet_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind);
