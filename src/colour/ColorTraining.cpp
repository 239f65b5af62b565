#include "colour/ColorTraining.h"

#include <cstring>

#include "colour/ColorSampling.h"
#include "colour/KDTree.h"

namespace quendra {

ColorTraining::ColorTraining()
    : sampleTable_(std::make_unique_for_overwrite<std::uint8_t[]>(kColorKeyCount)) {
    reset();
}

void ColorTraining::reset() {
    std::memset(sampleTable_.get(), ClassNone, kColorKeyCount);
    counts_ = {};
    counts_[ClassNone] = kColorKeyCount;
}

void ColorTraining::addSamples(const cv::Mat& frame, int x0, int y0, int x1, int y1) {
    if (frame.empty()) return;
    markSamples(frame, sampleTable_.get(), counts_, colorClass_, x0, y0, x1, y1);
}

std::vector<PackedSample> ColorTraining::samples() const {
    std::vector<PackedSample> picked;
    for (ColorKey k = 0; k < kColorKeyCount; ++k)
        if (sampleTable_[k] != ClassNone) picked.push_back(packSample(sampleTable_[k], k));
    return picked;
}

ClassFileStatus ColorTraining::save(const std::string& path) const {
    return writeColorClassFile(path, samples());
}

cv::Mat ColorTraining::paintPreview(const cv::Mat& frame, int threshold) {
    if (frame.empty()) return {};
    cv::Mat preview = frame.clone();
    // Classes above 127, the conflicts among them, take no part.
    std::vector<PackedSample> usable = samples();
    std::erase_if(usable, [](PackedSample s) { return sampleClass(s) > 127; });
    if (!usable.empty()) {
        const KDTree previewTree(std::move(usable));
        quendra::paintPreview(frame, previewTree, previewCache_, threshold, preview);
    }
    return preview;
}

}  // namespace quendra
