#include "quality/signal_names.h"

#include "rinex/codes.h"

SignalNames::SignalNames() {
    bands_.fill(-1);
    for (const auto& [id, letter] : vxp_constellation_letters)
        letters_[id] = letter.empty() ? '\0' : letter[0];
    for (const auto& [id, code] : vxp_signal_codes) {
        codes_[id] = code;
        if (!code.empty() && code[0] >= '0' && code[0] <= '9')
            bands_[id] = code[0] - '0';
    }
}

const SignalNames& signal_names() {
    static const SignalNames names;
    return names;
}
