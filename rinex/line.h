// The one owner of RINEX layout: the text of every number, lines composed by column, header
// labels, records that continue over several lines, and the writing of lines into a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_file.h"
#include "rinex/fixed_format.h"

// Every line is at least this wide, blank-filled; header labels start in column 61.
inline constexpr std::size_t RINEX_LINE_WIDTH = 80;
inline constexpr int32_t RINEX_LABEL_COLUMN = 61;

// Numbers as RINEX texts, each exactly what printf prints for the format named. An object reuses
// one buffer: a text it gives is valid until its next call.
class RinexNumberText {
  public:
    // "%.<decimals>f".
    std::string_view fixed(double value, int decimals);
    // "%<width>.<decimals>f", right-aligned in a Fortran Fw.d field so that a reader that takes
    // blanks as zeros reads the value meant. A value the field cannot hold (not finite, or too
    // wide) is written as zero, the field's "unknown", rather than pushing its neighbours aside.
    std::string_view fixed_field(double value, int width, int decimals);
    // "%0<digits>li": at least `digits` characters, zeros after the sign.
    std::string_view integer(long value, int digits = 1);
    // "%<width>li": right-aligned in an Iw field.
    std::string_view integer_field(long value, int width);
    // "% .<precision>e": a blank or "-" before the first digit.
    std::string_view scientific(double value, int precision);

  private:
    static constexpr std::size_t kPadRoom = 32;  // most fill characters before a text

    static std::size_t field_width(int width);
    // The text (which starts in this object's buffer, after the room for fill) with `fill`
    // characters before it up to `width`.
    std::string_view padded(std::string_view text, int width, char fill);
    char* end() { return text_ + sizeof text_; }

    char text_[kPadRoom + kFixedTextCapacity];
};

// The same texts as strings, for records composed from items.
std::string rinex_fixed_field(double value, int width, int decimals);
std::string rinex_integer_field(long value, int width);

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
    // The text of "%.<decimals>f" placed so that it ends in `last_column`, as place() would place
    // it; false, and nothing placed, when it is longer than `max_length`.
    bool place_fixed(double value, int decimals, int32_t last_column, std::size_t max_length);
    // A header label, in columns 61-80.
    void label(std::string_view text);
    // The finished line; valid until the next clear() or place().
    std::string_view line();

  private:
    // Room for the characters a right-aligned number may read before column 1.
    static constexpr std::size_t kLead = kRightFieldWidth;

    char* reserve(std::size_t end);

    std::string buffer_;  // kLead blanks, then the line; blanks beyond end_
    std::size_t width_ = 0;
    std::size_t end_ = 0;  // one past the last character of the line so far
};

std::string compose_rinex_line(const std::vector<RinexLineItem>& items);
// A header record: the items, then the label in columns 61-80.
std::string rinex_header_record(const std::vector<RinexLineItem>& items, std::string_view label);

// The two records that open every RINEX file: the format version and file type (of mixed
// systems), and the program that wrote it with the current date.
std::string rinex_version_record(std::string_view version, std::string_view file_type);
std::string rinex_program_record(std::string_view program);

// Where the items of a record that continues over several lines go: slots of one width, a fixed
// number to a line; the next line continues under the same slot columns.
struct RinexSlots {
    int32_t first_column;  // of the first slot of every line
    int32_t width;         // columns from one slot to the next
    int32_t per_line;
};

// A record of several lines composed as one text in a line builder, line k from position
// 80 k + 1, to be written wrapped: its items fill the slots in order, and a header record carries
// its label on every line it takes. What stands before the first slot of its first line is
// placed in the builder directly.
class RinexContinuedRecord {
  public:
    RinexContinuedRecord(RinexLineBuilder& line, RinexSlots slots, std::string_view label = {});
    // The next slot.
    void next(std::string_view text);
    // The next slot left blank.
    void skip() { ++slot_; }
    // The whole record, labels placed; valid as the builder's line().
    std::string_view text();

  private:
    RinexLineBuilder& line_;
    RinexSlots slots_;
    std::string_view label_;
    int32_t slot_ = 0;
};

// Writes the line and a line feed; with `wrap`, every 80 characters go on a line of their own.
// A remainder of at most one character is not written (so the blank that a 20-character label
// leaves in column 81 is dropped). False once a write to the file has failed.
bool write_rinex_line(OutputFile& file, std::string_view line, bool wrap);
