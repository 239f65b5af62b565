#pragma once

// Every setting of the analysis, with its default as declared (SettingDeclarations.h): the
// window, the batch analyser, its run record and the tests all read and write this value.

#include "analysis/SettingDeclarations.h"
#include "colour/ColorClassifier.h"

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
    int threshold = kThresholdSetting.wholeDefault();
    bool autoThreshold = false;
    // Width in pixels of the frame margin the tooth search ignores; any value, the search
    // window is clamped to the frame.
    int border = kBorderSetting.wholeDefault();
    // Scale of the canal acceptance ellipse in tenths of the tooth's equivalent ellipse.
    int filter = kFilterSetting.wholeDefault();
    // Class threshold of the colour vote (KDTree.h); with `autoClassThreshold` the vote takes
    // the one that follows from the loaded colour classes instead (classThresholdFor).
    int classThreshold = kClassThresholdSetting.wholeDefault();
    bool autoClassThreshold = false;
    // Canal regions must be strictly larger than this many pixels.
    double minCanalArea = kMinCanalAreaSetting.fallback;
    TeethChoice teeth = TeethChoice::Largest;
    // With TeethChoice::All, tooth-class regions of fewer pixels are no teeth (specks, labels).
    double minToothArea = kMinToothAreaSetting.fallback;
    ShapeLimits shapeLimits;

    // The class threshold the vote of `classifier` takes under these settings.
    int classThresholdFor(const ColorClassifier& classifier) const {
        return autoClassThreshold ? classifier.automaticThreshold() : classThreshold;
    }

    // The acceptance ellipse's scale as a factor: filter / 10 in double, stored as float.
    float ellipseRadius() const { return static_cast<float>(filter / 10.0); }
};

}  // namespace quendra
