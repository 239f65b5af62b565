#include "analysis/ToothAnalysis.h"

#include <algorithm>
#include <cmath>

#include "analysis/CanalThreshold.h"
#include "analysis/RegionMeasure.h"
#include "analysis/ToothOutline.h"
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

int truncatedMean(double sum, double area) {
    return static_cast<int>(sum / area);
}

// A canal that would fill more than this share of its tooth's filled outline is no canal: the
// whole tooth, or its background, close in colour to its darkest pixel.
constexpr double kMostOfTheTooth = 0.5;

}  // namespace

// The canal search of one tooth: its region, the labelling of its canal mask and the canals
// taken. The runs stay valid until the search's next labelling.
struct ToothAnalysis::CanalSearch {
    int toothRegion = 0;
    std::vector<const Run*> toothRuns;
    std::vector<Region> regions;
    RunEncoder encoder;
    Run* runs = nullptr;
    int runCount = 0;
    std::vector<int> accepted;
};

ToothAnalysis::ToothAnalysis() = default;
ToothAnalysis::~ToothAnalysis() = default;

void ToothAnalysis::clearResults() {
    result_.toothFound = false;
    result_.hasResults = false;
    result_.canals.clear();
    result_.furtherTeeth.clear();
    result_.teethLeftOut = 0;
    searchesUsed_ = 0;
}

const FrameResult& ToothAnalysis::calculate(const cv::Mat& frame,
                                            const ColorClassifier& classifier) {
    CV_CheckTypeEQ(frame.type(), CV_8UC3, "frames must be 8-bit B,G,R images");
    clearResults();
    result_.settings = settings_;
    result_.settings.classThreshold = settings_.classThresholdFor(classifier);
    if (toothMask_.size() != frame.size()) {
        toothMask_.create(frame.size(), CV_8UC1);
        canalMask_.create(frame.size(), CV_8UC1);
    }

    const auto [x0, x1] = clampedSpan(settings_.border, frame.cols);
    const auto [y0, y1] = clampedSpan(settings_.border, frame.rows);
    result_.searchWindow = cv::Rect(x0, y0, x1 - x0, y1 - y0);
    classifyPixels(frame, ClassEnamel, cache_.data(), classifier.tree.get(),
                   result_.settings.classThreshold, toothMask_, x0, y0, x1, y1);
    Run* toothRuns = nullptr;
    toothRunCount_ = labelRegions(toothMask_, toothRegions_, toothRunEncoder_, toothRuns, true);
    toothRuns_ = toothRuns;
    if (toothRunCount_ <= 0) return result_;

    // The largest region is always a tooth; further ones of at least the minimum tooth area are
    // teeth too with TeethChoice::All, and counted as left out otherwise.
    const int largest = largestRegion(toothRegions_);
    std::vector<int> teeth{largest};
    for (std::size_t i = 0; i < toothRegions_.size(); ++i) {
        if (static_cast<int>(i) == largest || toothRegions_[i].area < settings_.minToothArea)
            continue;
        if (settings_.teeth == TeethChoice::All)
            teeth.push_back(static_cast<int>(i));
        else
            ++result_.teethLeftOut;
    }
    const auto centre = [&](int region) {
        const Region& r = toothRegions_[static_cast<std::size_t>(region)];
        return std::pair{truncatedMean(r.sumX, r.area), truncatedMean(r.sumY, r.area)};
    };
    std::stable_sort(teeth.begin(), teeth.end(),
                     [&](int a, int b) { return centre(a) < centre(b); });

    result_.toothFound = true;
    result_.furtherTeeth.resize(teeth.size() - 1);
    while (searches_.size() < teeth.size()) searches_.push_back(std::make_unique<CanalSearch>());
    searchesUsed_ = teeth.size();
    std::vector<int> searchOf(toothRegions_.size(), -1);
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        searchOf[static_cast<std::size_t>(teeth[i])] = static_cast<int>(i);
        searches_[i]->toothRuns.clear();
    }
    for (int r = 0; r < toothRunCount_; ++r)
        if (const int s = searchOf[static_cast<std::size_t>(toothRuns_[r].region)]; s >= 0)
            searches_[static_cast<std::size_t>(s)]->toothRuns.push_back(&toothRuns_[r]);
    // With several teeth, a pixel is a canal of one tooth at most: where filled outlines
    // meet, the first tooth's canal keeps it.
    if (teeth.size() > 1) {
        claimed_.create(frame.size(), CV_8UC1);
        claimed_.setTo(0);
    } else {
        claimed_.release();
    }
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        ToothFinding& finding = i == 0 ? result_ : result_.furtherTeeth[i - 1];
        analyseTooth(frame, teeth[i], finding, *searches_[i]);
        result_.hasResults = result_.hasResults || !finding.canals.empty();
        if (teeth.size() > 1) claimCanals(*searches_[i]);
    }
    return result_;
}

void ToothAnalysis::analyseTooth(const cv::Mat& frame, int toothIndex, ToothFinding& finding,
                                 CanalSearch& search) {
    search.toothRegion = toothIndex;
    search.accepted.clear();
    search.runCount = 0;
    finding.canals.clear();
    const Region& tooth = toothRegions_[static_cast<std::size_t>(toothIndex)];
    const EllipseMeasure toothShape = measureRegion(tooth);
    finding.tooth = {static_cast<float>(tooth.area),
                     truncatedMean(tooth.sumX, tooth.area),
                     truncatedMean(tooth.sumY, tooth.area),
                     toothShape.angle,
                     toothShape.majorAxis,
                     toothShape.minorAxis,
                     ToothUnknown,
                     tooth.sumX / tooth.area,
                     tooth.sumY / tooth.area};
    finding.canalThreshold = settings_.threshold;

    // The box ends one column and one row before the region's last ones (plain differences).
    const cv::Rect box = boundingBox(tooth);
    const auto darkest =
        findDarkestPixel(frame, box.x, box.y, box.x + box.width, box.y + box.height);
    if (!darkest) return;
    ToothOutline outline = toothOutline(search.toothRuns, box, frame.size());
    if (settings_.autoThreshold)
        finding.canalThreshold = automaticCanalThreshold(frame(box), *darkest - box.tl(),
                                                         outline.filled(box - outline.rect.tl()));
    // Only the box is marked and labelled: the rest of the canal mask is never read.
    cv::Mat boxMask = canalMask_(box);
    colorDistanceMask(frame(box), darkest->x - box.x, darkest->y - box.y, finding.canalThreshold,
                      boxMask, 0, 0, box.width, box.height);
    keepWithinOutline(box, outline);
    search.runCount =
        labelRegions(boxMask, search.regions, search.encoder, search.runs, true, box.tl());
    const std::vector<double> inner = innerPixels(search, outline);
    for (std::size_t i = 0; i < search.regions.size(); ++i) {
        const Region& canal = search.regions[i];
        if (!(canal.area > settings_.minCanalArea)) continue;
        if (!(inner[i] > canal.area / 2) || canal.area > kMostOfTheTooth * outline.filledArea)
            continue;
        const int cx = truncatedMean(canal.sumX, canal.area);
        const int cy = truncatedMean(canal.sumY, canal.area);
        if (!acceptsCanal(finding.tooth, cx, cy)) continue;
        const EllipseMeasure shape = measureRegion(canal);
        finding.canals.push_back({static_cast<float>(canal.area), cx, cy, shape.angle,
                                  shape.majorAxis, shape.minorAxis, canal.sumX / canal.area,
                                  canal.sumY / canal.area});
        search.accepted.push_back(static_cast<int>(i));
    }
    if (!finding.canals.empty())
        finding.tooth.toothType = decideToothType(finding.tooth, finding.canals);
}

// Canal candidates are spaces of the tooth: inside its filled outline, no enamel pixel of any
// tooth region (so that a pixel is never both a tooth's and a canal's), and no pixel another
// tooth's canal took.
void ToothAnalysis::keepWithinOutline(cv::Rect box, const ToothOutline& outline) {
    // The outline covers the tooth's extent, and so its box.
    cv::Mat candidates = canalMask_(box);
    candidates |= ~outline.filled(box - outline.rect.tl());
    candidates |= ~toothMask_(box);  // 0 on enamel
    if (!claimed_.empty()) candidates |= claimed_(box);
}

// Per canal region of `search`, its pixels on `inner` (a mask over `rect`) added to `counts`.
void ToothAnalysis::countPixelsOn(const CanalSearch& search, const cv::Mat& inner, cv::Rect rect,
                                  std::vector<double>& counts) const {
    for (int i = 0; i < search.runCount; ++i) {
        const Run& run = search.runs[i];
        if (run.y < rect.y || run.y >= rect.y + rect.height) continue;
        const std::uint8_t* row = inner.ptr<std::uint8_t>(run.y - rect.y) - rect.x;
        double& count = counts[static_cast<std::size_t>(run.region)];
        for (int x = std::max(run.xStart, rect.x); x <= std::min(run.xEnd, rect.x + rect.width - 1);
             ++x)
            count += row[x] != 0;
    }
}

// Per canal region of `search`, its inner pixels (ToothOutline.h); the sealed holes are
// counted only when a large enough region is not yet known to be mostly inner.
std::vector<double> ToothAnalysis::innerPixels(const CanalSearch& search,
                                               ToothOutline& outline) const {
    std::vector<double> inner(search.regions.size(), 0);
    countPixelsOn(search, outline.closedHoles, outline.rect, inner);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const Region& r = search.regions[i];
        if (r.area > settings_.minCanalArea && !(inner[i] > r.area / 2)) {
            countPixelsOn(search, outline.sealedHoles(), outline.rect, inner);
            break;
        }
    }
    return inner;
}

void ToothAnalysis::claimCanals(const CanalSearch& search) {
    std::vector<char> taken(search.regions.size(), 0);
    for (const int region : search.accepted) taken[static_cast<std::size_t>(region)] = 1;
    for (int i = 0; i < search.runCount; ++i) {
        const Run& run = search.runs[i];
        if (taken[static_cast<std::size_t>(run.region)])
            std::fill_n(claimed_.ptr<std::uint8_t>(run.y) + run.xStart, run.xEnd - run.xStart + 1,
                        std::uint8_t{255});
    }
}

// One pass over each run array, whatever the number of regions: a frame of many thousand
// canals would otherwise take a pass per canal. The teeth are painted first, then the canals.
template <typename Paint>
void ToothAnalysis::forEachTakenRun(Paint paint) const {
    std::vector<int> toothLabel(toothRegions_.size(), -1);
    std::vector<int> firstCanalLabel;
    int label = 0;
    for (std::size_t t = 0; t < searchesUsed_; ++t) {
        const CanalSearch& search = *searches_[t];
        toothLabel[static_cast<std::size_t>(search.toothRegion)] = label++;
        firstCanalLabel.push_back(label);
        label += static_cast<int>(search.accepted.size());
    }
    for (int r = 0; r < toothRunCount_; ++r) {
        const int l = toothLabel[static_cast<std::size_t>(toothRuns_[r].region)];
        if (l >= 0) paint(l, toothRuns_[r]);
    }
    std::vector<int> canalLabel;
    for (std::size_t t = 0; t < searchesUsed_; ++t) {
        const CanalSearch& search = *searches_[t];
        canalLabel.assign(search.regions.size(), -1);
        int l = firstCanalLabel[t];
        for (const int region : search.accepted) canalLabel[static_cast<std::size_t>(region)] = l++;
        for (int r = 0; r < search.runCount; ++r) {
            const int c = canalLabel[static_cast<std::size_t>(search.runs[r].region)];
            if (c >= 0) paint(c, search.runs[r]);
        }
    }
}

std::vector<const Region*> ToothAnalysis::takenRegions() const {
    std::vector<const Region*> regions;
    for (std::size_t t = 0; t < searchesUsed_; ++t) {
        const CanalSearch& search = *searches_[t];
        regions.push_back(&toothRegions_[static_cast<std::size_t>(search.toothRegion)]);
        for (const int region : search.accepted)
            regions.push_back(&search.regions[static_cast<std::size_t>(region)]);
    }
    return regions;
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
    // Per label: the region's mask over its extent, and area, major and minor semi-axis as the
    // result gives them.
    std::vector<cv::Mat> masks;
    std::vector<cv::Vec3d> measured;
    for (const ToothFinding* finding : result_.teeth()) {
        const ToothResult& t = finding->tooth;
        measured.emplace_back(t.area, t.majorAxis, t.minorAxis);
        for (const CanalResult& c : finding->canals)
            measured.emplace_back(c.area, c.majorAxis, c.minorAxis);
    }
    const std::vector<const Region*> regions = takenRegions();
    for (const Region* region : regions)
        masks.emplace_back(region->maxY - region->minY + 1, region->maxX - region->minX + 1,
                           CV_8UC1, cv::Scalar(0));
    forEachTakenRun([&](int label, const Run& run) {
        const Region& region = *regions[static_cast<std::size_t>(label)];
        std::uint8_t* row =
            masks[static_cast<std::size_t>(label)].ptr<std::uint8_t>(run.y - region.minY);
        std::fill_n(row + run.xStart - region.minX, run.xEnd - run.xStart + 1, std::uint8_t{255});
    });
    std::vector<RegionShape> shapes;
    for (std::size_t i = 0; i < masks.size(); ++i)
        shapes.push_back(shapeOf(masks[i], measured[i][0], measured[i][1], measured[i][2],
                                 settings_.shapeLimits));
    return shapes;
}

// Inside the tooth's equivalent ellipse scaled by the ellipse radius, about the tooth's centre:
// u runs across the long axis (against the minor semi-axis), v along it. A zero radius or
// semi-axis divides by zero, and the infinite or undefined quotient never passes.
bool ToothAnalysis::acceptsCanal(const ToothResult& tooth, int cx, int cy) const {
    const float k = settings_.ellipseRadius();
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
