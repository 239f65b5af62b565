#pragma once

// The four real micro-CT root sections in tests/data/realdata (CC BY 4.0, attribution in the
// README there) with what an operator sees in them: where the one canal of each lies, and the
// rectangles they would drag to teach dentin and background.

#include <filesystem>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace quendra {

class ColorTraining;

struct RealSection {
    std::string file;  // within the folder
    cv::Point canal;   // the canal's centre, as the picture shows it
    std::vector<cv::Rect> dentinPicks;
    std::vector<cv::Rect> backgroundPicks;
};

std::vector<RealSection> realSections();

// Records every section's picks from its picture in `folder` into `training`, dentin as class 1
// and background as class 2; throws std::runtime_error when a picture cannot be read.
void pickRealSectionColors(const std::filesystem::path& folder, ColorTraining& training);

}  // namespace quendra
