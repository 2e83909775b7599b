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
