// The command line into run_settings, and the usage text.
#include "driver/arguments.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "settings_reset.h"
#include "tests/support/lines.h"

namespace {

class ParseArguments : public FreshRunSettings {
  protected:
    // Runs parse_arguments on the words given (the program name is added) and keeps what it printed.
    bool parse(std::vector<std::string> words) {
        words.insert(words.begin(), "kelvartix");
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        ::testing::internal::CaptureStdout();
        const bool result = parse_arguments(static_cast<int>(words.size()), argv.data());
        printed = ::testing::internal::GetCapturedStdout();
        return result;
    }
    std::string printed;
};

TEST_F(ParseArguments, NeedsAFileName) {
    EXPECT_FALSE(parse({}));
    EXPECT_EQ(printed, "");
}

TEST_F(ParseArguments, FileNameAloneLeavesTheDefaults) {
    EXPECT_TRUE(parse({"data/day 1.bin"}));
    EXPECT_EQ(printed, "");
    EXPECT_EQ(run_settings.input_file_name, "data/day 1.bin");
    EXPECT_FALSE(run_settings.leap_seconds_user_set);
    EXPECT_EQ(run_settings.leap_seconds, 18.0);
    EXPECT_FALSE(run_settings.inertial_requested);
    EXPECT_EQ(run_settings.inertial_format, "");
}

// The values of one count that the run gives the IMR writer: full scale over 2^31 counts.
TEST_F(ParseArguments, SettingsHoldTheImrScaleFactors) {
    EXPECT_EQ(run_settings.imr_gyro_scale, 5000.0 / 2147483648.0);
    EXPECT_EQ(run_settings.imr_accel_scale, 490.5 / 2147483648.0);
}

TEST_F(ParseArguments, FirstArgumentIsTheFileNameWhateverItLooksLike) {
    EXPECT_TRUE(parse({"-leap_seconds"}));
    EXPECT_EQ(run_settings.input_file_name, "-leap_seconds");
    EXPECT_FALSE(run_settings.leap_seconds_user_set);
}

TEST_F(ParseArguments, AnythingButAnOptionInAnOptionPlaceIsASilentError) {
    for (const char* word : {"-h", "extra", "-leap", "-Leap_seconds", "-inertial", ""}) {
        SCOPED_TRACE(word);
        run_settings = RunSettings();
        EXPECT_FALSE(parse({"file.bin", word}));
        EXPECT_EQ(printed, "");
    }
}

TEST_F(ParseArguments, MissingValuesAreNamed) {
    EXPECT_FALSE(parse({"file.bin", "-leap_seconds"}));
    EXPECT_EQ(printed, "Error: Leap seconds requires a value!\n");
    EXPECT_FALSE(run_settings.leap_seconds_user_set);

    EXPECT_FALSE(parse({"file.bin", "-leap_seconds", "17", "-inertial_data"}));
    EXPECT_EQ(printed, "Error: Intertial data flag requires a format!\n");
    EXPECT_FALSE(run_settings.inertial_requested);
    // What was set before the error stays set.
    EXPECT_TRUE(run_settings.leap_seconds_user_set);
    EXPECT_EQ(run_settings.leap_seconds, 17.0);
}

TEST_F(ParseArguments, ArgumentsAfterAnErrorAreNotExamined) {
    EXPECT_FALSE(parse({"file.bin", "stray", "-leap_seconds"}));
    EXPECT_EQ(printed, "");
    EXPECT_FALSE(parse({"file.bin", "-x", "-inertial_data", "novatel"}));
    EXPECT_FALSE(run_settings.inertial_requested);
}

TEST_F(ParseArguments, OptionsInAnyOrderLaterOccurrencesWin) {
    EXPECT_TRUE(parse({"f.bin", "-leap_seconds", "16", "-inertial_data", "NovAtel", "-leap_seconds", "17.5",
                       "-inertial_data", "other"}));
    EXPECT_EQ(printed, "");
    EXPECT_TRUE(run_settings.leap_seconds_user_set);
    EXPECT_EQ(run_settings.leap_seconds, 17.5);
    EXPECT_TRUE(run_settings.inertial_requested);
    EXPECT_EQ(run_settings.inertial_format, "other");
}

TEST_F(ParseArguments, InertialFormatsAreACommaSeparatedListInAnyLetterCase) {
    struct Case {
        const char* value;
        bool imr, csv, unknown;
    };
    for (const Case& c : {Case{"NovAtel", true, false, false}, Case{"CSV", false, true, false},
                          Case{"novatel,csv", true, true, false}, Case{"csv,Csv", false, true, false},
                          Case{"csv,xyz", false, true, true}, Case{"novatel,", true, false, true},
                          Case{"novatel, csv", true, false, true}, Case{"", false, false, true}}) {
        EXPECT_TRUE(parse({"f.bin", "-inertial_data", "novatel", "-inertial_data", c.value}));
        const InertialFormats& formats = run_settings.inertial_formats;
        EXPECT_EQ(formats.imr, c.imr) << c.value;
        EXPECT_EQ(formats.csv, c.csv) << c.value;
        EXPECT_EQ(formats.unknown, c.unknown) << c.value;
    }
}

TEST_F(ParseArguments, AValueIsTheNextArgumentEvenWhenItLooksLikeAnOption) {
    EXPECT_TRUE(parse({"f.bin", "-inertial_data", "-leap_seconds", "-leap_seconds", "-inertial_data"}));
    EXPECT_EQ(run_settings.inertial_format, "-leap_seconds");
    EXPECT_TRUE(run_settings.leap_seconds_user_set);
    EXPECT_EQ(run_settings.leap_seconds, 0.0);
}

// The last -approx_position wins, "auto" as a flag of its own; -observables kept in the file order.
TEST_F(ParseArguments, ApproxPositionOrAutoAndTheObservables) {
    EXPECT_EQ(run_settings.observables.letters(), "CLD");
    EXPECT_TRUE(
        parse({"f.bin", "-approx_position", "1,2,3", "-approx_position", "auto", "-observables", "SLC"}));
    EXPECT_TRUE(run_settings.approx_position_auto);
    EXPECT_FALSE(run_settings.site_overrides.approx_position.has_value());
    EXPECT_EQ(run_settings.observables.letters(), "CLS");
    EXPECT_TRUE(parse({"f.bin", "-approx_position", "auto", "-approx_position", "1,2,3"}));
    EXPECT_FALSE(run_settings.approx_position_auto);
    EXPECT_EQ(run_settings.site_overrides.approx_position, (std::array<double, 3>{1, 2, 3}));
}

TEST_F(ParseArguments, LeapSecondsConvertTheLongestNumericPrefix) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"17", 17.0}, {"17.5", 17.5}, {"  19", 19.0}, {"18abc", 18.0}, {"abc", 0.0},  {"", 0.0},
                 {"-3", -3.0}, {"1e1", 10.0},  {"0x10", 16.0}, {"+.5", 0.5},    {"17,5", 17.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        run_settings = RunSettings();
        EXPECT_TRUE(parse({"f.bin", "-leap_seconds", c.text}));
        EXPECT_TRUE(run_settings.leap_seconds_user_set);
        EXPECT_EQ(run_settings.leap_seconds, c.value);
    }
}

TEST_F(ParseArguments, CompressionInAnyLetterCase) {
    const std::pair<const char*, RinexCompression> cases[] = {{"gz", RinexCompression::gzip},
                                                              {"GZ", RinexCompression::gzip},
                                                              {"crx", RinexCompression::compact},
                                                              {"Crx", RinexCompression::compact},
                                                              {"crx.gz", RinexCompression::compact_gzip},
                                                              {"CRX.Gz", RinexCompression::compact_gzip}};
    for (const auto& [text, kind] : cases) {
        EXPECT_TRUE(parse({"day.vxp", "-compress", text})) << text;
        EXPECT_EQ(run_settings.compression, kind) << text;
    }
}

TEST_F(ParseArguments, ThreadsAreAWholeNumberFromOneTo256) {
    EXPECT_EQ(run_settings.threads, 0);  // one per core available
    for (const auto& [text, count] : {std::pair{"1", 1}, std::pair{"2", 2}, std::pair{"256", 256}}) {
        EXPECT_TRUE(parse({"day.vxp", "-threads", text})) << text;
        EXPECT_EQ(run_settings.threads, count);
    }
    for (const char* text : {"0", "257", "-1", "+2", "2.0", "2x", "", " 2", "99999999999"}) {
        run_settings = RunSettings();
        EXPECT_FALSE(parse({"day.vxp", "-threads", text})) << text;
        EXPECT_EQ(printed, "Error: -threads must be a whole number from 1 to 256!\n") << text;
        EXPECT_EQ(run_settings.threads, 0);
    }
}

TEST_F(ParseArguments, HelpFirstPrintsTheUsageAndEndsTheProcessWithMinusOne) {
    // The help text itself is compared by the command-line tests, which see the real stdout.
#ifdef _WIN32
    constexpr int kMinusOneAsSeen = -1;  // Windows keeps the whole exit code
#else
    constexpr int kMinusOneAsSeen = 255;  // a POSIX parent sees its low 8 bits
#endif
    EXPECT_EXIT(parse({"-h", "file.bin"}), ::testing::ExitedWithCode(kMinusOneAsSeen), "");
}

TEST(PrintHelp, PrintsTheUsageText) {
    ::testing::internal::CaptureStdout();
    print_help();
    const std::vector<std::string> expected = {
        "usage:  kelvartix filename.bin {options}",
        "",
        "Notes:",
        "\tThe binary file is a required argument",
        "",
        "{options}:",
        "",
        "\t-h" + std::string(23, ' ') + "Print this help information",
        "\t-inertial_data (string)  Output inertial data for use in post processing. Supported formats: "
        "[Novatel] - Inertial Explorer",
        "\t-leap_seconds  (int)     Number of GPS leap seconds (overrides value in data, if present)",
    };
    // The original lines first and unchanged, then the further options in their layout: the
    // option, its value in parentheses (for an option with a value), the description in the same
    // column. The command-line tests compare the whole listing.
    const std::vector<std::string> printed = split_lines(::testing::internal::GetCapturedStdout());
    ASSERT_GT(printed.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(printed.begin(), printed.begin() + expected.size()), expected);
    constexpr std::size_t kDescriptionStart = 26;  // the tab, then 25 characters of option and value
    for (std::size_t i = expected.size(); i + 1 < printed.size(); ++i) {
        const std::string& line = printed[i];
        SCOPED_TRACE(line);
        ASSERT_GT(line.size(), kDescriptionStart);
        EXPECT_TRUE(line.starts_with("\t-"));
        if (const std::size_t type = line.find(" ("); type < kDescriptionStart) {
            EXPECT_LT(line.find(") ", type), kDescriptionStart);
        }
        EXPECT_EQ(line[kDescriptionStart - 1], ' ');
        EXPECT_NE(line[kDescriptionStart], ' ');
    }
    EXPECT_EQ(printed.back(), "");
}

TEST(RunSettingsDefaults, AreTheStartUpValues) {
    const RunSettings settings;
    EXPECT_EQ(settings.version_text, "kelvartix V1.1");
    EXPECT_EQ(settings.imr_gyro_scale, 2.3283064365386963e-06);
    EXPECT_EQ(settings.imr_accel_scale, 2.284068614244461e-07);
    EXPECT_EQ(settings.leap_seconds, 18.0);
    EXPECT_FALSE(settings.leap_seconds_user_set);
    EXPECT_FALSE(settings.inertial_requested);
    EXPECT_TRUE(settings.input_file_name.empty());
    EXPECT_FALSE(settings.log_file.is_open());
    EXPECT_EQ(settings.console_log.str(), "");
}

}  // namespace
