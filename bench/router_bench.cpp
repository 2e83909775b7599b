// The router: the packets of a log of the benchmark's mix, already framed, filed into a store
// (field walk, byte order, epochs, time indexes); and the whole load of the same log from a file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_log.h"
#include "store/vxp_data_store.h"
#include "vxp/packet.h"

namespace {

const std::vector<uint8_t>& mixed_log() {
    static const std::vector<uint8_t> log = bench_log::make(std::size_t{16} << 20);
    return log;
}

// The log cut into its packets (it holds nothing else).
std::vector<std::vector<uint8_t>> packets_of(const std::vector<uint8_t>& log) {
    std::vector<std::vector<uint8_t>> packets;
    for (std::size_t at = 0; at + VXP_HEADER_SIZE <= log.size();) {
        const std::size_t size = vxp_packet_size(log.data() + at);
        packets.emplace_back(log.begin() + static_cast<std::ptrdiff_t>(at),
                             log.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return packets;
}

void BM_RoutePackets(benchmark::State& state) {
    const std::vector<std::vector<uint8_t>> packets = packets_of(mixed_log());
    std::vector<uint8_t> buffer(VXP_MAX_PACKET_SIZE);
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<VxpDataStore>();
        state.ResumeTiming();
        for (const std::vector<uint8_t>& packet : packets) {
            // A fresh copy each time: routing converts the fields in place.
            std::copy(packet.begin(), packet.end(), buffer.begin());
            store->route_packet(buffer.data(), static_cast<uint16_t>(packet.size()), VXP_PACKET_OK);
        }
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * packets.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mixed_log().size()));
}
BENCHMARK(BM_RoutePackets)->Unit(benchmark::kMillisecond);

void BM_LoadFile(benchmark::State& state) {
    const std::vector<uint8_t>& log = mixed_log();
    char path[] = "/tmp/kelvartix-bench-XXXXXX";
    const int descriptor = mkstemp(path);
    if (descriptor < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(descriptor);
    std::FILE* file = std::fopen(path, "wb");
    std::fwrite(log.data(), 1, log.size(), file);
    std::fclose(file);
    for (auto _ : state) {
        auto store = std::make_unique<VxpDataStore>();
        benchmark::DoNotOptimize(store->load_file(path));
    }
    std::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * log.size()));
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
