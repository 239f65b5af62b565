#pragma once

// Each setting of the analysis declared once: its name, its default, the values it takes and
// the words that explain it. The batch analyser's option --<name> and the key of its run
// record are the name, its --help gives the English help, the run's report lists the setting
// by its German label, and the window's control takes its range, default and label from here.
// The batch analyser's own options are declared alike (batch/BatchSettings.h).

#include <optional>
#include <string_view>

#include "colour/ClassThreshold.h"

namespace quendra {

// The numbers a setting takes, both ends included.
struct SettingRange {
    double lowest = 0;
    double highest = 0;
    constexpr bool contains(double value) const { return value >= lowest && value <= highest; }
};

// The window's control of a setting: its German label, and its own range where it cannot
// take the batch analyser's (the reason stands beside it).
struct SettingControl {
    std::string_view label;
    std::optional<SettingRange> range{};
};

struct SettingDeclaration {
    std::string_view name;  // the option --<name>, and the key in run.json's "settings"
    // The value's form in --help ("PX", "N|auto"); a choice shows its words, a flag nothing.
    std::string_view unit{};
    std::string_view help{};   // English, for --help; "%1" in it stands for the default
    double fallback = 0;       // a number's default; any other value's default is its type's
    SettingRange range{};      // the numbers the batch analyser takes
    std::string_view label{};  // German, in the report's list of the settings
    std::optional<SettingControl> control{};  // the window's, where it has one
    bool recorded = true;  // in run.json: it decides the table's rows or the outputs
    // Recorded only when given: the record of a run without it stays as records were before
    // the option came.
    bool recordedWhenGiven = false;
    bool required = false;     // the command line must give it
    bool showsDefault = true;  // --help names the default (not where it means "not given")

    constexpr int wholeDefault() const { return static_cast<int>(fallback); }
    // The range of the window's control.
    constexpr SettingRange controlRange() const { return control->range.value_or(range); }
};

inline constexpr SettingDeclaration kThresholdSetting{
    .name = "threshold",
    .unit = "N|auto",
    .help =
        "colour distance of the canal search, or auto: per tooth, the distance that best "
        "separates canal and tooth colours",
    .fallback = 70,
    .range = {0, 255},
    .label = "Schwellwert",
    .control = SettingControl{"Schwellwert:", std::nullopt},
};

inline constexpr SettingDeclaration kBorderSetting{
    .name = "border",
    .unit = "N|auto",
    .help =
        "ignored outer border in pixels, or auto: none for stacks, else %1 but at most a "
        "twentieth of the shorter side",
    .fallback = 20,
    .range = {0, 100000},
    .label = "Rand in Bildpunkten",
    // A slider needs a range it can be stepped through: 50 pixels is as wide a margin as a
    // picture's frame needs, while the batch takes any border (the search window is clamped
    // to the frame) and chooses its own by default.
    .control = SettingControl{"Aussengrenze:", SettingRange{0, 50}},
};

inline constexpr SettingDeclaration kFilterSetting{
    .name = "filter",
    .unit = "INT",
    .help = "acceptance ellipse scale in tenths",
    .fallback = 8,
    .range = {0, 10},
    .label = "Annahme-Ellipse in Zehnteln",
    .control = SettingControl{"Filterradius:", std::nullopt},
};

inline constexpr SettingDeclaration kClassThresholdSetting{
    .name = "class-threshold",
    .unit = "N|auto",
    .help =
        "class threshold of the colour classes, or auto: from the spacing of the trained "
        "colours (grey pictures)",
    .fallback = kDefaultClassThreshold,
    .range = {1, 10},
    .label = "Farbklassen-Schwellwert",
    .control = SettingControl{"Schwellwert:", std::nullopt},
};

inline constexpr SettingDeclaration kMinCanalAreaSetting{
    .name = "min-canal-area",
    .unit = "PX",
    .help = "canals must have more pixels",
    .fallback = 50,
    .range = {0, 1e12},
    .label = "Kanal-Mindestgröße in Bildpunkten",
    // A spin box of whole pixels: a canal's area is a whole number of pixels, so a fraction
    // decides nothing there, and a million pixels is more than any canal of a frame the
    // window shows. The batch takes any number, as a canal minimum in mm² gives one.
    .control = SettingControl{"Kanal-Mindestgröße:", SettingRange{0, 1000000}},
};

inline constexpr SettingDeclaration kTeethSetting{
    .name = "teeth",
    .help =
        "largest: the largest tooth region is the tooth; all: every tooth region of "
        "--min-tooth-area pixels is a tooth (the roots of a section)",
    .label = "Zähne",
    .control = SettingControl{"alle Zähne", std::nullopt},
};

inline constexpr SettingDeclaration kMinToothAreaSetting{
    .name = "min-tooth-area",
    .unit = "PX|auto",
    .help =
        "with --teeth all, smaller tooth regions are no teeth; auto: %1, and for stacks the "
        "roots' own sizes",
    .fallback = 1000,
    .range = {0, 1e12},
    .label = "Mindestgröße eines Zahns in Bildpunkten",
};

inline constexpr SettingDeclaration kShapeLimitsSetting{
    .name = "shape-limits",
    .unit = "R,O,L",
    .help = "caliper ratios up to which a canal is round, oval, long oval (above: flat)",
    .label = "Grenzen der Kanalformen",
};

}  // namespace quendra
