// The store's packet handler: counts damaged packets per source and files the records of good
// packets by descriptor set, receiver and satellite, with the time index of their packet.
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "store/vxp_data_store.h"
#include "vxp/status.h"

namespace {

// A field decoder reverses a record's multi-byte members in place.
using Decoder = void (*)(uint8_t* data);

// Receiver index of a GNSS data set; the legacy set feeds receiver 0 like the first set.
int receiver_for_set(uint8_t descriptor_set) {
    if (descriptor_set == VXP_SET_GNSS_LEGACY)
        return 0;
    return descriptor_set - VXP_SET_GNSS_FIRST;
}

bool is_gnss_set(uint8_t descriptor_set) {
    return descriptor_set == VXP_SET_GNSS_LEGACY ||
           (descriptor_set >= VXP_SET_GNSS_FIRST && descriptor_set <= VXP_SET_GNSS_LAST);
}

// Calls visit(descriptor, data, data_size) for every field of a good packet that lies wholly
// inside the payload. A field whose length byte runs past the payload, or is too short to hold
// even its own header, is skipped; the walk goes on for as long as the iteration allows. The
// iteration is vxp_packet_next_field's, written out here for speed: it ends at the payload's end,
// or early at a field whose length byte is 0; a packet without sync bytes has no fields.
template <class Visit>
void walk_fields(uint8_t* packet, uint16_t size, Visit visit) {
    if (vxp_packet_check_sync(packet) != VXP_OK)
        return;
    const uint16_t payload_length = vxp_packet_payload_length(packet);
    // Never trust a header that announces more bytes than the buffer handed to us holds.
    if (vxp_packet_size(packet) > size)
        return;
    uint8_t* const payload = vxp_packet_payload(packet);
    for (uint16_t offset = 0; offset < payload_length;) {
        uint8_t* const field = payload + offset;
        const uint16_t length = field[0];
        if (length == 0)
            return;
        const uint16_t start = offset;
        offset = static_cast<uint16_t>(offset + length);
        if (length < VXP_FIELD_HEADER_SIZE || start + length > payload_length)
            continue;
        visit(field[1], field + VXP_FIELD_HEADER_SIZE, static_cast<uint16_t>(length - VXP_FIELD_HEADER_SIZE));
    }
}

// Converts the field in place and remembers it when it holds a whole record R; a shorter field
// is skipped untouched and the slot keeps what it had.
template <class R>
bool convert(const uint8_t*& slot, uint8_t* data, uint16_t data_size, Decoder decode) {
    if (data_size < sizeof(R))
        return false;
    decode(data);
    slot = data;
    return true;
}

template <class R>
R record_from(const uint8_t* data) {
    R record;
    std::memcpy(&record, data, sizeof record);
    return record;
}

template <class R>
void append_record(Sequence<R>& sequence, const uint8_t* data) {
    if (data != nullptr)
        sequence.push_back(record_from<R>(data));
}

template <class R>
void append_indexed(Sequence<TimeIndexed<R>>& sequence, const uint8_t* data, uint32_t t) {
    if (data != nullptr)
        sequence.push_back(TimeIndexed<R>{record_from<R>(data), t});
}

// The packet's time index: the position of its shared time record when it carried one, else of
// its own time record, else 0. Called after the packet's time records were appended.
uint32_t packet_time_index(const uint8_t* shared, const Sequence<GpsTimestamp>& shared_sequence,
                           const uint8_t* own, const Sequence<GpsTimestamp>& own_sequence) {
    if (shared != nullptr)
        return static_cast<uint32_t>(shared_sequence.size() - 1);
    if (own != nullptr)
        return static_cast<uint32_t>(own_sequence.size() - 1);
    return 0;
}

// Epoch rule: consecutive observations with the same time of week form one epoch.
void file_observation(Sequence<RawEpoch>& epochs, const RawObservation& observation) {
    if (!epochs.empty() && !epochs.back().empty() &&
        epochs.back().front().time_of_week == observation.time_of_week) {
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

// Ephemeris rule: slot = satellite number, dropped beyond the last slot or when the slot's last
// record has the same time of week (a repeated broadcast).
template <class E, std::size_t Slots>
void file_ephemeris(std::array<Sequence<E>, Slots>& slots, const E& ephemeris) {
    if (ephemeris.satellite_id >= Slots)
        return;
    Sequence<E>& slot = slots[ephemeris.satellite_id];
    if (!slot.empty() && slot.back().time_of_week == ephemeris.time_of_week)
        return;
    slot.push_back(ephemeris);
}

void count_checksum_error(VxpDataStore& store, uint8_t descriptor_set) {
    if (descriptor_set == VXP_SET_SENSOR) {
        ++store.imu_checksum_error_count;
    } else if (descriptor_set == VXP_SET_FILTER) {
        ++store.filter_checksum_error_count;
    } else if (is_gnss_set(descriptor_set)) {
        ++store.gnss_checksum_error_count[receiver_for_set(descriptor_set)];
    }
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
uint32_t file_sensor_times(VxpDataStore& store, const uint8_t* own, const uint8_t* shared) {
    Sequence<GpsTimestamp>& tags = store.imu_packet_timestamps;
    const uint8_t* const tag = shared != nullptr ? shared : own;
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

void route_sensor(VxpDataStore& store, uint8_t* packet, uint16_t size, uint8_t kind) {
    ++store.sensor_packet_count;
    if (store.sensor_packet_observer != nullptr)
        store.sensor_packet_observer(nullptr, packet, size, kind);

    const uint8_t* own_time = nullptr;
    const uint8_t* shared_time = nullptr;
    const uint8_t* accel = nullptr;
    const uint8_t* gyro = nullptr;
    const uint8_t* vector06 = nullptr;
    const uint8_t* scalar17 = nullptr;
    const uint8_t* theta = nullptr;
    const uint8_t* velocity = nullptr;
    walk_fields(packet, size, [&](uint8_t descriptor, uint8_t* data, uint16_t n) {
        switch (descriptor) {
            case VXP_SENSOR_FIELD_TIME:
                convert<GpsTimestamp>(own_time, data, n, vxp_decode_gps_timestamp);
                break;
            case VXP_FIELD_SHARED_TIME:
                convert<GpsTimestamp>(shared_time, data, n, vxp_decode_gps_timestamp);
                break;
            case VXP_SENSOR_FIELD_SCALED_ACCEL:
                convert<SensorVector>(accel, data, n, vxp_decode_sensor_vector);
                break;
            case VXP_SENSOR_FIELD_SCALED_GYRO:
                convert<SensorVector>(gyro, data, n, vxp_decode_sensor_vector);
                break;
            case VXP_SENSOR_FIELD_VECTOR06:
                convert<SensorVector>(vector06, data, n, vxp_decode_sensor_vector);
                break;
            case VXP_SENSOR_FIELD_SCALAR17:
                convert<SensorScalar17>(scalar17, data, n, vxp_decode_sensor_scalar17);
                break;
            case VXP_SENSOR_FIELD_DELTA_THETA:
                convert<SensorVector>(theta, data, n, vxp_decode_sensor_vector);
                break;
            case VXP_SENSOR_FIELD_DELTA_VELOCITY:
                convert<SensorVector>(velocity, data, n, vxp_decode_sensor_vector);
                break;
            default:
                break;
        }
    });

    // A packet without a time field cannot place its samples, so they are left out: with index 0
    // they would pass for the first tag's, and break the rising order the lookups walk.
    if (own_time == nullptr && shared_time == nullptr)
        return;
    const uint32_t t = file_sensor_times(store, own_time, shared_time);
    append_indexed(store.scaled_accel, accel, t);
    append_indexed(store.scaled_gyro, gyro, t);
    append_indexed(store.sensor_vector06, vector06, t);
    append_indexed(store.sensor_scalar17, scalar17, t);
    append_indexed(store.delta_theta, theta, t);
    append_indexed(store.delta_velocity, velocity, t);
}

// The GNSS fields kept as time-indexed records, in the order they are appended after the walk.
struct GnssIndexedFields {
    const uint8_t* record03 = nullptr;
    const uint8_t* record05 = nullptr;
    const uint8_t* record04 = nullptr;
    const uint8_t* record06 = nullptr;
    const uint8_t* record0B = nullptr;
    const uint8_t* record07 = nullptr;
    const uint8_t* record08 = nullptr;
    const uint8_t* record0A = nullptr;
    const uint8_t* record0D = nullptr;
};

// Fields filed at once during the walk; false for a descriptor that is not one of them.
bool file_gnss_field(VxpDataStore& store, uint8_t descriptor_set, int r, uint8_t descriptor, uint8_t* data,
                     uint16_t n) {
    const uint8_t* converted = nullptr;
    switch (descriptor) {
        case VXP_GNSS_FIELD_RAW_OBSERVATION:
            if (convert<RawObservation>(converted, data, n, vxp_decode_raw_observation)) {
                file_observation(store.raw_epochs[r], record_from<RawObservation>(converted));
            }
            return true;
        case VXP_GNSS_FIELD_GPS_EPHEMERIS:
            if (convert<GpsEphemeris>(converted, data, n, vxp_decode_gps_ephemeris)) {
                file_ephemeris(store.gps_ephemerides[r], record_from<GpsEphemeris>(converted));
            }
            return true;
        case VXP_GNSS_FIELD_GALILEO_EPHEMERIS:
            if (convert<GalileoEphemeris>(converted, data, n, vxp_decode_gps_ephemeris)) {
                file_ephemeris(store.galileo_ephemerides[r], record_from<GalileoEphemeris>(converted));
            }
            return true;
        case VXP_GNSS_FIELD_GLONASS_EPHEMERIS:
            if (convert<GlonassEphemeris>(converted, data, n, vxp_decode_glonass_ephemeris)) {
                file_ephemeris(store.glonass_ephemerides[r], record_from<GlonassEphemeris>(converted));
            }
            return true;
        case VXP_GNSS_FIELD_GPS_IONO:
            if (convert<GpsIonoCorrection>(converted, data, n, vxp_decode_gps_iono)) {
                append_record(store.gps_iono[r], converted);
            }
            return true;
        case VXP_GNSS_FIELD_GALILEO_IONO:
            if (convert<GalileoIonoCorrection>(converted, data, n, vxp_decode_galileo_iono)) {
                append_record(store.galileo_iono[r], converted);
            }
            return true;
        case VXP_GNSS_FIELD_LEAP_SECONDS:
            if (convert<GnssLeapSeconds>(converted, data, n, vxp_decode_leap_seconds)) {
                append_record(store.leap_second_records[r], converted);
            }
            return true;
        case VXP_GNSS_FIELD_BASE_STATION:
            // Only the base receiver's set carries a meaningful base-station record.
            if (convert<BaseStationInfo>(converted, data, n, vxp_decode_base_station_info) &&
                descriptor_set == VXP_SET_GNSS_BASE) {
                append_record(store.base_station_info, converted);
            }
            return true;
        default:
            return false;
    }
}

void remember_gnss_field(GnssIndexedFields& f, uint8_t descriptor, uint8_t* data, uint16_t n) {
    switch (descriptor) {
        case VXP_GNSS_FIELD_RECORD03:
            convert<GnssRecord03>(f.record03, data, n, vxp_decode_gnss_record03);
            break;
        case VXP_GNSS_FIELD_RECORD05:
            convert<GnssRecord05>(f.record05, data, n, vxp_decode_gnss_record05);
            break;
        case VXP_GNSS_FIELD_RECORD04:
            convert<GnssRecord04>(f.record04, data, n, vxp_decode_gnss_record04);
            break;
        case VXP_GNSS_FIELD_RECORD06:
            convert<GnssRecord06>(f.record06, data, n, vxp_decode_gnss_record06);
            break;
        case VXP_GNSS_FIELD_RECORD0B:
            convert<GnssRecord0B>(f.record0B, data, n, vxp_decode_gnss_record0B);
            break;
        case VXP_GNSS_FIELD_RECORD07:
            convert<GnssRecord07>(f.record07, data, n, vxp_decode_gnss_record07);
            break;
        case VXP_GNSS_FIELD_RECORD08:
            convert<GnssRecord08>(f.record08, data, n, vxp_decode_gnss_record08);
            break;
        case VXP_GNSS_FIELD_RECORD0A:
            convert<GnssRecord0A>(f.record0A, data, n, vxp_decode_gnss_record0A);
            break;
        case VXP_GNSS_FIELD_RECORD0D:
            convert<GnssRecord0D>(f.record0D, data, n, vxp_decode_gnss_record0D);
            break;
        default:
            break;
    }
}

void route_gnss(VxpDataStore& store, uint8_t* packet, uint16_t size, uint8_t kind, uint8_t descriptor_set) {
    const int r = receiver_for_set(descriptor_set);
    if (descriptor_set != VXP_SET_GNSS_LEGACY)
        ++store.gnss_packet_count[r];
    if (store.gnss_packet_observer != nullptr)
        store.gnss_packet_observer(nullptr, packet, size, kind);

    const uint8_t* own_time = nullptr;
    const uint8_t* shared_time = nullptr;
    GnssIndexedFields fields;
    walk_fields(packet, size, [&](uint8_t descriptor, uint8_t* data, uint16_t n) {
        if (descriptor == VXP_GNSS_FIELD_TIME) {
            convert<GpsTimestamp>(own_time, data, n, vxp_decode_gps_timestamp);
        } else if (descriptor == VXP_FIELD_SHARED_TIME) {
            convert<GpsTimestamp>(shared_time, data, n, vxp_decode_gps_timestamp);
        } else if (!file_gnss_field(store, descriptor_set, r, descriptor, data, n)) {
            remember_gnss_field(fields, descriptor, data, n);
        }
    });

    append_record(store.gnss_timestamps[r], own_time);
    append_record(store.gnss_shared_timestamps[r], shared_time);
    const uint32_t t =
        packet_time_index(shared_time, store.gnss_shared_timestamps[r], own_time, store.gnss_timestamps[r]);
    append_indexed(store.gnss_record03[r], fields.record03, t);
    append_indexed(store.gnss_record05[r], fields.record05, t);
    append_indexed(store.gnss_record04[r], fields.record04, t);
    append_indexed(store.gnss_record06[r], fields.record06, t);
    append_indexed(store.gnss_record0B[r], fields.record0B, t);
    append_indexed(store.gnss_record07[r], fields.record07, t);
    append_indexed(store.gnss_record08[r], fields.record08, t);
    append_indexed(store.gnss_record0A[r], fields.record0A, t);
    append_indexed(store.gnss_record0D[r], fields.record0D, t);
}

// Number of filter vector descriptors 0x05 .. 0x0C, each with a sequence of its own.
constexpr int kFilterVectorRun = VXP_FILTER_FIELD_VECTOR0C - VXP_FILTER_FIELD_VECTOR05 + 1;

void route_filter(VxpDataStore& store, uint8_t* packet, uint16_t size, uint8_t kind) {
    ++store.filter_packet_count;
    if (store.filter_packet_observer != nullptr)
        store.filter_packet_observer(nullptr, packet, size, kind);

    const uint8_t* own_time = nullptr;
    const uint8_t* shared_time = nullptr;
    const uint8_t* record10 = nullptr;
    const uint8_t* record01 = nullptr;
    const uint8_t* vector02 = nullptr;
    std::array<const uint8_t*, kFilterVectorRun> vectors{};  // 0x05 .. 0x0C
    walk_fields(packet, size, [&](uint8_t descriptor, uint8_t* data, uint16_t n) {
        if (descriptor == VXP_FILTER_FIELD_TIME) {
            convert<GpsTimestamp>(own_time, data, n, vxp_decode_gps_timestamp);
        } else if (descriptor == VXP_FIELD_SHARED_TIME) {
            convert<GpsTimestamp>(shared_time, data, n, vxp_decode_gps_timestamp);
        } else if (descriptor == VXP_FILTER_FIELD_RECORD10) {
            convert<FilterRecord10>(record10, data, n, vxp_decode_filter_record10);
        } else if (descriptor == VXP_FILTER_FIELD_RECORD01) {
            convert<FilterRecord01>(record01, data, n, vxp_decode_filter_record01);
        } else if (descriptor == VXP_FILTER_FIELD_VECTOR02) {
            convert<FilterVector>(vector02, data, n, vxp_decode_filter_vector);
        } else if (descriptor >= VXP_FILTER_FIELD_VECTOR05 && descriptor <= VXP_FILTER_FIELD_VECTOR0C) {
            convert<FilterVector>(vectors[descriptor - VXP_FILTER_FIELD_VECTOR05], data, n,
                                  vxp_decode_filter_vector);
        }
    });

    append_record(store.filter_timestamps, own_time);
    append_record(store.filter_shared_timestamps, shared_time);
    const uint32_t t =
        packet_time_index(shared_time, store.filter_shared_timestamps, own_time, store.filter_timestamps);
    append_indexed(store.filter_record10, record10, t);
    append_indexed(store.filter_record01, record01, t);
    append_indexed(store.filter_vector02, vector02, t);
    const std::array<Sequence<TimeIndexed<FilterVector>>*, kFilterVectorRun> targets = {
        &store.filter_vector05, &store.filter_vector06, &store.filter_vector07, &store.filter_vector08,
        &store.filter_vector09, &store.filter_vector0A, &store.filter_vector0B, &store.filter_vector0C};
    for (int i = 0; i < kFilterVectorRun; ++i)
        append_indexed(*targets[i], vectors[i], t);
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

void VxpDataStore::route_packet(uint8_t* packet, uint16_t size, uint8_t kind) {
    // Every event of the parser comes with at least the packet header.
    if (packet == nullptr || size < VXP_HEADER_SIZE)
        return;
    if (kind == VXP_PACKET_CHECKSUM_ERROR) {
        // The set byte of a damaged packet is trusted as received.
        count_checksum_error(*this, vxp_packet_descriptor_set(packet));
        return;
    }
    if (kind == VXP_PACKET_TIMEOUT)
        return;

    ++packet_count;
    const uint8_t descriptor_set = vxp_packet_descriptor_set(packet);
    if (descriptor_set == VXP_SET_SENSOR) {
        route_sensor(*this, packet, size, kind);
    } else if (descriptor_set == VXP_SET_FILTER) {
        route_filter(*this, packet, size, kind);
    } else if (is_gnss_set(descriptor_set)) {
        route_gnss(*this, packet, size, kind, descriptor_set);
    } else if (descriptor_set == VXP_SET_COMMAND_01) {
        keep_whole_packet(*this, raw_packets_01, packet, size);
    } else if (descriptor_set == VXP_SET_COMMAND_0C) {
        keep_whole_packet(*this, raw_packets_0C, packet, size);
    } else if (descriptor_set == VXP_SET_COMMAND_0D) {
        keep_whole_packet(*this, raw_packets_0D, packet, size);
    }
}
