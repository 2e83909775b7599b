// The column-based RINEX line composer and writer shared by all RINEX records.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RinexLineItem {
    std::string text;
    int32_t column;  // 1-based column of the first character
};

std::string compose_rinex_line(const std::vector<RinexLineItem>& items);
bool write_rinex_line(std::FILE* file, const std::string& line, bool wrap);
