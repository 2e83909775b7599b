// A consumer that writes down every call it gets, with the bytes of every record, so that two
// routings of one log can be compared call for call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "route/record_consumer.h"

class RecordTrace : public RecordConsumer {
  public:
    explicit RecordTrace(unsigned interest = kRouteEverything) : interest_(interest) {}

    std::vector<std::string> calls;

    unsigned interest() const override { return interest_; }
    void checksum_error(uint8_t set) override;
    void good_packet(uint8_t set, const uint8_t* packet, uint16_t size, uint8_t kind) override;
    void sensor_packet(const SensorPacketRecords& r) override;
    void filter_packet(const FilterPacketRecords& r) override;
    void gnss_packet(int receiver, const GnssPacketRecords& r) override;
    void observation(int receiver, const RawObservation& o, bool starts_epoch) override;
    void gps_ephemeris(int receiver, const GpsEphemeris& e) override;
    void galileo_ephemeris(int receiver, const GalileoEphemeris& e) override;
    void glonass_ephemeris(int receiver, const GlonassEphemeris& e) override;
    void gps_iono(int receiver, const GpsIonoCorrection& i) override;
    void galileo_iono(int receiver, const GalileoIonoCorrection& i) override;
    void leap_seconds(int receiver, const GnssLeapSeconds& l) override;
    void base_station(const BaseStationInfo& b) override;
    void command_packet(uint8_t set, const uint8_t* packet, uint16_t size) override;

  private:
    unsigned interest_;
};

// A log of the test corpus (a path from the repository's root), whole.
std::vector<uint8_t> corpus_log(const std::string& path);
