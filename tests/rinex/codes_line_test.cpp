// The code tables and the line composer and writer shared by every RINEX record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "rinex/codes.h"
#include "rinex/line.h"

namespace {

TEST(CodeTables, HoldExactlyTheirRows) {
    EXPECT_EQ(vxp_constellation_letters.size(), 4u);
    EXPECT_EQ(vxp_signal_codes.size(), 64u);
    EXPECT_EQ(vxp_constellation_letters.at(1), "G");
    EXPECT_EQ(vxp_constellation_letters.at(2), "R");
    EXPECT_EQ(vxp_constellation_letters.at(3), "E");
    EXPECT_EQ(vxp_constellation_letters.at(4), "C");
    EXPECT_FALSE(vxp_constellation_letters.contains(0));
    EXPECT_FALSE(vxp_constellation_letters.contains(5));
    EXPECT_FALSE(vxp_signal_codes.contains(255));
}

TEST(CodeTables, SignalRangesAndTheirCodes) {
    // Every code, range by range, concatenated in identifier order.
    std::string codes;
    for (const auto& [id, code] : vxp_signal_codes)
        codes += std::to_string(id) + ":" + code + " ";
    EXPECT_EQ(codes,
              "1:1C 2:1L 3:1W 4:2C 5:2P 6:2W 7:2L 8:2S 9:2X 10:5I 11:5Q 12:5X 13:1S 14:1L 15:1X "
              "32:1C 33:1P 34:2C 35:2P "
              "64:1C 65:1A 66:1B 67:1X 68:1Z 69:6C 70:6A 71:6B 72:6X 73:6Z 74:7I 75:7Q 76:7X 77:8I 78:8Q "
              "79:8X 80:5I 81:5Q 82:5X "
              "96:1C 97:5I 98:5Q 99:5X "
              "128:1C 129:6S 130:6L 131:6X 132:2S 133:2L 134:2X 135:5I 136:5Q 137:5X 138:1S 139:1L 140:1X "
              "160:2I 161:2Q 162:2X 163:6I 164:6Q 165:6X 166:7I 167:7Q 168:7X ");
}

TEST(ComposeRinexLine, BlankFillsToEightyColumns) {
    const std::string line = compose_rinex_line({{"3.05", 6}, {"OBSERVATION DATA", 21}, {"M", 41}});
    EXPECT_EQ(line, "     3.05           OBSERVATION DATA    M" + std::string(39, ' '));
}

TEST(ComposeRinexLine, WidthFollowsTheLastItemAndLaterItemsWin) {
    // A 20-character label at column 61 makes the line 81 characters, the last one blank.
    const std::string labelled = compose_rinex_line({{"x", 1}, {"ANTENNA: DELTA H/E/N", 61}});
    EXPECT_EQ(labelled, std::string("x") + std::string(59, ' ') + "ANTENNA: DELTA H/E/N ");
    EXPECT_EQ(compose_rinex_line({{"abcdef", 3}, {"XY", 5}}), "  abXYef" + std::string(72, ' '));
    // An earlier item running past the last one still grows the line.
    EXPECT_EQ(compose_rinex_line({{std::string(90, 'a'), 1}, {"b", 2}}),
              std::string("ab") + std::string(88, 'a'));
}

// Fortran fields: right-aligned, and a value the field cannot hold is the field's zero.
TEST(RinexFields, NumbersRightAlignedInTheirFields) {
    EXPECT_EQ(rinex_fixed_field(12.3456, 14, 4), "       12.3456");
    EXPECT_EQ(rinex_fixed_field(-1.2345, 14, 4), "       -1.2345");
    EXPECT_EQ(rinex_fixed_field(-999999999.9999, 14, 4), "        0.0000");  // 15 characters
    EXPECT_EQ(rinex_fixed_field(999999999.9999, 14, 4), "999999999.9999");
    EXPECT_EQ(rinex_fixed_field(1e9, 14, 4), "        0.0000");
    EXPECT_EQ(rinex_fixed_field(NAN, 14, 4), "        0.0000");
    EXPECT_EQ(rinex_fixed_field(-INFINITY, 14, 4), "        0.0000");
    EXPECT_EQ(rinex_fixed_field(1e300, 13, 7), "    0.0000000");
    EXPECT_EQ(rinex_integer_field(3, 6), "     3");
    EXPECT_EQ(rinex_integer_field(-7, 2), "-7");
}

// The integers of the printf formats the files use: zeros after the sign, blanks before it.
TEST(RinexFields, IntegersZeroPaddedOrInTheirFields) {
    RinexNumberText number;
    EXPECT_EQ(number.integer(7, 2), "07");
    EXPECT_EQ(number.integer(-5, 3), "-05");
    EXPECT_EQ(number.integer(-5, 2), "-5");
    EXPECT_EQ(number.integer(2024), "2024");
    EXPECT_EQ(number.integer_field(-7, 4), "  -7");
    EXPECT_EQ(number.integer_field(1000, 3), "1000");
}

// A data line is that of its texts placed in column order: a 14-character first value overwrites
// the fourth character of a longer satellite text, the strength digit follows its value, and the
// line ends one blank after its last text.
TEST(RinexDataLine, TextsAsPlacedInColumnOrder) {
    RinexDataLine line;
    line.begin("G123");
    EXPECT_TRUE(line.value(0, 1234567890.125));
    EXPECT_TRUE(line.value(1, -0.25));
    line.strength(1, 7);
    EXPECT_FALSE(line.value(2, 123456789012.5));  // 16 characters: left blank
    EXPECT_TRUE(line.value(4, 5.0));
    const std::string expected =
        "G121234567890.125" + std::string(10, ' ') + "-0.250 7" + std::string(41, ' ') + "5.000 ";
    EXPECT_EQ(line.line(), expected);
    line.begin("E05");
    EXPECT_TRUE(line.value(0, 2.5));
    EXPECT_EQ(line.line(), "E05" + std::string(9, ' ') + "2.500" + std::string(63, ' '));
}

// Records that continue: the same slot columns on every line, the label on each line taken,
// and a record without a label ending after its last item.
TEST(RinexContinuedRecord, SlotsContinueUnderTheSameColumns) {
    RinexLineBuilder builder;
    builder.place("G", 1);
    RinexContinuedRecord types(builder, RinexSlots{8, 4, 3}, "SYS / # / OBS TYPES");
    for (const char* type : {"C1C", "L1C", "D1C", "C2W"})
        types.next(type);
    const std::string first = "G      C1C L1C D1C";
    const std::string second = "       C2W";
    EXPECT_EQ(types.text(), first + std::string(42, ' ') + "SYS / # / OBS TYPES " + second +
                                std::string(50, ' ') + "SYS / # / OBS TYPES ");

    RinexLineBuilder record_line;
    record_line.place("G01", 1);
    RinexContinuedRecord record(record_line, RinexSlots{5, 19, 4});
    record.next("epoch");
    record.skip();
    record.next("b");
    record.skip();
    record.next("c");
    EXPECT_EQ(record.text(), "G01 epoch" + std::string(33, ' ') + "b" + std::string(41, ' ') + "c ");
}

TEST(RinexLineBuilder, ReusedBufferStartsBlankAfterClear) {
    RinexLineBuilder builder;
    builder.place(std::string(90, 'x'), 20);
    EXPECT_EQ(builder.line(), std::string(19, ' ') + std::string(90, 'x') + " ");
    builder.clear();
    builder.place("G05", 1);
    EXPECT_EQ(builder.line(), "G05" + std::string(77, ' '));
}

// Everything written to a scratch file by `write`, read back whole.
template <class Write>
std::string written(Write write) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("write_rinex_line_" + std::to_string(getpid()));
    OutputFile file;
    EXPECT_TRUE(file.open(path.string()));
    write(file);
    EXPECT_TRUE(file.close());
    std::string text;
    {
        // Closed before the file is removed: Windows refuses to remove a file still open.
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::filesystem::remove(path);
    return text;
}

TEST(WriteRinexLine, WrapCutsEightyColumnLines) {
    const std::string line81 = std::string(80, 'a') + " ";
    EXPECT_EQ(written([&](OutputFile& f) { EXPECT_TRUE(write_rinex_line(f, line81, true)); }),
              std::string(80, 'a') + "\n");
    const std::string line170 = std::string(80, 'a') + std::string(80, 'b') + std::string(10, 'c');
    EXPECT_EQ(written([&](OutputFile& f) { write_rinex_line(f, line170, true); }),
              std::string(80, 'a') + "\n" + std::string(80, 'b') + "\n" + std::string(10, 'c') + "\n");
    // A remainder of two characters is written; of one, it is not.
    EXPECT_EQ(written([&](OutputFile& f) { write_rinex_line(f, std::string(80, 'a') + "bc", true); }),
              std::string(80, 'a') + "\nbc\n");
}

TEST(WriteRinexLine, WithoutWrapALineIsWrittenWhole) {
    const std::string line98 = std::string(97, 'x') + " ";
    EXPECT_EQ(written([&](OutputFile& f) { write_rinex_line(f, line98, false); }), line98 + "\n");
    EXPECT_EQ(written([&](OutputFile& f) { write_rinex_line(f, std::string("z"), false); }), "");
    EXPECT_EQ(written([&](OutputFile& f) { write_rinex_line(f, "ab", false); }), "ab\n");
}

TEST(WriteRinexLine, ReportsAMissingFileAndAFailedWrite) {
    OutputFile never_opened;
    EXPECT_FALSE(write_rinex_line(never_opened, std::string(80, 'a'), true));
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    OutputFile full;
    ASSERT_TRUE(full.open("/dev/full"));
    // More than a write buffer holds, so that a write reaches the device before the close.
    EXPECT_FALSE(write_rinex_line(full, std::string(80 * 1000, 'a'), true));
    EXPECT_FALSE(full.close());
}

}  // namespace
