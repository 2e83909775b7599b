// The store's consumer of routed records: counts packets and damaged packets per source and files
// every record by descriptor set, receiver and satellite, with the time index of its packet.
#pragma once

#include <cstdint>

#include "route/record_consumer.h"

class VxpDataStore;

// What a store keeps: everything, or only the small, slowly growing part that the headers and the
// navigation files need (ephemerides, ionospheric and leap-second records, base-station records)
// while the bulk of the log streams past.
enum class StoreContents { everything, navigation_and_sites };

class StoreFiler final : public RecordConsumer {
  public:
    explicit StoreFiler(VxpDataStore& store) : store_(store) {}
    void set_contents(StoreContents contents) { contents_ = contents; }
    StoreContents contents() const { return contents_; }

    // A store of navigation and site records converts nothing it would not keep (its packet
    // observers, when set, still see every packet).
    unsigned interest() const override;
    void checksum_error(uint8_t descriptor_set) override;
    void good_packet(uint8_t descriptor_set, const uint8_t* packet, uint16_t size, uint8_t kind) override;
    void sensor_packet(const SensorPacketRecords& records) override;
    void filter_packet(const FilterPacketRecords& records) override;
    void gnss_packet(int receiver, const GnssPacketRecords& records) override;
    void observation(int receiver, const RawObservation& observation, bool starts_epoch) override;
    void gps_ephemeris(int receiver, const GpsEphemeris& ephemeris) override;
    void galileo_ephemeris(int receiver, const GalileoEphemeris& ephemeris) override;
    void glonass_ephemeris(int receiver, const GlonassEphemeris& ephemeris) override;
    void gps_iono(int receiver, const GpsIonoCorrection& correction) override;
    void galileo_iono(int receiver, const GalileoIonoCorrection& correction) override;
    void leap_seconds(int receiver, const GnssLeapSeconds& record) override;
    void base_station(const BaseStationInfo& record) override;
    void command_packet(uint8_t descriptor_set, const uint8_t* packet, uint16_t size) override;

  private:
    bool keeps_bulk() const { return contents_ == StoreContents::everything; }

    VxpDataStore& store_;
    StoreContents contents_ = StoreContents::everything;
};
