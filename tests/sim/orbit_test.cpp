// The broadcast ephemerides describe the simulated orbits: the receiver's algorithms applied to the
// records reproduce the truth orbits to millimetres.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/vxpsim/constellation.h"
#include "tools/vxpsim/geodesy.h"
#include "tools/vxpsim/glonass_orbit.h"
#include "tools/vxpsim/kepler_orbit.h"
#include "tools/vxpsim/sim_time.h"

namespace {
constexpr int kFirstWeek = 2304;
constexpr double kMillimetre = 1e-3;
constexpr double kLeapSeconds = 18.0;

std::vector<Satellite> sky(double t_begin, double t_end) {
    ConstellationConfig c;
    c.t_begin = t_begin;
    c.t_end = t_end;
    c.leap_seconds = kLeapSeconds;
    c.seed = 7;
    return build_constellation(c);
}

// Week and time of week of model time t (seconds from the start of kFirstWeek).
void split(double t, int& week, double& tow) {
    const double weeks = std::floor(t / static_cast<double>(kSecondsPerWeek));
    week = kFirstWeek + static_cast<int>(weeks);
    tow = t - weeks * static_cast<double>(kSecondsPerWeek);
}

double largest_kepler_error(const Satellite& sat, double toe, double span) {
    const double mu = sat.orbit.mu;
    const GpsEphemeris eph = make_broadcast_ephemeris(sat.orbit, sat.clock, toe, kFirstWeek);
    double worst = 0.0;
    for (double dt = -span; dt <= span; dt += 300.0) {
        int week = 0;
        double tow = 0.0;
        split(toe + dt, week, tow);
        const OrbitPoint b = broadcast_position(eph, mu, week, tow);
        const OrbitPoint t = kepler_truth(sat.orbit, sat.clock, toe + dt);
        worst = std::max(worst, (b.position - t.position).norm());
        EXPECT_NEAR(b.clock, t.clock, 1e-13) << "satellite " << int(sat.id) << " at " << dt;
    }
    return worst;
}
}  // namespace

TEST(KeplerOrbit, BroadcastRecordReproducesTruthOrbitOfEverySatellite) {
    const double start = 2 * 86400.0 + 43200.0;
    for (const Satellite& sat : sky(start, start + 60.0)) {
        if (sat.glonass)
            continue;
        // Two hours each side of the reference time: a GPS issue's whole fit span.
        EXPECT_LT(largest_kepler_error(sat, start + 7200.0, 7200.0), kMillimetre)
            << "satellite " << int(sat.id);
    }
}

TEST(KeplerOrbit, ReferenceTimesInTheNextWeekCarryTheirWeek) {
    const double toe = static_cast<double>(kSecondsPerWeek) + 3600.0;  // Sunday 01:00 of the next week
    const std::vector<Satellite> s = sky(toe - 7200.0, toe);
    const GpsEphemeris eph = make_broadcast_ephemeris(s.front().orbit, s.front().clock, toe, kFirstWeek);
    // Packed members are read into values first (no references to unaligned fields).
    EXPECT_EQ(int{eph.week_number}, kFirstWeek + 1);
    EXPECT_DOUBLE_EQ(double{eph.t_oe}, 3600.0);
    EXPECT_DOUBLE_EQ(double{eph.t_oc}, 3600.0);
    // Evaluated from the previous week (Saturday 23:00), across the week change.
    EXPECT_LT(largest_kepler_error(s.front(), toe, 7200.0), kMillimetre);
}

TEST(KeplerOrbit, SuccessiveIssuesDescribeOneOrbit) {
    const std::vector<Satellite> s = sky(0.0, 0.0);
    const Satellite& sat = s[3];
    const GpsEphemeris first = make_broadcast_ephemeris(sat.orbit, sat.clock, 7200.0, kFirstWeek);
    const GpsEphemeris second = make_broadcast_ephemeris(sat.orbit, sat.clock, 14400.0, kFirstWeek);
    EXPECT_NE(first.mean_anomaly, second.mean_anomaly);
    const OrbitPoint a = broadcast_position(first, sat.orbit.mu, kFirstWeek, 10800.0);
    const OrbitPoint b = broadcast_position(second, sat.orbit.mu, kFirstWeek, 10800.0);
    EXPECT_LT((a.position - b.position).norm(), kMillimetre);
    EXPECT_NEAR(a.clock, b.clock, 1e-14);
}

TEST(KeplerOrbit, ConstellationsHaveTheirSystemsRadiusAndInclination) {
    int gps = 0, galileo = 0, glonass = 0, beidou = 0;
    for (const Satellite& sat : sky(0.0, 60.0)) {
        const double r = sat.at(0.0).position.norm();
        switch (sat.system) {
            case GnssSystem::gps:
                ++gps;
                EXPECT_NEAR(r, 26.56e6, 0.5e6);
                EXPECT_NEAR(sat.orbit.i0 / kDegToRad, 55.0, 1.0);
                EXPECT_LE(sat.id, 31);  // the device's GPS slots
                break;
            case GnssSystem::galileo:
                ++galileo;
                EXPECT_NEAR(r, 29.6e6, 0.1e6);
                EXPECT_LE(sat.id, 35);
                break;
            case GnssSystem::glonass:
                ++glonass;
                EXPECT_NEAR(r, 25.51e6, 0.1e6);
                EXPECT_GE(sat.channel, -7);
                EXPECT_LE(sat.channel, 6);
                break;
            case GnssSystem::beidou:
                ++beidou;
                break;
        }
    }
    EXPECT_EQ(gps, 30);
    EXPECT_EQ(galileo, 24);
    EXPECT_EQ(glonass, 24);
    EXPECT_GT(beidou, 0);
}

TEST(GlonassOrbit, AntipodalSatellitesShareTheirFrequencyChannel) {
    std::vector<Satellite> g;
    for (const Satellite& s : sky(0.0, 60.0))
        if (s.system == GnssSystem::glonass)
            g.push_back(s);
    ASSERT_EQ(g.size(), 24u);
    for (std::size_t i = 0; i < g.size(); ++i) {
        const Satellite& partner = g[i % 8 < 4 ? i + 4 : i - 4];
        EXPECT_EQ(g[i].channel, partner.channel) << "slot " << int(g[i].id);
        // Half an orbit apart: on opposite sides of the Earth.
        EXPECT_LT(g[i].at(0.0).position.dot(partner.at(0.0).position), 0.0);
    }
}

TEST(GlonassOrbit, BroadcastIntegrationReproducesTruthOverItsInterval) {
    const double start = 86400.0;
    const std::vector<Satellite> s = sky(start, start + 3 * 3600.0);
    for (const Satellite& sat : s) {
        if (!sat.glonass)
            continue;
        for (const GlonassTrack::Segment& seg : sat.glonass->segments()) {
            const GlonassEphemeris eph = make_glonass_ephemeris(*sat.glonass, seg, kLeapSeconds);
            for (double dt = -kGlonassHalfInterval; dt <= kGlonassHalfInterval; dt += 75.0) {
                // The receiver's RK4 with its usual 60 s steps and with fine steps.
                const Vec3 truth = sat.glonass->position(seg.t_ref + dt);
                EXPECT_LT((glonass_broadcast_state(eph, dt, 60.0).position - truth).norm(), kMillimetre);
                EXPECT_LT((glonass_broadcast_state(eph, dt, 5.0).position - truth).norm(), kMillimetre);
            }
            // Clock: -tau_n + gamma (t - tb).
            EXPECT_NEAR(-eph.tau_n + eph.gamma * 600.0, sat.glonass->clock(seg.t_ref + 600.0), 1e-15);
        }
    }
}

TEST(GlonassOrbit, RecordHoldsSinglePrecisionValuesExactly) {
    const std::vector<Satellite> s = sky(0.0, 7200.0);
    for (const Satellite& sat : s) {
        if (!sat.glonass)
            continue;
        for (const GlonassTrack::Segment& seg : sat.glonass->segments()) {
            EXPECT_EQ(seg.state.velocity.x, to_float_precision(seg.state.velocity.x));
            EXPECT_EQ(seg.luni_solar.z, to_float_precision(seg.luni_solar.z));
            // Luni-solar terms are whole multiples of the broadcast resolution, a few at most.
            const double units = seg.luni_solar.y / kGlonassAccelerationUnit;
            EXPECT_EQ(units, std::round(units));
            EXPECT_LE(std::fabs(units), 3.0);
        }
    }
}

TEST(GlonassOrbit, TrackIsContinuousAcrossSegmentBoundaries) {
    const std::vector<Satellite> s = sky(0.0, 4 * 3600.0);
    int boundaries = 0;
    for (const Satellite& sat : s) {
        if (!sat.glonass)
            continue;
        const auto& segs = sat.glonass->segments();
        for (std::size_t j = 0; j + 1 < segs.size(); ++j) {
            const double b = segs[j].t_ref + kGlonassHalfInterval;
            const Vec3 end_of_one =
                glonass_integrate(segs[j].state, segs[j].luni_solar, kGlonassHalfInterval, 10.0).position;
            const Vec3 start_of_next = sat.glonass->position(b);
            EXPECT_LT((end_of_one - start_of_next).norm(), kMillimetre);
            ++boundaries;
        }
    }
    EXPECT_GT(boundaries, 24 * 6);
}

TEST(GlonassOrbit, ReferenceTimeIsMoscowTimeOnTheQuarterHours) {
    // Model time 0 is GPS midnight: UTC 23:59:42 of the day before, Moscow 02:59:42.
    const std::vector<Satellite> s = sky(0.0, 7200.0);
    const Satellite* sat = nullptr;
    for (const Satellite& x : s)
        if (x.glonass)
            sat = &x;
    ASSERT_NE(sat, nullptr);
    for (const GlonassTrack::Segment& seg : sat->glonass->segments()) {
        const GlonassEphemeris eph = make_glonass_ephemeris(*sat->glonass, seg, kLeapSeconds);
        const uint32_t tb = eph.tb;
        EXPECT_EQ(tb % 1800u, 900u);
        const double utc_of_day = std::fmod(seg.t_ref - kLeapSeconds + 86400.0, 86400.0);
        EXPECT_DOUBLE_EQ(std::fmod(tb - 10800.0 + 86400.0, 86400.0), utc_of_day);
    }
    const uint32_t first_tb =
        make_glonass_ephemeris(*sat->glonass, sat->glonass->segments().front(), kLeapSeconds).tb;
    EXPECT_EQ(first_tb, 2u * 3600u + 45u * 60u);
}
