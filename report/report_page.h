// The report: one self-contained HTML page (inline SVG and CSS, nothing fetched from elsewhere)
// with the quality summary of a log as tables and figures, per receiver and for the inertial
// sensor, headed by the facts of the run.
#pragma once

#include <string>

#include "output/writer_outcome.h"
#include "quality/quality_survey.h"

struct ReportFacts {
    std::string log_name;  // the input as given
    std::string program;   // name and version
    std::string options;   // the command line's options as given
    std::string run_time;  // when the run began, UTC
};

std::string report_page(const QualitySurvey& quality, const ReportFacts& facts);
// The page written whole (or not at all) to `path`.
WriterOutcome write_report(const QualitySurvey& quality, const ReportFacts& facts, const std::string& path);
