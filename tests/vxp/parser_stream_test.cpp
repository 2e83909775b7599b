// Randomised streams: valid packets interleaved with garbage rich in sync bytes, pushed through
// the parser in random chunk sizes by every feeding pattern, must come out byte-exact and in order.
#include <gtest/gtest.h>

#include <random>

#include "tests/vxp/vxp_test_support.h"
#include "vxp/parser.h"
#include "vxp/status.h"

namespace {

using vxp_test::Bytes;
using vxp_test::Event;
using vxp_test::make_packet;
using vxp_test::Recorder;

uint32_t stopped_clock() {
    return 0;
}

// Longest stretch a false candidate in garbage can claim: after it, the stream is decided.
constexpr size_t kSettlingBytes = VXP_MAX_PACKET_SIZE;

struct Stream {
    Bytes bytes;
    std::vector<Bytes> packets;
};

Bytes random_payload(std::mt19937& random) {
    Bytes payload;
    const size_t target = std::uniform_int_distribution<size_t>(0, VXP_MAX_PAYLOAD_SIZE)(random);
    while (payload.size() + VXP_FIELD_HEADER_SIZE <= target) {
        const size_t room = target - payload.size();
        const size_t length = std::uniform_int_distribution<size_t>(VXP_FIELD_HEADER_SIZE, room)(random);
        payload.push_back(static_cast<uint8_t>(length));
        for (size_t i = 1; i < length; i++)
            payload.push_back(static_cast<uint8_t>(random()));
    }
    return payload;
}

// Garbage favours the bytes that start false candidates: 0x75, and 0x75 0x65 pairs.
Bytes random_garbage(std::mt19937& random) {
    Bytes garbage;
    const size_t length = std::uniform_int_distribution<size_t>(0, 40)(random);
    for (size_t i = 0; i < length; i++) {
        switch (random() % 4) {
            case 0:
                garbage.push_back(0x75);
                break;
            case 1:
                garbage.push_back(0x75);
                garbage.push_back(0x65);
                break;
            default:
                garbage.push_back(static_cast<uint8_t>(random()));
        }
    }
    return garbage;
}

Stream random_stream(uint32_t seed, int packet_count) {
    std::mt19937 random(seed);
    Stream stream;
    for (int i = 0; i < packet_count; i++) {
        const Bytes garbage = random_garbage(random);
        stream.bytes.insert(stream.bytes.end(), garbage.begin(), garbage.end());
        const uint8_t set = static_cast<uint8_t>(0x80 + random() % 0x16);
        stream.packets.push_back(make_packet(set, random_payload(random)));
        stream.bytes.insert(stream.bytes.end(), stream.packets.back().begin(), stream.packets.back().end());
    }
    stream.bytes.insert(stream.bytes.end(), kSettlingBytes, 0x00);
    return stream;
}

enum class Pattern { ReceiveDrain, ReceiveUpdate, Feed };

std::vector<Bytes> run(const Stream& stream, Pattern pattern, uint32_t seed, Recorder& recorder) {
    vxp_parser parser;
    EXPECT_EQ(vxp_parser_init(&parser, 1000, &recorder, Recorder::callback), VXP_OK);
    EXPECT_EQ(vxp_parser_set_clock(&parser, stopped_clock), VXP_OK);
    std::mt19937 random(seed);
    size_t offset = 0;
    while (offset < stream.bytes.size()) {
        const size_t chunk = std::min<size_t>(1 + random() % 300, stream.bytes.size() - offset);
        const uint8_t* bytes = stream.bytes.data() + offset;
        uint32_t accepted = 0;
        if (pattern == Pattern::Feed) {
            EXPECT_EQ(vxp_parser_feed(&parser, bytes, static_cast<uint32_t>(chunk), &accepted), VXP_OK);
        } else {
            // A ring that refuses bytes keeps them with us; they are offered again next time.
            vxp_parser_receive(&parser, bytes, static_cast<uint32_t>(chunk), &accepted);
            EXPECT_EQ(
                pattern == Pattern::ReceiveDrain ? vxp_parser_drain(&parser) : vxp_parser_update(&parser),
                VXP_OK);
        }
        offset += accepted;
    }
    EXPECT_EQ(vxp_parser_drain(&parser), VXP_OK);
    return recorder.delivered();
}

TEST(ParserStream, RandomPacketsAmongGarbageArriveExactlyAndInOrder) {
    for (uint32_t seed = 1; seed <= 6; seed++) {
        const Stream stream = random_stream(seed, 150);
        for (Pattern pattern : {Pattern::ReceiveDrain, Pattern::ReceiveUpdate, Pattern::Feed}) {
            Recorder recorder;
            const std::vector<Bytes> delivered = run(stream, pattern, seed * 7919u, recorder);
            ASSERT_EQ(delivered.size(), stream.packets.size())
                << "seed " << seed << " pattern " << static_cast<int>(pattern);
            for (size_t i = 0; i < delivered.size(); i++) {
                ASSERT_EQ(delivered[i], stream.packets[i]) << "seed " << seed << " packet " << i;
            }
            EXPECT_GT(recorder.count(VXP_PACKET_CHECKSUM_ERROR), 0u);
            EXPECT_EQ(recorder.count(VXP_PACKET_TIMEOUT), 0u);
        }
    }
}

TEST(ParserStream, PureGarbageNeverDeliversAnInvalidPacket) {
    std::mt19937 random(4242);
    Bytes garbage;
    for (int i = 0; i < 400; i++) {
        const Bytes piece = random_garbage(random);
        garbage.insert(garbage.end(), piece.begin(), piece.end());
    }
    vxp_parser parser;
    Recorder recorder;
    ASSERT_EQ(vxp_parser_init(&parser, 1000, &recorder, Recorder::callback), VXP_OK);
    ASSERT_EQ(vxp_parser_set_clock(&parser, stopped_clock), VXP_OK);
    uint32_t accepted = 0;
    ASSERT_EQ(vxp_parser_feed(&parser, garbage.data(), static_cast<uint32_t>(garbage.size()), &accepted),
              VXP_OK);
    EXPECT_EQ(accepted, garbage.size());
    EXPECT_GT(parser.framer.sync_errors, 0u);
    for (const Event& event : recorder.events) {
        if (event.kind != VXP_PACKET_OK) {
            EXPECT_EQ(event.size, VXP_HEADER_SIZE);
            continue;
        }
        EXPECT_EQ(event.size, vxp_packet_size(event.bytes.data()));
        EXPECT_EQ(vxp_packet_verify_checksum(event.bytes.data()), VXP_OK);
    }
}

}  // namespace
