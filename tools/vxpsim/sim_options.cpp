#include "tools/vxpsim/sim_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "vxp/packet.h"

namespace {
bool to_double(const std::string& s, double& out) {
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool to_u64(const std::string& s, uint64_t& out) {
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

bool parse_time_fields(const std::string& s, TimeFields& out) {
    if (s == "shared")
        out = TimeFields::shared;
    else if (s == "own")
        out = TimeFields::own;
    else if (s == "both")
        out = TimeFields::both;
    else
        return false;
    return true;
}

bool parse_systems(const std::string& s, SimOptions& o) {
    o.gps = o.glonass = o.galileo = o.beidou = false;
    for (char c : s) {
        switch (c) {
            case 'G':
                o.gps = true;
                break;
            case 'R':
                o.glonass = true;
                break;
            case 'E':
                o.galileo = true;
                break;
            case 'C':
                o.beidou = true;
                break;
            case ',':
                break;
            default:
                return false;
        }
    }
    return o.gps || o.glonass || o.galileo || o.beidou;
}

bool parse_receivers(const std::string& s, SimOptions& o) {
    for (auto& r : o.receivers)
        r.enabled = false;
    bool any = false;
    for (char c : s) {
        if (c == ',')
            continue;
        if (c < '0' || c > '4')
            return false;
        o.receivers[static_cast<std::size_t>(c - '0')].enabled = true;
        any = true;
    }
    return any;
}

bool parse_clock(const std::string& s, ReceiverClock& out) {
    const auto comma = s.find(',');
    return comma != std::string::npos && to_double(s.substr(0, comma), out.bias_s) &&
           to_double(s.substr(comma + 1), out.drift) && std::fabs(out.bias_s) < 0.01 &&
           std::fabs(out.drift) < 1e-6;
}

bool in_range(double v, double lo, double hi) {
    return v >= lo && v <= hi;
}
}  // namespace

void set_default_receivers(SimOptions& o) {
    // A base station (receiver 2) with a vehicle circling nearby (receiver 0), and three more.
    const char* trajectories[kReceiverSlots] = {
        "circle:46.5230,6.6300,415,80,6", "line:46.5000,6.6000,430,45,15", "static:46.5200,6.6300,420",
        "static:46.5300,6.6500,500", "line:46.5100,6.6100,410,120,25"};
    const ReceiverClock clocks[kReceiverSlots] = {
        {2.5e-4, 3e-9}, {-1.2e-4, -2e-9}, {8e-5, 1e-9}, {4e-4, 5e-10}, {-3e-4, 4e-9}};
    for (int i = 0; i < kReceiverSlots; ++i) {
        parse_trajectory(trajectories[i], o.receivers[i].trajectory);
        o.receivers[i].clock = clocks[i];
        o.receivers[i].enabled = i == 0 || i == 2;
    }
}

std::string usage_text() {
    return "vxpsim: writes a simulated VXP log and a JSON truth file of what it holds.\n"
           "usage: vxpsim [options]\n"
           "  -o, --output FILE          log file (sim.vxp)\n"
           "  --truth FILE               truth file (output with .truth.json)\n"
           "  --start YYYY-MM-DDThh:mm:ss  GPS time of the first data (2024-03-05T12:00:00)\n"
           "  --duration S               seconds of data (300)\n"
           "  --leap-seconds N           GPS-UTC leap seconds written and used for GLONASS times (18; a\n"
           "                             RINEX reader dates GLONASS ephemerides with the real value)\n"
           "  --seed N                   random seed (1)\n"
           "  --receivers LIST           receiver indexes 0-4, e.g. 0,2 (0,2)\n"
           "  --rxK TRAJ                 receiver K antenna: static:lat,lon,h | "
           "circle:lat,lon,h,radius,speed |\n"
           "                             line:lat,lon,h,heading,speed (degrees, metres, m/s)\n"
           "  --clockK BIAS,DRIFT        receiver K clock bias (s) and drift (s/s)\n"
           "  --legacy-set               receiver 0 writes descriptor set 0x81 instead of 0x91\n"
           "  --systems LIST             observed systems of G,R,E,C (G,R,E,C); C has no ephemerides\n"
           "  --dual-frequency           a second signal per satellite\n"
           "  --obs-rate HZ              observation epochs per second (1)\n"
           "  --mask DEG                 elevation mask (10)\n"
           "  --noise-pr M, --noise-phase M, --noise-doppler HZ   measurement noise (0.3, 0.003, 0.05)\n"
           "  --no-noise                 all measurement and sensor noise off\n"
           "  --eph-interval S           ephemeris repetition (30)\n"
           "  --eph-duplicates F         share of ephemeris packets written twice (0.1)\n"
           "  --aux-interval S           ionosphere and leap-second records (60)\n"
           "  --base-interval S          base-station records of receiver 2 (10)\n"
           "  --station-id N             base station identifier (1200)\n"
           "  --antenna-height M         base antenna height above the marker (1.25)\n"
           "  --site-change S            receiver 2 moves to a new site S seconds after the start (never)\n"
           "  --site-change-east M       distance of the new site to the east (800)\n"
           "  --imu-rate HZ              inertial samples per second, 0 for none (100)\n"
           "  --imu-data delta|scaled|both   inertial vectors (delta)\n"
           "  --imu-time shared|own|both     sensor time fields 0xD3 / 0x12 (shared)\n"
           "  --filter-rate HZ           filter packets per second, 0 for none (10)\n"
           "  --filter-time shared|own|both  filter time fields 0xD3 / 0x11 (shared)\n"
           "  --command-interval S       device command exchanges after the first one, 0 for none (120)\n"
           "  --corrupt F                share of packets with a corrupted byte (0)\n"
           "  --garbage F                share of packet gaps holding garbage bytes (0)\n"
           "  --truncate N               bytes cut from the last packet (0)\n"
           "  --no-truth-epochs          leave the per-epoch list out of the truth file\n"
           "  -h, --help                 this text\n";
}

bool parse_options(int argc, const char* const* argv, SimOptions& o, std::string& error, bool& help) {
    help = false;
    for (int i = 0; i < argc; ++i) {
        const std::string name = argv[i];
        auto flag = [&](const char* n) { return name == n; };
        if (flag("-h") || flag("--help")) {
            help = true;
            return false;
        }
        if (flag("--legacy-set")) {
            o.legacy_set = true;
            continue;
        }
        if (flag("--dual-frequency")) {
            o.dual_frequency = true;
            continue;
        }
        if (flag("--no-truth-epochs")) {
            o.truth_epochs = false;
            continue;
        }
        if (flag("--no-noise")) {
            o.pseudorange_noise_m = o.phase_noise_m = o.doppler_noise_hz = o.gyro_noise = o.accel_noise = 0.0;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value or unknown option: " + name;
            return false;
        }
        const std::string v = argv[++i];
        uint64_t u = 0;
        bool ok = true;
        if (flag("-o") || flag("--output"))
            o.output = v;
        else if (flag("--truth"))
            o.truth = v;
        else if (flag("--start"))
            ok = parse_gps_calendar(v, o.start);
        else if (flag("--duration"))
            ok = to_double(v, o.duration_s) && in_range(o.duration_s, 1.0, 14.0 * 86400.0);
        else if (flag("--leap-seconds"))
            ok = to_double(v, o.leap_seconds) && in_range(o.leap_seconds, 0.0, 60.0) &&
                 o.leap_seconds == std::floor(o.leap_seconds);
        else if (flag("--seed"))
            ok = to_u64(v, o.seed);
        else if (flag("--receivers"))
            ok = parse_receivers(v, o);
        else if (name.size() == 5 && name.compare(0, 4, "--rx") == 0 && name[4] >= '0' && name[4] <= '4')
            ok = parse_trajectory(v, o.receivers[static_cast<std::size_t>(name[4] - '0')].trajectory);
        else if (name.size() == 8 && name.compare(0, 7, "--clock") == 0 && name[7] >= '0' && name[7] <= '4')
            ok = parse_clock(v, o.receivers[static_cast<std::size_t>(name[7] - '0')].clock);
        else if (flag("--systems"))
            ok = parse_systems(v, o);
        else if (flag("--obs-rate"))
            ok = to_double(v, o.obs_rate_hz) && in_range(o.obs_rate_hz, 0.01, 100.0);
        else if (flag("--mask"))
            ok = to_double(v, o.elevation_mask_deg) && in_range(o.elevation_mask_deg, -5.0, 60.0);
        else if (flag("--noise-pr"))
            ok = to_double(v, o.pseudorange_noise_m) && in_range(o.pseudorange_noise_m, 0.0, 100.0);
        else if (flag("--noise-phase"))
            ok = to_double(v, o.phase_noise_m) && in_range(o.phase_noise_m, 0.0, 1.0);
        else if (flag("--noise-doppler"))
            ok = to_double(v, o.doppler_noise_hz) && in_range(o.doppler_noise_hz, 0.0, 100.0);
        else if (flag("--eph-interval"))
            ok = to_double(v, o.ephemeris_interval_s) && in_range(o.ephemeris_interval_s, 1.0, 7200.0);
        else if (flag("--eph-duplicates"))
            ok = to_double(v, o.ephemeris_duplicate_fraction) &&
                 in_range(o.ephemeris_duplicate_fraction, 0.0, 1.0);
        else if (flag("--aux-interval"))
            ok = to_double(v, o.aux_interval_s) && in_range(o.aux_interval_s, 1.0, 86400.0);
        else if (flag("--base-interval"))
            ok = to_double(v, o.base_interval_s) && in_range(o.base_interval_s, 1.0, 86400.0);
        else if (flag("--station-id")) {
            ok = to_u64(v, u) && u <= 0xFFFF;
            o.station_id = static_cast<uint16_t>(u);
        } else if (flag("--antenna-height"))
            ok = to_double(v, o.antenna_height_m) && in_range(o.antenna_height_m, 0.0, 100.0);
        else if (flag("--site-change"))
            ok = to_double(v, o.site_change_s);
        else if (flag("--site-change-east"))
            ok = to_double(v, o.site_change_east_m) && in_range(o.site_change_east_m, -1e5, 1e5);
        else if (flag("--imu-rate"))
            ok = to_double(v, o.imu_rate_hz) && in_range(o.imu_rate_hz, 0.0, 2000.0);
        else if (flag("--imu-data")) {
            if (v == "delta")
                o.imu_data = ImuData::delta;
            else if (v == "scaled")
                o.imu_data = ImuData::scaled;
            else if (v == "both")
                o.imu_data = ImuData::both;
            else
                ok = false;
        } else if (flag("--imu-time"))
            ok = parse_time_fields(v, o.imu_time);
        else if (flag("--filter-rate"))
            ok = to_double(v, o.filter_rate_hz) && in_range(o.filter_rate_hz, 0.0, 1000.0);
        else if (flag("--filter-time"))
            ok = parse_time_fields(v, o.filter_time);
        else if (flag("--command-interval"))
            ok = to_double(v, o.command_interval_s) && in_range(o.command_interval_s, 0.0, 1e6);
        else if (flag("--corrupt"))
            ok = to_double(v, o.damage.corrupt_fraction) && in_range(o.damage.corrupt_fraction, 0.0, 1.0);
        else if (flag("--garbage"))
            ok = to_double(v, o.damage.garbage_fraction) && in_range(o.damage.garbage_fraction, 0.0, 1.0);
        else if (flag("--truncate")) {
            ok = to_u64(v, u) && u < VXP_MAX_PACKET_SIZE;
            o.damage.truncate_bytes = static_cast<uint32_t>(u);
        } else {
            error = "unknown option: " + name;
            return false;
        }
        if (!ok) {
            error = "invalid value for " + name + ": " + v;
            return false;
        }
    }
    if (o.truth.empty()) {
        const auto slash = o.output.find_last_of('/');
        const auto dot = o.output.find_last_of('.');
        const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        o.truth = (has_ext ? o.output.substr(0, dot) : o.output) + ".truth.json";
    }
    return true;
}
