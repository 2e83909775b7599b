// Several consumers of one routing: every record goes to each of them in turn, so that one reading
// of the log serves them all.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "route/record_consumer.h"

class RecordFanOut final : public RecordConsumer {
  public:
    RecordFanOut(std::initializer_list<RecordConsumer*> consumers) : consumers_(consumers) {}
    explicit RecordFanOut(std::vector<RecordConsumer*> consumers) : consumers_(std::move(consumers)) {}

    unsigned interest() const override {
        unsigned all = 0;
        for (const RecordConsumer* c : consumers_)
            all |= c->interest();
        return all;
    }
    bool takes_receiver(int receiver) const override {
        for (const RecordConsumer* c : consumers_) {
            if (c->takes_receiver(receiver))
                return true;
        }
        return false;
    }
    void checksum_error(uint8_t set) override {
        for (RecordConsumer* c : consumers_)
            c->checksum_error(set);
    }
    void good_packet(uint8_t set, const uint8_t* packet, uint16_t size, uint8_t kind) override {
        for (RecordConsumer* c : consumers_)
            c->good_packet(set, packet, size, kind);
    }
    void sensor_packet(const SensorPacketRecords& r) override {
        for (RecordConsumer* c : consumers_)
            c->sensor_packet(r);
    }
    void filter_packet(const FilterPacketRecords& r) override {
        for (RecordConsumer* c : consumers_)
            c->filter_packet(r);
    }
    void gnss_packet(int receiver, const GnssPacketRecords& r) override {
        for (RecordConsumer* c : consumers_)
            c->gnss_packet(receiver, r);
    }
    void observation(int receiver, const RawObservation& o, bool starts_epoch) override {
        for (RecordConsumer* c : consumers_)
            c->observation(receiver, o, starts_epoch);
    }
    void gps_ephemeris(int receiver, const GpsEphemeris& e) override {
        for (RecordConsumer* c : consumers_)
            c->gps_ephemeris(receiver, e);
    }
    void galileo_ephemeris(int receiver, const GalileoEphemeris& e) override {
        for (RecordConsumer* c : consumers_)
            c->galileo_ephemeris(receiver, e);
    }
    void glonass_ephemeris(int receiver, const GlonassEphemeris& e) override {
        for (RecordConsumer* c : consumers_)
            c->glonass_ephemeris(receiver, e);
    }
    void gps_iono(int receiver, const GpsIonoCorrection& i) override {
        for (RecordConsumer* c : consumers_)
            c->gps_iono(receiver, i);
    }
    void galileo_iono(int receiver, const GalileoIonoCorrection& i) override {
        for (RecordConsumer* c : consumers_)
            c->galileo_iono(receiver, i);
    }
    void leap_seconds(int receiver, const GnssLeapSeconds& l) override {
        for (RecordConsumer* c : consumers_)
            c->leap_seconds(receiver, l);
    }
    void base_station(const BaseStationInfo& b) override {
        for (RecordConsumer* c : consumers_)
            c->base_station(b);
    }
    void command_packet(uint8_t set, const uint8_t* packet, uint16_t size) override {
        for (RecordConsumer* c : consumers_)
            c->command_packet(set, packet, size);
    }

  private:
    std::vector<RecordConsumer*> consumers_;
};
