// A reader of RINEX 3.05 observation files written from the format's header rules, to check our
// files the way a strict reader takes them: the records a 3.05 header requires, each record read
// by the columns of its format, and numbers read as Fortran reads them with blanks as zeros
// (leading blanks ignored, every other blank a 0). A number standing outside its field then reads
// as another value, or as none. Of the data it reads the epoch lines, every observation of the
// data lines (F14.3, then the loss-of-lock and strength digits, I1 each) and the header records of
// new-site events. Standard library only, so that every test folder can use it.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rinex3 {

// The records that say where and with what the data were taken.
struct Site {
    std::string marker_name;
    std::array<double, 3> position{};  // APPROX POSITION XYZ
    std::array<double, 3> antenna{};   // ANTENNA: DELTA H/E/N
};

// One value of a data line.
struct Observation {
    int epoch = 0;  // 0 for the first epoch of flag 0 or 1
    std::string satellite;
    std::string type;
    double value = 0.0;
    int strength = 0;  // the strength digit, 0 when blank
    bool operator==(const Observation&) const = default;
};

struct ObsFile {
    double version = 0.0;
    char file_type = ' ';
    char system = ' ';
    Site site;
    std::string marker_type;
    std::array<std::string, 3> receiver;  // number, type, version
    std::array<std::string, 2> antenna;   // number, type
    std::array<int, 5> first_time{};      // year, month, day, hour, minute of TIME OF FIRST OBS
    double first_second = 0.0;
    std::string time_system;
    std::array<int, 5> last_time{};  // TIME OF LAST OBS, the same way
    double last_second = 0.0;
    double interval = 0.0;  // INTERVAL; 0 when absent
    std::string signal_strength_unit;
    std::map<char, std::vector<std::string>> types;         // SYS / # / OBS TYPES
    std::map<char, std::vector<std::string>> phase_shifts;  // SYS / PHASE SHIFT types
    std::vector<std::pair<int, int>> glonass_slots;         // (slot, frequency number)
    std::vector<Site> new_sites;                            // events of flag 3, in file order
    int epochs = 0;                                         // epoch records of flag 0 or 1
    std::vector<Observation> observations;                  // every value, in file order
    std::vector<std::string> errors;                        // every rule the file breaks
};

namespace detail {

inline std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Columns [column, column + width) of the line, 1-based, blank beyond its end.
inline std::string field(const std::string& line, int column, int width) {
    std::string text =
        static_cast<std::size_t>(column - 1) < line.size() ? line.substr(column - 1, width) : "";
    text.resize(static_cast<std::size_t>(width), ' ');
    return text;
}

// Fortran input with blanks as zeros: leading blanks ignored, every other blank a zero, a blank
// field zero.
inline std::string blanks_as_zeros(const std::string& text) {
    std::string digits = text.substr(std::min(text.find_first_not_of(' '), text.size()));
    for (char& c : digits) {
        if (c == ' ')
            c = '0';
    }
    return digits.empty() ? "0" : digits;
}

class Reader {
  public:
    explicit Reader(ObsFile& file) : file_(file) {}

    // Fw.d: a sign, digits with at most one point, an optional exponent.
    double real(const std::string& line, int column, int width, const char* what) {
        const std::string text = blanks_as_zeros(field(line, column, width));
        std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
        const std::size_t digits_begin = i;
        bool point = false;
        for (; i < text.size() &&
               (std::isdigit(static_cast<unsigned char>(text[i])) || (!point && text[i] == '.'));
             ++i) {
            point = point || text[i] == '.';
        }
        bool valid = i > digits_begin;
        if (valid && i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D')) {
            std::size_t j = i + 1 + (i + 1 < text.size() && (text[i + 1] == '-' || text[i + 1] == '+'));
            valid = j < text.size();
            for (; j < text.size(); ++j)
                valid = valid && std::isdigit(static_cast<unsigned char>(text[j]));
            i = text.size();
        }
        if (!valid || i != text.size())
            error(std::string(what) + ": \"" + field(line, column, width) + "\" is no number");
        std::string c_text = text;
        for (char& c : c_text) {
            if (c == 'D')
                c = 'E';
        }
        return std::strtod(c_text.c_str(), nullptr);
    }

    // Iw: a sign and digits.
    int integer(const std::string& line, int column, int width, const char* what) {
        const std::string text = blanks_as_zeros(field(line, column, width));
        std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
        const std::size_t digits_begin = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == digits_begin || i != text.size())
            error(std::string(what) + ": \"" + field(line, column, width) + "\" is no integer");
        return std::atoi(text.c_str());
    }

    void error(const std::string& text) {
        file_.errors.push_back("line " + std::to_string(line_) + ": " + text);
    }
    void at_line(std::size_t index) { line_ = index + 1; }

  private:
    ObsFile& file_;
    std::size_t line_ = 0;
};

// MARKER NAME A60; APPROX POSITION XYZ and ANTENNA: DELTA H/E/N 3F14.4. False for another label.
inline bool read_site_record(Reader& in, const std::string& label, const std::string& line, Site& site) {
    if (label == "MARKER NAME") {
        site.marker_name = trimmed(field(line, 1, 60));
    } else if (label == "APPROX POSITION XYZ" || label == "ANTENNA: DELTA H/E/N") {
        std::array<double, 3>& values = label == "APPROX POSITION XYZ" ? site.position : site.antenna;
        for (int k = 0; k < 3; ++k)
            values[k] = in.real(line, 1 + 14 * k, 14, label.c_str());
    } else {
        return false;
    }
    return true;
}

// TIME OF FIRST OBS and TIME OF LAST OBS: 5I6, F13.7, 5X, A3.
inline void read_time(Reader& in, const std::string& line, std::array<int, 5>& time, double& second,
                      std::string& system, const char* what) {
    for (int k = 0; k < 5; ++k)
        time[k] = in.integer(line, 1 + 6 * k, 6, what);
    second = in.real(line, 31, 13, what);
    if (trimmed(field(line, 44, 5)) != "")
        in.error(std::string(what) + ": columns 44-48 not blank");
    system = trimmed(field(line, 49, 3));
}

// A data line: the satellite, then per type of its system an F14.3 value and two I1 digits.
inline void read_data_line(Reader& in, const std::string& line, int epoch, ObsFile& file) {
    const std::string satellite = field(line, 1, 3);
    const auto types = file.types.find(satellite[0]);
    if (types == file.types.end()) {
        in.error("data line of a system without types: " + satellite);
        return;
    }
    const std::size_t end = 3 + 16 * types->second.size();
    if (line.size() > end && trimmed(line.substr(end)) != "")
        in.error("data line with values beyond the types of " + satellite);
    for (std::size_t k = 0; k < types->second.size(); ++k) {
        const int column = 4 + 16 * static_cast<int>(k);
        if (trimmed(field(line, column, 16)) == "")
            continue;
        Observation o{epoch, satellite, types->second[k], in.real(line, column, 14, "observation"), 0};
        if (field(line, column + 14, 1) != " ")
            in.integer(line, column + 14, 1, "loss-of-lock indicator");
        if (field(line, column + 15, 1) != " ")
            o.strength = in.integer(line, column + 15, 1, "strength digit");
        file.observations.push_back(o);
    }
}

}  // namespace detail

inline ObsFile read_obs_file(const std::vector<std::string>& lines) {
    using namespace detail;
    ObsFile file;
    Reader in(file);
    const std::set<std::string> required = {
        "RINEX VERSION / TYPE", "PGM / RUN BY / DATE", "MARKER NAME",         "MARKER TYPE",
        "OBSERVER / AGENCY",    "REC # / TYPE / VERS", "ANT # / TYPE",        "APPROX POSITION XYZ",
        "ANTENNA: DELTA H/E/N", "SYS / # / OBS TYPES", "GLONASS COD/PHS/BIS", "TIME OF FIRST OBS",
        "END OF HEADER"};
    // SYS / PHASE SHIFT is required for every carrier phase type, and only for those.
    const std::set<std::string> optional = {
        "COMMENT",          "MARKER NUMBER", "GLONASS SLOT / FRQ #", "INTERVAL",
        "TIME OF LAST OBS", "LEAP SECONDS",  "SIGNAL STRENGTH UNIT", "SYS / PHASE SHIFT"};
    std::set<std::string> seen;
    std::size_t i = 0;
    char system = ' ';
    std::size_t types_declared = 0;
    std::size_t slots_declared = 0;
    for (; i < lines.size(); ++i) {
        in.at_line(i);
        const std::string& line = lines[i];
        if (line.size() > 80)
            in.error("header line longer than 80 characters");
        const std::string label = trimmed(field(line, 61, 20));
        if (!required.contains(label) && !optional.contains(label)) {
            in.error("unknown header label \"" + label + "\"");
            continue;
        }
        if (i == 0 && label != "RINEX VERSION / TYPE")
            in.error("the first record is not RINEX VERSION / TYPE");
        seen.insert(label);
        if (label == "END OF HEADER")
            break;
        if (read_site_record(in, label, line, file.site))
            continue;
        if (label == "RINEX VERSION / TYPE") {
            file.version = in.real(line, 1, 9, "format version");
            file.file_type = line.size() > 20 ? line[20] : ' ';
            file.system = line.size() > 40 ? line[40] : ' ';
        } else if (label == "MARKER TYPE") {
            file.marker_type = trimmed(field(line, 1, 20));
        } else if (label == "REC # / TYPE / VERS" || label == "ANT # / TYPE") {
            for (int k = 0; k < (label == "ANT # / TYPE" ? 2 : 3); ++k) {
                (label == "ANT # / TYPE" ? file.antenna[k] : file.receiver[k]) =
                    trimmed(field(line, 1 + 20 * k, 20));
            }
        } else if (label == "TIME OF FIRST OBS") {
            read_time(in, line, file.first_time, file.first_second, file.time_system, "TIME OF FIRST OBS");
        } else if (label == "TIME OF LAST OBS") {
            std::string system_of_last;
            read_time(in, line, file.last_time, file.last_second, system_of_last, "TIME OF LAST OBS");
            if (system_of_last != file.time_system)
                in.error("TIME OF LAST OBS: another time system than TIME OF FIRST OBS");
        } else if (label == "INTERVAL") {
            file.interval = in.real(line, 1, 10, "INTERVAL");
            if (!(file.interval > 0))
                in.error("INTERVAL: not a positive number of seconds");
        } else if (label == "SIGNAL STRENGTH UNIT") {
            file.signal_strength_unit = trimmed(field(line, 1, 20));
        } else if (label == "SYS / PHASE SHIFT") {
            // A1, 1X, A3: the system and a carrier phase type it declares.
            const std::string type = field(line, 3, 3);
            const auto declared = file.types.find(line[0]);
            if (type[0] != 'L' || declared == file.types.end() ||
                std::find(declared->second.begin(), declared->second.end(), type) == declared->second.end())
                in.error("SYS / PHASE SHIFT of " + type + ", no carrier phase type of its system");
            file.phase_shifts[line[0]].push_back(type);
        } else if (label == "SYS / # / OBS TYPES") {
            // A1, 2X, I3, 13(1X, A3); a continuation line leaves columns 1-6 blank.
            if (!line.empty() && line[0] != ' ') {
                if (system != ' ' && file.types[system].size() != types_declared)
                    in.error("SYS / # / OBS TYPES: count differs from the types listed");
                system = line[0];
                types_declared = static_cast<std::size_t>(in.integer(line, 4, 3, "number of types"));
            }
            for (int k = 0; k < 13; ++k) {
                const std::string type = trimmed(field(line, 8 + 4 * k, 3));
                if (!type.empty())
                    file.types[system].push_back(type);
            }
        } else if (label == "GLONASS SLOT / FRQ #") {
            // I3, 1X, 8(A1, I2.2, 1X, I2, 1X); a continuation line leaves columns 1-4 blank.
            if (trimmed(field(line, 1, 3)) != "")
                slots_declared = static_cast<std::size_t>(in.integer(line, 1, 3, "number of slots"));
            for (int k = 0; k < 8; ++k) {
                const int column = 5 + 7 * k;
                if (trimmed(field(line, column, 6)) == "")
                    continue;
                if (line[column - 1] != 'R')
                    in.error("GLONASS SLOT / FRQ #: no R before a slot");
                file.glonass_slots.emplace_back(in.integer(line, column + 1, 2, "slot"),
                                                in.integer(line, column + 4, 2, "frequency number"));
            }
        }
    }
    if (system != ' ' && file.types[system].size() != types_declared)
        in.error("SYS / # / OBS TYPES: count differs from the types listed");
    if (file.glonass_slots.size() != slots_declared)
        in.error("GLONASS SLOT / FRQ #: count differs from the slots listed");
    for (const std::string& label : required) {
        if (!seen.contains(label))
            file.errors.push_back("missing required header record " + label);
    }
    if (file.types.contains('R') && !seen.contains("GLONASS SLOT / FRQ #"))
        file.errors.push_back("GLONASS observations without GLONASS SLOT / FRQ #");
    for (const auto& [system, types] : file.types) {
        const auto shifts = file.phase_shifts.find(system);
        for (const std::string& type : types) {
            const bool shifted =
                shifts != file.phase_shifts.end() &&
                std::find(shifts->second.begin(), shifts->second.end(), type) != shifts->second.end();
            if (type[0] == 'L' && !shifted)
                file.errors.push_back(std::string(1, system) + " " + type + " without SYS / PHASE SHIFT");
        }
    }

    // The records: an epoch line, then as many lines as it counts (satellites, or header records
    // of an event).
    for (++i; i < lines.size(); ++i) {
        in.at_line(i);
        const std::string& line = lines[i];
        if (line.empty() || line[0] != '>') {
            in.error("record without an epoch line");
            continue;
        }
        const int flag = in.integer(line, 32, 1, "epoch flag");
        const int count = in.integer(line, 33, 3, "number of records");
        if (flag <= 1) {
            int k = 0;
            for (; k < count && i + 1 < lines.size(); ++k) {
                in.at_line(++i);
                read_data_line(in, lines[i], file.epochs, file);
            }
            if (k < count)
                file.errors.push_back("the last record counts more lines than the file holds");
            ++file.epochs;
            continue;
        }
        Site site;
        for (int k = 0; k < count && i + 1 < lines.size(); ++k) {
            in.at_line(++i);
            const std::string label = trimmed(field(lines[i], 61, 20));
            if (!read_site_record(in, label, lines[i], site) && !required.contains(label) &&
                !optional.contains(label)) {
                in.error("unknown event record label \"" + label + "\"");
            }
        }
        if (flag == 3)
            file.new_sites.push_back(site);
    }
    return file;
}

}  // namespace rinex3
