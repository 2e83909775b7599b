// Observables, receiver, IMU and time models of the simulator, checked against independent
// computations of the same quantities.
#include "tools/vxpsim/observables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tools/vxpsim/constellation.h"
#include "tools/vxpsim/geodesy.h"
#include "tools/vxpsim/imu_model.h"
#include "tools/vxpsim/sim_time.h"

namespace {
ReceiverModel receiver(const char* trajectory, double bias, double drift, double start) {
    TrajectoryConfig c;
    EXPECT_TRUE(parse_trajectory(trajectory, c));
    return {Trajectory(c), ReceiverClock{bias, drift}, start};
}

const Satellite& highest(const std::vector<Satellite>& sky, const ReceiverModel& rx, double t,
                         GnssSystem system) {
    const Satellite* best = nullptr;
    double best_elevation = -10.0;
    for (const Satellite& s : sky) {
        if (s.system != system)
            continue;
        const double e = line_of_sight(s, t, rx.position_at(t), rx.trajectory.frame()).elevation;
        if (e > best_elevation)
            best_elevation = e, best = &s;
    }
    return *best;
}

std::vector<Satellite> make_sky(double t) {
    ConstellationConfig c;
    c.t_begin = t - 10.0;
    c.t_end = t + 100.0;
    return build_constellation(c);
}
}  // namespace

TEST(Observables, PseudorangeIsLightTimeRangePlusClocksAndGroupDelay) {
    const double t0 = 216000.0;
    const std::vector<Satellite> sky = make_sky(t0);
    const ReceiverModel rx = receiver("static:46.52,6.63,420", 2.5e-4, 3e-9, t0);
    const double t = t0 + 10.0;
    const Satellite& sat = highest(sky, rx, t, GnssSystem::gps);
    const SatelliteObservation o = observe(sat, rx, t, true);
    ASSERT_EQ(o.signal_count, 2);
    // Independently: the transmission time whose light travel, in the frame turning with the Earth,
    // ends at the antenna at t.
    const Vec3 antenna = rx.position_at(t);
    double tau = 0.07;
    Vec3 sat_at_reception;
    for (int i = 0; i < 10; ++i) {
        const Vec3 p = sat.at(t - tau).position;
        const double a = kEarthRotationRate * tau;
        sat_at_reception = {p.x * std::cos(a) + p.y * std::sin(a), -p.x * std::sin(a) + p.y * std::cos(a),
                            p.z};
        tau = (sat_at_reception - antenna).norm() / kSpeedOfLight;
    }
    const double clocks = kSpeedOfLight * (rx.clock_at(t) - sat.at(t - tau).clock);
    const double l1 = (sat_at_reception - antenna).norm() + clocks + kSpeedOfLight * sat.clock.tgd;
    EXPECT_NEAR(o.signals[0].pseudorange, l1, 1e-4);
    const double gamma = std::pow(1575.42 / 1227.60, 2);
    EXPECT_NEAR(o.signals[1].pseudorange - o.signals[0].pseudorange,
                kSpeedOfLight * sat.clock.tgd * (gamma - 1.0), 1e-6);
    EXPECT_EQ(o.signals[0].signal_id, 1);
    EXPECT_EQ(o.signals[1].signal_id, 6);
    EXPECT_NEAR(o.signals[0].carrier_phase * o.signals[0].wavelength, o.signals[0].pseudorange, 1e-6);
}

TEST(Observables, DopplerHasTheRinexSignAndMatchesTheRangeRate) {
    const double t0 = 216000.0;
    const std::vector<Satellite> sky = make_sky(t0);
    const ReceiverModel rx = receiver("circle:46.52,6.63,420,80,6", 1e-4, 2e-9, t0);
    int checked = 0;
    for (const Satellite& sat : sky) {
        const double t = t0 + 30.0;
        if (line_of_sight(sat, t, rx.position_at(t), rx.trajectory.frame()).elevation < 0.0)
            continue;
        const SatelliteObservation now = observe(sat, rx, t, false);
        const double before = observe(sat, rx, t - 0.5, false).signals[0].pseudorange;
        const double after = observe(sat, rx, t + 0.5, false).signals[0].pseudorange;
        // Positive when the pseudorange shrinks (the satellite approaches).
        EXPECT_NEAR(now.signals[0].doppler, -(after - before) / now.signals[0].wavelength, 0.01)
            << int(sat.system) << " " << int(sat.id);
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

TEST(Observables, GlonassWavelengthFollowsTheFrequencyChannel) {
    const std::vector<Satellite> sky = make_sky(1000.0);
    for (const Satellite& sat : sky) {
        if (sat.system != GnssSystem::glonass)
            continue;
        std::array<SignalPlan, kMaxSignals> plan;
        ASSERT_EQ(signal_plan(sat, true, plan), 2);
        EXPECT_DOUBLE_EQ(plan[0].frequency_hz, 1602e6 + sat.channel * 562.5e3);
        EXPECT_DOUBLE_EQ(plan[1].frequency_hz, 1246e6 + sat.channel * 437.5e3);
        EXPECT_EQ(plan[0].signal_id, 32);
    }
}

TEST(Receiver, ClockReadingMapsBackToGpsTime) {
    const ReceiverModel rx = receiver("static:10,20,30", 3e-4, 5e-8, 100.0);
    const double reading = 5000.0;
    const double t = rx.true_time(reading);
    EXPECT_NEAR(t + rx.clock_at(t), reading, 1e-12);
}

TEST(Receiver, CircleKeepsItsRadiusAndSpeed) {
    const ReceiverModel rx = receiver("circle:46.52,6.63,420,80,6", 0.0, 0.0, 0.0);
    const Vec3 centre = geodetic_to_ecef(rx.trajectory.centre());
    for (double t = 0.0; t < 200.0; t += 17.0) {
        EXPECT_NEAR((rx.position_at(t) - centre).norm(), 80.0, 1e-6);
        EXPECT_NEAR(rx.trajectory.velocity_enu(t).norm(), 6.0, 1e-9);
        const double step = (rx.position_at(t + 0.001) - rx.position_at(t - 0.001)).norm() / 0.002;
        EXPECT_NEAR(step, 6.0, 1e-5);
    }
}

TEST(Receiver, TrajectoryTextRoundTripsAndBadTextIsRefused) {
    TrajectoryConfig c;
    ASSERT_TRUE(parse_trajectory("line:46.5,6.6,430,45,15", c));
    EXPECT_EQ(c.kind, TrajectoryKind::line);
    TrajectoryConfig again;
    ASSERT_TRUE(parse_trajectory(trajectory_text(c), again));
    EXPECT_DOUBLE_EQ(again.heading_deg, 45.0);
    EXPECT_FALSE(parse_trajectory("circle:46.5,6.6,430,0,15", c));  // zero radius
    EXPECT_FALSE(parse_trajectory("static:46.5,6.6", c));
    EXPECT_FALSE(parse_trajectory("static:46.5,6.6,1x", c));
    EXPECT_FALSE(parse_trajectory("orbit:1,2,3", c));
}

TEST(Geodesy, GeodeticAndEcefRoundTrip) {
    const Geodetic g{46.52 * kDegToRad, 6.63 * kDegToRad, 420.0};
    const Geodetic back = ecef_to_geodetic(geodetic_to_ecef(g));
    EXPECT_NEAR(back.latitude_rad, g.latitude_rad, 1e-11);
    EXPECT_NEAR(back.longitude_rad, g.longitude_rad, 1e-12);
    EXPECT_NEAR(back.height_m, 420.0, 1e-4);
    // Equator, prime meridian: on the x axis at the semi-major axis.
    EXPECT_NEAR(geodetic_to_ecef({0.0, 0.0, 0.0}).x, kWgs84SemiMajorAxis, 1e-6);
}

TEST(Imu, LevelVehicleAtRestSensesGravityAndEarthRate) {
    TrajectoryConfig c;
    ASSERT_TRUE(parse_trajectory("static:45,0,0", c));
    const ImuTruth imu = imu_truth(Trajectory(c), 10.0);
    EXPECT_NEAR(imu.specific_force.z, -9.806, 0.01);  // z down: the reaction to gravity points up
    EXPECT_NEAR(std::hypot(imu.specific_force.x, imu.specific_force.y), 0.0, 1e-12);
    EXPECT_NEAR(imu.angular_rate.norm(), kEarthRotationRate, 1e-15);
    EXPECT_NEAR(imu.angular_rate.z, -kEarthRotationRate * std::sin(45.0 * kDegToRad), 1e-15);
}

TEST(Imu, CirclingVehicleTurnsLeftWithItsCentripetalAcceleration) {
    TrajectoryConfig c;
    ASSERT_TRUE(parse_trajectory("circle:45,0,0,50,10", c));
    const ImuTruth imu = imu_truth(Trajectory(c), 3.0);
    EXPECT_NEAR(imu.specific_force.y, -100.0 / 50.0, 1e-9);  // towards the centre, on the left
    EXPECT_NEAR(imu.specific_force.x, 0.0, 1e-9);
    EXPECT_NEAR(imu.angular_rate.z, -10.0 / 50.0, 1e-4);
}

TEST(SimTime, CalendarAndWeekTimeAgree) {
    const WeekTime w = gps_calendar_to_week_time({2024, 3, 5, 12, 0, 0.0});
    EXPECT_EQ(w.week, 2304);
    EXPECT_DOUBLE_EQ(w.tow, 2 * 86400.0 + 43200.0);
    const GpsCalendar c = week_time_to_gps_calendar({2304, 216000.5});
    EXPECT_EQ(c.year, 2024);
    EXPECT_EQ(c.month, 3);
    EXPECT_EQ(c.day, 5);
    EXPECT_EQ(c.hour, 12);
    EXPECT_DOUBLE_EQ(c.second, 0.5);
    EXPECT_EQ(gps_calendar_to_week_time({1980, 1, 6, 0, 0, 0.0}).week, 0);
}

TEST(SimTime, NanosecondsSplitIntoWeeksAndExactMilliseconds) {
    const WeekTime w = week_time(2304, kNanosPerWeek + 300 * 1000000LL);
    EXPECT_EQ(w.week, 2305);
    EXPECT_EQ(w.tow, 0.3);  // the double nearest to 0.3
    EXPECT_EQ(week_time(2304, 216000100 * 1000000LL).tow, 216000.1);
    GpsCalendar c;
    EXPECT_TRUE(parse_gps_calendar("2024-03-05T12:00:00", c));
    EXPECT_FALSE(parse_gps_calendar("2024-03-05 12:00:00", c));
    EXPECT_FALSE(parse_gps_calendar("2024-13-05T12:00:00", c));
}
