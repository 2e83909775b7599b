// The IMR header: every field at its byte offset, the delta flags and the data rate.
#include <cmath>
#include <limits>

#include "imr/imr_writer.h"
#include "imr_test_support.h"

using namespace imr_test;

namespace {

std::vector<uint8_t> export_store(VxpDataStore& store, const ScratchDir& dir) {
    const std::string path = dir.file("out.imr");
    const WriterOutcome outcome = export_imr(path, store);
    EXPECT_EQ(outcome.status, WriterOutcome::Status::written) << outcome.reason;
    return read_bytes(path);
}

std::vector<uint8_t> zero_filled(const char* text, std::size_t size) {
    std::vector<uint8_t> field(size, 0);
    std::memcpy(field.data(), text, std::strlen(text));
    return field;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, std::size_t offset, std::size_t size) {
    if (offset + size > bytes.size())
        return {};
    return std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + size);
}

double rate_for_tags(const std::vector<GpsTimestamp>& tags) {
    ScratchDir dir;
    VxpDataStore store;
    store.imu_timestamps.assign(tags.begin(), tags.end());
    return data_rate_of(export_store(store, dir));
}

std::vector<GpsTimestamp> tags_every(double step, int count, double start = 345600.0) {
    std::vector<GpsTimestamp> tags;
    for (int i = 0; i < count; ++i)
        tags.push_back(tag(start + i * step));
    return tags;
}

}  // namespace

TEST(ImrHeader, EveryFieldAtItsOffset) {
    ScratchDir dir;
    VxpDataStore store;
    set_tags(store, {1000.00, 1000.01});
    store.scaled_gyro = {{vec(1, 0, 0), 0}, {vec(1, 0, 0), 1}};
    store.scaled_accel = {{vec(0, 0, -1), 0}, {vec(0, 0, -1), 1}};
    const std::vector<uint8_t> bytes = export_store(store, dir);

    ASSERT_EQ(bytes.size(), kHeaderSize + 2 * kRecordSize);
    EXPECT_EQ(slice(bytes, 0, 8), zero_filled("$IMURAW", 8));
    EXPECT_EQ(value_at<int8_t>(bytes, 8), 0);  // little-endian file
    EXPECT_EQ(value_at<double>(bytes, 9), 8.8);
    EXPECT_EQ(value_at<int32_t>(bytes, 17), 0);  // scaled vectors: rates, not increments
    EXPECT_EQ(value_at<int32_t>(bytes, 21), 0);
    EXPECT_EQ(value_at<double>(bytes, 25), 100.0);
    EXPECT_EQ(value_at<double>(bytes, 33), 2.3283064365386963e-06);
    EXPECT_EQ(value_at<double>(bytes, 33), 5000.0 / 2147483648.0);
    EXPECT_EQ(value_at<double>(bytes, 41), 2.284068614244461e-07);
    EXPECT_EQ(value_at<double>(bytes, 41), 490.5 / 2147483648.0);
    EXPECT_EQ(value_at<int32_t>(bytes, 49), 2);  // GPS time
    EXPECT_EQ(value_at<int32_t>(bytes, 53), 1);  // time-tag type
    EXPECT_EQ(value_at<double>(bytes, 57), 0.0);
    EXPECT_FALSE(std::signbit(value_at<double>(bytes, 57)));
    EXPECT_EQ(slice(bytes, 65, 32), zero_filled("Kestravonic IMU", 32));
    EXPECT_EQ(slice(bytes, 97, 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(slice(bytes, 101, 32), zero_filled("kelvartix conversion tool", 32));
    EXPECT_EQ(slice(bytes, 133, 379), std::vector<uint8_t>(379, 0));
}

// The header and the counts take the scales the writer is given.
TEST(ImrHeader, ScaleFactorsAreTheOnesGiven) {
    ScratchDir dir;
    VxpDataStore store;
    set_tags(store, {1000.0});
    store.scaled_gyro = {{vec(1, 0, 0), 0}};
    store.scaled_accel = {{vec(0, 0, -1), 0}};
    const std::string path = dir.file("out.imr");
    CapturedMessages messages;
    ASSERT_TRUE(export_imr(path, store, messages, 1e-3, 1e-5));
    const std::vector<uint8_t> bytes = read_bytes(path);
    EXPECT_EQ(value_at<double>(bytes, 33), 1e-3);
    EXPECT_EQ(value_at<double>(bytes, 41), 1e-5);
    ASSERT_EQ(record_count(bytes), 1u);
    EXPECT_EQ(record_at(bytes, 0).gyro[0], 57296);  // 1 rad/s in milli-degrees per second
    EXPECT_EQ(record_at(bytes, 0).accel[2], -980665);
}

TEST(ImrHeader, DeltaFlagsFollowTheMode) {
    ScratchDir dir;
    VxpDataStore store;
    set_tags(store, {1000.0});
    store.delta_theta = {{vec(0, 0, 0), 0}};
    store.delta_velocity = {{vec(0, 0, 0), 0}};
    const std::vector<uint8_t> delta = export_store(store, dir);
    EXPECT_EQ(value_at<int32_t>(delta, 17), 1);
    EXPECT_EQ(value_at<int32_t>(delta, 21), 1);

    store.delta_velocity.clear();  // delta theta alone is not delta mode
    const std::vector<uint8_t> scaled = export_store(store, dir);
    EXPECT_EQ(value_at<int32_t>(scaled, 17), 0);
    EXPECT_EQ(value_at<int32_t>(scaled, 21), 0);
}

TEST(ImrHeader, RateFromTheIntervalsNearTheMedian) {
    EXPECT_EQ(rate_for_tags(tags_every(0.01, 500)), 100.0);
    // One short interval of 0.0049 s among steps of 0.01 s is jitter, not a rate of 204.
    EXPECT_EQ(rate_for_tags({tag(10.0), tag(10.0049), tag(10.0149), tag(10.0249)}), 100.0);
    // Halves round away from zero: 1 / 0.4 = 2.5.
    EXPECT_EQ(rate_for_tags({tag(0.0), tag(0.4)}), 3.0);
}

TEST(ImrHeader, RateSurvivesJitterAndDroppedSamples) {
    // 200 Hz tags, every third one up to 0.1 ms early or late.
    std::vector<GpsTimestamp> jittered = tags_every(0.005, 2000);
    for (std::size_t i = 0; i < jittered.size(); i += 3)
        jittered[i].time_of_week += (i % 2 == 0 ? 1e-4 : -1e-4) * static_cast<double>(i % 7) / 6.0;
    EXPECT_EQ(rate_for_tags(jittered), 200.0);
    // Dropped samples: a fifth of the 200 Hz tags missing leaves gaps of 0.01 s and more.
    std::vector<GpsTimestamp> gappy;
    for (const GpsTimestamp& t : tags_every(0.005, 2000, 345600.0))
        if (static_cast<int>(std::lround((t.time_of_week - 345600.0) / 0.005)) % 5 != 2)
            gappy.push_back(t);
    EXPECT_EQ(rate_for_tags(gappy), 200.0);
}

// Tags of whole milliseconds step unevenly (400 Hz: 2, 3, 2, 3 ms); with an odd or an even number of
// intervals, and with one sample dropped, the rate is still the sensor's.
TEST(ImrHeader, RateFromWholeMillisecondTags) {
    for (int rate : {100, 128, 200, 256, 300, 400, 600, 1000}) {
        for (int intervals : {1000, 1001}) {
            for (int dropped : {-1, intervals / 2}) {
                std::vector<GpsTimestamp> tags;
                for (int k = 0; k <= intervals; ++k)
                    if (k != dropped)
                        tags.push_back(
                            tag(static_cast<double>(345600000 + std::lround(k * 1000.0 / rate)) / 1000));
                EXPECT_EQ(rate_for_tags(tags), rate) << intervals << " intervals, dropped " << dropped;
            }
        }
    }
}

TEST(ImrHeader, RateIsZeroWithoutACountedPair) {
    EXPECT_EQ(rate_for_tags({}), 0.0);
    EXPECT_EQ(rate_for_tags({tag(1000.0)}), 0.0);
    EXPECT_EQ(rate_for_tags({tag(1000.00, 0), tag(1000.01, 0), tag(1000.02, 0)}), 0.0);
    EXPECT_EQ(rate_for_tags({tag(-0.02), tag(-0.01)}), 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(rate_for_tags({tag(nan), tag(1000.0), tag(nan)}), 0.0);
}

TEST(ImrHeader, UncountedTagsDropBothTheirPairs) {
    // The 0.001 s steps touch the week-0 tag and do not count.
    EXPECT_EQ(rate_for_tags({tag(1000.00), tag(1000.001, 0), tag(1000.002), tag(1000.022), tag(1000.042)}),
              50.0);
}

TEST(ImrHeader, RateAcrossAWeekRollover) {
    // 0.01 s before the end of one week to 0.01 s into the next: 0.02 s.
    EXPECT_EQ(rate_for_tags({tag(604799.99, kWeek), tag(0.01, kWeek + 1)}), 50.0);
}

TEST(ImrHeader, EqualNeighbouringTagsDoNotMakeTheRateInfinite) {
    EXPECT_EQ(rate_for_tags({tag(30.00), tag(30.00), tag(30.01), tag(30.02), tag(30.02)}), 100.0);
    EXPECT_EQ(rate_for_tags({tag(30.0), tag(30.0), tag(30.0)}), 0.0);
    // An interval so small that its inverse overflows gives no usable rate either.
    EXPECT_EQ(rate_for_tags({tag(0.0), tag(std::numeric_limits<double>::denorm_min())}), 0.0);
}

TEST(ImrHeader, TimesBeyondAWeekGiveNoNegativeRate) {
    // 700000 s is no time of week; the fall to 1 s would be a negative interval after the
    // rollover correction and is not counted.
    const double rate = rate_for_tags({tag(700000.0), tag(1.0)});
    EXPECT_EQ(rate, 0.0);
    EXPECT_FALSE(std::signbit(rate));
}

TEST(ImrHeader, SharedTimeTagsAreTheTimeTagListWhenPresent) {
    VxpDataStore store;
    store.imu_timestamps = tags_every(0.01, 10);
    store.imu_shared_timestamps = tags_every(0.005, 10);
    ScratchDir dir;
    EXPECT_EQ(data_rate_of(export_store(store, dir)), 200.0);
}
