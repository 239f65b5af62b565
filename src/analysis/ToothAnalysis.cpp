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
    toothTaken_ = {};
    canalsTaken_.regions.clear();
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
    const int toothRunCount =
        labelRegions(toothMask_, toothRegions_, toothRunEncoder_, toothRuns, true);
    if (toothRunCount <= 0) return result_;

    const int toothIndex = largestRegion(toothRegions_);
    toothTaken_ = {toothRuns, toothRunCount, {toothIndex}};
    const Region& tooth = toothRegions_[static_cast<std::size_t>(toothIndex)];
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
    const int canalRunCount =
        labelRegions(canalMask_, canalRegions_, canalRunEncoder_, canalRuns, true);
    if (canalRunCount <= 0) return result_;

    canalsTaken_.runs = canalRuns;
    canalsTaken_.runCount = canalRunCount;
    for (std::size_t i = 0; i < canalRegions_.size(); ++i) {
        const Region& canal = canalRegions_[i];
        if (!(canal.area > kMinCanalArea)) continue;
        const int cx = truncatedMean(canal.sumX, canal.area);
        const int cy = truncatedMean(canal.sumY, canal.area);
        if (!acceptsCanal(cx, cy)) continue;
        const EllipseMeasure shape = measureRegion(canal);
        result_.canals.push_back(
            {canal.area, cx, cy, shape.angle, shape.majorAxis, shape.minorAxis});
        canalsTaken_.regions.push_back(static_cast<int>(i));
    }
    result_.hasResults = !result_.canals.empty();
    if (result_.hasResults)
        result_.tooth.toothType = decideToothType(result_.tooth, result_.canals);
    return result_;
}

// One pass over the runs, whatever the number of regions: a frame of many thousand canals
// would otherwise take a pass per canal.
template <typename Paint>
void ToothAnalysis::forEachTakenRun(Paint paint) const {
    int label = 0;
    std::vector<int> labelOf;
    for (const Taken* taken : {&toothTaken_, &canalsTaken_}) {
        if (taken->regions.empty()) continue;
        labelOf.assign(static_cast<std::size_t>(
                           *std::max_element(taken->regions.begin(), taken->regions.end()) + 1),
                       -1);
        for (const int region : taken->regions) labelOf[static_cast<std::size_t>(region)] = label++;
        for (int r = 0; r < taken->runCount; ++r) {
            const auto region = static_cast<std::size_t>(taken->runs[r].region);
            if (region < labelOf.size() && labelOf[region] >= 0)
                paint(labelOf[region], taken->runs[r]);
        }
    }
}

void ToothAnalysis::paintLabels(cv::Mat& labels) const {
    labels.create(toothMask_.size(), CV_16UC1);
    labels.setTo(0);
    forEachTakenRun([&](int label, const Run& run) {
        std::fill_n(labels.ptr<std::uint16_t>(run.y) + run.xStart, run.xEnd - run.xStart + 1,
                    static_cast<std::uint16_t>(label + 1));
    });
}

std::vector<RegionShape> ToothAnalysis::measureShapes() const {
    std::vector<const Region*> regions;
    for (const int r : toothTaken_.regions)
        regions.push_back(&toothRegions_[static_cast<std::size_t>(r)]);
    for (const int r : canalsTaken_.regions)
        regions.push_back(&canalRegions_[static_cast<std::size_t>(r)]);
    std::vector<cv::Mat> masks;
    for (const Region* region : regions)
        masks.emplace_back(region->maxY - region->minY + 1, region->maxX - region->minX + 1,
                           CV_8UC1, cv::Scalar(0));
    forEachTakenRun([&](int label, const Run& run) {
        const Region& region = *regions[static_cast<std::size_t>(label)];
        std::uint8_t* row =
            masks[static_cast<std::size_t>(label)].ptr<std::uint8_t>(run.y - region.minY);
        std::fill_n(row + run.xStart - region.minX, run.xEnd - run.xStart + 1, std::uint8_t{255});
    });
    // Area, major and minor semi-axis of each, as the result gives them.
    std::vector<cv::Vec3d> measured{
        {result_.tooth.area, result_.tooth.majorAxis, result_.tooth.minorAxis}};
    for (const CanalResult& c : result_.canals)
        measured.emplace_back(c.area, c.majorAxis, c.minorAxis);
    std::vector<RegionShape> shapes;
    for (std::size_t i = 0; i < regions.size(); ++i)
        shapes.push_back(shapeOf(masks[i], measured[i][0], measured[i][1], measured[i][2]));
    return shapes;
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
