#pragma once

// The automatic class threshold: one that lets the vote of the k-d tree (KDTree.h) reach as far
// around loaded colour classes as the default reaches around colours trained from a colour
// picture, whatever the spacing of the trained colours.
//
// The vote needs a quorum of its candidates (neighbourCount / 2) from one class, each closer
// than the threshold. Colours trained from a colour picture fill a volume of the colour cube,
// so a quorum of them lies within a step or two of each, and the default of 5 reaches a few
// units beyond the trained colours. A grey picture's colours lie on the grey diagonal, often
// quantised in steps of several grey levels (micro-CT exports), so the quorum of a trained
// grey lies several steps away, and the default finds no quorum at all near most pixels.
//
// Rule: for the trained colours of each class (at most 256 of them, evenly spread over the
// class's colour keys), the distance to the quorum-th nearest other colour of the same class,
// measured as the largest channel difference (which bounds the vote's per-channel distance);
// the class's spacing is the median of these. The threshold is that spacing of the
// widest-spaced class plus one, and never below the default: colour training keeps 5, a grey
// training with steps of 3 grey levels gets 3 x 3 + 1 = 10. Classes with fewer colours than a
// quorum plus one, and conflicts (class 255), take no part.

#include <span>

#include "colour/ColorKey.h"

namespace quendra {

inline constexpr int kDefaultClassThreshold = 5;

int automaticClassThreshold(std::span<const PackedSample> samples, int neighbourCount);

}  // namespace quendra
