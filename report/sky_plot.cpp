// The sky of a receiver: every GPS and Galileo satellite's track (azimuth and elevation at the
// positioned epochs) on a polar plot, north up, zenith in the middle, coloured by its strength.
#include <array>
#include <cmath>
#include <cstdio>

#include "quality/geodesy.h"
#include "report/report_figures.h"
#include "report/svg_plot.h"

namespace {
constexpr double kSize = 470.0;
constexpr double kCentreX = kSize / 2;
constexpr double kCentreY = 250.0;
constexpr double kRadius = 170.0;
constexpr std::size_t kMaxTrackDrawn = 64;

// Strength bins (dB-Hz, upper bounds) and their colours, from a colour-blind-safe sequential
// scale (dark blue to yellow-green); tracks without a strength are grey.
constexpr std::array<double, 4> kBinTops{30, 35, 40, 45};
const std::array<std::string, 5> kBinColours{"#440154", "#3B528B", "#21918C", "#35B779", "#B5DE2B"};
const std::array<std::string, 5> kBinLabels{"< 30", "30-35", "35-40", "40-45", ">= 45 dB-Hz"};
const std::string kNoStrength = "#999999";

std::size_t bin_of(float cn0) {
    std::size_t bin = 0;
    while (bin < kBinTops.size() && cn0 >= kBinTops[bin])
        ++bin;
    return bin;
}

PlotPoint sky_point(float elevation_deg, float azimuth_deg) {
    const double r = kRadius * (90.0 - elevation_deg) / 90.0;
    const double a = azimuth_deg / kDegreesPerRadian;
    return {kCentreX + r * std::sin(a), kCentreY - r * std::cos(a)};
}

std::string xy(const PlotPoint& p) {
    return svg_number(p.x) + " " + svg_number(p.y);
}

std::string frame(double mask_deg) {
    std::string out;
    for (int elevation : {0, 30, 60}) {
        const double r = kRadius * (90.0 - elevation) / 90.0;
        out += "<circle cx=\"" + svg_number(kCentreX) + "\" cy=\"" + svg_number(kCentreY) + "\" r=\"" +
               svg_number(r) + "\" class=\"grid\" fill=\"none\"/>";
        out += "<text x=\"" + svg_number(kCentreX + 3) + "\" y=\"" + svg_number(kCentreY - r - 3) + "\">" +
               std::to_string(elevation) + "°</text>";
    }
    const double mask_r = kRadius * (90.0 - mask_deg) / 90.0;
    out += "<circle cx=\"" + svg_number(kCentreX) + "\" cy=\"" + svg_number(kCentreY) + "\" r=\"" +
           svg_number(mask_r) + "\" fill=\"none\" stroke=\"#000\" stroke-dasharray=\"2 3\"/>";
    const std::array<const char*, 4> names{"N", "E", "S", "W"};
    for (int i = 0; i < 4; ++i) {
        const PlotPoint inner = sky_point(90.0F, 90.0F * static_cast<float>(i));
        const PlotPoint outer = sky_point(-6.0F, 90.0F * static_cast<float>(i));
        const PlotPoint edge = sky_point(0.0F, 90.0F * static_cast<float>(i));
        out += "<path d=\"M" + xy(inner) + "L" + xy(edge) + "\" class=\"grid\"/>";
        out += "<text x=\"" + svg_number(outer.x) + "\" y=\"" + svg_number(outer.y + 4) +
               "\" text-anchor=\"middle\" class=\"axis\">" + names[static_cast<std::size_t>(i)] + "</text>";
    }
    return out;
}
}  // namespace

std::string sky_plot(int index, const ReceiverQuality& receiver, double elevation_mask_deg) {
    std::string out = "<svg class=\"plot\" data-plot=\"sky\" data-owner=\"" + receiver_owner(index) +
                      "\" viewBox=\"0 0 " + svg_number(kSize, 0) + " " + svg_number(kSize, 0) +
                      "\" role=\"img\" aria-label=\"Sky plot\">";
    out +=
        "<text x=\"10\" y=\"18\" class=\"title\">Sky: satellite tracks (azimuth, elevation), band-1 "
        "C/N0</text>";
    out += frame(elevation_mask_deg);
    std::array<std::string, kBinColours.size() + 1> dots;  // per bin, the last for no strength
    std::string tracks, names;
    bool any = false;
    for (KeplerSystem system : {KeplerSystem::gps, KeplerSystem::galileo}) {
        for (int sat = 0; sat < BroadcastEphemerides::slots(system); ++sat) {
            const DecimatedSeries<TrackPoint>* track = receiver.track(system, sat);
            if (track == nullptr || track->values().empty())
                continue;
            any = true;
            const auto& values = track->values();
            const std::size_t step = (values.size() + kMaxTrackDrawn - 1) / kMaxTrackDrawn;
            std::string d;
            for (std::size_t i = 0; i < values.size(); i += step) {
                const PlotPoint p = sky_point(values[i].elevation_deg, values[i].azimuth_deg);
                path_point(d, d.empty() ? 'M' : 'L', p);
                const float cn0 = values[i].cn0_dbhz;
                path_point(dots[std::isnan(cn0) ? kBinColours.size() : bin_of(cn0)], 'M', p, true);
            }
            tracks += "<path d=\"" + d + "\" fill=\"none\" stroke=\"#BBBBBB\" stroke-width=\"0.8\"/>";
            const PlotPoint end = sky_point(values.back().elevation_deg, values.back().azimuth_deg);
            char name[16];
            std::snprintf(name, sizeof name, "%c%02d", system == KeplerSystem::gps ? 'G' : 'E', sat);
            names += "<text x=\"" + svg_number(end.x + 4) + "\" y=\"" + svg_number(end.y - 3) +
                     "\" class=\"small\">" + name + "</text>";
        }
    }
    out += tracks;
    for (std::size_t bin = 0; bin < dots.size(); ++bin)
        if (!dots[bin].empty())
            out += "<path d=\"" + dots[bin] + "\" stroke=\"" +
                   (bin < kBinColours.size() ? kBinColours[bin] : kNoStrength) +
                   "\" stroke-width=\"5\" stroke-linecap=\"round\"/>";
    out += names;
    std::vector<LegendEntry> legend;
    for (std::size_t bin = 0; bin < kBinColours.size(); ++bin)
        legend.push_back({{kBinColours[bin], ""}, kBinLabels[bin], true});
    out += svg_legend(legend, 10, 40);
    out += svg_legend({{{kNoStrength, ""}, "not tracked", true},
                       {{"#000", "2 3"}, "elevation mask " + svg_number(elevation_mask_deg, 0) + "°", false}},
                      10, 58);
    if (!any)
        out += "<text x=\"" + svg_number(kCentreX) + "\" y=\"" + svg_number(kCentreY) +
               "\" text-anchor=\"middle\" class=\"note\">no satellite positioned (no GPS or Galileo "
               "positions)</text>";
    return out + "</svg>\n";
}
