// Settings of one simulator run and their command line: what is written (receivers, systems,
// rates, noise, inertial and filter data, commands), the damage to apply, and where the log and its
// truth file go. Every option has a default, so "vxpsim -o log.vxp" writes a complete log.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/vxpsim/log_output.h"
#include "tools/vxpsim/receiver_model.h"
#include "tools/vxpsim/sim_time.h"

inline constexpr int kReceiverSlots = 5;

struct ReceiverOptions {
    bool enabled = false;
    TrajectoryConfig trajectory;  // of the antenna
    ReceiverClock clock;
};

enum class ImuData { delta, scaled, both };
// Which time fields a packet carries: the shared 0xD3, the set's own, or both.
enum class TimeFields { shared, own, both };

struct SimOptions {
    std::string output = "sim.vxp";
    std::string truth;  // default: the output path with ".truth.json" in place of its extension
    GpsCalendar start{2024, 3, 5, 12, 0, 0.0};
    double duration_s = 300.0;
    double leap_seconds = 18.0;
    uint64_t seed = 1;

    std::array<ReceiverOptions, kReceiverSlots> receivers;
    bool legacy_set = false;  // receiver 0 writes set 0x81 instead of 0x91
    bool gps = true, glonass = true, galileo = true, beidou = true;
    bool dual_frequency = false;
    double obs_rate_hz = 1.0;
    double elevation_mask_deg = 10.0;
    double pseudorange_noise_m = 0.3;
    double phase_noise_m = 0.003;
    double doppler_noise_hz = 0.05;

    double ephemeris_interval_s = 30.0;
    double ephemeris_duplicate_fraction = 0.1;  // share of ephemeris packets written twice in a row
    double aux_interval_s = 60.0;               // ionosphere and leap seconds
    double base_interval_s = 10.0;              // base-station information (receiver 2)
    uint16_t station_id = 1200;
    double antenna_height_m = 1.25;
    double site_change_s = -1.0;  // receiver 2 moves to a new site this long after the start (< 0: never)
    double site_change_east_m = 800.0;

    double imu_rate_hz = 100.0;  // 0: no inertial data
    ImuData imu_data = ImuData::delta;
    TimeFields imu_time = TimeFields::shared;
    double gyro_noise = 2e-4;      // rad/s
    double accel_noise = 2e-4;     // g
    double filter_rate_hz = 10.0;  // 0: none
    TimeFields filter_time = TimeFields::shared;
    double command_interval_s = 120.0;  // 0: commands only at the start

    DamageConfig damage;
    bool truth_epochs = true;  // list every epoch in the truth file
};

// Fills `options` from the command line (after the program name). On error returns false with a
// message; `help` is set when the usage was asked for.
bool parse_options(int argc, const char* const* argv, SimOptions& options, std::string& error, bool& help);
std::string usage_text();
// The receivers' default trajectories and clocks, and 0 and 2 enabled.
void set_default_receivers(SimOptions& options);
