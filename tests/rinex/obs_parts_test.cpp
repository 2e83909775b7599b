// Pieces of the observation writer: epoch preparation, the base-station search, the signal and
// slot lists, the fixed-site header lines, large epochs, and the file-error outcomes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "obs_test_support.h"

namespace {

constexpr uint16_t kWeek = 2304;
constexpr double kStart = 218045.0;  // 2024-03-05 12:34:05

std::string keys(const std::vector<RawObservation>& observations) {
    std::string text;
    for (const RawObservation& o : observations) {
        text += std::to_string(o.gnss_id) + "/" + std::to_string(o.satellite_id) + "/" +
                std::to_string(o.signal_id) + " ";
    }
    return text;
}

TEST(PrepareEpoch, SortsBySystemSatelliteSignalAndCountsSatellites) {
    const RawEpoch epoch = {
        make_observation(kStart, kWeek, 1, 12, 4), make_observation(kStart, kWeek, 1, 5, 1),
        make_observation(kStart, kWeek, 1, 12, 1), make_observation(kStart, kWeek, 0, 12, 1),
        make_observation(kStart, kWeek, 0, 13, 1), make_observation(kStart, kWeek, 2, 5, 32)};
    std::vector<RawObservation> sorted = {make_observation(0, 0, 9, 9, 9)};  // reused buffer
    EXPECT_EQ(prepare_epoch(epoch, sorted), 3u);
    EXPECT_EQ(keys(sorted), "0/12/1 0/13/1 1/5/1 1/12/1 1/12/4 2/5/32 ");
    EXPECT_EQ(prepare_epoch(RawEpoch{}, sorted), 0u);
    EXPECT_TRUE(sorted.empty());
}

// The record in force: the latest at or before the epoch, whether or not a later one follows.
TEST(FindBaseStationRecord, LatestRecordAtOrBeforeTheEpoch) {
    VxpDataStore store;
    store.base_station_info = {make_site(100, kWeek, 7, 1, 2, 3, 0), make_site(200, kWeek, 8, 1, 2, 3, 0)};
    EXPECT_EQ(find_base_station_record(150, kWeek, 0, store), 0);
    EXPECT_EQ(find_base_station_record(199.5, kWeek, 0, store), 0);
    EXPECT_EQ(find_base_station_record(200, kWeek, 0, store), 1);  // at the epoch counts
    EXPECT_EQ(find_base_station_record(250, kWeek, 0, store), 1);  // no later record needed
    EXPECT_EQ(find_base_station_record(50, kWeek, 0, store), 0);   // before all: the start stays
    store.base_station_info.push_back(make_site(400, kWeek, 8, 1, 2, 3, 0));
    EXPECT_EQ(find_base_station_record(250, kWeek, 0, store), 1);
    EXPECT_EQ(find_base_station_record(450, kWeek, 0, store), 2);
    EXPECT_EQ(find_base_station_record(250, kWeek, 2, store), 2);  // never back before the start
    // Weeks count: every record of the previous week is earlier than any time of this one.
    EXPECT_EQ(find_base_station_record(50, kWeek + 1, 0, store), 2);
    // A record without a usable time ends the run.
    store.base_station_info[1].time_of_week = NAN;
    EXPECT_EQ(find_base_station_record(450, kWeek, 0, store), 0);
}

// The nominal interval: the most common spacing of consecutive kept epochs, to the microsecond.
TEST(EpochTally, NominalIntervalIsTheMostCommonSpacingOfTheKeptEpochs) {
    const struct {
        std::vector<double> times;  // seconds after kStart
        EpochSelection selection;
        double interval;
    } cases[] = {
        {{0}, {}, EpochTally::kNoInterval},
        {{0, 0}, {}, EpochTally::kNoInterval},
        {{0, 1, 2, 5, 6, 7, 9}, {}, 1.0},                   // gaps of 3 s and 2 s are rarer
        {{0, 0.1, 0.2, 0.3, 0.5, 0.6}, {}, 0.1},            // 0.1 s to the microsecond, however it adds up
        {{0, 2, 4, 5, 6}, {}, 1.0},                         // as common as 2 s: the shorter wins
        {{0, 0.5, 1, 1.5, 2, 2.5, 3}, {{}, 1.0}, 1.0},      // thinned to 1 s
        {{604800 - kStart - 1, 604800 - kStart}, {}, 1.0},  // over the week's end
    };
    for (const auto& c : cases) {
        EpochTally tally(c.selection);
        for (double t : c.times) {
            const double time = kStart + t;
            const uint16_t week = kWeek + (time >= 604800 ? 1 : 0);
            const RawObservation o = make_observation(std::fmod(time, 604800), week, 1, 5, 1);
            tally.add(&o, 1);
        }
        EXPECT_EQ(tally.nominal_interval(), c.interval) << testing::PrintToString(c.times);
    }
    // Epoch times with a jitter of a few microseconds each: more distinct intervals than the
    // table holds, counted at a coarser grain.
    EpochTally jittered;
    for (int i = 0; i < 2000; ++i) {
        const RawObservation o = make_observation(kStart + i + 1e-6 * ((i * 7919) % 600), kWeek, 1, 5, 1);
        jittered.add(&o, 1);
    }
    EXPECT_NEAR(jittered.nominal_interval(), 1.0, 1e-3);
}

TEST(ObservationKinds, LettersInAnyOrderEachOnceInTheFileOrder) {
    EXPECT_EQ(ObservationKinds().letters(), "CLD");
    for (const auto& [given, written] : std::vector<std::pair<std::string, std::string>>{
             {"C", "C"}, {"SDLC", "CLDS"}, {"LC", "CL"}, {"SL", "LS"}, {"D", "D"}}) {
        const std::optional<ObservationKinds> kinds = ObservationKinds::from_letters(given);
        ASSERT_TRUE(kinds.has_value()) << given;
        EXPECT_EQ(kinds->letters(), written);
    }
    for (const char* refused : {"", "CC", "CLDX", "cld", "C L", "CLDSC"})
        EXPECT_FALSE(ObservationKinds::from_letters(refused).has_value()) << refused;
}

TEST(CollectSignalsPresent, FirstOccurrenceOrderPerConstellationWithoutConstellationZero) {
    VxpDataStore store;
    store.raw_epochs[1] = {
        {make_observation(1, kWeek, 3, 1, 74), make_observation(1, kWeek, 1, 5, 4),
         make_observation(1, kWeek, 0, 5, 9)},
        {make_observation(2, kWeek, 1, 5, 1), make_observation(2, kWeek, 1, 7, 4),
         make_observation(2, kWeek, 3, 1, 64)},
    };
    const SignalPresence expected = {{1, {4, 1}}, {3, {74, 64}}};
    EXPECT_EQ(collect_signals_present(1, store), expected);
    EXPECT_TRUE(collect_signals_present(0, store).empty());
}

TEST(CollectGlonassSlots, FirstRecordOfEachOccupiedSlotInSlotOrder) {
    VxpDataStore store;
    store.glonass_ephemerides[3][9] = {make_glonass_ephemeris(9, -7, 0, kWeek),
                                       make_glonass_ephemeris(9, 2, 0, kWeek)};
    store.glonass_ephemerides[3][2] = {make_glonass_ephemeris(2, 6, 0, kWeek)};
    EXPECT_EQ(collect_glonass_slots(3, store), (GlonassSlots{{6, 2}, {-7, 9}}));
    EXPECT_TRUE(collect_glonass_slots(0, store).empty());
}

class ObservationWriter : public testing::Test {
  protected:
    WorkingDirectory scratch;
    VxpDataStore store;

    void one_epoch(int receiver) {
        store.raw_epochs[receiver] = {{make_observation(kStart, kWeek, 1, 5, 1, {20000000.5, 0, 0, 0})}};
    }
};

// Every file carries the site records; only the fixed site with base-station records fills them.
TEST_F(ObservationWriter, SiteRecordsOfEveryReceiver) {
    store.base_station_info = {make_site(100, kWeek, 7, 4000000.1234, -1000000.5, 4800000.25, 1.5f)};
    one_epoch(0);
    one_epoch(2);
    const auto site_records = [](const ObsRun& run) {
        return std::vector<std::string>(run.lines.begin() + 2, run.lines.begin() + 9);
    };
    const std::vector<std::string> unknown_site_tail = {
        header("", "REC # / TYPE / VERS"),
        header("", "ANT # / TYPE"),
        header("        0.0000        0.0000        0.0000", "APPROX POSITION XYZ"),
        header("        0.0000        0.0000        0.0000", "ANTENNA: DELTA H/E/N"),
    };
    const ObsRun moving = run_observation_writer(0, store);
    ASSERT_GE(moving.lines.size(), 10u);
    EXPECT_EQ(
        site_records(moving),
        (std::vector<std::string>{header("QRV_00USA", "MARKER NAME"), header("GROUND_CRAFT", "MARKER TYPE"),
                                  header("Observer            Agency", "OBSERVER / AGENCY")} +
         unknown_site_tail));
    const ObsRun fixed = run_observation_writer(2, store);
    ASSERT_GE(fixed.lines.size(), 10u);
    EXPECT_EQ(site_records(fixed),
              (std::vector<std::string>{
                  header("7", "MARKER NAME"),
                  header("GEODETIC", "MARKER TYPE"),
                  header("Observer            Agency", "OBSERVER / AGENCY"),
                  header("", "REC # / TYPE / VERS"),
                  header("", "ANT # / TYPE"),
                  header("  4000000.1234 -1000000.5000  4800000.2500", "APPROX POSITION XYZ"),
                  header("        1.5000        0.0000        0.0000", "ANTENNA: DELTA H/E/N"),
              }));

    store.base_station_info.clear();
    const ObsRun bare = run_observation_writer(2, store);
    ASSERT_GE(bare.lines.size(), 10u);
    EXPECT_EQ(site_records(bare),
              (std::vector<std::string>{header("QRV_02USA", "MARKER NAME"), header("GEODETIC", "MARKER TYPE"),
                                        header("Observer            Agency", "OBSERVER / AGENCY")} +
               unknown_site_tail));
}

// The writer takes the header values it is given: texts cut to their fields, numbers in theirs.
TEST_F(ObservationWriter, GivenHeaderValuesInTheirFields) {
    one_epoch(1);
    ObsHeaderValues values;
    values.marker_name = std::string(58, 'M') + "-cut-off";
    values.receiver_number = "5023K67889";
    values.receiver_type = "A RECEIVER TYPE NAME, TOO LONG";
    values.receiver_version = "5.45";
    values.antenna_number = "4928353386";
    values.antenna_type = "TRM59800.00     SCIS";
    values.position_x = -2364337.4414;
    values.position_y = 4870285.6211;
    values.position_z = -3360809.6724;
    values.antenna_height = 0.0765;
    values.antenna_east = -0.5;
    values.antenna_north = 100.25;
    const ObsRun run = run_observation_writer(1, store, values);
    ASSERT_EQ(run.outcome.status, WriterOutcome::Status::written);
    const std::vector<std::string>& lines = run.lines;
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[2], header(std::string(58, 'M') + "-c", "MARKER NAME"));
    EXPECT_EQ(lines[5], header("5023K67889          A RECEIVER TYPE NAME5.45", "REC # / TYPE / VERS"));
    EXPECT_EQ(lines[6], header("4928353386          TRM59800.00     SCIS", "ANT # / TYPE"));
    EXPECT_EQ(lines[7], header(" -2364337.4414  4870285.6211 -3360809.6724", "APPROX POSITION XYZ"));
    EXPECT_EQ(lines[8], header("        0.0765       -0.5000      100.2500", "ANTENNA: DELTA H/E/N"));
}

// Slot and frequency numbers that two digits cannot hold come only from damaged records: left out.
TEST_F(ObservationWriter, GlonassSlotsThatDoNotFitTheirFieldsAreLeftOut) {
    one_epoch(0);
    store.glonass_ephemerides[0][3] = {make_glonass_ephemeris(3, -100, 0, kWeek)};
    store.glonass_ephemerides[0][5] = {make_glonass_ephemeris(5, -9, 0, kWeek)};
    store.glonass_ephemerides[0][7] = {make_glonass_ephemeris(7, 13, 0, kWeek)};
    const ObsRun run = run_observation_writer(0, store);
    ASSERT_EQ(run.outcome.status, WriterOutcome::Status::written);
    const std::vector<std::string> slot_lines(run.lines.end() - 5, run.lines.end() - 3);
    EXPECT_EQ(slot_lines, (std::vector<std::string>{header("", "GLONASS COD/PHS/BIS"),
                                                    header("  2 R05 -9 R07 13", "GLONASS SLOT / FRQ #")}));
}

TEST_F(ObservationWriter, EpochLineCountsAndSeconds) {
    // 105 satellites (more than two digits): the count fills columns 33-35 after the flag.
    RawEpoch big;
    for (int i = 0; i < 105; ++i) {
        big.push_back(make_observation(kStart + 25.1, kWeek, static_cast<uint8_t>(1 + i % 4),
                                       static_cast<uint8_t>(1 + i / 4), 1, {20000000.5, 0, 0, 0}));
    }
    store.raw_epochs[0] = {big};
    const ObsRun run = run_observation_writer(0, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    const std::size_t header_lines = 9 + 2 + 4 + 4 + 2;
    ASSERT_EQ(run.lines.size(), header_lines + 1 + 105);
    EXPECT_EQ(run.lines[header_lines], padded("> 2024 03 05 12 34 30.1000000  0105"));
    EXPECT_EQ(run.lines[header_lines + 1], padded("G01  20000000.500"));
    EXPECT_EQ(run.lines.back(), padded("C26  20000000.500"));
}

TEST_F(ObservationWriter, NoObservationsNoFile) {
    const ObsRun run = run_observation_writer(0, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::skipped);
    EXPECT_TRUE(run.messages.empty());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

TEST_F(ObservationWriter, FileThatCannotBeCreatedIsAFileError) {
    one_epoch(0);
    const std::string name = "QRV_00USA_R_20240651234_00U_00U_MO.rnx";
    std::filesystem::create_directory(name);  // fopen of a directory fails whoever runs the test
    const ObsRun run = run_observation_writer(0, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(run.outcome.file_name, name);
    EXPECT_EQ(run.outcome.reason, "Is a directory");
    EXPECT_TRUE(run.messages.empty());
}

TEST_F(ObservationWriter, FullDiskIsAFileErrorNotSuccess) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // Enough epochs to pass the file buffer, so writes fail before the close as well.
    for (int i = 0; i < 20000; ++i) {
        store.raw_epochs[0].push_back(
            {make_observation(kStart + i, kWeek, 1, 5, 1, {20000000.5, 1.5, 2, 40})});
    }
    const std::string name = "QRV_00USA_R_20240651234_00U_01S_MO.rnx";
    std::filesystem::create_symlink("/dev/full", name);
    const ObsRun run = run_observation_writer(0, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(run.outcome.file_name, name);
    EXPECT_EQ(run.outcome.reason, "No space left on device");
    EXPECT_EQ(run.messages, (std::vector<std::string>{"Writing RINEX obs file for GNSS id 0... "}));

    // A file small enough to stay in the buffer fails at the close.
    store.raw_epochs[0].resize(1);
    std::filesystem::create_symlink("/dev/full", "QRV_00USA_R_20240651234_00U_00U_MO.rnx");
    const ObsRun small = run_observation_writer(0, store);
    EXPECT_EQ(small.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(small.outcome.reason, "No space left on device");
}

}  // namespace
