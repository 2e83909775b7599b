// The framing loop: the checksum over a packet, and the parser fed a log of the benchmark's mix
// as the store feeds it (at most 100 bytes per receive, each followed by a drain), or in larger
// pieces; and the hunt through bytes that hold no packet.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench/bench_log.h"
#include "vxp/packet.h"
#include "vxp/parser.h"

namespace {

uint32_t stopped_clock() {
    return 0;
}

struct Counts {
    uint64_t packets = 0;
    uint64_t bytes = 0;
};

void count_packet(void* user, uint8_t*, uint16_t size, uint8_t kind) {
    auto* counts = static_cast<Counts*>(user);
    if (kind == VXP_PACKET_OK) {
        ++counts->packets;
        counts->bytes += size;
    }
}

const std::vector<uint8_t>& mixed_log() {
    static const std::vector<uint8_t> log = bench_log::make(std::size_t{8} << 20);
    return log;
}

void BM_Checksum(benchmark::State& state) {
    uint8_t packet[VXP_MAX_PACKET_SIZE];
    std::mt19937 random(1);
    for (uint8_t& byte : packet)
        byte = static_cast<uint8_t>(random());
    packet[0] = VXP_SYNC1;
    packet[1] = VXP_SYNC2;
    packet[3] = static_cast<uint8_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(packet);
        benchmark::DoNotOptimize(vxp_packet_checksum(packet));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) + VXP_HEADER_SIZE));
}
BENCHMARK(BM_Checksum)->Arg(28)->Arg(44)->Arg(203)->Arg(255);

// The whole log through one parser, `piece` bytes per receive, each followed by a drain.
void BM_ParserFeed(benchmark::State& state) {
    const std::vector<uint8_t>& log = mixed_log();
    const std::size_t piece = static_cast<std::size_t>(state.range(0));
    Counts counts;
    for (auto _ : state) {
        vxp_parser parser{};
        vxp_parser_init(&parser, 1000, &counts, count_packet);
        vxp_parser_set_clock(&parser, stopped_clock);
        for (std::size_t at = 0; at < log.size(); at += piece) {
            uint32_t accepted = 0;
            const std::size_t n = std::min(piece, log.size() - at);
            vxp_parser_receive(&parser, log.data() + at, static_cast<uint32_t>(n), &accepted);
            vxp_parser_drain(&parser);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * log.size()));
    state.counters["packets/s"] =
        benchmark::Counter(static_cast<double>(counts.packets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParserFeed)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Bytes without a sync byte: the hunt drops them run by run.
void BM_ParserHunt(benchmark::State& state) {
    std::vector<uint8_t> garbage(std::size_t{1} << 20);
    std::mt19937 random(2);
    for (uint8_t& byte : garbage) {
        byte = static_cast<uint8_t>(random());
        if (byte == VXP_SYNC1)
            byte = 0;
    }
    Counts counts;
    for (auto _ : state) {
        vxp_parser parser{};
        vxp_parser_init(&parser, 1000, &counts, count_packet);
        vxp_parser_set_clock(&parser, stopped_clock);
        for (std::size_t at = 0; at < garbage.size(); at += 100) {
            uint32_t accepted = 0;
            vxp_parser_receive(&parser, garbage.data() + at, 100, &accepted);
            vxp_parser_drain(&parser);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * garbage.size()));
}
BENCHMARK(BM_ParserHunt)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
