// The IMR export of logs read from disk: sensor packets built with the log writer, loaded by the
// store, exported and read back.
#include "imr/imr_writer.h"
#include "imr_test_support.h"
#include "tools/log_writer/log_writer.h"
#include "vxp/records/sensor_records.h"

using namespace imr_test;

namespace {

constexpr uint8_t kSharedTimeField = 0xD3;

struct Sample {
    double time_of_week;
    bool angular;  // the packet carries the angular vector
    bool linear;   // the packet carries the linear vector
};

std::vector<uint8_t> export_log(VxpLogWriter& log, const ScratchDir& dir) {
    const std::string log_path = dir.file("run.bin");
    const std::string imr_path = dir.file("run.imr");
    VxpDataStore store;
    EXPECT_TRUE(load_log(log, store, log_path));
    const WriterOutcome outcome = export_imr(imr_path, store);
    EXPECT_EQ(outcome.status, WriterOutcome::Status::written) << outcome.reason;
    return read_bytes(imr_path);
}

}  // namespace

TEST(ImrFromLog, ScaledVectorsTaggedByTheSensorTime) {
    const std::vector<Sample> samples = {
        {345600.00, true, true},  {345600.01, true, true}, {345600.02, true, false},
        {345600.03, false, true}, {345600.04, true, true},
    };
    VxpLogWriter log;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const float f = static_cast<float>(k);
        log.begin(VXP_SET_SENSOR);
        if (samples[k].linear)
            log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vec(0, 0, -1), vxp_decode_sensor_vector);
        if (samples[k].angular)
            log.field(VXP_SENSOR_FIELD_SCALED_GYRO, vec(f, -f, 0), vxp_decode_sensor_vector);
        log.field(VXP_SENSOR_FIELD_TIME, tag(samples[k].time_of_week), vxp_decode_gps_timestamp);
        const uint8_t noise[] = {0x75, 0x00, 0x13, 0x37};  // damage between packets is skipped
        log.append_raw(noise, sizeof noise);
    }
    ScratchDir dir;
    const std::vector<uint8_t> bytes = export_log(log, dir);

    EXPECT_EQ(value_at<int32_t>(bytes, 17), 0);
    EXPECT_EQ(data_rate_of(bytes), 100.0);
    ASSERT_EQ(record_count(bytes), 3u);
    const std::size_t exported[] = {0, 1, 4};
    const int32_t gyro_x[] = {0, 24608350, 98433400};  // 0, 1 and 4 rad/s, rounded
    for (std::size_t r = 0; r < 3; ++r) {
        const Record record = record_at(bytes, r);
        EXPECT_EQ(record.time, samples[exported[r]].time_of_week);
        EXPECT_EQ(record.gyro[0], gyro_x[r]);
        EXPECT_EQ(record.gyro[1], -record.gyro[0]);
        EXPECT_EQ(record.accel[2], -42935006);
    }
}

TEST(ImrFromLog, DeltaVectorsTaggedBySharedTime) {
    VxpLogWriter log;
    for (uint32_t k = 0; k < 4; ++k) {
        log.begin(VXP_SET_SENSOR);
        log.field(VXP_SENSOR_FIELD_TIME, tag(1000.0 + 0.01 * k), vxp_decode_gps_timestamp);
        log.field(kSharedTimeField, tag(2000.0 + 0.005 * k), vxp_decode_gps_timestamp);
        log.field(VXP_SENSOR_FIELD_DELTA_THETA, vec(0.5f, 0, 0), vxp_decode_sensor_vector);
        log.field(VXP_SENSOR_FIELD_DELTA_VELOCITY, vec(0, 0.25f, 0), vxp_decode_sensor_vector);
        log.field(VXP_SENSOR_FIELD_SCALED_GYRO, vec(1, 1, 1), vxp_decode_sensor_vector);
        log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vec(1, 1, 1), vxp_decode_sensor_vector);
    }
    ScratchDir dir;
    const std::vector<uint8_t> bytes = export_log(log, dir);

    EXPECT_EQ(value_at<int32_t>(bytes, 17), 1);
    EXPECT_EQ(value_at<int32_t>(bytes, 21), 1);
    EXPECT_EQ(data_rate_of(bytes), 200.0);
    ASSERT_EQ(record_count(bytes), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const Record record = record_at(bytes, k);
        EXPECT_EQ(record.time, 2000.0 + 0.005 * static_cast<double>(k));
        EXPECT_EQ(record.gyro[0], 12304175);
        EXPECT_EQ(record.accel[1], 10733752);
        EXPECT_EQ(record.gyro[1], 0);
    }
}

namespace {

// Which time fields a sensor packet carries.
enum class TagKind { own, shared, both };
constexpr const char* kKindNames[] = {"0x12", "0xD3", "0x12 and 0xD3"};

struct TaggedSample {
    double time_of_week;
    TagKind kind;
};

// Gyro x values whose counts come out the same however a count is rounded, one per sample, and
// their counts: a record's count names the sample it holds.
constexpr float kSampleGyro[] = {0.375f, 0.75f, 0.875f, 1.25f, 1.375f, 1.75f, 1.875f, -0.375f};
constexpr int32_t kSampleGyroCount[] = {9228131,  18456262, 21532306, 30760437,
                                        33836481, 43064612, 46140656, -9228131};

// Exports packets holding sample k each, with its time in the packet's time fields (a 0x12 field
// beside a 0xD3 one carries a time 500 s earlier, which must never reach the file), and expects
// one record per packet, in order, at that packet's own time.
void expect_every_sample_at_its_own_time(const std::vector<TaggedSample>& samples) {
    VxpLogWriter log;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const TaggedSample& sample = samples[k];
        log.begin(VXP_SET_SENSOR);
        if (sample.kind != TagKind::shared) {
            const double own =
                sample.kind == TagKind::both ? sample.time_of_week - 500.0 : sample.time_of_week;
            log.field(VXP_SENSOR_FIELD_TIME, tag(own), vxp_decode_gps_timestamp);
        }
        log.field(VXP_SENSOR_FIELD_SCALED_GYRO, vec(kSampleGyro[k], 0, 0), vxp_decode_sensor_vector);
        log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, vec(0, 0, -1), vxp_decode_sensor_vector);
        if (sample.kind != TagKind::own)
            log.field(kSharedTimeField, tag(sample.time_of_week), vxp_decode_gps_timestamp);
    }
    ScratchDir dir;
    const std::vector<uint8_t> bytes = export_log(log, dir);

    EXPECT_EQ(data_rate_of(bytes), 100.0);
    ASSERT_EQ(record_count(bytes), samples.size());
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const Record record = record_at(bytes, k);
        EXPECT_EQ(record.time, samples[k].time_of_week) << "record " << k;
        EXPECT_EQ(record.gyro[0], kSampleGyroCount[k]) << "record " << k;
        EXPECT_EQ(record.accel[2], -42935006) << "record " << k;
    }
}

}  // namespace

TEST(ImrFromLog, SamplesOfPacketsWithDifferentTimeFieldsKeepTheirOwnTimes) {
    // The sample between two 0xD3 packets has only its 0x12 time.
    expect_every_sample_at_its_own_time(
        {{1000.00, TagKind::shared}, {1000.01, TagKind::own}, {1000.02, TagKind::shared}});
}

TEST(ImrFromLog, ALogThatSwitchesTimeFieldsHalfwayKeepsEverySampleTime) {
    // GNSS time found after the start, lost again, found while the 0x12 field goes on; and the
    // logs of one kind throughout, which export as they always did.
    const std::vector<std::pair<TagKind, TagKind>> switches = {
        {TagKind::own, TagKind::shared}, {TagKind::shared, TagKind::own},    {TagKind::own, TagKind::both},
        {TagKind::own, TagKind::own},    {TagKind::shared, TagKind::shared}, {TagKind::both, TagKind::both}};
    for (const auto& [first, second] : switches) {
        SCOPED_TRACE(testing::Message() << kKindNames[static_cast<int>(first)] << " then "
                                        << kKindNames[static_cast<int>(second)]);
        std::vector<TaggedSample> samples;
        for (int k = 0; k < 8; ++k)
            samples.push_back({2000.0 + 0.01 * k, k < 4 ? first : second});
        expect_every_sample_at_its_own_time(samples);
    }
}
