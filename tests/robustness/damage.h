// Random damage to a log (byte flips, inserted garbage, deleted runs) that remembers where every
// surviving byte came from, so that a test can tell which packets the damage touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace robustness {

inline constexpr std::ptrdiff_t kInsertedByte = -1;

struct DamagedLog {
    std::vector<uint8_t> bytes;
    // Per byte: its index in the original log, or kInsertedByte for garbage.
    std::vector<std::ptrdiff_t> origin;
    // Per byte: changed in place by a flip.
    std::vector<bool> flipped;

    // Some byte of [begin, end) is damaged, or a seam lies inside the range.
    bool damage_within(std::size_t begin, std::size_t end) const;
};

// The log as it is, with every byte tracked and nothing damaged.
DamagedLog undamaged(const std::vector<uint8_t>& bytes);

// Applies `events` damage events at random places. Inserted garbage starts with a packet header
// half of the time, so that false candidates reach across the packets behind them.
void damage(DamagedLog& log, std::mt19937& random, int events);

// Inserts `garbage` before `position`.
void insert_garbage(DamagedLog& log, std::size_t position, const std::vector<uint8_t>& garbage);

// Where each packet of the original log (packet p spans starts[p] up to the next start, the last
// up to original_size) now lies, when all its bytes survived unchanged and contiguous.
std::vector<std::optional<std::size_t>> untouched_positions(const DamagedLog& log,
                                                            const std::vector<std::size_t>& starts,
                                                            std::size_t original_size);

}  // namespace robustness
