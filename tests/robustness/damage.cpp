// Random damage with origin tracking: flips keep a byte's origin and mark it, insertions add
// bytes of no origin, deletions leave a seam where the origins jump.
#include "damage.h"

#include <algorithm>

#include "packet_catalogue.h"
#include "vxp/packet.h"

namespace robustness {
namespace {

constexpr int kMaxRunLength = 24;

enum class Event { flip, insert, remove, count };

}  // namespace

bool DamagedLog::damage_within(std::size_t begin, std::size_t end) const {
    for (std::size_t i = begin; i < end; ++i) {
        if (origin[i] == kInsertedByte || flipped[i])
            return true;
        if (i > begin && origin[i - 1] + 1 != origin[i])
            return true;
    }
    return false;
}

DamagedLog undamaged(const std::vector<uint8_t>& bytes) {
    DamagedLog log;
    log.bytes = bytes;
    log.origin.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        log.origin[i] = static_cast<std::ptrdiff_t>(i);
    log.flipped.assign(bytes.size(), false);
    return log;
}

void insert_garbage(DamagedLog& log, std::size_t position, const std::vector<uint8_t>& garbage) {
    log.bytes.insert(log.bytes.begin() + position, garbage.begin(), garbage.end());
    log.origin.insert(log.origin.begin() + position, garbage.size(), kInsertedByte);
    log.flipped.insert(log.flipped.begin() + position, garbage.size(), false);
}

void damage(DamagedLog& log, std::mt19937& random, int events) {
    std::uniform_int_distribution<int> kind(0, static_cast<int>(Event::count) - 1);
    std::uniform_int_distribution<int> run(1, kMaxRunLength);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> nonzero(1, 255);
    std::uniform_int_distribution<std::size_t> set(0, std::size(kObservedSets) - 1);
    std::bernoulli_distribution with_header(0.5);

    for (int e = 0; e < events; ++e) {
        const std::size_t size = log.bytes.size();
        std::uniform_int_distribution<std::size_t> where(0, size);
        const std::size_t position = where(random);
        switch (static_cast<Event>(kind(random))) {
            case Event::flip:
                if (position < size) {
                    log.bytes[position] ^= static_cast<uint8_t>(nonzero(random));
                    log.flipped[position] = true;
                }
                break;
            case Event::insert: {
                std::vector<uint8_t> garbage(static_cast<std::size_t>(run(random)));
                for (uint8_t& b : garbage)
                    b = static_cast<uint8_t>(byte(random));
                if (with_header(random)) {
                    const uint8_t header[] = {VXP_SYNC1, VXP_SYNC2, kObservedSets[set(random)],
                                              static_cast<uint8_t>(byte(random))};
                    garbage.insert(garbage.begin(), std::begin(header), std::end(header));
                }
                insert_garbage(log, position, garbage);
                break;
            }
            case Event::remove: {
                const std::size_t end = std::min(size, position + static_cast<std::size_t>(run(random)));
                log.bytes.erase(log.bytes.begin() + position, log.bytes.begin() + end);
                log.origin.erase(log.origin.begin() + position, log.origin.begin() + end);
                log.flipped.erase(log.flipped.begin() + position, log.flipped.begin() + end);
                break;
            }
            case Event::count:
                break;
        }
    }
}

std::vector<std::optional<std::size_t>> untouched_positions(const DamagedLog& log,
                                                            const std::vector<std::size_t>& starts,
                                                            std::size_t original_size) {
    std::vector<std::ptrdiff_t> now_at(original_size, kInsertedByte);
    for (std::size_t i = 0; i < log.origin.size(); ++i) {
        if (log.origin[i] != kInsertedByte)
            now_at[static_cast<std::size_t>(log.origin[i])] = static_cast<std::ptrdiff_t>(i);
    }
    std::vector<std::optional<std::size_t>> positions;
    for (std::size_t p = 0; p < starts.size(); ++p) {
        const std::size_t begin = starts[p];
        const std::size_t end = p + 1 < starts.size() ? starts[p + 1] : original_size;
        positions.emplace_back();
        if (now_at[begin] == kInsertedByte)
            continue;
        const std::size_t at = static_cast<std::size_t>(now_at[begin]);
        if (at + (end - begin) > log.bytes.size() || log.damage_within(at, at + (end - begin)))
            continue;
        if (log.origin[at + (end - begin) - 1] == static_cast<std::ptrdiff_t>(end - 1))
            positions.back() = at;
    }
    return positions;
}

}  // namespace robustness
