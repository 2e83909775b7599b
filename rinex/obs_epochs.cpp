// The epoch records of an observation file: epoch line, one data line per satellite with the
// values of each signal under its header type, and the new-site event of the fixed site.
#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "rinex/codes.h"
#include "rinex/gnss_time.h"
#include "rinex/line.h"
#include "rinex/obs_site.h"
#include "rinex/obs_writer_internal.h"

namespace {

// Data line (laid out by RinexDataLine): the values of the kinds written for each signal, the
// strength digit with the carrier phase, or with the pseudorange when the phase is not written.
// Signal strength (dB-Hz) to the RINEX 1-9 strength digit: six dB-Hz per step.
constexpr int kStrengthStep = 6;
constexpr int kWeakestDigit = 1;
constexpr int kStrongestDigit = 9;
// Epoch line: "> yyyy mm dd hh mm", the seconds right-aligned in F11.7 (columns 19-29), epoch flag
// in column 32, satellite count after it.
constexpr int32_t kEpochFlagColumn = 32;
constexpr const char* kEpochFlagOk = "0";
constexpr int kEpochSecondWidth = 11;
constexpr int kEpochSecondDecimals = 7;
constexpr int kCountWidth = 3;  // I3 in columns 33-35, after the flag
// New-site event: flag 3 in column 32, the number of header lines that follow in column 35.
constexpr const char* kNewSiteFlag = "3";
constexpr int32_t kEventCountColumn = 35;
constexpr int32_t kCommentColumn = 11;
// Constellation identifiers with a letter are 1-4; the header has left out every other one.
constexpr std::size_t kConstellationSlots = 5;
constexpr int16_t kNotListed = -1;

// The value in its field; a zero leaves the field blank, and so does a value that cannot be a
// measurement (not finite, or too long for the field).
bool place_value(RinexDataLine& line, std::size_t field, double value) {
    if (value == 0.0 || !std::isfinite(value))
        return false;
    if (std::fabs(value) >= 1e15)
        return false;  // far past 14 characters; keeps the text short
    return line.value(field, value);
}

int strength_digit(float signal_strength) {
    if (std::isnan(signal_strength))
        return kWeakestDigit;
    const double clamped = std::clamp(static_cast<double>(signal_strength), -1e6, 1e6);
    const int step = static_cast<int>(std::trunc(clamped)) / kStrengthStep;
    return std::clamp(step, kWeakestDigit, kStrongestDigit);
}

// Each listed signal's group position on the data lines of its constellation.
using SignalPositions = std::array<std::array<int16_t, 256>, kConstellationSlots>;

SignalPositions signal_positions(const SignalPresence& signals) {
    SignalPositions positions;
    for (auto& row : positions)
        row.fill(kNotListed);
    for (const auto& [constellation, list] : signals) {
        if (constellation >= kConstellationSlots)
            continue;
        for (std::size_t i = 0; i < list.size(); ++i)
            positions[constellation][list[i]] = static_cast<int16_t>(i);
    }
    return positions;
}

class EpochWriter {
  public:
    EpochWriter(RinexLines& out, const SignalPresence& signals, const ObservationKinds& kinds)
        : out_(out), positions_(signal_positions(signals)), kinds_(kinds) {
        for (const auto& [constellation, letter] : vxp_constellation_letters) {
            if (constellation < kConstellationSlots)
                letters_[constellation] = letter;
        }
        std::size_t widest = 0;
        for (const auto& entry : signals)
            widest = std::max(widest, entry.second.size());
        slots_.assign(widest, nullptr);
    }

    // The new-site event: flag 3 and the number of records that follow, the site records of the
    // new site, then a comment.
    bool write_event(const ObsHeaderValues& site) {
        const std::vector<std::string> records = site_records(site, SiteRecords::new_site);
        line_.clear();
        line_.place(">", 1);
        line_.place(kNewSiteFlag, kEpochFlagColumn);
        line_.place(number_.integer(static_cast<long>(records.size()) + 1), kEventCountColumn);
        if (!write_rinex_line(out_, line_.line(), true))
            return false;
        for (const std::string& record : records) {
            if (!write_rinex_line(out_, record, true))
                return false;
        }
        line_.clear();
        line_.place("--> THIS IS THE START OF A NEW SITE <--", kCommentColumn);
        line_.label("COMMENT");
        return write_rinex_line(out_, line_.line(), true);
    }

    // Satellites with at least one observation the header lists a type for.
    uint32_t count_satellites(const RawObservation* sorted, std::size_t count) const {
        uint32_t satellites = 0;
        for (std::size_t i = 0; i < count;) {
            bool listed = false;
            std::size_t j = i;
            for (; j < count && same_satellite(sorted[i], sorted[j]); ++j)
                listed = listed || is_listed(sorted[j]);
            satellites += listed ? 1 : 0;
            i = j;
        }
        return satellites;
    }

    bool write_epoch_line(const RawObservation& first, uint32_t satellites) {
        const CalendarTime t = gps_to_calendar(first.time_of_week, first.week_number);
        text_.assign("> ");
        text_.append(number_.integer(t.year));
        for (int part : {t.month, t.day, t.hour, t.minute}) {
            text_.push_back(' ');
            text_.append(number_.integer(part, 2));
        }
        text_.append(number_.fixed_field(t.second, kEpochSecondWidth, kEpochSecondDecimals));
        line_.clear();
        line_.place(text_, 1);
        // The flag, then the count right-aligned in columns 33-35: "0  5", "0 27", "0105".
        line_.place(kEpochFlagOk, kEpochFlagColumn);
        line_.place(number_.integer_field(static_cast<long>(satellites), kCountWidth), kEpochFlagColumn + 1);
        return write_rinex_line(out_, line_.line(), true);
    }

    // One line per satellite; each signal's values in the group of its place in the header list.
    bool write_data_lines(const RawObservation* sorted, std::size_t count) {
        std::size_t begin = 0;
        while (begin < count) {
            std::size_t end = begin + 1;
            while (end < count && same_satellite(sorted[begin], sorted[end]))
                ++end;
            if (!write_satellite(sorted + begin, sorted + end))
                return false;
            begin = end;
        }
        return true;
    }

  private:
    static bool same_satellite(const RawObservation& a, const RawObservation& b) {
        return a.gnss_id == b.gnss_id && a.satellite_id == b.satellite_id;
    }

    bool is_listed(const RawObservation& o) const {
        return o.gnss_id < kConstellationSlots && positions_[o.gnss_id][o.signal_id] != kNotListed;
    }

    // The satellite's line; none when the header lists none of its observations (constellation 0,
    // or one left out of the file).
    bool write_satellite(const RawObservation* begin, const RawObservation* end) {
        const uint8_t constellation = begin->gnss_id;
        if (constellation >= kConstellationSlots)
            return true;
        const auto& positions = positions_[constellation];
        std::size_t used = 0;
        for (const RawObservation* o = begin; o != end; ++o) {
            const int16_t position = positions[o->signal_id];
            if (position == kNotListed)
                continue;
            slots_[static_cast<std::size_t>(position)] = o;  // a repeated signal: the later one wins
            used = std::max(used, static_cast<std::size_t>(position) + 1);
        }
        if (used == 0)
            return true;
        text_.assign(letters_[constellation]);
        text_.append(number_.integer(begin->satellite_id, 2));
        data_line_.begin(text_);
        for (std::size_t position = 0; position < used; ++position) {
            const RawObservation* o = slots_[position];
            slots_[position] = nullptr;
            if (o == nullptr)
                continue;
            write_signal(kinds_.count() * position, *o);
        }
        return write_rinex_line(out_, data_line_.line(), false);
    }

    // The values of one signal from the data line's field `first` on, in the kinds' order.
    void write_signal(std::size_t first, const RawObservation& o) {
        const std::array<double, ObservationKinds::kKinds> values = {o.pseudorange, o.carrier_phase,
                                                                     static_cast<double>(o.doppler),
                                                                     static_cast<double>(o.signal_strength)};
        const std::size_t digit_field = kinds_.strength_digit_field();
        for (std::size_t kind = 0; kind < values.size(); ++kind) {
            const std::size_t field = kinds_.field(static_cast<ObservationKind>(kind));
            if (field == ObservationKinds::kNotWritten)
                continue;
            if (place_value(data_line_, first + field, values[kind]) && field == digit_field)
                data_line_.strength(first + field, strength_digit(o.signal_strength));
        }
    }

    RinexLines& out_;
    SignalPositions positions_;
    ObservationKinds kinds_;
    std::array<std::string, kConstellationSlots> letters_;
    std::vector<const RawObservation*> slots_;
    RinexLineBuilder line_;
    RinexDataLine data_line_;
    RinexNumberText number_;
    std::string text_;  // the epoch line's date, or a data line's satellite
};

// Sort key of an observation: constellation, satellite, signal; with its arrival position below
// them, equal keys keep their arrival order.
uint64_t sort_key(const RawObservation& o, std::size_t position) {
    return (uint64_t{o.gnss_id} << 48) | (uint64_t{o.satellite_id} << 40) | (uint64_t{o.signal_id} << 32) |
           static_cast<uint64_t>(position);
}

// Epochs this long or shorter are sorted through keys on the stack.
constexpr std::size_t kKeyedEpochLimit = 512;

bool in_order(const RawObservation& a, const RawObservation& b) {
    return sort_key(a, 0) < sort_key(b, 0);
}

// The epoch ordered by constellation, satellite and signal, equal keys in arrival order; through
// eight-byte keys, not by moving 61-byte records around.
void sort_epoch(const RawObservation* epoch, std::size_t size, std::vector<RawObservation>& sorted) {
    if (std::is_sorted(epoch, epoch + size, in_order)) {
        sorted.assign(epoch, epoch + size);
        return;
    }
    if (size > kKeyedEpochLimit) {
        sorted.assign(epoch, epoch + size);
        std::stable_sort(sorted.begin(), sorted.end(), in_order);
        return;
    }
    std::array<uint64_t, kKeyedEpochLimit> keys;
    for (std::size_t i = 0; i < size; ++i)
        keys[i] = sort_key(epoch[i], i);
    std::sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(size));
    sorted.resize(size);
    constexpr uint64_t kPositionMask = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        sorted[i] = epoch[static_cast<std::size_t>(keys[i] & kPositionMask)];
}

// Satellites of sorted observations outside constellation 0.
uint32_t count_satellites(const RawObservation* sorted, std::size_t count) {
    uint32_t satellites = 0;
    int previous_constellation = -1;
    int previous_satellite = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const RawObservation& o = sorted[i];
        if (o.gnss_id != 0 && (o.gnss_id != previous_constellation || o.satellite_id != previous_satellite)) {
            ++satellites;
        }
        previous_constellation = o.gnss_id;
        previous_satellite = o.satellite_id;
    }
    return satellites;
}

}  // namespace

uint32_t prepare_epoch(const RawEpoch& epoch, std::vector<RawObservation>& sorted) {
    sort_epoch(epoch.data(), epoch.size(), sorted);
    return count_satellites(sorted.data(), sorted.size());
}

struct EpochRecords::State {
    State(RinexLines& out, const SignalPresence& signals, const ObservationKinds& kinds,
          const VxpDataStore& store, const ObsHeaderValues& values, const EpochSelection& epoch_selection)
        : writer(out, signals, kinds),
          sites(store.base_station_records()),
          header_values(values),
          selection(epoch_selection) {}

    EpochWriter writer;
    const VxpDataStore* site_store = nullptr;
    const Sequence<BaseStationInfo>& sites;
    const ObsHeaderValues& header_values;
    EpochSelection selection;
    bool fixed_site = false;
    // The record the header describes; each epoch then takes the latest record at or before it.
    int32_t site_in_force = -1;
    std::vector<RawObservation> sorted;
};

EpochRecords::EpochRecords(RinexLines& out, int32_t receiver_index, const VxpDataStore& sites,
                           const SignalPresence& signals, const ObservationKinds& kinds,
                           const ObsHeaderValues& header_values, const EpochSelection& selection,
                           const RawObservation& first_kept)
    : state_(std::make_unique<State>(out, signals, kinds, sites, header_values, selection)) {
    state_->site_store = &sites;
    state_->fixed_site = receiver_index == kFixedSiteReceiver && !state_->sites.empty();
    if (state_->fixed_site)
        state_->site_in_force = header_site_index(sites, &first_kept);
}

EpochRecords::~EpochRecords() = default;

bool EpochRecords::add(const RawObservation* epoch, std::size_t size) {
    State& s = *state_;
    if (!s.selection.keeps(epoch, size))
        return true;
    // An epoch in order already is written as it is, without a copy.
    const bool ordered = std::is_sorted(epoch, epoch + size, in_order);
    if (!ordered)
        sort_epoch(epoch, size, s.sorted);
    const RawObservation* const observations = ordered ? epoch : s.sorted.data();
    const std::size_t count = ordered ? size : s.sorted.size();
    if (count == 0)
        return true;
    const RawObservation& first = observations[0];
    if (s.fixed_site) {
        const int32_t found =
            find_base_station_record(first.time_of_week, first.week_number, s.site_in_force, *s.site_store);
        if (found != s.site_in_force) {
            const BaseStationInfo& old_site = s.sites[static_cast<std::size_t>(s.site_in_force)];
            const BaseStationInfo& found_site = s.sites[static_cast<std::size_t>(found)];
            s.site_in_force = found;
            if (site_changes(old_site, found_site) &&
                !s.writer.write_event(with_base_station(s.header_values, found_site)))
                return false;
        }
    }
    return s.writer.write_epoch_line(first, s.writer.count_satellites(observations, count)) &&
           s.writer.write_data_lines(observations, count);
}
