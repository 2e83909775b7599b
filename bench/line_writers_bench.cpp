// The line writers: an observation value's text by format_fixed (also right-aligned in its field,
// as the observation writer writes it), std::to_chars and snprintf (the same text); a data line
// composed by placing texts or by formatting its values in place; a navigation value; and the
// whole observation file of a store of the benchmark's mix, in observation values per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "bench/bench_log.h"
#include "rinex/fixed_format.h"
#include "rinex/line.h"
#include "rinex/nav_records.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer.h"
#include "store/vxp_data_store.h"

namespace {

// Pseudoranges, carrier phases and Dopplers.
std::vector<double> observation_values() {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> range(1.9e7, 2.6e7);
    std::uniform_real_distribution<double> phase(-2e8, 2e8);
    std::uniform_real_distribution<double> doppler(-6000.0, 6000.0);
    std::vector<double> values;
    for (int i = 0; i < 4096; ++i) {
        values.push_back(range(random));
        values.push_back(phase(random));
        values.push_back(static_cast<double>(static_cast<float>(doppler(random))));
    }
    return values;
}

void BM_ValueFormatFixed(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    char text[kFixedTextCapacity];
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(format_fixed(text, value, 3));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ValueFormatFixed);

// The observation writer's path: the text right-aligned into its field of a line.
void BM_ValueFormatFixedRight(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    char field[kRightFieldWidth];
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(format_fixed_right(field + kRightFieldWidth - 1, value, 3, 14));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ValueFormatFixedRight);

void BM_ValueToChars(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    char text[64];
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(
                std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3).ptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ValueToChars);

void BM_ValueSnprintf(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    char text[64];
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.3f", value));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ValueSnprintf);

void BM_NavValue(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    for (auto _ : state) {
        for (double value : values)
            benchmark::DoNotOptimize(format_nav_value(value));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_NavValue);

// A data line of two signals (satellite, six values, two strength digits) composed by placing
// each text in the line builder.
void BM_DataLinePlaced(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    RinexLineBuilder line;
    char text[kFixedTextCapacity];
    std::size_t next = 0;
    for (auto _ : state) {
        line.clear();
        line.place("G12", 1);
        int32_t column = 4;
        for (int value = 0; value < 6; ++value, column += 16) {
            const char* end = format_fixed(text, values[next++ % values.size()], 3);
            const std::size_t length = static_cast<std::size_t>(end - text);
            line.place(std::string_view(text, length), column + 14 - static_cast<int32_t>(length));
            if (value % 3 == 1)
                line.place("7", column + 15);
        }
        benchmark::DoNotOptimize(line.line().data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_DataLinePlaced);

// The same line as the observation writer makes it (RinexDataLine): each value formatted straight
// into its columns, the strength digit with the carrier phase.
void BM_DataLineInPlace(benchmark::State& state) {
    const std::vector<double> values = observation_values();
    RinexDataLine line;
    std::size_t next = 0;
    for (auto _ : state) {
        line.begin("G12");
        for (std::size_t field = 0; field < 6; field += 3) {
            line.value(field, values[next++ % values.size()]);
            line.value(field + 1, values[next++ % values.size()]);
            line.strength(field + 1, 7);
            line.value(field + 2, values[next++ % values.size()]);
        }
        benchmark::DoNotOptimize(line.line().data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_DataLineInPlace);

// Swallows the writer's progress lines.
class SilentMessages final : public MessageSink {
  public:
    void write(std::string_view) override {}
};

// The observation file of receiver 0 of a store loaded from an in-memory log of the mix.
void BM_ObservationFile(benchmark::State& state) {
    const std::vector<uint8_t> log = bench_log::make(static_cast<std::size_t>(state.range(0)) << 20);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kelvartix-bench-obs";
    std::filesystem::create_directories(dir);
    const std::filesystem::path log_path = dir / "log.vxp";
    std::FILE* file = std::fopen(log_path.c_str(), "wb");
    std::fwrite(log.data(), 1, log.size(), file);
    std::fclose(file);
    auto store = std::make_unique<VxpDataStore>();
    store->load_file(log_path.c_str());
    std::size_t values = 0;
    for (const RawEpoch& epoch : store->receiver_raw_epochs(0))
        values += 3 * epoch.size();

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    SilentMessages silent;
    const WriterContext context{"kelvartix", silent};
    const ObservationFileSettings settings{observation_header_values(0, *store)};
    for (auto _ : state)
        benchmark::DoNotOptimize(write_observation_file(0, *store, settings, context));
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
    state.counters["values/s"] =
        benchmark::Counter(static_cast<double>(values * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ObservationFile)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
