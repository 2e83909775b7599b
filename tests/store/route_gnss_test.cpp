// Routing of the GNSS receiver sets: receiver mapping, time indexes, the epoch rule, the
// ephemeris slot limits and duplicate test, and base-station info from the base set only.
#include <gtest/gtest.h>

#include <memory>

#include "store_test_support.h"

namespace {

using namespace store_test;

std::unique_ptr<VxpDataStore> make_store() {
    return std::make_unique<VxpDataStore>();
}

TEST(RouteGnss, LegacyAndFirstSetFeedReceiverZero) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(VXP_SET_GNSS_LEGACY);
    log.field(VXP_GNSS_FIELD_TIME, time_record(10.0), vxp_decode_gps_timestamp);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(10.0, 3), vxp_decode_raw_observation);
    log.begin(VXP_SET_GNSS_FIRST);
    log.field(VXP_GNSS_FIELD_TIME, time_record(11.0), vxp_decode_gps_timestamp);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(11.0, 3), vxp_decode_raw_observation);
    log.begin(0x95);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(12.0, 4), vxp_decode_raw_observation);
    route(*store, log);

    EXPECT_EQ(store->packet_count, 3u);
    EXPECT_EQ(store->gnss_packet_count[0], 1u);  // only the 0x91 packet
    EXPECT_EQ(store->gnss_packet_count[4], 1u);
    EXPECT_EQ(store->gnss_timestamps[0].size(), 2u);
    ASSERT_EQ(store->raw_epochs[0].size(), 2u);
    EXPECT_EQ(+store->raw_epochs[0][1][0].time_of_week, 11.0);
    EXPECT_EQ(+store->raw_epochs[0][1][0].pseudorange, 2.1e7);
    EXPECT_TRUE(store->has_receiver_data(0));
    EXPECT_TRUE(store->has_receiver_data(4));
    EXPECT_FALSE(store->has_receiver_data(1));
}

TEST(RouteGnss, EpochRuleGroupsConsecutiveEqualTimes) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(0x93);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(10.0, 1), vxp_decode_raw_observation);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(10.0, 2), vxp_decode_raw_observation);
    log.begin(0x93);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(11.0, 1), vxp_decode_raw_observation);
    log.begin(0x93);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(10.0, 3), vxp_decode_raw_observation);
    // Half a millisecond later is another epoch: times are equal or not, there is no tolerance.
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(10.0005, 4), vxp_decode_raw_observation);
    route(*store, log);

    const Sequence<RawEpoch>& epochs = store->receiver_raw_epochs(2);
    ASSERT_EQ(epochs.size(), 4u);
    ASSERT_EQ(epochs[0].size(), 2u);
    EXPECT_EQ(+epochs[0][0].satellite_id, 1);
    EXPECT_EQ(+epochs[0][1].satellite_id, 2);
    ASSERT_EQ(epochs[1].size(), 1u);
    EXPECT_EQ(+epochs[1][0].time_of_week, 11.0);
    ASSERT_EQ(epochs[2].size(), 1u);
    EXPECT_EQ(+epochs[2][0].satellite_id, 3);
    ASSERT_EQ(epochs[3].size(), 1u);
    EXPECT_EQ(+epochs[3][0].time_of_week, 10.0005);
}

TEST(RouteGnss, EphemerisSlotLimits) {
    auto store = make_store();
    VxpLogWriter log;
    // GPS satellites count 1-32 and Galileo 1-36: the highest of each is kept, the next dropped.
    for (uint8_t satellite : {32, 33}) {
        log.begin(0x92);
        log.field(VXP_GNSS_FIELD_GPS_EPHEMERIS, ephemeris(satellite, 100.0), vxp_decode_gps_ephemeris);
    }
    for (uint8_t satellite : {36, 37}) {
        log.begin(0x92);
        log.field(VXP_GNSS_FIELD_GALILEO_EPHEMERIS, ephemeris(satellite, 100.0), vxp_decode_gps_ephemeris);
    }
    log.begin(0x92);
    log.field(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, glonass_ephemeris(31, 100.0), vxp_decode_glonass_ephemeris);
    log.begin(0x92);
    log.field(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, glonass_ephemeris(32, 100.0), vxp_decode_glonass_ephemeris);
    route(*store, log);

    auto total = [](const auto& slots) {
        std::size_t n = 0;
        for (const auto& slot : slots)
            n += slot.size();
        return n;
    };
    EXPECT_EQ(total(store->receiver_gps_ephemerides(1)), 1u);
    ASSERT_EQ(store->receiver_gps_ephemerides(1)[32].size(), 1u);
    EXPECT_EQ(+store->receiver_gps_ephemerides(1)[32][0].eccentricity, 0.01);
    EXPECT_EQ(total(store->receiver_galileo_ephemerides(1)), 1u);
    EXPECT_EQ(store->receiver_galileo_ephemerides(1)[36].size(), 1u);
    EXPECT_EQ(total(store->receiver_glonass_ephemerides(1)), 1u);
    ASSERT_EQ(store->receiver_glonass_ephemerides(1)[31].size(), 1u);
    EXPECT_EQ(+store->receiver_glonass_ephemerides(1)[31][0].frequency_number, -7);
    EXPECT_EQ(+store->receiver_glonass_ephemerides(1)[31][0].x, 1.0e7);
    EXPECT_TRUE(store->has_navigation_data(1));
    EXPECT_FALSE(store->has_navigation_data(0));
}

TEST(RouteGnss, NavigationDataFromGalileoAlone) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(0x94);
    log.field(VXP_GNSS_FIELD_GALILEO_EPHEMERIS, ephemeris(35, 100.0), vxp_decode_gps_ephemeris);
    route(*store, log);
    EXPECT_TRUE(store->has_navigation_data(3));
}

TEST(RouteGnss, SameTimeEphemerisStoredOnceUnlessAnotherCameBetween) {
    auto store = make_store();
    VxpLogWriter log;
    const double times[] = {100.0, 100.0, 200.0, 100.0};
    for (double time : times) {
        log.begin(VXP_SET_GNSS_FIRST);
        ASSERT_TRUE(log.field(VXP_GNSS_FIELD_GPS_EPHEMERIS, ephemeris(5, time, time + 1.0),
                              vxp_decode_gps_ephemeris));
        log.begin(VXP_SET_GNSS_FIRST);
        log.field(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, glonass_ephemeris(5, time), vxp_decode_glonass_ephemeris);
    }
    log.begin(VXP_SET_GNSS_FIRST);  // same time in one slot does not affect another slot
    log.field(VXP_GNSS_FIELD_GPS_EPHEMERIS, ephemeris(6, 100.0), vxp_decode_gps_ephemeris);
    route(*store, log);

    const auto& gps = store->receiver_gps_ephemerides(0);
    ASSERT_EQ(gps[5].size(), 3u);
    EXPECT_EQ(+gps[5][0].time_of_week, 100.0);
    EXPECT_EQ(+gps[5][1].time_of_week, 200.0);
    EXPECT_EQ(+gps[5][2].time_of_week, 100.0);
    EXPECT_EQ(gps[6].size(), 1u);
    EXPECT_EQ(store->receiver_glonass_ephemerides(0)[5].size(), 3u);
}

TEST(RouteGnss, BaseStationInfoOnlyFromTheBaseSet) {
    auto store = make_store();
    BaseStationInfo base{};
    base.ecef_x = 4.0e6;
    base.antenna_height = 1.5f;
    base.station_id = 42;
    VxpLogWriter log;
    for (uint8_t set : {0x81, 0x91, 0x92, 0x93, 0x94}) {
        log.begin(set);
        log.field(VXP_GNSS_FIELD_BASE_STATION, base, vxp_decode_base_station_info);
    }
    route(*store, log);
    ASSERT_EQ(store->base_station_records().size(), 1u);
    EXPECT_EQ(+store->base_station_records()[0].station_id, 42);
    EXPECT_EQ(+store->base_station_records()[0].ecef_x, 4.0e6);
    EXPECT_EQ(+store->base_station_records()[0].antenna_height, 1.5f);
}

TEST(RouteGnss, IonoAndLeapSecondsKeptEveryTime) {
    auto store = make_store();
    GpsIonoCorrection gps_iono{};
    gps_iono.alpha[3] = 1.5e-7;
    gps_iono.beta[0] = 2048.0;
    GalileoIonoCorrection galileo_iono{};
    galileo_iono.alpha[2] = 0.25;
    VxpLogWriter log;
    for (int k = 0; k < 2; ++k) {
        log.begin(0x92);
        log.field(VXP_GNSS_FIELD_GPS_IONO, gps_iono, vxp_decode_gps_iono);
        log.field(VXP_GNSS_FIELD_GALILEO_IONO, galileo_iono, vxp_decode_galileo_iono);
        log.field(VXP_GNSS_FIELD_LEAP_SECONDS, GnssLeapSeconds{18, 1}, vxp_decode_leap_seconds);
    }
    route(*store, log);
    ASSERT_EQ(store->receiver_gps_iono(1).size(), 2u);
    EXPECT_EQ(+store->receiver_gps_iono(1)[1].alpha[3], 1.5e-7);
    EXPECT_EQ(+store->receiver_gps_iono(1)[1].beta[0], 2048.0);
    ASSERT_EQ(store->receiver_galileo_iono(1).size(), 2u);
    EXPECT_EQ(+store->receiver_galileo_iono(1)[0].alpha[2], 0.25);
    EXPECT_EQ(store->leap_second_records[1].size(), 2u);
    double leap = 0;
    EXPECT_TRUE(store->leap_seconds_from_data(leap));
    EXPECT_EQ(leap, 18.0);
}

TEST(RouteGnss, TimeIndexedRecordsFollowTheTimeInForce) {
    auto store = make_store();
    GnssRecord08 record08{};
    record08.u32_7 = 0x01020304;
    GnssRecord0D record0D{};
    record0D.valid_flags = 0xBEEF;
    VxpLogWriter log;
    log.begin(0x94);  // no time field: t = 0
    log.field(VXP_GNSS_FIELD_RECORD03, GnssRecord03{}, vxp_decode_gnss_record03);
    for (int k = 0; k < 3; ++k) {
        log.begin(0x94);
        log.field(VXP_GNSS_FIELD_TIME, time_record(k), vxp_decode_gps_timestamp);
        log.field(VXP_GNSS_FIELD_RECORD08, record08, vxp_decode_gnss_record08);
    }
    log.begin(0x94);
    log.field(VXP_GNSS_FIELD_TIME, time_record(3), vxp_decode_gps_timestamp);
    log.field(VXP_FIELD_SHARED_TIME, time_record(3), vxp_decode_gps_timestamp);
    log.field(VXP_GNSS_FIELD_RECORD0D, record0D, vxp_decode_gnss_record0D);
    route(*store, log);

    const int r = 3;
    ASSERT_EQ(store->gnss_record03[r].size(), 1u);
    EXPECT_EQ(+store->gnss_record03[r][0].time_index, 0u);
    ASSERT_EQ(store->gnss_record08[r].size(), 3u);
    EXPECT_EQ(+store->gnss_record08[r][2].time_index, 2u);
    EXPECT_EQ(+store->gnss_record08[r][2].record.u32_7, 0x01020304u);
    ASSERT_EQ(store->gnss_record0D[r].size(), 1u);
    EXPECT_EQ(+store->gnss_record0D[r][0].time_index, 0u);  // first record of the shared sequence
    EXPECT_EQ(+store->gnss_record0D[r][0].record.valid_flags, 0xBEEF);
    GnssRecord08 found{};
    EXPECT_TRUE(store->gnss_record08_at(r, 1, found, true));
    EXPECT_EQ(+found.u32_7, 0x01020304u);
    GnssRecord05 absent{};
    EXPECT_FALSE(store->gnss_record05_at(r, 0, absent, false));
}

}  // namespace
