// RINEX long file names: receiver, data source, start time and observation rate.
#include "rinex/naming.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "obs_test_support.h"
#include "store/vxp_data_store.h"

namespace {

constexpr uint16_t kWeek = 2304;           // 2024-03-03 is its Sunday
constexpr double kTuesday1234 = 218040.0;  // 2024-03-05 12:34:00, day of year 065

// Fills the receiver's epochs, one GPS observation each, at the given times of week.
void fill_epochs(VxpDataStore& store, int receiver, std::initializer_list<double> times,
                 uint16_t week = kWeek) {
    for (double t : times)
        store.raw_epochs[receiver].push_back({make_observation(t, week, 1, 5, 1)});
}

std::string observation_name(const VxpDataStore& store, int receiver) {
    return make_rinex_file_name(false, receiver, store);
}

TEST(RinexFileName, ReceiverStartTimeAndRate) {
    VxpDataStore store;
    fill_epochs(store, 0, {kTuesday1234, kTuesday1234 + 0.1, kTuesday1234 + 0.2});
    EXPECT_EQ(observation_name(store, 0), "QRV_00USA_R_20240651234_00U_10H_MO.rnx");
    EXPECT_EQ(make_rinex_file_name(true, 0, store), "QRV_00USA_R_20240651234_00U_MN.rnx");
    EXPECT_EQ(observation_name(store, 0).size(), 38u);
    EXPECT_EQ(make_rinex_file_name(true, 0, store).size(), 34u);
}

TEST(RinexFileName, ReceiverTwoIsTheFixedSite) {
    VxpDataStore store;
    for (int receiver = 0; receiver < kReceiverCount; ++receiver)
        fill_epochs(store, receiver, {kTuesday1234});
    EXPECT_EQ(observation_name(store, 0), "QRV_00USA_R_20240651234_00U_00U_MO.rnx");
    EXPECT_EQ(observation_name(store, 1), "QRV_01USA_R_20240651234_00U_00U_MO.rnx");
    EXPECT_EQ(observation_name(store, 2), "QRV_02USA_S_20240651234_00U_00U_MO.rnx");
    EXPECT_EQ(observation_name(store, 3), "QRV_03USA_R_20240651234_00U_00U_MO.rnx");
    EXPECT_EQ(make_rinex_file_name(true, 4, store), "QRV_04USA_R_20240651234_00U_MN.rnx");
}

// The frequency field keeps its three characters: a rate the two-digit count cannot express is
// "00U" (unspecified), as for a single epoch.
TEST(RinexFileName, RatesBeyondTwoDigitsAreUnspecified) {
    VxpDataStore store;
    fill_epochs(store, 0, {100.0, 199.0, 298.0});
    EXPECT_EQ(observation_name(store, 0).substr(23), "_00U_99S_MO.rnx");
    fill_epochs(store, 1, {100.0, 200.0, 300.0});
    EXPECT_EQ(observation_name(store, 1).substr(23), "_00U_00U_MO.rnx");
    fill_epochs(store, 3, {100.0, 100.0 + 1.0 / 64, 100.0 + 2.0 / 64});
    EXPECT_EQ(observation_name(store, 3).substr(23), "_00U_64H_MO.rnx");
    fill_epochs(store, 4, {100.0, 100.0 + 1.0 / 128, 100.0 + 2.0 / 128});
    EXPECT_EQ(observation_name(store, 4).substr(23), "_00U_00U_MO.rnx");
}

TEST(RinexFileName, FirstOfJanuaryIsDayOne) {
    VxpDataStore store;
    fill_epochs(store, 0, {86400.0, 86401.0, 86402.0}, 2295);  // 2024-01-01 00:00:00
    EXPECT_EQ(observation_name(store, 0), "QRV_00USA_R_20240010000_00U_01S_MO.rnx");
}

TEST(RinexFileName, RateFromTheSmallestPositiveInterval) {
    VxpDataStore store;
    fill_epochs(store, 0, {100.0, 130.0, 160.0});
    EXPECT_EQ(observation_name(store, 0).substr(28), "30S_MO.rnx");
    // Equal and decreasing times (and a week change) never shorten the interval.
    fill_epochs(store, 1, {100.0, 100.0, 90.0, 91.0, 92.0, 604799.0, 1.0, 2.0});
    EXPECT_EQ(observation_name(store, 1).substr(28), "01S_MO.rnx");
    fill_epochs(store, 3, {100.0, 100.05, 100.1});
    EXPECT_EQ(observation_name(store, 3).substr(28), "20H_MO.rnx");
}

// The quotient 1/interval of a 0.2 s interval comes out just below 5 (100.2 - 100.0 is
// 0.2000000000000028), and plain truncation would name a 5 Hz file "04H_". The name allows for
// that binary rounding and says "05H_"; a rate that really is fractional still truncates.
TEST(RinexFileName, FiveHertzIsNotTruncatedToFour) {
    VxpDataStore store;
    ASSERT_LT(1.0 / ((100.0 + 0.2) - 100.0), 5.0);
    fill_epochs(store, 0, {100.0, 100.2, 100.4, 100.6});
    EXPECT_EQ(observation_name(store, 0).substr(28), "05H_MO.rnx");
    fill_epochs(store, 1, {345600.0, 345600.2, 345600.4});
    EXPECT_EQ(observation_name(store, 1).substr(28), "05H_MO.rnx");
    fill_epochs(store, 3, {100.0, 100.15, 100.3});  // 6.67 per second
    EXPECT_EQ(observation_name(store, 3).substr(28), "06H_MO.rnx");
    fill_epochs(store, 4, {100.0, 101.5, 103.0});  // 1.5 s
    EXPECT_EQ(observation_name(store, 4).substr(28), "01S_MO.rnx");
}

TEST(RinexFileName, NoNameWithoutObservationsOrForAnUnknownReceiver) {
    VxpDataStore store;
    EXPECT_EQ(observation_name(store, 0), "");
    store.raw_epochs[1].push_back({});
    EXPECT_EQ(observation_name(store, 1), "");
    fill_epochs(store, 0, {100.0});
    EXPECT_EQ(observation_name(store, -1), "");
    EXPECT_EQ(observation_name(store, 5), "");
}

}  // namespace
