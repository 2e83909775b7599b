// One simulator run: the sky, the receivers, the inertial sensor and the device's other output,
// written to the log in time order, and the truth of what was written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/vxpsim/log_output.h"
#include "tools/vxpsim/sim_options.h"
#include "tools/vxpsim/vec3.h"

struct EpochTruth {
    WeekTime time;  // time tag of the epoch (receiver clock)
    Vec3 position;  // antenna, ECEF, at the true reception time
    uint16_t satellites = 0;
    uint16_t observations = 0;
    bool damaged = false;  // some packet of the epoch's observations was damaged
};

struct SiteTruth {
    WeekTime from;
    uint16_t station_id = 0;
    Vec3 marker;
    Vec3 antenna;
    double antenna_height = 0.0;
};

// Ephemeris counts by system: 0 GPS, 1 GLONASS, 2 Galileo.
inline constexpr int kEphemerisSystems = 3;

struct ReceiverTruth {
    int index = 0;
    uint8_t descriptor_set = 0;
    TrajectoryConfig trajectory;
    ReceiverClock clock;
    uint64_t packets = 0;
    uint64_t observations = 0;
    uint64_t damaged_epochs = 0;
    // Ephemeris fields written (repeats included) and distinct ephemerides (what a navigation file holds).
    std::array<uint64_t, kEphemerisSystems> ephemeris_fields{};
    std::array<uint64_t, kEphemerisSystems> distinct_ephemerides{};
    std::vector<std::pair<int, int>> glonass_slots;  // (slot, frequency channel), ascending
    std::vector<SiteTruth> sites;                    // receiver 2 only
    std::vector<EpochTruth> epochs;
};

struct ImuSummary {
    double rate_hz = 0.0;
    uint64_t samples = 0;
    uint64_t damaged = 0;
    WeekTime first, last;
    float first_angular[3] = {0.f, 0.f, 0.f};  // delta theta (rad) or rate (rad/s) of the first sample
    float first_linear[3] = {0.f, 0.f, 0.f};   // delta velocity (g s) or specific force (g)
};

struct RunTruth {
    WeekTime start;
    double duration_s = 0.0;
    std::vector<ReceiverTruth> receivers;
    ImuSummary imu;
    uint64_t filter_packets = 0;
    uint64_t command_packets[3] = {0, 0, 0};  // sets 0x01, 0x0C, 0x0D
    uint64_t packets = 0;
    uint64_t bytes = 0;
    uint64_t garbage_blocks = 0, garbage_bytes = 0;
    uint32_t truncated_bytes = 0;
    std::vector<DamagedPacket> damaged;
};

// Writes the log of `options` and fills `truth`. False with a message when the log cannot be written.
bool run_simulation(const SimOptions& options, RunTruth& truth, std::string& error);
