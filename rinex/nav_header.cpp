// The header of a navigation file: version, program, leap seconds and ionospheric corrections.
#include "rinex/nav_header.h"

#include <cmath>
#include <string>
#include <vector>

#include "rinex/line.h"

namespace {

constexpr int kIonoPrecision = 4;  // "% .4e"
// The records are those of RINEX 3.04 (three GLONASS orbit lines, which 3.05 extends to four), and
// the file says so: every reader, old or new, then reads each record as written.
constexpr const char* kFormatVersion = "3.04";

// Header columns (1-based); every label starts in RINEX_LABEL_COLUMN.
constexpr int32_t kLeapSecondsColumn = 5;
constexpr int32_t kIonoFirstColumn = 7;
constexpr int32_t kIonoColumnStep = 12;
constexpr int kGpsIonoTerms = 4;
constexpr int kGalileoIonoTerms = 3;

// Leap seconds truncated toward zero; a value past the 32-bit range (a nonsense setting) is
// printed whole rather than converted out of range.
std::string leap_seconds_text(double leap_seconds) {
    const double truncated = std::trunc(leap_seconds);
    constexpr double kIntLimit = 2147483647.0;
    RinexNumberText number;
    if (std::fabs(truncated) <= kIntLimit)
        return std::string(number.integer(static_cast<long>(truncated)));
    return std::string(number.fixed(truncated, 0));
}

std::string iono_line(const char* name, const double* terms, int count) {
    std::vector<RinexLineItem> items{{name, 1}};
    RinexNumberText number;
    for (int i = 0; i < count; ++i) {
        items.push_back({std::string(number.scientific(terms[i], kIonoPrecision)),
                         kIonoFirstColumn + i * kIonoColumnStep});
    }
    return rinex_header_record(items, "IONOSPHERIC CORR");
}

}  // namespace

std::vector<std::string> navigation_header_lines(int32_t receiver_index, const VxpDataStore& store,
                                                 const NavigationFileSettings& settings,
                                                 const WriterContext& context) {
    std::vector<std::string> lines;
    lines.push_back(rinex_version_record(kFormatVersion, "N: GNSS NAV DATA"));
    lines.push_back(rinex_program_record(context.program));
    lines.push_back(rinex_header_record({{leap_seconds_text(settings.leap_seconds), kLeapSecondsColumn}},
                                        "LEAP SECONDS"));
    // The record in the middle of the log stands for the whole of it.
    const auto& gps_iono = store.receiver_gps_iono(receiver_index);
    if (!gps_iono.empty()) {
        const GpsIonoCorrection chosen = gps_iono[gps_iono.size() / 2];
        const double alpha[kGpsIonoTerms] = {chosen.alpha[0], chosen.alpha[1], chosen.alpha[2],
                                             chosen.alpha[3]};
        const double beta[kGpsIonoTerms] = {chosen.beta[0], chosen.beta[1], chosen.beta[2], chosen.beta[3]};
        lines.push_back(iono_line("GPSA", alpha, kGpsIonoTerms));
        lines.push_back(iono_line("GPSB", beta, kGpsIonoTerms));
    }
    const auto& galileo_iono = store.receiver_galileo_iono(receiver_index);
    if (!galileo_iono.empty()) {
        const GalileoIonoCorrection chosen = galileo_iono[galileo_iono.size() / 2];
        const double alpha[kGalileoIonoTerms] = {chosen.alpha[0], chosen.alpha[1], chosen.alpha[2]};
        lines.push_back(iono_line("GAL", alpha, kGalileoIonoTerms));
    }
    lines.push_back(rinex_header_record({}, "END OF HEADER"));
    return lines;
}
