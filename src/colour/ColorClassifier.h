#pragma once

// The loaded colour classes: the k-d tree over a colour-class file's samples and the class
// threshold every classification uses. The tree is read-only once made: one classifier serves
// any number of analyses at the same time, each with a cache of its own (ClassCache). Copying
// it shares the tree; the threshold is each copy's own (the window's slider sets its copy's).

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "colour/ClassThreshold.h"
#include "colour/KDTree.h"
#include "io/ColorClassFile.h"

namespace quendra {

struct ColorClassifier {
    std::shared_ptr<const KDTree> tree;      // never null in a loaded classifier
    int threshold = kDefaultClassThreshold;  // class threshold, 1..10 from the window's slider,
                                             // or the automatic one
};

// The classifier of these samples: a tree over B, G, R voting among 13 neighbours, with
// `threshold`, or with `automaticThreshold` the one that follows from the samples
// (ClassThreshold.h).
ColorClassifier classifierOf(std::vector<PackedSample> samples, int threshold,
                             bool automaticThreshold = false);

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
ClassFileRead loadColorClassifier(const std::string& path, int threshold,
                                  ColorClassifier& classifier, bool automaticThreshold = false);

}  // namespace quendra
