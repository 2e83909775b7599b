// The store's memory pool: blocks of every size class and beyond it are aligned, do not overlap,
// keep what is written into them, are reused once given back, and the pool starts afresh when
// every block is back.
#include "store/store_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Block {
    uint8_t* data;
    std::size_t size;
    uint8_t fill;
};

TEST(StoreMemory, BlocksAreAlignedSeparateAndKeepTheirContents) {
    std::mt19937 random(1);
    std::vector<Block> blocks;
    for (int i = 0; i < 3000; ++i) {
        // Mostly pooled sizes, some beyond the largest pooled block.
        const std::size_t size =
            i % 50 == 0 ? (std::size_t{70} << 10) + random() % 1000 : 1 + random() % 66000;
        auto* data = static_cast<uint8_t*>(store_memory_allocate(size));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % alignof(std::max_align_t), 0u);
        const auto fill = static_cast<uint8_t>(i);
        std::memset(data, fill, size);
        blocks.push_back({data, size, fill});
    }
    std::vector<Block> sorted = blocks;
    std::sort(sorted.begin(), sorted.end(), [](const Block& a, const Block& b) { return a.data < b.data; });
    for (std::size_t i = 1; i < sorted.size(); ++i)
        ASSERT_LE(sorted[i - 1].data + sorted[i - 1].size, sorted[i].data) << "blocks overlap";
    for (const Block& block : blocks) {
        for (std::size_t at : {std::size_t{0}, block.size / 2, block.size - 1})
            ASSERT_EQ(block.data[at], block.fill);
    }
    for (const Block& block : blocks)
        store_memory_release(block.data, block.size);
}

TEST(StoreMemory, ABlockGivenBackServesTheNextRequestOfItsSize) {
    // Another block stays out, so that the pool is not emptied in between.
    void* kept = store_memory_allocate(100);
    void* first = store_memory_allocate(3782);
    store_memory_release(first, 3782);
    void* second = store_memory_allocate(3782);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(second, first);
#endif
    store_memory_release(second, 3782);
    store_memory_release(kept, 100);
    store_memory_release(nullptr, 10);  // nothing to give back
}

TEST(StoreMemory, AllocatorServesVectors) {
    std::vector<uint64_t, StoreAllocator<uint64_t>> values;
    for (uint64_t i = 0; i < 100000; ++i)
        values.push_back(i * 3);
    for (uint64_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(values[i], i * 3);
    std::vector<uint64_t, StoreAllocator<uint64_t>> copy = values;
    values.clear();
    values.shrink_to_fit();
    EXPECT_EQ(copy.back(), 99999u * 3);
}

}  // namespace
