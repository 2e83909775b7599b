// NovAtel IMR inertial file: 512-byte header, then one 32-byte record per IMU time tag.
#pragma once

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
