#include "analysis/ToothOutline.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace quendra {

namespace {

// `mask` (0 background, 255 region, its border row and column background) with every hole
// filled: the background not reached from the corner through 8-connected background.
cv::Mat filledHoles(const cv::Mat& mask) {
    cv::Mat outside = mask.clone();
    cv::floodFill(outside, cv::Point(0, 0), cv::Scalar(128), nullptr, cv::Scalar(0), cv::Scalar(0),
                  8);
    cv::Mat filled;
    cv::compare(outside, cv::Scalar(128), filled, cv::CMP_NE);
    return filled;
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
    const cv::Mat disc = cv::getStructuringElement(
        cv::MORPH_ELLIPSE, cv::Size(2 * kOutlineClosingPx + 1, 2 * kOutlineClosingPx + 1));
    cv::morphologyEx(region, closed, cv::MORPH_CLOSE, disc);
    const cv::Mat filled = filledHoles(closed);
    // Inner: a hole of the region itself, or of the closed region.
    cv::Mat inner = filledHoles(region) & ~region;
    inner |= filled & ~closed;

    ToothOutline outline;
    const cv::Rect local(origin, region.size());
    outline.rect = local & cv::Rect(cv::Point(0, 0), frameSize);
    const cv::Rect crop = outline.rect - origin;
    outline.filled = filled(crop).clone();
    outline.inner = inner(crop).clone();
    outline.filledArea = cv::countNonZero(outline.filled);
    return outline;
}

std::vector<RowSpan> ToothOutline::spansWithin(cv::Rect box) const {
    std::vector<RowSpan> spans;
    const cv::Rect part = box & rect;
    for (int y = part.y; y < part.y + part.height; ++y) {
        const std::uint8_t* row = filled.ptr<std::uint8_t>(y - rect.y) - rect.x;
        for (int x = part.x; x < part.x + part.width;) {
            if (!row[x]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < part.x + part.width && row[x]) ++x;
            spans.push_back({y, start, x});
        }
    }
    return spans;
}

}  // namespace quendra
