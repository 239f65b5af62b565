#pragma once

// Where a tooth's canals may lie: the inside of the tooth region's filled outline.
//
// A canal is a space inside its root, a hole of the tooth region. Three masks over the region's
// extent tell a space inside from the outside:
// - filled: the region with every hole filled (holes are the background regions, 4-connected,
//   that do not reach the outside), after a closing by a square of side 2 kOutlineClosingPx + 1, so
//   that a canal open to the root's surface through a gap of up to 2 kOutlineClosingPx pixels (a
//   C-shaped canal, a crack) still counts as inside;
// - inner: the pixels of `filled` that lie in a hole of the closed region (`closedHoles`) or in
//   a hole of the region itself that the closing covered (`sealedHoles`, a canal narrower than
//   the closing); what the closing alone covers besides (a notch of the surface, the mouth of a
//   gap) is outside seen through a gap, not a space of the tooth.
// A canal candidate is kept when more than half its pixels are inner (ToothAnalysis.h).

#include <opencv2/core.hpp>
#include <span>
#include <vector>

#include "analysis/RunEncoder.h"

namespace quendra {

// Radius in pixels of the closing that seals gaps in the outline.
inline constexpr int kOutlineClosingPx = 2;

class ToothOutline {
public:
    cv::Rect rect;        // frame pixels the masks cover: the region's extent grown by the closing,
                          // clipped to the frame
    cv::Mat filled;       // CV_8UC1 over `rect`: 255 inside the filled outline, 0 outside
    cv::Mat closedHoles;  // CV_8UC1 over `rect`: 255 in the holes of the closed region
    double filledArea = 0;  // pixels of `filled`

    // CV_8UC1 over `rect`: 255 in the holes of the region that the closing covered. Made on
    // the first call: most canals are holes of the closed region and never need it.
    const cv::Mat& sealedHoles();

private:
    friend ToothOutline toothOutline(std::span<const Run* const>, cv::Rect, cv::Size);
    cv::Mat region_, closed_;  // the local pictures, with their margin
    cv::Rect crop_;            // `rect` within them
    cv::Mat sealed_;
};

// The outline of the region made of `runs` (all of one region, frame coordinates) in a frame of
// `frameSize`; `extent` is the region's boundingBox (Regions.h: width and height the plain
// differences maxX - minX and maxY - minY).
ToothOutline toothOutline(std::span<const Run* const> runs, cv::Rect extent, cv::Size frameSize);

}  // namespace quendra
