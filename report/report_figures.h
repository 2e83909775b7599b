// The report's figures, each an inline SVG element: per receiver its satellites and signal
// strength over time, its sky, its timeline of gaps and damage, its positions around the median;
// for the inertial sensor its interval, rate and gaps.
#pragma once

#include <string>

#include "quality/damage_log.h"
#include "quality/imu_quality.h"
#include "quality/receiver_quality.h"
#include "report/svg_plot.h"

// Points drawn per line at most: the page stays small whatever the log's length.
inline constexpr std::size_t kMaxDrawnPoints = 1200;

// The owner of a receiver's figures ("receiver-0").
std::string receiver_owner(int index);

// The damaged stretches that reach into [first, last], as spans (an open end at first or last).
std::vector<PlotPoint> damaged_spans(const DamageLog& damage, double first, double last);

std::string satellites_plot(int index, const ReceiverQuality& receiver);
std::string strength_plot(int index, const ReceiverQuality& receiver);
std::string timeline_plot(int index, const ReceiverQuality& receiver, const DamageLog& damage);
std::string positions_plot(int index, const ReceiverQuality& receiver);
std::string height_plot(int index, const ReceiverQuality& receiver);
std::string sky_plot(int index, const ReceiverQuality& receiver, double elevation_mask_deg);

std::string imu_interval_plot(const ImuQuality& imu);
std::string imu_rate_plot(const ImuQuality& imu);
std::string imu_timeline_plot(const ImuQuality& imu, const DamageLog& damage);
