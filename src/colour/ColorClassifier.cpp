#include "colour/ColorClassifier.h"

namespace quendra {

namespace {
constexpr int kAxisCount = 3;
constexpr int kNeighbourCount = 13;
}  // namespace

// The samples in the order given, until the threshold has been worked out from them.
struct ColorClassifier::AutomaticThreshold {
    std::once_flag once;
    std::vector<PackedSample> samples;
    int threshold = kDefaultClassThreshold;
};

int ColorClassifier::automaticThreshold() const {
    if (!automatic) return kDefaultClassThreshold;
    std::call_once(automatic->once, [this] {
        automatic->threshold = automaticClassThreshold(automatic->samples, kNeighbourCount);
        automatic->samples = {};
    });
    return automatic->threshold;
}

ColorClassifier classifierOf(std::vector<PackedSample> samples) {
    auto automatic = std::make_shared<ColorClassifier::AutomaticThreshold>();
    automatic->samples = samples;
    return {std::make_shared<const KDTree>(std::move(samples), kAxisCount, kNeighbourCount),
            std::move(automatic)};
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

ClassFileRead loadColorClassifier(const std::string& path, ColorClassifier& classifier) {
    std::vector<PackedSample> samples;
    const ClassFileRead read = readColorClassFile(path, samples);
    if (read.status == ClassFileStatus::Ok) classifier = classifierOf(std::move(samples));
    return read;
}

}  // namespace quendra
