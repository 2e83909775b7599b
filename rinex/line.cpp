#include "rinex/line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "rinex/compact/crx_encoder.h"
#include "rinex/gnss_time.h"

namespace {

// Starting size of the blank buffer: a data line of four signals is 196 characters.
constexpr std::size_t kInitialBufferSize = 256;

// Copies n bytes; texts of a line are short, and two overlapping fixed-size copies cost less
// than a call to memcpy for every number.
void copy_text(char* to, const char* from, std::size_t n) {
    if (n >= 8 && n <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n < 4) {
        for (std::size_t i = 0; i < n; ++i)
            to[i] = from[i];
    } else {
        std::memcpy(to, from, n);
    }
}

// The scientific text of to_chars with the blank that "% " prints before a non-negative value.
std::string_view signed_scientific(char* out, std::size_t capacity, double value, int precision) {
    out[0] = ' ';
    const auto result =
        std::to_chars(out + 1, out + capacity, value, std::chars_format::scientific, precision);
    if (result.ec != std::errc{})
        return {};
    // to_chars writes the "-" itself.
    const char* begin = std::signbit(value) ? out + 1 : out;
    return {begin, static_cast<std::size_t>(result.ptr - begin)};
}

// Values of a few hundred digits are refused before they are printed.
constexpr double kLargestFieldValue = 1e30;

// RINEX VERSION / TYPE: F9.2, 11X, A20, A20; PGM / RUN BY / DATE: 3A20.
constexpr int32_t kVersionColumn = 6;
constexpr int32_t kFileTypeColumn = 21;
constexpr int32_t kSystemColumn = 41;
constexpr const char* kMixedSystems = "MIXED";
constexpr int32_t kProgramColumn = 1;
constexpr int32_t kRunByColumn = 21;
constexpr const char* kRunByUnknown = "N/A";
constexpr int32_t kDateColumn = 41;

}  // namespace

std::string_view RinexNumberText::fixed(double value, int decimals) {
    char* const start = text_ + kPadRoom;
    return {start, static_cast<std::size_t>(format_fixed(start, value, decimals) - start)};
}

std::string_view RinexNumberText::fixed_field(double value, int width, int decimals) {
    std::string_view text;
    if (std::isfinite(value) && std::fabs(value) < kLargestFieldValue)
        text = fixed(value, decimals);
    if (text.empty() || text.size() > field_width(width))
        text = fixed(0.0, decimals);
    return padded(text, width, ' ');
}

std::string_view RinexNumberText::zero_padded(std::string_view text, int digits) {
    if (text[0] != '-')
        return padded(text, digits, '0');
    // The zeros go after the sign: "-05".
    const std::string_view digits_padded = padded(text.substr(1), digits - 1, '0');
    char* const sign = const_cast<char*>(digits_padded.data()) - 1;
    *sign = '-';
    return {sign, digits_padded.size() + 1};
}

std::string_view RinexNumberText::integer_field(long value, int width) {
    char* const start = text_ + kPadRoom;
    const std::string_view text(start,
                                static_cast<std::size_t>(std::to_chars(start, end(), value).ptr - start));
    return padded(text, width, ' ');
}

std::size_t RinexNumberText::field_width(int width) {
    return static_cast<std::size_t>(std::max(width, 0));
}

std::string_view RinexNumberText::padded(std::string_view text, int width, char fill) {
    const std::size_t wanted = field_width(width);
    const std::size_t count = wanted > text.size() ? std::min(wanted - text.size(), kPadRoom) : 0;
    char* const start = const_cast<char*>(text.data()) - count;
    for (std::size_t i = 0; i < count; ++i)  // a character or two, mostly
        start[i] = fill;
    return {start, text.size() + count};
}

std::string_view RinexNumberText::scientific(double value, int precision) {
    return signed_scientific(text_ + kPadRoom, kFixedTextCapacity, value, precision);
}

std::string rinex_fixed_field(double value, int width, int decimals) {
    RinexNumberText number;
    return std::string(number.fixed_field(value, width, decimals));
}

std::string rinex_integer_field(long value, int width) {
    RinexNumberText number;
    return std::string(number.integer_field(value, width));
}

void RinexLineBuilder::clear() {
    std::memset(buffer_.data(), ' ', end_);
    width_ = 0;
    end_ = 0;
}

void RinexLineBuilder::place(std::string_view text, int32_t column) {
    const std::size_t start = column > 1 ? static_cast<std::size_t>(column - 1) : 0;
    const std::size_t end = start + text.size();
    if (buffer_.size() < end)
        buffer_.resize(std::max({end, 2 * buffer_.size(), kInitialBufferSize}), ' ');
    copy_text(buffer_.data() + start, text.data(), text.size());
    end_ = std::max(end_, end);
    // One past the last character: the composer's width rule, which leaves one trailing blank.
    width_ = end + 1;
}

void RinexLineBuilder::label(std::string_view text) {
    place(text, RINEX_LABEL_COLUMN);
}

std::string_view RinexLineBuilder::line() {
    const std::size_t width = std::max({width_, end_, RINEX_LINE_WIDTH});
    if (buffer_.size() < width)
        buffer_.resize(width, ' ');
    // The blanks up to the width are part of the line from now on, as if written.
    end_ = width;
    return std::string_view(buffer_.data(), width);
}

void RinexDataLine::begin(std::string_view satellite) {
    std::memset(buffer_.data(), ' ', std::min(end_, buffer_.size()));
    satellite_length_ = std::min(satellite.size(), kSatelliteCapacity);
    char* const line = room(satellite_length_);
    for (std::size_t i = 0; i < satellite_length_; ++i)
        line[i] = satellite_[i] = satellite[i];
    end_ = satellite_length_;
    // No digit yet: the first column stands in, which keeps what it holds (no field reaches it).
    digit_column_ = 0;
    digit_ = satellite_length_ > 0 ? satellite_[0] : ' ';
}

void RinexDataLine::grow(std::size_t end) {
    buffer_.resize(std::max({end, 2 * buffer_.size(), kInitialBufferSize}), ' ');
}

std::string_view RinexDataLine::line() {
    // Placed in column order, the last text is the rightmost: the line ends one blank after it.
    const std::size_t width = std::max(end_ + 1, RINEX_LINE_WIDTH);
    char* const line = room(width);
    // The last strength digit, now that no field follows it; and the satellite's columns that
    // the first field's blanks reached (from the second on), where its value's text did not go,
    // as placing the texts in column order gives.
    line[digit_column_] = digit_;
    for (std::size_t i = 1; i < satellite_length_; ++i) {
        if (line[i] == ' ')
            line[i] = satellite_[i];
    }
    end_ = width;
    return std::string_view(line, width);
}

std::string compose_rinex_line(const std::vector<RinexLineItem>& items) {
    RinexLineBuilder builder;
    for (const RinexLineItem& item : items)
        builder.place(item.text, item.column);
    return std::string(builder.line());
}

std::string rinex_header_record(const std::vector<RinexLineItem>& items, std::string_view label) {
    RinexLineBuilder builder;
    for (const RinexLineItem& item : items)
        builder.place(item.text, item.column);
    builder.label(label);
    return std::string(builder.line());
}

std::string rinex_version_record(std::string_view version, std::string_view file_type) {
    return rinex_header_record({{std::string(version), kVersionColumn},
                                {std::string(file_type), kFileTypeColumn},
                                {kMixedSystems, kSystemColumn}},
                               "RINEX VERSION / TYPE");
}

std::string rinex_program_record(std::string_view program) {
    return rinex_header_record({{std::string(program), kProgramColumn},
                                {kRunByUnknown, kRunByColumn},
                                {rinex_creation_stamp(), kDateColumn}},
                               "PGM / RUN BY / DATE");
}

RinexContinuedRecord::RinexContinuedRecord(RinexLineBuilder& line, RinexSlots slots, std::string_view label)
    : line_(line), slots_(slots), label_(label) {}

void RinexContinuedRecord::next(std::string_view text) {
    const int32_t line = slot_ / slots_.per_line;
    const int32_t place = slot_ % slots_.per_line;
    line_.place(text,
                static_cast<int32_t>(RINEX_LINE_WIDTH) * line + slots_.first_column + slots_.width * place);
    ++slot_;
}

std::string_view RinexContinuedRecord::text() {
    // Every line the slots reached carries the label; placed last, so that the text ends with
    // the last line's label and every line is whole.
    if (!label_.empty()) {
        const int32_t lines = std::max((slot_ + slots_.per_line - 1) / slots_.per_line, 1);
        for (int32_t line = 0; line < lines; ++line)
            line_.place(label_, static_cast<int32_t>(RINEX_LINE_WIDTH) * line + RINEX_LABEL_COLUMN);
    }
    return line_.line();
}

namespace {

// Lines up to this length go out with their line feed in one write; a data line of four signals
// is 196 characters.
constexpr std::size_t kJoinedPieceLimit = 512;

bool write_piece(OutputFile& file, std::string_view piece) {
    if (piece.size() < kJoinedPieceLimit) {
        char joined[kJoinedPieceLimit];
        std::memcpy(joined, piece.data(), piece.size());
        joined[piece.size()] = '\n';
        return file.write(joined, piece.size() + 1);
    }
    return file.write(piece) && file.write("\n", 1);
}

}  // namespace

bool RinexLines::put(std::string_view line) {
    return compact_ == nullptr ? write_piece(file_, line) : put_compact(line);
}

bool RinexLines::put_compact(std::string_view line) {
    // Compact text is gathered and written in large pieces.
    constexpr std::size_t kHeldLimit = 64 * 1024;
    compact_->line(line, held_);
    return held_.size() < kHeldLimit ? !file_.failed() : write_held();
}

bool RinexLines::finish() {
    if (compact_ != nullptr)
        compact_->finish(held_);
    return write_held();
}

bool RinexLines::write_held() {
    const bool written = held_.empty() ? !file_.failed() : file_.write(held_);
    held_.clear();
    return written;
}

bool write_rinex_line(RinexLines& lines, std::string_view line, bool wrap) {
    if (wrap) {
        while (line.size() > RINEX_LINE_WIDTH) {
            if (!lines.put(line.substr(0, RINEX_LINE_WIDTH)))
                return false;
            line.remove_prefix(RINEX_LINE_WIDTH);
        }
    }
    if (line.size() > 1)
        return lines.put(line);
    return !lines.failed();
}

bool write_rinex_line(OutputFile& file, std::string_view line, bool wrap) {
    RinexLines lines(file);
    return write_rinex_line(lines, line, wrap);
}
