#include "tests/support/crx_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>

namespace {

std::string rtrim(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string label_of(const std::string& line) {
    return line.size() > 60 ? rtrim(line.substr(60)) : std::string();
}

int number_at(const std::string& line, std::size_t column, std::size_t width) {
    if (line.size() <= column)
        return 0;
    return std::atoi(line.substr(column, width).c_str());
}

// Applies a text difference to the text before: blank keeps, '&' blanks, other characters replace.
std::string apply_difference(const std::string& before, const std::string& difference) {
    std::string now = before;
    if (now.size() < difference.size())
        now.resize(difference.size(), ' ');
    for (std::size_t i = 0; i < difference.size(); ++i) {
        if (difference[i] == '&')
            now[i] = ' ';
        else if (difference[i] != ' ')
            now[i] = difference[i];
    }
    return now;
}

// A value of `decimals` decimals right-aligned in `width` columns, from its count of the last decimal.
std::string fixed_text(int64_t count, int decimals, std::size_t width) {
    const bool negative = count < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    std::string fraction = std::to_string(magnitude % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    // Built by appending: g++ 12 warns falsely (-Wrestrict) on a literal + a temporary string.
    std::string text(negative ? "-" : "");
    text += std::to_string(magnitude / scale);
    text += '.';
    text += fraction;
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

// One differenced quantity: the values of each order of difference after its last value.
struct Differences {
    std::vector<int64_t> last;  // last[0] the value, last[k] the k-th difference; empty: no arc
    int order = 0;

    // A field's text: "<order>&<value>" starts an arc, a number continues it. False when the text
    // is malformed or continues no arc.
    bool take(const std::string& text, int64_t& value) {
        const std::size_t mark = text.find('&');
        char* end = nullptr;
        if (mark != std::string::npos) {
            order = std::atoi(text.substr(0, mark).c_str());
            const std::string digits = text.substr(mark + 1);
            value = std::strtoll(digits.c_str(), &end, 10);
            if (order < 1 || digits.empty() || *end != '\0')
                return false;
            last.assign(1, value);
            return true;
        }
        if (last.empty())
            return false;
        const int64_t difference = std::strtoll(text.c_str(), &end, 10);
        if (*end != '\0')
            return false;
        const std::size_t level = std::min<std::size_t>(last.size(), static_cast<std::size_t>(order));
        std::vector<int64_t> now(level + 1);
        now[level] = difference;
        for (std::size_t k = level; k-- > 0;)
            now[k] = now[k + 1] + last[k];
        last = now;
        value = now[0];
        return true;
    }
};

struct SatelliteState {
    std::vector<Differences> fields;
    std::string flags;
};

class Decoder {
  public:
    explicit Decoder(std::string_view text) {
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) {
                lines_.emplace_back(text.substr(start));
                break;
            }
            lines_.emplace_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    CompactRinexDecoded run() {
        if (lines_.size() < 2 || lines_[0].substr(0, 3) != "3.0" ||
            lines_[0].substr(20, 20) != "COMPACT RINEX FORMAT" ||
            label_of(lines_[0]) != "CRINEX VERS   / TYPE" || label_of(lines_[1]) != "CRINEX PROG / DATE")
            return fail("no CRINEX 3.0 lines at the top");
        next_ = 2;
        if (!header())
            return fail("no END OF HEADER");
        while (next_ < lines_.size()) {
            if (!epoch())
                return out_;
        }
        return out_;
    }

  private:
    CompactRinexDecoded fail(const std::string& why) {
        out_.error = "line " + std::to_string(next_ + 1) + ": " + why;
        return out_;
    }
    bool failed(const std::string& why) {
        fail(why);
        return false;
    }

    bool header() {
        char system = ' ';
        while (next_ < lines_.size()) {
            const std::string& line = lines_[next_++];
            out_.lines.push_back(rtrim(line));
            const std::string label = label_of(line);
            if (label == "SYS / # / OBS TYPES" && !line.empty() && line[0] != ' ') {
                system = line[0];
                types_[system] = number_at(line, 3, 3);
            }
            if (label == "END OF HEADER")
                return true;
        }
        return false;
    }

    bool epoch() {
        const std::string& line = lines_[next_++];
        if (!line.empty() && line[0] == '>') {
            const char flag = line.size() > 31 ? line[31] : ' ';
            if (flag >= '2' && flag <= '5') {
                // An event as it is, with its special records; the next epoch text comes whole.
                out_.lines.push_back(rtrim(line));
                const int records = number_at(line, 32, 3);
                for (int i = 0; i < records; ++i) {
                    if (next_ >= lines_.size())
                        return failed("event records missing");
                    out_.lines.push_back(rtrim(lines_[next_++]));
                }
                epoch_text_.clear();
                return true;
            }
            epoch_text_ = line;
        } else {
            if (epoch_text_.empty())
                return failed("an epoch difference without an epoch before it");
            epoch_text_ = apply_difference(epoch_text_, line);
        }
        epoch_text_ = rtrim(epoch_text_);
        if (next_ >= lines_.size())
            return failed("clock line missing");
        const std::string& clock_line = lines_[next_++];
        std::optional<int64_t> clock;
        if (!clock_line.empty()) {
            int64_t value = 0;
            if (!clock_.take(clock_line, value))
                return failed("bad clock line");
            clock = value;
        } else {
            clock_.last.clear();
        }
        std::string head = epoch_text_.substr(0, 41);
        head.resize(41, ' ');
        const std::size_t count = static_cast<std::size_t>(number_at(head, 32, 3));
        const std::string satellites = epoch_text_.size() > 41 ? epoch_text_.substr(41) : std::string();
        if (satellites.size() != 3 * count)
            return failed("the epoch's satellites do not match its count");
        out_.lines.push_back(rtrim(head + (clock ? fixed_text(*clock, 12, 15) : std::string())));

        std::map<std::string, SatelliteState> present;
        for (std::size_t s = 0; s < count; ++s) {
            if (next_ >= lines_.size())
                return failed("data line missing");
            const std::string id = satellites.substr(3 * s, 3);
            auto known = satellites_.find(id);
            SatelliteState state = known != satellites_.end() ? std::move(known->second) : SatelliteState{};
            if (!data_line(id, lines_[next_++], state))
                return false;
            present[id] = std::move(state);
        }
        satellites_ = std::move(present);  // a satellite not in this epoch starts afresh
        return true;
    }

    bool data_line(const std::string& id, const std::string& line, SatelliteState& state) {
        const auto types_found = types_.find(id[0]);
        if (types_found == types_.end())
            return failed("a satellite of a system without types");
        const std::size_t types = static_cast<std::size_t>(types_found->second);
        state.fields.resize(types);
        state.flags.resize(2 * types, ' ');
        std::string rinex = id;
        std::size_t position = 0;
        std::vector<std::string> values(types);
        for (std::size_t i = 0; i < types; ++i) {
            std::string field;
            if (position < line.size()) {
                const std::size_t blank = line.find(' ', position);
                const std::size_t end = blank == std::string::npos ? line.size() : blank;
                field = line.substr(position, end - position);
                position = blank == std::string::npos ? line.size() : blank + 1;
            }
            if (field.empty()) {
                state.fields[i].last.clear();
                continue;
            }
            int64_t value = 0;
            if (!state.fields[i].take(field, value))
                return failed("bad or unanchored value '" + field + "' of " + id);
            values[i] = fixed_text(value, 3, 14);
        }
        if (position < line.size())
            state.flags = apply_difference(state.flags, line.substr(position));
        if (state.flags.size() != 2 * types)
            return failed("flags longer than the types of " + id);
        for (std::size_t i = 0; i < types; ++i)
            rinex += (values[i].empty() ? std::string(14, ' ') : values[i]) + state.flags.substr(2 * i, 2);
        out_.lines.push_back(rtrim(rinex));
        return true;
    }

    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    CompactRinexDecoded out_;
    std::map<char, int> types_;
    std::string epoch_text_;
    Differences clock_;
    std::map<std::string, SatelliteState> satellites_;
};

}  // namespace

CompactRinexDecoded decode_compact_rinex(std::string_view text) {
    return Decoder(text).run();
}
