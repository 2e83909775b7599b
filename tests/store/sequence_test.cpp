// The store's chunked sequence against std::vector: positions, iteration, stable addresses across
// chunk boundaries, copies and moves, and elements that own memory.
#include "store/sequence.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "store/vxp_data_store.h"

namespace {

// Fills a sequence and a vector alike; `make(i)` gives element i.
template <class T, class Make>
void fill(Sequence<T>& sequence, std::vector<T>& expected, std::size_t n, Make make) {
    for (std::size_t i = 0; i < n; ++i) {
        sequence.push_back(make(i));
        expected.push_back(make(i));
    }
}

template <class T>
void expect_same(const Sequence<T>& sequence, const std::vector<T>& expected) {
    ASSERT_EQ(sequence.size(), expected.size());
    ASSERT_EQ(sequence.empty(), expected.empty());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(sequence[i], expected[i]) << "position " << i;
    std::size_t i = 0;
    for (const T& value : sequence) {
        ASSERT_LT(i, expected.size());
        ASSERT_EQ(&value, &sequence[i]) << "iteration and index disagree at " << i;
        ++i;
    }
    EXPECT_EQ(i, expected.size());
    if (!expected.empty()) {
        EXPECT_EQ(sequence.front(), expected.front());
        EXPECT_EQ(sequence.back(), expected.back());
    }
}

// Element sizes that give different first-chunk and full-chunk counts.
struct Wide {
    std::array<uint8_t, 300> bytes;
    bool operator==(const Wide&) const = default;
};

Wide wide(std::size_t i) {
    Wide w{};
    w.bytes[0] = static_cast<uint8_t>(i);
    w.bytes[299] = static_cast<uint8_t>(i >> 8);
    return w;
}

TEST(Sequence, PositionsAndIterationMatchAVectorAcrossChunkBoundaries) {
    Sequence<uint8_t> bytes;
    std::vector<uint8_t> expected_bytes;
    fill(bytes, expected_bytes, 3 * Sequence<uint8_t>::kChunkElements + 17,
         [](std::size_t i) { return static_cast<uint8_t>(i * 7); });
    expect_same(bytes, expected_bytes);

    Sequence<uint32_t> words;
    std::vector<uint32_t> expected_words;
    fill(words, expected_words, 5 * Sequence<uint32_t>::kChunkElements + 1,
         [](std::size_t i) { return static_cast<uint32_t>(i * 2654435761u); });
    expect_same(words, expected_words);

    Sequence<Wide> records;
    std::vector<Wide> expected_records;
    fill(records, expected_records, 4 * Sequence<Wide>::kChunkElements + 3, wide);
    expect_same(records, expected_records);
}

TEST(Sequence, EveryLengthUpToSeveralChunksIsConsistent) {
    // Small element counts per chunk so that every boundary case is met many times.
    using Big = std::array<uint8_t, 5000>;
    ASSERT_LE(Sequence<Big>::kChunkElements, 16u);
    Sequence<Big> sequence;
    for (std::size_t n = 0; n < 70; ++n) {
        ASSERT_EQ(sequence.size(), n);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(sequence[i][0], static_cast<uint8_t>(i)) << n << " elements, position " << i;
        Big b{};
        b[0] = static_cast<uint8_t>(n);
        sequence.push_back(b);
        ASSERT_EQ(sequence.back()[0], static_cast<uint8_t>(n));
    }
}

TEST(Sequence, ElementsNeverMoveWhileTheSequenceGrows) {
    Sequence<uint64_t> sequence;
    std::vector<const uint64_t*> addresses;
    for (uint64_t i = 0; i < 4 * Sequence<uint64_t>::kChunkElements; ++i) {
        sequence.push_back(i);
        addresses.push_back(&sequence.back());
    }
    for (std::size_t i = 0; i < addresses.size(); ++i)
        ASSERT_EQ(addresses[i], &sequence[i]);
}

TEST(Sequence, ClearEmptiesAndTheSequenceCanBeFilledAgain) {
    Sequence<uint32_t> sequence;
    for (uint32_t i = 0; i < 3 * Sequence<uint32_t>::kChunkElements; ++i)
        sequence.push_back(i);
    sequence.clear();
    EXPECT_TRUE(sequence.empty());
    EXPECT_EQ(sequence.size(), 0u);
    EXPECT_TRUE(sequence.begin() == sequence.end());
    sequence.push_back(42);
    EXPECT_EQ(sequence.size(), 1u);
    EXPECT_EQ(sequence.front(), 42u);
    EXPECT_EQ(sequence.back(), 42u);
}

TEST(Sequence, ResizeAndAssign) {
    Sequence<uint32_t> sequence;
    std::vector<uint32_t> expected;
    fill(sequence, expected, 3 * Sequence<uint32_t>::kChunkElements + 9,
         [](std::size_t i) { return uint32_t(i); });
    // Shrinking across chunk boundaries, then growing with zeros, then appending again.
    for (std::size_t n : {Sequence<uint32_t>::kChunkElements + 1, Sequence<uint32_t>::kChunkElements,
                          std::size_t{3}, std::size_t{0}, std::size_t{5}}) {
        sequence.resize(n);
        expected.resize(n);
        expect_same(sequence, expected);
    }
    sequence.push_back(77);
    expected.push_back(77);
    expect_same(sequence, expected);

    const std::vector<uint32_t> values = {9, 8, 7};
    sequence.assign(values.begin(), values.end());
    expect_same(sequence, values);
    const std::vector<uint32_t> others = {1, 2};
    sequence = others;
    expect_same(sequence, others);
    const Sequence<uint32_t> converted = values;
    expect_same(converted, values);
}

TEST(Sequence, ListsCopiesAndMoves) {
    Sequence<int> listed = {1, 2, 3};
    expect_same(listed, std::vector<int>{1, 2, 3});
    listed = {4, 5};
    expect_same(listed, std::vector<int>{4, 5});

    Sequence<int> long_one;
    std::vector<int> expected;
    fill(long_one, expected, 2 * Sequence<int>::kChunkElements + 5, [](std::size_t i) { return int(i); });
    Sequence<int> copy(long_one);
    expect_same(copy, expected);
    copy.push_back(-1);
    EXPECT_EQ(long_one.size(), expected.size());  // the copy owns its elements

    Sequence<int> assigned;
    assigned = long_one;
    expect_same(assigned, expected);

    const int* first = &long_one[0];
    Sequence<int> moved(std::move(long_one));
    EXPECT_EQ(&moved[0], first);  // the chunks change hands, nothing is copied
    expect_same(moved, expected);
    Sequence<int> move_assigned;
    move_assigned = std::move(moved);
    expect_same(move_assigned, expected);
}

TEST(Sequence, ElementsThatOwnMemoryAreCopiedAndDestroyed) {
    // Run under the sanitizers, a leak or double free here fails the suite.
    Sequence<std::string> texts;
    std::vector<std::string> expected;
    fill(texts, expected, 3 * Sequence<std::string>::kChunkElements + 2,
         [](std::size_t i) { return std::string(40, static_cast<char>('a' + i % 26)) + std::to_string(i); });
    Sequence<std::string> copy = texts;
    texts.clear();
    expect_same(copy, expected);

    Sequence<RawEpoch> epochs = {RawEpoch(3), RawEpoch(1)};
    EXPECT_EQ(epochs.size(), 2u);
    EXPECT_EQ(epochs[0].size(), 3u);
    EXPECT_EQ(epochs.back().size(), 1u);
}

TEST(Sequence, MutableIterationChangesTheElements) {
    Sequence<int> sequence;
    for (int i = 0; i < 1000; ++i)
        sequence.push_back(i);
    for (int& value : sequence)
        value *= 2;
    Sequence<int>::const_iterator it = sequence.begin();
    for (int i = 0; i < 1000; ++i, ++it)
        ASSERT_EQ(*it, 2 * i);
    EXPECT_TRUE(it == sequence.end());
}

}  // namespace
