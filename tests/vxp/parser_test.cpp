// Packet framing: delivery, resynchronisation after false sync bytes and damaged candidates, the
// checksum counting rule, draining, and the guards of an uninitialised parser.
#include "vxp/parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/vxp/vxp_test_support.h"
#include "vxp/status.h"

namespace {

using vxp_test::Bytes;
using vxp_test::concat;
using vxp_test::make_packet;
using vxp_test::receive_all;
using vxp_test::Recorder;

const Bytes kEmptyPacket = {0x75, 0x65, 0x80, 0x00, 0x5A, 0x03};

// A packet whose bytes after the first hold no 0x75, so a damaged copy hides no false candidate;
// its last payload byte is chosen to keep 0x75 out of the checksum.
Bytes plain_packet(uint8_t set, uint8_t fill) {
    for (int spare = 0; spare < 256; spare++) {
        Bytes packet = make_packet(set, {6, 0x22, fill, fill, fill, static_cast<uint8_t>(spare)});
        if (std::find(packet.begin() + 1, packet.end(), 0x75) == packet.end())
            return packet;
    }
    ADD_FAILURE() << "no plain packet for fill " << int{fill};
    return {};
}

Bytes damaged(Bytes packet) {
    packet[6] ^= 0x01;  // a payload byte
    return packet;
}

class Parser : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(&parser, 0, sizeof parser);
        ASSERT_EQ(vxp_parser_init(&parser, 1000, &recorder, Recorder::callback), VXP_OK);
        ASSERT_EQ(vxp_parser_set_clock(&parser, vxp_test::fake_clock), VXP_OK);
    }

    vxp_parser parser;
    Recorder recorder;
};

TEST_F(Parser, EmptyPayloadPacketIsDeliveredOnce) {
    EXPECT_EQ(vxp_parser_step(&parser), VXP_NO_PACKET);  // empty ring
    EXPECT_TRUE(recorder.events.empty());
    ASSERT_EQ(receive_all(parser, kEmptyPacket), VXP_OK);
    EXPECT_EQ(vxp_parser_step(&parser), VXP_OK);
    EXPECT_EQ(vxp_parser_step(&parser), VXP_NO_PACKET);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].kind, VXP_PACKET_OK);
    EXPECT_EQ(recorder.events[0].size, 6);
    EXPECT_EQ(recorder.events[0].bytes, kEmptyPacket);
    EXPECT_EQ(parser.framer.last_packet_ok, 1);
    EXPECT_EQ(vxp_ring_count(&parser.ring), 0u);
}

TEST_F(Parser, PacketSplitOverManyReceivesIsDeliveredAfterItsLastByte) {
    const Bytes packet = make_packet(0x93, {5, 0x22, 0x75, 0x65, 0x01});
    for (size_t i = 0; i < packet.size(); i++) {
        ASSERT_EQ(receive_all(parser, Bytes{packet[i]}), VXP_OK);
        ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
        EXPECT_EQ(recorder.events.size(), i + 1 == packet.size() ? 1u : 0u) << "after byte " << i;
    }
    EXPECT_EQ(recorder.delivered(), std::vector<Bytes>{packet});
    EXPECT_EQ(vxp_parser_error_total(&parser), 0u);
}

TEST_F(Parser, SyncByteWithoutSecondSyncIsSkipped) {
    const Bytes packet = plain_packet(0x81, 0x10);
    ASSERT_EQ(receive_all(parser, concat({{0x75}, packet})), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);  // stops after the rejected sync byte
    EXPECT_EQ(parser.framer.sync_errors, 1u);
    EXPECT_TRUE(recorder.events.empty());
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.delivered(), std::vector<Bytes>{packet});
}

TEST_F(Parser, DamagedPacketGivesOneChecksumEventThenNextPacketIsDelivered) {
    const Bytes good = plain_packet(0x92, 0x20);
    const Bytes bad = damaged(plain_packet(0x92, 0x21));
    const Bytes next = plain_packet(0x92, 0x22);
    ASSERT_EQ(receive_all(parser, concat({good, bad, next})), VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    ASSERT_EQ(recorder.events.size(), 3u);
    EXPECT_EQ(recorder.events[1].kind, VXP_PACKET_CHECKSUM_ERROR);
    EXPECT_EQ(recorder.events[1].size, 4);
    EXPECT_EQ(recorder.events[1].bytes, bad);  // the whole candidate is in the buffer
    EXPECT_EQ(parser.framer.checksum_errors, 1u);
    EXPECT_EQ(recorder.delivered(), (std::vector<Bytes>{good, next}));
}

TEST_F(Parser, DamagedFirstPacketIsReportedButNotCounted) {
    ASSERT_EQ(receive_all(parser, damaged(plain_packet(0x92, 0x30))), VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(recorder.count(VXP_PACKET_CHECKSUM_ERROR), 1u);
    EXPECT_EQ(recorder.count(VXP_PACKET_OK), 0u);
    EXPECT_EQ(parser.framer.checksum_errors, 0u);
}

TEST_F(Parser, RunOfFailuresCountsOnceAndEachGoodPacketRearmsTheCount) {
    // Two damaged packets whose payloads carry false candidates: several callbacks, one count.
    // Its payload holds a false candidate (75 65 01 02) that reaches exactly to the checksum.
    Bytes tricky = make_packet(0x93, {8, 0x22, 0x75, 0x65, 0x01, 0x02, 0x00, 0x00});
    tricky[tricky.size() - 1] ^= 0xFF;
    ASSERT_NE(tricky[tricky.size() - 2], 0x75);
    ASSERT_NE(tricky[tricky.size() - 1], 0x75);
    const Bytes good = plain_packet(0x93, 0x40);
    ASSERT_EQ(receive_all(parser, concat({good, tricky, tricky, good, tricky, good})), VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(recorder.count(VXP_PACKET_CHECKSUM_ERROR), 6u);
    EXPECT_EQ(parser.framer.checksum_errors, 2u);
    EXPECT_EQ(recorder.delivered(), (std::vector<Bytes>{good, good, good}));
}

TEST_F(Parser, GoodPacketHiddenInsideRejectedCandidateIsFound) {
    const Bytes inner = kEmptyPacket;
    // The outer candidate announces 20 payload bytes; the inner packet sits in them.
    Bytes outer = {0x75, 0x65, 0x91, 20, 0x01, 0x02};
    outer.insert(outer.end(), inner.begin(), inner.end());
    outer.resize(outer.size() + 14, 0x00);  // rest of payload and a wrong checksum
    ASSERT_EQ(receive_all(parser, outer), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].kind, VXP_PACKET_CHECKSUM_ERROR);
    ASSERT_EQ(vxp_parser_update(&parser), VXP_OK);
    EXPECT_EQ(recorder.delivered(), std::vector<Bytes>{inner});
}

TEST_F(Parser, DrainDeliversEveryPacketBehindADamagedCandidateInOneCall) {
    const Bytes bad = damaged(plain_packet(0x94, 0x50));
    std::vector<Bytes> goods;
    Bytes stream = bad;
    for (uint8_t i = 0; i < 10; i++) {
        goods.push_back(plain_packet(0x94, static_cast<uint8_t>(0x51 + i)));
        stream = concat({stream, goods.back(), i % 3 == 0 ? bad : Bytes{}});
    }
    stream = concat({stream, Bytes{0x75, 0x65, 0x94}});  // an unfinished header at the end
    ASSERT_EQ(receive_all(parser, stream), VXP_OK);

    // A single update stops at the damaged candidate in front.
    vxp_parser updated;
    Recorder update_recorder;
    ASSERT_EQ(vxp_parser_init(&updated, 1000, &update_recorder, Recorder::callback), VXP_OK);
    ASSERT_EQ(vxp_parser_set_clock(&updated, vxp_test::fake_clock), VXP_OK);
    ASSERT_EQ(receive_all(updated, stream), VXP_OK);
    ASSERT_EQ(vxp_parser_update(&updated), VXP_OK);
    EXPECT_EQ(update_recorder.delivered().size(), 0u);

    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(recorder.delivered(), goods);
    EXPECT_EQ(recorder.count(VXP_PACKET_CHECKSUM_ERROR), 5u);
    EXPECT_EQ(parser.framer.packet_byte_count, VXP_PARSE_SYNC_TAKEN);  // still waiting, nothing lost
    EXPECT_EQ(vxp_ring_count(&parser.ring), 2u);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(recorder.events.size(), 15u);
}

TEST_F(Parser, IncompleteInputProducesNoCallback) {
    const Bytes packet = plain_packet(0x95, 0x60);
    ASSERT_EQ(receive_all(parser, Bytes(packet.begin(), packet.end() - 1)), VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(parser.framer.packet_byte_count, VXP_PARSE_HEADER_ACCEPTED);
}

TEST_F(Parser, FullRingRefusesAndReportsTheAcceptedCount) {
    const Bytes filler(VXP_PARSER_BUFFER_SIZE - 2, 0x00);
    ASSERT_EQ(receive_all(parser, filler), VXP_OK);
    uint32_t accepted = 0;
    EXPECT_EQ(vxp_parser_receive(&parser, kEmptyPacket.data(), 6, &accepted), VXP_ERROR);
    EXPECT_EQ(accepted, 2u);
    EXPECT_EQ(parser.ring.total_overruns, 1u);
    EXPECT_EQ(vxp_parser_free_space(&parser), 0u);
    EXPECT_EQ(vxp_parser_receive_wait(&parser, kEmptyPacket.data(), 6, &accepted, 50), VXP_ERROR);
    EXPECT_EQ(
        vxp_parser_receive_wait(&parser, kEmptyPacket.data(), VXP_PARSER_BUFFER_SIZE + 1, &accepted, 50),
        VXP_ERROR);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(vxp_parser_receive_wait(&parser, kEmptyPacket.data(), 6, &accepted, 50), VXP_OK);
    EXPECT_EQ(accepted, 6u);
}

TEST_F(Parser, FeedFramesALongStreamInOneCall) {
    std::vector<Bytes> goods;
    Bytes stream;
    for (int i = 0; i < 600; i++) {  // far more than the ring holds
        goods.push_back(plain_packet(0x93, static_cast<uint8_t>(i % 100)));
        stream = concat({stream, i % 7 == 0 ? damaged(goods.back()) : Bytes{}, goods.back()});
    }
    uint32_t total = 0;
    ASSERT_EQ(vxp_parser_feed(&parser, stream.data(), static_cast<uint32_t>(stream.size()), &total), VXP_OK);
    EXPECT_EQ(total, stream.size());
    EXPECT_EQ(recorder.delivered(), goods);
    EXPECT_EQ(parser.ring.total_overruns, 0u);
}

TEST_F(Parser, StepOnceMapsNoPacketToSuccess) {
    EXPECT_EQ(vxp_parser_step_once(&parser), VXP_OK);
    ASSERT_EQ(receive_all(parser, kEmptyPacket), VXP_OK);
    EXPECT_EQ(vxp_parser_step_once(&parser), VXP_OK);
    EXPECT_EQ(recorder.events.size(), 1u);
}

TEST_F(Parser, SettersAndErrorTotal) {
    EXPECT_EQ(vxp_parser_set_callback(&parser, nullptr, nullptr), VXP_ERROR);
    EXPECT_EQ(parser.framer.callback, &Recorder::callback);
    Recorder other;
    ASSERT_EQ(vxp_parser_set_callback(&parser, &other, Recorder::callback), VXP_OK);
    ASSERT_EQ(vxp_parser_set_timeout(&parser, 250), VXP_OK);
    EXPECT_EQ(vxp_parser_get_timeout(&parser), 250u);
    ASSERT_EQ(receive_all(parser, concat({{0x75, 0x01, 0x02, 0x03}, damaged(plain_packet(0x80, 1))})),
              VXP_OK);
    ASSERT_EQ(vxp_parser_drain(&parser), VXP_OK);
    EXPECT_EQ(other.events.size(), 1u);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(vxp_parser_error_total(&parser), 1u);  // the sync error; the first failure is not counted

    // Re-initialising empties the ring, zeroes the counters and forgets the clock.
    ASSERT_EQ(receive_all(parser, Bytes{0x75}), VXP_OK);
    ASSERT_EQ(vxp_parser_init(&parser, 1000, &recorder, Recorder::callback), VXP_OK);
    EXPECT_EQ(vxp_ring_count(&parser.ring), 0u);
    EXPECT_EQ(vxp_parser_error_total(&parser), 0u);
    EXPECT_EQ(parser.framer.clock, nullptr);
}

TEST(ParserGuards, UninitialisedParserDoesNothing) {
    vxp_parser parser;
    std::memset(&parser, 0x5A, sizeof parser);  // state 0x5A: never initialised
    vxp_parser before;
    std::memcpy(&before, &parser, sizeof parser);
    Recorder recorder;
    EXPECT_EQ(vxp_parser_init(&parser, 1000, &recorder, nullptr), VXP_ERROR);
    uint32_t accepted = 77;
    EXPECT_EQ(vxp_parser_receive(&parser, kEmptyPacket.data(), 6, &accepted), VXP_ERROR);
    EXPECT_EQ(accepted, 77u);
    EXPECT_EQ(vxp_parser_receive_wait(&parser, kEmptyPacket.data(), 6, &accepted, 0), VXP_ERROR);
    EXPECT_EQ(vxp_parser_step(&parser), VXP_ERROR);
    EXPECT_EQ(vxp_parser_step_once(&parser), VXP_ERROR);
    EXPECT_EQ(vxp_parser_update(&parser), VXP_ERROR);
    EXPECT_EQ(vxp_parser_drain(&parser), VXP_ERROR);
    EXPECT_EQ(vxp_parser_feed(&parser, kEmptyPacket.data(), 6, &accepted), VXP_ERROR);
    EXPECT_EQ(vxp_parser_set_timeout(&parser, 5), VXP_ERROR);
    EXPECT_EQ(vxp_parser_free_space(&parser), 0u);
    EXPECT_EQ(vxp_parser_error_total(&parser), 0u);
    EXPECT_EQ(std::memcmp(&before, &parser, sizeof parser), 0);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(vxp_parser_init(nullptr, 1000, &recorder, Recorder::callback), VXP_ERROR);
    EXPECT_EQ(vxp_parser_step(nullptr), VXP_ERROR);
}

}  // namespace
