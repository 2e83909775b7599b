// The inertial sensor's figures: its sample interval and data rate over time (from the envelope
// of its intervals), and its gaps beside the log's damaged stretches.
#include <cmath>

#include "report/report_figures.h"
#include "report/svg_plot.h"

namespace {
constexpr double kMilliseconds = 1e3;

void time_axis(SvgPlot& plot, const ImuQuality& imu) {
    plot.gps_time_axis(imu.samples().first(), imu.samples().last());
}
}  // namespace

std::string imu_interval_plot(const ImuQuality& imu) {
    SvgPlot plot("imu-interval", "imu", "IMU sample interval: shortest and longest per stretch");
    time_axis(plot, imu);
    std::vector<PlotPoint> low, high;
    double top = 0.0, bottom = INFINITY;
    for (const EnvelopePoint& p : imu.intervals().points()) {
        low.push_back({p.time, p.low * kMilliseconds});
        high.push_back({p.time, p.high * kMilliseconds});
        top = std::max(top, p.high * kMilliseconds);
        bottom = std::min(bottom, p.low * kMilliseconds);
    }
    plot.number_y_axis(std::isfinite(bottom) ? std::max(0.0, bottom * 0.9) : 0.0, top > 0 ? top * 1.1 : 1.0,
                       "interval (ms)");
    plot.line(thinned(high, kMaxDrawnPoints), {palette_colour(5), ""}, "longest");
    plot.line(thinned(low, kMaxDrawnPoints), {palette_colour(4), "6 3"}, "shortest");
    if (low.empty())
        plot.note("fewer than two timed samples");
    return plot.svg();
}

std::string imu_rate_plot(const ImuQuality& imu) {
    SvgPlot plot("imu-rate", "imu", "IMU data rate: samples per second per stretch");
    time_axis(plot, imu);
    const auto& points = imu.intervals().points();
    std::vector<PlotPoint> rate;
    double top = 0.0;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const double span = points[i + 1].time - points[i].time;
        if (span > 0.0) {
            rate.push_back({points[i].time, static_cast<double>(points[i].count) / span});
            top = std::max(top, rate.back().y);
        }
    }
    plot.number_y_axis(0.0, top > 0 ? top * 1.1 : 1.0, "rate (Hz)");
    plot.line(thinned(rate, kMaxDrawnPoints), {palette_colour(3), ""},
              "samples per second (header rate " + svg_number(imu.rate_hz(), 0) + " Hz)");
    if (rate.empty())
        plot.note("too few timed samples");
    return plot.svg();
}

std::string imu_timeline_plot(const ImuQuality& imu, const DamageLog& damage) {
    SvgPlot plot("imu-gaps", "imu", "IMU timeline: gaps in the samples, damaged stretches of the log");
    time_axis(plot, imu);
    plot.category_y_axis({"sample gaps", "damage"}, "");
    std::vector<PlotPoint> gaps;
    for (const TimeGap& g : imu.gaps().listed)
        gaps.push_back({g.start, g.end});
    plot.spans(gaps, 0, {palette_colour(5), ""}, "sample gap");
    plot.spans(damaged_spans(damage, imu.samples().first(), imu.samples().last()), 1, {palette_colour(4), ""},
               "damaged stretch (any source)");
    return plot.svg();
}
