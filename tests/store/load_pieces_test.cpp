// The loader hands the parser the log in pieces as large as its ring has room for. The framing
// must come out exactly as with the classic feed of at most 100 bytes per receive and drain: the
// same records, the same counters, and the same framing state and held bytes at the end, for a log
// with damaged packets, garbage full of sync bytes, headers that never complete, and a cut-off end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "store_test_support.h"
#include "tests/support/temp_dir.h"
#include "vxp/status.h"

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

// The bytes a ring holds, oldest first.
std::vector<uint8_t> held_bytes(const vxp_ring_buffer& ring) {
    std::vector<uint8_t> bytes(vxp_ring_count(&ring));
    uint32_t read = 0;
    if (!bytes.empty()) {
        const auto n = static_cast<uint32_t>(bytes.size());
        EXPECT_EQ(vxp_ring_lookahead_multi(&ring, 0, bytes.data(), n, n, &read), VXP_OK);
    }
    bytes.resize(read);
    return bytes;
}

// The bytes of the packet candidate the framer has taken so far.
std::vector<uint8_t> candidate_bytes(const vxp_parser& parser) {
    return std::vector<uint8_t>(parser.framer.packet, parser.framer.packet + parser.framer.packet_byte_count);
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
    TempDir dir;
    const std::filesystem::path path = dir / "log.vxp";
    write_file(path, log);
    auto loaded = std::make_unique<VxpDataStore>();
    ASSERT_TRUE(loaded->load_file(path.string().c_str()));
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

    // The parser's framing, as far as it shows: its counters and state, the bytes its ring still
    // holds, and the bytes of the candidate it has taken so far.
    const vxp_parser& a = loaded->parser;
    const vxp_parser& b = classic->parser;
    EXPECT_EQ(vxp_parser_error_total(&a), vxp_parser_error_total(&b));
    EXPECT_EQ(a.framer.checksum_errors, b.framer.checksum_errors);
    EXPECT_EQ(a.framer.timeouts, b.framer.timeouts);
    EXPECT_EQ(a.framer.sync_errors, b.framer.sync_errors);
    EXPECT_GT(b.framer.sync_errors, 0u);
    EXPECT_EQ(a.framer.last_packet_ok, b.framer.last_packet_ok);
    EXPECT_EQ(vxp_parser_get_timeout(&a), vxp_parser_get_timeout(&b));
    ASSERT_EQ(a.framer.packet_byte_count, b.framer.packet_byte_count);
    EXPECT_EQ(candidate_bytes(a), candidate_bytes(b));
    EXPECT_EQ(held_bytes(a.ring), held_bytes(b.ring));
    EXPECT_EQ(a.ring.total_written, b.ring.total_written);
    EXPECT_EQ(a.ring.total_written, log.size());
    EXPECT_EQ(a.ring.total_read, b.ring.total_read);
    EXPECT_EQ(a.ring.total_overruns, 0u);
    EXPECT_EQ(b.ring.total_overruns, 0u);
}

}  // namespace
