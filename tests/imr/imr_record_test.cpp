// IMR records: count rounding, the choice of vectors, skipped tags, order and the empty file.
#include <limits>

#include "imr/imr_format.h"
#include "imr/imr_writer.h"
#include "imr_test_support.h"

using namespace imr_test;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

class ImrRecords : public testing::Test {
  protected:
    std::vector<uint8_t> export_store() {
        const std::string path = dir_.file("out.imr");
        const WriterOutcome outcome = export_imr(path, store_);
        EXPECT_EQ(outcome.status, WriterOutcome::Status::written) << outcome.reason;
        return read_bytes(path);
    }

    ScratchDir dir_;
    VxpDataStore store_;
};

void expect_counts(const Record& r, std::array<int32_t, 3> gyro, std::array<int32_t, 3> accel) {
    EXPECT_EQ(r.gyro[0], gyro[0]);
    EXPECT_EQ(r.gyro[1], gyro[1]);
    EXPECT_EQ(r.gyro[2], gyro[2]);
    EXPECT_EQ(r.accel[0], accel[0]);
    EXPECT_EQ(r.accel[1], accel[1]);
    EXPECT_EQ(r.accel[2], accel[2]);
}

}  // namespace

TEST(ImrCount, NearestCountWithHalvesAwayFromZero) {
    EXPECT_EQ(imr_count(0.6), 1);
    EXPECT_EQ(imr_count(-0.6), -1);
    EXPECT_EQ(imr_count(0.5), 1);
    EXPECT_EQ(imr_count(-0.5), -1);
    EXPECT_EQ(imr_count(0.4999), 0);
    EXPECT_EQ(imr_count(-2147483648.4), kMin);  // rounds into the range
    EXPECT_EQ(imr_count(2147483647.4), kMax);
    EXPECT_EQ(imr_count(2147483647.5), kMax);  // rounds out of it: saturates
    EXPECT_EQ(imr_count(-2147483649.5), kMin);
}

TEST_F(ImrRecords, ScaledVectorsBecomeRoundedCounts) {
    set_tags(store_, {345600.25});
    store_.scaled_gyro = {{vec(1, -1, 0.5f), 0}};
    store_.scaled_accel = {{vec(-1, 1, 0.25f), 0}};
    const std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ(bytes.size(), kHeaderSize + kRecordSize);
    const Record r = record_at(bytes, 0);
    EXPECT_EQ(r.time, 345600.25);
    // 1 rad/s = 24608349.92 counts, -1 g = -42935006.15 counts, 0.25 g = 10733751.54 counts.
    expect_counts(r, {24608350, -24608350, 12304175}, {-42935006, 42935006, 10733752});
}

TEST_F(ImrRecords, DeltaModeExportsTheIncrements) {
    set_tags(store_, {100.0, 100.01});
    store_.delta_theta = {{vec(0.5f, 0, -1), 0}, {vec(0.25f, 0, 0), 1}};
    store_.delta_velocity = {{vec(0.25f, -1, 0), 0}, {vec(0, 0, 0.5f), 1}};
    // Scaled vectors are present too but are not what delta mode exports.
    store_.scaled_gyro = {{vec(9, 9, 9), 0}, {vec(9, 9, 9), 1}};
    store_.scaled_accel = {{vec(9, 9, 9), 0}, {vec(9, 9, 9), 1}};
    const std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ(record_count(bytes), 2u);
    expect_counts(record_at(bytes, 0), {12304175, 0, -24608350}, {10733752, -42935006, 0});
    expect_counts(record_at(bytes, 1), {6152087, 0, 0}, {0, 0, 21467503});
}

TEST_F(ImrRecords, OneDeltaKindAloneFallsBackToTheScaledVectors) {
    set_tags(store_, {100.0});
    store_.scaled_gyro = {{vec(1, 0, 0), 0}};
    store_.scaled_accel = {{vec(-1, 0, 0), 0}};
    store_.delta_theta = {{vec(0.5f, 0, 0), 0}};
    std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ(record_count(bytes), 1u);
    EXPECT_EQ(value_at<int32_t>(bytes, 17), 0);
    EXPECT_EQ(value_at<int32_t>(bytes, 21), 0);
    expect_counts(record_at(bytes, 0), {24608350, 0, 0}, {-42935006, 0, 0});

    store_.delta_theta.clear();
    store_.delta_velocity = {{vec(0.5f, 0, 0), 0}};
    bytes = export_store();
    ASSERT_EQ(record_count(bytes), 1u);
    EXPECT_EQ(value_at<int32_t>(bytes, 17), 0);
    expect_counts(record_at(bytes, 0), {24608350, 0, 0}, {-42935006, 0, 0});
}

TEST_F(ImrRecords, TagsWithoutBothVectorsAreSkipped) {
    set_tags(store_, {1.0, 2.0, 3.0, 4.0, 5.0});
    store_.scaled_gyro = {{vec(1, 0, 0), 0}, {vec(1, 0, 0), 1}, {vec(1, 0, 0), 3}, {vec(1, 0, 0), 4}};
    store_.scaled_accel = {{vec(1, 0, 0), 0}, {vec(1, 0, 0), 2}, {vec(1, 0, 0), 3}};
    const std::vector<uint8_t> bytes = export_store();
    EXPECT_EQ(record_times(bytes), (std::vector<double>{1.0, 4.0}));
}

TEST_F(ImrRecords, VectorsPairWithTheTagOfTheirTimeIndex) {
    set_tags(store_, {1.0, 2.0, 3.0});
    // Tag 1 has no vectors; the vectors of tag 2 must not be taken for it.
    store_.scaled_gyro = {{vec(1, 0, 0), 0}, {vec(-1, 0, 0), 2}};
    store_.scaled_accel = {{vec(1, 0, 0), 0}, {vec(-1, 0, 0), 2}};
    const std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ(record_count(bytes), 2u);
    EXPECT_EQ(record_at(bytes, 1).time, 3.0);
    expect_counts(record_at(bytes, 1), {-24608350, 0, 0}, {-42935006, 0, 0});
}

TEST_F(ImrRecords, WeekRolloverGivesFallingTimes) {
    store_.imu_timestamps = {tag(604799.98, kWeek), tag(604799.99, kWeek), tag(0.0, kWeek + 1),
                             tag(0.01, kWeek + 1)};
    for (uint32_t i = 0; i < 4; ++i) {
        store_.scaled_gyro.push_back({vec(0, 0, 0), i});
        store_.scaled_accel.push_back({vec(0, 0, 0), i});
    }
    const std::vector<uint8_t> bytes = export_store();
    EXPECT_EQ(record_times(bytes), (std::vector<double>{604799.98, 604799.99, 0.0, 0.01}));
    EXPECT_EQ(data_rate_of(bytes), 100.0);
}

TEST_F(ImrRecords, RecordsFollowTheTimeTagOrder) {
    set_tags(store_, {10.0, 5.0, 7.0, 6.0});
    for (uint32_t i = 0; i < 4; ++i) {
        store_.scaled_gyro.push_back({vec(0, 0, 0), i});
        store_.scaled_accel.push_back({vec(0, 0, 0), i});
    }
    EXPECT_EQ(record_times(export_store()), (std::vector<double>{10.0, 5.0, 7.0, 6.0}));
}

TEST_F(ImrRecords, NoTimeTagsGiveAHeaderOnlyFile) {
    EXPECT_EQ(export_store().size(), kHeaderSize);
    // Vectors without any time tag give no record either.
    store_.scaled_gyro = {{vec(1, 0, 0), 0}};
    store_.scaled_accel = {{vec(1, 0, 0), 0}};
    const std::vector<uint8_t> bytes = export_store();
    EXPECT_EQ(bytes.size(), kHeaderSize);
    EXPECT_EQ(data_rate_of(bytes), 0.0);
}

TEST_F(ImrRecords, CountsOutsideTheInt32RangeSaturateAndNanGivesZero) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    set_tags(store_, {1.0, 2.0, 3.0});
    // 100 rad/s is beyond 5000 deg/s, 60 g beyond 490.5 m/s^2.
    store_.scaled_gyro = {{vec(100, -100, nan), 0}, {vec(inf, -inf, 0), 1}, {vec(87.26f, -87.26f, 0), 2}};
    store_.scaled_accel = {{vec(60, -60, nan), 0}, {vec(inf, -inf, -nan), 1}, {vec(50, -50, 0), 2}};
    const std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ(record_count(bytes), 3u);
    expect_counts(record_at(bytes, 0), {kMax, kMin, 0}, {kMax, kMin, 0});
    expect_counts(record_at(bytes, 1), {kMax, kMin, 0}, {kMax, kMin, 0});
    // Just inside the range (87.26 rad/s = 4999.6 deg/s, 50 g = 490.33 m/s^2): rounded, not clamped.
    expect_counts(record_at(bytes, 2), {2147324667, -2147324667, 0}, {2146750308, -2146750308, 0});
}

TEST_F(ImrRecords, LongLogsSpanSeveralWriteBlocks) {
    constexpr uint32_t kTags = 20011;  // not a multiple of any block size
    for (uint32_t i = 0; i < kTags; ++i) {
        store_.imu_timestamps.push_back(tag(1000.0 + 0.005 * i));
        if (i % 7 == 3)
            continue;  // a few tags without vectors
        store_.scaled_gyro.push_back({vec(static_cast<float>(i % 100) * 0.01f, 0, 0), i});
        store_.scaled_accel.push_back({vec(0, 0, -1), i});
    }
    const std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ((bytes.size() - kHeaderSize) % kRecordSize, 0u);
    std::size_t k = 0;
    for (uint32_t i = 0; i < kTags; ++i) {
        if (i % 7 == 3)
            continue;
        ASSERT_LT(k, record_count(bytes));
        const Record r = record_at(bytes, k++);
        ASSERT_EQ(r.time, 1000.0 + 0.005 * i) << "tag " << i;
        ASSERT_EQ(r.accel[2], -42935006) << "tag " << i;
    }
    EXPECT_EQ(k, record_count(bytes));
    EXPECT_EQ(data_rate_of(bytes), 200.0);
}

TEST_F(ImrRecords, ASteadyRateSumsToTheTrueAngle) {
    // A steady 10-count rate under sensor noise of +-0.3 count: each count is the nearest one, so
    // the sum over many samples stays on the true angle (truncation would lose half the noise).
    constexpr uint32_t kSamples = 2000;
    const double rad_per_count = kGyroScale / kDegreesPerRadian;
    double true_sum = 0;
    for (uint32_t i = 0; i < kSamples; ++i) {
        const double counts = 10.0 + (i % 2 == 0 ? 0.3 : -0.3);
        true_sum += counts;
        store_.imu_timestamps.push_back(tag(1000.0 + 0.01 * i));
        store_.delta_theta.push_back({vec(static_cast<float>(counts * rad_per_count), 0, 0), i});
        store_.delta_velocity.push_back({vec(0, 0, 0), i});
    }
    const std::vector<uint8_t> bytes = export_store();
    ASSERT_EQ(record_count(bytes), kSamples);
    int64_t sum = 0;
    for (uint32_t i = 0; i < kSamples; ++i)
        sum += record_at(bytes, i).gyro[0];
    EXPECT_NEAR(static_cast<double>(sum), true_sum, 1.0);
}
