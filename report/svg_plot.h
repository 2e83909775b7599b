// Plots as inline SVG for the report page: a frame with axes (GPS time or a plain number along x),
// ticks, labels, a title and a legend, and the marks drawn in it (lines, dots, spans). Text only:
// no script, no font or image from elsewhere.
#pragma once

#include <string>
#include <vector>

struct PlotPoint {
    double x = 0.0;
    double y = 0.0;
};

// A mark's look: its colour, and a dash pattern ("" solid) so lines stay apart in grey print.
struct PlotStyle {
    std::string colour;
    std::string dash;
};

struct LegendEntry {
    PlotStyle style;
    std::string label;
    bool dot = false;  // a dot rather than a line
};

// Colours of the Okabe-Ito palette (told apart with any colour vision), black first.
const std::string& palette_colour(std::size_t index);
const std::string& palette_dash(std::size_t index);

// "12.3" with one decimal, "-" for what is no number; short enough for thousands of coordinates.
std::string svg_number(double value, int decimals = 1);
// Appends a path command at a point ("M12.3 45.6"), with "h0" after it for a dot.
void path_point(std::string& path, char command, const PlotPoint& point, bool dot = false);
// Text with &, <, > and " escaped.
std::string html_text(const std::string& text);
// A row of legend entries starting at (x, y).
std::string svg_legend(const std::vector<LegendEntry>& entries, double x, double y);

class SvgPlot {
  public:
    static constexpr double kWidth = 960.0;
    static constexpr double kHeight = 250.0;

    // `kind` and `owner` name the plot for the page's readers and tests (data-plot, data-owner).
    SvgPlot(std::string kind, std::string owner, std::string title, double width = kWidth,
            double height = kHeight);
    // Pixels per unit along x and y of the frame; equal scales need ranges in their ratio.
    double frame_width() const;
    double frame_height() const;

    // The x axis: GPS seconds since week 0 (ticks in GPS time of day) or plain numbers.
    void gps_time_axis(double first, double last);
    void number_x_axis(double low, double high, std::string label);
    // The y axis: plain numbers with their unit in the label, or one named row per category.
    void number_y_axis(double low, double high, std::string label);
    void category_y_axis(std::vector<std::string> rows, std::string label);

    // Marks, in data coordinates, each with its legend entry (none when the label is empty).
    void line(const std::vector<PlotPoint>& points, const PlotStyle& style, const std::string& label);
    void dots(const std::vector<PlotPoint>& points, const PlotStyle& style, const std::string& label);
    // Spans [from, to] of x in the category row `row`.
    void spans(const std::vector<PlotPoint>& from_to, int row, const PlotStyle& style,
               const std::string& label);
    // A note at the start of a category row.
    void row_note(int row, const std::string& text);
    // A note in the middle of the frame (nothing to draw, or what is not recorded).
    void note(const std::string& text);

    std::string svg() const;

  private:
    double px(double x) const;
    double py(double y) const;
    std::string axes() const;
    void add_legend(const PlotStyle& style, const std::string& label, bool dot);

    std::string kind_, owner_, title_;
    double width_, height_;
    double x_low_ = 0.0, x_high_ = 1.0, y_low_ = 0.0, y_high_ = 1.0;
    bool gps_time_ = false;
    std::string x_label_, y_label_;
    std::vector<std::string> categories_;
    std::vector<LegendEntry> legend_;
    std::string marks_;
    std::vector<std::string> notes_;
};

// At most `limit` points of `points`, taken evenly, the last always among them.
std::vector<PlotPoint> thinned(const std::vector<PlotPoint>& points, std::size_t limit);
