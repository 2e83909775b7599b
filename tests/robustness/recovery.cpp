// The recovery check: load through the store, record deliveries with the packet observers, place
// each delivery in the damaged bytes and account for every untouched packet.
#include "recovery.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>

#include "packet_catalogue.h"
#include "store/vxp_data_store.h"
#include "vxp/packet.h"

namespace robustness {
namespace {

constexpr int kMaxDamageEvents = 5;
constexpr std::size_t kMaxReportedFailures = 5;

// The observers carry no user pointer: deliveries go to the recorder of the running check.
std::vector<std::vector<uint8_t>>* delivered_packets = nullptr;

void record_packet(void*, const uint8_t* packet, uint16_t size, uint8_t kind) {
    if (delivered_packets != nullptr && kind == VXP_PACKET_OK)
        delivered_packets->emplace_back(packet, packet + size);
}

std::vector<std::vector<uint8_t>> load_and_record(const std::vector<uint8_t>& bytes,
                                                  const std::filesystem::path& path) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::vector<uint8_t>> delivered;
    delivered_packets = &delivered;
    const auto store = std::make_unique<VxpDataStore>();
    store->set_sensor_packet_observer(record_packet);
    store->set_gnss_packet_observer(record_packet);
    store->set_filter_packet_observer(record_packet);
    const bool loaded = store->load_file(path.string().c_str());
    delivered_packets = nullptr;
    // Removed rather than truncated by the next check: rewriting a file in place makes some
    // file systems write it out to disk on close, which slows a thousand checks down.
    std::filesystem::remove(path);
    if (!loaded)
        delivered.clear();
    return delivered;
}

struct Frame {
    std::size_t begin;
    std::size_t end;
};

bool overlaps(const Frame& frame, std::size_t begin, std::size_t end) {
    return frame.begin < end && begin < frame.end;
}

}  // namespace

RecoveryTally& RecoveryTally::operator+=(const RecoveryTally& other) {
    logs += other.logs;
    packets += other.packets;
    untouched += other.untouched;
    untouched_delivered += other.untouched_delivered;
    lost_explained += other.lost_explained;
    lost_unexplained += other.lost_unexplained;
    chance_frames += other.chance_frames;
    chance_frames_across_damage += other.chance_frames_across_damage;
    not_in_stream += other.not_in_stream;
    for (const std::string& failure : other.failures) {
        if (failures.size() < kMaxReportedFailures)
            failures.push_back(failure);
    }
    return *this;
}

double RecoveryTally::recovery_rate() const {
    return untouched == 0 ? 1.0 : static_cast<double>(untouched_delivered) / static_cast<double>(untouched);
}

RecoveryTally check_recovery(const DamagedLog& log, const std::vector<std::size_t>& starts,
                             std::size_t original_size, const std::filesystem::path& directory) {
    RecoveryTally tally;
    tally.logs = 1;
    tally.packets = starts.size();
    const std::vector<std::optional<std::size_t>> positions = untouched_positions(log, starts, original_size);
    auto packet_length = [&](std::size_t p) {
        return (p + 1 < starts.size() ? starts[p + 1] : original_size) - starts[p];
    };

    // Untouched packets by their place in the damaged bytes.
    std::vector<std::size_t> untouched_at;  // packet index per damaged position, or npos
    untouched_at.assign(log.bytes.size() + 1, std::string::npos);
    for (std::size_t p = 0; p < positions.size(); ++p) {
        if (positions[p]) {
            ++tally.untouched;
            untouched_at[*positions[p]] = p;
        }
    }

    const std::vector<std::vector<uint8_t>> delivered = load_and_record(log.bytes, directory / "damaged.bin");
    std::vector<bool> packet_delivered(starts.size(), false);
    std::vector<Frame> chance;
    std::size_t cursor = 0;
    for (const std::vector<uint8_t>& packet : delivered) {
        const auto found = std::search(log.bytes.begin() + static_cast<std::ptrdiff_t>(cursor),
                                       log.bytes.end(), packet.begin(), packet.end());
        if (found == log.bytes.end()) {
            ++tally.not_in_stream;
            tally.failures.push_back("a delivered packet of " + std::to_string(packet.size()) +
                                     " bytes is not in the damaged log after offset " +
                                     std::to_string(cursor));
            continue;
        }
        const Frame frame{static_cast<std::size_t>(found - log.bytes.begin()),
                          static_cast<std::size_t>(found - log.bytes.begin()) + packet.size()};
        cursor = frame.end;
        const std::size_t p = untouched_at[frame.begin];
        if (p != std::string::npos && packet_length(p) == packet.size()) {
            packet_delivered[p] = true;
            ++tally.untouched_delivered;
            continue;
        }
        // Not an original packet: it can only be a frame whose checksum holds by chance.
        std::vector<uint8_t> copy = packet;
        if (vxp_packet_verify_checksum(copy.data()) != 0 || vxp_packet_size(copy.data()) != copy.size()) {
            tally.failures.push_back("a delivered frame at offset " + std::to_string(frame.begin) +
                                     " is not a checksum-valid packet");
        }
        ++tally.chance_frames;
        if (log.damage_within(frame.begin, frame.end))
            ++tally.chance_frames_across_damage;
        chance.push_back(frame);
    }

    for (std::size_t p = 0; p < positions.size(); ++p) {
        if (!positions[p] || packet_delivered[p])
            continue;
        const std::size_t begin = *positions[p];
        const std::size_t end = begin + packet_length(p);
        const bool consumed = std::any_of(chance.begin(), chance.end(),
                                          [&](const Frame& f) { return overlaps(f, begin, end); });
        if (consumed) {
            ++tally.lost_explained;
        } else {
            ++tally.lost_unexplained;
            tally.failures.push_back("untouched packet " + std::to_string(p) + " at offset " +
                                     std::to_string(begin) + " was not delivered");
        }
    }
    if (tally.failures.size() > kMaxReportedFailures)
        tally.failures.resize(kMaxReportedFailures);
    return tally;
}

RecoveryTally run_recovery_trials(uint32_t first_seed, std::size_t count, std::size_t packets,
                                  const std::filesystem::path& directory) {
    RecoveryTally total;
    std::uniform_int_distribution<int> events(1, kMaxDamageEvents);
    for (std::size_t i = 0; i < count; ++i) {
        std::mt19937 random(first_seed + static_cast<uint32_t>(i));
        const RandomLog original = random_log(random, packets);
        DamagedLog log = undamaged(original.bytes);
        damage(log, random, events(random));
        RecoveryTally one = check_recovery(log, original.packet_starts, original.bytes.size(), directory);
        for (std::string& failure : one.failures)
            failure = "seed " + std::to_string(first_seed + i) + ": " + failure;
        total += one;
    }
    return total;
}

}  // namespace robustness
