#include "analysis/ToothAnalysis.h"

#include <algorithm>
#include <cmath>

#include "analysis/RegionMeasure.h"
#include "analysis/ToothType.h"
#include "colour/PixelScan.h"

namespace quendra {

namespace {

// The window border..size-border on one axis, clamped to 0..size; computed in 64 bits so that
// any int border works.
std::pair<int, int> clampedSpan(int border, int size) {
    const long long lo = std::clamp<long long>(border, 0, size);
    const long long hi = std::clamp<long long>(static_cast<long long>(size) - border, lo, size);
    return {static_cast<int>(lo), static_cast<int>(hi)};
}

int truncatedMean(float sum, float area) {
    return static_cast<int>(sum / area);
}

}  // namespace

void ToothAnalysis::clearResults() {
    result_.toothFound = false;
    result_.hasResults = false;
    result_.canals.clear();
}

const FrameResult& ToothAnalysis::calculate(const cv::Mat& frame,
                                            const ColorClassifier& classifier) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
    clearResults();
    if (toothMask_.size() != frame.size()) {
        toothMask_.create(frame.size(), CV_8UC1);
        canalMask_.create(frame.size(), CV_8UC1);
    }

    const auto [x0, x1] = clampedSpan(result_.border, frame.cols);
    const auto [y0, y1] = clampedSpan(result_.border, frame.rows);
    result_.searchWindow = cv::Rect(x0, y0, x1 - x0, y1 - y0);
    classifyPixels(frame, ClassEnamel, cache_.data(), classifier.tree.get(), classifier.threshold,
                   toothMask_, x0, y0, x1, y1);
    Run* toothRuns = nullptr;
    if (labelRegions(toothMask_, toothRegions_, toothRunEncoder_, toothRuns, true) <= 0)
        return result_;

    const Region& tooth = toothRegions_[static_cast<std::size_t>(largestRegion(toothRegions_))];
    const EllipseMeasure toothShape = measureRegion(tooth);
    result_.toothFound = true;
    result_.tooth = {tooth.area,
                     truncatedMean(tooth.sumX, tooth.area),
                     truncatedMean(tooth.sumY, tooth.area),
                     toothShape.angle,
                     toothShape.majorAxis,
                     toothShape.minorAxis,
                     ToothUnknown};

    // The box ends one column and one row before the region's last ones (plain differences).
    const cv::Rect box = boundingBox(tooth);
    const auto darkest =
        findDarkestPixel(frame, box.x, box.y, box.x + box.width, box.y + box.height);
    if (darkest) {
        colorDistanceMask(frame, darkest->x, darkest->y, threshold_, canalMask_, box.x, box.y,
                          box.x + box.width, box.y + box.height);
    } else {
        canalMask_.setTo(255);
    }
    Run* canalRuns = nullptr;
    if (labelRegions(canalMask_, canalRegions_, canalRunEncoder_, canalRuns, true) <= 0)
        return result_;

    for (const Region& canal : canalRegions_) {
        if (!(canal.area > kMinCanalArea)) continue;
        const int cx = truncatedMean(canal.sumX, canal.area);
        const int cy = truncatedMean(canal.sumY, canal.area);
        if (!acceptsCanal(cx, cy)) continue;
        const EllipseMeasure shape = measureRegion(canal);
        result_.canals.push_back(
            {canal.area, cx, cy, shape.angle, shape.majorAxis, shape.minorAxis});
    }
    result_.hasResults = !result_.canals.empty();
    if (result_.hasResults)
        result_.tooth.toothType = decideToothType(result_.tooth, result_.canals);
    return result_;
}

// Inside the tooth's equivalent ellipse scaled by the ellipse radius, about the tooth's centre:
// u runs across the long axis (against the minor semi-axis), v along it. A zero radius or
// semi-axis divides by zero, and the infinite or undefined quotient never passes.
bool ToothAnalysis::acceptsCanal(int cx, int cy) const {
    const ToothResult& tooth = result_.tooth;
    const float k = result_.ellipseRadius;
    const float a = static_cast<float>(tooth.angle * kPi / 180);
    const float dx = static_cast<float>(cx - tooth.centerX);
    const float dy = static_cast<float>(cy - tooth.centerY);
    const float u = std::cos(-a) * dx - std::sin(-a) * dy;
    const float v = std::sin(-a) * dx + std::cos(-a) * dy;
    const float minor = k * tooth.minorAxis;
    const float major = k * tooth.majorAxis;
    return u * u / (minor * minor) + v * v / (major * major) - 1 < 0;
}

}  // namespace quendra
