// The one owner of RINEX layout: the text of every number, lines composed by column, header
// labels, records that continue over several lines, and the writing of lines into a file.
#pragma once

#include <charconv>
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
    std::string_view integer(long value, int digits = 1) {
        char* const start = text_ + kPadRoom;
        const std::string_view text(start,
                                    static_cast<std::size_t>(std::to_chars(start, end(), value).ptr - start));
        if (text.size() >= static_cast<std::size_t>(digits))
            return text;
        return zero_padded(text, digits);
    }
    // "%<width>li": right-aligned in an Iw field.
    std::string_view integer_field(long value, int width);
    // "% .<precision>e": a blank or "-" before the first digit.
    std::string_view scientific(double value, int precision);

  private:
    static constexpr std::size_t kPadRoom = 32;  // most fill characters before a text

    static std::size_t field_width(int width);
    std::string_view zero_padded(std::string_view text, int digits);
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
    // A header label, in columns 61-80.
    void label(std::string_view text);
    // The finished line; valid until the next clear() or place().
    std::string_view line();

  private:
    std::string buffer_;  // blanks beyond end_, so that placing a text is a plain copy
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

// A data line of an observation epoch: the satellite in columns 1-3, then one 16-column field per
// observation: the value as F14.3, a loss-of-lock column (left blank) and a signal-strength
// digit. The line is that of the composer's rules with the texts placed in column order (a
// longer satellite text gives way to a 14-character first value); the values are formatted
// straight into their columns, since a file holds millions of them.
class RinexDataLine {
  public:
    // A new line for the satellite ("G05"; at most 16 characters are kept).
    void begin(std::string_view satellite);
    // The value of field `field` (0 for the first after the satellite); false, and the field left
    // blank, when its text is longer than 14 characters. Fields go in ascending order.
    bool value(std::size_t field, double value) {
        const std::size_t last = kFirstFieldEnd + kFieldWidth * field;  // 0-based, one past the value
        char* const line = room(last);
        const std::size_t length = format_fixed_right(line + last - 1, value, kDecimals, kValueWidth);
        if (length > kValueWidth)
            return false;
        end_ = last;  // fields ascend: this one ends the line so far
        return true;
    }
    // The signal-strength digit (1-9) of field `field`, right after its value. Each field goes
    // in with blanks before its text, which reach the two columns before it: a digit goes into
    // the line once the next field is in (at the next digit, or in line()).
    void strength(std::size_t field, int digit) {
        room(digit_column_ + 1)[digit_column_] = digit_;
        digit_column_ = kFirstFieldEnd + kFieldWidth * field + kStrengthOffset;  // 0-based
        digit_ = static_cast<char>('0' + digit);
        room(digit_column_ + 1);
        end_ = digit_column_ + 1;
    }
    // The finished line; valid until the next begin().
    std::string_view line();

  private:
    static constexpr std::size_t kSatelliteColumns = 3;
    static constexpr std::size_t kValueWidth = 14;
    static constexpr std::size_t kFieldWidth = 16;
    static constexpr std::size_t kFirstFieldEnd = kSatelliteColumns + kValueWidth;
    static constexpr std::size_t kStrengthOffset = 1;  // after the loss-of-lock column
    static constexpr int kDecimals = 3;
    static constexpr std::size_t kSatelliteCapacity = 16;

    // The line's characters, at least `end` of them.
    char* room(std::size_t end) {
        if (buffer_.size() < end)
            grow(end);
        return buffer_.data();
    }
    void grow(std::size_t end);

    std::string buffer_;  // blanks beyond end_
    char satellite_[kSatelliteCapacity] = {};
    std::size_t satellite_length_ = 0;
    std::size_t digit_column_ = 0;  // where the last strength digit goes, and which it is
    char digit_ = ' ';
    std::size_t end_ = 0;  // one past the last character of the line so far
};

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

class CompactRinexEncoder;

// Where the lines of a RINEX file go: into the file as they are, or, given an encoder, into the
// file in the compact form of an observation file.
class RinexLines {
  public:
    explicit RinexLines(OutputFile& file, CompactRinexEncoder* compact = nullptr)
        : file_(file), compact_(compact) {}
    RinexLines(const RinexLines&) = delete;
    RinexLines& operator=(const RinexLines&) = delete;

    // One line, without its line feed.
    bool put(std::string_view line);
    // What the compact form still holds goes to the file; before the file is closed.
    bool finish();
    bool failed() const { return file_.failed(); }

  private:
    bool put_compact(std::string_view line);
    bool write_held();

    OutputFile& file_;
    CompactRinexEncoder* compact_;
    std::string held_;  // compact text not yet written
};

// Writes the line and a line feed; with `wrap`, every 80 characters go on a line of their own.
// A remainder of at most one character is not written (so the blank that a 20-character label
// leaves in column 81 is dropped). False once a write to the file has failed.
bool write_rinex_line(RinexLines& lines, std::string_view line, bool wrap);
bool write_rinex_line(OutputFile& file, std::string_view line, bool wrap);
