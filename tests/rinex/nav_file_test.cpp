// Whole navigation files from small logs: header variants, record order, repeated ephemerides,
// progress messages and file errors.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "nav_test_support.h"
#include "rinex/nav_records.h"
#include "rinex/nav_writer.h"
#include "tests/support/captured_messages.h"

namespace {

using namespace nav_test;
using Lines = std::vector<std::string>;

const std::string kVersionLine =
    "     3.04           N: GNSS NAV DATA    MIXED               RINEX VERSION / TYPE";
const std::string kProgramLine =
    "kelvartix V1.1      N/A                 20180731 012000 UTC PGM / RUN BY / DATE ";
const std::string kLeap18Line =
    "    18                                                      LEAP SECONDS        ";
const std::string kEndLine =
    "                                                            END OF HEADER       ";

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

GpsIonoCorrection gps_iono(double scale) {
    GpsIonoCorrection c{};
    c.time_of_week = 36000.0 * scale;
    c.week_number = kWeek;
    const double alpha[4] = {1.1176e-08, 7.4506e-09, -5.9605e-08, 0.0};
    const double beta[4] = {9.0112e+04, 0.0, -1.9661e+05, 0.0};
    for (int i = 0; i < 4; ++i) {
        c.alpha[i] = alpha[i] * scale;
        c.beta[i] = beta[i] * scale;
    }
    c.valid_flags = 1;
    return c;
}

GalileoIonoCorrection galileo_iono(double scale) {
    GalileoIonoCorrection c{};
    c.time_of_week = 36000.0 * scale;
    c.week_number = kWeek;
    c.alpha[0] = 4.9250e+01 * scale;
    c.alpha[1] = 2.0703e-01 * scale;
    c.alpha[2] = 4.0283e-03 * scale;
    c.valid_flags = 1;
    return c;
}

// The writer as the run calls it, with the default leap seconds; its messages are kept.
class NavFileTest : public testing::Test {
  protected:
    std::string messages() const { return messages_.text(); }
    WriterOutcome write_store(const VxpDataStore& store, int32_t receiver_index = 0,
                              double leap_seconds = 18.0) {
        return write_navigation_file(receiver_index, store, NavigationFileSettings{leap_seconds},
                                     test_context(messages_));
    }
    WriterOutcome write(NavLog& log, int32_t receiver_index = 0) {
        store_ = log.load();
        return write_store(*store_, receiver_index);
    }

    CapturedMessages messages_;
    ScratchDirectory scratch_;
    std::unique_ptr<VxpDataStore> store_;
};

TEST_F(NavFileTest, HeaderWithoutIonosphereIsFourLines) {
    NavLog log;
    log.gps(gps_g01());
    const WriterOutcome outcome = write(log);
    EXPECT_EQ(outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(outcome.file_name, kNavName0);
    EXPECT_EQ(read_lines(kNavName0),
              concat({{kVersionLine, kProgramLine, kLeap18Line, kEndLine}, kG01Lines}));
    EXPECT_EQ(messages(), "Writing RINEX nav file for GNSS id 0... \ndone.\n");
}

TEST_F(NavFileTest, OneGpsIonoRecordGivesBothLines) {
    NavLog log;
    log.gps_iono(gps_iono(1.0)).gps(gps_g01());
    ASSERT_TRUE(write(log));
    const Lines expected = {
        kVersionLine,
        kProgramLine,
        kLeap18Line,
        "GPSA   1.1176e-08  7.4506e-09 -5.9605e-08  0.0000e+00       IONOSPHERIC CORR    ",
        "GPSB   9.0112e+04  0.0000e+00 -1.9661e+05  0.0000e+00       IONOSPHERIC CORR    ",
        kEndLine,
    };
    EXPECT_EQ(read_lines(kNavName0), concat({expected, kG01Lines}));
}

// Of n records the one at n / 2 is taken, GPS and Galileo each from their own list.
TEST_F(NavFileTest, MiddleIonoRecordOfEachSystem) {
    NavLog log;
    log.gps_iono(gps_iono(3.0)).gps_iono(gps_iono(1.0)).gps_iono(gps_iono(5.0));
    log.galileo_iono(galileo_iono(3.0)).galileo_iono(galileo_iono(1.0));
    log.galileo(galileo_e02());
    ASSERT_TRUE(write(log));
    const Lines expected = {
        kVersionLine,
        kProgramLine,
        kLeap18Line,
        "GPSA   1.1176e-08  7.4506e-09 -5.9605e-08  0.0000e+00       IONOSPHERIC CORR    ",
        "GPSB   9.0112e+04  0.0000e+00 -1.9661e+05  0.0000e+00       IONOSPHERIC CORR    ",
        "GAL    4.9250e+01  2.0703e-01  4.0283e-03                   IONOSPHERIC CORR    ",
        kEndLine,
    };
    EXPECT_EQ(read_lines(kNavName0), concat({expected, kE02Lines}));
}

TEST_F(NavFileTest, TwoGpsIonoRecordsGiveTheSecond) {
    NavLog log;
    log.gps_iono(gps_iono(2.0))
        .gps_iono(gps_iono(1.0))
        .galileo_iono(galileo_iono(1.0))
        .glonass(glonass_r05());
    ASSERT_TRUE(write(log));
    const Lines lines = read_lines(kNavName0);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[3], "GPSA   1.1176e-08  7.4506e-09 -5.9605e-08  0.0000e+00       IONOSPHERIC CORR    ");
    EXPECT_EQ(lines[5], "GAL    4.9250e+01  2.0703e-01  4.0283e-03                   IONOSPHERIC CORR    ");
}

TEST_F(NavFileTest, LeapSecondsTruncatedTowardZero) {
    const struct {
        double value;
        const char* line;
    } cases[] = {
        {17.9, "    17                                                      LEAP SECONDS        "},
        {-3.7, "    -3                                                      LEAP SECONDS        "},
        {0.4, "    0                                                       LEAP SECONDS        "},
    };
    NavLog log;
    log.glonass(glonass_r05());
    store_ = log.load();
    for (const auto& c : cases) {
        ASSERT_TRUE(write_store(*store_, 0, c.value));
        EXPECT_EQ(read_lines(kNavName0).at(2), c.line) << c.value;
    }
}

// A second call rewrites the file whole; a receiver without ephemerides gets only the header.
TEST_F(NavFileTest, RewrittenFileHoldsOnlyTheNewContent) {
    {
        NavLog log;
        log.gps(gps_g01()).galileo(galileo_e02()).glonass(glonass_r05());
        ASSERT_TRUE(write(log));
        EXPECT_EQ(read_lines(kNavName0).size(), 24u);
    }
    NavLog empty;
    ASSERT_TRUE(write(empty));
    EXPECT_EQ(read_lines(kNavName0), (Lines{kVersionLine, kProgramLine, kLeap18Line, kEndLine}));
}

TEST_F(NavFileTest, GpsThenGalileoThenGlonassSlotsAscending) {
    GpsEphemeris g03 = gps_g01();
    g03.satellite_id = 3;
    GalileoEphemeris e01 = galileo_e02();
    e01.satellite_id = 1;
    GlonassEphemeris r01 = glonass_r05();
    r01.satellite_id = 1;
    NavLog log;
    log.glonass(glonass_r05()).galileo(galileo_e02()).gps(g03).glonass(r01).gps(gps_g01()).galileo(e01);
    ASSERT_TRUE(write(log));
    const Lines lines = read_lines(kNavName0);
    std::vector<std::string> codes;
    for (std::size_t i = 4; i < lines.size(); ++i) {
        if (lines[i][0] != ' ')
            codes.push_back(lines[i].substr(0, 3));
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"G01", "G03", "E01", "E02", "R01", "R05"}));
}

// GPS satellites count 1-32 and Galileo 1-36: the highest numbers have their records too.
TEST_F(NavFileTest, HighestGpsAndGalileoSatelliteNumbers) {
    GpsEphemeris g32 = gps_g01();
    g32.satellite_id = 32;
    GalileoEphemeris e36 = galileo_e02();
    e36.satellite_id = 36;
    NavLog log;
    log.galileo(e36).gps(g32);
    ASSERT_TRUE(write(log));
    Lines g32_lines = kG01Lines;
    g32_lines[0].replace(0, 3, "G32");
    Lines e36_lines = kE02Lines;
    e36_lines[0].replace(0, 3, "E36");
    EXPECT_EQ(read_lines(kNavName0),
              concat({{kVersionLine, kProgramLine, kLeap18Line, kEndLine}, g32_lines, e36_lines}));
}

// A, A, B, A gives A, B, A; a copy that differs only in its time stamp, flags or spare bytes is
// the same ephemeris.
TEST_F(NavFileTest, RepeatedEphemeridesCollapseToTheFirstOfEachRun) {
    const GpsEphemeris a = gps_g01();
    GpsEphemeris a_again = a;
    a_again.time_of_week += 30.0;
    a_again.week_number += 1;
    a_again.valid_flags = 0;
    a_again.spare_0 = 7;
    a_again.spare_1 = 9;
    GpsEphemeris b = a;
    b.time_of_week += 7200.0;
    b.iode = 30;
    GpsEphemeris a_returns = a;
    a_returns.time_of_week += 9000.0;

    GalileoEphemeris e = galileo_e02();
    GalileoEphemeris e_again = e;
    e_again.time_of_week += 600.0;
    e_again.valid_flags = 1;

    NavLog log;
    log.gps(a).gps(a_again).gps(b).gps(a_returns).galileo(e).galileo(e_again);
    ASSERT_TRUE(write(log));

    Lines b_lines = kG01Lines;
    b_lines[1] = "     3.000000000000e+01" + b_lines[1].substr(23);
    EXPECT_EQ(
        read_lines(kNavName0),
        concat(
            {{kVersionLine, kProgramLine, kLeap18Line, kEndLine}, kG01Lines, b_lines, kG01Lines, kE02Lines}));
}

// GLONASS records compare position, velocity and acceleration only.
TEST_F(NavFileTest, GlonassRecordsDifferingOnlyInTimesOrHealthCollapse) {
    const GlonassEphemeris r = glonass_r05();
    GlonassEphemeris later = r;
    later.time_of_week += 1800.0;
    later.tb += 1800;
    later.tk += 1800;
    later.health = 1;
    later.tau_n = 0.0;
    GlonassEphemeris moved = later;
    moved.time_of_week += 1800.0;
    moved.vz = -2826.8125f;

    NavLog log;
    log.glonass(r).glonass(later).glonass(moved);
    ASSERT_TRUE(write(log));
    const Lines lines = read_lines(kNavName0);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(Lines(lines.begin() + 4, lines.begin() + 8), kR05Lines);
    EXPECT_EQ(lines[8].substr(0, 42), "R05 2018 07 29 10 45 00 0.000000000000e+00");
    EXPECT_EQ(lines[11].substr(23, 19), "-2.826812500000e+00");
}

TEST_F(NavFileTest, ReceiverIndexInNameAndMessage) {
    NavLog log(0x93);
    log.gps(gps_g01());
    const WriterOutcome outcome = write(log, 2);
    EXPECT_EQ(outcome.status, WriterOutcome::Status::written);
    EXPECT_EQ(outcome.file_name, "QRV_02USA_S_20182101020_00U_MN.rnx");
    EXPECT_EQ(read_lines(outcome.file_name).size(), 12u);
    EXPECT_EQ(messages(), "Writing RINEX nav file for GNSS id 2... \ndone.\n");
}

TEST_F(NavFileTest, FileThatCannotBeCreatedIsReportedWithoutMessage) {
    std::filesystem::create_directory(kNavName0);
    NavLog log;
    log.gps(gps_g01());
    const WriterOutcome outcome = write(log);
    EXPECT_EQ(outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(outcome.file_name, kNavName0);
    EXPECT_EQ(outcome.reason, std::strerror(EISDIR));
    EXPECT_EQ(messages(), "");
}

// A full disk must not pass for a written file.
TEST_F(NavFileTest, FailedWritesAreReported) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", kNavName0);
    NavLog log;
    log.gps(gps_g01()).galileo(galileo_e02()).glonass(glonass_r05());
    const WriterOutcome outcome = write(log);
    EXPECT_EQ(outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(outcome.file_name, kNavName0);
    EXPECT_EQ(outcome.reason, std::strerror(ENOSPC));
    EXPECT_EQ(messages(), "Writing RINEX nav file for GNSS id 0... \n");
}

// Without a first observation there is no file name: nothing is written and nothing printed.
TEST_F(NavFileTest, ReceiverWithoutObservationsOrOutOfRangeIsSkipped) {
    VxpDataStore store;
    store.gps_ephemerides[0][1].push_back(gps_g01());
    store.raw_epochs[1].push_back({observation(kFirstObservationTime)});
    for (int32_t receiver : {0, 5, -1}) {
        const WriterOutcome outcome = write_store(store, receiver);
        EXPECT_EQ(outcome.status, WriterOutcome::Status::skipped) << receiver;
    }
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.path())) {
        EXPECT_NE(entry.path().extension(), ".rnx") << entry.path();
    }
    EXPECT_EQ(messages(), "");
}

TEST(EphemerisList, EntriesReferToTheStoredRecords) {
    VxpDataStore store;
    GpsEphemeris g = gps_g01();
    store.gps_ephemerides[1][1].push_back(g);
    g.time_of_week += 30.0;
    store.gps_ephemerides[1][1].push_back(g);
    store.galileo_ephemerides[1][35].push_back(galileo_e02());
    store.glonass_ephemerides[1][0].push_back(glonass_r05());
    const std::vector<EphemerisRef> list = build_ephemeris_list(1, store);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].system, EphemerisSystem::gps);
    EXPECT_EQ(list[0].kepler, &store.gps_ephemerides[1][1][0]);
    EXPECT_EQ(list[1].system, EphemerisSystem::galileo);
    EXPECT_EQ(list[1].kepler, &store.galileo_ephemerides[1][35][0]);
    EXPECT_EQ(list[2].system, EphemerisSystem::glonass);
    EXPECT_EQ(list[2].glonass, &store.glonass_ephemerides[1][0][0]);
    EXPECT_TRUE(build_ephemeris_list(0, store).empty());
}

// The first and last fields of each compared block still count.
TEST(EphemerisList, EdgesOfTheComparedBlocks) {
    VxpDataStore store;
    GpsEphemeris g = gps_g01();
    store.gps_ephemerides[0][1].push_back(g);
    g.crs = std::nextafter(g.crs, 0.0);
    store.gps_ephemerides[0][1].push_back(g);
    g.health = 1;
    store.gps_ephemerides[0][1].push_back(g);
    GlonassEphemeris r = glonass_r05();
    store.glonass_ephemerides[0][5].push_back(r);
    r.az = 0.0f;
    store.glonass_ephemerides[0][5].push_back(r);
    r.x = std::nextafter(r.x, -1e9);  // only the lowest byte of the block changes
    store.glonass_ephemerides[0][5].push_back(r);
    r.health = 1;  // outside the block
    store.glonass_ephemerides[0][5].push_back(r);
    EXPECT_EQ(build_ephemeris_list(0, store).size(), 6u);
}

}  // namespace
