// Loading whole log files: damaged and truncated input, block boundaries, paths that are not
// readable files, read errors, and independence from the wall clock.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "store_test_support.h"

namespace {

using namespace store_test;

class LoadFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvartix-store-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good());
        return path(name);
    }

    std::filesystem::path dir_;
    std::unique_ptr<VxpDataStore> store_ = std::make_unique<VxpDataStore>();
};

std::vector<uint8_t> sensor_packet(double time, float x) {
    VxpLogWriter log;
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_TIME, time_record(time), vxp_decode_gps_timestamp);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vector(x, 0, 0), vxp_decode_sensor_vector);
    return log.bytes();
}

std::vector<uint8_t> ephemeris_packet(uint8_t set, uint8_t satellite, double time) {
    VxpLogWriter log;
    log.begin(set);
    log.field(VXP_GNSS_FIELD_GPS_EPHEMERIS, ephemeris(satellite, time), vxp_decode_gps_ephemeris);
    return log.bytes();
}

void append(std::vector<uint8_t>& log, const std::vector<uint8_t>& bytes) {
    log.insert(log.end(), bytes.begin(), bytes.end());
}

// The damage tests rely on no false sync byte inside a damaged packet.
bool has_false_sync(const std::vector<uint8_t>& packet) {
    return std::find(packet.begin() + 1, packet.end(), VXP_SYNC1) != packet.end();
}

TEST_F(LoadFile, EmptyFileLoadsNothing) {
    EXPECT_TRUE(store_->load_file(write("empty.bin", {}).c_str()));
    EXPECT_EQ(store_->packet_count, 0u);
    EXPECT_EQ(store_->imu_checksum_errors(), 0u);
    EXPECT_EQ(store_->imu_time_count(), 0u);
    EXPECT_TRUE(store_->read_error().empty());
}

TEST_F(LoadFile, PathsThatAreNotReadableFilesAreRefusedWithoutClearing) {
    store_->imu_timestamps.push_back(time_record(1.0));
    EXPECT_FALSE(store_->load_file(nullptr));
    EXPECT_FALSE(store_->load_file(path("missing.bin").c_str()));
    EXPECT_FALSE(store_->load_file(dir_.string().c_str()));
    EXPECT_EQ(store_->imu_timestamps.size(), 1u);
}

TEST_F(LoadFile, ReadErrorInTheFileIsReported) {
    // Reading this process's memory from address 0 fails with an I/O error on Linux.
    const char* failing = "/proc/self/mem";
    if (!std::filesystem::is_regular_file(failing))
        GTEST_SKIP() << "no /proc";
    EXPECT_FALSE(store_->load_file(failing));
    EXPECT_FALSE(store_->read_error().empty());
    EXPECT_TRUE(store_->load_file(write("empty.bin", {}).c_str()));
    EXPECT_TRUE(store_->read_error().empty());
}

TEST_F(LoadFile, DamagedPacketAndTruncatedTail) {
    std::vector<uint8_t> log;
    append(log, sensor_packet(1.0, 1));
    append(log, ephemeris_packet(0x92, 7, 100.0));  // 226 bytes: spans three blocks
    std::vector<uint8_t> damaged = ephemeris_packet(0x93, 8, 100.0);
    ASSERT_FALSE(has_false_sync(damaged));
    damaged[40] ^= 0x01;
    append(log, damaged);
    append(log, sensor_packet(2.0, 2));
    append(log, ephemeris_packet(0x92, 9, 100.0));
    const std::vector<uint8_t> cut = sensor_packet(3.0, 3);
    log.insert(log.end(), cut.begin(), cut.end() - 5);

    ASSERT_TRUE(store_->load_file(write("damaged.bin", log).c_str()));
    EXPECT_EQ(store_->packet_count, 4u);
    EXPECT_EQ(store_->sensor_packet_count, 2u);
    EXPECT_EQ(store_->gnss_packet_count[1], 2u);
    EXPECT_EQ(store_->gnss_packet_count[2], 0u);
    EXPECT_EQ(store_->gnss_checksum_errors(2), 1u);
    EXPECT_EQ(store_->gnss_checksum_errors(1), 0u);
    EXPECT_EQ(store_->imu_checksum_errors(), 0u);
    EXPECT_FALSE(store_->has_navigation_data(2));
    EXPECT_EQ(store_->receiver_gps_ephemerides(1)[7].size(), 1u);
    EXPECT_EQ(store_->receiver_gps_ephemerides(1)[9].size(), 1u);
    ASSERT_EQ(store_->imu_timestamps.size(), 2u);
    EXPECT_EQ(+store_->imu_timestamps[1].time_of_week, 2.0);
    ASSERT_EQ(store_->scaled_accel.size(), 2u);
    EXPECT_EQ(+store_->scaled_accel[1].record.x, 2.0f);
    EXPECT_EQ(+store_->scaled_accel[1].time_index, 1u);
}

TEST_F(LoadFile, GoodPacketsBehindADamagedLengthByteAreDelivered) {
    // Mid-file: the candidate with the inflated length fails its checksum once enough bytes
    // arrived, and every packet inside and after its span is still framed.
    std::vector<uint8_t> log;
    std::vector<uint8_t> damaged = sensor_packet(1.0, 1);
    ASSERT_FALSE(has_false_sync(damaged));
    damaged[3] = 0xFF;
    append(log, sensor_packet(0.5, 0.5f));
    append(log, damaged);
    for (int k = 0; k < 12; ++k)
        append(log, sensor_packet(2.0 + k, 2));
    ASSERT_TRUE(store_->load_file(write("mid.bin", log).c_str()));
    EXPECT_EQ(store_->sensor_packet_count, 13u);
    EXPECT_EQ(store_->imu_checksum_errors(), 1u);

    // At the end of the file: the inflated candidate can never complete; the packets behind it
    // are delivered all the same, and giving up on it counts nothing.
    log.clear();
    append(log, sensor_packet(0.5, 0.5f));
    append(log, damaged);
    append(log, sensor_packet(2.0, 2));
    append(log, sensor_packet(3.0, 3));
    auto second = std::make_unique<VxpDataStore>();
    ASSERT_TRUE(second->load_file(write("end.bin", log).c_str()));
    EXPECT_EQ(second->sensor_packet_count, 3u);
    ASSERT_EQ(second->imu_timestamps.size(), 3u);
    EXPECT_EQ(+second->imu_timestamps[2].time_of_week, 3.0);
    EXPECT_EQ(second->imu_checksum_errors(), 0u);
}

TEST_F(LoadFile, ALogCutInsideItsLastPacketCountsNoChecksumError) {
    // The last packet's bytes hold a run that looks like a short receiver-1 packet with a wrong
    // checksum, and a whole sensor packet. When the end of the file gives up on the cut packet,
    // both are framed: the sensor packet is delivered, the chance candidate is no damage.
    std::vector<uint8_t> chance = {VXP_SYNC1, VXP_SYNC2, 0x91, 0x02, 0x04, 0x30, 0x00, 0x00};
    const uint16_t checksum = vxp_packet_checksum(chance.data());
    chance[6] = static_cast<uint8_t>(~(checksum >> 8));
    std::vector<uint8_t> hidden = chance;
    append(hidden, sensor_packet(2.0, 2));
    std::vector<uint8_t> padding(40, 0x00);
    append(hidden, padding);
    VxpLogWriter last;
    last.begin(0x91);
    last.raw_field(0x55, hidden.data(), hidden.size());

    std::vector<uint8_t> log = sensor_packet(1.0, 1);
    const std::vector<uint8_t> cut = last.bytes();
    log.insert(log.end(), cut.begin(), cut.end() - 20);
    ASSERT_TRUE(store_->load_file(write("cut.bin", log).c_str()));
    EXPECT_EQ(store_->gnss_checksum_errors(0), 0u);
    EXPECT_EQ(store_->imu_checksum_errors(), 0u);
    EXPECT_EQ(store_->sensor_packet_count, 2u);
    ASSERT_EQ(store_->imu_timestamps.size(), 2u);
    EXPECT_EQ(+store_->imu_timestamps[1].time_of_week, 2.0);
}

// A process-wide tick that leaps ahead by a minute at every reading, as if the process were
// paused between any two reads.
uint32_t leaping_ticks = 0;
uint32_t leaping_clock() {
    return leaping_ticks += 60000;
}

TEST_F(LoadFile, LoadingDoesNotDependOnTheWallClock) {
    std::vector<uint8_t> log;
    for (int k = 0; k < 20; ++k)
        append(log, ephemeris_packet(0x91, static_cast<uint8_t>(k), 100.0));
    const std::string file = write("slow.bin", log);
    vxp_set_tick_source(leaping_clock);
    const bool loaded = store_->load_file(file.c_str());
    vxp_set_tick_source(nullptr);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(store_->gnss_packet_count[0], 20u);
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(store_->receiver_gps_ephemerides(0)[k].size(), 1u);
}

TEST_F(LoadFile, FileLoadMatchesRoutingThePackets) {
    VxpLogWriter writer;
    for (int k = 0; k < 30; ++k) {
        writer.begin(0x94);
        writer.field(VXP_GNSS_FIELD_TIME, time_record(k), vxp_decode_gps_timestamp);
        for (uint8_t s = 1; s <= 3; ++s) {
            writer.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(k, s, 2.0e7 + k),
                         vxp_decode_raw_observation);
        }
        writer.begin(VXP_SET_SENSOR);
        writer.field(VXP_SENSOR_FIELD_TIME, time_record(k * 0.01), vxp_decode_gps_timestamp);
        writer.field(VXP_SENSOR_FIELD_DELTA_THETA, vector(k, 0, 0), vxp_decode_sensor_vector);
    }
    const std::vector<uint8_t> log = writer.bytes();
    VxpDataStore* loaded = new VxpDataStore(write("log.bin", log).c_str());
    std::unique_ptr<VxpDataStore> owner(loaded);
    route_log(*store_, log);

    EXPECT_EQ(loaded->packet_count, 60u);
    EXPECT_EQ(loaded->packet_count, store_->packet_count);
    ASSERT_EQ(loaded->receiver_raw_epochs(3).size(), 30u);
    for (int k = 0; k < 30; ++k) {
        ASSERT_EQ(loaded->receiver_raw_epochs(3)[k].size(), 3u);
        EXPECT_EQ(+loaded->receiver_raw_epochs(3)[k][2].pseudorange, 2.0e7 + k);
        EXPECT_EQ(+loaded->delta_theta[k].time_index, static_cast<uint32_t>(k));
    }
    EXPECT_EQ(loaded->delta_theta.size(), store_->delta_theta.size());
    EXPECT_EQ(loaded->imu_timestamps.size(), 30u);
}

}  // namespace
