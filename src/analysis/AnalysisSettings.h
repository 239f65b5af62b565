#pragma once

// Every setting of the analysis, with its one default: the window, the batch analyser, its run
// record and the tests all read and write this value.

#include "colour/ClassThreshold.h"

namespace quendra {

// Which tooth-class regions are analysed as teeth: the largest alone, or every one of at least
// the minimum tooth area (the roots of a section through a multi-rooted tooth).
enum class TeethChoice { Largest, All };
// The names of the command line and the run record, in the order of TeethChoice.
inline constexpr const char* kTeethNames[] = {"largest", "all"};

// Upper limits of the caliper ratio (longest over narrowest caliper width, RegionShape.h) for
// the canal cross-section classes: "round" up to `round`, "oval" up to `oval`, "long oval" up
// to `longOval`, "flat" above. The defaults and why: docs/measurements.md, "Shape classes".
struct ShapeLimits {
    double round = 1.3;
    double oval = 2;
    double longOval = 4;
};

struct AnalysisSettings {
    // Colour distance (B,G,R Euclidean) to the darkest pixel of a tooth's box below which a
    // pixel is a canal candidate; with `autoThreshold` chosen per tooth instead, from the
    // distances inside the tooth (CanalThreshold.h).
    int threshold = 70;
    bool autoThreshold = false;
    // Width in pixels of the frame margin the tooth search ignores; any value, the search
    // window is clamped to the frame.
    int border = 20;
    // Scale of the canal acceptance ellipse in tenths of the tooth's equivalent ellipse.
    int filter = 8;
    // Class threshold of the colour vote (KDTree.h), 1..10 on the window's slider; with
    // `autoClassThreshold` it follows from the loaded colour classes (ClassThreshold.h).
    int classThreshold = kDefaultClassThreshold;
    bool autoClassThreshold = false;
    // Canal regions must be strictly larger than this many pixels.
    double minCanalArea = 50;
    TeethChoice teeth = TeethChoice::Largest;
    // With TeethChoice::All, tooth-class regions of fewer pixels are no teeth (specks, labels).
    double minToothArea = 1000;
    ShapeLimits shapeLimits;

    // The acceptance ellipse's scale as a factor: filter / 10 in double, stored as float.
    float ellipseRadius() const { return static_cast<float>(filter / 10.0); }
};

}  // namespace quendra
