// End to end with an independent reader: RTKLIB's convbin reads the navigation file and writes
// it out again from what it decoded; every ephemeris value must come back unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "nav_test_support.h"
#include "rinex/nav_writer.h"
#include "tests/support/captured_messages.h"

namespace {

using namespace nav_test;

// One record as read back: satellite, epoch text and the values by (line, slot); a blank slot
// is absent.
struct ParsedRecord {
    std::string satellite;
    std::string epoch;
    std::map<std::pair<int, int>, double> values;
};

constexpr int kLineWidth = 80;

double parse_value(std::string field) {
    for (char& c : field) {
        if (c == 'D' || c == 'd')
            c = 'e';
    }
    return std::strtod(field.c_str(), nullptr);
}

std::vector<ParsedRecord> parse_navigation_file(const std::string& path) {
    const std::vector<std::string> lines = read_lines(path);
    std::vector<ParsedRecord> records;
    std::size_t i = 0;
    while (i < lines.size() && lines[i].find("END OF HEADER") == std::string::npos)
        ++i;
    int line_in_record = 0;
    for (++i; i < lines.size(); ++i) {
        std::string line = lines[i];
        line.resize(kLineWidth, ' ');
        if (line[0] != ' ') {
            records.push_back({line.substr(0, 3), line.substr(4, 19), {}});
            line_in_record = 0;
        } else {
            ++line_in_record;
        }
        if (records.empty())
            continue;
        for (int slot = 0; slot < 4; ++slot) {
            const std::size_t column = 4 + 19 * slot;  // 0-based start of the slot
            if (line_in_record == 0 && slot == 0)
                continue;
            const std::string field = line.substr(column, 19);
            if (field.find_first_not_of(' ') == std::string::npos)
                continue;
            records.back().values[{line_in_record, slot}] = parse_value(field);
        }
    }
    return records;
}

bool have_convbin() {
    return std::system("command -v convbin > /dev/null 2>&1") == 0;
}

GlonassEphemeris glonass_r06() {
    GlonassEphemeris e = glonass_r05();
    e.satellite_id = 6;
    e.frequency_number = -4;
    e.tau_n = -1.368876546621e-04;
    e.gamma = 0.0;
    e.x = -11200219.23828125;
    e.y = 1706542.96875;
    e.z = 22847385.25390625;
    e.vx = -1143.118858337402f;
    e.vy = -2912.376403808594f;
    e.vz = -345.1538085937500f;
    e.ax = 9.313225746155e-07f;
    e.ay = 0.0f;
    e.az = -1.862645149231e-06f;
    e.age = 2;
    return e;
}

TEST(RtklibReadsTheFile, SameEphemerisValuesForEverySystem) {
    if (!have_convbin())
        GTEST_SKIP() << "RTKLIB convbin not installed";
    ScratchDirectory scratch;
    GpsEphemeris g05 = gps_g01();
    g05.satellite_id = 5;
    g05.health = 1;
    g05.t_gd = -1.955777406693e-08;
    g05.af2 = 1.0e-18;
    NavLog log;
    log.gps(gps_g01()).gps(g05).galileo(galileo_e02()).glonass(glonass_r05()).glonass(glonass_r06());
    std::unique_ptr<VxpDataStore> store = log.load();
    CapturedMessages messages;
    ASSERT_TRUE(write_navigation_file(0, *store, NavigationFileSettings{18.0}, test_context(messages)));

    const std::string command =
        std::string("convbin -r rinex -v 3.04 -n reread.rnx ") + kNavName0 + " > convbin.out 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << read_file("convbin.out");

    const std::vector<ParsedRecord> ours = parse_navigation_file(kNavName0);
    const std::vector<ParsedRecord> theirs = parse_navigation_file("reread.rnx");
    ASSERT_EQ(ours.size(), 5u);
    ASSERT_EQ(theirs.size(), ours.size()) << read_file("reread.rnx");
    for (std::size_t r = 0; r < ours.size(); ++r) {
        const ParsedRecord& a = ours[r];
        const ParsedRecord& b = theirs[r];
        ASSERT_EQ(a.satellite, b.satellite);
        EXPECT_EQ(a.epoch, b.epoch) << a.satellite;
        for (const auto& [slot, value] : a.values) {
            const auto [line, column] = slot;
            // convbin restates the transmission time of message within the week it found.
            if (line == 7)
                continue;
            const auto found = b.values.find(slot);
            ASSERT_NE(found, b.values.end()) << a.satellite << " line " << line << " slot " << column;
            // convbin prints twelve significant digits, the file thirteen.
            EXPECT_NEAR(found->second, value, std::fabs(value) * 1e-11)
                << a.satellite << " line " << line << " slot " << column;
        }
    }
}

}  // namespace
