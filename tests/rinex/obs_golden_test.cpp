// Whole observation files of small handmade logs, compared line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "obs_test_support.h"
#include "rinex/codes.h"
#include "rinex/line.h"
#include "rinex3_reader.h"

namespace {

constexpr uint16_t kWeek = 2304;     // 2024-03-03 is its Sunday
constexpr double kStart = 218045.0;  // 2024-03-05 12:34:05
constexpr uint8_t kGps = 1, kGlonass = 2, kGalileo = 3, kBeidou = 4;
constexpr uint8_t kGpsL1 = 1, kGpsL2 = 4, kGpsL5 = 10;
constexpr uint8_t kGlonassL1 = 32, kGlonassL2 = 34;
constexpr uint8_t kGalileoE1 = 64, kGalileoE5b = 74;
constexpr uint8_t kBeidouB1 = 160, kBeidouB2b = 166;

const std::string kBlankGroup(48, ' ');  // pseudorange, phase and Doppler fields of a missing signal

const std::string kZeroMetres = "        0.0000        0.0000        0.0000";

// The header up to the site records: a moving receiver's unless a fixed site is given.
std::vector<std::string> common_header(const std::string& marker_name,
                                       const std::string& marker_type = "GROUND_CRAFT",
                                       const std::string& position = kZeroMetres,
                                       const std::string& antenna = kZeroMetres) {
    return {
        header("     3.05           OBSERVATION DATA    MIXED", "RINEX VERSION / TYPE"),
        header("kelvartix V1.1      N/A                 20240305 123456 UTC", "PGM / RUN BY / DATE"),
        header(marker_name, "MARKER NAME"),
        header(marker_type, "MARKER TYPE"),
        header("Observer            Agency", "OBSERVER / AGENCY"),
        header("", "REC # / TYPE / VERS"),
        header("", "ANT # / TYPE"),
        header(position, "APPROX POSITION XYZ"),
        header(antenna, "ANTENNA: DELTA H/E/N"),
    };
}

// Epoch times of the header, and the first two seconds of the logs that start at kStart.
const std::string kStartTime = "  2024     3     5    12    34    5.0000000";
const std::string kNextSecond = "  2024     3     5    12    34    6.0000000";

// INTERVAL (none for a single epoch), TIME OF FIRST OBS and TIME OF LAST OBS.
std::vector<std::string> times(const std::string& interval, const std::string& first,
                               const std::string& last) {
    std::vector<std::string> records;
    if (!interval.empty())
        records.push_back(header(interval, "INTERVAL"));
    return records + std::vector<std::string>{header(first + "     GPS", "TIME OF FIRST OBS"),
                                              header(last + "     GPS", "TIME OF LAST OBS")};
}

class ObservationFile : public testing::Test {
  protected:
    WorkingDirectory scratch;
    TestLog log;
    VxpDataStore store;
};

TEST_F(ObservationFile, GpsOnlyReceiver) {
    log.observation(
        0, make_observation(kStart, kWeek, kGps, 12, kGpsL1, {23456789.001, 123265432.1, 2345.25f, 50}));
    log.observation(
        0, make_observation(kStart, kWeek, kGps, 5, kGpsL1, {21234567.123, 111587321.456, -1234.5f, 45.9f}));
    log.observation(
        0, make_observation(kStart, kWeek, kGps, 12, kGpsL2, {23456791.75, 96051234.5, 1827.5f, 11.9f}));
    log.observation(
        0, make_observation(kStart + 1, kWeek, kGps, 5, kGpsL1, {21234800.25, 111588555.75, -1234.25f, 60}));
    log.observation(
        0, make_observation(kStart + 1, kWeek, kGps, 5, kGpsL2, {21234802.5, 86952190.125, -961.75f, 0}));
    log.observation(
        0, make_observation(kStart + 1, kWeek, kGps, 12, kGpsL1, {23456400.5, 123263388.25, 2344.75f, 30}));
    log.load(store);

    const ObsRun run = run_observation_writer(0, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(run.outcome.file_name, "QRV_00USA_R_20240651234_00U_01S_MO.rnx");
    EXPECT_EQ(run.messages, (std::vector<std::string>{"Writing RINEX obs file for GNSS id 0... ", "done."}));
    const std::vector<std::string> expected =
        common_header("QRV_00USA") + times("     1.000", kStartTime, kNextSecond) +
        std::vector<std::string>{
            header("G    6 C1C L1C D1C C2C L2C D2C", "SYS / # / OBS TYPES"),
            header("G L1C", "SYS / PHASE SHIFT"),
            header("G L2C", "SYS / PHASE SHIFT"),
            header("", "GLONASS COD/PHS/BIS"),
            header("", "END OF HEADER"),
            padded("> 2024 03 05 12 34  5.0000000  0  2"),
            padded("G05  21234567.123   111587321.456 7     -1234.500"),
            "G12  23456789.001   123265432.100 8      2345.250    23456791.750    96051234.500 1      "
            "1827.500 ",
            padded("> 2024 03 05 12 34  6.0000000  0  2"),
            "G05  21234800.250   111588555.750 9     -1234.250    21234802.500    86952190.125 1      "
            "-961.750 ",
            padded("G12  23456400.500   123263388.250 5      2344.750"),
        };
    EXPECT_EQ(run.lines, expected);

    // A strict reader finds every required record, and reads the values meant.
    const rinex3::ObsFile read = rinex3::read_obs_file(run.lines);
    EXPECT_EQ(read.errors, std::vector<std::string>{});
    EXPECT_EQ(read.version, 3.05);
    EXPECT_EQ(read.site.marker_name, "QRV_00USA");
    EXPECT_EQ(read.marker_type, "GROUND_CRAFT");
    EXPECT_EQ(read.site.position, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(read.site.antenna, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(read.first_time, (std::array<int, 5>{2024, 3, 5, 12, 34}));
    EXPECT_EQ(read.first_second, 5.0);
    EXPECT_EQ(read.time_system, "GPS");
    EXPECT_EQ(read.types.at('G').size(), 6u);
    EXPECT_EQ(read.epochs, 2);
}

// Every choice of kinds: the strict reader takes the file, the types and phase shifts follow the
// kinds, and every value read is the record's, with the strength digit after the carrier phase,
// or after the pseudorange when the phase is not written.
TEST_F(ObservationFile, EveryChoiceOfKindsReadsBackAsTheRecords) {
    const std::vector<RawObservation> written = {
        make_observation(kStart, kWeek, kGps, 5, kGpsL1, {21234567.123, 111587321.456, -1234.5f, 45.9f}),
        make_observation(kStart, kWeek, kGps, 12, kGpsL2, {23456791.75, 96051234.5, 1827.5f, 11.9f}),
        make_observation(kStart, kWeek, kGlonass, 9, kGlonassL1, {19000003.5, 0, -2.5f, 38.25f}),
        make_observation(kStart + 1, kWeek, kGps, 5, kGpsL1, {21234800.25, 111588555.75, -1234.25f, 60}),
        make_observation(kStart + 1, kWeek, kGps, 5, kGpsL2, {0, 86952190.125, -961.75f, 0}),
    };
    for (const RawObservation& o : written)
        log.observation(0, o);
    log.glonass(0, make_glonass_ephemeris(9, -2, kStart, kWeek));
    log.load(store);
    using Value = std::tuple<int, std::string, std::string, double, int>;
    const auto as_read = [](double value) {
        return std::strtod(rinex_fixed_field(value, 14, 3).c_str(), nullptr);
    };
    for (const char* letters : {"C", "CL", "CLDS", "LS"}) {
        SCOPED_TRACE(letters);
        const ObservationKinds kinds = ObservationKinds::from_letters(letters).value();
        const ObsRun run = run_observation_writer(0, store, observation_header_values(0, store), kinds);
        const rinex3::ObsFile read = rinex3::read_obs_file(run.lines);
        EXPECT_EQ(read.errors, std::vector<std::string>{});
        const std::string_view kind_letters(letters);
        std::map<char, std::vector<std::string>> types;
        std::set<Value> expected;
        for (const auto& [system, codes] : {std::pair{'G', std::vector<std::string>{"1C", "2C"}},
                                            std::pair{'R', std::vector<std::string>{"1C"}}}) {
            for (const std::string& code : codes) {
                for (char kind : kind_letters)
                    types[system].push_back(kind + code);
            }
        }
        const char digit_kind = kinds.writes(ObservationKind::carrier_phase) ? 'L' : 'C';
        for (const RawObservation& o : written) {
            const std::array<double, 4> values = {o.pseudorange, o.carrier_phase, o.doppler,
                                                  o.signal_strength};
            for (std::size_t k = 0; k < 4; ++k) {
                const char kind = "CLDS"[k];
                if (values[k] == 0 || kind_letters.find(kind) == std::string_view::npos)
                    continue;
                const int digit =
                    kind == digit_kind ? std::clamp(static_cast<int>(o.signal_strength) / 6, 1, 9) : 0;
                expected.insert({o.time_of_week == kStart ? 0 : 1,
                                 std::string(o.gnss_id == kGps ? "G" : "R") +
                                     (o.satellite_id < 10 ? "0" : "") + std::to_string(o.satellite_id),
                                 kind + vxp_signal_codes.at(o.signal_id), as_read(values[k]), digit});
            }
        }
        std::set<Value> values;
        for (const rinex3::Observation& o : read.observations)
            values.insert({o.epoch, o.satellite, o.type, o.value, o.strength});
        EXPECT_EQ(read.types, types);
        EXPECT_EQ(values, expected);
        EXPECT_EQ(read.phase_shifts.empty(), !kinds.writes(ObservationKind::carrier_phase));
        EXPECT_EQ(read.signal_strength_unit, kinds.writes(ObservationKind::signal_strength) ? "DBHZ" : "");
        EXPECT_EQ(read.interval, 1.0);
        EXPECT_EQ(read.last_time, (std::array<int, 5>{2024, 3, 5, 12, 34}));
        EXPECT_EQ(read.last_second, 6.0);
    }
}

// Signals first seen out of order, constellations in reverse order, satellites lacking signals:
// every value stands in the group of its signal's place in the header list.
TEST_F(ObservationFile, MixedReceiverPlacesEverySignalUnderItsType) {
    const double t = kStart, u = kStart + 1;
    log.observation(
        3, make_observation(t, kWeek, kBeidou, 11, kBeidouB2b, {38000001.75, 153000000.25, 8.25f, 33}));
    log.observation(
        3, make_observation(t, kWeek, kGalileo, 30, kGalileoE5b, {25000001.25, 98000000.25, -230.5f, 40}));
    log.observation(
        3, make_observation(t, kWeek, kGalileo, 30, kGalileoE1, {25000000.5, 131000000.75, -300.75f, 45}));
    log.observation(
        3, make_observation(t, kWeek, kGlonass, 17, kGlonassL2, {20000002.25, 83000000.5, 1550.25f, 42}));
    log.observation(
        3, make_observation(t, kWeek, kGlonass, 17, kGlonassL1, {20000000.5, 107000000.25, 2000.5f, 48}));
    log.observation(3, make_observation(t, kWeek, kGps, 12, kGpsL2, {22000003.5, 89000000.75, 390.5f, 24}));
    log.observation(3,
                    make_observation(t, kWeek, kGps, 5, kGpsL1, {21000000.125, 110000000.25, -1000.5f, 42}));
    log.observation(3,
                    make_observation(t, kWeek, kGps, 12, kGpsL1, {22000000.375, 115000000.5, 500.25f, 36}));
    log.observation(3,
                    make_observation(t, kWeek, kBeidou, 11, kBeidouB1, {38000000.5, 198000000.5, 10.5f, 35}));
    log.observation(3,
                    make_observation(u, kWeek, kGps, 12, kGpsL5, {22000100.25, 116000000.125, 380.5f, 39}));
    log.observation(
        3, make_observation(u, kWeek, kGalileo, 5, kGalileoE1, {24000000.75, 126000000.25, 600.25f, 46}));
    log.observation(3, make_observation(u, kWeek, kGps, 5, kGpsL2, {21000300.5, 89000100.25, -780.25f, 42}));
    log.observation(
        3, make_observation(u, kWeek, kGlonass, 3, kGlonassL2, {19500000.25, 82000000.5, -1200.5f, 44}));
    log.observation(3,
                    make_observation(u, kWeek, kBeidou, 11, kBeidouB1, {38000010.5, 198000050.5, 11.5f, 36}));
    const std::vector<std::pair<uint8_t, int8_t>> slots = {{17, -7}, {3, 5},  {1, 1}, {2, -4}, {4, 6},
                                                           {5, 1},   {6, -4}, {7, 5}, {8, 6}};
    for (const auto& [slot, frequency] : slots)
        log.glonass(3, make_glonass_ephemeris(slot, frequency, t, kWeek));
    log.load(store);

    const ObsRun run = run_observation_writer(3, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(run.outcome.file_name, "QRV_03USA_R_20240651234_00U_01S_MO.rnx");
    const std::vector<std::string> expected =
        common_header("QRV_03USA") + times("     1.000", kStartTime, kNextSecond) +
        std::vector<std::string>{
            header("G    9 C2C L2C D2C C1C L1C D1C C5I L5I D5I", "SYS / # / OBS TYPES"),
            header("R    6 C2C L2C D2C C1C L1C D1C", "SYS / # / OBS TYPES"),
            header("E    6 C7I L7I D7I C1C L1C D1C", "SYS / # / OBS TYPES"),
            header("C    6 C7I L7I D7I C2I L2I D2I", "SYS / # / OBS TYPES"),
            header("G L2C", "SYS / PHASE SHIFT"),
            header("G L1C", "SYS / PHASE SHIFT"),
            header("G L5I", "SYS / PHASE SHIFT"),
            header("R L2C", "SYS / PHASE SHIFT"),
            header("R L1C", "SYS / PHASE SHIFT"),
            header("E L7I", "SYS / PHASE SHIFT"),
            header("E L1C", "SYS / PHASE SHIFT"),
            header("C L7I", "SYS / PHASE SHIFT"),
            header("C L2I", "SYS / PHASE SHIFT"),
            header("", "GLONASS COD/PHS/BIS"),
            header("  9 R01  1 R02 -4 R03  5 R04  6 R05  1 R06 -4 R07  5 R08  6", "GLONASS SLOT / FRQ #"),
            header("    R17 -7", "GLONASS SLOT / FRQ #"),
            header("", "END OF HEADER"),
            padded("> 2024 03 05 12 34  5.0000000  0  5"),
            "G05" + kBlankGroup + "  21000000.125   110000000.250 7     -1000.500 ",
            "G12  22000003.500    89000000.750 4       390.500    22000000.375   115000000.500 6       "
            "500.250 ",
            "R17  20000002.250    83000000.500 7      1550.250    20000000.500   107000000.250 8      "
            "2000.500 ",
            "E30  25000001.250    98000000.250 6      -230.500    25000000.500   131000000.750 7      "
            "-300.750 ",
            "C11  38000001.750   153000000.250 5         8.250    38000000.500   198000000.500 5        "
            "10.500 ",
            padded("> 2024 03 05 12 34  6.0000000  0  5"),
            padded("G05  21000300.500    89000100.250 7      -780.250"),
            "G12" + kBlankGroup + kBlankGroup + "  22000100.250   116000000.125 6       380.500 ",
            padded("R03  19500000.250    82000000.500 7     -1200.500"),
            "E05" + kBlankGroup + "  24000000.750   126000000.250 7       600.250 ",
            "C11" + kBlankGroup + "  38000010.500   198000050.500 6        11.500 ",
        };
    EXPECT_EQ(run.lines, expected);

    const rinex3::ObsFile read = rinex3::read_obs_file(run.lines);
    EXPECT_EQ(read.errors, std::vector<std::string>{});
    EXPECT_EQ(read.glonass_slots,
              (std::vector<std::pair<int, int>>{
                  {1, 1}, {2, -4}, {3, 5}, {4, 6}, {5, 1}, {6, -4}, {7, 5}, {8, 6}, {17, -7}}));
}

// Five signals of one constellation give fifteen types: thirteen on the first line, two on a
// continuation line with columns 1-6 blank.
TEST_F(ObservationFile, MoreThanThirteenTypesContinueOnANewLine) {
    const uint8_t signals[] = {64, 80, 74, 77, 70};  // E1 C, E5a I, E5b I, E5 I, E6 A
    for (uint8_t signal : signals) {
        log.observation(
            1, make_observation(kStart, kWeek, kGalileo, 2, signal, {1.0 * signal, 2.0 * signal, 3, 30}));
    }
    log.load(store);

    const ObsRun run = run_observation_writer(1, store);
    ASSERT_GE(run.lines.size(), 14u);
    EXPECT_EQ(run.lines[11],
              header("E   15 C1C L1C D1C C5I L5I D5I C7I L7I D7I C8I L8I D8I C6A", "SYS / # / OBS TYPES"));
    EXPECT_EQ(run.lines[12], header("       L6A D6A", "SYS / # / OBS TYPES"));
    EXPECT_EQ(run.lines[13], header("E L1C", "SYS / PHASE SHIFT"));
    EXPECT_EQ(run.lines.back(),
              "E02        64.000         128.000 5         3.000  "
              "        80.000         160.000 5         3.000  "
              "        74.000         148.000 5         3.000  "
              "        77.000         154.000 5         3.000  "
              "        70.000         140.000 5         3.000 ");
}

TEST_F(ObservationFile, ZeroAndUnwritableValuesLeaveTheirFieldsBlank) {
    log.observation(1, make_observation(kStart, kWeek, kGps, 7, kGpsL1, {0, 110000000.5, 100.5f, 40}));
    log.observation(1, make_observation(kStart, kWeek, kGps, 8, kGpsL1, {22000000.25, 0, -50.25f, 55}));
    log.observation(1, make_observation(kStart, kWeek, kGps, 10, kGpsL1, {0, 0, 0, 45}));
    // 15 characters do not fit the 14 columns; a NaN Doppler is no measurement either.
    log.observation(
        1, make_observation(kStart, kWeek, kGps, 11, kGpsL1, {12345678901.0, 9999999999.999, NAN, 25}));
    log.observation(1, make_observation(kStart, kWeek, kGps, 12, kGpsL1, {-1e10, 1e300, INFINITY, 25}));
    log.load(store);

    const ObsRun run = run_observation_writer(1, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    ASSERT_EQ(run.lines.size(), 21u);
    EXPECT_EQ(run.lines[15], padded("> 2024 03 05 12 34  5.0000000  0  5"));
    EXPECT_EQ(run.lines[16], padded("G07                 110000000.500 6       100.500"));
    EXPECT_EQ(run.lines[17], padded("G08  22000000.250                         -50.250"));
    EXPECT_EQ(run.lines[18], padded("G10"));
    EXPECT_EQ(run.lines[19], padded("G11                9999999999.999 4"));
    EXPECT_EQ(run.lines[20], padded("G12"));
}

// The fixed site: header lines from the base-station record in force at the first epoch, and a
// new-site event whenever the latest record at or before an epoch changes station, position or
// antenna height, the last change included, though no record follows it. Antenna heights of 10 m
// and more and of -1 m and less stay in their fields.
TEST_F(ObservationFile, FixedSiteWithBaseStationRecordsAndSiteChanges) {
    log.site(make_site(100, kWeek, 7, 4000000.1234, -1000000.5, 4800000.25, 12.3456f));
    log.site(make_site(200, kWeek, 8, 4000100.5, -1000100.25, 4800100.75, 2.25f));
    log.site(make_site(400, kWeek, 8, 4000100.5, -1000100.25, 4800100.75, 2.25f));
    log.site(make_site(500, kWeek, 8, -4000200.5, 100200.25, -4800200.75, -1.2345f));
    for (double t : {150.0, 200.0, 300.0, 450.0, 550.0}) {
        log.observation(2,
                        make_observation(t, kWeek, kGps, 1, kGpsL1, {20000000.5, 105000000.25, 100.5f, 45}));
    }
    log.load(store);

    const ObsRun run = run_observation_writer(2, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(run.outcome.file_name, "QRV_02USA_S_20240630002_00U_50S_MO.rnx");
    const std::string data = padded("G01  20000000.500   105000000.250 7       100.500");
    const std::vector<std::string> expected =
        common_header("7", "GEODETIC", "  4000000.1234 -1000000.5000  4800000.2500",
                      "       12.3456        0.0000        0.0000") +
        times("   100.000", "  2024     3     3     0     2   30.0000000",
              "  2024     3     3     0     9   10.0000000") +
        std::vector<std::string>{
            header("G    3 C1C L1C D1C", "SYS / # / OBS TYPES"),
            header("G L1C", "SYS / PHASE SHIFT"),
            header("", "GLONASS COD/PHS/BIS"),
            header("", "END OF HEADER"),
            padded("> 2024 03 03 00 02 30.0000000  0  1"),
            data,
            padded(">                              3  4"),
            header("8", "MARKER NAME"),
            header("  4000100.5000 -1000100.2500  4800100.7500", "APPROX POSITION XYZ"),
            header("        2.2500        0.0000        0.0000", "ANTENNA: DELTA H/E/N"),
            header("          --> THIS IS THE START OF A NEW SITE <--", "COMMENT"),
            padded("> 2024 03 03 00 03 20.0000000  0  1"),
            data,
            padded("> 2024 03 03 00 05  0.0000000  0  1"),
            data,
            padded("> 2024 03 03 00 07 30.0000000  0  1"),
            data,
            padded(">                              3  4"),
            header("8", "MARKER NAME"),
            header(" -4000200.5000   100200.2500 -4800200.7500", "APPROX POSITION XYZ"),
            header("       -1.2345        0.0000        0.0000", "ANTENNA: DELTA H/E/N"),
            header("          --> THIS IS THE START OF A NEW SITE <--", "COMMENT"),
            padded("> 2024 03 03 00 09 10.0000000  0  1"),
            data,
        };
    EXPECT_EQ(run.lines, expected);

    // Read with blanks as zeros, every number is the one meant, in the header and in the events.
    const rinex3::ObsFile read = rinex3::read_obs_file(run.lines);
    EXPECT_EQ(read.errors, std::vector<std::string>{});
    EXPECT_EQ(read.site.marker_name, "7");
    EXPECT_EQ(read.site.position, (std::array<double, 3>{4000000.1234, -1000000.5, 4800000.25}));
    EXPECT_EQ(read.site.antenna, (std::array<double, 3>{12.3456, 0, 0}));
    EXPECT_EQ(read.first_time, (std::array<int, 5>{2024, 3, 3, 0, 2}));
    EXPECT_EQ(read.first_second, 30.0);
    ASSERT_EQ(read.new_sites.size(), 2u);
    EXPECT_EQ(read.new_sites[0].marker_name, "8");
    EXPECT_EQ(read.new_sites[0].position, (std::array<double, 3>{4000100.5, -1000100.25, 4800100.75}));
    EXPECT_EQ(read.new_sites[0].antenna, (std::array<double, 3>{2.25, 0, 0}));
    EXPECT_EQ(read.new_sites[1].position, (std::array<double, 3>{-4000200.5, 100200.25, -4800200.75}));
    EXPECT_EQ(read.new_sites[1].antenna, (std::array<double, 3>{-1.2345, 0, 0}));
    EXPECT_EQ(read.epochs, 5);
}

// A log whose first epoch comes after a site change: the header describes the site in force, and
// no event repeats it.
TEST_F(ObservationFile, HeaderDescribesTheSiteInForceAtTheFirstEpoch) {
    log.site(make_site(100, kWeek, 7, 4000000.1234, -1000000.5, 4800000.25, 1.5f));
    log.site(make_site(200, kWeek, 8, 4000100.5, -1000100.25, 4800100.75, 2.25f));
    for (double t : {250.0, 300.0})
        log.observation(2, make_observation(t, kWeek, kGps, 1, kGpsL1, {20000000.5, 0, 0, 0}));
    log.load(store);

    const ObsRun run = run_observation_writer(2, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    const std::vector<std::string> expected =
        common_header("8", "GEODETIC", "  4000100.5000 -1000100.2500  4800100.7500",
                      "        2.2500        0.0000        0.0000") +
        times("    50.000", "  2024     3     3     0     4   10.0000000",
              "  2024     3     3     0     5    0.0000000") +
        std::vector<std::string>{
            header("G    3 C1C L1C D1C", "SYS / # / OBS TYPES"),
            header("G L1C", "SYS / PHASE SHIFT"),
            header("", "GLONASS COD/PHS/BIS"),
            header("", "END OF HEADER"),
            padded("> 2024 03 03 00 04 10.0000000  0  1"),
            padded("G01  20000000.500"),
            padded("> 2024 03 03 00 05  0.0000000  0  1"),
            padded("G01  20000000.500"),
        };
    EXPECT_EQ(run.lines, expected);
}

TEST_F(ObservationFile, EpochHoldingOnlyConstellationZero) {
    log.observation(4, make_observation(kStart, kWeek, kGps, 2, kGpsL1, {20000000.5, 0, 0, 0}));
    log.observation(4, make_observation(kStart + 30, kWeek, 0, 3, kGpsL1, {20000000.5, 0, 0, 0}));
    log.observation(4, make_observation(kStart + 60, kWeek, 0, 3, kGpsL1, {20000000.5, 0, 0, 0}));
    log.observation(4, make_observation(kStart + 60, kWeek, kGps, 2, kGpsL1, {20000001.5, 0, 0, 0}));
    log.load(store);

    const ObsRun run = run_observation_writer(4, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(run.outcome.file_name, "QRV_04USA_R_20240651234_00U_30S_MO.rnx");
    const std::vector<std::string> records(run.lines.begin() + 16, run.lines.end());
    EXPECT_EQ(records, (std::vector<std::string>{
                           padded("> 2024 03 05 12 34  5.0000000  0  1"),
                           padded("G02  20000000.500"),
                           padded("> 2024 03 05 12 34 35.0000000  0  0"),
                           padded("> 2024 03 05 12 35  5.0000000  0  1"),
                           padded("G02  20000001.500"),
                       }));
}

// A single epoch: the file name's frequency is unspecified ("00U").
TEST_F(ObservationFile, OnlyConstellationZeroStopsAfterTheFirstObservationTime) {
    log.observation(1, make_observation(kStart, kWeek, 0, 3, kGpsL1, {20000000.5, 0, 0, 0}));
    log.load(store);

    const ObsRun run = run_observation_writer(1, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::content_error);
    EXPECT_EQ(run.outcome.file_name, "QRV_01USA_R_20240651234_00U_00U_MO.rnx");
    EXPECT_EQ(run.messages, (std::vector<std::string>{
                                "Writing RINEX obs file for GNSS id 1... ",
                                "ERROR: Signal map could not be generated from VXP data for GNSS1!"}));
    EXPECT_EQ(run.lines, common_header("QRV_01USA") + times("", kStartTime, kStartTime));
}

// Observations of a system without a RINEX letter (SBAS here) or of a signal without a RINEX code
// are left out, counted once per identifier; the rest of the file is whole. A satellite with
// nothing left is neither written nor counted.
TEST_F(ObservationFile, ObservationsWithoutRinexCodesAreLeftOutAndCounted) {
    constexpr uint8_t kSbas = 5, kSbasL1 = 96, kNoCode = 255;
    const double t = kStart, u = kStart + 1;
    log.observation(0, make_observation(t, kWeek, kGps, 5, kGpsL1, {21000000.5, 110000000.25, -1000.5f, 42}));
    log.observation(0, make_observation(t, kWeek, kSbas, 31, kSbasL1, {38000000.5, 0, 0, 40}));
    log.observation(0, make_observation(t, kWeek, kGps, 5, kNoCode, {21000001.5, 0, 0, 40}));
    log.observation(0, make_observation(t, kWeek, kGps, 7, kNoCode, {22000001.5, 0, 0, 40}));
    log.observation(0, make_observation(t, kWeek, kGps, 12, kGpsL1, {22000000.25, 115000000.5, 500.25f, 36}));
    log.observation(0, make_observation(u, kWeek, kSbas, 31, kSbasL1, {38000100.5, 0, 0, 40}));
    log.observation(0, make_observation(u, kWeek, kGps, 5, kGpsL1, {21000300.5, 110001000.5, -1000.25f, 42}));
    log.load(store);

    const ObsRun run = run_observation_writer(0, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(run.messages,
              (std::vector<std::string>{"Writing RINEX obs file for GNSS id 0... ",
                                        "Warning: 2 observations left out: VXP constellation 5 has no RINEX "
                                        "system letter.",
                                        "Warning: 2 observations left out: VXP signal 255 has no RINEX "
                                        "observation code.",
                                        "done."}));
    const std::vector<std::string> expected = common_header("QRV_00USA") +
                                              times("     1.000", kStartTime, kNextSecond) +
                                              std::vector<std::string>{
                                                  header("G    3 C1C L1C D1C", "SYS / # / OBS TYPES"),
                                                  header("G L1C", "SYS / PHASE SHIFT"),
                                                  header("", "GLONASS COD/PHS/BIS"),
                                                  header("", "END OF HEADER"),
                                                  padded("> 2024 03 05 12 34  5.0000000  0  2"),
                                                  padded("G05  21000000.500   110000000.250 7     -1000.500"),
                                                  padded("G12  22000000.250   115000000.500 6       500.250"),
                                                  padded("> 2024 03 05 12 34  6.0000000  0  1"),
                                                  padded("G05  21000300.500   110001000.500 7     -1000.250"),
                                              };
    EXPECT_EQ(run.lines, expected);
}

// With nothing left that the file can carry, the header stops as for constellation 0 alone.
TEST_F(ObservationFile, NothingButUnknownSystemsStopsAfterSayingWhy) {
    log.observation(3, make_observation(kStart, kWeek, 6, 1, 128, {20000000.5, 0, 0, 0}));
    log.load(store);

    const ObsRun run = run_observation_writer(3, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::content_error);
    EXPECT_EQ(run.messages, (std::vector<std::string>{
                                "Writing RINEX obs file for GNSS id 3... ",
                                "Warning: 1 observation left out: VXP constellation 6 has no RINEX "
                                "system letter.",
                                "ERROR: Signal map could not be generated from VXP data for GNSS3!"}));
    EXPECT_EQ(run.lines, common_header("QRV_03USA") + times("", kStartTime, kStartTime));
}

}  // namespace
