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

ClassFileRead loadColorClassifier(const std::string& path, int threshold,
                                  ColorClassifier& classifier, bool automaticThreshold) {
    std::vector<PackedSample> samples;
    const ClassFileRead read = readColorClassFile(path, samples);
    if (read.status == ClassFileStatus::Ok)
        classifier = classifierOf(std::move(samples), threshold, automaticThreshold);
    return read;
}

}  // namespace quendra
