// Field decoders: values from wire bytes, and for every layout exactly the listed members
// reversed (checked against a byte-by-byte reversal of the layout's swap list).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "vxp/records/gnss_records.h"
#include "vxp/records/sensor_records.h"

namespace {

struct Swap {
    int offset;
    int width;
};

struct Layout {
    std::string name;
    void (*decode)(uint8_t*);
    int size;
    std::vector<Swap> swaps;
};

std::vector<Swap> run(int first, int count, int width) {
    std::vector<Swap> swaps;
    for (int i = 0; i < count; ++i)
        swaps.push_back({first + i * width, width});
    return swaps;
}

std::vector<Swap> join(std::vector<std::vector<Swap>> parts) {
    std::vector<Swap> all;
    for (auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Every layout with its swap list as documented for the wire format (offset:width).
std::vector<Layout> layouts() {
    return {
        {"GpsTimestamp", vxp_decode_gps_timestamp, 12, {{0, 8}, {8, 2}, {10, 2}}},
        {"RawObservation",
         vxp_decode_raw_observation,
         61,
         {{2, 8},
          {10, 2},
          {12, 2},
          {18, 4},
          {23, 8},
          {31, 8},
          {39, 4},
          {43, 4},
          {47, 4},
          {51, 4},
          {55, 4},
          {59, 2}}},
        {"GpsGalileoEphemeris", vxp_decode_gps_ephemeris, 218,
         join({{{2, 8}, {10, 2}}, run(16, 25, 8), {{216, 2}}})},
        {"GlonassEphemeris",
         vxp_decode_glonass_ephemeris,
         102,
         {{2, 8},
          {10, 2},
          {14, 4},
          {18, 4},
          {23, 8},
          {31, 8},
          {39, 8},
          {63, 4},
          {75, 4},
          {47, 8},
          {67, 4},
          {79, 4},
          {55, 8},
          {71, 4},
          {83, 4},
          {90, 4},
          {100, 2}}},
        {"GpsIonoCorrection", vxp_decode_gps_iono, 76,
         join({{{0, 8}, {8, 2}}, run(10, 4, 8), run(42, 4, 8), {{74, 2}}})},
        {"GalileoIonoCorrection",
         vxp_decode_galileo_iono,
         37,
         {{0, 8}, {8, 2}, {10, 8}, {18, 8}, {26, 8}, {35, 2}}},
        {"GnssLeapSeconds", vxp_decode_leap_seconds, 3, {{1, 2}}},
        {"BaseStationInfo",
         vxp_decode_base_station_info,
         44,
         {{0, 8}, {8, 2}, {10, 8}, {18, 8}, {26, 8}, {34, 4}, {38, 2}, {40, 2}, {42, 2}}},
        {"GnssRecord03",
         vxp_decode_gnss_record03,
         42,
         {{0, 8}, {8, 8}, {16, 8}, {24, 8}, {32, 4}, {36, 4}, {40, 2}}},
        {"GnssRecord04", vxp_decode_gnss_record04, 30, {{0, 8}, {8, 8}, {16, 8}, {24, 4}, {28, 2}}},
        {"GnssRecord05", vxp_decode_gnss_record05, 34, join({run(0, 8, 4), {{32, 2}}})},
        {"GnssRecord06", vxp_decode_gnss_record06, 18, join({run(0, 4, 4), {{16, 2}}})},
        {"GnssRecord07", vxp_decode_gnss_record07, 30, join({run(0, 7, 4), {{28, 2}}})},
        {"GnssRecord08", vxp_decode_gnss_record08, 13, {{0, 2}, {7, 4}, {11, 2}}},
        {"GnssRecord0A", vxp_decode_gnss_record0A, 26, {{0, 8}, {8, 8}, {16, 8}, {24, 2}}},
        {"GnssRecord0B", vxp_decode_gnss_record0B, 6, {{2, 2}, {4, 2}}},
        {"GnssRecord0D", vxp_decode_gnss_record0D, 5, {{3, 2}}},
        {"SensorVector", vxp_decode_sensor_vector, 12, {{0, 4}, {4, 4}, {8, 4}}},
        {"SensorScalar17", vxp_decode_sensor_scalar17, 4, {{0, 4}}},
        {"FilterRecord01", vxp_decode_filter_record01, 26, {{0, 8}, {8, 8}, {16, 8}, {24, 2}}},
        {"FilterVector", vxp_decode_filter_vector, 14, {{0, 4}, {4, 4}, {8, 4}, {12, 2}}},
        {"FilterRecord10", vxp_decode_filter_record10, 6, {{0, 2}, {2, 2}, {4, 2}}},
    };
}

// Guard bytes around the record show that a decoder stays inside its record.
constexpr int kGuard = 8;
constexpr uint8_t kGuardByte = 0xA5;

TEST(FieldDecoders, ReverseExactlyTheListedMembersAndNothingElse) {
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.name);
        std::vector<uint8_t> buffer(layout.size + 2 * kGuard, kGuardByte);
        for (int i = 0; i < layout.size; ++i)
            buffer[kGuard + i] = static_cast<uint8_t>(i + 1);
        std::vector<uint8_t> expected = buffer;
        for (const Swap& swap : layout.swaps) {
            std::reverse(expected.begin() + kGuard + swap.offset,
                         expected.begin() + kGuard + swap.offset + swap.width);
        }
        layout.decode(buffer.data() + kGuard);
        EXPECT_EQ(buffer, expected);
    }
}

TEST(FieldDecoders, DecodingTwiceRestoresTheWireBytes) {
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.name);
        std::vector<uint8_t> wire(layout.size);
        for (int i = 0; i < layout.size; ++i)
            wire[i] = static_cast<uint8_t>(0x30 + 7 * i);
        std::vector<uint8_t> bytes = wire;
        layout.decode(bytes.data());
        EXPECT_NE(bytes, wire);
        layout.decode(bytes.data());
        EXPECT_EQ(bytes, wire);
    }
}

TEST(FieldDecoders, RawObservationPseudorangeFromWireBytes) {
    uint8_t wire[sizeof(RawObservation)] = {};
    const uint8_t pseudorange[] = {0x40, 0x59, 0, 0, 0, 0, 0, 0};  // 100.0, big-endian
    std::memcpy(wire + 23, pseudorange, sizeof pseudorange);
    wire[10] = 0x08;  // week 2200 = 0x0898
    wire[11] = 0x98;
    vxp_decode_raw_observation(wire);
    RawObservation o;
    std::memcpy(&o, wire, sizeof o);
    EXPECT_EQ(+o.pseudorange, 100.0);
    EXPECT_EQ(+o.week_number, 2200);
    EXPECT_EQ(+o.carrier_phase, 0.0);
}

TEST(FieldDecoders, GlonassFrequencyNumberIsSigned) {
    uint8_t wire[sizeof(GlonassEphemeris)] = {};
    wire[12] = 5;     // slot
    wire[13] = 0xF9;  // frequency channel -7
    vxp_decode_glonass_ephemeris(wire);
    GlonassEphemeris e;
    std::memcpy(&e, wire, sizeof e);
    EXPECT_EQ(+e.frequency_number, -7);
    EXPECT_EQ(+e.satellite_id, 5);
}

TEST(FieldDecoders, SensorVectorFromWireBytes) {
    uint8_t wire[] = {0x3F, 0x80, 0, 0, 0xBF, 0x80, 0, 0, 0, 0, 0, 0};
    vxp_decode_sensor_vector(wire);
    SensorVector v;
    std::memcpy(&v, wire, sizeof v);
    EXPECT_EQ(+v.x, 1.0f);
    EXPECT_EQ(+v.y, -1.0f);
    EXPECT_EQ(+v.z, 0.0f);
}

}  // namespace
