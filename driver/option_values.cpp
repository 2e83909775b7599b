#include "driver/option_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "rinex/gnss_time.h"

namespace {

// A digit where the pattern has one of the letters of a field, the pattern's own character elsewhere.
constexpr std::string_view kTimePattern = "YYYY-MM-DDThh:mm:ss";
constexpr std::string_view kFieldLetters = "YMDhms";
constexpr char kDecimalPoint = '.';
constexpr char kFirstPrintable = ' ';
constexpr char kLastPrintable = '~';
constexpr char kFormatSeparator = ',';
constexpr std::string_view kImrFormat = "novatel";
constexpr std::string_view kCsvFormat = "csv";

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view without_blanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The value of the digits where the pattern has `letter`, in a text that matches the pattern.
int32_t field_value(std::string_view text, char letter) {
    int32_t value = 0;
    for (std::size_t i = kTimePattern.find(letter); i <= kTimePattern.rfind(letter); ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

}  // namespace

std::optional<double> parse_number(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::array<double, 3>> parse_three_numbers(std::string_view text) {
    std::array<double, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t comma = text.find(',');
        const bool last = i + 1 == values.size();
        // Exactly two commas: the last number is all that follows the second one.
        if ((comma == std::string_view::npos) != last)
            return std::nullopt;
        const std::optional<double> number = parse_number(without_blanks(text.substr(0, comma)));
        if (!number)
            return std::nullopt;
        values[i] = *number;
        text.remove_prefix(last ? text.size() : comma + 1);
    }
    return values;
}

std::optional<double> parse_gps_time(std::string_view text) {
    if (text.size() < kTimePattern.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kTimePattern.size(); ++i) {
        const char expected = kTimePattern[i];
        const bool digit_place = kFieldLetters.find(expected) != std::string_view::npos;
        if (digit_place ? !is_digit(text[i]) : text[i] != expected)
            return std::nullopt;
    }
    // The fraction's digits as a whole number over a power of ten: ".125" is exactly 125 / 1000.
    double fraction = 0.0;
    double denominator = 1.0;
    const std::string_view rest = text.substr(kTimePattern.size());
    if (!rest.empty()) {
        if (rest.size() < 2 || rest.front() != kDecimalPoint)
            return std::nullopt;
        for (char c : rest.substr(1)) {
            if (!is_digit(c))
                return std::nullopt;
            fraction = fraction * 10 + (c - '0');
            denominator *= 10;
        }
    }
    return gps_seconds_from_calendar(field_value(text, 'Y'), field_value(text, 'M'), field_value(text, 'D'),
                                     field_value(text, 'h'), field_value(text, 'm'),
                                     field_value(text, 's') + fraction / denominator);
}

InertialFormats parse_inertial_formats(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    InertialFormats formats;
    std::string_view rest = lower;
    while (true) {
        const std::size_t comma = rest.find(kFormatSeparator);
        const std::string_view item = rest.substr(0, comma);
        if (item == kImrFormat)
            formats.imr = true;
        else if (item == kCsvFormat)
            formats.csv = true;
        else
            formats.unknown = true;
        if (comma == std::string_view::npos)
            return formats;
        rest.remove_prefix(comma + 1);
    }
}

bool is_printable_ascii(std::string_view text) {
    for (char c : text) {
        if (c < kFirstPrintable || c > kLastPrintable)
            return false;
    }
    return true;
}

std::optional<RinexCompression> parse_compression(std::string_view text) {
    struct Kind {
        std::string_view name;
        RinexCompression kind;
    };
    static constexpr Kind kKinds[] = {
        {"gz", RinexCompression::gzip},
        {"crx", RinexCompression::compact},
        {"crx.gz", RinexCompression::compact_gzip},
    };
    for (const Kind& kind : kKinds) {
        if (kind.name.size() == text.size() &&
            std::equal(text.begin(), text.end(), kind.name.begin(),
                       [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
            return kind.kind;
    }
    return std::nullopt;
}
