#pragma once

// Sections of the run's report page (RunReport.h) that stand in files of their own, and what
// they share with the page.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "report/RunReport.h"
#include "results/RunTally.h"

namespace quendra {

// Lists that could run to one line per input stop here, saying how many more there are.
inline constexpr std::size_t kReportMaxListed = 500;

std::string readWholeFile(const std::filesystem::path& file);

// The page's link to a file of the run (relative to the page's folder, the run's output folder).
std::string reportLink(const std::filesystem::path& file, const std::filesystem::path& out);

// The stacks' table of a run with stacks, with each stack's canals and (`levels`: the run wrote
// levels.csv) their levels; empty for a run without stacks (ReportStacks.cpp).
std::string stacksSection(const ReportSources& s, const std::vector<BatchItem>& items, bool levels);

// The gallery of thumbnails, the inputs with a problem first (ReportGallery.cpp).
std::string gallerySection(const ReportSources& s, const std::vector<BatchItem>& items,
                           const RunTally& t, const std::vector<std::string>& problems,
                           const std::string& overlays);

}  // namespace quendra
