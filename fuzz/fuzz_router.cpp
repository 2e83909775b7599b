// Routes arbitrary packets of every descriptor set into a store, the way the parser hands them
// over: the input is a series of records (descriptor set, payload length, kind, payload), each
// made into a packet with a valid checksum so that the field walk and the decoders see hostile
// payloads. Every packet lies in a heap buffer of exactly its size (the 4 header bytes for a
// failure), so any read beyond what the parser guarantees is caught. Then the queries run over
// whatever was stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "store/vxp_data_store.h"
#include "vxp/packet.h"
#include "vxp/parser.h"

namespace {

constexpr uint8_t kKinds = 3;  // ok, checksum error, timeout

// Observers see good packets whole and unconverted.
void check_observed(void*, const uint8_t* packet, uint16_t size, uint8_t kind) {
    if (kind != VXP_PACKET_OK || size != vxp_packet_size(packet))
        std::abort();
    std::vector<uint8_t> copy(packet, packet + size);
    if (vxp_packet_verify_checksum(copy.data()) != 0)
        std::abort();
}

template <class Lookup>
void look_up_all(uint32_t count, Lookup lookup) {
    for (uint32_t t = 0; t <= count + 1; ++t) {
        lookup(t, true);
        lookup(t, false);
    }
}

void run_queries(VxpDataStore& store) {
    double leap = 0;
    store.leap_seconds_from_data(leap);
    store.imu_min_interval();
    store.imu_rate_hz();
    store.imu_checksum_errors();
    const uint32_t imu_times = store.imu_time_count();
    GpsTimestamp time{};
    for (uint32_t t = 0; t <= imu_times; ++t)
        store.imu_time_at(t, time);
    for (uint32_t t = 0; t <= store.filter_timestamps.size(); ++t)
        store.filter_time_at(t, time);
    SensorVector v{};
    look_up_all(imu_times, [&](uint32_t t, bool exact) {
        store.scaled_accel_at(t, v, exact);
        store.scaled_gyro_at(t, v, exact);
        store.sensor_vector06_at(t, v, exact);
        store.delta_theta_at(t, v, exact);
        store.delta_velocity_at(t, v, exact);
        SensorScalar17 s{};
        store.sensor_scalar17_at(t, s, exact);
    });
    FilterVector f{};
    look_up_all(static_cast<uint32_t>(store.filter_timestamps.size()), [&](uint32_t t, bool exact) {
        FilterRecord10 r10{};
        FilterRecord01 r01{};
        store.filter_record10_at(t, r10, exact);
        store.filter_record01_at(t, r01, exact);
        store.filter_vector02_at(t, f, exact);
        store.filter_vector05_at(t, f, exact);
        store.filter_vector0C_at(t, f, exact);
    });
    for (int r = 0; r < kReceiverCount; ++r) {
        store.gnss_checksum_errors(static_cast<uint8_t>(r));
        store.has_receiver_data(r);
        store.has_navigation_data(r);
        store.first_valid_gnss_time(r);
        const uint32_t times = static_cast<uint32_t>(store.gnss_timestamps[r].size());
        for (uint32_t t = 0; t <= times; ++t)
            store.gnss_time_at(r, t, time);
        look_up_all(times, [&](uint32_t t, bool exact) {
            GnssRecord03 r03{};
            GnssRecord08 r08{};
            GnssRecord0D r0D{};
            store.gnss_record03_at(r, t, r03, exact);
            store.gnss_record08_at(r, t, r08, exact);
            store.gnss_record0D_at(r, t, r0D, exact);
        });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto store = std::make_unique<VxpDataStore>();
    store->set_sensor_packet_observer(check_observed);
    store->set_gnss_packet_observer(check_observed);
    store->set_filter_packet_observer(check_observed);
    size_t offset = 0;
    while (offset + 3 <= size) {
        const uint8_t set = data[offset];
        const uint8_t length = data[offset + 1];
        const uint8_t kind = data[offset + 2] % kKinds;
        offset += 3;
        const size_t payload = length <= size - offset ? length : size - offset;
        uint8_t frame[VXP_MAX_PACKET_SIZE] = {};
        frame[0] = VXP_SYNC1;
        frame[1] = VXP_SYNC2;
        frame[2] = set;
        frame[3] = static_cast<uint8_t>(payload);
        std::memcpy(frame + VXP_HEADER_SIZE, data + offset, payload);
        offset += payload;
        const uint16_t frame_size = vxp_packet_finalize(frame);
        const uint16_t handed = kind == VXP_PACKET_OK ? frame_size : static_cast<uint16_t>(VXP_HEADER_SIZE);
        std::vector<uint8_t> packet(frame, frame + handed);
        store->route_packet(packet.data(), handed, kind);
    }
    run_queries(*store);
    return 0;
}
