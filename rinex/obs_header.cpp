// The header of an observation file: version, program, site, interval, first and last observation
// times, the observation types of the signals present and the GLONASS records.
#include <algorithm>
#include <array>
#include <iterator>
#include <string>
#include <vector>

#include "rinex/codes.h"
#include "rinex/gnss_time.h"
#include "rinex/line.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer_internal.h"

namespace {

constexpr const char* kFormatVersion = "3.05";
// INTERVAL: F10.3, seconds; a longer interval than the field holds is left out.
constexpr int kIntervalWidth = 10;
constexpr int kIntervalDecimals = 3;
constexpr double kLargestInterval = 999999.999;
// SIGNAL STRENGTH UNIT: A20; the S values are the records' carrier-to-noise densities.
constexpr const char* kStrengthUnit = "DBHZ";
// TIME OF FIRST OBS and TIME OF LAST OBS: 5I6, F13.7, 5X, A3.
constexpr int kDateFieldWidth = 6;
constexpr int kSecondFieldWidth = 13;
constexpr int kSecondDecimals = 7;
constexpr int32_t kTimeSystemColumn = 49;
// SYS / # / OBS TYPES: A1, 2X, I3, 13(1X, A3); continuation lines leave columns 1-6 blank.
constexpr int32_t kTypeCountColumn = 4;
constexpr int kTypeCountWidth = 3;
constexpr RinexSlots kTypeSlots{8, 4, 13};
// SYS / PHASE SHIFT: A1, 1X, A3.
constexpr int32_t kPhaseTypeColumn = 3;
// GLONASS SLOT / FRQ #: I3, 1X, 8(A1, I2.2, 1X, I2, 1X); continuation lines leave columns 1-4 blank.
constexpr int kSlotCountWidth = 3;
constexpr RinexSlots kSlotSlots{5, 7, 8};
constexpr int kSlotDigits = 2;
constexpr int kFrequencyWidth = 2;
// What the two-digit fields hold: slot numbers 0-99, frequency numbers -9 to 99.
constexpr int32_t kLargestSlot = 99;
constexpr int32_t kSmallestFrequency = -9;
constexpr int32_t kLargestFrequency = 99;

// Builds one header line at a time and writes it wrapped to 80 columns.
class HeaderLines {
  public:
    explicit HeaderLines(RinexLines& out) : out_(out) {}

    HeaderLines& at(int32_t column, std::string_view text) {
        builder_.place(text, column);
        return *this;
    }
    bool label(std::string_view text) {
        builder_.label(text);
        return written();
    }
    // A record of several lines, items after the lead placed with at().
    RinexContinuedRecord continued(RinexSlots slots, std::string_view label) {
        return RinexContinuedRecord(builder_, slots, label);
    }
    bool record(RinexContinuedRecord& record) {
        record.text();
        return written();
    }
    // A record composed elsewhere.
    bool record(std::string_view line) { return write_rinex_line(out_, line, true); }

  private:
    bool written() {
        const bool ok = write_rinex_line(out_, builder_.line(), true);
        builder_.clear();
        return ok;
    }

    RinexLines& out_;
    RinexLineBuilder builder_;
};

bool write_site_records(HeaderLines& lines, const ObsHeaderValues& values) {
    for (const std::string& record : site_records(values, SiteRecords::header)) {
        if (!lines.record(record))
            return false;
    }
    return true;
}

bool write_time_line(HeaderLines& lines, const RawObservation& observation, std::string_view label) {
    const CalendarTime t = gps_to_calendar(observation.time_of_week, observation.week_number);
    RinexNumberText number;
    std::string fields;
    for (int part : {t.year, t.month, t.day, t.hour, t.minute})
        fields += number.integer_field(part, kDateFieldWidth);
    fields += number.fixed_field(t.second, kSecondFieldWidth, kSecondDecimals);
    return lines.at(1, fields).at(kTimeSystemColumn, "GPS").label(label);
}

// INTERVAL (when the kept epochs have one), TIME OF FIRST OBS and TIME OF LAST OBS.
bool write_time_lines(HeaderLines& lines, const EpochTally& tally) {
    const double interval = tally.nominal_interval();
    if (interval <= kLargestInterval) {
        RinexNumberText number;
        if (!lines.at(1, number.fixed_field(interval, kIntervalWidth, kIntervalDecimals)).label("INTERVAL"))
            return false;
    }
    return write_time_line(lines, tally.first(), "TIME OF FIRST OBS") &&
           write_time_line(lines, tally.last(), "TIME OF LAST OBS");
}

// "Warning: 3 observations left out: VXP signal 255 has no RINEX observation code."
std::string left_out_text(uint64_t count, const char* what, std::size_t id, const char* missing) {
    return "Warning: " + std::to_string(count) + (count == 1 ? " observation" : " observations") +
           " left out: VXP " + what + " " + std::to_string(id) + " has no RINEX " + missing + ".";
}

// Leaves out of `signals` the constellations without a RINEX letter and the signals without a
// RINEX code, and says once for each how many observations the file goes without.
void leave_out_unmapped(const EpochTally& tally, SignalPresence& signals, MessageSink& messages) {
    std::array<bool, 256> no_code{};
    std::vector<std::size_t> no_letter;
    for (auto entry = signals.begin(); entry != signals.end();) {
        std::vector<uint8_t>& list = entry->second;
        if (!vxp_constellation_letters.contains(entry->first)) {
            no_letter.push_back(entry->first);
            list.clear();
        }
        std::erase_if(list, [&](uint8_t signal) {
            if (vxp_signal_codes.contains(signal))
                return false;
            no_code[signal] = true;
            return true;
        });
        entry = list.empty() ? signals.erase(entry) : std::next(entry);
    }
    for (std::size_t id : no_letter) {
        const uint64_t count = tally.observations_of_constellation(static_cast<uint8_t>(id));
        if (count != 0)
            messages.line(left_out_text(count, "constellation", id, "system letter"));
    }
    for (std::size_t id = 0; id < no_code.size(); ++id) {
        const uint64_t count =
            no_code[id] ? tally.lettered_observations_of_signal(static_cast<uint8_t>(id)) : 0;
        if (count != 0)
            messages.line(left_out_text(count, "signal", id, "observation code"));
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

// One constellation's types: the kinds written of each signal, thirteen to a line, further lines
// continuing under the same label.
bool write_observation_types(HeaderLines& lines, const ConstellationCodes& system,
                             const ObservationKinds& kinds) {
    std::vector<std::string> types;
    for (const std::string& code : system.codes) {
        for (char kind : kinds.letters())
            types.push_back(kind + code);
    }
    RinexNumberText number;
    lines.at(1, system.letter)
        .at(kTypeCountColumn, number.integer_field(static_cast<long>(types.size()), kTypeCountWidth));
    RinexContinuedRecord record = lines.continued(kTypeSlots, "SYS / # / OBS TYPES");
    for (const std::string& type : types)
        record.next(type);
    return lines.record(record);
}

// Observation types of every constellation, the unit of the signal strengths when they are written,
// and the phase shifts of the carrier phases, in that order.
bool write_signal_lines(HeaderLines& lines, const SignalPresence& signals, const ObservationKinds& kinds) {
    std::vector<ConstellationCodes> systems;
    for (const auto& [constellation, list] : signals) {
        systems.push_back(lookup_codes(constellation, list));
        if (!write_observation_types(lines, systems.back(), kinds))
            return false;
    }
    if (kinds.writes(ObservationKind::signal_strength) &&
        !lines.at(1, kStrengthUnit).label("SIGNAL STRENGTH UNIT"))
        return false;
    if (!kinds.writes(ObservationKind::carrier_phase))
        return true;
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
    if (slots.empty())
        return true;
    RinexNumberText number;
    lines.at(1, number.integer_field(static_cast<long>(slots.size()), kSlotCountWidth));
    RinexContinuedRecord record = lines.continued(kSlotSlots, "GLONASS SLOT / FRQ #");
    for (const auto& [frequency, slot] : slots) {
        std::string entry = "R";  // "R05 -9": slot and frequency number
        entry += number.integer(slot, kSlotDigits);
        entry += ' ';
        entry += number.integer_field(frequency, kFrequencyWidth);
        record.next(entry);
    }
    return lines.record(record);
}

}  // namespace

SignalPresence collect_signals_present(int32_t receiver_index, const VxpDataStore& store,
                                       const EpochSelection& selection) {
    EpochTally tally(selection);
    for (const RawEpoch& epoch : store.receiver_raw_epochs(receiver_index))
        tally.add(epoch.data(), epoch.size());
    return tally.signals();
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

HeaderEnd write_observation_header(RinexLines& out, int32_t receiver_index, const EpochTally& tally,
                                   const GlonassSlots& glonass_slots, const ObsHeaderValues& values,
                                   const ObservationKinds& kinds, const WriterContext& context,
                                   SignalPresence& signals) {
    HeaderLines lines(out);
    const bool opening_written = lines.record(rinex_version_record(kFormatVersion, "OBSERVATION DATA")) &&
                                 lines.record(rinex_program_record(context.program)) &&
                                 write_site_records(lines, values) && write_time_lines(lines, tally);
    if (!opening_written)
        return HeaderEnd::write_error;

    signals = tally.signals();
    leave_out_unmapped(tally, signals, context.messages);
    if (signals.empty()) {
        context.messages.line("ERROR: Signal map could not be generated from VXP data for GNSS" +
                              std::to_string(receiver_index) + "!");
        return HeaderEnd::content_error;
    }
    if (!write_signal_lines(lines, signals, kinds))
        return HeaderEnd::write_error;
    if (!write_glonass_lines(lines, glonass_slots))
        return HeaderEnd::write_error;
    return lines.label("END OF HEADER") ? HeaderEnd::complete : HeaderEnd::write_error;
}
