// Which observation kinds an observation file writes for every signal: pseudorange (C), carrier
// phase (L), Doppler (D) and signal strength (S), always in that order.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class ObservationKind { pseudorange, carrier_phase, doppler, signal_strength };

class ObservationKinds {
  public:
    // The kinds every file wrote before the choice existed: C, L and D.
    ObservationKinds() : ObservationKinds(true, true, true, false) {}
    // The kinds of a text of the letters C, L, D and S in any order, each at most once; none for
    // an empty text, another character or a repeated letter.
    static std::optional<ObservationKinds> from_letters(std::string_view letters);

    // The letters written, in the file's order ("CLD").
    std::string letters() const;
    // How many values each signal has on a data line.
    std::size_t count() const { return count_; }
    // The place of the kind among a signal's values (0 for the first written); kNotWritten when
    // the file does not write it.
    std::size_t field(ObservationKind kind) const { return fields_[static_cast<std::size_t>(kind)]; }
    bool writes(ObservationKind kind) const { return field(kind) != kNotWritten; }
    // The kind whose value carries the one-digit strength indicator: the carrier phase, else the
    // pseudorange; kNotWritten when neither is written.
    std::size_t strength_digit_field() const {
        return writes(ObservationKind::carrier_phase) ? field(ObservationKind::carrier_phase)
                                                      : field(ObservationKind::pseudorange);
    }

    static constexpr std::size_t kNotWritten = static_cast<std::size_t>(-1);
    static constexpr std::size_t kKinds = 4;
    // The RINEX type letter of each kind, in the file's order.
    static constexpr std::array<char, kKinds> kLetters = {'C', 'L', 'D', 'S'};

  private:
    ObservationKinds(bool pseudorange, bool carrier_phase, bool doppler, bool signal_strength);

    std::array<std::size_t, kKinds> fields_{};
    std::size_t count_ = 0;
};
