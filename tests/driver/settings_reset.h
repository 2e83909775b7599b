// Test helpers for the process-wide run settings: a fresh RunSettings for every test, and the
// lines of a captured text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/run_settings.h"

class FreshRunSettings : public ::testing::Test {
  protected:
    void SetUp() override { run_settings = RunSettings(); }
    void TearDown() override { run_settings = RunSettings(); }
};

// Splits text at line feeds; a final line without a line feed is kept and marked with "<no LF>".
inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
