// On-disk layout of the NovAtel IMR inertial file: a 512-byte header followed by 32-byte records,
// little-endian throughout, no padding, trailer or record count.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

// The structs below are written to disk byte for byte, so the host must share the file's byte order.
static_assert(std::endian::native == std::endian::little, "IMR structs are written as little-endian bytes");

inline constexpr char kImrSignature[8] = "$IMURAW";  // seven characters and the terminating zero
inline constexpr int8_t kImrLittleEndian = 0;        // header byte 8: 0 = little-endian file
inline constexpr double kImrFormatVersion = 8.8;
inline constexpr int32_t kImrTimeTypeGps = 2;      // time tags are GPS time
inline constexpr int32_t kImrTimeTagTypeCode = 1;  // time-tag type code
inline constexpr double kImrTimeTagBias = 0.0;
inline constexpr char kImrImuName[] = "Kestravonic IMU";
inline constexpr char kImrProgramName[] = "kelvartix conversion tool";
inline constexpr std::size_t kImrNameSize = 32;

// Unit conversions applied before scaling to counts.
inline constexpr double kDegreesPerRadian = 57.29577951308232;
inline constexpr double kMetresPerSecondSquaredPerG = 9.80665;

// A measurement in units of the scale factor becomes the nearest count (halves away from zero),
// so a signal that keeps one sign is not biased by half a count; values beyond the signed 32-bit
// range saturate, NaN gives 0.
inline int32_t imr_count(double value) {
    constexpr double kAboveMax = 2147483648.0;  // 2^31: the first count beyond the range
    constexpr double kMin = -2147483648.0;      // -2^31: the smallest count of the range
    if (std::isnan(value))
        return 0;
    const double count = std::round(value);
    if (count >= kAboveMax)
        return std::numeric_limits<int32_t>::max();
    if (count <= kMin)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(count);
}

#pragma pack(push, 1)

struct ImrHeader {
    char signature[8];       // "$IMURAW\0"
    int8_t byte_order;       // kImrLittleEndian
    double version;          // kImrFormatVersion
    int32_t delta_theta;     // 1: gyro counts are angle increments, 0: rates
    int32_t delta_velocity;  // 1: accelerometer counts are velocity increments, 0: accelerations
    double data_rate_hz;     // samples per second, 0 when unknown
    double gyro_scale;       // degrees (per second) per count
    double accel_scale;      // m/s (or m/s^2) per count
    int32_t time_type;       // kImrTimeTypeGps
    int32_t time_tag_type;   // kImrTimeTagTypeCode
    double time_tag_bias;    // seconds
    char imu_name[kImrNameSize];
    uint8_t reserved_97[4];
    char program_name[kImrNameSize];
    uint8_t reserved_133[379];
};

struct ImrRecord {
    double time;       // GPS seconds of week
    int32_t gyro[3];   // x, y, z counts of gyro_scale
    int32_t accel[3];  // x, y, z counts of accel_scale
};

#pragma pack(pop)

static_assert(sizeof(ImrHeader) == 512, "ImrHeader layout");
static_assert(offsetof(ImrHeader, signature) == 0, "ImrHeader layout");
static_assert(offsetof(ImrHeader, byte_order) == 8, "ImrHeader layout");
static_assert(offsetof(ImrHeader, version) == 9, "ImrHeader layout");
static_assert(offsetof(ImrHeader, delta_theta) == 17, "ImrHeader layout");
static_assert(offsetof(ImrHeader, delta_velocity) == 21, "ImrHeader layout");
static_assert(offsetof(ImrHeader, data_rate_hz) == 25, "ImrHeader layout");
static_assert(offsetof(ImrHeader, gyro_scale) == 33, "ImrHeader layout");
static_assert(offsetof(ImrHeader, accel_scale) == 41, "ImrHeader layout");
static_assert(offsetof(ImrHeader, time_type) == 49, "ImrHeader layout");
static_assert(offsetof(ImrHeader, time_tag_type) == 53, "ImrHeader layout");
static_assert(offsetof(ImrHeader, time_tag_bias) == 57, "ImrHeader layout");
static_assert(offsetof(ImrHeader, imu_name) == 65, "ImrHeader layout");
static_assert(offsetof(ImrHeader, reserved_97) == 97, "ImrHeader layout");
static_assert(offsetof(ImrHeader, program_name) == 101, "ImrHeader layout");
static_assert(offsetof(ImrHeader, reserved_133) == 133, "ImrHeader layout");

static_assert(sizeof(ImrRecord) == 32, "ImrRecord layout");
static_assert(offsetof(ImrRecord, time) == 0, "ImrRecord layout");
static_assert(offsetof(ImrRecord, gyro) == 8, "ImrRecord layout");
static_assert(offsetof(ImrRecord, accel) == 20, "ImrRecord layout");

static_assert(sizeof(kImrImuName) <= kImrNameSize && sizeof(kImrProgramName) <= kImrNameSize,
              "IMR names fit their zero-filled fields");
