#include "quality/receiver_quality.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "quality/signal_names.h"
#include "store/gps_time_window.h"

namespace {
// VXP constellation identifiers of the systems positioned from Kepler records.
constexpr uint8_t kGpsConstellation = 1;
constexpr uint8_t kGalileoConstellation = 3;
// The code ranges travel, roughly, before they reach the receiver: enough to place a satellite in
// the sky.
constexpr double kTypicalTravelS = 0.075;

std::optional<KeplerSystem> kepler_system(uint8_t constellation) {
    if (constellation == kGpsConstellation)
        return KeplerSystem::gps;
    if (constellation == kGalileoConstellation)
        return KeplerSystem::galileo;
    return std::nullopt;
}

int track_slot(KeplerSystem system, int satellite) {
    return system == KeplerSystem::gps ? satellite : kGpsSlots + satellite;
}

// What an epoch held per system of kSeriesSystems: satellites and mean strength per band.
EpochSample sample_of(double t, const RawObservation* observations, std::size_t count) {
    const SignalNames& names = signal_names();
    std::array<std::bitset<256>, kSeriesSystems.size()> seen{};
    std::array<std::array<double, kSeriesBands>, kSeriesSystems.size()> sum{};
    std::array<std::array<int, kSeriesBands>, kSeriesSystems.size()> counted{};
    for (std::size_t i = 0; i < count; ++i) {
        const RawObservation& o = observations[i];
        const auto system = std::find(kSeriesSystems.begin(), kSeriesSystems.end(), names.letter(o.gnss_id));
        if (system == kSeriesSystems.end() || !names.named(o.gnss_id, o.signal_id))
            continue;
        const auto s = static_cast<std::size_t>(system - kSeriesSystems.begin());
        seen[s].set(o.satellite_id);
        const int band = names.band(o.signal_id);
        if (std::isfinite(o.signal_strength) && o.signal_strength > 0.0F && band >= 0 &&
            band < kSeriesBands) {
            sum[s][static_cast<std::size_t>(band)] += o.signal_strength;
            ++counted[s][static_cast<std::size_t>(band)];
        }
    }
    EpochSample sample;
    sample.time = t;
    for (std::size_t s = 0; s < kSeriesSystems.size(); ++s) {
        sample.satellites[s] = static_cast<uint8_t>(std::min<std::size_t>(seen[s].count(), 255));
        for (std::size_t b = 0; b < kSeriesBands; ++b)
            sample.mean_cn0_dbhz[s][b] =
                counted[s][b] > 0 ? static_cast<float>(sum[s][b] / counted[s][b]) : NAN;
    }
    return sample;
}

double median_of(std::vector<double> values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1)
        return upper;
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2.0;
}
}  // namespace

void ReceiverQuality::add(const RawObservation* observations, std::size_t count,
                          const BroadcastEphemerides& ephemerides) {
    if (count == 0)
        return;
    ++kept_epochs_;
    const double t = gps_seconds(observations[0].time_of_week, observations[0].week_number);
    epochs_.add(t);
    if (observations_.empty())
        observations_.assign(256 * 256, 0);
    epoch_samples_.offer([&] { return sample_of(t, observations, count); });
    const SignalNames& names = signal_names();
    for (std::size_t i = 0; i < count; ++i) {
        const RawObservation& o = observations[i];
        if (!names.named(o.gnss_id, o.signal_id)) {
            ++left_out_;
            continue;
        }
        satellites_[o.gnss_id].set(o.satellite_id);
        ++observations_[static_cast<std::size_t>(o.gnss_id) * 256 + o.signal_id];
        const int band = names.band(o.signal_id);
        if (std::isfinite(o.signal_strength) && o.signal_strength > 0.0F && band >= 0 && band < kBands) {
            Strength& s = strength_[o.gnss_id][static_cast<std::size_t>(band)];
            s.sum += o.signal_strength;
            ++s.count;
        }
    }
    if (std::isfinite(t) && t >= next_position_time_) {
        next_position_time_ =
            (std::floor(t / settings_.position_interval_s) + 1.0) * settings_.position_interval_s;
        position(t, observations, count, ephemerides);
    }
}

void ReceiverQuality::position(double t, const RawObservation* observations, std::size_t count,
                               const BroadcastEphemerides& ephemerides) {
    const SignalNames& names = signal_names();
    std::vector<PseudorangeMeasurement> measurements;
    std::array<std::bitset<64>, 2> present{};  // satellites of the epoch: GPS, Galileo
    SkyStrength strength;
    for (auto& system : strength)
        system.fill(NAN);
    for (std::size_t i = 0; i < count; ++i) {
        const RawObservation& o = observations[i];
        const std::optional<KeplerSystem> system = kepler_system(o.gnss_id);
        if (!system || o.satellite_id >= BroadcastEphemerides::slots(*system))
            continue;
        std::bitset<64>& seen = present[*system == KeplerSystem::gps ? 0 : 1];
        // One code range per satellite, on the band the broadcast clock refers to.
        if (seen.test(o.satellite_id) || names.band(o.signal_id) != 1 || !(o.pseudorange > 0.0))
            continue;
        seen.set(o.satellite_id);
        if (std::isfinite(o.signal_strength) && o.signal_strength > 0.0F)
            strength[*system == KeplerSystem::gps ? 0 : 1][o.satellite_id] = o.signal_strength;
        measurements.push_back({*system, ephemerides.usable(*system, o.satellite_id, t), o.pseudorange});
    }
    const PositionFix fix =
        single_point_position(t, measurements, ephemerides.iono(), settings_.positioning, last_fix_);
    if (!fix.valid)
        return;
    last_fix_ = fix.position;
    solutions_.add({t, fix.position});
    survey_sky(t, fix.position, present, strength, ephemerides);
}

void ReceiverQuality::survey_sky(double t, const Ecef& receiver,
                                 const std::array<std::bitset<64>, 2>& present, const SkyStrength& strength,
                                 const BroadcastEphemerides& ephemerides) {
    const Geodetic site = ecef_to_geodetic(receiver);
    const double mask = settings_.positioning.elevation_mask_deg / kDegreesPerRadian;
    for (KeplerSystem system : {KeplerSystem::gps, KeplerSystem::galileo}) {
        for (int sat = 0; sat < BroadcastEphemerides::slots(system); ++sat) {
            const GpsEphemeris* e = ephemerides.usable(system, sat, t);
            if (e == nullptr)
                continue;
            const Ecef p = kepler_satellite(*e, system, t - kTypicalTravelS).position;
            const SkyPosition sky = sky_position(receiver, site, p);
            if (sky.elevation < 0.0)
                continue;
            auto& track = tracks_[static_cast<std::size_t>(track_slot(system, sat))];
            if (!track)
                track = std::make_unique<DecimatedSeries<TrackPoint>>(kMaxTrackPoints);
            track->add({t, static_cast<float>(sky.elevation * kDegreesPerRadian),
                        static_cast<float>(sky.azimuth * kDegreesPerRadian),
                        strength[system == KeplerSystem::gps ? 0 : 1][static_cast<std::size_t>(sat)]});
            if (sky.elevation < mask)
                continue;
            ++expected_above_mask_;
            if (present[system == KeplerSystem::gps ? 0 : 1].test(static_cast<std::size_t>(sat)))
                ++tracked_above_mask_;
        }
    }
}

uint64_t ReceiverQuality::observations(uint8_t constellation, uint8_t signal) const {
    return observations_.empty() ? 0 : observations_[static_cast<std::size_t>(constellation) * 256 + signal];
}

double ReceiverQuality::mean_cn0(uint8_t constellation, int band) const {
    if (band < 0 || band >= kBands)
        return std::numeric_limits<double>::quiet_NaN();
    const Strength& s = strength_[constellation][static_cast<std::size_t>(band)];
    return s.count > 0 ? s.sum / static_cast<double>(s.count) : std::numeric_limits<double>::quiet_NaN();
}

std::optional<MedianPosition> ReceiverQuality::median_position() const {
    const std::vector<TimedFix>& kept = solutions_.values();
    if (kept.empty())
        return std::nullopt;
    std::vector<double> xs, ys, zs;
    for (const TimedFix& fix : kept) {
        xs.push_back(fix.position.x);
        ys.push_back(fix.position.y);
        zs.push_back(fix.position.z);
    }
    MedianPosition m;
    m.position = {median_of(xs), median_of(ys), median_of(zs)};
    m.geodetic = ecef_to_geodetic(m.position);
    m.epochs_used = solutions_.offered();
    double sum = 0.0;
    for (const TimedFix& fix : kept)
        sum += distance(fix.position, m.position) * distance(fix.position, m.position);
    m.rms_m = std::sqrt(sum / static_cast<double>(kept.size()));
    return m;
}

const DecimatedSeries<TrackPoint>* ReceiverQuality::track(KeplerSystem system, int satellite) const {
    if (satellite < 0 || satellite >= BroadcastEphemerides::slots(system))
        return nullptr;
    return tracks_[static_cast<std::size_t>(track_slot(system, satellite))].get();
}
