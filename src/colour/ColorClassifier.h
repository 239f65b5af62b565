#pragma once

// The loaded colour classes: the k-d tree over a colour-class file's samples, and the class
// threshold that follows from those samples. Which threshold a classification uses is the
// settings' choice (AnalysisSettings::classThresholdFor): the one chosen, or this automatic
// one. The tree is read-only once made: one classifier serves any number of analyses at the
// same time, each with a cache of its own (ClassCache). Copying it shares the tree.

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "colour/ClassThreshold.h"
#include "colour/KDTree.h"
#include "io/ColorClassFile.h"

namespace quendra {

struct ColorClassifier {
    std::shared_ptr<const KDTree> tree;  // never null in a loaded classifier
    // The class threshold that follows from the samples as they were given (ClassThreshold.h):
    // worked out when first asked for, once for the classifier and all its copies, as only
    // the settings that choose it need it.
    int automaticThreshold() const;

    struct AutomaticThreshold;
    std::shared_ptr<AutomaticThreshold> automatic;
};

// The classifier of these samples: a tree over B, G, R voting among 13 neighbours.
ColorClassifier classifierOf(std::vector<PackedSample> samples);

// A class with trained colours, but fewer than the vote's quorum (neighbourCount / 2 = 6): no
// pixel can gather a quorum of them, so nothing of the class is ever found, whatever the
// threshold (and the automatic one leaves the class out: ClassThreshold.h).
struct SparseClass {
    int colorClass = 0;
    std::size_t colours = 0;
    int quorum = 0;
};
std::vector<SparseClass> sparseClasses(const std::array<std::size_t, 256>& colours);
// The trained colours of each class (255: conflicts).
std::array<std::size_t, 256> classColours(const ColorClassifier& classifier);

// Reads a colour-class file and builds its classifier into `classifier`; on failure
// `classifier` is left as it was.
ClassFileRead loadColorClassifier(const std::string& path, ColorClassifier& classifier);

}  // namespace quendra
