// Read side of the store: counts and presence, the leap-second search, container access, time
// records and the cursor lookups that find the data record belonging to a time record.
#include <limits>

#include "store/imu_rate.h"
#include "store/vxp_data_store.h"

namespace {

constexpr double kSecondsPerWeek = 604800.0;
// Answer of imu_min_interval when no pair of time records counts.
constexpr double kNoInterval = std::numeric_limits<double>::max();
// Answer of first_valid_gnss_time when no time record is valid.
constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
// Bits of GpsTimestamp::valid_flags that mark a usable time tag.
constexpr uint16_t kTimeValidMask = 0x0003u;

// Receiver-indexed queries answer absence for an index outside 0..4 rather than read past the
// per-receiver arrays.
bool valid_receiver(int receiver_index) {
    return receiver_index >= 0 && receiver_index < kReceiverCount;
}

// The time sequence in force for a data family: the shared one (0xD3) when it holds anything.
const Sequence<GpsTimestamp>& time_sequence_in_use(const Sequence<GpsTimestamp>& shared,
                                                   const Sequence<GpsTimestamp>& own) {
    return shared.empty() ? own : shared;
}

// The IMU time-tag list: every timed packet's tag once the log mixes the two kinds, else the
// sequence in use.
const Sequence<GpsTimestamp>& imu_time_tags(const VxpDataStore& store) {
    if (!store.imu_packet_timestamps.empty())
        return store.imu_packet_timestamps;
    return time_sequence_in_use(store.imu_shared_timestamps, store.imu_timestamps);
}

bool time_at(const Sequence<GpsTimestamp>& shared, const Sequence<GpsTimestamp>& own, uint32_t i,
             GpsTimestamp& out) {
    if (i < shared.size()) {
        out = shared[i];
        return true;
    }
    if (i < own.size()) {
        out = own[i];
        return true;
    }
    return false;
}

// The one cursor lookup of every time-indexed sequence: the last element at or after the cursor
// whose time_index does not exceed t (the first element when all exceed it, unless exact); with
// exact, only an element whose time_index equals t. The cursor remembers where the walk ended, so
// lookups at rising t cost one pass over the sequence in total.
template <class R>
bool cursor_lookup(const Sequence<TimeIndexed<R>>& sequence, uint32_t& cursor, uint32_t t, R& out,
                   bool exact) {
    if (sequence.empty())
        return false;
    const std::size_t last = sequence.size() - 1;
    // A cursor left from a longer sequence (clear keeps cursors) is brought back inside.
    if (cursor > last)
        cursor = static_cast<uint32_t>(last);
    while (cursor > 0 && t < sequence[cursor].time_index)
        --cursor;
    std::size_t i = cursor;
    while (i < last && t >= sequence[i + 1].time_index)
        ++i;
    if (exact && sequence[i].time_index != t)
        return false;
    out = sequence[i].record;
    cursor = static_cast<uint32_t>(i);
    return true;
}

}  // namespace

uint32_t VxpDataStore::imu_checksum_errors() const {
    return imu_checksum_error_count;
}

uint32_t VxpDataStore::gnss_checksum_errors(uint8_t receiver_index) const {
    if (receiver_index >= kReceiverCount)
        return 0;
    return gnss_checksum_error_count[receiver_index];
}

bool VxpDataStore::has_receiver_data(int receiver_index) const {
    return valid_receiver(receiver_index) && !raw_epochs[receiver_index].empty();
}

bool VxpDataStore::has_navigation_data(int receiver_index) const {
    if (!valid_receiver(receiver_index))
        return false;
    for (const auto& slot : gps_ephemerides[receiver_index]) {
        if (!slot.empty())
            return true;
    }
    for (const auto& slot : galileo_ephemerides[receiver_index]) {
        if (!slot.empty())
            return true;
    }
    for (const auto& slot : glonass_ephemerides[receiver_index]) {
        if (!slot.empty())
            return true;
    }
    return false;
}

bool VxpDataStore::leap_seconds_from_data(double& leap_seconds) const {
    for (const auto& records : leap_second_records) {
        for (const GnssLeapSeconds& record : records) {
            if (record.valid_flags != 0) {
                leap_seconds = static_cast<double>(record.leap_seconds);
                return true;
            }
        }
    }
    return false;
}

const Sequence<RawEpoch>& VxpDataStore::receiver_raw_epochs(int receiver_index) const {
    return raw_epochs[receiver_index];
}

const std::array<Sequence<GpsEphemeris>, kGpsSlots>& VxpDataStore::receiver_gps_ephemerides(
    int receiver_index) const {
    return gps_ephemerides[receiver_index];
}

const std::array<Sequence<GalileoEphemeris>, kGalileoSlots>& VxpDataStore::receiver_galileo_ephemerides(
    int receiver_index) const {
    return galileo_ephemerides[receiver_index];
}

const std::array<Sequence<GlonassEphemeris>, kGlonassSlots>& VxpDataStore::receiver_glonass_ephemerides(
    int receiver_index) const {
    return glonass_ephemerides[receiver_index];
}

const Sequence<GpsIonoCorrection>& VxpDataStore::receiver_gps_iono(int receiver_index) const {
    return gps_iono[receiver_index];
}

const Sequence<GalileoIonoCorrection>& VxpDataStore::receiver_galileo_iono(int receiver_index) const {
    return galileo_iono[receiver_index];
}

const Sequence<BaseStationInfo>& VxpDataStore::base_station_records() const {
    return base_station_info;
}

const Sequence<TimeIndexed<DeltaThetaVector>>& VxpDataStore::delta_theta_records() const {
    return delta_theta;
}

const Sequence<TimeIndexed<DeltaVelocityVector>>& VxpDataStore::delta_velocity_records() const {
    return delta_velocity;
}

uint32_t VxpDataStore::imu_time_count() const {
    return static_cast<uint32_t>(imu_time_tags(*this).size());
}

bool VxpDataStore::imu_time_at(uint32_t i, GpsTimestamp& out) const {
    if (imu_packet_timestamps.empty())
        return time_at(imu_shared_timestamps, imu_timestamps, i, out);
    if (i >= imu_packet_timestamps.size())
        return false;
    out = imu_packet_timestamps[i];
    return true;
}

bool VxpDataStore::gnss_time_at(int receiver_index, uint32_t i, GpsTimestamp& out) const {
    if (!valid_receiver(receiver_index))
        return false;
    return time_at(gnss_shared_timestamps[receiver_index], gnss_timestamps[receiver_index], i, out);
}

bool VxpDataStore::filter_time_at(uint32_t i, GpsTimestamp& out) const {
    return time_at(filter_shared_timestamps, filter_timestamps, i, out);
}

uint32_t VxpDataStore::first_valid_gnss_time(int receiver_index) const {
    if (!valid_receiver(receiver_index))
        return kNoPosition;
    const Sequence<GpsTimestamp>& times =
        time_sequence_in_use(gnss_shared_timestamps[receiver_index], gnss_timestamps[receiver_index]);
    for (std::size_t i = 0; i < times.size(); ++i) {
        if ((times[i].valid_flags & kTimeValidMask) != 0)
            return static_cast<uint32_t>(i);
    }
    return kNoPosition;
}

namespace {

// Calls f(d) for the interval d between every two neighbouring IMU time records that both have a
// week and a time that is not negative (a NaN time fails too) and both lie in the window; a week
// rollover adds a week.
template <class F>
void for_each_imu_interval(const Sequence<GpsTimestamp>& times, const GpsTimeWindow& window, F&& f) {
    const auto counted = [&](const GpsTimestamp& time) {
        return time.time_of_week >= 0 && time.week_number != 0 &&
               window.contains(gps_seconds(time.time_of_week, time.week_number));
    };
    bool previous_counted = false;
    double previous_time = 0;
    for (const GpsTimestamp& current : times) {
        const bool current_counted = counted(current);
        if (previous_counted && current_counted) {
            double d = current.time_of_week - previous_time;
            if (d < 0)
                d += kSecondsPerWeek;  // week rollover
            f(d);
        }
        previous_counted = current_counted;
        previous_time = current.time_of_week;
    }
}

}  // namespace

double VxpDataStore::imu_min_interval() const {
    double interval = kNoInterval;
    for_each_imu_interval(imu_time_tags(*this), GpsTimeWindow{}, [&](double d) {
        if (d < interval)
            interval = d;
    });
    return interval;
}

double VxpDataStore::imu_rate_hz(const GpsTimeWindow& window) const {
    // Equal neighbours (0) and intervals still negative after the rollover correction (a time of
    // week beyond a week; NaN from infinite times) say nothing about the rate: ImuRate passes
    // them over.
    ImuRate rate;
    for_each_imu_interval(imu_time_tags(*this), window, [&](double d) { rate.add(d); });
    return rate.rate_hz();
}

bool VxpDataStore::scaled_accel_at(uint32_t t, ScaledAccelVector& out, bool exact) {
    return cursor_lookup(scaled_accel, sensor_cursors[0], t, out, exact);
}
bool VxpDataStore::scaled_gyro_at(uint32_t t, ScaledGyroVector& out, bool exact) {
    return cursor_lookup(scaled_gyro, sensor_cursors[1], t, out, exact);
}
bool VxpDataStore::sensor_vector06_at(uint32_t t, SensorVector06& out, bool exact) {
    return cursor_lookup(sensor_vector06, sensor_cursors[2], t, out, exact);
}
bool VxpDataStore::sensor_scalar17_at(uint32_t t, SensorScalar17& out, bool exact) {
    return cursor_lookup(sensor_scalar17, sensor_cursors[3], t, out, exact);
}
bool VxpDataStore::delta_theta_at(uint32_t t, DeltaThetaVector& out, bool exact) {
    return cursor_lookup(delta_theta, sensor_cursors[4], t, out, exact);
}
bool VxpDataStore::delta_velocity_at(uint32_t t, DeltaVelocityVector& out, bool exact) {
    return cursor_lookup(delta_velocity, sensor_cursors[5], t, out, exact);
}

bool VxpDataStore::gnss_record03_at(int r, uint32_t t, GnssRecord03& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record03[r], gnss_cursors[0][r], t, out, exact);
}
bool VxpDataStore::gnss_record05_at(int r, uint32_t t, GnssRecord05& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record05[r], gnss_cursors[1][r], t, out, exact);
}
bool VxpDataStore::gnss_record04_at(int r, uint32_t t, GnssRecord04& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record04[r], gnss_cursors[2][r], t, out, exact);
}
bool VxpDataStore::gnss_record06_at(int r, uint32_t t, GnssRecord06& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record06[r], gnss_cursors[3][r], t, out, exact);
}
bool VxpDataStore::gnss_record0B_at(int r, uint32_t t, GnssRecord0B& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record0B[r], gnss_cursors[4][r], t, out, exact);
}
bool VxpDataStore::gnss_record07_at(int r, uint32_t t, GnssRecord07& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record07[r], gnss_cursors[5][r], t, out, exact);
}
bool VxpDataStore::gnss_record08_at(int r, uint32_t t, GnssRecord08& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record08[r], gnss_cursors[6][r], t, out, exact);
}
bool VxpDataStore::gnss_record0A_at(int r, uint32_t t, GnssRecord0A& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record0A[r], gnss_cursors[7][r], t, out, exact);
}
bool VxpDataStore::gnss_record0D_at(int r, uint32_t t, GnssRecord0D& out, bool exact) {
    if (!valid_receiver(r))
        return false;
    return cursor_lookup(gnss_record0D[r], gnss_cursors[8][r], t, out, exact);
}

bool VxpDataStore::filter_record10_at(uint32_t t, FilterRecord10& out, bool exact) {
    return cursor_lookup(filter_record10, filter_cursors[0], t, out, exact);
}
bool VxpDataStore::filter_record01_at(uint32_t t, FilterRecord01& out, bool exact) {
    return cursor_lookup(filter_record01, filter_cursors[1], t, out, exact);
}
bool VxpDataStore::filter_vector02_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector02, filter_cursors[2], t, out, exact);
}
bool VxpDataStore::filter_vector05_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector05, filter_cursors[3], t, out, exact);
}
bool VxpDataStore::filter_vector06_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector06, filter_cursors[4], t, out, exact);
}
bool VxpDataStore::filter_vector07_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector07, filter_cursors[5], t, out, exact);
}
bool VxpDataStore::filter_vector08_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector08, filter_cursors[6], t, out, exact);
}
bool VxpDataStore::filter_vector09_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector09, filter_cursors[7], t, out, exact);
}
bool VxpDataStore::filter_vector0A_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector0A, filter_cursors[8], t, out, exact);
}
bool VxpDataStore::filter_vector0B_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector0B, filter_cursors[9], t, out, exact);
}
bool VxpDataStore::filter_vector0C_at(uint32_t t, FilterVector& out, bool exact) {
    return cursor_lookup(filter_vector0C, filter_cursors[10], t, out, exact);
}
