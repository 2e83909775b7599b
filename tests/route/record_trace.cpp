#include "tests/route/record_trace.h"

#include <fstream>
#include <iterator>

namespace {

std::string bytes_of(const void* record, std::size_t size) {
    if (record == nullptr)
        return "-";
    const auto* bytes = static_cast<const char*>(record);
    return std::string(bytes, size);
}

template <class T>
std::string bytes_of(const T* record) {
    return bytes_of(record, sizeof(T));
}

template <class T>
std::string call(const char* name, int receiver, const T& record) {
    return std::string(name) + std::to_string(receiver) + bytes_of(&record);
}

}  // namespace

void RecordTrace::checksum_error(uint8_t set) {
    calls.push_back("checksum_error " + std::to_string(set));
}
void RecordTrace::good_packet(uint8_t set, const uint8_t* packet, uint16_t size, uint8_t kind) {
    calls.push_back("good_packet " + std::to_string(set) + ' ' + std::to_string(size) + ' ' +
                    std::to_string(kind) + bytes_of(packet, size));
}
void RecordTrace::sensor_packet(const SensorPacketRecords& r) {
    calls.push_back("sensor" + bytes_of(r.own_time) + bytes_of(r.shared_time) + bytes_of(r.scaled_accel) +
                    bytes_of(r.scaled_gyro) + bytes_of(r.vector06) + bytes_of(r.scalar17) +
                    bytes_of(r.delta_theta) + bytes_of(r.delta_velocity));
}
void RecordTrace::filter_packet(const FilterPacketRecords& r) {
    std::string text = "filter" + bytes_of(r.own_time) + bytes_of(r.shared_time) + bytes_of(r.record10) +
                       bytes_of(r.record01) + bytes_of(r.vector02);
    for (const FilterVector* vector : r.vectors)
        text += bytes_of(vector);
    calls.push_back(text);
}
void RecordTrace::gnss_packet(int receiver, const GnssPacketRecords& r) {
    calls.push_back("gnss" + std::to_string(receiver) + bytes_of(r.own_time) + bytes_of(r.shared_time) +
                    bytes_of(r.record03) + bytes_of(r.record05) + bytes_of(r.record04) +
                    bytes_of(r.record06) + bytes_of(r.record0B) + bytes_of(r.record07) +
                    bytes_of(r.record08) + bytes_of(r.record0A) + bytes_of(r.record0D));
}
void RecordTrace::observation(int receiver, const RawObservation& o, bool starts_epoch) {
    calls.push_back(call(starts_epoch ? "epoch" : "observation", receiver, o));
}
void RecordTrace::gps_ephemeris(int receiver, const GpsEphemeris& e) {
    calls.push_back(call("gps_ephemeris", receiver, e));
}
void RecordTrace::galileo_ephemeris(int receiver, const GalileoEphemeris& e) {
    calls.push_back(call("galileo_ephemeris", receiver, e));
}
void RecordTrace::glonass_ephemeris(int receiver, const GlonassEphemeris& e) {
    calls.push_back(call("glonass_ephemeris", receiver, e));
}
void RecordTrace::gps_iono(int receiver, const GpsIonoCorrection& i) {
    calls.push_back(call("gps_iono", receiver, i));
}
void RecordTrace::galileo_iono(int receiver, const GalileoIonoCorrection& i) {
    calls.push_back(call("galileo_iono", receiver, i));
}
void RecordTrace::leap_seconds(int receiver, const GnssLeapSeconds& l) {
    calls.push_back(call("leap_seconds", receiver, l));
}
void RecordTrace::base_station(const BaseStationInfo& b) {
    calls.push_back(call("base_station", 0, b));
}
void RecordTrace::command_packet(uint8_t set, const uint8_t* packet, uint16_t size) {
    calls.push_back("command " + std::to_string(set) + bytes_of(packet, size));
}

std::vector<uint8_t> corpus_log(const std::string& path) {
    std::ifstream in(std::filesystem::path(KELVARTIX_SOURCE_DIR) / path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
