// Our observation files read by two readers that owe nothing to our writer: the tests' strict
// RINEX 3.05 reader (required records, numbers read with blanks as zeros) and RTKLIB's rnx2rtkp,
// which takes a base station's position and antenna height from its observation file's site
// records. Both must read the sites, slots and epochs the simulator laid down, and the strict
// reader the signal strengths the log's records hold.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "rinex/codes.h"
#include "store/vxp_data_store.h"
#include "tests/e2e/e2e_support.h"
#include "tests/rinex/rinex3_reader.h"
#include "tests/support/lines.h"

namespace {

// Base station 12.3456 m above its marker (more than the 10 m a field without its leading blanks
// can hold), moving to a second site half way.
const char* const kSiteRun =
    "--duration 60 --receivers 0,2 --systems G,R,E --noise-pr 0.05 --noise-phase 0.002 "
    "--antenna-height 12.3456 --station-id 4711 --site-change 30 --seed 13";

constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84F = 1.0 / 298.257223563;
constexpr double kDegreesPerRadian = 57.29577951308232;

struct Geodetic {
    double latitude_deg, longitude_deg, height_m;
};

Geodetic geodetic(const std::array<double, 3>& r) {
    const double e2 = kWgs84F * (2.0 - kWgs84F);
    const double p = std::hypot(r[0], r[1]);
    double latitude = std::atan2(r[2], p * (1.0 - e2));
    double height = 0.0;
    for (int i = 0; i < 10; ++i) {
        const double n = kWgs84A / std::sqrt(1.0 - e2 * std::sin(latitude) * std::sin(latitude));
        height = p / std::cos(latitude) - n;
        latitude = std::atan2(r[2], p * (1.0 - e2 * n / (n + height)));
    }
    return {latitude * kDegreesPerRadian, std::atan2(r[1], r[0]) * kDegreesPerRadian, height};
}

std::array<double, 3> vector3(const Json& v) {
    return {v[0].get<double>(), v[1].get<double>(), v[2].get<double>()};
}

void expect_position(const std::array<double, 3>& read, const Json& truth, const char* what) {
    const std::array<double, 3> meant = vector3(truth);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(read[k], meant[k], 1e-4) << what << " axis " << k;
}

// The base position rnx2rtkp takes from the base file's site records: "% ref pos   : lat lon height".
bool rtklib_reference_position(const Conversion& c, const std::string& rover, const std::string& base,
                               const std::string& nav, Geodetic& out) {
    {
        std::ofstream conf(c.dir + "/header_base.conf");
        conf << "pos1-posmode       =dgps\nant2-postype       =rinexhead\n";
    }
    const std::string command = "cd '" + c.dir + "' && rnx2rtkp -k header_base.conf -o header_base.pos " +
                                rover + " " + base + " " + nav + " > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    std::istringstream text(read_text(c.dir + "/header_base.pos"));
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("% ref pos", 0) == 0) {
            return std::sscanf(line.c_str() + line.find(':') + 1, "%lf %lf %lf", &out.latitude_deg,
                               &out.longitude_deg, &out.height_m) == 3;
        }
    }
    return false;
}

TEST(RinexReadersEndToEnd, SiteRecordsSlotsAndEpochsReadAsSimulated) {
    const Conversion c = simulate_and_convert(kSiteRun);
    ASSERT_TRUE(c.simulated) << c.dir;
    ASSERT_EQ(c.exit_code, 0) << c.console;
    std::string obs[2];
    for (int rx : {0, 2}) {
        const Json& truth = truth_receiver(c.truth, rx);
        obs[rx / 2] = find_file(c.dir, "QRV_0" + std::to_string(rx), "_MO.rnx");
        ASSERT_FALSE(obs[rx / 2].empty());
        const rinex3::ObsFile read = rinex3::read_obs_file(read_lines(c.dir + "/" + obs[rx / 2]));
        EXPECT_EQ(read.errors, std::vector<std::string>{}) << "receiver " << rx;
        EXPECT_EQ(read.epochs, static_cast<int>(truth["epochs"].size())) << "receiver " << rx;
        std::vector<std::pair<int, int>> slots;
        for (const Json& slot : truth["glonass_slots"])
            slots.emplace_back(static_cast<int>(slot[0].get<double>()),
                               static_cast<int>(slot[1].get<double>()));
        EXPECT_EQ(read.glonass_slots, slots) << "receiver " << rx;
    }

    // The moving receiver: its station name, nothing else known.
    const rinex3::ObsFile moving = rinex3::read_obs_file(read_lines(c.dir + "/" + obs[0]));
    EXPECT_EQ(moving.site.marker_name, "QRV_00USA");
    EXPECT_EQ(moving.site.position, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(moving.site.antenna, (std::array<double, 3>{0, 0, 0}));

    // The base station: both sites, each with its marker position and antenna height.
    const auto& sites = truth_receiver(c.truth, 2)["sites"];
    ASSERT_EQ(sites.size(), 2u);
    const rinex3::ObsFile base = rinex3::read_obs_file(read_lines(c.dir + "/" + obs[1]));
    EXPECT_EQ(base.site.marker_name, "4711");
    expect_position(base.site.position, sites[0]["marker"], "header position");
    EXPECT_EQ(base.site.antenna, (std::array<double, 3>{12.3456, 0, 0}));
    ASSERT_EQ(base.new_sites.size(), 1u);
    EXPECT_EQ(base.new_sites[0].marker_name, "4712");
    expect_position(base.new_sites[0].position, sites[1]["marker"], "new-site position");
    EXPECT_EQ(base.new_sites[0].antenna, (std::array<double, 3>{12.3456, 0, 0}));

    if (!rtklib_available())
        GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is missing and could not be installed";
    // RTKLIB's base position is the marker of the last site the file describes (it reads the
    // new-site event too) raised by that site's antenna height: the simulated antenna, to a millimetre.
    Geodetic reference{};
    const std::string nav = find_file(c.dir, "QRV_00", "_MN.rnx");
    ASSERT_TRUE(rtklib_reference_position(c, obs[0], obs[1], nav, reference));
    const Geodetic antenna = geodetic(vector3(sites[1]["antenna"]));
    EXPECT_NEAR(reference.latitude_deg, antenna.latitude_deg, 1e-8);
    EXPECT_NEAR(reference.longitude_deg, antenna.longitude_deg, 1e-8);
    EXPECT_NEAR(reference.height_m, antenna.height_m, 1e-3);
    std::system(("rm -rf '" + c.dir + "'").c_str());
}

// (epoch, satellite, type) -> value of the S types.
using Strengths = std::map<std::tuple<int, std::string, std::string>, double>;

// The strengths the receiver's records hold, as a reader of an F14.3 field takes them; a signal
// repeated within an epoch gives the later one.
Strengths record_strengths(const VxpDataStore& store, int receiver) {
    Strengths strengths;
    int epoch = 0;
    for (const RawEpoch& observations : store.receiver_raw_epochs(receiver)) {
        for (const RawObservation& o : observations) {
            if (o.signal_strength == 0 || !vxp_constellation_letters.contains(o.gnss_id) ||
                !vxp_signal_codes.contains(o.signal_id))
                continue;
            char text[64];
            std::snprintf(text, sizeof text, "%s%02d", vxp_constellation_letters.at(o.gnss_id).c_str(),
                          o.satellite_id);
            const std::string satellite = text;
            std::snprintf(text, sizeof text, "%.3f", static_cast<double>(o.signal_strength));
            strengths[{epoch, satellite, "S" + vxp_signal_codes.at(o.signal_id)}] =
                std::strtod(text, nullptr);
        }
        ++epoch;
    }
    return strengths;
}

TEST(RinexReadersEndToEnd, SignalStrengthsAreTheRecordsOnTheSampleAndASimulatedLog) {
    const Conversion conversions[] = {
        convert_copy(std::string(SAMPLE_DIR) + "/sample.vxp", std::string(SAMPLE_DIR) + "/sample.truth.json",
                     "-observables CLDS"),
        simulate_and_convert(kSiteRun, "-observables CLDS")};
    for (const Conversion& c : conversions) {
        ASSERT_TRUE(c.simulated) << c.dir;
        ASSERT_EQ(c.exit_code, 0) << c.console;
        VxpDataStore store;
        ASSERT_TRUE(store.load_file((c.dir + "/log.vxp").c_str()));
        for (int rx : {0, 2}) {
            SCOPED_TRACE(c.dir + " receiver " + std::to_string(rx));
            const std::string obs = find_file(c.dir, "QRV_0" + std::to_string(rx), "_MO.rnx");
            const rinex3::ObsFile read = rinex3::read_obs_file(read_lines(c.dir + "/" + obs));
            EXPECT_EQ(read.errors, std::vector<std::string>{});
            EXPECT_EQ(read.signal_strength_unit, "DBHZ");
            Strengths written;
            for (const rinex3::Observation& o : read.observations) {
                if (o.type[0] == 'S')
                    written[{o.epoch, o.satellite, o.type}] = o.value;
            }
            EXPECT_GT(written.size(), 1000u);
            EXPECT_EQ(written, record_strengths(store, rx));
        }
        std::system(("rm -rf '" + c.dir + "'").c_str());
    }
}

}  // namespace
