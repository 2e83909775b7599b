// Writes the IMR inertial file: the header from the whole time-tag list, then one record per IMU
// time tag that has both an angular and a linear measurement, in time-tag order.
#include "imr/imr_writer.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "driver/run_settings.h"
#include "imr/imr_format.h"
#include "platform/utf8_files.h"

namespace {

// Records buffered before one fwrite: 8192 x 32 bytes = 256 KiB per write.
inline constexpr std::size_t kRecordsPerBlock = 8192;

// Samples per second: the inverse of the median interval between neighbouring time tags, so a
// tag that arrives early or late, or a dropped sample, leaves the sensor's rate as it is. With no
// positive interval, or one too small for a finite rate, it is 0.
double data_rate(const VxpDataStore& store) {
    const double interval = store.imu_median_interval();
    if (interval == std::numeric_limits<double>::max())
        return 0.0;
    const double rate = std::round(1.0 / interval);
    return std::isfinite(rate) ? rate : 0.0;
}

ImrHeader make_header(bool delta_mode, double rate) {
    ImrHeader header{};
    std::memcpy(header.signature, kImrSignature, sizeof header.signature);
    header.byte_order = kImrLittleEndian;
    header.version = kImrFormatVersion;
    header.delta_theta = delta_mode ? 1 : 0;
    header.delta_velocity = header.delta_theta;
    header.data_rate_hz = rate;
    header.gyro_scale = run_settings.imr_gyro_scale;
    header.accel_scale = run_settings.imr_accel_scale;
    header.time_type = kImrTimeTypeGps;
    header.time_tag_type = kImrTimeTagTypeCode;
    header.time_tag_bias = kImrTimeTagBias;
    std::memcpy(header.imu_name, kImrImuName, sizeof kImrImuName);
    std::memcpy(header.program_name, kImrProgramName, sizeof kImrProgramName);
    return header;
}

ImrRecord make_record(double time, const SensorVector& angular, const SensorVector& linear) {
    const double gyro_scale = run_settings.imr_gyro_scale;
    const double accel_scale = run_settings.imr_accel_scale;
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

// The open output file; remembers the first failure as an errno value.
class ImrOutput {
  public:
    explicit ImrOutput(std::FILE* file) : file_(file) { records_.reserve(kRecordsPerBlock); }
    ImrOutput(const ImrOutput&) = delete;
    ImrOutput& operator=(const ImrOutput&) = delete;
    ~ImrOutput() {
        if (file_ != nullptr)
            std::fclose(file_);
    }

    bool write(const void* data, std::size_t size) {
        if (error_ != 0)
            return false;
        errno = 0;
        if (std::fwrite(data, 1, size, file_) != size)
            error_ = errno != 0 ? errno : EIO;
        return error_ == 0;
    }

    bool add(const ImrRecord& record) {
        records_.push_back(record);
        return records_.size() < kRecordsPerBlock || flush_records();
    }

    bool flush_records() {
        const bool ok = write(records_.data(), records_.size() * sizeof(ImrRecord));
        records_.clear();
        return ok;
    }

    // Writes what is buffered and closes the file; buffered bytes that cannot reach the disk
    // (a full disk shows up here at the latest) make it fail.
    bool close() {
        flush_records();
        errno = 0;
        const int result = std::fclose(file_);
        file_ = nullptr;
        if (result != 0 && error_ == 0)
            error_ = errno != 0 ? errno : EIO;
        return error_ == 0;
    }

    int error() const { return error_; }

  private:
    std::FILE* file_;
    std::vector<ImrRecord> records_;
    int error_ = 0;
};

WriterOutcome file_error(const std::string& file_name, int error) {
    WriterOutcome outcome;
    outcome.status = WriterOutcome::Status::file_error;
    outcome.file_name = file_name;
    outcome.reason = std::strerror(error);
    return outcome;
}

}  // namespace

WriterOutcome write_imr_file(std::string file_name, VxpDataStore& store) {
    // Delta mode needs both increment kinds; otherwise the file carries the scaled rates.
    const bool delta_mode = !store.delta_theta_records().empty() && !store.delta_velocity_records().empty();
    using Lookup = bool (VxpDataStore::*)(uint32_t, SensorVector&, bool);
    const Lookup angular_at = delta_mode ? &VxpDataStore::delta_theta_at : &VxpDataStore::scaled_gyro_at;
    const Lookup linear_at = delta_mode ? &VxpDataStore::delta_velocity_at : &VxpDataStore::scaled_accel_at;
    const ImrHeader header = make_header(delta_mode, data_rate(store));

    errno = 0;
    std::FILE* file = open_file(file_name, "wb");
    if (file == nullptr)
        return file_error(file_name, errno != 0 ? errno : EIO);
    ImrOutput output(file);

    run_settings.console_log << "Writing inertial data to IMR file... ";
    flush_console_log();

    bool ok = output.write(&header, sizeof header);
    const uint32_t count = store.imu_time_count();
    for (uint32_t i = 0; ok && i < count; ++i) {
        GpsTimestamp tag{};
        if (!store.imu_time_at(i, tag))
            break;
        SensorVector angular{};
        SensorVector linear{};
        const bool has_angular = (store.*angular_at)(i, angular, true);
        const bool has_linear = (store.*linear_at)(i, linear, true);
        if (has_angular && has_linear)
            ok = output.add(make_record(tag.time_of_week, angular, linear));
    }

    if (!output.close()) {
        // End the progress line so the run's error message starts on a line of its own.
        run_settings.console_log << "\n";
        flush_console_log();
        return file_error(file_name, output.error());
    }
    run_settings.console_log << "done.\n";
    flush_console_log();
    WriterOutcome outcome;
    outcome.file_name = file_name;
    return outcome;
}
