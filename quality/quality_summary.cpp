// The quality summary as message lines: a few per receiver, a block for the inertial sensor, a
// line for the damage.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "quality/quality_survey.h"
#include "quality/quality_time.h"
#include "quality/signal_names.h"

namespace {
// Damaged stretches named in the message; the JSON lists them all.
constexpr std::size_t kStretchesNamed = 3;

std::string number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Intervals as the run prints numbers: 1, 0.1, 30.
std::string seconds(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string percent(uint64_t part, uint64_t whole) {
    return whole == 0 ? "-" : number(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1);
}

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string gaps_text(const GapFinder::Gaps& gaps, const char* unit) {
    if (gaps.total == 0)
        return "no gaps";
    std::string text = plural(gaps.total, "gap", "gaps") + " (" + std::to_string(gaps.missing) + " " + unit +
                       " missing), longest " + seconds(gaps.longest_s) + " s";
    if (!gaps.listed.empty())
        text += ", the first after " + gps_time_text(gaps.listed.front().start);
    return text;
}

void receiver_lines(int index, const ReceiverQuality& r, const QualitySettings& settings,
                    std::vector<std::string>& lines) {
    const std::string head = "Quality of GNSS id " + std::to_string(index) + ": ";
    if (r.kept_epochs() == 0) {
        lines.push_back(head + "no observation epoch in the selected times");
        return;
    }
    const GapFinder& epochs = r.epochs();
    const double interval = r.interval_s();
    lines.push_back(head + gps_time_text(epochs.first()) + " to " + gps_time_text(epochs.last()) +
                    " GPS, interval " + (interval > 0.0 ? seconds(interval) + " s" : "-"));
    const uint64_t expected = epochs.expected(interval);
    lines.push_back("  Epochs: " + std::to_string(r.kept_epochs()) + " of " + std::to_string(expected) +
                    " expected (" + percent(r.kept_epochs(), expected) + " %), " +
                    gaps_text(epochs.gaps(interval), "epochs"));
    const SignalNames& names = signal_names();
    std::string satellites, observations, strength;
    for (int c = 0; c < 256; ++c) {
        const auto constellation = static_cast<uint8_t>(c);
        if (names.letter(constellation) == '\0' || r.satellites(constellation) == 0)
            continue;
        const std::string letter(1, names.letter(constellation));
        satellites +=
            (satellites.empty() ? "" : ", ") + letter + " " + std::to_string(r.satellites(constellation));
        for (int s = 0; s < 256; ++s) {
            const uint64_t n = r.observations(constellation, static_cast<uint8_t>(s));
            if (n != 0)
                observations += (observations.empty() ? "" : ", ") + letter +
                                names.code(static_cast<uint8_t>(s)) + " " + std::to_string(n);
        }
        for (int band = 0; band < 10; ++band) {
            const double mean = r.mean_cn0(constellation, band);
            if (!std::isnan(mean))
                strength +=
                    (strength.empty() ? "" : ", ") + letter + std::to_string(band) + " " + number(mean, 1);
        }
    }
    lines.push_back("  Satellites: " + (satellites.empty() ? std::string("none") : satellites) +
                    "; observations left out: " + std::to_string(r.left_out()));
    if (!observations.empty())
        lines.push_back("  Observations: " + observations);
    if (!strength.empty())
        lines.push_back("  Mean C/N0 (dB-Hz): " + strength);
    const std::optional<MedianPosition> p = r.median_position();
    if (!p) {
        lines.push_back("  Position: none (no GPS or Galileo epoch with enough satellites and ephemerides)");
        return;
    }
    const double lat = p->geodetic.latitude * kDegreesPerRadian;
    const double lon = p->geodetic.longitude * kDegreesPerRadian;
    lines.push_back("  Position: " + number(p->position.x, 3) + " " + number(p->position.y, 3) + " " +
                    number(p->position.z, 3) + " m (" + number(std::fabs(lat), 7) +
                    (lat < 0 ? " S " : " N ") + number(std::fabs(lon), 7) + (lon < 0 ? " W " : " E ") +
                    number(p->geodetic.height, 3) + " m), median of " +
                    plural(p->epochs_used, "epoch", "epochs") + ", rms " + number(p->rms_m, 2) + " m");
    lines.push_back("  Above " + seconds(settings.positioning.elevation_mask_deg) +
                    " deg: " + std::to_string(r.tracked_above_mask()) + " of " +
                    std::to_string(r.expected_above_mask()) + " satellite epochs tracked (" +
                    percent(r.tracked_above_mask(), r.expected_above_mask()) + " %)");
}

void imu_lines(const ImuQuality& imu, std::vector<std::string>& lines) {
    if (!imu.any())
        return;
    if (!imu.samples().any()) {
        lines.push_back("IMU: no timed sample in the selected times (" +
                        plural(imu.untimed(), "untimed packet", "untimed packets") + ")");
        return;
    }
    lines.push_back("IMU: " + gps_time_text(imu.samples().first()) + " to " +
                    gps_time_text(imu.samples().last()) + " GPS, " + seconds(imu.rate_hz()) + " Hz");
    lines.push_back(
        "  Samples: " + std::to_string(imu.samples().count()) + " of " + std::to_string(imu.expected()) +
        " expected (" + percent(imu.samples().count(), imu.expected()) + " %), " +
        gaps_text(imu.gaps(), "samples") + "; interval jitter " + number(imu.samples().jitter_s() * 1e3, 3) +
        " ms; untimed packets " + std::to_string(imu.untimed()));
}

std::string source_name(int source) {
    if (source < kReceiverCount)
        return "GNSS id " + std::to_string(source);
    if (source == DamageLog::kImuSource)
        return "IMU";
    return source == DamageLog::kFilterSource ? "filter" : "other";
}

std::string stretch_text(const DamagedStretch& s) {
    return std::isnan(s.after) ? std::string("at the start") : "after " + gps_time_text(s.after);
}

void damage_line(const DamageLog& damage, std::vector<std::string>& lines) {
    if (damage.total_errors() == 0) {
        lines.push_back("Damage: no checksum errors");
        return;
    }
    std::string sources;
    for (int s = 0; s < DamageLog::kSources; ++s)
        if (damage.errors(s) != 0)
            sources +=
                (sources.empty() ? "" : ", ") + source_name(s) + " " + std::to_string(damage.errors(s));
    std::string line = "Damage: " + plural(damage.total_errors(), "checksum error", "checksum errors") +
                       " (" + sources + ") in " + plural(damage.total_stretches(), "stretch", "stretches") +
                       ": ";
    const auto& stretches = damage.stretches();
    for (std::size_t i = 0; i < stretches.size() && i < kStretchesNamed; ++i)
        line += (i ? ", " : "") + stretch_text(stretches[i]);
    if (damage.total_stretches() > kStretchesNamed)
        line += ", ...";
    lines.push_back(line);
}
}  // namespace

std::vector<std::string> QualitySurvey::receiver_summary_lines(int index) const {
    std::vector<std::string> lines;
    if (const ReceiverQuality* r = receiver(index))
        receiver_lines(index, *r, settings_, lines);
    return lines;
}

std::vector<std::string> QualitySurvey::imu_summary_lines() const {
    std::vector<std::string> lines;
    imu_lines(imu_, lines);
    return lines;
}

std::string QualitySurvey::damage_summary_line() const {
    std::vector<std::string> lines;
    damage_line(damage_, lines);
    return lines.front();
}

std::vector<std::string> QualitySurvey::summary_lines() const {
    std::vector<std::string> lines;
    for (int r = 0; r < kReceiverCount; ++r) {
        const std::vector<std::string> receiver = receiver_summary_lines(r);
        lines.insert(lines.end(), receiver.begin(), receiver.end());
    }
    const std::vector<std::string> imu = imu_summary_lines();
    lines.insert(lines.end(), imu.begin(), imu.end());
    lines.push_back(damage_summary_line());
    return lines;
}
