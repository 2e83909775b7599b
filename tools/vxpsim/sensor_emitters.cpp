// The inertial sensor and navigation filter output of the simulated device.
#include "tools/vxpsim/imu_model.h"
#include "tools/vxpsim/packets.h"
#include "tools/vxpsim/simulation.h"

namespace sim_detail {

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

}  // namespace sim_detail
