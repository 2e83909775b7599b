#include "report/svg_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "quality/quality_time.h"

namespace {
// The frame inside the drawing: room for the title and legend above, the tick labels and the axis
// label below and on the left.
constexpr double kLeft = 70.0;
constexpr double kRight = 20.0;
constexpr double kTop = 52.0;
constexpr double kBottom = 46.0;
constexpr double kSecondsPerDay = 86400.0;
// Tick steps of a time axis, seconds: the smallest giving at most kMaxTimeTicks ticks is taken.
constexpr std::array<double, 19> kTimeSteps{1,   2,    5,    10,   15,    30,    60,    120,   300,   600,
                                            900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800};
constexpr int kMaxTimeTicks = 9;
constexpr int kNumberTicks = 5;
constexpr double kCharWidth = 6.6;  // of the 11 px legend text, roughly

// A step of 1, 2 or 5 times a power of ten near `range / ticks`.
double nice_step(double range, int ticks) {
    const double raw = range / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10.0 * power;
}

std::string element(const std::string& name, const std::string& attributes, const std::string& content = {}) {
    if (content.empty())
        return "<" + name + " " + attributes + "/>";
    return "<" + name + " " + attributes + ">" + content + "</" + name + ">";
}

std::string dash_attribute(const PlotStyle& style) {
    return style.dash.empty() ? std::string() : " stroke-dasharray=\"" + style.dash + "\"";
}
}  // namespace

const std::string& palette_colour(std::size_t index) {
    static const std::array<std::string, 8> colours{"#000000", "#E69F00", "#56B4E9", "#009E73",
                                                    "#0072B2", "#D55E00", "#CC79A7", "#F0E442"};
    return colours[index % colours.size()];
}

const std::string& palette_dash(std::size_t index) {
    static const std::array<std::string, 4> dashes{"", "6 3", "2 2", "8 3 2 3"};
    return dashes[(index / 2) % dashes.size()];
}

std::string svg_number(double value, int decimals) {
    if (!std::isfinite(value))
        return "-";
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void path_point(std::string& path, char command, const PlotPoint& point, bool dot) {
    char text[64];
    std::snprintf(text, sizeof text, "%c%.1f %.1f%s", command, point.x, point.y, dot ? "h0" : "");
    path += text;
}

std::string html_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string svg_legend(const std::vector<LegendEntry>& entries, double x, double y) {
    std::string out;
    for (const LegendEntry& e : entries) {
        if (e.dot)
            out += element("circle", "cx=\"" + svg_number(x + 8) + "\" cy=\"" + svg_number(y - 4) +
                                         "\" r=\"4\" fill=\"" + e.style.colour + "\"");
        else
            out += element("path", "d=\"M" + svg_number(x) + " " + svg_number(y - 4) + "h18\" stroke=\"" +
                                       e.style.colour + "\" stroke-width=\"2.5\"" + dash_attribute(e.style));
        out +=
            element("text", "x=\"" + svg_number(x + 22) + "\" y=\"" + svg_number(y) + "\" class=\"legend\"",
                    html_text(e.label));
        x += 34 + kCharWidth * static_cast<double>(e.label.size());
    }
    return out;
}

std::vector<PlotPoint> thinned(const std::vector<PlotPoint>& points, std::size_t limit) {
    if (points.size() <= limit || limit < 2)
        return points;
    std::vector<PlotPoint> out;
    const double step = static_cast<double>(points.size() - 1) / static_cast<double>(limit - 1);
    for (std::size_t i = 0; i < limit; ++i)
        out.push_back(points[static_cast<std::size_t>(std::lround(static_cast<double>(i) * step))]);
    return out;
}

SvgPlot::SvgPlot(std::string kind, std::string owner, std::string title, double width, double height)
    : kind_(std::move(kind)),
      owner_(std::move(owner)),
      title_(std::move(title)),
      width_(width),
      height_(height) {}

double SvgPlot::frame_width() const {
    return width_ - kLeft - kRight;
}

double SvgPlot::frame_height() const {
    return height_ - kTop - kBottom;
}

void SvgPlot::gps_time_axis(double first, double last) {
    gps_time_ = true;
    x_low_ = first;
    x_high_ = last > first ? last : first + 1.0;
    x_label_ = "GPS time (hh:mm:ss from " + gps_time_text(first).substr(0, 10) + ")";
}

void SvgPlot::number_x_axis(double low, double high, std::string label) {
    gps_time_ = false;
    x_low_ = low;
    x_high_ = high > low ? high : low + 1.0;
    x_label_ = std::move(label);
}

void SvgPlot::number_y_axis(double low, double high, std::string label) {
    if (!(high > low)) {
        low -= 0.5;
        high = low + 1.0;
    }
    y_low_ = low;
    y_high_ = high;
    y_label_ = std::move(label);
}

void SvgPlot::category_y_axis(std::vector<std::string> rows, std::string label) {
    categories_ = std::move(rows);
    y_low_ = 0.0;
    y_high_ = static_cast<double>(categories_.size());
    y_label_ = std::move(label);
}

double SvgPlot::px(double x) const {
    return kLeft + (x - x_low_) / (x_high_ - x_low_) * (width_ - kLeft - kRight);
}

double SvgPlot::py(double y) const {
    return height_ - kBottom - (y - y_low_) / (y_high_ - y_low_) * (height_ - kTop - kBottom);
}

void SvgPlot::add_legend(const PlotStyle& style, const std::string& label, bool dot) {
    if (!label.empty())
        legend_.push_back({style, label, dot});
}

void SvgPlot::line(const std::vector<PlotPoint>& points, const PlotStyle& style, const std::string& label) {
    add_legend(style, label, false);
    std::string d;
    bool pen_down = false;
    for (const PlotPoint& p : points) {
        if (!std::isfinite(p.y)) {
            pen_down = false;  // a break in the line where there is no value
            continue;
        }
        path_point(d, pen_down ? 'L' : 'M', {px(p.x), py(p.y)});
        pen_down = true;
    }
    if (!d.empty())
        marks_ += element("path", "d=\"" + d + "\" fill=\"none\" stroke=\"" + style.colour +
                                      "\" stroke-width=\"1.5\"" + dash_attribute(style));
}

void SvgPlot::dots(const std::vector<PlotPoint>& points, const PlotStyle& style, const std::string& label) {
    add_legend(style, label, true);
    // Zero-length strokes with round caps: a dot in a dozen bytes.
    std::string d;
    for (const PlotPoint& p : points)
        if (std::isfinite(p.x) && std::isfinite(p.y))
            path_point(d, 'M', {px(p.x), py(p.y)}, true);
    if (!d.empty())
        marks_ += element("path", "d=\"" + d + "\" stroke=\"" + style.colour +
                                      "\" stroke-width=\"4\" stroke-linecap=\"round\"");
}

void SvgPlot::spans(const std::vector<PlotPoint>& from_to, int row, const PlotStyle& style,
                    const std::string& label) {
    add_legend(style, label, true);
    const double top = py(row + 0.8);
    const double height = py(row + 0.2) - top;
    for (const PlotPoint& s : from_to) {
        const double x0 = px(std::max(s.x, x_low_));
        const double x1 = px(std::min(s.y, x_high_));
        // At least two pixels wide, so a short gap still shows.
        marks_ += element("rect", "x=\"" + svg_number(x0) + "\" y=\"" + svg_number(top) + "\" width=\"" +
                                      svg_number(std::max(x1 - x0, 2.0)) + "\" height=\"" +
                                      svg_number(height) + "\" fill=\"" + style.colour + "\"");
    }
}

void SvgPlot::row_note(int row, const std::string& text) {
    marks_ += element(
        "text",
        "x=\"" + svg_number(px(x_low_) + 8) + "\" y=\"" + svg_number(py(row + 0.5) + 4) + "\" class=\"note\"",
        html_text(text));
}

void SvgPlot::note(const std::string& text) {
    notes_.push_back(text);
}

std::string SvgPlot::axes() const {
    std::string out;
    const double bottom = height_ - kBottom;
    out += element("rect", "x=\"" + svg_number(kLeft) + "\" y=\"" + svg_number(kTop) + "\" width=\"" +
                               svg_number(width_ - kLeft - kRight) + "\" height=\"" +
                               svg_number(bottom - kTop) + "\" class=\"frame\"");
    // x ticks
    const double span = x_high_ - x_low_;
    double step = 0.0;
    if (gps_time_) {
        step = kTimeSteps.back();
        for (double s : kTimeSteps)
            if (span / s <= kMaxTimeTicks) {
                step = s;
                break;
            }
    } else {
        step = nice_step(span, kNumberTicks);
    }
    for (double x = std::ceil(x_low_ / step) * step; x <= x_high_ + 1e-9; x += step) {
        std::string label = svg_number(x, step < 1.0 ? 1 : 0);
        if (gps_time_) {
            const std::string text = gps_time_text(x);  // "2024-03-05 12:34:56.000"
            label = step >= 60.0 ? text.substr(11, 5) : text.substr(11, 8);
            if (span > kSecondsPerDay)
                label = text.substr(8, 2) + "d " + label;
        }
        out += element("path", "d=\"M" + svg_number(px(x)) + " " + svg_number(kTop) + "V" +
                                   svg_number(bottom) + "\" class=\"grid\"");
        out += element(
            "text",
            "x=\"" + svg_number(px(x)) + "\" y=\"" + svg_number(bottom + 14) + "\" text-anchor=\"middle\"",
            label);
    }
    out += element("text",
                   "x=\"" + svg_number((kLeft + width_ - kRight) / 2) + "\" y=\"" + svg_number(height_ - 8) +
                       "\" text-anchor=\"middle\" class=\"axis\"",
                   html_text(x_label_));
    // y ticks
    if (!categories_.empty()) {
        for (std::size_t i = 0; i < categories_.size(); ++i)
            out += element("text",
                           "x=\"" + svg_number(kLeft - 6) + "\" y=\"" +
                               svg_number(py(static_cast<double>(i) + 0.5) + 4) + "\" text-anchor=\"end\"",
                           html_text(categories_[i]));
    } else {
        const double y_step = nice_step(y_high_ - y_low_, kNumberTicks);
        const int decimals = y_step < 1.0 ? static_cast<int>(std::ceil(-std::log10(y_step))) : 0;
        for (double y = std::ceil(y_low_ / y_step) * y_step; y <= y_high_ + 1e-9 * y_step; y += y_step) {
            out += element("path", "d=\"M" + svg_number(kLeft) + " " + svg_number(py(y)) + "H" +
                                       svg_number(width_ - kRight) + "\" class=\"grid\"");
            out += element(
                "text",
                "x=\"" + svg_number(kLeft - 6) + "\" y=\"" + svg_number(py(y) + 4) + "\" text-anchor=\"end\"",
                svg_number(std::fabs(y) < 1e-12 ? 0.0 : y, decimals));
        }
    }
    const double middle = (kTop + bottom) / 2;
    out += element("text",
                   "x=\"14\" y=\"" + svg_number(middle) + "\" transform=\"rotate(-90 14 " +
                       svg_number(middle) + ")\" text-anchor=\"middle\" class=\"axis\"",
                   html_text(y_label_));
    return out;
}

std::string SvgPlot::svg() const {
    std::string out = "<svg class=\"plot\" data-plot=\"" + kind_ + "\" data-owner=\"" + owner_ +
                      "\" viewBox=\"0 0 " + svg_number(width_, 0) + " " + svg_number(height_, 0) +
                      "\" role=\"img\" aria-label=\"" + html_text(title_) + "\">";
    out += element("text", "x=\"" + svg_number(kLeft) + "\" y=\"18\" class=\"title\"", html_text(title_));
    out += axes();
    out += marks_;
    out += svg_legend(legend_, kLeft, 40);
    double y = (kTop + height_ - kBottom) / 2;
    for (const std::string& n : notes_) {
        out += element("text",
                       "x=\"" + svg_number(width_ / 2) + "\" y=\"" + svg_number(y) +
                           "\" text-anchor=\"middle\" class=\"note\"",
                       html_text(n));
        y += 16;
    }
    return out + "</svg>\n";
}
