// GPS, Galileo and GLONASS records as they reach the file: every line compared whole.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "nav_test_support.h"
#include "rinex/line.h"
#include "rinex/nav_records.h"

namespace {

using nav_test::galileo_e02;
using nav_test::glonass_r05;
using nav_test::gps_g01;

// The lines a record text becomes in the file (cut into 80-column lines by the line writer).
std::vector<std::string> file_lines(const std::string& record_text) {
    TempDir dir;
    const std::string path = (dir / "record.rnx").string();
    OutputFile file;
    EXPECT_TRUE(file.open(path));
    EXPECT_TRUE(write_rinex_line(file, record_text, true));
    EXPECT_TRUE(file.close());
    return read_lines(path);
}

std::string epoch_of(const std::vector<std::string>& lines) {
    return lines.at(0).substr(4, 19);
}

TEST(GpsRecord, EightLinesOfTheBroadcastSet) {
    const std::vector<std::string>& expected = nav_test::kG01Lines;
    const auto lines = file_lines(kepler_record_text(gps_g01(), EphemerisSystem::gps));
    EXPECT_EQ(lines, expected);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].size(), 80u) << i;
}

TEST(GpsRecord, HealthIodcAndGroupDelayTakeTheirSlots) {
    GpsEphemeris e = gps_g01();
    e.health = 63;
    e.iodc = 255;
    e.t_gd = -1.955777406693e-08;
    const auto lines = file_lines(kepler_record_text(e, EphemerisSystem::gps));
    EXPECT_EQ(lines.at(6),
              "     2.000000000000e+00 6.300000000000e+01-1.955777406693e-08 2.550000000000e+02");
}

TEST(GalileoRecord, BlankFourthSlotOnLineFiveAndFixedLineSix) {
    const std::vector<std::string>& expected = nav_test::kE02Lines;
    EXPECT_EQ(file_lines(kepler_record_text(galileo_e02(), EphemerisSystem::galileo)), expected);
}

TEST(KeplerRecord, SatelliteCodeAndEpoch) {
    GpsEphemeris e = gps_g01();
    e.satellite_id = 0;
    e.week_number = 2000;
    e.t_oc = 86416.0;
    auto lines = file_lines(kepler_record_text(e, EphemerisSystem::gps));
    EXPECT_EQ(lines.at(0).substr(0, 4), "G00 ");
    EXPECT_EQ(epoch_of(lines), "2018 05 07 00 00 16");
    // The fraction of a second is dropped, never rounded up.
    e.satellite_id = 5;
    e.t_oc = 86416.9995;
    lines = file_lines(kepler_record_text(e, EphemerisSystem::galileo));
    EXPECT_EQ(lines.at(0).substr(0, 4), "E05 ");
    EXPECT_EQ(epoch_of(lines), "2018 05 07 00 00 16");
}

TEST(KeplerRecord, SquareRootOfTheSemiMajorAxis) {
    GpsEphemeris e = gps_g01();
    e.a = 26560000.0;
    EXPECT_EQ(file_lines(kepler_record_text(e, EphemerisSystem::gps)).at(2).substr(61),
              " 5.153639490690e+03");
}

TEST(GlonassRecord, FourLinesInKilometres) {
    const std::vector<std::string>& expected = nav_test::kR05Lines;
    const std::string text = glonass_record_text(glonass_r05());
    EXPECT_EQ(text.size(), 321u);
    EXPECT_EQ(file_lines(text), expected);
}

TEST(GlonassRecord, SignedFrequencyHealthAgeAndPosition) {
    GlonassEphemeris e = glonass_r05();
    e.frequency_number = -7;
    e.health = 1;
    e.age = 3;
    e.x = 12345678.9;
    const auto lines = file_lines(glonass_record_text(e));
    EXPECT_EQ(lines.at(1).substr(4, 19), " 1.234567890000e+04");
    EXPECT_EQ(lines.at(1).substr(61), " 1.000000000000e+00");
    EXPECT_EQ(lines.at(2).substr(61), "-7.000000000000e+00");
    EXPECT_EQ(lines.at(3).substr(61), " 3.000000000000e+00");
}

struct FrameCase {
    double time_of_week;  // the record's time stamp, week 2000 (from 2018-05-06)
    uint32_t tb;          // reference time, Moscow time of day
    uint32_t tk;          // frame start, Moscow time of day
    const char* first_line;
};

// The message frame time is tk - 3 h, the UTC time of day, on the day nearest the epoch and in
// seconds of the epoch's own week: across UTC midnight (03:00 Moscow time) and a week change it
// can fall on the day or week before or after, below 0 or past 604800.
TEST(GlonassRecord, MessageFrameTimeInSecondsOfTheUtcWeek) {
    const std::string clock = "-4.777032881975e-05-5.456968210638e-12";
    const FrameCase cases[] = {
        // Monday 09:30 UTC, frame from 12:20 Moscow time (09:20 UTC).
        {86400.0 + 34000.0, 45000, 44400, "R05 2018 05 07 09 30 00"},
        // Frame from 23:50 Moscow time (20:50 UTC), reference 00:15 Moscow time (21:15 UTC).
        {86400.0 + 75120.0, 900, 85800, "R05 2018 05 07 21 15 00"},
        // Frame from 02:55 Moscow time (23:55 UTC), reference 03:15 (00:15 UTC of the next day).
        {86400.0 + 86160.0, 11700, 10500, "R05 2018 05 08 00 15 00"},
        // The same on Saturday: the epoch falls in the next week, the frame before it.
        {6 * 86400.0 + 86160.0, 11700, 10500, "R05 2018 05 13 00 15 00"},
        // Sunday 00:01 stamp of last week's 23:45 epoch, frames from 23:40 and from 00:05.
        {60.0, 9900, 9600, "R05 2018 05 05 23 45 00"},
        {60.0, 9900, 11100, "R05 2018 05 05 23 45 00"},
    };
    const char* const frame_times[] = {" 1.200000000000e+05", " 1.614000000000e+05", " 1.725000000000e+05",
                                       "-3.000000000000e+02", " 6.036000000000e+05", " 6.051000000000e+05"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        GlonassEphemeris e = glonass_r05();
        e.week_number = 2000;
        e.time_of_week = cases[i].time_of_week;
        e.tb = cases[i].tb;
        e.tk = cases[i].tk;
        EXPECT_EQ(file_lines(glonass_record_text(e)).at(0), cases[i].first_line + clock + frame_times[i])
            << i;
    }
}

// The epoch is the reference time tb in UTC; the clock bias tau_n stays out of it.
TEST(GlonassEpoch, ReferenceTimeInUtcWhateverTheClockBias) {
    GlonassEphemeris e = glonass_r05();
    e.week_number = 2000;
    e.tb = 45000;  // 12:30 Moscow time
    for (double stamp : {86400.0, 86400.0 + 34218.0, 86400.0 + 40000.0}) {
        for (double tau_n : {0.0, -0.0001, 0.0001}) {
            e.time_of_week = stamp;
            e.tau_n = tau_n;
            const auto lines = file_lines(glonass_record_text(e));
            EXPECT_EQ(epoch_of(lines), "2018 05 07 09 30 00") << stamp << " " << tau_n;
            EXPECT_EQ(lines.at(0).substr(23, 19), format_nav_value(tau_n == 0.0 ? 0.0 : -tau_n));
        }
    }
}

struct EpochCase {
    double time_of_week;
    uint32_t tb;
    const char* epoch;
};

// Moscow times before 03:00 are the previous UTC day; and an ephemeris recorded close to UTC
// midnight may refer to a time on the other side of it.
TEST(GlonassEpoch, AroundUtcMidnight) {
    const EpochCase cases[] = {
        {86400.0 + 79200.0, 3600, "2018 05 07 22 00 00"},       // stamped 22:00, tb 01:00 Moscow
        {86400.0 + 75605.0, 0, "2018 05 07 21 00 00"},          // stamped 21:00:05, tb 00:00 Moscow
        {86400.0 + 86100.0, 10799, "2018 05 07 23 59 59"},      // stamped 23:55
        {86400.0 + 85800.0, 10800, "2018 05 08 00 00 00"},      // stamped 23:50 for 00:00
        {2 * 86400.0 + 300.0, 9900, "2018 05 07 23 45 00"},     // stamped 00:05 for 23:45
        {6 * 86400.0 + 85800.0, 10800, "2018 05 13 00 00 00"},  // Saturday 23:50, next week's 00:00
        {300.0, 9900, "2018 05 05 23 45 00"},                   // Sunday 00:05, last week's 23:45
        {3 * 86400.0 + 36000.0, 47700, "2018 05 09 10 15 00"},
    };
    for (const EpochCase& c : cases) {
        GlonassEphemeris e = glonass_r05();
        e.week_number = 2000;
        e.time_of_week = c.time_of_week;
        e.tb = c.tb;
        EXPECT_EQ(epoch_of(file_lines(glonass_record_text(e))), c.epoch) << c.time_of_week << " " << c.tb;
    }
}

TEST(GlonassEpoch, DamagedStampStillGivesARecord) {
    GlonassEphemeris e = glonass_r05();
    for (double stamp : {std::nan(""), 1e300, -1e300}) {
        e.time_of_week = stamp;
        EXPECT_EQ(file_lines(glonass_record_text(e)).size(), 4u) << stamp;
    }
    e = glonass_r05();
    e.tb = 0xFFFFFFFFu;
    e.tk = 0xFFFFFFFFu;
    EXPECT_EQ(file_lines(glonass_record_text(e)).size(), 4u);
}

}  // namespace
