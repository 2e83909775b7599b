// The navigation file of one receiver: name, header with ionospheric corrections and leap
// seconds, then one record per distinct ephemeris (GPS, Galileo, GLONASS), with every write checked.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/run_settings.h"
#include "platform/utf8_files.h"
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
constexpr int32_t kVersionColumn = 6;
constexpr int32_t kFileTypeColumn = 21;
constexpr int32_t kSystemColumn = 41;
constexpr int32_t kRunByColumn = 21;
constexpr int32_t kDateColumn = 41;
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

std::string header_label_line(std::vector<RinexLineItem> items, const char* label) {
    items.push_back({label, RINEX_LABEL_COLUMN});
    return compose_rinex_line(items);
}

// Leap seconds truncated toward zero; a value past the 32-bit range (a nonsense setting) is
// printed whole rather than converted out of range.
std::string leap_seconds_text(double leap_seconds) {
    const double truncated = std::trunc(leap_seconds);
    constexpr double kIntLimit = 2147483647.0;
    if (std::fabs(truncated) <= kIntLimit)
        return std::to_string(static_cast<long>(truncated));
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", truncated);
    return text;
}

std::string iono_line(const char* name, const double* terms, int count) {
    std::vector<RinexLineItem> items{{name, 1}};
    for (int i = 0; i < count; ++i) {
        items.push_back(
            {format_signed_scientific(terms[i], kIonoPrecision), kIonoFirstColumn + i * kIonoColumnStep});
    }
    return header_label_line(std::move(items), "IONOSPHERIC CORR");
}

std::vector<std::string> header_lines(int32_t receiver_index, const VxpDataStore& store) {
    std::vector<std::string> lines;
    lines.push_back(header_label_line(
        {{kFormatVersion, kVersionColumn}, {"N: GNSS NAV DATA", kFileTypeColumn}, {"MIXED", kSystemColumn}},
        "RINEX VERSION / TYPE"));
    lines.push_back(header_label_line(
        {{run_settings.version_text, 1}, {"N/A", kRunByColumn}, {rinex_creation_stamp(), kDateColumn}},
        "PGM / RUN BY / DATE"));
    lines.push_back(header_label_line({{leap_seconds_text(run_settings.leap_seconds), kLeapSecondsColumn}},
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
    lines.push_back(header_label_line({}, "END OF HEADER"));
    return lines;
}

// The open output file; remembers the first failure so that the writer can stop and report it.
class NavigationFile {
  public:
    explicit NavigationFile(std::FILE* file) : file_(file) {}
    ~NavigationFile() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    NavigationFile(const NavigationFile&) = delete;
    NavigationFile& operator=(const NavigationFile&) = delete;

    // Writes the text cut into 80-column lines; false once any write has failed.
    bool write(const std::string& text) {
        if (!error_.empty())
            return false;
        errno = 0;
        write_rinex_line(file_, text, true);
        if (std::ferror(file_))
            error_ = describe(errno);
        return error_.empty();
    }

    // Closes the file; false when buffered data could not be written out.
    bool close() {
        errno = 0;
        const int result = std::fclose(file_);
        file_ = nullptr;
        if (result != 0 && error_.empty())
            error_ = describe(errno);
        return error_.empty();
    }

    const std::string& error() const { return error_; }

  private:
    static std::string describe(int error_number) {
        return error_number != 0 ? std::strerror(error_number) : "write error";
    }

    std::FILE* file_;
    std::string error_;
};

WriterOutcome file_error(const std::string& name, const std::string& reason) {
    WriterOutcome outcome;
    outcome.status = WriterOutcome::Status::file_error;
    outcome.file_name = name;
    outcome.reason = reason;
    return outcome;
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

WriterOutcome write_navigation_file(int32_t receiver_index, const VxpDataStore& store) {
    const std::string name = make_rinex_file_name(true, receiver_index, store);
    if (name.size() < kMinNavigationNameLength) {
        WriterOutcome outcome;
        outcome.status = WriterOutcome::Status::skipped;
        outcome.file_name = name;
        return outcome;
    }
    std::FILE* handle = open_file(name, "wb");
    if (handle == nullptr)
        return file_error(name, std::strerror(errno));
    NavigationFile file(handle);

    run_settings.console_log << "Writing RINEX nav file for GNSS id " << receiver_index << "... " << std::endl;
    flush_console_log();

    for (const std::string& line : header_lines(receiver_index, store)) {
        if (!file.write(line))
            break;
    }
    for (const EphemerisRef& entry : build_ephemeris_list(receiver_index, store)) {
        const std::string text = entry.system == EphemerisSystem::glonass
                                     ? glonass_record_text(*entry.glonass)
                                     : kepler_record_text(*entry.kepler, entry.system);
        if (!file.write(text))
            break;
    }
    if (!file.close())
        return file_error(name, file.error());
    run_settings.console_log << "done.\n";
    flush_console_log();
    WriterOutcome outcome;
    outcome.file_name = name;
    return outcome;
}
