// The truth file of a simulator run: a JSON document of what the log holds (receivers with their
// positions and epochs, counts of observations, ephemerides and inertial samples, and the packets that
// were damaged), for tests and benchmarks to check a conversion against.
#pragma once

#include <string>

#include "tools/vxpsim/scenario.h"
#include "tools/vxpsim/sim_options.h"

std::string truth_json(const SimOptions& options, const RunTruth& truth);
bool write_truth_file(const std::string& path, const SimOptions& options, const RunTruth& truth);
