#include "colour/ColorClasses.h"

#include <cstring>
#include <vector>

#include "colour/ColorSampling.h"

namespace quendra {

namespace {
constexpr int kAxisCount = 3;
constexpr int kNeighbourCount = 13;
}  // namespace

ColorClasses::ColorClasses()
    : sampleTable_(std::make_unique<std::uint8_t[]>(kColorKeyCount)),
      classLut_(std::make_unique_for_overwrite<std::uint8_t[]>(kColorKeyCount)),
      previewLut_(std::make_unique_for_overwrite<std::uint8_t[]>(kColorKeyCount)) {
    std::memset(classLut_.get(), 0xFF, kColorKeyCount);
}

void ColorClasses::reset() {
    loaded_ = false;
    std::memset(classLut_.get(), 0xFF, kColorKeyCount);
    std::memset(sampleTable_.get(), 0, kColorKeyCount);
}

void ColorClasses::addSamples(const cv::Mat& frame, int x0, int y0, int x1, int y1) {
    if (frame.empty()) return;
    markSamples(frame, sampleTable_.get(), colorClass_, x0, y0, x1, y1);
}

ClassFileStatus ColorClasses::save(const std::string& path) const {
    return writeColorClassFile(path, sampleTable_.get());
}

ClassFileStatus ColorClasses::load(const std::string& path) {
    std::vector<PackedSample> samples;
    const ClassFileStatus status = readColorClassFile(path, samples);
    if (status != ClassFileStatus::Ok) return status;
    reset();
    if (!samples.empty()) tree_ = std::make_unique<KDTree>(samples, kAxisCount, kNeighbourCount);
    loaded_ = true;
    return status;
}

cv::Mat ColorClasses::paintPreview(const cv::Mat& frame) {
    if (frame.empty()) return {};
    cv::Mat preview = frame.clone();
    std::vector<PackedSample> samples;
    for (ColorKey k = 0; k < kColorKeyCount; ++k) {
        const std::uint8_t entry = sampleTable_[k];
        if (entry >= 1 && entry <= 127) samples.push_back(packSample(entry, k));
    }
    if (!samples.empty()) {
        const KDTree previewTree(samples, kAxisCount, kNeighbourCount);
        quendra::paintPreview(frame, previewTree, previewLut_.get(), lutThreshold_, preview);
    }
    return preview;
}

}  // namespace quendra
