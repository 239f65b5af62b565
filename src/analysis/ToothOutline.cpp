#include "analysis/ToothOutline.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "analysis/Regions.h"

namespace quendra {

namespace {

// The holes of `mask` (0 background, 255 region, its border rows and columns background): 255
// on the background regions (4-connected, from their runs) that do not reach the border.
cv::Mat holesOf(const cv::Mat& mask) {
    std::vector<Region> background;
    RunEncoder encoder;
    Run* runs = nullptr;
    const int count = labelRegions(mask, background, encoder, runs, false);
    cv::Mat holes = cv::Mat::zeros(mask.size(), CV_8UC1);
    for (int i = 0; i < count; ++i) {
        const Region& r = background[static_cast<std::size_t>(runs[i].region)];
        if (r.minX > 0 && r.minY > 0 && r.maxX < mask.cols - 1 && r.maxY < mask.rows - 1)
            std::fill(holes.ptr<std::uint8_t>(runs[i].y) + runs[i].xStart,
                      holes.ptr<std::uint8_t>(runs[i].y) + runs[i].xEnd + 1, std::uint8_t{255});
    }
    return holes;
}

}  // namespace

ToothOutline toothOutline(std::span<const Run* const> runs, cv::Rect extent, cv::Size frameSize) {
    CV_Assert(extent.width >= 0 && extent.height >= 0);
    // Local pictures with a margin of background wider than the closing, so that neither the
    // closing nor the fill sees the picture's edge.
    const int pad = kOutlineClosingPx + 1;
    const cv::Point origin(extent.x - pad, extent.y - pad);
    cv::Mat region =
        cv::Mat::zeros(extent.height + 1 + 2 * pad, extent.width + 1 + 2 * pad, CV_8UC1);
    for (const Run* run : runs) {
        std::uint8_t* row = region.ptr<std::uint8_t>(run->y - origin.y);
        std::fill(row + run->xStart - origin.x, row + run->xEnd + 1 - origin.x, std::uint8_t{255});
    }
    cv::Mat closed;
    // A square: its dilation and erosion are separable, a row and a column pass each.
    const cv::Mat square = cv::getStructuringElement(
        cv::MORPH_RECT, cv::Size(2 * kOutlineClosingPx + 1, 2 * kOutlineClosingPx + 1));
    cv::morphologyEx(region, closed, cv::MORPH_CLOSE, square);
    const cv::Mat holes = holesOf(closed);
    const cv::Mat filled = closed | holes;

    ToothOutline outline;
    const cv::Rect local(origin, region.size());
    outline.rect = local & cv::Rect(cv::Point(0, 0), frameSize);
    outline.crop_ = outline.rect - origin;
    outline.filled = filled(outline.crop_);
    outline.closedHoles = holes(outline.crop_);
    outline.filledArea = cv::countNonZero(outline.filled);
    outline.region_ = std::move(region);
    outline.closed_ = std::move(closed);
    return outline;
}

const cv::Mat& ToothOutline::sealedHoles() {
    if (sealed_.empty()) sealed_ = (holesOf(region_) & closed_)(crop_);
    return sealed_;
}

}  // namespace quendra
