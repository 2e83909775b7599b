// Compact RINEX 3.0 back to the RINEX 3 observation lines it stands for, written for the tests from
// the format's description alone (apart from the program's encoder): the two CRINEX lines, the
// header as it is, and per epoch the epoch text difference, the clock line and per satellite the
// differenced observations and the flags' text difference. Strict: a difference that no arc or
// epoch precedes (a satellite that was not in the epoch before, say) is an error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CompactRinexDecoded {
    std::vector<std::string> lines;  // the RINEX lines, trailing blanks left out, no line feeds
    std::string error;               // empty when the whole text decoded
};

CompactRinexDecoded decode_compact_rinex(std::string_view text);
