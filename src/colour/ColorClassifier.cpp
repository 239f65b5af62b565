#include "colour/ColorClassifier.h"

namespace quendra {

namespace {
constexpr int kAxisCount = 3;
constexpr int kNeighbourCount = 13;
}  // namespace

ColorClassifier classifierOf(std::vector<PackedSample> samples, int threshold,
                             bool automaticThreshold) {
    if (automaticThreshold) threshold = automaticClassThreshold(samples, kNeighbourCount);
    return {std::make_shared<const KDTree>(std::move(samples), kAxisCount, kNeighbourCount),
            threshold};
}

ClassFileStatus loadColorClassifier(const std::string& path, int threshold,
                                    ColorClassifier& classifier, bool automaticThreshold) {
    std::vector<PackedSample> samples;
    const ClassFileStatus status = readColorClassFile(path, samples);
    if (status == ClassFileStatus::Ok)
        classifier = classifierOf(std::move(samples), threshold, automaticThreshold);
    return status;
}

}  // namespace quendra
