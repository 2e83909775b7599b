// Writes the IMR inertial file: the header, its data rate from the time tags inside the settings'
// window, then one record per IMU time tag inside the window that has both an angular and a linear
// measurement, in time-tag order.
#include "imr/imr_writer.h"

#include <cstring>
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

// The records go out in blocks, not one write per 32 bytes.
class RecordBlocks {
  public:
    explicit RecordBlocks(OutputFile& file) : file_(file) { records_.reserve(kRecordsPerBlock); }

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

// The records of the window, one tag after the other: each tag inside the window whose angular
// and linear measurements are both found gives one.
class WindowRecords {
  public:
    WindowRecords(VxpDataStore& store, const ImrFileSettings& settings)
        : store_(store), settings_(settings), count_(store.imu_time_count()) {
        // Delta mode needs both increment kinds; otherwise the file carries the scaled rates.
        delta_mode_ = !store.delta_theta_records().empty() && !store.delta_velocity_records().empty();
        angular_at_ = delta_mode_ ? &VxpDataStore::delta_theta_at : &VxpDataStore::scaled_gyro_at;
        linear_at_ = delta_mode_ ? &VxpDataStore::delta_velocity_at : &VxpDataStore::scaled_accel_at;
    }

    bool delta_mode() const { return delta_mode_; }

    // The next record; false after the last.
    bool next(ImrRecord& record) {
        for (; next_tag_ < count_; ++next_tag_) {
            const uint32_t i = next_tag_;
            GpsTimestamp tag{};
            if (!store_.imu_time_at(i, tag))
                return false;
            if (!settings_.window.contains(gps_seconds(tag.time_of_week, tag.week_number)))
                continue;
            SensorVector angular{};
            SensorVector linear{};
            const bool has_angular = (store_.*angular_at_)(i, angular, true);
            const bool has_linear = (store_.*linear_at_)(i, linear, true);
            if (has_angular && has_linear) {
                record = make_record(tag.time_of_week, angular, linear, settings_);
                ++next_tag_;
                return true;
            }
        }
        return false;
    }

  private:
    using Lookup = bool (VxpDataStore::*)(uint32_t, SensorVector&, bool);
    VxpDataStore& store_;
    const ImrFileSettings& settings_;
    bool delta_mode_ = false;
    Lookup angular_at_ = nullptr;
    Lookup linear_at_ = nullptr;
    uint32_t count_;
    uint32_t next_tag_ = 0;
};

}  // namespace

WriterOutcome write_imr_file(VxpDataStore& store, const ImrFileSettings& settings,
                             const WriterContext& context) {
    const std::string& file_name = settings.file_name;
    WindowRecords records(store, settings);
    ImrRecord record{};
    bool more = records.next(record);
    // Chosen times without a record give no file: one of that name keeps its bytes.
    if (!more && settings.window.bounded()) {
        WriterOutcome outcome;
        outcome.status = WriterOutcome::Status::skipped;
        outcome.file_name = file_name;
        return outcome;
    }
    const ImrHeader header = make_header(records.delta_mode(), store.imu_rate_hz(settings.window), settings);

    OutputFile file;
    if (!file.open(file_name))
        return file.failure();
    RecordBlocks output(file);

    context.messages.write("Writing inertial data to IMR file... ");

    bool ok = file.write(&header, sizeof header);
    for (; ok && more; more = records.next(record))
        ok = output.add(record);

    output.flush();
    if (!file.close()) {
        // End the progress line so the run's error message starts on a line of its own.
        context.messages.write("\n");
        return file.failure();
    }
    context.messages.line("done.");
    WriterOutcome outcome;
    outcome.file_name = file_name;
    return outcome;
}
