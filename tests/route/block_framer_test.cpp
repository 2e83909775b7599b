// Framing straight from the read blocks must give what the log parser gives for the same bytes,
// however the blocks are cut: every packet and failure in the same order, and the same counters.
#include "route/block_framer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "route/journal_framer.h"
#include "route/log_feed.h"
#include "tests/route/record_trace.h"
#include "vxp/parser.h"

namespace {

struct Framing {
    std::vector<std::string> calls;
    uint32_t checksum_errors, sync_errors, timeouts;
};

// The parser, fed pieces of at most `piece` bytes.
Framing parse(const std::vector<uint8_t>& log, std::size_t piece) {
    RecordTrace trace;
    PacketRouter router(trace);
    auto parser = std::make_unique<vxp_parser>();
    log_feed_start(*parser, router);
    std::vector<uint8_t> bytes = log;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        log_feed_bytes(*parser, bytes.data() + at, std::min(piece, bytes.size() - at));
    log_feed_end(*parser);
    return {trace.calls, parser->framer.checksum_errors, parser->framer.sync_errors, parser->framer.timeouts};
}

// The block framer, fed blocks of random sizes up to `largest` bytes (empty ones among them).
Framing frame_blocks(const std::vector<uint8_t>& log, std::size_t largest, unsigned seed) {
    RecordTrace trace;
    PacketRouter router(trace);
    BlockFramer framer(router);
    std::mt19937 random(seed);
    std::size_t at = 0;
    while (at < log.size()) {
        const std::size_t n = std::min<std::size_t>(random() % (largest + 1), log.size() - at);
        std::vector<uint8_t> block(log.begin() + static_cast<std::ptrdiff_t>(at),
                                   log.begin() + static_cast<std::ptrdiff_t>(at + n));
        framer.feed(block.data(), block.size());
        at += n;
    }
    framer.finish();
    return {trace.calls, framer.checksum_errors(), framer.sync_errors(), framer.timeouts()};
}

// The damaged corpus log with more damage: flipped bytes, sync-rich garbage, a header announcing
// more than follows, and an end cut inside a packet.
std::vector<uint8_t> damaged_log() {
    std::vector<uint8_t> log = corpus_log("tests/replay/damaged/damaged.vxp");
    std::mt19937 random(29);
    for (int k = 0; k < 200; ++k)
        log[random() % log.size()] ^= static_cast<uint8_t>(1 + random() % 255);
    const std::vector<uint8_t> garbage = {VXP_SYNC1, VXP_SYNC1, VXP_SYNC2, 0x80,
                                          250,       VXP_SYNC1, 3,         VXP_SYNC1};
    for (int k = 0; k < 50; ++k) {
        const auto at = static_cast<std::ptrdiff_t>(random() % log.size());
        log.insert(log.begin() + at, garbage.begin(), garbage.begin() + 1 + random() % garbage.size());
    }
    log.insert(log.end(), {VXP_SYNC1, VXP_SYNC2, 0x80, 40, 1, 2, 3});
    return log;
}

void expect_same(const Framing& expected, const Framing& framed) {
    ASSERT_EQ(framed.calls.size(), expected.calls.size());
    for (std::size_t i = 0; i < expected.calls.size(); ++i)
        ASSERT_EQ(framed.calls[i], expected.calls[i]) << "call " << i;
    EXPECT_EQ(framed.checksum_errors, expected.checksum_errors);
    EXPECT_EQ(framed.sync_errors, expected.sync_errors);
    EXPECT_EQ(framed.timeouts, expected.timeouts);
}

TEST(BlockFramer, FramesAsTheParserHoweverTheBlocksAreCut) {
    const std::vector<uint8_t> log = damaged_log();
    const Framing expected = parse(log, 1u << 20);
    EXPECT_GT(expected.checksum_errors, 10u);
    EXPECT_GT(expected.sync_errors, 10u);
    EXPECT_GT(expected.timeouts, 0u);
    EXPECT_EQ(parse(log, 7).calls, expected.calls);
    for (const std::size_t largest : {1u, 5u, 300u, 70000u}) {
        SCOPED_TRACE(largest);
        expect_same(expected, frame_blocks(log, largest, static_cast<unsigned>(largest)));
    }
}

TEST(BlockFramer, CleanLogInLargeBlocks) {
    const std::vector<uint8_t> log = corpus_log("samples/sample.vxp");
    const Framing expected = parse(log, 1u << 20);
    EXPECT_GT(expected.calls.size(), 10000u);
    expect_same(expected, frame_blocks(log, log.size(), 1));
}

// A second reading from the journal of the first: the same good packets in the same order (the
// failures are not reported again), however both readings are cut into blocks; with a journal too
// small for the log's damage, the rest is framed anew and the packets are still the same.
std::vector<std::string> good_packets(const std::vector<std::string>& calls) {
    std::vector<std::string> good;
    for (const std::string& call : calls) {
        if (!call.starts_with("checksum_error"))
            good.push_back(call);
    }
    return good;
}

struct JournalReading {
    bool same;
    std::vector<std::string> calls;
};

JournalReading read_again(const std::vector<uint8_t>& log, std::size_t run_limit, std::size_t largest) {
    FramingJournal journal(run_limit);
    {
        RecordTrace first;
        PacketRouter router(first);
        BlockFramer framer(router, &journal);
        std::vector<uint8_t> bytes = log;
        framer.feed(bytes.data(), bytes.size());
        framer.finish();
    }
    RecordTrace trace;
    PacketRouter router(trace);
    JournalFramer framer(router, journal);
    std::mt19937 random(static_cast<unsigned>(largest));
    bool same = true;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t n = std::min<std::size_t>(1 + random() % largest, log.size() - at);
        std::vector<uint8_t> block(log.begin() + static_cast<std::ptrdiff_t>(at),
                                   log.begin() + static_cast<std::ptrdiff_t>(at + n));
        same = framer.feed(block.data(), block.size()) && same;
        at += n;
    }
    return {framer.finish() && same, trace.calls};
}

TEST(JournalFramer, ReadsTheGoodPacketsAgainFromTheJournal) {
    const std::vector<uint8_t> log = damaged_log();
    const std::vector<std::string> expected = good_packets(parse(log, 1u << 20).calls);
    for (const std::size_t run_limit : {FramingJournal::kRunLimit, std::size_t{40}, std::size_t{1}}) {
        for (const std::size_t largest : {3u, 700u, 1u << 20}) {
            SCOPED_TRACE(testing::Message() << run_limit << " runs, blocks up to " << largest);
            const JournalReading reading = read_again(log, run_limit, largest);
            EXPECT_TRUE(reading.same);
            ASSERT_EQ(good_packets(reading.calls).size(), expected.size());
            EXPECT_EQ(good_packets(reading.calls), expected);
        }
    }
}

TEST(JournalFramer, OtherBytesThanTheFirstReadingAreReported) {
    const std::vector<uint8_t> log = corpus_log("samples/sample.vxp");
    FramingJournal journal;
    {
        RecordTrace first;
        PacketRouter router(first);
        BlockFramer framer(router, &journal);
        std::vector<uint8_t> bytes = log;
        framer.feed(bytes.data(), bytes.size());
        framer.finish();
    }
    ASSERT_EQ(journal.runs().size(), 1u);
    std::vector<uint8_t> shifted(log.begin() + 1, log.end());  // every packet one byte early
    RecordTrace trace;
    PacketRouter router(trace);
    JournalFramer framer(router, journal);
    EXPECT_FALSE(framer.feed(shifted.data(), shifted.size()));
    std::vector<uint8_t> shorter(log.begin(), log.end() - 100);  // the last packets never come
    JournalFramer cut(router, journal);
    EXPECT_TRUE(cut.feed(shorter.data(), shorter.size()));
    EXPECT_FALSE(cut.finish());
}

}  // namespace
