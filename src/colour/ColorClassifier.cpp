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

std::array<std::size_t, 256> classColours(const ColorClassifier& classifier) {
    std::array<std::size_t, 256> colours{};
    if (classifier.tree)
        for (const PackedSample sample : classifier.tree->nodes()) ++colours[sampleClass(sample)];
    return colours;
}

std::vector<SparseClass> sparseClasses(const std::array<std::size_t, 256>& colours) {
    std::vector<SparseClass> sparse;
    const int quorum = kNeighbourCount / 2;
    for (int c = 1; c < ClassConflict; ++c)
        if (colours[c] > 0 && colours[c] < static_cast<std::size_t>(quorum))
            sparse.push_back({c, colours[c], quorum});
    return sparse;
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
