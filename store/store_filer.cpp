// The store's consumer of routed records: counts packets and damaged packets per source and files
// the records of good packets by descriptor set, receiver and satellite, with the time index of
// their packet.
#include "store/store_filer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "store/vxp_data_store.h"

namespace {

template <class R>
void append_record(Sequence<R>& sequence, const R* record) {
    if (record != nullptr)
        sequence.push_back(*record);
}

template <class R>
void append_indexed(Sequence<TimeIndexed<R>>& sequence, const R* record, uint32_t t) {
    if (record != nullptr)
        sequence.push_back(TimeIndexed<R>{*record, t});
}

// The packet's time index: the position of its shared time record when it carried one, else of
// its own time record, else 0. Called after the packet's time records were appended.
uint32_t packet_time_index(const GpsTimestamp* shared, const Sequence<GpsTimestamp>& shared_sequence,
                           const GpsTimestamp* own, const Sequence<GpsTimestamp>& own_sequence) {
    if (shared != nullptr)
        return static_cast<uint32_t>(shared_sequence.size() - 1);
    if (own != nullptr)
        return static_cast<uint32_t>(own_sequence.size() - 1);
    return 0;
}

// True when a sensor packet whose tag is of the given kind follows timed packets of the other
// kind only. Until the list of packet tags begins, every timed packet so far had a tag of one
// kind: the shared one as soon as the shared sequence holds anything.
bool starts_mixing(const VxpDataStore& store, bool shared_tag) {
    if (shared_tag)
        return store.imu_shared_timestamps.empty() && !store.imu_timestamps.empty();
    return !store.imu_shared_timestamps.empty();
}

// Files a sensor packet's time records and returns its time index. A packet's tag is its 0xD3
// record, else its 0x12 record. While all tags are of one kind, the index is the position in that
// kind's sequence. A device that starts logging before it knows GNSS time mixes the kinds, and
// the two sequences then count different packets: so from the first packet of the other kind on,
// every tag also goes to imu_packet_timestamps (begun with the tags before it) and the index
// counts there, so that every sample keeps its own packet's time.
uint32_t file_sensor_times(VxpDataStore& store, const GpsTimestamp* own, const GpsTimestamp* shared) {
    Sequence<GpsTimestamp>& tags = store.imu_packet_timestamps;
    const GpsTimestamp* const tag = shared != nullptr ? shared : own;
    if (tag != nullptr && tags.empty() && starts_mixing(store, shared != nullptr)) {
        const Sequence<GpsTimestamp>& earlier =
            shared != nullptr ? store.imu_timestamps : store.imu_shared_timestamps;
        for (const GpsTimestamp& time : earlier)
            tags.push_back(time);
    }
    append_record(store.imu_timestamps, own);
    append_record(store.imu_shared_timestamps, shared);
    if (tag == nullptr || tags.empty())
        return packet_time_index(shared, store.imu_shared_timestamps, own, store.imu_timestamps);
    append_record(tags, tag);
    return static_cast<uint32_t>(tags.size() - 1);
}

// Device command and reply packets are kept whole, tagged with the latest sensor own time.
void keep_whole_packet(VxpDataStore& store, Sequence<TimeIndexed<RawPacketCopy>>& target,
                       const uint8_t* packet, uint16_t size) {
    const uint32_t t =
        store.imu_timestamps.empty() ? 0 : static_cast<uint32_t>(store.imu_timestamps.size() - 1);
    TimeIndexed<RawPacketCopy> copy{};
    std::memcpy(copy.record.data(), packet, std::min<std::size_t>(size, VXP_MAX_PACKET_SIZE));
    copy.time_index = t;
    target.push_back(copy);
}

}  // namespace

unsigned StoreFiler::interest() const {
    if (keeps_bulk())
        return kRouteEverything;
    const bool observed = store_.sensor_packet_observer != nullptr ||
                          store_.gnss_packet_observer != nullptr || store_.filter_packet_observer != nullptr;
    return kRouteGoodPackets | (observed ? static_cast<unsigned>(kRoutePacketBytes) : 0u);
}

void StoreFiler::checksum_error(uint8_t descriptor_set) {
    if (descriptor_set == VXP_SET_SENSOR) {
        ++store_.imu_checksum_error_count;
    } else if (descriptor_set == VXP_SET_FILTER) {
        ++store_.filter_checksum_error_count;
    } else if (is_gnss_set(descriptor_set)) {
        ++store_.gnss_checksum_error_count[receiver_for_set(descriptor_set)];
    }
}

void StoreFiler::good_packet(uint8_t descriptor_set, const uint8_t* packet, uint16_t size, uint8_t kind) {
    ++store_.packet_count;
    // Observers see the packet before its fields are converted; they take a mutable pointer only
    // for the sake of their C signature.
    uint8_t* const bytes = const_cast<uint8_t*>(packet);
    if (descriptor_set == VXP_SET_SENSOR) {
        ++store_.sensor_packet_count;
        if (store_.sensor_packet_observer != nullptr)
            store_.sensor_packet_observer(nullptr, bytes, size, kind);
    } else if (descriptor_set == VXP_SET_FILTER) {
        ++store_.filter_packet_count;
        if (store_.filter_packet_observer != nullptr)
            store_.filter_packet_observer(nullptr, bytes, size, kind);
    } else if (is_gnss_set(descriptor_set)) {
        if (descriptor_set != VXP_SET_GNSS_LEGACY)
            ++store_.gnss_packet_count[receiver_for_set(descriptor_set)];
        if (store_.gnss_packet_observer != nullptr)
            store_.gnss_packet_observer(nullptr, bytes, size, kind);
    }
}

void StoreFiler::sensor_packet(const SensorPacketRecords& r) {
    // A packet without a time field has no time its samples could be filed under (filed under
    // index 0 they would stand among the samples of other packets): they are left out.
    if (!keeps_bulk() || r.tag() == nullptr)
        return;
    const uint32_t t = file_sensor_times(store_, r.own_time, r.shared_time);
    append_indexed(store_.scaled_accel, r.scaled_accel, t);
    append_indexed(store_.scaled_gyro, r.scaled_gyro, t);
    append_indexed(store_.sensor_vector06, r.vector06, t);
    append_indexed(store_.sensor_scalar17, r.scalar17, t);
    append_indexed(store_.delta_theta, r.delta_theta, t);
    append_indexed(store_.delta_velocity, r.delta_velocity, t);
}

void StoreFiler::gnss_packet(int receiver, const GnssPacketRecords& r) {
    if (!keeps_bulk())
        return;
    const auto i = static_cast<std::size_t>(receiver);
    append_record(store_.gnss_timestamps[i], r.own_time);
    append_record(store_.gnss_shared_timestamps[i], r.shared_time);
    const uint32_t t = packet_time_index(r.shared_time, store_.gnss_shared_timestamps[i], r.own_time,
                                         store_.gnss_timestamps[i]);
    append_indexed(store_.gnss_record03[i], r.record03, t);
    append_indexed(store_.gnss_record05[i], r.record05, t);
    append_indexed(store_.gnss_record04[i], r.record04, t);
    append_indexed(store_.gnss_record06[i], r.record06, t);
    append_indexed(store_.gnss_record0B[i], r.record0B, t);
    append_indexed(store_.gnss_record07[i], r.record07, t);
    append_indexed(store_.gnss_record08[i], r.record08, t);
    append_indexed(store_.gnss_record0A[i], r.record0A, t);
    append_indexed(store_.gnss_record0D[i], r.record0D, t);
}

void StoreFiler::filter_packet(const FilterPacketRecords& r) {
    if (!keeps_bulk())
        return;
    append_record(store_.filter_timestamps, r.own_time);
    append_record(store_.filter_shared_timestamps, r.shared_time);
    const uint32_t t = packet_time_index(r.shared_time, store_.filter_shared_timestamps, r.own_time,
                                         store_.filter_timestamps);
    append_indexed(store_.filter_record10, r.record10, t);
    append_indexed(store_.filter_record01, r.record01, t);
    append_indexed(store_.filter_vector02, r.vector02, t);
    const std::array<Sequence<TimeIndexed<FilterVector>>*, kFilterVectorRun> targets = {
        &store_.filter_vector05, &store_.filter_vector06, &store_.filter_vector07, &store_.filter_vector08,
        &store_.filter_vector09, &store_.filter_vector0A, &store_.filter_vector0B, &store_.filter_vector0C};
    for (std::size_t i = 0; i < targets.size(); ++i)
        append_indexed(*targets[i], r.vectors[i], t);
}

void StoreFiler::observation(int receiver, const RawObservation& observation, bool starts_epoch) {
    if (!keeps_bulk())
        return;
    Sequence<RawEpoch>& epochs = store_.raw_epochs[static_cast<std::size_t>(receiver)];
    if (!starts_epoch && !epochs.empty() && !epochs.back().empty()) {
        epochs.back().push_back(observation);
        return;
    }
    RawEpoch epoch;
    // Epochs of one receiver hold about as many signals each: size the new one like the last,
    // so that most epochs are allocated once and fit.
    if (!epochs.empty())
        epoch.reserve(epochs.back().size());
    epoch.push_back(observation);
    epochs.push_back(std::move(epoch));
}

void StoreFiler::gps_ephemeris(int receiver, const GpsEphemeris& e) {
    store_.gps_ephemerides[static_cast<std::size_t>(receiver)][e.satellite_id].push_back(e);
}

void StoreFiler::galileo_ephemeris(int receiver, const GalileoEphemeris& e) {
    store_.galileo_ephemerides[static_cast<std::size_t>(receiver)][e.satellite_id].push_back(e);
}

void StoreFiler::glonass_ephemeris(int receiver, const GlonassEphemeris& e) {
    store_.glonass_ephemerides[static_cast<std::size_t>(receiver)][e.satellite_id].push_back(e);
}

void StoreFiler::gps_iono(int receiver, const GpsIonoCorrection& correction) {
    store_.gps_iono[static_cast<std::size_t>(receiver)].push_back(correction);
}

void StoreFiler::galileo_iono(int receiver, const GalileoIonoCorrection& correction) {
    store_.galileo_iono[static_cast<std::size_t>(receiver)].push_back(correction);
}

void StoreFiler::leap_seconds(int receiver, const GnssLeapSeconds& record) {
    store_.leap_second_records[static_cast<std::size_t>(receiver)].push_back(record);
}

void StoreFiler::base_station(const BaseStationInfo& record) {
    store_.base_station_info.push_back(record);
}

void StoreFiler::command_packet(uint8_t descriptor_set, const uint8_t* packet, uint16_t size) {
    if (!keeps_bulk())
        return;
    if (descriptor_set == VXP_SET_COMMAND_01) {
        keep_whole_packet(store_, store_.raw_packets_01, packet, size);
    } else if (descriptor_set == VXP_SET_COMMAND_0C) {
        keep_whole_packet(store_, store_.raw_packets_0C, packet, size);
    } else if (descriptor_set == VXP_SET_COMMAND_0D) {
        keep_whole_packet(store_, store_.raw_packets_0D, packet, size);
    }
}
