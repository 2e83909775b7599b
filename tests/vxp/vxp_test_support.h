// Helpers shared by the protocol library tests: packets built by an independent reference of the
// frame rules, a callback that records every event, and a fake millisecond clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "vxp/parser.h"

namespace vxp_test {

using Bytes = std::vector<uint8_t>;

// Frames a payload: 75 65, set, length, payload, then the two running sums over all of it.
inline Bytes make_packet(uint8_t descriptor_set, const Bytes& payload) {
    Bytes packet(4 + payload.size() + 2);
    packet[0] = 0x75;
    packet[1] = 0x65;
    packet[2] = descriptor_set;
    packet[3] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), packet.begin() + 4);
    packet.resize(4 + payload.size());
    uint8_t sum1 = 0;
    uint8_t sum2 = 0;
    for (uint8_t b : packet) {
        sum1 = static_cast<uint8_t>(sum1 + b);
        sum2 = static_cast<uint8_t>(sum2 + sum1);
    }
    packet.push_back(sum1);
    packet.push_back(sum2);
    return packet;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Event {
    uint8_t kind;
    uint16_t size;
    Bytes bytes;  // kind 0: the packet; kind 1: the whole candidate; kind 2: the header
};

struct Recorder {
    std::vector<Event> events;

    static void callback(void* user, uint8_t* packet, uint16_t size, uint8_t kind) {
        auto* self = static_cast<Recorder*>(user);
        size_t length = size;
        if (kind == VXP_PACKET_CHECKSUM_ERROR)
            length = VXP_HEADER_SIZE + packet[3] + VXP_CHECKSUM_SIZE;
        self->events.push_back({kind, size, Bytes(packet, packet + length)});
    }

    std::vector<Bytes> delivered() const {
        std::vector<Bytes> packets;
        for (const Event& event : events) {
            if (event.kind == VXP_PACKET_OK)
                packets.push_back(event.bytes);
        }
        return packets;
    }

    size_t count(uint8_t kind) const {
        size_t n = 0;
        for (const Event& event : events)
            n += event.kind == kind;
        return n;
    }
};

// A clock that moves only when the test says so.
inline uint32_t fake_now = 0;
inline uint32_t fake_clock() {
    return fake_now;
}

inline uint16_t receive_all(vxp_parser& parser, const Bytes& bytes) {
    uint32_t accepted = 0;
    return vxp_parser_receive(&parser, bytes.data(), static_cast<uint32_t>(bytes.size()), &accepted);
}

}  // namespace vxp_test
