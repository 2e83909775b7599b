// A consumer on a thread of its own: the records the router hands over are copied into batches,
// and a worker thread hands them on to the target consumer in the same order, call for call. The
// target sees exactly what it would see on the router's thread, so its results do not depend on
// how the work is shared; the router meanwhile goes on framing and converting. Calls of families
// the target's interest leaves out are not handed on.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "route/record_consumer.h"

class RecordRelay final : public RecordConsumer {
  public:
    // Starts the worker (std::system_error when no thread can be made). The target is used by the
    // worker alone until finish() returns; its interest and the receivers it takes are asked here,
    // once.
    explicit RecordRelay(RecordConsumer& target);
    RecordRelay(const RecordRelay&) = delete;
    RecordRelay& operator=(const RecordRelay&) = delete;
    // Without finish(): what is still queued is dropped, and the worker stopped.
    ~RecordRelay() override;

    // Waits until the target has taken every record; then its results may be read. Rethrows what
    // the target threw (the calls after it were not made).
    void finish();

    unsigned interest() const override { return interest_; }
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
    // Calls written one after another into a block of bytes (uninitialised: every byte read was
    // written first).
    struct Batch {
        std::unique_ptr<uint8_t[]> bytes;
        std::size_t size = 0;
    };

    // Room for the largest call in the batch being filled, handing it over first when it is full;
    // commit() marks the call written up to `end`.
    uint8_t* reserve();
    void commit(const uint8_t* end);
    void hand_over();
    void stop();
    void work();
    void replay(const Batch& batch);
    bool wants(unsigned family) const { return (interest_ & family) != 0; }

    RecordConsumer& target_;
    const unsigned interest_;
    unsigned receivers_ = 0;  // a bit per receiver whose observations the target takes
    std::vector<Batch> batches_;
    std::size_t filling_ = 0;    // the batch the router's thread writes
    std::size_t filled_ = 0;     // batches handed over and not yet given back, oldest first:
    std::size_t next_full_ = 0;  // the one the worker takes next
    bool closing_ = false;       // no more batches come
    bool failed_ = false;        // the worker hands nothing more on
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
};
