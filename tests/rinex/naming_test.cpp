// RINEX long file names: receiver, data source, start time and observation rate.
#include "rinex/naming.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

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
    EXPECT_EQ(observation_name(store, 0), "QRV_00USA_R_20240651234_00U_10Z_MO.rnx");
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

// The frequency field: the coarsest unit (days, hours, minutes, seconds; hundreds of hertz,
// hertz) of which the rate is a whole count from 1 to 99, else "00U" (unspecified). Epoch times
// are whole milliseconds as binary fractions, so an interval of 0.2 s is 0.2000000000000028.
TEST(RinexFileName, RateInTheUnitThatCountsItWhole) {
    const std::pair<double, const char*> rates[] = {
        {0.1, "10Z"},   {0.2, "05Z"},    {0.5, "02Z"},       {1.0 / 64, "64Z"},    {0.01, "01C"},
        {0.005, "02C"}, {0.001, "10C"},  {1.0, "01S"},       {1.0 - 1e-10, "01S"}, {30.0, "30S"},
        {99.0, "99S"},  {60.0, "01M"},   {300.0, "05M"},     {3600.0, "01H"},      {86400.0, "01D"},
        {1.5, "00U"},   {0.7, "00U"},    {0.3, "00U"},       {0.15, "00U"},        {0.4, "00U"},
        {100.0, "00U"}, {6000.0, "00U"}, {1.0 / 128, "00U"}, {0.0001, "00U"},
    };
    for (const auto& [step, field] : rates) {
        VxpDataStore store;
        fill_epochs(store, 0, {kTuesday1234, kTuesday1234 + step, kTuesday1234 + 2 * step});
        EXPECT_EQ(observation_name(store, 0), std::string("QRV_00USA_R_20240651234_00U_") + field + "_MO.rnx")
            << "interval " << step;
    }
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
    EXPECT_EQ(observation_name(store, 3).substr(28), "20Z_MO.rnx");
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
