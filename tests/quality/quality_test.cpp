// The quality summary on logs whose content is known: simulated logs against the simulator's truth
// (position, completeness, gaps, damaged stretches), the summaries of committed logs compared whole
// with tests/quality/summaries (KELVARTIX_UPDATE_SUMMARIES=1 rewrites them), and the JSON document
// against the keys the README documents.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "quality/quality_survey.h"
#include "tests/support/lines.h"
#include "tests/support/log_fixtures.h"

namespace {
using nlohmann::json;
namespace fs = std::filesystem;

struct Simulation {
    std::string log;
    json truth;
};

// Each test process simulates into a folder of its own: CTest runs the tests of one suite side by
// side, and a shared folder would have one process read a log that another is still writing.
Simulation simulate(const std::string& name, const std::string& args) {
    std::string pattern = (fs::temp_directory_path() / ("kelvartix_quality_" + name + "_XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    const fs::path dir = pattern;
    Simulation s{(dir / "log.vxp").string(), {}};
    const std::string truth = (dir / "log.truth.json").string();
    const std::string command =
        std::string(VXPSIM_BIN) + " -o '" + s.log + "' --truth '" + truth + "' " + args + " > /dev/null 2>&1";
    if (std::system(command.c_str()) == 0)
        s.truth = json::parse(std::ifstream(truth), nullptr, false);
    return s;
}

const json& truth_receiver(const json& truth, int index) {
    static const json missing;
    for (const json& r : truth["receivers"])
        if (r["index"] == index)
            return r;
    return missing;
}

// The simulator has no atmosphere, so positions against its truth are computed without one.
QualitySettings without_atmosphere() {
    QualitySettings s;
    s.positioning.ionosphere = false;
    s.positioning.troposphere = false;
    return s;
}

// Passes every record on but the observations of one receiver inside a span of GPS seconds.
class CutEpochs final : public RecordConsumer {
  public:
    CutEpochs(RecordConsumer& next, int receiver, double from, double to)
        : next_(next), receiver_(receiver), from_(from), to_(to) {}
    void checksum_error(uint8_t set) override { next_.checksum_error(set); }
    void sensor_packet(const SensorPacketRecords& r) override { next_.sensor_packet(r); }
    void gnss_packet(int rx, const GnssPacketRecords& r) override { next_.gnss_packet(rx, r); }
    void gps_ephemeris(int rx, const GpsEphemeris& e) override { next_.gps_ephemeris(rx, e); }
    void galileo_ephemeris(int rx, const GalileoEphemeris& e) override { next_.galileo_ephemeris(rx, e); }
    void gps_iono(int rx, const GpsIonoCorrection& c) override { next_.gps_iono(rx, c); }
    void observation(int rx, const RawObservation& o, bool starts) override {
        const double t = gps_seconds(o.time_of_week, o.week_number);
        if (rx != receiver_ || t < from_ || t >= to_)
            next_.observation(rx, o, starts);
    }

  private:
    RecordConsumer& next_;
    int receiver_;
    double from_, to_;
};

class SimulatedStatic : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sim_ = new Simulation(
            simulate("static", "--duration 600 --receivers 2,3 --systems G,R,E --imu-rate 50 --seed 11"));
    }
    static void TearDownTestSuite() { delete sim_; }
    void SetUp() override { ASSERT_FALSE(sim_->truth.is_discarded() || sim_->truth.is_null()); }
    static Simulation* sim_;
};
Simulation* SimulatedStatic::sim_ = nullptr;

TEST_F(SimulatedStatic, MedianPositionWithinFiveMetresOfTruthAndEveryEpochPresent) {
    QualitySurvey survey({}, {}, without_atmosphere());
    ASSERT_TRUE(feed_log_file(sim_->log, survey));
    survey.finish();
    for (int rx : {2, 3}) {
        const json& truth = truth_receiver(sim_->truth, rx)["epochs"][0];
        const std::optional<MedianPosition> p = survey.median_position(rx);
        ASSERT_TRUE(p.has_value()) << rx;
        EXPECT_LT(
            std::hypot(p->position.x - truth["x"].get<double>(), p->position.y - truth["y"].get<double>(),
                       p->position.z - truth["z"].get<double>()),
            5.0)
            << rx;
        EXPECT_EQ(p->epochs_used, 60u);  // one every 10 s
        const ReceiverQuality& r = *survey.receiver(rx);
        EXPECT_EQ(r.kept_epochs(), 600u);
        EXPECT_EQ(r.epochs().expected(r.interval_s()), 600u);
        EXPECT_EQ(r.epochs().gaps(r.interval_s()).total, 0u);
        // The simulator keeps the satellites above its own 10 degree mask.
        EXPECT_GT(r.tracked_above_mask(), 0.99 * static_cast<double>(r.expected_above_mask()));
        EXPECT_LE(r.tracked_above_mask(), r.expected_above_mask());
    }
    EXPECT_EQ(survey.imu().expected(), survey.imu().samples().count());
    EXPECT_EQ(survey.imu().rate_hz(), 50.0);
}

TEST_F(SimulatedStatic, EpochsCutOutGiveTheirGapAndPercentage) {
    const double start =
        sim_->truth["start"]["week"].get<double>() * 604800.0 + sim_->truth["start"]["tow"].get<double>();
    QualitySurvey survey({}, {}, without_atmosphere());
    CutEpochs cut(survey, 2, start + 100.0, start + 130.0);
    ASSERT_TRUE(feed_log_file(sim_->log, cut));
    survey.finish();
    const ReceiverQuality& r = *survey.receiver(2);
    EXPECT_EQ(r.kept_epochs(), 570u);
    EXPECT_EQ(r.epochs().expected(r.interval_s()), 600u);
    const GapFinder::Gaps gaps = r.epochs().gaps(r.interval_s());
    ASSERT_EQ(gaps.listed.size(), 1u);
    EXPECT_EQ(gaps.listed[0].start, start + 99.0);
    EXPECT_EQ(gaps.listed[0].end, start + 130.0);
    EXPECT_EQ(gaps.listed[0].missing, 30u);
    EXPECT_EQ(gaps.longest_s, 31.0);
    const json document = json::parse(survey.json_text());
    EXPECT_DOUBLE_EQ(document["receivers"][0]["completeness_percent"].get<double>(), 95.0);
}

TEST(SimulatedDamage, DamagedStretchesHoldTheTimesOfTheDamagedPackets) {
    const Simulation sim = simulate("damaged",
                                    "--duration 120 --receivers 0,2 --systems G,R,E --imu-rate 200 "
                                    "--corrupt 0.02 --garbage 0.02 --seed 5");
    ASSERT_FALSE(sim.truth.is_discarded() || sim.truth.is_null());
    QualitySurvey survey({}, {});
    ASSERT_TRUE(feed_log_file(sim.log, survey));
    survey.finish();
    const auto& stretches = survey.damage().stretches();
    int corrupted = 0;
    for (const json& p : sim.truth["damage"]["packets"]) {
        if (p["damage"] != "corrupted")
            continue;
        ++corrupted;
        const double t = sim.truth["start"]["week"].get<double>() * 604800.0 + p["tow"].get<double>();
        bool inside = false;
        for (const DamagedStretch& s : stretches)
            inside = inside || ((std::isnan(s.after) || s.after <= t + 1e-3) &&
                                (std::isnan(s.before) || t - 1e-3 <= s.before));
        EXPECT_TRUE(inside) << "damaged packet at " << p["tow"];
    }
    EXPECT_GT(corrupted, 10);
    EXPECT_GE(survey.damage().total_errors(), static_cast<uint64_t>(corrupted));
    EXPECT_LT(survey.damage().total_stretches(), survey.damage().total_errors());
}

// The summaries of committed logs, each compared line by line with its expected file.
struct SummaryCase {
    const char* name;
    const char* log;  // from the repository's root
};
const SummaryCase kSummaryCases[] = {
    {"sample", "samples/sample.vxp"},
    {"damaged", "tests/replay/damaged/damaged.vxp"},
    {"window_edges", "tests/replay/window_edges/window_edges.vxp"},
    {"inertial_rate_change", "tests/replay/inertial_rate_change/inertial_rate_change.vxp"},
};

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, LinesAsExpected) {
    QualitySurvey survey({}, {});
    ASSERT_TRUE(feed_log_file(std::string(SOURCE_DIR) + "/" + GetParam().log, survey));
    survey.finish();
    std::string text;
    for (const std::string& line : survey.summary_lines())
        text += line + "\n";
    const std::string expected_path =
        std::string(SOURCE_DIR) + "/tests/quality/summaries/" + GetParam().name + ".txt";
    if (std::getenv("KELVARTIX_UPDATE_SUMMARIES") != nullptr)
        std::ofstream(expected_path, std::ios::binary) << text;
    std::ifstream in(expected_path, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(split_lines(text), split_lines(expected));
}

INSTANTIATE_TEST_SUITE_P(Logs, Summary, ::testing::ValuesIn(kSummaryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The key paths of a document: object members by name, array elements as "[]".
void key_paths(const json& value, const std::string& path, std::set<std::string>& out) {
    if (!path.empty())
        out.insert(path);
    if (value.is_object())
        for (const auto& [key, member] : value.items())
            key_paths(member, path.empty() ? key : path + "." + key, out);
    else if (value.is_array())
        for (const json& element : value)
            key_paths(element, path + "[]", out);
}

// The documented paths: the first code span of each row of the README's key table; a segment in
// angle brackets stands for any key.
std::vector<std::regex> documented_keys(std::vector<std::string>& names) {
    std::ifstream in(std::string(SOURCE_DIR) + "/README.md");
    std::string line;
    bool table = false;
    std::vector<std::regex> keys;
    while (std::getline(in, line)) {
        if (line.rfind("| Key |", 0) == 0 && table == false) {
            table = true;
            continue;
        }
        if (table && line.rfind("| `", 0) != 0 && line.rfind("|---", 0) != 0)
            break;
        if (!table || line.rfind("| `", 0) != 0)
            continue;
        const std::string key = line.substr(3, line.find('`', 3) - 3);
        names.push_back(key);
        const std::string pattern = std::regex_replace(
            std::regex_replace(key, std::regex(R"([.\[\]])"), R"(\$&)"), std::regex("<[^>]*>"), "[^.\\[]+");
        keys.emplace_back(pattern);
    }
    return keys;
}

TEST(QualityJson, EveryKeyDocumentedAndEveryDocumentedKeyPresent) {
    std::vector<std::string> names;
    const std::vector<std::regex> keys = documented_keys(names);
    ASSERT_GT(keys.size(), 30u);
    std::set<std::string> paths;
    // The sample with ten epochs of receiver 0 cut out, and the damaged log.
    constexpr double kSampleStart = 2304 * 604800.0 + 216000.0;
    for (const char* log : {"samples/sample.vxp", "tests/replay/damaged/damaged.vxp"}) {
        QualitySurvey survey({}, {});
        CutEpochs cut(survey, 0, kSampleStart + 30.0, kSampleStart + 40.0);
        ASSERT_TRUE(feed_log_file(std::string(SOURCE_DIR) + "/" + log, cut));
        survey.finish();
        key_paths(json::parse(survey.json_text()), "", paths);
    }
    std::vector<bool> used(keys.size(), false);
    for (const std::string& path : paths) {
        bool documented = false;
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (std::regex_match(path, keys[k]))
                documented = used[k] = true;
        EXPECT_TRUE(documented) << path << " is not documented";
    }
    for (std::size_t k = 0; k < keys.size(); ++k)
        EXPECT_TRUE(used[k]) << names[k] << " is documented but not written";
}
}  // namespace
