#include "tools/vxpsim/observables.h"

#include <cmath>

namespace {
constexpr double kGpsL1 = 1575.42e6;
constexpr double kGpsL2 = 1227.60e6;
constexpr double kGalileoE1 = 1575.42e6;
constexpr double kGalileoE5a = 1176.45e6;
constexpr double kBeidouB1I = 1561.098e6;
constexpr double kBeidouB3I = 1268.52e6;
constexpr double kGlonassG1 = 1602.0e6;
constexpr double kGlonassG1Step = 0.5625e6;
constexpr double kGlonassG2 = 1246.0e6;
constexpr double kGlonassG2Step = 0.4375e6;

// VXP signal identifiers (the device's code table).
constexpr uint8_t kSignalGpsL1CA = 1;       // 1C
constexpr uint8_t kSignalGpsL2W = 6;        // 2W
constexpr uint8_t kSignalGlonassL1CA = 32;  // 1C
constexpr uint8_t kSignalGlonassL2CA = 34;  // 2C
constexpr uint8_t kSignalGalileoE1C = 64;   // 1C
constexpr uint8_t kSignalGalileoE5aQ = 81;  // 5Q
constexpr uint8_t kSignalBeidouB1I = 160;   // 2I
constexpr uint8_t kSignalBeidouB3I = 163;   // 6I

// Half the step of the Doppler's central difference, s.
constexpr double kDopplerHalfStep = 0.05;
}  // namespace

double ReceiverModel::true_time(double reading) const {
    // reading = t + offset(t); the drift is tiny, so two fixed-point steps are exact to picoseconds.
    double t = reading - clock_at(reading);
    t = reading - clock_at(t);
    return reading - clock_at(t);
}

int signal_plan(const Satellite& sat, bool dual, std::array<SignalPlan, kMaxSignals>& plan) {
    switch (sat.system) {
        case GnssSystem::gps:
            plan[0] = {kSignalGpsL1CA, kGpsL1, 1.0};
            plan[1] = {kSignalGpsL2W, kGpsL2, (kGpsL1 / kGpsL2) * (kGpsL1 / kGpsL2)};
            break;
        case GnssSystem::glonass:
            plan[0] = {kSignalGlonassL1CA, kGlonassG1 + sat.channel * kGlonassG1Step, 0.0};
            plan[1] = {kSignalGlonassL2CA, kGlonassG2 + sat.channel * kGlonassG2Step, 0.0};
            break;
        case GnssSystem::galileo:
            plan[0] = {kSignalGalileoE1C, kGalileoE1, 0.0};
            plan[1] = {kSignalGalileoE5aQ, kGalileoE5a, 0.0};
            break;
        case GnssSystem::beidou:
            plan[0] = {kSignalBeidouB1I, kBeidouB1I, 0.0};
            plan[1] = {kSignalBeidouB3I, kBeidouB3I, 0.0};
            break;
    }
    return dual ? 2 : 1;
}

LineOfSight line_of_sight(const Satellite& sat, double t, const Vec3& rx, const LocalFrame& frame) {
    LineOfSight los;
    double tau = 0.075;
    Vec3 rotated;
    for (int i = 0; i < 6; ++i) {
        los.satellite = sat.at(t - tau);
        const double turn = kEarthRotationRate * tau;
        const Vec3& p = los.satellite.position;
        rotated = {std::cos(turn) * p.x + std::sin(turn) * p.y, -std::sin(turn) * p.x + std::cos(turn) * p.y,
                   p.z};
        const double next = (rotated - rx).norm() / kSpeedOfLight;
        const bool converged = std::fabs(next - tau) < 1e-13;
        tau = next;
        if (converged)
            break;
    }
    los.range = tau * kSpeedOfLight;
    los.transmit_time = t - tau;
    los.elevation = elevation_angle(rx, frame, rotated);
    return los;
}

SatelliteObservation observe(const Satellite& sat, const ReceiverModel& rx, double t, bool dual) {
    std::array<SignalPlan, kMaxSignals> plan;
    SatelliteObservation out;
    out.signal_count = signal_plan(sat, dual, plan);
    const LocalFrame& frame = rx.trajectory.frame();
    // Code range without the group delay, at t and at the two Doppler sample times.
    auto code_range = [&](double at, double* elevation) {
        const LineOfSight los = line_of_sight(sat, at, rx.position_at(at), frame);
        if (elevation != nullptr)
            *elevation = los.elevation;
        return los.range + kSpeedOfLight * (rx.clock_at(at) - los.satellite.clock);
    };
    const double centre = code_range(t, &out.elevation);
    const double rate =
        (code_range(t + kDopplerHalfStep, nullptr) - code_range(t - kDopplerHalfStep, nullptr)) /
        (2.0 * kDopplerHalfStep);
    for (int s = 0; s < out.signal_count; ++s) {
        SignalObservation& o = out.signals[s];
        o.signal_id = plan[s].signal_id;
        o.wavelength = kSpeedOfLight / plan[s].frequency_hz;
        o.pseudorange = centre + kSpeedOfLight * plan[s].group_delay_factor * sat.group_delay();
        o.carrier_phase = o.pseudorange / o.wavelength;
        o.doppler = -rate / o.wavelength;
    }
    return out;
}
