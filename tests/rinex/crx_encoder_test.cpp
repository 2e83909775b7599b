// The compact form of a small observation file worked by hand from the format's rules: the CRINEX
// lines, arcs started per satellite and type ("3&") and differenced up to the third order, a
// satellite that leaves and comes back starting its arcs again, blank fields and strength digits
// as flag differences, epoch texts as differences with '&' for what went blank, the clock line
// (second order), an event copied as it is and the epoch after it written whole. The test decoder,
// written apart, gives the file back.
#include "rinex/compact/crx_encoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/crx_decoder.h"

namespace {

// A data line: the satellite, then per value F14.3 (0 for a blank field), a blank loss-of-lock
// column and the strength digit (' ' for none).
std::string data(const char* satellite, std::vector<std::pair<double, char>> fields) {
    std::string line = satellite;
    char text[32];
    for (const auto& [value, strength] : fields) {
        std::snprintf(text, sizeof text, "%14.3f", value);
        line += (value == 0.0 ? std::string(14, ' ') : std::string(text)) + ' ' + strength;
    }
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

const std::string kHeader[] = {
    "     3.05           OBSERVATION DATA    M                   RINEX VERSION / TYPE",
    "G    2 C1C L1C                                              SYS / # / OBS TYPES ",
    "E    1 C1C                                                  SYS / # / OBS TYPES ",
    "                                                            END OF HEADER       ",
};

TEST(CompactRinexEncoder, WorkedExampleEncodesByTheRulesAndDecodesBack) {
    std::vector<std::string> rinex(std::begin(kHeader), std::end(kHeader));
    const std::vector<std::string> body = {
        "> 2024 03 05 12 00  0.0000000  0  2",
        data("G01", {{20000000.0, ' '}, {100000000.125, '7'}}),
        data("G02", {{21000000.5, ' '}}),
        "> 2024 03 05 12 00  1.0000000  0  2       0.000000123456",
        data("G01", {{20000001.0, ' '}, {100000005.25, '7'}}),
        data("E05", {{25000000.0, ' '}}),
        "> 2024 03 05 12 00  2.0000000  0  2       0.000000123460",
        data("G01", {{20000003.0, ' '}, {100000010.0, '8'}}),
        data("G02", {{21000002.0, ' '}, {110000000.0, '5'}}),
        "> 2024 03 05 12 00  3.0000000  0  1",
        data("G01", {{20000006.0, ' '}, {100000015.0, '8'}}),
        ">                              3  1",
        "NEW                                                         MARKER NAME",
        "> 2024 03 05 12 00  4.0000000  0  1",
        data("G01", {{20000010.0, ' '}, {100000020.0, '8'}}),
    };
    rinex.insert(rinex.end(), body.begin(), body.end());
    CompactRinexEncoder encoder("kelvartix test", "05-Mar-24 12:34");
    std::string crx;
    for (const std::string& line : rinex)
        encoder.line(line, crx);
    encoder.finish(crx);

    std::vector<std::string> expected = {
        "3.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE",
        "kelvartix test                          05-Mar-24 12:34     CRINEX PROG / DATE  ",
    };
    expected.insert(expected.end(), std::begin(kHeader), std::end(kHeader));
    const std::vector<std::string> compact = {
        "> 2024 03 05 12 00  0.0000000  0  2      G01G02",
        "",
        "3&20000000000 3&100000000125    7",
        "3&21000000500",
        std::string(20, ' ') + "1" + std::string(23, ' ') + "E 5",
        "2&123456",
        "1000 5125",
        "3&25000000000",
        std::string(20, ' ') + "2" + std::string(23, ' ') + "G 2",
        "4",
        "1000 -375    8",
        "3&21000002000 3&110000000000    5",
        std::string(20, ' ') + "3" + std::string(13, ' ') + "1" + std::string(9, ' ') + "&&&",
        "",
        "0 625",
        ">                              3  1",
        "NEW                                                         MARKER NAME",
        "> 2024 03 05 12 00  4.0000000  0  1      G01",
        "",
        "3&20000010000 3&100000020000    8",
    };
    expected.insert(expected.end(), compact.begin(), compact.end());
    std::string expected_text;
    for (const std::string& line : expected)
        expected_text += line + '\n';
    EXPECT_EQ(crx, expected_text);

    const CompactRinexDecoded decoded = decode_compact_rinex(crx);
    EXPECT_EQ(decoded.error, "");
    for (std::string& line : rinex)
        line.erase(line.find_last_not_of(' ') + 1);
    EXPECT_EQ(decoded.lines, rinex);
}

}  // namespace
