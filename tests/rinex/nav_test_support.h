// Helpers of the navigation writer tests: realistic ephemerides (values of a real 2018 broadcast
// set, in the units the device records), small logs built packet by packet and loaded through the
// store, a working directory of the test's own and a fixed creation date.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "rinex/gnss_time.h"
#include "store/vxp_data_store.h"
#include "tests/support/lines.h"
#include "tests/support/log_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"

namespace nav_test {

// 2018-07-29 (Sunday) starts GPS week 2012.
inline constexpr uint16_t kWeek = 2012;
inline constexpr uint8_t kReceiver0Set = 0x91;
// Creation date of every file written by the tests: 2018-07-31 01:20:00 UTC.
inline constexpr std::time_t kCreationTime = 1533000000;
inline constexpr const char* kCreationStamp = "20180731 012000 UTC";
// First observation at 10:20:00 of day 210 gives this navigation file name for receiver 0.
inline constexpr double kFirstObservationTime = 37200.0;
inline constexpr const char* kNavName0 = "QRV_00USA_R_20182101020_00U_MN.rnx";

inline std::time_t fixed_creation_time() {
    return kCreationTime;
}

// G01 of the 10:00 set: every field filled as the device records it.
inline GpsEphemeris gps_g01() {
    GpsEphemeris e{};
    e.time_of_week = 36018.0;
    e.week_number = kWeek;
    e.valid_flags = 0xFFFF;
    e.satellite_id = 1;
    e.health = 0;
    e.iodc = 29;
    e.iode = 29;
    e.t_oc = 36000.0;
    e.af0 = -7.068132981658e-05;
    e.af1 = -3.979039320257e-12;
    e.af2 = 0.0;
    e.t_gd = 5.587935447693e-09;
    e.t_oe = 36000.0;
    e.a = 5.153670604706e+03 * 5.153670604706e+03;
    e.mean_anomaly = -2.286630911264e+00;
    e.delta_mean_motion = 4.199817796412e-09;
    e.eccentricity = 8.032060693949e-03;
    e.argument_of_perigee = 6.708528803095e-01;
    e.right_ascension = 2.409406136980e+00;
    e.right_ascension_rate = -8.028548706994e-09;
    e.inclination = 9.721222372503e-01;
    e.inclination_rate = -3.003696544589e-10;
    e.cic = 0.0;
    e.cis = -4.656612873077e-08;
    e.cuc = -5.600973963737e-06;
    e.cus = 4.291534423828e-06;
    e.crc = 3.025312500000e+02;
    e.crs = -1.100000000000e+02;
    return e;
}

// E02 of the 10:10 I/NAV set; Galileo fields the file does not carry are filled all the same.
inline GalileoEphemeris galileo_e02() {
    GalileoEphemeris e{};
    e.time_of_week = 37266.0;
    e.week_number = kWeek;
    e.valid_flags = 0xFFFF;
    e.satellite_id = 2;
    e.health = 7;
    e.iodc = 99;
    e.iode = 61;
    e.t_oc = 36600.0;
    e.af0 = 2.137362025678e-05;
    e.af1 = 1.449507180951e-12;
    e.af2 = 0.0;
    e.t_gd = -6.519258022308e-09;
    e.t_oe = 36600.0;
    e.a = 5.440611375809e+03 * 5.440611375809e+03;
    e.mean_anomaly = -1.911310822362e+00;
    e.delta_mean_motion = 2.615108929784e-09;
    e.eccentricity = 8.289073593915e-05;
    e.argument_of_perigee = -2.554462523755e+00;
    e.right_ascension = -9.984853888671e-02;
    e.right_ascension_rate = -5.108784229941e-09;
    e.inclination = 9.925029492288e-01;
    e.inclination_rate = -4.071598169835e-10;
    e.cic = 2.235174179077e-08;
    e.cis = 7.450580596924e-08;
    e.cuc = 1.648440957069e-06;
    e.cus = 1.183897256851e-05;
    e.crc = 1.009687500000e+02;
    e.crs = 3.437500000000e+01;
    return e;
}

// R05 of the 10:15 UTC set (13:15 Moscow time) in the frame that began at 13:10 Moscow time,
// recorded at 10:10:18 GPS time. Position, velocity and acceleration are whole multiples of the
// broadcast resolutions, as received.
inline GlonassEphemeris glonass_r05() {
    GlonassEphemeris e{};
    e.time_of_week = 36618.0;
    e.week_number = kWeek;
    e.valid_flags = 0xFFFF;
    e.satellite_id = 5;
    e.frequency_number = 1;
    e.tk = 47400;
    e.tb = 47700;
    e.gamma = -5.456968210638e-12;
    e.tau_n = 4.777032881975e-05;
    e.x = -13618687.98828125;
    e.y = -16463217.28515625;
    e.z = 13940075.68359375;
    e.vx = -792.8714599609375f;
    e.vy = -1739.23486328125f;
    e.vz = -2826.8203125f;
    e.ax = -1.862645149231e-06f;
    e.ay = -9.313225746155e-07f;
    e.az = -2.793967723846e-06f;
    e.health = 0;
    e.age = 0;
    return e;
}

// The records of the three sets above as the file must hold them.
inline const std::vector<std::string> kG01Lines = {
    "G01 2018 07 29 10 00 00-7.068132981658e-05-3.979039320257e-12 0.000000000000e+00",
    "     2.900000000000e+01-1.100000000000e+02 4.199817796412e-09-2.286630911264e+00",
    "    -5.600973963737e-06 8.032060693949e-03 4.291534423828e-06 5.153670604706e+03",
    "     3.600000000000e+04 0.000000000000e+00 2.409406136980e+00-4.656612873077e-08",
    "     9.721222372503e-01 3.025312500000e+02 6.708528803095e-01-8.028548706994e-09",
    "    -3.003696544589e-10 2.000000000000e+00 2.012000000000e+03 0.000000000000e+00",
    "     2.000000000000e+00 0.000000000000e+00 5.587935447693e-09 2.900000000000e+01",
    "     9.999999999990e+08 ",
};
inline const std::vector<std::string> kE02Lines = {
    "E02 2018 07 29 10 10 00 2.137362025678e-05 1.449507180951e-12 0.000000000000e+00",
    "     6.100000000000e+01 3.437500000000e+01 2.615108929784e-09-1.911310822362e+00",
    "     1.648440957069e-06 8.289073593915e-05 1.183897256851e-05 5.440611375809e+03",
    "     3.660000000000e+04 2.235174179077e-08-9.984853888671e-02 7.450580596924e-08",
    "     9.925029492288e-01 1.009687500000e+02-2.554462523755e+00-5.108784229941e-09",
    "    -4.071598169835e-10 5.140000000000e+02 2.012000000000e+03                   ",
    "     2.000000000000e+00 0.000000000000e+00 0.000000000000e+00 0.000000000000e+00",
    "     9.999999999990e+08 ",
};
inline const std::vector<std::string> kR05Lines = {
    "R05 2018 07 29 10 15 00-4.777032881975e-05-5.456968210638e-12 3.660000000000e+04",
    "    -1.361868798828e+04-7.928714599609e-01-1.862645149231e-09 0.000000000000e+00",
    "    -1.646321728516e+04-1.739234863281e+00-9.313225746155e-10 1.000000000000e+00",
    "     1.394007568359e+04-2.826820312500e+00-2.793967723846e-09 0.000000000000e+00",
};

inline RawObservation observation(double time_of_week, uint16_t week = kWeek) {
    return make_observation(time_of_week, week, 0, 1, 0, {.pseudorange = 2.2e7});
}

// A log of one receiver built packet by packet: one raw observation first (it dates the file
// name), then the navigation records in the order added, one field per packet.
class NavLog {
  public:
    explicit NavLog(uint8_t descriptor_set = kReceiver0Set) : set_(descriptor_set) {
        add(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(kFirstObservationTime), vxp_decode_raw_observation);
    }
    NavLog& gps(const GpsEphemeris& e) {
        return add(VXP_GNSS_FIELD_GPS_EPHEMERIS, e, vxp_decode_gps_ephemeris);
    }
    NavLog& galileo(const GalileoEphemeris& e) {
        return add(VXP_GNSS_FIELD_GALILEO_EPHEMERIS, e, vxp_decode_gps_ephemeris);
    }
    NavLog& glonass(const GlonassEphemeris& e) {
        return add(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, e, vxp_decode_glonass_ephemeris);
    }
    NavLog& gps_iono(const GpsIonoCorrection& c) {
        return add(VXP_GNSS_FIELD_GPS_IONO, c, vxp_decode_gps_iono);
    }
    NavLog& galileo_iono(const GalileoIonoCorrection& c) {
        return add(VXP_GNSS_FIELD_GALILEO_IONO, c, vxp_decode_galileo_iono);
    }

    // Writes the log into the current directory and loads it into a new store.
    std::unique_ptr<VxpDataStore> load() {
        const std::string path = "nav_test_input.bin";
        auto store = std::make_unique<VxpDataStore>();
        EXPECT_TRUE(load_log(writer_, *store, path));
        std::filesystem::remove(path);
        return store;
    }

  private:
    template <class Record>
    NavLog& add(uint8_t descriptor, const Record& record, VxpLogWriter::Encoder encode) {
        EXPECT_TRUE(add_packet(writer_, set_, descriptor, record, encode));
        return *this;
    }

    uint8_t set_;
    VxpLogWriter writer_;
};

// Runs a test inside a working directory of its own (the writer creates its file in the current
// directory) with the fixed creation date; restores both afterwards.
class ScratchDirectory : public WorkingDirectory {
  public:
    ScratchDirectory() { set_creation_time_source(fixed_creation_time); }
    ~ScratchDirectory() { set_creation_time_source(nullptr); }
};

}  // namespace nav_test
