#pragma once

// Where a tooth's canals may lie: the inside of the tooth region's filled outline.
//
// A canal is a space inside its root, a hole of the tooth region. Three masks over the region's
// extent tell a space inside from the outside:
// - filled: the region with every hole filled (holes are the background pixels not 8-connected
//   to the outside), after a closing by a disc of radius kOutlineClosingPx, so that a canal open
//   to the root's surface through a gap of up to 2 kOutlineClosingPx pixels (a C-shaped canal,
//   a crack) still counts as inside;
// - inner: the pixels of `filled` that lie in a hole of the region itself or in a hole of the
//   closed region; what the closing alone covers (a notch of the surface, the mouth of a gap)
//   is outside seen through a gap, not a space of the tooth.
// A canal candidate is kept when more than half its pixels are inner (ToothAnalysis.h).

#include <opencv2/core.hpp>
#include <span>
#include <vector>

#include "analysis/CanalThreshold.h"
#include "analysis/RunEncoder.h"

namespace quendra {

// Radius in pixels of the closing that seals gaps in the outline.
inline constexpr int kOutlineClosingPx = 2;

struct ToothOutline {
    cv::Rect rect;   // frame pixels the masks cover: the region's extent grown by the closing,
                     // clipped to the frame
    cv::Mat filled;  // CV_8UC1 over `rect`: 255 inside the filled outline, 0 outside
    cv::Mat inner;   // CV_8UC1 over `rect`: 255 on inner pixels (see above), 0 elsewhere
    double filledArea = 0;  // pixels of `filled`

    // Every row's stretches of `filled` within the half-open rectangle `box` (frame pixels).
    std::vector<RowSpan> spansWithin(cv::Rect box) const;
};

// The outline of the region made of `runs` (all of one region, frame coordinates) in a frame of
// `frameSize`; `extent` is the region's boundingBox (Regions.h: width and height the plain
// differences maxX - minX and maxY - minY).
ToothOutline toothOutline(std::span<const Run* const> runs, cv::Rect extent, cv::Size frameSize);

}  // namespace quendra
