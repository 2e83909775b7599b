#include "rinex/codes.h"

// VXP constellation identifier -> RINEX satellite system letter. No SBAS or QZSS letter.
const std::map<uint8_t, std::string> vxp_constellation_letters = {
    {1, "G"},  // GPS
    {2, "R"},  // GLONASS
    {3, "E"},  // Galileo
    {4, "C"},  // BeiDou
};

// VXP signal identifier -> RINEX 3.05 observation code (band digit and attribute). Keyed by the
// signal alone; the ranges follow the systems whose codes they use.
const std::map<uint8_t, std::string> vxp_signal_codes = {
    // GPS
    {1, "1C"},
    {2, "1L"},
    {3, "1W"},
    {4, "2C"},
    {5, "2P"},
    {6, "2W"},
    {7, "2L"},
    {8, "2S"},
    {9, "2X"},
    {10, "5I"},
    {11, "5Q"},
    {12, "5X"},
    {13, "1S"},
    {14, "1L"},
    {15, "1X"},
    // GLONASS
    {32, "1C"},
    {33, "1P"},
    {34, "2C"},
    {35, "2P"},
    // Galileo
    {64, "1C"},
    {65, "1A"},
    {66, "1B"},
    {67, "1X"},
    {68, "1Z"},
    {69, "6C"},
    {70, "6A"},
    {71, "6B"},
    {72, "6X"},
    {73, "6Z"},
    {74, "7I"},
    {75, "7Q"},
    {76, "7X"},
    {77, "8I"},
    {78, "8Q"},
    {79, "8X"},
    {80, "5I"},
    {81, "5Q"},
    {82, "5X"},
    // SBAS
    {96, "1C"},
    {97, "5I"},
    {98, "5Q"},
    {99, "5X"},
    // QZSS
    {128, "1C"},
    {129, "6S"},
    {130, "6L"},
    {131, "6X"},
    {132, "2S"},
    {133, "2L"},
    {134, "2X"},
    {135, "5I"},
    {136, "5Q"},
    {137, "5X"},
    {138, "1S"},
    {139, "1L"},
    {140, "1X"},
    // BeiDou
    {160, "2I"},
    {161, "2Q"},
    {162, "2X"},
    {163, "6I"},
    {164, "6Q"},
    {165, "6X"},
    {166, "7I"},
    {167, "7Q"},
    {168, "7X"},
};
