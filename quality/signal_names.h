// The RINEX names of VXP constellation and signal identifiers as flat tables, for looking up every
// observation of a log without a map search.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class SignalNames {
  public:
    SignalNames();
    // The system letter ('\0' when RINEX has none) and the two-character code ("" when none).
    char letter(uint8_t constellation) const { return letters_[constellation]; }
    const std::string& code(uint8_t signal) const { return codes_[signal]; }
    // Whether an observation of this constellation and signal has a RINEX name.
    bool named(uint8_t constellation, uint8_t signal) const {
        return letters_[constellation] != '\0' && !codes_[signal].empty();
    }
    // The RINEX band digit of the signal; -1 when it has no code.
    int band(uint8_t signal) const { return bands_[signal]; }

  private:
    std::array<char, 256> letters_{};
    std::array<std::string, 256> codes_{};
    std::array<int, 256> bands_{};
};

const SignalNames& signal_names();
