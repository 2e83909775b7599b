#include "route/record_relay.h"

#include <cstring>

#include "vxp/packet.h"

namespace {

// Batches in turn between the two threads: enough for the router to run ahead of the target by a
// few thousand records while neither waits, and little memory (2 MB).
constexpr std::size_t kBatchCount = 8;
constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
// Room for the largest call: a packet's bytes or a record, with the call's own few bytes.
constexpr std::size_t kLargestCall = 1024;
static_assert(16 + VXP_MAX_PACKET_SIZE < kLargestCall);
static_assert(16 + sizeof(GpsEphemeris) < kLargestCall && 16 + sizeof(GalileoEphemeris) < kLargestCall &&
              16 + sizeof(GlonassEphemeris) < kLargestCall);
static_assert(16 + 2 * sizeof(GpsTimestamp) + sizeof(GnssRecord03) + sizeof(GnssRecord04) +
                  sizeof(GnssRecord05) + sizeof(GnssRecord06) + sizeof(GnssRecord07) + sizeof(GnssRecord08) +
                  sizeof(GnssRecord0A) + sizeof(GnssRecord0B) + sizeof(GnssRecord0D) <
              kLargestCall);
static_assert(16 + 2 * sizeof(GpsTimestamp) + sizeof(FilterRecord10) + sizeof(FilterRecord01) +
                  (1 + kFilterVectorRun) * sizeof(FilterVector) <
              kLargestCall);

enum class Call : uint8_t {
    checksum_error,
    good_packet,
    sensor_packet,
    filter_packet,
    gnss_packet,
    observation,
    gps_ephemeris,
    galileo_ephemeris,
    glonass_ephemeris,
    gps_iono,
    galileo_iono,
    leap_seconds,
    base_station,
    command_packet,
};

// Calls are written as their values byte for byte; records that may be absent follow a mask of
// the present ones.
class Writer {
  public:
    explicit Writer(uint8_t* at) : at_(at) {}
    template <class T>
    void put(const T& value) {
        std::memcpy(at_, &value, sizeof value);
        at_ += sizeof value;
    }
    void put_bytes(const uint8_t* bytes, std::size_t count) {
        std::memcpy(at_, bytes, count);
        at_ += count;
    }
    // A place for the mask, filled in by end_mask once the records after it are written.
    void begin_mask() {
        mask_at_ = at_;
        mask_ = 0;
        at_ += sizeof mask_;
    }
    template <class T>
    void put_optional(const T* record) {
        if (record != nullptr) {
            mask_ = static_cast<uint16_t>(mask_ | (1u << bit_));
            put(*record);
        }
        ++bit_;
    }
    void end_mask() {
        std::memcpy(mask_at_, &mask_, sizeof mask_);
        bit_ = 0;
    }
    const uint8_t* at() const { return at_; }

  private:
    uint8_t* at_;
    uint8_t* mask_at_ = nullptr;
    uint16_t mask_ = 0;
    int bit_ = 0;
};

class Reader {
  public:
    explicit Reader(const uint8_t* at) : at_(at) {}
    template <class T>
    T take() {
        T value;
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    const uint8_t* take_bytes(std::size_t count) {
        const uint8_t* const start = at_;
        at_ += count;
        return start;
    }
    void begin_mask() {
        mask_ = take<uint16_t>();
        bit_ = 0;
    }
    // The record in `storage` and a pointer to it, or null when it was absent.
    template <class T>
    const T* take_optional(T& storage) {
        const bool present = (mask_ & (1u << bit_++)) != 0;
        if (!present)
            return nullptr;
        storage = take<T>();
        return &storage;
    }
    const uint8_t* at() const { return at_; }

  private:
    const uint8_t* at_;
    uint16_t mask_ = 0;
    int bit_ = 0;
};

}  // namespace

RecordRelay::RecordRelay(RecordConsumer& target)
    : target_(target), interest_(target.interest()), batches_(kBatchCount) {
    for (int receiver = 0; receiver < kReceiverCount; ++receiver) {
        if (target.takes_receiver(receiver))
            receivers_ |= 1u << receiver;
    }
    for (Batch& batch : batches_)
        batch.bytes.reset(new uint8_t[kBatchBytes]);  // not zeroed: every byte is written before read
    worker_ = std::thread([this] { work(); });
}

RecordRelay::~RecordRelay() {
    stop();
}

void RecordRelay::stop() {
    if (!worker_.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        failed_ = true;  // what is queued is dropped
    }
    changed_.notify_all();
    worker_.join();
}

void RecordRelay::finish() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (batches_[filling_].size > 0)
            ++filled_;
        closing_ = true;
    }
    changed_.notify_all();
    worker_.join();
    if (failure_)
        std::rethrow_exception(failure_);
}

uint8_t* RecordRelay::reserve() {
    if (batches_[filling_].size + kLargestCall > kBatchBytes)
        hand_over();
    Batch& batch = batches_[filling_];
    return batch.bytes.get() + batch.size;
}

void RecordRelay::commit(const uint8_t* end) {
    Batch& batch = batches_[filling_];
    batch.size = static_cast<std::size_t>(end - batch.bytes.get());
}

void RecordRelay::hand_over() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++filled_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return filled_ < kBatchCount || failed_; });
    if (failed_) {
        // The target failed: the reading stops with its failure.
        const std::exception_ptr failure = failure_;
        lock.unlock();
        std::rethrow_exception(failure);
    }
    filling_ = (filling_ + 1) % kBatchCount;
}

void RecordRelay::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return filled_ > 0 || closing_; });
        if (filled_ == 0)
            return;
        Batch& batch = batches_[next_full_];
        const bool skip = failed_;
        lock.unlock();
        if (!skip) {
            try {
                replay(batch);
            } catch (...) {
                const std::lock_guard<std::mutex> failing(mutex_);
                failed_ = true;
                failure_ = std::current_exception();
            }
        }
        batch.size = 0;
        lock.lock();
        next_full_ = (next_full_ + 1) % kBatchCount;
        --filled_;
        changed_.notify_all();
    }
}

void RecordRelay::checksum_error(uint8_t descriptor_set) {
    Writer out(reserve());
    out.put(Call::checksum_error);
    out.put(descriptor_set);
    commit(out.at());
}

void RecordRelay::good_packet(uint8_t descriptor_set, const uint8_t* packet, uint16_t size, uint8_t kind) {
    if (!wants(kRouteGoodPackets))
        return;
    const bool with_bytes = wants(kRoutePacketBytes) && packet != nullptr;
    Writer out(reserve());
    out.put(Call::good_packet);
    out.put(descriptor_set);
    out.put(kind);
    out.put(size);
    out.put(static_cast<uint8_t>(with_bytes));
    if (with_bytes)
        out.put_bytes(packet, size);
    commit(out.at());
}

void RecordRelay::sensor_packet(const SensorPacketRecords& r) {
    if (!wants(kRouteSensorPackets))
        return;
    Writer out(reserve());
    out.put(Call::sensor_packet);
    out.begin_mask();
    out.put_optional(r.own_time);
    out.put_optional(r.shared_time);
    out.put_optional(r.scaled_accel);
    out.put_optional(r.scaled_gyro);
    out.put_optional(r.vector06);
    out.put_optional(r.scalar17);
    out.put_optional(r.delta_theta);
    out.put_optional(r.delta_velocity);
    out.end_mask();
    commit(out.at());
}

void RecordRelay::filter_packet(const FilterPacketRecords& r) {
    if (!wants(kRouteFilterRecords))
        return;
    Writer out(reserve());
    out.put(Call::filter_packet);
    out.begin_mask();
    out.put_optional(r.own_time);
    out.put_optional(r.shared_time);
    out.put_optional(r.record10);
    out.put_optional(r.record01);
    out.put_optional(r.vector02);
    for (const FilterVector* vector : r.vectors)
        out.put_optional(vector);
    out.end_mask();
    commit(out.at());
}

void RecordRelay::gnss_packet(int receiver, const GnssPacketRecords& r) {
    if (!wants(kRouteGnssTimedRecords))
        return;
    Writer out(reserve());
    out.put(Call::gnss_packet);
    out.put(static_cast<int8_t>(receiver));
    out.begin_mask();
    out.put_optional(r.own_time);
    out.put_optional(r.shared_time);
    out.put_optional(r.record03);
    out.put_optional(r.record05);
    out.put_optional(r.record04);
    out.put_optional(r.record06);
    out.put_optional(r.record0B);
    out.put_optional(r.record07);
    out.put_optional(r.record08);
    out.put_optional(r.record0A);
    out.put_optional(r.record0D);
    out.end_mask();
    commit(out.at());
}

void RecordRelay::observation(int receiver, const RawObservation& observation, bool starts_epoch) {
    if (!wants(kRouteObservations) || (receivers_ & (1u << receiver)) == 0)
        return;
    Writer out(reserve());
    out.put(Call::observation);
    out.put(static_cast<int8_t>(receiver));
    out.put(static_cast<uint8_t>(starts_epoch));
    out.put(observation);
    commit(out.at());
}

namespace {

template <class Record>
void put_receiver_record(Writer& out, Call call, int receiver, const Record& record) {
    out.put(call);
    out.put(static_cast<int8_t>(receiver));
    out.put(record);
}

}  // namespace

void RecordRelay::gps_ephemeris(int receiver, const GpsEphemeris& ephemeris) {
    Writer out(reserve());
    put_receiver_record(out, Call::gps_ephemeris, receiver, ephemeris);
    commit(out.at());
}

void RecordRelay::galileo_ephemeris(int receiver, const GalileoEphemeris& ephemeris) {
    Writer out(reserve());
    put_receiver_record(out, Call::galileo_ephemeris, receiver, ephemeris);
    commit(out.at());
}

void RecordRelay::glonass_ephemeris(int receiver, const GlonassEphemeris& ephemeris) {
    Writer out(reserve());
    put_receiver_record(out, Call::glonass_ephemeris, receiver, ephemeris);
    commit(out.at());
}

void RecordRelay::gps_iono(int receiver, const GpsIonoCorrection& correction) {
    Writer out(reserve());
    put_receiver_record(out, Call::gps_iono, receiver, correction);
    commit(out.at());
}

void RecordRelay::galileo_iono(int receiver, const GalileoIonoCorrection& correction) {
    Writer out(reserve());
    put_receiver_record(out, Call::galileo_iono, receiver, correction);
    commit(out.at());
}

void RecordRelay::leap_seconds(int receiver, const GnssLeapSeconds& record) {
    Writer out(reserve());
    put_receiver_record(out, Call::leap_seconds, receiver, record);
    commit(out.at());
}

void RecordRelay::base_station(const BaseStationInfo& record) {
    Writer out(reserve());
    out.put(Call::base_station);
    out.put(record);
    commit(out.at());
}

void RecordRelay::command_packet(uint8_t descriptor_set, const uint8_t* packet, uint16_t size) {
    if (!wants(kRouteCommandPackets))
        return;
    Writer out(reserve());
    out.put(Call::command_packet);
    out.put(descriptor_set);
    out.put(size);
    out.put_bytes(packet, size);
    commit(out.at());
}

void RecordRelay::replay(const Batch& batch) {
    Reader in(batch.bytes.get());
    const uint8_t* const end = batch.bytes.get() + batch.size;
    while (in.at() < end) {
        switch (in.take<Call>()) {
            case Call::checksum_error:
                target_.checksum_error(in.take<uint8_t>());
                break;
            case Call::good_packet: {
                const auto set = in.take<uint8_t>();
                const auto kind = in.take<uint8_t>();
                const auto size = in.take<uint16_t>();
                const bool with_bytes = in.take<uint8_t>() != 0;
                const uint8_t* const packet = with_bytes ? in.take_bytes(size) : nullptr;
                target_.good_packet(set, packet, size, kind);
                break;
            }
            case Call::sensor_packet: {
                GpsTimestamp own_time, shared_time;
                SensorVector accel, gyro, vector06, delta_theta, delta_velocity;
                SensorScalar17 scalar17;
                SensorPacketRecords r;
                in.begin_mask();
                r.own_time = in.take_optional(own_time);
                r.shared_time = in.take_optional(shared_time);
                r.scaled_accel = in.take_optional(accel);
                r.scaled_gyro = in.take_optional(gyro);
                r.vector06 = in.take_optional(vector06);
                r.scalar17 = in.take_optional(scalar17);
                r.delta_theta = in.take_optional(delta_theta);
                r.delta_velocity = in.take_optional(delta_velocity);
                target_.sensor_packet(r);
                break;
            }
            case Call::filter_packet: {
                GpsTimestamp own_time, shared_time;
                FilterRecord10 record10;
                FilterRecord01 record01;
                FilterVector vector02;
                std::array<FilterVector, kFilterVectorRun> vectors;
                FilterPacketRecords r;
                in.begin_mask();
                r.own_time = in.take_optional(own_time);
                r.shared_time = in.take_optional(shared_time);
                r.record10 = in.take_optional(record10);
                r.record01 = in.take_optional(record01);
                r.vector02 = in.take_optional(vector02);
                for (std::size_t i = 0; i < vectors.size(); ++i)
                    r.vectors[i] = in.take_optional(vectors[i]);
                target_.filter_packet(r);
                break;
            }
            case Call::gnss_packet: {
                const int receiver = in.take<int8_t>();
                GpsTimestamp own_time, shared_time;
                GnssRecord03 record03;
                GnssRecord05 record05;
                GnssRecord04 record04;
                GnssRecord06 record06;
                GnssRecord0B record0B;
                GnssRecord07 record07;
                GnssRecord08 record08;
                GnssRecord0A record0A;
                GnssRecord0D record0D;
                GnssPacketRecords r;
                in.begin_mask();
                r.own_time = in.take_optional(own_time);
                r.shared_time = in.take_optional(shared_time);
                r.record03 = in.take_optional(record03);
                r.record05 = in.take_optional(record05);
                r.record04 = in.take_optional(record04);
                r.record06 = in.take_optional(record06);
                r.record0B = in.take_optional(record0B);
                r.record07 = in.take_optional(record07);
                r.record08 = in.take_optional(record08);
                r.record0A = in.take_optional(record0A);
                r.record0D = in.take_optional(record0D);
                target_.gnss_packet(receiver, r);
                break;
            }
            case Call::observation: {
                const int receiver = in.take<int8_t>();
                const bool starts_epoch = in.take<uint8_t>() != 0;
                target_.observation(receiver, in.take<RawObservation>(), starts_epoch);
                break;
            }
            case Call::gps_ephemeris: {
                const int receiver = in.take<int8_t>();
                target_.gps_ephemeris(receiver, in.take<GpsEphemeris>());
                break;
            }
            case Call::galileo_ephemeris: {
                const int receiver = in.take<int8_t>();
                target_.galileo_ephemeris(receiver, in.take<GalileoEphemeris>());
                break;
            }
            case Call::glonass_ephemeris: {
                const int receiver = in.take<int8_t>();
                target_.glonass_ephemeris(receiver, in.take<GlonassEphemeris>());
                break;
            }
            case Call::gps_iono: {
                const int receiver = in.take<int8_t>();
                target_.gps_iono(receiver, in.take<GpsIonoCorrection>());
                break;
            }
            case Call::galileo_iono: {
                const int receiver = in.take<int8_t>();
                target_.galileo_iono(receiver, in.take<GalileoIonoCorrection>());
                break;
            }
            case Call::leap_seconds: {
                const int receiver = in.take<int8_t>();
                target_.leap_seconds(receiver, in.take<GnssLeapSeconds>());
                break;
            }
            case Call::base_station:
                target_.base_station(in.take<BaseStationInfo>());
                break;
            case Call::command_packet: {
                const auto set = in.take<uint8_t>();
                const auto size = in.take<uint16_t>();
                target_.command_packet(set, in.take_bytes(size), size);
                break;
            }
        }
    }
}
