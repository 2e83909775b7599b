// End to end: a simulated log converted by kelvartix, its RINEX files positioned by RTKLIB's
// rnx2rtkp (an independent reader) and compared with the simulator's truth; the IMR file checked
// against the simulated inertial samples; a damaged log loses only the epochs it damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "tests/e2e/e2e_support.h"

namespace {
// A few minutes of receivers 0 (a vehicle) and 2 (a base station that moves to a new site half way),
// all four systems, small measurement noise.
const char* const kCleanRun =
    "--duration 180 --receivers 0,2 --systems G,R,E,C --noise-pr 0.05 --noise-phase 0.002 "
    "--noise-doppler 0.02 --imu-rate 100 --imu-data delta --site-change 120 --seed 3";
const char* const kDamagedRun =
    "--duration 120 --receivers 0,2 --systems G,R,E --noise-pr 0.05 --imu-rate 200 --corrupt 0.02 "
    "--garbage 0.02 --truncate 9 --seed 5";

// RTKLIB system masks.
constexpr int kRtklibGps = 1, kRtklibGlonass = 4, kRtklibGalileo = 8;
constexpr double kToleranceM = 1.0;
double seconds_of_day(double tow) {
    return std::fmod(tow, 86400.0);
}

// Checks every epoch of the truth that is not damaged against rnx2rtkp's positions; returns how many
// epochs were checked.
int expect_positions(const Conversion& c, int receiver, int navsys, bool damaged_allowed) {
    const std::string obs = find_file(c.dir, "QRV_0" + std::to_string(receiver), "_MO.rnx");
    const std::string nav = find_file(c.dir, "QRV_0" + std::to_string(receiver), "_MN.rnx");
    EXPECT_FALSE(obs.empty());
    EXPECT_FALSE(nav.empty());
    if (obs.empty() || nav.empty())
        return 0;
    const std::vector<Fix> fixes = single_point_positions(c.dir, obs, nav, navsys);
    std::map<long long, Fix> by_time;
    for (const Fix& f : fixes)
        by_time[std::llround(f.tow * 1000.0)] = f;
    int checked = 0;
    double worst = 0.0;
    for (const Json& e : truth_receiver(c.truth, receiver)["epochs"]) {
        if (e["damaged"].get<bool>()) {
            EXPECT_TRUE(damaged_allowed);
            continue;
        }
        const auto it = by_time.find(std::llround(e["tow"].get<double>() * 1000.0));
        if (it == by_time.end()) {
            ADD_FAILURE() << "receiver " << receiver << " systems " << navsys << ": no position at "
                          << e["tow"].get<double>();
            continue;
        }
        const double d = std::hypot(it->second.x - e["x"].get<double>(), it->second.y - e["y"].get<double>(),
                                    it->second.z - e["z"].get<double>());
        worst = std::max(worst, d);
        EXPECT_LT(d, kToleranceM) << "receiver " << receiver << " systems " << navsys << " at "
                                  << e["tow"].get<double>();
        ++checked;
    }
    ::testing::Test::RecordProperty(
        "worst_error_rx" + std::to_string(receiver) + "_sys" + std::to_string(navsys), std::to_string(worst));
    return checked;
}

class EndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { run_ = std::make_unique<Conversion>(simulate_and_convert(kCleanRun)); }
    static void TearDownTestSuite() {
        if (run_ && !run_->dir.empty())
            std::system(("rm -rf '" + run_->dir + "'").c_str());
        run_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(run_->simulated) << "simulation failed in " << run_->dir;
        ASSERT_EQ(run_->exit_code, 0) << run_->console;
    }
    static void require_rtklib() {
        if (!rtklib_available())
            GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is missing and could not be installed: "
                            "RTKLIB positioning checks skipped";
    }
    static std::unique_ptr<Conversion> run_;
};
std::unique_ptr<Conversion> EndToEnd::run_;

TEST_F(EndToEnd, AllSystemsTogetherPositionEveryEpochWithinOneMetre) {
    require_rtklib();
    for (int rx : {0, 2})
        EXPECT_EQ(expect_positions(*run_, rx, kRtklibGps | kRtklibGlonass | kRtklibGalileo, false), 180);
}

TEST_F(EndToEnd, GpsAlonePositionsEveryEpochWithinOneMetre) {
    require_rtklib();
    for (int rx : {0, 2})
        EXPECT_EQ(expect_positions(*run_, rx, kRtklibGps, false), 180);
}

TEST_F(EndToEnd, GlonassAlonePositionsEveryEpochWithinOneMetre) {
    require_rtklib();
    for (int rx : {0, 2})
        EXPECT_EQ(expect_positions(*run_, rx, kRtklibGlonass, false), 180);
}

TEST_F(EndToEnd, GalileoAlonePositionsEveryEpochWithinOneMetre) {
    require_rtklib();
    for (int rx : {0, 2})
        EXPECT_EQ(expect_positions(*run_, rx, kRtklibGalileo, false), 180);
}

TEST_F(EndToEnd, ObservationFilesHoldEveryEpochWithAllItsSatellites) {
    for (int rx : {0, 2}) {
        const std::string obs = find_file(run_->dir, "QRV_0" + std::to_string(rx), "_MO.rnx");
        ASSERT_FALSE(obs.empty());
        std::vector<ObsEpoch> epochs = observation_epochs(read_text(run_->dir + "/" + obs));
        int events = 0;
        std::vector<ObsEpoch> data;
        for (const ObsEpoch& e : epochs)
            (e.flag == 0 ? data.push_back(e) : void(++events));
        const auto& truth = truth_receiver(run_->truth, rx)["epochs"];
        ASSERT_EQ(data.size(), truth.size()) << "receiver " << rx;
        for (std::size_t i = 0; i < data.size(); ++i) {
            EXPECT_DOUBLE_EQ(data[i].seconds_of_day, seconds_of_day(truth[i]["tow"].get<double>()));
            EXPECT_EQ(data[i].satellites, truth[i]["satellites"].get<double>());
        }
        // Receiver 2 reports its move to the second site once, as a new-site event.
        EXPECT_EQ(events, rx == 2 ? 1 : 0);
    }
}

TEST_F(EndToEnd, NavigationFilesHoldEachDistinctEphemerisOnce) {
    for (int rx : {0, 2}) {
        const std::string nav = find_file(run_->dir, "QRV_0" + std::to_string(rx), "_MN.rnx");
        ASSERT_FALSE(nav.empty());
        const std::string text = read_text(run_->dir + "/" + nav);
        std::map<char, int> records;
        std::size_t at = text.find("END OF HEADER");
        ASSERT_NE(at, std::string::npos);
        for (at = text.find('\n', at); at != std::string::npos && at + 1 < text.size();
             at = text.find('\n', at + 1)) {
            const char c = text[at + 1];
            if (c == 'G' || c == 'R' || c == 'E')
                ++records[c];
        }
        const Json& distinct = truth_receiver(run_->truth, rx)["distinct_ephemerides"];
        EXPECT_EQ(records['G'], distinct["gps"].get<double>());
        EXPECT_EQ(records['R'], distinct["glonass"].get<double>());
        EXPECT_EQ(records['E'], distinct["galileo"].get<double>());
        EXPECT_GT(records['R'], 0);
    }
}

TEST_F(EndToEnd, ImrFileHoldsOneRecordPerImuTagAtTheSimulatedRate) {
    const std::vector<uint8_t> imr = read_bytes(run_->dir + "/log.imr");
    const Json& imu = run_->truth["imu"];
    const double rate = imu["rate_hz"].get<double>();
    const auto samples = static_cast<std::size_t>(imu["samples"].get<double>());
    ASSERT_EQ(samples, 180u * 100u);
    ASSERT_EQ(imr.size(), kImrHeaderSize + samples * kImrRecordSize);
    EXPECT_EQ(std::memcmp(imr.data(), "$IMURAW", 8), 0);
    EXPECT_EQ(little_endian<int32_t>(imr, 17), 1);  // delta theta
    EXPECT_EQ(little_endian<int32_t>(imr, 21), 1);  // delta velocity
    EXPECT_EQ(little_endian<double>(imr, 25), rate);
    const double first = imu["first_tow"].get<double>();
    for (std::size_t k = 0; k < samples; ++k) {
        const double t = little_endian<double>(imr, kImrHeaderSize + k * kImrRecordSize);
        ASSERT_NEAR(t, first + static_cast<double>(k) / rate, 1e-6) << "record " << k;
    }
    // The first record's counts are the first sample's vectors in IMR units, to the nearest count.
    for (int axis = 0; axis < 3; ++axis) {
        const double angle = static_cast<float>(imu["first_angular"][axis].get<double>());
        const double velocity = static_cast<float>(imu["first_linear"][axis].get<double>());
        EXPECT_EQ(little_endian<int32_t>(imr, kImrHeaderSize + 8 + 4 * axis),
                  static_cast<int32_t>(std::round(angle * kImrDegreesPerRadian / kImrGyroScale)));
        EXPECT_EQ(little_endian<int32_t>(imr, kImrHeaderSize + 20 + 4 * axis),
                  static_cast<int32_t>(std::round(velocity * kStandardGravity / kImrAccelScale)));
    }
}

TEST(VariantEndToEnd, TenHertzDualFrequencyAcrossAWeekChangeWithScaledInertialData) {
    // Receiver 0 in the legacy set 0x81, a second signal per satellite, inertial rates and specific
    // forces with the sensor set's own time field, and a GPS week change half way.
    const Conversion c = simulate_and_convert(
        "--duration 30 --obs-rate 10 --start 2024-03-09T23:59:45 --receivers 0,2 --legacy-set "
        "--dual-frequency "
        "--noise-pr 0.05 --imu-data scaled --imu-time own --imu-rate 200 --filter-time own --seed 9");
    ASSERT_TRUE(c.simulated) << c.dir;
    ASSERT_EQ(c.exit_code, 0) << c.console;
    const std::string obs = find_file(c.dir, "QRV_00", "_10Z_MO.rnx");
    ASSERT_FALSE(obs.empty());
    EXPECT_NE(read_text(c.dir + "/" + obs).find("G    6 C1C L1C D1C C2W L2W D2W"), std::string::npos);
    const std::vector<uint8_t> imr = read_bytes(c.dir + "/log.imr");
    ASSERT_GE(imr.size(), kImrHeaderSize);
    EXPECT_EQ(little_endian<int32_t>(imr, 17), 0);  // rates, not increments
    EXPECT_EQ(little_endian<double>(imr, 25), 200.0);
    EXPECT_EQ((imr.size() - kImrHeaderSize) / kImrRecordSize, 30u * 200u);
    if (!rtklib_available())
        GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is missing and could not be installed";
    for (int rx : {0, 2})
        EXPECT_EQ(expect_positions(c, rx, kRtklibGps | kRtklibGlonass | kRtklibGalileo, false), 300);
    std::system(("rm -rf '" + c.dir + "'").c_str());
}

TEST(SampleEndToEnd, CommittedSampleConvertsAndPositionsWithinOneMetreOfItsTruth) {
    Conversion c =
        convert_copy(std::string(SAMPLE_DIR) + "/sample.vxp", std::string(SAMPLE_DIR) + "/sample.truth.json");
    ASSERT_TRUE(c.simulated) << "sample or its truth file missing in " << SAMPLE_DIR;
    EXPECT_EQ(c.exit_code, 0) << c.console;
    EXPECT_EQ(c.console.find("Warning"), std::string::npos) << c.console;
    if (!rtklib_available())
        GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is missing and could not be installed";
    for (int rx : {0, 2}) {
        const std::size_t epochs = truth_receiver(c.truth, rx)["epochs"].size();
        EXPECT_GT(epochs, 0u);
        EXPECT_EQ(expect_positions(c, rx, kRtklibGps | kRtklibGlonass | kRtklibGalileo, false),
                  static_cast<int>(epochs));
    }
    std::system(("rm -rf '" + c.dir + "'").c_str());
}

TEST(DamagedEndToEnd, ConvertsWithWarningsAndLosesOnlyDamagedEpochs) {
    const Conversion c = simulate_and_convert(kDamagedRun);
    ASSERT_TRUE(c.simulated) << c.dir;
    EXPECT_EQ(c.exit_code, 0) << c.console;
    EXPECT_NE(c.console.find("Warning: GNSS1 data has "), std::string::npos) << c.console;
    EXPECT_NE(c.console.find("Warning: GNSS3 data has "), std::string::npos) << c.console;
    EXPECT_NE(c.console.find("Warning: IMU data has "), std::string::npos) << c.console;
    EXPECT_NE(c.console.find(" checksum errors.  Data may be incomplete!"), std::string::npos);

    int damaged_epochs = 0;
    std::map<int, int> intact;
    for (int rx : {0, 2}) {
        const std::string obs = find_file(c.dir, "QRV_0" + std::to_string(rx), "_MO.rnx");
        ASSERT_FALSE(obs.empty());
        std::map<long long, int> written;
        for (const ObsEpoch& e : observation_epochs(read_text(c.dir + "/" + obs)))
            if (e.flag == 0)
                written[std::llround(e.seconds_of_day * 1000.0)] += e.satellites;
        for (const Json& e : truth_receiver(c.truth, rx)["epochs"]) {
            const long long key = std::llround(seconds_of_day(e["tow"].get<double>()) * 1000.0);
            if (e["damaged"].get<bool>()) {
                ++damaged_epochs;
                continue;
            }
            ++intact[rx];
            EXPECT_EQ(written[key], e["satellites"].get<double>())
                << "receiver " << rx << " at " << e["tow"].get<double>();
        }
    }
    EXPECT_GT(damaged_epochs, 0);
    // The inertial samples of undamaged packets all reach the IMR file.
    const Json& imu = c.truth["imu"];
    const std::size_t records = (read_bytes(c.dir + "/log.imr").size() - kImrHeaderSize) / kImrRecordSize;
    EXPECT_EQ(records, static_cast<std::size_t>(imu["samples"].get<double>() - imu["damaged"].get<double>()));
    EXPECT_GT(imu["damaged"].get<double>(), 0.0);
    if (rtklib_available()) {
        for (int rx : {0, 2})
            EXPECT_EQ(expect_positions(c, rx, kRtklibGps | kRtklibGlonass | kRtklibGalileo, true),
                      intact[rx]);
    }
    std::system(("rm -rf '" + c.dir + "'").c_str());
}
}  // namespace
