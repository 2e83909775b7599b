// Internal to the simulator: the state of one run (receivers, satellite tracking, the schedule of the
// device's output streams) shared by the scheduler and the emitters of GNSS and sensor packets.
#pragma once

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/vxpsim/constellation.h"
#include "tools/vxpsim/log_output.h"
#include "tools/vxpsim/observables.h"
#include "tools/vxpsim/scenario.h"
#include "tools/vxpsim/sim_options.h"

namespace sim_detail {

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

}  // namespace sim_detail
