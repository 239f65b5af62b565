#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisSettings.h"
#include "batch/BatchSettings.h"
#include "io/StackWindow.h"

namespace quendra {

// What is drawn for the operator to look at: by default a JPEG picture per picture and one
// annotated movie per video; PNG pictures for every picture and analysed frame; or nothing.
enum class Overlays { Video, Png, None };
// The names of the command line and the run record, in the order of Overlays.
inline constexpr const char* kOverlaysNames[] = {"video", "png", "none"};

// The command line of quendra-batch; each option declared in BatchSettings.h.
struct BatchOptions {
    std::string classes;                // colour-class file, required
    AnalysisSettings analysis;          // every setting of the analysis, as the window has them
    std::optional<double> minCanalMm2;  // with a scale, the canal minimum of that input in mm²
    // Not given: the border and the tooth minimum follow the input (settingsFor).
    bool autoBorder = true;
    bool autoMinToothArea = true;
    int every = kEveryOption.wholeDefault();  // analyse every n-th video frame
    int jobs = 0;                             // frames analysed at once; 0 = one per core
    std::optional<double> pxPerMm;            // scale of every input without one of its own
    std::string scale;                        // CSV of file,px_per_mm: a scale per input
    std::string out = ".";                    // folder of the outputs, the table and the run record
    std::string csv;                          // table; empty = results.csv in `out`
    Overlays overlays = Overlays::Video;
    bool texts = false;      // recognition data also for every analysed video frame
    bool masks = false;      // a 16-bit label picture per picture and analysed frame
    bool overwrite = false;  // an existing table is replaced
    bool resume = false;     // an interrupted run into the same table is continued
    int shard = 1;           // this run takes part `shard` of `shards` of the inputs
    int shards = 1;
    bool quiet = false;
    bool report = true;  // the report page and its thumbnails (--report html|none)
    // Stacks of slices.
    bool stackFolders = false;                  // every folder given is one stack
    std::optional<GreyWindow> window;           // maps 16-bit slices; default: sampled per stack
    int minRun = kMinRunOption.wholeDefault();  // slices; shorter runs of a canal are noise
    std::optional<double> sliceMm;              // the spacing of the slices, for the roots' length
    bool apexFirst = false;                     // the stacks' first slice is at the apex
    std::vector<double> levelsMm;  // levels.csv's distances from the apex; none: no table
    std::vector<std::string> inputs;
    std::vector<std::string> commandLine;  // the arguments as given, for the run record

    bool filesGiveScales = false;  // an input's file gives its scale (FileScale.h)

    // Whether the table has the millimetre columns.
    bool millimetres() const { return pxPerMm || !scale.empty() || filesGiveScales; }
};

// What parsing a command line ends in: options to run with, or a text to print and the exit
// status to end with (0 after --help and --version, 2 for a bad command line).
struct ParsedCommandLine {
    std::optional<BatchOptions> options;
    int exitStatus = 0;
    std::string text;  // help or version for standard output, else the error
};

// Without --border, a stack's slices are searched whole (micro-CT slices are cut round the
// tooth, and a border would cut it) and a picture or video keeps the window's default border
// (kBorderSetting), but at most a twentieth of its shorter side.
// Without --min-tooth-area, a picture's or video's teeth have the window's default minimum
// (kMinToothAreaSetting) or more pixels; a stack's slices take every tooth region of
// kStackRegionFloorPx pixels or more, and which of them are roots the stack itself decides
// (CanalTracking.h: a root's largest section against the largest root's).
inline constexpr double kStackRegionFloorPx = 25;

// Parses argv[1..].
ParsedCommandLine parseBatchOptions(const std::vector<std::string>& args);

// The shape limits as the command line and the run record write them, "1.3,2,4"; and read
// back (false, `limits` unchanged, unless 1 <= round <= oval <= long oval).
std::string shapeLimitsText(const ShapeLimits& limits);
bool parseShapeLimits(const std::string& text, ShapeLimits& limits);

// A grey window as the command line and the run record write it, "LOW,HIGH"; and read back
// (false, `window` unchanged, unless LOW < HIGH, both in kWindowOption's range).
std::string windowText(const GreyWindow& window);
bool parseWindow(const std::string& text, GreyWindow& window);

// Whether a scale (pixels per millimetre) is one the batch analyser takes: kPxPerMmOption's
// range.
bool sensibleScale(double pxPerMm);

}  // namespace quendra
