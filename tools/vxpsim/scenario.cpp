#include "tools/vxpsim/scenario.h"

#include <cmath>

#include "tools/vxpsim/packets.h"
#include "tools/vxpsim/simulation.h"

namespace {
// The first satellite constellation and observation-noise streams are seeded apart from the damage.
constexpr uint64_t kConstellationSeed = 0x9e3779b97f4a7c15ull;

int64_t seconds_to_nanos(double s) {
    return std::llround(s * 1e9);
}
}  // namespace

namespace sim_detail {

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

}  // namespace sim_detail

bool run_simulation(const SimOptions& options, RunTruth& truth, std::string& error) {
    sim_detail::Simulation sim(options, truth);
    return sim.run(error);
}
