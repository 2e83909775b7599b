// Helpers of the IMR writer tests: stores filled member by member, a directory per test, and an
// independent reader that takes the file apart by byte offset.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imr/imr_writer.h"
#include "store/vxp_data_store.h"
#include "tests/support/captured_messages.h"
#include "tests/support/log_fixtures.h"
#include "tests/support/temp_dir.h"

namespace imr_test {

inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kRecordSize = 32;
inline constexpr uint16_t kWeek = 2300;

// The scales the run gives the writer: full scales of 5000 deg/s and 490.5 m/s^2 over 2^31 counts.
inline constexpr double kGyroScale = 5000.0 / 2147483648.0;
inline constexpr double kAccelScale = 490.5 / 2147483648.0;

// The writer as the run calls it; its messages go to `messages`.
inline WriterOutcome export_imr(const std::string& path, VxpDataStore& store, MessageSink& messages,
                                double gyro_scale = kGyroScale, double accel_scale = kAccelScale) {
    return write_imr_file(store, ImrFileSettings{path, gyro_scale, accel_scale}, test_context(messages));
}

inline WriterOutcome export_imr(const std::string& path, VxpDataStore& store) {
    CapturedMessages messages;
    return export_imr(path, store, messages);
}

inline GpsTimestamp tag(double time_of_week, uint16_t week = kWeek) {
    return time_tag(time_of_week, week);
}

inline SensorVector vec(float x, float y, float z) {
    return SensorVector{x, y, z};
}

// A directory of the test's own for the files it writes.
class ScratchDir : public TempDir {
  public:
    std::string file(const std::string& name) const { return (path() / name).string(); }
};

inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian value of type T at a byte offset (the tests run on little-endian hosts, as the
// writer itself requires).
template <class T>
T value_at(const std::vector<uint8_t>& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof(T) > bytes.size()) {
        ADD_FAILURE() << "read past the end of the file at offset " << offset;
        return value;
    }
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

struct Record {
    double time;
    int32_t gyro[3];
    int32_t accel[3];
};

inline std::size_t record_count(const std::vector<uint8_t>& bytes) {
    return bytes.size() < kHeaderSize ? 0 : (bytes.size() - kHeaderSize) / kRecordSize;
}

inline Record record_at(const std::vector<uint8_t>& bytes, std::size_t k) {
    const std::size_t base = kHeaderSize + k * kRecordSize;
    Record r{};
    r.time = value_at<double>(bytes, base);
    for (int axis = 0; axis < 3; ++axis) {
        r.gyro[axis] = value_at<int32_t>(bytes, base + 8 + 4 * axis);
        r.accel[axis] = value_at<int32_t>(bytes, base + 20 + 4 * axis);
    }
    return r;
}

inline std::vector<double> record_times(const std::vector<uint8_t>& bytes) {
    std::vector<double> times;
    for (std::size_t k = 0; k < record_count(bytes); ++k)
        times.push_back(record_at(bytes, k).time);
    return times;
}

inline double data_rate_of(const std::vector<uint8_t>& bytes) {
    return value_at<double>(bytes, 25);
}

// Fills the IMU time tags (field 0x12 list) from times of one week.
inline void set_tags(VxpDataStore& store, const std::vector<double>& times, uint16_t week = kWeek) {
    store.imu_timestamps.clear();
    for (double t : times)
        store.imu_timestamps.push_back(tag(t, week));
}

}  // namespace imr_test
