#include "colour/ColorClassifier.h"

namespace quendra {

namespace {
constexpr int kAxisCount = 3;
constexpr int kNeighbourCount = 13;
}  // namespace

ColorClassifier classifierOf(std::vector<PackedSample> samples, int threshold) {
    return {std::make_shared<const KDTree>(std::move(samples), kAxisCount, kNeighbourCount),
            threshold};
}

ClassFileStatus loadColorClassifier(const std::string& path, int threshold,
                                    ColorClassifier& classifier) {
    std::vector<PackedSample> samples;
    const ClassFileStatus status = readColorClassFile(path, samples);
    if (status == ClassFileStatus::Ok) classifier = classifierOf(std::move(samples), threshold);
    return status;
}

}  // namespace quendra
