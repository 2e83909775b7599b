// Small binary logs for the command-line tests, built packet by packet with the library's own
// packet builder.
#pragma once

#include <cstdint>
#include <vector>

// Receiver index 0 (set 0x91): two epochs of GPS observations, a GPS ephemeris and a valid
// leap-second record of 17 s. Receiver index 1 (set 0x92): two epochs, no ephemeris. Receiver
// index 2 (set 0x93): one damaged packet only. Sensor set: three IMU samples 0.01 s apart with
// scaled acceleration and rate, and one damaged packet.
std::vector<uint8_t> two_receiver_log();

// Receiver index 0 with observations whose constellation identifier is 0: the observation
// writer cannot build its signal list and reports it.
std::vector<uint8_t> unknown_constellation_log();
