// Packet timeouts on a fake clock: the wrap rule of the tick counter, header timeouts (no
// callback), payload timeouts (kind 2 with the header), and the per-parser clock.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#ifdef _WIN32
#include <windows.h>  // GetTickCount, the tick on Windows
#endif

#include "tests/vxp/vxp_test_support.h"
#include "vxp/parser.h"
#include "vxp/status.h"
#include "vxp/tick.h"

namespace {

using vxp_test::Bytes;
using vxp_test::concat;
using vxp_test::fake_clock;
using vxp_test::fake_now;
using vxp_test::make_packet;
using vxp_test::receive_all;
using vxp_test::Recorder;

const Bytes kEmptyPacket = {0x75, 0x65, 0x80, 0x00, 0x5A, 0x03};

uint32_t stopped_clock() {
    return 5;
}

TEST(Tick, ElapsedTimeAcrossTheWrap) {
    EXPECT_EQ(vxp_elapsed_ms(100, 350), 250u);
    EXPECT_EQ(vxp_elapsed_ms(0xFFFFFFF0u, 0x00000010u), 0x1Fu);
    vxp_set_tick_source(fake_clock);
    fake_now = 0x00000010u;
    EXPECT_EQ(vxp_within_timeout(0xFFFFFFF0u, 100), 1);
    EXPECT_EQ(vxp_within_timeout(0xFFFFFFF0u, 0x1F), 0);
    EXPECT_EQ(vxp_within_timeout(0xFFFFFFF0u, 0x20), 1);
    EXPECT_EQ(vxp_within_timeout(fake_now, 0), 0);  // a zero timeout has always expired
    vxp_set_tick_source(nullptr);
}

TEST(Tick, DefaultSourceIsTheMonotonicClockInMilliseconds) {
    vxp_set_tick_source(stopped_clock);
    EXPECT_EQ(vxp_tick_ms(), 5u);
    vxp_set_tick_source(nullptr);
#ifdef _WIN32
    const uint32_t start = static_cast<uint32_t>(GetTickCount());
    const uint32_t windows_tick = vxp_tick_ms();
    EXPECT_LE(vxp_elapsed_ms(start, windows_tick),
              vxp_elapsed_ms(start, static_cast<uint32_t>(GetTickCount())));
#else
    timespec before{};
    timespec after{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    const uint32_t tick = vxp_tick_ms();
    clock_gettime(CLOCK_MONOTONIC, &after);
    const auto ms = [](const timespec& t) {
        return static_cast<uint32_t>(static_cast<uint64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
    };
    EXPECT_LE(vxp_elapsed_ms(ms(before), tick), vxp_elapsed_ms(ms(before), ms(after)));
#endif
}

class ParserTimeout : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_now = 1000;
        ASSERT_EQ(vxp_parser_init(&parser, 100, &recorder, Recorder::callback), VXP_OK);
    }
    void TearDown() override { vxp_set_tick_source(nullptr); }

    vxp_parser parser;
    Recorder recorder;
};

TEST_F(ParserTimeout, HeaderTimeoutOnTheProcessTickHasNoCallback) {
    vxp_set_tick_source(fake_clock);
    ASSERT_EQ(receive_all(parser, Bytes{0x75, 0x65}), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.packet_byte_count, VXP_PARSE_SYNC_TAKEN);
    EXPECT_EQ(parser.framer.start_tick, 1000u);
    fake_now = 1099;
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.timeouts, 0u);
    fake_now = 1100;
    ASSERT_EQ(vxp_parser_step(&parser), VXP_NO_PACKET);
    EXPECT_EQ(parser.framer.timeouts, 1u);
    EXPECT_EQ(parser.framer.packet_byte_count, VXP_PARSE_HUNTING);
    EXPECT_EQ(parser.framer.last_packet_ok, 0);
    EXPECT_TRUE(recorder.events.empty());
    // The byte after the abandoned sync byte is still held and searched.
    EXPECT_EQ(vxp_ring_count(&parser.ring), 1u);
}

TEST_F(ParserTimeout, PayloadTimeoutReportsTheHeaderAndResearchesTheRest) {
    ASSERT_EQ(vxp_parser_set_clock(&parser, fake_clock), VXP_OK);
    // A candidate announcing 40 payload bytes, with a complete packet among the bytes after it.
    const Bytes stream = concat({{0x75, 0x65, 0x93, 40, 0x11}, kEmptyPacket});
    ASSERT_EQ(receive_all(parser, stream), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.packet_byte_count, VXP_PARSE_HEADER_ACCEPTED);
    EXPECT_TRUE(recorder.events.empty());

    fake_now = 1100;
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].kind, VXP_PACKET_TIMEOUT);
    EXPECT_EQ(recorder.events[0].size, 4);
    EXPECT_EQ(recorder.events[0].bytes, (Bytes{0x75, 0x65, 0x93, 40}));
    EXPECT_EQ(parser.framer.timeouts, 1u);
    EXPECT_EQ(parser.framer.checksum_errors, 0u);

    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(recorder.delivered(), std::vector<Bytes>{kEmptyPacket});
}

TEST_F(ParserTimeout, ParserClockOverridesTheProcessTick) {
    vxp_set_tick_source(fake_clock);
    ASSERT_EQ(vxp_parser_set_clock(&parser, stopped_clock), VXP_OK);
    ASSERT_EQ(receive_all(parser, Bytes{0x75, 0x65, 0x93, 40}), VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.start_tick, 5u);
    fake_now = 500000;  // the process tick runs on; the parser's clock stands still
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.timeouts, 0u);

    // With a zero timeout even a stopped clock has expired: drain gives up on the candidate.
    ASSERT_EQ(vxp_parser_set_timeout(&parser, 0), VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(recorder.count(VXP_PACKET_TIMEOUT), 1u);
    EXPECT_EQ(vxp_ring_count(&parser.ring), 0u);
    EXPECT_EQ(parser.framer.packet_byte_count, VXP_PARSE_HUNTING);

    ASSERT_EQ(vxp_parser_set_clock(&parser, nullptr), VXP_OK);  // back to the process tick
    ASSERT_EQ(vxp_parser_set_timeout(&parser, 100), VXP_OK);
    ASSERT_EQ(receive_all(parser, Bytes{0x75}), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.start_tick, 500000u);
}

TEST_F(ParserTimeout, TimeoutAcrossTheCounterWrap) {
    ASSERT_EQ(vxp_parser_set_clock(&parser, fake_clock), VXP_OK);
    fake_now = 0xFFFFFFC0u;
    const Bytes packet = make_packet(0x91, {4, 0x01, 0x02, 0x03});
    ASSERT_EQ(receive_all(parser, Bytes(packet.begin(), packet.begin() + 5)), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    fake_now = 0x00000020u;  // 0x5F ms later by the wrap rule: still within 100
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(parser.framer.timeouts, 0u);
    ASSERT_EQ(receive_all(parser, Bytes(packet.begin() + 5, packet.end())), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(recorder.delivered(), std::vector<Bytes>{packet});
}

}  // namespace
