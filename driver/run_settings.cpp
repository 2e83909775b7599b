// The one RunSettings instance of the process and the start-up values of its constants.
#include "driver/run_settings.h"

namespace {

// The IMR header carries the value of one count: a full-scale value spread over 2^31 counts.
constexpr double kImrCountsFullScale = 2147483648.0;  // 2^31
constexpr double kImrGyroFullScale = 5000.0;          // degrees (per second)
constexpr double kImrAccelFullScale = 490.5;          // metres per second (squared), 50 g

}  // namespace

RunSettings::RunSettings()
    : imr_gyro_scale(kImrGyroFullScale / kImrCountsFullScale),
      imr_accel_scale(kImrAccelFullScale / kImrCountsFullScale) {}

RunSettings run_settings;
