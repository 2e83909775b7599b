// The navigation file of one receiver: name, header with ionospheric corrections and leap
// seconds, then one record per distinct ephemeris (GPS, Galileo, GLONASS), with every write checked.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "output/output_file.h"
#include "rinex/gnss_time.h"
#include "rinex/line.h"
#include "rinex/naming.h"
#include "rinex/nav_records.h"
#include "rinex/nav_writer.h"

namespace {

// A navigation file name is at least "QRV_0" + index + "USA_R_" + 11 time digits + "_00U_MN.rnx".
constexpr std::size_t kMinNavigationNameLength = 34;
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

// The compared block of a GPS/Galileo record: the orbit and clock, satellite_id through crs.
constexpr std::size_t kKeplerBlockBegin = offsetof(GpsEphemeris, satellite_id);
constexpr std::size_t kKeplerBlockEnd = offsetof(GpsEphemeris, crs) + sizeof(double);
static_assert(kKeplerBlockEnd - kKeplerBlockBegin == 204, "GPS/Galileo compared block");
// Of a GLONASS record: position, velocity and acceleration.
constexpr std::size_t kGlonassBlockBegin = offsetof(GlonassEphemeris, x);
constexpr std::size_t kGlonassBlockEnd = offsetof(GlonassEphemeris, az) + sizeof(float);
static_assert(kGlonassBlockEnd - kGlonassBlockBegin == 48, "GLONASS compared block");

template <std::size_t Begin, std::size_t End, class Record>
bool same_block(const Record& a, const Record& b) {
    const auto* pa = reinterpret_cast<const unsigned char*>(&a);
    const auto* pb = reinterpret_cast<const unsigned char*>(&b);
    return std::memcmp(pa + Begin, pb + Begin, End - Begin) == 0;
}

// Appends the records of each slot that differ from the record before them in the same slot.
template <std::size_t Begin, std::size_t End, class Slots, class Append>
void append_distinct(const Slots& slots, Append append) {
    for (const auto& slot : slots) {
        for (std::size_t j = 0; j < slot.size(); ++j) {
            if (j == 0 || !same_block<Begin, End>(slot[j], slot[j - 1]))
                append(&slot[j]);
        }
    }
}

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

std::vector<std::string> header_lines(int32_t receiver_index, const VxpDataStore& store,
                                      const NavigationFileSettings& settings, const WriterContext& context) {
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

}  // namespace

std::vector<EphemerisRef> build_ephemeris_list(int32_t receiver_index, const VxpDataStore& store) {
    std::vector<EphemerisRef> list;
    append_distinct<kKeplerBlockBegin, kKeplerBlockEnd>(
        store.receiver_gps_ephemerides(receiver_index), [&](const GpsEphemeris* e) {
            list.push_back({EphemerisSystem::gps, e, nullptr});
        });
    append_distinct<kKeplerBlockBegin, kKeplerBlockEnd>(
        store.receiver_galileo_ephemerides(receiver_index), [&](const GalileoEphemeris* e) {
            list.push_back({EphemerisSystem::galileo, e, nullptr});
        });
    append_distinct<kGlonassBlockBegin, kGlonassBlockEnd>(
        store.receiver_glonass_ephemerides(receiver_index), [&](const GlonassEphemeris* e) {
            list.push_back({EphemerisSystem::glonass, nullptr, e});
        });
    return list;
}

WriterOutcome write_navigation_file(int32_t receiver_index, const VxpDataStore& store,
                                    const NavigationFileSettings& settings, const WriterContext& context) {
    const std::string name = make_rinex_file_name(true, receiver_index, store);
    if (name.size() < kMinNavigationNameLength) {
        WriterOutcome outcome;
        outcome.status = WriterOutcome::Status::skipped;
        outcome.file_name = name;
        return outcome;
    }
    OutputFile file;
    if (!file.open(name))
        return file.failure();

    context.messages.line("Writing RINEX nav file for GNSS id " + std::to_string(receiver_index) + "... ");

    for (const std::string& line : header_lines(receiver_index, store, settings, context)) {
        if (!write_rinex_line(file, line, true))
            break;
    }
    for (const EphemerisRef& entry : build_ephemeris_list(receiver_index, store)) {
        const std::string text = entry.system == EphemerisSystem::glonass
                                     ? glonass_record_text(*entry.glonass)
                                     : kepler_record_text(*entry.kepler, entry.system);
        if (!write_rinex_line(file, text, true))
            break;
    }
    if (!file.close())
        return file.failure();
    context.messages.line("done.");
    WriterOutcome outcome;
    outcome.file_name = name;
    return outcome;
}
