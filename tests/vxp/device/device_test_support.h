// Shared pieces of the device tests: a packet-event recorder and a hand-driven clock.
#pragma once

#include <cstdint>
#include <vector>

#include "simulated_device.h"
#include "vxp/device/device.h"

struct PacketEvent {
    Bytes bytes;  // the `size` bytes the callback was given
    uint8_t kind;
};

struct Recorder {
    std::vector<PacketEvent> events;

    static void callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
        static_cast<Recorder*>(user_ptr)->events.push_back({Bytes(packet, packet + size), kind});
    }
};

// A clock that moves only when the test moves it.
struct ManualClock {
    static inline uint32_t now = 0;
    static uint32_t tick() { return now; }
};
