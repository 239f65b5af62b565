#pragma once

// A generated micro-CT stack through a lower molar, stored from the apex to the crown as real
// reconstructions often are, grey on a dark background, with the noise and partial-volume blur
// of a scanner. Bottom up:
// - two roots side by side: the distal one (left) with one canal (Vertucci I), the mesial one
//   (right), broad from front to back, whose canal divides into two a fifth of the way up
//   (two canals that join short of the apex, Vertucci II);
// - the furcation: the roots fuse into the trunk, the gap between them closing from its middle
//   (notches of background reach into the trunk for a few slices);
// - the trunk with the three canal lumens, then the pulp chamber, one space into which the
//   three canals open;
// - the crown: dentin under a brighter enamel cap, two pulp horns above the chamber, and at the
//   top the cusps as separate islands.
// Deterministic for a seed.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace quendra {

class ColorTraining;

struct MolarStack {
    int slices = 160;
    cv::Size size{104, 96};
    unsigned seed = 1;
    double noise = 8;   // standard deviation of the grey levels' noise
    double blur = 0.9;  // Gaussian, pixels
    double drift = 0;   // pixels the whole tooth moves to the right from apex to crown

    // The 8-bit grey slice `index` (0 at the apex).
    cv::Mat render(int index) const;
    // The canals drawn in slice `index`: root 0 the distal root, 1 the mesial one; canals in
    // the trunk count with the root they come from; 0 from the pulp chamber up.
    int canals(int index, int root) const;
    // The slice the pulp chamber begins at (0 at the apex).
    int chamberSlice() const;
    // An operator's picks on the slice halfway up the roots: dentin as class 1, background as 2.
    void pickColors(ColorTraining& training) const;
};

// The two roots' types, distal then mesial.
inline const std::vector<std::string> kMolarRootTypes{"I", "II"};

}  // namespace quendra
