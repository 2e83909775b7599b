// Writes the IMR inertial file: the header from the whole time-tag list, then one record per IMU
// time tag inside the settings' window that has both an angular and a linear measurement, in
// time-tag order.
#include "imr/imr_writer.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "imr/imr_format.h"
#include "output/output_file.h"

namespace {

// Records buffered before one fwrite: 8192 x 32 bytes = 256 KiB per write.
inline constexpr std::size_t kRecordsPerBlock = 8192;

ImrHeader make_header(bool delta_mode, double rate, const ImrFileSettings& settings) {
    ImrHeader header{};
    std::memcpy(header.signature, kImrSignature, sizeof header.signature);
    header.byte_order = kImrLittleEndian;
    header.version = kImrFormatVersion;
    header.delta_theta = delta_mode ? 1 : 0;
    header.delta_velocity = header.delta_theta;
    header.data_rate_hz = rate;
    header.gyro_scale = settings.gyro_scale;
    header.accel_scale = settings.accel_scale;
    header.time_type = kImrTimeTypeGps;
    header.time_tag_type = kImrTimeTagTypeCode;
    header.time_tag_bias = kImrTimeTagBias;
    std::memcpy(header.imu_name, kImrImuName, sizeof kImrImuName);
    std::memcpy(header.program_name, kImrProgramName, sizeof kImrProgramName);
    return header;
}

ImrRecord make_record(double time, const SensorVector& angular, const SensorVector& linear,
                      const ImrFileSettings& settings) {
    const double gyro_scale = settings.gyro_scale;
    const double accel_scale = settings.accel_scale;
    ImrRecord record{};
    record.time = time;
    record.gyro[0] = imr_count(static_cast<double>(angular.x) * kDegreesPerRadian / gyro_scale);
    record.gyro[1] = imr_count(static_cast<double>(angular.y) * kDegreesPerRadian / gyro_scale);
    record.gyro[2] = imr_count(static_cast<double>(angular.z) * kDegreesPerRadian / gyro_scale);
    record.accel[0] = imr_count(static_cast<double>(linear.x) * kMetresPerSecondSquaredPerG / accel_scale);
    record.accel[1] = imr_count(static_cast<double>(linear.y) * kMetresPerSecondSquaredPerG / accel_scale);
    record.accel[2] = imr_count(static_cast<double>(linear.z) * kMetresPerSecondSquaredPerG / accel_scale);
    return record;
}

}  // namespace

// The records go out in blocks, not one write per 32 bytes.
class ImrFileStream::Records {
  public:
    explicit Records(OutputFile& file) : file_(file) { records_.reserve(kRecordsPerBlock); }

    bool add(const ImrRecord& record) {
        records_.push_back(record);
        return records_.size() < kRecordsPerBlock || flush();
    }

    bool flush() {
        const bool ok = file_.write(records_.data(), records_.size() * sizeof(ImrRecord));
        records_.clear();
        return ok;
    }

  private:
    OutputFile& file_;
    std::vector<ImrRecord> records_;
};

ImrFileStream::ImrFileStream(const ImrFileSettings& settings, bool delta_mode, double rate_hz,
                             const WriterContext& context)
    : settings_(settings), delta_mode_(delta_mode), rate_hz_(rate_hz), context_(context) {}

ImrFileStream::~ImrFileStream() = default;

bool ImrFileStream::begin() {
    file_ = std::make_unique<OutputFile>();
    if (!file_->open(settings_.file_name))
        return false;
    records_ = std::make_unique<Records>(*file_);
    context_.messages.write("Writing inertial data to IMR file... ");
    const ImrHeader header = make_header(delta_mode_, rate_hz_, settings_);
    ok_ = file_->write(&header, sizeof header);
    return ok_;
}

bool ImrFileStream::add(const GpsTimestamp& tag, const SensorVector* delta_theta,
                        const SensorVector* delta_velocity, const SensorVector* scaled_gyro,
                        const SensorVector* scaled_accel) {
    if (!ok_)
        return false;
    const SensorVector* const angular = delta_mode_ ? delta_theta : scaled_gyro;
    const SensorVector* const linear = delta_mode_ ? delta_velocity : scaled_accel;
    if (angular == nullptr || linear == nullptr ||
        !settings_.window.contains(gps_seconds(tag.time_of_week, tag.week_number)))
        return true;
    ok_ = records_->add(make_record(tag.time_of_week, *angular, *linear, settings_));
    return ok_;
}

WriterOutcome ImrFileStream::finish() {
    if (file_ == nullptr)
        return {};
    if (records_ != nullptr)
        records_->flush();
    return close_with_progress(*file_, records_ != nullptr, context_);
}

namespace {

// The records of the window, one tag after the other: each tag inside the window whose angular
// and linear measurements are both found gives one; calls add(tag, angular, linear) for each
// until it returns false. Returns how many were found.
template <class Add>
uint64_t for_each_window_record(VxpDataStore& store, const ImrFileSettings& settings, bool delta_mode,
                                Add&& add) {
    using Lookup = bool (VxpDataStore::*)(uint32_t, SensorVector&, bool);
    const Lookup angular_at = delta_mode ? &VxpDataStore::delta_theta_at : &VxpDataStore::scaled_gyro_at;
    const Lookup linear_at = delta_mode ? &VxpDataStore::delta_velocity_at : &VxpDataStore::scaled_accel_at;
    uint64_t found = 0;
    const uint32_t count = store.imu_time_count();
    for (uint32_t i = 0; i < count; ++i) {
        GpsTimestamp tag{};
        if (!store.imu_time_at(i, tag))
            break;
        if (!settings.window.contains(gps_seconds(tag.time_of_week, tag.week_number)))
            continue;
        SensorVector angular{};
        SensorVector linear{};
        if (!(store.*angular_at)(i, angular, true) || !(store.*linear_at)(i, linear, true))
            continue;
        ++found;
        if (!add(tag, angular, linear))
            break;
    }
    return found;
}

}  // namespace

WriterOutcome write_imr_file(VxpDataStore& store, const ImrFileSettings& settings,
                             const WriterContext& context) {
    // Delta mode needs both increment kinds; otherwise the file carries the scaled rates.
    const bool delta_mode = !store.delta_theta_records().empty() && !store.delta_velocity_records().empty();
    // Chosen times without a record give no file: one of that name keeps its bytes.
    if (settings.window.bounded() &&
        for_each_window_record(store, settings, delta_mode, [](auto&&...) { return false; }) == 0) {
        WriterOutcome outcome;
        outcome.status = WriterOutcome::Status::skipped;
        outcome.file_name = settings.file_name;
        return outcome;
    }
    ImrFileStream file(settings, delta_mode, store.imu_rate_hz(settings.window), context);
    store.sensor_cursors = {};  // the lookups walk from the first tag again
    if (file.begin()) {
        for_each_window_record(
            store, settings, delta_mode,
            [&](const GpsTimestamp& tag, const SensorVector& angular, const SensorVector& linear) {
                return delta_mode ? file.add(tag, &angular, &linear, nullptr, nullptr)
                                  : file.add(tag, nullptr, nullptr, &angular, &linear);
            });
    }
    return file.finish();
}
