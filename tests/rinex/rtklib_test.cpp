// An independent reader: RTKLIB's convbin reads one of our observation files (with every kind,
// signal strengths included) and writes it back as RINEX; every satellite, type and value it
// reports must be what we wrote. Skipped when RTKLIB is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "obs_test_support.h"
#include "rinex/codes.h"

namespace {

constexpr uint16_t kWeek = 2304;
constexpr double kStart = 218045.0;  // 2024-03-05 12:34:05

bool convbin_available() {
    return std::system("command -v convbin > /dev/null 2>&1") == 0;
}

std::string value_text(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// (epoch heading, satellite, observation type) -> value text.
using Values = std::map<std::tuple<std::string, std::string, std::string>, std::string>;

struct ParsedRinex {
    std::map<char, std::vector<std::string>> types;
    Values values;
    std::vector<std::string> epochs;  // "yyyy mm dd hh mm ss.sss" and satellite count
};

// Reads a RINEX 3 observation file by its columns: SYS / # / OBS TYPES with continuation lines,
// epoch lines, and 16-column observation fields.
ParsedRinex parse_rinex(const std::vector<std::string>& lines) {
    ParsedRinex parsed;
    std::size_t i = 0;
    char system = ' ';
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() < 61)
            continue;
        const std::string label = trimmed(line.substr(60));
        if (label == "END OF HEADER")
            break;
        if (label != "SYS / # / OBS TYPES")
            continue;
        if (line[0] != ' ')
            system = line[0];
        for (int k = 0; k < 13; ++k) {
            const std::string type = trimmed(line.substr(7 + 4 * k, 3));
            if (!type.empty())
                parsed.types[system].push_back(type);
        }
    }
    for (++i; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] != '>')
            continue;
        double second = 0;
        int year = 0, month = 0, day = 0, hour = 0, minute = 0;
        std::sscanf(line.c_str() + 1, "%d %d %d %d %d %lf", &year, &month, &day, &hour, &minute, &second);
        char heading[64];
        std::snprintf(heading, sizeof heading, "%04d-%02d-%02d %02d:%02d:%06.3f", year, month, day, hour,
                      minute, second);
        const int satellites = std::atoi(line.substr(32, 3).c_str());
        parsed.epochs.push_back(std::string(heading) + " flag " + line.substr(31, 1) + " sats " +
                                std::to_string(satellites));
        for (int s = 0; s < satellites && i + 1 < lines.size(); ++s) {
            const std::string& data = lines[++i];
            const std::string satellite = data.substr(0, 3);
            const std::vector<std::string>& types = parsed.types[satellite[0]];
            for (std::size_t k = 0; k < types.size(); ++k) {
                const std::size_t at = 3 + 16 * k;
                if (at >= data.size())
                    break;
                const std::string value = trimmed(data.substr(at, 14));
                if (!value.empty())
                    parsed.values[{heading, satellite, types[k]}] = value;
            }
        }
    }
    return parsed;
}

TEST(RtklibReadsTheObservationFile, TypesSatellitesAndValues) {
    if (!convbin_available())
        GTEST_SKIP() << "RTKLIB convbin not installed";
    WorkingDirectory scratch;
    TestLog log;
    // GPS L2 before L1; G08 carries only L5; Galileo with five signals (fifteen types, so the
    // last ones stand on a continuation line); satellites lacking signals in the second epoch.
    std::vector<RawObservation> written = {
        make_observation(kStart, kWeek, 1, 3, 4, {21000001.5, 86000000.25, -4.5f, 40.75f}),
        make_observation(kStart, kWeek, 1, 3, 1, {21000000.5, 110000000.25, -5.5f, 40}),
        make_observation(kStart, kWeek, 1, 8, 10, {23000002.5, 92000000.75, 812.25f, 30}),
        make_observation(kStart, kWeek, 4, 7, 163, {36000003.5, 152000000.25, -2.5f, 40}),
        make_observation(kStart, kWeek, 4, 7, 160, {36000002.5, 182000000.25, -3.5f, 40}),
        make_observation(kStart, kWeek, 2, 9, 32, {19000003.5, 102000000.25, -2.5f, 40}),
        make_observation(kStart + 1, kWeek, 1, 3, 1, {21000300.5, 110001000.5, -5.25f, 41}),
        make_observation(kStart + 1, kWeek, 2, 9, 34, {19000013.25, 79000000.5, -1.75f, 35}),
        make_observation(kStart + 1, kWeek, 1, 8, 10, {23000102.5, 92000300.75, 812.5f, 30}),
    };
    for (uint8_t signal : {64, 80, 74, 77, 70}) {
        written.push_back(make_observation(kStart + 1, kWeek, 3, 2, signal,
                                           {20000000.0 + signal, 100000000.25 + signal, 1.0f * signal, 40}));
    }
    for (const RawObservation& o : written)
        log.observation(1, o);
    VxpDataStore store;
    log.load(store);
    const ObsRun run = run_observation_writer(1, store, observation_header_values(1, store),
                                              *ObservationKinds::from_letters("CLDS"));
    ASSERT_EQ(run.outcome.status, WriterOutcome::Status::written);

    const std::string command =
        "convbin -r rinex -v 3.04 -od -os -o rtklib.obs " + run.outcome.file_name + " > convbin.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const ParsedRinex ours = parse_rinex(run.lines);
    const ParsedRinex rtklib = parse_rinex(read_lines("rtklib.obs"));

    // What we meant to write: every non-zero value under its satellite and type.
    Values expected;
    for (const RawObservation& o : written) {
        const std::string heading =
            o.time_of_week == kStart ? "2024-03-05 12:34:05.000" : "2024-03-05 12:34:06.000";
        char satellite[8];
        std::snprintf(satellite, sizeof satellite, "%s%02d", vxp_constellation_letters.at(o.gnss_id).c_str(),
                      o.satellite_id);
        const std::string code = vxp_signal_codes.at(o.signal_id);
        expected[{heading, satellite, "C" + code}] = value_text(o.pseudorange);
        expected[{heading, satellite, "L" + code}] = value_text(o.carrier_phase);
        expected[{heading, satellite, "D" + code}] = value_text(o.doppler);
        expected[{heading, satellite, "S" + code}] = value_text(o.signal_strength);
    }
    EXPECT_EQ(ours.values, expected);
    EXPECT_EQ(rtklib.epochs, (std::vector<std::string>{"2024-03-05 12:34:05.000 flag 0 sats 4",
                                                       "2024-03-05 12:34:06.000 flag 0 sats 4"}));

    // RTKLIB reports nothing we did not write, and every value it reports is ours.
    for (const auto& [key, value] : rtklib.values) {
        const auto& [heading, satellite, type] = key;
        ASSERT_TRUE(expected.contains(key)) << heading << " " << satellite << " " << type << " = " << value;
        EXPECT_EQ(value, expected.at(key)) << heading << " " << satellite << " " << type;
    }
    // It keeps every satellite and, of the five Galileo signals, at least the four it can hold,
    // including E6 A whose phase and Doppler types stand on our continuation line.
    std::set<std::string> kept;
    for (const auto& [key, value] : rtklib.values)
        kept.insert(std::get<1>(key) + " " + std::get<2>(key));
    for (const char* must :
         {"G03 C2C", "G03 L2C", "G03 D2C", "G03 S2C", "G03 C1C", "G03 L1C", "G03 D1C", "G03 S1C",
          "R09 S1C", "C07 S2I", "G08 C5I", "G08 L5I", "G08 D5I", "R09 C1C", "R09 L2C", "E02 C1C",
          "E02 C5I", "E02 C7I", "E02 L6A", "E02 D6A", "C07 C2I", "C07 L6I", "C07 D6I"}) {
        EXPECT_TRUE(kept.contains(must)) << must;
    }
    EXPECT_GE(rtklib.values.size(), expected.size() - 4);
}

}  // namespace
