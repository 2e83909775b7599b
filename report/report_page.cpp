#include "report/report_page.h"

#include <cmath>

#include "output/output_file.h"
#include "report/report_figures.h"
#include "report/svg_plot.h"

namespace {
// Printable and screen-friendly: black text on white, thin grey grid, figures kept whole on a page.
constexpr const char* kStyle = R"(
body { font-family: sans-serif; color: #000; background: #fff; margin: 1.5em; max-width: 1000px; }
h1 { font-size: 1.5em; } h2 { font-size: 1.25em; border-bottom: 1px solid #000; margin-top: 1.5em; }
table { border-collapse: collapse; margin: 0.5em 0; font-size: 0.9em; }
th, td { border: 1px solid #888; padding: 2px 6px; text-align: left; vertical-align: top; }
svg.plot { width: 100%; height: auto; display: block; margin: 0.4em 0; break-inside: avoid; }
.pair { display: flex; gap: 8px; } .pair svg.plot { width: 50%; }
svg text { font-size: 11px; fill: #000; } svg .title { font-size: 13px; font-weight: bold; }
svg .axis { font-size: 12px; } svg .small { font-size: 9px; fill: #444; } svg .note { font-size: 13px; fill: #555; }
svg .frame { fill: none; stroke: #000; } svg .grid { stroke: #ddd; stroke-width: 1; }
@media print { body { margin: 0; } section { break-before: page; } }
)";

// "  Label: value" as a row; the first line's "Quality of GNSS id 0: value" as "Span".
std::string summary_row(const std::string& line, bool first) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos)
        return "<tr><td colspan=\"2\">" + html_text(line) + "</td></tr>";
    const std::size_t begin = line.find_first_not_of(' ');
    const std::string label = first ? "Span" : line.substr(begin, colon - begin);
    return "<tr><th>" + html_text(label) + "</th><td>" + html_text(line.substr(colon + 2)) + "</td></tr>";
}

std::string summary_table(const std::vector<std::string>& lines) {
    std::string out = "<table class=\"summary\">";
    for (std::size_t i = 0; i < lines.size(); ++i)
        out += summary_row(lines[i], i == 0);
    return out + "</table>\n";
}

std::string figure_cell(const char* figure, const std::string& text) {
    return std::string("<td data-figure=\"") + figure + "\">" + text + "</td>";
}

// The median position, a cell per figure, as the summary gives them.
std::string position_table(const MedianPosition& p) {
    const double lat = p.geodetic.latitude * kDegreesPerRadian;
    const double lon = p.geodetic.longitude * kDegreesPerRadian;
    return "<table class=\"position\"><tr><th>Median position</th><th>X (m)</th><th>Y (m)</th><th>Z (m)</th>"
           "<th>latitude (°)</th><th>longitude (°)</th><th>height (m)</th><th>rms (m)</th></tr><tr><td>ECEF, "
           "WGS-84</td>" +
           figure_cell("x", svg_number(p.position.x, 3)) + figure_cell("y", svg_number(p.position.y, 3)) +
           figure_cell("z", svg_number(p.position.z, 3)) +
           figure_cell("latitude", svg_number(std::fabs(lat), 7) + (lat < 0 ? " S" : " N")) +
           figure_cell("longitude", svg_number(std::fabs(lon), 7) + (lon < 0 ? " W" : " E")) +
           figure_cell("height", svg_number(p.geodetic.height, 3)) +
           figure_cell("rms", svg_number(p.rms_m, 2)) + "</tr></table>\n";
}

std::string receiver_section(int index, const QualitySurvey& quality) {
    const ReceiverQuality& r = *quality.receiver(index);
    std::string out = "<section id=\"" + receiver_owner(index) + "\"><h2>GNSS id " + std::to_string(index) +
                      "</h2>\n" + summary_table(quality.receiver_summary_lines(index));
    if (r.kept_epochs() == 0)
        return out + "</section>\n";
    if (const std::optional<MedianPosition> p = r.median_position())
        out += position_table(*p);
    out += satellites_plot(index, r) + strength_plot(index, r) + timeline_plot(index, r, quality.damage());
    out += "<div class=\"pair\">" + sky_plot(index, r, quality.settings().positioning.elevation_mask_deg) +
           positions_plot(index, r) + "</div>\n";
    return out + height_plot(index, r) + "</section>\n";
}

std::string imu_section(const QualitySurvey& quality) {
    const ImuQuality& imu = quality.imu();
    if (!imu.any())
        return {};
    std::string out =
        "<section id=\"imu\"><h2>Inertial sensor</h2>\n" + summary_table(quality.imu_summary_lines());
    if (imu.samples().any())
        out += imu_rate_plot(imu) + imu_interval_plot(imu) + imu_timeline_plot(imu, quality.damage());
    return out + "</section>\n";
}
}  // namespace

std::string report_page(const QualitySurvey& quality, const ReportFacts& facts) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Quality report: " +
        html_text(facts.log_name) + "</title>\n<style>" + kStyle + "</style></head><body>\n";
    out += "<h1>Quality report: " + html_text(facts.log_name) + "</h1>\n<table class=\"run\">";
    out += "<tr><th>Log</th><td data-fact=\"log\">" + html_text(facts.log_name) + "</td></tr>";
    out += "<tr><th>Program</th><td data-fact=\"program\">" + html_text(facts.program) + "</td></tr>";
    out += "<tr><th>Options</th><td data-fact=\"options\">" +
           (facts.options.empty() ? std::string("(none)") : html_text(facts.options)) + "</td></tr>";
    out += "<tr><th>Run at</th><td data-fact=\"run-time\">" + html_text(facts.run_time) + "</td></tr>";
    out += "<tr><th>Damage</th><td data-fact=\"damage\">" + html_text(quality.damage_summary_line()) +
           "</td></tr></table>\n";
    out +=
        "<p>Times are GPS time. Colours of the Okabe-Ito and viridis scales; lines also differ by "
        "dash.</p>\n";
    for (int r = 0; r < kReceiverCount; ++r)
        if (quality.receiver(r) != nullptr)
            out += receiver_section(r, quality);
    out += imu_section(quality);
    return out + "</body></html>\n";
}

WriterOutcome write_report(const QualitySurvey& quality, const ReportFacts& facts, const std::string& path) {
    const std::string text = report_page(quality, facts);
    OutputFile file;
    if (!file.open(path) || !file.write(text) || !file.close())
        return file.failure();
    return {WriterOutcome::Status::written, path, {}};
}
