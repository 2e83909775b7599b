// Writes the fuzzers' seed corpus from packets built with VxpLogWriter:
//   robustness_seed_corpus <corpus directory>   (the repository's fuzz/corpus)
// fuzz_parser:     a chunking byte, then a stream of packets (whole, damaged).
// fuzz_router:     records of (descriptor set, payload length, kind, payload), one per packet.
// fuzz_conversion: whole logs.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "damage.h"
#include "packet_catalogue.h"
#include "tests/support/temp_dir.h"
#include "vxp/packet.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kChunkingDrained = 0x01;  // odd: drained after every chunk
constexpr uint8_t kChunkingUpdated = 0x02;  // even: one update per chunk
constexpr uint32_t kSeed = 20240204;
constexpr int kSampleEpochs = 2;
constexpr uint8_t kRouterKindOk = 0;

Bytes concatenated(const std::vector<Bytes>& packets) {
    Bytes all;
    for (const Bytes& packet : packets)
        all.insert(all.end(), packet.begin(), packet.end());
    return all;
}

Bytes with_prefix(uint8_t first, const Bytes& rest) {
    Bytes bytes = {first};
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

// Router records of every packet in a stream of whole packets.
Bytes router_records(const Bytes& stream) {
    Bytes records;
    std::size_t at = 0;
    while (at + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE <= stream.size()) {
        const uint8_t length = stream[at + 3];
        records.push_back(stream[at + 2]);
        records.push_back(length);
        records.push_back(kRouterKindOk);
        records.insert(records.end(), stream.begin() + static_cast<std::ptrdiff_t>(at + VXP_HEADER_SIZE),
                       stream.begin() + static_cast<std::ptrdiff_t>(at + VXP_HEADER_SIZE + length));
        at += VXP_HEADER_SIZE + length + VXP_CHECKSUM_SIZE;
    }
    return records;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: robustness_seed_corpus <corpus directory>\n");
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* target : {"fuzz_parser", "fuzz_router", "fuzz_conversion"})
        fs::create_directories(root / target);

    const std::vector<Bytes> families = robustness::sample_packets_by_family();
    const Bytes every_kind = concatenated(families);
    std::mt19937 random(kSeed);
    robustness::DamagedLog damaged = robustness::undamaged(every_kind);
    robustness::damage(damaged, random, 4);
    const Bytes sample = robustness::sample_log(kSampleEpochs);

    write_file(root / "fuzz_parser" / "every_kind_drained", with_prefix(kChunkingDrained, every_kind));
    write_file(root / "fuzz_parser" / "every_kind_updated", with_prefix(kChunkingUpdated, every_kind));
    write_file(root / "fuzz_parser" / "every_kind_damaged", with_prefix(kChunkingDrained, damaged.bytes));

    for (std::size_t i = 0; i < families.size(); ++i) {
        const std::string name = "family_" + std::to_string(i) + "_set_" + std::to_string(families[i][2]);
        write_file(root / "fuzz_router" / name, router_records(families[i]));
    }
    write_file(root / "fuzz_router" / "sample_log", router_records(sample));

    write_file(root / "fuzz_conversion" / "sample_log", sample);
    write_file(root / "fuzz_conversion" / "every_kind", every_kind);
    write_file(root / "fuzz_conversion" / "every_kind_damaged", damaged.bytes);
    return 0;
}
