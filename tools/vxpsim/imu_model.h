// The inertial sensor on the vehicle of receiver 0: angular rate and specific force in a body frame
// (x forward, y right, z down) of a level vehicle that follows the trajectory, with the Earth's
// rotation and gravity, and the delta or scaled vectors the sensor set reports.
#pragma once

#include "tools/vxpsim/receiver_model.h"
#include "tools/vxpsim/vec3.h"

struct ImuTruth {
    Vec3 angular_rate;    // rad/s
    Vec3 specific_force;  // m/s^2
};

ImuTruth imu_truth(const Trajectory& trajectory, double t);
