// The packet router: walks the fields of every good packet, converts the records it takes to host
// order and hands them to its consumer; counts nothing and keeps nothing but the state of the
// epoch rule and of the repeated-ephemeris rule.
#include "route/packet_router.h"

#include <cstring>
#include <new>

#include "vxp/packet.h"
#include "vxp/parser.h"
#include "vxp/status.h"

namespace {

// A field decoder reverses a record's multi-byte members in place; a copying one writes the
// record converted from the received bytes, which it leaves as they are.
using Decoder = void (*)(uint8_t* data);
using CopyingDecoder = void (*)(const uint8_t* source, uint8_t* target);

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

// A record taken from a field: copied out and converted to host order when the field holds a whole
// record (the packet's bytes stay as received); a shorter field is skipped and the record keeps what it had
// (a later field of the same descriptor replaces an earlier one). Nothing is read before a record was taken,
// so the room for it is not cleared first.
template <class R>
class Taken {
  public:
    bool take(const uint8_t* data, uint16_t data_size, Decoder decode) {
        if (data_size < sizeof(R))
            return false;
        std::memcpy(&value_, data, sizeof value_);
        decode(reinterpret_cast<uint8_t*>(&value_));
        present_ = true;
        return true;
    }
    bool take(const uint8_t* data, uint16_t data_size, CopyingDecoder decode) {
        if (data_size < sizeof(R))
            return false;
        decode(data, reinterpret_cast<uint8_t*>(&value_));
        present_ = true;
        return true;
    }
    const R* get() const { return present_ ? &value_ : nullptr; }
    const R& value() const { return value_; }

  private:
    R value_;
    bool present_ = false;
};

}  // namespace

int receiver_for_set(uint8_t descriptor_set) {
    if (descriptor_set == VXP_SET_GNSS_LEGACY)
        return 0;
    return descriptor_set - VXP_SET_GNSS_FIRST;
}

bool is_gnss_set(uint8_t descriptor_set) {
    return descriptor_set == VXP_SET_GNSS_LEGACY ||
           (descriptor_set >= VXP_SET_GNSS_FIRST && descriptor_set <= VXP_SET_GNSS_LAST);
}

template <int Slots>
bool PacketRouter::SlotState<Slots>::is_new(uint8_t slot, double t) {
    if (slot >= Slots)
        return false;
    if (filled[slot] && time_of_week[slot] == t)
        return false;
    filled[slot] = true;
    time_of_week[slot] = t;
    return true;
}

void PacketRouter::reset() {
    out_of_memory_ = false;
    epochs_ = {};
    gps_ = {};
    galileo_ = {};
    glonass_ = {};
}

void PacketRouter::route(uint8_t* packet, uint16_t size, uint8_t kind) {
    // Every event of the parser comes with at least the packet header.
    if (packet == nullptr || size < VXP_HEADER_SIZE)
        return;
    const uint8_t descriptor_set = vxp_packet_descriptor_set(packet);
    if (kind == VXP_PACKET_CHECKSUM_ERROR) {
        consumer_.checksum_error(descriptor_set);
        return;
    }
    if (kind == VXP_PACKET_TIMEOUT)
        return;

    consumer_.good_packet(descriptor_set, packet, size, kind);
    if (descriptor_set == VXP_SET_SENSOR) {
        route_sensor(packet, size);
    } else if (descriptor_set == VXP_SET_FILTER) {
        if (wants(kRouteFilterRecords))
            route_filter(packet, size);
    } else if (is_gnss_set(descriptor_set)) {
        route_gnss(packet, size, descriptor_set);
    } else if ((descriptor_set == VXP_SET_COMMAND_01 || descriptor_set == VXP_SET_COMMAND_0C ||
                descriptor_set == VXP_SET_COMMAND_0D) &&
               wants(kRouteCommandPackets)) {
        consumer_.command_packet(descriptor_set, packet, size);
    }
}

void PacketRouter::route_sensor(uint8_t* packet, uint16_t size) {
    Taken<GpsTimestamp> own_time;
    Taken<GpsTimestamp> shared_time;
    Taken<SensorVector> accel;
    Taken<SensorVector> gyro;
    Taken<SensorVector> vector06;
    Taken<SensorScalar17> scalar17;
    Taken<SensorVector> theta;
    Taken<SensorVector> velocity;
    const bool extras = wants(kRouteSensorExtras);
    walk_fields(packet, size, [&](uint8_t descriptor, uint8_t* data, uint16_t n) {
        switch (descriptor) {
            case VXP_SENSOR_FIELD_TIME:
                own_time.take(data, n, vxp_decode_gps_timestamp_to);
                break;
            case VXP_FIELD_SHARED_TIME:
                shared_time.take(data, n, vxp_decode_gps_timestamp_to);
                break;
            case VXP_SENSOR_FIELD_SCALED_ACCEL:
                accel.take(data, n, vxp_decode_sensor_vector_to);
                break;
            case VXP_SENSOR_FIELD_SCALED_GYRO:
                gyro.take(data, n, vxp_decode_sensor_vector_to);
                break;
            case VXP_SENSOR_FIELD_VECTOR06:
                if (extras)
                    vector06.take(data, n, vxp_decode_sensor_vector_to);
                break;
            case VXP_SENSOR_FIELD_SCALAR17:
                if (extras)
                    scalar17.take(data, n, vxp_decode_sensor_scalar17);
                break;
            case VXP_SENSOR_FIELD_DELTA_THETA:
                theta.take(data, n, vxp_decode_sensor_vector_to);
                break;
            case VXP_SENSOR_FIELD_DELTA_VELOCITY:
                velocity.take(data, n, vxp_decode_sensor_vector_to);
                break;
            default:
                break;
        }
    });
    consumer_.sensor_packet(SensorPacketRecords{own_time.get(), shared_time.get(), accel.get(), gyro.get(),
                                                vector06.get(), scalar17.get(), theta.get(), velocity.get()});
}

// Records filed by themselves during the walk; false for a descriptor that is not one of them.
bool PacketRouter::route_gnss_record(int r, uint8_t descriptor_set, uint8_t descriptor, uint8_t* data,
                                     uint16_t n) {
    switch (descriptor) {
        case VXP_GNSS_FIELD_RAW_OBSERVATION: {
            Taken<RawObservation> observation;
            if (observation.take(data, n, vxp_decode_raw_observation_to)) {
                // Epoch rule: consecutive observations with the same time of week form one epoch
                // (a NaN time starts an epoch of its own).
                const double t = observation.value().time_of_week;
                EpochState& epoch = epochs_[r];
                const bool starts = !(epoch.open && epoch.time_of_week == t);
                epoch = EpochState{true, t};
                consumer_.observation(r, observation.value(), starts);
            }
            return true;
        }
        case VXP_GNSS_FIELD_GPS_EPHEMERIS: {
            Taken<GpsEphemeris> e;
            if (e.take(data, n, vxp_decode_gps_ephemeris) &&
                gps_[r].is_new(e.value().satellite_id, e.value().time_of_week))
                consumer_.gps_ephemeris(r, e.value());
            return true;
        }
        case VXP_GNSS_FIELD_GALILEO_EPHEMERIS: {
            Taken<GalileoEphemeris> e;
            if (e.take(data, n, vxp_decode_gps_ephemeris) &&
                galileo_[r].is_new(e.value().satellite_id, e.value().time_of_week))
                consumer_.galileo_ephemeris(r, e.value());
            return true;
        }
        case VXP_GNSS_FIELD_GLONASS_EPHEMERIS: {
            Taken<GlonassEphemeris> e;
            if (e.take(data, n, vxp_decode_glonass_ephemeris) &&
                glonass_[r].is_new(e.value().satellite_id, e.value().time_of_week))
                consumer_.glonass_ephemeris(r, e.value());
            return true;
        }
        case VXP_GNSS_FIELD_GPS_IONO: {
            Taken<GpsIonoCorrection> c;
            if (c.take(data, n, vxp_decode_gps_iono))
                consumer_.gps_iono(r, c.value());
            return true;
        }
        case VXP_GNSS_FIELD_GALILEO_IONO: {
            Taken<GalileoIonoCorrection> c;
            if (c.take(data, n, vxp_decode_galileo_iono))
                consumer_.galileo_iono(r, c.value());
            return true;
        }
        case VXP_GNSS_FIELD_LEAP_SECONDS: {
            Taken<GnssLeapSeconds> l;
            if (l.take(data, n, vxp_decode_leap_seconds))
                consumer_.leap_seconds(r, l.value());
            return true;
        }
        case VXP_GNSS_FIELD_BASE_STATION: {
            Taken<BaseStationInfo> b;
            if (b.take(data, n, vxp_decode_base_station_info) && descriptor_set == VXP_SET_GNSS_BASE)
                consumer_.base_station(b.value());
            return true;
        }
        default:
            return false;
    }
}

void PacketRouter::route_gnss(uint8_t* packet, uint16_t size, uint8_t descriptor_set) {
    const int r = receiver_for_set(descriptor_set);
    Taken<GpsTimestamp> own_time;
    Taken<GpsTimestamp> shared_time;
    Taken<GnssRecord03> record03;
    Taken<GnssRecord05> record05;
    Taken<GnssRecord04> record04;
    Taken<GnssRecord06> record06;
    Taken<GnssRecord0B> record0B;
    Taken<GnssRecord07> record07;
    Taken<GnssRecord08> record08;
    Taken<GnssRecord0A> record0A;
    Taken<GnssRecord0D> record0D;
    const bool timed_records = wants(kRouteGnssTimedRecords);
    walk_fields(packet, size, [&](uint8_t descriptor, uint8_t* data, uint16_t n) {
        if (!timed_records) {
            route_gnss_record(r, descriptor_set, descriptor, data, n);
            return;
        }
        switch (descriptor) {
            case VXP_GNSS_FIELD_TIME:
                own_time.take(data, n, vxp_decode_gps_timestamp_to);
                break;
            case VXP_FIELD_SHARED_TIME:
                shared_time.take(data, n, vxp_decode_gps_timestamp_to);
                break;
            case VXP_GNSS_FIELD_RECORD03:
                record03.take(data, n, vxp_decode_gnss_record03);
                break;
            case VXP_GNSS_FIELD_RECORD05:
                record05.take(data, n, vxp_decode_gnss_record05);
                break;
            case VXP_GNSS_FIELD_RECORD04:
                record04.take(data, n, vxp_decode_gnss_record04);
                break;
            case VXP_GNSS_FIELD_RECORD06:
                record06.take(data, n, vxp_decode_gnss_record06);
                break;
            case VXP_GNSS_FIELD_RECORD0B:
                record0B.take(data, n, vxp_decode_gnss_record0B);
                break;
            case VXP_GNSS_FIELD_RECORD07:
                record07.take(data, n, vxp_decode_gnss_record07);
                break;
            case VXP_GNSS_FIELD_RECORD08:
                record08.take(data, n, vxp_decode_gnss_record08);
                break;
            case VXP_GNSS_FIELD_RECORD0A:
                record0A.take(data, n, vxp_decode_gnss_record0A);
                break;
            case VXP_GNSS_FIELD_RECORD0D:
                record0D.take(data, n, vxp_decode_gnss_record0D);
                break;
            default:
                route_gnss_record(r, descriptor_set, descriptor, data, n);
                break;
        }
    });
    consumer_.gnss_packet(
        r, GnssPacketRecords{own_time.get(), shared_time.get(), record03.get(), record05.get(),
                             record04.get(), record06.get(), record0B.get(), record07.get(), record08.get(),
                             record0A.get(), record0D.get()});
}

void PacketRouter::route_filter(uint8_t* packet, uint16_t size) {
    Taken<GpsTimestamp> own_time;
    Taken<GpsTimestamp> shared_time;
    Taken<FilterRecord10> record10;
    Taken<FilterRecord01> record01;
    Taken<FilterVector> vector02;
    std::array<Taken<FilterVector>, kFilterVectorRun> vectors;  // 0x05 .. 0x0C
    walk_fields(packet, size, [&](uint8_t descriptor, uint8_t* data, uint16_t n) {
        if (descriptor == VXP_FILTER_FIELD_TIME) {
            own_time.take(data, n, vxp_decode_gps_timestamp_to);
        } else if (descriptor == VXP_FIELD_SHARED_TIME) {
            shared_time.take(data, n, vxp_decode_gps_timestamp_to);
        } else if (descriptor == VXP_FILTER_FIELD_RECORD10) {
            record10.take(data, n, vxp_decode_filter_record10);
        } else if (descriptor == VXP_FILTER_FIELD_RECORD01) {
            record01.take(data, n, vxp_decode_filter_record01);
        } else if (descriptor == VXP_FILTER_FIELD_VECTOR02) {
            vector02.take(data, n, vxp_decode_filter_vector);
        } else if (descriptor >= VXP_FILTER_FIELD_VECTOR05 && descriptor <= VXP_FILTER_FIELD_VECTOR0C) {
            vectors[descriptor - VXP_FILTER_FIELD_VECTOR05].take(data, n, vxp_decode_filter_vector);
        }
    });
    FilterPacketRecords records{own_time.get(), shared_time.get(), record10.get(),
                                record01.get(), vector02.get(),    {}};
    for (int i = 0; i < kFilterVectorRun; ++i)
        records.vectors[static_cast<std::size_t>(i)] = vectors[static_cast<std::size_t>(i)].get();
    consumer_.filter_packet(records);
}

void PacketRouter::route_from_parser(uint8_t* packet, uint16_t size, uint8_t kind) noexcept {
    if (out_of_memory_)
        return;
    try {
        route(packet, size, kind);
    } catch (const std::bad_alloc&) {
        out_of_memory_ = true;
    }
}

void PacketRouter::rethrow_allocation_failure() const {
    if (out_of_memory_)
        throw std::bad_alloc();
}

extern "C" void vxp_router_packet_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    if (user_ptr != nullptr)
        static_cast<PacketRouter*>(user_ptr)->route_from_parser(packet, size, kind);
}
