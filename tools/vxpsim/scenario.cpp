#include "tools/vxpsim/scenario.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>

#include "tools/vxpsim/constellation.h"
#include "tools/vxpsim/imu_model.h"
#include "tools/vxpsim/observables.h"
#include "tools/vxpsim/packets.h"

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
// The first satellite constellation and observation-noise streams are seeded apart from the damage.
constexpr uint64_t kConstellationSeed = 0x9e3779b97f4a7c15ull;

int system_slot(GnssSystem s) {
    return s == GnssSystem::gps ? 0 : s == GnssSystem::glonass ? 1 : 2;
}

int64_t seconds_to_nanos(double s) {
    return std::llround(s * 1e9);
}

struct SatelliteTrack {
    bool tracked = false;
    double ambiguity[kMaxSignals] = {0.0, 0.0};
    int64_t last_issue = LLONG_MIN;
};

struct ReceiverRun {
    int index = 0;
    uint8_t set = 0;
    ReceiverModel before, after;  // `after`: receiver 2 after its site change
    int64_t site_change_ns = LLONG_MAX;
    std::vector<SatelliteTrack> satellites;
    ReceiverTruth* truth = nullptr;
    const ReceiverModel& model(int64_t rel_ns) const { return rel_ns >= site_change_ns ? after : before; }
};

enum class StreamKind { commands, imu, filter, epoch, ephemeris, aux, base };

struct Stream {
    StreamKind kind;
    int receiver;  // position in runs_, -1 for the others
    double period_s;
    int64_t k = 0;
    int64_t next_ns = 0;
};

class Simulation {
  public:
    Simulation(const SimOptions& o, RunTruth& truth)
        : o_(o), truth_(truth), output_(o.damage), rng_(o.seed) {}
    bool run(std::string& error);

  private:
    void setup();
    int64_t event_time(const Stream& s) const;
    void emit(Stream& s);
    void emit_epoch(ReceiverRun& r, int64_t rel_ns, int64_t k);
    void emit_ephemerides(ReceiverRun& r, int64_t rel_ns);
    void emit_base(ReceiverRun& r, int64_t rel_ns);
    void emit_imu(int64_t rel_ns, int64_t k);
    void emit_filter(int64_t rel_ns);
    void record_damage();

    WeekTime tag_time(int64_t rel_ns) const { return week_time(first_week_, start_ns_ + rel_ns); }
    double model_time(int64_t rel_ns) const { return model_seconds(start_ns_ + rel_ns); }
    double gauss(double sigma) { return sigma > 0.0 ? sigma * normal_(rng_) : 0.0; }
    const Trajectory& vehicle() const { return vehicle_->trajectory; }

    const SimOptions& o_;
    RunTruth& truth_;
    LogOutput output_;
    std::mt19937_64 rng_;
    std::normal_distribution<double> normal_{0.0, 1.0};
    int first_week_ = 0;
    int64_t start_ns_ = 0;  // start of the run from the start of first_week_
    int64_t end_ns_ = 0;    // duration
    std::vector<Satellite> sky_;
    std::vector<ReceiverRun> runs_;
    const ReceiverModel* vehicle_ = nullptr;
    std::vector<Stream> streams_;
    std::vector<RawObservation> observations_;
    std::vector<GlonassEphemeris> glonass_;
};

void Simulation::setup() {
    const WeekTime start = gps_calendar_to_week_time(o_.start);
    first_week_ = start.week;
    start_ns_ = seconds_to_nanos(start.tow);
    end_ns_ = seconds_to_nanos(o_.duration_s);
    truth_.start = {start.week, model_time(0)};
    truth_.duration_s = o_.duration_s;
    const double t0 = model_time(0);

    ConstellationConfig sky;
    sky.gps = o_.gps;
    sky.glonass = o_.glonass;
    sky.galileo = o_.galileo;
    sky.beidou = o_.beidou;
    // GLONASS tracks cover the run plus the light time and the Doppler's difference step.
    sky.t_begin = t0 - 1.0;
    sky.t_end = t0 + o_.duration_s + 1.0;
    sky.leap_seconds = o_.leap_seconds;
    sky.seed = o_.seed ^ kConstellationSeed;
    sky_ = build_constellation(sky);

    truth_.receivers.reserve(kReceiverSlots);
    for (int i = 0; i < kReceiverSlots; ++i) {
        const ReceiverOptions& ro = o_.receivers[static_cast<std::size_t>(i)];
        if (!ro.enabled)
            continue;
        ReceiverRun r;
        r.index = i;
        r.set = static_cast<uint8_t>(i == 0 && o_.legacy_set ? VXP_SET_GNSS_LEGACY : VXP_SET_GNSS_FIRST + i);
        r.before = {Trajectory(ro.trajectory), ro.clock, t0};
        r.after = r.before;
        r.satellites.assign(sky_.size(), {});
        truth_.receivers.push_back({});
        ReceiverTruth& rt = truth_.receivers.back();
        rt.index = i;
        rt.descriptor_set = r.set;
        rt.trajectory = ro.trajectory;
        rt.clock = ro.clock;
        if (r.set == VXP_SET_GNSS_BASE) {
            auto site = [&](const ReceiverModel& m, int64_t from_ns, uint16_t id) {
                SiteTruth s;
                s.from = tag_time(from_ns);
                s.station_id = id;
                s.antenna = m.trajectory.position(0.0);
                s.antenna_height = o_.antenna_height_m;
                s.marker = s.antenna - m.trajectory.frame().up * o_.antenna_height_m;
                rt.sites.push_back(s);
            };
            site(r.before, 0, o_.station_id);
            if (o_.site_change_s >= 0.0 && o_.site_change_s < o_.duration_s) {
                r.site_change_ns = seconds_to_nanos(o_.site_change_s);
                const Trajectory& old = r.before.trajectory;
                TrajectoryConfig moved = ro.trajectory;
                const Geodetic g = ecef_to_geodetic(geodetic_to_ecef(old.centre()) +
                                                    old.frame().east * o_.site_change_east_m);
                moved.latitude_deg = g.latitude_rad / kDegToRad;
                moved.longitude_deg = g.longitude_rad / kDegToRad;
                moved.height_m = g.height_m;
                r.after = {Trajectory(moved), ro.clock, t0};
                site(r.after, r.site_change_ns, static_cast<uint16_t>(o_.station_id + 1));
            }
        }
        runs_.push_back(std::move(r));
    }
    for (std::size_t i = 0; i < runs_.size(); ++i)
        runs_[i].truth = &truth_.receivers[i];
    // The inertial sensor rides with receiver 0, else with the first receiver of the run.
    vehicle_ = runs_.empty() ? nullptr : &runs_.front().before;

    streams_.push_back({StreamKind::commands, -1, o_.command_interval_s});
    if (o_.imu_rate_hz > 0.0 && vehicle_ != nullptr)
        streams_.push_back({StreamKind::imu, -1, 1.0 / o_.imu_rate_hz});
    if (o_.filter_rate_hz > 0.0 && vehicle_ != nullptr)
        streams_.push_back({StreamKind::filter, -1, 1.0 / o_.filter_rate_hz});
    for (int i = 0; i < static_cast<int>(runs_.size()); ++i) {
        streams_.push_back({StreamKind::epoch, i, 1.0 / o_.obs_rate_hz});
        streams_.push_back({StreamKind::ephemeris, i, o_.ephemeris_interval_s});
        streams_.push_back({StreamKind::aux, i, o_.aux_interval_s});
        if (runs_[static_cast<std::size_t>(i)].set == VXP_SET_GNSS_BASE)
            streams_.push_back({StreamKind::base, i, o_.base_interval_s});
    }
    truth_.imu.rate_hz = o_.imu_rate_hz;
}

int64_t Simulation::event_time(const Stream& s) const {
    if (s.kind == StreamKind::commands && s.period_s <= 0.0)
        return s.k == 0 ? 0 : LLONG_MAX;
    return std::llround(static_cast<double>(s.k) * s.period_s * 1e9);
}

bool Simulation::run(std::string& error) {
    setup();
    if (!output_.open(o_.output)) {
        error = "cannot create " + o_.output;
        return false;
    }
    for (Stream& s : streams_)
        s.next_ns = event_time(s);
    for (;;) {
        Stream* next = nullptr;
        for (Stream& s : streams_)
            if (s.next_ns < end_ns_ && (next == nullptr || s.next_ns < next->next_ns))
                next = &s;
        if (next == nullptr)
            break;
        emit(*next);
        ++next->k;
        next->next_ns = event_time(*next);
    }
    if (!output_.close()) {
        error = "cannot write " + o_.output;
        return false;
    }
    record_damage();
    return true;
}

void Simulation::emit(Stream& s) {
    const int64_t t = s.next_ns;
    switch (s.kind) {
        case StreamKind::commands:
            write_command_exchange(output_, static_cast<int>(s.k),
                                   {PacketKind::command, -1, s.k, tag_time(t).tow}, truth_.command_packets);
            break;
        case StreamKind::imu:
            emit_imu(t, s.k);
            break;
        case StreamKind::filter:
            emit_filter(t);
            break;
        case StreamKind::epoch:
            emit_epoch(runs_[static_cast<std::size_t>(s.receiver)], t, s.k);
            break;
        case StreamKind::ephemeris:
            emit_ephemerides(runs_[static_cast<std::size_t>(s.receiver)], t);
            break;
        case StreamKind::aux: {
            ReceiverRun& r = runs_[static_cast<std::size_t>(s.receiver)];
            const WeekTime w = tag_time(t);
            write_aux_packet(output_, r.set, make_timestamp(w), o_.leap_seconds,
                             {PacketKind::gnss_aux, r.index, -1, w.tow});
            ++r.truth->packets;
            break;
        }
        case StreamKind::base:
            emit_base(runs_[static_cast<std::size_t>(s.receiver)], t);
            break;
    }
}

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

void Simulation::emit_imu(int64_t rel_ns, int64_t k) {
    const WeekTime w = tag_time(rel_ns);
    const ImuTruth imu = imu_truth(vehicle(), model_seconds(rel_ns));
    const double dt = 1.0 / o_.imu_rate_hz;
    const Vec3 rate{imu.angular_rate.x + gauss(o_.gyro_noise), imu.angular_rate.y + gauss(o_.gyro_noise),
                    imu.angular_rate.z + gauss(o_.gyro_noise)};
    const Vec3 force = imu.specific_force * (1.0 / kStandardGravity) +
                       Vec3{gauss(o_.accel_noise), gauss(o_.accel_noise), gauss(o_.accel_noise)};
    auto single = [](const Vec3& v) {
        return SensorVector{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
    };
    const SensorVector angular = single(rate * dt), linear = single(force * dt);
    const SensorVector rate_f = single(rate), force_f = single(force);
    write_imu_packet(output_, o_.imu_time, o_.imu_data, make_timestamp(w), angular, linear, rate_f, force_f,
                     {PacketKind::imu, -1, k, w.tow});
    ImuSummary& s = truth_.imu;
    if (s.samples == 0) {
        s.first = w;
        const bool delta = o_.imu_data != ImuData::scaled;
        const SensorVector& a = delta ? angular : rate_f;
        const SensorVector& l = delta ? linear : force_f;
        s.first_angular[0] = a.x, s.first_angular[1] = a.y, s.first_angular[2] = a.z;
        s.first_linear[0] = l.x, s.first_linear[1] = l.y, s.first_linear[2] = l.z;
    }
    s.last = w;
    ++s.samples;
}

void Simulation::emit_filter(int64_t rel_ns) {
    const WeekTime w = tag_time(rel_ns);
    const double t = model_seconds(rel_ns);
    const Trajectory& traj = vehicle();
    const Geodetic g = ecef_to_geodetic(traj.position(t));
    const Vec3 v = traj.velocity_enu(t);
    FilterSolution f;
    f.latitude_deg = g.latitude_rad / kDegToRad;
    f.longitude_deg = g.longitude_rad / kDegToRad;
    f.height_m = g.height_m;
    f.velocity_ned[0] = static_cast<float>(v.y);
    f.velocity_ned[1] = static_cast<float>(v.x);
    f.velocity_ned[2] = static_cast<float>(-v.z);
    f.attitude_rad[2] = static_cast<float>(traj.heading(t));
    write_filter_packet(output_, o_.filter_time, make_timestamp(w), f, {PacketKind::filter, -1, -1, w.tow});
    ++truth_.filter_packets;
}

void Simulation::record_damage() {
    truth_.packets = output_.packet_count();
    truth_.bytes = output_.byte_count();
    truth_.garbage_blocks = output_.garbage_blocks();
    truth_.garbage_bytes = output_.garbage_bytes();
    truth_.truncated_bytes = output_.truncated_bytes();
    truth_.damaged = output_.damaged();
    for (const DamagedPacket& p : truth_.damaged) {
        if (p.tag.kind == PacketKind::imu)
            ++truth_.imu.damaged;
        if (p.tag.kind != PacketKind::gnss_observations)
            continue;
        for (ReceiverTruth& rt : truth_.receivers) {
            if (rt.index != p.tag.receiver)
                continue;
            EpochTruth& e = rt.epochs[static_cast<std::size_t>(p.tag.item)];
            if (!e.damaged)
                ++rt.damaged_epochs;
            e.damaged = true;
        }
    }
}
}  // namespace

bool run_simulation(const SimOptions& options, RunTruth& truth, std::string& error) {
    Simulation sim(options, truth);
    return sim.run(error);
}
