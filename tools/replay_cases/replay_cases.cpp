// replay_cases: writes the crafted input logs of the replay corpus, each as <case>/<case>.vxp in the
// corpus folder given (tests/replay). Every record is built here with the log writer, so each byte
// of a crafted log is explained by this file; the simulated logs of the corpus come from vxpsim.
//
//     replay_cases <corpus folder> [case ...]      (no case: all of them)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tools/log_writer/log_writer.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

namespace {

constexpr uint16_t kWeek = 2304;                        // starts on Sunday 2024-03-03
constexpr double kTuesdayNoon = 2 * 86400.0 + 43200.0;  // 2024-03-05 12:00:00 GPS time
constexpr double kDay = 86400.0;
constexpr double kSecondsPerWeek = 604800.0;
constexpr double kLastSecondOfWeek = kSecondsPerWeek - 1.0;
constexpr uint16_t kValid = 0x0007;

// Constellation and signal identifiers of the device.
constexpr uint8_t kGps = 1, kGlonass = 2, kGalileo = 3, kSbas = 5;
constexpr uint8_t kGpsL1C = 1, kGpsL5Q = 11, kGlonassL1C = 32, kGalileoE1C = 64, kGalileoE5aQ = 81,
                  kSbasL1C = 96;
constexpr double kL1WavelengthM = 0.19029367279836488;

uint8_t receiver_set(int receiver) {
    return static_cast<uint8_t>(VXP_SET_GNSS_FIRST + receiver);
}

// A tracked signal: constellation, satellite and signal identifiers.
struct Signal {
    uint8_t system, satellite, signal;
};

// An observation of a satellite at a steady range rate, `elapsed` seconds after the log's first
// epoch, so that values change from epoch to epoch as a receiver's do (phase in L1 cycles).
RawObservation observation(double tow, uint16_t week, double elapsed, const Signal& s) {
    const double range_rate = (s.satellite * 5 % 11 - 5.5) * 97.5;  // m/s, never 0
    RawObservation o{};
    o.time_of_week = tow;
    o.week_number = week;
    o.gnss_id = s.system;
    o.satellite_id = s.satellite;
    o.signal_id = s.signal;
    o.signal_strength = 38.0f + static_cast<float>(s.satellite % 12);
    o.pseudorange = 20000000.0 + s.satellite * 187654.321 + s.signal * 1.25 + elapsed * range_rate;
    o.carrier_phase = o.pseudorange / kL1WavelengthM;
    o.doppler = static_cast<float>(-range_rate / kL1WavelengthM);
    o.valid_flags = 0xFFFF;
    return o;
}

// A crafted log: each record in a packet of its own, as a device sends it when it comes, but the
// observations of an epoch packed together.
class CraftedLog {
  public:
    template <class Record>
    CraftedLog& add(uint8_t set, uint8_t descriptor, const Record& record, VxpLogWriter::Encoder encode) {
        writer_.begin(set);
        writer_.field(descriptor, record, encode);
        writer_.finish();
        return *this;
    }
    // Observations of one epoch, packed into as few packets as fit.
    CraftedLog& epoch(int receiver, double tow, uint16_t week, const std::vector<Signal>& signals) {
        const double time = week * kSecondsPerWeek + tow;
        if (first_epoch_ < 0)
            first_epoch_ = time;
        writer_.begin(receiver_set(receiver));
        for (const Signal& s : signals) {
            const RawObservation o = observation(tow, week, time - first_epoch_, s);
            if (writer_.room() < sizeof o)
                writer_.begin(receiver_set(receiver));
            writer_.field(VXP_GNSS_FIELD_RAW_OBSERVATION, o, vxp_decode_raw_observation);
        }
        writer_.finish();
        return *this;
    }
    CraftedLog& leap_seconds(int receiver, uint8_t seconds) {
        const GnssLeapSeconds record{seconds, kValid};
        return add(receiver_set(receiver), VXP_GNSS_FIELD_LEAP_SECONDS, record, vxp_decode_leap_seconds);
    }
    VxpLogWriter& writer() { return writer_; }

  private:
    VxpLogWriter writer_;
    double first_epoch_ = -1.0;
};

// A GPS or Galileo ephemeris of plausible values; satellites differ in the plane and phase of
// their orbits.
GpsEphemeris kepler_ephemeris(uint8_t satellite, double toe, double sqrt_a) {
    GpsEphemeris e{};
    e.time_of_week = toe + 18.0;
    e.week_number = kWeek;
    e.valid_flags = 0xFFFF;
    e.satellite_id = satellite;
    e.iodc = e.iode = 45;
    e.t_oc = e.t_oe = toe;
    e.af0 = 1.234567890123e-04;
    e.af1 = -2.501110429876e-12;
    e.t_gd = -1.396983861923e-08;
    e.a = sqrt_a * sqrt_a;
    e.mean_anomaly = 1.047197551197 - 0.1 * satellite;
    e.delta_mean_motion = 4.512345678912e-09;
    e.eccentricity = 1.234567890123e-02;
    e.argument_of_perigee = 5.235987755983e-01;
    e.right_ascension = -2.094395102393e+00 + 0.05 * satellite;
    e.right_ascension_rate = -8.123456789012e-09;
    e.inclination = 9.599310885969e-01;
    e.inclination_rate = 1.250052071005e-10;
    e.cic = 1.303851604462e-08;
    e.cis = -3.166496753693e-08;
    e.cuc = 2.341344952583e-06;
    e.cus = 7.964670658112e-06;
    e.crc = 2.184375000000e+02;
    e.crs = 4.790625000000e+01;
    return e;
}

// A GLONASS ephemeris stamped at `stamp_tow` of `week`, with its reference time tb and frame
// start tk in Moscow time of day (seconds).
GlonassEphemeris glonass_ephemeris(uint8_t slot, int8_t frequency, double stamp_tow, uint16_t week,
                                   uint32_t tb, uint32_t tk) {
    GlonassEphemeris e{};
    e.time_of_week = stamp_tow;
    e.week_number = week;
    e.valid_flags = 0xFFFF;
    e.satellite_id = slot;
    e.frequency_number = frequency;
    e.tb = tb;
    e.tk = tk;
    e.gamma = 9.094947017729e-13;
    e.tau_n = -3.241654485464e-05;
    e.x = 1.1975332519531e+07 + slot * 1.0e5;
    e.y = -2.1412841308594e+07;
    e.z = 6.4932250976562e+06;
    e.vx = 5.1499462127686e+02f;
    e.vy = -7.3146438598633e+02f;
    e.vz = -3.4766235351562e+03f;
    e.ax = 9.3132257461548e-07f;
    e.ay = -1.8626451492310e-06f;
    e.az = 0.0f;
    return e;
}

BaseStationInfo site(double tow, uint16_t station, double x, double y, double z, float antenna_height) {
    // Time, week, ECEF position, antenna height, station, spare, valid flags.
    return BaseStationInfo{tow, kWeek, x, y, z, antenna_height, station, 0, kValid};
}

// Receiver 2's epochs of GPS 3 and 17 every `step` seconds from noon, each base-station record
// before the first epoch at or after its time.
void fixed_site_log(CraftedLog& log, std::span<const BaseStationInfo> records, int epochs, double step) {
    std::size_t written = 0;
    for (int k = 0; k < epochs; ++k) {
        const double t = kTuesdayNoon + step * k;
        for (; written < records.size() && records[written].time_of_week <= t; ++written)
            log.add(VXP_SET_GNSS_BASE, VXP_GNSS_FIELD_BASE_STATION, records[written],
                    vxp_decode_base_station_info);
        log.epoch(2, t, kWeek, {{kGps, 3, kGpsL1C}, {kGps, 17, kGpsL1C}});
    }
}

// Base station 7 with a 12.3456 m antenna; then station 8 (2.25 m), repeated unchanged; then
// station 8 moved, with a -1.2345 m antenna, in a last record that no record follows.
void antenna_heights(CraftedLog& log) {
    const double t0 = kTuesdayNoon;
    const BaseStationInfo records[] = {
        site(t0, 7, 4331297.3456, 567555.6398, 4633133.7123, 12.3456f),
        site(t0 + 60.0, 8, 4331301.0001, 567560.2525, 4633128.5, 2.25f),
        site(t0 + 90.0, 8, 4331301.0001, 567560.2525, 4633128.5, 2.25f),
        site(t0 + 130.0, 8, -4331297.75, -567555.125, -4633133.0625, -1.2345f),
    };
    fixed_site_log(log, records, 6, 30.0);
}

// Base station 7 over one mark: the antenna set up again 0.12 m higher after 20 s, then station 7
// unchanged; only the height tells the two occupations apart.
void antenna_height_change(CraftedLog& log) {
    const double t0 = kTuesdayNoon;
    const BaseStationInfo records[] = {
        site(t0, 7, 4331297.3456, 567555.6398, 4633133.7123, 1.5f),
        site(t0 + 20.0, 7, 4331297.3456, 567555.6398, 4633133.7123, 1.62f),
        site(t0 + 30.0, 7, 4331297.3456, 567555.6398, 4633133.7123, 1.62f),
    };
    fixed_site_log(log, records, 5, 10.0);
}

// Time of week of a whole millisecond as the device writes it: the nearest double to the decimal
// value (216000.601 is 216000.60099999999).
double whole_milliseconds(int64_t milliseconds) {
    return static_cast<double>(milliseconds) / 1000.0;
}

// Receiver 0 at 5 Hz for two seconds from noon, and 1 kHz inertial samples in bursts around
// 12:00:00.4 and 12:00:01.6, the edges of the window the case cuts. Each sample's time is its own
// sensor time field; its gyro x counts the milliseconds after noon.
void five_hertz_one_kilohertz(CraftedLog& log) {
    const int64_t noon = static_cast<int64_t>(kTuesdayNoon) * 1000;
    for (int64_t ms = 0; ms <= 2000; ms += 200)
        log.epoch(0, whole_milliseconds(noon + ms), kWeek, {{kGps, 3, kGpsL1C}, {kGps, 17, kGpsL1C}});
    for (int64_t burst : {400, 1600}) {
        for (int64_t ms = burst - 10; ms <= burst + 10; ++ms) {
            const GpsTimestamp time{whole_milliseconds(noon + ms), kWeek, kValid};
            const SensorVector gyro{0.001f * static_cast<float>(ms), -0.5f, 0.0625f};
            const SensorVector accel{0.01f, -0.02f, -1.0f};
            VxpLogWriter& w = log.writer();
            w.begin(VXP_SET_SENSOR);
            w.field(VXP_SENSOR_FIELD_TIME, time, vxp_decode_gps_timestamp);
            w.field(VXP_SENSOR_FIELD_SCALED_GYRO, gyro, vxp_decode_sensor_vector);
            w.field(VXP_SENSOR_FIELD_SCALED_ACCEL, accel, vxp_decode_sensor_vector);
            w.finish();
        }
    }
}

// Ephemerides and observations of the highest satellite numbers, GPS 32 and Galileo 36, beside
// GPS 1 and Galileo 1.
void g32_e36(CraftedLog& log) {
    log.leap_seconds(0, 18);
    for (int k = 0; k < 3; ++k) {
        const double t = kTuesdayNoon + k;
        log.epoch(0, t, kWeek,
                  {{kGps, 1, kGpsL1C},
                   {kGps, 32, kGpsL1C},
                   {kGalileo, 1, kGalileoE1C},
                   {kGalileo, 36, kGalileoE1C}});
    }
    for (uint8_t satellite : {32, 1})
        log.add(receiver_set(0), VXP_GNSS_FIELD_GPS_EPHEMERIS,
                kepler_ephemeris(satellite, kTuesdayNoon, 5153.71), vxp_decode_gps_ephemeris);
    for (uint8_t satellite : {36, 1})
        log.add(receiver_set(0), VXP_GNSS_FIELD_GALILEO_EPHEMERIS,
                kepler_ephemeris(satellite, kTuesdayNoon - 600.0, 5440.59), vxp_decode_gps_ephemeris);
}

// One SBAS satellite (no RINEX letter) observed among GPS satellites.
void sbas_among_gps(CraftedLog& log) {
    for (int k = 0; k < 3; ++k) {
        const double t = kTuesdayNoon + 5.0 * k;
        log.epoch(0, t, kWeek,
                  {{kGps, 5, kGpsL1C}, {kSbas, 133, kSbasL1C}, {kGps, 12, kGpsL1C}, {kGps, 12, kGpsL5Q}});
    }
}

// One epoch of receiver 1, dual-frequency GPS and Galileo: the file name cannot give a rate.
void single_epoch(CraftedLog& log) {
    std::vector<Signal> signals;
    for (uint8_t satellite : {2, 6, 19, 25})
        signals.insert(signals.end(), {{kGps, satellite, kGpsL1C}, {kGps, satellite, kGpsL5Q}});
    for (uint8_t satellite : {4, 11})
        signals.insert(signals.end(),
                       {{kGalileo, satellite, kGalileoE1C}, {kGalileo, satellite, kGalileoE5aQ}});
    log.epoch(1, kTuesdayNoon, kWeek, signals);
}

// GLONASS ephemerides whose times of day in Moscow time (UTC + 3 h) lie on another UTC day or
// week than their time stamps, and observations across the week change.
void glonass_times(CraftedLog& log) {
    const GlonassEphemeris records[] = {
        // Monday: frame from 23:50 Moscow time, reference 00:15 Moscow time (21:15 UTC).
        glonass_ephemeris(1, 1, kDay + 76320.0, kWeek, 900, 85800),
        // Monday 23:56 UTC: frame from 02:55 Moscow time, reference 03:15 (00:15 UTC, Tuesday).
        glonass_ephemeris(2, -4, kDay + 86160.0, kWeek, 11700, 10500),
        // The same on Saturday: the reference falls in the next week, the frame before it.
        glonass_ephemeris(3, 5, 6 * kDay + 86160.0, kWeek, 11700, 10500),
        // Sunday 00:01 stamp of last week's 23:45 reference, frames from 23:40 and from 00:05 UTC.
        glonass_ephemeris(4, -7, 60.0, kWeek + 1, 9900, 9600),
        glonass_ephemeris(5, 0, 60.0, kWeek + 1, 9900, 11100),
    };
    for (const GlonassEphemeris& e : records)
        log.add(receiver_set(0), VXP_GNSS_FIELD_GLONASS_EPHEMERIS, e, vxp_decode_glonass_ephemeris);
    const std::pair<double, uint16_t> times[] = {
        {kLastSecondOfWeek - 1.0, kWeek}, {kLastSecondOfWeek, kWeek}, {0.0, kWeek + 1}, {1.0, kWeek + 1}};
    for (const auto& [tow, week] : times) {
        std::vector<Signal> signals;
        for (uint8_t slot = 1; slot <= 5; ++slot)
            signals.push_back({kGlonass, slot, kGlonassL1C});
        log.epoch(0, tow, week, signals);
    }
}

// Inertial packets (set 0x80) at 100 Hz from 1000 s of the week, each with the time fields named:
// the shared 0xD3 field, the sensor's own 0x12 field only, both (the 0x12 time then 500 s earlier),
// or none. Each timed sample's gyro x names it; the untimed samples have gyro x 99.
enum class Tags { shared, own, both, none };

void inertial_packets(CraftedLog& log, std::initializer_list<Tags> packets) {
    int k = 0;
    for (const Tags tags : packets) {
        const double tow = 1000.0 + 0.01 * static_cast<double>(k);
        const GpsTimestamp time{tags == Tags::both ? tow - 500.0 : tow, kWeek, kValid};
        const GpsTimestamp shared_time{tow, kWeek, kValid};
        const float name = tags == Tags::none ? 99.0f : 0.125f * static_cast<float>(++k);
        const SensorVector gyro{name, -0.5f, 0.0625f};
        const SensorVector accel{0.01f, -0.02f, -1.0f};
        VxpLogWriter& w = log.writer();
        w.begin(VXP_SET_SENSOR);
        if (tags == Tags::own || tags == Tags::both)
            w.field(VXP_SENSOR_FIELD_TIME, time, vxp_decode_gps_timestamp);
        w.field(VXP_SENSOR_FIELD_SCALED_GYRO, gyro, vxp_decode_sensor_vector);
        w.field(VXP_SENSOR_FIELD_SCALED_ACCEL, accel, vxp_decode_sensor_vector);
        if (tags == Tags::shared || tags == Tags::both)
            w.field(VXP_FIELD_SHARED_TIME, shared_time, vxp_decode_gps_timestamp);
        w.finish();
    }
}

// Ten samples whose packets mix the kinds of time field, and two packets without a time field.
void mixed_inertial_tags(CraftedLog& log) {
    using enum Tags;
    inertial_packets(log, {shared, own, shared, none, own, shared, both, both, own, none, own, shared});
}

// Ten samples with the sensor's own time field, and two packets without a time field among them.
void untimed_inertial_packets(CraftedLog& log) {
    using enum Tags;
    inertial_packets(log, {own, own, own, none, own, own, own, own, none, own, own, own});
}

// Inertial samples at 100 Hz for 2 s from noon, then at 200 Hz for 0.5 s.
void inertial_rate_change(CraftedLog& log) {
    for (int k = 0; k < 300; ++k) {
        const double tow = kTuesdayNoon + (k < 200 ? 0.01 * k : 2.0 + 0.005 * (k - 200));
        const SensorVector gyro{0.001f * static_cast<float>(k), -0.5f, 0.0625f};
        const SensorVector accel{0.01f, -0.02f, -1.0f};
        VxpLogWriter& w = log.writer();
        w.begin(VXP_SET_SENSOR);
        w.field(VXP_SENSOR_FIELD_TIME, GpsTimestamp{tow, kWeek, kValid}, vxp_decode_gps_timestamp);
        w.field(VXP_SENSOR_FIELD_SCALED_GYRO, gyro, vxp_decode_sensor_vector);
        w.field(VXP_SENSOR_FIELD_SCALED_ACCEL, accel, vxp_decode_sensor_vector);
        w.finish();
    }
}

// Sensor packets at 100 Hz from noon with every combination the IMU CSV file meets: both shapes,
// one shape, one vector alone, no sensor vector (field 0x06 only), no time field, the shared time
// field, values that are no number or at the ends of the float range (packet 8), a week change
// (packet 9). The x value of each vector present names its packet k: k / 8.
void imu_csv_shapes(CraftedLog& log) {
    enum : uint8_t { gyro = 1, accel = 2, theta = 4, velocity = 8, v06 = 16, own = 32, shared = 64 };
    const uint8_t packets[] = {gyro | accel | theta | velocity | own,
                               theta | velocity | own,
                               gyro | accel | shared,
                               gyro | own,
                               velocity | own,
                               v06 | own,
                               gyro | accel | theta | velocity,
                               gyro | accel | theta | velocity | own,
                               gyro | accel | theta | velocity | own};
    for (int k = 1; k <= 9; ++k) {
        const uint8_t p = packets[k - 1];
        const GpsTimestamp time = k == 9 ? GpsTimestamp{0.0, kWeek + 1, kValid}
                                         : GpsTimestamp{kTuesdayNoon + 0.01 * k, kWeek, kValid};
        const float x = 0.125f * static_cast<float>(k);
        const SensorVector special_gyro{NAN, INFINITY, -0.0f}, special_accel{3.4028235e38f, 1.0e-45f, 0.1f};
        const std::pair<uint8_t, SensorVector> fields[] = {
            {VXP_SENSOR_FIELD_SCALED_ACCEL, k == 8 ? special_accel : SensorVector{x, -0.02f, -1.0f}},
            {VXP_SENSOR_FIELD_SCALED_GYRO, k == 8 ? special_gyro : SensorVector{x, -0.5f, 0.0625f}},
            {VXP_SENSOR_FIELD_DELTA_THETA, {x, 1.0e-5f, -2.5e-4f}},
            {VXP_SENSOR_FIELD_DELTA_VELOCITY, {x, 0.001f, -0.0098f}},
            {VXP_SENSOR_FIELD_VECTOR06, {x, 0, 0}}};
        const uint8_t kinds[] = {accel, gyro, theta, velocity, v06};
        VxpLogWriter& w = log.writer();
        w.begin(VXP_SET_SENSOR);
        if ((p & own) != 0)
            w.field(VXP_SENSOR_FIELD_TIME, time, vxp_decode_gps_timestamp);
        for (std::size_t f = 0; f < std::size(fields); ++f) {
            if ((p & kinds[f]) != 0)
                w.field(fields[f].first, fields[f].second, vxp_decode_sensor_vector);
        }
        if ((p & shared) != 0)
            w.field(VXP_FIELD_SHARED_TIME, time, vxp_decode_gps_timestamp);
        w.finish();
    }
}

struct Case {
    const char* name;
    void (*build)(CraftedLog&);
};

constexpr Case kCases[] = {
    {"antenna_heights", antenna_heights},
    {"g32_e36", g32_e36},
    {"sbas_among_gps", sbas_among_gps},
    {"single_epoch", single_epoch},
    {"glonass_times", glonass_times},
    {"mixed_inertial_tags", mixed_inertial_tags},
    {"antenna_height_change", antenna_height_change},
    {"window_edges", five_hertz_one_kilohertz},
    {"untimed_inertial_packets", untimed_inertial_packets},
    {"inertial_rate_change", inertial_rate_change},
    {"imu_csv_shapes", imu_csv_shapes},
};

bool wanted(const char* name, int argc, char** argv) {
    if (argc <= 2)
        return true;
    for (int i = 2; i < argc; ++i)
        if (std::string(argv[i]) == name)
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: replay_cases <corpus folder> [case ...]\n", stderr);
        return 2;
    }
    int status = 0;
    for (const Case& c : kCases) {
        if (!wanted(c.name, argc, argv))
            continue;
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / c.name;
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        CraftedLog log;
        c.build(log);
        const std::string path = (folder / (std::string(c.name) + ".vxp")).string();
        if (!log.writer().write_file(path)) {
            std::fprintf(stderr, "replay_cases: cannot write %s\n", path.c_str());
            status = 1;
        }
    }
    return status;
}
