#include "rinex/compact/crx_encoder.h"

#include <algorithm>
#include <charconv>

namespace {

// The CRINEX lines above the RINEX header: format version and type, program and date, each with
// its label in columns 61-80.
constexpr std::string_view kCrinexVersionLine =
    "3.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE";
constexpr std::string_view kCrinexProgramLabel = "CRINEX PROG / DATE";
constexpr std::size_t kFieldA20 = 20;
constexpr std::size_t kLabelColumn = 60;  // 0-based

constexpr std::string_view kObsTypesLabel = "SYS / # / OBS TYPES";
constexpr std::string_view kEndOfHeaderLabel = "END OF HEADER";
constexpr std::size_t kTypeCountColumn = 3;  // 0-based start of I3 after the system letter
constexpr std::size_t kTypeCountWidth = 3;

// RINEX 3 epoch line: flag in column 32, the number of satellites (or of special records) in
// columns 33-35, the clock offset F15.12 in columns 42-56. The compact epoch text is columns 1-41
// followed by the satellites.
constexpr std::size_t kFlagColumn = 31;  // 0-based
constexpr std::size_t kCountColumn = 32;
constexpr std::size_t kCountWidth = 3;
constexpr std::size_t kEpochTextWidth = 41;
constexpr std::size_t kClockColumn = 41;
constexpr std::size_t kClockWidth = 15;
constexpr int kClockDecimals = 12;
// Flags 2-5 are events: special records follow instead of satellites.
constexpr char kFirstEventFlag = '2';
constexpr char kLastEventFlag = '5';

// Data line: the satellite in columns 1-3, then per observation type F14.3 with the loss-of-lock
// and strength digits.
constexpr std::size_t kSatelliteWidth = 3;
constexpr std::size_t kValueWidth = 14;
constexpr std::size_t kFieldWidth = 16;
constexpr int kObservationDecimals = 3;
constexpr std::size_t kSatellitesPerSystem = 100;
constexpr std::size_t kSystems = 26;

std::string_view trim_right(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

std::string_view trim(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(' ');
    return begin == std::string_view::npos ? std::string_view{} : trim_right(text.substr(begin));
}

std::string_view columns(std::string_view line, std::size_t first, std::size_t width) {
    return first >= line.size() ? std::string_view{} : line.substr(first, width);
}

std::size_t count_in(std::string_view text) {
    text = trim(text);
    std::size_t count = 0;
    std::from_chars(text.data(), text.data() + text.size(), count);
    return count;
}

// A fixed-point text ("-1234.567") as an integer count of its last decimal; false for anything
// else or for other than `decimals` decimals.
bool scaled_integer(std::string_view text, int decimals, int64_t& value) {
    text = trim(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::size_t point = text.find('.');
    if (text.empty() || point == std::string_view::npos || text.size() - point - 1 != std::size_t(decimals))
        return false;
    uint64_t magnitude = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == point)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

void append_integer(std::string& out, int64_t value) {
    char text[24];
    out.append(text, static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text));
}

// The text difference of `now` from `before`: a blank where the character is unchanged, '&'
// where it became a blank, the new character elsewhere; trailing blanks left out.
void append_text_difference(std::string_view before, std::string_view now, std::string& out) {
    const std::size_t start = out.size();
    const std::size_t length = std::max(before.size(), now.size());
    for (std::size_t i = 0; i < length; ++i) {
        const char old_char = i < before.size() ? before[i] : ' ';
        const char new_char = i < now.size() ? now[i] : ' ';
        out.push_back(old_char == new_char ? ' ' : new_char == ' ' ? '&' : new_char);
    }
    const std::size_t end = out.find_last_not_of(' ');
    out.resize(end == std::string::npos || end < start ? start : end + 1);
}

}  // namespace

void CompactRinexEncoder::Arc::add(int64_t value, int order, std::string& out) {
    if (!active()) {
        level_ = 0;
        differences_[0] = value;
        append_integer(out, order);
        out.push_back('&');
        append_integer(out, value);
        return;
    }
    // The new differences of every order from the last ones; the highest the arc has reached is
    // the one written.
    const int level = std::min(level_ + 1, order);
    std::array<int64_t, kObservationOrder + 1> now{};
    now[0] = value;
    for (int i = 1; i <= level; ++i)
        now[i] = now[i - 1] - differences_[i - 1];
    differences_ = now;
    level_ = level;
    append_integer(out, now[level]);
}

CompactRinexEncoder::CompactRinexEncoder(std::string_view program, std::string_view date)
    : program_(program.substr(0, kFieldA20)), date_(date.substr(0, kFieldA20)) {}

void CompactRinexEncoder::line(std::string_view line, std::string& out) {
    if (!started_) {
        started_ = true;
        out.append(kCrinexVersionLine);
        out.push_back('\n');
        std::string record(kLabelColumn, ' ');
        record.replace(0, program_.size(), program_);
        record.replace(2 * kFieldA20, date_.size(), date_);
        record.append(kCrinexProgramLabel);
        record.resize(kLabelColumn + kFieldA20, ' ');
        out.append(record);
        out.push_back('\n');
    }
    if (in_header_) {
        header_line(line, out);
    } else if (special_records_ > 0) {
        --special_records_;
        out.append(line);
        out.push_back('\n');
    } else if (!line.empty() && line.front() == '>') {
        epoch_line(line, out);
    } else if (gathering_) {
        data_line(line);
        if (++received_lines_ == expected_lines_)
            write_epoch(out);
    } else {
        out.append(line);  // not part of an epoch; kept as it is
        out.push_back('\n');
    }
}

void CompactRinexEncoder::finish(std::string& out) {
    if (gathering_)
        write_epoch(out);
}

void CompactRinexEncoder::header_line(std::string_view line, std::string& out) {
    out.append(line);
    out.push_back('\n');
    const std::string_view label = trim(columns(line, kLabelColumn, kFieldA20));
    if (label == kEndOfHeaderLabel) {
        in_header_ = false;
    } else if (label == kObsTypesLabel) {
        // The first line of a system's record has its letter and count; continuation lines a blank.
        if (!line.empty() && line.front() != ' ')
            types_system_ = line.front();
        if (types_system_ >= 'A' && types_system_ <= 'Z' && line.front() != ' ')
            types_[static_cast<std::size_t>(types_system_ - 'A')] =
                count_in(columns(line, kTypeCountColumn, kTypeCountWidth));
    }
}

void CompactRinexEncoder::epoch_line(std::string_view line, std::string& out) {
    if (gathering_)
        write_epoch(out);
    const char flag = line.size() > kFlagColumn ? line[kFlagColumn] : ' ';
    const std::size_t count = count_in(columns(line, kCountColumn, kCountWidth));
    if (flag >= kFirstEventFlag && flag <= kLastEventFlag) {
        // An event goes out as it is, with its records; the epoch after it is written whole and
        // every satellite's arcs start again.
        out.append(trim_right(line));
        out.push_back('\n');
        special_records_ = count;
        last_epoch_.clear();
        clock_arc_.end();
        epoch_number_ += 2;
        return;
    }
    epoch_.assign(columns(line, 0, kEpochTextWidth));
    epoch_.resize(kEpochTextWidth, ' ');
    clock_.assign(trim(columns(line, kClockColumn, kClockWidth)));
    expected_lines_ = count;
    received_lines_ = 0;
    data_.clear();
    gathering_ = true;
    if (expected_lines_ == 0)
        write_epoch(out);
}

CompactRinexEncoder::Satellite& CompactRinexEncoder::satellite(std::string_view id) {
    if (satellites_.empty())
        satellites_.resize(kSystems * kSatellitesPerSystem);
    const char letter = id.size() > 0 ? id[0] : 'A';
    const std::size_t system = letter >= 'A' && letter <= 'Z' ? static_cast<std::size_t>(letter - 'A') : 0;
    const std::size_t number = count_in(columns(id, 1, 2)) % kSatellitesPerSystem;
    return satellites_[system * kSatellitesPerSystem + number];
}

void CompactRinexEncoder::data_line(std::string_view line) {
    const std::string_view id = columns(line, 0, kSatelliteWidth);
    epoch_.append(id);
    epoch_.resize(kEpochTextWidth + kSatelliteWidth * (received_lines_ + 1), ' ');
    Satellite& sat = satellite(id);
    const char letter = id.empty() ? ' ' : id[0];
    std::size_t types = letter >= 'A' && letter <= 'Z' ? types_[static_cast<std::size_t>(letter - 'A')] : 0;
    if (types == 0)  // a system the header does not list: as many types as the line has fields
        types = (line.size() + kFieldWidth - 1 - kSatelliteWidth) / kFieldWidth;
    if (sat.last_epoch + 1 != epoch_number_ || sat.arcs.size() != types) {
        // Not in the epoch before: every arc starts again, and the flags are new.
        sat.arcs.assign(types, Arc{});
        sat.flags.assign(2 * types, ' ');
    }
    sat.last_epoch = epoch_number_;

    flags_.assign(2 * types, ' ');
    const std::size_t start = data_.size();
    std::size_t last_field_end = start;  // after the last field that is not empty
    for (std::size_t i = 0; i < types; ++i) {
        const std::size_t column = kSatelliteWidth + kFieldWidth * i;
        const std::string_view field = columns(line, column, kValueWidth);
        const std::string_view digits = columns(line, column + kValueWidth, 2);
        for (std::size_t k = 0; k < digits.size(); ++k)
            flags_[2 * i + k] = digits[k];
        if (i > 0)
            data_.push_back(' ');
        int64_t value = 0;
        if (scaled_integer(field, kObservationDecimals, value)) {
            sat.arcs[i].add(value, kObservationOrder, data_);
            last_field_end = data_.size();
        } else {
            sat.arcs[i].end();  // a blank ends the arc
        }
    }
    field_.clear();
    append_text_difference(sat.flags, flags_, field_);
    sat.flags = flags_;
    if (field_.empty()) {
        data_.resize(last_field_end);  // the empty fields at the end go
    } else {
        data_.push_back(' ');
        data_.append(field_);
    }
    data_.push_back('\n');
}

void CompactRinexEncoder::write_epoch(std::string& out) {
    gathering_ = false;
    epoch_.resize(kEpochTextWidth + kSatelliteWidth * received_lines_, ' ');
    if (last_epoch_.empty())
        out.append(trim_right(epoch_));
    else
        append_text_difference(last_epoch_, epoch_, out);
    out.push_back('\n');
    last_epoch_ = epoch_;
    int64_t clock = 0;
    if (scaled_integer(clock_, kClockDecimals, clock))
        clock_arc_.add(clock, kClockOrder, out);
    else
        clock_arc_.end();
    out.push_back('\n');
    out.append(data_);
    ++epoch_number_;
}
