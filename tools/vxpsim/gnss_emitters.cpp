// The GNSS output of the simulated receivers: observation epochs, broadcast ephemerides and
// base-station information.
#include <algorithm>
#include <cmath>

#include "tools/vxpsim/packets.h"
#include "tools/vxpsim/simulation.h"

namespace {
// Broadcast ephemeris issues. GPS: a new issue every two hours, its reference time at the centre of
// the span in which it is broadcast. Galileo: an issue every half hour, broadcast from a while after its
// reference time on (a receiver takes no Galileo ephemeris whose reference time is still ahead).
constexpr double kGpsIssueInterval = 7200.0;
constexpr double kGalileoIssueInterval = 1800.0;
constexpr double kGalileoIssueDelay = 120.0;
// Range of the carrier phase's integer ambiguity at lock, cycles.
constexpr int64_t kAmbiguitySpan = 2000000;
// GLONASS frame time tk counts 30-second frames.
constexpr int64_t kGlonassFrameSeconds = 30;

int system_slot(GnssSystem s) {
    return s == GnssSystem::gps ? 0 : s == GnssSystem::glonass ? 1 : 2;
}
}  // namespace

namespace sim_detail {

void Simulation::emit_epoch(ReceiverRun& r, int64_t rel_ns, int64_t k) {
    const WeekTime tag = tag_time(rel_ns);
    const ReceiverModel& m = r.model(rel_ns);
    const double t = m.true_time(model_time(rel_ns));
    const Vec3 antenna = m.position_at(t);
    const double mask = o_.elevation_mask_deg * kDegToRad;
    observations_.clear();
    int satellites = 0;
    for (std::size_t i = 0; i < sky_.size(); ++i) {
        const Satellite& sat = sky_[i];
        SatelliteTrack& track = r.satellites[i];
        const LineOfSight los = line_of_sight(sat, t, antenna, m.trajectory.frame());
        if (los.elevation < mask) {
            track.tracked = false;
            continue;
        }
        const SatelliteObservation o = observe(sat, m, t, o_.dual_frequency);
        if (!track.tracked) {
            // A new lock: the phase starts near the pseudorange plus an arbitrary whole number of cycles.
            track.tracked = true;
            for (int s = 0; s < o.signal_count; ++s)
                track.ambiguity[s] = static_cast<double>(
                    std::uniform_int_distribution<int64_t>(-kAmbiguitySpan, kAmbiguitySpan)(rng_));
        }
        ++satellites;
        const double snr = 28.0 + 22.0 * std::sin(o.elevation);
        for (int s = 0; s < o.signal_count; ++s) {
            const SignalObservation& so = o.signals[static_cast<std::size_t>(s)];
            RawObservation rec{};
            rec.time_of_week = tag.tow;
            rec.week_number = static_cast<uint16_t>(tag.week);
            rec.spare_14 = static_cast<uint8_t>(i);  // tracking channel
            rec.gnss_id = static_cast<uint8_t>(sat.system);
            rec.satellite_id = sat.id;
            rec.signal_id = so.signal_id;
            rec.signal_strength = static_cast<float>(std::clamp(snr - 3.0 * s + gauss(0.7), 15.0, 55.0));
            rec.pseudorange = so.pseudorange + gauss(o_.pseudorange_noise_m);
            rec.carrier_phase =
                so.carrier_phase + track.ambiguity[s] + gauss(o_.phase_noise_m) / so.wavelength;
            rec.doppler = static_cast<float>(so.doppler + gauss(o_.doppler_noise_hz));
            rec.spare_43 = static_cast<float>(o_.pseudorange_noise_m);
            rec.spare_47 = static_cast<float>(o_.phase_noise_m / so.wavelength);
            rec.spare_51 = static_cast<float>(o_.doppler_noise_hz);
            rec.valid_flags = kValidFlags;
            observations_.push_back(rec);
        }
    }

    const GpsTimestamp ts = make_timestamp(tag);
    const Geodetic g = ecef_to_geodetic(antenna);
    ReceiverStatus status;
    status.latitude_deg = g.latitude_rad / kDegToRad;
    status.longitude_deg = g.longitude_rad / kDegToRad;
    status.height_m = g.height_m;
    status.ecef[0] = antenna.x;
    status.ecef[1] = antenna.y;
    status.ecef[2] = antenna.z;
    const Vec3 v = m.trajectory.velocity_enu(t - m.start);
    const LocalFrame& f = m.trajectory.frame();
    const Vec3 ve = f.east * v.x + f.north * v.y + f.up * v.z;
    status.velocity_ned[0] = v.y;
    status.velocity_ned[1] = v.x;
    status.velocity_ned[2] = -v.z;
    status.velocity_ecef[0] = ve.x;
    status.velocity_ecef[1] = ve.y;
    status.velocity_ecef[2] = ve.z;
    status.clock_bias_s = m.clock_at(t);
    status.clock_drift = m.clock.drift;
    status.satellites = satellites;
    status.utc = week_time_to_gps_calendar({tag.week, tag.tow - o_.leap_seconds});
    write_status_packets(output_, r.set, ts, status, {PacketKind::gnss_status, r.index, k, tag.tow});
    write_observation_packets(output_, r.set, ts, observations_.data(), observations_.size(),
                              {PacketKind::gnss_observations, r.index, k, tag.tow});
    const uint64_t packets = 2 + (observations_.size() + kObservationsPerPacket - 1) / kObservationsPerPacket;
    r.truth->packets += packets;
    r.truth->observations += observations_.size();
    // Every epoch is kept (damage is traced to epochs); the truth file lists them on request.
    EpochTruth e;
    e.time = tag;
    e.position = antenna;
    e.satellites = static_cast<uint16_t>(satellites);
    e.observations = static_cast<uint16_t>(observations_.size());
    r.truth->epochs.push_back(e);
}

void Simulation::emit_ephemerides(ReceiverRun& r, int64_t rel_ns) {
    const WeekTime stamp = tag_time(rel_ns);
    const GpsTimestamp ts = make_timestamp(stamp);
    const double t = model_time(rel_ns);
    const ReceiverModel& m = r.model(rel_ns);
    const Vec3 antenna = m.position_at(t);
    const PacketTag tag{PacketKind::gnss_ephemeris, r.index, -1, stamp.tow};
    glonass_.clear();
    auto duplicate = [&] {
        return o_.ephemeris_duplicate_fraction > 0.0 &&
               std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < o_.ephemeris_duplicate_fraction;
    };
    for (std::size_t i = 0; i < sky_.size(); ++i) {
        const Satellite& sat = sky_[i];
        if (sat.system == GnssSystem::beidou)
            continue;  // observed, but no ephemerides
        // The receiver decodes the ephemerides of every satellite above its horizon.
        if (elevation_angle(antenna, m.trajectory.frame(), sat.at(t).position) < 0.0)
            continue;
        SatelliteTrack& track = r.satellites[i];
        const int slot = system_slot(sat.system);
        int64_t issue = 0;
        if (sat.system == GnssSystem::glonass) {
            const int index = sat.glonass->segment_index(t);
            const GlonassTrack::Segment& seg = sat.glonass->segments()[static_cast<std::size_t>(index)];
            issue = index;
            GlonassEphemeris eph = make_glonass_ephemeris(*sat.glonass, seg, o_.leap_seconds);
            eph.time_of_week = stamp.tow;
            eph.week_number = static_cast<uint16_t>(stamp.week);
            eph.satellite_id = sat.id;
            eph.frequency_number = sat.channel;
            const int64_t utc = static_cast<int64_t>(std::floor(t - o_.leap_seconds));
            const int64_t moscow =
                ((utc + kMoscowOffsetSeconds) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
            eph.tk = static_cast<uint32_t>(moscow / kGlonassFrameSeconds * kGlonassFrameSeconds);
            eph.valid_flags = kValidFlags;
            glonass_.push_back(eph);
            if (duplicate())
                glonass_.push_back(eph);
            auto& slots = r.truth->glonass_slots;
            const std::pair<int, int> entry{sat.id, sat.channel};
            if (std::find(slots.begin(), slots.end(), entry) == slots.end()) {
                slots.push_back(entry);
                std::sort(slots.begin(), slots.end());
            }
        } else {
            const double interval = sat.system == GnssSystem::gps ? kGpsIssueInterval : kGalileoIssueInterval;
            const double toe = sat.system == GnssSystem::gps
                                   ? std::round(t / interval) * interval
                                   : std::floor((t - kGalileoIssueDelay) / interval) * interval;
            issue = std::llround(toe / interval);
            GpsEphemeris eph = make_broadcast_ephemeris(sat.orbit, sat.clock, toe, first_week_);
            eph.time_of_week = stamp.tow;
            eph.satellite_id = sat.id;
            eph.health = 0;
            eph.iode = static_cast<uint8_t>(issue & 0xFF);
            eph.iodc = eph.iode;
            eph.valid_flags = kValidFlags;
            const uint8_t field = sat.system == GnssSystem::gps ? VXP_GNSS_FIELD_GPS_EPHEMERIS
                                                                : VXP_GNSS_FIELD_GALILEO_EPHEMERIS;
            const int copies = duplicate() ? 2 : 1;
            for (int c = 0; c < copies; ++c)
                write_kepler_ephemeris(output_, r.set, field, ts, eph, tag);
            r.truth->packets += static_cast<uint64_t>(copies);
            r.truth->ephemeris_fields[static_cast<std::size_t>(slot)] += static_cast<uint64_t>(copies);
        }
        if (issue != track.last_issue) {
            track.last_issue = issue;
            ++r.truth->distinct_ephemerides[static_cast<std::size_t>(slot)];
        }
    }
    if (!glonass_.empty()) {
        write_glonass_ephemerides(output_, r.set, ts, glonass_.data(), glonass_.size(), tag);
        r.truth->packets +=
            (glonass_.size() + kGlonassEphemeridesPerPacket - 1) / kGlonassEphemeridesPerPacket;
        r.truth->ephemeris_fields[1] += glonass_.size();
    }
}

void Simulation::emit_base(ReceiverRun& r, int64_t rel_ns) {
    const WeekTime w = tag_time(rel_ns);
    const SiteTruth& site = r.truth->sites[rel_ns >= r.site_change_ns ? 1 : 0];
    BaseStationInfo info{};
    info.time_of_week = w.tow;
    info.week_number = static_cast<uint16_t>(w.week);
    info.ecef_x = site.marker.x;
    info.ecef_y = site.marker.y;
    info.ecef_z = site.marker.z;
    info.antenna_height = static_cast<float>(site.antenna_height);
    info.station_id = site.station_id;
    info.valid_flags = kValidFlags;
    write_base_packet(output_, r.set, make_timestamp(w), info, {PacketKind::gnss_base, r.index, -1, w.tow});
    ++r.truth->packets;
}

}  // namespace sim_detail
