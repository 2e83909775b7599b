// The quality summary as a JSON document (<input>.qc.json); every key is described in the README.
#include <cmath>
#include <nlohmann/json.hpp>

#include "quality/quality_survey.h"
#include "quality/quality_time.h"
#include "quality/signal_names.h"

namespace {
using Json = nlohmann::ordered_json;

Json time_value(double t) {
    if (std::isnan(t))
        return nullptr;
    const GpsWeekTime w = week_time(t);
    return Json{{"gps", gps_time_text(t, 'T')}, {"week", w.week}, {"seconds_of_week", w.seconds}};
}

// Positions and angles come from trigonometry, whose last bit differs between C libraries: they are
// written rounded (0.1 mm, 1e-9 degree of latitude and longitude, 1e-6 degree of elevation and
// azimuth), so that every system writes the same file.
constexpr double kTenthsOfMillimetre = 1e4;
constexpr double kNanodegrees = 1e9;
constexpr double kMicrodegrees = 1e6;

Json rounded(double value, double steps_per_unit) {
    if (!std::isfinite(value))
        return nullptr;
    return std::round(value * steps_per_unit) / steps_per_unit;
}

Json percent(uint64_t part, uint64_t whole) {
    if (whole == 0)
        return nullptr;
    return 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

Json gaps_value(const GapFinder::Gaps& gaps) {
    Json list = Json::array();
    for (const TimeGap& g : gaps.listed)
        list.push_back({{"start", time_value(g.start)}, {"end", time_value(g.end)}, {"missing", g.missing}});
    return list;
}

Json receiver_value(int index, const ReceiverQuality& r, const QualitySettings& settings) {
    const GapFinder& epochs = r.epochs();
    const bool any = r.kept_epochs() != 0;
    const double interval = r.interval_s();
    const GapFinder::Gaps gaps = epochs.gaps(interval);
    Json gap_list = gaps_value(gaps);
    for (Json& g : gap_list)
        g["missing_epochs"] = g["missing"], g.erase("missing");
    const SignalNames& names = signal_names();
    Json satellites = Json::object(), observations = Json::object(), strength = Json::object();
    for (int c = 0; c < 256; ++c) {
        const auto constellation = static_cast<uint8_t>(c);
        if (names.letter(constellation) == '\0' || r.satellites(constellation) == 0)
            continue;
        const std::string letter(1, names.letter(constellation));
        satellites[letter] = r.satellites(constellation);
        for (int s = 0; s < 256; ++s)
            if (const uint64_t n = r.observations(constellation, static_cast<uint8_t>(s)); n != 0)
                observations[letter][names.code(static_cast<uint8_t>(s))] = n;
        for (int band = 0; band < 10; ++band)
            if (const double mean = r.mean_cn0(constellation, band); !std::isnan(mean))
                strength[letter][std::to_string(band)] = mean;
    }
    const uint64_t expected = epochs.expected(interval);
    Json position = nullptr;
    if (const std::optional<MedianPosition> p = r.median_position()) {
        position = {{"x", rounded(p->position.x, kTenthsOfMillimetre)},
                    {"y", rounded(p->position.y, kTenthsOfMillimetre)},
                    {"z", rounded(p->position.z, kTenthsOfMillimetre)},
                    {"lat_deg", rounded(p->geodetic.latitude * kDegreesPerRadian, kNanodegrees)},
                    {"lon_deg", rounded(p->geodetic.longitude * kDegreesPerRadian, kNanodegrees)},
                    {"height_m", rounded(p->geodetic.height, kTenthsOfMillimetre)},
                    {"epochs_used", p->epochs_used},
                    {"rms_m", rounded(p->rms_m, kTenthsOfMillimetre)}};
    }
    Json tracks = Json::object();
    for (KeplerSystem system : {KeplerSystem::gps, KeplerSystem::galileo}) {
        for (int sat = 0; sat < BroadcastEphemerides::slots(system); ++sat) {
            const DecimatedSeries<TrackPoint>* track = r.track(system, sat);
            if (track == nullptr)
                continue;
            char name[16];
            std::snprintf(name, sizeof name, "%c%02d", system == KeplerSystem::gps ? 'G' : 'E', sat);
            Json points = Json::array();
            for (const TrackPoint& p : track->values()) {
                const GpsWeekTime w = week_time(p.time);
                points.push_back({w.week, w.seconds, rounded(p.elevation_deg, kMicrodegrees),
                                  rounded(p.azimuth_deg, kMicrodegrees)});
            }
            tracks[name] = std::move(points);
        }
    }
    return Json{{"index", index},
                {"first_epoch", any ? time_value(epochs.first()) : Json(nullptr)},
                {"last_epoch", any ? time_value(epochs.last()) : Json(nullptr)},
                {"interval_s", interval > 0.0 ? Json(interval) : Json(nullptr)},
                {"epochs", r.kept_epochs()},
                {"epochs_expected", expected},
                {"completeness_percent", percent(r.kept_epochs(), expected)},
                {"gaps", std::move(gap_list)},
                {"gaps_total", gaps.total},
                {"longest_gap_s", gaps.longest_s},
                {"satellites", std::move(satellites)},
                {"observations", std::move(observations)},
                {"mean_cn0_dbhz", std::move(strength)},
                {"left_out", r.left_out()},
                {"elevation_mask_deg", settings.positioning.elevation_mask_deg},
                {"satellite_epochs_expected_above_mask", r.expected_above_mask()},
                {"satellite_epochs_tracked_above_mask", r.tracked_above_mask()},
                {"tracked_above_mask_percent", percent(r.tracked_above_mask(), r.expected_above_mask())},
                {"position", std::move(position)},
                {"tracks", std::move(tracks)}};
}

Json imu_value(const ImuQuality& imu) {
    if (!imu.any())
        return nullptr;
    const bool timed = imu.samples().any();
    const GapFinder::Gaps gaps = imu.gaps();
    Json gap_list = gaps_value(gaps);
    for (Json& g : gap_list)
        g["missing_samples"] = g["missing"], g.erase("missing");
    return Json{{"rate_hz", imu.rate_hz()},
                {"first", timed ? time_value(imu.samples().first()) : Json(nullptr)},
                {"last", timed ? time_value(imu.samples().last()) : Json(nullptr)},
                {"samples", imu.samples().count()},
                {"samples_expected", imu.expected()},
                {"completeness_percent", percent(imu.samples().count(), imu.expected())},
                {"untimed_packets", imu.untimed()},
                {"jitter_s", imu.samples().jitter_s()},
                {"gaps", std::move(gap_list)},
                {"gaps_total", gaps.total},
                {"longest_gap_s", gaps.longest_s}};
}

Json damage_value(const DamageLog& damage) {
    Json errors = Json::object();
    for (int r = 0; r < kReceiverCount; ++r)
        errors["gnss" + std::to_string(r)] = damage.errors(r);
    errors["imu"] = damage.errors(DamageLog::kImuSource);
    errors["filter"] = damage.errors(DamageLog::kFilterSource);
    errors["other"] = damage.errors(DamageLog::kOtherSource);
    Json stretches = Json::array();
    for (const DamagedStretch& s : damage.stretches())
        stretches.push_back({{"after", time_value(s.after)},
                             {"before", time_value(s.before)},
                             {"checksum_errors", s.checksum_errors}});
    return Json{{"checksum_errors", std::move(errors)},
                {"checksum_errors_total", damage.total_errors()},
                {"stretches", std::move(stretches)},
                {"stretches_total", damage.total_stretches()}};
}
}  // namespace

std::string QualitySurvey::json_text() const {
    Json receivers = Json::array();
    for (int r = 0; r < kReceiverCount; ++r)
        if (receivers_[static_cast<std::size_t>(r)])
            receivers.push_back(receiver_value(r, *receivers_[static_cast<std::size_t>(r)], settings_));
    const Json document{
        {"receivers", std::move(receivers)}, {"imu", imu_value(imu_)}, {"damage", damage_value(damage_)}};
    return document.dump(1) + "\n";
}
