// The observation file of one receiver: opening and closing it, its header, and the messages
// and outcomes of every way it can end. The epoch records are in obs_epochs.cpp.
#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "driver/run_settings.h"
#include "platform/utf8_files.h"
#include "rinex/codes.h"
#include "rinex/gnss_time.h"
#include "rinex/line.h"
#include "rinex/naming.h"
#include "rinex/obs_output.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer.h"

namespace {

// A name shorter than this cannot be a long RINEX name; nothing is written for it.
constexpr std::size_t kShortestFileName = 34;
// stdio buffer of the output file: few, large writes for logs of millions of epochs.
constexpr std::size_t kFileBufferSize = 1 << 20;

constexpr const char* kFormatVersion = "3.05";
constexpr int32_t kVersionColumn = 6;  // F9.2 in columns 1-9
constexpr int32_t kFileTypeColumn = 21;
constexpr int32_t kSystemColumn = 41;
constexpr int32_t kProgramColumn = 1;
constexpr int32_t kRunByColumn = 21;
constexpr int32_t kDateColumn = 41;
constexpr int32_t kObserverColumn = 1;
constexpr int32_t kAgencyColumn = 21;
constexpr int32_t kMarkerTypeColumn = 1;
// TIME OF FIRST OBS: 5I6, F13.7, 5X, A3.
constexpr int kDateFieldWidth = 6;
constexpr int kSecondFieldWidth = 13;
constexpr int kSecondDecimals = 7;
constexpr int32_t kTimeSystemColumn = 49;
// SYS / # / OBS TYPES: A1, 2X, I3, 13(1X, A3); continuation lines leave columns 1-6 blank.
constexpr int32_t kTypeCountColumn = 4;
constexpr int32_t kFirstTypeColumn = 8;
constexpr int32_t kTypeStep = 4;
constexpr std::size_t kTypesPerLine = 13;
// SYS / PHASE SHIFT: A1, 1X, A3.
constexpr int32_t kPhaseTypeColumn = 3;
// GLONASS SLOT / FRQ #: I3, 1X, 8(A1, I2.2, 1X, I2, 1X); continuation lines leave columns 1-4 blank.
constexpr int kSlotCountWidth = 3;
constexpr int32_t kFirstSlotColumn = 5;
constexpr int32_t kFirstFrequencyColumn = 9;
constexpr int kFrequencyWidth = 2;
constexpr int32_t kSlotStep = 7;
constexpr std::size_t kSlotsPerLine = 8;
// What the two-digit fields hold: slot numbers 0-99, frequency numbers -9 to 99.
constexpr int32_t kLargestSlot = 99;
constexpr int32_t kSmallestFrequency = -9;
constexpr int32_t kLargestFrequency = 99;

constexpr const char* kMovingMarker = "GROUND_CRAFT";
constexpr const char* kFixedMarker = "GEODETIC";

std::string format(const char* pattern, int value) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

void log_line(const std::string& text) {
    run_settings.console_log << text << '\n';
    flush_console_log();
}

// Builds one header line at a time and writes it wrapped to 80 columns.
class HeaderLines {
  public:
    explicit HeaderLines(ObsOutput& out) : out_(out) {}

    HeaderLines& at(int32_t column, std::string_view text) {
        builder_.place(text, column);
        return *this;
    }
    bool label(std::string_view text) {
        builder_.place(text, RINEX_LABEL_COLUMN);
        const bool written = out_.write(builder_.line(), true);
        builder_.clear();
        return written;
    }
    // A record composed elsewhere.
    bool record(const std::string& line) { return out_.write(line, true); }

  private:
    ObsOutput& out_;
    RinexLineBuilder builder_;
};

// How the header ended: complete, stopped by its content, or stopped by a failed write.
enum class HeaderEnd { complete, content_error, write_error };

bool write_site_records(HeaderLines& lines, const ObsHeaderValues& values, bool fixed_site) {
    return lines.record(marker_name_record(values)) &&
           lines.at(kMarkerTypeColumn, fixed_site ? kFixedMarker : kMovingMarker).label("MARKER TYPE") &&
           lines.at(kObserverColumn, "Observer").at(kAgencyColumn, "Agency").label("OBSERVER / AGENCY") &&
           lines.record(receiver_record(values)) && lines.record(antenna_type_record(values)) &&
           lines.record(approx_position_record(values)) && lines.record(antenna_delta_record(values));
}

bool write_first_time_line(HeaderLines& lines, const RawObservation& first) {
    const CalendarTime t = gps_to_calendar(first.time_of_week, first.week_number);
    std::string fields;
    for (int part : {t.year, t.month, t.day, t.hour, t.minute})
        fields += rinex_integer_field(part, kDateFieldWidth);
    fields += rinex_fixed_field(t.second, kSecondFieldWidth, kSecondDecimals);
    return lines.at(1, fields).at(kTimeSystemColumn, "GPS").label("TIME OF FIRST OBS");
}

// "Warning: 3 observations left out: VXP signal 255 has no RINEX observation code."
std::string left_out_text(uint64_t count, const char* what, std::size_t id, const char* missing) {
    return "Warning: " + std::to_string(count) + (count == 1 ? " observation" : " observations") +
           " left out: VXP " + what + " " + std::to_string(id) + " has no RINEX " + missing + ".";
}

// Leaves out of `signals` the constellations without a RINEX letter and the signals without a
// RINEX code, and says once for each how many observations the file goes without.
void leave_out_unmapped(int32_t receiver_index, const VxpDataStore& store, SignalPresence& signals) {
    std::array<bool, 256> no_letter{};
    std::array<bool, 256> no_code{};
    bool any = false;
    for (auto entry = signals.begin(); entry != signals.end();) {
        std::vector<uint8_t>& list = entry->second;
        if (!vxp_constellation_letters.contains(entry->first)) {
            no_letter[entry->first] = any = true;
            list.clear();
        }
        std::erase_if(list, [&](uint8_t signal) {
            if (vxp_signal_codes.contains(signal))
                return false;
            no_code[signal] = any = true;
            return true;
        });
        entry = list.empty() ? signals.erase(entry) : std::next(entry);
    }
    if (!any)
        return;
    std::array<uint64_t, 256> by_constellation{};
    std::array<uint64_t, 256> by_signal{};
    for (const RawEpoch& epoch : store.receiver_raw_epochs(receiver_index)) {
        for (const RawObservation& o : epoch) {
            if (o.gnss_id == 0)
                continue;
            if (no_letter[o.gnss_id])
                ++by_constellation[o.gnss_id];
            else if (no_code[o.signal_id])
                ++by_signal[o.signal_id];
        }
    }
    for (std::size_t id = 0; id < by_constellation.size(); ++id) {
        if (by_constellation[id] != 0)
            log_line(left_out_text(by_constellation[id], "constellation", id, "system letter"));
    }
    for (std::size_t id = 0; id < by_signal.size(); ++id) {
        if (by_signal[id] != 0)
            log_line(left_out_text(by_signal[id], "signal", id, "observation code"));
    }
}

// The letter and the codes of one constellation; every one has its table rows by now.
struct ConstellationCodes {
    std::string letter;
    std::vector<std::string> codes;
};

ConstellationCodes lookup_codes(uint8_t constellation, const std::vector<uint8_t>& signals) {
    ConstellationCodes result;
    result.letter = vxp_constellation_letters.at(constellation);
    for (uint8_t signal : signals)
        result.codes.push_back(vxp_signal_codes.at(signal));
    return result;
}

// One constellation's types: pseudorange, carrier phase and Doppler of each signal, thirteen
// to a line, further lines continuing under the same label.
bool write_observation_types(HeaderLines& lines, const ConstellationCodes& system) {
    std::vector<std::string> types;
    for (const std::string& code : system.codes) {
        types.push_back("C" + code);
        types.push_back("L" + code);
        types.push_back("D" + code);
    }
    lines.at(1, system.letter).at(kTypeCountColumn, format("%3i", static_cast<int>(types.size())));
    for (std::size_t i = 0; i < types.size(); ++i) {
        const int32_t slot = static_cast<int32_t>(i % kTypesPerLine);
        lines.at(kFirstTypeColumn + kTypeStep * slot, types[i]);
        const bool line_full = slot == static_cast<int32_t>(kTypesPerLine) - 1;
        if ((line_full || i + 1 == types.size()) && !lines.label("SYS / # / OBS TYPES"))
            return false;
    }
    return true;
}

// Observation types and phase shifts of every constellation, in that order.
bool write_signal_lines(HeaderLines& lines, const SignalPresence& signals) {
    std::vector<ConstellationCodes> systems;
    for (const auto& [constellation, list] : signals) {
        systems.push_back(lookup_codes(constellation, list));
        if (!write_observation_types(lines, systems.back()))
            return false;
    }
    for (const ConstellationCodes& system : systems) {
        for (const std::string& code : system.codes) {
            if (!lines.at(1, system.letter).at(kPhaseTypeColumn, "L" + code).label("SYS / PHASE SHIFT"))
                return false;
        }
    }
    return true;
}

bool fits_slot_fields(const std::pair<int32_t, int32_t>& slot) {
    return slot.second <= kLargestSlot && slot.first >= kSmallestFrequency && slot.first <= kLargestFrequency;
}

bool write_glonass_lines(HeaderLines& lines, GlonassSlots slots) {
    if (!lines.label("GLONASS COD/PHS/BIS"))
        return false;
    // A number a two-digit field cannot hold comes only from a damaged record: left out.
    std::erase_if(slots, [](const auto& slot) { return !fits_slot_fields(slot); });
    for (std::size_t k = 0; k < slots.size(); ++k) {
        const int32_t place = static_cast<int32_t>(k % kSlotsPerLine);
        if (k == 0)
            lines.at(1, rinex_integer_field(static_cast<long>(slots.size()), kSlotCountWidth));
        lines.at(kFirstSlotColumn + kSlotStep * place, format("R%02i", slots[k].second))
            .at(kFirstFrequencyColumn + kSlotStep * place,
                rinex_integer_field(slots[k].first, kFrequencyWidth));
        const bool line_full = place == static_cast<int32_t>(kSlotsPerLine) - 1;
        if ((line_full || k + 1 == slots.size()) && !lines.label("GLONASS SLOT / FRQ #"))
            return false;
    }
    return true;
}

HeaderEnd write_header(ObsOutput& out, int32_t receiver_index, const VxpDataStore& store,
                       const ObsHeaderValues& values, SignalPresence& signals) {
    HeaderLines lines(out);
    const bool opening_written =
        lines.at(kVersionColumn, kFormatVersion)
            .at(kFileTypeColumn, "OBSERVATION DATA")
            .at(kSystemColumn, "MIXED")
            .label("RINEX VERSION / TYPE") &&
        lines.at(kProgramColumn, run_settings.version_text)
            .at(kRunByColumn, "N/A")
            .at(kDateColumn, rinex_creation_stamp())
            .label("PGM / RUN BY / DATE") &&
        write_site_records(lines, values, receiver_index == OBS_FIXED_SITE_RECEIVER) &&
        write_first_time_line(lines, store.receiver_raw_epochs(receiver_index)[0][0]);
    if (!opening_written)
        return HeaderEnd::write_error;

    signals = collect_signals_present(receiver_index, store);
    leave_out_unmapped(receiver_index, store, signals);
    if (signals.empty()) {
        log_line("ERROR: Signal map could not be generated from VXP data for GNSS" +
                 std::to_string(receiver_index) + "!");
        return HeaderEnd::content_error;
    }
    if (!write_signal_lines(lines, signals))
        return HeaderEnd::write_error;
    if (!write_glonass_lines(lines, collect_glonass_slots(receiver_index, store)))
        return HeaderEnd::write_error;
    return lines.label("END OF HEADER") ? HeaderEnd::complete : HeaderEnd::write_error;
}

WriterOutcome file_error(const std::string& name, int error) {
    WriterOutcome outcome;
    outcome.status = WriterOutcome::Status::file_error;
    outcome.file_name = name;
    outcome.reason = std::strerror(error != 0 ? error : EIO);
    return outcome;
}

// Closes the file; a failed flush or close turns a complete file into a file error.
int close_file(ObsOutput& out) {
    int error = out.error;
    if (std::fflush(out.file) != 0 && error == 0)
        error = errno != 0 ? errno : EIO;
    if (std::ferror(out.file) != 0 && error == 0)
        error = EIO;
    if (std::fclose(out.file) != 0 && error == 0)
        error = errno != 0 ? errno : EIO;
    out.file = nullptr;
    return error;
}

}  // namespace

SignalPresence collect_signals_present(int32_t receiver_index, const VxpDataStore& store) {
    SignalPresence signals;
    // Which signals each constellation already lists, and its list once it has one: one bit test
    // per observation, however many, and no map lookup.
    std::vector<std::bitset<256>> listed(256);
    std::array<std::vector<uint8_t>*, 256> lists{};
    for (const RawEpoch& epoch : store.receiver_raw_epochs(receiver_index)) {
        for (const RawObservation& observation : epoch) {
            if (observation.gnss_id == 0 || listed[observation.gnss_id].test(observation.signal_id))
                continue;
            std::vector<uint8_t>*& list = lists[observation.gnss_id];
            if (list == nullptr)
                list = &signals[observation.gnss_id];
            listed[observation.gnss_id].set(observation.signal_id);
            list->push_back(observation.signal_id);
        }
    }
    return signals;
}

GlonassSlots collect_glonass_slots(int32_t receiver_index, const VxpDataStore& store) {
    GlonassSlots slots;
    for (const Sequence<GlonassEphemeris>& slot : store.receiver_glonass_ephemerides(receiver_index)) {
        if (slot.empty())
            continue;
        slots.emplace_back(static_cast<int32_t>(slot[0].frequency_number),
                           static_cast<int32_t>(slot[0].satellite_id));
    }
    return slots;
}

WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store) {
    return write_observation_file(receiver_index, store, observation_header_values(receiver_index, store));
}

WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store,
                                     const ObsHeaderValues& header_values) {
    WriterOutcome outcome;
    const std::string name = make_rinex_file_name(false, receiver_index, store);
    if (name.size() < kShortestFileName) {
        outcome.status = WriterOutcome::Status::skipped;
        return outcome;
    }
    outcome.file_name = name;

    ObsOutput out;
    out.file = open_file(name, "wb");
    if (out.file == nullptr)
        return file_error(name, errno);
    std::vector<char> file_buffer(kFileBufferSize);
    std::setvbuf(out.file, file_buffer.data(), _IOFBF, file_buffer.size());

    log_line("Writing RINEX obs file for GNSS id " + std::to_string(receiver_index) + "... ");

    SignalPresence signals;
    const HeaderEnd header_end = write_header(out, receiver_index, store, header_values, signals);
    if (header_end == HeaderEnd::content_error) {
        const int error = close_file(out);
        if (error != 0)
            return file_error(name, error);
        outcome.status = WriterOutcome::Status::content_error;
        return outcome;
    }
    if (header_end == HeaderEnd::complete)
        write_observation_epochs(out, receiver_index, store, signals, header_values);
    const int error = close_file(out);
    if (error != 0)
        return file_error(name, error);
    log_line("done.");
    return outcome;
}
