#include "colour/ClassThreshold.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace quendra {

namespace {

constexpr std::size_t kProbesPerClass = 256;

int channelDistance(ColorKey a, ColorKey b) {
    int d = 0;
    for (int channel = 0; channel < 3; ++channel)
        d = std::max(d, std::abs(channelOf(a, channel) - channelOf(b, channel)));
    return d;
}

// Median over evenly spread probes of the distance to the quorum-th nearest other colour.
int classSpacing(const std::vector<ColorKey>& colours, std::size_t quorum) {
    const std::size_t step = std::max<std::size_t>(1, colours.size() / kProbesPerClass);
    std::vector<int> spacings;
    std::vector<int> distances(colours.size());
    for (std::size_t p = 0; p < colours.size(); p += step) {
        for (std::size_t i = 0; i < colours.size(); ++i)
            distances[i] = channelDistance(colours[p], colours[i]);
        // The probe itself is at distance 0 and sorts first.
        std::nth_element(distances.begin(), distances.begin() + static_cast<long>(quorum),
                         distances.end());
        spacings.push_back(distances[quorum]);
    }
    std::nth_element(spacings.begin(), spacings.begin() + static_cast<long>(spacings.size() / 2),
                     spacings.end());
    return spacings[spacings.size() / 2];
}

}  // namespace

int automaticClassThreshold(std::span<const PackedSample> samples, int neighbourCount) {
    const auto quorum = static_cast<std::size_t>(neighbourCount / 2);
    std::map<int, std::vector<ColorKey>> classes;
    for (const PackedSample s : samples)
        if (sampleClass(s) > 0 && sampleClass(s) < 255)
            classes[sampleClass(s)].push_back(s & 0xFFFFFFu);
    int spacing = 0;
    for (const auto& [cls, colours] : classes)
        if (colours.size() > quorum) spacing = std::max(spacing, classSpacing(colours, quorum));
    return std::max(kDefaultClassThreshold, spacing + 1);
}

}  // namespace quendra
