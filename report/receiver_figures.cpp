// A receiver's figures over time and around its median position.
#include <algorithm>
#include <cmath>
#include <limits>

#include "quality/geodesy.h"
#include "report/report_figures.h"
#include "report/svg_plot.h"

namespace {
constexpr std::array<const char*, kSeriesSystems.size()> kSystemNames{"GPS", "GLONASS", "Galileo", "BeiDou"};
// A line breaks where two neighbouring samples are further apart than this many typical steps.
constexpr double kBreakSteps = 3.0;

// The samples' points with a break (a NaN) where the samples skip a stretch of time.
std::vector<PlotPoint> with_breaks(const std::vector<PlotPoint>& points) {
    if (points.size() < 3)
        return points;
    std::vector<double> steps;
    for (std::size_t i = 1; i < points.size(); ++i)
        steps.push_back(points[i].x - points[i - 1].x);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                     steps.end());
    const double typical = steps[steps.size() / 2];
    std::vector<PlotPoint> out{points.front()};
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].x - points[i - 1].x > kBreakSteps * typical)
            out.push_back({points[i].x, NAN});
        out.push_back(points[i]);
    }
    return out;
}

struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    bool any() const { return low <= high; }
};

// East, north and up of `p` from `origin`, metres.
std::array<double, 3> local_offset(const Ecef& p, const Ecef& origin, const Geodetic& site) {
    const double dx = p.x - origin.x, dy = p.y - origin.y, dz = p.z - origin.z;
    const double sl = std::sin(site.longitude), cl = std::cos(site.longitude);
    const double sp = std::sin(site.latitude), cp = std::cos(site.latitude);
    return {-sl * dx + cl * dy, -sp * cl * dx - sp * sl * dy + cp * dz,
            cp * cl * dx + cp * sl * dy + sp * dz};
}

void time_axis(SvgPlot& plot, const ReceiverQuality& receiver) {
    plot.gps_time_axis(receiver.epochs().first(), receiver.epochs().last());
}
}  // namespace

std::vector<PlotPoint> damaged_spans(const DamageLog& damage, double first, double last) {
    std::vector<PlotPoint> spans;
    for (const DamagedStretch& s : damage.stretches()) {
        const double from = std::isnan(s.after) ? first : s.after;
        const double to = std::isnan(s.before) ? last : s.before;
        if (to >= first && from <= last)
            spans.push_back({from, to});
    }
    return spans;
}

std::string receiver_owner(int index) {
    return "receiver-" + std::to_string(index);
}

std::string satellites_plot(int index, const ReceiverQuality& receiver) {
    SvgPlot plot("satellites", receiver_owner(index), "Satellites tracked per system");
    time_axis(plot, receiver);
    const auto& samples = receiver.epoch_samples().values();
    int most = 0;
    for (const EpochSample& s : samples)
        for (uint8_t n : s.satellites)
            most = std::max(most, static_cast<int>(n));
    plot.number_y_axis(0, most + 1, "satellites");
    for (std::size_t system = 0; system < kSeriesSystems.size(); ++system) {
        std::vector<PlotPoint> points;
        bool any = false;
        for (const EpochSample& s : samples) {
            points.push_back({s.time, static_cast<double>(s.satellites[system])});
            any = any || s.satellites[system] != 0;
        }
        if (any)
            plot.line(with_breaks(thinned(points, kMaxDrawnPoints)),
                      {palette_colour(system), palette_dash(system)}, kSystemNames[system]);
    }
    if (samples.empty())
        plot.note("no observation epoch");
    return plot.svg();
}

std::string strength_plot(int index, const ReceiverQuality& receiver) {
    SvgPlot plot("cn0", receiver_owner(index), "Mean signal strength (C/N0) per system and band");
    time_axis(plot, receiver);
    const auto& samples = receiver.epoch_samples().values();
    Range range;
    for (const EpochSample& s : samples)
        for (const auto& bands : s.mean_cn0_dbhz)
            for (float v : bands)
                range.add(v);
    plot.number_y_axis(range.any() ? std::floor(range.low - 1) : 0,
                       range.any() ? std::ceil(range.high + 1) : 60, "C/N0 (dB-Hz)");
    std::size_t drawn = 0;
    for (std::size_t system = 0; system < kSeriesSystems.size(); ++system) {
        for (std::size_t band = 0; band < kSeriesBands; ++band) {
            std::vector<PlotPoint> points;
            bool any = false;
            for (const EpochSample& s : samples) {
                points.push_back({s.time, s.mean_cn0_dbhz[system][band]});
                any = any || std::isfinite(s.mean_cn0_dbhz[system][band]);
            }
            if (!any)
                continue;
            plot.line(with_breaks(thinned(points, kMaxDrawnPoints)),
                      {palette_colour(drawn), palette_dash(drawn)},
                      std::string(kSystemNames[system]) + " band " + std::to_string(band));
            ++drawn;
        }
    }
    if (drawn == 0)
        plot.note("no signal strength in the observations");
    return plot.svg();
}

std::string timeline_plot(int index, const ReceiverQuality& receiver, const DamageLog& damage) {
    SvgPlot plot("timeline", receiver_owner(index),
                 "Timeline: gaps in the epochs, damaged stretches of the log");
    time_axis(plot, receiver);
    plot.category_y_axis({"epoch gaps", "damage", "new site"}, "");
    // New-site events are not among what the quality survey gathers; the row says so.
    plot.row_note(2, "new-site events are not recorded in this report");
    std::vector<PlotPoint> gaps;
    for (const TimeGap& g : receiver.epochs().gaps(receiver.interval_s()).listed)
        gaps.push_back({g.start, g.end});
    plot.spans(gaps, 0, {palette_colour(5), ""}, "epoch gap");
    plot.spans(damaged_spans(damage, receiver.epochs().first(), receiver.epochs().last()), 1,
               {palette_colour(4), ""}, "damaged stretch (any source)");
    return plot.svg();
}

std::string positions_plot(int index, const ReceiverQuality& receiver) {
    SvgPlot plot("positions", receiver_owner(index), "Single-point positions around the median", 470, 440);
    const std::optional<MedianPosition> median = receiver.median_position();
    std::vector<PlotPoint> points;
    double reach = 1.0;
    if (median) {
        for (const TimedFix& fix : receiver.solutions().values()) {
            const auto enu = local_offset(fix.position, median->position, median->geodetic);
            points.push_back({enu[0], enu[1]});
            reach = std::max({reach, std::fabs(enu[0]), std::fabs(enu[1])});
        }
    }
    reach *= 1.1;
    // Equal metres per pixel both ways.
    const double x_reach = reach * std::max(1.0, plot.frame_width() / plot.frame_height());
    const double y_reach = reach * std::max(1.0, plot.frame_height() / plot.frame_width());
    plot.number_x_axis(-x_reach, x_reach, "east of the median (m)");
    plot.number_y_axis(-y_reach, y_reach, "north of the median (m)");
    plot.dots(thinned(points, kMaxDrawnPoints * 2), {palette_colour(4), ""}, "single-point solution");
    plot.dots({{0, 0}}, {palette_colour(5), ""}, "median");
    if (!median)
        plot.note("no single-point position");
    return plot.svg();
}

std::string height_plot(int index, const ReceiverQuality& receiver) {
    SvgPlot plot("height", receiver_owner(index), "Height of the single-point positions");
    time_axis(plot, receiver);
    const std::optional<MedianPosition> median = receiver.median_position();
    std::vector<PlotPoint> points;
    Range range;
    if (median) {
        for (const TimedFix& fix : receiver.solutions().values()) {
            const double up = local_offset(fix.position, median->position, median->geodetic)[2];
            points.push_back({fix.time, up});
            range.add(up);
        }
    }
    const double reach =
        range.any() ? std::max({1.0, std::fabs(range.low), std::fabs(range.high)}) * 1.1 : 1.0;
    plot.number_y_axis(-reach, reach, "above the median (m)");
    plot.line(with_breaks(thinned(points, kMaxDrawnPoints)), {palette_colour(4), ""},
              "height above the median");
    if (!median)
        plot.note("no single-point position");
    return plot.svg();
}
