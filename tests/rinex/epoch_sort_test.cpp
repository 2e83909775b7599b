// Epoch preparation against a plain stable sort of the records: epochs in order, shuffled, with
// repeated keys (arrival order kept), and longer than the keyed sort handles on the stack.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "obs_test_support.h"

namespace {

// What prepare_epoch promises, written the plain way.
uint32_t reference(const RawEpoch& epoch, std::vector<RawObservation>& sorted) {
    sorted.assign(epoch.begin(), epoch.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const RawObservation& a, const RawObservation& b) {
        if (a.gnss_id != b.gnss_id)
            return a.gnss_id < b.gnss_id;
        if (a.satellite_id != b.satellite_id)
            return a.satellite_id < b.satellite_id;
        return a.signal_id < b.signal_id;
    });
    uint32_t satellites = 0;
    int previous_constellation = -1;
    int previous_satellite = -1;
    for (const RawObservation& o : sorted) {
        if (o.gnss_id != 0 && (o.gnss_id != previous_constellation || o.satellite_id != previous_satellite))
            ++satellites;
        previous_constellation = o.gnss_id;
        previous_satellite = o.satellite_id;
    }
    return satellites;
}

// Keys from small ranges, so that repeats are frequent; the pseudorange numbers the arrival.
RawEpoch random_epoch(std::mt19937& random, std::size_t size) {
    RawEpoch epoch;
    for (std::size_t i = 0; i < size; ++i) {
        RawObservation o =
            make_observation(1000.0, 2304, static_cast<uint8_t>(random() % 4),
                             static_cast<uint8_t>(random() % 6), static_cast<uint8_t>(random() % 3));
        o.pseudorange = static_cast<double>(i);
        epoch.push_back(o);
    }
    return epoch;
}

void expect_as_reference(const RawEpoch& epoch) {
    std::vector<RawObservation> expected;
    std::vector<RawObservation> sorted = {make_observation(0, 0, 9, 9, 9)};  // reused buffer
    const uint32_t expected_count = reference(epoch, expected);
    ASSERT_EQ(prepare_epoch(epoch, sorted), expected_count);
    ASSERT_EQ(sorted.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(sorted[i].gnss_id, expected[i].gnss_id) << i;
        ASSERT_EQ(sorted[i].satellite_id, expected[i].satellite_id) << i;
        ASSERT_EQ(sorted[i].signal_id, expected[i].signal_id) << i;
        // Unary + copies the packed member: a reference to it could be misaligned.
        ASSERT_EQ(+sorted[i].pseudorange, +expected[i].pseudorange)
            << "arrival order of equal keys, at " << i;
    }
}

TEST(EpochSort, ShuffledEpochsWithRepeatedKeysOfEverySize) {
    std::mt19937 random(3);
    for (std::size_t size : {0, 1, 2, 7, 62, 130, 511, 512, 513, 700}) {
        for (int trial = 0; trial < 20; ++trial)
            expect_as_reference(random_epoch(random, size));
    }
}

TEST(EpochSort, EpochsAlreadyInOrderStayAsTheyAre) {
    std::mt19937 random(4);
    for (std::size_t size : {3, 62, 600}) {
        RawEpoch epoch = random_epoch(random, size);
        std::vector<RawObservation> ordered;
        reference(epoch, ordered);
        expect_as_reference(RawEpoch(ordered.begin(), ordered.end()));
    }
}

}  // namespace
