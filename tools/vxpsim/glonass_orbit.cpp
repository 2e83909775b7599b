#include "tools/vxpsim/glonass_orbit.h"

#include <cmath>

#include "tools/vxpsim/sim_time.h"

Vec3 glonass_acceleration(const GlonassState& s, const Vec3& luni_solar) {
    const Vec3& p = s.position;
    const Vec3& v = s.velocity;
    const double r2 = p.dot(p);
    const double r3 = r2 * std::sqrt(r2);
    const double j2 = 1.5 * kGlonassJ2 * kGlonassMu * kGlonassEarthRadius * kGlonassEarthRadius / (r2 * r3);
    const double b = 5.0 * p.z * p.z / r2;
    const double c = -kGlonassMu / r3 - j2 * (1.0 - b);
    const double w2 = kGlonassEarthRotation * kGlonassEarthRotation;
    return {(c + w2) * p.x + 2.0 * kGlonassEarthRotation * v.y + luni_solar.x,
            (c + w2) * p.y - 2.0 * kGlonassEarthRotation * v.x + luni_solar.y,
            (c - 2.0 * j2) * p.z + luni_solar.z};
}

namespace {
GlonassState rk4_step(const GlonassState& s, const Vec3& acc, double h) {
    auto derivative = [&](const GlonassState& x) {
        return GlonassState{x.velocity, glonass_acceleration(x, acc)};
    };
    auto advance = [](const GlonassState& x, const GlonassState& d, double k) {
        return GlonassState{x.position + d.position * k, x.velocity + d.velocity * k};
    };
    const GlonassState k1 = derivative(s);
    const GlonassState k2 = derivative(advance(s, k1, h / 2));
    const GlonassState k3 = derivative(advance(s, k2, h / 2));
    const GlonassState k4 = derivative(advance(s, k3, h));
    return {s.position + (k1.position + k2.position * 2.0 + k3.position * 2.0 + k4.position) * (h / 6),
            s.velocity + (k1.velocity + k2.velocity * 2.0 + k3.velocity * 2.0 + k4.velocity) * (h / 6)};
}

// The luni-solar acceleration of a segment: small multiples of the broadcast resolution that change
// slowly from one segment to the next, as the Sun and Moon move.
Vec3 luni_solar_for(int slot, int segment) {
    auto component = [&](int axis) {
        const double units = std::round(2.5 * std::sin(0.2 * segment + 1.7 * slot + 2.1 * axis));
        return units * kGlonassAccelerationUnit;
    };
    return {component(0), component(1), component(2)};
}

constexpr int kBoundaryIterations = 3;

Vec3 float_vector(const Vec3& v) {
    return {to_float_precision(v.x), to_float_precision(v.y), to_float_precision(v.z)};
}
}  // namespace

GlonassState glonass_integrate(GlonassState s, const Vec3& acc, double dt, double max_step) {
    const int steps = static_cast<int>(std::ceil(std::fabs(dt) / max_step - 1e-9));
    if (steps == 0)
        return s;
    const double h = dt / steps;
    for (int i = 0; i < steps; ++i)
        s = rk4_step(s, acc, h);
    return s;
}

GlonassState glonass_broadcast_state(const GlonassEphemeris& eph, double dt, double max_step) {
    const GlonassState s{{eph.x, eph.y, eph.z}, {eph.vx, eph.vy, eph.vz}};
    return glonass_integrate(s, {eph.ax, eph.ay, eph.az}, dt, max_step);
}

GlonassTrack::GlonassTrack(const GlonassState& initial, double origin, double t_begin, double t_end, int slot,
                           double clock_offset, double clock_rate)
    : origin_(origin), t_begin_(t_begin), clock_offset_(clock_offset), clock_rate_(clock_rate) {
    first_index_ =
        static_cast<int>(std::floor((t_begin - origin + kGlonassHalfInterval) / kGlonassIssueInterval));
    const int last_index =
        static_cast<int>(std::floor((t_end - origin + kGlonassHalfInterval) / kGlonassIssueInterval));
    Segment seg;
    seg.t_ref = origin + first_index_ * kGlonassIssueInterval;
    seg.state = {initial.position, float_vector(initial.velocity)};
    seg.luni_solar = luni_solar_for(slot, first_index_);
    for (int j = first_index_;; ++j) {
        fill_nodes(seg);
        segments_.push_back(seg);
        if (j == last_index)
            break;
        // The next segment continues from this one's end, with its own luni-solar term.
        const GlonassState boundary = seg.nodes.back();
        Segment next;
        next.t_ref = seg.t_ref + kGlonassIssueInterval;
        next.luni_solar = luni_solar_for(slot, j + 1);
        const GlonassState exact =
            glonass_integrate(boundary, next.luni_solar, kGlonassHalfInterval, kIntegrationStep);
        const Vec3 rounded = float_vector(exact.velocity);
        next.state = {exact.position + (rounded - exact.velocity) * kGlonassHalfInterval, rounded};
        // The shift above is the first-order answer; a few corrections by the remaining miss at the
        // boundary bring it below a micrometre (the map is close to the identity).
        for (int i = 0; i < kBoundaryIterations; ++i) {
            const GlonassState back =
                glonass_integrate(next.state, next.luni_solar, -kGlonassHalfInterval, kIntegrationStep);
            next.state.position = next.state.position - (back.position - boundary.position);
        }
        seg = next;
    }
}

void GlonassTrack::fill_nodes(Segment& s) const {
    const int half = static_cast<int>(kGlonassHalfInterval / kNodeStep);
    s.nodes.assign(2 * half + 1, {});
    s.nodes[half] = s.state;
    for (int k = 1; k <= half; ++k) {
        s.nodes[half + k] =
            glonass_integrate(s.nodes[half + k - 1], s.luni_solar, kNodeStep, kIntegrationStep);
        s.nodes[half - k] =
            glonass_integrate(s.nodes[half - k + 1], s.luni_solar, -kNodeStep, kIntegrationStep);
    }
}

double GlonassTrack::reference_time(double origin, double t) {
    return origin +
           std::floor((t - origin + kGlonassHalfInterval) / kGlonassIssueInterval) * kGlonassIssueInterval;
}

int GlonassTrack::segment_index(double t) const {
    const int j = static_cast<int>(std::floor((t - origin_ + kGlonassHalfInterval) / kGlonassIssueInterval));
    const int last = first_index_ + static_cast<int>(segments_.size()) - 1;
    return (j < first_index_ ? first_index_ : j > last ? last : j) - first_index_;
}

const GlonassTrack::Segment& GlonassTrack::segment_at(double t) const {
    return segments_[segment_index(t)];
}

Vec3 GlonassTrack::position(double t) const {
    const Segment& s = segment_at(t);
    const double from_start = t - (s.t_ref - kGlonassHalfInterval);
    int k = static_cast<int>(std::floor(from_start / kNodeStep));
    const int last = static_cast<int>(s.nodes.size()) - 2;
    k = k < 0 ? 0 : k > last ? last : k;
    // Cubic Hermite interpolation between the two nodes around t (error far below a millimetre).
    const double h = kNodeStep;
    const double u = (from_start - k * h) / h;
    const double u2 = u * u, u3 = u2 * u;
    const GlonassState& a = s.nodes[k];
    const GlonassState& b = s.nodes[k + 1];
    return a.position * (2 * u3 - 3 * u2 + 1) + a.velocity * ((u3 - 2 * u2 + u) * h) +
           b.position * (-2 * u3 + 3 * u2) + b.velocity * ((u3 - u2) * h);
}

GlonassEphemeris make_glonass_ephemeris(const GlonassTrack& track, const GlonassTrack::Segment& seg,
                                        double leap_seconds) {
    GlonassEphemeris eph{};
    eph.x = seg.state.position.x;
    eph.y = seg.state.position.y;
    eph.z = seg.state.position.z;
    eph.vx = static_cast<float>(seg.state.velocity.x);
    eph.vy = static_cast<float>(seg.state.velocity.y);
    eph.vz = static_cast<float>(seg.state.velocity.z);
    eph.ax = static_cast<float>(seg.luni_solar.x);
    eph.ay = static_cast<float>(seg.luni_solar.y);
    eph.az = static_cast<float>(seg.luni_solar.z);
    // Satellite clock = -tau_n + gamma (t - tb), relative to the system time.
    eph.tau_n = -track.clock(seg.t_ref);
    eph.gamma = track.clock_rate();
    // tb: the reference time in Moscow time of day; model seconds count from a GPS midnight.
    const int64_t utc = static_cast<int64_t>(std::llround(seg.t_ref - leap_seconds));
    const int64_t moscow = ((utc + kMoscowOffsetSeconds) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    eph.tb = static_cast<uint32_t>(moscow);
    return eph;
}
