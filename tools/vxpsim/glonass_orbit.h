// GLONASS satellite orbits: the equations of motion of the GLONASS interface document (central field
// with J2 in the rotating PZ-90 frame, plus a constant luni-solar acceleration), RK4 integration, the
// truth track of one satellite as 30-minute segments around the ephemeris reference times, and the
// broadcast state-vector record of each segment.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/vxpsim/vec3.h"
#include "vxp/records/gnss_records.h"

inline constexpr double kGlonassMu = 3.986004418e14;  // m^3/s^2
inline constexpr double kGlonassJ2 = 1.08262575e-3;
inline constexpr double kGlonassEarthRadius = 6378136.0;      // m
inline constexpr double kGlonassEarthRotation = 7.292115e-5;  // rad/s
// Broadcast ephemerides are issued every 30 minutes and used for +-15 minutes around their time.
inline constexpr double kGlonassIssueInterval = 1800.0;
inline constexpr double kGlonassHalfInterval = 900.0;
// Resolution of the broadcast luni-solar acceleration: 2^-30 km/s^2.
inline constexpr double kGlonassAccelerationUnit = 1000.0 / 1073741824.0;

struct GlonassState {
    Vec3 position;  // ECEF, m
    Vec3 velocity;  // ECEF (rotating frame), m/s
};

// Acceleration of the equations of motion at a state, with the constant luni-solar term added.
Vec3 glonass_acceleration(const GlonassState& s, const Vec3& luni_solar);

// Integrates over dt seconds (either sign) with classical RK4 steps of at most max_step.
GlonassState glonass_integrate(GlonassState s, const Vec3& luni_solar, double dt, double max_step);

// The receiver's propagation of a broadcast record: its state at tb integrated over dt seconds.
GlonassState glonass_broadcast_state(const GlonassEphemeris& eph, double dt, double max_step);

// Truth orbit and clock of one GLONASS satellite over a run. Segment j has its reference time
// T_j = origin + j * 1800 s (model seconds) and covers [T_j - 900, T_j + 900). Each segment starts from
// the state that its broadcast record carries (velocity and acceleration representable as the record's
// single-precision values), and the segments join without a position step: the reference position
// absorbs the rounding of the velocity, so the track is continuous to well below a millimetre.
class GlonassTrack {
  public:
    struct Segment {
        double t_ref = 0.0;
        GlonassState state;
        Vec3 luni_solar;
        std::vector<GlonassState> nodes;  // every kNodeStep from t_ref - 900 to t_ref + 900
    };

    // initial: the state at the reference time of the segment holding `t_begin`. slot: seeds the
    // luni-solar accelerations. Clock offset from GPS time: clock_offset + clock_rate * (t - t_begin).
    GlonassTrack(const GlonassState& initial, double origin, double t_begin, double t_end, int slot,
                 double clock_offset, double clock_rate);

    // Truth position (ECEF) and clock (satellite minus GPS time, s) at model time t.
    Vec3 position(double t) const;
    double clock(double t) const { return clock_offset_ + clock_rate_ * (t - t_begin_); }
    const Segment& segment_at(double t) const;
    int segment_index(double t) const;
    const std::vector<Segment>& segments() const { return segments_; }
    double clock_rate() const { return clock_rate_; }

    // Reference time of the segment that holds model time t.
    static double reference_time(double origin, double t);

    static constexpr double kNodeStep = 30.0;
    static constexpr double kIntegrationStep = 10.0;

  private:
    void fill_nodes(Segment& s) const;

    double origin_;
    int first_index_;
    double t_begin_;
    double clock_offset_, clock_rate_;
    std::vector<Segment> segments_;
};

// The broadcast record of segment `seg` of a track (state, luni-solar term, tau_n and gamma, tb in
// Moscow time). The caller fills slot, frequency number, tk, the time stamp and valid_flags.
GlonassEphemeris make_glonass_ephemeris(const GlonassTrack& track, const GlonassTrack::Segment& seg,
                                        double leap_seconds);

// Rounds a value to the nearest float, as the record stores it. The volatile store keeps the rounding:
// g++ 12's loop vectorizer at -O2 was seen to drop a plain double-float-double round trip.
inline double to_float_precision(double v) {
    volatile float rounded = static_cast<float>(v);
    return static_cast<double>(rounded);
}
