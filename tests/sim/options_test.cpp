// Command line of the simulator: defaults, values, and refusal of bad input.
#include <gtest/gtest.h>

#include <vector>

#include "tools/vxpsim/sim_options.h"

namespace {
bool parse(std::vector<const char*> args, SimOptions& o, std::string& error) {
    set_default_receivers(o);
    bool help = false;
    return parse_options(static_cast<int>(args.size()), args.data(), o, error, help);
}
}  // namespace

TEST(Options, DefaultsWriteReceiversZeroAndTwoAndATruthBesideTheLog) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-o", "out/run.vxp"}, o, error)) << error;
    EXPECT_TRUE(o.receivers[0].enabled);
    EXPECT_FALSE(o.receivers[1].enabled);
    EXPECT_TRUE(o.receivers[2].enabled);
    EXPECT_EQ(o.truth, "out/run.truth.json");
    EXPECT_TRUE(o.gps && o.glonass && o.galileo && o.beidou);
}

TEST(Options, ValuesAreTaken) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(
        parse({"--receivers",  "1,4",       "--systems",  "R",      "--rx4",      "static:1,2,3",
               "--clock4",     "1e-4,2e-9", "--imu-data", "scaled", "--imu-time", "own",
               "--corrupt",    "0.01",      "--truncate", "9",      "--start",    "2024-06-01T00:00:00",
               "--legacy-set", "--no-noise"},
              o, error))
        << error;
    EXPECT_TRUE(o.receivers[1].enabled && o.receivers[4].enabled && !o.receivers[0].enabled);
    EXPECT_TRUE(o.glonass && !o.gps && !o.galileo && !o.beidou);
    EXPECT_EQ(o.receivers[4].trajectory.kind, TrajectoryKind::fixed);
    EXPECT_DOUBLE_EQ(o.receivers[4].clock.drift, 2e-9);
    EXPECT_EQ(o.imu_data, ImuData::scaled);
    EXPECT_EQ(o.imu_time, TimeFields::own);
    EXPECT_DOUBLE_EQ(o.damage.corrupt_fraction, 0.01);
    EXPECT_EQ(o.damage.truncate_bytes, 9u);
    EXPECT_EQ(o.start.month, 6);
    EXPECT_TRUE(o.legacy_set);
    EXPECT_EQ(o.pseudorange_noise_m, 0.0);
    EXPECT_EQ(o.truth, "sim.truth.json");
}

TEST(Options, BadInputIsRefusedWithTheOptionNamed) {
    for (std::vector<const char*> bad : {std::vector<const char*>{"--receivers", "5"},
                                         {"--systems", "GX"},
                                         {"--duration", "-3"},
                                         {"--truncate", "300"},
                                         {"--imu-data", "raw"},
                                         {"--frobnicate", "1"},
                                         {"--duration"},
                                         {"--clock0", "0.5,0"}}) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(parse(bad, o, error)) << bad[0];
        EXPECT_NE(error.find(bad[0]), std::string::npos) << error;
    }
}
