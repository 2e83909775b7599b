// Routing of sensor, filter and device command packets, checksum counting per source, and
// malformed fields, all from packets built with the library's own packet builder.
#include <gtest/gtest.h>

#include <memory>

#include "store_test_support.h"

namespace {

using namespace store_test;

std::unique_ptr<VxpDataStore> make_store() {
    return std::make_unique<VxpDataStore>();
}

// Samples without a time cannot be placed: with index 0 they would pass for the first tag's.
TEST(RouteSensor, DataWithoutTimeFieldIsLeftOut) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, 2, 3), vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_SCALED_GYRO, vector(4, 5, 6), vxp_decode_sensor_vector);
    route(*store, log);

    EXPECT_EQ(store->packet_count, 1u);
    EXPECT_EQ(store->sensor_packet_count, 1u);
    EXPECT_TRUE(store->imu_timestamps.empty());
    EXPECT_TRUE(store->scaled_accel.empty());
    EXPECT_TRUE(store->scaled_gyro.empty());
}

TEST(RouteSensor, SharedTimeIsPreferredAndMixedKindsIndexTheListOfPacketTags) {
    auto store = make_store();
    VxpLogWriter log;
    for (int k = 0; k < 2; ++k) {  // two packets with own time only: t = 0, 1
        log.begin(VXP_SET_SENSOR);
        log.field(VXP_SENSOR_FIELD_TIME, time_record(100.0 + k), vxp_decode_gps_timestamp);
        log.field(VXP_SENSOR_FIELD_DELTA_THETA, vector(k, 0, 0), vxp_decode_sensor_vector);
    }
    log.begin(VXP_SET_SENSOR);  // both time fields: the 0xD3 one is the packet's tag
    log.field(VXP_SENSOR_FIELD_DELTA_THETA, vector(2, 0, 0), vxp_decode_sensor_vector);
    log.field(VXP_FIELD_SHARED_TIME, time_record(500.0), vxp_decode_gps_timestamp);
    log.field(VXP_SENSOR_FIELD_TIME, time_record(102.0), vxp_decode_gps_timestamp);
    log.field(VXP_SENSOR_FIELD_DELTA_VELOCITY, vector(0, 0, 9), vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_VECTOR06, vector(6, 6, 6), vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_SCALAR17, SensorScalar17{17.5f}, vxp_decode_sensor_scalar17);
    route(*store, log);

    ASSERT_EQ(store->imu_timestamps.size(), 3u);
    ASSERT_EQ(store->imu_shared_timestamps.size(), 1u);
    EXPECT_EQ(+store->imu_timestamps[2].time_of_week, 102.0);
    EXPECT_EQ(+store->imu_shared_timestamps[0].time_of_week, 500.0);
    EXPECT_EQ(+store->imu_shared_timestamps[0].week_number, 2200);
    ASSERT_EQ(store->delta_theta.size(), 3u);
    EXPECT_EQ(+store->delta_theta[0].time_index, 0u);
    EXPECT_EQ(+store->delta_theta[1].time_index, 1u);
    // The log now mixes the kinds: every packet's tag, and the index counts there.
    ASSERT_EQ(store->imu_packet_timestamps.size(), 3u);
    EXPECT_EQ(+store->imu_packet_timestamps[1].time_of_week, 101.0);
    EXPECT_EQ(+store->imu_packet_timestamps[2].time_of_week, 500.0);
    EXPECT_EQ(+store->delta_theta[2].time_index, 2u);
    EXPECT_EQ(+store->delta_theta[2].record.x, 2.0f);
    EXPECT_EQ(store->imu_time_count(), 3u);
    GpsTimestamp third{};
    ASSERT_TRUE(store->imu_time_at(2, third));
    EXPECT_EQ(+third.time_of_week, 500.0);
    EXPECT_FALSE(store->imu_time_at(3, third));
    ASSERT_EQ(store->delta_velocity.size(), 1u);
    EXPECT_EQ(+store->delta_velocity[0].record.z, 9.0f);
    ASSERT_EQ(store->sensor_vector06.size(), 1u);
    ASSERT_EQ(store->sensor_scalar17.size(), 1u);
    EXPECT_EQ(+store->sensor_scalar17[0].record.value, 17.5f);
}

TEST(RouteSensor, RepeatedDescriptorKeepsTheLastOccurrence) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_TIME, time_record(1.0), vxp_decode_gps_timestamp);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, 0, 0), vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(2, 0, 0), vxp_decode_sensor_vector);
    route(*store, log);
    ASSERT_EQ(store->scaled_accel.size(), 1u);
    EXPECT_EQ(+store->scaled_accel[0].record.x, 2.0f);
}

std::vector<uint8_t> observed_packet;
void remember_packet(void* user, const uint8_t* packet, uint16_t size, uint8_t kind) {
    EXPECT_EQ(user, nullptr);
    EXPECT_EQ(kind, VXP_PACKET_OK);
    observed_packet.assign(packet, packet + size);
}

TEST(RouteSensor, ObserverSeesTheWireBytesBeforeConversion) {
    auto store = make_store();
    EXPECT_FALSE(store->set_sensor_packet_observer(nullptr));
    EXPECT_TRUE(store->set_sensor_packet_observer(remember_packet));
    VxpLogWriter log;
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, -1, 0), vxp_decode_sensor_vector);
    const std::vector<uint8_t> wire = log.bytes();
    observed_packet.clear();
    route(*store, log);
    EXPECT_EQ(observed_packet, wire);
    EXPECT_FALSE(store->set_gnss_packet_observer(nullptr));
    EXPECT_FALSE(store->set_filter_packet_observer(nullptr));
    EXPECT_EQ(store->gnss_packet_observer, nullptr);
}

TEST(RouteFilter, FilesEveryRecordWithTheFilterTimeIndex) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(VXP_SET_FILTER);
    log.field(VXP_FILTER_FIELD_TIME, time_record(1.0), vxp_decode_gps_timestamp);
    log.begin(VXP_SET_FILTER);
    log.field(VXP_FILTER_FIELD_TIME, time_record(2.0), vxp_decode_gps_timestamp);
    log.raw_field(0x03, "\x01\x02\x03\x04", 4);  // not a filter record: skipped
    log.field(VXP_FILTER_FIELD_VECTOR02, FilterVector{1, 2, 3, 7}, vxp_decode_filter_vector);
    log.field(VXP_FILTER_FIELD_VECTOR05, FilterVector{5, 0, 0, 0}, vxp_decode_filter_vector);
    log.field(VXP_FILTER_FIELD_VECTOR0C, FilterVector{12, 0, 0, 0}, vxp_decode_filter_vector);
    log.field(VXP_FILTER_FIELD_RECORD01, FilterRecord01{1.5, 2.5, 3.5, 1}, vxp_decode_filter_record01);
    log.field(VXP_FILTER_FIELD_RECORD10, FilterRecord10{10, 20, 30}, vxp_decode_filter_record10);
    log.begin(VXP_SET_FILTER);
    log.field(VXP_FIELD_SHARED_TIME, time_record(3.0), vxp_decode_gps_timestamp);
    log.field(0x08, FilterVector{8, 0, 0, 0}, vxp_decode_filter_vector);
    route(*store, log);

    EXPECT_EQ(store->filter_packet_count, 3u);
    EXPECT_EQ(store->filter_timestamps.size(), 2u);
    EXPECT_EQ(store->filter_shared_timestamps.size(), 1u);
    ASSERT_EQ(store->filter_vector02.size(), 1u);
    EXPECT_EQ(+store->filter_vector02[0].time_index, 1u);
    EXPECT_EQ(+store->filter_vector02[0].record.y, 2.0f);
    EXPECT_EQ(+store->filter_vector02[0].record.valid_flags, 7);
    ASSERT_EQ(store->filter_vector05.size(), 1u);
    ASSERT_EQ(store->filter_vector0C.size(), 1u);
    EXPECT_EQ(+store->filter_vector0C[0].record.x, 12.0f);
    ASSERT_EQ(store->filter_vector08.size(), 1u);
    EXPECT_EQ(+store->filter_vector08[0].time_index, 0u);
    EXPECT_TRUE(store->filter_vector06.empty());
    ASSERT_EQ(store->filter_record01.size(), 1u);
    EXPECT_EQ(+store->filter_record01[0].record.f64_16, 3.5);
    ASSERT_EQ(store->filter_record10.size(), 1u);
    EXPECT_EQ(+store->filter_record10[0].record.u16_4, 30);
}

TEST(RouteCommandPackets, KeptWholeWithTheSensorOwnTimeIndex) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(VXP_SET_COMMAND_0C);  // before any sensor time: t = 0
    log.raw_field(0x01, "\x11\x22", 2);
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_TIME, time_record(1.0), vxp_decode_gps_timestamp);
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_TIME, time_record(2.0), vxp_decode_gps_timestamp);
    log.begin(VXP_SET_SENSOR);  // a shared time does not move the command packets' index
    log.field(VXP_FIELD_SHARED_TIME, time_record(2.5), vxp_decode_gps_timestamp);
    log.begin(VXP_SET_COMMAND_01);
    log.begin(VXP_SET_COMMAND_0D);
    log.raw_field(0x02, "\x33", 1);
    const std::vector<uint8_t> bytes = log.bytes();
    route(*store, log);

    EXPECT_EQ(store->packet_count, 6u);
    EXPECT_EQ(store->sensor_packet_count, 3u);
    ASSERT_EQ(store->raw_packets_0C.size(), 1u);
    EXPECT_EQ(+store->raw_packets_0C[0].time_index, 0u);
    const std::vector<uint8_t> first_packet(bytes.begin(), bytes.begin() + 10);
    EXPECT_TRUE(
        std::equal(first_packet.begin(), first_packet.end(), store->raw_packets_0C[0].record.begin()));
    ASSERT_EQ(store->raw_packets_01.size(), 1u);
    EXPECT_EQ(+store->raw_packets_01[0].time_index, 1u);
    ASSERT_EQ(store->raw_packets_0D.size(), 1u);
    EXPECT_EQ(+store->raw_packets_0D[0].time_index, 1u);
    EXPECT_EQ(+store->raw_packets_0D[0].record[5], 0x02);  // field descriptor kept as received
}

TEST(RouteChecksumErrors, CountedPerSourceAndNothingStored) {
    auto store = make_store();
    for (uint8_t set : {0x80, 0x82, 0x81, 0x91, 0x95, 0x95, 0x83, 0x0C}) {
        VxpLogWriter log;
        log.begin(set);
        log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, 2, 3), vxp_decode_sensor_vector);
        route(*store, log, VXP_PACKET_CHECKSUM_ERROR);
    }
    EXPECT_EQ(store->imu_checksum_errors(), 1u);
    EXPECT_EQ(store->filter_checksum_error_count, 1u);
    EXPECT_EQ(store->gnss_checksum_errors(0), 2u);  // 0x81 and 0x91
    EXPECT_EQ(store->gnss_checksum_errors(4), 2u);
    EXPECT_EQ(
        store->gnss_checksum_errors(1) + store->gnss_checksum_errors(2) + store->gnss_checksum_errors(3), 0u);
    EXPECT_EQ(store->gnss_checksum_errors(5), 0u);
    EXPECT_EQ(store->gnss_checksum_errors(255), 0u);
    EXPECT_EQ(store->packet_count, 0u);
    EXPECT_TRUE(store->scaled_accel.empty());
    EXPECT_TRUE(store->raw_packets_0C.empty());
}

TEST(RouteTimeouts, LeaveNoTrace) {
    auto store = make_store();
    VxpLogWriter log;
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, 2, 3), vxp_decode_sensor_vector);
    route(*store, log, VXP_PACKET_TIMEOUT);
    EXPECT_EQ(store->packet_count, 0u);
    EXPECT_EQ(store->sensor_packet_count, 0u);
    EXPECT_EQ(store->imu_checksum_errors(), 0u);
    EXPECT_TRUE(store->scaled_accel.empty());
}

void route_raw(VxpDataStore& store, std::vector<uint8_t> packet) {
    store.route_packet(packet.data(), static_cast<uint16_t>(packet.size()), VXP_PACKET_OK);
}

TEST(RouteMalformedFields, ShortFieldSkippedAndTheWalkGoesOn) {
    auto store = make_store();
    std::vector<uint8_t> payload = {6, VXP_SENSOR_FIELD_SCALED_ACCEL, 0x3F, 0x80, 0, 0};  // 4 of 12 bytes
    const auto gyro = wire_field(VXP_SENSOR_FIELD_SCALED_GYRO, vector(1, 2, 3), vxp_decode_sensor_vector);
    payload.insert(payload.end(), gyro.begin(), gyro.end());
    payload.push_back(1);  // length 1: cannot even hold its descriptor; the walk moves on by one byte
    const auto theta = wire_field(VXP_SENSOR_FIELD_DELTA_THETA, vector(7, 8, 9), vxp_decode_sensor_vector);
    payload.insert(payload.end(), theta.begin(), theta.end());
    const auto time = wire_field(VXP_SENSOR_FIELD_TIME, time_record(4.0), vxp_decode_gps_timestamp);
    payload.insert(payload.end(), time.begin(), time.end());
    route_raw(*store, raw_packet(VXP_SET_SENSOR, payload));

    EXPECT_EQ(store->sensor_packet_count, 1u);
    EXPECT_TRUE(store->scaled_accel.empty());
    EXPECT_EQ(store->imu_timestamps.size(), 1u);
    ASSERT_EQ(store->scaled_gyro.size(), 1u);
    EXPECT_EQ(+store->scaled_gyro[0].record.y, 2.0f);
    ASSERT_EQ(store->delta_theta.size(), 1u);
    EXPECT_EQ(+store->delta_theta[0].record.z, 9.0f);
}

TEST(RouteMalformedFields, FieldRunningPastThePayloadIsNeverRead) {
    auto store = make_store();
    // A well-formed first field, then a GPS ephemeris field whose length byte claims 220 bytes
    // where only 20 remain in the packet: the exact-size buffer lets the sanitizer see any over-read.
    auto payload = wire_field(VXP_GNSS_FIELD_TIME, time_record(9.0), vxp_decode_gps_timestamp);
    payload.insert(payload.end(), {220, VXP_GNSS_FIELD_GPS_EPHEMERIS});
    payload.resize(payload.size() + 18, 0x11);
    route_raw(*store, raw_packet(0x91, payload));

    EXPECT_EQ(store->gnss_packet_count[0], 1u);
    ASSERT_EQ(store->gnss_timestamps[0].size(), 1u);
    EXPECT_EQ(+store->gnss_timestamps[0][0].time_of_week, 9.0);
    EXPECT_FALSE(store->has_navigation_data(0));
}

TEST(RouteMalformedFields, ZeroLengthFieldEndsTheWalkButEarlierFieldsAreFiled) {
    auto store = make_store();
    auto payload = wire_field(VXP_SENSOR_FIELD_TIME, time_record(4.0), vxp_decode_gps_timestamp);
    const auto accel = wire_field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, 1, 1), vxp_decode_sensor_vector);
    payload.insert(payload.end(), accel.begin(), accel.end());
    payload.insert(payload.end(), {0, VXP_SENSOR_FIELD_SCALED_GYRO});
    const auto gyro = wire_field(VXP_SENSOR_FIELD_SCALED_GYRO, vector(2, 2, 2), vxp_decode_sensor_vector);
    payload.insert(payload.end(), gyro.begin(), gyro.end());
    route_raw(*store, raw_packet(VXP_SET_SENSOR, payload));

    ASSERT_EQ(store->imu_timestamps.size(), 1u);
    ASSERT_EQ(store->scaled_accel.size(), 1u);
    EXPECT_TRUE(store->scaled_gyro.empty());
}

TEST(RouteMalformedFields, LongerFieldDecodesItsRecord) {
    auto store = make_store();
    auto payload = wire_field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(3, 4, 5), vxp_decode_sensor_vector);
    payload[0] += 2;  // two trailing bytes the record does not use
    payload.insert(payload.end(), {0xEE, 0xEE});
    const auto time = wire_field(VXP_SENSOR_FIELD_TIME, time_record(4.0), vxp_decode_gps_timestamp);
    payload.insert(payload.end(), time.begin(), time.end());
    route_raw(*store, raw_packet(VXP_SET_SENSOR, payload));
    ASSERT_EQ(store->scaled_accel.size(), 1u);
    EXPECT_EQ(+store->scaled_accel[0].record.z, 5.0f);
}

TEST(RouteMalformedFields, SizeArgumentShorterThanTheHeaderClaimsIsNotWalked) {
    auto store = make_store();
    auto packet = raw_packet(
        VXP_SET_SENSOR, wire_field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(1, 2, 3), vxp_decode_sensor_vector));
    std::vector<uint8_t> cut(packet.begin(), packet.begin() + 10);
    store->route_packet(cut.data(), static_cast<uint16_t>(cut.size()), VXP_PACKET_OK);
    EXPECT_EQ(store->packet_count, 1u);
    EXPECT_TRUE(store->scaled_accel.empty());
}

}  // namespace
