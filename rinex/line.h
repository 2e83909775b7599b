// The column-based RINEX line composer and writer shared by all RINEX records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_file.h"

// Every line is at least this wide, blank-filled; header labels start in column 61.
inline constexpr std::size_t RINEX_LINE_WIDTH = 80;
inline constexpr int32_t RINEX_LABEL_COLUMN = 61;

struct RinexLineItem {
    std::string text;
    int32_t column;  // 1-based column of the first character
};

// One line under construction in a reused buffer, with the composer's rules: texts laid over
// blanks at 1-based columns, later texts winning where they overlap; the line is as wide as the
// column of the last text placed plus its length, and at least 80 characters.
class RinexLineBuilder {
  public:
    void clear();
    void place(std::string_view text, int32_t column);
    // The finished line; valid until the next clear() or place().
    std::string_view line();

    // Writing in place: the characters of 1-based columns [column, column + count), blank where
    // nothing was placed, to be overwritten by the caller; valid until the next call. `placed`
    // then records a text that ends in `last_column`, as place() would have.
    char* columns(int32_t column, std::size_t count);
    void placed(int32_t last_column);

  private:
    std::string buffer_;  // blanks beyond end_, so that placing a text is a plain copy
    std::size_t width_ = 0;
    std::size_t end_ = 0;  // one past the last character of the line so far
};

std::string compose_rinex_line(const std::vector<RinexLineItem>& items);

// A number right-aligned in a Fortran Fw.d field ("%<width>.<decimals>f"), so that a reader that
// takes blanks as zeros reads the value meant. A value the field cannot hold (not finite, or too
// wide) is written as zero, the field's "unknown", rather than pushing its neighbours aside.
std::string rinex_fixed_field(double value, int width, int decimals);
// An integer right-aligned in an Iw field; the caller's values fit the field.
std::string rinex_integer_field(long value, int width);

// Writes the line and a line feed; with `wrap`, every 80 characters go on a line of their own.
// A remainder of at most one character is not written (so the blank that a 20-character label
// leaves in column 81 is dropped). False once a write to the file has failed.
bool write_rinex_line(OutputFile& file, std::string_view line, bool wrap);
