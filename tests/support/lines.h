// Text cut into lines, for tests that compare whole lines.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The lines of a text without their line feeds. A last line without a line feed is kept with
// "<no LF>" appended, so that a comparison of whole lines fails on it.
std::vector<std::string> split_lines(const std::string& text);

// The lines of a file, as split_lines gives them.
std::vector<std::string> read_lines(const std::filesystem::path& path);

// The lines before the quality summary, which the run prints after every other message: all lines
// up to the first that opens one of its blocks ("Quality of GNSS id ", "IMU: ", "Damage: ").
std::vector<std::string> without_quality_summary(const std::vector<std::string>& lines);
