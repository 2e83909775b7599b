// The loader hands the parser the log in pieces as large as its ring has room for. The framing
// must come out exactly as with the classic feed of at most 100 bytes per receive and drain: the
// same records, the same counters, and the same parser and ring state at the end, for a log with
// damaged packets, garbage full of sync bytes, headers that never complete, and a cut-off end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "store_test_support.h"

namespace {

using namespace store_test;

uint32_t stopped_clock() {
    return 0;
}

// The classic load: 100-byte pieces, a drain after each, the give-up drain at the end.
void load_in_small_pieces(VxpDataStore& store, const std::vector<uint8_t>& log) {
    constexpr std::size_t kPiece = 100;
    vxp_parser_init(&store.parser, store.parser_timeout_ms, &store, vxp_store_packet_callback);
    vxp_parser_set_clock(&store.parser, stopped_clock);
    for (std::size_t at = 0; at < log.size(); at += kPiece) {
        uint32_t accepted = 0;
        const std::size_t n = std::min(kPiece, log.size() - at);
        vxp_parser_receive(&store.parser, log.data() + at, static_cast<uint32_t>(n), &accepted);
        ASSERT_EQ(accepted, n);
        vxp_parser_drain(&store.parser);
    }
    vxp_parser_set_timeout(&store.parser, 0);
    vxp_parser_drain(&store.parser);
    vxp_parser_set_timeout(&store.parser, store.parser_timeout_ms);
}

std::vector<uint8_t> damaged_log() {
    std::mt19937 random(17);
    VxpLogWriter log;
    for (int i = 0; i < 4000; ++i) {
        const double time = 1000.0 + 0.01 * i;
        switch (random() % 4) {
            case 0:
                log.begin(VXP_SET_SENSOR);
                log.field(VXP_FIELD_SHARED_TIME, time_record(time), vxp_decode_gps_timestamp);
                log.field(VXP_SENSOR_FIELD_DELTA_THETA, vector(1, 2, 3), vxp_decode_sensor_vector);
                break;
            case 1:
                log.begin(VXP_SET_GNSS_FIRST + random() % 3);
                log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(time, 5), vxp_decode_raw_observation);
                log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(time, 9), vxp_decode_raw_observation);
                break;
            case 2:
                log.begin(VXP_SET_FILTER);
                log.field(VXP_FILTER_FIELD_TIME, time_record(time), vxp_decode_gps_timestamp);
                break;
            default: {
                // Garbage rich in sync bytes, or a header announcing more than follows.
                log.finish();
                std::vector<uint8_t> garbage;
                for (unsigned k = random() % 40; k > 0; --k)
                    garbage.push_back(random() % 3 == 0   ? VXP_SYNC1
                                      : random() % 3 == 0 ? VXP_SYNC2
                                                          : random());
                if (random() % 4 == 0)
                    garbage.insert(garbage.end(), {VXP_SYNC1, VXP_SYNC2, VXP_SET_SENSOR, 250});
                log.append_raw(garbage.data(), garbage.size());
            }
        }
    }
    std::vector<uint8_t> bytes = log.bytes();
    // Damaged packets: flip single bytes here and there.
    for (int k = 0; k < 300; ++k)
        bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
    bytes.resize(bytes.size() - 5);  // the last packet is cut off
    return bytes;
}

template <class S>
std::size_t total_size(const S& sequences) {
    std::size_t total = 0;
    for (const auto& sequence : sequences)
        total += sequence.size();
    return total;
}

TEST(LoadPieces, LargePiecesFrameExactlyAsHundredBytePieces) {
    const std::vector<uint8_t> log = damaged_log();
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvartix-pieces-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path path = std::filesystem::path(pattern) / "log.vxp";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(log.data()), static_cast<std::streamsize>(log.size()));
    }
    auto loaded = std::make_unique<VxpDataStore>();
    ASSERT_TRUE(loaded->load_file(path.string().c_str()));
    std::filesystem::remove_all(pattern);
    auto classic = std::make_unique<VxpDataStore>();
    load_in_small_pieces(*classic, log);

    // Records and counters.
    EXPECT_EQ(loaded->packet_count, classic->packet_count);
    EXPECT_GT(classic->packet_count, 1000u);
    EXPECT_EQ(loaded->imu_checksum_error_count, classic->imu_checksum_error_count);
    EXPECT_GT(classic->imu_checksum_error_count, 0u);
    EXPECT_EQ(loaded->filter_checksum_error_count, classic->filter_checksum_error_count);
    EXPECT_EQ(loaded->gnss_checksum_error_count, classic->gnss_checksum_error_count);
    EXPECT_EQ(loaded->sensor_packet_count, classic->sensor_packet_count);
    EXPECT_EQ(loaded->filter_packet_count, classic->filter_packet_count);
    EXPECT_EQ(loaded->gnss_packet_count, classic->gnss_packet_count);
    EXPECT_EQ(loaded->imu_shared_timestamps.size(), classic->imu_shared_timestamps.size());
    EXPECT_EQ(loaded->delta_theta.size(), classic->delta_theta.size());
    EXPECT_EQ(loaded->filter_timestamps.size(), classic->filter_timestamps.size());
    EXPECT_EQ(total_size(loaded->raw_epochs), total_size(classic->raw_epochs));
    for (int r = 0; r < kReceiverCount; ++r) {
        ASSERT_EQ(loaded->raw_epochs[r].size(), classic->raw_epochs[r].size());
        for (std::size_t e = 0; e < classic->raw_epochs[r].size(); ++e)
            ASSERT_EQ(loaded->raw_epochs[r][e].size(), classic->raw_epochs[r][e].size());
    }

    // The parser and its ring, member by member.
    const vxp_parser& a = loaded->parser;
    const vxp_parser& b = classic->parser;
    EXPECT_EQ(a.framer.packet_byte_count, b.framer.packet_byte_count);
    EXPECT_EQ(a.framer.checksum_errors, b.framer.checksum_errors);
    EXPECT_EQ(a.framer.timeouts, b.framer.timeouts);
    EXPECT_EQ(a.framer.sync_errors, b.framer.sync_errors);
    EXPECT_GT(b.framer.sync_errors, 0u);
    EXPECT_EQ(a.framer.last_packet_ok, b.framer.last_packet_ok);
    EXPECT_EQ(a.framer.timeout_ms, b.framer.timeout_ms);
    EXPECT_EQ(std::memcmp(a.framer.packet, b.framer.packet, sizeof a.framer.packet), 0);
    EXPECT_EQ(a.ring.read_index, b.ring.read_index);
    EXPECT_EQ(a.ring.count, b.ring.count);
    EXPECT_EQ(a.ring.total_written, b.ring.total_written);
    EXPECT_EQ(a.ring.total_written, log.size());
    EXPECT_EQ(a.ring.total_read, b.ring.total_read);
    EXPECT_EQ(a.ring.total_overruns, 0u);
    EXPECT_EQ(b.ring.total_overruns, 0u);
    EXPECT_EQ(std::memcmp(a.ring_storage, b.ring_storage, sizeof a.ring_storage), 0);
}

}  // namespace
