#pragma once

// The run's report: one self-contained German HTML page beside the table (report.html, or
// report-K-of-N.html for a shard) that shows a run at a glance. It is made from the run's own
// outputs, read by name (run.json's fields, the table's columns, stacks.csv when there is
// one), so it follows them as they grow:
//   - the run: command line, version, settings, start and end, status;
//   - counts of items, frames, teeth, canals, tooth types, teeth without an accepted canal
//     and pictures without a tooth, and the problems by file;
//   - histograms (inline SVG) of canal area, circularity and caliper ratio per tooth type;
//   - per stack its configuration and canal-count picture;
//   - a gallery of the thumbnails the run made (ReportThumbnails.h), with a filter by tooth
//     type and outcome (a small inline script; without it every thumbnail shows).
// It holds aggregates only, never an element per row, so a run of 100,000 rows gives a page
// of the same few hundred kilobytes. No script, font or style comes from elsewhere.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"

namespace quendra {

// The run's files the page is made of, and the page's own.
struct ReportSources {
    std::filesystem::path out, table, record, page;
    std::string suffix;  // of the run's file names (RunFileNames.h)
};

// The page's HTML from the run's files; `items` give the names of their outputs.
std::string runReportHtml(const ReportSources& sources, const std::vector<BatchItem>& items);

// Writes the page, replacing an earlier one whole; the problem, named, when it cannot be.
std::optional<std::string> writeRunReport(const ReportSources& sources,
                                          const std::vector<BatchItem>& items);

}  // namespace quendra
