// What every run of the program prints first, on every system.
#include "tests/support/program_runner.h"

#include <gtest/gtest.h>

#include "tests/support/lines.h"

std::vector<std::string> banner_lines() {
    const std::string rule(97, '-');
    return {"", "", rule, "kelvartix V1.1", "Kestravonic VXP Binary file to RINEX 3.05 Converter:", rule, ""};
}

std::vector<std::string> lines_after_banner(const std::string& out) {
    const std::vector<std::string> lines = split_lines(out);
    const std::vector<std::string> banner = banner_lines();
    if (lines.size() < banner.size()) {
        ADD_FAILURE() << "standard output ends within the banner:\n" << out;
        return {};
    }
    const auto after = lines.begin() + static_cast<std::ptrdiff_t>(banner.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), after), banner);
    return std::vector<std::string>(after, lines.end());
}
