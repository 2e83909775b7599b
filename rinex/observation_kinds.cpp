#include "rinex/observation_kinds.h"

ObservationKinds::ObservationKinds(bool pseudorange, bool carrier_phase, bool doppler, bool signal_strength) {
    const std::array<bool, kKinds> written = {pseudorange, carrier_phase, doppler, signal_strength};
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        fields_[kind] = written[kind] ? count_++ : kNotWritten;
}

std::optional<ObservationKinds> ObservationKinds::from_letters(std::string_view letters) {
    std::array<bool, kKinds> given{};
    for (char letter : letters) {
        std::size_t kind = 0;
        while (kind < kKinds && kLetters[kind] != letter)
            ++kind;
        if (kind == kKinds || given[kind])
            return std::nullopt;
        given[kind] = true;
    }
    if (letters.empty())
        return std::nullopt;
    return ObservationKinds(given[0], given[1], given[2], given[3]);
}

std::string ObservationKinds::letters() const {
    std::string text;
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        if (fields_[kind] != kNotWritten)
            text += kLetters[kind];
    }
    return text;
}
