// IMR export of large synthetic stores: the time per sample should stay flat as the log grows
// (one pass over the time tags, forward-moving cursor lookups, block writes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "imr/imr_writer.h"
#include "store/vxp_data_store.h"

namespace {

constexpr uint16_t kWeek = 2300;
constexpr double kStart = 345600.0;
constexpr double kStep = 0.005;  // 200 Hz

constexpr uint32_t kLinearGap = 50;
constexpr int64_t kImrHeaderBytes = 512;
constexpr int64_t kImrRecordBytes = 32;

// Swallows the writer's progress line, one per export.
class SilentMessages final : public MessageSink {
  public:
    void write(std::string_view) override {}
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
    SilentMessages silent;
    const WriterContext context{"kelvartix", silent};
    const ImrFileSettings settings{path, 5000.0 / 2147483648.0, 490.5 / 2147483648.0};
    for (auto _ : state) {
        store->sensor_cursors = {};  // every export starts from fresh cursors, as in a run
        const WriterOutcome outcome = write_imr_file(*store, settings, context);
        if (!outcome) {
            state.SkipWithError(("export failed: " + outcome.reason).c_str());
            break;
        }
    }
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
