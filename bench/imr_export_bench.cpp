// IMR export of large synthetic stores: the time per sample should stay flat as the log grows
// (one pass over the time tags, forward-moving cursor lookups, block writes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "imr/imr_writer.h"
#include "store/vxp_data_store.h"

namespace {

constexpr uint16_t kWeek = 2300;
constexpr double kStart = 345600.0;
constexpr double kStep = 0.005;  // 200 Hz

constexpr uint32_t kLinearGap = 50;
constexpr int64_t kImrHeaderBytes = 512;
constexpr int64_t kImrRecordBytes = 32;

// Swallows the console output of the writer.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// n time tags with a gyro and an accelerometer sample each, except every kLinearGap-th tag, which has
// only a gyro sample (so the exact lookups also meet misses).
std::unique_ptr<VxpDataStore> synthetic_store(uint32_t n, bool delta) {
    auto store = std::make_unique<VxpDataStore>();
    store->imu_timestamps.reserve(n);
    auto& angular = delta ? store->delta_theta : store->scaled_gyro;
    auto& linear = delta ? store->delta_velocity : store->scaled_accel;
    angular.reserve(n);
    linear.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        store->imu_timestamps.push_back(GpsTimestamp{kStart + kStep * i, kWeek, 3});
        const float v = static_cast<float>(i % 1000) * 0.001f;
        angular.push_back({SensorVector{v, -v, 0.5f}, i});
        if (i % kLinearGap != kLinearGap - 1)
            linear.push_back({SensorVector{0.01f, v, -1.0f}, i});
    }
    return store;
}

void export_imr(benchmark::State& state, bool delta) {
    const auto n = static_cast<uint32_t>(state.range(0));
    const auto store = synthetic_store(n, delta);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("imr_export_bench_" + std::to_string(getpid()) + ".imr"))
            .string();
    NullBuffer silent;
    std::streambuf* console = std::cout.rdbuf(&silent);  // the writer's progress line, per export
    for (auto _ : state) {
        store->sensor_cursors = {};  // every export starts from fresh cursors, as in a run
        const WriterOutcome outcome = write_imr_file(path, *store);
        if (!outcome) {
            state.SkipWithError(("export failed: " + outcome.reason).c_str());
            break;
        }
    }
    std::cout.rdbuf(console);
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
    const int64_t records = n - n / kLinearGap;
    state.SetBytesProcessed(state.iterations() * (kImrHeaderBytes + records * kImrRecordBytes));
}

void BM_ImrExportScaled(benchmark::State& state) {
    export_imr(state, false);
}
void BM_ImrExportDelta(benchmark::State& state) {
    export_imr(state, true);
}

}  // namespace

BENCHMARK(BM_ImrExportScaled)->Arg(1 << 20)->Arg(1 << 21)->Arg(1 << 22)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImrExportDelta)->Arg(1 << 20)->Arg(1 << 21)->Arg(1 << 22)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
