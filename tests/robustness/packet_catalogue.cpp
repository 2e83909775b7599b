// Packets of every kind the store files: the field kinds of each descriptor set with their record
// sizes and encoders, random packets from them, and small realistic logs.
#include "packet_catalogue.h"

#include <span>

#include "tests/support/log_fixtures.h"
#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

namespace robustness {
namespace {

struct FieldKind {
    uint8_t descriptor;
    std::size_t size;
    VxpLogWriter::Encoder encode;
};

constexpr FieldKind kSensorFields[] = {
    {VXP_SENSOR_FIELD_TIME, sizeof(GpsTimestamp), vxp_decode_gps_timestamp},
    {VXP_FIELD_SHARED_TIME, sizeof(GpsTimestamp), vxp_decode_gps_timestamp},
    {VXP_SENSOR_FIELD_SCALED_ACCEL, sizeof(SensorVector), vxp_decode_sensor_vector},
    {VXP_SENSOR_FIELD_SCALED_GYRO, sizeof(SensorVector), vxp_decode_sensor_vector},
    {VXP_SENSOR_FIELD_VECTOR06, sizeof(SensorVector), vxp_decode_sensor_vector},
    {VXP_SENSOR_FIELD_DELTA_THETA, sizeof(SensorVector), vxp_decode_sensor_vector},
    {VXP_SENSOR_FIELD_DELTA_VELOCITY, sizeof(SensorVector), vxp_decode_sensor_vector},
    {VXP_SENSOR_FIELD_SCALAR17, sizeof(SensorScalar17), vxp_decode_sensor_scalar17},
};

constexpr FieldKind kGnssFields[] = {
    {VXP_GNSS_FIELD_TIME, sizeof(GpsTimestamp), vxp_decode_gps_timestamp},
    {VXP_FIELD_SHARED_TIME, sizeof(GpsTimestamp), vxp_decode_gps_timestamp},
    {VXP_GNSS_FIELD_RECORD03, sizeof(GnssRecord03), vxp_decode_gnss_record03},
    {VXP_GNSS_FIELD_RECORD04, sizeof(GnssRecord04), vxp_decode_gnss_record04},
    {VXP_GNSS_FIELD_RECORD05, sizeof(GnssRecord05), vxp_decode_gnss_record05},
    {VXP_GNSS_FIELD_RECORD06, sizeof(GnssRecord06), vxp_decode_gnss_record06},
    {VXP_GNSS_FIELD_RECORD07, sizeof(GnssRecord07), vxp_decode_gnss_record07},
    {VXP_GNSS_FIELD_RECORD08, sizeof(GnssRecord08), vxp_decode_gnss_record08},
    {VXP_GNSS_FIELD_RECORD0A, sizeof(GnssRecord0A), vxp_decode_gnss_record0A},
    {VXP_GNSS_FIELD_RECORD0B, sizeof(GnssRecord0B), vxp_decode_gnss_record0B},
    {VXP_GNSS_FIELD_RECORD0D, sizeof(GnssRecord0D), vxp_decode_gnss_record0D},
    {VXP_GNSS_FIELD_LEAP_SECONDS, sizeof(GnssLeapSeconds), vxp_decode_leap_seconds},
    {VXP_GNSS_FIELD_RAW_OBSERVATION, sizeof(RawObservation), vxp_decode_raw_observation},
    {VXP_GNSS_FIELD_RAW_OBSERVATION, sizeof(RawObservation), vxp_decode_raw_observation},
    {VXP_GNSS_FIELD_BASE_STATION, sizeof(BaseStationInfo), vxp_decode_base_station_info},
    {VXP_GNSS_FIELD_GPS_EPHEMERIS, sizeof(GpsEphemeris), vxp_decode_gps_ephemeris},
    {VXP_GNSS_FIELD_GLONASS_EPHEMERIS, sizeof(GlonassEphemeris), vxp_decode_glonass_ephemeris},
    {VXP_GNSS_FIELD_GALILEO_EPHEMERIS, sizeof(GalileoEphemeris), vxp_decode_gps_ephemeris},
    {VXP_GNSS_FIELD_GPS_IONO, sizeof(GpsIonoCorrection), vxp_decode_gps_iono},
    {VXP_GNSS_FIELD_GALILEO_IONO, sizeof(GalileoIonoCorrection), vxp_decode_galileo_iono},
};

constexpr FieldKind kFilterFields[] = {
    {VXP_FILTER_FIELD_TIME, sizeof(GpsTimestamp), vxp_decode_gps_timestamp},
    {VXP_FIELD_SHARED_TIME, sizeof(GpsTimestamp), vxp_decode_gps_timestamp},
    {VXP_FILTER_FIELD_RECORD10, sizeof(FilterRecord10), vxp_decode_filter_record10},
    {VXP_FILTER_FIELD_RECORD01, sizeof(FilterRecord01), vxp_decode_filter_record01},
    {VXP_FILTER_FIELD_VECTOR02, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x05, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x06, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x07, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x08, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x09, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x0A, sizeof(FilterVector), vxp_decode_filter_vector},
    {0x0B, sizeof(FilterVector), vxp_decode_filter_vector},
    {VXP_FILTER_FIELD_VECTOR0C, sizeof(FilterVector), vxp_decode_filter_vector},
};

// Random record bytes below this many in one packet could repeat within a log.
constexpr std::size_t kMinRandomBytesPerPacket = 8;
constexpr int kMaxFieldsPerPacket = 4;

std::span<const FieldKind> fields_of(uint8_t descriptor_set) {
    if (descriptor_set == VXP_SET_SENSOR)
        return kSensorFields;
    if (descriptor_set == VXP_SET_FILTER)
        return kFilterFields;
    return kGnssFields;
}

constexpr uint16_t kWeek = 2300;  // 2024-02-04 .. 2024-02-10
constexpr uint16_t kAllValid = 0xFFFF;
constexpr uint8_t kGps = 1;
constexpr uint8_t kGalileo = 3;
constexpr uint8_t kGpsL1CA = 1;
constexpr uint8_t kGalileoE1C = 64;
constexpr uint8_t kLeapSeconds = 18;
constexpr double kFirstEpoch = 100800.0;
constexpr double kImuInterval = 0.005;
constexpr int kImuSamplesPerEpoch = 4;
constexpr uint8_t kFilterVector05 = 0x05;

GpsTimestamp timestamp(double time_of_week) {
    return time_tag(time_of_week, kWeek, kAllValid);
}

RawObservation observation(uint8_t gnss_id, uint8_t satellite, uint8_t signal, double time_of_week) {
    return make_observation(time_of_week, kWeek, gnss_id, satellite, signal,
                            {.pseudorange = 21000000.0 + 1000.0 * satellite + time_of_week,
                             .carrier_phase = 110000000.25 + 5000.0 * satellite,
                             .doppler = -1200.5f + satellite,
                             .signal_strength = 44.5f});
}

GpsEphemeris gps_ephemeris(uint8_t satellite, double time_of_week) {
    GpsEphemeris e = plain_gps_ephemeris(satellite, time_of_week, kWeek);
    e.mean_anomaly = 1.5;
    return e;
}

GlonassEphemeris glonass_ephemeris(uint8_t slot, double time_of_week) {
    GlonassEphemeris e{};
    e.time_of_week = time_of_week;
    e.week_number = kWeek;
    e.satellite_id = slot;
    e.frequency_number = -2;
    e.tk = 3600;
    e.tb = 3600;
    e.tau_n = 1.0e-5;
    e.x = 1.0e7;
    e.y = -1.2e7;
    e.z = 1.9e7;
    e.vx = 1500.0f;
    e.valid_flags = kAllValid;
    return e;
}

GpsIonoCorrection gps_iono() {
    GpsIonoCorrection iono{};
    iono.time_of_week = kFirstEpoch;
    iono.week_number = kWeek;
    iono.alpha[0] = 1.1e-8;
    iono.beta[0] = 9.0e4;
    iono.valid_flags = kAllValid;
    return iono;
}

GalileoIonoCorrection galileo_iono() {
    GalileoIonoCorrection iono{};
    iono.time_of_week = kFirstEpoch;
    iono.week_number = kWeek;
    iono.alpha[0] = 60.0;
    iono.valid_flags = kAllValid;
    return iono;
}

BaseStationInfo base_station() {
    BaseStationInfo base{};
    base.time_of_week = kFirstEpoch;
    base.week_number = kWeek;
    base.ecef_x = 4027894.0;
    base.ecef_y = 307045.6;
    base.ecef_z = 4919474.9;
    base.antenna_height = 1.5f;
    base.station_id = 7;
    base.valid_flags = kAllValid;
    return base;
}

void add_imu_sample(VxpLogWriter& log, double time_of_week) {
    log.begin(VXP_SET_SENSOR);
    log.field(VXP_SENSOR_FIELD_TIME, timestamp(time_of_week), vxp_decode_gps_timestamp);
    log.field(VXP_SENSOR_FIELD_SCALED_ACCEL, SensorVector{0.01f, -0.02f, -1.0f}, vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_SCALED_GYRO, SensorVector{0.001f, 0.0f, -0.002f}, vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_DELTA_THETA, SensorVector{1e-5f, 2e-5f, -1e-5f}, vxp_decode_sensor_vector);
    log.field(VXP_SENSOR_FIELD_DELTA_VELOCITY, SensorVector{1e-4f, 0.0f, -0.005f}, vxp_decode_sensor_vector);
    log.finish();
}

void add_navigation(VxpLogWriter& log, uint8_t set) {
    log.begin(set);
    log.field(VXP_GNSS_FIELD_LEAP_SECONDS, GnssLeapSeconds{kLeapSeconds, kAllValid}, vxp_decode_leap_seconds);
    log.field(VXP_GNSS_FIELD_GPS_IONO, gps_iono(), vxp_decode_gps_iono);
    log.field(VXP_GNSS_FIELD_GALILEO_IONO, galileo_iono(), vxp_decode_galileo_iono);
    log.begin(set);
    log.field(VXP_GNSS_FIELD_GPS_EPHEMERIS, gps_ephemeris(3, kFirstEpoch), vxp_decode_gps_ephemeris);
    log.begin(set);
    log.field(VXP_GNSS_FIELD_GALILEO_EPHEMERIS, gps_ephemeris(11, kFirstEpoch), vxp_decode_gps_ephemeris);
    log.begin(set);
    log.field(VXP_GNSS_FIELD_GLONASS_EPHEMERIS, glonass_ephemeris(4, kFirstEpoch),
              vxp_decode_glonass_ephemeris);
    log.finish();
}

void add_epoch(VxpLogWriter& log, uint8_t set, double time_of_week, bool with_galileo) {
    log.begin(set);
    log.field(VXP_GNSS_FIELD_TIME, timestamp(time_of_week), vxp_decode_gps_timestamp);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(kGps, 3, kGpsL1CA, time_of_week),
              vxp_decode_raw_observation);
    log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(kGps, 5, kGpsL1CA, time_of_week),
              vxp_decode_raw_observation);
    if (with_galileo) {
        log.field(VXP_GNSS_FIELD_RAW_OBSERVATION, observation(kGalileo, 11, kGalileoE1C, time_of_week),
                  vxp_decode_raw_observation);
    }
    log.finish();
}

void add_filter_packet(VxpLogWriter& log, double time_of_week) {
    log.begin(VXP_SET_FILTER);
    log.field(VXP_FILTER_FIELD_TIME, timestamp(time_of_week), vxp_decode_gps_timestamp);
    log.field(VXP_FILTER_FIELD_RECORD01, FilterRecord01{0.8, 0.1, 250.0, kAllValid},
              vxp_decode_filter_record01);
    log.field(VXP_FILTER_FIELD_VECTOR02, FilterVector{1.0f, 2.0f, 3.0f, kAllValid}, vxp_decode_filter_vector);
    log.finish();
}

}  // namespace

void add_random_packet(VxpLogWriter& log, std::mt19937& random, uint8_t descriptor_set) {
    const std::span<const FieldKind> kinds = fields_of(descriptor_set);
    std::uniform_int_distribution<std::size_t> pick(0, kinds.size() - 1);
    std::uniform_int_distribution<int> field_count(1, kMaxFieldsPerPacket);
    std::uniform_int_distribution<int> byte(0, 255);

    log.begin(descriptor_set);
    const int wanted = field_count(random);
    std::size_t random_bytes = 0;
    for (int i = 0; i < wanted || random_bytes < kMinRandomBytesPerPacket; ++i) {
        const FieldKind& kind = kinds[pick(random)];
        uint8_t record[VXP_MAX_PAYLOAD_SIZE];
        for (std::size_t b = 0; b < kind.size; ++b)
            record[b] = static_cast<uint8_t>(byte(random));
        if (log.raw_field(kind.descriptor, record, kind.size, kind.encode))
            random_bytes += kind.size;
        else if (random_bytes >= kMinRandomBytesPerPacket)
            break;  // full
    }
    log.finish();
}

RandomLog random_log(std::mt19937& random, std::size_t count) {
    VxpLogWriter log;
    RandomLog result;
    std::uniform_int_distribution<std::size_t> set(0, std::size(kObservedSets) - 1);
    for (std::size_t i = 0; i < count; ++i) {
        result.packet_starts.push_back(log.bytes().size());
        add_random_packet(log, random, kObservedSets[set(random)]);
    }
    result.bytes = log.bytes();
    return result;
}

std::vector<uint8_t> sample_log(int epochs) {
    VxpLogWriter log;
    const uint8_t receiver0 = VXP_SET_GNSS_FIRST;
    const uint8_t receiver2 = VXP_SET_GNSS_BASE;
    add_navigation(log, receiver0);
    log.begin(receiver2);
    log.field(VXP_GNSS_FIELD_BASE_STATION, base_station(), vxp_decode_base_station_info);
    log.finish();
    for (int epoch = 0; epoch < epochs; ++epoch) {
        const double time_of_week = kFirstEpoch + epoch;
        for (int sample = 0; sample < kImuSamplesPerEpoch; ++sample)
            add_imu_sample(log, time_of_week + sample * kImuInterval);
        add_epoch(log, receiver0, time_of_week, true);
        add_epoch(log, receiver2, time_of_week, false);
        add_filter_packet(log, time_of_week);
    }
    return log.bytes();
}

std::vector<std::vector<uint8_t>> sample_packets_by_family() {
    std::vector<std::vector<uint8_t>> packets;
    auto take = [&packets](VxpLogWriter& log) { packets.push_back(log.bytes()); };

    VxpLogWriter sensor;
    add_imu_sample(sensor, kFirstEpoch);
    sensor.begin(VXP_SET_SENSOR);
    sensor.field(VXP_FIELD_SHARED_TIME, timestamp(kFirstEpoch), vxp_decode_gps_timestamp);
    sensor.field(VXP_SENSOR_FIELD_VECTOR06, SensorVector{1.0f, 2.0f, 3.0f}, vxp_decode_sensor_vector);
    sensor.field(VXP_SENSOR_FIELD_SCALAR17, SensorScalar17{21.5f}, vxp_decode_sensor_scalar17);
    take(sensor);

    for (uint8_t set : {uint8_t{VXP_SET_GNSS_LEGACY}, uint8_t{0x91}, uint8_t{0x92}, uint8_t{0x93},
                        uint8_t{0x94}, uint8_t{0x95}}) {
        VxpLogWriter gnss;
        add_epoch(gnss, set, kFirstEpoch, true);
        take(gnss);
    }
    VxpLogWriter navigation;
    add_navigation(navigation, VXP_SET_GNSS_FIRST);
    navigation.begin(VXP_SET_GNSS_BASE);
    navigation.field(VXP_GNSS_FIELD_BASE_STATION, base_station(), vxp_decode_base_station_info);
    take(navigation);

    VxpLogWriter records;
    records.begin(VXP_SET_GNSS_FIRST + 1);
    records.field(VXP_FIELD_SHARED_TIME, timestamp(kFirstEpoch), vxp_decode_gps_timestamp);
    records.field(VXP_GNSS_FIELD_RECORD03, GnssRecord03{1, 2, 3, 4, 5, 6, kAllValid},
                  vxp_decode_gnss_record03);
    records.field(VXP_GNSS_FIELD_RECORD04, GnssRecord04{1, 2, 3, 4, kAllValid}, vxp_decode_gnss_record04);
    records.field(VXP_GNSS_FIELD_RECORD05, GnssRecord05{{1, 2, 3, 4, 5, 6, 7, 8}, kAllValid},
                  vxp_decode_gnss_record05);
    records.field(VXP_GNSS_FIELD_RECORD06, GnssRecord06{{1, 2, 3, 4}, kAllValid}, vxp_decode_gnss_record06);
    records.field(VXP_GNSS_FIELD_RECORD07, GnssRecord07{{1, 2, 3, 4, 5, 6, 7}, kAllValid},
                  vxp_decode_gnss_record07);
    records.field(VXP_GNSS_FIELD_RECORD08, GnssRecord08{1, 2, 3, 4, 5, 6, 7, kAllValid},
                  vxp_decode_gnss_record08);
    records.field(VXP_GNSS_FIELD_RECORD0A, GnssRecord0A{1, 2, 3, kAllValid}, vxp_decode_gnss_record0A);
    records.field(VXP_GNSS_FIELD_RECORD0B, GnssRecord0B{1, 2, 3, kAllValid}, vxp_decode_gnss_record0B);
    records.field(VXP_GNSS_FIELD_RECORD0D, GnssRecord0D{1, 2, 3, kAllValid}, vxp_decode_gnss_record0D);
    take(records);

    VxpLogWriter filter;
    add_filter_packet(filter, kFirstEpoch);
    filter.begin(VXP_SET_FILTER);
    filter.field(VXP_FIELD_SHARED_TIME, timestamp(kFirstEpoch), vxp_decode_gps_timestamp);
    filter.field(VXP_FILTER_FIELD_RECORD10, FilterRecord10{1, 2, 3}, vxp_decode_filter_record10);
    for (uint8_t vector = kFilterVector05; vector <= VXP_FILTER_FIELD_VECTOR0C; ++vector)
        filter.field(vector, FilterVector{1.0f, 2.0f, 3.0f, kAllValid}, vxp_decode_filter_vector);
    take(filter);

    for (uint8_t set :
         {uint8_t{VXP_SET_COMMAND_01}, uint8_t{VXP_SET_COMMAND_0C}, uint8_t{VXP_SET_COMMAND_0D}}) {
        VxpLogWriter command;
        const uint8_t reply[] = {0x01, 0x00};
        command.begin(set);
        command.raw_field(0xF1, reply, sizeof reply);
        take(command);
    }
    return packets;
}

}  // namespace robustness
