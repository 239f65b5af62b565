#pragma once

// The outcome of analysing one frame, as a value: what the overlay, the recognition-data text,
// the batch table and the view read.

#include <opencv2/core.hpp>
#include <vector>

#include "analysis/AnalysisSettings.h"
#include "analysis/ToothResult.h"

namespace quendra {

// One analysed tooth (or root) and what was found in it.
struct ToothFinding {
    ToothResult tooth{};
    // The accepted canals, in the scan order of their first pixels.
    std::vector<CanalResult> canals;
    // The colour distance the canals were searched with: the setting, or the one chosen for
    // this tooth when the threshold is automatic.
    int canalThreshold = 0;
};

// The first analysed tooth is the result itself (`tooth`, `canals`, `canalThreshold`): the
// largest tooth region, or with TeethChoice::All the first in reading order (left to right by
// centre column, then top to bottom), whose further teeth follow in `furtherTeeth`.
struct FrameResult : ToothFinding {
    // This frame had enamel: `tooth` measures a region of it. Without, `tooth` still holds
    // the last tooth found, as the window has always shown it.
    bool toothFound = false;
    // At least one canal was accepted in some tooth; only then is a tooth's type decided.
    bool hasResults = false;
    // The teeth after the first with TeethChoice::All.
    std::vector<ToothFinding> furtherTeeth;
    // With TeethChoice::Largest: the further tooth regions of at least the minimum tooth area
    // that were not analysed.
    int teethLeftOut = 0;
    // The part of the frame searched for enamel: half-open, clamped to the frame.
    cv::Rect searchWindow;
    // The settings of this analysis; classThreshold is the one the classifier used.
    AnalysisSettings settings;

    // Every analysed tooth in order, the first one first; none when no tooth was found.
    std::vector<const ToothFinding*> teeth() const;
};

inline std::vector<const ToothFinding*> FrameResult::teeth() const {
    std::vector<const ToothFinding*> all;
    if (!toothFound) return all;
    all.push_back(this);
    for (const ToothFinding& t : furtherTeeth) all.push_back(&t);
    return all;
}

}  // namespace quendra
