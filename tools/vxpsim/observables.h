// GNSS observables of one receiver and one satellite: the signal's path (light time, Earth rotation
// during it), the satellite and receiver clocks, and from them the noise-free pseudorange, carrier
// phase and Doppler of each tracked signal, with the signal identifiers the device reports.
#pragma once

#include <array>
#include <cstdint>

#include "tools/vxpsim/constellation.h"
#include "tools/vxpsim/receiver_model.h"

// A receiver as the observation model sees it: trajectory and clock over model time.
struct ReceiverModel {
    Trajectory trajectory;
    ReceiverClock clock;
    double start = 0.0;  // model seconds of the start of the run

    Vec3 position_at(double t) const { return trajectory.position(t - start); }
    double clock_at(double t) const { return clock.offset(t - start); }
    // GPS time (model seconds) at which the receiver clock reads `reading`.
    double true_time(double reading) const;
};

struct SignalPlan {
    uint8_t signal_id = 0;  // VXP signal identifier
    double frequency_hz = 0.0;
    double group_delay_factor = 0.0;  // multiple of the satellite's TGD in this signal's clock
};

inline constexpr int kMaxSignals = 2;

// The signals tracked for a satellite: the first civil signal, and a second frequency when `dual`.
int signal_plan(const Satellite& sat, bool dual, std::array<SignalPlan, kMaxSignals>& plan);

struct LineOfSight {
    double range = 0.0;          // m, from the satellite at transmission to the antenna at reception
    double transmit_time = 0.0;  // model seconds, GPS time
    OrbitPoint satellite;        // at transmission
    double elevation = 0.0;      // rad
};

// Solves the light time to a receiver at `rx` (ECEF at reception time t), turning the satellite's
// position by the Earth's rotation during the flight.
LineOfSight line_of_sight(const Satellite& sat, double t, const Vec3& rx, const LocalFrame& frame);

struct SignalObservation {
    uint8_t signal_id = 0;
    double pseudorange = 0.0;    // m
    double carrier_phase = 0.0;  // cycles, without the integer ambiguity
    double doppler = 0.0;        // Hz, positive when the satellite approaches (RINEX sign)
    double wavelength = 0.0;     // m
};

struct SatelliteObservation {
    double elevation = 0.0;
    int signal_count = 0;
    std::array<SignalObservation, kMaxSignals> signals;
};

// Noise-free observables at reception time t (GPS, model seconds). The pseudorange is
// range + c (receiver clock - satellite clock for the signal), the satellite clock for a signal being
// its broadcast clock with the relativistic term, less its group delay.
SatelliteObservation observe(const Satellite& sat, const ReceiverModel& rx, double t, bool dual);
