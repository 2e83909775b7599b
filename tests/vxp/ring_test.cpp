// Ring buffer: FIFO order across the wrap, refused writes and their overrun counts, lookahead
// offsets, bulk removal, the search for a byte, and the guards on null and uninitialised rings.
#include "vxp/ring.h"

#include <gtest/gtest.h>

#include <cstring>

#include "vxp/status.h"

namespace {

uint8_t lookahead_byte(const vxp_ring_buffer& ring, uint32_t offset) {
    uint8_t byte = 0;
    EXPECT_EQ(vxp_ring_lookahead(&ring, offset, &byte, 1), VXP_OK);
    return byte;
}

TEST(Ring, FullRingRefusesAndCountsThenWrapsIntoFreedSlot) {
    uint8_t storage[3];
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 3, 1), VXP_OK);
    for (uint8_t b : {'A', 'B', 'C'})
        ASSERT_EQ(vxp_ring_write(&ring, &b, 1), VXP_OK);
    const uint8_t extra = 'X';
    EXPECT_EQ(vxp_ring_write(&ring, &extra, 1), VXP_FULL);
    EXPECT_EQ(ring.total_overruns, 1u);

    uint8_t out = 0;
    ASSERT_EQ(vxp_ring_read(&ring, &out, 1), VXP_OK);
    EXPECT_EQ(out, 'A');
    const uint8_t d = 'D';
    ASSERT_EQ(vxp_ring_write(&ring, &d, 1), VXP_OK);
    EXPECT_EQ(storage[0], 'D');  // the slot A occupied
    EXPECT_EQ(lookahead_byte(ring, 0), 'B');
    EXPECT_EQ(lookahead_byte(ring, 1), 'C');
    EXPECT_EQ(lookahead_byte(ring, 2), 'D');
    EXPECT_EQ(vxp_ring_lookahead(&ring, 3, &out, 1), VXP_ERROR);
    EXPECT_EQ(ring.total_written, 4u);
    EXPECT_EQ(ring.total_read, 1u);
}

TEST(Ring, MultiByteEntriesKeepFifoOrderOverManyWraps) {
    uint8_t storage[5 * 4];
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 5, 4), VXP_OK);
    uint32_t next_in = 0;
    uint32_t next_out = 0;
    // Uneven write/read batches move the read index through every slot many times.
    for (int round = 0; round < 40; round++) {
        const uint32_t to_write = 1 + round % 4;
        for (uint32_t i = 0; i < to_write && vxp_ring_free_space(&ring) > 0; i++, next_in++) {
            ASSERT_EQ(vxp_ring_write(&ring, reinterpret_cast<const uint8_t*>(&next_in), 4), VXP_OK);
        }
        for (uint32_t i = 0; i < vxp_ring_count(&ring); i++) {
            uint32_t seen = 0;
            ASSERT_EQ(vxp_ring_lookahead(&ring, i, reinterpret_cast<uint8_t*>(&seen), 4), VXP_OK);
            EXPECT_EQ(seen, next_out + i);
        }
        const uint32_t to_read = 1 + round % 3;
        for (uint32_t i = 0; i < to_read && vxp_ring_count(&ring) > 0; i++, next_out++) {
            uint32_t value = 0;
            ASSERT_EQ(vxp_ring_read(&ring, reinterpret_cast<uint8_t*>(&value), 4), VXP_OK);
            ASSERT_EQ(value, next_out);
        }
    }
    EXPECT_GT(next_out, 20u);
    EXPECT_EQ(ring.total_read, next_out);
    EXPECT_EQ(ring.total_written, next_in);
}

TEST(Ring, WriteSizeRules) {
    uint8_t storage[2 * 4];
    std::memset(storage, 0xEE, sizeof storage);
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 2, 4), VXP_OK);
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(vxp_ring_write(&ring, bytes, 0), VXP_OK);
    EXPECT_EQ(vxp_ring_count(&ring), 0u);
    EXPECT_EQ(vxp_ring_write(&ring, bytes, 5), VXP_SIZE_ERROR);
    EXPECT_EQ(vxp_ring_count(&ring), 0u);
    // A short entry fills the start of its slot; the rest keeps its old bytes.
    ASSERT_EQ(vxp_ring_write(&ring, bytes, 2), VXP_OK);
    const uint8_t expected[4] = {1, 2, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(storage, expected, 4), 0);
    uint8_t small[3];
    EXPECT_EQ(vxp_ring_read(&ring, small, sizeof small), VXP_SIZE_ERROR);
    EXPECT_EQ(vxp_ring_count(&ring), 1u);
}

TEST(Ring, MultiOperationsCountPartialWork) {
    uint8_t storage[4];
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 4, 1), VXP_OK);
    const uint8_t six[6] = {10, 11, 12, 13, 14, 15};
    uint32_t written = 99;
    EXPECT_EQ(vxp_ring_write_multi(&ring, six, 6, &written), VXP_FULL);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(ring.total_overruns, 2u);  // one per refused entry

    uint8_t out[8] = {};
    uint32_t read = 99;
    EXPECT_EQ(vxp_ring_read_multi(&ring, out, 2, 3, &read), VXP_SIZE_ERROR);
    EXPECT_EQ(read, 0u);
    ASSERT_EQ(vxp_ring_read_multi(&ring, out, sizeof out, 2, &read), VXP_OK);
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 11);
    ASSERT_EQ(vxp_ring_write_multi(&ring, six + 4, 2, &written), VXP_OK);  // wraps

    EXPECT_EQ(vxp_ring_lookahead_multi(&ring, 1, out, sizeof out, 4, &read), VXP_ERROR);
    ASSERT_EQ(vxp_ring_lookahead_multi(&ring, 1, out, sizeof out, 3, &read), VXP_OK);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(out[0], 13);
    EXPECT_EQ(out[1], 14);
    EXPECT_EQ(out[2], 15);
    EXPECT_EQ(vxp_ring_count(&ring), 4u);

    // Running empty part-way: what was taken stays taken.
    EXPECT_EQ(vxp_ring_read_multi(&ring, out, sizeof out, 6, &read), VXP_EMPTY);
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(out[3], 15);
    EXPECT_EQ(vxp_ring_count(&ring), 0u);
}

TEST(Ring, RemoveAdvancesAcrossTheWrapAndClampsToCount) {
    uint8_t storage[4];
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 4, 1), VXP_OK);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    uint32_t written = 0;
    ASSERT_EQ(vxp_ring_write_multi(&ring, bytes, 3, &written), VXP_OK);
    EXPECT_EQ(vxp_ring_remove(&ring, 2), 2u);
    ASSERT_EQ(vxp_ring_write_multi(&ring, bytes, 3, &written), VXP_OK);  // slots 3, 0, 1
    EXPECT_EQ(vxp_ring_remove(&ring, 2), 2u);                            // read index wraps to 0
    EXPECT_EQ(ring.read_index, 0u);
    EXPECT_EQ(lookahead_byte(ring, 0), 2);
    EXPECT_EQ(vxp_ring_remove_one(&ring), VXP_OK);
    EXPECT_EQ(lookahead_byte(ring, 0), 3);
    EXPECT_EQ(vxp_ring_remove(&ring, 100), 1u);
    EXPECT_EQ(vxp_ring_count(&ring), 0u);
    EXPECT_EQ(ring.total_read, 6u);
    EXPECT_EQ(vxp_ring_remove_one(&ring), VXP_EMPTY);
    uint8_t out = 0;
    EXPECT_EQ(vxp_ring_read(&ring, &out, 1), VXP_EMPTY);
    EXPECT_EQ(vxp_ring_lookahead(&ring, 0, &out, 1), VXP_EMPTY);
}

TEST(Ring, FindGivesTheOffsetOfTheOldestMatchAcrossTheWrap) {
    uint8_t storage[5];
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 5, 1), VXP_OK);
    uint32_t position = 99;
    EXPECT_EQ(vxp_ring_find(&ring, 7, &position), VXP_NOT_FOUND);  // empty
    EXPECT_EQ(position, 0u);
    const uint8_t bytes[5] = {7, 1, 2, 7, 3};
    uint32_t written = 0;
    ASSERT_EQ(vxp_ring_write_multi(&ring, bytes, 4, &written), VXP_OK);
    EXPECT_EQ(vxp_ring_remove(&ring, 1), 1u);
    ASSERT_EQ(vxp_ring_write_multi(&ring, bytes, 2, &written), VXP_OK);  // 1 2 7 | 7 1: slots 1-4, 0
    EXPECT_EQ(vxp_ring_find(&ring, 7, &position), VXP_OK);
    EXPECT_EQ(position, 2u);
    EXPECT_EQ(vxp_ring_remove(&ring, 3), 3u);  // 7 | 1: the 1 sits in slot 0, behind the wrap
    EXPECT_EQ(vxp_ring_find(&ring, 1, &position), VXP_OK);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(vxp_ring_find(&ring, 9, &position), VXP_NOT_FOUND);
    EXPECT_EQ(position, 2u);  // the count: every entry held can be dropped
    EXPECT_EQ(vxp_ring_count(&ring), 2u);

    uint8_t wide_storage[4];
    vxp_ring_buffer wide;
    ASSERT_EQ(vxp_ring_init_static(&wide, wide_storage, 2, 2), VXP_OK);
    EXPECT_EQ(vxp_ring_find(&wide, 7, &position), VXP_ERROR);
    EXPECT_EQ(vxp_ring_find(nullptr, 7, &position), VXP_ERROR);
    EXPECT_EQ(vxp_ring_find(&ring, 7, nullptr), VXP_ERROR);
}

TEST(Ring, MoveAndLookaheadCopyBetweenRings) {
    uint8_t source_storage[4], destination_storage[3], wide_storage[8];
    vxp_ring_buffer source, destination, wide;
    ASSERT_EQ(vxp_ring_init_static(&source, source_storage, 4, 1), VXP_OK);
    ASSERT_EQ(vxp_ring_init_static(&destination, destination_storage, 3, 1), VXP_OK);
    ASSERT_EQ(vxp_ring_init_static(&wide, wide_storage, 4, 2), VXP_OK);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    uint32_t written = 0;
    ASSERT_EQ(vxp_ring_write_multi(&source, bytes, 4, &written), VXP_OK);

    EXPECT_EQ(vxp_ring_move(&wide, &source, 2), 0u);
    EXPECT_EQ(vxp_ring_lookahead_copy(&destination, 3, &source, 2), 0u);  // source holds only 4
    EXPECT_EQ(vxp_ring_lookahead_copy(&destination, 1, &source, 2), 2u);
    EXPECT_EQ(vxp_ring_count(&source), 4u);
    EXPECT_EQ(lookahead_byte(destination, 0), 2);
    EXPECT_EQ(lookahead_byte(destination, 1), 3);

    // Stops when the destination is full.
    EXPECT_EQ(vxp_ring_move(&destination, &source, 4), 1u);
    EXPECT_EQ(lookahead_byte(destination, 2), 1);
    EXPECT_EQ(vxp_ring_count(&source), 3u);
    EXPECT_EQ(source.total_read, 1u);
    EXPECT_EQ(destination.total_written, 3u);
}

TEST(Ring, ZeroCopySlotsAndCommit) {
    uint8_t storage[2];
    vxp_ring_buffer ring;
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 2, 1), VXP_OK);
    EXPECT_EQ(vxp_ring_peek_oldest(&ring), nullptr);
    for (uint8_t value : {7, 8}) {
        uint8_t* slot = vxp_ring_next_write_slot(&ring);
        ASSERT_NE(slot, nullptr);
        *slot = value;
        ASSERT_EQ(vxp_ring_commit_write(&ring), VXP_OK);
    }
    EXPECT_EQ(vxp_ring_next_write_slot(&ring), nullptr);
    EXPECT_EQ(vxp_ring_commit_write(&ring), VXP_FULL);
    EXPECT_EQ(ring.total_overruns, 0u);
    ASSERT_NE(vxp_ring_peek_oldest(&ring), nullptr);
    EXPECT_EQ(*vxp_ring_peek_oldest(&ring), 7);

    EXPECT_EQ(vxp_ring_flush(&ring), VXP_OK);
    EXPECT_EQ(vxp_ring_count(&ring), 0u);
    EXPECT_EQ(ring.total_written, 2u);  // totals survive a flush
}

TEST(Ring, LifecycleAndGuards) {
    EXPECT_EQ(vxp_ring_count(nullptr), 0u);
    EXPECT_EQ(vxp_ring_free_space(nullptr), 0u);
    EXPECT_EQ(vxp_ring_init_static(nullptr, nullptr, 1, 1), VXP_ERROR);
    EXPECT_EQ(vxp_ring_write(nullptr, nullptr, 1), VXP_ERROR);
    EXPECT_EQ(vxp_ring_remove(nullptr, 1), 0u);

    vxp_ring_buffer ring;
    std::memset(&ring, 0, sizeof ring);
    uint8_t storage[4];
    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 4, 1), VXP_OK);
    // A failed init leaves a ring that was in use refusing everything, not as it was.
    EXPECT_EQ(vxp_ring_init_static(&ring, nullptr, 4, 1), VXP_ERROR);
    const uint8_t byte = 1;
    EXPECT_EQ(vxp_ring_write(&ring, &byte, 1), VXP_ERROR);
    EXPECT_EQ(vxp_ring_flush(&ring), VXP_ERROR);
    EXPECT_EQ(vxp_ring_free_space(&ring), 0u);

    ASSERT_EQ(vxp_ring_init_static(&ring, storage, 4, 1), VXP_OK);
    EXPECT_EQ(vxp_ring_destroy(&ring), VXP_ERROR);  // caller's storage is not freed
    EXPECT_EQ(vxp_ring_free_space(&ring), 4u);

    ASSERT_EQ(vxp_ring_init_malloc(&ring, 16, 2), VXP_OK);
    EXPECT_EQ(vxp_ring_write(&ring, &byte, 1), VXP_OK);
    EXPECT_EQ(vxp_ring_destroy(&ring), VXP_OK);
    EXPECT_EQ(vxp_ring_destroy(&ring), VXP_ERROR);  // a second destroy frees nothing
    EXPECT_EQ(vxp_ring_write(&ring, &byte, 1), VXP_ERROR);
}

}  // namespace
