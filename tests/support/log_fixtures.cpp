// Records and packets for the logs the tests build with the log writer.
#include "tests/support/log_fixtures.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "route/log_feed.h"

namespace {

constexpr double kPlainReferenceTime = 100800.0;

// Inside the data of the damaged packet's only field.
constexpr std::size_t kDamagedByte = VXP_HEADER_SIZE + VXP_FIELD_HEADER_SIZE;

}  // namespace

GpsTimestamp time_tag(double time_of_week, uint16_t week, uint16_t valid_flags) {
    return GpsTimestamp{time_of_week, week, valid_flags};
}

RawObservation make_observation(double time_of_week, uint16_t week, uint8_t gnss_id, uint8_t satellite_id,
                                uint8_t signal_id, ObservationValues values) {
    RawObservation o{};
    o.time_of_week = time_of_week;
    o.week_number = week;
    o.gnss_id = gnss_id;
    o.satellite_id = satellite_id;
    o.signal_id = signal_id;
    o.pseudorange = values.pseudorange;
    o.carrier_phase = values.carrier_phase;
    o.doppler = values.doppler;
    o.signal_strength = values.signal_strength;
    o.valid_flags = kAllFieldsValid;
    return o;
}

GpsEphemeris plain_gps_ephemeris(uint8_t satellite, double time_of_week, uint16_t week) {
    GpsEphemeris e{};
    e.time_of_week = time_of_week;
    e.week_number = week;
    e.satellite_id = satellite;
    e.iodc = 12;
    e.iode = 12;
    e.t_oc = kPlainReferenceTime;
    e.t_oe = kPlainReferenceTime;
    e.af0 = 1.0e-5;
    e.a = 26560000.0;
    e.eccentricity = 0.01;
    e.inclination = 0.96;
    e.valid_flags = kAllFieldsValid;
    return e;
}

uint8_t receiver_set(int receiver) {
    return static_cast<uint8_t>(VXP_SET_GNSS_FIRST + receiver);
}

void add_damaged_packet(VxpLogWriter& log, uint8_t descriptor_set, uint8_t descriptor) {
    VxpLogWriter packet;
    packet.begin(descriptor_set);
    const GnssRecord0D zeros{};
    packet.field(descriptor, zeros, nullptr);
    std::vector<uint8_t> bytes = packet.bytes();
    bytes[kDamagedByte] ^= 0x01;
    log.append_raw(bytes.data(), bytes.size());
}

bool load_log(VxpLogWriter& log, VxpDataStore& store, const std::string& path) {
    return log.write_file(path) && store.load_file(path.c_str());
}

bool feed_log_file(const std::string& path, RecordConsumer& consumer) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    PacketRouter router(consumer);
    auto parser = std::make_unique<vxp_parser>();
    log_feed_start(*parser, router);
    std::vector<uint8_t> block(1 << 16);
    std::size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
        log_feed_bytes(*parser, block.data(), n);
    const bool read = std::ferror(file) == 0;
    std::fclose(file);
    log_feed_end(*parser);
    return read;
}
