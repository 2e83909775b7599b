// The one routing of packets: which records are taken from which set and field, the epoch rule
// and the drop of repeated ephemerides. Every consumer of a log (the whole-log store, the
// streaming writers, the summaries) sees the same records through it.
#pragma once

#include <array>
#include <cstdint>

#include "route/record_consumer.h"

class PacketRouter {
  public:
    explicit PacketRouter(RecordConsumer& consumer) : consumer_(consumer), interest_(consumer.interest()) {}

    // Handles one parser event (a good packet, a checksum failure or a payload timeout). The
    // records of a good packet are copied out and converted to host order; its bytes stay as
    // they are.
    void route(uint8_t* packet, uint16_t size, uint8_t kind);
    // Forgets the epochs and ephemerides seen: the next log starts afresh.
    void reset();

    // Called through the parser's C callback, where no exception may pass: a consumer that ran
    // out of memory stops the routing, and the caller of the parser rethrows once it returns.
    void route_from_parser(uint8_t* packet, uint16_t size, uint8_t kind) noexcept;
    // Throws std::bad_alloc when a packet routed from the parser ran out of memory.
    void rethrow_allocation_failure() const;

  private:
    // The time of week of the receiver's current epoch, when it has one.
    struct EpochState {
        bool open = false;
        double time_of_week = 0.0;
    };
    // The time of week of each slot's last ephemeris, when it has one.
    template <int Slots>
    struct SlotState {
        std::array<bool, Slots> filled{};
        std::array<double, Slots> time_of_week{};
        bool is_new(uint8_t slot, double t);
    };

    void route_sensor(uint8_t* packet, uint16_t size);
    void route_gnss(uint8_t* packet, uint16_t size, uint8_t descriptor_set);
    void route_filter(uint8_t* packet, uint16_t size);
    bool route_gnss_record(int receiver, uint8_t descriptor_set, uint8_t descriptor, uint8_t* data,
                           uint16_t size);

    bool wants(unsigned family) const { return (interest_ & family) != 0; }

    RecordConsumer& consumer_;
    unsigned interest_;
    bool out_of_memory_ = false;
    std::array<EpochState, kReceiverCount> epochs_{};
    std::array<SlotState<kGpsSlots>, kReceiverCount> gps_{};
    std::array<SlotState<kGalileoSlots>, kReceiverCount> galileo_{};
    std::array<SlotState<kGlonassSlots>, kReceiverCount> glonass_{};
};

// The parser callback for a router in user_ptr.
extern "C" void vxp_router_packet_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind);
