// The report page of committed logs (the sample, the damaged replay case): every figure present for
// every receiver and for the inertial sensor, the summary table and the median position's cells as
// the summary lines give them, every damaged stretch drawn, the run's facts, and nothing that would
// be fetched from elsewhere. Also the bounded series the figures are drawn from.
#include <gtest/gtest.h>

#include <regex>

#include "quality/envelope_series.h"
#include "report/report_page.h"
#include "tests/support/log_fixtures.h"

namespace {
const ReportFacts kFacts{"day 1 <field>.vxp", "kelvartix V1.1", "-report -marker_name \"PT 17\"",
                         "2024-03-05 12:00:00 UTC"};
const char* const kReceiverPlots[] = {"satellites", "cn0", "timeline", "sky", "positions", "height"};
const char* const kImuPlots[] = {"imu-rate", "imu-interval", "imu-gaps"};

std::string unescaped(std::string text) {
    for (const auto& [from, to] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}})
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
            text.replace(at, std::string(from).size(), to);
    return text;
}

// Every match's first group in `text`.
std::vector<std::string> groups(const std::string& text, const std::string& pattern) {
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back(unescaped((*it)[1].str()));
    return out;
}

// The text of the element that begins with `opening` up to `closing`.
std::string part(const std::string& html, const std::string& opening, const std::string& closing) {
    const std::size_t begin = html.find(opening);
    if (begin == std::string::npos)
        return {};
    return html.substr(begin, html.find(closing, begin) - begin);
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class ReportPage : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(feed_log_file(std::string(SOURCE_DIR) + "/" + GetParam(), survey_));
        survey_.finish();
        html_ = report_page(survey_, kFacts);
    }
    std::string section(int receiver) const {
        return part(html_, "<section id=\"receiver-" + std::to_string(receiver) + "\">", "</section>");
    }

    QualitySurvey survey_{{}, {}};
    std::string html_;
};

TEST_P(ReportPage, EveryFigureForEveryReceiverAndTheSensor) {
    int receivers = 0;
    for (int r = 0; r < kReceiverCount; ++r) {
        const std::string owner = "data-owner=\"receiver-" + std::to_string(r) + "\"";
        const bool has_epochs = survey_.receiver(r) != nullptr && survey_.receiver(r)->kept_epochs() != 0;
        receivers += has_epochs;
        for (const char* plot : kReceiverPlots)
            EXPECT_EQ(occurrences(html_, "data-plot=\"" + std::string(plot) + "\" " + owner),
                      has_epochs ? 1U : 0U)
                << plot << " of receiver " << r;
    }
    EXPECT_GE(receivers, 2);
    ASSERT_TRUE(survey_.imu().samples().any());
    for (const char* plot : kImuPlots)
        EXPECT_EQ(occurrences(html_, "data-plot=\"" + std::string(plot) + "\" data-owner=\"imu\""), 1U)
            << plot;
}

TEST_P(ReportPage, SummaryTablesHoldTheSummaryLines) {
    for (int r = 0; r < kReceiverCount; ++r) {
        const std::string table = part(section(r), "<table class=\"summary\">", "</table>");
        std::vector<std::string> lines;
        const std::vector<std::string> labels = groups(table, "<th>([^<]*)</th>");
        const std::vector<std::string> values = groups(table, "<td>([^<]*)</td>");
        ASSERT_EQ(labels.size(), values.size());
        for (std::size_t i = 0; i < labels.size(); ++i)
            lines.push_back(i == 0 ? "Quality of GNSS id " + std::to_string(r) + ": " + values[i]
                                   : "  " + labels[i] + ": " + values[i]);
        EXPECT_EQ(lines, survey_.receiver_summary_lines(r)) << "receiver " << r;
    }
    const std::string imu = part(html_, "<section id=\"imu\">", "</table>");
    const std::vector<std::string> values = groups(imu, "<td>([^<]*)</td>");
    ASSERT_EQ(values.size(), 2U);
    EXPECT_EQ((std::vector<std::string>{"IMU: " + values[0], "  Samples: " + values[1]}),
              survey_.imu_summary_lines());
}

TEST_P(ReportPage, MedianPositionCellsAreTheSummarys) {
    for (int r = 0; r < kReceiverCount; ++r) {
        const std::optional<MedianPosition> median = survey_.median_position(r);
        const std::vector<std::string> cells = groups(section(r), "<td data-figure=\"[a-z]+\">([^<]*)</td>");
        if (!median) {
            EXPECT_TRUE(cells.empty());
            continue;
        }
        ASSERT_EQ(cells.size(), 7U) << "receiver " << r;
        const std::string rebuilt = "  Position: " + cells[0] + " " + cells[1] + " " + cells[2] + " m (" +
                                    cells[3] + " " + cells[4] + " " + cells[5] + " m), median of " +
                                    std::to_string(median->epochs_used) + " epochs, rms " + cells[6] + " m";
        const std::vector<std::string> lines = survey_.receiver_summary_lines(r);
        EXPECT_NE(std::find(lines.begin(), lines.end(), rebuilt), lines.end()) << rebuilt;
    }
}

TEST_P(ReportPage, EveryDamagedStretchIsDrawnOnTheTimelines) {
    // The damaged stretches are drawn in the damage colour on every timeline they reach into.
    const std::string damage_rect = "fill=\"#0072B2\"";
    std::size_t drawn = 0;
    for (int r = 0; r < kReceiverCount; ++r) {
        const ReceiverQuality* receiver = survey_.receiver(r);
        if (receiver == nullptr)
            continue;
        std::size_t reaching = 0;
        for (const DamagedStretch& s : survey_.damage().stretches())
            reaching += !(s.before < receiver->epochs().first()) && !(s.after > receiver->epochs().last());
        const std::string timeline = part(section(r), "data-plot=\"timeline\"", "</svg>");
        EXPECT_EQ(occurrences(timeline, "<rect") - 1, reaching) << "receiver " << r;      // less the frame
        EXPECT_EQ(occurrences(timeline, damage_rect), reaching + 1) << "receiver " << r;  // and its legend
        drawn += reaching;
    }
    EXPECT_EQ(drawn > 0, survey_.damage().total_stretches() > 0);
}

TEST_P(ReportPage, NamesTheRunAndFetchesNothing) {
    EXPECT_EQ(groups(html_, "<td data-fact=\"[a-z-]+\">([^<]*)</td>"),
              (std::vector<std::string>{kFacts.log_name, kFacts.program, kFacts.options, kFacts.run_time,
                                        survey_.damage_summary_line()}));
    for (const char* reference : {"http", "src=", "href", "<script", "<link", "<img", "url(", "@import"})
        EXPECT_EQ(html_.find(reference), std::string::npos) << reference;
}

INSTANTIATE_TEST_SUITE_P(CommittedLogs, ReportPage,
                         ::testing::Values("samples/sample.vxp", "tests/replay/damaged/damaged.vxp"));

// The sensor's interval envelope stays within its capacity, covers every value and keeps a spike
// however far it is thinned.
TEST(EnvelopeSeries, StaysBoundedAndKeepsTheExtremes) {
    struct Case {
        std::size_t capacity;
        uint64_t values;
    };
    for (const Case c : {Case{8, 7}, Case{8, 8}, Case{8, 9}, Case{7, 1000}, Case{2048, 1000003}}) {
        EnvelopeSeries series(c.capacity);
        for (uint64_t i = 0; i < c.values; ++i)
            series.add(static_cast<double>(i), i == c.values / 3 ? 9.0 : (i == c.values / 2 ? -1.0 : 0.005));
        uint64_t covered = 0;
        double high = 0.0, low = 1.0;
        for (const EnvelopePoint& p : series.points()) {
            covered += p.count;
            high = std::max(high, p.high);
            low = std::min(low, p.low);
        }
        EXPECT_LE(series.points().size(), c.capacity) << c.capacity << " " << c.values;
        EXPECT_EQ(covered, c.values);
        EXPECT_EQ(high, 9.0);
        EXPECT_EQ(low, -1.0);
        EXPECT_EQ(series.points().front().time, 0.0);
    }
}
}  // namespace
