// The IMU as text columns (<input>.imu.csv) for the GNSS/INS toolboxes that read CSV: one row per
// timed sensor sample in the window, rates and increments in SI units, each number as the
// shortest text that reads back to the same double.
#pragma once

#include <memory>
#include <string>

#include "output/writer_context.h"
#include "output/writer_outcome.h"
#include "store/gps_time_window.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

// The column groups of the file, chosen from the whole log so that every window of one log gives
// the same columns.
struct ImuCsvColumns {
    bool rates = false;       // gyro_*_rad_s, accel_*_m_s2: the log has scaled vectors
    bool increments = false;  // dtheta_*_rad, dvel_*_m_s: the log has delta vectors
};

// What the run decides for the CSV file.
struct ImuCsvSettings {
    std::string file_name;
    ImuCsvColumns columns;
    GpsTimeWindow window{};  // samples of time tags outside it are left out (default: none)
};

class OutputFile;

// The CSV file written while the log streams past: the header row, then one row per sensor packet
// with a time tag inside the window and any measurement of the file's columns, in log order; a
// measurement the packet lacks leaves its three cells empty.
class ImuCsvFileStream {
  public:
    ImuCsvFileStream(const ImuCsvSettings& settings, const WriterContext& context);
    ImuCsvFileStream(const ImuCsvFileStream&) = delete;
    ImuCsvFileStream& operator=(const ImuCsvFileStream&) = delete;
    ~ImuCsvFileStream();

    // Creates the file and writes its header row; false when the file ends there (finish() says why).
    bool begin();
    // One sensor packet's measurements under its time tag (null: not in the packet). False once a
    // write failed.
    bool add(const GpsTimestamp& tag, const SensorVector* delta_theta, const SensorVector* delta_velocity,
             const SensorVector* scaled_gyro, const SensorVector* scaled_accel);
    WriterOutcome finish();

  private:
    class Rows;

    const ImuCsvSettings& settings_;
    const WriterContext& context_;
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<Rows> rows_;
    bool ok_ = false;
};
