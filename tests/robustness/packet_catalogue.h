// Packets of every kind the store files, built with VxpLogWriter: random ones for the recovery
// property, and small realistic logs for the failure-path tests and the fuzzers' seed corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "tools/log_writer/log_writer.h"

namespace robustness {

// The descriptor sets whose good packets the store's observers see, in wire order.
inline constexpr uint8_t kObservedSets[] = {0x80, 0x81, 0x82, 0x91, 0x92, 0x93, 0x94, 0x95};

// One packet of `descriptor_set` with one to a few fields of the kinds that set carries, each a
// whole record of random bytes encoded by its decoder. Every packet holds at least one record
// of random content, so two packets of a log are never equal in practice.
void add_random_packet(VxpLogWriter& log, std::mt19937& random, uint8_t descriptor_set);

// A log of `count` random packets of the observed sets, and where each packet starts.
struct RandomLog {
    std::vector<uint8_t> bytes;
    std::vector<std::size_t> packet_starts;  // ascending; packet i ends where i + 1 starts
};
RandomLog random_log(std::mt19937& random, std::size_t count);

// A realistic log: receiver index 0 (set 0x91) and 2 (set 0x93) with `epochs` epochs of GPS and
// Galileo observations, 0 also with GPS, Galileo and GLONASS ephemerides, iono and leap seconds;
// IMU samples of set 0x80 with delta angles and velocities; a filter packet.
std::vector<uint8_t> sample_log(int epochs);

// Whole packets of one family each, as the seed corpus uses them: sensor, GNSS of every set,
// filter, command sets.
std::vector<std::vector<uint8_t>> sample_packets_by_family();

}  // namespace robustness
