// Store queries on directly filled members: cursor lookups, leap seconds, time records, the
// minimum IMU interval, the IMU rate and the first valid GNSS time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "store/imu_rate.h"
#include "store_test_support.h"

namespace {

using namespace store_test;

std::unique_ptr<VxpDataStore> make_store() {
    return std::make_unique<VxpDataStore>();
}

void fill_accel(VxpDataStore& store, std::initializer_list<uint32_t> time_indexes) {
    float x = 1;
    for (uint32_t t : time_indexes)
        store.scaled_accel.push_back({vector(x++, 0, 0), t});
}

TEST(CursorLookup, ExactAndInexactSemantics) {
    auto store = make_store();
    fill_accel(*store, {0, 1, 3});
    ScaledAccelVector out{};
    EXPECT_FALSE(store->scaled_accel_at(2, out, true));
    EXPECT_TRUE(store->scaled_accel_at(3, out, true));
    EXPECT_EQ(+out.x, 3.0f);  // third element
    EXPECT_TRUE(store->scaled_accel_at(2, out, false));
    EXPECT_EQ(+out.x, 2.0f);                            // second element
    EXPECT_TRUE(store->scaled_accel_at(0, out, true));  // the cursor walks back
    EXPECT_EQ(+out.x, 1.0f);
    EXPECT_TRUE(store->scaled_accel_at(99, out, false));
    EXPECT_EQ(+out.x, 3.0f);
    EXPECT_TRUE(store->scaled_accel_at(1, out, true));  // and back again from the last element
    EXPECT_EQ(+out.x, 2.0f);
}

TEST(CursorLookup, BelowEveryIndex) {
    auto store = make_store();
    fill_accel(*store, {5, 6});
    ScaledAccelVector out{};
    EXPECT_FALSE(store->scaled_accel_at(1, out, true));
    EXPECT_TRUE(store->scaled_accel_at(1, out, false));
    EXPECT_EQ(+out.x, 1.0f);  // the first element
}

TEST(CursorLookup, EmptySequenceAndRisingPass) {
    auto store = make_store();
    DeltaThetaVector theta{};
    EXPECT_FALSE(store->delta_theta_at(0, theta, false));
    // Several records per time index: the last one with that index is the answer.
    for (uint32_t t : {0u, 0u, 1u, 2u, 2u, 2u, 4u})
        store->delta_theta.push_back({vector(0, 0, 0), t});
    for (std::size_t i = 0; i < store->delta_theta.size(); ++i)
        store->delta_theta[i].record.x = float(i);
    const float expected[] = {1, 2, 5, -1, 6};
    for (uint32_t t = 0; t <= 4; ++t) {
        SCOPED_TRACE(t);
        const bool found = store->delta_theta_at(t, theta, true);
        EXPECT_EQ(found, expected[t] >= 0);
        if (found) {
            EXPECT_EQ(+theta.x, expected[t]);
        }
    }
}

TEST(CursorLookup, EachSequenceHasItsOwnCursor) {
    auto store = make_store();
    fill_accel(*store, {0, 1, 2});
    store->scaled_gyro.push_back({vector(9, 0, 0), 0});
    store->filter_vector0C.push_back({FilterVector{12, 0, 0, 0}, 7});
    store->gnss_record0A[4].push_back({GnssRecord0A{1.0, 2.0, 3.0, 0}, 3});
    ScaledAccelVector accel{};
    ScaledGyroVector gyro{};
    EXPECT_TRUE(store->scaled_accel_at(2, accel, true));
    EXPECT_TRUE(store->scaled_gyro_at(2, gyro, false));
    EXPECT_EQ(+gyro.x, 9.0f);
    FilterVector filter{};
    EXPECT_TRUE(store->filter_vector0C_at(7, filter, true));
    EXPECT_EQ(+filter.x, 12.0f);
    GnssRecord0A record{};
    EXPECT_TRUE(store->gnss_record0A_at(4, 3, record, true));
    EXPECT_EQ(+record.f64_16, 3.0);
    EXPECT_FALSE(store->gnss_record0A_at(3, 3, record, false));

    // Lookups in several sequences, interleaved in any order, give the answers each sequence gives
    // on its own in a fresh store: no lookup moves another sequence's answers.
    const auto fill = [](VxpDataStore& target) {
        for (uint32_t t = 0; t < 40; t += 2)
            target.scaled_accel.push_back({vector(static_cast<float>(t), 0, 0), t});
        for (uint32_t t = 1; t < 40; t += 3)
            target.scaled_gyro.push_back({vector(static_cast<float>(t), 0, 0), t});
        for (uint32_t t = 5; t < 40; t += 5)
            target.delta_theta.push_back({vector(static_cast<float>(t), 0, 0), t});
    };
    auto interleaved = make_store();
    fill(*interleaved);
    std::mt19937 random(11);
    for (int i = 0; i < 400; ++i) {
        const uint32_t t = random() % 45;
        const bool exact = random() % 2 == 0;
        auto fresh = make_store();
        fill(*fresh);
        SCOPED_TRACE(testing::Message() << "lookup " << i << " at " << t << (exact ? " exact" : ""));
        switch (random() % 3) {
            case 0: {
                ScaledAccelVector got{}, want{};
                ASSERT_EQ(interleaved->scaled_accel_at(t, got, exact),
                          fresh->scaled_accel_at(t, want, exact));
                EXPECT_EQ(+got.x, +want.x);
                break;
            }
            case 1: {
                ScaledGyroVector got{}, want{};
                ASSERT_EQ(interleaved->scaled_gyro_at(t, got, exact), fresh->scaled_gyro_at(t, want, exact));
                EXPECT_EQ(+got.x, +want.x);
                break;
            }
            default: {
                DeltaThetaVector got{}, want{};
                ASSERT_EQ(interleaved->delta_theta_at(t, got, exact), fresh->delta_theta_at(t, want, exact));
                EXPECT_EQ(+got.x, +want.x);
                break;
            }
        }
    }
}

TEST(CursorLookup, CursorBeyondAShorterSequenceIsBroughtBack) {
    auto store = make_store();
    fill_accel(*store, {0, 1, 2, 3});
    ScaledAccelVector out{};
    EXPECT_TRUE(store->scaled_accel_at(3, out, true));
    store->clear();  // the sequence shrinks under the walk's last position
    fill_accel(*store, {0});
    EXPECT_TRUE(store->scaled_accel_at(0, out, true));
    EXPECT_EQ(+out.x, 1.0f);
}

TEST(LeapSeconds, FirstValidRecordInReceiverOrder) {
    auto store = make_store();
    double leap = -1;
    EXPECT_FALSE(store->leap_seconds_from_data(leap));
    store->leap_second_records[0].push_back({17, 0});
    store->leap_second_records[1].push_back({16, 0});
    EXPECT_FALSE(store->leap_seconds_from_data(leap));
    EXPECT_EQ(leap, -1);  // untouched
    store->leap_second_records[3].push_back({19, 1});
    store->leap_second_records[2].push_back({15, 0});
    store->leap_second_records[2].push_back({18, 4});
    store->leap_second_records[2].push_back({20, 1});
    EXPECT_TRUE(store->leap_seconds_from_data(leap));
    EXPECT_EQ(leap, 18.0);
}

TEST(TimeRecords, SharedSequenceFirstThenOwn) {
    auto store = make_store();
    GpsTimestamp out{};
    EXPECT_EQ(store->imu_time_count(), 0u);
    EXPECT_FALSE(store->imu_time_at(0, out));
    store->imu_timestamps = {time_record(1), time_record(2), time_record(3)};
    EXPECT_EQ(store->imu_time_count(), 3u);
    EXPECT_TRUE(store->imu_time_at(2, out));
    EXPECT_EQ(+out.time_of_week, 3.0);
    store->imu_shared_timestamps = {time_record(7)};
    EXPECT_EQ(store->imu_time_count(), 1u);
    EXPECT_TRUE(store->imu_time_at(0, out));
    EXPECT_EQ(+out.time_of_week, 7.0);
    EXPECT_FALSE(store->imu_time_at(3, out));

    store->gnss_timestamps[2] = {time_record(20)};
    EXPECT_TRUE(store->gnss_time_at(2, 0, out));
    EXPECT_EQ(+out.time_of_week, 20.0);
    EXPECT_FALSE(store->gnss_time_at(1, 0, out));
    store->filter_shared_timestamps = {time_record(30)};
    EXPECT_TRUE(store->filter_time_at(0, out));
    EXPECT_EQ(+out.time_of_week, 30.0);
}

TEST(TimeRecords, FirstValidGnssTime) {
    auto store = make_store();
    EXPECT_EQ(store->first_valid_gnss_time(0), 0xFFFFFFFFu);
    store->gnss_timestamps[0] = {time_record(1, 2200, 0), time_record(2, 2200, 4), time_record(3, 2200, 2)};
    EXPECT_EQ(store->first_valid_gnss_time(0), 2u);
    store->gnss_shared_timestamps[0] = {time_record(1, 2200, 1)};
    EXPECT_EQ(store->first_valid_gnss_time(0), 0u);
    store->gnss_shared_timestamps[0][0].valid_flags = 0;
    EXPECT_EQ(store->first_valid_gnss_time(0), 0xFFFFFFFFu);  // the shared sequence alone is searched
}

constexpr double kNoInterval = std::numeric_limits<double>::max();

TEST(MinInterval, FewerThanTwoRecordsOrNoCountedPair) {
    auto store = make_store();
    EXPECT_EQ(store->imu_min_interval(), kNoInterval);
    store->imu_timestamps = {time_record(5)};
    EXPECT_EQ(store->imu_min_interval(), kNoInterval);
    store->imu_timestamps = {time_record(5), time_record(6, 0), time_record(7)};
    EXPECT_EQ(store->imu_min_interval(), kNoInterval);
    store->imu_timestamps = {time_record(5), time_record(-1.0),
                             time_record(std::numeric_limits<double>::quiet_NaN())};
    EXPECT_EQ(store->imu_min_interval(), kNoInterval);
}

TEST(MinInterval, SmallestStepWithGapsWeekZeroAndRollover) {
    auto store = make_store();
    for (int k = 0; k < 10; ++k)
        store->imu_timestamps.push_back(time_record(100.0 + 0.01 * k));
    store->imu_timestamps.push_back(time_record(100.0 + 0.01 * 9 + 0.02));
    EXPECT_NEAR(store->imu_min_interval(), 0.01, 1e-9);

    // The week-0 record would make two pairs of 0.001: both are ignored.
    store->imu_timestamps = {time_record(200.0), time_record(200.001, 0), time_record(200.002),
                             time_record(200.5)};
    EXPECT_NEAR(store->imu_min_interval(), 0.498, 1e-9);

    store->imu_timestamps = {time_record(604799.99, 2200), time_record(0.01, 2201)};
    EXPECT_NEAR(store->imu_min_interval(), 0.02, 1e-9);

    store->imu_timestamps = {time_record(3.0), time_record(3.0), time_record(4.0)};
    EXPECT_EQ(store->imu_min_interval(), 0.0);

    store->imu_shared_timestamps = {time_record(1.0), time_record(1.5)};  // the sequence in use
    EXPECT_EQ(store->imu_min_interval(), 0.5);
}

// The rate rule worked out from a sorted copy of the intervals, to the nanosecond.
double rate_from_sorted_copy(const std::vector<double>& intervals) {
    std::vector<double> ns;
    for (double d : intervals)
        ns.push_back(static_cast<double>(std::llround(d * 1e9)));
    std::sort(ns.begin(), ns.end());
    if (ns.empty())
        return 0.0;
    const auto mean_near = [&](double centre) {
        double sum = 0;
        double count = 0;
        for (double d : ns)
            if (std::abs(d - centre) <= centre / 2) {
                sum += d;
                ++count;
            }
        return count > 0 ? sum / count : centre;
    };
    const double median = (ns[(ns.size() - 1) / 2] + ns[ns.size() / 2]) / 2;
    return std::round(1e9 / mean_near(mean_near(median)));
}

TEST(ImuRate, MatchesASortedCopyOfTheCountedIntervals) {
    auto store = make_store();
    EXPECT_EQ(store->imu_rate_hz(), 0.0);
    // Equal neighbours, week-0 records and rollovers as imu_min_interval counts them; intervals of
    // 0 are left out. Odd and even numbers of intervals; steps on both edges of the band around a
    // 5 ms median (2.5 and 7.5 ms are in it), and outside it.
    const double steps_ms[] = {0, 2, 2.5, 5, 5, 5, 5, 5, 7.5, 7.6, 10, 15};
    std::mt19937 random(7);
    for (int n : {2, 3, 4, 5, 50, 51, 1000, 1001}) {
        store->imu_timestamps.clear();
        double time = 604799.0;
        uint16_t week = 2200;
        for (int i = 0; i < n + 1; ++i) {
            store->imu_timestamps.push_back(time_record(time, random() % 97 == 0 ? 0 : week));
            time += steps_ms[random() % std::size(steps_ms)] / 1000;
            if (time >= 604800.0) {
                time -= 604800.0;
                ++week;
            }
        }
        std::vector<double> intervals;
        const auto& times = store->imu_timestamps;
        for (std::size_t k = 1; k < times.size(); ++k) {
            if (times[k - 1].week_number == 0 || times[k].week_number == 0)
                continue;
            double d = times[k].time_of_week - times[k - 1].time_of_week;
            if (d < 0)
                d += 604800.0;
            if (d > 0)
                intervals.push_back(d);
        }
        EXPECT_EQ(store->imu_rate_hz(), rate_from_sorted_copy(intervals)) << n << " records";
    }
}

TEST(ImuRate, PastTheTableSizeTheGrainGrows) {
    // 1 kHz tags jittered by up to 50 us in whole nanoseconds: 100001 values, 100 Hz of them slow.
    std::mt19937 random(3);
    ImuRate rate;
    std::vector<double> intervals;
    for (int i = 0; i < 200000; ++i) {
        const double nominal = i % 10 == 0 ? 0.01 : 0.001;
        intervals.push_back(nominal +
                            static_cast<double>(static_cast<int>(random() % 100001) - 50000) * 1e-9);
        rate.add(intervals.back());
    }
    EXPECT_LE(rate.values(), ImuRate::kMaxValues);
    EXPECT_GT(rate.grain_ns(), 1);
    EXPECT_EQ(rate.count(), intervals.size());
    EXPECT_EQ(rate.rate_hz(), 1000.0);
    EXPECT_EQ(rate.rate_hz(), rate_from_sorted_copy(intervals));
}

}  // namespace

namespace {

TEST(ReceiverIndex, OutsideTheFiveReceiversIsAbsent) {
    auto store = std::make_unique<VxpDataStore>();
    store->gnss_checksum_error_count[4] = 3;
    EXPECT_EQ(store->gnss_checksum_errors(4), 3u);
    EXPECT_EQ(store->gnss_checksum_errors(5), 0u);
    EXPECT_EQ(store->gnss_checksum_errors(255), 0u);
    EXPECT_FALSE(store->has_receiver_data(5));
    EXPECT_FALSE(store->has_navigation_data(-1));
    EXPECT_EQ(store->first_valid_gnss_time(7), 0xFFFFFFFFu);
    GpsTimestamp time{};
    EXPECT_FALSE(store->gnss_time_at(5, 0, time));
    GnssRecord03 record{};
    EXPECT_FALSE(store->gnss_record03_at(5, 0, record, false));
}

}  // namespace
