// NovAtel IMR inertial file: 512-byte header, then one 32-byte record per IMU time tag.
#pragma once

#include <memory>
#include <string>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "store/gps_time_window.h"
#include "store/vxp_data_store.h"

// What the run decides for the IMR file.
struct ImrFileSettings {
    std::string file_name;
    double gyro_scale;       // degrees (per second) per count of the gyro records
    double accel_scale;      // metres per second (squared) per count of the accelerometer records
    GpsTimeWindow window{};  // records of IMU time tags outside it are left out (default: none)
};

// The store's lookups advance its cursors, hence not const. A bounded window that holds no record
// writes no file and answers skipped (the caller says so); any other run writes the file, the
// header alone when the log has no record.
WriterOutcome write_imr_file(VxpDataStore& store, const ImrFileSettings& settings,
                             const WriterContext& context);

class OutputFile;

// The IMR file written while the log streams past: the header from facts gathered beforehand,
// then one record per sensor packet with a time tag inside the window and both measurements of the
// file's kind, in log order.
class ImrFileStream {
  public:
    // `delta_mode`: the file carries increments (the log has both increment kinds), else scaled
    // rates; `rate_hz`: the header's data rate.
    ImrFileStream(const ImrFileSettings& settings, bool delta_mode, double rate_hz, const WriterContext& context);
    ImrFileStream(const ImrFileStream&) = delete;
    ImrFileStream& operator=(const ImrFileStream&) = delete;
    ~ImrFileStream();

    // Creates the file and writes its header; false when the file ends there (finish() says why).
    bool begin();
    // One sensor packet's measurements under its time tag: the angular and linear ones of the
    // file's kind (increments or scaled rates). False once a write failed.
    bool add(const GpsTimestamp& tag, const SensorVector* delta_theta, const SensorVector* delta_velocity,
             const SensorVector* scaled_gyro, const SensorVector* scaled_accel);
    WriterOutcome finish();

  private:
    class Records;

    const ImrFileSettings& settings_;
    bool delta_mode_;
    double rate_hz_;
    const WriterContext& context_;
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<Records> records_;
    bool ok_ = false;
};
