#pragma once

// The outcome of analysing one frame, as a value: what the overlay, the recognition-data text,
// the batch table and the view read.

#include <opencv2/core.hpp>
#include <vector>

#include "analysis/ToothResult.h"

namespace quendra {

struct FrameResult {
    // This frame had enamel: `tooth` measures its largest region. Without, `tooth` still holds
    // the last tooth found, as the window has always shown it.
    bool toothFound = false;
    // At least one canal was accepted; only then is `tooth.toothType` decided.
    bool hasResults = false;
    ToothResult tooth{};
    // The accepted canals, in the scan order of their first pixels.
    std::vector<CanalResult> canals;
    // The part of the frame searched for enamel: half-open, clamped to the frame.
    cv::Rect searchWindow;
    // The ignored margin as set (any value); the overlay frames the search with it.
    int border = 20;
    // Scale of the acceptance ellipse against the tooth's own.
    float ellipseRadius = 0.8f;
};

}  // namespace quendra
