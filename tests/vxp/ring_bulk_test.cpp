// The ring's multi-entry operations copy whole runs at once; here random sequences of operations
// run on the ring and on a reference that moves one entry at a time, and after every operation the
// results, the counters and the bytes of every slot must be the same. Small capacities make the
// runs wrap around the end of the storage all the time.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "vxp/packet.h"
#include "vxp/ring.h"
#include "vxp/status.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The ring's rules, entry by entry, on storage of its own.
struct ReferenceRing {
    Bytes storage;
    uint32_t max_entries;
    uint32_t entry_size;
    uint32_t read_index = 0;
    uint32_t count = 0;
    uint32_t total_written = 0;
    uint32_t total_read = 0;
    uint32_t total_overruns = 0;

    ReferenceRing(uint32_t capacity, uint32_t size)
        : storage(static_cast<size_t>(capacity) * size), max_entries(capacity), entry_size(size) {}

    uint32_t slot(uint32_t i) const {
        const uint32_t s = read_index + i;
        return s >= max_entries ? s - max_entries : s;
    }
    uint8_t* entry(uint32_t i) { return &storage[static_cast<size_t>(slot(i)) * entry_size]; }
    void push(const uint8_t* bytes) {
        std::copy(bytes, bytes + entry_size, entry(count));
        ++count;
        ++total_written;
    }
    void pop() {
        read_index = slot(1);
        --count;
        ++total_read;
    }

    uint16_t write_multi(const uint8_t* entries, uint32_t k, uint32_t& written) {
        written = 0;
        for (uint32_t i = 0; i < k; ++i) {
            if (count >= max_entries) {
                total_overruns += k - i;
                return VXP_FULL;
            }
            push(entries + static_cast<size_t>(i) * entry_size);
            ++written;
        }
        return VXP_OK;
    }
    uint16_t read_multi(uint8_t* destination, uint32_t length, uint32_t k, uint32_t& read) {
        read = 0;
        if (static_cast<uint64_t>(k) * entry_size > length)
            return VXP_SIZE_ERROR;
        for (uint32_t i = 0; i < k; ++i) {
            if (count == 0)
                return VXP_EMPTY;
            std::copy(entry(0), entry(0) + entry_size, destination + static_cast<size_t>(i) * entry_size);
            pop();
            ++read;
        }
        return VXP_OK;
    }
    uint16_t lookahead_multi(uint32_t offset, uint8_t* destination, uint32_t length, uint32_t k,
                             uint32_t& read) {
        read = 0;
        if (count == 0)
            return VXP_EMPTY;
        if (static_cast<uint64_t>(k) * entry_size > length)
            return VXP_SIZE_ERROR;
        if (static_cast<uint64_t>(offset) + k > count)
            return VXP_ERROR;
        for (uint32_t i = 0; i < k; ++i)
            std::copy(entry(offset + i), entry(offset + i) + entry_size,
                      destination + static_cast<size_t>(i) * entry_size);
        read = k;
        return VXP_OK;
    }
};

// Moves from `source` to `destination` entry by entry (the two may be the same ring).
uint32_t reference_move(ReferenceRing& destination, ReferenceRing& source, uint32_t n) {
    uint32_t moved = 0;
    while (moved < n && source.count > 0 && destination.count < destination.max_entries) {
        Bytes kept(source.entry(0), source.entry(0) + source.entry_size);
        destination.push(kept.data());
        source.pop();
        ++moved;
    }
    return moved;
}

uint32_t reference_lookahead_copy(ReferenceRing& destination, uint32_t offset, ReferenceRing& source,
                                  uint32_t n) {
    if (static_cast<uint64_t>(offset) + n > source.count)
        return 0;
    uint32_t copied = 0;
    while (copied < n && destination.count < destination.max_entries) {
        Bytes kept(source.entry(offset + copied), source.entry(offset + copied) + source.entry_size);
        destination.push(kept.data());
        ++copied;
    }
    return copied;
}

void expect_same_state(const vxp_ring_buffer& ring, const ReferenceRing& reference, int step) {
    ASSERT_EQ(ring.read_index, reference.read_index) << "step " << step;
    ASSERT_EQ(ring.count, reference.count) << "step " << step;
    ASSERT_EQ(ring.total_written, reference.total_written) << "step " << step;
    ASSERT_EQ(ring.total_read, reference.total_read) << "step " << step;
    ASSERT_EQ(ring.total_overruns, reference.total_overruns) << "step " << step;
    ASSERT_EQ(Bytes(ring.storage, ring.storage + reference.storage.size()), reference.storage)
        << "step " << step;
}

class RingPair {
  public:
    RingPair(uint32_t capacity, uint32_t entry_size)
        : storage(static_cast<size_t>(capacity) * entry_size), reference(capacity, entry_size) {
        vxp_ring_init_static(&ring, storage.data(), capacity, entry_size);
    }
    Bytes storage;
    vxp_ring_buffer ring{};
    ReferenceRing reference;
};

void run_random_operations(uint32_t entry_size, uint32_t seed) {
    std::mt19937 random(seed);
    RingPair a(7, entry_size);
    RingPair b(13, entry_size);
    const auto pick = [&](uint32_t below) { return static_cast<uint32_t>(random() % below); };
    for (int step = 0; step < 20000; ++step) {
        RingPair& one = random() % 2 ? a : b;
        RingPair& other = random() % 3 ? (&one == &a ? b : a) : one;  // sometimes a ring with itself
        const uint32_t k = pick(16);
        Bytes input(static_cast<size_t>(k) * entry_size);
        for (uint8_t& byte : input)
            byte = static_cast<uint8_t>(random());
        Bytes got(static_cast<size_t>(16) * entry_size + 1, 0xAA);
        Bytes expected = got;
        uint32_t out_ring = 99;
        uint32_t out_reference = 77;
        switch (pick(5)) {
            case 0:
                ASSERT_EQ(vxp_ring_write_multi(&one.ring, input.data(), k, &out_ring),
                          one.reference.write_multi(input.data(), k, out_reference));
                break;
            case 1: {
                // Sometimes a destination too small for the request.
                const uint32_t length = random() % 4 ? k * entry_size : k * entry_size - (k > 0);
                ASSERT_EQ(vxp_ring_read_multi(&one.ring, got.data(), length, k, &out_ring),
                          one.reference.read_multi(expected.data(), length, k, out_reference));
                break;
            }
            case 2: {
                const uint32_t offset = pick(14);
                ASSERT_EQ(
                    vxp_ring_lookahead_multi(&one.ring, offset, got.data(), k * entry_size, k, &out_ring),
                    one.reference.lookahead_multi(offset, expected.data(), k * entry_size, k, out_reference));
                break;
            }
            case 3:
                out_ring = vxp_ring_move(&other.ring, &one.ring, k);
                out_reference = reference_move(other.reference, one.reference, k);
                break;
            default: {
                const uint32_t offset = pick(8);
                out_ring = vxp_ring_lookahead_copy(&other.ring, offset, &one.ring, k);
                out_reference = reference_lookahead_copy(other.reference, offset, one.reference, k);
                break;
            }
        }
        ASSERT_EQ(out_ring, out_reference) << "step " << step;
        ASSERT_EQ(got, expected) << "step " << step;
        expect_same_state(a.ring, a.reference, step);
        expect_same_state(b.ring, b.reference, step);
    }
}

TEST(RingBulk, MultiEntryOperationsMatchEntryByEntryCopies) {
    run_random_operations(1, 5);
    run_random_operations(3, 6);
}

// The checksum in closed form against the running sums of its definition, for every length.
TEST(RingBulk, ChecksumMatchesTheRunningSums) {
    std::mt19937 random(9);
    uint8_t packet[VXP_MAX_PACKET_SIZE];
    for (int trial = 0; trial < 20; ++trial) {
        for (uint32_t length = 0; length <= VXP_MAX_PAYLOAD_SIZE; ++length) {
            for (uint8_t& byte : packet)
                byte = static_cast<uint8_t>(trial == 0 ? 0xFF : random());
            packet[3] = static_cast<uint8_t>(length);
            uint8_t sum1 = 0;
            uint8_t sum2 = 0;
            for (uint32_t i = 0; i < length + VXP_HEADER_SIZE; ++i) {
                sum1 = static_cast<uint8_t>(sum1 + packet[i]);
                sum2 = static_cast<uint8_t>(sum2 + sum1);
            }
            ASSERT_EQ(vxp_packet_checksum(packet), (sum1 << 8) | sum2) << "payload length " << length;
        }
    }
}

TEST(RingBulk, ByteReversalOfEveryWidth) {
    for (uint16_t n = 0; n <= 17; ++n) {
        Bytes data(n);
        for (uint16_t i = 0; i < n; ++i)
            data[i] = static_cast<uint8_t>(i + 1);
        Bytes expected(data.rbegin(), data.rend());
        // At an odd address too: record members sit anywhere in a packed record.
        Bytes shifted(n + 1u);
        std::copy(data.begin(), data.end(), shifted.begin() + 1);
        vxp_byteswap_inplace(data.data(), n);
        vxp_byteswap_inplace(shifted.data() + 1, n);
        EXPECT_EQ(data, expected) << n << " bytes";
        EXPECT_EQ(Bytes(shifted.begin() + 1, shifted.end()), expected) << n << " bytes at an odd address";
    }
}

}  // namespace
