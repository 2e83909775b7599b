// The simulator's packets decode back to the records they were built from, a whole simulated log
// loads into the store with the counts its truth file gives, and the damage it applies is exactly the
// damage the truth file lists.
#include "tools/vxpsim/packets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include "store/vxp_data_store.h"
#include "tools/vxpsim/log_output.h"
#include "tools/vxpsim/scenario.h"
#include "vxp/packet.h"
#include "vxp/parser.h"

namespace {
std::string temp_path(const std::string& name) {
    return ::testing::TempDir() + "vxpsim_" + name;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Framed {
    std::vector<std::vector<uint8_t>> good;
    int checksum_errors = 0;
};

void collect(void* user, uint8_t* packet, uint16_t size, uint8_t kind) {
    Framed* f = static_cast<Framed*>(user);
    if (kind == VXP_PACKET_OK)
        f->good.emplace_back(packet, packet + size);
    if (kind == VXP_PACKET_CHECKSUM_ERROR)
        ++f->checksum_errors;
}

Framed frame(const std::vector<uint8_t>& bytes) {
    Framed f;
    auto parser = std::make_unique<vxp_parser>();
    EXPECT_EQ(vxp_parser_init(parser.get(), 1000, &f, collect), 0);
    EXPECT_EQ(vxp_parser_feed(parser.get(), bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr), 0);
    return f;
}

struct Field {
    uint8_t descriptor;
    std::vector<uint8_t> data;
};

std::vector<Field> fields(std::vector<uint8_t> packet) {
    std::vector<Field> out;
    uint8_t* field = nullptr;
    uint8_t* data = nullptr;
    uint16_t offset = 0;
    while (vxp_packet_next_field(packet.data(), &field, &data, &offset) == 0)
        out.push_back({field[1], std::vector<uint8_t>(data, data + field[0] - 2)});
    return out;
}

// Decodes a field's data as `Record` with its decoder and compares it byte for byte with `expected`.
template <class Record>
void expect_decodes_to(const Field& f, void (*decode)(uint8_t*), const Record& expected) {
    ASSERT_EQ(f.data.size(), sizeof(Record));
    std::vector<uint8_t> copy = f.data;
    decode(copy.data());
    EXPECT_EQ(std::memcmp(copy.data(), &expected, sizeof(Record)), 0)
        << "field 0x" << std::hex << int(f.descriptor);
}

RawObservation observation(int i) {
    RawObservation o{};
    o.time_of_week = 216000.0;
    o.week_number = 2304;
    o.gnss_id = static_cast<uint8_t>(1 + i % 4);
    o.satellite_id = static_cast<uint8_t>(i + 1);
    o.signal_id = 1;
    o.signal_strength = 45.5f;
    o.pseudorange = 21000000.123 + i;
    o.carrier_phase = -1234567.891 * (i + 1);
    o.doppler = -1234.5f + static_cast<float>(i);
    o.valid_flags = kValidFlags;
    return o;
}

SimOptions small_run(const std::string& name, double duration) {
    SimOptions o;
    set_default_receivers(o);
    o.output = temp_path(name + ".vxp");
    o.truth = temp_path(name + ".json");
    o.duration_s = duration;
    o.imu_rate_hz = 50.0;
    o.site_change_s = duration / 2;
    return o;
}

std::unique_ptr<VxpDataStore> load(const std::string& path) {
    auto store = std::make_unique<VxpDataStore>();
    EXPECT_TRUE(store->load_file(path.c_str()));
    return store;
}

const ReceiverTruth& receiver_truth(const RunTruth& t, int index) {
    for (const ReceiverTruth& r : t.receivers)
        if (r.index == index)
            return r;
    throw std::logic_error("no such receiver");
}
}  // namespace

TEST(Packets, EveryComposedPacketDecodesBackToItsRecords) {
    const std::string path = temp_path("compose.vxp");
    const GpsTimestamp ts = make_timestamp({2304, 216000.25});
    std::vector<RawObservation> obs;
    for (int i = 0; i < 7; ++i)
        obs.push_back(observation(i));
    GpsEphemeris gps{};
    gps.satellite_id = 12;
    gps.a = 26560000.0;
    gps.crs = -12.5;
    gps.t_oe = 216000.0;
    gps.week_number = 2304;
    std::vector<GlonassEphemeris> glo(3);
    for (int i = 0; i < 3; ++i) {
        glo[i].satellite_id = static_cast<uint8_t>(i + 1);
        glo[i].frequency_number = static_cast<int8_t>(-7 + i);
        glo[i].tb = 45900;
        glo[i].x = 12345678.9 * (i + 1);
        glo[i].vx = -1234.5f;
        glo[i].az = 9.313226e-7f;
    }
    BaseStationInfo base{};
    base.ecef_x = 4367000.5;
    base.station_id = 1200;
    base.antenna_height = 1.25f;
    const SensorVector a{1.0f, -2.0f, 3.5f}, b{-0.25f, 0.5f, -1.0f};
    {
        LogOutput out(DamageConfig{});
        ASSERT_TRUE(out.open(path));
        write_observation_packets(out, 0x93, ts, obs.data(), obs.size(), {});
        write_kepler_ephemeris(out, 0x91, VXP_GNSS_FIELD_GALILEO_EPHEMERIS, ts, gps, {});
        write_glonass_ephemerides(out, 0x92, ts, glo.data(), glo.size(), {});
        write_aux_packet(out, 0x91, ts, 18.0, {});
        write_base_packet(out, 0x93, ts, base, {});
        write_imu_packet(out, TimeFields::both, ImuData::both, ts, a, b, b, a, {});
        ASSERT_TRUE(out.close());
        EXPECT_EQ(out.packet_count(), 3u + 1u + 2u + 1u + 1u + 1u);
    }
    const Framed f = frame(read_file(path));
    ASSERT_EQ(f.good.size(), 9u);
    EXPECT_EQ(f.checksum_errors, 0);
    for (const auto& p : f.good)
        EXPECT_LE(p.size(), VXP_MAX_PACKET_SIZE);

    // Observations: a shared time field, then at most three observations, in order.
    std::size_t next = 0;
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(f.good[p][2], 0x93);
        const std::vector<Field> fs = fields(f.good[p]);
        ASSERT_EQ(fs.front().descriptor, VXP_FIELD_SHARED_TIME);
        expect_decodes_to(fs.front(), vxp_decode_gps_timestamp, ts);
        EXPECT_EQ(fs.size() - 1, p < 2 ? 3u : 1u);
        for (std::size_t i = 1; i < fs.size(); ++i) {
            EXPECT_EQ(fs[i].descriptor, VXP_GNSS_FIELD_RAW_OBSERVATION);
            expect_decodes_to(fs[i], vxp_decode_raw_observation, obs[next++]);
        }
    }
    EXPECT_EQ(next, obs.size());
    const std::vector<Field> eph = fields(f.good[3]);
    ASSERT_EQ(eph.size(), 2u);
    EXPECT_EQ(eph[1].descriptor, VXP_GNSS_FIELD_GALILEO_EPHEMERIS);
    expect_decodes_to(eph[1], vxp_decode_gps_ephemeris, gps);
    const std::vector<Field> g1 = fields(f.good[4]), g2 = fields(f.good[5]);
    ASSERT_EQ(g1.size(), 3u);
    ASSERT_EQ(g2.size(), 2u);
    expect_decodes_to(g1[1], vxp_decode_glonass_ephemeris, glo[0]);
    expect_decodes_to(g1[2], vxp_decode_glonass_ephemeris, glo[1]);
    expect_decodes_to(g2[1], vxp_decode_glonass_ephemeris, glo[2]);
    const std::vector<Field> aux = fields(f.good[6]);
    ASSERT_EQ(aux.size(), 4u);
    GnssLeapSeconds leap{18, kValidFlags};
    expect_decodes_to(aux[3], vxp_decode_leap_seconds, leap);
    const std::vector<Field> bs = fields(f.good[7]);
    ASSERT_EQ(bs.size(), 2u);
    expect_decodes_to(bs[1], vxp_decode_base_station_info, base);
    const std::vector<Field> imu = fields(f.good[8]);
    ASSERT_EQ(imu.size(), 6u);  // 0x12, 0xD3, accel, gyro, delta theta, delta velocity
    EXPECT_EQ(imu[0].descriptor, VXP_SENSOR_FIELD_TIME);
    EXPECT_EQ(imu[1].descriptor, VXP_FIELD_SHARED_TIME);
    expect_decodes_to(imu[2], vxp_decode_sensor_vector, a);  // scaled accel = force
    expect_decodes_to(imu[4], vxp_decode_sensor_vector, a);  // delta theta
    expect_decodes_to(imu[5], vxp_decode_sensor_vector, b);
    std::remove(path.c_str());
}

TEST(Packets, SimulatedLogLoadsWithTheCountsOfItsTruth) {
    SimOptions o = small_run("whole", 40.0);
    RunTruth truth;
    std::string error;
    ASSERT_TRUE(run_simulation(o, truth, error)) << error;
    const std::unique_ptr<VxpDataStore> store = load(o.output);
    EXPECT_EQ(store->packet_count, truth.packets);
    EXPECT_EQ(store->imu_time_count(), truth.imu.samples);
    EXPECT_EQ(store->delta_theta_records().size(), truth.imu.samples);
    EXPECT_EQ(store->filter_packet_count, truth.filter_packets);
    for (int rx : {0, 2}) {
        const ReceiverTruth& rt = receiver_truth(truth, rx);
        const auto& epochs = store->receiver_raw_epochs(rx);
        ASSERT_EQ(epochs.size(), rt.epochs.size());
        std::size_t observations = 0;
        for (std::size_t i = 0; i < epochs.size(); ++i) {
            EXPECT_EQ(epochs[i].size(), rt.epochs[i].observations);
            EXPECT_EQ(double{epochs[i][0].time_of_week}, rt.epochs[i].time.tow);
            observations += epochs[i].size();
        }
        EXPECT_EQ(observations, rt.observations);
        EXPECT_EQ(store->gnss_packet_count[static_cast<std::size_t>(rx)], rt.packets);
        // Each distinct GLONASS issue is stored once per stamp; the slots are those of the truth.
        std::size_t slots = 0;
        for (const auto& seq : store->receiver_glonass_ephemerides(rx))
            slots += seq.empty() ? 0 : 1;
        EXPECT_EQ(slots, rt.glonass_slots.size());
    }
    // Receiver 2 reports its base station, and its move to a second site half way.
    const auto& base = store->base_station_records();
    ASSERT_FALSE(base.empty());
    EXPECT_EQ(int{base.front().station_id}, o.station_id);
    EXPECT_EQ(int{base.back().station_id}, o.station_id + 1);
    EXPECT_NEAR(double{base.front().ecef_x}, receiver_truth(truth, 2).sites[0].marker.x, 1e-9);
    double leap = 0.0;
    EXPECT_TRUE(store->leap_seconds_from_data(leap));
    EXPECT_EQ(leap, 18.0);
    std::remove(o.output.c_str());
}

TEST(Packets, DamageIsExactlyWhatTheTruthLists) {
    SimOptions o = small_run("damaged", 60.0);
    o.damage.corrupt_fraction = 0.03;
    o.damage.garbage_fraction = 0.03;
    o.damage.truncate_bytes = 7;
    o.damage.seed = 11;
    RunTruth truth;
    std::string error;
    ASSERT_TRUE(run_simulation(o, truth, error)) << error;
    ASSERT_GT(truth.damaged.size(), 20u);
    EXPECT_GT(truth.garbage_blocks, 20u);
    EXPECT_TRUE(truth.damaged.back().truncated);
    const std::vector<uint8_t> bytes = read_file(o.output);
    EXPECT_EQ(bytes.size(), truth.bytes);

    // Every packet but the damaged ones is delivered, and each corrupted one fails its checksum.
    const Framed f = frame(bytes);
    EXPECT_EQ(f.good.size(), truth.packets - truth.damaged.size());
    EXPECT_GE(f.checksum_errors, static_cast<int>(truth.damaged.size()) - 1);

    // Undamaged epochs arrive whole; so do the inertial samples of undamaged packets.
    const std::unique_ptr<VxpDataStore> store = load(o.output);
    EXPECT_EQ(store->imu_time_count(), truth.imu.samples - truth.imu.damaged);
    for (int rx : {0, 2}) {
        const ReceiverTruth& rt = receiver_truth(truth, rx);
        std::map<double, std::size_t> loaded;
        for (const auto& epoch : store->receiver_raw_epochs(rx))
            loaded[double{epoch[0].time_of_week}] += epoch.size();
        std::size_t intact = 0;
        for (const EpochTruth& e : rt.epochs) {
            if (e.damaged) {
                EXPECT_LT(loaded[e.time.tow], e.observations);
                continue;
            }
            EXPECT_EQ(loaded[e.time.tow], e.observations) << "receiver " << rx << " epoch " << e.time.tow;
            ++intact;
        }
        EXPECT_EQ(intact + rt.damaged_epochs, rt.epochs.size());
        EXPECT_GT(rt.damaged_epochs, 0u);
        EXPECT_GT(store->gnss_checksum_errors(static_cast<uint8_t>(rx)), 0u);
    }
    std::remove(o.output.c_str());
}
